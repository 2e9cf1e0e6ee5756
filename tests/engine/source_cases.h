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
#include <vector>

#include "core/temp_file.h"
#include "disc/track_table.h"

namespace sources {

inline std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

struct Source {
    int method;
    std::string path;
    int listed;  // tracks the list shows
};

// Every committed image and track file under each method that reads it.
inline std::vector<Source> Fixtures() {
    return {
        {2, Fixture("vcd_pal3.cue"), 3},     {3, Fixture("vcd_pal3.cue"), 3},
        {2, Fixture("vcd_pal3.bin"), 3},  // the cue beside the chosen bin
        {5, Fixture("vcd_pal3.toc"), 3},     {4, Fixture("vcd_pal3.bin"), 3},
        {12, Fixture("vcd_pal3.nrg"), 3},    {2, Fixture("vcd_ntsc.cue"), 1},
        {4, Fixture("vcd_ntsc.bin"), 1},     {11, Fixture("vcd_ntsc.cif"), 1},
        {2, Fixture("svcd_pal.cue"), 1},     {4, Fixture("svcd_pal.bin"), 1},
        {2, Fixture("cdi_subs.cue"), 1},     {4, Fixture("cdi_subs.bin"), 1},
        {11, Fixture("cdi_subs.cif"), 1},    {12, Fixture("cdi_subs.nrg"), 1},
        {2, Fixture("bad_no_mpeg.cue"), 1},  {2, Fixture("bad_truncated.cue"), 3},
        {6, Fixture("vcd_pal3_track2.raw"), 1}, {7, Fixture("vcd_pal3_track2.raw"), 1},
        {8, Fixture("vcd_ntsc_avseq01.dat"), 1}, {8, Fixture("svcd_pal_avseq01.dat"), 1},
        {9, Fixture("clip_pal_vcd.mpg"), 1}, {10, Fixture("clip_pal_vcd.mpg"), 1},
        {13, Fixture("clip_pal.sfd"), 1},
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
            for (const Source& s : {Source{2, base + ".cue", 1}, Source{5, base + ".toc", 1}, Source{4, base + ".bin", 1},
                                    Source{11, base + ".cif", 1}, Source{12, base + ".nrg", 1},
                                    Source{6, base + ".raw", 1}, Source{8, base + ".dat", 1}})
                out.push_back(s);
        }
        return out;
    }
    std::string dir;
    bool made = false;
};

// A source a load refuses, with the result unattended (a batch run, run_job)
// and with the user there (who saw the parser's message: 0).
struct Refused {
    int method;
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
    return {
        {2, dir + "/absent.cue", 4, 4, "Source file could not be opened or accessed."},
        {5, dir + "/absent.toc", 4, 4, "Source file could not be opened or accessed."},
        {2, Fixture("bad_missing_bin.cue"), 4, 0, "Binary image file specified inside CUE"},
        {2, dir + "/broken.cue", 4, 0, ""},
        {2, dir + "/no_tracks.cue", 4, 0, ""},
        {4, dir + "/absent.bin", 4, 4, "Source file could not be opened or accessed."},
        {4, Fixture("bad_empty.bin"), 5, 5, "Unable to determine image sector size."},
        {4, Fixture("bad_random.bin"), 5, 5, "Unable to determine image sector size."},
        {4, Fixture("bad_no_mpeg.bin"), 5, 5, "Unable to locate AVSEQ/MUSIC MPEG tracks."},
        {12, Fixture("bad_random.bin"), 5, 5, "Unable to locate AVSEQ/MUSIC MPEG tracks."},
        {11, dir + "/absent.cif", 4, 4, "Source file could not be opened or accessed."},
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
