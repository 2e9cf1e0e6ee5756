// The worker runs from its own copy of the window's records: the window may
// change its options, dialog states and generated-files list while a job
// runs, and the job's end comes back once, queued to the window's thread.
// The test thread plays the GUI thread and pumps an event queue.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "tests/engine/job_harness.h"
#include "tests/support/process_fake.h"

using harness::Fixture;

namespace {

// The window's side: it takes the copy, starts the worker, and handles the
// queued end as JobEnded does (join the worker first, then take the end).
struct Window {
    explicit Window(harness::Job& job) : job(job) {}

    void Start(int method, const std::string& output) {
        job.job.method = method;
        job.job.outputName = job.job.baseOutputName = output;
        auto jobCopy = job.TakeCopy(job.config, job.start);
        jobCopy->onEnd = [this](TJobOutcome outcome) {
            events.post([this, outcome = std::move(outcome)] { JobEnded(outcome); });
        };
        ASSERT_EQ(worker, nullptr) << "a second worker";
        worker = WriteThread::Create(std::move(jobCopy));
    }

    void JobEnded(const TJobOutcome& outcome) {
        worker->WaitFor();
        worker.reset();
        ApplyJobOutcome(outcome, job.job, job.config, job.openDialog, job.saveDialog, job.generated);
        ends.push_back(outcome);
        if (onJobEnded && outcome.batchTask) onJobEnded(outcome.result);
    }

    harness::Job& job;
    fakes::EventQueue events;
    std::shared_ptr<WriteThread> worker;
    std::vector<TJobOutcome> ends;
    std::function<void(int)> onJobEnded;
};

TEST(JobCopy, WindowChangesDuringAJobLeaveItsOutputsAlone) {
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    job.config.MultiFileFormat = "_%02d";
    job.openDialog.FileName = Fixture("vcd_pal3.cue");
    job.saveDialog.FileName = dir / "movie.mpg";
    job.generated = "\"old.mpg\" ";
    ASSERT_EQ(job.Load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue")), 0);

    // The worker holds inside its first track until the window has changed
    // everything once, so the later tracks run on after the changes.
    std::mutex m;
    std::condition_variable cv;
    bool inTrack = false, changed = false;
    job.progress.onPosition = [&](int) {
        std::unique_lock lock(m);
        if (inTrack) return;
        inTrack = true;
        cv.notify_all();
        cv.wait(lock, [&] { return changed; });
    };

    Window w(job);
    w.Start(Index(Method::CueBinToMpeg), dir / "movie.mpg");
    int round = 0;
    auto change = [&] {
        ++round;
        job.config.MultiFileFormat = "-x" + std::to_string(round) + "_%d";
        job.config.FixMPEGErrors = round % 2;
        job.config.passive = 1;
        job.config.ToastEnable = 1;
        job.config.DisableMPEGPadding = 1;
        job.config.DisableErrorPrompts = int16_t(0xC000);
        job.config.TempDirectory = "/nonexistent";
        job.openDialog.FileName = "elsewhere.cue";
        job.openDialog.Files = {"a.cue", "b.cue"};
        job.saveDialog.FileName = "/nonexistent/out.mpg";
        job.generated = "\"changed" + std::to_string(round) + ".mpg\" ";
    };
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return inTrack; }));
    }
    change();
    {
        std::lock_guard lock(m);
        changed = true;
    }
    cv.notify_all();
    // Changes go on, between the window's events, until the end arrives.
    while (w.ends.empty() && round < 200000) {
        change();
        w.events.runUntil([&] { return !w.ends.empty(); }, std::chrono::milliseconds(1));
    }
    ASSERT_EQ(w.ends.size(), 1u);
    EXPECT_EQ(w.worker, nullptr);

    const TJobOutcome& end = w.ends[0];
    EXPECT_EQ(end.result, 0);
    EXPECT_FALSE(end.batchTask);
    const auto ripped = harness::Manifest().at("vcd_pal3.cue");
    std::string expected;
    for (size_t i = 0; i < ripped.size(); ++i) {
        const std::string out = dir / ("movie_0" + std::to_string(i + 1) + ".mpg");
        expected += "\"" + out + "\" ";
        ASSERT_TRUE(harness::Exists(out)) << out;
        EXPECT_EQ(harness::Md5(out), ripped[i].md5) << out;
    }
    EXPECT_EQ(end.generatedFiles, expected);
    EXPECT_TRUE(job.Logged("Setting multi-file output convention to '_%02d'"));
    EXPECT_EQ(job.Count("processed Track"), 3);
    // The end replaces the list, and leaves the window's own changes be.
    EXPECT_EQ(job.generated, expected);
    EXPECT_EQ(job.openDialog.FileName, "elsewhere.cue");
    EXPECT_EQ(job.config.MultiFileFormat, "-x" + std::to_string(round) + "_%d");
}

TEST(JobCopy, QueuedEndsRunABatchOneWorkerAtATime) {
    // The batch's next job starts from the end's handler, after the old
    // worker was joined; the result travels as the job's code.
    harness::TempFolder dir;
    harness::Job job;
    job.batchActive = 1;
    job.config.DisableErrorPrompts = int16_t(0xC000);
    const std::vector<std::string> sources = {Fixture("clip_pal_vcd.mpg"), Fixture("bad_random.bin"),
                                              Fixture("clip_ntsc_vcd.mpg")};
    Window w(job);
    std::vector<int> results;
    size_t next = 0;
    auto startNext = [&] {
        const std::string source = sources[next];
        job.openDialog.FileName = source;
        job.saveDialog.FileName = dir / ("o" + std::to_string(next) + ".mpg");
        ASSERT_EQ(job.Load(Index(Method::MpegToMpeg), source), 0);
        w.Start(Index(Method::MpegToMpeg), job.saveDialog.FileName);
        ++next;
    };
    w.onJobEnded = [&](int result) {
        results.push_back(result);
        // A batch task's end empties the dialogs before the next task.
        EXPECT_EQ(job.openDialog.FileName, "");
        EXPECT_EQ(job.saveDialog.FileName, "");
        if (next < sources.size()) startNext();
    };
    startNext();
    ASSERT_TRUE(w.events.runUntil([&] { return results.size() == sources.size(); }));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0], 0);
    EXPECT_NE(results[1], 0);
    EXPECT_EQ(results[2], 0);
    EXPECT_EQ(w.worker, nullptr);
    EXPECT_TRUE(harness::SameBytes(harness::ReadFile(dir / "o2.mpg"), harness::ReadFile(sources[2])));
}

}  // namespace
