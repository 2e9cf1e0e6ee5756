// What a RAR load and a load of several sources hand to the batch: the
// rows, the temporary task projects they run, and the names per source.
#include "batch/handoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "batch/command_line.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "engine/methods.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class Handoff : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = CreateTempDir("handoff_test_");
        temp_ = dir_ + "/temp";
        fs::create_directory(temp_);
        // The page as it stands: a selection and an input of its own, which
        // no task of another source may inherit.
        page_.method = Index(Method::RarToCueBinToMpeg);
        page_.options[kOptSfvCheck] = 1;
        page_.options[kOptToast] = 1;
        page_.selectionActive = true;
        page_.selectedRows[1] = 1;
        page_.volumeName = "VOL";
        page_.outputName = "/old/out.mpg";
        page_.inputs = {"/old/source.cue"};
    }
    void TearDown() override { fs::remove_all(dir_); }

    static TaskProject Read(const std::string& path) {
        TaskProject p;
        EXPECT_EQ(ReadTaskProjectFile(path, p), 0) << path;
        return p;
    }
    Strings Column(int c) const {
        Strings out;
        for (int r = 1; r <= list_.taskCount(); ++r) out.push_back(list_.cell(r, c));
        return out;
    }
    size_t TempEntries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(temp_), fs::directory_iterator()));
    }

    std::string dir_, temp_;
    TaskProject page_;
    BatchList list_;
};

TEST(HandoffNames, OutputNamePerSource) {
    const Strings sources{"/in/a.cue", "/in/b.image.bin", "/in/plain", "rel/c.DAT"};
    const struct {
        int method;
        std::string folder;
        Strings expected;
    } cases[] = {
        {2, "/out", {"/out/a.mpg", "/out/b.image.mpg", "/out/plain.mpg", "/out/c.mpg"}},
        {3, "/out/", {"/out/a.dat", "/out/b.image.dat", "/out/plain.dat", "/out/c.dat"}},
        {7, "/o", {"/o/a.dat", "/o/b.image.dat", "/o/plain.dat", "/o/c.dat"}},
        {9, "/o", {"/o/a.dat", "/o/b.image.dat", "/o/plain.dat", "/o/c.dat"}},
        {13, "/o", {"/o/a.mpg", "/o/b.image.mpg", "/o/plain.mpg", "/o/c.mpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        EXPECT_EQ(OutputNamesForSources(sources, c.folder, c.method), c.expected);
    }
    for (int m : {0, 1, 10, 14}) EXPECT_FALSE(LoadsSeveralSources(m)) << m;
    for (int m : {2, 5, 9, 11, 13}) EXPECT_TRUE(LoadsSeveralSources(m)) << m;
}

// Two archives with the SFV check: five rows each, in order, each with a
// folder of its own that the sequencer's folder commands recognise.
TEST_F(Handoff, ArchivesGiveTheirRowsInOrder) {
    list_.AddLoadProjectTask("/earlier.ktp");
    const Strings archives{dir_ + "/in/one.rar", dir_ + "/in two/movie set.rar"};
    for (int method : {0, 1}) {
        SCOPED_TRACE(method);
        list_.setLocked(method == 1);  // while a batch runs, rows are still added at the end
        page_.method = method;
        const int before = list_.taskCount();
        const HandoffTasks tasks = AddArchiveTasks(list_, page_, archives, /*sfvCheck=*/true, temp_);
        ASSERT_EQ(list_.taskCount(), before + 10);
        ASSERT_EQ(tasks.folders.size(), 2u);
        ASSERT_EQ(tasks.projects.size(), 2u);
        EXPECT_TRUE(tasks.refused.empty());
        EXPECT_NE(tasks.folders[0], tasks.folders[1]);
        for (size_t a = 0; a < 2; ++a) {
            const std::string& folder = tasks.folders[a];
            EXPECT_TRUE(fs::is_directory(folder));
            EXPECT_EQ(fs::path(folder).parent_path(), fs::path(temp_));
            const int r = before + 1 + static_cast<int>(a) * 5;
            const std::string base = archives[a].substr(0, archives[a].size() - 4);
            const Strings types{"Verify SFV file", "Execute command", "Decompress archive", "Load task project",
                                "Execute command"};
            const Strings params{"\"" + base + ".sfv\"", "mkdir \"" + folder + "\"",
                                 "\"" + archives[a] + "\" \"" + folder + "\"", tasks.projects[a],
                                 "rmdir \"" + folder + "\" /s /q"};
            for (int k = 0; k < 5; ++k) {
                EXPECT_EQ(list_.cell(r + k, 0), std::to_string(r + k));
                EXPECT_EQ(list_.cell(r + k, 1), types[size_t(k)]);
                EXPECT_EQ(list_.cell(r + k, 3), "Stop Batch / Query YES");
                EXPECT_EQ(list_.cell(r + k, 4), params[size_t(k)]);
            }
            EXPECT_EQ(RecogniseBuiltin(list_.cell(r + 1, 4)).folder, folder);
            EXPECT_EQ(RecogniseBuiltin(list_.cell(r + 4, 4)).kind, BuiltinCommand::kRemoveTree);
            EXPECT_EQ(RecogniseBuiltin(list_.cell(r + 4, 4)).folder, folder);

            // The project extracts what the decompression leaves, into the
            // archive's folder, with none of the page's rows or sources.
            const TaskProject p = Read(tasks.projects[a]);
            EXPECT_EQ(p.method, method == 0 ? 2 : 4);
            EXPECT_TRUE(p.inputs.empty());
            EXPECT_EQ(p.outputName, archives[a].substr(0, archives[a].rfind('/') + 1));
            EXPECT_FALSE(p.selectionActive);
            EXPECT_EQ(p.selectedRows, (std::array<uint8_t, kTaskProjectRows>{}));
            EXPECT_EQ(p.options, page_.options);
            EXPECT_EQ(p.volumeName, "VOL");
        }
    }
    // Without the check, four rows an archive.
    const int before = list_.taskCount();
    AddArchiveTasks(list_, page_, {archives[0]}, false, temp_);
    EXPECT_EQ(list_.taskCount(), before + 4);
    EXPECT_EQ(list_.cell(before + 1, 4).rfind("mkdir \"", 0), 0u);
}

TEST_F(Handoff, ArchiveWhoseRowsCannotBeWrittenAddsNoRow) {
    const std::string good = dir_ + "/good.rar";
    const struct {
        const char* what;
        Strings archives;
        std::string temp;
        int method;
    } cases[] = {
        {"double quote in the name", {dir_ + "/say \"hi\".rar", good}, temp_, 0},
        {"no temporary folder", {good}, dir_ + "/missing", 0},
        {"double quote in the temporary folder", {good}, dir_ + "/te\"mp", 1},
        {"not an archive method", {good}, temp_, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(dir_ + "/te\"mp");
        list_.Clear();
        page_.method = c.method;
        const HandoffTasks tasks = AddArchiveTasks(list_, page_, c.archives, true, c.temp);
        const bool goodAdded = c.archives.size() == 2;
        EXPECT_EQ(list_.taskCount(), goodAdded ? 5 : 0);
        EXPECT_EQ(tasks.refused, Strings{c.archives.front()});
        // Nothing is left behind for a refused archive.
        if (c.temp != dir_ + "/missing") {
            EXPECT_EQ(std::distance(fs::directory_iterator(c.temp), fs::directory_iterator()), goodAdded ? 2 : 0);
        }
        for (const std::string& f : tasks.folders) fs::remove_all(f);
        for (const std::string& p : tasks.projects) fs::remove(p);
    }
}

// Several sources: one project each, with that source and output only; a
// project that cannot be written gives no task.
TEST_F(Handoff, SourcesGiveOneProjectEach) {
    page_.method = Index(Method::CueBinToMpeg);
    const Strings sources{"/in/a.cue", "/in/b.cue", "/in/c.cue"};
    const Strings outputs = OutputNamesForSources(sources, "/out", page_.method);
    const HandoffTasks tasks = AddSourceTasks(list_, page_, sources, outputs, temp_);
    ASSERT_EQ(tasks.projects.size(), 3u);
    EXPECT_EQ(Column(4), tasks.projects);
    EXPECT_EQ(std::set<std::string>(tasks.projects.begin(), tasks.projects.end()).size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const TaskProject p = Read(tasks.projects[i]);
        EXPECT_EQ(p.inputs, Strings{sources[i]});
        EXPECT_EQ(p.outputName, outputs[i]);
        EXPECT_EQ(p.method, page_.method);
        EXPECT_FALSE(p.selectionActive);
        EXPECT_EQ(fs::path(tasks.projects[i]).filename().string().rfind("~", 0), 0u);
        EXPECT_TRUE(tasks.projects[i].ends_with("_tmp.ktp")) << tasks.projects[i];
    }
    EXPECT_EQ(TempEntries(), 3u);

    list_.Clear();
    const HandoffTasks none = AddSourceTasks(list_, page_, sources, outputs, dir_ + "/missing");
    EXPECT_EQ(list_.taskCount(), 0);
    EXPECT_EQ(none.refused, sources);
}

// Two projects written at once never share a file.
TEST_F(Handoff, TemporaryProjectsAreMadeExclusively) {
    Strings paths(2);
    ASSERT_EQ(WriteTempTaskProject(page_, temp_, paths[0]), 0);
    ASSERT_EQ(WriteTempTaskProject(page_, temp_, paths[1]), 0);
    EXPECT_NE(paths[0], paths[1]);
    EXPECT_EQ(Read(paths[0]), page_);
    EXPECT_EQ(Read(paths[1]), page_);
    // A record the format cannot hold leaves no file.
    TaskProject tooMany = page_;
    tooMany.inputs.assign(2, "x");
    std::string path = "unchanged";
    EXPECT_EQ(WriteTempTaskProject(tooMany, temp_, path), msg::error::kCannotCreate);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(TempEntries(), 2u);
}

}  // namespace

namespace {

// The list of kept projects is replaced whole or not at all: a sweep on a
// full disk keeps the old list, and the projects it names survive the next
// sweep.
TEST(HandoffSweep, AFullDiskKeepsTheListOfKeptProjects) {
    const std::string dir = CreateTempDir("handoff_sweep_");
    const std::string small = dir + "/small";
    fs::create_directory(small);
    const bool mounted = ::geteuid() == 0 &&
                         std::system(("mount -t tmpfs -o size=64k pellmor-full '" + small + "' 2>/dev/null").c_str()) == 0;
    if (!mounted) {
        fs::remove_all(dir);
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    }
    const std::string kept = small + "/~kept_tmp.ktp";
    std::ofstream(kept) << "project";
    fs::last_write_time(kept, fs::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_EQ(SweepTempProjects(small, {kept}), 0);
    // Fill the disk.
    {
        std::ofstream fill(small + "/fill", std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 64 && fill; ++i) fill.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    SweepTempProjects(small, {});
    fs::remove(small + "/fill");
    EXPECT_EQ(SweepTempProjects(small, {}), 0);
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_EQ(std::system(("umount '" + small + "'").c_str()), 0);
    fs::remove_all(dir);
}

}  // namespace
