#include "app/video_cd_page/build_list_editor.h"

#include <algorithm>
#include <map>

#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "core/text_format.h"
#include "disc/vcd_track_list.h"
#include "disc/video_cd_image.h"
#include "engine/output_writers.h"

TBuildListEditor::TBuildListEditor(TJob& job, TConfig& config, TMpegFileList& list, TVcdTrackList& rows)
    : job_(job), config_(config), list_(list), rows_(rows) {}

std::vector<std::string> TBuildListEditor::FileOrder(const TMpegFileList& list) {
    std::vector<std::string> names;
    for (const TMpegFileInfo& e : list.entries)
        if (e.firstPiece == 0) names.push_back(e.name);
    return names;
}

void TBuildListEditor::Report(int kind, int index, const std::string& text) {
    static const TLanguageSet builtIn;
    const TBuildListControls& c = list_.Controls();
    MessageServices services;
    services.languageSet = c.languageSet ? c.languageSet : &builtIn;
    services.stats = c.stats;
    services.dialogs = c.dialogs;
    ReportMessage(services, kind, index, text, config_.DisableAudioWarningBell, config_.DisableErrorPrompts,
                  c.logListBox);
}

int TBuildListEditor::MostTracksInAnImage() const {
    std::map<int32_t, int> perImage;
    int most = 0;
    for (const TMpegFileInfo& e : list_.entries) most = std::max(most, ++perImage[e.image]);
    return most;
}

void TBuildListEditor::RemoveEntries(size_t from, size_t to) {
    for (size_t i = to; i > from; --i) rows_.DeleteRow(int(i - 1));
    list_.entries.erase(list_.entries.begin() + std::ptrdiff_t(from), list_.entries.begin() + std::ptrdiff_t(to));
    list_.AssignImages();
    rows_.Renumber();
}

int TBuildListEditor::AddFile(const std::string& path) {
    const size_t before = list_.entries.size();
    const int result = list_.AddFile(path);
    if (result != 0) return result;
    if (MostTracksInAnImage() > kMaxTracksPerImage) {
        RemoveEntries(before, list_.entries.size());
        Report(kMsgError, msg::error::kTooManyVideoTracks, ExtractName(path));
        ListChanged();
        return result::kFailed;
    }
    ListChanged();
    return 0;
}

int TBuildListEditor::AddFiles(const std::vector<std::string>& paths) {
    int first = 0;
    for (const std::string& path : paths) {
        const int result = AddFile(path);
        if (result != 0 && first == 0) first = result;
    }
    return first;
}

void TBuildListEditor::RemoveFileAt(int index) {
    auto& entries = list_.entries;
    if (index < 0 || index >= int(entries.size())) return;
    // The pieces of one file lie together: back to its first piece, on to
    // its last one.
    const std::string name = entries[size_t(index)].name;
    size_t from = size_t(index), to = size_t(index) + 1;
    while (from > 0 && entries[from].firstPiece == 1 && entries[from - 1].name == name) --from;
    while (to < entries.size() && entries[to].firstPiece == 1 && entries[to].name == name) ++to;
    RemoveEntries(from, to);
    if (!entries.empty()) rows_.SelectRow(int(std::min(from, entries.size() - 1)));
    ListChanged();
}

bool TBuildListEditor::MoveUp(int index) {
    if (index < 1 || index >= int(list_.entries.size())) return false;
    rows_.SwapRows(index, index - 1);
    rows_.SelectRow(index - 1);
    list_.SwapEntries(index, index - 1);
    rows_.Renumber();
    ListChanged();
    return true;
}

bool TBuildListEditor::MoveDown(int index) {
    if (index < 0 || index + 1 >= int(list_.entries.size())) return false;
    rows_.SwapRows(index, index + 1);
    rows_.SelectRow(index + 1);
    list_.SwapEntries(index, index + 1);
    rows_.Renumber();
    ListChanged();
    return true;
}

void TBuildListEditor::Respan() {
    struct File {
        std::string name;
        std::vector<int32_t> pauses;
    };
    std::vector<File> files;
    for (const TMpegFileInfo& e : list_.entries) {
        if (e.firstPiece == 0 || files.empty()) files.push_back({e.name, {}});
        files.back().pauses.push_back(e.pause);
    }
    Clear();
    for (const File& f : files) {
        const size_t before = list_.entries.size();
        if (AddFile(f.name) != 0) continue;
        // Pieces may come out fewer or more: the last pause serves the rest.
        for (size_t i = before, k = 0; i < list_.entries.size(); ++i, ++k)
            list_.entries[i].pause = f.pauses[std::min(k, f.pauses.size() - 1)];
    }
    ListChanged();
}

void TBuildListEditor::Clear() {
    list_.Clear();
    rows_.Clear();
    config_.buildListHeaderShown = 0;
    ListChanged();
}

void TBuildListEditor::SetPause(int index, int seconds) {
    if (index < 0 || index >= int(list_.entries.size())) return;
    list_.entries[size_t(index)].pause = std::clamp(seconds, 0, kMaxPause);
}

int64_t TBuildListEditor::EstimateBytes() const {
    int64_t total = 0;
    for (const TMpegFileInfo& e : list_.entries) total += e.endOffset > e.startOffset ? e.endOffset - e.startOffset : e.size;
    return total;
}

void TBuildListEditor::ListChanged() {
    list_.fileNames = FileOrder(list_);
    job_.multiImage = list_.ImageCount() >= 2 ? 1 : 0;
}

// ---------------------------------------------------------------- texts

TRowFacts RowFacts(const TMpegFileInfo& e, const TLanguageSet& t) {
    TRowFacts f;
    f.videoRes = t.component(msg::component::kResolution) + " : " + std::to_string(e.width) + "x" +
                 std::to_string(e.height) + " " + (e.pal ? "PAL" : "NTSC") + " @ " +
                 TMpegFileList::FrameRateText(e.frameRateCode) + " fps";
    f.vidBitrate =
        t.component(msg::component::kVideoBitrate) + " : " + std::to_string(e.videoBitRate / 1000) + " kbits";
    // The layer field counts down: code 3 is Layer I, 1 Layer III, 0 reserved.
    const std::string layer = e.audioLayer >= 1 && e.audioLayer <= 3 ? std::to_string(4 - e.audioLayer) : "?";
    f.audInfo = t.component(msg::component::kAudio) + " : MPEG Layer-" + layer + " / " +
                std::to_string(e.audioSampleRate) + "Hz";
    f.audBitrate =
        t.component(msg::component::kAudioBitrate) + " : " + std::to_string(e.audioBitRate / 1000) + " kbits";
    return f;
}

TRowFacts EmptyRowFacts(const TLanguageSet& t) {
    return {t.component(msg::component::kResolution) + " : ", t.component(msg::component::kVideoBitrate) + " : ",
            t.component(msg::component::kAudio) + " : ", t.component(msg::component::kAudioBitrate) + " : "};
}

std::optional<int> ParsePause(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > TBuildListEditor::kMaxPause) return std::nullopt;
    return value;
}

std::string AcceptedNamingPattern(const std::string& typed, const std::string& inForce) {
    return FormatCounter(typed, 1) ? typed : inForce;
}

std::string NamingExampleText(const std::string& outputName, const std::string& pattern, const TLanguageSet& t) {
    TJob job;
    job.baseOutputName = outputName;
    TConfig config;
    config.MultiFileFormat = pattern;
    std::string names[2];
    for (int n = 1; n <= 2; ++n) {
        if (!MakeOutputName(job, config, n, names[n - 1])) return t.core(msg::core::kMultiFileExample) + ":  ";
        names[n - 1] = ExtractName(names[n - 1]);
    }
    return t.core(msg::core::kMultiFileExample) + ":  " + names[0] + ", " + names[1] + " ...";
}

std::optional<std::string> VolumeExampleText(const std::string& volumeName, const TLanguageSet& t) {
    if (volumeName.empty() || volumeName.find('%') == std::string::npos) return std::nullopt;
    TVideoCdImage image(TImageOptions{}, nullptr);
    std::string labels[2];
    for (int n = 1; n <= 2; ++n) {
        image.SetVolumeLabel(volumeName, n);
        labels[n - 1] = image.volumeIdentifier();  // as recorded, in the characters ISO 9660 allows
    }
    return t.core(msg::core::kVolumeLabelExample) + ":  " + labels[0] + ", " + labels[1] + " ...";
}
