// The binary file object every image, MPEG and table file goes through, and
// the byte-pattern search. Offsets and sizes are 64-bit. Reads and writes go
// through the object's own buffer, so sector-sized calls and short seeks back
// do not cost a system call each.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

#include "platform/controls.h"

struct TJob;

// Opens a file the user named, for reading. The open never waits (a FIFO
// without a writer, a terminal, a tape), and only a regular file is taken:
// a FIFO, a device, a socket, a folder or a dangling link gives -1, as a
// name that does not open does. The descriptor returned blocks as usual and
// is closed on exec; the file's length goes to *length when asked for.
// Every reader of a named file opens it through here.
int OpenRegularForRead(const std::string& path, uint64_t* length = nullptr);

// An input stream over a file opened by OpenRegularForRead, for readers
// written against std::istream; empty when the open is refused.
std::unique_ptr<std::istream> OpenRegularStream(const std::string& path);

// Reads a file opened by OpenRegularForRead one line at a time through a
// fixed buffer, so that a file of any size (or a line of any length) takes
// no more memory than that. Lines end in LF or CR LF; the end is not part of
// the line.
class TLineReader {
public:
    enum Result { kLine, kTooLong, kEnd, kError, kStopped };
    // maxLength: the longest line handed out; running: read between two
    // buffer fills, 0 stops the reader.
    explicit TLineReader(size_t maxLength, const std::atomic<uint8_t>* running = nullptr);
    ~TLineReader();
    TLineReader(const TLineReader&) = delete;
    TLineReader& operator=(const TLineReader&) = delete;

    bool Open(const std::string& path);  // false when OpenRegularForRead refuses
    bool Rewind();
    // kLine with the next line; kTooLong after skipping a line longer than
    // maxLength whole (line then holds its first maxLength bytes); kEnd at the
    // end of the file; kError when a read fails; kStopped on a stop request.
    Result Next(std::string& line);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    bool Fill();  // false at the end or on an error (error_ set)

    size_t maxLength_;
    const std::atomic<uint8_t>* running_;
    int fd_ = -1;
    bool error_ = false;
    std::unique_ptr<char[]> buf_;
    size_t start_ = 0, end_ = 0;
};

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
