#include "engine/output_writers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "core/temp_file.h"
#include "disc/cue_reader.h"
#include "disc/toc_reader.h"
#include "disc/track_table.h"
#include "engine/methods.h"
#include "tests/support/fakes.h"
#include "tests/support/sheet_job.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- Names ----

TEST(MakeOutputName, AppliesThePatternBetweenNameAndExtension) {
    struct Case {
        const char* base;
        const char* pattern;
        int n;
        const char* expected;
    } cases[] = {
        {"/out/movie.mpg", "_%02d", 3, "/out/movie_03.mpg"},
        {"/out/movie.mpg", "_%02d", 12, "/out/movie_12.mpg"},
        {"/out/movie.mpg", "_%02d", 99, "/out/movie_99.mpg"},
        {"/out/movie.mpg", "_%02d", 100, "/out/movie_100.mpg"},
        {"/out/movie.mpg", "-%d", 1, "/out/movie-1.mpg"},
        {"/out/movie.mpg", " track %03d", 7, "/out/movie track 007.mpg"},
        {"/out/movie.mpg", "%%%d", 5, "/out/movie%5.mpg"},
        {"/out/my movie.dat", "_%02d", 1, "/out/my movie_01.dat"},
        {"/out/a.b.mpg", "_%02d", 2, "/out/a.b_02.mpg"},
        // No extension: the name is kept, nothing is appended after it.
        {"/out/movie", "_%02d", 3, "/out/movie_03"},
        // A dot in a folder name is no extension.
        {"/out.d/movie", "_%02d", 4, "/out.d/movie_04"},
    };
    TJob job;
    TConfig config;
    for (const Case& c : cases) {
        job.baseOutputName = c.base;
        config.MultiFileFormat = c.pattern;
        std::string name;
        EXPECT_TRUE(MakeOutputName(job, config, c.n, name)) << c.base << " " << c.pattern;
        EXPECT_EQ(name, c.expected);
    }
}

// The pattern is user text: anything but one integer directive is refused
// instead of reaching a printf-style formatter.
TEST(MakeOutputName, RefusesPatternsThatAreNotOneIntegerDirective) {
    TJob job;
    job.baseOutputName = "/out/movie.mpg";
    TConfig config;
    for (const char* pattern : {"%s", "_%02d%s", "%n", "_%x", "%d%d", "_", "", "%", "_%02", "%ld", "%p"}) {
        config.MultiFileFormat = pattern;
        std::string name = "unchanged";
        EXPECT_FALSE(MakeOutputName(job, config, 1, name)) << pattern;
        EXPECT_EQ(name, "unchanged") << pattern;
    }
}

TEST(MakeOutputName, NinetyNineTracksGetDistinctOrderedNames) {
    TJob job;
    job.baseOutputName = "/out/movie.mpg";
    TConfig config;
    config.MultiFileFormat = "_%02d";
    std::vector<std::string> names;
    for (int n = 1; n <= 99; ++n) {
        std::string name;
        ASSERT_TRUE(MakeOutputName(job, config, n, name));
        names.push_back(name);
    }
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 99u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names.front(), "/out/movie_01.mpg");
    EXPECT_EQ(names.back(), "/out/movie_99.mpg");
}

TEST(MakeCdFolderName, PutsTheNameIntoACdFolderBesideIt) {
    struct Case {
        const char* base;
        int n;
        const char* expected;
    } cases[] = {
        {"/out/movie.bin", 2, "/out/CD2/movie.bin"},
        {"/my out/my movie.bin", 10, "/my out/CD10/my movie.bin"},
        {"movie.bin", 1, "./CD1/movie.bin"},
    };
    TJob job;
    for (const Case& c : cases) {
        job.baseOutputName = c.base;
        EXPECT_EQ(MakeCdFolderName(job, c.n), c.expected);
    }
}

// ---- Files ----

class OutputFilesTest : public ::testing::Test, protected fakes::SheetJob {
protected:
    void SetUp() override {
        dir = CreateTempDir("pellmor-writers-");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // A sparse image of the given size: the readers only look at its size.
    std::string MakeImage(const std::string& name, uint64_t size) {
        const std::string path = Path(name);
        { std::ofstream(path, std::ios::binary); }
        fs::resize_file(path, size);
        return path;
    }

    SheetErrorFn Recorder() {
        return [this](int index, const std::string& text) { errors.push_back(std::to_string(index) + " " + text); };
    }

    // Reads a sheet back the way source loading does.
    template <typename Reader>
    bool ReadBack(const std::string& sheet) {
        job.trackTable->lastIndex = -1;
        job.sourceName = sheet;
        Reader reader(&job, &config, &controls);
        if (reader.Open(sheet) != 0) return false;
        return reader.Parse() == 1;
    }

    std::vector<std::pair<int64_t, int64_t>> Rows() const {
        std::vector<std::pair<int64_t, int64_t>> rows;
        const TTrackTable& t = *job.trackTable;
        for (int32_t i = 0; i <= t.lastIndex; ++i) rows.emplace_back(t.start[size_t(i)], t.end[size_t(i)]);
        return rows;
    }

    std::string dir;
    std::vector<std::string> errors;
};

TEST_F(OutputFilesTest, ToastResourceIsTheFixed22BytesBesideTheOutput) {
    const std::string output = Path("movie.mpg");
    ASSERT_TRUE(WriteToastResource(output));
    const std::string bytes = ReadText(output + ".rsrc");
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x02, 0x00, 0x30, 0x00, 0x00, 0x53, 0x05, 0xCD, 0x00,
                                           0x01, 0x37, 0x02, 0xED, 0x00, 0x2C, 0x00, 0x03, 0x61, 0x03, 0x4C};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
    EXPECT_FALSE(fs::exists(output)) << "the companion never creates the output itself";

    EXPECT_FALSE(WriteToastResource(Path("no such folder/movie.mpg")));
}

// The track starts of the fixture image vcd_pal3.bin (INDEX 01 of its cue).
const std::vector<TSheetTime> kPal3Starts = {{0, 6, 0}, {0, 9, 74}, {0, 14, 12}};
constexpr uint64_t kPal3Size = 1357 * 2352;

TEST_F(OutputFilesTest, CueSheetReadsBackWithTheSameTracks) {
    const std::string image = MakeImage("my image.bin", kPal3Size);
    TSheetImage sheet{image, false, {1, 3, 0}, kPal3Starts, kPal3Size};
    const std::string cue = Path("my image.cue");
    ASSERT_EQ(WriteCueSheet(cue, sheet, Recorder()), 0);
    EXPECT_EQ(ReadText(cue),
              "FILE \"my image.bin\" BINARY\n"
              "  TRACK 01 MODE2/2352\n"
              "    INDEX 01 00:00:00\n"
              "  TRACK 02 MODE2/2352\n"
              "    INDEX 01 00:06:00\n"
              "  TRACK 03 MODE2/2352\n"
              "    INDEX 01 00:09:74\n"
              "  TRACK 04 MODE2/2352\n"
              "    INDEX 01 00:14:12\n");

    ASSERT_TRUE(ReadBack<TCueReader>(cue)) << (log.lines().empty() ? "" : log.lines().back());
    using R = std::pair<int64_t, int64_t>;
    EXPECT_EQ(Rows(), (std::vector<R>{{0, 450 * 2352}, {450 * 2352, 749 * 2352}, {749 * 2352, 1062 * 2352},
                                      {1062 * 2352, 1357 * 2352}}));
    for (int32_t i = 0; i <= job.trackTable->lastIndex; ++i) EXPECT_EQ(job.trackTable->sectorSize[size_t(i)], 2352);
    EXPECT_TRUE(errors.empty());
}

TEST_F(OutputFilesTest, CueSheetNamesTheFullPathOnlyWhenAsked) {
    const std::string image = MakeImage("movie.bin", kPal3Size);
    TSheetImage sheet{image, true, {1, 1, 0}, {{0, 6, 0}}, kPal3Size};
    const std::string cue = Path("full.cue");
    ASSERT_EQ(WriteCueSheet(cue, sheet), 0);
    EXPECT_EQ(ReadText(cue).substr(0, ReadText(cue).find('\n')), "FILE \"" + image + "\" BINARY");
    ASSERT_TRUE(ReadBack<TCueReader>(cue));
    EXPECT_EQ(Rows().size(), 2u);

    sheet.cueFullPath = false;
    ASSERT_EQ(WriteCueSheet(cue, sheet), 0);
    EXPECT_EQ(ReadText(cue).substr(0, ReadText(cue).find('\n')), "FILE \"movie.bin\" BINARY");

    // A full path longer than any fixed line buffer keeps its closing quote.
    std::string deep;
    for (int i = 0; i < 6; ++i) deep += std::string(200, char('a' + i)) + "/";
    fs::create_directories(Path(deep));
    const std::string longImage = MakeImage(deep + "movie.bin", kPal3Size);
    ASSERT_GT(longImage.size(), 1100u);
    TSheetImage longSheet{longImage, true, {1, 1, 0}, {{0, 6, 0}}, kPal3Size};
    ASSERT_EQ(WriteCueSheet(cue, longSheet), 0);
    EXPECT_EQ(ReadText(cue).substr(0, ReadText(cue).find('\n')), "FILE \"" + longImage + "\" BINARY");
    ASSERT_TRUE(ReadBack<TCueReader>(cue));
    EXPECT_EQ(Rows().size(), 2u);
}

// A full path longer than any fixed line buffer is written whole.
TEST_F(OutputFilesTest, CueSheetKeepsALongFullPathWhole) {
    std::string folder = dir;
    for (int i = 0; i < 6; ++i) folder += "/" + std::string(200, char('a' + i));
    fs::create_directories(folder);
    const std::string image = folder + "/movie.bin";
    ASSERT_GT(image.size(), 1200u);
    { std::ofstream(image, std::ios::binary); }
    fs::resize_file(image, kPal3Size);
    const TSheetImage sheet{image, true, {1, 1, 0}, {{0, 6, 0}}, kPal3Size};
    const std::string cue = Path("long.cue");
    ASSERT_EQ(WriteCueSheet(cue, sheet), 0);
    const std::string text = ReadText(cue);
    EXPECT_EQ(text.substr(0, text.find('\n')), "FILE \"" + image + "\" BINARY");
    EXPECT_NE(text.find("  TRACK 02 MODE2/2352\n    INDEX 01 00:06:00\n"), std::string::npos) << text;
}

TEST_F(OutputFilesTest, TocFileMatchesTheFixtureAndReadsBackWithTheSameTracks) {
    const std::string image = MakeImage("vcd_pal3.bin", kPal3Size);
    TSheetImage sheet{image, false, {1, 3, 0}, kPal3Starts, kPal3Size};
    const std::string toc = Path("vcd_pal3.toc");
    ASSERT_EQ(WriteTocFile(toc, sheet, Recorder()), 0);
    // The fixture was written by the fixture script in the same layout.
    EXPECT_EQ(ReadText(toc), ReadText(std::string(PELLMOR_FIXTURES) + "/vcd_pal3.toc"));

    ASSERT_TRUE(ReadBack<TTocReader>(toc));
    using R = std::pair<int64_t, int64_t>;
    EXPECT_EQ(Rows(), (std::vector<R>{{0, 450 * 2352}, {450 * 2352, 749 * 2352}, {749 * 2352, 1062 * 2352},
                                      {1062 * 2352, 1357 * 2352}}));
    EXPECT_TRUE(errors.empty());
}

// Lengths add up to the image, each time equals its byte length, and offsets
// past 2 GiB and minutes past 99 keep their digits.
TEST_F(OutputFilesTest, TocFileOfALargeImageKeepsOffsetsAndTimes) {
    const uint64_t size = uint64_t(250 * 4500 + 10) * 2352;  // about 2.6 GB, sparse
    const std::string image = MakeImage("big.bin", size);
    TSheetImage sheet{image, false, {1, 2, 0}, {{0, 6, 0}, {230, 0, 0}}, size};
    const std::string toc = Path("big.toc");
    ASSERT_EQ(WriteTocFile(toc, sheet), 0);
    EXPECT_EQ(ReadText(toc),
              "CD_ROM_XA\n\n"
              "// Track 1\nTRACK MODE2_RAW\nDATAFILE \"big.bin\" 00:06:00 // length in bytes: 1058400\n\n"
              "// Track 2\nTRACK MODE2_RAW\nDATAFILE \"big.bin\" #1058400 229:54:00 // length in bytes: 2433261600\n\n"
              "// Track 3\nTRACK MODE2_RAW\nDATAFILE \"big.bin\" #2434320000 20:00:10 // length in bytes: 211703520\n\n");

    ASSERT_TRUE(ReadBack<TTocReader>(toc));
    using R = std::pair<int64_t, int64_t>;
    EXPECT_EQ(Rows(), (std::vector<R>{{0, 1058400}, {1058400, 2434320000}, {2434320000, int64_t(size)}}));

    const std::string cue = Path("big.cue");
    ASSERT_EQ(WriteCueSheet(cue, sheet), 0);
    EXPECT_NE(ReadText(cue).find("    INDEX 01 230:00:00\n"), std::string::npos);
    ASSERT_TRUE(ReadBack<TCueReader>(cue));
    EXPECT_EQ(Rows(), (std::vector<R>{{0, 1058400}, {1058400, 2434320000}, {2434320000, int64_t(size)}}));
}

// The most MPEG tracks a readable sheet can list (99 tracks with the data track).
TEST_F(OutputFilesTest, SheetsOfNinetyEightTracksReadBack) {
    std::vector<TSheetTime> starts;
    for (int k = 0; k < 98; ++k) {
        const int sector = 450 + k * 300;
        starts.push_back({sector / 4500, sector / 75 % 60, sector % 75});
    }
    const uint64_t size = uint64_t(450 + 98 * 300) * 2352;
    const std::string image = MakeImage("many.bin", size);
    TSheetImage sheet{image, false, {1, 98, 0}, starts, size};
    for (bool toc : {false, true}) {
        SCOPED_TRACE(toc ? "toc" : "cue");
        const std::string path = Path(toc ? "many.toc" : "many.cue");
        ASSERT_EQ(toc ? WriteTocFile(path, sheet) : WriteCueSheet(path, sheet), 0);
        ASSERT_TRUE(toc ? ReadBack<TTocReader>(path) : ReadBack<TCueReader>(path));
        const auto rows = Rows();
        ASSERT_EQ(rows.size(), 99u);
        for (size_t k = 1; k < rows.size(); ++k) EXPECT_EQ(rows[k].first, int64_t(450 + (k - 1) * 300) * 2352);
        EXPECT_EQ(rows.back().second, int64_t(size));
    }
}

TEST(SheetTrackRange, SecondImageOfASplitBuildTakesItsOwnTracks) {
    TTrackTable table;
    table.firstTrack = 1;
    table.lastTrack = 5;
    table.tracksPerImage = {3, 2};
    const int32_t spanning = Code(VcdMethod::MpegToCueBin, false), single = Code(VcdMethod::MpegToCueBin, true);
    struct Case {
        int32_t code, imageNumber;
        int32_t first, last, skip;
    } cases[] = {
        {spanning, 2, 1, 3, 0},  // first image finished
        {spanning, 3, 1, 2, 3},  // second image: after the first image's three entries
        {single, 3, 1, 5, 0},    // one image: the table's tracks
        {spanning, 1, 1, 5, 0},
        {spanning, 9, 1, 0, 5},  // no such image: nothing to list
    };
    for (const Case& c : cases) {
        const TSheetRange r = SheetTrackRange(table, c.code, c.imageNumber);
        EXPECT_EQ(r.first, c.first) << std::hex << c.code << " image " << c.imageNumber;
        EXPECT_EQ(r.last, c.last) << std::hex << c.code << " image " << c.imageNumber;
        EXPECT_EQ(r.skip, c.skip) << std::hex << c.code << " image " << c.imageNumber;
    }
}

TEST_F(OutputFilesTest, SecondImageSheetNumbersItsTracksFromTwo) {
    // Entries 3 and 4 of the build list are this image's tracks.
    const uint64_t size = 1000 * 2352;
    const std::string image = MakeImage("movie2.bin", size);
    TSheetImage sheet{image, false, {1, 2, 3}, {{0, 6, 0}, {0, 8, 0}}, size};
    const std::string cue = Path("movie2.cue");
    ASSERT_EQ(WriteCueSheet(cue, sheet), 0);
    EXPECT_EQ(ReadText(cue),
              "FILE \"movie2.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
              "  TRACK 02 MODE2/2352\n    INDEX 01 00:06:00\n  TRACK 03 MODE2/2352\n    INDEX 01 00:08:00\n");
}

TEST_F(OutputFilesTest, SheetsThatCannotBeWrittenReportErrorNine) {
    const uint64_t size = 1000 * 2352;
    const std::string image = MakeImage("movie.bin", size);
    struct Case {
        const char* what;
        std::string path;
        TSheetImage sheet;
    } cases[] = {
        {"missing folder", Path("nope/movie.cue"), {image, false, {1, 1, 0}, {{0, 6, 0}}, size}},
        {"more tracks than starts", Path("short.cue"), {image, false, {1, 2, 0}, {{0, 6, 0}}, size}},
        {"quote in the name", Path("quote.cue"), {Path("a\"b.bin"), false, {1, 1, 0}, {{0, 6, 0}}, size}},
    };
    for (const Case& c : cases) {
        for (bool toc : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (toc ? " toc" : " cue"));
            errors.clear();
            EXPECT_EQ(toc ? WriteTocFile(c.path, c.sheet, Recorder()) : WriteCueSheet(c.path, c.sheet, Recorder()), 1);
            EXPECT_EQ(errors, std::vector<std::string>{"9 " + fs::path(c.path).filename().string()});
            EXPECT_FALSE(fs::exists(c.path));
        }
    }
}

// A sheet that cannot be written whole takes away only a half sheet of its
// own: never a link the user made, nor the device it leads to.
TEST_F(OutputFilesTest, ASheetWrittenThroughALinkThatFailsLeavesTheLink) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const uint64_t size = 1000 * 2352;
    const std::string image = MakeImage("movie.bin", size);
    const TSheetImage sheet{image, false, {1, 1, 0}, {{0, 6, 0}}, size};
    for (bool toc : {false, true}) {
        SCOPED_TRACE(toc ? "toc" : "cue");
        const std::string path = Path(toc ? "movie.toc" : "movie.cue");
        fs::create_symlink("/dev/full", path);
        errors.clear();
        EXPECT_EQ(toc ? WriteTocFile(path, sheet, Recorder()) : WriteCueSheet(path, sheet, Recorder()), 1);
        EXPECT_EQ(errors, std::vector<std::string>{"9 " + fs::path(path).filename().string()});
        EXPECT_TRUE(fs::is_symlink(path));
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST_F(OutputFilesTest, TocRefusesStartsThatDoNotAscendInsideTheImage) {
    const uint64_t size = 1000 * 2352;
    const std::string image = MakeImage("movie.bin", size);
    const std::vector<std::vector<TSheetTime>> bad = {
        {{0, 9, 0}, {0, 6, 0}},   // second track before the first
        {{0, 6, 0}, {0, 20, 0}},  // past the image's end
    };
    for (const auto& starts : bad) {
        errors.clear();
        TSheetImage sheet{image, false, {1, 2, 0}, starts, size};
        EXPECT_EQ(WriteTocFile(Path("bad.toc"), sheet, Recorder()), 1);
        EXPECT_EQ(errors.size(), 1u);
        EXPECT_FALSE(fs::exists(Path("bad.toc")));
    }
}

}  // namespace
