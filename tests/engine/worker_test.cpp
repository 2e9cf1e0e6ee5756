// The worker's frame: the method table, progress and ETA, the status colour,
// the end of a run and the batch result, track selection, output names
// and the overwrite question, bad sources, the bumper, 99 tracks and offsets
// past 4 GiB.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::ReadFile;
using harness::WriteFile;

namespace {

constexpr size_t kPack = 2324;

TEST(MethodTable, ExtractionAndVideoCdPages) {
    struct Row {
        int32_t page, index;
        bool imgNone, multi;
        int32_t code;
        int16_t in, out;
    };
    for (const Row& r : {Row{0, 0, true, false, 12, 0, 0},          Row{0, 1, true, false, 12, 0, 0},
                         Row{0, 2, true, false, 0x0A0603, 6, 3},    Row{0, 3, true, false, 0x060602, 6, 2},
                         Row{0, 4, true, false, 0x0A0703, 7, 3},    Row{0, 5, true, false, 0x0A0903, 9, 3},
                         Row{0, 6, true, false, 0x400103, 1, 3},    Row{0, 7, true, false, 0x440102, 1, 2},
                         Row{0, 8, true, false, 0x400203, 2, 3},    Row{0, 9, true, false, 0x450302, 3, 2},
                         Row{0, 10, true, false, 0x400303, 3, 3},   Row{0, 11, true, false, 0x0A0503, 5, 3},
                         Row{0, 12, true, false, 0x0A0403, 4, 3},   Row{0, 13, true, false, 0x400803, 8, 3},
                         Row{0, 14, true, false, 12, 0, 0},         Row{0, -1, true, false, 12, 0, 0},
                         Row{1, 0, true, false, 0x310309, 3, 9},    Row{1, 0, false, false, 0x330309, 3, 9},
                         Row{1, 1, true, false, 0x310307, 3, 7},    Row{1, 1, false, false, 0x330307, 3, 7},
                         Row{1, 1, true, true, 0xB10307, 3, 7},     Row{1, 2, true, false, 0x110507, 5, 7},
                         Row{1, 3, true, false, 0x110407, 4, 7},    Row{1, 4, true, false, 12, 0, 0},
                         Row{2, 2, true, false, 12, 0, 0}}) {
        const TMethodEntry e = LookUpMethod(r.index, r.page, r.imgNone, r.multi);
        EXPECT_EQ(e.code, r.code) << r.page << "/" << r.index;
        EXPECT_EQ(e.inputKind, r.in) << r.page << "/" << r.index;
        EXPECT_EQ(e.outputKind, r.out) << r.page << "/" << r.index;
    }
}

TEST(Progress, EtaMovesOnlyAfterTwoPercent) {
    TProgressMeter m;
    m.Reset();
    m.Start(1000);
    auto s = m.Step(1, 100, 1000);  // 1 %: shown, no ETA yet
    EXPECT_TRUE(s.changed);
    EXPECT_EQ(s.percent, 1);
    EXPECT_EQ(s.hours * 3600 + s.minutes * 60 + s.seconds, 0);
    EXPECT_FALSE(m.Step(1, 100, 1001).changed);  // same percent: nothing to show
    s = m.Step(2, 100, 1010);  // 2 % after 10 s: 10 s per 2 % -> 98 % need 490 s
    EXPECT_EQ(s.hours * 3600 + s.minutes * 60 + s.seconds, 10 * 98 / 2);
    s = m.Step(3, 100, 1050);  // moved by 1: labels change, the ETA stays
    EXPECT_TRUE(s.changed);
    EXPECT_EQ(s.percent, 3);
    EXPECT_EQ(s.hours * 3600 + s.minutes * 60 + s.seconds, 490);
    s = m.Step(4, 100, 1010);  // no time passed counts as 1 s: average (10 + 1) / 2
    EXPECT_EQ(s.hours * 3600 + s.minutes * 60 + s.seconds, 5 * 96 / 2);
    EXPECT_FALSE(m.Step(5, 0, 1020).changed);  // an empty track shows nothing
}

TEST(Progress, LabelsAndTitleDuringAndAfterAJob) {
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), dir / "o.mpg"), 0);
    const auto titles = job.title.history();
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles.back(), job.start.mainCaption);
    bool sawFull = false;
    for (const auto& t : titles) sawFull |= t.rfind("100% [ETA ", 0) == 0 && t.find("] - Pellmor") != std::string::npos;
    EXPECT_TRUE(sawFull);
    EXPECT_EQ(job.completed.caption(), "Completed:");
    EXPECT_EQ(job.startButton.caption(), "start");
    EXPECT_EQ(job.startButton.hint(), "Click here to begin processing");
    EXPECT_EQ(job.status.caption(), "");
    EXPECT_TRUE(job.previewButton.enabled());
    EXPECT_EQ(job.job.controls, nullptr);
}

TEST(StatusColour, FixCountAgainstTheThresholds) {
    struct Case {
        int32_t pass, warning;
        int32_t colour;
    };
    // The clean clip needs no fix: a count of 0.
    for (const Case& c : {Case{1, 5, 0x11}, Case{0, 5, 0x22}, Case{0, 0, 0x33}}) {
        harness::TempFolder dir;
        harness::Job job;
        job.config.FixMPEGErrors = 1;
        job.config.Pass_Clr = 0x11;
        job.config.Warning_Clr = 0x22;
        job.config.Error_Clr = 0x33;
        job.config.Pass_Threshold = c.pass;
        job.config.Warning_Threshold = c.warning;
        ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), dir / "o.mpg"), 0);
        EXPECT_EQ(job.indicator.color(), c.colour) << c.pass << "/" << c.warning;
        EXPECT_EQ(job.fixLabel.caption(), "Fixes: 0");
        EXPECT_EQ(job.splitLabel.caption(), "Splits: 0");
        EXPECT_EQ(job.paddingLabel.caption(), "Padding: 0");
    }
}

// ---- End of run and the batch window ----

struct BatchCase {
    const char* name;
    uint8_t batchActive;
    int16_t promptFlags;
    bool listening;
    bool answersBatch;
};

class BatchResult : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchResult, OnlyARealBatchTaskAnswersTheBatch) {
    const BatchCase& c = GetParam();
    for (bool good : {true, false}) {
        harness::TempFolder dir;
        harness::Job job;
        job.batchActive = c.batchActive;
        job.config.DisableErrorPrompts = c.promptFlags;
        job.batchListening = c.listening;
        job.openDialog.FileName = "in";
        const std::string source = good ? Fixture("clip_pal_vcd.mpg") : Fixture("bad_random.bin");
        job.LoadAndRun(Method::MpegToMpeg, source, dir / "o.mpg");
        // The end comes once, whatever the job did.
        ASSERT_EQ(job.outcomes.size(), 1u) << c.name;
        const TJobOutcome& end = job.outcomes[0];
        EXPECT_EQ(end.batchTask, c.answersBatch) << c.name;
        EXPECT_EQ(end.result == 0, good) << c.name;
        EXPECT_EQ(job.openDialog.FileName, c.answersBatch ? "" : "in") << c.name;
        EXPECT_EQ(job.job.controls, nullptr);
        EXPECT_EQ(job.runState.running.load(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, BatchResult,
                         ::testing::Values(BatchCase{"batch task", 1, int16_t(0xC000), true, true},
                                           BatchCase{"passive box alone", 1, 0, true, false},
                                           BatchCase{"no batch", 0, int16_t(0xC000), true, false},
                                           BatchCase{"batch not listening", 1, int16_t(0xA000), false, false}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return n;
                         });

TEST(JobEnd, ComesOnceAfterTheWorkersLastTouch) {
    // The window may start the next job from the end's handler.
    harness::TempFolder dir;
    harness::Job job;
    job.batchActive = 1;
    job.config.DisableErrorPrompts = int16_t(0xC000);
    job.config.buildListHeaderShown = 1;
    ASSERT_EQ(job.Load(Index(Method::MpegToMpeg), Fixture("clip_pal_vcd.mpg")), 0);
    job.job.method = Index(Method::MpegToMpeg);
    job.job.outputName = job.job.baseOutputName = dir / "o.mpg";
    auto jobCopy = job.TakeCopy(job.config, job.start);
    int ends = 0, running = -1;
    TJobOutcome end;
    jobCopy->onEnd = [&](TJobOutcome o) {
        ++ends;
        running = job.runState.running.load();
        end = std::move(o);
    };
    WriteThread::Create(std::move(jobCopy))->WaitFor();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(running, 0);
    EXPECT_TRUE(end.batchTask);
    EXPECT_EQ(end.result, 0);
    EXPECT_EQ(end.generatedFiles, "\"" + dir / "o.mpg" + "\" ");
    // Nothing of the window's changed until its side takes the end.
    EXPECT_EQ(job.config.buildListHeaderShown, 1);
    EXPECT_EQ(job.generated, "");
    ApplyJobOutcome(end, job.job, job.config, job.openDialog, job.saveDialog, job.generated);
    EXPECT_EQ(job.config.buildListHeaderShown, 0);
    EXPECT_EQ(job.generated, end.generatedFiles);
}

TEST(InitialiseRun, ShowsItselfWritesNoLogAndReportsSuccess) {
    harness::Job job;
    job.batchActive = 1;
    job.config.DisableErrorPrompts = int16_t(0xC000);
    job.job.pageMode = 1;
    EXPECT_EQ(job.Run(kInitialiseRun, ""), 0);
    EXPECT_TRUE(job.log.lines().empty());
    const auto status = job.status.history();
    EXPECT_NE(std::find(status.begin(), status.end(), "initialize"), status.end());
    const auto completed = job.completed.history();
    EXPECT_NE(std::find(completed.begin(), completed.end(), "100%"), completed.end());
    ASSERT_EQ(job.outcomes.size(), 1u);
    EXPECT_TRUE(job.outcomes[0].batchTask);
    EXPECT_EQ(job.outcomes[0].result, 0);
    EXPECT_EQ(job.runState.running.load(), 0);
}

TEST(MethodFailure, HeaderAndMultiFileLineButNoTrailer) {
    harness::Job job;
    job.job.trackTable->firstTrack = job.job.trackTable->lastTrack = 1;
    EXPECT_EQ(job.Run(0, "/nonexistent/out.mpg"), 12);
    EXPECT_TRUE(job.Logged("## Pellmor active : "));
    EXPECT_TRUE(job.Logged("     Setting multi-file output convention to '_%02d'"));
    EXPECT_FALSE(job.Logged("## Pellmor completed"));
    // Never silent: the log says which method it could not run.
    EXPECT_TRUE(job.Logged("[processing method 0]"));
    EXPECT_TRUE(job.Logged("Unable to locate MPEG-2 stream."));
    harness::Job unknown;
    unknown.job.trackTable->firstTrack = unknown.job.trackTable->lastTrack = 1;
    EXPECT_EQ(unknown.Run(99, "/nonexistent/out.mpg"), 12);
    EXPECT_TRUE(unknown.Logged("[processing method 99]"));
    // The video-cd page's builds come with that page: refused cleanly.
    harness::Job build;
    build.job.pageMode = 1;
    EXPECT_EQ(build.Run(1, "/nonexistent/out.bin"), 12);
}

// ---- Tracks and names ----

TEST(Tracks, OnlySelectedTracksAreProcessedAndNamed) {
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.Load(2, Fixture("vcd_pal3.cue")), 0);
    job.config.selectedTracksOnly = 1;
    job.start.selectedRows = {true, false, true};
    ASSERT_EQ(job.Run(2, dir / "movie.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    EXPECT_FALSE(harness::Exists(dir / "movie_02.mpg"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_03.mpg"), ReadFile(Fixture("clip_pal_vcd_c.mpg"))));
    EXPECT_TRUE(job.Logged("processed Track 1 "));
    EXPECT_FALSE(job.Logged("processed Track 2 "));
    EXPECT_TRUE(job.Logged("processed Track 3 "));
    // A skipped track adds no name to the generated files.
    EXPECT_EQ(job.generated, "\"" + (dir / "movie_01.mpg") + "\" \"" + (dir / "movie_03.mpg") + "\" ");
}

TEST(Tracks, SkippingInsideADiscImage) {
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.Load(12, Fixture("vcd_pal3.nrg")), 0);
    job.config.selectedTracksOnly = 1;
    job.start.selectedRows = {false, true, false};
    ASSERT_EQ(job.Run(12, dir / "movie.mpg"), 0);
    EXPECT_FALSE(harness::Exists(dir / "movie_01.mpg"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_02.mpg"), ReadFile(Fixture("clip_pal_vcd_b.mpg"))));
    EXPECT_FALSE(harness::Exists(dir / "movie_03.mpg"));
}

TEST(Names, MultiFileFormatIsAPatternNotAPrintfFormat) {
    struct Case {
        const char* pattern;
        const char* first;  // name of track 1, or "" when the pattern is refused
    };
    for (const Case& c : {Case{"_%02d", "movie_01.mpg"}, Case{"-part%d", "movie-part1.mpg"},
                          Case{"%%%03d", "movie%001.mpg"}, Case{"%s", ""}, Case{"%n%n", ""}, Case{"_%d_%d", ""},
                          Case{"plain", ""}}) {
        harness::TempFolder dir;
        harness::Job job;
        job.config.MultiFileFormat = c.pattern;
        const int r = job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "movie.mpg");
        if (*c.first) {
            EXPECT_EQ(r, 0) << c.pattern;
            EXPECT_TRUE(harness::Exists(dir / c.first)) << c.pattern;
        } else {
            EXPECT_NE(r, 0) << c.pattern;
            EXPECT_TRUE(job.Logged("Unable to create output file.")) << c.pattern;
            EXPECT_TRUE(std::filesystem::is_empty(dir.path)) << c.pattern;
        }
    }
}

TEST(Overwrite, TheQuestionDecides) {
    struct Case {
        int answer;
        int result;
        bool replaced;
        const char* line;
    };
    const std::string clip = ReadFile(Fixture("clip_pal_vcd.mpg"));
    for (const Case& c : {Case{platform::kYes, 0, true, "     Output file exists.  Overwrite? Yes"},
                          Case{platform::kNo, 9, false, "     Output file exists.  Overwrite? No"},
                          Case{platform::kCancel, 3, false, "     cancelled processing"}}) {
        harness::TempFolder dir;
        WriteFile(dir / "o.mpg", "old");
        harness::Job job;
        job.dialogs.script({c.answer});
        EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), dir / "o.mpg"), c.result);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "o.mpg"), c.replaced ? clip : std::string("old")));
        EXPECT_TRUE(job.Logged(c.line));
        ASSERT_EQ(job.dialogs.shown().size(), 1u);
        EXPECT_EQ(job.dialogs.shown()[0].message, "Overwrite existing file?");
        EXPECT_EQ(job.dialogs.shown()[0].caption, "o.mpg");
    }
}

TEST(Overwrite, TheSourceItselfIsNeverTheOutput) {
    // Larger than the file object's buffers, so a truncated source would show.
    std::string source;
    for (int i = 0; i < 20; ++i) source += ReadFile(Fixture("clip_pal_vcd.mpg"));
    harness::TempFolder dir;
    WriteFile(dir / "movie.mpg", source);
    harness::Job job;
    job.dialogs.script({platform::kYes});
    ASSERT_EQ(job.Load(10, dir / "movie.mpg"), 0);
    EXPECT_EQ(job.Run(10, dir.path + "/./movie.mpg"), 9);
    EXPECT_TRUE(job.Logged("Unable to create output file."));
    EXPECT_TRUE(job.dialogs.shown().empty());
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie.mpg"), source));
}

TEST(Passive, NothingIsWrittenAndNothingAsked) {
    harness::TempFolder dir;
    harness::Job job;
    job.config.passive = 1;
    job.config.FixMPEGErrors = 1;
    EXPECT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "movie.mpg"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
    EXPECT_FALSE(harness::Exists("nul"));
    EXPECT_TRUE(job.dialogs.shown().empty());
    EXPECT_EQ(job.Count("processed Track"), 3);
    EXPECT_EQ(job.generated, "");
}

TEST(Toast, RawSectorsAndTheCompanionFile) {
    harness::TempFolder dir;
    harness::Job job;
    job.config.ToastEnable = 1;
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "movie.mpg"), 0);
    const std::string out = ReadFile(dir / "movie_02.mpg");
    const std::string clip = ReadFile(Fixture("clip_pal_vcd_b.mpg"));
    ASSERT_EQ(out.size(), clip.size() / kPack * 2352);
    std::string payloads;
    for (size_t at = 0; at < out.size(); at += 2352) {
        EXPECT_TRUE(harness::SameBytes(out.substr(at, 12), std::string("\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 12)));
        const bool video = static_cast<uint8_t>(out[at + 24 + 15]) == 0xE0;
        EXPECT_TRUE(harness::SameBytes(out.substr(at + 16, 4), video ? std::string("\x01\x01\x62\x0F", 4) : std::string("\x01\x01\x64\x7F", 4)));
        payloads += out.substr(at + 24, kPack);
    }
    EXPECT_TRUE(harness::SameBytes(payloads, clip));
    EXPECT_EQ(ReadFile(dir / "movie_02.mpg.rsrc").size(), 22u);
}

// The companion is part of the output: an existing one is never replaced
// without the overwrite question, and the answer covers both files.
TEST(Toast, AnExistingCompanionIsAskedAbout) {
    harness::TempFolder dir;
    const std::string clip = Fixture("clip_pal_vcd.mpg");
    WriteFile(dir / "out.mpg.rsrc", "mine");
    harness::Job refused;
    refused.config.ToastEnable = 1;
    refused.dialogs.script({platform::kNo});
    EXPECT_EQ(refused.LoadAndRun(Method::MpegToMpeg, clip, dir / "out.mpg"), 9);
    EXPECT_EQ(ReadFile(dir / "out.mpg.rsrc"), "mine");
    EXPECT_FALSE(harness::Exists(dir / "out.mpg"));
    ASSERT_EQ(refused.dialogs.shown().size(), 1u);
    EXPECT_EQ(refused.dialogs.shown()[0].kind, "ask");

    harness::Job agreed;
    agreed.config.ToastEnable = 1;
    agreed.dialogs.script({platform::kYes});
    EXPECT_EQ(agreed.LoadAndRun(Method::MpegToMpeg, clip, dir / "out.mpg"), 0);
    EXPECT_EQ(ReadFile(dir / "out.mpg.rsrc").size(), 22u);
    EXPECT_TRUE(agreed.Logged("Output file exists.  Overwrite? Yes"));
}

// A dat's size fields are 32-bit: a track whose dat would pass 4 GiB is
// refused before anything is written (it once got 0xFFFFFFFF).
TEST(Sizes, DatPastFourGibibytesIsRefusedBeforeWriting) {
    harness::TempFolder dir;
    const std::string track = ReadFile(Fixture("vcd_pal3.bin")).substr(450 * 2352, 223 * 2352);
    const int fd = ::open((dir / "huge.bin").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, track.data(), track.size(), 2352), static_cast<ssize_t>(track.size()));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(1900000) * 2352), 0);  // 4.47 GB, sparse
    ::close(fd);
    WriteFile(dir / "huge.cue",
              "FILE \"huge.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
              "  TRACK 02 MODE2/2352\n    INDEX 01 00:00:01\n");
    harness::Job job;
    EXPECT_EQ(job.LoadAndRun(Method::CueBinToDat, dir / "huge.cue", dir / "huge.dat"), 9);
    EXPECT_TRUE(job.Logged("a dat file holds at most 4 GiB"));
    EXPECT_FALSE(harness::Exists(dir / "huge_01.dat"));
    EXPECT_FALSE(job.Logged("processed Track"));
}

TEST(Toast, SvcdVideoSectorsGetTheVideoSubheader) {
    harness::TempFolder dir;
    harness::Job job;
    job.config.ToastEnable = 1;
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("svcd_pal.cue"), dir / "movie.mpg"), 0);
    const std::string out = ReadFile(dir / "movie_01.mpg");
    ASSERT_EQ(out.size(), ReadFile(Fixture("clip_pal_svcd.mpg")).size() / kPack * 2352);
    int video = 0;
    for (size_t at = 0; at < out.size(); at += 2352) {
        // The stream byte of an MPEG-2 packet after its 14-byte pack header.
        const bool isVideo = static_cast<uint8_t>(out[at + 24 + 17]) == 0xE0;
        video += isVideo;
        EXPECT_TRUE(harness::SameBytes(out.substr(at + 16, 8), isVideo ? std::string("\x01\x01\x62\x0F\x01\x01\x62\x0F", 8)
                                                                        : std::string("\x01\x01\x64\x7F\x01\x01\x64\x7F", 8)))
            << at / 2352;
    }
    EXPECT_GT(video, 0);
}

// ---- Bad sources ----

struct BadCase {
    Method method;
    const char* source;
    int result;  // negative: the loading refuses it
    const char* message;
};

class BadSource : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadSource, ClearErrorAndNoOutput) {
    const BadCase& c = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    const int r = job.LoadAndRun(c.method, Fixture(c.source), dir / "out.mpg");
    EXPECT_EQ(r, c.result) << c.source;
    EXPECT_TRUE(job.Logged(c.message)) << c.source;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path)) << c.source;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, BadSource,
    ::testing::Values(
        BadCase{Method::CueBinToMpeg, "bad_no_mpeg.cue", 5, "Could not locate MPEG stream."},
        BadCase{Method::CueBinToMpeg, "bad_truncated.cue", 5, "Could not locate MPEG stream."},
        BadCase{Method::CueBinToMpeg, "bad_missing_bin.cue", -4, "Binary image file specified inside CUE file"},
        BadCase{Method::BinToMpeg, "bad_empty.bin", -5, "Unable to determine image sector size."},
        BadCase{Method::BinToMpeg, "bad_random.bin", -5, "Unable to determine image sector size."},
        BadCase{Method::RawToMpeg, "bad_empty.bin", 5, "Could not locate MPEG stream."},
        BadCase{Method::RawToMpeg, "bad_random.bin", 5, "Could not locate MPEG stream."},
        BadCase{Method::RawToDat, "bad_random.bin", 12, "Unable to determine image sector size."},
        BadCase{Method::DatToMpeg, "bad_random.bin", 5, "Could not locate MPEG stream."},
        BadCase{Method::MpegToDat, "bad_random.bin", 9, "Invalid MPEG pack size."},
        BadCase{Method::MpegToDat, "mpeg_2048packs.mpg", 9, "Invalid MPEG pack size."},
        BadCase{Method::MpegToMpeg, "bad_empty.bin", 12, "Unable to determine image sector size."},
        BadCase{Method::MpegToMpeg, "bad_random.bin", 12, "Unable to determine image sector size."},
        BadCase{Method::SfdToMpeg, "bad_random.bin", 5, "Could not locate MPEG stream."},
        BadCase{Method::MpegToMpeg, "no_such_file.mpg", 4, "Source file could not be opened or accessed."}),
    [](const auto& info) {
        std::string n = "method" + std::to_string(Index(info.param.method)) + "_" + info.param.source;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

TEST(BadSource, TruncatedImageGivesWhatItHoldsAndReportsTheRest) {
    // The image ends inside the data of track 2 of 3.
    harness::TempFolder dir;
    const std::string bin = ReadFile(Fixture("vcd_pal3.bin"));
    WriteFile(dir / "cut.bin", bin.substr(0, 800 * 2352));
    std::string cue = ReadFile(Fixture("vcd_pal3.cue"));
    cue.replace(cue.find("vcd_pal3.bin"), 12, "cut.bin");
    WriteFile(dir / "cut.cue", cue);
    harness::Job job;
    // Streams are missing: no success, and the log names each track.
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, dir / "cut.cue", dir / "movie.mpg"), 5);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    const std::string part = ReadFile(dir / "movie_02.mpg");
    const std::string clip = ReadFile(Fixture("clip_pal_vcd_b.mpg"));
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), clip.size());
    EXPECT_EQ(part, clip.substr(0, part.size()));
    EXPECT_FALSE(harness::Exists(dir / "movie_03.mpg"));
    EXPECT_TRUE(job.Logged("[cut.bin, Track 2]"));
    EXPECT_TRUE(job.Logged("[cut.bin, Track 3]"));
    EXPECT_TRUE(job.Logged("Track will be truncated."));
    EXPECT_TRUE(job.Logged("Could not locate MPEG stream."));
    EXPECT_EQ(job.indicator.color(), job.config.Error_Clr);

    // A cue whose last track starts past the end of its image (the fault
    // this mends gave result 0 and the pass colour).
    WriteFile(dir / "short.bin", bin.substr(0, 1000 * 2352));
    cue = ReadFile(Fixture("vcd_pal3.cue"));
    cue.replace(cue.find("vcd_pal3.bin"), 12, "short.bin");
    WriteFile(dir / "short.cue", cue);
    harness::Job past;
    ASSERT_EQ(past.LoadAndRun(Method::CueBinToMpeg, dir / "short.cue", dir / "short.mpg"), 5);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "short_01.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "short_02.mpg"), ReadFile(Fixture("clip_pal_vcd_b.mpg"))));
    EXPECT_FALSE(harness::Exists(dir / "short_03.mpg"));
    EXPECT_TRUE(past.Logged("[short.bin, Track 3]"));
    EXPECT_NE(past.indicator.color(), past.config.Pass_Clr);
}

// "Include Track 0" lists the data track: its search stays inside it, so it
// gets no stream and no output instead of the start of the next track.
TEST(Tracks, TrackZeroIsTheDataTrackAndHasNoStream) {
    harness::TempFolder dir;
    for (Method method : {Method::CueBinToMpeg, Method::TocBinToMpeg}) {
        SCOPED_TRACE(Index(method));
        harness::Job job;
        const std::string source = Fixture(method == Method::CueBinToMpeg ? "vcd_pal3.cue" : "vcd_pal3.toc");
        ASSERT_EQ(job.Load(Index(method), source), 0);
        job.job.trackTable->firstTrack = 0;
        const std::string base = method == Method::CueBinToMpeg ? "cue" : "toc";
        ASSERT_EQ(job.Run(Index(method), dir / (base + ".mpg")), 0);
        EXPECT_FALSE(harness::Exists(dir / (base + "_00.mpg")));
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / (base + "_01.mpg")), ReadFile(Fixture("clip_pal_vcd.mpg"))));
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / (base + "_03.mpg")), ReadFile(Fixture("clip_pal_vcd_c.mpg"))));
        EXPECT_TRUE(job.Logged("[vcd_pal3.bin, Track 0]"));
        EXPECT_EQ(job.Count("Could not locate MPEG stream."), 1);
        EXPECT_EQ(job.Count("processed Track"), 3);
        // A track without its stream is no pass.
        EXPECT_EQ(job.indicator.color(), job.config.Warning_Clr);
    }
}

// ---- Bumper ----

TEST(Bumper, SkippedUpToTheNextPackAfterItsLastEndCode) {
    // A one-sector bumper: a padding pack that names the bumper file and ends
    // its sequence a few bytes before the sector's end.
    std::string bumper = ReadFile(Fixture("clip_pal_vcd_b.mpg")).substr(0, kPack);
    bumper.replace(100, 11, "CDI_BUM.DAT");
    bumper.replace(kPack - 6, 4, std::string("\x00\x00\x01\xB9", 4));
    const std::string movie = ReadFile(Fixture("clip_pal_vcd.mpg"));
    ASSERT_EQ(movie.find(std::string("\x00\x00\x01\xB9", 4)), std::string::npos);
    harness::TempFolder dir;
    WriteFile(dir / "cdi.mpg", bumper + movie);
    for (bool fix : {false, true}) {
        harness::Job job;
        job.config.RemoveCDIBumper = 1;
        job.config.FixMPEGErrors = fix ? 1 : 0;
        ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, dir / "cdi.mpg", dir / "out.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "out.mpg"), movie)) << fix;
        EXPECT_TRUE(job.Logged("     CD-i MPEG sequence"));
        EXPECT_EQ(job.config.bumperRemoved, 1);
    }
    harness::Job plain;
    plain.config.RemoveCDIBumper = 1;
    ASSERT_EQ(plain.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), dir / "plain.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "plain.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    EXPECT_TRUE(plain.Logged("     no CD-i MPEG sequence found"));
}

// ---- Sizes of jobs ----

std::string RawSector(const std::string& payload, const char* subheader4) {
    std::string s("\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 12);
    s += std::string("\x00\x02\x00\x02", 4);
    s += std::string(subheader4, 4) + std::string(subheader4, 4);
    s += payload;
    s.resize(2352, '\0');
    return s;
}

TEST(Sizes, NinetyNineTracks) {
    // 99 MPEG tracks, the first of them in the sheet's TRACK 01 (listed as
    // track 0, as "Include Track 0" lists it).
    const std::string clip = ReadFile(Fixture("clip_pal_vcd.mpg"));
    const std::string packs = clip.substr(0, 2 * kPack);
    std::string bin;
    std::string cue = "FILE \"many.bin\" BINARY\n";
    for (int t = 1; t <= 99; ++t) {
        const size_t sector = bin.size() / 2352;
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d MODE2/2352\n    INDEX 01 %02zu:%02zu:%02zu\n", t, sector / 4500,
                      sector / 75 % 60, sector % 75);
        cue += line;
        bin += RawSector(packs.substr(0, kPack), "\x01\x01\x64\x7F");
        bin += RawSector(packs.substr(kPack), "\x01\x01\x62\x0F");
        bin += RawSector("", "\x01\x00\x60\x00");
    }
    harness::TempFolder dir;
    WriteFile(dir / "many.bin", bin);
    WriteFile(dir / "many.cue", cue);
    harness::Job job;
    ASSERT_EQ(job.Load(2, dir / "many.cue"), 0) << ::testing::PrintToString(job.Lines());
    job.job.trackTable->firstTrack = 0;
    ASSERT_EQ(job.Run(2, dir / "t.mpg"), 0);
    for (int t = 0; t <= 98; ++t) {
        char name[16];
        std::snprintf(name, sizeof name, "t_%02d.mpg", t);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / name), packs)) << name;
    }
    EXPECT_EQ(job.Count("processed Track"), 99);
}

TEST(Sizes, TrackBeyondFourGibibytes) {
    harness::TempFolder dir;
    const std::string bin = ReadFile(Fixture("vcd_pal3.bin"));
    // Sectors 450..672 of the fixture hold track 2 (front margin, data, end margin).
    const std::string track = bin.substr(450 * 2352, (673 - 450) * 2352);
    const uint64_t near = 1;
    const uint64_t far = 1900000;  // 4.47 GB in, after a sparse hole
    const int fd = ::open((dir / "big.bin").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (uint64_t at : {near, far})
        ASSERT_EQ(::pwrite(fd, track.data(), track.size(), static_cast<off_t>(at * 2352)),
                  static_cast<ssize_t>(track.size()));
    ::close(fd);
    char cue[320];
    std::snprintf(cue, sizeof cue,
                  "FILE \"big.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 MODE2/2352\n    INDEX 01 00:00:01\n"
                  "  TRACK 03 MODE2/2352\n    INDEX 01 %02llu:%02llu:%02llu\n",
                  static_cast<unsigned long long>(far / 4500), static_cast<unsigned long long>(far / 75 % 60),
                  static_cast<unsigned long long>(far % 75));
    WriteFile(dir / "big.cue", cue);
    for (Method method : {Method::CueBinToMpeg, Method::CueBinToDat}) {
        harness::Job job;
        // Tracks are picked in the list the load fills.
        ASSERT_EQ(job.Load(Index(method), dir / "big.cue"), 0);
        job.config.selectedTracksOnly = 1;
        job.start.selectedRows = {false, true};
        ASSERT_EQ(job.Run(Index(method), dir / (method == Method::CueBinToMpeg ? "big.mpg" : "big.dat")), 0);
    }
    EXPECT_FALSE(harness::Exists(dir / "big_01.mpg"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "big_02.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    const std::string dat = ReadFile(dir / "big_02.dat");
    EXPECT_TRUE(harness::SameBytes(dat.substr(44), track));
}

}  // namespace

namespace {

// An output that cannot be made or written is an error, never a success.
TEST(OutputFailure, MissingFolderOrFullDisk) {
    {
        harness::Job job;
        EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), "/nonexistent-folder/out.mpg"), 9);
        EXPECT_TRUE(job.Logged("Unable to create output file."));
        EXPECT_FALSE(job.Logged("processed Track"));
    }
    for (bool fix : {false, true}) {
        harness::Job job;
        job.config.FixMPEGErrors = fix ? 1 : 0;
        EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), "/dev/full"), 9) << fix;
        EXPECT_EQ(job.Count("Unable to create output file."), 1) << fix;
        EXPECT_TRUE(job.Logged("## Pellmor completed")) << fix;
    }
}

}  // namespace

namespace {

// What escapes the work of the worker thread ends the job as failed and says
// so; the program goes on. The progress bar is the seam: it throws on the
// worker thread in the middle of a track, as a failed allocation would.
TEST(Escapes, AThrowMidTrackFailsTheJobAndRemovesItsPartialOutput) {
    struct Case {
        std::function<void()> toss;
        std::string line;
    };
    const Case cases[] = {
        {[] { throw std::bad_alloc(); }, "Memory allocation error."},
        {[] { throw std::runtime_error("disk on fire"); }, "Internal error: disk on fire"},
        {[] { throw 7; }, "Internal error: an exception of unknown type"},
    };
    for (const Case& c : cases) {
        harness::TempFolder dir;
        harness::Job job;
        bool thrown = false;
        job.progress.onPosition = [&](int percent) {
            if (!thrown && percent >= 10 && job.status.caption().find("writing") != std::string::npos) {
                thrown = true;
                c.toss();
            }
        };
        EXPECT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "m.mpg"), 12) << c.line;
        ASSERT_TRUE(thrown) << c.line;
        EXPECT_TRUE(job.Logged(c.line)) << c.line << "\n" << ::testing::PrintToString(job.Lines());
        EXPECT_TRUE(job.Logged("[ incomplete output removed ] " + (dir / "m_01.mpg"))) << c.line;
        EXPECT_FALSE(harness::Exists(dir / "m_01.mpg")) << c.line;
        EXPECT_FALSE(job.Logged("processed Track")) << c.line;
        EXPECT_EQ(job.runState.running.load(), 0) << c.line;
        EXPECT_EQ(job.startButton.caption(), "start") << c.line;
    }
}

}  // namespace
