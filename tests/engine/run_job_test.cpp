// The headless runner other checks use: its arguments reach the job, its log
// reaches standard output and its exit status is the job's result.
#include <gtest/gtest.h>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::ReadFile;
using harness::RunJob;
using harness::RunShell;
using harness::Outcome;

namespace {

TEST(RunJob, ExtractsSelectedTracksWithTheGivenSettings) {
    harness::TempFolder dir;
    const Outcome o = RunJob("--method 2 --source " + Fixture("vcd_pal3.cue") + " --output " + (dir / "m.mpg") +
                             " --tracks 2,3 --fix --set MultiFileFormat=-t%d --set DisableMPEGPadding=1");
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_FALSE(harness::Exists(dir / "m-t1.mpg"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "m-t2.mpg"), ReadFile(Fixture("clip_pal_vcd_b.mpg"))));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "m-t3.mpg"), ReadFile(Fixture("clip_pal_vcd_c.mpg"))));
    EXPECT_NE(o.out.find("     Setting multi-file output convention to '-t%d'\n"), std::string::npos);
    EXPECT_NE(o.out.find("     0 MPEG block correction(s) applied\n"), std::string::npos);
    EXPECT_EQ(o.out.find("Blocks padded"), std::string::npos);
    EXPECT_NE(o.out.find("## Pellmor completed"), std::string::npos);
}

TEST(RunJob, ExitStatusIsTheJobsResult) {
    harness::TempFolder dir;
    harness::WriteFile(dir / "o.mpg", "old");
    const std::string clip = Fixture("clip_pal_vcd.mpg");
    EXPECT_EQ(RunJob("--method 10 --source " + clip + " --output " + (dir / "o.mpg") + " --answer no").status, 9);
    EXPECT_EQ(RunJob("--method 10 --source " + clip + " --output " + (dir / "o.mpg") + " --answer cancel").status, 3);
    EXPECT_EQ(ReadFile(dir / "o.mpg"), "old");
    EXPECT_EQ(RunJob("--method 10 --source " + clip + " --output " + (dir / "o.mpg") + " --answer yes").status, 0);
    EXPECT_EQ(RunJob("--method 10 --source " + clip + " --output " + (dir / "p.mpg") + " --force-read 0").status, 12);
    EXPECT_EQ(RunJob("--method 2 --source " + Fixture("bad_no_mpeg.cue") + " --output " + (dir / "n.mpg")).status, 5);
    const Outcome passive = RunJob("--method 10 --source " + clip + " --passive");
    EXPECT_EQ(passive.status, 0);
    EXPECT_NE(passive.out.find("processed Track 1"), std::string::npos);
}

// A file system that runs out of space in the middle of track 2: the job
// ends with the write error at once, track 2 is never called processed, its
// cut output is removed (and the log says so) and gets no companion file.
// Needs a small tmpfs, mounted in a mount namespace of its own.
TEST(RunJob, FullFileSystemLeavesNoCutOutput) {
    if (std::system("unshare -rm true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no mount namespace here";
    harness::TempFolder dir;
    const std::string mnt = dir / "mnt";
    std::filesystem::create_directory(mnt);
    struct Case {
        const char* args;
        const char* first;   // outputs of track 1 that fit
        const char* second;  // the output cut short
    };
    for (const Case& c : {Case{"--method 2 --toast --output " , "m_01.mpg", "m_02.mpg"},
                          Case{"--method 3 --output ", "m_01.dat", "m_02.dat"}}) {
        SCOPED_TRACE(c.args);
        const bool dat = std::string(c.args).find("method 3") != std::string::npos;
        const std::string inner = "mount -t tmpfs -o size=" + std::string(dat ? "900k" : "300k") + " tmpfs " + mnt +
                                  " && " + PELLMOR_BUILD_DIR + "/tests/run_job --source " + Fixture("vcd_pal3.cue") +
                                  " " + c.args + mnt + "/m." + (dat ? "dat" : "mpg") + "; echo \"rc=$?\"; ls -1 " + mnt;
        const Outcome o = RunShell("unshare -rm sh -c '" + inner + "'");
        EXPECT_NE(o.out.find("rc=9\n"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("processed Track 1 "), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("processed Track 2 "), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("Unable to create output file."), std::string::npos);
        EXPECT_NE(o.out.find("[ incomplete output removed ] " + mnt + "/" + c.second), std::string::npos) << o.out;
        // What is left: track 1's output (and its companion), nothing of track 2.
        const std::string listing = o.out.substr(o.out.find("rc="));
        EXPECT_NE(listing.find(std::string("\n") + c.first + "\n"), std::string::npos) << listing;
        EXPECT_EQ(listing.find(c.second), std::string::npos) << listing;
        if (!dat) {
            EXPECT_NE(listing.find("m_01.mpg.rsrc"), std::string::npos) << listing;
        }
    }
}

TEST(RunJob, RefusesArgumentsItDoesNotKnow) {
    EXPECT_EQ(RunJob("--method 10").status, 2);
    EXPECT_EQ(RunJob("--method x --source a --output b").status, 2);
    EXPECT_EQ(RunJob("--method 10 --source a --output b --set NoSuchSetting=1").status, 2);
    EXPECT_EQ(RunJob("--method 10 --source a --output b --answer maybe").status, 2);
    harness::TempFolder dir;
    const std::string cue = Fixture("vcd_pal3.cue");
    EXPECT_EQ(RunJob("--method 2 --source " + cue + " --output " + (dir / "m.mpg") + " --tracks 2,9").status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
