// The worker that runs one job from start to end on its own thread: opens the
// source, walks the selected tracks sector by sector, repairs, pads and splits
// the stream and writes the outputs. It reports only through the job's
// controls block and ReportMessage. It runs from a TJobCopy, its own copy of
// everything it reads from the window, and hands back a TJobOutcome at the end.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/output_guard.h"
#include "core/records.h"
#include "engine/methods.h"
#include "engine/job_copy.h"
#include "platform/controls.h"

class TFileIO;
class TLanguageSet;
class TTrackTable;
struct TImageBuild;

constexpr int32_t kInitialiseRun = 0xFFFF;  // the batch sequencer's "<<thread.init>>"

// Empty disc sectors held back inside a track: written when stream data
// follows them, dropped when the track ends first. All-zero sectors (what
// empty sectors hold) are kept as a count, so a long run costs no memory.
class THeldSectors {
public:
    void Add(const uint8_t* data, size_t length);
    bool Empty() const { return sectors_.empty(); }
    void Clear();
    // Hands every held sector to `write` (data, length) in order.
    template <class Write>
    void ForEach(Write write) const {
        static const std::vector<uint8_t> zeros(2352, 0);
        for (const Held& h : sectors_) write(h.zero ? zeros.data() : bytes_.data() + h.at, h.length);
    }

private:
    struct Held {
        size_t at = 0;
        size_t length = 0;
        bool zero = false;
    };
    std::vector<Held> sectors_;
    std::vector<uint8_t> bytes_;
};

// The method a page's index stands for, before any opener runs.
struct TMethodEntry {
    int32_t code = kNoMethodCode;  // packed method code
    int16_t inputKind = kNoKind;
    int16_t outputKind = kNoKind;
    Opener opener = Opener::None;
};
TMethodEntry LookUpMethod(int32_t index, int32_t pageMode, bool imgNone, bool multiImage);

// Progress, ETA and title of one track (integer arithmetic throughout).
class TProgressMeter {
public:
    struct Shown {
        bool changed = false;  // labels must be rewritten
        int percent = 0;
        int hours = 0, minutes = 0, seconds = 0;
    };
    void Start(int64_t nowSeconds);  // the sector loop of a track begins
    void Reset();
    // Whether Step would show something new (it reads no clock).
    bool Moves(int64_t done, int64_t total) const;
    Shown Step(int64_t done, int64_t total, int64_t nowSeconds);

private:
    int lastShown_ = -127;
    int basePercent_ = 0;
    int64_t baseTime_ = 0;
    int64_t etaSum_ = 0;
    int64_t etaCount_ = 0;
    int h_ = 0, m_ = 0, s_ = 0;
};

class WriteThread {
public:
    // Starts the job at once on a new thread; the worker owns the copy. The
    // copy's controls block is a new one, freed by the worker at the end, and
    // the caller has set the run state. The thread object is kept alive by
    // the worker itself until it ends, so the caller may drop the pointer.
    static std::shared_ptr<WriteThread> Create(std::unique_ptr<TJobCopy> jobCopy);

    ~WriteThread();
    WriteThread(const WriteThread&) = delete;
    WriteThread& operator=(const WriteThread&) = delete;

    // Waits until the job has ended (never call it from the worker itself, or
    // from a handler the worker is waiting for).
    void WaitFor();
    bool Finished() const { return finished_.load(); }
    int Result() const { return result_; }

private:
    explicit WriteThread(std::unique_ptr<TJobCopy> jobCopy);
    void Run();
    TJobOutcome Outcome() const;
    void Execute();

    // Frame.
    int SelectMethod(int32_t index, int32_t pageMode);
    void LogSettings();
    void FinishJob();
    void ShowCounters();
    void EndOfRun();
    void ProgressStep();
    void ProcessTrack(int32_t track, bool first);
    void SkipTrack(int32_t track);
    void AppendGenerated(const std::string& name);
    void ApplyPriority();

    // Openers and per-track set-up.
    int RunOpener(Opener opener);
    int OpenInput();
    int OpenOutput(const std::string& name, bool overwriteAll);
    int LogDetectedSectorSize();
    int OpenRawOrMpegSource();
    int OpenMpegForDat();
    int OpenRawTrackForDat();
    int OpenSectorImage();
    int OpenDatFile();
    int OpenSfdFile();
    int OpenTrackImage();
    int SetupTrack(int32_t track);
    bool LastTrackCut(size_t row);
    int CheckSectorSizes();
    int StreamNotFound();
    int CheckSyncDistance(uint64_t at);
    void EndCancelled();
    // Ends a job whose work threw: reported, failed, its files closed and a
    // partial output removed.
    void EndAfterThrow(std::exception_ptr caught);
    void RemoveCdiBumper();

    // Sector loop.
    enum class LoopEnd { Done, NoStream, LostAlignment, Cancelled, Failed };
    LoopEnd RunSectorLoop();
    LoopEnd TrackStart();
    LoopEnd FixLoop();
    LoopEnd PlainLoop();
    LoopEnd SourceUnreadable();
    LoopEnd StreamTail(uint64_t at);
    bool EndOfData(const uint8_t* sector, size_t got, const uint8_t* after, size_t afterLength);
    bool EndOfDataApplies() const;
    bool SectorsRemain() const;
    bool WriteHeld();
    bool Resync();
    void PadSector();
    bool Split();
    void CorrectFirstSector(size_t& got);
    void WriteSector(const uint8_t* data, size_t got);
    bool RebuildsSectors() const;
    void WriteWholeSector(const uint8_t* data, size_t got, uint64_t sector);
    void WriteRawSector(const uint8_t* payload, size_t length, const uint8_t* subheader);
    void WriteSystemHeaders();
    void TrackEnd();
    void DropFailedOutput();
    // The job's sources, recorded before any output is created.
    void RecordInputs();
    // Logs and returns the file creating `name` would overwrite; empty when none.
    std::string OutputClash(const std::string& name);
    // A failed job leaves none of the outputs it did not finish.
    void DropUnfinishedOutputs();
    void DropGenerated(const std::string& name);
    bool PlannedTrackOutput(const std::string& name);
    int CheckTrackOutputs();
    std::string PieceName(uint32_t number) const;
    bool DatTooLarge();
    void PatchDatHeader();

    // Image builds (image_build.cpp).
    int SelectBuildMethod(const TMethodEntry& e);
    int CheckBuildLimits();
    void RunBuild();
    int StartImage(size_t entry);
    int OpenEntryInput(size_t entry);
    int SetupBuildTrack(size_t entry);
    bool FindPackOfDiscKind();
    bool NextSectorOnTheGrid();
    LoopEnd BuildTrack(size_t entry);
    LoopEnd BuildDataSectors(size_t entry);
    void BuildPayload(uint8_t* sector, uint8_t* payload);
    bool WriteEmptySectors(int count, const uint8_t* subheader);
    int EndImage(size_t lastEntry);
    int WriteBuildSample();
    int CheckBuildOutputs();
    std::string BuildSampleFolder() const;
    bool ImageOutputName(int32_t image, std::string& name);
    void EndBuild();

    // Helpers.
    void Log(const std::string& line);
    void Status(const std::string& text);
    int Report(int kind, int index, const std::string& text);
    std::string SourceName() const;
    std::string TrackContext() const;  // the source's name and the track's number
    std::string KindWord(int kind) const;
    std::string NowText() const;
    int64_t NowSeconds() const;
    bool Running() const;
    bool RawOutput() const;
    size_t OutWrite(const void* data, size_t count);

    std::unique_ptr<TJobCopy> jobCopy_;
    TJob* job_;        // the copy's
    TConfig* config_;  // the copy's
    TJobStart& start_;
    TJobControls* controls_;
    std::shared_ptr<const TLanguageSet> lang_;
    TRunState* runState_;
    TTrackTable* trackTable_;
    std::unique_ptr<TFileIO> inputFile_;
    std::unique_ptr<TFileIO> outputFile_;

    std::vector<uint8_t> sector_;  // read buffer, never smaller than 5120 bytes
    std::vector<uint8_t> search_;  // buffer of the chunked searches
    uint8_t raw_[2352] = {};

    int32_t imageNumber_ = 1;
    uint32_t fixCount_ = 0;
    uint32_t splitCount_ = 0;
    uint32_t paddingCount_ = 0;
    int64_t outputSize_ = 0;
    int32_t method_ = 0;
    int16_t pageMode_ = 0;
    int16_t inputKind_ = 0;
    int16_t outputKind_ = 0;
    std::string volumeName_;
    int result_ = 0;
    int openerResult_ = 0;
    bool batchTask_ = false;

    // Per track.
    int32_t track_ = 0;
    int64_t sectorsDone_ = 0;
    int64_t trackSectors_ = 0;
    TProgressMeter progress_;
    bool firstHandled_ = false;
    bool resync_ = false;
    uint64_t previousClock_ = 0;
    uint32_t address_ = 0;
    uint64_t trackEnd_ = UINT64_MAX;  // byte after the track's extent in the source
    uint64_t sourceDataEnd_ = UINT64_MAX;  // an nrg's sectors end where its footer begins
    uint64_t sourceLead_ = 0;              // bytes in front of an nrg's or cif's first disc sector
    bool sourceLeadKnown_ = false;         // ... found in the file, not assumed
    uint64_t loopStart_ = 0;          // where the track's sector loop began reading
    bool emptyNext_ = false;          // the next disc sector read is an empty one
    uint64_t lostAt_ = 0;             // where the repair last found no pack at a sector's start
    THeldSectors held_;
    uint64_t outputBytes_ = 0;   // bytes written to the current output
    uint64_t trackBytes_ = 0;    // stream bytes written in this track
    uint64_t jobBytes_ = 0;      // stream bytes written in this job
    bool outputOpen_ = false;
    bool trackOutputOpened_ = false;
    bool streamMissing_ = false;  // some track had no stream or lost it
    bool streamCut_ = false;      // some track lies partly or wholly past the source's end
    bool trackCut_ = false;       // the current track does
    bool writeError_ = false;

    std::unique_ptr<TImageBuild> build_;  // image builds only
    // What the job reads and what it has created: no output goes over either.
    TOutputGuard guard_;
    // The per-track outputs of the job, before they exist (split pieces keep
    // clear of them).
    std::optional<TOutputGuard> plannedOutputs_;

    std::thread thread_;
    std::mutex joinMutex_;
    std::atomic<bool> finished_{false};
};
