// The rows a RAR load adds, run over the fixture archives with unar, with an
// extraction job for the task project: the MPEG must come out whole, and a
// damaged volume set must fail without losing its archive.
#include <gtest/gtest.h>

#include <filesystem>

#include "batch/handoff.h"
#include "batch/sequencer.h"
#include "batch/sfv_runner.h"
#include "tests/engine/job_harness.h"
#include "tests/support/fakes.h"
#include "tests/support/process_fake.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// A task project here is the "cue/bin -> mpeg" extraction of the file the
// decompression left, found the way the main window finds it.
class ExtractingHost : public BatchHost {
public:
    ExtractingHost(fakes::EventQueue& events, std::string output) : events_(events), output_(std::move(output)) {}
    void SetTaskRunning(uint8_t) override {}
    void SetJobRunning(uint8_t) override {}
    void ResetPage(int) override {}
    int pageMode() const override { return 0; }
    std::string generatedFiles() const override { return {}; }
    void setGeneratedFiles(const std::string&) override {}
    void ShowFirstPage() override {}
    void StartInitialiseRun() override { Answer(0); }
    void StartTaskProject(const std::string& path) override {
        if (readProjects) return RunProject(path);
        int result = 1;
        if (sequencer->GetDecompressing()) {
            sequencer->SetOutputKind(0, Index(Method::CueBinToMpeg));
            sequencer->FindGeneratedFile(sequencer->GetGeneratedFile());
            sequencer->SetDecompressing(0);
            source = sequencer->GetGeneratedFile();
            harness::Job job;
            result = job.LoadAndRun(Method::CueBinToMpeg, source, output_);
        }
        Answer(result);
    }
    void Answer(int result) {
        events_.post([this, result] { sequencer->returnThreadSignalChange(result); });
    }
    // As the main window runs a task project: read it, take the input the
    // previous task left when it names none, and extract.
    void RunProject(const std::string& path) {
        TaskProject p;
        int result = ReadTaskProjectFile(path, p);
        std::string input = p.inputs.empty() ? "" : p.inputs.front(), output = p.outputName;
        if (result == 0) {
            sequencer->SetOutputKind(p.pageMode, p.method);
            if (p.inputs.empty() && !sequencer->TakeChainedInput(p.outputName, input, output)) result = 1;
        }
        if (result == 0) {
            sequencer->NoteTaskOutput(output);
            sources.push_back(input);
            outputs.push_back(output);
            harness::Job job;
            result = job.LoadAndRun(p.method, input, output);
        }
        Answer(result);
    }
    TBatchSequencer* sequencer = nullptr;
    std::string source;
    bool readProjects = false;
    Strings sources, outputs;

private:
    fakes::EventQueue& events_;
    std::string output_;
};

class RarBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v unar >/dev/null") != 0)
            GTEST_SKIP() << "unar missing (scripts/deps.sh installs it)";
        fs::create_directories(dir_ / "in");
        fs::create_directories(dir_ / "out");
        for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01", "vcd_ntsc_set.sfv"})
            fs::copy_file(harness::Fixture(std::string("rar/") + name), dir_ / ("in/" + std::string(name)));
        SequencerServices s;
        s.list = &list_;
        s.host = &host_;
        s.process = process_.get();
        s.sfv = &sfv_;
        s.registry = &registry_;
        s.log = &log_;
        s.promptFlags = &config_.DisableErrorPrompts;
        s.tempDirectory = dir_.path;
        s.searchPath = [] { return std::string("/usr/bin:/bin"); };
        sequencer_ = std::make_unique<TBatchSequencer>(s);
        host_.sequencer = sequencer_.get();
    }
    std::string In(const std::string& name) const { return dir_.path + "/in/" + name; }
    // The rows of a RAR load, as the main window adds them.
    void AddRarLoad(const std::string& folder) {
        list_.AddSfvTask(In("vcd_ntsc_set.sfv"), "");
        list_.AddCommandTask("mkdir \"" + folder + "\"");
        list_.AddDecompressTask(In("vcd_ntsc_set.rar"), folder);
        list_.AddLoadProjectTask(dir_ / "~1_tmp.ktp");
        list_.AddCommandTask("rmdir \"" + folder + "\" /s /q");
    }
    void Run() {
        sequencer_->runTaskClick();
        ASSERT_TRUE(events_.runUntil([this] { return !sequencer_->running(); }, std::chrono::seconds(60)));
    }
    Strings Statuses() const {
        Strings out;
        for (int r = 1; r <= list_.taskCount(); ++r) out.push_back(list_.cell(r, 2));
        return out;
    }

    harness::TempFolder dir_;
    fakes::EventQueue events_;
    BatchList list_;
    std::unique_ptr<platform::Process> process_ = platform::MakePosixProcess(events_.poster());
    TConfig config_;
    fakes::RecordingListBox log_;
    // The program's own checker reads the SFV file cksfv wrote.
    ThreadedSfvRunner sfv_{config_, SfvContext{nullptr, &log_, nullptr, nullptr, nullptr, nullptr}, list_, events_.poster()};
    ExtractingHost host_{events_, dir_ / "out/movie.mpg"};
    fakes::MemoryRegistry registry_;
    std::unique_ptr<TBatchSequencer> sequencer_;
};

TEST_F(RarBatch, VolumeSetIsCheckedUnpackedExtractedAndCleanedUp) {
    const std::string folder = dir_ / "rar work";
    AddRarLoad(folder);
    Run();
    EXPECT_EQ(Statuses(), Strings(5, "completed"));
    EXPECT_EQ(host_.source, folder + "/vcd_ntsc.cue");
    const auto ripped = harness::Manifest().at("vcd_ntsc.cue");
    ASSERT_EQ(ripped.size(), 1u);
    EXPECT_EQ(harness::Md5(dir_ / "out/movie_01.mpg"), ripped[0].md5);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(In("vcd_ntsc_set.rar")));
}

TEST_F(RarBatch, DamagedVolumeFailsAndKeepsTheArchive) {
    {
        std::fstream f(In("vcd_ntsc_set.r00"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(300000);
        f.put('\xAA');
    }
    const std::string folder = dir_ / "work";
    list_.AppendStored({{"Verify SFV file", "Continue Batch / Query YES", "\"" + In("vcd_ntsc_set.sfv") + "\"", ""}});
    list_.AddCommandTask("mkdir \"" + folder + "\"");
    list_.AppendStored({{"Decompress archive", "Continue Batch / Query YES",
                         "\"" + In("vcd_ntsc_set.rar") + "\" \"" + folder + "\"", ""},
                        {"Delete RAR archive", "Stop Batch / Query YES", "", ""}});
    list_.AppendStored({{"Load task project", "Continue Batch / Query YES", "/p/x.ktp", ""}});
    list_.AddCommandTask("rmdir \"" + folder + "\" /s /q");
    Run();
    EXPECT_EQ(Statuses(), (Strings{"failed", "completed", "failed", "bypassed", "failed", "completed"}));
    EXPECT_TRUE(host_.source.empty()) << "no half-extracted image is handed on";
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01"})
        EXPECT_TRUE(fs::exists(In(name))) << name;
}

// The rows a RAR load writes for two archives, one a volume set, run with
// their task projects: each project takes the image its own archive left and
// writes beside that archive; the private folders are gone afterwards.
TEST_F(RarBatch, ArchiveLoadRowsRunEachArchiveThroughItsProject) {
    fs::create_directories(dir_ / "in/a");
    fs::create_directories(dir_ / "in/b b");
    fs::create_directories(dir_ / "temp");
    fs::copy_file(harness::Fixture("rar/vcd_ntsc.rar"), dir_ / "in/a/vcd_ntsc.rar");
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01", "vcd_ntsc_set.sfv"})
        fs::rename(In(name), dir_ / ("in/b b/" + std::string(name)));
    TaskProject page;
    page.method = Index(Method::RarToCueBinToMpeg);
    const HandoffTasks tasks = AddArchiveTasks(list_, page,
                                               {dir_ / "in/a/vcd_ntsc.rar", dir_ / "in/b b/vcd_ntsc_set.rar"},
                                               /*sfvCheck=*/false, dir_ / "temp");
    ASSERT_EQ(list_.taskCount(), 8);
    // A leftover folder of a stopped batch does not stop the next one.
    ASSERT_TRUE(fs::is_directory(tasks.folders[0]));
    host_.readProjects = true;
    Run();
    EXPECT_EQ(Statuses(), Strings(8, "completed"));
    ASSERT_EQ(host_.sources.size(), 2u);
    EXPECT_EQ(host_.sources[0], tasks.folders[0] + "/vcd_ntsc.cue");
    EXPECT_EQ(host_.sources[1], tasks.folders[1] + "/vcd_ntsc.cue");
    EXPECT_EQ(host_.outputs, (Strings{dir_ / "in/a/vcd_ntsc.mpg", dir_ / "in/b b/vcd_ntsc.mpg"}));
    const auto ripped = harness::Manifest().at("vcd_ntsc.cue");
    ASSERT_EQ(ripped.size(), 1u);
    EXPECT_EQ(harness::Md5(dir_ / "in/a/vcd_ntsc_01.mpg"), ripped[0].md5);
    EXPECT_EQ(harness::Md5(dir_ / "in/b b/vcd_ntsc_01.mpg"), ripped[0].md5);
    for (const std::string& folder : tasks.folders) EXPECT_FALSE(fs::exists(folder)) << folder;
}

}  // namespace
