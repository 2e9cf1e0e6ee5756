// The CD-i subtitle probe on small images built here (a path table naming
// "CDI" and a directory sector with subtitle and other records), and the
// conversion on a vcdimager disc carrying a synthetic subtitle stream in
// three layouts.
#include "tools/cdi_subtitles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "tests/engine/job_harness.h"

namespace {

struct Record {
    std::string name;  // as stored, with ";1"
    int32_t extent;
    int32_t length;
    int sequence;  // volume sequence number, 1 or 2
};

void PutLE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutBE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

// An image of `sectorSize` sectors whose logical sector n lies at file
// sector n + lead: the path table in logical sector 18 points at the CDI
// directory in logical sector 22.
std::string BuildImage(const std::string& path, int sectorSize, int lead, const std::vector<Record>& records,
                       bool withCdi = true) {
    const int sectors = 40 + lead;
    std::vector<uint8_t> image(static_cast<size_t>(sectors) * sectorSize, 0);
    if (sectorSize == 2352) {
        for (int s = 0; s < sectors; ++s) {
            uint8_t* p = image.data() + static_cast<size_t>(s) * 2352;
            std::memset(p + 1, 0xFF, 10);  // CD sync: 00 FF x10 00
        }
    }
    auto at = [&](int logical, size_t offset) { return static_cast<size_t>(logical + lead) * sectorSize + offset; };
    if (withCdi) {
        // Path table record: length, attributes, extent, parent 1, "CDI", pad.
        const size_t r = at(18, 40);
        image[r] = 3;
        PutLE(image, r + 2, 22);
        const uint8_t tail[] = {0x01, 0x00, 'C', 'D', 'I', 0x00};
        std::memcpy(image.data() + r + 6, tail, sizeof tail);
    }
    size_t offset = 120;
    for (const Record& rec : records) {
        const size_t r = at(22, offset);
        const size_t len = 33 + rec.name.size() + (rec.name.size() % 2 == 0 ? 1 : 0);
        image[r] = static_cast<uint8_t>(len);
        PutLE(image, r + 2, static_cast<uint32_t>(rec.extent));
        PutBE(image, r + 6, static_cast<uint32_t>(rec.extent));
        PutLE(image, r + 10, static_cast<uint32_t>(rec.length));
        PutBE(image, r + 14, static_cast<uint32_t>(rec.length));
        image[r + 28] = static_cast<uint8_t>(rec.sequence);
        image[r + 31] = static_cast<uint8_t>(rec.sequence);
        image[r + 32] = static_cast<uint8_t>(rec.name.size());
        std::memcpy(image.data() + r + 33, rec.name.data(), rec.name.size());
        offset += len;
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    return path;
}

struct CdiProbe : ::testing::Test {
    std::string dir = CreateTempDir("pellmor-cdi-");
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    const std::vector<Record> records{
        {"SUBS.EN;1", 40, 4096, 1},  {"CDI_VCD.APP;1", 30, 2048, 1}, {"X.D;1", 31, 2048, 1},
        {"ZZ.FR;1", 41, 6144, 2},    {"NOEXT;1", 32, 2048, 1},
    };
};

TEST_F(CdiProbe, ListsTwoCharacterExtensionsSequenceTwoFirst) {
    for (auto [size, lead, geometry] :
         {std::tuple{2352, 0, kCdiRawGeometry}, std::tuple{2336, 150, kCdi2336Geometry}}) {
        SCOPED_TRACE(size);
        const std::string path = BuildImage(dir + "/img" + std::to_string(size), size, lead, records);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        TCdiSubtitleScanner scanner(&file);
        ASSERT_TRUE(scanner.FindCdiDirectory(file, geometry));
        EXPECT_EQ(scanner.sectorSize, size);
        EXPECT_EQ(scanner.sectorOffset, lead);
        EXPECT_EQ(scanner.names, (std::vector<std::string>{"ZZ.FR", "SUBS.EN"}));
        ASSERT_EQ(scanner.entries.count("SUBS.EN"), 1u);
        EXPECT_EQ(scanner.entries["SUBS.EN"].extentLE, 40);
        EXPECT_EQ(scanner.entries["SUBS.EN"].lengthLE, 4096);
        EXPECT_EQ(scanner.entries["ZZ.FR"].lengthBE, 6144);
        EXPECT_TRUE(TCdiSubtitleScanner::HasCdiSubtitles(file, geometry));
    }
}

// The bytes a record's sequence numbers are found by also stand in an
// extent of 65,536 and in data lengths of 65,536 and 131,072 (files of 32
// and 64 blocks): such a record keeps its extent and length.
TEST_F(CdiProbe, ExtentsAndLengthsThatReadAsSequenceNumbers) {
    const std::string path = BuildImage(dir + "/lengths", 2352, 0,
                                        {{"A.EN;1", 40, 65536, 1}, {"B.FR;1", 41, 131072, 2},
                                         {"C.DE;1", 65536, 2048, 1}, {"D.NL;1", 42, 4096, 1}});
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(path), 0);
    TCdiSubtitleScanner scanner(&file);
    ASSERT_TRUE(scanner.FindCdiDirectory(file, kCdiRawGeometry));
    EXPECT_EQ(scanner.names, (std::vector<std::string>{"B.FR", "A.EN", "C.DE", "D.NL"}));
    struct Want {
        const char* name;
        int32_t extent, length;
    } wants[] = {{"A.EN", 40, 65536}, {"B.FR", 41, 131072}, {"C.DE", 65536, 2048}, {"D.NL", 42, 4096}};
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        const TCdiFileEntry& e = scanner.entries[w.name];
        EXPECT_EQ(e.extentLE, w.extent);
        EXPECT_EQ(e.extentBE, w.extent);
        EXPECT_EQ(e.lengthLE, w.length);
        EXPECT_EQ(e.lengthBE, w.length);
    }
}

TEST_F(CdiProbe, NothingFound) {
    struct Case {
        const char* what;
        bool withCdi;
        std::vector<Record> records;
    } cases[] = {
        {"no CDI path record", false, records},
        {"a CDI directory without subtitles", true, {{"CDI_VCD.APP;1", 30, 2048, 1}, {"X.D;1", 31, 2048, 1}}},
        {"an empty CDI directory", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = BuildImage(dir + "/none", 2352, 0, c.records, c.withCdi);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, kCdiRawGeometry));
    }
    // Shorter than the search start, and a vcdimager disc without CD-i.
    for (const std::string& path : {dir + "/short", std::string(PELLMOR_FIXTURES) + "/vcd_pal3.bin"}) {
        if (path == dir + "/short") std::ofstream(path) << "tiny";
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, kCdiRawGeometry)) << path;
    }
}

TEST_F(CdiProbe, AnExtentPastTheImageFindsNoNames) {
    const std::string path = BuildImage(dir + "/far", 2352, 0, records);
    // Point the path table past the end of the file.
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(18 * 2352 + 40 + 2);
    const char far[4] = {0x00, 0x00, 0x10, 0x00};
    f.write(far, 4);
    f.close();
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(path), 0);
    TCdiSubtitleScanner scanner(&file);
    EXPECT_TRUE(scanner.FindCdiDirectory(file, kCdiRawGeometry));
    EXPECT_TRUE(scanner.names.empty());
    EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, kCdiRawGeometry));
}

using harness::Fixture;
using harness::ReadFile;

struct CdiConvert : ::testing::Test {
    harness::TempFolder dir;
    const std::string srt = ReadFile(Fixture("cdi_subtitles.srt"));
    const std::string sub = ReadFile(Fixture("cdi_subtitles.sub"));
};

TEST_F(CdiConvert, EveryLayoutGivesTheExpectedFiles) {
    struct Case {
        const char* image;
        CdiGeometry geometry;
    } cases[] = {{"cdi_subs.bin", kCdiRawGeometry}, {"cdi_subs.nrg", kCdi2336Geometry}, {"cdi_subs.cif", kCdiCifGeometry}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(Fixture(c.image)), 0);
        TCdiSubtitleScanner scanner(&file);
        ASSERT_TRUE(scanner.FindCdiDirectory(file, c.geometry));
        // NOTES.TXT has a three-character extension.
        EXPECT_EQ(scanner.names, (std::vector<std::string>{"MOVIE.EN", "MOVIE.FR"}));
        EXPECT_EQ(scanner.entries["MOVIE.EN"].extentLE, 225);
        EXPECT_EQ(scanner.entries["MOVIE.FR"].extentLE, 229);
        EXPECT_EQ(scanner.entries["MOVIE.FR"].lengthLE, 8192);
        for (bool asSub : {false, true}) {
            for (const std::string& name : scanner.names) {
                const TCdiFileEntry& e = scanner.entries[name];
                const CdiConvertResult r =
                    scanner.ConvertCdiSubtitleFile(file, false, dir.path, name, e.extentLE, e.lengthLE, asSub);
                ASSERT_EQ(r.code, 0) << r.name;
                // Each file is numbered from 1 again.
                EXPECT_TRUE(harness::SameBytes(ReadFile(r.name), asSub ? sub : srt)) << r.name;
            }
        }
        // The probe finds none where the layout is wrong.
        if (!(c.geometry == kCdiRawGeometry)) {
            EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, kCdiRawGeometry));
        }
    }
    // The stream picked as a plain file converts the same way.
    TFileIO plain;
    ASSERT_EQ(plain.OpenForRead(Fixture("cdi_subtitles.stream")), 0);
    TCdiSubtitleScanner scanner(&plain);
    const CdiConvertResult r =
        scanner.ConvertCdiSubtitleFile(plain, true, dir.path, "stream.xx", 0, static_cast<int64_t>(plain.Size()), false);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "stream.xx.srt"), srt));
}

// The nrg and cif layouts on volumes a short script writes from the sector
// layouts alone, not converted from the bin the other fixtures come from.
TEST_F(CdiConvert, IndependentlyBuiltNrgAndCifLayouts) {
    const std::string script = std::string(PELLMOR_SOURCE_DIR) + "/scripts/cdi_layout_images.pl";
    ASSERT_EQ(std::system(("perl '" + script + "' '" + dir.path + "' '" + Fixture("cdi_subtitles.stream") + "'").c_str()),
              0);
    struct Case {
        const char* image;
        CdiGeometry geometry;
        uint64_t size;  // the layout's sector size times the sectors before and in the volume
    } cases[] = {{"layout.nrg", kCdi2336Geometry, 2336u * (150 + 33)}, {"layout.cif", kCdiCifGeometry, 2332u * (2 + 33)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(dir / c.image), 0);
        EXPECT_EQ(file.Size(), c.size);
        TCdiSubtitleScanner scanner(&file);
        ASSERT_TRUE(scanner.FindCdiDirectory(file, c.geometry));
        EXPECT_EQ(scanner.names, (std::vector<std::string>{"MOVIE.EN", "MOVIE.FR"}));
        EXPECT_EQ(scanner.entries["MOVIE.EN"].extentLE, 24);
        EXPECT_EQ(scanner.entries["MOVIE.FR"].extentLE, 28);
        for (bool asSub : {false, true}) {
            for (const std::string& name : scanner.names) {
                const TCdiFileEntry& e = scanner.entries[name];
                const CdiConvertResult r =
                    scanner.ConvertCdiSubtitleFile(file, false, dir.path, name, e.extentLE, e.lengthLE, asSub);
                ASSERT_EQ(r.code, 0) << r.name;
                EXPECT_TRUE(harness::SameBytes(ReadFile(r.name), asSub ? sub : srt)) << r.name;
            }
        }
        for (const CdiGeometry& other : {kCdiRawGeometry, kCdi2336Geometry, kCdiCifGeometry})
            if (!(other == c.geometry)) {
                EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, other));
            }
    }
}

// An image cut inside a subtitle file: the whole blocks before the cut are
// converted and the cut is reported as error 13, also when the stream's end
// mark comes before it; the file before it converts whole.
TEST_F(CdiConvert, ACutImageKeepsWhatItHoldsAndSaysSo) {
    const std::string image = ReadFile(Fixture("cdi_subs.bin"));
    // MOVIE.FR's blocks are the user data (from byte 24) of sectors 229 to 232;
    // the third ends the stream with 0xEE.
    const std::string firstBlock =
        srt.substr(0, srt.find("3\r\n")) + "3\r\n00:00:05,000 --> 00:00:06,250\r\nThis second line\r\n\r\n\r\n";
    struct Case {
        const char* what;
        size_t size;
        std::string frSrt;
    } cases[] = {
        {"inside the second block", 230 * 2352 + 24 + 1000, firstBlock},
        {"before the second block", 230 * 2352, firstBlock},
        {"after the end mark", 232 * 2352 + 24 + 2047, srt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness::WriteFile(dir / "cut.bin", image.substr(0, c.size));
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(dir / "cut.bin"), 0);
        TCdiSubtitleScanner scanner(&file);
        ASSERT_TRUE(scanner.FindCdiDirectory(file, kCdiRawGeometry));
        ASSERT_EQ(scanner.names, (std::vector<std::string>{"MOVIE.EN", "MOVIE.FR"}));
        const TCdiFileEntry en = scanner.entries["MOVIE.EN"], fr = scanner.entries["MOVIE.FR"];
        CdiConvertResult r = scanner.ConvertCdiSubtitleFile(file, false, dir.path, "MOVIE.EN", en.extentLE, en.lengthLE, false);
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "MOVIE.EN.srt"), srt));
        r = scanner.ConvertCdiSubtitleFile(file, false, dir.path, "MOVIE.FR", fr.extentLE, fr.lengthLE, false);
        EXPECT_EQ(r.code, msg::error::kTrackTruncated);
        EXPECT_EQ(r.name, "MOVIE.FR");
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "MOVIE.FR.srt"), c.frSrt));
    }
    // The headless tool says so too.
    const int raw = std::system((std::string(PELLMOR_BUILD_DIR) + "/tests/run_subtitles --source " + (dir / "cut.bin") +
                                 " --name MOVIE.FR --output " + dir.path + " >/dev/null 2>&1")
                                    .c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, msg::error::kTrackTruncated);
}

TEST_F(CdiConvert, IndependentToolsAgree) {
    if (std::system("ffprobe -version >/dev/null 2>&1 && command -v cd-info >/dev/null") != 0)
        GTEST_SKIP() << "ffmpeg or cd-info not installed";
    const std::string listing =
        harness::Command("cd-info --no-device-info --iso9660 -i '" + Fixture("cdi_subs.cue") + "' 2>/dev/null");
    EXPECT_NE(listing.find("[LSN    225]      8192"), std::string::npos) << listing;
    EXPECT_NE(listing.find("[LSN    229]      8192"), std::string::npos);
    // ffmpeg reads the SRT with the script's times, the two-line entries whole.
    const std::string packets = harness::Command("ffprobe -v error -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                                                 Fixture("cdi_subtitles.srt") + "'");
    EXPECT_EQ(packets,
              "1.000000,1.500000\n3.000000,1.500000\n5.000000,1.250000\n7.000000,2.000000\n10.000000,1.500000\n"
              "3661.500000,0.500000\n");
    const std::string subPackets = harness::Command(
        "ffprobe -v error -subfps 25 -show_entries packet=pts_time -of csv=p=0 '" + Fixture("cdi_subtitles.sub") + "'");
    EXPECT_NE(subPackets.find("3661.480000"), std::string::npos) << subPackets;
}

// A stream of one 2048-byte block holding the given bytes from offset 8.
std::string Block(const std::string& entries, uint32_t endTime, bool last = true) {
    std::string b(2048, '\0');
    b[4] = static_cast<char>(endTime >> 24);
    b[5] = static_cast<char>(endTime >> 16);
    b[6] = static_cast<char>(endTime >> 8);
    b[7] = static_cast<char>(endTime);
    b.replace(8, std::min<size_t>(entries.size(), 2040), entries.substr(0, 2040));
    if (last) b[2047] = '\xEE';
    return b;
}

std::string Entry(uint8_t type, uint32_t start, uint32_t end, const std::string& text, size_t declared = SIZE_MAX) {
    const size_t n = declared == SIZE_MAX ? text.size() : declared;
    std::string e(16, '\0');
    e[1] = static_cast<char>(type);
    for (int i = 0; i < 4; ++i) {
        e[6 + i] = static_cast<char>(start >> (24 - 8 * i));
        e[10 + i] = static_cast<char>(end >> (24 - 8 * i));
    }
    e[14] = static_cast<char>(n >> 8);
    e[15] = static_cast<char>(n);
    return e + text;
}

TEST_F(CdiConvert, HostileStreamsConvertOrAreRefused) {
    const std::string ok = Entry(0, 22500, 45000, "fine");
    struct Case {
        const char* what;
        std::string stream;
        int64_t length;  // -1: the stream's own
        int code;
        std::string srt;
    } cases[] = {
        // An entry that claims more than its block ends the block's entries.
        {"lengths of 65535", Block(Entry(0, 0, 9, "x", 65535) + ok, 45000), -1, 0, ""},
        {"a line of 300 bytes kept whole", Block(Entry(0, 22500, 45000, std::string(300, 'a')), 45000), -1, 0,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\n" + std::string(300, 'a') + "\r\n\r\n"},
        {"an entry running past its block", Block(ok + std::string(2040 - 20 - 16, '\0') + Entry(0, 1, 2, ""), 7), -1, 0,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nfine\r\n\r\n"},
        {"a data length not a multiple of 2048", Block(ok, 45000), 3000, 0,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nfine\r\n\r\n"},
        {"an empty stream", "", -1, 0, ""},
        {"a length past the file", Block(ok, 45000, false), 8192, msg::error::kTrackTruncated,
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nfine\r\n\r\n"},
        {"a second line past the block", Block(Entry(1, 0, 9, std::string(2020, 'b')), 9), -1, 0, ""},
        // The stale end time: a first block whose word 2 is 0 still converts.
        {"a first block ending at time 0", Block(Entry(0, 0, 0, "zero"), 0, false) + Block(ok, 45000), -1, 0,
         "1\r\n00:00:00,000 --> 00:00:00,000\r\nzero\r\n\r\n2\r\n00:00:01,000 --> 00:00:02,000\r\nfine\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        harness::WriteFile(dir / "s.bin", c.stream);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(dir / "s.bin"), 0);
        TCdiSubtitleScanner scanner(&file);
        const int64_t length = c.length < 0 ? static_cast<int64_t>(c.stream.size()) : c.length;
        std::filesystem::remove(dir / "s.en.srt");
        const CdiConvertResult r = scanner.ConvertCdiSubtitleFile(file, true, dir.path, "s.en", 0, length, false);
        EXPECT_EQ(r.code, c.code);
        ASSERT_TRUE(harness::Exists(dir / "s.en.srt"));
        EXPECT_EQ(ReadFile(dir / "s.en.srt"), c.srt);
        if (c.code == msg::error::kTrackTruncated) {
            EXPECT_EQ(r.name, "s.en");
        }
    }
}

TEST_F(CdiConvert, OutputNamesStayInTheChosenFolder) {
    harness::WriteFile(dir / "s.bin", Block(Entry(0, 0, 9, "x"), 9));
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(dir / "s.bin"), 0);
    TCdiSubtitleScanner scanner(&file);
    std::filesystem::create_directory(dir / "out");
    EXPECT_EQ(scanner.ConvertCdiSubtitleFile(file, true, dir / "out", "../x.ab", 0, 2048, false).code, 0);
    EXPECT_TRUE(harness::Exists(dir / "out/x.ab.srt"));
    EXPECT_FALSE(harness::Exists(dir / "x.ab.srt"));
    EXPECT_EQ(scanner.ConvertCdiSubtitleFile(file, true, dir / "out", "a\\b.fr", 0, 2048, true).code, 0);
    EXPECT_TRUE(harness::Exists(dir / "out/b.fr.sub"));
    for (const std::string& name : {std::string("x/.."), std::string(".."), std::string("dir/"), std::string("a\x01.en")}) {
        // Each after a clash with the first output: a refused name is no
        // clash, and the clash line of the one before is not shown for it.
        EXPECT_EQ(scanner.ConvertCdiSubtitleFile(file, true, dir / "out", "x.ab", 0, 2048, false).code,
                  msg::error::kCannotCreate);
        EXPECT_NE(scanner.clashLine, "");
        const CdiConvertResult r = scanner.ConvertCdiSubtitleFile(file, true, dir / "out", name, 0, 2048, false);
        EXPECT_EQ(r.code, msg::error::kCannotCreate) << name;
        EXPECT_EQ(scanner.clashLine, "") << name;
    }
    // A folder that is not there: error 9 naming the output.
    const CdiConvertResult r = scanner.ConvertCdiSubtitleFile(file, true, dir / "none", "s.en", 0, 2048, false);
    EXPECT_EQ(r.code, msg::error::kCannotCreate);
    EXPECT_EQ(r.name, "s.en.srt");

}

// An output that is there already is written as any text file is: through
// a link to the file it leads to, which keeps its mode.
TEST_F(CdiConvert, AnOutputThatIsALinkStaysALink) {
    harness::WriteFile(dir / "s.bin", Block(Entry(0, 0, 9, "x"), 9));
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(dir / "s.bin"), 0);
    TCdiSubtitleScanner scanner(&file);
    std::filesystem::create_directory(dir / "out");
    std::filesystem::create_directory(dir / "real");
    harness::WriteFile(dir / "real/old.srt", "old");
    ::chmod((dir / "real/old.srt").c_str(), 0600);
    std::filesystem::create_symlink("../real/old.srt", dir / "out/x.ab.srt");
    ASSERT_EQ(scanner.ConvertCdiSubtitleFile(file, true, dir / "out", "x.ab", 0, 2048, false).code, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out/x.ab.srt"));
    const std::string text = ReadFile(dir / "real/old.srt");
    EXPECT_NE(text, "old");
    EXPECT_NE(text.find("x\r\n"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real/old.srt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Nothing of the conversion is left beside either.
    for (const char* folder : {"out", "real"})
        for (const auto& e : std::filesystem::directory_iterator(dir / folder))
            EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(CdiConvert, RunSubtitlesStatuses) {
    auto run = [&](const std::string& args) {
        const int raw = std::system((std::string(PELLMOR_BUILD_DIR) + "/tests/run_subtitles " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(run("--source " + Fixture("cdi_subs.nrg") + " --layout 2336 --sub --name MOVIE.FR --output " + dir.path), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "MOVIE.FR.sub"), sub));
    EXPECT_FALSE(harness::Exists(dir / "MOVIE.EN.sub"));
    EXPECT_EQ(run("--source " + Fixture("vcd_pal3.bin") + " --output " + dir.path), 1);
    EXPECT_EQ(run("--source " + (dir / "missing.bin") + " --output " + dir.path), msg::error::kCannotOpen);
    EXPECT_EQ(run("--source " + Fixture("cdi_subs.bin") + " --output " + (dir / "none")), msg::error::kCannotCreate);
    // Two records with one output name: the second is refused, and the
    // files after it still convert.
    std::filesystem::create_directory(dir / "two");
    const std::string image = BuildImage(dir / "two.bin", 2352, 0,
                                         {{"A/B.DE;1", 30, 2048, 1}, {"B.DE;1", 31, 2048, 1}, {"C.NL;1", 32, 2048, 1}});
    EXPECT_EQ(run("--source " + image + " --output " + (dir / "two")), msg::error::kCannotCreate);
    EXPECT_TRUE(harness::Exists(dir / "two/B.DE.srt"));
    EXPECT_TRUE(harness::Exists(dir / "two/C.NL.srt"));
    // --help is no error: the usage and the statuses.
    EXPECT_EQ(run("--help"), 0);
    const std::string help = harness::Command(std::string(PELLMOR_BUILD_DIR) + "/tests/run_subtitles --help");
    EXPECT_EQ(help.rfind("usage: run_subtitles --source F", 0), 0u) << help;
    EXPECT_NE(help.find("13 the image ends inside a subtitle file"), std::string::npos) << help;
}

}  // namespace
