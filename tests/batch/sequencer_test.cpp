#include "batch/sequencer.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/temp_file.h"
#include "tests/support/fakes.h"
#include "tests/support/process_fake.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// The main window's side: records what the batch asks and answers task
// projects with the scripted result codes through the event queue.
class FakeHost : public BatchHost {
public:
    explicit FakeHost(fakes::EventQueue& events) : events_(events) {}
    void SetTaskRunning(uint8_t on) override { taskRunning.push_back(on); }
    void SetJobRunning(uint8_t on) override {
        jobRunning.push_back(on);
        if (on == 0 && held) answer(1);  // a stopped job fails
    }
    void ResetPage(int) override { ++resets; }
    int pageMode() const override { return 0; }
    std::string generatedFiles() const override { return files; }
    void setGeneratedFiles(const std::string& f) override { files = f; }
    void ShowFirstPage() override { ++firstPage; }
    void StartInitialiseRun() override {
        calls.push_back("<<thread.init>>");
        flagsAtStart.push_back(promptFlags ? *promptFlags : 0);
        start(initResult);
    }
    void StartTaskProject(const std::string& path) override {
        calls.push_back(path);
        flagsAtStart.push_back(promptFlags ? *promptFlags : 0);
        if (onProject) onProject(path);
        auto it = results.find(path);
        start(it == results.end() ? 0 : it->second);
    }
    void answer(int result) {
        held = false;
        events_.post([this, result] { sequencer->returnThreadSignalChange(result); });
    }

    TBatchSequencer* sequencer = nullptr;
    const int16_t* promptFlags = nullptr;
    std::map<std::string, int> results;  // by project path; 0 when missing
    std::function<void(const std::string&)> onProject;  // the window's reading of it
    int initResult = 0;
    bool holdJobs = false;  // jobs run until stopped
    bool held = false;
    std::string files;
    Strings calls;
    std::vector<int> taskRunning, jobRunning;
    std::vector<int16_t> flagsAtStart;
    int resets = 0, firstPage = 0;

private:
    void start(int result) {
        if (holdJobs) {
            held = true;
            return;
        }
        answer(result);
    }
    fakes::EventQueue& events_;
};

class FakeSfv : public SfvRunner {
public:
    explicit FakeSfv(fakes::EventQueue& events) : events_(events) {}
    void start(bool create, const std::string& parameters, int, EndHandler onEnd) override {
        runs.push_back((create ? "create " : "verify ") + parameters);
        end_ = std::move(onEnd);
        if (!hold) finish(ok);
    }
    void stop() override {
        ++stops;
        finish(false);
    }
    void finish(bool result) {
        if (!end_) return;
        auto end = std::move(end_);
        end_ = nullptr;
        events_.post([end, result, this] { end(result, result ? output : std::string()); });
    }
    bool ok = true, hold = false;
    std::string output;
    Strings runs;
    int stops = 0;

private:
    EndHandler end_;
    fakes::EventQueue& events_;
};

class Sequencer : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = CreateTempDir("sequencer_test_");
        bin_ = dir_ + "/bin";
        fs::create_directory(bin_);
        host_.promptFlags = &promptFlags_;
        Make();
    }
    void TearDown() override {
        sequencer_.reset();
        process_.reset();
        fs::remove_all(dir_);
    }
    // A process of the kind the test asks for, and a sequencer over it.
    void Make(bool scripted = false) {
        sequencer_.reset();
        if (scripted) {
            auto p = std::make_unique<fakes::ScriptedProcess>(events_.poster());
            scripted_ = p.get();
            process_ = std::move(p);
        } else {
            process_ = platform::MakePosixProcess(events_.poster());
            scripted_ = nullptr;
        }
        SequencerServices s;
        s.list = &list_;
        s.host = &host_;
        s.process = process_.get();
        s.sfv = &sfv_;
        s.registry = &registry_;
        s.log = &log_;
        s.promptFlags = &promptFlags_;
        s.tempDirectory = dir_;
        s.searchPath = [this] { return bin_; };
        sequencer_ = std::make_unique<TBatchSequencer>(s);
        host_.sequencer = sequencer_.get();
    }
    // A program in bin_ that writes its arguments one per line into
    // args.txt and exits with the given status.
    std::string FakeArchiver(const std::string& name, int status = 0) {
        const std::string path = bin_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done > " << dir_ << "/args.txt\nexit "
                            << status << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    Strings Args() const {
        Strings out;
        std::ifstream in(dir_ + "/args.txt");
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    void Add(const std::string& type, const std::string& params, bool stop = true, const std::string& options = "") {
        list_.AppendStored({{type, TaskOptionsText(stop ? kStopBatch : kContinueBatch, kQueryYes), params, options}});
    }
    bool Run(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        sequencer_->runTaskClick();
        return events_.runUntil([this] { return !sequencer_->running(); }, timeout);
    }
    Strings Statuses() const {
        Strings out;
        for (int r = 1; r <= list_.taskCount(); ++r) out.push_back(list_.cell(r, 2));
        return out;
    }
    bool Logged(const std::string& line) const {
        const Strings lines = log_.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string Write(const std::string& name, const std::string& bytes = "data") {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
        return dir_ + "/" + name;
    }

    std::string dir_, bin_;
    fakes::EventQueue events_;
    FakeHost host_{events_};
    FakeSfv sfv_{events_};
    fakes::MemoryRegistry registry_;
    fakes::RecordingListBox log_;
    int16_t promptFlags_ = 0x0005;
    BatchList list_;
    std::unique_ptr<platform::Process> process_;
    fakes::ScriptedProcess* scripted_ = nullptr;
    std::unique_ptr<TBatchSequencer> sequencer_;
};

TEST_F(Sequencer, EmptyListDoesNothing) {
    sequencer_->runTaskClick();
    EXPECT_FALSE(sequencer_->running());
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_TRUE(host_.taskRunning.empty());
}

TEST_F(Sequencer, ProjectsRunAfterTheInitialiseRunAndAnswerByTheirOwnChoices) {
    list_.AddLoadProjectTask("/p/one.ktp");
    list_.AddLoadProjectTask("C:\\p\\two.ktp");
    list_.AppendStored({{"Load task project", "Continue Batch / Query NO", "/p/three.ktp", ""}});
    ASSERT_TRUE(Run());
    EXPECT_EQ(host_.calls, (Strings{"<<thread.init>>", "/p/one.ktp", "C:/p/two.ktp", "/p/three.ktp"}));
    EXPECT_EQ(host_.firstPage, 1);
    EXPECT_EQ(Statuses(), Strings(3, "completed"));
    EXPECT_EQ(host_.taskRunning, (std::vector<int>{1, 0}));
    // Questions in a batch task are answered by its choice, and no box opens.
    // The initialise run is a batch job as well: its end must reach the batch.
    EXPECT_EQ(host_.flagsAtStart,
              (std::vector<int16_t>{int16_t(0xC005), int16_t(0xC005), int16_t(0xC005), int16_t(0x8005)}));
    EXPECT_EQ(promptFlags_, 0x0005) << "cleared at idle";
    const Strings lines = log_.lines();
    Strings headers;
    for (const std::string& l : lines)
        if (l.rfind("-- Task #", 0) == 0) headers.push_back(l);
    EXPECT_EQ(headers, (Strings{"-- Task #1 " + std::string(43, '-'), "-- Task #2 " + std::string(43, '-'),
                                "-- Task #3 " + std::string(43, '-')}));
    EXPECT_TRUE(Logged("     running..."));
    EXPECT_FALSE(list_.locked());
    // A job started by hand afterwards does not reach the batch.
    sequencer_->returnThreadSignalChange(1);
    EXPECT_EQ(Statuses(), Strings(3, "completed"));
    EXPECT_FALSE(sequencer_->running());
}

// After each task the prompt flags keep their 13 stored bits and lose the
// batch bits, whatever the task's end: the next task answers by its own
// choice only, and the word is the stored setting again once the batch ends.
TEST_F(Sequencer, PromptFlagsKeepOnlyTheStoredBitsAfterEveryTask) {
    for (bool stopAtTheEnd : {false, true}) {
        SCOPED_TRACE(stopAtTheEnd ? "ends on a failure" : "runs to its end");
        promptFlags_ = 0x3FFF;  // every stored bit, and a stale "answer no"
        list_.Clear();
        host_.flagsAtStart.clear();
        host_.results["/p/bad.ktp"] = 1;
        list_.AppendStored({
            {"Load task project", "Continue Batch / Query YES", "/p/one.ktp", ""},
            {"Execute command", "Continue Batch / Query YES", "exit 1", ""},
            {"Load task project", "Continue Batch / Query NO", "/p/two.ktp", ""},
            {"Load task project", "Continue Batch / Query YES", "/p/bad.ktp", ""},
            {"Load task project", "Continue Batch / Query NO", "/p/three.ktp", ""},
        });
        if (stopAtTheEnd) list_.AppendStored({{"Load task project", "Stop Batch / Query YES", "/p/bad.ktp", ""}});
        ASSERT_TRUE(Run());
        std::vector<int16_t> want{int16_t(0xDFFF), int16_t(0xDFFF), int16_t(0x9FFF), int16_t(0xDFFF),
                                  int16_t(0x9FFF)};
        if (stopAtTheEnd) want.push_back(int16_t(0xDFFF));
        EXPECT_EQ(host_.flagsAtStart, want);
        EXPECT_EQ(promptFlags_, 0x1FFF);
    }
}

TEST_F(Sequencer, FailedOrStoppedInitialiseRunEndsTheBatch) {
    list_.AddLoadProjectTask("/p/one.ktp");
    host_.initResult = 1;
    ASSERT_TRUE(Run());
    EXPECT_EQ(host_.calls, (Strings{"<<thread.init>>"}));
    EXPECT_EQ(Statuses(), (Strings{"failed"}));
    EXPECT_EQ(host_.firstPage, 0);
    // A stop during the initialise run ends the batch before any task.
    list_.Clear();
    list_.AddLoadProjectTask("/p/one.ktp");
    host_.calls.clear();
    host_.holdJobs = true;
    sequencer_->runTaskClick();
    EXPECT_EQ(sequencer_->state(), SequencerState::Initialising);
    sequencer_->runTaskClick();
    EXPECT_EQ(host_.jobRunning, (std::vector<int>{0}));
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }));
    EXPECT_EQ(host_.calls, (Strings{"<<thread.init>>"}));
    EXPECT_EQ(Statuses(), (Strings{""}));
    EXPECT_EQ(host_.taskRunning.back(), 0);
}

// Each failing task between two good ones, once stopping and once going on.
TEST_F(Sequencer, FailingTasksFollowTheirOnErrorChoice) {
    FakeArchiver("unar");  // found on the path; it cannot create RAR archives
    const std::string missing = dir_ + "/missing.rar";
    const struct {
        const char* what;
        std::string type, params, options;
        std::string logged;
    } cases[] = {
        {"project that fails", "Load task project", "/p/bad.ktp", "", ""},
        {"command with error output", "Execute command", "echo first >&2; echo second >&2; exit 3", "", "second"},
        {"command killed by a signal", "Execute command", "kill -9 $$", "", ""},
        {"missing archive", "Decompress archive", "\"" + missing + "\" \"" + dir_ + "/out/\"", "",
         "Unable to locate RAR file."},
        {"nothing written before", "Compress archive", "\"" + dir_ + "/x.rar\"<->", "2/0/0",
         "     No files were written from previous task!"},
        {"no RAR creator", "Compress archive", "\"" + dir_ + "/x.rar\" \"" + dir_ + "/a.mpg\"", "2/0/0",
         "     RAR archives can only be created with rar; " + bin_ + "/unar cannot."},
        {"SFV check fails", "Verify SFV file", "\"" + dir_ + "/a.sfv\"", "", ""},
        // Rows a list file may hold that no archiver or shell gets.
        {"type it does not know", "Format hard disk", "touch '" + dir_ + "/formatted'", "",
         "     \"Format hard disk\" is no task type"},
        {"volume size 4", "Compress archive", "\"" + dir_ + "/x.rar\" \"" + dir_ + "/a.mpg\"", "4/0/0",
         "     archive options \"4/0/0\" cannot be used"},
        {"level 6", "Compress archive", "\"" + dir_ + "/x.rar\" \"" + dir_ + "/a.mpg\"", "2/6/0",
         "     archive options \"2/6/0\" cannot be used"},
        {"options not numbers", "Compress archive", "\"" + dir_ + "/x.rar\" \"" + dir_ + "/a.mpg\"", "2/x/0",
         "     archive options \"2/x/0\" cannot be used"},
    };
    host_.results["/p/bad.ktp"] = 1;
    sfv_.ok = false;
    for (const auto& c : cases) {
        for (bool stop : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (stop ? ", stop" : ", continue"));
            list_.Clear();
            log_.clear();
            host_.calls.clear();
            Add("Execute command", "true");
            Add(c.type, c.params, stop, c.options);
            Add("Load task project", "/p/after.ktp");
            ASSERT_TRUE(Run());
            EXPECT_EQ(Statuses(), stop ? (Strings{"completed", "failed", ""})
                                       : (Strings{"completed", "failed", "completed"}));
            const bool afterRan = std::find(host_.calls.begin(), host_.calls.end(), "/p/after.ktp") != host_.calls.end();
            EXPECT_EQ(afterRan, !stop);
            if (!c.logged.empty()) {
                EXPECT_TRUE(Logged(c.logged));
            }
        }
    }
    EXPECT_FALSE(fs::exists(dir_ + "/formatted")) << "an unknown task is no command line";
}

TEST_F(Sequencer, CommandErrorOutputIsLoggedUnderTheFailureWord) {
    Add("Execute command", "echo first >&2; echo second >&2; exit 3", false);
    Add("Execute command", "echo quiet >&2; true", false);
    ASSERT_TRUE(Run());
    const Strings lines = log_.lines();
    auto at = std::find(lines.begin(), lines.end(), "FAILED:");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(Strings(at, at + 4), (Strings{"FAILED:", "first", "second", ""}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "FAILED:"), 1) << "a success logs nothing";
    EXPECT_EQ(Statuses(), (Strings{"failed", "completed"}));
    // The private error files are gone.
    for (const auto& e : fs::directory_iterator(dir_)) EXPECT_NE(e.path().extension(), ".err");
}

TEST_F(Sequencer, StopBatchFailureAfterAContinueFailureEndsTheBatch) {
    Add("Execute command", "false", false);
    Add("Execute command", "exit 2", true);
    Add("Execute command", "true");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"failed", "failed", ""}));
}

TEST_F(Sequencer, DeleteTaskRemovesTheArchiveAndItsVolumesOnlyAfterASuccessfulDecompression) {
    FakeArchiver("rar", 0);
    const std::string archive = Write("x.rar");
    for (int n = 0; n <= 4; ++n) Write("x.r0" + std::to_string(n));
    Write("x.r06");  // beyond the missing x.r05
    Add("Delete RAR archive", "");
    Add("Decompress archive", "\"" + archive + "\" \"" + dir_ + "/out/\"");
    Add("Delete RAR archive", "");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"bypassed", "completed", "completed"}));
    for (const char* gone : {"x.rar", "x.r00", "x.r01", "x.r02", "x.r03", "x.r04"})
        EXPECT_FALSE(fs::exists(dir_ + "/" + gone)) << gone;
    EXPECT_TRUE(fs::exists(dir_ + "/x.r06"));
    EXPECT_EQ(sequencer_->GetGeneratedFile(), dir_ + "/out/");
    EXPECT_EQ(sequencer_->GetDecompressing(), 1);

    // A failed decompression after a good one: nothing to delete, nothing
    // to chain. The archiver fails on the archive named "bad".
    std::ofstream(bin_ + "/rar") << "#!/bin/sh\ncase \"$*\" in *bad*) exit 1;; esac\nexit 0\n";
    Write("x.rar");
    Write("x.r00");
    const std::string bad = Write("bad.rar");
    list_.Clear();
    Add("Decompress archive", "\"" + archive + "\" \"" + dir_ + "/out/\"");
    Add("Decompress archive", "\"" + bad + "\" \"" + dir_ + "/out/\"", false);
    Add("Delete RAR archive", "");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"completed", "failed", "bypassed"}));
    EXPECT_TRUE(fs::exists(archive));
    EXPECT_TRUE(fs::exists(dir_ + "/x.r00"));
    EXPECT_EQ(sequencer_->GetDecompressing(), 0);
    EXPECT_EQ(sequencer_->GetGeneratedFile(), "");
}

TEST_F(Sequencer, ArchiverIsLookedForOnlyByArchiveTasks) {
    // Nothing on the path and nothing stored.
    Add("Execute command", "true");
    Add("Load task project", "/p/one.ktp");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), Strings(2, "completed"));
    const std::string archive = Write("a.rar");
    list_.Clear();
    Add("Decompress archive", "\"" + archive + "\" \"" + dir_ + "/out/\"", false);
    Add("Execute command", "true");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"failed", "completed"}));
    EXPECT_TRUE(Logged("     RAR decompressor has not been selected yet."));
    // A stored location wins over the path.
    const std::string stored = FakeArchiver("my-rar");
    registry_.openKey("\\Software\\Pellmor", true);
    registry_.writeString("RARArchiverLocation", stored);
    registry_.writeString("RARArchiverParam", "x -o+");
    list_.Clear();
    Add("Decompress archive", "\"" + archive + "\" \"" + dir_ + "/out\"");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"completed"}));
    EXPECT_EQ(Args(), (Strings{"x", "-o+", archive, dir_ + "/out/"}));
    // A stored archiver that is not there fails the task and says so.
    registry_.openKey("\\Software\\Pellmor", true);
    registry_.writeString("RARArchiverLocation", dir_ + "/gone/rar");
    log_.clear();
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"failed"}));
    EXPECT_TRUE(Logged("     cannot run " + dir_ + "/gone/rar"));
}

TEST_F(Sequencer, ArchiverArgumentsArriveWholeAndNothingReachesAShell) {
    FakeArchiver("rar");
    const std::string odd = "-it's; $(touch " + dir_ + "/x) b.mpg";
    Add("Compress archive", "\"" + dir_ + "/my film.rar\" \"" + dir_ + "/a b.mpg\" \"" + odd + "\" ", true, "2/3/1");
    Add("Compress archive", "\"" + dir_ + "/c.rar\"<->", true, "");
    host_.files = "\"" + dir_ + "/out 1.mpg\" \"out2.mpg\" ";
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), Strings(2, "completed"));
    // The second run overwrote args.txt: an empty column 5 gives no switches.
    EXPECT_EQ(Args(), (Strings{"a", dir_ + "/c.rar", dir_ + "/out 1.mpg", "./out2.mpg"}));
    list_.Clear();
    Add("Compress archive", "\"" + dir_ + "/my film.rar\" \"" + dir_ + "/a b.mpg\" \"" + odd + "\" ", true, "2/3/1");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Args(), (Strings{"a", "-v20M", "-vn", "-r", "-ep1", "-m3", "-df", dir_ + "/my film.rar",
                               dir_ + "/a b.mpg", "./" + odd}));
    EXPECT_FALSE(fs::exists(dir_ + "/x"));
}

TEST_F(Sequencer, BuiltinFolderCommandsStartNoProcess) {
    Make(/*scripted=*/true);
    const std::string d = dir_ + "/rar folder";
    const std::string outside = dir_ + "/outside";
    fs::create_directories(outside);
    Write("outside/keep.mpg");
    Add("Execute command", "mkdir \"" + d + "\"");
    Add("Execute command", "mkdir \"" + d + "\"");  // already there
    Add("Execute command", "deltree /Y \"" + d + "\"");
    Add("Execute command", "mkdir \"" + d + "/sub\"");
    Add("Execute command", "rmdir \"" + d + "\" /s /q");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), Strings(5, "completed"));
    EXPECT_FALSE(fs::exists(d));
    EXPECT_TRUE(scripted_->started.empty());

    // Links inside are removed, not followed.
    fs::create_directories(d + "/sub");
    fs::create_directory_symlink(outside, d + "/sub/link");
    fs::create_symlink(outside + "/keep.mpg", d + "/file-link");
    list_.Clear();
    Add("Execute command", "rmdir \"" + d + "\" /s /q");
    Add("Execute command", "rmdir \"" + d + "\" /s /q", false);  // gone now: fails
    Add("Execute command", "rmdir \"" + d + "\"");               // not the built-in form
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"completed", "failed", "completed"}));
    EXPECT_FALSE(fs::exists(d));
    EXPECT_TRUE(fs::exists(outside + "/keep.mpg"));
    ASSERT_EQ(scripted_->started.size(), 1u);
    EXPECT_EQ(scripted_->started[0], (Strings{"/bin/sh", "-c", "rmdir \"" + d + "\""}));
}

TEST_F(Sequencer, SfvTasksTakeThePreviousOutputAndHandOnTheirOwn) {
    Add("Create SFV file", "\"" + dir_ + "/new set.sfv\"<->");
    Add("Verify SFV file", "\"" + dir_ + "/new set.sfv\"");
    host_.files = "\"" + dir_ + "/a.mpg\" ";
    sfv_.output = "\"" + dir_ + "/new set.sfv\" ";
    ASSERT_TRUE(Run());
    EXPECT_EQ(sfv_.runs, (Strings{"create \"" + dir_ + "/new set.sfv\" \"" + dir_ + "/a.mpg\" ",
                                  "verify \"" + dir_ + "/new set.sfv\""}));
    EXPECT_EQ(Statuses(), Strings(2, "completed"));
    EXPECT_EQ(host_.files, "\"" + dir_ + "/new set.sfv\" ");
}

// A "\\" in a stored name is a separator only where the name as written
// names nothing: on Linux it may be a character of the file's name.
TEST_F(Sequencer, ABackslashIsASeparatorOnlyWhereTheNameNamesNothing) {
    const std::string bs = Write("back\\slash.bin"), project = Write("my back\\up.ktp"), archive = Write("back\\set.rar");
    fs::create_directory(dir_ + "/sub");
    Write("sub/x.bin");
    FakeArchiver("unar");
    Add("Create SFV file", "\"" + dir_ + "/bs.sfv\" \"" + bs + "\"");
    // Made on Windows: the folders are there, the names with "\\" are not.
    Add("Verify SFV file", "\"" + dir_ + "\\sub\\s.sfv\" " + dir_ + "\\sub\\x.bin");
    Add("Create SFV file", "\"" + dir_ + "/new.sfv\" \"" + dir_ + "/back\\*\"");
    Add("Load task project", project);
    Add("Load task project", dir_ + "\\sub\\p.ktp");
    Add("Decompress archive", "\"" + archive + "\" \"" + dir_ + "\\sub\\\"");
    Add("Create SFV file", "\"C:\\films\\a.sfv\" C:\\films\\*.mpg");
    // The folder commands of an archive's rows under a folder named so.
    const std::string temp = dir_ + "/my\\temp";
    fs::create_directory(temp);
    Add("Execute command", "mkdir \"" + temp + "/rar\"");
    Add("Execute command", "mkdir \"" + temp + "/rar2\"");
    Add("Execute command", "rmdir \"" + temp + "/rar2\" /s /q");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), Strings(10, "completed"));
    EXPECT_TRUE(fs::is_directory(temp + "/rar"));
    EXPECT_FALSE(fs::exists(temp + "/rar2"));
    EXPECT_FALSE(fs::exists(dir_ + "/my")) << "no folder of the other reading";
    EXPECT_EQ(sfv_.runs, (Strings{"create \"" + dir_ + "/bs.sfv\" \"" + bs + "\"",
                                  "verify \"" + dir_ + "/sub/s.sfv\" " + dir_ + "/sub/x.bin",
                                  "create \"" + dir_ + "/new.sfv\" \"" + dir_ + "/back\\*\"",
                                  "create \"C:/films/a.sfv\" C:/films/*.mpg"}));
    EXPECT_EQ(host_.calls, (Strings{"<<thread.init>>", project, dir_ + "/sub/p.ktp"}));
    const Strings args = Args();
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[args.size() - 1], archive);
    EXPECT_EQ(args[args.size() - 3], dir_ + "/sub/");
}

TEST_F(Sequencer, StopEndsTheBatchDuringAnyTask) {
    // During a job: the job is asked to stop and fails.
    host_.holdJobs = true;
    Add("Load task project", "/p/one.ktp", false);
    Add("Execute command", "true");
    sequencer_->runTaskClick();
    host_.holdJobs = true;
    events_.drain();
    host_.answer(0);  // the initialise run
    host_.holdJobs = true;
    ASSERT_TRUE(events_.runUntil([this] { return host_.held; }));
    EXPECT_EQ(sequencer_->state(), SequencerState::WaitingForJob);
    EXPECT_TRUE(list_.locked());
    sequencer_->runTaskClick();
    EXPECT_EQ(host_.jobRunning, (std::vector<int>{0}));
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }));
    EXPECT_EQ(Statuses(), (Strings{"failed", ""}));
    host_.holdJobs = false;

    // During a child: its whole group goes within 6 s.
    list_.Clear();
    Add("Execute command", "sleep 60 & sleep 60; wait", false);
    Add("Execute command", "true");
    sequencer_->runTaskClick();
    ASSERT_TRUE(events_.runUntil([this] { return sequencer_->state() == SequencerState::WaitingForChild; }));
    const auto t0 = std::chrono::steady_clock::now();
    sequencer_->runTaskClick();
    EXPECT_EQ(sequencer_->state(), SequencerState::StopRequested);
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }, std::chrono::seconds(8)));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(6));
    EXPECT_EQ(Statuses(), (Strings{"failed", ""}));

    // During an SFV run: it is stopped between two blocks.
    sfv_.hold = true;
    list_.Clear();
    Add("Verify SFV file", "\"" + dir_ + "/a.sfv\"", false);
    Add("Execute command", "true");
    sequencer_->runTaskClick();
    ASSERT_TRUE(events_.runUntil([this] { return sequencer_->state() == SequencerState::WaitingForChild; }));
    sequencer_->runTaskClick();
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }));
    EXPECT_EQ(sfv_.stops, 1);
    EXPECT_EQ(Statuses(), (Strings{"failed", ""}));
}

TEST_F(Sequencer, StopRequestDoesNotOutliveItsBatch) {
    // The job finishes well although a stop was asked: the batch still ends.
    host_.holdJobs = true;
    Add("Load task project", "/p/one.ktp", false);
    Add("Execute command", "true");
    sequencer_->runTaskClick();
    host_.answer(0);
    ASSERT_TRUE(events_.runUntil([this] { return host_.held; }));
    host_.holdJobs = false;
    host_.held = false;  // the job ignores the stop and ends well
    sequencer_->runTaskClick();
    host_.answer(0);
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }));
    EXPECT_EQ(Statuses(), (Strings{"completed", ""}));
    // The next batch's "Continue Batch" failure goes on.
    list_.Clear();
    Add("Execute command", "false", false);
    Add("Execute command", "true");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Statuses(), (Strings{"failed", "completed"}));
}

TEST_F(Sequencer, ResultWhileWaitingForAChildIsDropped) {
    Make(/*scripted=*/true);
    scripted_->hold = true;
    Add("Execute command", "anything");
    Add("Execute command", "more");
    sequencer_->runTaskClick();
    ASSERT_TRUE(events_.runUntil([this] { return sequencer_->state() == SequencerState::WaitingForChild; }));
    sequencer_->returnThreadSignalChange(1);
    sequencer_->returnThreadSignalChange(0);
    EXPECT_EQ(sequencer_->state(), SequencerState::WaitingForChild);
    EXPECT_EQ(Statuses(), (Strings{"running...", ""}));
    scripted_->finish();
    ASSERT_TRUE(events_.runUntil([this] { return scripted_->started.size() == 2; }));
    scripted_->finish();
    ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }));
    EXPECT_EQ(Statuses(), Strings(2, "completed"));
}

TEST_F(Sequencer, GeneratedFileOfTheNextInputKind) {
    const std::string out = dir_ + "/out";
    fs::create_directories(out + "/Sub.BIN");
    for (const char* name : {"b.BIN", "c.bin", "a.cue", "z.toc", "image.TOC"}) Write(std::string("out/") + name);
    const struct {
        int mode, method;
        std::string found;
    } cases[] = {
        {0, 0, ""},  // no kind yet: nothing is searched
        {0, 4, out + "/b.BIN"},
        {0, 5, out + "/image.TOC"},
        {0, 2, out + "/a.cue"},
        {0, 1, out + "/a.cue"},  // not in the table: the kind stays
        {1, 0, ""},              // mpg: none there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + "/" + std::to_string(c.method));
        sequencer_->SetOutputKind(c.mode, c.method);
        sequencer_->SetGeneratedFile("");
        sequencer_->FindGeneratedFile(out);
        EXPECT_EQ(sequencer_->GetGeneratedFile(), c.found);
    }
}

// What a project that leaves its input open gets, as the main window asks
// for it: the first file the previous job wrote, else the output it was
// given; nothing after a failed task.
TEST_F(Sequencer, ChainedProjectTakesThePreviousTasksFirstOutput) {
    const std::string first = Write("movie_01.mpg"), second = Write("movie_02.mpg"), named = Write("named.mpg");
    const struct {
        const char* what;
        std::string files;  // what the first job wrote
        int firstResult;
        std::string expected;  // empty: the chained project fails
    } cases[] = {
        {"per-track outputs", "\"" + first + "\" \"" + second + "\" ", 0, first},
        {"no list: the output name", "", 0, named},
        {"a failed job leaves nothing", "\"" + first + "\" ", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list_.Clear();
        log_.clear();
        list_.AppendStored({{"Load task project", "Continue Batch / Query YES", "/p/a.ktp", ""},
                            {"Load task project", "Continue Batch / Query YES", "/p/b.ktp", ""}});
        host_.results = {{"/p/a.ktp", c.firstResult}};
        std::string input = "untouched", output;
        bool chained = false;
        host_.onProject = [&](const std::string& path) {
            if (path == "/p/a.ktp") {
                sequencer_->NoteTaskOutput(named);
                host_.files = c.files;
            } else {
                chained = sequencer_->TakeChainedInput("/out/b.mpg", input, output);
            }
        };
        ASSERT_TRUE(Run());
        EXPECT_EQ(chained, !c.expected.empty());
        EXPECT_EQ(input, c.expected);
        EXPECT_EQ(output, "/out/b.mpg");
        EXPECT_TRUE(Logged(c.expected.empty() ? "     [ no output of the previous task to take ]"
                                              : "     [ previous task output ] " + c.expected));
    }
}

TEST_F(Sequencer, ChainedProjectAfterADecompressionTakesTheFolder) {
    const std::string folder = dir_ + "/unpacked";
    fs::create_directories(folder);
    for (const char* name : {"movie.bin", "movie.cue", "a.txt"}) Write(std::string("unpacked/") + name);
    const struct {
        int method;
        std::string projectOutput, input, output;
    } cases[] = {
        {2, "/out/", folder + "/movie.cue", "/out/movie.mpg"},
        {4, "/out/", folder + "/movie.bin", "/out/movie.mpg"},
        {4, "/out/given.mpg", folder + "/movie.bin", "/out/given.mpg"},  // a named output stays
        {5, "/out/", "", "/out/"},                                        // no toc there: fails
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        sequencer_->SetOutputKind(0, c.method);
        sequencer_->SetGeneratedFile(folder);
        sequencer_->SetDecompressing(1);
        std::string input, output;
        EXPECT_EQ(sequencer_->TakeChainedInput(c.projectOutput, input, output), !c.input.empty());
        EXPECT_EQ(input, c.input);
        EXPECT_EQ(output, c.output);
        // The folder itself is never an input, not even for the next task.
        sequencer_->NoteTaskOutput(output);
        EXPECT_EQ(sequencer_->GetDecompressing(), 0);
    }
}

}  // namespace
