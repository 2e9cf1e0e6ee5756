#include "disc/cue_reader.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/constants.h"
#include "core/helpers.h"
#include "core/path_lookup.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/sheet_text.h"

namespace {

constexpr int kMaxTracks = 99;

struct CueTrack : SheetTrack {
    bool mode1 = false;
    bool hasStart = false;  // INDEX 01 seen
    int lastIndexNumber = -1;
};

// The track modes a cue sheet may give, with the bytes each sector takes in
// the image.
bool CueModeSize(const std::string& mode, int32_t& size, bool& mode1) {
    static const struct {
        const char* name;
        int32_t size;
        bool mode1;
    } kModes[] = {
        {"MODE1/2048", 2048, true}, {"MODE1/2352", 2352, true},  {"MODE2/2324", 2324, false},
        {"MODE2/2336", 2336, false}, {"MODE2/2352", 2352, false}, {"CDI/2336", 2336, false},
        {"CDI/2352", 2352, false},   {"AUDIO", 2352, false},
    };
    std::string upper = mode;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
    for (const auto& m : kModes) {
        if (upper == m.name) {
            size = m.size;
            mode1 = m.mode1;
            return true;
        }
    }
    return false;
}

constexpr const char* kSeveralFiles =
    "Cue sheets with one FILE per track are not supported: the tracks must be in one image file";

std::string Keyword(const SheetWord& w) {
    if (w.quoted) return {};
    std::string k = w.text;
    for (char& c : k)
        if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
    return k;
}

}  // namespace

int TCueReader::Parse() {
    std::vector<std::string> lines;
    if (!TakeLines(lines)) return 0;
    const SheetServices services = Services();
    const std::string sheetDir = ExtractDir(sheetPath_);
    std::string context = ExtractName(sheetPath_);

    bool fileSeen = false;
    std::string imagePath;
    int64_t imageSize = 0;
    std::vector<CueTrack> tracks;
    std::vector<SheetWord> words;

    for (const std::string& line : lines) {
        bool closed = SplitSheetWords(line, false, words);
        if (words.empty()) continue;
        const std::string key = Keyword(words[0]);
        if (key == "FILE") {
            if (fileSeen) {
                // One image per sheet: a sheet with one file per track
                // cannot be read as one image. Say so, not that the sheet
                // is broken.
                std::string second = words.size() > 1 ? words[1].text : std::string();
                Services().Refuse(std::string(kLogIndent) + "[" + ExtractName(sheetPath_) + "] " + kSeveralFiles +
                                  " (FILE \"" + second + "\")");
                if (!imageFile->IsClosed()) imageFile->Close();
                return 0;
            }
            bool typeOk = true;
            if (words.size() == 3) {
                std::string type = Keyword(words[2]);
                typeOk = type == "BINARY" || type == "MOTOROLA";
            }
            if (!closed || !tracks.empty() || words.size() < 2 || words.size() > 3 || words[1].text.empty() ||
                !typeOk)
                return Fail(msg::error::kCueMissingFile, context);
            options->DefaultLoadDir = ExtractFolder(sheetPath_);
            if (!OpenSheetImage(services, *imageFile, sheetDir, words[1].text,
                                "*.bin (binary image file)|*.bin|All files|*.*", imagePath)) {
                if (!imageFile->IsClosed()) imageFile->Close();
                return 0;
            }
            fileSeen = true;
            imageSize = static_cast<int64_t>(imageFile->Size());
            context = ExtractName(imagePath);
        } else if (key == "TRACK") {
            if (!fileSeen) return Fail(msg::error::kCueMissingFile, context);
            if (!tracks.empty() && !tracks.back().hasStart) return Fail(msg::error::kCueIncomplete, context);
            int64_t number = 0;
            if (closed && words.size() == 3 && !words[1].quoted && ParseSheetNumber(words[1].text, INT32_MAX, number) &&
                number > kMaxTracks)
                return Fail(msg::error::kTooManyCueTracks, context);
            if (static_cast<int>(tracks.size()) >= kMaxTracks) return Fail(msg::error::kTooManyCueTracks, context);
            CueTrack t;
            if (!closed || words.size() != 3 || words[1].quoted || words[2].quoted || number < 1 ||
                !CueModeSize(words[2].text, t.sectorSize, t.mode1))
                return Fail(msg::error::kCueIncomplete, context);
            tracks.push_back(t);
        } else if (key == "INDEX") {
            if (tracks.empty()) return Fail(msg::error::kCueIncomplete, context);
            int64_t number = 0;
            int32_t m = 0, s = 0, f = 0;
            if (!closed || words.size() != 3 || words[1].quoted || !ParseSheetNumber(words[1].text, 99, number) ||
                !ParseSheetTime(words[2].text, m, s, f))
                return Fail(msg::error::kCueIncomplete, context);
            CueTrack& t = tracks.back();
            if (number <= t.lastIndexNumber) return Fail(msg::error::kCueIncomplete, context);
            t.lastIndexNumber = static_cast<int>(number);
            const int64_t position = SheetFrames(m, s, f);
            // The previous track runs up to this track's INDEX 01 (an INDEX 00
            // before it is overwritten by it).
            if ((number == 0 || number == 1) && tracks.size() > 1) {
                CueTrack& prev = tracks[tracks.size() - 2];
                prev.end = std::min<int64_t>(prev.sectorSize * position, imageSize);
            }
            if (number == 1) {
                t.minutes = m;
                t.seconds = s;
                t.frames = f;
                t.start = std::min<int64_t>(t.sectorSize * position, imageSize);
                t.hasStart = true;
            }
        }
        // REM, TITLE, PERFORMER, FLAGS, PREGAP and the rest say nothing about
        // where a track lies.
    }

    if (!fileSeen) return Fail(msg::error::kCueMissingFile, context);
    if (!tracks.empty() && !tracks.back().hasStart) return Fail(msg::error::kCueIncomplete, context);
    if (tracks.size() < 2) {
        // A VideoCD sheet has its data track first and the MPEG tracks after it.
        if (!tracks.empty() && tracks.back().mode1) return Fail(msg::error::kMode1NotSupported, context);
        return Fail(msg::error::kCueIncomplete, context);
    }

    CueTrack& last = tracks.back();
    const bool truncated = last.start == imageSize;
    last.end = truncated ? imageSize : imageSize / last.sectorSize * last.sectorSize;
    for (const CueTrack& t : tracks)
        if (t.start > t.end || t.end > imageSize) return Fail(msg::error::kCueIncomplete, context);

    StoreSheetTracks(*trackTable, tracks);
    job->sourceName = imagePath;
    job->sheetName = sheetPath_;
    if (truncated) services.Error(msg::error::kTrackTruncated, context);
    return 1;
}
