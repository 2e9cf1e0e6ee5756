// Sample clips cut from ffmpeg clips through run_clip and WriteSample, each
// checked with ffmpeg and ffprobe as oracles and by reading its packs.
#include "tools/clip_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <cstring>
#include <sstream>

#include "core/result_codes.h"
#include "disc/time_code.h"
#include "engine/system_header.h"
#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"
#include "tools/mpeg_packets.h"

namespace {

using harness::Command;
using harness::Fixture;
using harness::ReadFile;

struct ClipRun {
    int status = -1;
    std::string out;
    long long inFrame = -1, outFrame = -1;
};

ClipRun RunClip(const std::string& args) {
    ClipRun r;
    // Bounded: a step that never ends fails the test instead of hanging it.
    FILE* p = ::popen(("timeout 60 " + std::string(PELLMOR_BUILD_DIR) + "/tests/run_clip " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int raw = ::pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::sscanf(r.out.c_str(), "in frame %lld", &r.inFrame);
    if (const size_t at = r.out.find("out frame "); at != std::string::npos)
        std::sscanf(r.out.c_str() + at, "out frame %lld", &r.outFrame);
    return r;
}

bool HaveFfmpeg() { return std::system("ffprobe -version >/dev/null 2>&1") == 0; }

// Clock values of a clip's packs, in order.
std::vector<uint64_t> PackScrs(const std::string& bytes) {
    std::vector<uint64_t> scrs;
    for (size_t at = 0; at + 2324 <= bytes.size(); at += 2324) {
        const auto* s = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        const PsSector ps = ParsePsSector(s, 2324);
        if (ps.packKind == 1) scrs.push_back(TGopTimeCode::DecodeMpeg1Scr(s + 4));
        if (ps.packKind == 2) scrs.push_back(TGopTimeCode::DecodeMpeg2Scr(s + 4));
    }
    return scrs;
}

std::vector<int64_t> GopFrames(const std::string& bytes, double rate) {
    std::vector<int64_t> frames;
    for (size_t at = bytes.find(std::string("\x00\x00\x01\xB8", 4)); at != std::string::npos && at + 8 <= bytes.size();
         at = bytes.find(std::string("\x00\x00\x01\xB8", 4), at + 1)) {
        TGopTimeCode tc;
        tc.Read(reinterpret_cast<const uint8_t*>(bytes.data() + at));
        frames.push_back(tc.FrameNumber(rate));
    }
    return frames;
}

// The ffmpeg and ffprobe checks every clip must pass; the audio spans the
// video unless the source's own audio ends before the clip does.
void CheckClip(const std::string& clip, long long pictures, double rate, bool audioSpans = true) {
    SCOPED_TRACE(clip);
    EXPECT_EQ(Command("ffmpeg -v error -i '" + clip + "' -f null - 2>&1"), "");
    std::istringstream streams(Command("ffprobe -v error -count_frames -show_entries "
                                       "stream=codec_type,start_time,duration,nb_read_frames -of csv=p=0 '" +
                                       clip + "' 2>&1"));
    std::string line;
    double duration[2] = {-1, -1};
    while (std::getline(streams, line)) {
        char type[16] = {};
        double start = 0, dur = 0;
        long long frames = 0;
        if (std::sscanf(line.c_str(), "%15[a-z],%lf,%lf,%lld", type, &start, &dur, &frames) != 4) continue;
        EXPECT_LT(start, 1.0) << type;
        if (std::string(type) == "video") {
            EXPECT_EQ(frames, pictures);
            duration[0] = dur;
        } else {
            duration[1] = dur;
        }
    }
    ASSERT_GT(duration[0], 0);
    ASSERT_GT(duration[1], 0);
    if (audioSpans) {
        EXPECT_NEAR(duration[0], duration[1], 0.3);
    }

    // Video decode stamps and audio presentation stamps never go back.
    std::istringstream packets(
        Command("ffprobe -v error -show_entries packet=codec_type,pts,dts -of csv=p=0 '" + clip + "'"));
    long long last[2] = {-1, -1};
    while (std::getline(packets, line)) {
        char type[16] = {};
        long long pts = 0, dts = 0;
        const int got = std::sscanf(line.c_str(), "%15[a-z],%lld,%lld", type, &pts, &dts);
        const bool video = std::string(type) == "video";
        const long long stamp = video ? (got == 3 ? dts : -1) : (got >= 2 ? pts : -1);
        if (stamp < 0) continue;
        EXPECT_GE(stamp, last[video ? 0 : 1]) << line;
        last[video ? 0 : 1] = stamp;
    }
    const std::string bytes = ReadFile(clip);
    const std::vector<uint64_t> scrs = PackScrs(bytes);
    for (size_t i = 1; i < scrs.size(); ++i) EXPECT_GE(scrs[i], scrs[i - 1]) << "pack " << i;
    const std::vector<int64_t> gops = GopFrames(bytes, rate);
    ASSERT_FALSE(gops.empty());
    EXPECT_EQ(gops.front(), 0);
    for (size_t i = 1; i < gops.size(); ++i) EXPECT_GT(gops[i], gops[i - 1]);
}

TEST(ClipWriter, ClipsPlayCleanly) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const harness::TempFolder dir;
    struct Case {
        const char* source;
        int in, out;
        long long expectIn, expectOut;
        double rate;
    } cases[] = {
        {"sample_pal_vcd.mpg", 30, 90, 30, 90, 25},     {"sample_pal_vcd.mpg", 0, 90, 0, 90, 25},
        {"sample_pal_vcd.mpg", 30, 135, 30, 135, 25},   {"sample_pal_vcd.mpg", 0, 75, 0, 75, 25},
        {"sample_pal_vcd_tc.mpg", 30, 90, 30, 90, 25},  {"sample_pal_vcd_tc.mpg", 0, 135, 0, 135, 25},
        {"sample_ntsc_vcd.mpg", 0, 36, 0, 36, 29.97},   {"sample_ntsc_vcd.mpg", 20, 80, 36, 72, 29.97},
        {"sample_pal_svcd.mpg", 0, 50, 0, 60, 25},      {"sample_pal_svcd.mpg", 25, 65, 30, 60, 25},
    };
    for (const Case& c : cases) {
        const std::string clip = dir / (std::string(c.source) + std::to_string(c.in) + "-" + std::to_string(c.out));
        const ClipRun r = RunClip("--source " + Fixture(c.source) + " --in-frame " + std::to_string(c.in) +
                              " --out-frame " + std::to_string(c.out) + " --output " + clip);
        SCOPED_TRACE(r.out);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.inFrame, c.expectIn);
        EXPECT_EQ(r.outFrame, c.expectOut);
        CheckClip(clip, c.expectOut - c.expectIn, c.rate);
    }
    // Time codes from ten minutes give the same clips as from zero.
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "sample_pal_vcd.mpg30-90"), ReadFile(dir / "sample_pal_vcd_tc.mpg30-90")));
}

// Sources made by a script (GOPs of 6, 15 and 18, closed, without B
// pictures, a clock that starts again, a junk tail): cut by run_clip at
// the first and the last GOP, inside the first and the last GOP, and one
// frame apart.
TEST(ClipWriter, ScriptMadeSourcesCutCleanly) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const std::string media = media::ScriptFolder("sample_clip_sources.sh", "sample-clip-sources");
    const harness::TempFolder dir;
    struct Case {
        const char* source;
        int in, out;
        long long expectIn, expectOut;
        double rate;
        bool audioSpans = true;
    } cases[] = {
        {"pal_vcd_g18_closed.mpg", 0, 9999, 0, 144, 25},
        {"pal_vcd_g18_closed.mpg", 20, 40, 36, 54, 25},
        {"ntsc_vcd_g15_ip.mpg", 0, 1, 0, 15, 29.97},
        {"ntsc_vcd_g15_ip.mpg", 120, 9999, 120, 135, 29.97},
        // The audio packets from the in point begin inside frames, with
        // bytes that read as a frame header of another format.
        {"pal_svcd_g18_ip.mpg", 18, 36, 18, 36, 25},
        {"pal_svcd_g18_ip.mpg", 3, 40, 18, 54, 25},
        {"ntsc_svcd_g6.mpg", 7, 13, 12, 18, 29.97},
        {"ntsc_svcd_g6.mpg", 100, 9999, 102, 114, 29.97},
        // Steps past the end of the first clip stop at its last GOP: the
        // next one's time codes start again.
        {"restart_pal_vcd.mpg", 30, 9999, 36, 72, 25},
        {"restart_pal_vcd.mpg", 0, 9999, 0, 72, 25},
        // Its audio ends early; the audio after the out point stops where
        // the clock starts again.
        {"restart_short_audio.mpg", 24, 9999, 24, 72, 25, false},
        {"junk_ntsc_vcd.mpg", 0, 9999, 0, 135, 29.97},
    };
    for (const Case& c : cases) {
        const std::string clip = dir / (std::string(c.source) + std::to_string(c.in) + "-" + std::to_string(c.out));
        const ClipRun r = RunClip("--source " + media + "/" + c.source + " --in-frame " + std::to_string(c.in) +
                                  " --out-frame " + std::to_string(c.out) + " --output " + clip);
        SCOPED_TRACE(r.out);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.inFrame, c.expectIn);
        EXPECT_EQ(r.outFrame, c.expectOut);
        CheckClip(clip, c.expectOut - c.expectIn, c.rate, c.audioSpans);
    }

    // Equal points, and points past the last GOP: refused with the reason,
    // nothing written.
    for (const char* points : {"--in-frame 30 --out-frame 30", "--in-frame 9999 --out-frame 99999"}) {
        const std::string clip = dir / "none.mpg";
        const ClipRun r = RunClip("--source " + media + "/pal_vcd_g18_closed.mpg " + points + " --output " + clip);
        EXPECT_EQ(r.status, result::kCannotOpen) << r.out;
        EXPECT_NE(r.out.find("[ sample clip refused: no picture between the in and the out point ]"), std::string::npos)
            << r.out;
        EXPECT_FALSE(harness::Exists(clip));
    }
}

// An out point chosen with the seek bar after the clock starts again (its
// time code above the in point's): the clip's clocks would go back, so it
// is refused before anything is written, the reason logged.
TEST(ClipWriter, AClipOverAClockThatStartsAgainIsRefused) {
    const std::string media = media::ScriptFolder("sample_clip_sources.sh", "sample-clip-sources");
    const harness::TempFolder dir;
    TConfig config;
    TLanguageSet texts;
    TSampleClipEditor editor(&config, &texts, nullptr, nullptr);
    ASSERT_EQ(editor.OpenMpegFile(media + "/restart_pal_vcd.mpg"), 0);
    editor.StepToFrame(12);
    editor.markButtonClick();
    editor.SeekBarChange(90);  // inside the second clip, at its frame 120 or so
    TSampleClipDescription d = editor.Description();
    ASSERT_GT(d.outFrame, d.inFrame);
    ASSERT_GT(d.outOffset, 518252);  // the first clip's length
    d.outputName = dir / "over.mpg";
    std::string why;
    EXPECT_EQ(SampleClipProblem(d, &why), msg::error::kCannotCreate);
    EXPECT_EQ(why, "the clock starts again inside the clip");
    EXPECT_EQ(SampleClipProblemLine(why, d.sourcePath),
              "     [ sample clip refused: the clock starts again inside the clip ] " + d.sourcePath);
    SampleWriteHandles h;
    EXPECT_EQ(WriteSample(d, "", h), result::kCannotOpen);
    EXPECT_FALSE(harness::Exists(d.outputName));
    // A clip inside the second one is fine.
    ASSERT_EQ(editor.OpenMpegFile(media + "/restart_pal_vcd.mpg"), 0);
    editor.SeekBarChange(50);
    editor.markButtonClick();
    editor.SeekBarChange(90);
    d = editor.Description();
    d.outputName = dir / "inside.mpg";
    EXPECT_EQ(SampleClipProblem(d), 0);
    EXPECT_EQ(WriteSample(d, "", h), 0);
    if (HaveFfmpeg()) CheckClip(d.outputName, d.outFrame - d.inFrame, 25);
}

// A copy of the PAL clip packed in 2048-byte packs: no in point of it can be
// cut into whole 2324-byte sectors, the first GOP's included.
std::string Packs2048(const harness::TempFolder& dir) {
    const std::string path = dir / "ps2048.mpg";
    Command("ffmpeg -v error -y -i '" + Fixture("sample_pal_vcd.mpg") + "' -c copy -f mpeg -packetsize 2048 '" + path +
            "' 2>&1");
    return path;
}

TEST(ClipWriter, SourcesNotPackedIn2324ByteSectorsAreRefused) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const harness::TempFolder dir;
    const std::string source = Packs2048(dir);
    ASSERT_TRUE(harness::Exists(source));
    for (int in : {0, 30, 60}) {
        SCOPED_TRACE(in);
        const std::string clip = dir / ("x" + std::to_string(in) + ".mpg");
        const ClipRun r =
            RunClip("--source " + source + " --in-frame " + std::to_string(in) + " --out-frame 100 --output " + clip);
        EXPECT_EQ(r.status, result::kCannotOpen) << r.out;
        EXPECT_NE(r.out.find("error 11: Invalid MPEG pack size."), std::string::npos) << r.out;
        EXPECT_FALSE(harness::Exists(clip));
    }
}

// An empty sector between two packs (ffmpeg's VCD muxer writes such, as
// discs hold them) is no pack of another size: the clip over it is written
// with it, and plays.
TEST(ClipWriter, EmptySectorsInTheSourceAreCopied) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const harness::TempFolder dir;
    std::string bytes = ReadFile(Fixture("sample_pal_vcd.mpg"));
    ASSERT_GT(bytes.size(), 40u * 2324);
    bytes.insert(20 * 2324, std::string(2324, '\0'));
    const std::string source = dir / "empty_sector.mpg";
    harness::WriteFile(source, bytes);
    const std::string clip = dir / "clip.mpg";
    const ClipRun r = RunClip("--source " + source + " --in-frame 0 --out-frame 90 --output " + clip);
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string written = ReadFile(clip);
    EXPECT_NE(written.find(std::string(2324, '\0')), std::string::npos);
    CheckClip(clip, 90, 25);
}

TEST(ClipWriter, RunClipStatuses) {
    const harness::TempFolder dir;
    EXPECT_EQ(RunClip("--source " + Fixture("sample_no_video.mpg") + " --in-frame 0 --out-frame 9 --output " +
                      (dir / "a.mpg")).status,
              msg::error::kNoMpegStream);
    EXPECT_EQ(RunClip("--source " + Fixture("bad_random.bin") + " --in-frame 0 --out-frame 9 --output " +
                      (dir / "a.mpg")).status,
              msg::error::kNoMpegStream);
    // In and out at the last GOP: no clip between them.
    EXPECT_EQ(RunClip("--source " + Fixture("sample_pal_vcd.mpg") + " --in-frame 500 --out-frame 600 --output " +
                      (dir / "b.mpg")).status,
              result::kCannotOpen);
    EXPECT_FALSE(harness::Exists(dir / "b.mpg"));
    EXPECT_EQ(RunClip("--source " + Fixture("sample_pal_vcd.mpg") + " --in-frame 0 --out-frame 15 --output " +
                      (dir / "no/such/folder.mpg")).status,
              result::kCannotOpen);
    EXPECT_EQ(RunClip("--source " + Fixture("sample_pal_vcd.mpg") + " --in-frame x").status, 2);
    // --help is no error: the usage and the statuses.
    const ClipRun help = RunClip("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: run_clip --source F --in-frame N --out-frame M --output CLIP\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Exit status: 0 written"), std::string::npos) << help.out;
}

// A clip description straight from the editor on a fixture.
TSampleClipDescription Describe(const std::string& source, int inGopSteps, int outGopSteps) {
    TConfig config;
    TLanguageSet texts;
    TSampleClipEditor editor(&config, &texts, nullptr, nullptr);
    EXPECT_EQ(editor.OpenMpegFile(Fixture(source)), 0);
    for (int i = 0; i < inGopSteps; ++i) editor.vidTCUpDownClick(true);
    editor.markButtonClick();
    for (int i = 0; i < outGopSteps; ++i) editor.vidTCUpDownClick(true);
    return editor.Description();
}

TEST(ClipWriter, HeaderSectorsPaddingAndTheSequenceHeader) {
    const harness::TempFolder dir;
    SampleWriteHandles h;
    const std::string pal = ReadFile(Fixture("sample_pal_vcd.mpg"));

    // From the first GOP: the source's own first sectors, clock from 0.
    TSampleClipDescription d = Describe("sample_pal_vcd.mpg", 0, 2);
    d.outputName = dir / "first.mpg";
    ASSERT_EQ(WriteSample(d, "", h), 0);
    std::string clip = ReadFile(d.outputName);
    EXPECT_EQ(TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(clip.data()) + 4), 0u);
    EXPECT_TRUE(harness::SameBytes(clip.substr(12, 2324 - 12), pal.substr(12, 2324 - 12)));

    // Inside the source: two MPEG-1 header sectors, then the in sector one
    // sector time after the last of them.
    d = Describe("sample_pal_vcd.mpg", 2, 2);
    d.outputName = dir / "inside.mpg";
    ASSERT_EQ(WriteSample(d, "", h), 0);
    clip = ReadFile(d.outputName);
    uint8_t a[2324], b[2324];
    BuildMpeg1SystemHeaderPayloadA(a);
    BuildMpeg1SystemHeaderPayloadB(b);
    EXPECT_TRUE(harness::SameBytes(clip.substr(0, 2324), std::string(reinterpret_cast<char*>(a), 2324)));
    EXPECT_TRUE(harness::SameBytes(clip.substr(2324, 2324), std::string(reinterpret_cast<char*>(b), 2324)));
    const std::vector<uint64_t> scrs = PackScrs(clip);
    ASSERT_GE(scrs.size(), 3u);
    EXPECT_EQ(scrs[2], scrs[1] + 1200);
    // A padding sector keeps every byte but its clock (one made in a copy
    // of the source: the clips here have none).
    std::string padded = pal;
    const size_t padAt = static_cast<size_t>(d.inOffset) + 3 * 2324;
    const std::string padding = std::string("\x00\x00\x01\xBE\x09\x02", 6) + std::string(2324 - 18, '\xFF');
    padded.replace(padAt + 12, padding.size(), padding);
    harness::WriteFile(dir / "padded.mpg", padded);
    d.sourcePath = dir / "padded.mpg";
    d.outputName = dir / "padded-clip.mpg";
    ASSERT_EQ(WriteSample(d, "", h), 0);
    const std::string paddedClip = ReadFile(d.outputName);
    EXPECT_TRUE(harness::SameBytes(paddedClip.substr(5 * 2324 + 12, 2324 - 12), padding));
    auto sourceScr = [&](size_t at) {
        return TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(pal.data()) + at + 4);
    };
    EXPECT_EQ(PackScrs(paddedClip)[5] - PackScrs(paddedClip)[2], sourceScr(padAt) - sourceScr(static_cast<size_t>(d.inOffset)));

    // MPEG-2 inside the source: one header sector, and the first video
    // payload opens with the sequence header at 36.
    d = Describe("sample_pal_svcd.mpg", 2, 1);
    EXPECT_EQ(d.discKind, 2);
    d.outputName = dir / "svcd.mpg";
    ASSERT_EQ(WriteSample(d, "", h), 0);
    clip = ReadFile(d.outputName);
    uint8_t m2[2324];
    BuildMpeg2SystemHeaderPayload(m2);
    EXPECT_TRUE(harness::SameBytes(clip.substr(0, 2324), std::string(reinterpret_cast<char*>(m2), 2324)));
    for (size_t at = 2324; at + 2324 <= clip.size(); at += 2324) {
        if (static_cast<uint8_t>(clip[at + 17]) != 0xE0) continue;
        EXPECT_EQ(clip.substr(at + 36, 4), std::string("\x00\x00\x01\xB3", 4));
        break;
    }
}

TEST(ClipWriter, OutputNamesAndFailures) {
    const harness::TempFolder dir;
    std::string generated;
    fakes::RecordingLabel status, completed;
    fakes::RecordingProgressBar progress;
    SampleWriteHandles h;
    h.generatedFiles = &generated;
    h.status = &status;
    h.completed = &completed;
    h.progress = &progress;
    TSampleClipDescription d = Describe("sample_pal_vcd.mpg", 1, 3);

    // A bare name goes into the folder; an absolute one stands.
    d.outputName = "bare-sample.mpg";
    ASSERT_EQ(WriteSample(d, dir.path, h), 0);
    EXPECT_TRUE(harness::Exists(dir / "bare-sample.mpg"));
    d.outputName = dir / "abs.mpg";
    ASSERT_EQ(WriteSample(d, "/nonexistent", h), 0);
    EXPECT_EQ(generated, "\"" + (dir / "bare-sample.mpg") + "\" \"" + (dir / "abs.mpg") + "\" ");
    EXPECT_EQ(status.history().front(), "Generating sample...");
    EXPECT_EQ(status.caption(), "");
    EXPECT_EQ(completed.history().back(), "");
    EXPECT_NE(std::find(completed.history().begin(), completed.history().end(), "Completed: 50%"),
              completed.history().end());
    EXPECT_EQ(progress.position(), 0);

    // Nothing written: no source, no folder, an empty clip.
    generated.clear();
    TSampleClipDescription none = d;
    none.sourcePath = dir / "missing.mpg";
    EXPECT_EQ(WriteSample(none, "", h), 4);
    none = d;
    none.outputName = dir / "no/folder.mpg";
    EXPECT_EQ(WriteSample(none, "", h), 4);
    none = d;
    none.outOffset = none.inOffset;
    none.outputName = dir / "empty.mpg";
    EXPECT_EQ(WriteSample(none, "", h), 4);
    EXPECT_FALSE(harness::Exists(dir / "empty.mpg"));
    EXPECT_EQ(generated, "");

    // A disk that fills up: the short file goes, and the result says so.
    const std::string full = dir / "full.mpg";
    d.outputName = full;
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        SampleWriteHandles quiet;
        ::_exit(WriteSample(d, "", quiet));
    }
    int status_ = 0;
    ASSERT_EQ(::waitpid(child, &status_, 0), child);
    EXPECT_EQ(WEXITSTATUS(status_), result::kCannotOpen);
    EXPECT_FALSE(harness::Exists(full));

    // Written through a link the user made: the link and what it leads to
    // are no part of the clip, and a failed write leaves them.
    if (::access("/dev/full", W_OK) == 0) {
        d.outputName = dir / "device.mpg";
        std::filesystem::create_symlink("/dev/full", d.outputName);
        EXPECT_EQ(WriteSample(d, "", h), result::kCannotOpen);
        EXPECT_TRUE(std::filesystem::is_symlink(d.outputName));
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

// run_job's build mode with --sample: the clip from build-list row 2 lands
// beside the image or in SAMPLE/, under the editor's name, and plays clean.
TEST(ClipWriter, BuildAddsTheClip) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    const harness::TempFolder dir;
    auto build = [&](const std::string& out, const std::string& extra, const std::string& sample = "2 30 90",
                     const std::string& second = Fixture("sample_pal_vcd.mpg")) {
        ClipRun r;
        FILE* p = ::popen((std::string(PELLMOR_BUILD_DIR) + "/tests/run_job --page 1 --method 1 --input " +
                           Fixture("clip_pal_vcd.mpg") + " --input " + second + " --output " + out + " --sample " +
                           sample + " " + extra + " 2>&1")
                              .c_str(),
                          "r");
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
        const int raw = ::pclose(p);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return r;
    };
    std::filesystem::create_directories(dir / "beside");
    ClipRun r = build(dir / "beside/movie.bin", "");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Generating sample..."), std::string::npos);
    CheckClip(dir / "beside/sample_pal_vcd-sample.mpg", 60, 25);

    std::filesystem::create_directories(dir / "folders");
    r = build(dir / "folders/movie.bin", "--folders");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("     Generating sample..."), std::string::npos);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "folders/SAMPLE/sample_pal_vcd-sample.mpg"),
                                   ReadFile(dir / "beside/sample_pal_vcd-sample.mpg")));

    // SAMPLE taken by a file: the build fails with error 9.
    std::filesystem::create_directories(dir / "taken");
    harness::WriteFile(dir / "taken/SAMPLE", "a file");
    r = build(dir / "taken/movie.bin", "--folders");
    EXPECT_EQ(r.status, result::kWriteFailed) << r.out;
    EXPECT_NE(r.out.find("Sample file"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Unable to create output file."), std::string::npos);

    // A clip that cannot be written fails the build before any image is
    // written: one of no length, and one of a source not packed in 2324-byte
    // sectors (cut from its first GOP).
    struct Refused {
        const char* what;
        std::string sample, second, message;
    } refused[] = {
        {"no length", "2 300 300", Fixture("sample_pal_vcd.mpg"), "[Sample File]\n     Unable to create output file."},
        {"2048-byte packs", "2 0 100", Packs2048(dir), "Invalid MPEG pack size."},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.what);
        const std::string folder = dir / (c.sample == "2 300 300" ? "empty" : "packs");
        std::filesystem::create_directories(folder);
        r = build(folder + "/movie.bin", "", c.sample, c.second);
        EXPECT_EQ(r.status, result::kWriteFailed) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_FALSE(harness::Exists(folder + "/movie.bin"));
        EXPECT_FALSE(harness::Exists(folder + "/movie.cue"));
        EXPECT_TRUE(std::filesystem::is_empty(folder));
    }
}

}  // namespace
