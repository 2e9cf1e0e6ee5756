// What the worker keeps while it builds VCD or SVCD images: its own copy of
// the build list (it writes the layout values into the copy, never into the
// page's list), the image being written, the GOPs of its tracks for the scan
// tables, and the private folder of the table files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "disc/mpeg_file_list.h"
#include "disc/vcd_system_files.h"
#include "disc/video_cd_image.h"

// A GOP met while writing a track: the sector that holds its start code and
// its time code's frame number.
struct TBuildGop {
    uint32_t address = 0;
    int64_t frame = 0;
};

// One track of the image being written, as the scan tables need it.
struct TBuildTrack {
    std::vector<TBuildGop> gops;
    double fps = 0;               // from the stream's sequence header
    uint32_t firstAddress = 0;    // its first data sector
    int64_t dataSectors = 0;
    // Set when the GOP time codes start again part way (streams joined
    // end to end): frames then count on from the GOP before the restart.
    bool clockRestart = false;
    int64_t frameOffset = 0;
    int64_t lastGopPictures = 0;  // pictures seen so far in the last GOP
};

struct TImageBuild {
    std::vector<TMpegFileInfo> entries;  // the worker's copy of the build list
    int32_t ptsOffset = 0;
    bool conversion = false;   // a cif or nrg image rebuilt, one entry per track
    bool manyImages = false;   // the list spans more than one image
    std::string tableFolder;   // the job's private folder of the table files
    std::unique_ptr<TCdiFiles> cdi;
    std::unique_ptr<TVideoCdImage> image;
    bool imageStarted = false;
    size_t imageFirst = 0;     // first entry of the image being written
    std::vector<TBuildTrack> tracks;  // the tracks of the image written so far

    // The track being written.
    int64_t frameSectors = 0;  // pregap and front margin
    int64_t sectorCount = 0;   // header, data and end sectors
    std::vector<uint8_t> out;  // raw sectors gathered for one write

    // Time-stamp rebasing of a following piece of a split file.
    bool rebase = false;
    bool shiftKnown = false;
    uint64_t shift = 0;        // 90 kHz ticks taken off every SCR, PTS and DTS
    bool headers = false;      // the image starts with the system-header sectors
    uint64_t headerScr = 0;    // the SCR of the last of them
    bool sequenceMoved = false;
    bool labelChangeLogged = false;  // once a job, not once an image
};

// ---- Pieces of the image build the tests reach directly ----

// Ticks one 2352-byte sector lasts at the mux rate of the pack header at
// pack (00 00 01 BA ...): 1200 for a VCD's 75 sectors a second. 1200 when
// the rate cannot be read.
uint64_t SectorTicks(const uint8_t* pack, size_t length);

// Shifts the pack SCR at the payload's start and the PTS and DTS of every
// PES packet in the 2324-byte payload back by shift ticks (never below 0).
void RebaseTimeStamps(uint8_t* payload, size_t length, uint64_t shift);

// Seconds the track plays: the entry's play time when the list measured
// one, else the GOPs' span plus one average GOP.
double TrackPlaySeconds(const TMpegFileInfo& entry, const TBuildTrack& track);
