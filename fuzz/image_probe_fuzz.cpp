// Feeds arbitrary bytes to the disc image probes the source loading runs:
// the directory scan of each image kind, the track listing at any sector
// size and the volume label at any offset. Byte 0 picks the kind and the
// sector size, bytes 1-2 the label offset in sectors; the rest is the image.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/records.h"
#include "core/temp_file.h"
#include "disc/track_table.h"
#include "engine/source_scan.h"

namespace {

const std::string& Image() {
    static const std::string path = CreateTempDir("pellmor-image-fuzz-") + "/image";
    return path;
}

constexpr int32_t kSizes[] = {2048, 2324, 2332, 2336, 2352, 2368, 2448, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t pick = data[0];
    const uint64_t labelSector = uint64_t(data[1]) | uint64_t(data[2]) << 8;
    std::ofstream(Image(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 3), static_cast<std::streamsize>(size - 3));

    const LoadReporter reporter;
    {
        TJob job;
        std::vector<int64_t> lengths;
        const DiscImageKind kinds[] = {DiscImageKind::Bin, DiscImageKind::Nrg, DiscImageKind::Cif};
        if (ScanDiscImage(kinds[pick % 3], Image(), job, nullptr, nullptr, reporter, &lengths) == 0 &&
            job.trackTable) {
            // What the worker relies on: every listed track lies inside the image.
            const TTrackTable& t = *job.trackTable;
            for (int32_t k = 1; k <= t.lastIndex; ++k)
                if (t.start[size_t(k)] < 0 || t.end[size_t(k)] < t.start[size_t(k)] ||
                    uint64_t(t.end[size_t(k)]) > size - 3)
                    __builtin_trap();
        }
    }
    {
        TJob job;
        job.readSectorSize = kSizes[(pick >> 2) % (sizeof kSizes / sizeof kSizes[0])];
        GetFilesFromTOC(Image(), job, (pick & 0x80) ? kNrgTrackLengthAdjust : kBinTrackLengthAdjust, nullptr, nullptr,
                        reporter);
    }
    const std::string label = ReadVolumeLabel(Image(), labelSector * 2352 + (pick & 0x1F), reporter, pick & 0x20);
    if (label.size() > 32) __builtin_trap();
    return 0;
}
