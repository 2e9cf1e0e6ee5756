#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/records.h"
#include "core/result_codes.h"

static_assert(sizeof(off_t) >= 8, "64-bit file offsets are required");

namespace {

// Large enough that a sector loop costs one system call per few hundred
// sectors, small enough that the copy out of it still hits the cache.
constexpr size_t kBufferSize = 512 * 1024;
// A refill starts this far before the wanted offset (page aligned), so that
// the short seeks back of the sector loop stay inside the buffer.
constexpr uint64_t kKeepBehind = 8 * 1024;

ssize_t preadRetry(int fd, void* dst, size_t count, uint64_t at) {
    for (;;) {
        ssize_t r = ::pread(fd, dst, count, static_cast<off_t>(at));
        if (r >= 0 || errno != EINTR) return r;
    }
}

// Writes all bytes unless the system refuses; returns how many went out.
size_t pwriteAll(int fd, const uint8_t* src, size_t count, uint64_t at) {
    size_t done = 0;
    while (done < count) {
        ssize_t r = ::pwrite(fd, src + done, count - done, static_cast<off_t>(at + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

uint64_t lengthOf(int fd) {
    // lseek rather than fstat: it also gives the length of a block device.
    off_t end = ::lseek(fd, 0, SEEK_END);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

}  // namespace

int OpenRegularForRead(const std::string& path, uint64_t* length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Reads of a regular file never wait anyway; the flag goes so that a
    // short read means what it always means.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    if (length) *length = static_cast<uint64_t>(st.st_size);
    return fd;
}

namespace {

class RegularFileBuf final : public std::streambuf {
public:
    explicit RegularFileBuf(int fd) : fd_(fd) {}
    ~RegularFileBuf() override { ::close(fd_); }
    RegularFileBuf(const RegularFileBuf&) = delete;
    RegularFileBuf& operator=(const RegularFileBuf&) = delete;

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        for (;;) {
            const ssize_t n = ::read(fd_, buf_, sizeof buf_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return traits_type::eof();
            setg(buf_, buf_, buf_ + n);
            return traits_type::to_int_type(*gptr());
        }
    }

private:
    int fd_;
    char buf_[64 * 1024];
};

class RegularFileStream final : public std::istream {
public:
    explicit RegularFileStream(int fd) : std::istream(nullptr), buf_(fd) { rdbuf(&buf_); }

private:
    RegularFileBuf buf_;
};

constexpr size_t kLineBuffer = 64 * 1024;

}  // namespace

std::unique_ptr<std::istream> OpenRegularStream(const std::string& path) {
    const int fd = OpenRegularForRead(path);
    if (fd < 0) return nullptr;
    return std::make_unique<RegularFileStream>(fd);
}

TLineReader::TLineReader(size_t maxLength, const std::atomic<uint8_t>* running)
    : maxLength_(maxLength), running_(running) {}

TLineReader::~TLineReader() { Close(); }

bool TLineReader::Open(const std::string& path) {
    Close();
    fd_ = OpenRegularForRead(path);
    if (fd_ < 0) return false;
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Room for the longest line and its end in one piece.
    if (!buf_) buf_.reset(new char[std::max(kLineBuffer, maxLength_ + 2)]);
    start_ = end_ = 0;
    error_ = false;
    return true;
}

bool TLineReader::Rewind() {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
    start_ = end_ = 0;
    error_ = false;
    return true;
}

void TLineReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    start_ = end_ = 0;
}

bool TLineReader::Fill() {
    const size_t capacity = std::max(kLineBuffer, maxLength_ + 2);
    if (start_ > 0) {
        std::memmove(buf_.get(), buf_.get() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    if (end_ == capacity) return true;  // full: the caller decides
    for (;;) {
        const ssize_t n = ::read(fd_, buf_.get() + end_, capacity - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = true;
        if (n <= 0) return false;
        end_ += static_cast<size_t>(n);
        return true;
    }
}

TLineReader::Result TLineReader::Next(std::string& line) {
    line.clear();
    if (fd_ < 0) return kError;
    size_t scanned = 0;  // bytes from start_ known to hold no LF
    bool tooLong = false;
    for (;;) {
        const char* from = buf_.get() + start_ + scanned;
        const void* lf = std::memchr(from, '\n', end_ - start_ - scanned);
        if (lf) {
            const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - (buf_.get() + start_));
            if (!tooLong) {
                size_t kept = length;
                if (kept > 0 && buf_[start_ + kept - 1] == '\r') --kept;
                if (kept > maxLength_) {
                    tooLong = true;
                    line.assign(buf_.get() + start_, maxLength_);
                } else {
                    line.assign(buf_.get() + start_, kept);
                }
            }
            start_ += length + 1;
            return tooLong ? kTooLong : kLine;
        }
        scanned = end_ - start_;
        if (scanned > maxLength_ + 1) {
            // No end within reach: keep the line's beginning, drop the rest
            // as it comes, and read on to its end.
            if (!tooLong) line.assign(buf_.get() + start_, maxLength_);
            tooLong = true;
            start_ = end_;
            scanned = 0;
        }
        if (running_ && running_->load(std::memory_order_relaxed) == 0) return kStopped;
        if (!Fill()) {
            if (error_) return kError;
            // The last line may end without its LF.
            if (end_ == start_ && !tooLong) return kEnd;
            const size_t length = end_ - start_;
            if (!tooLong) {
                if (length > maxLength_) {
                    tooLong = true;
                    line.assign(buf_.get() + start_, maxLength_);
                } else {
                    line.assign(buf_.get() + start_, length);
                }
            }
            start_ = end_;
            return tooLong ? kTooLong : kLine;
        }
    }
}

TFileIO::TFileIO(TJob* owner) : owner(owner) {}

TFileIO::~TFileIO() { Close(); }

// Closes what was open first: a pending write to the same file lands before
// the new descriptor is measured.
void TFileIO::adopt(int fd, const std::string& path) {
    Close();
    fd_ = fd;
    name = path;
    writeFailed_ = false;
}

int TFileIO::OpenForRead(const std::string& path) {
    const int fd = OpenRegularForRead(path);
    if (fd < 0) return result::kFailed;
    adopt(fd, path);
    size = lengthOf(fd);
    return 0;
}

int TFileIO::OpenForWrite(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return result::kFailed;
    adopt(fd, path);
    size = 0;
    return 0;
}

int TFileIO::OpenForUpdate(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return result::kFailed;
    adopt(fd, path);
    size = lengthOf(fd);
    return 0;
}

void TFileIO::dropBuffer() {
    bufStart_ = 0;
    bufLen_ = 0;
    bufDirty_ = 0;
    writing_ = false;
}

bool TFileIO::flush() {
    if (!writing_ || bufDirty_ == 0) return !writeFailed_;
    size_t n = pwriteAll(fd_, buf_.get(), bufDirty_, bufStart_);
    if (n != bufDirty_) writeFailed_ = true;
    bufStart_ += bufDirty_;
    bufDirty_ = 0;
    return !writeFailed_;
}

void TFileIO::closeFd() {
    if (fd_ < 0) return;
    bool wrote = writing_ || bytesWritten != 0;
    flush();
    // A late error (quota, network file system) may surface only here.
    if (::close(fd_) != 0 && wrote) writeFailed_ = true;
    fd_ = -1;
}

int TFileIO::Close() {
    if (fd_ < 0) {
        position = 0;
        size = 0;
        return 0;
    }
    closeFd();
    dropBuffer();
    buf_.reset();
    position = 0;
    size = 0;
    return writeFailed_ ? result::kFailed : result::kOk;
}

bool TFileIO::Flush() { return fd_ < 0 ? !writeFailed_ : flush(); }

bool TFileIO::IsClosed() const { return fd_ < 0; }

size_t TFileIO::readAt(void* buffer, size_t count) {
    if (fd_ < 0 || count == 0) return 0;
    if (writing_) {
        flush();
        dropBuffer();
    }
    if (!buf_) buf_.reset(new uint8_t[kBufferSize]);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    uint64_t at = position;
    while (done < count) {
        if (at >= bufStart_ && at - bufStart_ < bufLen_) {
            size_t n = std::min(count - done, static_cast<size_t>(bufStart_ + bufLen_ - at));
            std::memcpy(out + done, buf_.get() + (at - bufStart_), n);
            done += n;
            at += n;
            continue;
        }
        size_t want = count - done;
        if (want >= kBufferSize) {
            // A large block gains nothing from a second copy.
            ssize_t r = preadRetry(fd_, out + done, want, at);
            if (r <= 0) break;
            done += static_cast<size_t>(r);
            at += static_cast<uint64_t>(r);
            continue;
        }
        uint64_t start = at > kKeepBehind ? ((at - kKeepBehind) & ~uint64_t{4095}) : 0;
        ssize_t r = preadRetry(fd_, buf_.get(), kBufferSize, start);
        if (r <= 0) {
            bufLen_ = 0;
            break;
        }
        bufStart_ = start;
        bufLen_ = static_cast<size_t>(r);
        if (at - start >= bufLen_) break;  // the file ends before `at`
    }
    return done;
}

size_t TFileIO::Read(void* buffer, size_t count) {
    bytesRead += count;
    size_t got = readAt(buffer, count);
    position += got;
    return got;
}

size_t TFileIO::Write(const void* buffer, size_t count) {
    bytesWritten += count;
    if (fd_ < 0 || writeFailed_ || count == 0) return 0;
    if (!writing_ || position != bufStart_ + bufDirty_) {
        if (writing_) flush();
        dropBuffer();
        writing_ = true;
        bufStart_ = position;
        if (writeFailed_) return 0;
    }
    if (!buf_) buf_.reset(new uint8_t[kBufferSize]);
    const auto* in = static_cast<const uint8_t*>(buffer);
    if (bufDirty_ + count > kBufferSize) {
        if (!flush()) return 0;
        if (count >= kBufferSize) {
            size_t n = pwriteAll(fd_, in, count, position);
            if (n != count) writeFailed_ = true;
            position += n;
            bufStart_ = position;
            return n;
        }
    }
    std::memcpy(buf_.get() + bufDirty_, in, count);
    bufDirty_ += count;
    position += count;
    if (bufDirty_ == kBufferSize) flush();
    return count;
}

uint64_t TFileIO::Size() {
    if (fd_ < 0) return 0;
    flush();
    return lengthOf(fd_);
}

int TFileIO::Seek(uint64_t offset) {
    if (fd_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return -1;
    position = offset;
    return 0;
}

void TFileIO::SeekBy(int64_t offset) {
    if (fd_ < 0) return;
    if (offset < 0) {
        uint64_t back = uint64_t{0} - static_cast<uint64_t>(offset);
        position = back > position ? 0 : position - back;
    } else {
        position += static_cast<uint64_t>(offset);
    }
}

bool TFileIO::Search(const uint8_t* pattern, size_t patternLength, uint8_t* buffer, uint64_t limit, size_t chunk,
                     bool showProgress) {
    if (fd_ < 0 || pattern == nullptr || buffer == nullptr) return false;
    if (patternLength < 1 || patternLength > 100 || chunk <= patternLength + 1) return false;
    // Chunks overlap by patternLength + 1 bytes, so a match across a chunk
    // boundary lies wholly inside the next chunk.
    const size_t step = chunk - patternLength - 1;
    platform::ProgressBar* bar = showProgress ? searchContext.progress : nullptr;
    const uint64_t megabytes = std::max<uint64_t>(limit / 1048576, 1);
    int64_t lastShown = -127;
    int64_t found = -1;
    while (position <= limit && chunk <= limit - position) {
        if (searchContext.running != nullptr && searchContext.running->load(std::memory_order_relaxed) == 0)
            return false;
        size_t got = readAt(buffer, chunk);
        position += step;
        if (bar != nullptr) {
            int64_t percent = static_cast<int64_t>(std::min<uint64_t>((position / 1048576) * 100 / megabytes, 100));
            if (percent != lastShown) {
                bar->setPosition(static_cast<int>(percent));
                lastShown = percent;
            }
        }
        // Only what the file delivered: the rest of the buffer is stale.
        found = FindPattern(pattern, patternLength, buffer, got);
        if (found >= 0) break;
        if (got < chunk) return false;
    }
    if (found < 0) return false;
    const uint64_t offset = position - step + static_cast<uint64_t>(found);
    position = offset;
    // A match must leave at least one raw sector before the limit.
    if (limit < 2352 || offset > limit - 2352) return false;
    return true;
}

int TFileIO::SearchJobPattern(uint8_t* buffer, size_t chunk) {
    if (owner == nullptr || owner->searchPattern == nullptr) return result::kNoMpegStream;
    return Search(owner->searchPattern, 4, buffer, size, chunk, false) ? result::kOk : result::kNoMpegStream;
}

int64_t FindPattern(const uint8_t* pattern, size_t patternLength, const uint8_t* buffer, size_t bufferLength) {
    constexpr size_t kMax = 100;
    if (pattern == nullptr || buffer == nullptr || patternLength < 1 || patternLength > kMax) return -1;
    const size_t m = patternLength;
    if (bufferLength < m) return -1;

    // The start codes we look for end in a byte that is rare in the long
    // zero runs of disc images (margins, pregaps): memchr for that byte
    // skips them far faster than shifting over them a few bytes at a time.
    size_t anchor = m;
    while (anchor > 0 && pattern[anchor - 1] == 0) --anchor;
    if (anchor > 0) {
        const size_t k = anchor - 1;
        const uint8_t* p = buffer + k;
        const uint8_t* const last = buffer + (bufferLength - m) + k;  // the anchor of the last start
        while (p <= last) {
            p = static_cast<const uint8_t*>(std::memchr(p, pattern[k], static_cast<size_t>(last - p) + 1));
            if (p == nullptr) return -1;
            if (std::memcmp(p - k, pattern, m) == 0) return static_cast<int64_t>((p - k) - buffer);
            ++p;
        }
        return -1;
    }

    // Bad character: distance from the last occurrence of a byte to the
    // pattern's end (the last occurrence wins).
    size_t badChar[256];
    for (size_t& e : badChar) e = m;
    for (size_t j = 0; j < m; ++j) badChar[pattern[j]] = m - 1 - j;

    // suffix[i]: length of the longest common suffix of pattern[0..i] and the
    // whole pattern.
    size_t suffix[kMax];
    suffix[m - 1] = m;
    {
        ptrdiff_t g = static_cast<ptrdiff_t>(m) - 1;
        ptrdiff_t f = g;
        const ptrdiff_t last = static_cast<ptrdiff_t>(m) - 1;
        for (ptrdiff_t i = last - 1; i >= 0; --i) {
            if (i > g && static_cast<ptrdiff_t>(suffix[i + last - f]) < i - g) {
                suffix[i] = suffix[i + last - f];
            } else {
                if (i < g) g = i;
                f = i;
                while (g >= 0 && pattern[g] == pattern[g + last - f]) --g;
                suffix[i] = static_cast<size_t>(f - g);
            }
        }
    }
    // Strong good suffix, indexed by the pattern position of the mismatch:
    // the shift after m - 1 - i bytes matched from the end.
    size_t goodSuffix[kMax];
    for (size_t i = 0; i < m; ++i) goodSuffix[i] = m;
    {
        size_t j = 0;
        for (size_t ii = m; ii-- > 0;) {
            if (suffix[ii] == ii + 1) {
                for (; j < m - 1 - ii; ++j)
                    if (goodSuffix[j] == m) goodSuffix[j] = m - 1 - ii;
            }
        }
        for (size_t i = 0; i + 1 < m; ++i) goodSuffix[m - 1 - suffix[i]] = m - 1 - i;
    }

    size_t p = m - 1;  // buffer index under the pattern's last byte
    while (p < bufferLength) {
        size_t k = 0;
        while (k < m && pattern[m - 1 - k] == buffer[p - k]) ++k;
        if (k == m) return static_cast<int64_t>(p - (m - 1));
        const size_t bc = badChar[buffer[p - k]];
        const size_t byChar = bc > k ? bc - k : 0;
        p += std::max(goodSuffix[m - 1 - k], byChar);
    }
    return -1;
}
