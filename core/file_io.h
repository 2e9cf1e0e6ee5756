// The binary file object every image, MPEG and table file goes through, and
// the byte-pattern search. Offsets and sizes are 64-bit. Reads and writes go
// through the object's own buffer, so sector-sized calls and short seeks back
// do not cost a system call each.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/controls.h"

struct TJob;

// Where Search reads the stop request and shows progress.
struct SearchContext {
    const std::atomic<uint8_t>* running = nullptr;  // stop when it reads 0
    platform::ProgressBar* progress = nullptr;
};

class TFileIO {
public:
    explicit TFileIO(TJob* owner = nullptr);
    ~TFileIO();
    TFileIO(const TFileIO&) = delete;
    TFileIO& operator=(const TFileIO&) = delete;

    int OpenForRead(const std::string& path);    // 0, or result::kFailed
    int OpenForWrite(const std::string& path);   // 0, or result::kFailed
    int OpenForUpdate(const std::string& path);  // 0, or result::kFailed
    size_t Read(void* buffer, size_t count);
    // Bytes accepted. Writes are buffered: a failure that shows only when the
    // buffer is handed to the system makes later writes return 0 and Close
    // result::kFailed.
    size_t Write(const void* buffer, size_t count);
    // 0, or result::kFailed when any write since the open failed (the file is incomplete).
    int Close();
    // Hands buffered writes to the system now: false when any write since
    // the open failed, so a full disk shows before the file is called done.
    bool Flush();
    bool IsClosed() const;
    uint64_t Size();
    int Seek(uint64_t offset);  // 0 on success, -1 when closed
    void SeekBy(int64_t offset);  // relative; never steps back before 0
    // Chunked scan from the position; pattern 1..100 bytes, chunk greater than
    // pattern length + 1, buffer at least chunk bytes. On true the position is
    // at the first byte of the match.
    bool Search(const uint8_t* pattern, size_t patternLength, uint8_t* buffer, uint64_t limit, size_t chunk,
                bool showProgress);
    int SearchJobPattern(uint8_t* buffer, size_t chunk);  // 0 found, result::kNoMpegStream not
    bool writeFailed() const { return writeFailed_; }

    uint64_t size = 0;
    uint64_t position = 0;
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
    std::string name;
    TJob* owner = nullptr;
    SearchContext searchContext;  // set by whoever owns the job's files

private:
    // One buffer serves both directions: a read cache of the bytes at
    // [bufStart_, bufStart_ + bufLen_), or, while writing_, pending bytes at
    // [bufStart_, bufStart_ + bufDirty_) not yet handed to the system.
    size_t readAt(void* buffer, size_t count);  // at position, no counters
    bool flush();
    void dropBuffer();
    void closeFd();
    void adopt(int fd, const std::string& path);  // becomes the open file

    int fd_ = -1;
    bool writeFailed_ = false;
    std::unique_ptr<uint8_t[]> buf_;  // allocated at first use, freed by Close
    uint64_t bufStart_ = 0;
    size_t bufLen_ = 0;
    size_t bufDirty_ = 0;
    bool writing_ = false;
};

// Offset of the first occurrence of the pattern (1 to 100 bytes) wholly
// inside the buffer, or -1.
int64_t FindPattern(const uint8_t* pattern, size_t patternLength, const uint8_t* buffer, size_t bufferLength);
