// The free-space check before a job starts: an estimate of the bytes the job
// will write, for every method of both pages, and the question when the
// output's file system holds fewer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/source_scan.h"

class TTrackTable;

struct OutputEstimateInput {
    int pageMode = 0;  // 0 extraction, 1 video-cd
    int method = 0;    // the page's method index
    const TTrackTable* trackTable = nullptr;
    // Extraction page: line i is track first track + i; the selected lines
    // are estimated, or every line when none is selected. Without a list
    // box, every track of the table from its first track is listed.
    const platform::ListBox* trackListBox = nullptr;
    // Extraction from bin, cif and nrg images: the length of track k at k - 1
    // (what GetFilesFromTOC gives back).
    const std::vector<int64_t>* trackSizes = nullptr;
    // Video-cd page: the MPEG bytes of each build-list row (cif and nrg
    // sources: the track's size; MPEG files: end - start).
    const std::vector<int64_t>* buildEntryBytes = nullptr;
    // Sized when no track tells the amount (single-stream methods).
    std::string inputName;
};

// Raw 2352-byte sectors needed for that many 2324-byte payload bytes.
uint64_t RawSectorBytes(uint64_t payloadBytes);

// 0 with the estimate in `bytes`; result::kCannotOpen when the input had to
// be sized and cannot be opened (error kCannotOpen with its name part is
// reported).
int EstimateOutputBytes(const OutputEstimateInput& input, const LoadReporter& reporter, uint64_t& bytes);

// Bytes a new file may take in the output's folder, or in the nearest folder
// above it that exists; -1 when that cannot be told.
int64_t FreeSpaceForOutput(const std::string& outputName);
// Unknown free space, or less than needed.
bool SpaceIsShort(uint64_t bytes, int64_t freeBytes);

// 0 go on, result::kCancelled the user declined. Asks question
// kNotEnoughSpace ("There may not be enough
// space to write the output file.  Continue?") when space is short; no
// and cancel decline. The output "nul" writes nothing and is not checked.
int verifyDiskSpace(uint64_t bytes, const std::string& outputName, const LoadReporter& reporter);
int verifyDiskSpace(uint64_t bytes, int64_t freeBytes, const LoadReporter& reporter);
