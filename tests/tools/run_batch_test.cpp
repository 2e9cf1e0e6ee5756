// run_batch from outside: tasks handed over as "-->" does, a list saved and
// run again after the program has closed, and the exit statuses.
#include <unistd.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "batch/batch_list.h"
#include "batch/batch_list_file.h"
#include "tests/engine/job_harness.h"

namespace fs = std::filesystem;
using harness::Fixture;
using harness::Outcome;

namespace {

const std::string kRunBatch = std::string(PELLMOR_BUILD_DIR) + "/tests/run_batch";

class RunBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kRunBatch)) GTEST_SKIP() << "run_batch is built with the windows only";
        fs::create_directories(dir_ / "temp");
        fs::create_directories(dir_ / "out");
    }
    Outcome Run(const std::string& args) {
        return harness::RunShell(kRunBatch + " --set TempDirectory=" + (dir_ / "temp") + " " + args + " 2>&1");
    }
    // A list of the given rows, written as the batch window writes one.
    std::string List(const std::string& name, const std::vector<StoredTask>& tasks) {
        const std::string path = dir_ / name;
        EXPECT_EQ(WriteBatchListFile(path, tasks), 0);
        return path;
    }
    static bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

    harness::TempFolder dir_;
};

// Two sheets handed over, saved, run; the saved list runs again after the
// program that wrote it has closed, and gives the same files.
TEST_F(RunBatch, ProjectsRunAndTheSavedListRunsAgain) {
    const std::string list = dir_ / "night.ktq";
    const Outcome first = Run("--project 2 " + Fixture("vcd_pal3.cue") + " " + (dir_ / "out/pal.mpg") +
                              " --project 2 " + Fixture("vcd_ntsc.cue") + " " + (dir_ / "out/ntsc.mpg") + " --save " +
                              list + " --print --run");
    ASSERT_EQ(first.status, 0) << first.out;
    EXPECT_TRUE(Has(first.out, "1\tLoad task project\t\tStop Batch / Query YES\t" + (dir_ / ("temp/pellmor-" + std::to_string(::getuid()) + "/~")))) << first.out;
    EXPECT_TRUE(Has(first.out, "-- Task #2 "));
    EXPECT_TRUE(Has(first.out, "task 1: completed\ntask 2: completed\n")) << first.out;
    const auto manifest = harness::Manifest();
    auto check = [&] {
        for (int t = 0; t < 3; ++t)
            EXPECT_EQ(harness::Md5(dir_ / ("out/pal_0" + std::to_string(t + 1) + ".mpg")),
                      manifest.at("vcd_pal3.cue")[size_t(t)].md5);
        EXPECT_EQ(harness::Md5(dir_ / "out/ntsc_01.mpg"), manifest.at("vcd_ntsc.cue")[0].md5);
    };
    check();
    fs::remove_all(dir_ / "out");
    fs::create_directories(dir_ / "out");
    const Outcome again = Run("--list " + list + " --run");
    ASSERT_EQ(again.status, 0) << again.out;
    check();
}

TEST_F(RunBatch, ExitStatusSaysHowTheBatchEnded) {
    std::ofstream(dir_ / "broken.ktq") << "KTQ#";
    const std::string stop = TaskOptionsText(kStopBatch, kQueryYes), go = TaskOptionsText(kContinueBatch, kQueryYes);
    const struct {
        const char* what;
        std::string args;
        int status;
    } cases[] = {
        {"all completed or bypassed",
         "--list " + List("ok.ktq", {{"Execute command", stop, "true", ""}, {"Delete RAR archive", stop, "", ""}}) +
             " --run",
         0},
        {"a task failed",
         "--list " + List("fails.ktq", {{"Execute command", go, "echo oops >&2; exit 3", ""},
                                        {"Execute command", stop, "true", ""}}) +
             " --run",
         1},
        {"cannot be opened", "--list " + (dir_ / "missing.ktq") + " --run", 6},
        {"invalid", "--list " + (dir_ / "broken.ktq") + " --run", 17},
        {"usage", "--project 14 a b", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = Run(c.args);
        EXPECT_EQ(o.status, c.status) << o.out;
    }
    const Outcome failed = Run("--list " + (dir_ / "fails.ktq") + " --run");
    EXPECT_TRUE(Has(failed.out, "FAILED:\noops\n")) << failed.out;
    EXPECT_TRUE(Has(failed.out, "task 1: failed\ntask 2: completed\n")) << failed.out;
}

// A stop during a child ends the child and the batch: exit 3, quickly.
TEST_F(RunBatch, StopAfterEndsTheRunningChild) {
    const std::string list = List("sleep.ktq", {{"Execute command", TaskOptionsText(kStopBatch, kQueryYes), "sleep 60", ""},
                                                {"Execute command", TaskOptionsText(kStopBatch, kQueryYes), "true", ""}});
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = Run("--list " + list + " --stop-after 0.5 --run");
    EXPECT_EQ(o.status, 3) << o.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(Has(o.out, "task 1: failed\ntask 2: \n")) << o.out;
}

// A RAR load from outside: its rows, run with unar, give the clip beside
// the archive, and the list saved after it names what it wrote.
TEST_F(RunBatch, ArchiveLoadAddsItsRowsAndRuns) {
    if (std::system("command -v unar >/dev/null") != 0) GTEST_SKIP() << "unar missing";
    fs::create_directories(dir_ / "in");
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01"})
        fs::copy_file(Fixture(std::string("rar/") + name), dir_ / ("in/" + std::string(name)));
    const Outcome o = Run("--project 0 " + (dir_ / "in/vcd_ntsc_set.rar") + " unused --save " + (dir_ / "rar.ktq") +
                          " --print --run");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_TRUE(Has(o.out, "2\tDecompress archive\t\tStop Batch / Query YES\t\"" + (dir_ / "in/vcd_ntsc_set.rar")))
        << o.out;
    EXPECT_TRUE(Has(o.out, "task 4: completed\n")) << o.out;
    EXPECT_EQ(harness::Md5(dir_ / "in/vcd_ntsc_01.mpg"), harness::Manifest().at("vcd_ntsc.cue")[0].md5);
    std::vector<StoredTask> saved;
    ASSERT_EQ(ReadBatchListFile(dir_ / "rar.ktq", saved), 0);
    EXPECT_EQ(saved.size(), 4u);
}

}  // namespace
