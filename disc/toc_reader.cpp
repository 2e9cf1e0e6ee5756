#include "disc/toc_reader.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/helpers.h"
#include "core/path_lookup.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/sheet_text.h"

namespace {

constexpr int kMaxTracks = 99;
// Far beyond any disc, and small enough that offset + length cannot overflow.
constexpr int64_t kMaxOffset = int64_t{1} << 50;

struct TocTrack : SheetTrack {
    bool hasData = false;
};

bool TocModeSize(const std::string& mode, int32_t& size) {
    static const struct {
        const char* name;
        int32_t size;
    } kModes[] = {
        {"MODE1_RAW", 2352}, {"MODE2_RAW", 2352},      {"MODE2_FORM1", 2048}, {"MODE1", 2048}, {"MODE2_FORM2", 2324},
        {"MODE2_FORM_MIX", 2336}, {"MODE2", 2336}, {"AUDIO", 2352},       {"MODE0", 2352},
    };
    for (const auto& m : kModes) {
        if (mode == m.name) {
            size = m.size;
            return true;
        }
    }
    return false;
}

std::string SheetFolder(const std::string& sheetPath) {
    std::string dir = ExtractDir(sheetPath);
    if (dir == "./") {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        if (!ec && !cwd.empty()) dir = cwd.back() == '/' ? cwd : cwd + "/";
    }
    return dir;
}

}  // namespace

bool TTocReader::OpenDataFile(std::string& name) {
    if (!imageFile || !options) return false;
    const SheetServices services = Services();
    std::string opened;
    if (!OpenSheetImage(services, *imageFile, SheetFolder(sheetPath_), name, "All files|*.*", opened)) {
        sheetFile.reset();
        return false;
    }
    name = opened;
    return true;
}

int TTocReader::Parse() {
    std::vector<std::string> lines;
    if (!TakeLines(lines)) return 0;
    const SheetServices services = Services();
    const std::string sheetDir = SheetFolder(sheetPath_);
    std::string context = ExtractName(sheetPath_);

    bool headerSeen = false;
    bool imageOpen = false;
    std::string writtenName;  // the first DATAFILE name, as the file gives it
    std::string imagePath;
    int64_t imageSize = 0;
    std::vector<TocTrack> tracks;
    std::vector<SheetWord> words;

    for (const std::string& line : lines) {
        bool closed = SplitSheetWords(line, true, words);
        if (words.empty() || words[0].quoted) continue;
        const std::string& key = words[0].text;
        if (key == "CD_ROM" || key == "CD_ROM_XA") {
            headerSeen = true;
        } else if (key == "TRACK") {
            if (!headerSeen) return Fail(msg::error::kCueMissingFile, context);
            if (!tracks.empty() && !tracks.back().hasData) return Fail(msg::error::kCueIncomplete, context);
            if (static_cast<int>(tracks.size()) >= kMaxTracks) return Fail(msg::error::kTooManyCueTracks, context);
            TocTrack t;
            // A sub-channel mode word would put sub-channel bytes after every
            // sector, which the table cannot describe.
            if (!closed || words.size() != 2 || words[1].quoted || !TocModeSize(words[1].text, t.sectorSize))
                return Fail(msg::error::kCueIncomplete, context);
            tracks.push_back(t);
        } else if (key == "DATAFILE") {
            if (tracks.empty() || tracks.back().hasData) return Fail(msg::error::kCueIncomplete, context);
            if (!closed || words.size() < 3 || words.size() > 4 || words[1].text.empty())
                return Fail(msg::error::kCueIncomplete, context);
            TocTrack& t = tracks.back();
            int64_t offset = 0;
            const std::string* length = &words[2].text;
            if (words.size() == 4) {
                const std::string& o = words[2].text;
                if (words[2].quoted || o.size() < 2 || o[0] != '#' || !ParseSheetNumber(o.substr(1), kMaxOffset, offset))
                    return Fail(msg::error::kCueIncomplete, context);
                length = &words[3].text;
            }
            if (!ParseSheetTime(*length, t.minutes, t.seconds, t.frames))
                return Fail(msg::error::kCueIncomplete, context);

            const std::string& name = words[1].text;
            if (!imageOpen) {
                options->DefaultLoadDir = ExtractFolder(sheetDir);
                std::string path = name;
                if (!OpenDataFile(path)) {
                    if (!imageFile->IsClosed()) imageFile->Close();
                    return 0;
                }
                imageOpen = true;
                writtenName = name;
                imagePath = path;
                imageSize = static_cast<int64_t>(imageFile->Size());
                context = ExtractName(imagePath);
            } else if (name != writtenName && ResolveNamedFile(sheetDir, name) != imagePath) {
                // Every track must lie in the one image that is open.
                return Fail(msg::error::kCueIncomplete, ExtractName(sheetPath_) + ": DATAFILE \"" + name + "\"");
            }
            t.start = std::min(offset, imageSize);
            t.end = std::min(offset + t.sectorSize * SheetFrames(t.minutes, t.seconds, t.frames), imageSize);
            t.hasData = true;
        }
        // Comments, CATALOG, CD_TEXT blocks, PREGAP, START, INDEX and the
        // rest say nothing about where a track lies.
    }

    if (!headerSeen) return Fail(msg::error::kCueMissingFile, context);
    if (tracks.empty() || !tracks.back().hasData) return Fail(msg::error::kCueIncomplete, context);

    // The last track runs to the end of the image, in whole sectors.
    TocTrack& last = tracks.back();
    const bool truncated = last.start == imageSize;
    last.end = truncated ? imageSize : last.start + (imageSize - last.start) / last.sectorSize * last.sectorSize;
    for (const TocTrack& t : tracks)
        if (t.start > t.end || t.end > imageSize) return Fail(msg::error::kCueIncomplete, context);

    StoreSheetTracks(*trackTable, tracks);
    dataFileName = imagePath;
    job->sourceName = imagePath;
    job->sheetName = sheetPath_;
    if (truncated) services.Error(msg::error::kTrackTruncated, context);
    return 1;
}
