// Damage that must cost no more than the damaged part: one flipped sync
// bit, an image cut inside its last track, junk after the stream's end.
// The oracle is what vcdxrip extracts from the undamaged image. The images
// are too big to commit; scripts/damaged_images.sh builds them once per
// build tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

#include "core/result_codes.h"
#include "disc/mpeg_file_list.h"
#include "engine/source_loader.h"
#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"

using harness::ReadFile;

namespace {

// The folder holding the images, made on first use.
const std::string& Images() {
    static const std::string dir = media::ScriptFolder("damaged_images.sh", "damaged-images", {"fixtures/image_tools.pl"});
    return dir;
}

std::string Image(const std::string& name) { return Images() + "/" + name; }
std::string Rip(const std::string& disc, int track) {
    return ReadFile(Image(disc + "_" + std::to_string(track) + ".rip.mpg"));
}

const char* const kDiscs[] = {"pal_vcd", "ntsc_vcd", "svcd"};
constexpr const char* kTruncated = "Track does not match size expected";
constexpr const char* kNoStream = "Could not locate MPEG stream.";

// A copy of an image whose sectors `first`, first + 2, ... (`count` of
// them) have bit 4 of byte 5 of their sync cleared: the syncs left are two
// sectors apart, and no measure can tell the sector size.
std::string WithManySyncsDamaged(const std::string& from, const std::string& to, size_t first, size_t count) {
    std::string data = ReadFile(from);
    for (size_t s = first; s < first + 2 * count && s * 2352 + 5 < data.size(); s += 2)
        data[s * 2352 + 5] = static_cast<char>(0xEF);
    harness::WriteFile(to, data);
    return to;
}

TEST(DamagedImages, AreBuilt) {
    for (const char* disc : kDiscs) {
        SCOPED_TRACE(disc);
        const std::string bin = ReadFile(Image(std::string(disc) + ".bin"));
        ASSERT_GT(bin.size(), 452u * 2352);
        // The damage: one bit of the second sector's sync.
        EXPECT_EQ(static_cast<uint8_t>(bin[451 * 2352 + 5]), 0xEF);
        EXPECT_EQ(static_cast<uint8_t>(bin[450 * 2352 + 5]), 0xFF);
        ASSERT_FALSE(Rip(disc, 1).empty());
        ASSERT_FALSE(Rip(disc, 2).empty());
        EXPECT_NE(Rip(disc, 1), Rip(disc, 2)) << "two different clips";
    }
}

// ------------------------------------------------------------ one damaged sync

struct SyncCase {
    Method method;
    const char* source;  // how the source's name ends
    int tracks;          // MPEG tracks the source holds
};

const SyncCase kSyncCases[] = {
    {Method::CueBinToMpeg, ".cue", 2},
    {Method::TocBinToMpeg, ".toc", 2},
    {Method::RawToMpeg, ".raw", 1},
};

class OneDamagedSync : public ::testing::TestWithParam<std::tuple<const char*, SyncCase, bool>> {};

// The damaged sync lies in a sector's header: every payload byte is whole.
TEST_P(OneDamagedSync, CostsNothing) {
    const auto& [disc, c, fix] = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = fix ? 1 : 0;
    ASSERT_EQ(job.LoadAndRun(c.method, Image(std::string(disc) + c.source), dir / "movie.mpg"), 0);
    EXPECT_FALSE(job.Logged("Detected sector size"));
    if (c.tracks == 1) {
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie.mpg"), Rip(disc, 1)));
    } else {
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), Rip(disc, 1)));
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_02.mpg"), Rip(disc, 2)));
    }
    EXPECT_EQ(job.Count("processed Track"), c.tracks);
}

INSTANTIATE_TEST_SUITE_P(Images, OneDamagedSync,
                         ::testing::Combine(::testing::ValuesIn(kDiscs), ::testing::ValuesIn(kSyncCases),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             const SyncCase& c = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param)) + "_" + (c.source + 1) +
                                    (std::get<2>(info.param) ? "_fix" : "");
                         });

// The dat methods copy whole sectors, the damaged sync too; their dat gives
// the clip back.
TEST(OneDamagedSyncDat, CueToDatAndRawToDatGiveTheClips) {
    for (const char* disc : kDiscs) {
        SCOPED_TRACE(disc);
        harness::TempFolder dir;
        harness::Job cue;
        ASSERT_EQ(cue.LoadAndRun(Method::CueBinToDat, Image(std::string(disc) + ".cue"), dir / "movie.dat"), 0);
        // The raw track's method looks for MPEG-1 packs only.
        const bool vcd = std::string(disc) != "svcd";
        harness::Job raw;
        if (vcd) {
            ASSERT_EQ(raw.LoadAndRun(Method::RawToDat, Image(std::string(disc) + ".raw"), dir / "raw.dat"), 0);
        }
        const struct {
            const char* dat;
            int track;
        } back[] = {{"movie_01.dat", 1}, {"movie_02.dat", 2}, {"raw.dat", 1}};
        for (const auto& b : back) {
            if (!vcd && b.dat == std::string("raw.dat")) continue;
            SCOPED_TRACE(b.dat);
            harness::Job toMpeg;
            ASSERT_EQ(toMpeg.LoadAndRun(Method::DatToMpeg, dir / b.dat, dir / "back.mpg"), 0);
            EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "back.mpg"), Rip(disc, b.track)));
        }
    }
}

// --------------------------------------------------------- a forced read size

// Syncs so damaged that no size can be measured: refused with the advice to
// force the size, and a forced size is then taken as it stands.
TEST(ForcedReadSize, StandsForADetectionThatFails) {
    harness::TempFolder dir;
    const std::string raw = WithManySyncsDamaged(Image("pal_vcd.raw"), dir / "damaged.raw", 1, 20);
    WithManySyncsDamaged(Image("pal_vcd.bin"), dir / "damaged.bin", 451, 20);
    std::string cue = ReadFile(Image("pal_vcd.cue"));
    cue.replace(cue.find("pal_vcd.bin"), 11, "damaged.bin");
    harness::WriteFile(dir / "damaged.cue", cue);

    const struct {
        Method method;
        std::string source;
        const char* output;  // of the first MPEG track
    } cases[] = {
        {Method::RawToMpeg, raw, "out.mpg"},
        {Method::CueBinToMpeg, dir / "damaged.cue", "out_01.mpg"},
        {Method::RawToDat, raw, "out.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        harness::Job detect;
        EXPECT_EQ(detect.LoadAndRun(c.method, c.source, dir / "refused.mpg"), result::kNoSectorSize);
        EXPECT_TRUE(detect.Logged("Unable to determine image sector size."));

        harness::Job forced;
        forced.start.forceRead = true;
        forced.job.forcedReadSize = 2352;
        const std::string out = dir / (std::string("out.") + (c.method == Method::RawToDat ? "dat" : "mpg"));
        ASSERT_EQ(forced.LoadAndRun(c.method, c.source, out), 0);
        EXPECT_FALSE(forced.Logged("Detected sector size"));
        std::string stream = ReadFile(dir / c.output);
        if (c.method == Method::RawToDat) {
            harness::Job toMpeg;
            ASSERT_EQ(toMpeg.LoadAndRun(Method::DatToMpeg, dir / c.output, dir / "back.mpg"), 0);
            stream = ReadFile(dir / "back.mpg");
        }
        EXPECT_TRUE(harness::SameBytes(stream, Rip("pal_vcd", 1)));
    }
}

// A bare bin of 2336-byte sectors has no sync to detect a size from: the
// forced size is what the loader reads its directory at.
TEST(ForcedReadSize, LoadsABare2336ByteBin) {
    for (const char* disc : kDiscs) {
        SCOPED_TRACE(disc);
        const std::string bin = Image(std::string(disc) + "_2336.bin");
        harness::TempFolder dir;
        harness::Job forced;
        forced.start.forceRead = true;
        forced.job.forcedReadSize = 2336;
        ASSERT_EQ(forced.LoadAndRun(Method::BinToMpeg, bin, dir / "movie.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), Rip(disc, 1)));
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_02.mpg"), Rip(disc, 2)));
    }
}

// ------------------------------------------------ an image cut in its last track

struct CutCase {
    Method method;
    const char* source;
    const char* name;
};

// Cut halfway into the last track, and near its end (60 sectors before the
// end of its file, which an nrg holds behind a 150-sector lead).
const CutCase kCutCases[] = {
    {Method::CueBinToMpeg, "_cut.cue", "cue"},       {Method::TocBinToMpeg, "_cut.toc", "toc"},
    {Method::BinToMpeg, "_cut.bin", "bin"},          {Method::CifToMpeg, "_cut.cif", "cif"},
    {Method::NrgToMpeg, "_cut.nrg", "nrg"},          {Method::CueBinToMpeg, "_tail.cue", "tail_cue"},
    {Method::TocBinToMpeg, "_tail.toc", "tail_toc"}, {Method::BinToMpeg, "_tail.bin", "tail_bin"},
    {Method::CifToMpeg, "_tail.cif", "tail_cif"},    {Method::NrgToMpeg, "_tail.nrg", "tail_nrg"},
};

class CutInItsLastTrack : public ::testing::TestWithParam<std::tuple<const char*, CutCase, bool>> {};

// Every track is listed, the whole one comes out whole, the cut one as far
// as the image holds it, reported as cut; the job does not pass.
TEST_P(CutInItsLastTrack, GivesTheWholeTracksAndReportsTheCutOne) {
    const auto& [disc, c, fix] = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = fix ? 1 : 0;
    ASSERT_EQ(job.Load(Index(c.method), Image(std::string(disc) + c.source)), 0);
    EXPECT_EQ(job.job.trackTable->lastIndex, 2) << "both MPEG tracks listed";
    EXPECT_EQ(job.Run(Index(c.method), dir / "movie.mpg"), result::kNoMpegStream);

    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), Rip(disc, 1)));
    const std::string cut = ReadFile(dir / "movie_02.mpg");
    const std::string whole = Rip(disc, 2);
    EXPECT_GT(cut.size(), whole.size() / 4);
    EXPECT_LT(cut.size(), whole.size());
    EXPECT_TRUE(harness::SameBytes(cut, whole.substr(0, cut.size()))) << "a prefix of the track";

    EXPECT_EQ(job.Count(kTruncated), 1);
    EXPECT_TRUE(job.Logged(", Track 2]"));
    EXPECT_FALSE(job.Logged(", Track 1]"));
    EXPECT_EQ(job.indicator.color(), job.config.Error_Clr);
}

INSTANTIATE_TEST_SUITE_P(Images, CutInItsLastTrack,
                         ::testing::Combine(::testing::ValuesIn(kDiscs), ::testing::ValuesIn(kCutCases),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             const CutCase& c = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param)) + "_" + c.name +
                                    (std::get<2>(info.param) ? "_fix" : "");
                         });

// The whole images of the sheets are not taken for cut ones: their last
// track ends where the directory says.
TEST(CutInItsLastTrack, AWholeImageIsNotCut) {
    for (const auto& [method, source] :
         {std::pair{Method::CueBinToMpeg, "svcd.cue"}, std::pair{Method::TocBinToMpeg, "svcd.toc"}}) {
        SCOPED_TRACE(source);
        harness::TempFolder dir;
        harness::Job job;
        ASSERT_EQ(job.LoadAndRun(method, Image(source), dir / "movie.mpg"), 0);
        EXPECT_FALSE(job.Logged(kTruncated));
    }
}

// An image rebuilt from a cut one would lack part of a track: a build takes
// whole images only.
TEST(CutInItsLastTrack, IsNoSourceForABuild) {
    for (const auto& [method, source] : {std::pair{VcdMethod::NrgToCueBin, "pal_vcd_cut.nrg"},
                                         std::pair{VcdMethod::CifToCueBin, "pal_vcd_cut.cif"},
                                         std::pair{VcdMethod::NrgToCueBin, "pal_vcd_tail.nrg"},
                                         std::pair{VcdMethod::CifToCueBin, "pal_vcd_tail.cif"}}) {
        SCOPED_TRACE(source);
        harness::Job job;
        TMpegFileList list(&job.job, &job.config);
        const LoadReporter reporter = LoadReporter::For(MessageServices{job.texts.get(), nullptr, nullptr},
                                                        job.config, &job.log);
        EXPECT_EQ(LoadImageForBuild(Index(method), Image(source), job.job, list, reporter), result::kNoMpegStream);
        EXPECT_TRUE(list.entries.empty());
        EXPECT_TRUE(job.Logged(kTruncated));
        EXPECT_TRUE(job.Logged(std::string(source) + ", Track 2]"));
    }
}

// A cif one sector short of its last track (an SVCD's, whose last sector
// holds data): the few bytes in front of its sectors do not hide the cut.
TEST(CutInItsLastTrack, OneSectorShortCifIsReported) {
    harness::TempFolder dir;
    harness::Job job;
    ASSERT_EQ(job.LoadAndRun(Method::CifToMpeg, Image("svcd_last.cif"), dir / "movie.mpg"), result::kNoMpegStream);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_01.mpg"), Rip("svcd", 1)));
    const std::string whole = Rip("svcd", 2);
    ASSERT_GT(whole.size(), 2324u);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "movie_02.mpg"), whole.substr(0, whole.size() - 2324)));
    EXPECT_EQ(job.Count(kTruncated), 1);
    EXPECT_TRUE(job.Logged("svcd_last.cif, Track 2]"));
    // Nor is it taken whole for a build.
    harness::Job build;
    TMpegFileList list(&build.job, &build.config);
    const LoadReporter reporter =
        LoadReporter::For(MessageServices{build.texts.get(), nullptr, nullptr}, build.config, &build.log);
    EXPECT_EQ(LoadImageForBuild(Index(VcdMethod::CifToCueBin), Image("svcd_last.cif"), build.job, list, reporter),
              result::kNoMpegStream);
    EXPECT_TRUE(list.entries.empty());
}

// -------------------------------------------------- junk after the stream

// Junk after the last pack is not a missing stream: the clip comes out
// exactly, the job passes, and a warning names the bytes left out.
TEST(JunkAfterTheStream, IsLeftOutWithAWarningNotAnError) {
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    ASSERT_EQ(job.LoadAndRun(Method::MpegToMpeg, Image("junk.mpg"), dir / "post.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "post.mpg"), Rip("svcd", 1)));
    EXPECT_FALSE(job.Logged(kNoStream));
    EXPECT_TRUE(job.Logged("WARNING: 5000 bytes after the last MPEG pack were left out."));
    EXPECT_TRUE(job.Logged("junk.mpg, Track 1"));
    EXPECT_EQ(job.Count("processed Track"), 1);
    EXPECT_NE(job.indicator.color(), job.config.Error_Clr);
}

// A file of junk alone holds no stream: refused, nothing called left out.
TEST(JunkAfterTheStream, JunkAloneIsNoStream) {
    harness::TempFolder dir;
    const std::string junk = ReadFile(Image("junk.mpg"));
    harness::WriteFile(dir / "junk.mpg", junk.substr(junk.size() - 5000));
    harness::Job job;
    job.config.FixMPEGErrors = 1;
    EXPECT_NE(job.LoadAndRun(Method::MpegToMpeg, dir / "junk.mpg", dir / "post.mpg"), 0);
    EXPECT_FALSE(job.Logged("were left out"));
    EXPECT_FALSE(harness::Exists(dir / "post.mpg"));
}

}  // namespace
