#include "tools/cdi_subtitles.h"

#include <algorithm>
#include <cstring>

#include "core/file_io.h"
#include "core/helpers.h"

namespace {

constexpr uint64_t kSearchLimit = 0xF00000;  // the path table lies in the first 15 MiB
constexpr uint64_t kNrgVolumeStart = 387776;  // sector 166 of 2336-byte sectors
constexpr size_t kClearedHead = 112;          // raw header, "." and ".."
const uint8_t kCdiPathRecord[] = {0x01, 0x00, 'C', 'D', 'I', 0x00};
// A record's unit size, gap and volume sequence number (2, then 1).
const uint8_t kSequence2[] = {0x00, 0x00, 0x02, 0x00, 0x00, 0x02};
const uint8_t kSequence1[] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x01};

int32_t Little32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                (uint32_t{p[3]} << 24));
}
int32_t Big32(const uint8_t* p) {
    return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
                                uint32_t{p[3]});
}

}  // namespace

TCdiSubtitleScanner::TCdiSubtitleScanner(TFileIO* src) : source(src) {}

bool TCdiSubtitleScanner::HasCdiSubtitles(TFileIO& file, int imageKind) {
    TCdiSubtitleScanner scanner(&file);
    return scanner.FindCdiDirectory(file, imageKind) && !scanner.names.empty();
}

bool TCdiSubtitleScanner::FindCdiDirectory(TFileIO& file, int imageKind) {
    uint64_t pos = 0;
    if (forcedSectorSize > 0) {
        sectorSize = forcedSectorSize;
        pos = imageKind == 4 ? kNrgVolumeStart : 16 * static_cast<uint64_t>(sectorSize);
    } else if (imageKind == 4) {
        sectorSize = 2336;
        pos = kNrgVolumeStart;
    } else {
        sectorSize = DetectSectorSize(file);
        if (sectorSize < 2048 || sectorSize > 2352) sectorSize = 2352;
        pos = 16 * static_cast<uint64_t>(sectorSize);
    }
    const uint64_t limit = std::min<uint64_t>(file.Size(), kSearchLimit);
    std::vector<uint8_t> sector(static_cast<size_t>(sectorSize));
    for (; pos < limit; pos += static_cast<uint64_t>(sectorSize)) {
        std::fill(sector.begin(), sector.end(), 0);
        if (file.Seek(pos) != 0) return false;
        const size_t got = file.Read(sector.data(), sector.size());
        if (got == 0) return false;
        const int64_t at = FindPattern(kCdiPathRecord, sizeof kCdiPathRecord, sector.data(), got);
        // The extent stands in the 4 bytes before the record's parent number.
        if (at < 4) continue;
        const int32_t extent = Little32(sector.data() + at - 4);
        sectorOffset = imageKind == 4 ? 150 : 0;
        if (extent < 0) return false;
        ReadCdiDirectory(file, int64_t{extent} + sectorOffset);
        return true;
    }
    return false;
}

void TCdiSubtitleScanner::ReadCdiDirectory(TFileIO& file, int64_t sectorNumber) {
    entries.clear();
    names.clear();
    if (sectorSize <= 0 || sectorNumber < 0) return;
    std::vector<uint8_t> sector(static_cast<size_t>(sectorSize), 0);
    if (file.Seek(static_cast<uint64_t>(sectorNumber) * static_cast<uint64_t>(sectorSize)) != 0) return;
    const size_t got = file.Read(sector.data(), sector.size());
    std::fill(sector.begin(), sector.begin() + static_cast<std::ptrdiff_t>(std::min(kClearedHead, sector.size())), 0);
    for (;;) {
        int64_t p = FindPattern(kSequence2, sizeof kSequence2, sector.data(), got);
        if (p < 0) p = FindPattern(kSequence1, sizeof kSequence1, sector.data(), got);
        if (p < 0) return;
        const size_t at = static_cast<size_t>(p);
        // A record cut off by the sector's start or end holds no usable name.
        if (at < 24 || at + 7 > got) {
            std::fill(sector.begin() + static_cast<std::ptrdiff_t>(at),
                      sector.begin() + static_cast<std::ptrdiff_t>(std::min(at + 6, got)), 0);
            continue;
        }
        const size_t length = std::min<size_t>(sector[at + 6], got - (at + 7));
        std::string name(reinterpret_cast<const char*>(sector.data() + at + 7), length);
        if (name.size() >= 2 && name.compare(name.size() - 2, 2, ";1") == 0) name.resize(name.size() - 2);
        const size_t dot = name.find('.');
        if (dot != std::string::npos && name.size() - dot - 1 == 2) {
            const uint8_t* r = sector.data() + at - 24;
            entries[name] = TCdiFileEntry{Little32(r), Big32(r + 4), Little32(r + 8), Big32(r + 12)};
            names.push_back(name);
        }
        std::fill(sector.begin() + static_cast<std::ptrdiff_t>(at - 24),
                  sector.begin() + static_cast<std::ptrdiff_t>(at + 7 + length), 0);
    }
}
