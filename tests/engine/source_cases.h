// The sources a load is checked on: every committed fixture a method reads,
// the images scripts/empty_sector_images.sh builds with vcdimager, and the
// inputs a load must refuse. Shared by the loader's own test and the
// window's, so both load the same list.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/temp_file.h"
#include "disc/track_table.h"
#include "core/result_codes.h"
#include "engine/methods.h"

namespace sources {

using M = Method;

inline std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

struct Source {
    Method method;
    std::string path;
    int listed;  // tracks the list shows
};

// Every committed image and track file under each method that reads it.
inline std::vector<Source> Fixtures() {
    return {
        {M::CueBinToMpeg, Fixture("vcd_pal3.cue"), 3},     {M::CueBinToDat, Fixture("vcd_pal3.cue"), 3},
        {M::CueBinToMpeg, Fixture("vcd_pal3.bin"), 3},  // the cue beside the chosen bin
        {M::TocBinToMpeg, Fixture("vcd_pal3.toc"), 3},     {M::BinToMpeg, Fixture("vcd_pal3.bin"), 3},
        {M::NrgToMpeg, Fixture("vcd_pal3.nrg"), 3},    {M::CueBinToMpeg, Fixture("vcd_ntsc.cue"), 1},
        {M::BinToMpeg, Fixture("vcd_ntsc.bin"), 1},     {M::CifToMpeg, Fixture("vcd_ntsc.cif"), 1},
        {M::CueBinToMpeg, Fixture("svcd_pal.cue"), 1},     {M::BinToMpeg, Fixture("svcd_pal.bin"), 1},
        {M::CueBinToMpeg, Fixture("cdi_subs.cue"), 1},     {M::BinToMpeg, Fixture("cdi_subs.bin"), 1},
        {M::CifToMpeg, Fixture("cdi_subs.cif"), 1},    {M::NrgToMpeg, Fixture("cdi_subs.nrg"), 1},
        {M::CueBinToMpeg, Fixture("bad_no_mpeg.cue"), 1},  {M::CueBinToMpeg, Fixture("bad_truncated.cue"), 3},
        {M::BinToMpeg, Fixture("bad_truncated.bin"), 3},  // cut: every track listed
        {M::RawToMpeg, Fixture("vcd_pal3_track2.raw"), 1}, {M::RawToDat, Fixture("vcd_pal3_track2.raw"), 1},
        {M::DatToMpeg, Fixture("vcd_ntsc_avseq01.dat"), 1}, {M::DatToMpeg, Fixture("svcd_pal_avseq01.dat"), 1},
        {M::MpegToDat, Fixture("clip_pal_vcd.mpg"), 1}, {M::MpegToMpeg, Fixture("clip_pal_vcd.mpg"), 1},
        {M::SfdToMpeg, Fixture("clip_pal.sfd"), 1},
    };
}

// scripts/empty_sector_images.sh with short clips in a folder of their own:
// one VCD-track image per clip in every form a method reads. Four seconds:
// the SVCD clip (half as long) must outlast the 75 sectors a cif track
// loses to its length adjust.
struct ScriptImages {
    ScriptImages() : dir(CreateTempDir("pellmor-loader-images-")) {
        const std::string script = std::string(PELLMOR_SOURCE_DIR) + "/scripts/empty_sector_images.sh";
        made = std::system(("bash '" + script + "' '" + dir + "' 4 >/dev/null 2>&1").c_str()) == 0;
    }
    ~ScriptImages() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::vector<Source> sources() const {
        std::vector<Source> out;
        for (const char* clip : {"pal_vcd", "ntsc_vcd", "svcd"}) {
            const std::string base = dir + "/" + clip;
            const std::pair<Method, const char*> forms[] = {
                {M::CueBinToMpeg, ".cue"}, {M::TocBinToMpeg, ".toc"}, {M::BinToMpeg, ".bin"}, {M::CifToMpeg, ".cif"},
                {M::NrgToMpeg, ".nrg"},    {M::RawToMpeg, ".raw"},    {M::DatToMpeg, ".dat"}};
            for (const auto& [method, extension] : forms) out.push_back({method, base + extension, 1});
        }
        return out;
    }
    std::string dir;
    bool made = false;
};

// A source a load refuses, with the result unattended (a batch run, run_job)
// and with the user there (who was shown the parser's message: kOk).
struct Refused {
    Method method;
    std::string path;
    int unattended, attended;
    const char* message;  // in the log
};

// Files a refusal case needs besides the fixtures, written into `dir`.
inline std::vector<Refused> RefusedSources(const std::string& dir) {
    std::ofstream(dir + "/broken.cue") << "this is no sheet\n";
    std::ofstream(dir + "/no_tracks.cue") << "FILE \"vcd_pal3.bin\" BINARY\n";
    std::error_code ec;
    std::filesystem::copy_file(Fixture("vcd_pal3.bin"), dir + "/vcd_pal3.bin",
                               std::filesystem::copy_options::overwrite_existing, ec);
    const int unreadable = result::kCannotOpen, noTracks = result::kNoMpegStream, shown = result::kOk;
    const char* cannotOpen = "Source file could not be opened or accessed.";
    const char* noRecords = "Unable to locate AVSEQ/MUSIC MPEG tracks.";
    const char* noSectorSize = "Unable to determine image sector size.";
    return {
        {M::CueBinToMpeg, dir + "/absent.cue", unreadable, unreadable, cannotOpen},
        {M::TocBinToMpeg, dir + "/absent.toc", unreadable, unreadable, cannotOpen},
        {M::CueBinToMpeg, Fixture("bad_missing_bin.cue"), unreadable, shown, "Binary image file specified inside CUE"},
        {M::CueBinToMpeg, dir + "/broken.cue", unreadable, shown, ""},
        {M::CueBinToMpeg, dir + "/no_tracks.cue", unreadable, shown, ""},
        {M::BinToMpeg, dir + "/absent.bin", unreadable, unreadable, cannotOpen},
        {M::BinToMpeg, Fixture("bad_empty.bin"), noTracks, noTracks, noSectorSize},
        {M::BinToMpeg, Fixture("bad_random.bin"), noTracks, noTracks, noSectorSize},
        {M::BinToMpeg, Fixture("bad_no_mpeg.bin"), noTracks, noTracks, noRecords},
        {M::NrgToMpeg, Fixture("bad_random.bin"), noTracks, noTracks, noRecords},
        {M::CifToMpeg, dir + "/absent.cif", unreadable, unreadable, cannotOpen},
    };
}

// The track table as text, row by row, so two loads compare in one line
// and a difference prints readably.
inline std::string Rows(const TTrackTable& t) {
    std::ostringstream out;
    out << "first " << t.firstTrack << " last " << t.lastTrack << " index " << t.lastIndex << "\n";
    for (size_t i = 0; i < t.start.size(); ++i) {
        auto at = [&](const auto& v) { return i < v.size() ? static_cast<long long>(v[i]) : -1LL; };
        out << i << ": " << at(t.minutes) << ":" << at(t.seconds) << ":" << at(t.frames) << " " << at(t.sectorSize)
            << " " << at(t.start) << ".." << at(t.end) << "\n";
    }
    return out.str();
}

}  // namespace sources
