// Image builds end to end: run_job builds VCD and SVCD images from ffmpeg
// clips, and the independent Debian tools (vcd-info, cd-info, vcdxrip,
// cdrdao) and our own extraction read them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <set>
#include <stdexcept>

#include "disc/mpeg_file_list.h"
#include "disc/sector_encoder.h"
#include "disc/time_code.h"
#include "disc/vcd_track_list.h"
#include "engine/methods.h"
#include "engine/system_header.h"
#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"
#include "tools/sample_clip.h"

using harness::Fixture;
using harness::Md5;
using harness::Outcome;
using harness::ReadFile;
using harness::RunJob;
using harness::SameBytes;
using harness::TempFolder;

namespace {

constexpr const char* kDate = "2024-03-05 06:07:08";
// How cd-info --iso9660 shows that time (TZ=UTC).
constexpr const char* kDateShown = "Mar 05 2024 06:07:08";

bool ToolsPresent() {
    return std::system("{ command -v vcd-info && command -v vcdxrip && command -v cd-info && command -v cdrdao && "
                       "command -v toc2cue && command -v ffmpeg && command -v ffprobe; } >/dev/null 2>&1") == 0;
}

#define NEED_TOOLS() \
    if (!ToolsPresent()) GTEST_SKIP() << "vcd-info, vcdxrip, cd-info, cdrdao or ffmpeg missing"

std::string Tool(const std::string& command) { return harness::Command(command + " 2>&1"); }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

struct Clip {
    std::string path;
    bool pal = true;
};

Clip PalVcd() { return {Fixture("clip_pal_vcd.mpg"), true}; }
Clip NtscVcd() { return {Fixture("clip_ntsc_vcd.mpg"), false}; }
Clip FilmVcd() { return {Fixture("clip_film_vcd.mpg"), false}; }
Clip PalSvcd() { return {Fixture("clip_pal_svcd.mpg"), true}; }
Clip NtscSvcd() { return {Fixture("clip_ntsc_svcd.mpg"), false}; }

std::string Inputs(const std::vector<Clip>& clips) {
    std::string args;
    for (const Clip& c : clips) args += " --input " + Quote(c.path);
    return args;
}

// run_job --page 1 into dir/movie.bin with the fixed recording time.
Outcome Build(const TempFolder& dir, VcdMethod method, bool svcd, const std::vector<Clip>& clips,
              const std::string& extra = "") {
    return RunJob("--page 1 --method " + std::to_string(Index(method)) + (svcd ? " --svcd" : "") + Inputs(clips) +
                  " --output " + Quote(dir / "movie.bin") + " --date '" + kDate + "'" + extra);
}

// The cue the libcdio tools read: ours, or the one toc2cue makes of our toc
// (beside the bin and named like it, as vcd-info wants).
std::string CueOf(const std::string& sheet) {
    if (sheet.size() < 4 || sheet.compare(sheet.size() - 4, 4, ".toc") != 0) return sheet;
    const std::string cue = sheet.substr(0, sheet.size() - 4) + ".cue";
    Tool("toc2cue " + Quote(sheet) + " " + Quote(cue));
    return cue;
}

struct VcdInfo {
    std::string text;
    std::map<int, long> trackLsn;  // CD track -> LSN, from "CD-ROM TRACKS"
    std::vector<long> entryLsn;    // ENTRY[i] -> LSN
};

VcdInfo ReadVcdInfo(const std::string& cue) {
    VcdInfo v;
    v.text = Tool("vcd-info --cue-file " + Quote(cue));
    static const std::regex entry(R"(ENTRY\[\d+\]: track#\s*\d+.*LSN\s+(\d+))");
    static const std::regex track(R"(^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+)\s+XA)");
    std::istringstream in(v.text);
    std::string line;
    bool tracks = false;
    while (std::getline(in, line)) {
        std::smatch m;
        if (line.find("CD-ROM TRACKS") != std::string::npos) tracks = true;
        if (std::regex_search(line, m, entry)) v.entryLsn.push_back(std::stol(m[1]));
        if (tracks && std::regex_search(line, m, track)) v.trackLsn[std::stoi(m[1])] = std::stol(m[2]);
    }
    return v;
}

// Every raw sector rebuilt from its subheader and payload gives itself: sync,
// address, EDC and, on Form 1, ECC as the encoder makes them.
void ExpectSectorsEncoded(const std::string& bin) {
    const std::string image = ReadFile(bin);
    ASSERT_EQ(image.size() % kRawSectorSize, 0u) << bin;
    std::vector<uint8_t> s(kRawSectorSize);
    size_t bad = 0, first = 0;
    for (size_t at = 0; at < image.size(); at += kRawSectorSize) {
        std::memcpy(s.data(), image.data() + at, kRawSectorSize);
        const uint32_t address = uint32_t(at / kRawSectorSize) + 150;
        const bool form2 = (s[18] & 0x20) != 0;
        BuildSector(s.data(), form2 ? kSectorMode2Form2 : kSectorMode2Form1, address);
        if (std::memcmp(s.data(), image.data() + at, kRawSectorSize) != 0 && bad++ == 0) first = at / kRawSectorSize;
    }
    EXPECT_EQ(bad, 0u) << bin << ": first bad sector " << first;
}

// The libcdio and vcdimager tools read the image as we meant it, and
// vcdxrip gives back each clip.
void ExpectClean(const std::string& cue, bool svcd, const std::vector<Clip>& clips) {
    const size_t n = clips.size();
    const VcdInfo v = ReadVcdInfo(cue);
    EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
    EXPECT_NE(v.text.find(svcd ? "SVCD detected" : "VCD 2.0 detected"), std::string::npos) << v.text;
    ASSERT_EQ(v.entryLsn.size(), n) << v.text;
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(v.entryLsn[i], v.trackLsn.count(int(i) + 2) ? v.trackLsn.at(int(i) + 2) : -1) << "entry " << i;
    EXPECT_NE(v.text.find("psd size: " + std::to_string(16 * n + 8)), std::string::npos) << v.text;
    EXPECT_NE(v.text.find("maximum lid: " + std::to_string(n + 1)), std::string::npos) << v.text;
    if (svcd) {
        for (const Clip& c : clips) {
            const std::string kind = std::string("audio: 1 stream, video: ") + (c.pal ? "PAL" : "NTSC") + " stream";
            EXPECT_NE(v.text.find(kind), std::string::npos) << kind << "\n" << v.text;
        }
    }

    const std::string info = Tool("cd-info --no-device-info --cue-file " + Quote(cue));
    EXPECT_NE(info.find(svcd ? "Super Video CD (SVCD)" : "XA sectors   Video CD"), std::string::npos) << info;
    const std::string iso = Tool("TZ=UTC cd-info --no-device-info --iso9660 --cue-file " + Quote(cue));
    int records = 0;
    std::istringstream lines(iso);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("[LSN") == std::string::npos) continue;
        ++records;
        EXPECT_NE(line.find(kDateShown), std::string::npos) << line;
    }
    EXPECT_GT(records, 0) << iso;

    TempFolder rip;
    const std::string ripped = Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(cue));
    EXPECT_EQ(ripped.find("WARN"), std::string::npos) << ripped;
    for (size_t k = 0; k < n; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "avseq%02zu.mpg", k + 1);
        EXPECT_EQ(Md5(rip / name), Md5(clips[k].path)) << name << " of " << cue;
    }
    std::string bin = cue.substr(0, cue.size() - 4) + ".bin";
    ExpectSectorsEncoded(bin);
}

// Our own extraction gives each clip back exactly, nothing after it.
void ExpectExtractsBack(const std::string& sheet, const std::vector<Clip>& clips) {
    const bool toc = sheet.compare(sheet.size() - 4, 4, ".toc") == 0;
    TempFolder out;
    const Outcome o = RunJob(std::string("--method ") + (toc ? "5" : "2") + " --source " + Quote(sheet) +
                             " --output " + Quote(out / "x.mpg") + " --set MultiFileFormat=-%d");
    ASSERT_EQ(o.status, 0) << o.out;
    for (size_t k = 0; k < clips.size(); ++k) {
        const std::string name = out / ("x-" + std::to_string(k + 1) + ".mpg");
        EXPECT_TRUE(SameBytes(ReadFile(name), ReadFile(clips[k].path))) << name << " of " << sheet;
    }
}

// The INDEX 01 times of a cue sheet, in order.
std::vector<std::string> CueIndexes(const std::string& cue) {
    std::vector<std::string> times;
    std::istringstream in(ReadFile(cue));
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("INDEX 01 ");
        if (at != std::string::npos) times.push_back(line.substr(at + 9));
    }
    return times;
}

struct Layout {
    const char* name;
    bool svcd;
    std::vector<Clip> clips;
};

class BuildLayouts : public ::testing::TestWithParam<std::tuple<Layout, VcdMethod>> {};

// Each layout as cue/bin and as toc/bin: clean by the tools, read by our
// readers and extracted back by our own engine.
TEST_P(BuildLayouts, ImageReadsBackCleanly) {
    NEED_TOOLS();
    const auto& [layout, method] = GetParam();
    TempFolder dir;
    const Outcome o = Build(dir, method, layout.svcd, layout.clips);
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string sheet = dir / (method == VcdMethod::MpegToTocBin ? "movie.toc" : "movie.cue");
    ASSERT_TRUE(harness::Exists(sheet)) << o.out;
    const std::string cue = CueOf(sheet);
    ExpectClean(cue, layout.svcd, layout.clips);
    ExpectExtractsBack(sheet, layout.clips);
    // Our cue reader reads the sheet to the track starts vcd-info lists.
    {
        harness::Job reader;
        const Method readBack = method == VcdMethod::MpegToTocBin ? Method::TocBinToMpeg : Method::CueBinToMpeg;
        ASSERT_EQ(reader.Load(Index(readBack), sheet), 0);
        const VcdInfo v = ReadVcdInfo(cue);
        const TTrackTable& table = *reader.job.trackTable;
        for (int k = 1; k <= int(layout.clips.size()); ++k) {
            ASSERT_LT(size_t(k), table.start.size());
            EXPECT_EQ(table.start[size_t(k)], int64_t(v.trackLsn.at(k + 1)) * 2352) << "track " << k;
        }
    }
    if (method == VcdMethod::MpegToTocBin) {
        // toc2cue makes of our toc the TRACK and INDEX lines of our cue.
        TempFolder other;
        ASSERT_EQ(Build(other, VcdMethod::MpegToCueBin, layout.svcd, layout.clips).status, 0);
        auto lines = [](const std::string& path) {
            std::vector<std::string> kept;
            std::istringstream in(ReadFile(path));
            for (std::string line; std::getline(in, line);)
                if (line.find("TRACK") != std::string::npos || line.find("INDEX") != std::string::npos)
                    kept.push_back(line.substr(line.find_first_not_of(' ')));
            return kept;
        };
        EXPECT_EQ(lines(cue), lines(other / "movie.cue"));
        // cdrdao reads our toc to the tracks of the cue made from it.
        const std::vector<std::string> starts = CueIndexes(cue);
        const std::string shown = Tool("cdrdao show-toc " + Quote(sheet));
        int found = 0;
        std::istringstream in(shown);
        for (std::string line; std::getline(in, line);) {
            static const std::regex start(R"(START\s+(\d\d:\d\d:\d\d))");
            std::smatch m;
            if (!std::regex_search(line, m, start)) continue;
            const std::string time = m[1];
            ++found;
            EXPECT_NE(std::find(starts.begin(), starts.end(), time), starts.end()) << time << "\n" << shown;
        }
        EXPECT_EQ(found, int(layout.clips.size()) + 1) << shown;
    } else {
        EXPECT_EQ(CueIndexes(cue).size(), layout.clips.size() + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, BuildLayouts,
    ::testing::Combine(::testing::Values(Layout{"VcdOnePal", false, {PalVcd()}},
                                         Layout{"VcdPalNtscFilm", false, {PalVcd(), NtscVcd(), FilmVcd()}},
                                         Layout{"SvcdOne", true, {PalSvcd()}},
                                         Layout{"SvcdPalNtsc", true, {PalSvcd(), NtscSvcd()}}),
                       ::testing::Values(VcdMethod::MpegToCueBin, VcdMethod::MpegToTocBin)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == VcdMethod::MpegToTocBin ? "Toc" : "Cue");
    });

// ---- Track counts ----

std::vector<Clip> Copies(const Clip& clip, int n) { return std::vector<Clip>(size_t(n), clip); }

TEST(BuildTrackCounts, TwentyTracksRipBackAsTwentyFiles) {
    NEED_TOOLS();
    TempFolder dir;
    const std::vector<Clip> clips = Copies({Fixture("clip_short_vcd.mpg"), true}, 20);
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, clips);
    ASSERT_EQ(o.status, 0) << o.out;
    ExpectClean(dir / "movie.cue", false, clips);
}

// A disc holds 98 MPEG tracks: the 99th file opens the next image when the
// list spans, and is refused as it is added when it does not.
TEST(BuildTrackCounts, NinetyEightTracksFillThreeDirectorySectorsAndTheNinetyNinthGoesOn) {
    NEED_TOOLS();
    TempFolder dir;
    const Clip clip{Fixture("clip_short_vcd.mpg"), true};
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, Copies(clip, 98));
    ASSERT_EQ(o.status, 0) << o.out;
    const VcdInfo v = ReadVcdInfo(dir / "movie.cue");
    EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
    EXPECT_EQ(v.entryLsn.size(), 98u);
    EXPECT_TRUE(std::regex_search(v.text, std::regex(R"(\[LSN\s+\d+\]\s+6144\s+MPEGAV)"))) << v.text;
    TempFolder rip;
    Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(dir / "movie.cue"));
    EXPECT_EQ(Md5(rip / "avseq98.mpg"), Md5(clip.path));

    TempFolder refused;
    const Outcome no = Build(refused, VcdMethod::MpegToCueBin, false, Copies(clip, 99));
    EXPECT_EQ(no.status, 12) << no.out;
    EXPECT_NE(no.out.find("[clip_short_vcd.mpg]\n     Cannot exceed 99 video tracks."), std::string::npos) << no.out;
    EXPECT_EQ(no.out.find("99   352x288"), std::string::npos) << "no line for the refused file\n" << no.out;
    EXPECT_TRUE(std::filesystem::is_empty(refused.path));

    TempFolder spanned;
    const Outcome two = Build(spanned, VcdMethod::MpegToCueBin, false, Copies(clip, 99), " --span 74");
    ASSERT_EQ(two.status, 0) << two.out;
    ExpectClean(spanned / "movie_02.cue", false, {clip});
    const VcdInfo first = ReadVcdInfo(spanned / "movie_01.cue");
    EXPECT_EQ(first.text.find("WARN"), std::string::npos) << first.text;
    EXPECT_EQ(first.entryLsn.size(), 98u);
}

// ---- Several images ----

// Clips 1 and 2 fit the first image with their frames; clip 3 goes on.
constexpr const char* kTwoImages = " --capacity 1500000 --margin 0";

TEST(BuildSpanning, EachImageHasItsOwnFileSheetAndTracks) {
    NEED_TOOLS();
    const std::vector<Clip> clips = {PalVcd(), {Fixture("clip_pal_vcd_b.mpg"), true},
                                     {Fixture("clip_pal_vcd_c.mpg"), true}};
    struct Case {
        const char* extra;
        VcdMethod method;
        const char* first;
        const char* second;
    };
    for (const Case& c : {Case{"", VcdMethod::MpegToCueBin, "movie_01", "movie_02"},
                          Case{" --folders", VcdMethod::MpegToCueBin, "CD1/movie", "CD2/movie"},
                          Case{"", VcdMethod::MpegToTocBin, "movie_01", "movie_02"}}) {
        SCOPED_TRACE(std::string(c.extra) + " method " + std::to_string(Index(c.method)));
        TempFolder dir;
        const Outcome o = Build(dir, c.method, false, clips, std::string(kTwoImages) + c.extra + " --volume DISC_%02d");
        ASSERT_EQ(o.status, 0) << o.out;
        EXPECT_FALSE(harness::Exists(dir / "movie.bin"));
        const char* sheet = c.method == VcdMethod::MpegToTocBin ? ".toc" : ".cue";
        const std::string one = CueOf(dir / (c.first + std::string(sheet)));
        const std::string two = CueOf(dir / (c.second + std::string(sheet)));
        ExpectClean(one, false, {clips[0], clips[1]});
        ExpectClean(two, false, {clips[2]});
        EXPECT_NE(ReadVcdInfo(one).text.find("volume id: `DISC_01'"), std::string::npos);
        EXPECT_NE(ReadVcdInfo(two).text.find("volume id: `DISC_02'"), std::string::npos);
        // Image 2 numbers its only track 02, at its own start.
        const std::string second = ReadFile(two);
        EXPECT_NE(second.find("TRACK 02"), std::string::npos) << second;
        EXPECT_EQ(second.find("TRACK 03"), std::string::npos) << second;
        const std::vector<std::string> firstStarts = CueIndexes(one);
        ASSERT_EQ(firstStarts.size(), 3u);
        EXPECT_EQ(CueIndexes(two), std::vector<std::string>({firstStarts[0], firstStarts[1]}));
        // What an image holds stays within the capacity.
        const uint64_t held = ReadFile(clips[0].path).size() + ReadFile(clips[1].path).size() + 2 * 546140;
        EXPECT_LE(held, 1500000u);
    }
}

TEST(BuildSpanning, ManualShiftsMakeTwoImagesWithTheirOwnSheets) {
    NEED_TOOLS();
    const std::vector<Clip> clips = {PalVcd(), NtscVcd()};
    for (VcdMethod method : {VcdMethod::MpegToCueBin, VcdMethod::MpegToTocBin}) {
        TempFolder dir;
        const Outcome o = Build(dir, method, false, clips, " --increase-image 2");
        ASSERT_EQ(o.status, 0) << o.out;
        const char* sheet = method == VcdMethod::MpegToTocBin ? ".toc" : ".cue";
        ExpectClean(CueOf(dir / ("movie_01" + std::string(sheet))), false, {clips[0]});
        ExpectClean(CueOf(dir / ("movie_02" + std::string(sheet))), false, {clips[1]});
        if (method == VcdMethod::MpegToCueBin) ExpectExtractsBack(dir / "movie_02.cue", {clips[1]});
    }
}

// ---- A file split over images ----

// Time stamps of a program stream, sector by sector.
struct Stamps {
    std::vector<uint64_t> scr;                  // per pack
    std::vector<int64_t> ptsToScr;              // per stamped packet: PTS - its pack's SCR
};

// Zeroes what rebasing may change (pack SCR, PES PTS and DTS, GOP time
// codes) in a stream of 2324-byte packs, and collects the stamps.
std::string Normalise(std::string data, Stamps* stamps = nullptr) {
    auto* d = reinterpret_cast<uint8_t*>(data.data());
    for (size_t at = 0; at + 2324 <= data.size(); at += 2324) {
        uint8_t* p = d + at;
        if (!(p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA)) continue;
        const bool mpeg1 = (p[4] & 0xF0) == 0x20;
        const uint64_t scr =
            mpeg1 ? TGopTimeCode::DecodeMpeg1Scr(p + 4) : TGopTimeCode::DecodeMpeg2Scr(p + 4);
        if (stamps) stamps->scr.push_back(scr);
        std::memset(p + 4, 0, mpeg1 ? 5 : 6);
        p[4] = mpeg1 ? 0x20 : 0x40;  // the pack's form stays readable
        size_t pos = mpeg1 ? 12 : 14 + (p[13] & 7);
        while (pos + 6 <= 2324 && p[pos] == 0 && p[pos + 1] == 0 && p[pos + 2] == 1 && p[pos + 3] >= 0xBB) {
            const uint8_t sid = p[pos + 3];
            const size_t length = (size_t(p[pos + 4]) << 8) | p[pos + 5];
            if (sid >= 0xC0 && sid <= 0xEF) {
                std::vector<size_t> fields;
                if ((p[pos + 6] & 0xC0) == 0x80) {
                    if (p[pos + 7] & 0x80) fields.push_back(pos + 9);
                    if ((p[pos + 7] & 0xC0) == 0xC0) fields.push_back(pos + 14);
                } else {
                    size_t q = pos + 6;
                    while (p[q] == 0xFF && q < pos + 22) ++q;
                    if ((p[q] & 0xC0) == 0x40) q += 2;
                    if ((p[q] & 0xE0) == 0x20) fields.push_back(q);
                    if ((p[q] & 0xF0) == 0x30) fields.push_back(q + 5);
                }
                for (size_t f : fields) {
                    if (f + 5 > 2324) continue;
                    if (stamps) stamps->ptsToScr.push_back(int64_t(TGopTimeCode::DecodePts(p + f)) - int64_t(scr));
                    p[f] &= 0xF0;  // the field's prefix stays readable
                    std::memset(p + f + 1, 0, 4);
                }
            }
            pos += 6 + length;
        }
        for (uint8_t* g = p; (g = static_cast<uint8_t*>(memmem(g, size_t(p + 2324 - g), "\0\0\1\xB8", 4)));) {
            std::memset(g + 4, 0, std::min<size_t>(4, size_t(p + 2324 - (g + 4))));
            g += 4;
        }
    }
    return data;
}

// ffprobe's picture count (its last line; the audio decoder may complain first).
int FramesOf(const std::string& path) {
    const std::string out = harness::Frames(path);
    return std::atoi(out.substr(out.find_last_of('\n') + 1).c_str());
}

// The packets of a 2324-byte pack as their lengths chain them; not chained
// when a header does not lead to the next one or to the sector's (zero) end.
struct PackPackets {
    bool chained = false;
    std::string video;                               // the video data, packet after packet
    std::vector<std::pair<int, std::string>> other;  // the other packets but padding, whole
};

PackPackets ReadPack(const std::string& sector) {
    PackPackets out;
    const auto* p = reinterpret_cast<const uint8_t*>(sector.data());
    if (sector.size() != 2324 || !(p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA)) return out;
    size_t pos = (p[4] & 0xF0) == 0x20 ? 12 : 14 + (p[13] & 7);
    while (pos + 6 <= 2324 && p[pos] == 0 && p[pos + 1] == 0 && p[pos + 2] == 1 && p[pos + 3] >= 0xBB) {
        const int id = p[pos + 3];
        const size_t end = pos + 6 + ((size_t(p[pos + 4]) << 8) | p[pos + 5]);
        if (end > 2324) return out;
        if (id >= 0xE0 && id <= 0xEF) {
            size_t data = pos + 6;
            if ((p[data] & 0xC0) == 0x80) {
                data += 3 + p[pos + 8];
            } else {
                while (p[data] == 0xFF) ++data;
                if ((p[data] & 0xC0) == 0x40) data += 2;
                data += (p[data] & 0xF0) == 0x30 ? 10 : (p[data] & 0xF0) == 0x20 ? 5 : 1;
            }
            out.video += sector.substr(data, end - data);
        } else if (id != 0xBE) {
            out.other.emplace_back(id, sector.substr(pos, end - pos));
        }
        pos = end;
    }
    // A VCD muxer may leave the pack's last bytes zero.
    out.chained = pos <= 2324 && sector.find_first_not_of('\0', pos) == std::string::npos;
    return out;
}

// The first sector of a continued piece against the source's: every packet
// header chains to the end, the other packets are the source's, and the
// video data is the source's (an SVCD's from its sequence header on).
void ExpectFirstSectorKept(const std::string& ours, const std::string& source, bool svcd) {
    const PackPackets a = ReadPack(ours), b = ReadPack(source);
    ASSERT_TRUE(b.chained) << "the source's own sector";
    EXPECT_TRUE(a.chained);
    EXPECT_EQ(a.other, b.other);
    std::string expected = b.video;
    if (svcd) {
        const size_t header = expected.find(std::string("\x00\x00\x01\xB3", 4));
        if (header != std::string::npos) expected = expected.substr(header);
    }
    EXPECT_TRUE(SameBytes(a.video, expected));
}

// ffmpeg's complaints about a file, without the decoders' addresses.
std::set<std::string> FfmpegErrors(const std::string& path) {
    std::set<std::string> lines;
    std::istringstream in(Tool("ffmpeg -hide_banner -v error -i " + Quote(path) + " -f null -"));
    static const std::regex address(R"( @ 0x[0-9a-f]+)");
    for (std::string line; std::getline(in, line);)
        if (line.find("Last message repeated") == std::string::npos) lines.insert(std::regex_replace(line, address, ""));
    return lines;
}

class BuildSplit : public ::testing::TestWithParam<bool> {};

// A 12-second clip over several images: each piece rips back as the
// source's bytes (behind the fixed header sectors for later pieces), with a
// clock that never runs backwards and stamps at the source's distance to it.
TEST_P(BuildSplit, PiecesRipBackAsTheSourceWithARebasedClock) {
    NEED_TOOLS();
    const bool svcd = GetParam();
    TempFolder dir;
    const std::string clip = dir / "long.mpg";
    Tool(std::string("ffmpeg -hide_banner -loglevel error -y -threads 1 -f lavfi -i testsrc=duration=12:size=") +
         (svcd ? "480x576" : "352x288") + ":rate=25 -f lavfi -i sine=frequency=440:duration=12 -target " +
         (svcd ? "pal-svcd" : "pal-vcd") + " -threads 1 -flags +bitexact -fflags +bitexact " + Quote(clip));
    const std::string source = ReadFile(clip);
    ASSERT_GT(source.size(), 500000u);
    const uint64_t capacity = source.size() * 2 / 5 + 546140;
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, svcd, {{clip, true}},
                            " --capacity " + std::to_string(capacity) + " --margin 0");
    ASSERT_EQ(o.status, 0) << o.out;

    std::string header(svcd ? kMpeg2SystemHeaderBytes : kMpeg1SystemHeaderBytes, '\0');
    auto* h = reinterpret_cast<uint8_t*>(header.data());
    if (svcd) {
        BuildMpeg2SystemHeaderPayload(h);
    } else {
        BuildMpeg1SystemHeaderPayloadA(h);
        BuildMpeg1SystemHeaderPayloadB(h + 2324);
    }
    size_t offset = 0;
    int images = 0, frames = 0;
    for (int k = 1; harness::Exists(dir / ("movie_0" + std::to_string(k) + ".cue")); ++k) {
        SCOPED_TRACE("image " + std::to_string(k));
        ++images;
        const std::string cue = dir / ("movie_0" + std::to_string(k) + ".cue");
        TempFolder rip;
        const std::string said = Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(cue));
        EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
        // Every image's tables describe its own track alone.
        const VcdInfo v = ReadVcdInfo(cue);
        EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
        EXPECT_EQ(v.entryLsn.size(), 1u);
        const std::string piece = ReadFile(rip / "avseq01.mpg");
        frames += FramesOf(rip / "avseq01.mpg");
        std::string data = piece;
        if (k > 1) {
            ASSERT_GT(piece.size(), header.size());
            EXPECT_TRUE(SameBytes(piece.substr(0, header.size()), header));
            data = piece.substr(header.size());
        }
        ASSERT_LE(offset + data.size(), source.size());
        const std::string original = source.substr(offset, data.size());
        if (k == 1) {
            EXPECT_TRUE(SameBytes(data, original));
        } else {
            Stamps ours, theirs;
            std::string a = Normalise(data, &ours), b = Normalise(original, &theirs);
            ExpectFirstSectorKept(a.substr(0, 2324), b.substr(0, 2324), svcd);
            EXPECT_TRUE(SameBytes(a.substr(2324), b.substr(2324)));
            EXPECT_EQ(ours.ptsToScr, theirs.ptsToScr);
            Stamps whole;
            Normalise(piece, &whole);
            EXPECT_TRUE(std::is_sorted(whole.scr.begin(), whole.scr.end()));
        }
        offset += data.size();
    }
    EXPECT_GE(images, 2);
    const int cuts = images - 1;
    EXPECT_LE(std::abs(frames - FramesOf(clip)), cuts) << frames;
}

INSTANTIATE_TEST_SUITE_P(Discs, BuildSplit, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Svcd" : "Vcd"; });

// ---- Split builds of longer clips ----

// The clips of scripts/split_build_clips.sh, made on first use.
const std::string& SplitClips() {
    static const std::string dir = media::ScriptFolder("split_build_clips.sh", "split-build-clips", {"fixtures/image_tools.pl"});
    return dir;
}

std::string SplitClip(const std::string& name) { return SplitClips() + "/" + name; }

std::string ImageName(int k, const std::string& ext) {
    char name[32];
    std::snprintf(name, sizeof name, "movie_%02d%s", k, ext.c_str());
    return name;
}

// The header sectors a continued piece starts with.
std::string HeaderSectors(bool svcd) {
    std::string header(svcd ? kMpeg2SystemHeaderBytes : kMpeg1SystemHeaderBytes, '\0');
    auto* h = reinterpret_cast<uint8_t*>(header.data());
    if (svcd) {
        BuildMpeg2SystemHeaderPayload(h);
    } else {
        BuildMpeg1SystemHeaderPayloadA(h);
        BuildMpeg1SystemHeaderPayloadB(h + 2324);
    }
    return header;
}

// The offset of the first sector after the start that holds a GOP and,
// in front of it, a system header: where an SVCD cut moved the sequence
// header over a packet header. 0 when there is none.
size_t GopBehindSystemHeader(const std::string& data) {
    for (size_t at = 2324; at + 2324 <= data.size(); at += 2324) {
        const std::string sector = data.substr(at, 2324);
        if (sector.compare(14, 4, std::string("\x00\x00\x01\xBB", 4)) == 0 &&
            sector.find(std::string("\x00\x00\x01\xB8", 4)) != std::string::npos)
            return at;
    }
    return 0;
}

struct SplitCase {
    const char* clip;
    bool svcd;
    VcdMethod method;
};

class BuildSplitClips : public ::testing::TestWithParam<SplitCase> {};

// Every image of a split build, cue or toc: vcd-info and vcdxrip read it
// without a warning, the pieces joined are the source from its first pack
// (later pieces behind their header sectors, clocks rebased, first sectors
// included), and ffmpeg finds nothing in a piece that it does not find in
// the same bytes cut from the source.
TEST_P(BuildSplitClips, EveryImageRipsAndThePiecesJoinToTheSource) {
    NEED_TOOLS();
    const SplitCase c = GetParam();
    const std::string clip = SplitClip(std::string(c.clip) + ".mpg");
    const std::string source = ReadFile(clip);
    ASSERT_GT(source.size(), 3'000'000u) << clip;
    // An SVCD's first cut goes where the sequence header lies behind a
    // system header; a VCD's gives three images.
    uint64_t capacity = source.size() * 2 / 5 + 546140;
    if (c.svcd) {
        const size_t at = GopBehindSystemHeader(source);
        ASSERT_GT(at, 0u) << "the clip has no such sector";
        capacity = at + 2 * 2324 + 546140;
    }
    TempFolder dir;
    const Outcome o = Build(dir, c.method, c.svcd, {{clip, true}},
                            " --span 74 --capacity " + std::to_string(capacity) + " --margin 0");
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string ext = c.method == VcdMethod::MpegToTocBin ? ".toc" : ".cue";
    const std::string header = HeaderSectors(c.svcd);
    size_t offset = 0;
    int images = 0;
    for (int k = 1; harness::Exists(dir / ImageName(k, ext)); ++k) {
        SCOPED_TRACE("image " + std::to_string(k));
        ++images;
        const std::string cue = CueOf(dir / ImageName(k, ext));
        const VcdInfo v = ReadVcdInfo(cue);
        EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
        EXPECT_EQ(v.entryLsn.size(), 1u);
        TempFolder rip;
        const std::string said = Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(cue));
        EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
        EXPECT_EQ(said.find("ASSERT"), std::string::npos) << said;
        const std::string piece = ReadFile(rip / "avseq01.mpg");
        ASSERT_GT(piece.size(), header.size());
        std::string data = piece;
        if (k > 1) {
            EXPECT_TRUE(SameBytes(piece.substr(0, header.size()), header));
            data = piece.substr(header.size());
        }
        ASSERT_LE(offset + data.size(), source.size());
        const std::string original = source.substr(offset, data.size());
        if (k == 1) {
            EXPECT_TRUE(SameBytes(data, original));
        } else {
            const std::string a = Normalise(data), b = Normalise(original);
            ExpectFirstSectorKept(a.substr(0, 2324), b.substr(0, 2324), c.svcd);
            EXPECT_TRUE(SameBytes(a.substr(2324), b.substr(2324)));
        }
        const std::string cut = rip / "cut.mpg";
        harness::WriteFile(cut, original);
        const std::set<std::string> theirs = FfmpegErrors(cut);
        for (const std::string& line : FfmpegErrors(rip / "avseq01.mpg"))
            EXPECT_TRUE(theirs.count(line)) << line;
        offset += data.size();
    }
    EXPECT_GE(images, 3);
    EXPECT_EQ(offset, source.size());
}

INSTANTIATE_TEST_SUITE_P(
    Clips, BuildSplitClips,
    ::testing::Values(SplitCase{"pal_vcd", false, VcdMethod::MpegToCueBin},
                      SplitCase{"pal_vcd", false, VcdMethod::MpegToTocBin},
                      SplitCase{"ntsc_vcd", false, VcdMethod::MpegToCueBin},
                      SplitCase{"ntsc_vcd", false, VcdMethod::MpegToTocBin},
                      SplitCase{"pal_svcd", true, VcdMethod::MpegToCueBin},
                      SplitCase{"pal_svcd", true, VcdMethod::MpegToTocBin},
                      SplitCase{"ntsc_svcd", true, VcdMethod::MpegToCueBin},
                      SplitCase{"ntsc_svcd", true, VcdMethod::MpegToTocBin}),
    [](const auto& info) {
        return std::string(info.param.clip) + (info.param.method == VcdMethod::MpegToTocBin ? "_toc" : "_cue");
    });

// A file whose packs leave the grid part way, split over images: the build
// warns as for the file added whole, and every piece past the joint begins
// at a pack, so vcdxrip finds each of its sectors a pack and it rips as the
// source's bytes from that pack.
TEST(BuildSplit, PiecesOfAFileOffTheGridRipFromTheirFirstPack) {
    NEED_TOOLS();
    const std::string clip = SplitClip("odd_packs.mpg");
    const std::string source = ReadFile(clip);
    ASSERT_NE(source.size() % 2324, 0u);
    const std::string span = " --span 74 --capacity 2000000 --margin 0";
    const Outcome listed = RunJob("--page 1 --method 1 --input " + Quote(clip) + span + " --list-only");
    ASSERT_EQ(listed.status, 0) << listed.out;
    EXPECT_NE(listed.out.find("WARNING: MPEG file may not have constant 2324 pack size."), std::string::npos)
        << listed.out;
    std::vector<std::pair<size_t, size_t>> pieces;  // start and end offsets
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("entry\t", 0) != 0) continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        pieces.emplace_back(std::stoul(f[4]), std::stoul(f[5]));
    }
    ASSERT_GE(pieces.size(), 3u) << listed.out;
    const size_t joint = 100 * 2324 + 1000;
    ASSERT_GT(pieces[1].first, joint);

    TempFolder dir;
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, {{clip, true}}, span);
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string header = HeaderSectors(false);
    for (size_t k = 1; k < pieces.size(); ++k) {
        SCOPED_TRACE("piece " + std::to_string(k + 1));
        const auto [start, end] = pieces[k];
        EXPECT_EQ(source.compare(start, 4, std::string("\x00\x00\x01\xBA", 4)), 0);
        const std::string cue = dir / ImageName(int(k) + 1, ".cue");
        EXPECT_EQ(ReadVcdInfo(cue).text.find("WARN"), std::string::npos);
        TempFolder rip;
        const std::string said = Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(cue));
        EXPECT_EQ(said.find("pack header code"), std::string::npos) << said;
        EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
        const std::string piece = ReadFile(rip / "avseq01.mpg");
        ASSERT_GE(piece.size(), header.size() + (end - start));
        // The last piece's part pack at the file's end is padded to a sector.
        const std::string data = piece.substr(header.size(), end - start);
        const std::string a = Normalise(data), b = Normalise(source.substr(start, end - start));
        EXPECT_TRUE(SameBytes(a, b));
    }
}

// ---- Conversions of SVCD images ----

// vcdimager's SVCD image as cif and nrg: rebuilt as cue/bin, it reads clean
// and vcdxrip gives the same track as from vcdimager's own image.
// Tracks shorter than the margins a VCD's track directory counts (0.2 s
// clips, in the middle and at the end) are rebuilt whole too.
TEST(BuildConversion, SvcdCifAndNrgImagesAreRebuiltAsCueBin) {
    NEED_TOOLS();
    struct Case {
        VcdMethod method;
        const char* source;
        std::vector<const char*> rips;
    };
    for (const Case& c : {Case{VcdMethod::CifToCueBin, "svcd.cif", {"svcd.rip.mpg"}},
                          Case{VcdMethod::NrgToCueBin, "svcd.nrg", {"svcd.rip.mpg"}},
                          Case{VcdMethod::CifToCueBin, "svcd2.cif", {"svcd2.rip01.mpg", "svcd2.rip02.mpg"}},
                          Case{VcdMethod::NrgToCueBin, "svcd2.nrg", {"svcd2.rip01.mpg", "svcd2.rip02.mpg"}}}) {
        const VcdMethod method = c.method;
        const char* source = c.source;
        SCOPED_TRACE(source);
        TempFolder dir;
        const Outcome o = RunJob("--page 1 --svcd --method " + std::to_string(Index(method)) + " --source " +
                                 Quote(SplitClip(source)) + " --output " + Quote(dir / "image.bin") + " --date '" +
                                 kDate + "'");
        ASSERT_EQ(o.status, 0) << o.out;
        const VcdInfo v = ReadVcdInfo(dir / "image.cue");
        EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
        EXPECT_NE(v.text.find("SVCD detected"), std::string::npos) << v.text;
        TempFolder rip;
        const std::string said = Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(dir / "image.cue"));
        EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
        for (size_t k = 0; k < c.rips.size(); ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "avseq%02zu.mpg", k + 1);
            EXPECT_EQ(Md5(rip / name), Md5(SplitClip(c.rips[k]))) << name;
        }
        ExpectSectorsEncoded(dir / "image.bin");
    }
}

// ---- The volume label ----

// A label with characters ISO 9660 does not allow in a volume identifier is
// recorded mapped, in the volume and album identifiers of every image, and
// the log says so once for the job.
TEST(BuildLabel, LabelIsKeptToTheIdentifiersCharactersAndTheChangeLoggedOnce) {
    NEED_TOOLS();
    TempFolder dir;
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, {PalVcd(), NtscVcd()},
                            " --increase-image 2 --volume 'Gr\xC3\xBC\xC3\x9F" "e %d, 100%%'");
    ASSERT_EQ(o.status, 0) << o.out;
    size_t said = 0;
    for (size_t at = 0; (at = o.out.find("Volume label \"", at)) != std::string::npos; ++at) ++said;
    EXPECT_EQ(said, 1u) << o.out;
    EXPECT_NE(o.out.find("Volume label \"Gr\xC3\xBC\xC3\x9F" "e 1, 100%\" recorded as \"GR__E_1__100_\""),
              std::string::npos)
        << o.out;
    for (int k = 1; k <= 2; ++k) {
        const std::string id = "GR__E_" + std::to_string(k) + "__100_";
        const VcdInfo v = ReadVcdInfo(dir / ImageName(k, ".cue"));
        EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
        EXPECT_NE(v.text.find("volume id: `" + id + "'"), std::string::npos) << v.text;
        EXPECT_NE(v.text.find("album id: `" + id + "'"), std::string::npos) << v.text;
    }
    // A label that needs no change is not mentioned.
    TempFolder plain;
    const Outcome p = Build(plain, VcdMethod::MpegToCueBin, false, {PalVcd()}, " --volume DISC_%02d");
    ASSERT_EQ(p.status, 0) << p.out;
    EXPECT_EQ(p.out.find("Volume label \""), std::string::npos) << p.out;
}

// ---- Switches and CD-i ----

TEST(BuildSwitches, NonCompliantSvcdSwitchesGiveOnlyTheirWarning) {
    NEED_TOOLS();
    const std::vector<Clip> clips = {PalSvcd()};
    struct Case {
        const char* setting;
        const char* warning;
    };
    for (const Case& c : {Case{"SVCD_PhilipsCompliant", "no PSD file entry found in ISO9660 fs"},
                          Case{"SVCD_UseMPEG2Directory", "non compliant /MPEGAV folder"},
                          // vcd-info adds a second line on the same signature.
                          Case{"SVCD_UseENTRYVCD", "ENTRIES.SVD signature"}}) {
        SCOPED_TRACE(c.setting);
        TempFolder dir;
        const Outcome o = Build(dir, VcdMethod::MpegToCueBin, true, clips, std::string(" --set ") + c.setting + "=0");
        ASSERT_EQ(o.status, 0) << o.out;
        const VcdInfo v = ReadVcdInfo(dir / "movie.cue");
        int warnings = 0;
        std::istringstream in(v.text);
        for (std::string line; std::getline(in, line);) {
            if (line.find("WARN") == std::string::npos) continue;
            ++warnings;
            EXPECT_NE(line.find(c.warning), std::string::npos) << line;
        }
        EXPECT_GE(warnings, 1) << v.text;
        if (std::string(c.setting) == "SVCD_UseENTRYVCD") {
            EXPECT_NE(v.text.find("found (non-compliant) SVCD ENTRIES.SVD signature"), std::string::npos);
        }
        TempFolder rip;
        Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(dir / "movie.cue"));
        EXPECT_EQ(Md5(rip / "avseq01.mpg"), Md5(clips[0].path));
        ExpectExtractsBack(dir / "movie.cue", clips);
    }
}

std::string CdiSettings(const std::string& folder) {
    return " --set AddCDIApplication=1 --set CDI_ImageFile=" + Quote(folder + "/cdi_imag.rtf") +
           " --set CDI_FontFile=" + Quote(folder + "/cdi_text.fnt") + " --set CDI_ApplicationFile=" +
           Quote(folder + "/cdi_vcd.app") + " --set CDI_ConfigurationFile=" + Quote(folder + "/cdi_vcd.cfg");
}

TEST(BuildCdi, ApplicationFilesLandInTheCdiFolder) {
    NEED_TOOLS();
    TempFolder dir;
    const std::vector<Clip> clips = {PalVcd()};
    const Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, clips, CdiSettings(Fixture("cdi")));
    ASSERT_EQ(o.status, 0) << o.out;
    const VcdInfo v = ReadVcdInfo(dir / "movie.cue");
    EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
    EXPECT_NE(v.text.find("application id: `CDI/CDI_VCD.APP;1"), std::string::npos) << v.text;
    // The image file (3 sectors) at 211, the font 80 sectors after its end.
    EXPECT_TRUE(std::regex_search(v.text, std::regex(R"(\[LSN\s+211\]\s+\d+.*CDI_IMAG\.RTF)"))) << v.text;
    EXPECT_TRUE(std::regex_search(v.text, std::regex(R"(\[LSN\s+294\]\s+5000\s+CDI_TEXT\.FNT)"))) << v.text;
    ExpectClean(dir / "movie.cue", false, clips);
    TempFolder rip;
    Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(dir / "movie.cue"));
    for (const auto& [ripped, file] : {std::pair{"_cdi_cdi_imag.rtf", "cdi_imag.rtf"},
                                       std::pair{"_cdi_cdi_text.fnt", "cdi_text.fnt"},
                                       std::pair{"_cdi_cdi_vcd.app", "cdi_vcd.app"},
                                       std::pair{"_cdi_cdi_vcd.cfg", "cdi_vcd.cfg"}})
        EXPECT_EQ(Md5(rip / ripped), Md5(Fixture(std::string("cdi/") + file))) << ripped;
}

TEST(BuildCdi, MissingOrBrokenApplicationFileFailsTheJob) {
    TempFolder cdi;
    for (const char* f : {"cdi_imag.rtf", "cdi_text.fnt", "cdi_vcd.app"})
        std::filesystem::copy_file(Fixture(std::string("cdi/") + f), cdi / f);
    TempFolder dir;
    Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, {PalVcd()}, CdiSettings(cdi.path));
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.out.find("cdi_vcd.cfg"), std::string::npos) << o.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));

    std::filesystem::copy_file(Fixture("cdi/cdi_vcd.cfg"), cdi / "cdi_vcd.cfg");
    harness::WriteFile(cdi / "cdi_imag.rtf", ReadFile(Fixture("cdi/cdi_imag.rtf")) + "x");
    o = Build(dir, VcdMethod::MpegToCueBin, false, {PalVcd()}, CdiSettings(cdi.path));
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.out.find("cdi_imag.rtf"), std::string::npos) << o.out;
}

// ---- Conversions ----

TEST(BuildConversion, CifAndNrgImagesAreRebuiltTrackForTrack) {
    NEED_TOOLS();
    const auto manifest = harness::Manifest();
    struct Case {
        VcdMethod method;
        const char* source;
        const char* listed;  // the manifest's name of the same disc
        std::vector<Clip> clips;
    };
    for (const Case& c :
         {Case{VcdMethod::CifToCueBin, "vcd_ntsc.cif", "vcd_ntsc.cue", {NtscVcd()}},
          Case{VcdMethod::NrgToCueBin, "vcd_pal3.nrg", "vcd_pal3.nrg",
               {PalVcd(), {Fixture("clip_pal_vcd_b.mpg"), true}, {Fixture("clip_pal_vcd_c.mpg"), true}}}}) {
        SCOPED_TRACE(c.source);
        TempFolder dir;
        const Outcome o = RunJob("--page 1 --method " + std::to_string(Index(c.method)) + " --source " +
                                 Quote(Fixture(c.source)) + " --output " + Quote(dir / "image.bin") + " --date '" +
                                 kDate + "'");
        ASSERT_EQ(o.status, 0) << o.out;
        const std::string cue = dir / "image.cue";
        const VcdInfo v = ReadVcdInfo(cue);
        EXPECT_EQ(v.text.find("WARN"), std::string::npos) << v.text;
        // An nrg keeps its own label, as the page reads it.
        if (c.method == VcdMethod::NrgToCueBin) {
            EXPECT_NE(v.text.find("volume id: `PELLTEST'"), std::string::npos) << v.text;
        }
        TempFolder rip;
        Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(cue));
        const auto& files = manifest.at(c.listed);
        for (size_t k = 0; k < files.size(); ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "avseq%02zu.mpg", k + 1);
            EXPECT_EQ(Md5(rip / name), files[k].md5) << name;
        }
        ExpectExtractsBack(cue, c.clips);
        ExpectSectorsEncoded(dir / "image.bin");
    }
}

// An nrg chosen with the cif method, or a cif with the nrg method: its
// sectors are not of the size the method reads, so every sector taken would
// be cut in the wrong place. The job fails and leaves no image.
TEST(BuildConversion, ImageOfTheOtherKindIsRefused) {
    for (const auto& [method, source] : {std::pair{VcdMethod::CifToCueBin, "vcd_pal3.nrg"},
                                         std::pair{VcdMethod::NrgToCueBin, "vcd_ntsc.cif"}}) {
        SCOPED_TRACE(source);
        TempFolder dir;
        const Outcome o = RunJob("--page 1 --method " + std::to_string(Index(method)) + " --source " +
                                 Quote(Fixture(source)) + " --output " + Quote(dir / "image.bin"));
        EXPECT_EQ(o.status, 5) << o.out;
        EXPECT_NE(o.out.find("Could not locate MPEG stream."), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("processed Track"), std::string::npos) << o.out;
        EXPECT_FALSE(harness::Exists(dir / "image.bin"));
        EXPECT_FALSE(harness::Exists(dir / "image.cue"));
    }
}

// ---- Sizes, dates and failures ----

TEST(BuildRun, SameDateGivesTheSameBytesAndForcedSizesChangeNothing) {
    const std::vector<Clip> clips = {PalVcd(), NtscVcd()};
    TempFolder a, b, c;
    ASSERT_EQ(Build(a, VcdMethod::MpegToCueBin, false, clips).status, 0);
    ASSERT_EQ(Build(b, VcdMethod::MpegToCueBin, false, clips).status, 0);
    const Outcome forced = Build(c, VcdMethod::MpegToCueBin, false, clips, " --force-write 2324 --force-read 2352");
    ASSERT_EQ(forced.status, 0) << forced.out;
    EXPECT_NE(forced.out.find("Setting write size to: 2352"), std::string::npos) << forced.out;
    for (const char* name : {"movie.bin", "movie.cue"}) {
        EXPECT_TRUE(SameBytes(ReadFile(a / name), ReadFile(b / name))) << name;
        EXPECT_TRUE(SameBytes(ReadFile(a / name), ReadFile(c / name))) << name;
    }
}

TEST(BuildRun, FailuresEndTheJobWithTheirError) {
    TempFolder dir;
    const std::vector<Clip> clips = {PalVcd()};
    Outcome o = Build(dir, VcdMethod::MpegToCueBin, false, clips, " --set TempDirectory=" + Quote(dir / "missing/tmp"));
    EXPECT_EQ(o.status, 9) << o.out;
    EXPECT_NE(o.out.find("Temporary SCANDATA.DAT table file"), std::string::npos) << o.out;
    EXPECT_FALSE(harness::Exists(dir / "movie.bin"));

    o = RunJob("--page 1 --method 1" + Inputs(clips) + " --output " + Quote(dir / "missing/movie.bin"));
    EXPECT_EQ(o.status, 9) << o.out;
    EXPECT_NE(o.out.find("Unable to create output file."), std::string::npos) << o.out;

    // A disk that takes no byte: the failed writes end the job.
    o = RunJob("--page 1 --method 1" + Inputs(clips) + " --output /dev/full");
    EXPECT_EQ(o.status, 9) << o.out;
    EXPECT_EQ(o.out.find("processed Track"), std::string::npos) << o.out;

    // An image name no sheet can quote: refused before any byte is written.
    for (const char* method : {"0", "1"}) {
        const std::string quoted = dir / "my \"best\" movie.bin";
        o = RunJob(std::string("--page 1 --method ") + method + Inputs(clips) + " --output " + Quote(quoted));
        EXPECT_EQ(o.status, 9) << o.out;
        EXPECT_NE(o.out.find("[my \"best\" movie.bin]"), std::string::npos) << o.out;
        EXPECT_FALSE(harness::Exists(quoted)) << method;
        EXPECT_EQ(o.out.find("processed Track"), std::string::npos) << o.out;
    }
}

TEST(BuildRun, LastPartialSectorIsWrittenPaddedWithZeros) {
    NEED_TOOLS();
    TempFolder dir;
    const std::string odd = dir / "odd.mpg";
    const std::string bytes = ReadFile(Fixture("clip_pal_vcd.mpg")) + std::string(100, '\xAB');
    harness::WriteFile(odd, bytes);
    ASSERT_EQ(Build(dir, VcdMethod::MpegToCueBin, false, {{odd, true}}).status, 0);
    TempFolder rip;
    Tool("cd " + Quote(rip.path) + " && vcdxrip --cue-file=" + Quote(dir / "movie.cue"));
    const std::string ripped = ReadFile(rip / "avseq01.mpg");
    ASSERT_EQ(ripped.size(), (bytes.size() / 2324 + 1) * 2324);
    EXPECT_TRUE(SameBytes(ripped.substr(0, bytes.size()), bytes));
    EXPECT_EQ(ripped.find_first_not_of('\0', bytes.size()), std::string::npos);
}

// In process: the list is filled, then its file vanishes or the job is
// stopped; the job's private table folder goes in every case.
struct InProcessBuild : harness::Job {
    InProcessBuild() : list(&job, &config) {
        job.mpegList = &list;
        job.pageMode = 1;
        config.TempDirectory = temp.path;
        start.vcdChecked = true;
    }
    ~InProcessBuild() { job.mpegList = nullptr; }
    int Build(const std::string& output) {
        job.trackTable->firstTrack = 1;
        job.trackTable->lastTrack = int32_t(list.entries.size());
        job.method = Index(VcdMethod::MpegToCueBin);
        job.outputName = job.baseOutputName = output;
        harness::RecordingRig::clock = &clock;  // one recording time for every build
        return RunJob(config, start);
    }
    fakes::FakeClock clock;
    TempFolder temp;
    TMpegFileList list;
};

TEST(BuildRun, WorkerLaysOutItsOwnCopyOfTheList) {
    InProcessBuild b;
    TempFolder dir;
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd.mpg")), 0);
    ASSERT_EQ(b.list.AddFile(Fixture("clip_ntsc_vcd.mpg")), 0);
    const std::vector<TMpegFileInfo> before = b.list.entries;
    ASSERT_EQ(b.Build(dir / "one.bin"), 0);
    ASSERT_EQ(b.Build(dir / "two.bin"), 0);
    EXPECT_TRUE(SameBytes(ReadFile(dir / "one.bin"), ReadFile(dir / "two.bin")));
    ASSERT_EQ(b.list.entries.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(b.list.entries[i].size, before[i].size);
        EXPECT_EQ(b.list.entries[i].trackStartSecond, before[i].trackStartSecond);
    }
    EXPECT_TRUE(std::filesystem::is_empty(b.temp.path));
}

TEST(BuildRun, InputDeletedAfterItWasAddedFailsTheJob) {
    InProcessBuild b;
    TempFolder dir;
    std::filesystem::copy_file(Fixture("clip_ntsc_vcd.mpg"), dir / "gone.mpg");
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd.mpg")), 0);
    ASSERT_EQ(b.list.AddFile(dir / "gone.mpg"), 0);
    std::filesystem::remove(dir / "gone.mpg");
    EXPECT_NE(b.Build(dir / "movie.bin"), 0);
    EXPECT_TRUE(b.Logged("gone.mpg")) << ::testing::PrintToString(b.Lines());
    EXPECT_FALSE(b.Logged("completed : ") && b.Logged("processed Track 2"));
    EXPECT_TRUE(std::filesystem::is_empty(b.temp.path));
}

// A file cut short between the list and the build: what the list holds is
// no longer there, and the job says so instead of ending a shorter track.
TEST(BuildRun, InputCutShortAfterItWasAddedFailsTheJob) {
    const std::string clip = ReadFile(Fixture("clip_ntsc_vcd.mpg"));
    ASSERT_GT(clip.size(), 3 * 2324u);
    for (const size_t keep : {clip.size() - 1, clip.size() - 2324, size_t(2324), size_t(0)}) {
        SCOPED_TRACE(keep);
        InProcessBuild b;
        TempFolder dir;
        harness::WriteFile(dir / "short.mpg", clip);
        ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd.mpg")), 0);
        ASSERT_EQ(b.list.AddFile(dir / "short.mpg"), 0);
        std::filesystem::resize_file(dir / "short.mpg", keep);
        EXPECT_NE(b.Build(dir / "movie.bin"), 0);
        EXPECT_TRUE(b.Logged("short.mpg")) << ::testing::PrintToString(b.Lines());
        EXPECT_FALSE(b.Logged("processed Track 2")) << ::testing::PrintToString(b.Lines());
        EXPECT_FALSE(harness::Exists(dir / "movie.cue"));
        // The image refused after its first track is no image.
        EXPECT_FALSE(harness::Exists(dir / "movie.bin"));
        EXPECT_TRUE(b.Logged("[ incomplete output removed ] " + (dir / "movie.bin")));
    }
}

TEST(BuildRun, TablesThatCannotBeWrittenFailTheJob) {
    InProcessBuild b;
    TempFolder dir;
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd_b.mpg")), 0);
    // The job's table folder vanishes while the track is written.
    b.progress.onPosition = [&](int p) {
        if (p < 50) return;
        for (const auto& entry : std::filesystem::directory_iterator(b.temp.path))
            std::filesystem::remove_all(entry.path());
    };
    EXPECT_EQ(b.Build(dir / "movie.bin"), 25);
    EXPECT_TRUE(b.Logged("Temporary SCANDATA.DAT table file"));
    EXPECT_FALSE(harness::Exists(dir / "movie.cue"));
    EXPECT_FALSE(harness::Exists(dir / "movie.bin"));
}

// What escapes the worker while the sample clip is written fails the build:
// the half-written clip goes, the image finished before it stays.
TEST(BuildRun, AThrowWhileTheSampleIsWrittenRemovesTheClipNotTheImage) {
    InProcessBuild b;
    TempFolder dir;
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd.mpg")), 0);
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd_b.mpg")), 0);
    TSampleClipEditor editor(&b.config, nullptr, nullptr, [](int, const std::string&) {});
    TVcdTrackList rows;
    for (size_t i = 1; i < b.list.entries.size(); ++i)
        rows.AddRow(b.list.entries[i].image, b.list.entries[i].trackInImage, "", "");
    ASSERT_EQ(editor.OpenTrackList(rows, b.list, b.job.discKind), 0);
    ASSERT_EQ(editor.TrackListGridClick(1), 0);
    editor.StepToFrame(0);
    editor.markButtonClick();
    editor.StepToFrame(20);
    b.start.sampleClip = editor.Description();
    const std::string clip = dir / b.start.sampleClip->outputName;
    bool thrown = false;
    b.progress.onPosition = [&](int) {
        // At the clip's first GOP, in the middle of writing it.
        if (!thrown && b.status.caption().find("ample") != std::string::npos) {
            thrown = true;
            throw std::runtime_error("disk on fire");
        }
    };
    EXPECT_EQ(b.Build(dir / "movie.bin"), 12);
    ASSERT_TRUE(thrown);
    EXPECT_TRUE(b.Logged("Internal error: disk on fire"));
    EXPECT_FALSE(harness::Exists(clip)) << ::testing::PrintToString(b.Lines());
    EXPECT_TRUE(harness::Exists(dir / "movie.bin")) << ::testing::PrintToString(b.Lines());
    EXPECT_TRUE(harness::Exists(dir / "movie.cue"));
    EXPECT_FALSE(b.Logged("[ incomplete output removed ] " + (dir / "movie.bin")));
}

TEST(BuildRun, StopMidTrackAbortsWithResultThree) {
    InProcessBuild b;
    TempFolder dir;
    ASSERT_EQ(b.list.AddFile(Fixture("clip_pal_vcd_b.mpg")), 0);
    b.progress.onPosition = [&](int p) {
        if (p >= 50) b.runState.running.store(0);
    };
    EXPECT_EQ(b.Build(dir / "movie.bin"), 3);
    EXPECT_TRUE(b.Logged("[ aborted processing ]"));
    EXPECT_FALSE(b.Logged("processed Track 1"));
    EXPECT_TRUE(std::filesystem::is_empty(b.temp.path));
}

}  // namespace
