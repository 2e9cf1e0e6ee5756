// run_job's video-cd page mode: the build list filled headless from the
// command line, printed one entry a line, and refusals as exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/mpeg_clips.h"

namespace {

struct Outcome {
    int status = -1;
    std::vector<std::string> entries;  // the entry lines
    std::string images;                // the summary line
    std::string out;
};

Outcome RunJob(const std::string& args) {
    const std::string command = std::string(PELLMOR_BUILD_DIR) + "/tests/run_job --page 1 " + args + " 2>/dev/null";
    Outcome o;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
    const int raw = ::pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream lines(o.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("entry\t", 0) == 0) o.entries.push_back(line);
        if (line.rfind("images\t", 0) == 0) o.images = line;
    }
    return o;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
    return out;
}

std::string Size(const std::string& path) { return std::to_string(std::filesystem::file_size(path)); }

#define NEED_FFMPEG() \
    if (!clips::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed"

}  // namespace

TEST(RunJobBuildList, ListsEveryEntryWithItsFacts) {
    NEED_FFMPEG();
    const std::string pal = clips::Target("pal-vcd", 3), ntsc = clips::Target("ntsc-vcd", 3);
    const Outcome o = RunJob("--method 1 --input '" + pal + "' --input '" + ntsc + "' --list-only");
    ASSERT_EQ(o.status, 0) << o.out;
    ASSERT_EQ(o.entries.size(), 2u) << o.out;
    EXPECT_EQ(o.entries[0], "entry\t1\t1\t1\t0\t" + Size(pal) + "\t" + Size(pal) +
                                "\t352x288\t3\t1150000\t2\t44100\t224000\t1\t00:03.00\t0\t0\t" + pal);
    EXPECT_EQ(o.entries[1], "entry\t2\t1\t2\t0\t" + Size(ntsc) + "\t" + Size(ntsc) +
                                "\t352x240\t4\t1150000\t2\t44100\t224000\t0\t00:03.00\t0\t0\t" + ntsc);
    EXPECT_EQ(o.images, "images\t1\t2");
    // The log of the adds goes out too.
    EXPECT_NE(o.out.find(" 2   352x240( 29.97fps) @ 1150 kbits    44100Hz @ 224 kbits    2324 - ok"), std::string::npos);
}

TEST(RunJobBuildList, SpansSplitsAndShiftsImages) {
    NEED_FFMPEG();
    const std::string longClip = clips::Target("pal-vcd", 12), shortClip = clips::Target("pal-vcd", 3);
    const Outcome split =
        RunJob("--method 0 --capacity 1300000 --margin 0 --input '" + longClip + "' --list-only");
    ASSERT_EQ(split.status, 0) << split.out;
    ASSERT_GE(split.entries.size(), 3u);
    std::string expectedStart = "0";
    for (size_t i = 0; i < split.entries.size(); ++i) {
        const std::vector<std::string> f = Fields(split.entries[i]);
        ASSERT_EQ(f.size(), 18u);
        EXPECT_EQ(f[2], std::to_string(i + 1));  // one image a piece
        EXPECT_EQ(f[4], expectedStart);
        EXPECT_LE(std::stoll(f[6]), 1300000 - 546140);
        EXPECT_EQ(f[15], i == 0 ? "0" : "1");
        EXPECT_EQ(f[16], "1");
        expectedStart = f[5];
    }
    EXPECT_EQ(expectedStart, Size(longClip));

    // Three short clips, no spanning: shift the third, then the second, then
    // take the second back.
    const std::string three = "--input '" + shortClip + "' --input '" + shortClip + "' --input '" + shortClip + "'";
    EXPECT_EQ(RunJob("--method 1 " + three + " --increase-image 3 --list-only").images, "images\t2\t2,1");
    EXPECT_EQ(RunJob("--method 1 " + three + " --increase-image 3 --increase-image 2 --list-only").images,
              "images\t3\t1,1,1");
    EXPECT_EQ(RunJob("--method 1 " + three + " --increase-image 3 --increase-image 2 --reduce-image 2 --list-only")
                  .images,
              "images\t2\t2,1");
    // 74 minutes is far more than three short clips.
    EXPECT_EQ(RunJob("--method 1 --span 74 " + three + " --list-only").images, "images\t1\t3");
    // But not than 98 tracks: the 99th opens image 2; without spanning it
    // is refused.
    std::string many;
    for (int i = 0; i < 99; ++i) many += " --input '" + shortClip + "'";
    EXPECT_EQ(RunJob("--method 1 --span 74" + many + " --list-only").images, "images\t2\t98,1");
    const auto refused = RunJob("--method 1" + many + " --list-only");
    EXPECT_EQ(refused.status, 12);
    EXPECT_NE(refused.out.find("Cannot exceed 99 video tracks."), std::string::npos) << refused.out;
}

TEST(RunJobBuildList, StopsAtTheFirstRefusalWithItsResult) {
    NEED_FFMPEG();
    const std::string vcd = clips::Target("pal-vcd", 3), svcd = clips::Target("pal-svcd", 3);
    const std::string packs = std::string(PELLMOR_FIXTURES) + "/mpeg_2048packs.mpg";
    const std::string audioOnly = clips::Make("audio_only.mpg", "-f lavfi -i sine=frequency=440:duration=1 "
                                                                "-c:a mp2 -b:a 224k -f vcd");
    ASSERT_FALSE(audioOnly.empty());
    const std::string noise = clips::Scratch("noise.mpg");
    if (FILE* f = std::fopen(noise.c_str(), "wb")) {
        for (int i = 0; i < 100000; ++i) std::fputc((i * 7919) >> 3 & 0xFF, f);
        std::fclose(f);
    }
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"--input '" + vcd + "' --input '" + noise + "'", 7},
        {"--input '" + vcd + "' --input '" + audioOnly + "'", 8},
        {"--input '" + vcd + "' --input '" + svcd + "'", 12},
        {"--input '" + svcd + "' --input '" + vcd + "'", 12},
        {"--input '" + vcd + "' --input /nonexistent/x.mpg --input '" + vcd + "'", 4},
        {"--input '" + packs + "'", 9},
        {"--svcd --input '" + svcd + "'", 0},
        {"--svcd --input '" + vcd + "'", 0},  // the first file decides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = RunJob("--method 1 " + c.args + " --list-only");
        EXPECT_EQ(o.status, c.status) << o.out;
        EXPECT_EQ(o.entries.empty(), c.status != 0);
    }
    EXPECT_EQ(RunJob("--method 1 --pause 17 --input '" + vcd + "' --list-only").status, 2);
    EXPECT_EQ(RunJob("--method 2 --input '" + vcd + "' --list-only").status, 2);
}
