// The sample clip editor's model: a source (one MPEG file, or a row of the
// build list), a seek bar over it, GOP steps, an in point and an out point
// on GOP starts, and the clip state a task project keeps. The editor window
// shows it; tests and run_clip drive it without one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "tools/gop_locator.h"

struct TConfig;
class TLanguageSet;
class TMpegFileList;
class TVcdTrackList;
namespace platform {
class MediaPlayer;
}

// The clip a task project keeps: seven 32-bit integers, 28 bytes stored.
struct TSampleClipState {
    int32_t inSeekPosition = 0;
    int32_t inFrame = 0;
    int32_t outFrame = 0;
    int32_t row = 0;  // 1-based row of the editor's grid
    int32_t outSeekPosition = 0;
    int32_t inOffset = 0;
    int32_t outOffset = 0;

    static constexpr size_t kStoredSize = 28;
    void Store(uint8_t out[kStoredSize]) const;  // little-endian
    static TSampleClipState Load(const uint8_t in[kStoredSize]);
    bool operator==(const TSampleClipState&) const = default;
};

// What the clip writer needs, copied out of the editor.
struct TSampleClipDescription {
    std::string sourcePath;
    int32_t discKind = 1;    // 1 MPEG-1 (VCD), 2 MPEG-2 (SVCD)
    int64_t inOffset = 0;    // start of the sector holding the in GOP
    int64_t outOffset = 0;   // start of the sector holding the out GOP
    int64_t inFrame = 0;     // both counted from the source's first GOP
    int64_t outFrame = 0;
    int64_t timeBase = 0;    // frames of the first GOP's own time code
    double frameRate = 29.97;
    std::string outputName;  // FilenameText
};

// Frames per second of an MPEG frame-rate code; codes off the table (0 and
// 9..15) count as a stream without a sequence header: 29.97.
double FrameRateForCode(int code);
// Frame rate of the first sequence header within 5 MiB, else 29.97. The
// file is left at 0.
double DetectFrameRate(TFileIO& file);

// A row the editor can open: the file, and in build-list mode its entry's
// frame rate and disc kind.
struct TSampleSourceRow {
    std::string path;
    double frameRate = 0;  // 0: detect (plain file)
    int32_t discKind = 1;
};

class TSampleClipEditor {
public:
    // index and text of an error for the message reporter (7, 30).
    using ErrorSink = std::function<void(int index, const std::string& text)>;

    TSampleClipEditor(const TConfig* config, const TLanguageSet* texts, platform::MediaPlayer* player,
                      ErrorSink reportError);
    ~TSampleClipEditor();

    // Plain-file mode on one MPEG file; 0, or 7 when it is no MPEG stream
    // (reported, and the editor reset).
    int OpenMpegFile(const std::string& path);
    // Build-list mode: grid rows (row 0 the captions) and one source per
    // row after it.
    int OpenTrackList(const std::vector<std::vector<std::string>>& grid, const std::vector<TSampleSourceRow>& rows);
    // Build-list mode on a copy of the build list: its rows, each entry's
    // file and frame rate, the disc kind of the build.
    int OpenTrackList(const TVcdTrackList& list, const TMpegFileList& files, int32_t discKind);
    void ResetEditor();

    // Handlers, as the window calls them.
    int TrackListGridClick(int row);  // 0 open, result::kCannotOpen not openable,
                                      // msg::error::kNoMpegStream (reported) no stream
    void SeekBarChange(int position);
    void vidTCUpDownClick(bool up);
    void markButtonClick();
    void clearButtonClick();
    int64_t SetSampleLength(int64_t seconds);  // the whole seconds reached
    // Steps GOPs forward to the first at or after the frame, or the last
    // one before the stream ends or its time codes start again.
    void StepToFrame(int64_t frame);
    void Button30Click() { SetSampleLength(30); }
    void Button60Click() { SetSampleLength(60); }
    void ButtonRandomClick();
    void randomButtonClick();
    // 0 stay open (no name, or an in point without a picture after it),
    // platform::kOk, platform::kCancel (no in point).
    int okButtonClick();
    int cancelButtonClick();  // platform::kCancel
    void FormShow();
    void FilenameTextExit();
    void SetFilenameText(const std::string& text) { filenameText = text; }
    void PreviewCheckBoxClick(bool checked);
    void ActiveMovie1ReadyStateChange(int state);

    // False, and the state untouched, when a value does not fit 32 bits.
    bool SaveClipState(TSampleClipState& out) const;
    // Checks every field against the source; false, with the editor back
    // at the source-open state and no clip, when one does not hold.
    bool RestoreClipState(const TSampleClipState& s);

    std::string FormatTimeCode(int64_t frames) const;
    int64_t WholeSeconds(int64_t frames) const;
    TSampleClipDescription Description() const;
    bool HasRows() const { return !rows_.empty(); }
    bool SourceOpen() const { return source_ != nullptr; }
    int64_t LastFrame() const { return lastGopFrame - timeBase > 0 ? lastGopFrame - timeBase : 0; }
    // Seeds the dice of the random buttons (the clear seeds it from the time).
    void SeedRandom(uint32_t seed) { seed_ = seed; }

    // What the window shows.
    std::vector<std::vector<std::string>> grid;  // [row][column], 5 columns
    int row = 1;
    int seekPosition = 0;
    bool seekEnabled = false;
    int selectionStart = 0;
    bool editingEnabled = false;
    std::string currentTC = "00:00:00.00", sampleTC = "00:00:00.00";
    bool sampleTCEnabled = false;
    std::string inLabel = "In: ", outLabel = "Out: ";
    std::string commentsLabel, msgLabel, timeLabel, durationLabel;
    std::string filenameText;
    bool okEnabled = false;
    bool preview = false;

    // The editor's state.
    double frameRate = 29.97;
    int64_t inOffset = 0, outOffset = 0;
    int64_t firstGopFrame = 0, lastGopFrame = 0, timeBase = 0;
    int64_t currentPosition = 0;
    uint8_t inMarked = 0;
    std::string defaultClipName;
    uint8_t plainFile = 0;
    uint8_t mpeg2 = 0;
    int64_t inFrame = 0, outFrame = 0, sampleLength = 0;
    int inSeekPosition = 0;
    uint8_t clipSet = 0;
    int readyState = 0;
    TGopCursor cursor;

private:
    int FailSource(int code, const std::string& path);
    // "In" or "Out" in the language set, and what follows it.
    std::string Label(int index, const char* tail) const;
    bool HoldsPicture() const { return inMarked && outFrame > inFrame && outOffset > inOffset; }
    void CloseSource();
    int64_t GopFrames() const;  // the cursor's GOP, on the editor's scale
    // Keeps the cursor at or after the in point, then moves the out point
    // to it when the in point is set.
    void FollowOutPoint();
    void ShowPlayerPosition();
    int Rand();
    bool Moved(int seekBefore, int64_t gopBefore) const {
        return seekPosition != seekBefore || cursor.lastGop != gopBefore;
    }

    const TConfig* config_;
    const TLanguageSet* texts_;
    platform::MediaPlayer* player_;
    ErrorSink reportError_;
    std::vector<TSampleSourceRow> rows_;
    std::unique_ptr<TFileIO> source_;
    std::array<uint8_t, kClipSectorSize> sector_{};
    // What Cancel goes back to: the state when the window was shown.
    TSampleClipState cancelState_{};
    bool cancelMarked_ = false;
    bool cancelSaved_ = false;
    uint8_t cancelClipSet_ = 0;
    std::string cancelName_;
    uint32_t seed_ = 1;
};
