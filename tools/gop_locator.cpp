#include "tools/gop_locator.h"

#include <algorithm>
#include <cstring>

#include "core/file_io.h"
#include "tools/mpeg_packets.h"

namespace {

const uint8_t kGopStart[4] = {0x00, 0x00, 0x01, 0xB8};
constexpr int kFollowSectors = 8;  // how far a header may continue

}  // namespace

bool ReadGopHeader(TFileIO& file, uint64_t sectorStart, const uint8_t* sector, size_t length, size_t at,
                   uint8_t header[8]) {
    if (at + 4 > length) return false;
    const PsSector parsed = ParsePsSector(sector, length);
    const PsPacket* holder = nullptr;
    for (const PsPacket& p : parsed.packets)
        if (p.IsVideo() && at >= p.payload && at < p.end) holder = &p;
    const uint64_t keep = file.position;
    if (!holder && parsed.packKind != 0) return false;  // audio, padding or a header: no GOP
    if (!holder) {
        // A bare video stream: the bytes run on in the file.
        bool ok = at + 8 <= length;
        if (ok) {
            std::memcpy(header, sector + at, 8);
        } else {
            ok = file.Seek(sectorStart + at) == 0 && file.Read(header, 8) == 8;
            file.Seek(keep);
        }
        return ok;
    }
    size_t have = std::min<size_t>(8, holder->end - at);
    std::memcpy(header, sector + at, have);
    if (have == 8) return true;
    // The rest comes from the next video packets of the stream.
    uint8_t next[kClipSectorSize];
    uint64_t pos = sectorStart + length;
    bool ok = false;
    for (int i = 0; i < kFollowSectors && !ok; ++i, pos += kClipSectorSize) {
        if (file.Seek(pos) != 0) break;
        const size_t got = file.Read(next, sizeof next);
        if (got == 0) break;
        const PsSector ps = ParsePsSector(next, got);
        for (const PsPacket& p : ps.packets) {
            if (!p.IsVideo() || have == 8) continue;
            const size_t take = std::min<size_t>(8 - have, p.end - p.payload);
            std::memcpy(header + have, next + p.payload, take);
            have += take;
        }
        ok = have == 8;
    }
    file.Seek(keep);
    return ok;
}

int TGopCursor::ScanSector(TFileIO& file, uint8_t* buffer, int64_t start, int& flags, size_t& got) {
    got = 0;
    if (start < 0 || file.Seek(static_cast<uint64_t>(start)) != 0) return 0;
    got = file.Read(buffer, kClipSectorSize);
    if (got == 0) return 0;
    if (got < 3 || buffer[0] != 0 || buffer[1] != 0 || buffer[2] != 1) flags |= kGopNoSync;
    size_t from = 0;
    while (from < got) {
        const int64_t hit = FindPattern(kGopStart, sizeof kGopStart, buffer + from, got - from);
        if (hit < 0) break;
        const size_t at = from + static_cast<size_t>(hit);
        uint8_t h[8];
        if (ReadGopHeader(file, static_cast<uint64_t>(start), buffer, got, at, h)) {
            std::memcpy(header, h, 8);
            lastGop = start;
            file.Seek(static_cast<uint64_t>(start) + got);
            return kGopFound;
        }
        from = at + 1;
    }
    file.Seek(static_cast<uint64_t>(start) + got);
    return kGopNotFound;
}

int TGopCursor::FindNextGop(TFileIO& file, uint8_t* buffer) {
    int flags = 0;
    int64_t pos = static_cast<int64_t>(file.position);
    for (;;) {
        if (pos > upperBound) return kGopNotFound | flags;
        size_t got = 0;
        if (ScanSector(file, buffer, pos, flags, got) == kGopFound) return kGopFound | flags;
        if (got < static_cast<size_t>(kClipSectorSize)) return kGopNotFound | flags;
        pos += kClipSectorSize;
    }
}

int TGopCursor::FindPrevGop(TFileIO& file, uint8_t* buffer, int64_t from) {
    int flags = 0;
    for (int64_t pos = from; pos >= lowerBound && pos >= 0; pos -= kClipSectorSize) {
        size_t got = 0;
        if (ScanSector(file, buffer, pos, flags, got) == kGopFound) return kGopFound | flags;
    }
    return kGopNotFound | flags;
}

int TGopCursor::StepGopForward(TFileIO& file, uint8_t* buffer) {
    const uint64_t keep = file.position;
    const int64_t keepGop = lastGop;
    uint8_t keepHeader[8];
    std::memcpy(keepHeader, header, 8);
    const int r = FindNextGop(file, buffer);
    if (r & kGopNotFound) {
        file.Seek(keep);
        lastGop = keepGop;
        std::memcpy(header, keepHeader, 8);
    }
    return r;
}

int TGopCursor::StepGopBack(TFileIO& file, uint8_t* buffer) {
    const uint64_t keep = file.position;
    const int64_t keepGop = lastGop;
    uint8_t keepHeader[8];
    std::memcpy(keepHeader, header, 8);
    const int64_t from = std::max(lastGop - kClipSectorSize, lowerBound);
    const int r = FindPrevGop(file, buffer, from);
    if (r & kGopNotFound) {
        file.Seek(keep);
        lastGop = keepGop;
        std::memcpy(header, keepHeader, 8);
    }
    return r;
}

int TGopCursor::FindFirstGop(TFileIO& file, uint8_t* buffer) {
    lowerBound = 0;
    upperBound = static_cast<int64_t>(file.Size());
    file.Seek(0);
    const int r = FindNextGop(file, buffer);
    if (r & kGopFound) lowerBound = lastGop;
    return r;
}

int TGopCursor::FindLastGop(TFileIO& file, uint8_t* buffer) {
    const int64_t whole = static_cast<int64_t>(file.Size()) / kClipSectorSize * kClipSectorSize;
    if (whole < kClipSectorSize) return kGopNotFound;
    const int r = FindPrevGop(file, buffer, whole - kClipSectorSize);
    if (r & kGopFound) upperBound = lastGop;
    return r;
}

int TGopCursor::GopInSector(TFileIO& file, uint8_t* buffer, int64_t start) {
    int flags = 0;
    size_t got = 0;
    return ScanSector(file, buffer, start, flags, got);
}
