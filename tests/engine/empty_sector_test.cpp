// Streams with empty sectors in the middle, as ffmpeg's VCD muxer writes
// them: every method that reads such an image gives back the whole clip,
// exactly what vcdxrip extracts. The images are too big to commit; they are
// built once per build tree by scripts/empty_sector_images.sh.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"

using harness::ReadFile;

namespace {

// The folder holding the images, made on first use.
const std::string& Images() {
    static const std::string dir = media::ScriptFolder("empty_sector_images.sh", "empty-sector-images", {"fixtures/image_tools.pl"});
    return dir;
}

std::string Image(const std::string& name) { return Images() + "/" + name; }

std::vector<int> EmptySectors(const std::string& clip) {
    std::vector<int> sectors;
    std::istringstream in(ReadFile(Image(clip + ".empty")));
    for (int n; in >> n;) sectors.push_back(n);
    return sectors;
}

const char* const kClips[] = {"pal_vcd", "ntsc_vcd", "svcd"};

TEST(EmptySectorImages, ClipsHoldSeveralEmptySectorsInsideTheStream) {
    for (const char* clip : kClips) {
        SCOPED_TRACE(clip);
        const std::string mpg = ReadFile(Image(std::string(clip) + ".mpg"));
        ASSERT_FALSE(mpg.empty());
        const std::vector<int> empty = EmptySectors(clip);
        ASSERT_GE(empty.size(), 2u);
        // Inside: data follows the last one.
        EXPECT_LT(static_cast<size_t>(empty.back() + 1) * 2324, mpg.size());
        // The oracle: vcdxrip gives the clip back whole, empty sectors and all.
        EXPECT_TRUE(harness::SameBytes(ReadFile(Image(std::string(clip) + ".rip.mpg")), mpg));
    }
}

struct MethodCase {
    Method method;
    const char* source;  // extension of the source form
    const char* output;  // what the output of the first MPEG track is called
};

const MethodCase kMethods[] = {
    {Method::CueBinToMpeg, "cue", "movie_01.mpg"}, {Method::BinToMpeg, "bin", "movie_01.mpg"},
    {Method::TocBinToMpeg, "toc", "movie_01.mpg"}, {Method::RawToMpeg, "raw", "movie.mpg"},
    {Method::DatToMpeg, "dat", "movie.mpg"},       {Method::CifToMpeg, "cif", "movie_01.mpg"},
    {Method::NrgToMpeg, "nrg", "movie_01.mpg"},     {Method::MpegToMpeg, "mpg", "movie.mpg"},
};

class EmptySectorExtraction : public ::testing::TestWithParam<std::tuple<const char*, MethodCase, bool>> {};

TEST_P(EmptySectorExtraction, GivesBackTheWholeClip) {
    const auto& [clip, method, fix] = GetParam();
    harness::TempFolder dir;
    harness::Job job;
    job.config.FixMPEGErrors = fix ? 1 : 0;
    const std::string source = Image(std::string(clip) + "." + method.source);
    ASSERT_EQ(job.LoadAndRun(method.method, source, dir / "movie.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / method.output), ReadFile(Image(std::string(clip) + ".rip.mpg"))));
    EXPECT_EQ(job.stats.errors.load(), 0);
    EXPECT_EQ(job.Count("processed Track"), 1);
}

INSTANTIATE_TEST_SUITE_P(Images, EmptySectorExtraction,
                         ::testing::Combine(::testing::ValuesIn(kClips), ::testing::ValuesIn(kMethods),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             const MethodCase& m = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param)) + "_" + m.source + "_method" +
                                    std::to_string(Index(m.method)) + (std::get<2>(info.param) ? "_fix" : "");
                         });

// "cue/bin -> dat" keeps every sector of the track, the empty ones too;
// "dat -> mpeg" then gives the clip.
TEST(EmptySectorDat, CueToDatToMpegGivesTheClip) {
    for (const char* clip : kClips) {
        SCOPED_TRACE(clip);
        harness::TempFolder dir;
        harness::Job toDat;
        ASSERT_EQ(toDat.LoadAndRun(Method::CueBinToDat, Image(std::string(clip) + ".cue"), dir / "movie.dat"), 0);
        harness::Job toMpeg;
        ASSERT_EQ(toMpeg.LoadAndRun(Method::DatToMpeg, dir / "movie_01.dat", dir / "back.mpg"), 0);
        EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "back.mpg"), ReadFile(Image(std::string(clip) + ".mpg"))));
    }
}

}  // namespace
