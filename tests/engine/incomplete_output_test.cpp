// A job that fails leaves none of the outputs it did not finish: a build into
// a full file system, a cif or nrg conversion without a stream, an sfd whose
// stream is missing after its header. Each removal is logged.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::Outcome;
using harness::TempFolder;

namespace fs = std::filesystem;

namespace {

// The fixture with every occurrence of `from` after the first `keep` bytes
// replaced by `to` (same length).
std::string Replaced(const std::string& fixture, const std::string& from, const std::string& to, size_t keep = 0) {
    std::string data = harness::ReadFile(Fixture(fixture));
    for (size_t at = data.find(from, keep); at != std::string::npos; at = data.find(from, at + to.size()))
        data.replace(at, from.size(), to);
    return data;
}

const std::string kPack("\x00\x00\x01\xBA", 4);
const std::string kNotPack("\x00\x00\x01\xBB", 4);

Outcome RunIn(const TempFolder& d, const std::string& args) {
    return harness::RunShell("cd '" + d.path + "' && " + PELLMOR_BUILD_DIR + "/tests/run_job " + args + " 2>&1");
}

bool Removed(const Outcome& o, const std::string& path) {
    return o.out.find("     [ incomplete output removed ] " + path) != std::string::npos;
}

// A small tmpfs of its own, where the test may mount one.
struct SmallFileSystem {
    explicit SmallFileSystem(const std::string& at) : path(at) {
        fs::create_directory(path);
        mounted = ::geteuid() == 0 &&
                  std::system(("mount -t tmpfs -o size=1m pellmor-full '" + path + "' 2>/dev/null").c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted) (void)std::system(("umount '" + path + "'").c_str());
    }
    std::string path;
    bool mounted = false;
};

}  // namespace

// The two images of the build do not fit in 1 MiB: the image goes when
// the disk is full, and the sheet is never written.
TEST(IncompleteOutput, BuildIntoAFullFileSystemLeavesNoImage) {
    TempFolder d;
    SmallFileSystem small(d / "small");
    if (!small.mounted) {
        // No tmpfs here: the job still fails on a device that is always full.
        const Outcome o = RunIn(d, "--page 1 --method 1 --input " + Fixture("clip_pal_vcd.mpg") + " --output /dev/full");
        EXPECT_NE(o.status, 0) << o.out;
        GTEST_SKIP() << "tmpfs cannot be mounted here; /dev/full checked instead";
    }
    const Outcome o = RunIn(d, "--page 1 --method 1 --input " + Fixture("clip_pal_vcd.mpg") + " --input " +
                                 Fixture("clip_pal_vcd_b.mpg") + " --output small/movie.bin");
    EXPECT_NE(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("Unable to create output file."), std::string::npos) << o.out;
    EXPECT_TRUE(Removed(o, "small/movie.bin")) << o.out;
    EXPECT_TRUE(fs::is_empty(small.path));

    // An extraction cut by the full disk goes the same way.
    harness::WriteFile(d / "big.mpg", harness::ReadFile(Fixture("sample_pal_vcd.mpg")) +
                                          harness::ReadFile(Fixture("sample_pal_vcd.mpg")));
    const Outcome x = RunIn(d, "--method 10 --source big.mpg --output small/big.mpg");
    EXPECT_NE(x.status, 0) << x.out;
    EXPECT_TRUE(Removed(x, "small/big.mpg")) << x.out;
    EXPECT_TRUE(fs::is_empty(small.path));
}

// The conversions find the tracks in the image's directory, then no stream
// in them: the placeholder image written first goes.
TEST(IncompleteOutput, FailedConversionLeavesNoImage) {
    struct Case {
        const char* fixture;
        const char* name;
        int method;
    };
    for (const Case c : {Case{"vcd_ntsc.cif", "bad.cif", 2}, Case{"vcd_pal3.nrg", "bad.nrg", 3}}) {
        SCOPED_TRACE(c.name);
        TempFolder d;
        harness::WriteFile(d / c.name, Replaced(c.fixture, kPack, kNotPack));
        const std::string before = harness::Md5(d / c.name);
        const Outcome o = RunIn(d, "--page 1 --method " + std::to_string(c.method) + " --source " + c.name +
                                     " --output out.bin");
        EXPECT_NE(o.status, 0) << o.out;
        EXPECT_NE(o.out.find("Could not locate MPEG stream."), std::string::npos) << o.out;
        EXPECT_TRUE(Removed(o, "out.bin")) << o.out;
        EXPECT_FALSE(harness::Exists(d / "out.bin"));
        EXPECT_FALSE(harness::Exists(d / "out.cue"));
        EXPECT_EQ(harness::Md5(d / c.name), before);
    }
}

// The sfd's header sectors are written before its stream is searched: an sfd
// without a stream after them leaves no 4 KiB stub.
TEST(IncompleteOutput, SfdWithoutItsStreamLeavesNoStub) {
    TempFolder d;
    std::string data = Replaced("clip_pal.sfd", kPack, kNotPack, 1);
    const std::string mark("(c)CRI");
    for (size_t at = data.find(mark); at != std::string::npos; at = data.find(mark, at + 1)) data[at + 3] = 'X';
    harness::WriteFile(d / "bad.sfd", data);
    const Outcome o = RunIn(d, "--method 13 --source bad.sfd --output s.mpg");
    EXPECT_NE(o.status, 0) << o.out;
    EXPECT_TRUE(Removed(o, "s.mpg")) << o.out;
    EXPECT_FALSE(harness::Exists(d / "s.mpg"));
}

// What the job did not create stays: an output the user refused to have
// overwritten is no output of the failed job.
TEST(IncompleteOutput, OnlyTheJobsOwnUnfinishedOutputsGo) {
    TempFolder d;
    harness::WriteFile(d / "out.bin", "kept");
    const Outcome no = RunIn(d, "--page 1 --method 2 --source " + Fixture("vcd_ntsc.cif") + " --output out.bin --answer no");
    EXPECT_NE(no.status, 0) << no.out;
    EXPECT_EQ(harness::ReadFile(d / "out.bin"), "kept");
    EXPECT_EQ(no.out.find("incomplete output removed"), std::string::npos) << no.out;
}

// The output is whole when only its resource companion cannot be made: the
// job fails, and the video it wrote stays, byte for byte.
TEST(IncompleteOutput, AWholeOutputStaysWhenOnlyItsCompanionFails) {
    TempFolder d;
    fs::create_directory(d / "out.mpg.rsrc");
    const Outcome o = RunIn(d, "--method 10 --toast --source " + Fixture("clip_pal_vcd.mpg") + " --output out.mpg");
    EXPECT_NE(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("Unable to create resource file."), std::string::npos) << o.out;
    EXPECT_FALSE(Removed(o, "out.mpg")) << o.out;
    ASSERT_TRUE(harness::Exists(d / "out.mpg")) << o.out;
    const Outcome whole =
        RunIn(d, "--method 10 --toast --source " + Fixture("clip_pal_vcd.mpg") + " --output ref.mpg");
    ASSERT_EQ(whole.status, 0) << whole.out;
    EXPECT_EQ(harness::Md5(d / "out.mpg"), harness::Md5(d / "ref.mpg"));
}
