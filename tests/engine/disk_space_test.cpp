// The estimate of what a job writes and the free-space question.
#include "engine/disk_space.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>

#include "core/language_set.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "disc/track_table.h"
#include "engine/methods.h"
#include "tests/support/fakes.h"

namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

struct Reporting {
    Reporting() {
        reporter.services.languageSet = &texts;
        reporter.services.dialogs = &dialogs;
        reporter.log = &log;
    }
    int questions() const {
        int n = 0;
        for (const auto& s : dialogs.shown()) n += s.kind == "ask";
        return n;
    }
    TLanguageSet texts;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::RecordingListBox log;
    LoadReporter reporter;
};

// ---------------------------------------------------------------------------
// Free space of the output's file system

TEST(FreeSpace, IsAskedOfTheOutputsFolderEvenBeforeItExists) {
    const std::string dir = CreateTempDir("pellmor-space-");
    ASSERT_FALSE(dir.empty());
    struct statvfs st {};
    ASSERT_EQ(statvfs(dir.c_str(), &st), 0);
    const int64_t expected = static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
    const int64_t slack = 256LL << 20;  // others write to the same disk meanwhile

    EXPECT_NEAR(static_cast<double>(FreeSpaceForOutput(dir + "/out.mpg")), static_cast<double>(expected),
                static_cast<double>(slack));
    // A folder the job will still make is on the file system above it.
    EXPECT_NEAR(static_cast<double>(FreeSpaceForOutput(dir + "/not/yet/there/out.mpg")),
                static_cast<double>(expected), static_cast<double>(slack));
    fs::remove_all(dir);
}

TEST(FreeSpace, ExactlyEnoughIsEnough) {
    struct Case {
        uint64_t bytes;
        int64_t free;
        bool shortOfSpace;
    };
    for (const Case& c : {Case{1000, 1000, false}, Case{1001, 1000, true}, Case{0, 0, false}, Case{0, -1, true},
                          // Past 4 GiB nothing is cut to 32 bits.
                          Case{(5ULL << 32) + 1, int64_t{5} << 32, true}, Case{1ULL << 32, (int64_t{1} << 32) + 1, false},
                          Case{UINT64_MAX, INT64_MAX, true}}) {
        EXPECT_EQ(SpaceIsShort(c.bytes, c.free), c.shortOfSpace) << c.bytes << " " << c.free;
    }
}

TEST(FreeSpace, QuestionOnlyWhenShortAndNoOrCancelDecline) {
    struct Case {
        uint64_t bytes;
        int64_t free;
        int answer;
        int result;
        int asked;
    };
    for (const Case& c : {Case{500, 500, platform::kNo, 0, 0}, Case{501, 500, platform::kNo, 3, 1},
                          Case{501, 500, platform::kCancel, 3, 1}, Case{501, 500, platform::kYes, 0, 1},
                          Case{1, -1, platform::kNo, 3, 1}}) {
        Reporting r;
        r.dialogs.script({c.answer});
        EXPECT_EQ(verifyDiskSpace(c.bytes, c.free, r.reporter), c.result);
        ASSERT_EQ(r.questions(), c.asked);
        if (c.asked) {
            EXPECT_EQ(r.dialogs.shown()[0].message, r.texts.message(31));
        }
    }
}

TEST(FreeSpace, BatchAnswersWithoutADialog) {
    for (auto [flags, result] : {std::pair<int16_t, int>{static_cast<int16_t>(0xA000), 3},
                                 std::pair<int16_t, int>{static_cast<int16_t>(0xC000), 0}}) {
        Reporting r;
        r.reporter.promptFlags = flags;
        EXPECT_EQ(verifyDiskSpace(2000, 1000, r.reporter), result);
        EXPECT_EQ(r.questions(), 0);
    }
}

TEST(FreeSpace, RealFolderAndTheNullOutput) {
    Reporting r;
    r.dialogs.script({platform::kNo, platform::kNo});
    const std::string out = TempDir() + "/pellmor-space-check.mpg";
    EXPECT_EQ(verifyDiskSpace(1, out, r.reporter), 0);
    EXPECT_EQ(r.questions(), 0);
    EXPECT_EQ(verifyDiskSpace(UINT64_MAX / 2, out, r.reporter), 3);
    EXPECT_EQ(r.questions(), 1);
    // "nul" writes nothing.
    EXPECT_EQ(verifyDiskSpace(UINT64_MAX / 2, "nul", r.reporter), 0);
    EXPECT_EQ(r.questions(), 1);
}

// ---------------------------------------------------------------------------
// Estimates

// Tracks 1..3 of a cue sheet (row 0 is the data track), and the per-track
// sizes an image's directory gives.
struct Listing {
    Listing() {
        for (int i = 0; i < 4; ++i) {
            t.AppendTrack();
            t.start[i] = i * 1000000;
            t.end[i] = i * 1000000 + 100000 * (i + 1);
        }
        t.firstTrack = 1;
        t.lastIndex = 3;
        for (int k = 1; k <= 3; ++k) list.add("Track");
    }
    OutputEstimateInput input(Method method) {
        OutputEstimateInput in;
        in.method = Index(method);
        in.trackTable = &t;
        in.trackListBox = &list;
        in.trackSizes = &sizes;
        in.inputName = Fixture("vcd_pal3.bin");
        return in;
    }
    TTrackTable t;
    fakes::RecordingListBox list;
    std::vector<int64_t> sizes{7000, 8000, 9000};
};

TEST(Estimate, ExtractionEveryMethod) {
    const uint64_t imageSize = fs::file_size(Fixture("vcd_pal3.bin"));
    struct Case {
        Method method;
        uint64_t all, selected;  // no line selected; lines of tracks 1 and 3
    };
    // Spans: 200000, 300000, 400000; sizes 7000, 8000, 9000.
    for (const Case& c : {Case{Method::CueBinToMpeg, 900000, 600000}, Case{Method::CueBinToDat, 900000, 600000},
                          Case{Method::TocBinToMpeg, 900000, 600000},  // toc/bin lists its tracks like a cue sheet
                          Case{Method::BinToMpeg, 24000, 16000},       // bin, also with a selection
                          Case{Method::CifToMpeg, 24000, 16000}, Case{Method::NrgToMpeg, 24000, 16000},
                          // Single streams: the whole input, whatever the list shows.
                          Case{Method::RawToMpeg, imageSize, imageSize}, Case{Method::DatToMpeg, imageSize, imageSize},
                          Case{Method::MpegToMpeg, imageSize, imageSize}, Case{Method::SfdToMpeg, imageSize, imageSize},
                          // mpg -> dat writes each 2324-byte pack as a 2352-byte sector.
                          Case{Method::MpegToDat, RawSectorBytes(imageSize) + 44, RawSectorBytes(imageSize) + 44}}) {
        SCOPED_TRACE(Index(c.method));
        Listing l;
        Reporting r;
        uint64_t bytes = 1;
        ASSERT_EQ(EstimateOutputBytes(l.input(c.method), r.reporter, bytes), 0);
        EXPECT_EQ(bytes, c.all);
        l.list.setSelected(0, true);
        l.list.setSelected(2, true);
        ASSERT_EQ(EstimateOutputBytes(l.input(c.method), r.reporter, bytes), 0);
        EXPECT_EQ(bytes, c.selected);
    }
}

TEST(Estimate, TrackZeroAndNoListBox) {
    Listing l;
    Reporting r;
    uint64_t bytes = 0;
    // With track 0 listed, line 0 is row 0 (the data track).
    l.t.firstTrack = 0;
    l.list.add("Track");
    l.list.setSelected(0, true);
    ASSERT_EQ(EstimateOutputBytes(l.input(Method::CueBinToMpeg), r.reporter, bytes), 0);
    EXPECT_EQ(bytes, 100000u);
    // Headless: every track of the table from its first track.
    OutputEstimateInput in = l.input(Method::CueBinToMpeg);
    in.trackListBox = nullptr;
    l.t.firstTrack = 1;
    ASSERT_EQ(EstimateOutputBytes(in, r.reporter, bytes), 0);
    EXPECT_EQ(bytes, 900000u);
}

TEST(Estimate, SpansPast4GiBAdd) {
    Listing l;
    Reporting r;
    l.t.end[1] = l.t.start[1] + (int64_t{3} << 32);
    l.t.end[2] = l.t.start[2] + (int64_t{3} << 32);
    l.t.end[3] = l.t.start[3] - 5;  // a backwards span adds nothing
    uint64_t bytes = 0;
    ASSERT_EQ(EstimateOutputBytes(l.input(Method::CueBinToMpeg), r.reporter, bytes), 0);
    EXPECT_EQ(bytes, uint64_t{6} << 32);
}

TEST(Estimate, EmptyTrackListFallsBackToTheInput) {
    Listing l;
    l.list.clear();
    Reporting r;
    uint64_t bytes = 0;
    ASSERT_EQ(EstimateOutputBytes(l.input(Method::BinToMpeg), r.reporter, bytes), 0);
    EXPECT_EQ(bytes, fs::file_size(Fixture("vcd_pal3.bin")));
}

TEST(Estimate, UnreadableInputIsError6) {
    Listing l;
    Reporting r;
    OutputEstimateInput in = l.input(Method::DatToMpeg);
    in.inputName = "/nonexistent/where/track.dat";
    uint64_t bytes = 0;
    EXPECT_EQ(EstimateOutputBytes(in, r.reporter, bytes), 4);
    ASSERT_EQ(r.dialogs.shown().size(), 1u);
    EXPECT_EQ(r.dialogs.shown()[0].kind, "error");
    EXPECT_EQ(r.dialogs.shown()[0].message, r.texts.message(msg::error::kCannotOpen));
    EXPECT_EQ(r.dialogs.shown()[0].caption, "track.dat");
}

TEST(Estimate, VideoCdBuildCountsRawSectors) {
    Reporting r;
    std::vector<int64_t> entries{2324, 2325, 0, 2324 * 1000};
    OutputEstimateInput in;
    in.pageMode = 1;
    in.method = Index(VcdMethod::MpegToTocBin);
    in.buildEntryBytes = &entries;
    uint64_t bytes = 0;
    ASSERT_EQ(EstimateOutputBytes(in, r.reporter, bytes), 0);
    EXPECT_EQ(bytes, uint64_t{2352} * (1 + 2 + 0 + 1000));
    in.buildEntryBytes = nullptr;  // an empty build list
    ASSERT_EQ(EstimateOutputBytes(in, r.reporter, bytes), 0);
    EXPECT_EQ(bytes, 0u);
}

}  // namespace
