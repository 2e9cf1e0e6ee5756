#include "core/output_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/temp_file.h"

namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() : path(CreateTempDir("pellmor-guard-")) {}
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// Every way of naming an input or an earlier output again is the same file;
// a new name, a device and a folder's other file are not.
TEST(OutputGuard, NamesOfTheSameFileClash) {
    Folder d;
    Write(d / "src.mpg", "source");
    Write(d / "other.mpg", "other");
    fs::create_symlink(d / "src.mpg", d / "link.mpg");
    fs::create_hard_link(d / "src.mpg", d / "hard.mpg");
    fs::create_directory(d / "sub");
    TOutputGuard g;
    g.AddInput(d / "src.mpg");
    g.AddInput(d / "missing.mpg");  // nothing there: nothing to protect
    g.AddInput("/dev/zero");

    struct Case {
        std::string output;
        std::string clash;
    };
    const Case cases[] = {
        {d / "src.mpg", d / "src.mpg"},
        {d / "link.mpg", d / "src.mpg"},
        {d / "hard.mpg", d / "src.mpg"},
        {d / "sub/../src.mpg", d / "src.mpg"},
        {d / "other.mpg", ""},
        {d / "missing.mpg", ""},
        {d / "new.mpg", ""},
        {"/dev/null", ""},
        {"/dev/zero", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(g.Clash(c.output), c.clash) << c.output;

    // An output the job wrote, before and after it exists.
    g.AddOutput(d / "out.mpg");
    EXPECT_EQ(g.Clash(d / "out.mpg"), d / "out.mpg");
    EXPECT_EQ(g.Clash(d / "sub/../out.mpg"), d / "out.mpg");
    Write(d / "out.mpg", "written");
    fs::create_symlink(d / "out.mpg", d / "outlink.mpg");
    EXPECT_EQ(g.Clash(d / "outlink.mpg"), d / "out.mpg");
    EXPECT_EQ(g.InputClash(d / "out.mpg"), "");
}

// Only what the job created and did not finish goes, and only while it is
// still the file the job created; an input never goes.
TEST(OutputGuard, RemovesOnlyItsOwnUnfinishedOutputs) {
    Folder d;
    Write(d / "src.mpg", "source");
    Write(d / "done.bin", "whole");
    Write(d / "part.bin", "part");
    Write(d / "part.cue", "sheet");
    Write(d / "foreign.bin", "not ours");
    TOutputGuard g;
    g.AddInput(d / "src.mpg");
    g.AddOutput(d / "done.bin");
    g.Finish(d / "done.bin");
    g.AddOutput(d / "part.bin");
    g.AddOutput(d / "part.cue");
    g.AddOutput(d / "replaced.bin");  // recorded before it existed
    Write(d / "replaced.bin", "somebody else's");

    const std::vector<std::string> removed = g.RemoveUnfinished();
    EXPECT_EQ(removed, (std::vector<std::string>{d / "part.bin", d / "part.cue"}));
    EXPECT_EQ(Read(d / "done.bin"), "whole");
    EXPECT_EQ(Read(d / "replaced.bin"), "somebody else's");
    EXPECT_EQ(Read(d / "src.mpg"), "source");
    EXPECT_FALSE(fs::exists(d / "part.bin"));
    EXPECT_FALSE(g.Remove(d / "foreign.bin"));
    EXPECT_FALSE(g.Remove(d / "src.mpg"));
    EXPECT_EQ(Read(d / "foreign.bin"), "not ours");
    EXPECT_EQ(IncompleteRemovedLine("/x/a.bin"), "     [ incomplete output removed ] /x/a.bin");
}

// An output named through a link the user made is written into the link's
// target: that file is what the job wrote and what goes, and the link stays.
TEST(OutputGuard, RemovingAnOutputNamedThroughALinkRemovesWhatWasWritten) {
    Folder d;
    fs::create_directory(d / "real");
    fs::create_symlink("real/out.mpg", d / "link.mpg");  // dangling until the job writes
    fs::create_symlink(d / "real", d / "dir");
    TOutputGuard g;
    Write(d / "link.mpg", "part");
    g.AddOutput(d / "link.mpg");
    Write(d / "dir/in.mpg", "part");
    g.AddOutput(d / "dir/in.mpg");

    const std::vector<std::string> removed = g.RemoveUnfinished();
    EXPECT_EQ(removed, (std::vector<std::string>{d / "link.mpg", d / "dir/in.mpg"}));
    EXPECT_FALSE(fs::exists(d / "real/out.mpg"));
    EXPECT_FALSE(fs::exists(d / "real/in.mpg"));
    EXPECT_TRUE(fs::is_symlink(d / "link.mpg"));
    EXPECT_TRUE(fs::is_symlink(d / "dir"));
}
