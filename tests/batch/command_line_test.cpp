#include "batch/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <string>
#include <vector>

#include "core/temp_file.h"

namespace {

struct Case {
    const char* text;
    std::vector<std::string> tokens;
};

TEST(SplitParameterText, TokensOfTaskRows) {
    const Case cases[] = {
        {"", {}},
        {"sums.sfv", {"sums.sfv"}},
        {"sums.sfv *.mpg d/*.dat", {"sums.sfv", "*.mpg", "d/*.dat"}},
        // Blanks inside quotes belong to the name; the quotes go.
        {"\"my sums.sfv\" \"a b.bin\" c.bin", {"my sums.sfv", "a b.bin", "c.bin"}},
        // A trailing blank closes the last token and opens none.
        {"sums.sfv ", {"sums.sfv"}},
        // Every blank outside quotes ends a token, even an empty one.
        {"sums.sfv  a.bin", {"sums.sfv", "", "a.bin"}},
        {" sums.sfv", {"", "sums.sfv"}},
        {"\"\"", {""}},
        // An unclosed quote runs to the end of the text.
        {"\"a b c", {"a b c"}},
        // Quotes inside a token stay unless they surround it.
        {"a\"b c\"d e", {"a\"b c\"d", "e"}},
        {"\"a b\".sfv x", {"a b\".sfv", "x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitParameterText(c.text), c.tokens) << "text: [" << c.text << "]";
}

}  // namespace

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class TaskCommands : public ::testing::Test {
protected:
    void SetUp() override { dir_ = CreateTempDir("command_line_test_"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Program(const std::string& folder, const std::string& name, size_t size = 10) {
        fs::create_directories(dir_ + "/" + folder);
        const std::string path = dir_ + "/" + folder + "/" + name;
        std::ofstream(path) << std::string(size, '#');
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string dir_;
};

TEST_F(TaskCommands, CompressArgumentsFollowTheArchiveOptions) {
    const std::string rar = Program("a", "rar");
    const std::string sized = Program("b", "rar", 638464);
    const Strings files{"/o/x.rar", "/o/a b.mpg", "-n.mpg"};
    const struct {
        std::string program, options;
        Strings switches;
    } cases[] = {
        {rar, "2/3/1", {"a", "-v20M", "-vn", "-r", "-ep1", "-m3", "-df"}},
        {rar, "", {"a"}},
        {rar, "0/5/0", {"a", "-m5"}},
        {rar, " 2/0/7 ", {"a", "-v20M", "-vn", "-r", "-ep1", "-m0", "-df"}},  // as %d/%d/%d reads it
        {sized, "1/0/0", {"a", "-v15M", "-r", "-ep1", "-m0"}},
        {dir_ + "/none/rar", "3/1/0", {"a", "-v50M", "-r", "-ep1", "-m1"}},  // cannot be read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.options);
        Strings want{c.program};
        want.insert(want.end(), c.switches.begin(), c.switches.end());
        want.insert(want.end(), {"/o/x.rar", "/o/a b.mpg", "./-n.mpg"});
        EXPECT_EQ(CompressArgv(c.program, "a", c.options, files), want);
    }
}

TEST_F(TaskCommands, DecompressArgumentsForUnarAndOthers) {
    EXPECT_EQ(DecompressArgv("/usr/bin/unar", "x -v -y", "-my set.rar", "/tmp/d/"),
              (Strings{"/usr/bin/unar", "-q", "-f", "-D", "-o", "/tmp/d/", "--", "./-my set.rar"}));
    EXPECT_EQ(DecompressArgv("/opt/rar/rar", "x -v -y", "/in/a b.rar", "/tmp/d"),
              (Strings{"/opt/rar/rar", "x", "-v", "-y", "/in/a b.rar", "/tmp/d/"}));
    EXPECT_EQ(DecompressArgv("/usr/bin/unrar", "", "a.rar", "out"), (Strings{"/usr/bin/unrar", "./a.rar", "./out/"}));
}

TEST_F(TaskCommands, ArchiverIsTheStoredOneElseRarUnarUnrarOnThePath) {
    const std::string rar = Program("p1", "rar"), unar = Program("p2", "unar"), unrar = Program("p3", "unrar");
    Program("p4", "rar");
    fs::permissions(dir_ + "/p4/rar", fs::perms::owner_read);  // not executable
    const std::string p1 = dir_ + "/p1", p2 = dir_ + "/p2", p3 = dir_ + "/p3", p4 = dir_ + "/p4";
    EXPECT_EQ(FindArchiver("", p3 + ":" + p2 + ":" + p1), rar);
    EXPECT_EQ(FindArchiver("", p4 + "::" + p3 + ":" + p2), unar);
    EXPECT_EQ(FindArchiver("", p3), unrar);
    EXPECT_EQ(FindArchiver("", p4), "");
    EXPECT_EQ(FindArchiver("/stored/rar", p1), "/stored/rar");
    EXPECT_TRUE(CanCreateRar(rar));
    EXPECT_FALSE(CanCreateRar(unar));
    EXPECT_TRUE(IsUnar(unar));
}

TEST_F(TaskCommands, OnlyTheThreeWrittenFormsAreBuiltIn) {
    const struct {
        std::string line;
        BuiltinCommand::Kind kind;
        std::string folder;
    } cases[] = {
        {"mkdir \"/tmp/rar dir\"", BuiltinCommand::kMakeFolder, "/tmp/rar dir"},
        {"rmdir \"/tmp/rar dir\" /s /q", BuiltinCommand::kRemoveTree, "/tmp/rar dir"},
        {"deltree /Y \"C:\\temp\\rar\"", BuiltinCommand::kRemoveTree, "C:/temp/rar"},
        {"mkdir /tmp/x", BuiltinCommand::kNone, ""},
        {"mkdir \"/tmp/x\" && rm -rf /", BuiltinCommand::kNone, ""},
        {"mkdir \"/tmp/x\"y\"", BuiltinCommand::kNone, ""},
        {"rmdir \"/tmp/x\"", BuiltinCommand::kNone, ""},
        {"rmdir \"/tmp/x\" /s", BuiltinCommand::kNone, ""},
        {"deltree \"/tmp/x\"", BuiltinCommand::kNone, ""},
        {"mkdir \"\"", BuiltinCommand::kNone, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const BuiltinCommand b = RecogniseBuiltin(c.line);
        EXPECT_EQ(b.kind, c.kind);
        EXPECT_EQ(b.folder, c.folder);
    }
    // A file where the folder should be is a failure, not a success.
    std::ofstream(dir_ + "/file") << "x";
    EXPECT_NE(RunBuiltin({BuiltinCommand::kMakeFolder, dir_ + "/file"}), "");
    EXPECT_EQ(RunBuiltin({BuiltinCommand::kMakeFolder, dir_ + "/a/b"}), "");
    EXPECT_TRUE(fs::is_directory(dir_ + "/a/b"));
}

}  // namespace
