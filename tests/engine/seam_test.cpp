// The seams between tracks of two- and three-track images: every track of
// every source form comes out exactly as vcdxrip rips it from the undamaged
// image, with and without the repairs and with any track left out, and no
// output ever holds a byte of another track. One damaged byte changes only
// its own sector's pack. The images are built once per build tree by
// scripts/seam_images.sh.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "tests/engine/job_harness.h"
#include "tests/support/script_media.h"

using harness::ReadFile;

namespace {

// Megabytes at a time: the sanitizer builds read a file byte by byte
// through stream iterators very slowly.
std::string ReadAll(const std::string& path) {
    std::string data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) data.append(buffer, n);
        std::fclose(f);
    }
    return data;
}

// The folder holding the images, made on first use.
const std::string& Images() {
    static const std::string dir = media::ScriptFolder("seam_images.sh", "seam-images", {"fixtures/image_tools.pl"});
    return dir;
}

std::string Image(const std::string& name) { return Images() + "/" + name; }

// One MPEG track of an image, in sectors of its bin.
struct Track {
    int extent = 0, sectors = 0;  // the MPEG file
    int first = 0, last = 0;      // its first and last sector holding data
};

std::vector<Track> Layout(const std::string& image) {
    std::vector<Track> tracks;
    std::istringstream in(ReadFile(Image(image + ".layout")));
    for (int t; in >> t;) {
        Track k;
        in >> k.extent >> k.sectors >> k.first >> k.last;
        tracks.push_back(k);
    }
    return tracks;
}

// A damaged copy: the image it was made from and the sector it changed.
struct Damage {
    std::string image;
    int sector = -1;
};

std::map<std::string, Damage> DamageList() {
    std::map<std::string, Damage> list;
    std::istringstream in(ReadFile(Image("damage.list")));
    std::string name, image;
    long long at = 0;
    int sector = 0;
    while (in >> name >> image >> sector >> at) list[name] = {image, sector};
    return list;
}

const std::string& Rip(const std::string& image, int track) {
    static std::map<std::string, std::string> rips;
    const std::string name = image + "_t" + std::to_string(track) + ".rip.mpg";
    auto it = rips.find(name);
    if (it == rips.end()) it = rips.emplace(name, ReadAll(Image(name))).first;
    return it->second;
}

std::string TrackOutput(const harness::TempFolder& dir, int track) {
    char name[32];
    std::snprintf(name, sizeof name, "movie_%02d.mpg", track);
    return dir / name;
}

// An output of track `track` that must be the rip, but for one damaged
// sector: inside the track's data that sector's bytes differ and no others; past
// the data (a margin or a pregap) the repairs drop it, and the plain copy
// may keep it with the empty sectors before it, but nothing after it.
::testing::AssertionResult Matches(const std::string& out, const std::string& rip, const Track& track, int damaged,
                                   bool fix) {
    constexpr size_t kPayload = 2324;
    if (damaged >= track.first && damaged <= track.last) {
        // The damaged byte is copied as it is: nothing guesses it back.
        if (out == rip) return ::testing::AssertionFailure() << "the damaged byte is not in the output";
        if (out.size() != rip.size())
            return ::testing::AssertionFailure() << "size " << out.size() << ", the rip " << rip.size();
        const size_t from = static_cast<size_t>(damaged - track.first) * kPayload;
        const size_t to = std::min(from + kPayload, out.size());
        if (out.compare(0, from, rip, 0, from) != 0 || out.compare(to, std::string::npos, rip, to) != 0)
            return ::testing::AssertionFailure() << "differs outside the damaged sector at " << from << ": "
                                                 << harness::SameBytes(out, rip).message();
        return ::testing::AssertionSuccess();
    }
    if (out == rip) return ::testing::AssertionSuccess();
    if (damaged < 0) return ::testing::AssertionFailure() << "not the rip: " << harness::SameBytes(out, rip).message();
    if (fix || damaged < track.last) return ::testing::AssertionFailure() << harness::SameBytes(out, rip).message();
    const size_t extra = static_cast<size_t>(damaged - track.last) * kPayload;
    if (out.size() != rip.size() + extra || out.compare(0, rip.size(), rip) != 0)
        return ::testing::AssertionFailure() << "not the rip and the sectors up to the damaged one: "
                                             << harness::SameBytes(out, rip).message();
    const size_t changed = out.size() - rip.size() - std::count(out.begin() + rip.size(), out.end(), '\0');
    if (changed != 1) return ::testing::AssertionFailure() << changed << " non-zero bytes after the stream";
    return ::testing::AssertionSuccess();
}

struct Form {
    const char* name;
    Method method;
    const char* suffix;  // after the image's name; "%d" stands for the track
};

// Forms that hold the whole image.
const Form kImageForms[] = {
    {"cue", Method::CueBinToMpeg, ".cue"},      {"toc", Method::TocBinToMpeg, ".toc"},
    {"bin", Method::BinToMpeg, ".bin"},         {"cue2336", Method::CueBinToMpeg, "_2336.cue"},
    {"nrg", Method::NrgToMpeg, ".nrg"},         {"cif", Method::CifToMpeg, ".cif"},
};

// Forms that hold one track.
const Form kTrackForms[] = {
    {"raw", Method::RawToMpeg, "_t%d.raw"},         {"raw2336", Method::RawToMpeg, "_t%d_2336.raw"},
    {"dat", Method::DatToMpeg, "_t%d.dat"},         {"bare_dat", Method::DatToMpeg, "_t%d_bare.dat"},
    {"mpeg_dat", Method::DatToMpeg, "_t%d_mpeg.dat"},
};

std::string Source(const std::string& image, const Form& form, int track = 0) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, form.suffix, track);
    return Image(image + suffix);
}

// Every track of an image form, with and without the repairs, all tracks
// and each one left out in turn, and with the bumper removal on.
void CheckImageForm(const std::string& name, const Form& form) {
    const std::map<std::string, Damage> damage = DamageList();
    const auto d = damage.find(name);
    const std::string image = d != damage.end() ? d->second.image : name;
    const int damaged = d != damage.end() ? d->second.sector : -1;
    const std::vector<Track> tracks = Layout(image);
    ASSERT_GE(tracks.size(), 2u);
    const std::string path = Image(name + form.suffix);
    ASSERT_TRUE(harness::Exists(path)) << path;
    struct Run {
        bool fix;
        size_t left;  // the track left out, 0 for none
        bool bumper;  // Remove CD-i Bumper, on an image without one
    };
    std::vector<Run> runs;
    for (bool fix : {false, true}) {
        for (size_t left = 0; left <= tracks.size(); ++left) runs.push_back({fix, left, false});
        runs.push_back({fix, 0, true});
    }
    for (const Run& run : runs) {
        const bool fix = run.fix;
        const size_t left = run.left;
        {
            SCOPED_TRACE(std::string(form.name) + (fix ? " fix" : "") + (run.bumper ? " bumper" : "") +
                         (left ? ", track " + std::to_string(left) + " left out" : ""));
            harness::TempFolder dir;
            harness::Job job;
            job.config.FixMPEGErrors = fix ? 1 : 0;
            job.config.RemoveCDIBumper = run.bumper ? 1 : 0;
            ASSERT_EQ(job.Load(Index(form.method), path), 0);
            if (left) {
                job.config.selectedTracksOnly = 1;
                job.start.selectedRows.assign(tracks.size(), true);
                job.start.selectedRows[left - 1] = false;
            }
            EXPECT_EQ(job.Run(Index(form.method), dir / "movie.mpg"), 0);
            for (size_t t = 1; t <= tracks.size(); ++t) {
                SCOPED_TRACE("track " + std::to_string(t));
                const std::string out = TrackOutput(dir, static_cast<int>(t));
                if (t == left) {
                    EXPECT_FALSE(harness::Exists(out));
                    continue;
                }
                const Track& k = tracks[t - 1];
                // The sectors the track reads run up to the next track's data.
                const int end = t < tracks.size() ? tracks[t].first : INT32_MAX;
                const int here = damaged >= k.extent && damaged < end ? damaged : -1;
                EXPECT_TRUE(Matches(ReadAll(out), Rip(image, static_cast<int>(t)), k, here, fix));
            }
            if (damaged < 0) {
                EXPECT_EQ(job.stats.errors.load(), 0);
            }
        }
    }
}

// Each track file of a form, with and without the repairs and the bumper
// removal.
void CheckTrackForm(const std::string& image, const Form& form) {
    const size_t count = Layout(image).size();
    ASSERT_GE(count, 2u);
    for (size_t t = 1; t <= count; ++t) {
        for (int options = 0; options < 4; ++options) {
            const bool fix = options & 1, bumper = options & 2;
            SCOPED_TRACE(std::string(form.name) + " track " + std::to_string(t) + (fix ? " fix" : "") +
                         (bumper ? " bumper" : ""));
            harness::TempFolder dir;
            harness::Job job;
            job.config.FixMPEGErrors = fix ? 1 : 0;
            job.config.RemoveCDIBumper = bumper ? 1 : 0;
            EXPECT_EQ(job.LoadAndRun(form.method, Source(image, form, static_cast<int>(t)), dir / "movie.mpg"), 0);
            EXPECT_TRUE(harness::SameBytes(ReadAll(dir / "movie.mpg"), Rip(image, static_cast<int>(t))));
            EXPECT_EQ(job.stats.errors.load(), 0);
        }
    }
}

const char* const kImages[] = {"pal2", "ntsc3", "svcd2", "nsvcd3", "cdi2"};

class SeamImageForms : public ::testing::TestWithParam<std::tuple<const char*, Form>> {};

TEST_P(SeamImageForms, EveryTrackIsTheRip) { CheckImageForm(std::get<0>(GetParam()), std::get<1>(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Images, SeamImageForms,
                         ::testing::Combine(::testing::ValuesIn(kImages), ::testing::ValuesIn(kImageForms)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

class SeamTrackForms : public ::testing::TestWithParam<std::tuple<const char*, Form>> {};

TEST_P(SeamTrackForms, EveryTrackIsTheRip) { CheckTrackForm(std::get<0>(GetParam()), std::get<1>(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Images, SeamTrackForms,
                         ::testing::Combine(::testing::ValuesIn(kImages), ::testing::ValuesIn(kTrackForms)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

// A raw track without the CD sync whose sectors are not 2336 bytes either
// (an MPEG of bare 2324-byte packs) has no size it could be read at.
TEST(SeamRawTrack, WithoutSyncOrSubheadersIsRefused) {
    harness::TempFolder dir;
    std::filesystem::copy_file(Image("svcd2_t1.rip.mpg"), dir / "packs.raw");
    harness::Job job;
    EXPECT_EQ(job.LoadAndRun(Method::RawToMpeg, dir / "packs.raw", dir / "movie.mpg"), 12);
    EXPECT_TRUE(job.Logged("Unable to determine image sector size."));
    EXPECT_FALSE(harness::Exists(dir / "movie.mpg"));
    // A forced size is the user's word for it.
    harness::Job forced;
    forced.start.forceRead = true;
    forced.job.forcedReadSize = 2324;
    EXPECT_EQ(forced.LoadAndRun(Method::RawToMpeg, dir / "packs.raw", dir / "movie.mpg"), 0);
    EXPECT_TRUE(harness::SameBytes(ReadAll(dir / "movie.mpg"), Rip("svcd2", 1)));
}

// An nrg or cif image rebuilt as a cue/bin image keeps every track: each
// track's stream is looked for from its own place, past an MPEG file in the
// data track, a track shorter than a VCD track's margins is kept, and an
// nrg's footer right after its last track is no part of it.
TEST(SeamConversion, EveryTrackIsTheRip) {
    struct Case {
        const char* name;
        const char* image;  // the one it was made from
        bool svcd;
    };
    for (const Case c : {Case{"cdi2", "cdi2", false}, Case{"nsvcd3", "nsvcd3", true}, Case{"pal2_end", "pal2", false},
                         Case{"svcd2_end", "svcd2", true}}) {
        for (const char* kind : {"nrg", "cif"}) {
            SCOPED_TRACE(std::string(c.name) + "." + kind);
            harness::TempFolder dir;
            const std::string method = std::string(kind) == "nrg" ? "3" : "2";
            const harness::Outcome o =
                harness::RunJob("--page 1 --method " + method + (c.svcd ? " --svcd" : "") + " --source '" +
                                Image(std::string(c.name) + "." + kind) + "' --output '" + dir / "copy.bin" +
                                "' --date '2026-01-01 00:00:00'");
            ASSERT_EQ(o.status, 0) << o.out;
            std::filesystem::create_directory(dir / "rip");
            harness::RunShell("cd '" + dir / "rip" + "' && vcdxrip -q --nofiles --cue-file='" + dir / "copy.cue" +
                              "' >/dev/null 2>&1");
            const size_t count = Layout(c.image).size();
            for (size_t t = 1; t <= count; ++t) {
                SCOPED_TRACE("track " + std::to_string(t));
                char name[32];
                std::snprintf(name, sizeof name, "rip/avseq%02zu.mpg", t);
                EXPECT_TRUE(harness::SameBytes(ReadAll(dir / name), Rip(c.image, static_cast<int>(t))));
            }
        }
    }
}

// A track without a stream between two whole ones, in every image form:
// it gets no output, with the track left out or not, and neither takes the
// next track's stream nor makes the next one lose its start.
TEST(SeamBlankTrack, TakesNothingOfTheNextTrack) {
    for (const Form& form : kImageForms) {
        if (std::string(form.name) == "cue2336") continue;  // no such copy
        for (bool leftOut : {false, true}) {
            for (bool fix : {false, true}) {
                SCOPED_TRACE(std::string(form.name) + (leftOut ? ", track 2 left out" : "") + (fix ? " fix" : ""));
                harness::TempFolder dir;
                harness::Job job;
                job.config.FixMPEGErrors = fix ? 1 : 0;
                ASSERT_EQ(job.Load(Index(form.method), Image(std::string("ntsc3_blank") + form.suffix)), 0);
                if (leftOut) {
                    job.config.selectedTracksOnly = 1;
                    job.start.selectedRows = {true, false, true};
                }
                EXPECT_EQ(job.Run(Index(form.method), dir / "movie.mpg"), 0);
                EXPECT_TRUE(harness::SameBytes(ReadAll(TrackOutput(dir, 1)), Rip("ntsc3", 1)));
                EXPECT_FALSE(harness::Exists(TrackOutput(dir, 2)));
                EXPECT_TRUE(harness::SameBytes(ReadAll(TrackOutput(dir, 3)), Rip("ntsc3", 3)));
                EXPECT_EQ(job.Logged(", Track 2]"), !leftOut);
                EXPECT_FALSE(job.Logged(", Track 3]"));
            }
        }
    }
}

// One byte set in the last data sector of track 1, in an empty sector after
// it, or in the first data sector of track 2.
struct DamagedForm {
    const char* name;
    Form form;
};

const DamagedForm kDamagedForms[] = {
    {"pal2_last", kImageForms[0]},    {"pal2_last", kImageForms[1]},    {"pal2_last", kImageForms[2]},
    {"pal2_margin", kImageForms[0]},  {"pal2_margin", kImageForms[1]},  {"pal2_margin", kImageForms[2]},
    {"pal2_margin", kImageForms[4]},  {"pal2_margin", kImageForms[5]},  {"pal2_next", kImageForms[0]},
    {"pal2_next", kImageForms[1]},    {"pal2_next", kImageForms[2]},    {"svcd2_last", kImageForms[0]},
    {"svcd2_last", kImageForms[1]},   {"svcd2_last", kImageForms[2]},   {"svcd2_margin", kImageForms[0]},
    {"svcd2_margin", kImageForms[1]}, {"svcd2_margin", kImageForms[2]}, {"svcd2_next", kImageForms[0]},
    {"svcd2_next", kImageForms[1]},   {"svcd2_next", kImageForms[2]},
    // Ending where the last track's file does: nothing is missing.
    {"pal2_end", kImageForms[4]},     {"pal2_end", kImageForms[5]},     {"svcd2_end", kImageForms[4]},
    {"svcd2_end", kImageForms[5]},
};

class SeamDamagedForms : public ::testing::TestWithParam<DamagedForm> {};

TEST_P(SeamDamagedForms, OnlyTheDamagedPackDiffers) { CheckImageForm(GetParam().name, GetParam().form); }

INSTANTIATE_TEST_SUITE_P(Images, SeamDamagedForms, ::testing::ValuesIn(kDamagedForms),
                         [](const auto& info) { return std::string(info.param.name) + "_" + info.param.form.name; });

}  // namespace
