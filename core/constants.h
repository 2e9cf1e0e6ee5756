// Values the engine, the windows and the tools must agree on.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The main window's title, also the caption of message boxes that have none
// and the title a job puts back after each track.
inline constexpr const char* kProgramCaption = "Pellmor v3.56 build 050213 beta";

// Log lines of a job stand indented under the line that names the job.
inline constexpr const char* kLogIndent = "     ";

// The output name of a passive run: nothing is written, and nothing is
// checked or listed for it.
inline constexpr const char* kPassiveOutput = "nul";

// The sector sizes the engine reads and writes.
inline constexpr std::array<int32_t, 5> kSectorSizes{2048, 2324, 2332, 2336, 2352};

constexpr bool IsSectorSize(int32_t size) {
    return std::find(kSectorSizes.begin(), kSectorSizes.end(), size) != kSectorSizes.end();
}
