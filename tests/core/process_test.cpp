#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/temp_file.h"
#include "tests/support/process_fake.h"

namespace fs = std::filesystem;
using platform::ProcessEnd;
using platform::RunToEnd;
using platform::ShellCommand;

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = CreateTempDir("process_test_"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string readFile(const std::string& name) const {
        std::ifstream in(path(name));
        std::string s;
        std::getline(in, s);
        return s;
    }
    std::string dir_;
};

TEST_F(ProcessTest, ArgumentsArriveOneByOneWithoutAShell) {
    const std::string script = path("args.sh");
    std::ofstream(script) << "#!/bin/sh\nfor a; do printf '[%s]\\n' \"$a\" >&2; done\nexit 4\n";
    fs::permissions(script, fs::perms::owner_all);
    const std::string touched = path("x");
    ProcessEnd end = RunToEnd({script, "a b", "it's", "x;y", "-n", "$(touch " + touched + ")", ""}, dir_);
    EXPECT_TRUE(end.started);
    EXPECT_EQ(end.exitStatus, 4);
    EXPECT_FALSE(end.succeeded());
    EXPECT_EQ(end.errorOutput, "[a b]\n[it's]\n[x;y]\n[-n]\n[$(touch " + touched + ")]\n[]\n");
    EXPECT_FALSE(fs::exists(touched));
    // The error output file was private and is gone.
    fs::remove(script);
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(ProcessTest, ChildReadsEndOfFileAndWritesNothingBack) {
    const auto t0 = std::chrono::steady_clock::now();
    ProcessEnd end = RunToEnd({"cat"}, dir_);
    EXPECT_TRUE(end.succeeded());
    end = RunToEnd(ShellCommand("cat; echo to-stdout"), dir_);
    EXPECT_TRUE(end.succeeded());
    EXPECT_EQ(end.errorOutput, "");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(ProcessTest, ExitStatusSignalsAndStartFailures) {
    ProcessEnd end = RunToEnd(ShellCommand("echo oops >&2; exit 3"), dir_);
    EXPECT_EQ(end.exitStatus, 3);
    EXPECT_EQ(end.errorOutput, "oops\n");
    end = RunToEnd(ShellCommand("kill -9 $$"), dir_);
    EXPECT_TRUE(end.started);
    EXPECT_EQ(end.signal, SIGKILL);
    EXPECT_FALSE(end.succeeded());
    end = RunToEnd({"true"}, dir_);
    EXPECT_TRUE(end.succeeded());
    end = RunToEnd({path("no-such-program")}, dir_);
    EXPECT_FALSE(end.started);
    EXPECT_FALSE(end.succeeded());
    end = RunToEnd({"true"}, path("no-such-folder"));
    EXPECT_FALSE(end.started) << "no private error file, no child";
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(ProcessTest, NoDescriptorButTheStandardThreeIsInherited) {
    int fd = ::open("/dev/null", O_RDONLY);  // no close-on-exec on purpose
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 47), 47);
    ProcessEnd end = RunToEnd(ShellCommand("for f in 3 4 5 47; do [ -e /proc/self/fd/$f ] && echo $f >&2; done; exit 0"), dir_);
    ::close(47);
    ::close(fd);
    EXPECT_TRUE(end.succeeded());
    EXPECT_EQ(end.errorOutput, "");
}

TEST_F(ProcessTest, ChildLeadsItsOwnProcessGroup) {
    ProcessEnd end = RunToEnd(ShellCommand("echo $$ $(cut -d' ' -f5 /proc/$$/stat) >&2"), dir_);
    ASSERT_TRUE(end.succeeded());
    std::istringstream in(end.errorOutput);
    long pid = 0, group = 0;
    in >> pid >> group;
    EXPECT_GT(pid, 0);
    EXPECT_EQ(pid, group);
    EXPECT_NE(group, static_cast<long>(::getpgrp()));
}

// A stop reaches the whole group; a child that ignores SIGTERM is killed.
TEST_F(ProcessTest, TerminateEndsTheGroup) {
    struct Case {
        std::string line;
        int signal;
        int minSeconds, maxSeconds;
    };
    const Case cases[] = {
        {"echo $$ > " + path("pid") + "; sleep 60 & sleep 60; wait", SIGTERM, 0, 3},
        {"trap '' TERM; echo $$ > " + path("pid") + "; sleep 60", SIGKILL, 4, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        fs::remove(path("pid"));
        fakes::EventQueue events;
        auto process = platform::MakePosixProcess(events.poster());
        bool ended = false;
        ProcessEnd end;
        std::thread::id handlerThread;
        ASSERT_TRUE(process->start(ShellCommand(c.line), dir_, [&](const ProcessEnd& e) {
            end = e, ended = true, handlerThread = std::this_thread::get_id();
        }));
        EXPECT_TRUE(process->running());
        EXPECT_FALSE(process->start({"true"}, dir_, nullptr)) << "one child at a time";
        for (int i = 0; i < 200 && readFile("pid").empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const pid_t group = std::stoi(readFile("pid"));
        const auto t0 = std::chrono::steady_clock::now();
        process->terminate();
        ASSERT_TRUE(events.runUntil([&] { return ended; }, std::chrono::seconds(10)));
        const auto took = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(took, std::chrono::seconds(c.minSeconds));
        EXPECT_LT(took, std::chrono::seconds(c.maxSeconds));
        EXPECT_EQ(handlerThread, std::this_thread::get_id()) << "the end comes back through the poster";
        EXPECT_EQ(end.signal, c.signal);
        EXPECT_FALSE(end.succeeded());
        EXPECT_FALSE(process->running());
        for (int i = 0; i < 100 && ::kill(-group, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(::kill(-group, 0), -1) << "nothing of the group is left";
    }
}

TEST_F(ProcessTest, NextChildCanStartFromTheEndHandler) {
    auto process = platform::MakePosixProcess(nullptr);
    std::promise<int> second;
    auto result = second.get_future();
    process->start({"false"}, dir_, [&](const ProcessEnd& first) {
        EXPECT_EQ(first.exitStatus, 1);
        process->start({"true"}, dir_, [&](const ProcessEnd& e) { second.set_value(e.exitStatus); });
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
}

}  // namespace

namespace {

// What escapes the waiter's thread fails the child's task instead of ending
// the program: a poster that throws once, as a failed allocation would,
// still brings the end, as a failure that says why.
TEST_F(ProcessTest, AThrowOnTheWaitersThreadIsAFailedEnd) {
    std::promise<ProcessEnd> done;
    std::future<ProcessEnd> result = done.get_future();
    std::atomic<int> posts{0};
    auto process = platform::MakePosixProcess([&](std::function<void()> call) {
        if (posts++ == 0) throw std::runtime_error("no queue");
        call();
    });
    ASSERT_TRUE(process->start({"true"}, dir_, [&done](const ProcessEnd& end) { done.set_value(end); }));
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const ProcessEnd end = result.get();
    EXPECT_FALSE(end.succeeded()) << "a child that ran is not known to have passed";
    EXPECT_EQ(end.errorOutput, "Internal error: no queue");
    EXPECT_EQ(posts.load(), 2);
    process.reset();
    EXPECT_TRUE(fs::is_empty(dir_)) << "the error output file is gone";
}

}  // namespace
