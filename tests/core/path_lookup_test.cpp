#include "core/path_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/temp_file.h"

namespace {

namespace fs = std::filesystem;

class PathLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = CreateTempDir("pellmor-lookup-");
        ASSERT_FALSE(dir.empty());
        for (const char* f : {"movie.bin", "Sub/Movie.BIN", "Dup.bin", "dup.BIN", "deep/er/track.bin"}) {
            fs::create_directories(fs::path(dir) / fs::path(f).parent_path());
            std::ofstream(fs::path(dir) / f) << "x";
        }
        fs::create_directories(fs::path(dir) / "folder.bin");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir;
};

TEST_F(PathLookupTest, FindsNamesWrittenElsewhere) {
    const struct {
        const char* name;
        const char* found;  // below dir; "" when nothing is found
    } cases[] = {
        {"movie.bin", "movie.bin"},
        {"MOVIE.BIN", "movie.bin"},
        {"C:\\rips\\movie.bin", "movie.bin"},
        {"c:movie.bin", "movie.bin"},
        {"sub\\movie.bin", "Sub/Movie.BIN"},
        {"D:\\x\\SUB\\movie.bin", "Sub/Movie.BIN"},
        {"/nowhere/at/all/movie.bin", "movie.bin"},
        {".\\deep\\ER\\TRACK.BIN", "deep/er/track.bin"},
        {"dup.BIN", "dup.BIN"},  // the exact spelling wins
        {"DUP.bin", "Dup.bin"},  // else always the same one of several
        {"folder.bin", ""},      // a folder is no image
        {"absent.bin", ""},
        {"sub\\", ""},
        {"", ""},
        {"\\\\\\", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string want = *c.found ? dir + "/" + c.found : "";
        EXPECT_EQ(ResolveNamedFile(dir, c.name), want);
        EXPECT_EQ(ResolveNamedFile(dir + "/", c.name), want);
    }
}

TEST_F(PathLookupTest, NameAsWrittenComesFirst) {
    // Absolute names open as they are, whatever the sheet's folder.
    EXPECT_EQ(ResolveNamedFile("/nonexistent", dir + "/Sub/Movie.BIN"), dir + "/Sub/Movie.BIN");
    // Relative names are taken from the sheet's folder, not the current one.
    EXPECT_EQ(ResolveNamedFile(dir + "/Sub", "../movie.bin"), dir + "/Sub/../movie.bin");
    EXPECT_EQ(ResolveNamedFile(dir + "/deep", "er/track.bin"), dir + "/deep/er/track.bin");
}

// The sheet of an image chosen for a cue method, as Windows tools name
// them: the chosen name's own extension in any case, else the sibling found
// ignoring case.
TEST_F(PathLookupTest, SiblingSheetInAnyLetterCase) {
    for (const char* f : {"FILM.CUE", "FILM.BIN", "clip.Cue", "clip.bin", "lone.bin"}) std::ofstream(fs::path(dir) / f) << "x";
    const struct {
        const char* chosen;
        const char* sheet;
    } cases[] = {
        {"FILM.CUE", "FILM.CUE"}, {"FILM.BIN", "FILM.CUE"}, {"clip.bin", "clip.Cue"},
        {"clip.Cue", "clip.Cue"}, {"lone.bin", "lone.cue"},  // none there: the name to report
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        EXPECT_EQ(SiblingWithExtension(dir + "/" + c.chosen, "cue"), dir + "/" + c.sheet);
    }
}

TEST_F(PathLookupTest, ManyPartsEndQuickly) {
    std::string name;
    for (int i = 0; i < 5000; ++i) name += "a\\";
    name += "MOVIE.bin";
    EXPECT_EQ(ResolveNamedFile(dir, name), dir + "/movie.bin");
}

}  // namespace
