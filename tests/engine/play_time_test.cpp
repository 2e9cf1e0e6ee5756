// Play times measured from the stream (first picture to last plus one) and
// the tables built from them: the scan points, TRACKS.SVD and the SVCD scan
// index of image builds from ffmpeg clips, checked against the pictures
// ffprobe decodes and against vcdimager's TRACKS.SVD; and an image longer
// than a disc's addresses. The clips are built once per build tree by
// scripts/play_time_clips.sh.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"

using harness::Outcome;
using harness::ReadFile;
using harness::RunJob;
using harness::TempFolder;

namespace {

bool ToolsPresent() {
    return std::system("{ command -v ffmpeg && command -v ffprobe && command -v vcdimager; } >/dev/null 2>&1") == 0;
}

#define NEED_TOOLS() \
    if (!ToolsPresent()) GTEST_SKIP() << "ffmpeg, ffprobe or vcdimager missing"

// The folder of clips, made on first use.
const std::string& Clips() {
    static const std::string dir = media::ScriptFolder("play_time_clips.sh", "play-time-clips");
    return dir;
}

std::string Clip(const std::string& name) { return Clips() + "/" + name + ".mpg"; }

// Seconds a clip plays by ffprobe: the pictures it decodes at the stream's
// frame rate. (Its duration field guesses short for streams with B pictures
// whose last ones carry no PTS.)
double ProbeSeconds(const std::string& path) {
    static std::map<std::string, double> known;
    if (auto it = known.find(path); it != known.end()) return it->second;
    const std::string out = harness::Command("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                             "stream=r_frame_rate,nb_read_frames -of csv=p=0 '" + path + "'");
    int num = 0, den = 1;
    long frames = 0;
    if (std::sscanf(out.c_str(), "%d/%d,%ld", &num, &den, &frames) != 3 || num <= 0) return -1;
    return known[path] = double(frames) * den / num;
}

int Bcd(uint8_t b) { return (b >> 4) * 10 + (b & 15); }
int64_t MsfFrames(const uint8_t* p) { return int64_t(Bcd(p[0])) * 4500 + Bcd(p[1]) * 75 + Bcd(p[2]); }

// The data of the Form 1 file that begins with magic in the data track:
// count sectors of it, 2048 bytes each.
std::string SystemFile(const std::string& image, const char* magic, size_t sectors) {
    for (size_t s = 0; s < 600 && (s + 1) * 2352 <= image.size(); ++s) {
        if (image.compare(s * 2352 + 24, std::strlen(magic), magic) != 0) continue;
        std::string data;
        for (size_t k = s; k < s + sectors && (k + 1) * 2352 <= image.size(); ++k)
            data += image.substr(k * 2352 + 24, 2048);
        return data;
    }
    return {};
}

// The scan points of an image as logical sectors: SEARCH.DAT's on an SVCD,
// SCANDATA.DAT's on a VCD.
std::vector<int64_t> ScanPoints(const std::string& image, bool svcd) {
    const std::string table = SystemFile(image, svcd ? "SEARCHSV" : "SCAN_VCD", 32);
    std::vector<int64_t> points;
    if (table.size() < 13) return points;
    const auto* b = reinterpret_cast<const uint8_t*>(table.data());
    const size_t count = size_t(b[10]) << 8 | b[11];
    const size_t first = svcd ? 13 : 12;
    for (size_t i = 0; i < count && first + 3 * i + 3 <= table.size(); ++i)
        points.push_back(MsfFrames(b + first + 3 * i) - 150);
    return points;
}

// The logical sector of each INDEX 01 of a cue sheet (the data track first).
std::vector<int64_t> CueStarts(const std::string& cue) {
    std::vector<int64_t> starts;
    std::istringstream in(ReadFile(cue));
    for (std::string line; std::getline(in, line);) {
        int m = 0, s = 0, f = 0;
        const size_t at = line.find("INDEX 01 ");
        if (at != std::string::npos && std::sscanf(line.c_str() + at + 9, "%d:%d:%d", &m, &s, &f) == 3)
            starts.push_back(int64_t(m) * 4500 + s * 75 + f);
    }
    return starts;
}

Outcome Build(const TempFolder& dir, bool svcd, const std::vector<std::string>& clips) {
    std::string args = "--page 1 --method 1 --date '2024-03-05 06:07:08' --output '" + (dir / "movie.bin") + "'";
    if (svcd) args += " --svcd";
    for (const std::string& c : clips) args += " --input '" + c + "'";
    return RunJob(args);
}

struct PointCase {
    const char* name;
    bool svcd;
    std::vector<const char*> clips;  // the list repeats them in turn
    int tracks;
};

void PrintTo(const PointCase& c, std::ostream* os) { *os << c.name; }

class ScanPointsOfBuild : public ::testing::TestWithParam<PointCase> {};

// One point every half second of the image's play time, each in the track
// that plays at its time by ffprobe's measure.
TEST_P(ScanPointsOfBuild, EveryPointLiesInTheTrackPlayingAtItsTime) {
    NEED_TOOLS();
    const PointCase& c = GetParam();
    std::vector<std::string> clips;
    for (int k = 0; k < c.tracks; ++k) clips.push_back(Clip(c.clips[size_t(k) % c.clips.size()]));
    TempFolder dir;
    const Outcome o = Build(dir, c.svcd, clips);
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string image = ReadFile(dir / "movie.bin");
    const std::vector<int64_t> starts = CueStarts(dir / "movie.cue");
    ASSERT_EQ(starts.size(), clips.size() + 1);

    std::vector<double> ends;  // when each track stops playing, from the image's start
    double total = 0;
    for (const std::string& clip : clips) {
        const double seconds = ProbeSeconds(clip);
        ASSERT_GT(seconds, 0) << clip;
        ends.push_back(total += seconds);
    }
    const std::vector<int64_t> points = ScanPoints(image, c.svcd);
    size_t expected = 0;
    while (double(expected) * 0.5 < total - 1e-6) ++expected;
    EXPECT_EQ(points.size(), expected);
    size_t track = 0;
    for (size_t k = 0; k < points.size(); ++k) {
        const double t = double(k) * 0.5;
        while (track + 1 < ends.size() && t >= ends[track] - 1e-6) ++track;
        const int64_t from = starts[track + 1];
        const int64_t to = track + 2 < starts.size() ? starts[track + 2] : int64_t(image.size() / 2352);
        EXPECT_TRUE(points[k] >= from && points[k] < to)
            << "point " << k << " (t = " << t << " s) at sector " << points[k] << ", track " << track + 1
            << " plays then in sectors " << from << " to " << to;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clips, ScanPointsOfBuild,
    ::testing::Values(PointCase{"TwentyPalSeconds", false, {"pal_vcd_1s"}, 20},
                      PointCase{"TwentyNtscSecondsWithBPictures", false, {"ntsc_vcd_bf_1s"}, 20},
                      PointCase{"TwentySvcdSecondsWithBPictures", true, {"pal_svcd_1s"}, 20},
                      PointCase{"ThirtyMinutesPalAndNtsc", false, {"pal_vcd_60s", "ntsc_vcd_60s"}, 30},
                      PointCase{"VcdClockStartingAgain", false, {"pal_vcd_joined", "pal_vcd_1s"}, 2},
                      PointCase{"SvcdClockStartingAgain", true, {"pal_svcd_joined", "pal_svcd_1s"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// A stream whose clocks start again part way (two clips joined end to end)
// lists the play time of all its pictures, not the span between its first
// and last GOP's time codes.
TEST(PlayTimeList, JoinedClipsListTheTimeOfAllTheirPictures) {
    NEED_TOOLS();
    struct Case {
        const char* clip;
        const char* args;
        std::vector<std::string> times;  // one per entry
    };
    // Split, the piece that holds the joint lists its own time too.
    for (const Case& c : {Case{"pal_vcd_joined", "", {"01:01.00"}},
                          Case{"pal_svcd_joined", " --svcd", {"00:12.00"}},
                          Case{"pal_vcd_joined", " --span 74 --capacity 6546140 --margin 0", {"00:34.05", "00:26.20"}}}) {
        SCOPED_TRACE(std::string(c.clip) + c.args);
        const Outcome o =
            RunJob(std::string("--page 1 --method 1") + c.args + " --input '" + Clip(c.clip) + "' --list-only");
        ASSERT_EQ(o.status, 0) << o.out;
        std::istringstream lines(o.out);
        std::string line;
        std::vector<std::string> times;
        while (std::getline(lines, line)) {
            if (line.rfind("entry\t", 0) != 0) continue;
            std::istringstream fields(line);
            std::string time;
            for (int k = 0; k < 15 && std::getline(fields, time, '\t'); ++k) {
            }
            times.push_back(time);
        }
        EXPECT_EQ(times, c.times) << o.out;
    }
}

// A piece of a split file that holds the joint of two clips: its clock is
// rebased up to the joint, and from there on its bytes are the source's (a
// shift taken off the second clip's small stamps held every one at 0), so
// its scan points follow the pictures to its end.
TEST(PlayTimeList, PieceAcrossAJointKeepsTheSecondClock) {
    NEED_TOOLS();
    const std::string source = ReadFile(Clip("pal_vcd_joined"));
    const size_t joint = ReadFile(Clip("pal_vcd_60s")).size();
    TempFolder dir;
    const Outcome o = RunJob("--page 1 --method 1 --date '2024-03-05 06:07:08' --span 74 --capacity 6546140 "
                             "--margin 0 --input '" + Clip("pal_vcd_joined") + "' --output '" + (dir / "movie.bin") +
                             "'");
    ASSERT_EQ(o.status, 0) << o.out;
    ASSERT_TRUE(harness::Exists(dir / "movie_02.bin")) << o.out;
    ASSERT_FALSE(harness::Exists(dir / "movie_03.bin")) << o.out;
    harness::Command("cd '" + dir.path + "' && vcdxrip -q --nofiles --cue-file='" + (dir / "movie_02.cue") +
                     "' >/dev/null 2>&1");
    const std::string piece = ReadFile(dir / "avseq01.mpg");
    const size_t tail = source.size() - joint;
    ASSERT_GT(piece.size(), tail);
    EXPECT_TRUE(piece.compare(piece.size() - tail, tail, source, joint, tail) == 0);
    // 26.8 s of pictures: 54 points.
    EXPECT_EQ(ScanPoints(ReadFile(dir / "movie_02.bin"), false).size(), 54u);
}

// TRACKS.SVD and the play times of the SVCD scan index are ffprobe's play
// times, and within a 75th of a second of what vcdimager writes for the same
// clip (00:10:74 for eleven seconds; the measure here gives 00:11:00).
TEST(PlayTimeTables, TracksSvdAndScanIndexHoldTheMeasuredPlayTimes) {
    NEED_TOOLS();
    const std::vector<std::string> clips = {Clip("pal_svcd_11s"), Clip("pal_svcd_1s"), Clip("pal_svcd_11s")};
    TempFolder dir;
    const Outcome o = Build(dir, true, clips);
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string image = ReadFile(dir / "movie.bin");
    const std::string tracks = SystemFile(image, "TRACKSVD", 1);
    const std::string index = SystemFile(image, "SCAN_VCD", 1);
    ASSERT_GE(tracks.size(), 11u + 3 * clips.size());
    ASSERT_GE(index.size(), 16u + 3 * clips.size());
    const auto* t = reinterpret_cast<const uint8_t*>(tracks.data());
    const auto* s = reinterpret_cast<const uint8_t*>(index.data());
    ASSERT_EQ(t[10], clips.size());
    ASSERT_EQ(s[13], clips.size());
    double cumulative = 0;
    for (size_t i = 0; i < clips.size(); ++i) {
        const double seconds = ProbeSeconds(clips[i]);
        cumulative += seconds;
        EXPECT_EQ(MsfFrames(t + 11 + 3 * i), int64_t(seconds * 75 + 1e-6)) << "TRACKS.SVD, track " << i + 1;
        EXPECT_EQ(MsfFrames(s + 16 + 3 * i), int64_t(cumulative * 75 + 1e-6)) << "scan index, track " << i + 1;
    }

    const std::string theirs = SystemFile(ReadFile(Clips() + "/vcdimager_11s.bin"), "TRACKSVD", 1);
    ASSERT_GE(theirs.size(), 14u);
    const int64_t vcdimager = MsfFrames(reinterpret_cast<const uint8_t*>(theirs.data()) + 11);
    EXPECT_LE(std::llabs(MsfFrames(t + 11) - vcdimager), 1) << "vcdimager writes " << vcdimager << " 75ths";
}

// 98 one-minute tracks with their frames run past 99:59:74: the build says
// so and writes nothing.
TEST(ImageLimits, ImagePastTheLastDiscAddressIsRefusedBeforeAnythingIsWritten) {
    NEED_TOOLS();
    TempFolder dir;
    const Outcome o = Build(dir, false, std::vector<std::string>(98, Clip("pal_vcd_60s")));
    EXPECT_EQ(o.status, 9) << o.out;
    EXPECT_NE(o.out.find("Unable to create output file."), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("past 99:59:74"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("SCANDATA"), std::string::npos) << o.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
