// The headless runner other checks use: its arguments reach the job, its log
// reaches standard output and its exit status is the job's result.
#include <gtest/gtest.h>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::ReadFile;
using harness::RunJob;
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
