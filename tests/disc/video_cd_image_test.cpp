// Images of real clips, read back by the independent Debian tools: vcd-info
// must see no fault, cd-info the dates as recorded, vcdxrip the clips byte for
// byte. Every sector must carry a correct EDC (and ECC on Form 1).
#include "disc/video_cd_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "core/records.h"
#include "core/temp_file.h"
#include "disc/sector_encoder.h"
#include "tests/disc/image_builder.h"

namespace {

const platform::LocalTime kWhen{2026, 3, 4, 23, 30, 15, 0};
const char* const kWhenText = "Mar 04 2026 23:30:15";

std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

std::string Command(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::string Md5(const std::string& path) {
    const std::string out = Command("md5sum '" + path + "'");
    return out.substr(0, out.find(' '));
}

struct Folder {
    Folder() : path(CreateTempDir("pellmor-image-")) {}
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& n) const { return path + "/" + n; }
    std::string path;
};

// Clips ffmpeg makes at run time for the kinds the fixtures lack.
std::string MakeClip(const std::string& folder, const std::string& target, const std::string& size,
                     const std::string& rate) {
    const std::string path = folder + "/" + target + ".mpg";
    Command("ffmpeg -v error -y -f lavfi -i testsrc=size=" + size + ":rate=" + rate +
            ":d=1 -f lavfi -i sine=f=440:d=1 -target " + target + " -bitexact '" + path + "'");
    return path;
}

TConfig Compliant() {
    TConfig c;
    c.SVCD_UseMPEG2Directory = 1;
    c.SVCD_PhilipsCompliant = 1;
    c.SVCD_UseENTRYVCD = 1;
    return c;
}

// Rebuilds every sector from its own subheader and data and compares.
::testing::AssertionResult SectorsCheckOut(const std::string& bin) {
    const std::string s = imagetest::Slurp(bin);
    if (s.size() % kRawSectorSize != 0) return ::testing::AssertionFailure() << "not whole sectors";
    for (size_t at = 0; at < s.size(); at += kRawSectorSize) {
        uint8_t sector[kRawSectorSize];
        std::memcpy(sector, s.data() + at, kRawSectorSize);
        const int type = (sector[18] & 0x20) ? kSectorMode2Form2 : kSectorMode2Form1;
        BuildSector(sector, type, static_cast<uint32_t>(at / kRawSectorSize + 150));
        if (std::memcmp(sector, s.data() + at, kRawSectorSize) != 0)
            return ::testing::AssertionFailure() << "sector " << at / kRawSectorSize << " does not check out";
    }
    return ::testing::AssertionSuccess();
}

// LSN of each CD track in vcd-info's "CD-ROM TRACKS" table, and of each ENTRY.
std::vector<int> Lsns(const std::string& info, const std::regex& line) {
    std::vector<int> v;
    for (std::sregex_iterator i(info.begin(), info.end(), line), e; i != e; ++i) v.push_back(std::stoi((*i)[1]));
    return v;
}

// Runs vcdxrip in an empty folder; the md5 of each avseqNN.mpg in order.
std::vector<std::string> Rip(const std::string& cue, const std::string& folder, std::string* log = nullptr) {
    std::filesystem::create_directories(folder);
    const std::string out = Command("cd '" + folder + "' && vcdxrip --cue-file='" + cue + "'");
    if (log) *log = out;
    std::vector<std::string> md5s;
    for (int k = 1;; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/avseq%02d.mpg", k);
        if (!std::filesystem::exists(folder + name)) break;
        md5s.push_back(Md5(folder + name));
    }
    return md5s;
}

std::string Cue(const std::string& bin) { return bin.substr(0, bin.rfind('.')) + ".cue"; }

struct Case {
    const char* name;
    bool isVcd;
    std::vector<std::string> clips;  // fixture names, or "@target" made by ffmpeg
};

class RealImage : public ::testing::TestWithParam<Case> {};

TEST_P(RealImage, ReadsBackCleanWithTheIndependentTools) {
    const Case& c = GetParam();
    Folder f;
    std::vector<imagetest::Clip> clips;
    for (const std::string& name : c.clips) {
        if (name == "@film-vcd") clips.push_back({MakeClip(f.path, "film-vcd", "352x240", "24000/1001"), 5});
        else if (name == "@ntsc-svcd") clips.push_back({MakeClip(f.path, "ntsc-svcd", "480x480", "30000/1001"), 5});
        else clips.push_back({Fixture(name), 5});
    }
    const std::string bin = f / "image.bin";
    const imagetest::Built b = imagetest::BuildImage(bin, c.isVcd, Compliant(), clips, f.path, kWhen);
    ASSERT_EQ(b.result, 0);
    const size_t n = clips.size();

    const std::string info = Command("vcd-info --cue-file '" + Cue(bin) + "'");
    EXPECT_EQ(info.find("WARN"), std::string::npos) << info;
    EXPECT_NE(info.find(c.isVcd ? "VCD 2.0 detected" : "SVCD detected"), std::string::npos);
    EXPECT_NE(info.find("psd size: " + std::to_string(16 * n + 8) + "\n"), std::string::npos);
    EXPECT_NE(info.find("maximum lid: " + std::to_string(n + 1) + "\n"), std::string::npos);
    const std::vector<int> entries = Lsns(info, std::regex(R"(ENTRY\[\d+\]: .*LSN +(\d+))"));
    const std::vector<int> tracks = Lsns(info, std::regex(R"(\n +\d+: \d\d:\d\d:\d\d  0*(\d+)  XA)"));
    ASSERT_EQ(entries.size(), n);
    ASSERT_EQ(tracks.size(), n + 1);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(entries[i], tracks[i + 1]) << "entry " << i;
        EXPECT_EQ(entries[i], b.trackStarts[i]);
    }
    for (size_t i = 0; !c.isVcd && i < n; ++i) {
        const std::string kind = b.tracks[i].pal ? "PAL" : "NTSC";
        EXPECT_NE(info.find("audio: 1 stream, video: " + kind + " stream"), std::string::npos) << kind;
    }

    const std::string disc = Command("cd-info --no-device-info --cue-file '" + Cue(bin) + "'");
    EXPECT_NE(disc.find(c.isVcd ? "XA sectors   Video CD" : "XA sectors   Super Video CD (SVCD)"),
              std::string::npos)
        << disc;
    const std::string iso = Command("TZ=UTC cd-info --no-device-info --iso9660 --cue-file '" + Cue(bin) + "'");
    int records = 0;
    std::istringstream lines(iso);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("[LSN") == std::string::npos) continue;
        ++records;
        EXPECT_NE(line.find(kWhenText), std::string::npos) << line;
    }
    EXPECT_GT(records, 10);

    std::string log;
    const std::vector<std::string> ripped = Rip(Cue(bin), f / "rip", &log);
    EXPECT_EQ(log.find("WARN"), std::string::npos) << log;
    ASSERT_EQ(ripped.size(), n) << log;
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(ripped[i], Md5(clips[i].path)) << "track " << i + 1;

    EXPECT_TRUE(SectorsCheckOut(bin));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(f.path) / "rip") == false);
    for (const char* table : {kScanTableName, kSearchTableName, kTracksTableName})
        EXPECT_FALSE(std::filesystem::exists(f / table)) << table << " is removed";
}

INSTANTIATE_TEST_SUITE_P(
    Clips, RealImage,
    ::testing::Values(Case{"VcdPal", true, {"clip_pal_vcd.mpg"}},
                      Case{"VcdPalNtscFilm", true, {"clip_pal_vcd.mpg", "clip_ntsc_vcd.mpg", "@film-vcd"}},
                      Case{"SvcdPal", false, {"clip_pal_svcd.mpg"}},
                      Case{"SvcdPalNtsc", false, {"clip_pal_svcd.mpg", "@ntsc-svcd"}}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// The data track's own layout: placeholder, directories, path tables, tables.
TEST(ImageLayout, OneTrackVcdAndSvcd) {
    Folder f;
    for (bool isVcd : {true, false}) {
        SCOPED_TRACE(isVcd ? "VCD" : "SVCD");
        const std::string bin = f / (isVcd ? "v.bin" : "s.bin");
        const imagetest::Built b = imagetest::BuildImage(bin, isVcd, Compliant(),
                                                         {{Fixture(isVcd ? "clip_pal_vcd.mpg" : "clip_pal_svcd.mpg")}},
                                                         f.path, kWhen);
        ASSERT_EQ(b.result, 0);
        EXPECT_EQ(b.trackStarts[0], 506) << "356 data-track sectors and the pregap";
        const std::string s = imagetest::Slurp(bin);
        auto at = [&](int sector, int offset) { return static_cast<uint8_t>(s[sector * 2352 + 24 + offset]); };
        const int pathL = isVcd ? 26 : 25;
        EXPECT_EQ(at(16, 140), pathL);
        EXPECT_EQ(at(pathL, 2), 18) << "the root is the type-L table's first record";
        EXPECT_EQ(at(pathL + 1, 5), 18) << "the type-M table follows";
        EXPECT_EQ(std::string(&s[150 * 2352 + 24], 8), isVcd ? "VIDEO_CD" : "SUPERVCD");
        if (!isVcd) {
            EXPECT_EQ(std::string(&s[185 * 2352 + 24], 8), "SEARCHSV");
            EXPECT_EQ(std::string(&s[217 * 2352 + 24], 8), "TRACKSVD");
        }
        EXPECT_EQ(std::string(&s[244 * 2352 + 24], 8), "SCAN_VCD");
        // Sector 16's volume size covers the whole image.
        EXPECT_EQ(at(16, 80) | at(16, 81) << 8, s.size() / 2352);
        // The data track ends at 355: the track's pregap follows untouched.
        EXPECT_EQ(static_cast<uint8_t>(s[356 * 2352 + 18]), 0x20);
    }
}

TEST(ImageLayout, SameInputSameDateSameBytes) {
    Folder f;
    std::vector<imagetest::Clip> clips = {{Fixture("clip_pal_vcd.mpg")}, {Fixture("clip_pal_vcd_b.mpg")}};
    ASSERT_EQ(imagetest::BuildImage(f / "a.bin", true, Compliant(), clips, f.path, kWhen).result, 0);
    ASSERT_EQ(imagetest::BuildImage(f / "b.bin", true, Compliant(), clips, f.path, kWhen).result, 0);
    EXPECT_EQ(Md5(f / "a.bin"), Md5(f / "b.bin"));
}

TEST(ImageTracks, TwentyTracksRipBackAsTwentyFiles) {
    Folder f;
    std::vector<imagetest::Clip> clips(20, {Fixture("clip_pal_vcd_c.mpg")});
    const std::string bin = f / "twenty.bin";
    ASSERT_EQ(imagetest::BuildImage(bin, true, Compliant(), clips, f.path, kWhen).result, 0);
    const std::string info = Command("vcd-info --cue-file '" + Cue(bin) + "'");
    EXPECT_EQ(info.find("WARN"), std::string::npos);
    EXPECT_NE(info.find("ENTRY[19]: track# 20"), std::string::npos) << info;
    std::string log;
    const std::vector<std::string> ripped = Rip(Cue(bin), f / "rip", &log);
    EXPECT_EQ(ripped.size(), 20u) << log;
    for (const std::string& m : ripped) EXPECT_EQ(m, Md5(clips[0].path));
}

TEST(ImageTracks, NinetyEightTracksFillThreeDirectorySectors) {
    Folder f;
    std::vector<imagetest::Clip> clips(98, {Fixture("clip_pal_vcd_c.mpg")});
    const std::string bin = f / "full.bin";
    ASSERT_EQ(imagetest::BuildImage(bin, true, Compliant(), clips, f.path, kWhen).result, 0);
    const std::string info = Command("vcd-info --cue-file '" + Cue(bin) + "'");
    EXPECT_EQ(info.find("WARN"), std::string::npos);
    EXPECT_TRUE(std::regex_search(info, std::regex(R"(\[LSN +21\] +6144  MPEGAV)"))) << info;
    EXPECT_NE(info.find("AVSEQ98.DAT;1"), std::string::npos);
    EXPECT_EQ(Rip(Cue(bin), f / "rip").size(), 98u);

    TVideoCdImage tooMany(Compliant(), true, nullptr);
    tooMany.SetTracks(std::vector<TImageTrack>(99, TImageTrack{300 * 2352, true, true, 0, 1.0}));
    tooMany.SetTableFolder(f.path);
    std::ofstream(f / kScanTableName) << "SCAN_VCD";
    TFileIO out;
    ASSERT_EQ(out.OpenForUpdate(bin), 0);
    EXPECT_EQ(tooMany.WriteImage(out), 20) << "the writer refuses what the start check lets through";
}

// Track records fill the first directory sector after the two dot entries
// (32), then 34 per sector; sectors without records are written empty.
TEST(ImageTracks, TrackDirectoryGrowsBySectors) {
    const struct {
        int tracks;
        uint32_t size;
        std::array<int, 3> records;  // per sector of MPEGAV, dot entries included
    } cases[] = {{1, 2048, {3, 0, 0}}, {32, 2048, {34, 0, 0}}, {33, 4096, {34, 1, 0}},
                 {66, 4096, {34, 34, 0}}, {67, 6144, {34, 34, 1}}, {98, 6144, {34, 34, 32}}};
    Folder f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tracks);
        TVideoCdImage image(Compliant(), true, nullptr);
        image.SetTracks(std::vector<TImageTrack>(c.tracks, TImageTrack{300 * 2352, true, true, 0, 1.0}));
        image.SetTableFolder(f.path);
        std::ofstream(f / kScanTableName) << "SCAN_VCD";
        TFileIO out;
        ASSERT_EQ(out.OpenForWrite(f / "dir.bin"), 0);
        ASSERT_EQ(image.WritePlaceholder(out), 0);
        ASSERT_EQ(image.WriteImage(out), 0);
        ASSERT_EQ(out.Close(), 0);
        const std::string s = imagetest::Slurp(f / "dir.bin");
        auto data = [&](int sector) { return reinterpret_cast<const uint8_t*>(s.data()) + sector * 2352 + 24; };
        // The root's MPEGAV record (the fifth) carries the directory's size.
        const uint8_t* r = data(18);
        for (int i = 0; i < 4; ++i) r += r[0];
        EXPECT_EQ(r[10] | r[11] << 8, c.size);
        for (int k = 0; k < 3; ++k) {
            int count = 0;
            for (const uint8_t* p = data(21 + k); p < data(21 + k) + 2048 && p[0] != 0; p += p[0]) ++count;
            EXPECT_EQ(count, c.records[k]) << "sector " << 21 + k;
        }
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data(24)) + 33, 1), std::string(1, '\0'))
            << "SEGMENT keeps its own sector";
    }
}

// A table's sectors end with the end-of-file subheader; zero sectors pad it,
// never past the data track into the first pregap.
TEST(ImageTables, ScanTableSectorsAndPadding) {
    const struct {
        size_t bytes;
        int sectors;
        int padding;
    } cases[] = {{100, 1, 31}, {4096, 2, 32}, {100 * 2048, 100, 12}};
    Folder f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        TVideoCdImage image(Compliant(), true, nullptr);
        image.SetTracks(std::vector<TImageTrack>(1, TImageTrack{300 * 2352, true, true, 0, 1.0}));
        image.SetTableFolder(f.path);
        std::ofstream(f / kScanTableName) << std::string(c.bytes, 's');
        TFileIO out;
        ASSERT_EQ(out.OpenForWrite(f / "pad.bin"), 0);
        ASSERT_EQ(image.WritePlaceholder(out), 0);
        ASSERT_EQ(image.WriteImage(out), 0);
        ASSERT_EQ(out.Close(), 0);
        const std::string s = imagetest::Slurp(f / "pad.bin");
        ASSERT_EQ(s.size(), 356u * 2352) << "the writer stays inside the data track";
        auto submode = [&](int sector) { return static_cast<uint8_t>(s[sector * 2352 + 18]); };
        auto file = [&](int sector) { return static_cast<uint8_t>(s[sector * 2352 + 16]); };
        for (int k = 0; k < c.sectors; ++k) {
            EXPECT_EQ(file(244 + k), 1);
            EXPECT_EQ(submode(244 + k), k + 1 == c.sectors ? 0x88 : 0x08) << k;
        }
        for (int k = 0; k < c.padding; ++k) EXPECT_EQ(submode(244 + c.sectors + k), 0x00) << k;
        if (244 + c.sectors + c.padding < 356) {
            EXPECT_EQ(submode(244 + c.sectors + c.padding), 0x08);
        }
        EXPECT_TRUE(SectorsCheckOut(f / "pad.bin"));
    }
}

// A CD-i image file of whole sectors with their own subheaders and EDC.
std::string CdiImageFile(int sectors) {
    std::string rtf;
    for (int i = 0; i < sectors; ++i) {
        uint8_t sector[kRawSectorSize] = {};
        const uint8_t sub[4] = {1, 0, uint8_t(i + 1 == sectors ? 0xA8 : 0x28), 0};
        std::memcpy(sector + 16, sub, 4);
        std::memcpy(sector + 20, sub, 4);
        for (int k = 24; k < 2348; ++k) sector[k] = uint8_t(i * 7 + k);
        BuildSector(sector, kSectorMode2Form2, 0);
        rtf.append(reinterpret_cast<char*>(sector) + 16, 2336);
    }
    return rtf;
}

TEST(ImageCdi, FourFilesAtTheirSectorsAndRippedBack) {
    Folder f;
    const std::string contents[4] = {CdiImageFile(3), std::string(5000, 'f'), std::string(2048, 'a'), "cfg\n"};
    std::array<std::string, 4> paths = {f / "img.rtf", f / "text.fnt", f / "vcd.app", f / "vcd.cfg"};
    for (int i = 0; i < 4; ++i) std::ofstream(paths[i], std::ios::binary) << contents[i];
    TCdiFiles cdi(paths);
    ASSERT_EQ(cdi.Load(), 0);
    TConfig config = Compliant();
    config.AddCDIApplication = 1;
    const std::string bin = f / "cdi.bin";
    const imagetest::Built b =
        imagetest::BuildImage(bin, true, config, {{Fixture("clip_pal_vcd.mpg")}}, f.path, kWhen, "CDI", &cdi);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.trackStarts[0], 506 + cdi.Sectors());

    const std::string info = Command("vcd-info --cue-file '" + Cue(bin) + "'");
    EXPECT_EQ(info.find("WARN"), std::string::npos) << info;
    EXPECT_NE(info.find("application id: `CDI/CDI_VCD.APP;1'"), std::string::npos);
    // The image file at 211, the font 80 sectors after its end, then the rest.
    const int fnt = 211 + 3 + 80;
    for (const auto& [name, lsn] : std::map<std::string, int>{
             {"CDI_IMAG.RTF;1", 211}, {"CDI_TEXT.FNT;1", fnt}, {"CDI_VCD.APP;1", fnt + 3}, {"CDI_VCD.CFG;1", fnt + 4}})
        EXPECT_TRUE(std::regex_search(info, std::regex("\\[LSN +" + std::to_string(lsn) + "\\].*" + name))) << name;
    EXPECT_TRUE(std::regex_search(info, std::regex(R"(\[LSN +211\] +\d+ \( +6144\) +CDI_IMAG.RTF)")))
        << "the Form 2 file is recorded as its sectors x 2048";

    std::string log;
    EXPECT_EQ(Rip(Cue(bin), f / "rip", &log).size(), 1u);
    EXPECT_EQ(log.find("WARN"), std::string::npos) << log;
    const char* ripped[4] = {"_cdi_cdi_imag.rtf", "_cdi_cdi_text.fnt", "_cdi_cdi_vcd.app", "_cdi_cdi_vcd.cfg"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Md5(f / "rip" + "/" + ripped[i]), Md5(paths[i])) << ripped[i];
    EXPECT_TRUE(SectorsCheckOut(bin));

    // A file that changes after it was measured fails the image, by name.
    std::ofstream(paths[2], std::ios::binary | std::ios::app) << "more";
    const imagetest::Built changed =
        imagetest::BuildImage(f / "changed.bin", true, config, {{Fixture("clip_pal_vcd.mpg")}}, f.path, kWhen, "", &cdi);
    EXPECT_EQ(changed.result, 23);
    EXPECT_EQ(changed.failedName, "vcd.app");
    std::filesystem::remove(paths[3]);
    const imagetest::Built gone =
        imagetest::BuildImage(f / "gone.bin", true, config, {{Fixture("clip_pal_vcd.mpg")}}, f.path, kWhen, "", &cdi);
    EXPECT_EQ(gone.result, 23);
}

TEST(ImageFailures, MissingTablesAndFailedWritesAreReported) {
    Folder f;
    const std::vector<TImageTrack> tracks(1, TImageTrack{300 * 2352, true, true, 0, 1.0});
    const struct {
        bool isVcd;
        std::vector<const char*> present;
        int result;
    } cases[] = {{true, {}, 14}, {false, {}, 14}, {false, {kScanTableName}, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        for (const char* t : c.present) std::ofstream(f / t) << "x";
        TVideoCdImage image(Compliant(), c.isVcd, nullptr);
        image.SetTracks(tracks);
        image.SetTableFolder(f.path);
        TFileIO out;
        ASSERT_EQ(out.OpenForWrite(f / "t.bin"), 0);
        ASSERT_EQ(image.WritePlaceholder(out), 0);
        EXPECT_EQ(image.WriteImage(out), c.result);
        out.Close();
        for (const char* t : c.present) EXPECT_FALSE(std::filesystem::exists(f / t)) << "removed after a failure";
    }

    // A disc that takes no byte: the placeholder and the image both fail.
    TVideoCdImage image(Compliant(), true, nullptr);
    image.SetTracks(tracks);
    image.SetTableFolder(f.path);
    TFileIO full;
    ASSERT_EQ(full.OpenForUpdate("/dev/full"), 0);
    EXPECT_EQ(image.WritePlaceholder(full), 9);
    std::ofstream(f / kScanTableName) << "SCAN_VCD";
    TFileIO again;
    ASSERT_EQ(again.OpenForUpdate("/dev/full"), 0);
    EXPECT_EQ(image.WriteImage(again), 9);
    EXPECT_EQ(image.failedName(), "full");
}

// Each SVCD switch at its non-compliant value gives its own warning and no other.
TEST(ImageSvcdSwitches, NonCompliantValuesGiveExactlyTheirWarning) {
    // The ENTRYSVD signature is reported twice over: as non-compliant and
    // as the obsolete 3.0 signature.
    const struct {
        uint8_t TConfig::*field;
        std::vector<std::string> warnings;
        const char* directory;
    } cases[] = {{&TConfig::SVCD_PhilipsCompliant, {"no PSD file entry found in ISO9660 fs"}, "MPEG2"},
                 {&TConfig::SVCD_UseMPEG2Directory, {"non compliant /MPEGAV folder"}, "MPEGAV"},
                 {&TConfig::SVCD_UseENTRYVCD,
                  {"found (non-compliant) SVCD ENTRIES.SVD signature", "found obsolete (S)VCD3.0 ENTRIES.SVD signature"},
                  "MPEG2"}};
    Folder f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warnings[0]);
        TConfig config = Compliant();
        config.*c.field = 0;
        const std::string bin = f / "switch.bin";
        ASSERT_EQ(imagetest::BuildImage(bin, false, config, {{Fixture("clip_pal_svcd.mpg")}}, f.path, kWhen).result, 0);
        const std::string info = Command("vcd-info --cue-file '" + Cue(bin) + "'");
        // vcd-info may repeat a warning line.
        std::set<std::string> warnings;
        std::istringstream lines(info);
        for (std::string line; std::getline(lines, line);)
            if (line.find("WARN") != std::string::npos) warnings.insert(line);
        ASSERT_EQ(warnings.size(), c.warnings.size()) << info;
        for (const std::string& w : c.warnings)
            EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(),
                                    [&](const std::string& line) { return line.find(w) != std::string::npos; }))
                << w;
        EXPECT_TRUE(std::regex_search(info, std::regex(std::string(R"(\[LSN +20\] +2048  )") + c.directory + "\n")));
        EXPECT_EQ(Rip(Cue(bin), f / ("rip" + std::to_string(&c - cases))),
                  std::vector<std::string>{Md5(Fixture("clip_pal_svcd.mpg"))});
    }
}

// The label is the user's text, cut at a character boundary; the volume
// identifier recorded is that label in the characters ISO 9660 allows.
TEST(ImageLabel, FormattedWithTheImageNumberOrTakenAsTyped) {
    const std::string ae = "\xC3\x84";  // one two-byte character
    const struct {
        std::string pattern;
        int32_t image;
        std::string label;
        std::string identifier;
    } cases[] = {{"VOL_%02d", 2, "VOL_02", "VOL_02"},
                 {"HOLIDAY", 1, "HOLIDAY", "HOLIDAY"},
                 {"100% FUN", 1, "100% FUN", "100__FUN"},
                 {"100%% FUN", 1, "100% FUN", "100__FUN"},
                 {"100%% FUN %d", 4, "100% FUN 4", "100__FUN_4"},
                 {"%s%n", 3, "%s%n", "_S_N"},
                 {"", 1, "", ""},
                 {"my disc\n", 1, "my disc\n", "MY_DISC_"},
                 {std::string(40, 'A') + "%d", 1, std::string(32, 'A'), std::string(32, 'A')},
                 // 33 bytes: the character that would be cut goes whole.
                 {std::string(31, 'A') + ae, 1, std::string(31, 'A'), std::string(31, 'A')},
                 {std::string(32, 'A') + ae, 1, std::string(32, 'A'), std::string(32, 'A')},
                 {[&] {
                      std::string s;
                      for (int i = 0; i < 20; ++i) s += ae;
                      return s;
                  }(),
                  1,
                  [&] {
                      std::string s;
                      for (int i = 0; i < 16; ++i) s += ae;
                      return s;
                  }(),
                  std::string(16, '_')},
                 {"Gr\xC3\xBC\xC3\x9F" "e %d", 1, "Gr\xC3\xBC\xC3\x9F" "e 1", "GR__E_1"}};
    for (const auto& c : cases) {
        TVideoCdImage image(Compliant(), true, nullptr);
        image.SetVolumeLabel(c.pattern, c.image);
        EXPECT_EQ(image.volumeLabel(), c.label) << c.pattern;
        EXPECT_EQ(image.volumeIdentifier(), c.identifier) << c.pattern;
    }
}

}  // namespace
