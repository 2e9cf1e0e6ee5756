#include "core/temp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

// Points TMPDIR at a fresh folder for one test and restores it after.
class TempDirEnv : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        if (old != nullptr) saved_ = old, hadOld_ = true;
        base_ = fs::temp_directory_path() / ("temp_file_test_" + std::to_string(::getpid()));
        fs::create_directories(base_);
        ::setenv("TMPDIR", (base_.string() + "/").c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_)
            ::setenv("TMPDIR", saved_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        fs::remove_all(base_);
    }
    fs::path base_;

private:
    std::string saved_;
    bool hadOld_ = false;
};

}  // namespace

TEST_F(TempDirEnv, TempDirHonoursTmpdir) {
    EXPECT_EQ(TempDir(), base_.string()) << "without the trailing slash";
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(TempDir(), "/tmp");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TempDir(), "/tmp");
}

TEST_F(TempDirEnv, FilesAreNewAndDistinctEvenInOneMillisecond) {
    std::set<std::string> seen;
    for (int i = 0; i < 500; ++i) {
        std::string p = CreateTempFile("~job", "_tmp.ktp");
        ASSERT_FALSE(p.empty());
        EXPECT_TRUE(seen.insert(p).second) << p;
        EXPECT_EQ(fs::path(p).parent_path(), base_);
        EXPECT_EQ(fs::path(p).filename().string().rfind("~job", 0), 0u);
        EXPECT_TRUE(p.ends_with("_tmp.ktp"));
        EXPECT_EQ(fs::file_size(p), 0u);
    }
    struct stat st;
    ASSERT_EQ(::stat(seen.begin()->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "not readable by others";
}

TEST_F(TempDirEnv, FoldersAndExplicitDirectories) {
    std::string d = CreateTempDir("work");
    ASSERT_FALSE(d.empty());
    EXPECT_TRUE(fs::is_directory(d));
    EXPECT_NE(CreateTempDir("work"), d);

    std::string inside = CreateTempFile("scan", ".tmp", d + "/");
    ASSERT_FALSE(inside.empty());
    EXPECT_EQ(fs::path(inside).parent_path(), fs::path(d));

    EXPECT_EQ(CreateTempFile("x", "", d + "/missing"), "") << "no folder, no file";
    EXPECT_EQ(CreateTempDir("x", d + "/missing"), "");
}
