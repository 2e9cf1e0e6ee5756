// Every writer against an output that is a file its job reads or has
// already written: each is refused before anything is written (a split
// piece takes another name instead), and every file that was there keeps
// its bytes. The writers run headless as the windows run them: run_job
// (extraction, dat, companion, split pieces, images and their sheets, the
// build's sample clip), run_clip (the clip editor), run_sfv and
// run_subtitles.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::Outcome;
using harness::TempFolder;

namespace fs = std::filesystem;

namespace {

// The regular files of a folder (links followed) and their checksums.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::error_code ec;
        if (fs::is_regular_file(e.path(), ec)) files[e.path().filename().string()] = harness::Md5(e.path().string());
    }
    return files;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

void Copy(const TempFolder& d, const std::string& fixture, const std::string& name) {
    fs::copy_file(Fixture(fixture), d / name);
}

// a.mpg and b.mpg, l.mpg a symlink to a.mpg, h.mpg a hard link to b.mpg.
void Clips(const TempFolder& d) {
    Copy(d, "clip_pal_vcd.mpg", "a.mpg");
    Copy(d, "clip_pal_vcd_b.mpg", "b.mpg");
    fs::create_symlink("a.mpg", d / "l.mpg");
    fs::create_hard_link(d / "b.mpg", d / "h.mpg");
}

// m_01.cue and its image `bin`: track 1 is a.mpg followed by b.mpg (its
// clock restarts), track 2 c.mpg. Track 1 of an extraction to m.cue is named
// like the sheet, track 1 or 2 of one to m.bin like an image m_01.bin or
// m_02.bin.
void TwoTrackImage(const TempFolder& d, const std::string& bin = "m_01.bin") {
    harness::WriteFile(d / "ab.mpg", harness::ReadFile(Fixture("clip_pal_vcd.mpg")) +
                                         harness::ReadFile(Fixture("clip_pal_vcd_b.mpg")));
    Copy(d, "clip_pal_vcd_c.mpg", "c.mpg");
    const Outcome o = harness::RunShell("cd '" + d.path + "' && " + PELLMOR_BUILD_DIR +
                                        "/tests/run_job --page 1 --method 1 --input ab.mpg --input c.mpg --output "
                                        "img.bin 2>&1");
    ASSERT_EQ(o.status, 0) << o.out;
    fs::remove(d / "ab.mpg");
    fs::remove(d / "c.mpg");
    std::string cue = harness::ReadFile(d / "img.cue");
    cue.replace(cue.find("img.bin"), 7, bin);
    harness::WriteFile(d / "m_01.cue", cue);
    fs::rename(d / "img.bin", d / bin);
    fs::remove(d / "img.cue");
}

struct ClashCase {
    const char* writer;
    const char* clash;
    std::function<void(const TempFolder&)> setup;
    std::string command;  // run in the folder; tests/ tools by their names
    // Files the job may create before it meets the clash (earlier outputs).
    std::set<std::string> written = {};
    const char* line = "[ output is the same file as ";
    bool succeeds = false;  // a renamed split piece: the job goes on
    const char* refusal = "Unable to create output file.";  // what the tool prints for it
};

constexpr const char* kSame = "[ output is the same file as ";
const std::string kSplit = " --fix --set DisableMPEGFileSplit=0";
const std::string kBuild = "run_job --page 1 --date '2024-01-02 03:04:05' ";

std::vector<ClashCase> Cases() {
    return {
        {"extraction", "first input", Clips, "run_job --method 10 --source a.mpg --output a.mpg --answer yes"},
        {"extraction", "symlink", Clips, "run_job --method 10 --source a.mpg --output l.mpg --answer yes"},
        {"extraction", "hard link", Clips, "run_job --method 10 --source b.mpg --output h.mpg --answer yes"},
        {"extraction", "its sheet", [](const TempFolder& d) { TwoTrackImage(d); },
         "run_job --method 2 --source m_01.cue --output m.cue --answer yes"},
        {"extraction", "later input", [](const TempFolder& d) { TwoTrackImage(d); },
         "run_job --method 2 --source m_01.cue --output m.bin --answer yes"},
        // Track 2's output is the image: refused before track 1 is written.
        {"extraction", "later track", [](const TempFolder& d) { TwoTrackImage(d, "m_02.bin"); },
         "run_job --method 2 --source m_01.cue --output m.bin --answer yes"},
        {"dat", "first input", Clips, "run_job --method 9 --source a.mpg --output a.mpg --answer yes"},
        {"dat", "hard link", Clips, "run_job --method 9 --source b.mpg --output h.mpg --answer yes"},
        {"companion", "first input",
         [](const TempFolder& d) {
             Clips(d);
             fs::copy_file(d / "a.mpg", d / "out.mpg.rsrc");
         },
         "run_job --method 10 --toast --source out.mpg.rsrc --output out.mpg --answer yes"},
        {"companion", "symlink",
         [](const TempFolder& d) {
             Clips(d);
             fs::create_symlink("a.mpg", d / "out.mpg.rsrc");
         },
         "run_job --method 10 --toast --source a.mpg --output out.mpg --answer yes"},
        // The piece of track 1 is named like track 1's output under -%04d.
        {"split piece", "written earlier", [](const TempFolder& d) { TwoTrackImage(d); },
         "run_job --method 2 --source m_01.cue --output movie.mpg --set MultiFileFormat=-%04d --answer yes" + kSplit,
         {"movie-0001.mpg", "movie-0002.mpg", "movie-0003.mpg"}, "[ split piece renamed, movie-0001.mpg is taken ]",
         true},
        {"split piece", "first input",
         [](const TempFolder& d) {
             harness::WriteFile(d / "name-0001.mpg", harness::ReadFile(Fixture("clip_pal_vcd.mpg")) +
                                                         harness::ReadFile(Fixture("clip_pal_vcd_b.mpg")));
         },
         "run_job --method 10 --source name-0001.mpg --output name.mpg --answer yes" + kSplit,
         {"name.mpg", "name-0002.mpg"}, "[ split piece renamed, name-0001.mpg is taken ]", true},
        {"image", "first input", Clips, kBuild + "--method 1 --input a.mpg --input b.mpg --output a.mpg --answer yes"},
        {"image", "later input", Clips, kBuild + "--method 1 --input a.mpg --input b.mpg --output b.mpg --answer yes"},
        {"image", "symlink", Clips, kBuild + "--method 1 --input a.mpg --input b.mpg --output l.mpg --answer yes"},
        {"image", "hard link", Clips, kBuild + "--method 1 --input a.mpg --input b.mpg --output h.mpg --answer yes"},
        {"cue image", "its sheet", Clips, kBuild + "--method 1 --input a.mpg --output movie.cue --answer yes"},
        {"toc image", "its sheet", Clips, kBuild + "--method 0 --input a.mpg --output movie.toc --answer yes"},
        // b.cue is an MPEG file of the list and the sheet of the image b.bin.
        {"cue sheet", "later input",
         [](const TempFolder& d) {
             Clips(d);
             fs::copy_file(d / "b.mpg", d / "b.cue");
         },
         kBuild + "--method 1 --input a.mpg --input b.cue --output b.bin --answer yes"},
        {"build sample", "later input",
         [](const TempFolder& d) {
             Clips(d);
             fs::copy_file(d / "b.mpg", d / "a-sample.mpg");
         },
         kBuild + "--method 1 --input a.mpg --input a-sample.mpg --output movie.bin --sample 1 0 20 --answer yes"},
        {"build sample", "written earlier", Clips,
         kBuild + "--method 1 --input a.mpg --input b.mpg --output a-sample.mpg --sample 1 0 20 --answer yes"},
        {"clip editor", "its source", Clips, "run_clip --source a.mpg --in-frame 0 --out-frame 30 --output a.mpg", {},
         kSame, false, "nothing written"},
        {"clip editor", "symlink", Clips, "run_clip --source a.mpg --in-frame 0 --out-frame 30 --output l.mpg", {},
         kSame, false, "nothing written"},
        {"clip editor", "hard link", Clips, "run_clip --source b.mpg --in-frame 0 --out-frame 30 --output h.mpg", {},
         kSame, false, "nothing written"},
        {"sfv", "first listed", Clips, "run_sfv --create 'a.mpg a.mpg b.mpg'"},
        {"sfv", "symlink", Clips, "run_sfv --create 'l.mpg *.mpg'"},
        {"sfv", "hard link", Clips, "run_sfv --create 'h.mpg a.mpg b.mpg'"},
        {"srt", "symlink",
         [](const TempFolder& d) {
             Copy(d, "cdi_subtitles.stream", "s");
             fs::create_symlink("s", d / "s.srt");
         },
         "run_subtitles --plain --source s --output .", {}, kSame, false, "error 9"},
        {"sub", "hard link",
         [](const TempFolder& d) {
             Copy(d, "cdi_subtitles.stream", "s");
             fs::create_hard_link(d / "s", d / "s.sub");
         },
         "run_subtitles --plain --sub --source s --output .", {}, kSame, false, "error 9"},
        // The second file's name leads to the first one's output.
        {"srt", "written earlier",
         [](const TempFolder& d) {
             Copy(d, "cdi_subs.bin", "cdi_subs.bin");
             fs::create_symlink("MOVIE.EN.srt", d / "MOVIE.FR.srt");
         },
         "run_subtitles --source cdi_subs.bin --output .", {"MOVIE.EN.srt"}, kSame, false, "error 9"},
    };
}

void PrintTo(const ClashCase& c, std::ostream* os) { *os << c.writer << ", " << c.clash; }

class OutputClash : public ::testing::TestWithParam<ClashCase> {};

TEST_P(OutputClash, RefusedBeforeAnythingIsWrittenAndEveryInputKeepsItsBytes) {
    const ClashCase& c = GetParam();
    TempFolder d;
    c.setup(d);
    const std::map<std::string, std::string> before = Snapshot(d.path);
    const std::set<std::string> namesBefore = Names(d.path);
    const Outcome o = harness::RunShell("cd '" + d.path + "' && PATH='" + PELLMOR_BUILD_DIR + "/tests':\"$PATH\" " +
                                        c.command + " 2>&1");
    if (c.succeeds) {
        EXPECT_EQ(o.status, 0) << o.out;
    } else {
        EXPECT_NE(o.status, 0) << o.out;
        EXPECT_NE(o.out.find(c.refusal), std::string::npos) << o.out;
    }
    EXPECT_NE(o.out.find(c.line), std::string::npos) << o.out;
    for (const auto& [name, md5] : before) EXPECT_EQ(harness::Md5(d / name), md5) << name << " changed\n" << o.out;
    std::set<std::string> created;
    for (const std::string& n : Names(d.path))
        if (!namesBefore.count(n)) created.insert(n);
    EXPECT_EQ(created, c.written) << o.out;
}

INSTANTIATE_TEST_SUITE_P(Writers, OutputClash, ::testing::ValuesIn(Cases()), [](const auto& info) {
    std::string n = std::string(info.param.writer) + "_" + info.param.clash;
    for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return n;
});

// The renamed piece holds the stream that would have gone over track 1.
TEST(OutputClash, RenamedPieceKeepsEveryTrack) {
    TempFolder d;
    TwoTrackImage(d);
    const Outcome o = harness::RunShell("cd '" + d.path + "' && " + PELLMOR_BUILD_DIR +
                                        "/tests/run_job --method 2 --source m_01.cue --output movie.mpg "
                                        "--set MultiFileFormat=-%04d --answer yes" + kSplit + " 2>&1");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_TRUE(harness::SameBytes(harness::ReadFile(d / "movie-0001.mpg"), harness::ReadFile(Fixture("clip_pal_vcd.mpg"))));
    EXPECT_TRUE(harness::SameBytes(harness::ReadFile(d / "movie-0002.mpg"), harness::ReadFile(Fixture("clip_pal_vcd_c.mpg"))));
    EXPECT_TRUE(harness::SameBytes(harness::ReadFile(d / "movie-0003.mpg"), harness::ReadFile(Fixture("clip_pal_vcd_b.mpg"))));
    EXPECT_EQ(o.out.find("Overwrite"), std::string::npos) << o.out;
}

}  // namespace
