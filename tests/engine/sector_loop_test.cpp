// The sector loop on streams with faults made from the fixture clips: repairs,
// padding, splits at a clock restart, system-header sectors, the end of data
// in disc sectors, sector sizes and short reads, and a stop midway.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "disc/time_code.h"
#include "engine/system_header.h"
#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::ReadFile;
using harness::WriteFile;

namespace {

constexpr size_t kPack = 2324;
const std::string kPackStart("\x00\x00\x01\xBA", 4);

std::string Clip(const char* name = "clip_pal_vcd.mpg") { return ReadFile(Fixture(name)); }

// Runs "mpeg -> mpeg" on data with the given options; the output's bytes.
struct MpegRun {
    int result = -1;
    std::string out;
    uint32_t fixes = 0, padding = 0;
    std::vector<std::string> log;
};

MpegRun RunMpeg(const std::string& data, bool fix, const std::function<void(harness::Job&)>& setup = nullptr) {
    harness::TempFolder dir;
    WriteFile(dir / "in.mpg", data);
    harness::Job job;
    job.config.FixMPEGErrors = fix ? 1 : 0;
    if (setup) setup(job);
    MpegRun r;
    r.result = job.LoadAndRun(Method::MpegToMpeg, dir / "in.mpg", dir / "out.mpg");
    r.out = ReadFile(dir / "out.mpg");
    r.log = job.Lines();
    return r;
}

bool EverySectorStartsWithAPack(const std::string& out) {
    if (out.empty() || out.size() % kPack != 0) return false;
    for (size_t at = 0; at < out.size(); at += kPack)
        if (out.compare(at, 4, kPackStart) != 0) return false;
    return true;
}

bool LogHas(const std::vector<std::string>& log, const std::string& text) {
    for (const auto& l : log)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

// ---- Repairs ----

struct Corruption {
    const char* name;
    std::function<void(std::string&)> apply;
    bool restoresClip;  // the repair gives back the clip itself
    const char* counts;  // log lines expected
};

class Repair : public ::testing::TestWithParam<Corruption> {};

TEST_P(Repair, EveryOutputSectorStartsWithAPack) {
    const Corruption& c = GetParam();
    std::string data = Clip();
    c.apply(data);
    const MpegRun r = RunMpeg(data, true, [](harness::Job& j) { j.config.DisableMPEGPadding = 0; });
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(EverySectorStartsWithAPack(r.out)) << c.name;
    if (c.restoresClip) {
        EXPECT_TRUE(harness::SameBytes(r.out, Clip())) << c.name;
    }
    EXPECT_TRUE(LogHas(r.log, c.counts)) << c.name;
    EXPECT_TRUE(LogHas(r.log, "## Pellmor completed"));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Repair,
    ::testing::Values(
        // Bytes dropped inside pack 20: the sector holding the start of pack
        // 21 is padded with zeros from there and pack 21 is read next.
        Corruption{"dropped bytes", [](std::string& d) { d.erase(20 * kPack + 500, 100); }, false,
                   "1 Blocks padded"},
        // Pack 30 lost the first zero of its start code.
        Corruption{"missing first zero", [](std::string& d) { d.erase(30 * kPack, 1); }, true,
                   "1 MPEG block correction(s) applied"},
        // Junk in front of pack 40: the reader skips to the pack inside the sector.
        Corruption{"inserted junk", [](std::string& d) { d.insert(40 * kPack, std::string(50, '\x5A')); }, true,
                   "1 MPEG block correction(s) applied"},
        Corruption{"both faults",
                   [](std::string& d) {
                       d.erase(30 * kPack, 1);
                       d.erase(12 * kPack + 700, 333);
                   },
                   false, "1 MPEG block correction(s) applied"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

TEST(Padding, TailAfterTheNextPackStartIsZeroed) {
    std::string data = Clip();
    // Pack 10 keeps only its first 1000 bytes: pack 11 starts at 1000 of sector 10.
    data.erase(10 * kPack + 1000, kPack - 1000);
    const MpegRun r = RunMpeg(data, true);
    ASSERT_EQ(r.result, 0);
    const std::string clip = Clip();
    ASSERT_EQ(r.out.size(), clip.size());
    EXPECT_TRUE(harness::SameBytes(r.out.substr(10 * kPack, 1000), clip.substr(10 * kPack, 1000)));
    EXPECT_TRUE(harness::SameBytes(r.out.substr(10 * kPack + 1000, kPack - 1000), std::string(kPack - 1000, '\0')));
    EXPECT_TRUE(harness::SameBytes(r.out.substr(11 * kPack), clip.substr(11 * kPack)));
    EXPECT_TRUE(LogHas(r.log, "     1 Blocks padded"));

    // Without padding the sector is written as read.
    const MpegRun plain = RunMpeg(data, true, [](harness::Job& j) { j.config.DisableMPEGPadding = 1; });
    EXPECT_TRUE(harness::SameBytes(plain.out.substr(10 * kPack, kPack), data.substr(10 * kPack, kPack)));
    EXPECT_FALSE(LogHas(plain.log, "Blocks padded"));
}

// Packs a few bytes apart must not make a padded sector out of each of
// them: 1 MB in once gave 486 MB out. The output stays within the input and
// one sector, for any pack spacing.
TEST(Padding, OutputNeverOutgrowsTheInput) {
    for (size_t period : {5u, 12u, 100u}) {
        SCOPED_TRACE(period);
        std::string unit("\x00\x00\x01\xBA\x21", 5);
        unit.resize(period, '\0');
        std::string data = Clip().substr(0, kPack);
        while (data.size() < kPack + (1u << 20)) data += unit;
        const MpegRun r = RunMpeg(data, true);
        EXPECT_LE(r.out.size(), data.size() + kPack);
        EXPECT_GT(r.out.size(), 0u);
    }
}

// What follows the last pack without a pack in it is left out, named in a
// warning: no stream is missing.
TEST(Repair, LostAlignmentWithNoPackLeftIsReported) {
    std::string data = Clip();
    data.resize(50 * kPack + 10);
    data += std::string(8 * kPack, '\x11');  // no pack start in the rest
    harness::TempFolder dir;
    WriteFile(dir / "in.mpg", data);
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, dir / "in.mpg", dir / "out.mpg"), 0);  // something was written
    EXPECT_FALSE(job.Logged("Could not locate MPEG stream."));
    // The sector that begins with the cut pack goes out as read; the rest is left out.
    EXPECT_TRUE(job.Logged("WARNING: " + std::to_string(7 * kPack + 10) +
                           " bytes after the last MPEG pack were left out."));
    EXPECT_EQ(job.stats.errors.load(), 0);  // counters are reset at the job's end
    const std::string out = ReadFile(dir / "out.mpg");
    EXPECT_TRUE(harness::SameBytes(out.substr(0, 50 * kPack), Clip().substr(0, 50 * kPack)));
}

// ---- Splits ----

TEST(Split, ClockRestartsStartNewNumberedFiles) {
    const std::string a = Clip(), b = Clip("clip_pal_vcd_b.mpg"), c = Clip("clip_pal_vcd_c.mpg");
    harness::TempFolder dir;
    WriteFile(dir / "in.mpg", a + b + c);
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    job.config.DisableMPEGFileSplit = 0;
    ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, dir / "in.mpg", dir / "name.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "name.mpg"), a));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "name-0001.mpg"), b));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "name-0002.mpg"), c));
    EXPECT_FALSE(harness::Exists(dir / "name-0003.mpg"));
    EXPECT_TRUE(job.Logged("     2 MPEG file split(s) made"));
    EXPECT_EQ(job.splitLabel.caption(), "Splits: 2");
    EXPECT_EQ(job.generated, "\"" + (dir / "name.mpg") + "\" \"" + (dir / "name-0001.mpg") + "\" \"" +
                                 (dir / "name-0002.mpg") + "\" ");
}

TEST(Split, OffOrPassiveKeepsOneFile) {
    const std::string ab = Clip() + Clip("clip_pal_vcd_b.mpg");
    const MpegRun off = RunMpeg(ab, true);  // DisableMPEGFileSplit stays at its default 1
    EXPECT_TRUE(harness::SameBytes(off.out, ab));
    EXPECT_FALSE(LogHas(off.log, "split(s) made"));
}

// A continuous clock never splits, whatever its bits look like: the pack
// SCRs here climb across 2^30 ticks (about 3 h 19 min).
TEST(Split, ContinuousClockAcrossBitBoundariesDoesNotSplit) {
    std::string data = Clip();
    const uint64_t base = (uint64_t(1) << 30) - 45000;
    for (size_t at = 0; at + kPack <= data.size(); at += kPack) {
        auto* p = reinterpret_cast<uint8_t*>(&data[at + 4]);
        TGopTimeCode::EncodeMpeg1Scr(p, base + TGopTimeCode::DecodeMpeg1Scr(p));
    }
    const MpegRun r = RunMpeg(data, true, [](harness::Job& j) { j.config.DisableMPEGFileSplit = 0; });
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(harness::SameBytes(r.out, data));
    EXPECT_TRUE(LogHas(r.log, "     0 MPEG file split(s) made"));
}

TEST(Split, Mpeg2ClockIsDecodedInItsOwnLayout) {
    const std::string s = Clip("clip_pal_svcd.mpg");
    harness::TempFolder dir;
    WriteFile(dir / "in.mpg", s + s);
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    job.config.DisableMPEGFileSplit = 0;
    ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, dir / "in.mpg", dir / "sv.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "sv.mpg"), s));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "sv-0001.mpg"), s));
}

// ---- System-header sectors ----

std::string Mpeg1Headers() {
    std::string a(kPack, '\0'), b(kPack, '\0');
    BuildMpeg1SystemHeaderPayloadA(reinterpret_cast<uint8_t*>(a.data()));
    BuildMpeg1SystemHeaderPayloadB(reinterpret_cast<uint8_t*>(b.data()));
    return a + b;
}

TEST(SystemHeaders, InsertedWhenTheStreamLacksThem) {
    const std::string clip = Clip();
    const std::string cut = clip.substr(kPack);  // the first pack (system header + padding) is gone
    const MpegRun r = RunMpeg(cut, true);
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(harness::SameBytes(r.out, Mpeg1Headers() + cut));
    EXPECT_TRUE(LogHas(r.log, "     initial sequence correction applied"));
    harness::TempFolder dir;
    WriteFile(dir / "fixed.mpg", r.out);
    EXPECT_EQ(harness::Frames(dir / "fixed.mpg"), "25");
}

TEST(SystemHeaders, NotInsertedWhenDisabledWithoutFixesOrWhenPresent) {
    const std::string cut = Clip().substr(kPack);
    const MpegRun disabled = RunMpeg(cut, true, [](harness::Job& j) { j.config.DisableHeaderCorrection = 1; });
    EXPECT_TRUE(harness::SameBytes(disabled.out, cut));
    EXPECT_FALSE(LogHas(disabled.log, "initial sequence correction"));
    EXPECT_TRUE(harness::SameBytes(RunMpeg(cut, false).out, cut));
    // The clip's own first sector is a system header sector (its middle is padding).
    const MpegRun whole = RunMpeg(Clip(), true);
    EXPECT_TRUE(harness::SameBytes(whole.out, Clip()));
    EXPECT_FALSE(LogHas(whole.log, "initial sequence correction"));
}

TEST(SystemHeaders, OutputSkipsToTheFirstGop) {
    const std::string clip = Clip();
    // Starts with pack 3, an audio pack: no system header and no GOP.
    size_t first = 3;
    while (clip.substr(first * kPack, kPack).find(std::string("\x00\x00\x01\xB8", 4)) == std::string::npos) ++first;
    ASSERT_GT(first, 3u);
    const MpegRun r = RunMpeg(clip.substr(3 * kPack), true);
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(harness::SameBytes(r.out, Mpeg1Headers() + clip.substr(first * kPack)));
    harness::TempFolder dir;
    WriteFile(dir / "fixed.mpg", r.out);
    const std::string frames = harness::Frames(dir / "fixed.mpg");
    EXPECT_EQ(frames.find("rror"), std::string::npos) << frames;
}

TEST(SystemHeaders, Mpeg2StreamGetsTheMpeg2SectorAndItsSequenceHeaderAt36) {
    const std::string svcd = Clip("clip_pal_svcd.mpg");
    const std::string cut = svcd.substr(kPack);
    const MpegRun r = RunMpeg(cut, true);
    ASSERT_EQ(r.result, 0);
    std::string header(kPack, '\0');
    BuildMpeg2SystemHeaderPayload(reinterpret_cast<uint8_t*>(header.data()));
    ASSERT_EQ(r.out.size(), header.size() + cut.size());
    EXPECT_TRUE(harness::SameBytes(r.out.substr(0, kPack), header));
    const std::string first = r.out.substr(kPack, kPack);
    EXPECT_TRUE(harness::SameBytes(first.substr(36, 4), std::string("\x00\x00\x01\xB3", 4)));
    EXPECT_TRUE(harness::SameBytes(r.out.substr(2 * kPack), cut.substr(kPack)));
    // Every picture still decodes (the cut stream's own complaints remain).
    harness::TempFolder dir;
    WriteFile(dir / "fixed.mpg", r.out);
    const std::string frames = harness::Frames(dir / "fixed.mpg");
    EXPECT_EQ(frames.substr(frames.size() - 2), "25") << frames;
}

TEST(SystemHeaders, SequenceHeaderBeforeOffset36StaysWhereItIs) {
    std::string cut = Clip("clip_pal_svcd.mpg").substr(kPack);
    cut.replace(24, 4, std::string("\x00\x00\x01\xB3", 4));
    const MpegRun r = RunMpeg(cut, true);
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(harness::SameBytes(r.out.substr(kPack), cut));
}

// ---- End of data in disc sectors ----

TEST(EndOfData, EmptySectorsEndTheDataOnlyWhenNoDataFollows) {
    const std::string dat = ReadFile(Fixture("vcd_ntsc_avseq01.dat"));
    const std::string clip = Clip("clip_ntsc_vcd.mpg");
    // The first empty margin sector after the data, and the tenth data sector.
    size_t margin = 0, tenth = 0;
    int seen = 0;
    for (size_t at = 44; at + 2352 <= dat.size(); at += 2352) {
        if (static_cast<uint8_t>(dat[at + 17]) == 1 && ++seen == 10) tenth = at;
        if (seen > 0 && dat.compare(at + 16, 4, std::string("\x01\x00\x60\x00", 4)) == 0) {
            margin = at;
            break;
        }
    }
    ASSERT_NE(margin, 0u);
    ASSERT_NE(tenth, 0u);
    const std::string empty = dat.substr(margin, 2352);
    // Three empty sectors inside the stream, as a muxer writes them: part of
    // the stream, so the output is the clip with their zero payloads.
    std::string inside = dat;
    inside.insert(tenth, empty + empty + empty);
    std::string expected = clip;
    expected.insert(9 * 2324, std::string(3 * 2324, '\0'));
    for (bool fix : {false, true}) {
        SCOPED_TRACE(fix ? "fix" : "plain");
        harness::TempFolder dir;
        WriteFile(dir / "plain.dat", dat);
        WriteFile(dir / "inside.dat", inside);
        harness::Job a, b;
        a.config.FixMPEGErrors = b.config.FixMPEGErrors = fix ? 1 : 0;
        ASSERT_EQ(a.LoadAndRun(Method::DatToMpeg, dir / "plain.dat", dir / "plain.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "plain.mpg"), clip));
        ASSERT_EQ(b.LoadAndRun(Method::DatToMpeg, dir / "inside.dat", dir / "inside.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "inside.mpg"), expected));
        EXPECT_EQ(b.stats.errors.load(), 0);
    }
    // A margin sector with data in its first 8 payload bytes is no empty one.
    harness::TempFolder dir;
    std::string live = dat;
    live[margin + 24 + 3] = '\x07';
    WriteFile(dir / "live.dat", live);
    harness::Job c;
    ASSERT_EQ(c.LoadAndRun(Method::DatToMpeg, dir / "live.dat", dir / "live.mpg"), 0);
    const std::string longer = ReadFile(dir / "live.mpg");
    EXPECT_EQ(longer.size(), clip.size() + 2324);
    EXPECT_EQ(longer.substr(0, clip.size()), clip);
}

// ---- Sector sizes ----

TEST(SectorSizes, ForcedReadSizesOutsideTheCdSizesAreRefused) {
    for (int32_t size : {0, 9, 1000, 2353, 9999}) {
        harness::TempFolder dir;
        harness::Job job;
        job.start.forceRead = true;
        job.job.forcedReadSize = size;
        EXPECT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "m.mpg"), 12) << size;
        EXPECT_TRUE(job.Logged("Unable to determine image sector size.")) << size;
        EXPECT_FALSE(harness::Exists(dir / "m_01.mpg")) << size;
    }
    for (int32_t size : {0, 9999}) {
        harness::TempFolder dir;
        WriteFile(dir / "in.mpg", Clip());
        harness::Job job;
        job.start.forceRead = true;
        job.job.forcedReadSize = size;
        EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, dir / "in.mpg", dir / "out.mpg"), 12) << size;
    }
}

TEST(SectorSizes, ForceReadStandsInForASizeThatCannotBeDetected) {
    // The first pack lost 200 padding bytes: the probe measures 2124, which
    // is no sector size, and the error asks for Force Read.
    std::string data = Clip();
    data.erase(1100, 200);
    const MpegRun refused = RunMpeg(data, false);
    EXPECT_EQ(refused.result, 12);
    EXPECT_TRUE(LogHas(refused.log, "Use Force Read option."));
    const MpegRun forced = RunMpeg(data, false, [](harness::Job& j) {
        j.start.forceRead = true;
        j.job.forcedReadSize = 2324;
    });
    ASSERT_EQ(forced.result, 0);
    EXPECT_TRUE(harness::SameBytes(forced.out, data));

    // A raw track without CD sync near its start, for "raw -> dat".
    const std::string raw = std::string(6000, '\0') + ReadFile(Fixture("vcd_pal3_track2.raw"));
    for (bool force : {false, true}) {
        harness::TempFolder dir;
        WriteFile(dir / "in.raw", raw);
        harness::Job job;
        job.start.forceRead = force;
        job.job.forcedReadSize = 2352;
        EXPECT_EQ(job.LoadAndRun(Method::RawToDat, dir / "in.raw", dir / "out.dat"), force ? 0 : 12);
        EXPECT_EQ(job.Logged("Unable to determine image sector size."), !force);
        EXPECT_EQ(harness::Exists(dir / "out.dat"), force);
    }
}

TEST(SectorSizes, WriteSizeNeverExceedsTheReadSize) {
    const MpegRun r = RunMpeg(Clip(), false, [](harness::Job& j) {
        j.start.forceWrite = true;
        j.job.forcedWriteSize = 2352;
    });
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(harness::SameBytes(r.out, Clip()));
    EXPECT_TRUE(LogHas(r.log, "Setting write size to: 2324"));
}

TEST(SectorSizes, ShortFinalReadWritesOnlyWhatWasRead) {
    std::string data = Clip();
    data.resize(data.size() - 1000);
    for (bool fix : {false, true}) {
        const MpegRun r = RunMpeg(data, fix);
        ASSERT_EQ(r.result, 0);
        EXPECT_TRUE(harness::SameBytes(r.out, data)) << fix;
    }
}

TEST(SectorSizes, ForcedSizesOnACueTrack) {
    // Read the 2352-byte sectors as they are and write them whole.
    harness::TempFolder dir;
    harness::Job job;
    job.start.forceWrite = true;
    job.job.forcedWriteSize = 2352;
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "m.mpg"), 0);
    const std::string out = ReadFile(dir / "m_01.mpg");
    const std::string clip = Clip();
    ASSERT_EQ(out.size() % 2352, 0u);
    std::string payloads;
    for (size_t at = 0; at < out.size(); at += 2352) payloads += out.substr(at, kPack);
    EXPECT_TRUE(harness::SameBytes(payloads, clip));
}

// ---- A source that cannot be read to its end ----

TEST(UnreadableSource, ASourceThatShrinksMidTrackFailsTheJob) {
    std::string data;
    for (int i = 0; i < 20; ++i) data += Clip();
    for (bool fix : {false, true}) {
        harness::TempFolder dir;
        const std::string in = dir / "in.mpg";
        WriteFile(in, data);
        harness::Job job;
        job.config.FixMPEGErrors = fix ? 1 : 0;
        // As a failing disk or another program would: the rest is gone.
        job.progress.onPosition = [&](int percent) {
            if (percent >= 10 && job.status.caption().find("writing") != std::string::npos) {
                EXPECT_EQ(::truncate(in.c_str(), 1 << 20), 0);
            }
        };
        EXPECT_EQ(job.LoadAndRun(Method::MpegToMpeg, in, dir / "out.mpg"), 4) << fix;
        EXPECT_TRUE(job.Logged("Source file could not be opened or accessed.")) << fix;
        EXPECT_FALSE(job.Logged("processed Track")) << fix;
    }
}

// ---- Stop ----

TEST(Stop, StopMidTrackAbortsWithTheTrailer) {
    harness::TempFolder dir;
    harness::Job job;
    job.progress.onPosition = [&job](int percent) {
        if (percent >= 10 && job.status.caption().find("writing") != std::string::npos) job.runState.running = 0;
    };
    job.config.Error_Clr = 0x0000FF;
    EXPECT_EQ(job.LoadAndRun(Method::CueBinToMpeg, Fixture("vcd_pal3.cue"), dir / "m.mpg"), 3);
    // The cut output stays and the line names it.
    EXPECT_EQ(job.Count("     [ aborted processing ] " + (dir / "m_01.mpg")), 1);
    EXPECT_TRUE(harness::Exists(dir / "m_01.mpg"));
    EXPECT_FALSE(job.Logged("processed Track"));
    EXPECT_TRUE(job.Logged("## Pellmor completed"));
    EXPECT_EQ(job.indicator.color(), 0x0000FF);
    EXPECT_FALSE(harness::Exists(dir / "m_02.mpg"));
    EXPECT_EQ(job.runState.running.load(), 0);
    EXPECT_EQ(job.startButton.caption(), "start");
}

// A stop while an opener searches a big source for its stream is a cancel,
// not a missing stream.
TEST(Stop, StopDuringTheOpenersSearchIsACancel) {
    harness::TempFolder dir;
    const std::string big = dir / "big.bin";
    WriteFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), 64 << 20), 0);  // sparse: zeros, no pack anywhere
    WriteFile(dir / "big.cue",
              "FILE \"big.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
              "  TRACK 02 MODE2/2352\n    INDEX 01 00:04:00\n");
    struct Case {
        Method method;
        std::string source;
    };
    for (const Case& c : {Case{Method::CueBinToMpeg, dir / "big.cue"}, Case{Method::RawToMpeg, big},
                          Case{Method::DatToMpeg, big}, Case{Method::SfdToMpeg, big}}) {
        SCOPED_TRACE(Index(c.method));
        harness::Job job;
        job.config.DisableErrorPrompts = 0;
        job.progress.onPosition = [&job](int) {
            if (job.status.caption().find("searching") != std::string::npos) job.runState.running = 0;
        };
        EXPECT_EQ(job.LoadAndRun(c.method, c.source, dir / "out.mpg"), 3);
        EXPECT_EQ(job.Count("     [ aborted processing ]"), 1);
        EXPECT_FALSE(job.Logged("Could not locate MPEG stream."));
        EXPECT_EQ(job.stats.errors.load(), 0);
        // No box either, with prompts on as a user has them.
        EXPECT_EQ(job.dialogs.shown().size(), 0u);
        EXPECT_FALSE(harness::Exists(dir / "out.mpg"));
    }
}

}  // namespace

namespace {

// The stream's kind is probed where the track's stream is, not in the first
// 2 MiB of the file: here the image holds 2.3 MB of empty sectors before an
// SVCD track whose first (system header) sector is gone.
TEST(SystemHeaders, Mpeg2ProbeLooksFromTheTrack) {
    const std::string bin = ReadFile(Fixture("svcd_pal.bin"));
    std::string moved = bin.substr(0, 450 * 2352);
    moved += std::string(1000 * 2352, '\0');
    moved += bin.substr(451 * 2352);
    harness::TempFolder dir;
    WriteFile(dir / "far.bin", moved);
    WriteFile(dir / "far.cue",
              "FILE \"far.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
              "  TRACK 02 MODE2/2352\n    INDEX 01 00:06:00\n");
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, dir / "far.cue", dir / "sv.mpg"), 0);
    std::string header(kPack, '\0');
    BuildMpeg2SystemHeaderPayload(reinterpret_cast<uint8_t*>(header.data()));
    const std::string out = ReadFile(dir / "sv_01.mpg");
    EXPECT_TRUE(harness::SameBytes(out.substr(0, kPack), header));
    EXPECT_TRUE(harness::SameBytes(out.substr(kPack), Clip("clip_pal_svcd.mpg").substr(kPack)));
}

// A dat whose pack distance cannot be measured is refused, never read with
// the failed probe's answer as its sector size.
TEST(SectorSizes, DatWithoutASecondPackIsRefused) {
    std::string dat = ReadFile(Fixture("vcd_ntsc_avseq01.dat")).substr(0, 44);
    std::string sector(2352, '\0');
    const std::string clip = Clip();
    sector.replace(24, kPack, clip.substr(0, kPack));
    dat += sector + std::string(4 * 2352, '\0');
    harness::TempFolder dir;
    WriteFile(dir / "one.dat", dat);
    harness::Job job;
    EXPECT_EQ(job.LoadAndRun(Method::DatToMpeg, dir / "one.dat", dir / "out.mpg"), 9);
    EXPECT_TRUE(job.Logged("Invalid MPEG pack size."));
    EXPECT_FALSE(harness::Exists(dir / "out.mpg"));
}

}  // namespace
