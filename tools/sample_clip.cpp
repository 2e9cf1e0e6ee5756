#include "tools/sample_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "core/helpers.h"
#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/mpeg_file_list.h"
#include "disc/time_code.h"
#include "disc/vcd_track_list.h"
#include "platform/dialogs.h"
#include "platform/media_player.h"

namespace {

constexpr const char* kZeroTime = "00:00:00.00";
constexpr uint64_t kRateSearchLimit = 0x500000;
constexpr size_t kRateSearchChunk = 5120;
const uint8_t kSequenceStart[4] = {0x00, 0x00, 0x01, 0xB3};

bool Fits32(int64_t v) { return v >= 0 && v <= std::numeric_limits<int32_t>::max(); }

}  // namespace

void TSampleClipState::Store(uint8_t out[kStoredSize]) const {
    const int32_t v[7] = {inSeekPosition, inFrame, outFrame, row, outSeekPosition, inOffset, outOffset};
    for (int i = 0; i < 7; ++i) PutEndianInt(out + 4 * i, static_cast<uint32_t>(v[i]), 4, true);
}

TSampleClipState TSampleClipState::Load(const uint8_t in[kStoredSize]) {
    int32_t v[7];
    for (int i = 0; i < 7; ++i) {
        const uint8_t* p = in + 4 * i;
        v[i] = static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                    (uint32_t{p[3]} << 24));
    }
    return {v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
}

double FrameRateForCode(int code) {
    static const double kRates[9] = {29.97, 23.976, 24.0, 25.0, 29.97, 30.0, 50.0, 59.94, 60.0};
    return code >= 1 && code <= 8 ? kRates[code] : 29.97;
}

double DetectFrameRate(TFileIO& file) {
    double rate = 29.97;
    std::vector<uint8_t> buffer(kRateSearchChunk);
    file.Seek(0);
    if (file.Search(kSequenceStart, sizeof kSequenceStart, buffer.data(), kRateSearchLimit, kRateSearchChunk, false)) {
        uint8_t header[12] = {};
        if (file.Read(header, sizeof header) == sizeof header) rate = FrameRateForCode(header[7] & 0x0F);
    }
    file.Seek(0);
    return rate;
}

TSampleClipEditor::TSampleClipEditor(const TConfig* config, const TLanguageSet* texts, platform::MediaPlayer* player,
                                     ErrorSink reportError)
    : config_(config), texts_(texts), player_(player), reportError_(std::move(reportError)) {
    grid.assign(2, std::vector<std::string>(5));
    seed_ = static_cast<uint32_t>(std::time(nullptr));
}

TSampleClipEditor::~TSampleClipEditor() { CloseSource(); }

void TSampleClipEditor::CloseSource() {
    if (source_) source_->Close();
    source_.reset();
}

int TSampleClipEditor::Rand() {
    seed_ = seed_ * 214013u + 2531011u;
    return static_cast<int>((seed_ >> 16) & 0x7FFF);
}

std::string TSampleClipEditor::FormatTimeCode(int64_t frames) const {
    if (frames <= 0) return kZeroTime;
    const int64_t n = static_cast<int64_t>(std::ceil(frameRate));
    const int64_t ff = frames % n, s = frames / n;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>((s / 60) % 60), static_cast<long long>(s % 60), static_cast<long long>(ff));
    return text;
}

std::string TSampleClipEditor::Label(int index, const char* tail) const {
    static const char* const kOwn[] = {"In", "Out"};
    const std::string text = texts_ ? texts_->component(index) : std::string(kOwn[index == msg::component::kOut]);
    return text + tail;
}

int64_t TSampleClipEditor::WholeSeconds(int64_t frames) const {
    return frames / static_cast<int64_t>(std::ceil(frameRate));
}

int TSampleClipEditor::OpenMpegFile(const std::string& path) {
    ResetEditor();
    plainFile = 1;
    clipSet = 0;
    commentsLabel = texts_ ? texts_->hint(msg::hint::kSetStart) : std::string();
    grid.assign(2, std::vector<std::string>(5));
    grid[0][2] = texts_ ? texts_->component(msg::component::kSource) : std::string("Source");
    grid[1][2] = path;
    rows_ = {TSampleSourceRow{path, 0, 1}};
    preview = config_ && config_->PreviewVideo;
    row = 1;
    return TrackListGridClick(1);
}

int TSampleClipEditor::OpenTrackList(const std::vector<std::vector<std::string>>& cells,
                                     const std::vector<TSampleSourceRow>& sources) {
    ResetEditor();
    plainFile = 0;
    clipSet = 0;
    commentsLabel = texts_ ? texts_->hint(msg::hint::kSetStart) : std::string();
    grid = cells;
    if (grid.empty()) grid.assign(2, std::vector<std::string>(5));
    for (auto& r : grid) r.resize(std::max<size_t>(r.size(), 5));
    rows_ = sources;
    preview = config_ && config_->PreviewVideo;
    row = 1;
    return TrackListGridClick(1);
}

int TSampleClipEditor::OpenTrackList(const TVcdTrackList& list, const TMpegFileList& files, int32_t discKind) {
    // The grid's cells as the build list shows them, from the list's own
    // entries (a list without a grid has only those).
    std::vector<std::vector<std::string>> cells(1, std::vector<std::string>(5));
    cells[0][0] = "#";
    cells[0][2] = texts_ ? texts_->component(msg::component::kSource) : std::string("Source");
    std::vector<TSampleSourceRow> sources;
    const size_t rows = std::min<size_t>(static_cast<size_t>(std::max(list.RowCount(), 0)), files.entries.size());
    for (size_t i = 0; i < rows; ++i) {
        const TMpegFileInfo& e = files.entries[i];
        cells.push_back({std::to_string(e.image), std::to_string(e.trackInImage), e.name, e.TimeText(), ""});
        sources.push_back({e.name, e.frameRate, discKind});
    }
    if (cells.size() < 2) cells.emplace_back(5);
    return OpenTrackList(cells, sources);
}

int TSampleClipEditor::FailSource(int code, const std::string& path) {
    if (code == msg::error::kNoMpegStream && reportError_) reportError_(code, path);
    ResetEditor();
    return code;
}

int64_t TSampleClipEditor::GopFrames() const {
    TGopTimeCode tc;
    tc.Read(cursor.header);
    return tc.FrameNumber(frameRate);
}

int TSampleClipEditor::TrackListGridClick(int r) {
    CloseSource();
    cursor.Clear();
    filenameText.clear();
    row = r;
    if (rows_.empty() || r < 1 || r > static_cast<int>(rows_.size()) || r >= static_cast<int>(grid.size()) ||
        grid[static_cast<size_t>(r)][2].empty())
        return result::kCannotOpen;
    const TSampleSourceRow& src = rows_[static_cast<size_t>(r - 1)];
    source_ = std::make_unique<TFileIO>();
    frameRate = 1.0;
    clearButtonClick();
    if (source_->OpenForRead(src.path) != 0) {
        source_.reset();
        seekPosition = 0;
        seekEnabled = false;
        clipSet = 0;
        return result::kCannotOpen;
    }
    if (preview && player_) player_->setFileName(src.path);
    seekEnabled = true;
    if (plainFile) {
        frameRate = DetectFrameRate(*source_);
        filenameText = WithoutExtension(src.path) + "-sample.mpg";
        mpeg2 = IsMpeg2Stream(*source_) ? 1 : 0;
        if (!mpeg2 && !IsMpegProgramStream(*source_)) return FailSource(msg::error::kNoMpegStream, src.path);
    } else {
        frameRate = src.frameRate >= 1.0 ? src.frameRate : 29.97;
        mpeg2 = src.discKind == 2 ? 1 : 0;
        filenameText = WithoutExtension(ExtractName(src.path)) + "-sample.mpg";
    }
    defaultClipName = filenameText;
    // A source without a GOP has no position to show: refuse it as a file
    // that holds no MPEG stream.
    if (!(cursor.FindFirstGop(*source_, sector_.data()) & kGopFound))
        return FailSource(msg::error::kNoMpegStream, src.path);
    firstGopFrame = GopFrames();
    if (!(cursor.FindLastGop(*source_, sector_.data()) & kGopFound))
        return FailSource(msg::error::kNoMpegStream, src.path);
    lastGopFrame = GopFrames();
    cursor.GopInSector(*source_, sector_.data(), cursor.lowerBound);
    timeBase = firstGopFrame;
    currentPosition = 0;
    currentTC = kZeroTime;
    return 0;
}

void TSampleClipEditor::FollowOutPoint() {
    if (!inMarked) return;
    if (currentPosition < inFrame || cursor.lastGop < inOffset) {
        // Never before the in point: back to the in GOP.
        seekPosition = inSeekPosition;
        cursor.GopInSector(*source_, sector_.data(), inOffset);
        currentPosition = inFrame;
    }
    outFrame = currentPosition;
    sampleLength = currentPosition - inFrame;
    outOffset = cursor.lastGop;
    sampleTC = FormatTimeCode(sampleLength);
    outLabel = Label(msg::component::kOut, ": ") + FormatTimeCode(currentPosition);
    okEnabled = HoldsPicture();
}

void TSampleClipEditor::ShowPlayerPosition() {
    if (!preview || !player_ || readyState != platform::MediaPlayer::kReady) return;
    if (player_->state() != platform::MediaPlayer::kPaused) player_->pause();
    player_->setCurrentPosition(static_cast<double>(currentPosition) / frameRate);
}

void TSampleClipEditor::SeekBarChange(int position) {
    seekPosition = std::clamp(position, 0, 100);
    if (rows_.empty() || !source_) return;
    TFileIO& f = *source_;
    int64_t target = static_cast<int64_t>(static_cast<double>(seekPosition) / 100.0 * static_cast<double>(f.Size()));
    target = cursor.upperBound < target ? cursor.upperBound : target / kClipSectorSize * kClipSectorSize;
    f.Seek(static_cast<uint64_t>(target));
    int r = cursor.FindNextGop(f, sector_.data());
    msgLabel = (r & kGopNoSync) ? "Could not sync to MPEG pack!" : "";
    if (r & kGopNotFound) {
        f.Seek(static_cast<uint64_t>(cursor.upperBound));
        r = cursor.FindNextGop(f, sector_.data());
    }
    if (r & kGopFound) currentPosition = std::max<int64_t>(0, GopFrames() - timeBase);
    FollowOutPoint();
    currentTC = FormatTimeCode(currentPosition);
    ShowPlayerPosition();
    timeLabel = std::to_string(seekPosition);
    if (player_) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", player_->duration());
        durationLabel = text;
    }
}

void TSampleClipEditor::vidTCUpDownClick(bool up) {
    if (rows_.empty() || !source_) return;
    int r = 0;
    if (up) {
        r = cursor.StepGopForward(*source_, sector_.data());
    } else {
        if (inMarked && (currentPosition <= inFrame || cursor.lastGop <= inOffset)) return;
        r = cursor.StepGopBack(*source_, sector_.data());
    }
    msgLabel = (r & kGopNoSync) ? "Could not sync to MPEG pack!" : "";
    if (r & kGopFound) currentPosition = std::max<int64_t>(0, GopFrames() - timeBase);
    FollowOutPoint();
    currentTC = FormatTimeCode(currentPosition);
    ShowPlayerPosition();
}

void TSampleClipEditor::StepToFrame(int64_t frame) {
    while (source_ && currentPosition < frame) {
        const int64_t gop = cursor.lastGop, position = currentPosition;
        const int seek = seekPosition;
        vidTCUpDownClick(true);
        if (cursor.lastGop > gop && currentPosition > position) continue;
        // The end of the stream, or time codes that start again (a step
        // back to the in point, or to a smaller time): stay on the last GOP
        // reached.
        if (cursor.lastGop != gop || currentPosition != position) {
            cursor.GopInSector(*source_, sector_.data(), gop);
            seekPosition = seek;
            currentPosition = position;
            FollowOutPoint();
            currentTC = FormatTimeCode(currentPosition);
        }
        break;
    }
}

void TSampleClipEditor::markButtonClick() {
    if (inMarked) {
        sampleTC = kZeroTime;
    } else {
        inMarked = 1;
    }
    inFrame = currentPosition;
    inSeekPosition = seekPosition;
    inOffset = cursor.lastGop;
    // A new in point starts an empty clip.
    outFrame = inFrame;
    outOffset = inOffset;
    sampleLength = 0;
    selectionStart = seekPosition;
    sampleTCEnabled = true;
    // OK waits for the out point: a clip of no length has nothing to write.
    okEnabled = false;
    inLabel = Label(msg::component::kIn, ": ") + FormatTimeCode(currentPosition);
    commentsLabel = texts_ ? texts_->hint(msg::hint::kSetEnd) : std::string();
}

void TSampleClipEditor::clearButtonClick() {
    seed_ = static_cast<uint32_t>(std::time(nullptr));
    inMarked = 0;
    seekPosition = selectionStart = 0;
    clipSet = 0;
    inSeekPosition = 0;
    sampleLength = currentPosition = 0;
    inFrame = outFrame = inOffset = outOffset = 0;
    inLabel = Label(msg::component::kIn, ":");
    outLabel = Label(msg::component::kOut, ":");
    currentTC = sampleTC = kZeroTime;
    sampleTCEnabled = false;
    commentsLabel = texts_ ? texts_->hint(msg::hint::kSetStart) : std::string();
    okEnabled = false;
    // The position shown is 0 again: so is the cursor.
    if (source_ && cursor.upperBound > 0) cursor.GopInSector(*source_, sector_.data(), cursor.lowerBound);
}

int64_t TSampleClipEditor::SetSampleLength(int64_t a) {
    if (!inMarked || !source_) return 0;
    auto L = [&] { return WholeSeconds(currentPosition - inFrame); };
    // No loop may outlast the source: a step or seek that leaves the
    // position where it was ends it, and so does the GOP count.
    const int64_t maxSteps = (cursor.upperBound - cursor.lowerBound) / kClipSectorSize + 2;
    auto seekTo = [&](int pos) {
        const int before = seekPosition;
        const int64_t gop = cursor.lastGop;
        SeekBarChange(pos);
        return Moved(before, gop);
    };
    auto stepForwardUntil = [&] {
        for (int64_t i = 0; i < maxSteps && L() < a; ++i) {
            const int64_t gop = cursor.lastGop;
            vidTCUpDownClick(true);
            if (cursor.lastGop == gop) break;
        }
    };
    if (L() < a) {
        while (L() < a && seekPosition < 100 && seekTo(std::min(100, seekPosition + 10))) {}
        while (L() > a && seekPosition > 0 && seekTo(seekPosition - 1)) {}
        if (L() != a) {
            if (seekPosition >= 100 && L() < a) return L();
            stepForwardUntil();
        }
    } else if (L() > a) {
        while (L() > a && seekPosition > 0 && seekTo(std::max(0, seekPosition - 10))) {}
        while (L() < a && seekPosition < 100 && seekTo(seekPosition + 1)) {}
        if (L() > a && seekPosition > 0) seekTo(seekPosition - 1);
        if (L() != a && seekPosition != 0) stepForwardUntil();
    }
    return L();
}

void TSampleClipEditor::ButtonRandomClick() {
    if (!inMarked) return;
    const int64_t a = WholeSeconds(LastFrame() - inFrame);
    const int64_t length = (a + 1) * Rand() / 32768;
    SetSampleLength(length);
}

void TSampleClipEditor::randomButtonClick() {
    const int r = Rand();
    SeekBarChange(1 + static_cast<int>(static_cast<double>(r) / 32768.0 * 99.0));
}

int TSampleClipEditor::okButtonClick() {
    if (plainFile && filenameText.empty()) return 0;
    if (preview && player_) player_->stop();
    if (inMarked) {
        if (!HoldsPicture()) return 0;
        if (!filenameText.empty()) {
            clipSet = 1;
            return platform::kOk;
        }
        FilenameTextExit();
        return 0;
    }
    clipSet = 0;
    return platform::kCancel;
}

int TSampleClipEditor::cancelButtonClick() {
    const bool running = player_ && player_->state() == platform::MediaPlayer::kRunning;
    if (filenameText.empty() && !rows_.empty()) filenameText = defaultClipName;
    if (!rows_.empty() && cancelSaved_) {
        // Everything as it was shown: row, points, clip mark and name.
        bool restored = false;
        if (cancelMarked_) {
            restored = RestoreClipState(cancelState_);
        } else if (row != cancelState_.row) {
            TrackListGridClick(cancelState_.row);
        } else if (source_) {
            clearButtonClick();
        }
        clipSet = restored ? cancelClipSet_ : 0;
        if (source_ && !cancelName_.empty()) filenameText = cancelName_;
    }
    // A preview left running would play on in the hidden window; stopped
    // last, as the restore moves it.
    if (running || (player_ && player_->state() == platform::MediaPlayer::kRunning)) player_->stop();
    return platform::kCancel;
}

void TSampleClipEditor::FormShow() {
    editingEnabled = !rows_.empty() && source_ != nullptr;
    cancelSaved_ = editingEnabled;
    if (editingEnabled) {
        cancelMarked_ = inMarked && SaveClipState(cancelState_);
        if (!cancelMarked_) cancelState_ = TSampleClipState{0, 0, 0, row, 0, 0, 0};
        cancelClipSet_ = clipSet;
        cancelName_ = filenameText;
    }
    preview = config_ && config_->PreviewVideo;
    msgLabel.clear();
}

void TSampleClipEditor::FilenameTextExit() {
    if (filenameText.empty() && !rows_.empty() && reportError_) reportError_(30, "");
}

void TSampleClipEditor::PreviewCheckBoxClick(bool checked) {
    preview = checked;
    if (checked && player_ && player_->fileName().empty() && !rows_.empty() && row >= 1 &&
        row <= static_cast<int>(rows_.size()))
        player_->setFileName(rows_[static_cast<size_t>(row - 1)].path);
}

void TSampleClipEditor::ActiveMovie1ReadyStateChange(int state) {
    readyState = state;
    // Shows the first picture.
    if (state == platform::MediaPlayer::kReady && preview && player_) {
        player_->pause();
        player_->setCurrentPosition(0);
    }
}

bool TSampleClipEditor::SaveClipState(TSampleClipState& out) const {
    if (!Fits32(inFrame) || !Fits32(currentPosition) || !Fits32(inOffset) || !Fits32(outOffset)) return false;
    out = {inSeekPosition, static_cast<int32_t>(inFrame), static_cast<int32_t>(currentPosition), row, seekPosition,
           static_cast<int32_t>(inOffset), static_cast<int32_t>(outOffset)};
    return true;
}

bool TSampleClipEditor::RestoreClipState(const TSampleClipState& s) {
    if (rows_.empty() || s.row < 1 || s.row > static_cast<int>(rows_.size())) {
        if (source_) clearButtonClick();
        return false;
    }
    if (TrackListGridClick(s.row) != 0 || !source_) return false;
    auto gopAt = [&](int64_t offset, int64_t frame) {
        if (offset < cursor.lowerBound || offset > cursor.upperBound || offset % kClipSectorSize != 0) return false;
        if (!(cursor.GopInSector(*source_, sector_.data(), offset) & kGopFound)) return false;
        return std::max<int64_t>(0, GopFrames() - timeBase) == frame;
    };
    const bool valid = s.inSeekPosition >= 0 && s.inSeekPosition <= 100 && s.outSeekPosition >= 0 &&
                       s.outSeekPosition <= 100 && s.inFrame >= 0 && s.outFrame >= s.inFrame &&
                       s.inOffset >= 0 && s.outOffset >= s.inOffset && gopAt(s.inOffset, s.inFrame) &&
                       gopAt(s.outOffset, s.outFrame);
    if (!valid) {
        clearButtonClick();
        return false;
    }
    seekPosition = s.inSeekPosition;
    cursor.GopInSector(*source_, sector_.data(), s.inOffset);
    currentPosition = s.inFrame;
    markButtonClick();
    seekPosition = s.outSeekPosition;
    cursor.GopInSector(*source_, sector_.data(), s.outOffset);
    currentPosition = s.outFrame;
    FollowOutPoint();
    currentTC = FormatTimeCode(currentPosition);
    ShowPlayerPosition();
    return true;
}

void TSampleClipEditor::ResetEditor() {
    CloseSource();
    clipSet = 0;
    inOffset = outOffset = firstGopFrame = lastGopFrame = timeBase = currentPosition = 0;
    inFrame = outFrame = sampleLength = 0;
    inSeekPosition = 0;
    inMarked = 0;
    cursor.Clear();
    cancelState_ = {};
    cancelMarked_ = false;
    cancelSaved_ = false;
    cancelClipSet_ = 0;
    cancelName_.clear();
    inLabel = Label(msg::component::kIn, ": ");
    outLabel = Label(msg::component::kOut, ": ");
    currentTC = sampleTC = kZeroTime;
    msgLabel.clear();
    okEnabled = false;
    filenameText.clear();
    if (player_ && !player_->fileName().empty()) player_->setFileName("");
    seekPosition = selectionStart = 0;
    seekEnabled = false;
    grid.assign(2, std::vector<std::string>(5));
    rows_.clear();
    editingEnabled = false;
}

TSampleClipDescription TSampleClipEditor::Description() const {
    TSampleClipDescription d;
    if (row >= 1 && row <= static_cast<int>(rows_.size())) d.sourcePath = rows_[static_cast<size_t>(row - 1)].path;
    d.discKind = mpeg2 ? 2 : 1;
    d.inOffset = inOffset;
    d.outOffset = outOffset;
    d.inFrame = inFrame;
    d.outFrame = outFrame;
    d.timeBase = timeBase;
    d.frameRate = frameRate;
    d.outputName = filenameText;
    return d;
}
