// The build list on real streams: ffmpeg clips of every disc target checked
// against ffprobe, refusals that must leave everything as it was, leading
// bytes, splitting over images at a small capacity, and the image rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"
#include "disc/vcd_track_list.h"
#include "tests/support/build_list_rig.h"
#include "tests/support/mpeg_clips.h"

namespace {

[[maybe_unused]] std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

[[maybe_unused]] void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// The log lines that are not empty, in order.
std::vector<std::string> LogLines(const fakes::RecordingListBox& log) {
    std::vector<std::string> out;
    for (const std::string& l : log.lines())
        if (!l.empty()) out.push_back(l);
    return out;
}

#define NEED_FFMPEG() \
    if (!clips::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed"

}  // namespace

// Every disc target: the facts on the list are ffprobe's, the log line is
// the fixed layout, and the play time runs from the first to the last GOP.
TEST(MpegFileList, StreamFactsOfEveryTargetMatchFfprobe) {
    NEED_FFMPEG();
    struct Case {
        const char* target;
        const char* extra;
        int rateCode;
        bool pal;
        double lastGopSeconds;  // the last GOP, which the play time leaves out
    };
    const Case cases[] = {
        {"pal-vcd", "", 3, true, 0.6},          {"ntsc-vcd", "", 4, false, 0.6},
        {"film-vcd", "", 1, false, 0.75},       {"pal-svcd", "", 3, true, 0.6},
        {"ntsc-svcd", "", 4, false, 0.6},       {"film-svcd", "", 1, false, 0.75},
        {"pal-svcd", "-ar 48000 -b:a 128k", 3, true, 0.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.extra);
        const std::string clip = clips::Target(c.target, 3, c.extra);
        ASSERT_FALSE(clip.empty());
        fakes::BuildListRig rig;
        ASSERT_EQ(rig.list.AddFile(clip), 0);
        ASSERT_EQ(rig.list.entries.size(), 1u);
        const TMpegFileInfo& e = rig.list.entries[0];
        const bool mpeg2 = std::string(c.target).find("svcd") != std::string::npos;
        EXPECT_EQ(rig.job.discKind, mpeg2 ? 2 : 1);
        EXPECT_EQ(std::to_string(e.width), clips::Probe(clip, "v", "stream=width"));
        EXPECT_EQ(std::to_string(e.height), clips::Probe(clip, "v", "stream=height"));
        EXPECT_EQ(e.frameRateCode, c.rateCode);
        const std::string rate = clips::Probe(clip, "v", "stream=r_frame_rate");
        int num = 0, den = 1;
        ASSERT_EQ(std::sscanf(rate.c_str(), "%d/%d", &num, &den), 2);
        EXPECT_NEAR(e.frameRate, double(num) / den, 1e-9);
        EXPECT_EQ(std::to_string(e.videoBitRate),
                  mpeg2 ? clips::ProbeMaxBitrate(clip) : clips::Probe(clip, "v", "stream=bit_rate"));
        EXPECT_EQ(std::to_string(e.audioSampleRate), clips::Probe(clip, "a", "stream=sample_rate"));
        EXPECT_EQ(std::to_string(e.audioBitRate), clips::Probe(clip, "a", "stream=bit_rate"));
        EXPECT_EQ(e.audioLayer, 2);  // mp2: Layer II
        EXPECT_EQ(e.pal, c.pal ? 1 : 0);
        EXPECT_EQ(e.packSize2324, 1);
        EXPECT_EQ(e.startOffset, 0);
        EXPECT_EQ(e.endOffset, int64_t(ReadAll(clip).size()));

        const double duration = std::stod(clips::Probe(clip, "v", "stream=duration"));
        const double played = e.playMinutes * 60 + e.playSeconds + double(e.playPictures) / std::ceil(e.frameRate);
        EXPECT_LE(played, duration);
        EXPECT_GE(played, duration - c.lastGopSeconds - 1.0 / e.frameRate);
        EXPECT_EQ(rig.grid.cell(3, 1), "[00:00:02s]");

        char expected[160];
        std::snprintf(expected, sizeof expected, " 1   %dx%d(%sfps) @ %4d kbits    %5dHz @ %3d kbits    2324 - ok",
                      e.width, e.height, TMpegFileList::FrameRateText(c.rateCode), int(e.videoBitRate / 1000),
                      std::stoi(clips::Probe(clip, "a", "stream=sample_rate")),
                      std::stoi(clips::Probe(clip, "a", "stream=bit_rate")) / 1000);
        const std::vector<std::string> log = LogLines(rig.log);
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[3], expected);
    }
}

// The pal-vcd line spelled out, as the page's log shows it.
TEST(MpegFileList, PalVcdLogLine) {
    NEED_FFMPEG();
    fakes::BuildListRig rig;
    ASSERT_EQ(rig.list.AddFile(clips::Target("pal-vcd", 3)), 0);
    const std::vector<std::string> log = LogLines(rig.log);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], std::string(73, '-'));
    EXPECT_EQ(log[1], " #   [video]                            [audio]                [complies]");
    EXPECT_EQ(log[3], " 1   352x288(  25.0fps) @ 1150 kbits    44100Hz @ 224 kbits    2324 - ok");
    EXPECT_EQ(rig.config.buildListHeaderShown, 1);
}
