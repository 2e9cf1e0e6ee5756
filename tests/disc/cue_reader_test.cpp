#include "disc/cue_reader.h"

#include <cstdio>
#include <cstdlib>

#include "disc/sheet_text.h"
#include "tests/disc/sheet_test_support.h"

namespace {

using namespace sheets;

constexpr int64_t kRaw = 2352;

class CueReaderTest : public SheetTest {
protected:
    int Read(const std::string& sheetPath) { return ReadWith<TCueReader>(sheetPath); }
};

TEST_F(CueReaderTest, SheetTable) {
    const int64_t odd = OddImageSize(), vcd = VcdImageSize();
    const int64_t oddWhole = odd / kRaw * kRaw;
    const std::vector<Range> twoTracks = {{0, 300 * kRaw}, {300 * kRaw, oddWhole}};
    const SheetCase cases[] = {
        {"two_tracks.cue", 1, {}, twoTracks, "movie.bin"},
        // Keywords inside REM, TITLE and PERFORMER texts are no keywords.
        {"rem_title.cue", 1, {}, twoTracks, "movie.bin"},
        {"windows_abs.cue", 1, {}, twoTracks, "movie.bin"},
        // The folder the sheet names is the one recorded, not the sheet's.
        {"windows_sub.cue", 1, {}, twoTracks, "sub/movie.bin"},
        {"crlf_bom.cue", 1, {}, twoTracks, "movie.bin"},
        // A start past the image is clamped; the last track then starts at
        // the end, which is reported and still loads.
        {"beyond_image.cue", 1, {13}, {{0, 450 * kRaw}, {450 * kRaw, vcd}, {vcd, vcd}}, "my movie.bin"},
        {"no_file.cue", 0, {3}, {}, nullptr},
        {"track_before_file.cue", 0, {3}, {}, nullptr},
        {"unclosed_quote.cue", 0, {3}, {}, nullptr},
        {"wave_file.cue", 0, {3}, {}, nullptr},
        {"one_track.cue", 0, {5}, {}, nullptr},
        {"one_track_mode1.cue", 0, {4}, {}, nullptr},
        {"index_before_track.cue", 0, {5}, {}, nullptr},
        {"track_without_index01.cue", 0, {5}, {}, nullptr},
        {"last_without_index01.cue", 0, {5}, {}, nullptr},
        // One FILE per track: a line of our own (no message number) says so.
        {"several_files.cue", 0, {-1}, {}, nullptr},
        {"bad_mode.cue", 0, {5}, {}, nullptr},
        {"short_mode.cue", 0, {5}, {}, nullptr},
        {"bad_time.cue", 0, {5}, {}, nullptr},
        {"bad_frames.cue", 0, {5}, {}, nullptr},
        {"index_without_time.cue", 0, {5}, {}, nullptr},
        {"track_extra_word.cue", 0, {5}, {}, nullptr},
        {"track_without_number.cue", 0, {5}, {}, nullptr},
        {"index_descending.cue", 0, {5}, {}, nullptr},
        {"index_repeated.cue", 0, {5}, {}, nullptr},
        {"track_100.cue", 0, {2}, {}, nullptr},
    };
    for (const SheetCase& c : cases) CheckSheet<TCueReader>(c);
}

TEST_F(CueReaderTest, OneFilePerTrackIsRefusedForWhatItIs) {
    EXPECT_EQ(Read(Place("several_files.cue")), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("     [several_files.cue] Cue sheets with one FILE per track are not supported: "
                                   "the tracks must be in one image file (FILE \"", 0),
              0u)
        << log.lines()[0];
    EXPECT_EQ(log.lines()[0].find("CUE file is incomplete"), std::string::npos);
}

TEST_F(CueReaderTest, VcdimagerSheetGivesCdInfoStarts) {
    const CdInfo info = ReadCdInfo(FixtureDir() + "/vcdimager_starts.txt");
    ASSERT_EQ(info.trackLsn.size(), 3u);
    EXPECT_EQ(Read(Place("vcdimager.cue")), 1);
    EXPECT_EQ(Errors(), std::vector<int>{});
    ASSERT_EQ(job.trackTable->lastIndex, 2);
    for (size_t i = 0; i < info.trackLsn.size(); ++i) {
        int64_t next = i + 1 < info.trackLsn.size() ? info.trackLsn[i + 1] : info.leadout;
        EXPECT_EQ(job.trackTable->start[i], info.trackLsn[i] * kRaw) << "track " << i + 1;
        EXPECT_EQ(job.trackTable->end[i], next * kRaw) << "track " << i + 1;
        EXPECT_EQ(job.trackTable->sectorSize[i], 2352);
    }
    EXPECT_EQ(job.trackTable->minutes[2], 0);
    EXPECT_EQ(job.trackTable->seconds[2], 9);
    EXPECT_EQ(job.trackTable->frames[2], 74);
    EXPECT_EQ(job.sourceName, dir + "/my movie.bin");
}

// Builds a fresh image with vcdimager and checks the reader against what
// cd-info makes of it, when the tools are installed.
TEST_F(CueReaderTest, FreshVcdimagerImageMatchesCdInfo) {
    if (std::system("command -v vcdimager >/dev/null && command -v cd-info >/dev/null && "
                    "command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "vcdimager, cd-info or ffmpeg missing";
    const std::string out = dir + "/fresh";
    const std::string cmd = "bash '" + std::string(PELLMOR_SOURCE_DIR) + "/scripts/fixtures/sheets.sh' '" + out +
                            "' --keep-image >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const CdInfo info = ReadCdInfo(out + "/vcdimager_starts.txt");
    ASSERT_GE(info.trackLsn.size(), 2u);
    job.sourceName = out + "/vcdimager.cue";
    EXPECT_EQ(Read(job.sourceName), 1);
    ASSERT_EQ(job.trackTable->lastIndex + 1, static_cast<int>(info.trackLsn.size()));
    for (size_t i = 0; i < info.trackLsn.size(); ++i) {
        int64_t next = i + 1 < info.trackLsn.size() ? info.trackLsn[i + 1] : info.leadout;
        EXPECT_EQ(job.trackTable->start[i], info.trackLsn[i] * kRaw);
        EXPECT_EQ(job.trackTable->end[i], next * kRaw);
    }
    EXPECT_EQ(job.sourceName, out + "/my movie.bin");
}

TEST_F(CueReaderTest, ModeTokensGiveTheirSectorSizes) {
    const struct {
        const char* mode;
        int32_t size;  // 0: refused
    } modes[] = {
        {"MODE1/2048", 2048}, {"MODE1/2352", 2352}, {"MODE2/2324", 2324}, {"MODE2/2336", 2336},
        {"MODE2/2352", 2352}, {"CDI/2336", 2336},   {"CDI/2352", 2352},   {"AUDIO", 2352},
        {"CDG", 0},           {"MODE2/2048", 0},    {"MODE2/23520", 0},   {"MODE1", 0},
        {"CDI/2352X", 0},     {"MODE2/", 0},        {"\"MODE2/2352\"", 0},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        log.clear();
        job.trackTable->lastIndex = -1;
        Write("mode.cue", std::string("FILE movie.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\nTRACK 02 ") +
                              m.mode + "\nINDEX 01 00:04:00\n");
        if (m.size == 0) {
            EXPECT_EQ(Read(job.sourceName), 0);
            EXPECT_EQ(Errors(), std::vector<int>{5});
            continue;
        }
        EXPECT_EQ(Read(job.sourceName), 1);
        ASSERT_EQ(job.trackTable->lastIndex, 1);
        EXPECT_EQ(job.trackTable->sectorSize[1], m.size);
        EXPECT_EQ(job.trackTable->start[1], int64_t{m.size} * 300);
        EXPECT_EQ(job.trackTable->end[0], 2352 * 300);
        EXPECT_EQ(job.trackTable->end[1], OddImageSize() / m.size * m.size);
    }
}

TEST_F(CueReaderTest, NinetyNineTracksLoadAndOneMoreIsRefused) {
    auto sheet = [](int tracks) {
        std::string s = "FILE \"movie.bin\" BINARY\n";
        for (int i = 1; i <= tracks; ++i) {
            char line[96];
            // Track 100 carries the number 99 again: the count alone refuses it.
            std::snprintf(line, sizeof line, "  TRACK %02d MODE2/2352\n    INDEX 01 00:%02d:%02d\n", i > 99 ? 99 : i,
                          (i * 10) / 75, (i * 10) % 75);
            s += line;
        }
        return s;
    };
    CheckTrackLimit<TCueReader>(".cue", sheet, 990 * kRaw);
}

// A file far larger than any sheet is refused instead of being read whole.
TEST_F(CueReaderTest, SheetLargerThanAnySheetIsRefused) { CheckSizeLimit<TCueReader>("two_tracks.cue", "REM ", kMaxSheetBytes); }

TEST_F(CueReaderTest, MissingImageUnattendedReportsWithoutDialog) {
    const struct {
        const char* how;
        uint8_t batchFlag;
        int16_t prompts;
        bool dialogs;
    } ways[] = {
        {"batch task", 1, 1, true},
        {"batch prompt bit", 0, static_cast<int16_t>(0x8000), true},
        {"no dialogs", 0, 1, false},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.how);
        log.clear();
        batch = w.batchFlag;
        config.DisableErrorPrompts = w.prompts;
        controls.fileDialogs = w.dialogs ? &fileDialogs : nullptr;
        EXPECT_EQ(Read(Place("missing_image.cue")), 0);
        EXPECT_EQ(Errors(), (std::vector<int>{1, 6}));
        EXPECT_EQ(fileDialogs.opens(), 0);
        EXPECT_NE(log.lines().at(5).find("[absent.bin]"), std::string::npos);
    }
}

TEST_F(CueReaderTest, MissingImageIsPickedInTheOpenDialog) {
    openDialog.FileName = "/somewhere/sheet.cue";
    const std::string picked = dir + "/elsewhere/picked.bin";
    fileDialogs.scriptOpen(picked);
    EXPECT_EQ(Read(Place("missing_image.cue")), 1);
    EXPECT_EQ(Errors(), std::vector<int>{1});
    EXPECT_EQ(job.sourceName, picked);
    EXPECT_EQ(job.trackTable->end[1], VcdImageSize());
    const platform::FileDialogState shown = fileDialogs.lastShown();
    EXPECT_EQ(shown.Filter, "*.bin (binary image file)|*.bin|All files|*.*");
    EXPECT_EQ(shown.Title, "Select Binary Image File");
    EXPECT_EQ(shown.FileName, "");
    EXPECT_EQ(shown.InitialDir, dir + "/");
    // The main window's dialog still names the sheet.
    EXPECT_EQ(openDialog.FileName, "/somewhere/sheet.cue");
}

TEST_F(CueReaderTest, MissingImageDialogCancelledOrPickingNothingUsable) {
    fileDialogs.scriptOpen(std::nullopt);
    EXPECT_EQ(Read(Place("missing_image.cue")), 0);
    EXPECT_EQ(Errors(), std::vector<int>{1});

    log.clear();
    fileDialogs.scriptOpen(dir + "/gone.bin");
    EXPECT_EQ(Read(Place("missing_image.cue")), 0);
    EXPECT_EQ(Errors(), (std::vector<int>{1, 6}));

    log.clear();
    fileDialogs.scriptOpen(dir + "/sub");  // a folder is no image
    EXPECT_EQ(Read(Place("missing_image.cue")), 0);
    EXPECT_EQ(Errors(), (std::vector<int>{1, 6}));
    EXPECT_EQ(job.trackTable->lastIndex, -1);
}

TEST_F(CueReaderTest, OpenParseClose) {
    TCueReader missing(&job, &config, &controls);
    EXPECT_EQ(missing.Open(dir + "/nothing.cue"), 6);
    EXPECT_EQ(missing.Parse(), 0);

    // Without an explicit block the job's own controls are used.
    job.controls = new TJobControls(controls);
    TCueReader reader(&job, &config);
    ASSERT_EQ(reader.Open(Place("one_track.cue")), 0);
    EXPECT_EQ(reader.Parse(), 0);
    EXPECT_EQ(Errors(), std::vector<int>{5});

    TCueReader good(&job, &config, &controls);
    ASSERT_EQ(good.Open(Place("two_tracks.cue")), 0);
    EXPECT_EQ(good.Parse(), 1);
    ASSERT_TRUE(good.imageFile);
    EXPECT_FALSE(good.imageFile->IsClosed());
    EXPECT_EQ(static_cast<int64_t>(good.imageFile->Size()), OddImageSize());
    good.Close();
    EXPECT_FALSE(good.imageFile);
    EXPECT_FALSE(good.sheetFile);
    good.Close();
}

}  // namespace
