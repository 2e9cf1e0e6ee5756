#include "disc/toc_reader.h"

#include <cstdio>

#include "disc/sheet_text.h"
#include "tests/disc/sheet_test_support.h"

namespace {

using namespace sheets;

constexpr int64_t kRaw = 2352;

class TocReaderTest : public SheetTest {
protected:
    int Read(const std::string& sheetPath) { return ReadWith<TTocReader>(sheetPath); }
};

TEST_F(TocReaderTest, SheetTable) {
    const int64_t odd = OddImageSize();
    const CdInfo info = ReadCdInfo(FixtureDir() + "/vcdimager_starts.txt");
    ASSERT_EQ(info.trackLsn.size(), 3u);
    const SheetCase cases[] = {
        // The form our own writer gives, for the vcdimager image: the starts
        // are the ones cd-info reports for that image's cue sheet.
        {"written.toc", 1, {},
         {{info.trackLsn[0] * kRaw, info.trackLsn[1] * kRaw},
          {info.trackLsn[1] * kRaw, info.trackLsn[2] * kRaw},
          {info.trackLsn[2] * kRaw, info.leadout * kRaw}},
         "my movie.bin"},
        // Comments, CD_TEXT and Windows names.
        {"comments.toc", 1, {}, {{0, 300 * kRaw}, {300 * kRaw, odd / kRaw * kRaw}}, "movie.bin"},
        // The last track runs on in whole sectors counted from its own start.
        {"offset.toc", 1, {}, {{1000, 1000 + 75 * kRaw}, {177400, 177400 + (odd - 177400) / kRaw * kRaw}}, "movie.bin"},
        {"beyond_image.toc", 1, {13}, {{0, 300 * kRaw}, {odd, odd}}, "movie.bin"},
        {"no_header.toc", 0, {3}, {}, nullptr},
        {"cd_da_header.toc", 0, {3}, {}, nullptr},
        {"header_only.toc", 0, {5}, {}, nullptr},
        {"datafile_before_track.toc", 0, {5}, {}, nullptr},
        {"track_without_datafile.toc", 0, {5}, {}, nullptr},
        {"last_without_datafile.toc", 0, {5}, {}, nullptr},
        {"two_datafiles.toc", 0, {5}, {}, nullptr},
        {"two_images.toc", 0, {5}, {}, nullptr},
        {"bad_mode.toc", 0, {5}, {}, nullptr},
        {"subchannel.toc", 0, {5}, {}, nullptr},
        {"bad_length.toc", 0, {5}, {}, nullptr},
        {"no_length.toc", 0, {5}, {}, nullptr},
        {"bad_offset.toc", 0, {5}, {}, nullptr},
    };
    for (const SheetCase& c : cases) {
        CheckSheet<TTocReader>(c);
        if (c.result == 1) {
            for (int64_t s : Sizes()) EXPECT_EQ(s, 2352) << c.sheet;
        }
    }
}

TEST_F(TocReaderTest, LengthsAreKeptAsTheTrackTimes) {
    EXPECT_EQ(Read(Place("written.toc")), 1);
    const TTrackTable& t = *job.trackTable;
    EXPECT_EQ(std::vector<int32_t>(t.minutes.begin(), t.minutes.begin() + 3), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(std::vector<int32_t>(t.seconds.begin(), t.seconds.begin() + 3), (std::vector<int32_t>{6, 3, 4}));
    EXPECT_EQ(std::vector<int32_t>(t.frames.begin(), t.frames.begin() + 3), (std::vector<int32_t>{0, 74, 9}));
}

TEST_F(TocReaderTest, ModeWordsGiveTheirSectorSizes) {
    const struct {
        const char* mode;
        int32_t size;  // 0: refused
    } modes[] = {
        {"MODE1_RAW", 2352},   {"MODE2_RAW", 2352}, {"MODE2_FORM1", 2048}, {"MODE1", 2048},
        {"MODE2_FORM2", 2324}, {"MODE2_FORM_MIX", 2336}, {"MODE2", 2336}, {"AUDIO", 2352},
        {"MODE0", 2352},       {"MODE3", 0},        {"mode2_raw", 0},      {"MODE2_RAWX", 0},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        log.clear();
        job.trackTable->lastIndex = -1;
        Write("mode.toc", std::string("CD_ROM_XA\nTRACK ") + m.mode + "\nDATAFILE \"movie.bin\" #1000 00:01:00\n" +
                              "TRACK MODE2_RAW\nDATAFILE \"movie.bin\" #2000000 00:01:00\n");
        if (m.size == 0) {
            EXPECT_EQ(Read(job.sourceName), 0);
            EXPECT_EQ(Errors(), std::vector<int>{5});
            continue;
        }
        EXPECT_EQ(Read(job.sourceName), 1);
        EXPECT_EQ(job.trackTable->sectorSize[0], m.size);
        EXPECT_EQ(job.trackTable->start[0], 1000);
        EXPECT_EQ(job.trackTable->end[0], 1000 + 75 * int64_t{m.size});
    }
}

TEST_F(TocReaderTest, NinetyNineTracksLoadAndOneMoreIsRefused) {
    auto toc = [](int tracks) {
        std::string s = "CD_ROM_XA\n";
        for (int i = 0; i < tracks; ++i) {
            char line[96];
            std::snprintf(line, sizeof line, "TRACK MODE2_RAW\nDATAFILE \"movie.bin\" #%lld 00:00:10\n",
                          static_cast<long long>(i) * 10 * 2352);
            s += line;
        }
        return s;
    };
    CheckTrackLimit<TTocReader>(".toc", toc, 980 * kRaw);
}

// A file far larger than any sheet is refused instead of being read whole.
TEST_F(TocReaderTest, SheetLargerThanAnySheetIsRefused) { CheckSizeLimit<TTocReader>("comments.toc", "// ", kMaxSheetBytes); }

TEST_F(TocReaderTest, MissingImageUnattendedReportsWithoutDialog) {
    batch = 1;
    EXPECT_EQ(Read(Place("missing_image.toc")), 0);
    EXPECT_EQ(Errors(), (std::vector<int>{1, 6}));
    EXPECT_EQ(fileDialogs.opens(), 0);
}

// Three DATAFILE lines name the same missing image: it is asked for and
// opened once, and every track lies in it.
TEST_F(TocReaderTest, ImageIsOpenedOnceForAllTracks) {
    Place("written.toc");
    fs::remove(dir + "/my movie.bin");
    const std::string picked = dir + "/elsewhere/picked.bin";
    fileDialogs.scriptOpen(picked);
    fileDialogs.scriptOpen(picked);
    TTocReader reader(&job, &config, &controls);
    ASSERT_EQ(reader.Open(job.sourceName), 0);
    EXPECT_EQ(reader.Parse(), 1);
    EXPECT_EQ(fileDialogs.opens(), 1);
    EXPECT_EQ(Errors(), std::vector<int>{1});
    EXPECT_EQ(fileDialogs.lastShown().Filter, "All files|*.*");
    EXPECT_EQ(job.sourceName, picked);
    EXPECT_EQ(reader.dataFileName, picked);
    EXPECT_EQ(job.trackTable->lastIndex, 2);
}

TEST_F(TocReaderTest, OpenDataFileRewritesTheName) {
    TTocReader reader(&job, &config, &controls);
    ASSERT_EQ(reader.Open(Place("written.toc")), 0);
    std::string name = "C:\\rips\\SUB\\MOVIE.BIN";
    EXPECT_TRUE(reader.OpenDataFile(name));
    EXPECT_EQ(name, dir + "/sub/movie.bin");

    batch = 1;
    TTocReader other(&job, &config, &controls);
    ASSERT_EQ(other.Open(job.sourceName), 0);
    std::string absent = "absent.bin";
    EXPECT_FALSE(other.OpenDataFile(absent));
    EXPECT_EQ(absent, "absent.bin");
    EXPECT_EQ(Errors(), (std::vector<int>{1, 6}));
}

TEST_F(TocReaderTest, OpenFailsWithSix) {
    TTocReader reader(&job, &config, &controls);
    EXPECT_EQ(reader.Open(dir + "/nothing.toc"), 6);
    EXPECT_EQ(reader.Parse(), 0);
}

}  // namespace
