// Finds group-of-pictures headers (00 00 01 B8) in a program stream read as
// 2324-byte sectors, forward and back between the first and the last GOP.
#pragma once

#include <cstddef>
#include <cstdint>

class TFileIO;

constexpr int64_t kClipSectorSize = 2324;

// Flags of the locator's operations.
enum GopFlags : int { kGopFound = 1, kGopNotFound = 2, kGopNoSync = 4 };

// The 8 bytes of a GOP header (start code, time code and flags) whose start
// code lies at `at` in `sector` (of `length` bytes, read from the file at
// `sectorStart`). Bytes past the sector's video packet come from the video
// packets of the sectors that follow; false when the stream ends first.
bool ReadGopHeader(TFileIO& file, uint64_t sectorStart, const uint8_t* sector, size_t length, size_t at,
                   uint8_t header[8]);

class TGopCursor {
public:
    // Each returns flags: found or not found, plus kGopNoSync when a sector
    // read did not begin with 00 00 01. After a find the file stands at the
    // end of the sector that holds the GOP.
    int FindNextGop(TFileIO& file, uint8_t* buffer);
    // From the sector starting at `from` back to the lower bound.
    int FindPrevGop(TFileIO& file, uint8_t* buffer, int64_t from);
    // A step that finds nothing leaves the file where it was.
    int StepGopForward(TFileIO& file, uint8_t* buffer);
    int StepGopBack(TFileIO& file, uint8_t* buffer);
    int FindFirstGop(TFileIO& file, uint8_t* buffer);
    int FindLastGop(TFileIO& file, uint8_t* buffer);
    // Looks only at the sector starting at `start`: found or not found.
    int GopInSector(TFileIO& file, uint8_t* buffer, int64_t start);
    void Clear() { *this = TGopCursor(); }

    // Sectors searched lie between these starts, both included: the sectors
    // holding the first and the last GOP once they are known.
    int64_t upperBound = 0;
    int64_t lowerBound = 0;
    int64_t lastGop = 0;  // start of the sector holding the GOP found last
    uint8_t header[8] = {};  // that GOP's header

private:
    // found, not found, or no bytes read; sets kGopNoSync in flags.
    int ScanSector(TFileIO& file, uint8_t* buffer, int64_t start, int& flags, size_t& got);
};
