// The records the main window, the options, the batch window and the worker
// share: one job, one set of options, the run state, the controls a running
// job reports to, the batch connection and the message counters.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

class TLanguageSet;
class TTrackTable;
class TMpegFileList;
class TVideoCdImage;
class TCdiFiles;
class TFileIO;
struct TStats;
struct TJobControls;
struct TRunState;

struct TBatchContext {
    // The batch window's result edit; the worker hands its result to the
    // window's end of the job instead.
    platform::Edit* returnSignal = nullptr;
    const int16_t* onError = nullptr;        // 4 stop, 5 continue
    const int16_t* onQuery = nullptr;        // 6 answer yes, 7 answer no
};

// A job's worker runs on its own copy of this record: a field the worker
// reads must also be copied by TakeJobCopy (engine/job_copy.cpp).
// Made and destroyed in the disc layer (disc/track_table.cpp), which knows
// the track table the job owns.
struct TJob {
    TJob();
    ~TJob();
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    int32_t readSectorSize = 0;
    int32_t writeSectorSize = 0;
    int32_t forcedReadSize = 0;
    int32_t forcedWriteSize = 0;
    int32_t discKind = 1;          // 1 VCD / MPEG-1, 2 SVCD / MPEG-2
    int32_t sectorHeaderSize = 0;  // 0, 8 or 24 in front of a dat payload
    uint8_t multiImage = 0;
    int32_t method = 0;
    int32_t pageMode = 0;
    const uint8_t* searchPattern = nullptr;  // at least 4 bytes
    TJobControls* controls = nullptr;        // owned while a job runs
    TBatchContext* batchContext = nullptr;   // owned
    TTrackTable* trackTable = nullptr;       // owned (deleted by the destructor)
    TMpegFileList* mpegList = nullptr;
    TCdiFiles* cdiFiles = nullptr;
    TVideoCdImage* videoCdImage = nullptr;
    TFileIO* inputFile = nullptr;
    TFileIO* outputFile = nullptr;
    std::string sourceName;
    // The cue sheet or toc file the source's tracks were read from; empty
    // for a source without one. An output never goes over it.
    std::string sheetName;
    std::string outputName;
    std::string baseOutputName;
    std::string volumeName;
};

struct TConfig {
    int32_t PriorityLevel = 3;
    int16_t DisableErrorPrompts = 0;  // the prompt flags word (bits 13..15: batch)
    uint8_t DisableAudioWarningBell = 0;
    uint8_t DisableHeaderCorrection = 0;
    uint8_t DisableMPEGFileSplit = 0;
    uint8_t DisableMPEGPadding = 0;
    uint8_t sequenceCorrection = 0;
    uint8_t RemoveCDIBumper = 0;
    uint8_t selectedTracksOnly = 0;
    uint8_t ToastEnable = 0;
    uint8_t FixMPEGErrors = 0;
    uint8_t CUEIndexFullPath = 0;
    uint8_t AlwaysScanForCDI = 0;
    uint8_t AddCDIApplication = 0;
    uint8_t SVCD_UseMPEG2Directory = 0;
    uint8_t SVCD_UseENTRYVCD = 0;
    uint8_t SVCD_PhilipsCompliant = 0;
    uint8_t passive = 0;
    uint8_t bumperRemoved = 0;
    int32_t Pass_Clr = 0;
    int32_t Warning_Clr = 0;
    int32_t Error_Clr = 0;
    int32_t Pass_Threshold = 0;
    int32_t Warning_Threshold = 0;
    uint8_t buildListHeaderShown = 0;
    uint8_t PreviewVideo = 0;
    std::string LanguageFile;
    std::string LanguageFileDirectory;
    std::string ManualFAQDirectory;
    std::string DefaultLoadDir;
    std::string DefaultSaveDir;
    std::string TempDirectory;
    std::string MultiFileFormat;
    std::string CDI_ImageFile;
    std::string CDI_FontFile;
    std::string CDI_ApplicationFile;
    std::string CDI_ConfigurationFile;
};

struct TRunState {
    std::atomic<uint8_t> running{0};  // 1 while a job runs; 0 asks it to stop
    std::atomic<int32_t> pageMode{0};
};

struct TStats {
    explicit TStats(TJob* job) : job(job) {}
    // Shows "<w> Warnings / <e> Errors" in the counter label of the job's page.
    void Show();
    // Same, with the words taken from the given texts (the reporter passes the
    // job's own snapshot, so the worker never reads texts a reload rewrites).
    void Show(const TLanguageSet* texts);

    TJob* job = nullptr;
    std::atomic<int32_t> warnings{0};
    std::atomic<int32_t> errors{0};
    // The two counter labels (totalErrWarnings, totalErrWarnings2) and the
    // texts they take their words from.
    platform::Label* totalErrWarnings = nullptr;
    platform::Label* totalErrWarnings2 = nullptr;
    const TLanguageSet* languageSet = nullptr;
};

// What a running job reports to; one block per start, owned by the job.
struct TJobControls {
    platform::Label* statusLabel = nullptr;
    platform::Label* etaLabel = nullptr;
    platform::ProgressBar* progressBar = nullptr;
    platform::Label* completedLabel = nullptr;
    platform::ListBox* trackListBox = nullptr;
    platform::ListBox* logListBox = nullptr;
    platform::Button* startButton = nullptr;
    // The job's own copy of the texts, taken at its start, so that a reload
    // in the options window never changes a text under the worker.
    std::shared_ptr<const TLanguageSet> languageSet;
    std::atomic<uint8_t>* batchFlag = nullptr;  // TForm1.batchActive
    platform::FileDialogState* openDialog = nullptr;
    platform::FileDialogState* saveDialog = nullptr;
    TRunState* runState = nullptr;
    // Services the worker reaches the user through.
    platform::Dialogs* dialogs = nullptr;
    platform::FileDialogs* fileDialogs = nullptr;
    TStats* stats = nullptr;
    platform::Clock* clock = nullptr;
    platform::Label* titleLabel = nullptr;  // the application title
};
