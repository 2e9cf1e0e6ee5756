// The video-cd page's list rules without a window: whole files removed,
// names in list order through moves and removals, the spanning rebuild,
// the track limit, and the texts of the facts labels and example boxes.
#include "app/video_cd_page/build_list_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/track_table.h"
#include "tests/support/build_list_rig.h"
#include "tests/support/mpeg_clips.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }
const std::string kA = Fixture("clip_pal_vcd.mpg");
const std::string kB = Fixture("clip_pal_vcd_b.mpg");
const std::string kC = Fixture("clip_pal_vcd_c.mpg");

#define NEED_FFMPEG() \
    if (!clips::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed"

struct Editor {
    fakes::BuildListRig rig;
    TBuildListEditor editor{rig.job, rig.config, rig.list, rig.tracks};

    std::vector<std::string> EntryNames() const {
        std::vector<std::string> names;
        for (const TMpegFileInfo& e : rig.list.entries) names.push_back(e.name);
        return names;
    }
    // The grid's path column, row by row.
    std::vector<std::string> GridNames() const {
        std::vector<std::string> names;
        for (int r = 1; r <= rig.tracks.RowCount(); ++r) names.push_back(rig.grid.cell(2, r));
        return names;
    }
    std::vector<int32_t> Images() const {
        std::vector<int32_t> images;
        for (const TMpegFileInfo& e : rig.list.entries) images.push_back(e.image);
        return images;
    }
    std::vector<int32_t> Pauses() const {
        std::vector<int32_t> pauses;
        for (const TMpegFileInfo& e : rig.list.entries) pauses.push_back(e.pause);
        return pauses;
    }
    // Grid, names and track table agree with the entries.
    void ExpectInStep() const {
        EXPECT_EQ(GridNames(), EntryNames());
        EXPECT_EQ(rig.list.fileNames, TBuildListEditor::FileOrder(rig.list));
        EXPECT_EQ(rig.job.trackTable->lastTrack, int(rig.list.entries.size()));
        for (int r = 1; r <= rig.tracks.RowCount(); ++r)
            EXPECT_EQ(rig.grid.cell(0, r), std::to_string(rig.list.entries[size_t(r - 1)].image)) << r;
    }
    int Errors(int index) const {
        int n = 0;
        for (const std::string& l : rig.log.lines()) n += l.find(rig.texts.message(index)) != std::string::npos;
        return n;
    }
};

}  // namespace

// A split file is one file: whichever of its pieces is removed, all of them
// and its name go, so no rebuild brings a piece back or writes a tail
// without its head.
TEST(BuildListEditor, RemovingAnyPieceRemovesTheWholeFile) {
    NEED_FFMPEG();
    const std::string split = clips::Target("pal-vcd", 12);
    ASSERT_FALSE(split.empty());
    for (int piece : {0, 1, -1}) {
        SCOPED_TRACE(piece);
        Editor t;
        t.rig.Span(t.rig.img74);
        t.rig.list.SetCapacityOverride(1300000);
        t.rig.list.SetMarginOverride(0);
        ASSERT_EQ(t.editor.AddFiles({kA, split, kC}), 0);
        const std::vector<std::string> names = t.EntryNames();
        const int pieces = int(std::count(names.begin(), names.end(), split));
        ASSERT_GE(pieces, 3);
        EXPECT_EQ(t.rig.list.fileNames, (std::vector<std::string>{kA, split, kC}));
        const int index = 1 + (piece < 0 ? pieces - 1 : piece);
        t.editor.RemoveFileAt(index);
        EXPECT_EQ(t.EntryNames(), (std::vector<std::string>{kA, kC}));
        EXPECT_EQ(t.rig.list.fileNames, (std::vector<std::string>{kA, kC}));
        t.ExpectInStep();
    }
}

// Moves reach the names: one per file, at its first piece, in list order.
// The ends do not move.
TEST(BuildListEditor, NamesFollowMovesAndTheEndsStay) {
    Editor t;
    ASSERT_EQ(t.editor.AddFiles({kA, kB, kC}), 0);
    const std::string before = t.rig.State();
    EXPECT_FALSE(t.editor.MoveUp(0));
    EXPECT_FALSE(t.editor.MoveDown(2));
    EXPECT_EQ(t.rig.State(), before);

    EXPECT_TRUE(t.editor.MoveUp(2));
    EXPECT_EQ(t.rig.list.fileNames, (std::vector<std::string>{kA, kC, kB}));
    EXPECT_EQ(t.rig.tracks.CurrentRow(), 2) << "the moved row stays selected";
    EXPECT_TRUE(t.editor.MoveDown(0));
    EXPECT_EQ(t.rig.list.fileNames, (std::vector<std::string>{kC, kA, kB}));
    t.ExpectInStep();
    t.editor.RemoveFileAt(0);
    EXPECT_EQ(t.rig.list.fileNames, (std::vector<std::string>{kA, kB}));
    t.ExpectInStep();
}

// A spanning change rebuilds from the files in list order, each keeping its
// pause; shifts made with "+" do not survive new boundaries; the job's
// multi-image byte follows the image count.
TEST(BuildListEditor, RespanKeepsOrderAndPausesAndDropsShifts) {
    Editor t;
    ASSERT_EQ(t.editor.AddFiles({kA, kB, kC}), 0);
    ASSERT_TRUE(t.editor.MoveUp(2));  // A C B
    t.editor.SetPause(0, 2);
    t.editor.SetPause(1, 16);
    t.editor.SetPause(2, 7);
    t.rig.list.IncreaseImage(3);
    t.editor.ListChanged();
    EXPECT_EQ(t.Images(), (std::vector<int32_t>{1, 1, 2}));
    EXPECT_EQ(t.rig.job.multiImage, 1);

    // Two clips to an image at this capacity.
    t.rig.Span(t.rig.img74);
    t.rig.list.SetCapacityOverride(1600000);
    t.rig.list.SetMarginOverride(0);
    t.editor.Respan();
    EXPECT_EQ(t.EntryNames(), (std::vector<std::string>{kA, kC, kB}));
    EXPECT_EQ(t.Pauses(), (std::vector<int32_t>{2, 16, 7}));
    EXPECT_EQ(t.Images(), (std::vector<int32_t>{1, 1, 2}));
    EXPECT_EQ(t.rig.job.multiImage, 1);
    t.ExpectInStep();

    t.rig.Span(t.rig.imgNone);
    t.rig.list.SetCapacityOverride(-1);
    t.editor.Respan();
    EXPECT_EQ(t.Images(), (std::vector<int32_t>{1, 1, 1})) << "the shift is gone";
    EXPECT_EQ(t.Pauses(), (std::vector<int32_t>{2, 16, 7}));
    EXPECT_EQ(t.rig.job.multiImage, 0);
    t.ExpectInStep();

    // A file gone from the disk is reported and left out; the rest stay.
    const std::string gone = std::filesystem::temp_directory_path() / "pellmor-editor-gone.mpg";
    std::filesystem::copy_file(kB, gone, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(t.editor.AddFile(gone), 0);
    std::filesystem::remove(gone);
    t.editor.Respan();
    EXPECT_EQ(t.EntryNames(), (std::vector<std::string>{kA, kC, kB}));
    EXPECT_EQ(t.Errors(6), 1);
    t.ExpectInStep();

    t.editor.Clear();
    EXPECT_EQ(t.rig.job.trackTable->lastTrack, 0);
    EXPECT_TRUE(t.rig.list.fileNames.empty());
}

// An image holds 98 MPEG tracks (the data track is the 99th). A file that
// would pass that is refused with error 20 and leaves nothing; the files
// after it are still tried, and the first refusal is the result.
TEST(BuildListEditor, NinetyEightTracksToAnImage) {
    Editor t;
    std::vector<std::string> names(97, kA);
    names.push_back(Fixture("no such clip.mpg"));
    names.push_back(kB);
    ASSERT_EQ(t.editor.AddFiles(names), 4);
    EXPECT_EQ(t.rig.list.entries.size(), 98u);
    EXPECT_EQ(t.Errors(6), 1);
    const std::string full = t.rig.State();
    const size_t logged = t.rig.log.lines().size();
    EXPECT_EQ(t.editor.AddFiles({kC, kA}), 12);
    EXPECT_EQ(t.Errors(20), 2) << "each refused file is reported";
    // Refused before they are read: the errors are all the log says of them.
    for (size_t i = logged; i < t.rig.log.lines().size(); ++i)
        EXPECT_EQ(t.rig.log.lines()[i].find("kbits"), std::string::npos) << t.rig.log.lines()[i];
    EXPECT_EQ(t.rig.State(), full);
    EXPECT_EQ(t.rig.list.fileNames.size(), 98u);
    t.ExpectInStep();
    // Room again after a removal.
    t.editor.RemoveFileAt(5);
    EXPECT_EQ(t.editor.AddFile(kC), 0);
    EXPECT_EQ(t.rig.list.fileNames.back(), kC);
}

// ---------------------------------------------------------------- texts

TEST(VideoCdTexts, FactsShowTheLayerNumberAndSixCharacterRates) {
    const TLanguageSet texts;
    struct Case {
        int layerCode;
        int rateCode;
        const char* audio;
        const char* video;
    } cases[] = {
        {3, 3, "Audio : MPEG Layer-1 / 44100Hz", "Resolution : 352x288 PAL @   25.0 fps"},
        {2, 4, "Audio : MPEG Layer-2 / 44100Hz", "Resolution : 352x288 PAL @  29.97 fps"},
        {1, 1, "Audio : MPEG Layer-3 / 44100Hz", "Resolution : 352x288 PAL @ 23.976 fps"},
        {0, 9, "Audio : MPEG Layer-? / 44100Hz", "Resolution : 352x288 PAL @    0.0 fps"},
        {2, 15, "Audio : MPEG Layer-2 / 44100Hz", "Resolution : 352x288 PAL @    0.0 fps"},
    };
    for (const Case& c : cases) {
        TMpegFileInfo e;
        e.width = 352;
        e.height = 288;
        e.pal = 1;
        e.frameRateCode = uint8_t(c.rateCode);
        e.audioLayer = c.layerCode;
        e.audioSampleRate = 44100;
        e.videoBitRate = 1150000;
        e.audioBitRate = 224000;
        const TRowFacts f = RowFacts(e, texts);
        EXPECT_EQ(f.audInfo, c.audio);
        EXPECT_EQ(f.videoRes, c.video);
        EXPECT_EQ(f.vidBitrate, "Video Bitrate : 1150 kbits");
        EXPECT_EQ(f.audBitrate, "Audio Bitrate : 224 kbits");
    }
}

TEST(VideoCdTexts, PauseFieldTakesWholeNumbersZeroToSixteen) {
    struct Case {
        const char* text;
        std::optional<int> pause;
    } cases[] = {{"0", 0}, {"5", 5}, {"05", 5}, {"16", 16}, {"17", std::nullopt}, {"-1", std::nullopt},
                 {"", std::nullopt}, {"1a", std::nullopt}, {" 3", std::nullopt}, {"100", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(ParsePause(c.text), c.pause) << '"' << c.text << '"';
}

// The naming box: typed pattern, the pattern kept, the examples shown. A
// pattern the formatter refuses is not stored.
TEST(VideoCdTexts, NamingPatternTypedStoredShown) {
    const TLanguageSet texts;
    const std::string prefix = texts.core(msg::core::kMultiFileExample) + ":  ";
    struct Case {
        const char* typed;
        const char* stored;
        const char* shown;
    } cases[] = {
        {"_%02d", "_%02d", "movie_01.bin, movie_02.bin ..."},
        {"", "-%d", "movie-1.bin, movie-2.bin ..."},
        {"%s", "-%d", "movie-1.bin, movie-2.bin ..."},
        {"a%db%d", "-%d", "movie-1.bin, movie-2.bin ..."},
        {"%n", "-%d", "movie-1.bin, movie-2.bin ..."},
        {"100%%_%d", "100%%_%d", "movie100%_1.bin, movie100%_2.bin ..."},
        {"/%d", "/%d", "1.bin, 2.bin ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string stored = AcceptedNamingPattern(c.typed, "-%d");
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(NamingExampleText("/out/movie.bin", stored, texts), prefix + c.shown);
    }
    EXPECT_EQ(NamingExampleText("/out/movie", "_%02d", texts), prefix + "movie_01, movie_02 ...");
}

// The volume box shows the labels the image build writes, for a name with
// a "%" only: a name the formatter refuses is taken as typed ("%%" as "%"),
// and every label is recorded in the characters ISO 9660 allows.
TEST(VideoCdTexts, VolumeNameExamplesAreTheWrittenLabels) {
    const TLanguageSet texts;
    const std::string prefix = texts.core(msg::core::kVolumeLabelExample) + ":  ";
    struct Case {
        const char* typed;
        std::optional<std::string> shown;
    } cases[] = {
        {"PELL_%d", "PELL_1, PELL_2 ..."},
        {"DISC%02d", "DISC01, DISC02 ..."},
        {"PELLTEST", std::nullopt},
        {"", std::nullopt},
        {"A%sB", "A_SB, A_SB ..."},
        {"100%%", "100_, 100_ ..."},
        {"100%%_%d", "100__1, 100__2 ..."},
        {"disc %d", "DISC_1, DISC_2 ..."},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_%d", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345, ABCDEFGHIJKLMNOPQRSTUVWXYZ012345 ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::optional<std::string> shown = VolumeExampleText(c.typed, texts);
        ASSERT_EQ(shown.has_value(), c.shown.has_value());
        if (shown) {
            EXPECT_EQ(*shown, prefix + *c.shown);
        }
    }
}
