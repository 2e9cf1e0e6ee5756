// Whole extractions of real images and streams, compared byte for byte with
// what vcdxrip extracted from the same images (tests/fixtures/vcdxrip.manifest)
// or with the clips the images were built from.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/engine/job_harness.h"

using harness::Fixture;
using harness::Manifest;
using harness::Md5;
using harness::ReadFile;

namespace {

std::string TrackName(const std::string& base, int n) {
    char s[8];
    std::snprintf(s, sizeof s, "_%02d", n);
    return base + s + ".mpg";
}

// Converts a 2352-byte image into 2336-byte sectors (sync and header
// dropped) with a cue sheet that says so.
std::string Make2336Image(const harness::TempFolder& dir) {
    const std::string raw = ReadFile(Fixture("vcd_pal3.bin"));
    std::string out;
    out.reserve(raw.size() / 2352 * 2336);
    for (size_t at = 0; at + 2352 <= raw.size(); at += 2352) out.append(raw, at + 16, 2336);
    harness::WriteFile(dir / "m2336.bin", out);
    std::string cue = ReadFile(Fixture("vcd_pal3.cue"));
    for (size_t p; (p = cue.find("MODE2/2352")) != std::string::npos;) cue.replace(p, 10, "MODE2/2336");
    for (size_t p; (p = cue.find("vcd_pal3.bin")) != std::string::npos;) cue.replace(p, 12, "m2336.bin");
    harness::WriteFile(dir / "m2336.cue", cue);
    return dir / "m2336.cue";
}

struct ImageCase {
    Method method;
    const char* source;  // fixture name, or "2336" for the converted image
    const char* ripped;  // manifest entry of the same content
};

class ImageExtraction : public ::testing::TestWithParam<std::tuple<ImageCase, bool>> {};

TEST_P(ImageExtraction, EveryTrackMatchesVcdxrip) {
    const auto& [c, fix] = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = fix ? 1 : 0;
    const std::string source = std::strcmp(c.source, "2336") == 0 ? Make2336Image(dir) : Fixture(c.source);
    ASSERT_EQ(job.LoadAndRun(c.method, source, dir / "movie.mpg"), 0);

    const auto ripped = Manifest().at(c.ripped);
    for (size_t i = 0; i < ripped.size(); ++i) {
        const std::string out = dir / TrackName("movie", static_cast<int>(i + 1));
        SCOPED_TRACE(out);
        ASSERT_TRUE(harness::Exists(out));
        EXPECT_EQ(std::filesystem::file_size(out), ripped[i].size);
        EXPECT_EQ(Md5(out), ripped[i].md5);
    }
    EXPECT_FALSE(harness::Exists(dir / TrackName("movie", static_cast<int>(ripped.size() + 1))));
    EXPECT_EQ(job.stats.errors.load(), 0);
    EXPECT_TRUE(job.Logged("## Pellmor completed"));
    EXPECT_EQ(job.Count("processed Track"), static_cast<int>(ripped.size()));
    if (fix) {
        EXPECT_TRUE(job.Logged("     0 MPEG block correction(s) applied"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, ImageExtraction,
    ::testing::Combine(::testing::Values(ImageCase{Method::CueBinToMpeg, "vcd_pal3.cue", "vcd_pal3.cue"},
                                         ImageCase{Method::BinToMpeg, "vcd_pal3.bin", "vcd_pal3.cue"},
                                         ImageCase{Method::TocBinToMpeg, "vcd_pal3.toc", "vcd_pal3.cue"},
                                         ImageCase{Method::NrgToMpeg, "vcd_pal3.nrg", "vcd_pal3.nrg"},
                                         ImageCase{Method::CueBinToMpeg, "2336", "vcd_pal3.cue"},
                                         ImageCase{Method::CueBinToMpeg, "vcd_ntsc.cue", "vcd_ntsc.cue"},
                                         ImageCase{Method::CifToMpeg, "vcd_ntsc.cif", "vcd_ntsc.cue"},
                                         ImageCase{Method::CueBinToMpeg, "svcd_pal.cue", "svcd_pal.cue"},
                                         ImageCase{Method::BinToMpeg, "svcd_pal.bin", "svcd_pal.cue"}),
                       ::testing::Bool()),
    [](const auto& info) {
        const ImageCase& c = std::get<0>(info.param);
        std::string n =
            "method" + std::to_string(Index(c.method)) + "_" + c.source + (std::get<1>(info.param) ? "_fix" : "");
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

// A sheet and image named as Windows tools often name them load whichever
// of the two is chosen.
TEST(Names, UpperCaseSheetAndImage) {
    harness::TempFolder dir;
    std::filesystem::copy_file(Fixture("vcd_pal3.bin"), dir / "MOVIE.BIN");
    std::string cue = ReadFile(Fixture("vcd_pal3.cue"));
    cue.replace(cue.find("vcd_pal3.bin"), 12, "MOVIE.BIN");
    harness::WriteFile(dir / "MOVIE.CUE", cue);
    for (const char* chosen : {"MOVIE.CUE", "MOVIE.BIN"}) {
        SCOPED_TRACE(chosen);
        harness::Job job;
        ASSERT_EQ(job.LoadAndRun(Method::CueBinToMpeg, dir / chosen, dir / "out.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "out_01.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
        std::filesystem::remove(dir / "out_01.mpg");
    }
}

struct StreamCase {
    Method method;
    const char* source;
    const char* expected;  // fixture whose bytes the output must have
};

class StreamExtraction : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamExtraction, OutputIsTheStream) {
    const StreamCase& c = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.LoadAndRun(c.method, Fixture(c.source), dir / "out.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "out.mpg"), ReadFile(Fixture(c.expected))));
    EXPECT_EQ(job.stats.errors.load(), 0);
    EXPECT_EQ(job.generated, "\"" + (dir / "out.mpg") + "\" ");
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamExtraction,
                         ::testing::Values(StreamCase{Method::RawToMpeg, "vcd_pal3_track2.raw", "clip_pal_vcd.mpg"},
                                           StreamCase{Method::DatToMpeg, "vcd_ntsc_avseq01.dat", "clip_ntsc_vcd.mpg"},
                                           StreamCase{Method::DatToMpeg, "svcd_pal_avseq01.dat", "clip_pal_svcd.mpg"},
                                           StreamCase{Method::MpegToMpeg, "clip_pal_vcd.mpg", "clip_pal_vcd.mpg"},
                                           StreamCase{Method::MpegToMpeg, "clip_pal_svcd.mpg", "clip_pal_svcd.mpg"},
                                           StreamCase{Method::SfdToMpeg, "clip_pal.sfd", "mpeg_2048packs.mpg"}),
                         [](const auto& info) {
                             std::string n =
                                 "method" + std::to_string(Index(info.param.method)) + "_" + info.param.source;
                             for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return n;
                         });

// The payloads of a dat's data sectors (channel 1), after its header.
std::string DatPayloads(const std::string& dat) {
    std::string out;
    for (size_t at = 44; at + 2352 <= dat.size(); at += 2352)
        if (static_cast<uint8_t>(dat[at + 17]) == 1) out.append(dat, at + 24, 2324);
    return out;
}

uint32_t Le32(const std::string& d, size_t at) {
    return uint32_t(uint8_t(d[at])) | uint32_t(uint8_t(d[at + 1])) << 8 | uint32_t(uint8_t(d[at + 2])) << 16 |
           uint32_t(uint8_t(d[at + 3])) << 24;
}

void ExpectDat(const std::string& path, const std::string& clip) {
    SCOPED_TRACE(path);
    const std::string dat = ReadFile(path);
    ASSERT_GE(dat.size(), 44u);
    EXPECT_TRUE(harness::SameBytes(dat.substr(0, 4), "RIFF"));
    EXPECT_TRUE(harness::SameBytes(dat.substr(8, 4), "CDXA"));
    // Both size fields hold the real sizes, never the template's.
    EXPECT_EQ(Le32(dat, 4), dat.size() - 8);
    EXPECT_EQ(Le32(dat, 40), dat.size() - 44);
    EXPECT_EQ((dat.size() - 44) % 2352, 0u);
    EXPECT_EQ(DatPayloads(dat), ReadFile(Fixture(clip)));
}

TEST(DatOutput, CueTracksBecomeDatFilesHoldingTheClips) {
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.LoadAndRun(Method::CueBinToDat, Fixture("vcd_pal3.cue"), dir / "movie.dat"), 0);
    ExpectDat(dir / "movie_01.dat", "clip_pal_vcd.mpg");
    ExpectDat(dir / "movie_02.dat", "clip_pal_vcd_b.mpg");
    ExpectDat(dir / "movie_03.dat", "clip_pal_vcd_c.mpg");
}

// A dat holds whole 2352-byte sectors: a 2336-byte image gets its sync and
// header back and gives the very dat its 2352-byte original gives, with or
// without Fix MPEG Errors (which must not cut a sector copy at the packs).
TEST(DatOutput, A2336ImageGivesTheDatOfItsRawImage) {
    harness::TempFolder dir;
    const std::string cue2336 = Make2336Image(dir);
    for (bool fix : {false, true}) {
        SCOPED_TRACE(fix ? "fix" : "plain");
        harness::Job from2336, from2352;
        from2336.config.FixMPEGErrors = from2352.config.FixMPEGErrors = fix ? 1 : 0;
        ASSERT_EQ(from2336.LoadAndRun(Method::CueBinToDat, cue2336, dir / "a.dat"), 0);
        ASSERT_EQ(from2352.LoadAndRun(Method::CueBinToDat, Fixture("vcd_pal3.cue"), dir / "b.dat"), 0);
        for (const char* n : {"_01.dat", "_02.dat", "_03.dat"})
            EXPECT_TRUE(harness::SameBytes(ReadFile(dir / ("a" + std::string(n))), ReadFile(dir / ("b" + std::string(n)))))
                << n;
        ExpectDat(dir / "a_02.dat", "clip_pal_vcd_b.mpg");
        harness::Job back;
        ASSERT_EQ(back.LoadAndRun(Method::DatToMpeg, dir / "a_01.dat", dir / "back.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "back.mpg"), ReadFile(Fixture("clip_pal_vcd.mpg"))));
    }
}

// 2448-byte sectors (raw sector and 96 subchannel bytes) read as 2352-byte
// ones would mix subchannel bytes into the stream: refused before any
// output, naming the size found.
TEST(SectorSizes, SyncsNotTheReadSizeApartAreRefused) {
    harness::TempFolder dir;
    const std::string raw = ReadFile(Fixture("vcd_pal3.bin"));
    std::string wide;
    for (size_t at = 0; at + 2352 <= raw.size(); at += 2352) wide += raw.substr(at, 2352) + std::string(96, '\x5A');
    harness::WriteFile(dir / "wide.bin", wide);
    std::string cue = ReadFile(Fixture("vcd_pal3.cue"));
    cue.replace(cue.find("vcd_pal3.bin"), 12, "wide.bin");
    harness::WriteFile(dir / "wide.cue", cue);
    // The raw track of cue track 2.
    harness::WriteFile(dir / "wide.raw", wide.substr(450 * 2448, 149 * 2448));
    struct Case {
        Method method;
        std::string source;
    };
    for (const Case& c : {Case{Method::CueBinToMpeg, dir / "wide.cue"}, Case{Method::RawToMpeg, dir / "wide.raw"},
                          Case{Method::RawToDat, dir / "wide.raw"}}) {
        SCOPED_TRACE(Index(c.method));
        harness::Job job;
        EXPECT_EQ(job.LoadAndRun(c.method, c.source, dir / "out.mpg"), 12);
        EXPECT_TRUE(job.Logged("Detected sector size: 2448"));
        EXPECT_TRUE(job.Logged("Unable to determine image sector size."));
        EXPECT_FALSE(job.Logged("processed Track"));
        for (const char* out : {"out.mpg", "out_01.mpg"}) EXPECT_FALSE(harness::Exists(dir / out));
    }
}

TEST(DatOutput, RawTrackAndMpegBecomeDatFiles) {
    harness::TempFolder dir;
    {
        harness::Job job;
        ASSERT_EQ(job.LoadAndRun(Method::RawToDat, Fixture("vcd_pal3_track2.raw"), dir / "raw.dat"), 0);
        EXPECT_TRUE(job.Logged("Detected sector size: 2352"));
        ExpectDat(dir / "raw.dat", "clip_pal_vcd.mpg");
        // The raw track is copied whole, sector for sector.
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "raw.dat").substr(44), ReadFile(Fixture("vcd_pal3_track2.raw"))));
    }
    for (const char* clip : {"clip_pal_vcd.mpg", "clip_pal_svcd.mpg"}) {
        harness::Job job;
        ASSERT_EQ(job.LoadAndRun(Method::MpegToDat, Fixture(clip), dir / "mpeg.dat"), 0);
        ExpectDat(dir / "mpeg.dat", clip);
        const std::string dat = ReadFile(dir / "mpeg.dat");
        // 30 empty lead-in sectors, then one raw sector per pack.
        EXPECT_EQ(dat.size(), 44 + (30 + ReadFile(Fixture(clip)).size() / 2324) * 2352);
        EXPECT_TRUE(harness::SameBytes(dat.substr(44 + 16, 8), std::string("\x01\x00\x60\x00\x01\x00\x60\x00", 8)));
    }
}

TEST(Decoding, FfprobeDecodesEveryKindOfOutput) {
    harness::TempFolder dir;
    struct Out {
        Method method;
        const char* source;
        const char* file;
        const char* frames;
    };
    for (const Out& o : {Out{Method::CueBinToMpeg, "vcd_pal3.cue", "cue_02.mpg", "30"},
                         Out{Method::CueBinToDat, "vcd_pal3.cue", "dat_03.dat", "20"},
                         Out{Method::BinToMpeg, "svcd_pal.bin", "svcd_01.mpg", "25"},
                         Out{Method::MpegToDat, "clip_ntsc_vcd.mpg", "ntsc.dat", "30"},
                         Out{Method::SfdToMpeg, "clip_pal.sfd", "sfd.mpg", "25"}}) {
        harness::Job job;
        std::string base = o.file;
        if (ExtractionMethod(o.method).Options() & kOptPerTrack) {
            base = base.substr(0, base.find('_')) + base.substr(base.find('.'));
        }
        ASSERT_EQ(job.LoadAndRun(o.method, Fixture(o.source), dir / base), 0) << o.file;
        const std::string frames = harness::Frames(dir / o.file);
        EXPECT_EQ(frames, o.frames) << o.file;
        EXPECT_EQ(frames.find("rror"), std::string::npos) << frames;
    }
}

}  // namespace
