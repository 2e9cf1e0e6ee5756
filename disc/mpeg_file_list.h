// The build list of the video-cd page: MPEG files checked against the disc
// kind, scanned for their stream facts, split at GOP sectors when larger
// than an image, and spread over images. Window-free: it reaches the page
// only through the handles of TBuildListControls, any of which may be absent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialogs.h"

class TFileIO;
class TLanguageSet;
class TVcdTrackList;
struct TConfig;
struct TJob;
struct TStats;

// One build-list entry: a whole file or one piece of a split file.
struct TMpegFileInfo {
    int64_t size = 0;  // endOffset - startOffset
    int16_t width = 0, height = 0;
    uint32_t videoBitRate = 0;   // bits per second (sequence header value x 400)
    int32_t audioLayer = 0;      // 3 Layer I, 2 Layer II, 1 Layer III; 0 when no audio frame was found
    int32_t audioSampleRate = 0; // Hz
    uint32_t audioBitRate = 0;   // bits per second
    int32_t trackInImage = 0;    // 1-based, set by AssignImages
    int32_t image = 0;           // 1-based, shift included; never decreases down the list
    int32_t imageShift = 0;      // manual shift, kept with the list position
    // Play time as plain numbers (minutes may pass 99); the image build turns
    // them into BCD where a disc table wants it.
    int32_t playMinutes = 0, playSeconds = 0, playPictures = 0;
    // The pictures the play time counts: from the first one displayed to the
    // last, plus one (0 when not measured). Play times in seconds divide it
    // by the frame rate itself, not the rounded rate the fields above use.
    int64_t playFrames = 0;
    int32_t pause = 0;           // seconds after the track (255: wait for the user)
    double frameRate = 0;
    uint8_t frameRateCode = 0;
    uint8_t pal = 0;             // frame-rate code 3 (25 fps)
    uint8_t packSize2324 = 0;
    uint8_t hasTimeStamps = 0;   // the video packet carrying the first GOP has a PTS
    // Byte range in the file: [startOffset, endOffset). A whole file starts at
    // its first pack (leading bytes skipped) and ends at its length; pieces
    // are contiguous and the last ends at the file's end.
    int64_t startOffset = 0, endOffset = 0;
    uint8_t firstPiece = 0;      // 0: whole file or first piece; 1: a later piece
    uint8_t split = 0;           // 1 for every piece of a split file
    int64_t firstFrame = 0;      // frame number at the entry's start
    uint64_t firstScr = 0;       // SCR of the first pack at startOffset, 90 kHz
    double firstPts = 0, firstDts = 0;  // of the first GOP's video packet; 0 when absent
    std::string name;            // the file's path
    // Written by the image build when it lays out the image.
    int16_t trackStartMinute = 0, trackStartSecond = 0, trackStartFrame = 0;

    // "[hh:mm:sss]" as the grid shows it: "[%02d:%02d:%02ds]".
    std::string TimeText() const;
    int64_t PlaySeconds() const { return int64_t(playMinutes) * 60 + playSeconds; }
};

// The page's controls the list reads and writes, and where its messages go.
// The page fills one block (tests fill it with recording handles).
struct TBuildListControls {
    platform::CheckBox* VCDCheckBox = nullptr;
    platform::CheckBox* SVCDCheckBox = nullptr;
    platform::Button* startVCDButton = nullptr;
    platform::Edit* pauseTimeMsg = nullptr;
    // The spanning choice: imgCustom counts as "80min".
    platform::CheckBox* imgNone = nullptr;
    platform::CheckBox* img74 = nullptr;
    platform::CheckBox* img80 = nullptr;
    platform::CheckBox* imgCustom = nullptr;
    platform::Label* imgNumLabel = nullptr;
    platform::Label* totalImageTime = nullptr;
    platform::ListBox* logListBox = nullptr;
    TVcdTrackList* trackList = nullptr;  // the model over TrackListGrid
    // Message services (ReportMessage).
    const TLanguageSet* languageSet = nullptr;
    TStats* stats = nullptr;
    platform::Dialogs* dialogs = nullptr;
};

class TMpegFileList {
public:
    static constexpr int64_t kSectorBytes = 2324;
    static constexpr int64_t kCapacity74 = 771044400;
    static constexpr int64_t kCapacity80 = 832685088;
    static constexpr int64_t kMarginVcd = 20000000;
    static constexpr int64_t kMarginSvcd = 10000000;
    // Every track also takes 235 frame sectors on the disc (pregap, front
    // margin, end sectors, postgap), counted against the capacity.
    static constexpr int64_t kTrackFrameBytes = 235 * kSectorBytes;
    static constexpr int kSearchSectors = 6768;

    TMpegFileList(TJob* job, TConfig* config);
    ~TMpegFileList();
    TMpegFileList(const TMpegFileList&) = delete;
    TMpegFileList& operator=(const TMpegFileList&) = delete;

    void SetControls(const TBuildListControls& controls) { controls_ = controls; }
    const TBuildListControls& Controls() const { return controls_; }

    // Capacity in bytes of one image: 0 for no spanning, else 74 or 80
    // minutes by the spanning choice, or the override. The margin by the
    // disc kind, or its override. A negative override means none.
    int64_t ImageCapacity() const;
    int64_t ImageMargin() const;
    void SetCapacityOverride(int64_t bytes) { capacityOverride_ = bytes; }
    void SetMarginOverride(int64_t bytes) { marginOverride_ = bytes; }
    // The longest piece a split makes: what fits one image with its frame
    // sectors and the margin (at least one sector).
    int64_t PieceLength() const;

    // 0 added (whole or as pieces); result::kCannotOpen the file cannot be
    // opened; result::kFailed refused by the disc-kind checks, or without
    // spanning when the last image holds 98 tracks (error 20, before the file
    // is read); the scan's failures as ScanFile gives them. A refused file
    // changes nothing.
    int AddFile(const std::string& path);
    // Scans the open file and appends it (or its pieces): 0 whole,
    // result::kSplit split, kScanNoStream no pack start, kScanNoSequence no
    // sequence header, kScanNoSplit too long with no GOP to cut it at,
    // kBadPackSize pack size not 2324.
    // Nothing is appended unless the result is 0 or kSplit.
    int ScanFile(TFileIO& file);

    void AssignImages();
    void IncreaseImage(int row);  // 1-based
    // 1-based. False when nothing moved: the first row, a row that does not
    // begin an image, or one whose image would then hold more tracks than a
    // disc or more than the capacity chosen (refused and logged).
    bool ReduceImage(int row);
    void SwapEntries(int a, int b);  // 0-based; shift and pause stay with the position
    void RemoveName(const std::string& path);
    // Erases entry index (0-based) and keeps the job's track table in step;
    // the page removes the name and the grid row itself.
    void EraseEntry(int index);
    // Every entry and name gone; the track table emptied (FreeScanObjects).
    void Clear();

    int64_t ImagePlaySeconds(int image) const;
    int32_t TracksInImage(int32_t image) const;
    // What an image's entries take of a disc: their bytes and frame sectors.
    int64_t ImageBytes(int32_t image) const;
    // "1021.6 MB" (millions of bytes, one decimal).
    static std::string Megabytes(int64_t bytes);
    int ImageCount() const;
    void ShowImageInfo();

    // Time functions on an open file. They read the file last scanned: its
    // sectors on its pack grid (from its first pack start), its frame rate.
    // UseEntry points them at the file of an entry instead (any entry's
    // start offset lies on its file's grid).
    void UseEntry(const TMpegFileInfo& entry) {
        packOrigin_ = entry.startOffset % kSectorBytes;
        scanRate_ = entry.frameRate;
    }
    bool HasTimeStamps(TFileIO& file);
    uint64_t FirstScr(TFileIO& file, int64_t offset);
    int64_t FirstGopFrame(TFileIO& file);
    // Walks back from position (then forward from the grid's start) to a
    // GOP sector; position := its start; its GOP time code's frame number.
    // Nothing found: position := 0, result 0.
    int64_t GopFrameAt(TFileIO& file, int64_t& position);
    // The same walk; the frame from the PTS of the video packet carrying the
    // GOP, or -1 when that packet has none (the GOP time code then counts).
    // firstPts/firstDts, when given, get its stamps (0 when absent).
    int64_t PtsFrameAt(TFileIO& file, int64_t& position, double* firstPts = nullptr, double* firstDts = nullptr);

    // A GOP sector as the time functions see it: its GOP time code's frame
    // number and, when the video packet carrying the GOP has a PTS that
    // belongs to the GOP's first picture, that PTS (as a frame number too).
    struct GopSector {
        bool found = false;
        int64_t sector = 0;  // start offset of the sector
        int64_t gopFrame = 0;
        bool hasPts = false;
        int64_t ptsFrame = 0;
        double pts = 0, dts = 0;  // 90 kHz; dts 0 when absent
        int ptsOffset = -1;       // byte of the PTS in the sector
    };
    // Up to the search range of sectors forwards from offset; or back from
    // offset to the grid's start, then forwards.
    bool FindGopForward(TFileIO& file, int64_t offset, GopSector& out);
    bool FindGopBackward(TFileIO& file, int64_t offset, GopSector& out);
    // Frames from a to b: by PTS when both carry one, else by GOP time codes.
    static int64_t FramesBetween(const GopSector& a, const GopSector& b, bool timeStamps);
    // Pictures displayed from a's first one to b's first one, or with
    // throughB to b's last one plus one (b the stream's last GOP).
    int64_t DisplayFrames(TFileIO& file, const GopSector& a, const GopSector& b, bool timeStamps, bool throughB);
    // The pictures from the GOP at or after from to the end of the last one
    // before to, by every GOP's time code: one whose code goes back (or on
    // by more than any GOP lasts) follows the GOP before it.
    int64_t WalkedFrames(TFileIO& file, int64_t from, int64_t to);

    // The header lines and the line for one entry.
    static std::vector<std::string> LogHeader();
    static std::string LogLine(int number, const TMpegFileInfo& entry);
    static const char* FrameRateText(int code);  // six characters

    std::vector<TMpegFileInfo> entries;
    std::vector<std::string> fileNames;  // one per accepted file; pieces share one
    int32_t ptsOffset = 0;  // byte of the PES time stamp in the last GOP sector examined

private:
    int SplitFile(TFileIO& file, const TMpegFileInfo& scanned);
    void ScanAudio(const std::vector<uint8_t>& head, TMpegFileInfo& entry) const;
    void TakeDiscKind();
    int32_t DiscKind() const;  // the job's, or the one the first file would set
    int64_t GridStart(int64_t position) const;
    // Where the pack holding the GOP of the grid sector at sector begins, or -1.
    int64_t PackStartOfGop(TFileIO& file, int64_t sector);
    // The first GOP sector from offset on, read from offset itself (a pack
    // start off the grid), not from the grid.
    bool GopSectorAt(TFileIO& file, int64_t offset, GopSector& out);
    void SyncTrackTable();
    void Report(int kind, int index, const std::string& context);
    void ReportText(const char* error, const std::string& context);  // an error of our own words
    int32_t PauseFromPage() const;
    void Renumber();

    TJob* job_ = nullptr;
    TConfig* config_ = nullptr;
    TBuildListControls controls_;
    int64_t capacityOverride_ = -1;
    int64_t marginOverride_ = -1;
    int64_t packOrigin_ = 0;  // first pack start of the file being scanned
    double scanRate_ = 0;     // its frame rate
    int32_t pendingKind_ = 0; // disc kind the first file would set
};
