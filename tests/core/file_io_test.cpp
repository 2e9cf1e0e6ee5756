#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/records.h"
#include "core/temp_file.h"
#include "tests/support/bounded_run.h"
#include "tests/support/fakes.h"

namespace fs = std::filesystem;

namespace {

int64_t naiveFind(const std::vector<uint8_t>& pat, const std::vector<uint8_t>& buf) {
    if (pat.empty() || pat.size() > buf.size()) return -1;
    for (size_t i = 0; i + pat.size() <= buf.size(); ++i)
        if (std::equal(pat.begin(), pat.end(), buf.begin() + static_cast<ptrdiff_t>(i))) return static_cast<int64_t>(i);
    return -1;
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = CreateTempDir("fileio_test_");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    void writeBytes(const std::string& p, const std::vector<uint8_t>& data) const {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }

    std::vector<uint8_t> readBytes(const std::string& p) const {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string dir;
};

}  // namespace

// ---------------------------------------------------------------- FindPattern

TEST(FindPattern, AgreesWithNaiveSearchOnTwoLetterBuffers) {
    // A two-letter alphabet makes repeated prefixes and suffixes common, which
    // is where a wrong good-suffix shift skips a match. Zero and one as the
    // letters give patterns that end in zeros or are all zeros, which take
    // the other search path than those ending in a non-zero byte.
    std::mt19937 rng(12345);
    for (int round = 0; round < 40000; ++round) {
        const uint8_t first = round % 2 ? 'a' : 0;
        size_t n = rng() % 200;
        size_t m = 1 + rng() % 20;
        std::vector<uint8_t> buf(n), pat(m);
        for (auto& b : buf) b = static_cast<uint8_t>(first + rng() % 2);
        for (auto& b : pat) b = static_cast<uint8_t>(first + rng() % (round % 4 == 2 ? 1 : 2));
        if (n >= m && rng() % 2) {  // often plant the pattern so matches are common
            size_t at = rng() % (n - m + 1);
            std::copy(pat.begin(), pat.end(), buf.begin() + static_cast<ptrdiff_t>(at));
        }
        ASSERT_EQ(FindPattern(pat.data(), m, buf.data(), n), naiveFind(pat, buf))
            << "round " << round << " n=" << n << " m=" << m;
    }
}

TEST(FindPattern, EdgeCases) {
    const uint8_t text[] = {'a', 'b', 'c', 'a', 'b'};
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(FindPattern(abc, 3, text, 5), 0) << "a match at offset 0 is a match";
    EXPECT_EQ(FindPattern(abc, 3, text, 2), -1) << "pattern longer than the text";
    const uint8_t tail[] = {'a', 'b'};
    EXPECT_EQ(FindPattern(tail, 2, text + 1, 4), 2);
    const uint8_t miss[] = {'c', 'c'};
    EXPECT_EQ(FindPattern(miss, 2, text, 5), -1);

    // The pattern's length is checked, not trusted.
    std::vector<uint8_t> big(101, 'a'), hay(500, 'a');
    EXPECT_EQ(FindPattern(big.data(), 0, hay.data(), hay.size()), -1);
    EXPECT_EQ(FindPattern(big.data(), 101, hay.data(), hay.size()), -1);
    EXPECT_EQ(FindPattern(big.data(), 100, hay.data(), hay.size()), 0);
    EXPECT_EQ(FindPattern(nullptr, 3, hay.data(), hay.size()), -1);
}

TEST(FindPattern, CdSyncAfterBytesEndingInFF) {
    const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    std::vector<uint8_t> buf(64, 0xFF);
    buf[0] = 0;
    std::copy(sync, sync + 12, buf.begin() + 30);
    std::copy(sync, sync + 12, buf.begin() + 50);
    EXPECT_EQ(FindPattern(sync, 12, buf.data(), buf.size()), 30);
}

// --------------------------------------------------------------------- Search

namespace {

constexpr size_t kChunk = 5120;
const uint8_t kPat[4] = {0xF0, 0xF1, 0xF2, 0xF3};
constexpr size_t kStep = kChunk - 4 - 1;

// Filler bytes never contain the pattern's bytes.
std::vector<uint8_t> filler(size_t n, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % 0xE0);
    return v;
}

// Stops the job once the bar reaches a given percentage.
class StoppingBar : public platform::ProgressBar {
public:
    StoppingBar(std::atomic<uint8_t>& running, int at) : running_(running), at_(at) {}
    void setPosition(int p) override {
        history.push_back(p);
        if (p >= at_) running_ = 0;
    }
    int position() const override { return history.empty() ? 0 : history.back(); }
    std::vector<int> history;

private:
    std::atomic<uint8_t>& running_;
    int at_;
};

}  // namespace

class SearchTest : public TempFolder {
protected:
    // A file of `size` filler bytes with the pattern at `at` (when given).
    void makeFile(size_t size, int64_t at) {
        auto data = filler(size);
        if (at >= 0) std::copy(kPat, kPat + 4, data.begin() + at);
        writeBytes(path("s.bin"), data);
        ASSERT_EQ(f.OpenForRead(path("s.bin")), 0);
    }
    TFileIO f;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kChunk);
};

TEST_F(SearchTest, FindsMatchesWhereverAWholeChunkCoversThem) {
    // Chunks start at k * kStep; with size 100000 the last whole chunk ends
    // at 18 * kStep + kChunk = 97190.
    struct Case {
        int64_t at;
        bool found;
    };
    const Case cases[] = {
        {0, true},
        {kChunk - 4, true},      // last offset inside the first chunk
        {kChunk - 3, true},      // straddles the first boundary
        {kChunk - 1, true},      // one byte in the first chunk
        {3 * kStep + kChunk - 2, true},
        {97190 - 4, true},       // end of the last whole chunk
        {97190 - 3, false},      // reaches into the part no whole chunk covers
        {99000, false},
    };
    uint64_t counted = 0;  // the counters live as long as the object
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        makeFile(100000, c.at);
        bool r = f.Search(kPat, 4, buffer.data(), f.size, kChunk, false);
        EXPECT_EQ(r, c.found);
        if (c.found) {
            EXPECT_EQ(f.position, static_cast<uint64_t>(c.at));
            uint8_t next[4];
            ASSERT_EQ(f.Read(next, 4), 4u);
            EXPECT_EQ(std::memcmp(next, kPat, 4), 0) << "the next Read starts at the match";
        }
        EXPECT_EQ(f.bytesRead - counted, c.found ? 4u : 0u) << "Search reads past the counter";
        counted = f.bytesRead;
        f.Close();
    }
}

TEST_F(SearchTest, MatchMustLeaveOneRawSectorBeforeTheLimit) {
    const uint64_t limit = 10 * kStep + kChunk;  // a chunk ends exactly here
    makeFile(100000, static_cast<int64_t>(limit - 2352));
    EXPECT_TRUE(f.Search(kPat, 4, buffer.data(), limit, kChunk, false));
    EXPECT_EQ(f.position, limit - 2352);
    f.Close();

    makeFile(100000, static_cast<int64_t>(limit - 2351));
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), limit, kChunk, false));
    EXPECT_EQ(f.position, limit - 2351) << "after a match too near the limit, position holds the match";
}

TEST_F(SearchTest, FalseResultsLeaveThePositionAtTheNextChunk) {
    makeFile(3 * kChunk, -1);
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, false));
    EXPECT_EQ(f.position, 3 * kStep);
    f.Close();

    makeFile(kChunk - 1, 0);  // shorter than one chunk: nothing is read
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, false));
    EXPECT_EQ(f.position, 0u);
}

TEST_F(SearchTest, SearchesOnlyWhatTheFileDelivered) {
    // A limit beyond the file must not find the pattern in stale buffer bytes.
    makeFile(8000, -1);
    for (size_t i = 0; i + 4 <= buffer.size(); i += 4) std::copy(kPat, kPat + 4, buffer.begin() + i);
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), 1u << 30, kChunk, false));
}

TEST_F(SearchTest, ChecksItsArguments) {
    makeFile(50000, 100);
    std::vector<uint8_t> longPat(101, 0xF0);
    EXPECT_FALSE(f.Search(kPat, 0, buffer.data(), f.size, kChunk, false));
    EXPECT_FALSE(f.Search(longPat.data(), 101, buffer.data(), f.size, kChunk, false));
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), f.size, 5, false)) << "chunk must exceed length + 1";
    EXPECT_FALSE(f.Search(nullptr, 4, buffer.data(), f.size, kChunk, false));
    EXPECT_FALSE(f.Search(kPat, 4, nullptr, f.size, kChunk, false));
    EXPECT_TRUE(f.Search(kPat, 4, buffer.data(), f.size, 6, false)) << "smallest chunk still works";
    EXPECT_EQ(f.position, 100u);
    f.Close();
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), 50000, kChunk, false)) << "closed file";
}

TEST_F(SearchTest, StopsWhenTheJobIsStopped) {
    const size_t size = 4 << 20;
    makeFile(size, static_cast<int64_t>(size - 10000));
    std::atomic<uint8_t> running{0};
    f.searchContext.running = &running;
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, false));
    EXPECT_EQ(f.position, 0u) << "a stopped job reads nothing";

    // Stopped half way: the bar's handler clears the flag at 50 %.
    running = 1;
    StoppingBar bar(running, 50);
    f.searchContext.progress = &bar;
    EXPECT_FALSE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, true));
    EXPECT_LT(f.position, size / 2 + 2 * kChunk);
    ASSERT_FALSE(bar.history.empty());
    EXPECT_EQ(bar.history.back(), 50);
}

TEST_F(SearchTest, ShowsWholeMegabytePercentagesOnlyWhenTheyChange) {
    const size_t size = 8 << 20;
    makeFile(size, static_cast<int64_t>(size - 3000));
    fakes::RecordingProgressBar bar;
    f.searchContext.progress = &bar;
    ASSERT_TRUE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, true));
    std::vector<int> expected = {0, 12, 25, 37, 50, 62, 75, 87};
    EXPECT_EQ(bar.history(), expected);

    // Without the flag the bar is not touched.
    fakes::RecordingProgressBar quiet;
    f.searchContext.progress = &quiet;
    f.Seek(0);
    ASSERT_TRUE(f.Search(kPat, 4, buffer.data(), f.size, kChunk, false));
    EXPECT_TRUE(quiet.history().empty());
}

TEST_F(SearchTest, SearchJobPatternUsesTheOwnersPattern) {
    makeFile(60000, 20000);
    EXPECT_EQ(f.SearchJobPattern(buffer.data(), kChunk), 5) << "no owner";
    TJob job;
    f.owner = &job;
    EXPECT_EQ(f.SearchJobPattern(buffer.data(), kChunk), 5) << "no pattern";
    const uint8_t pattern[5] = {0xF0, 0xF1, 0xF2, 0xF3, 0x99};  // only 4 bytes count
    job.searchPattern = pattern;
    EXPECT_EQ(f.SearchJobPattern(buffer.data(), kChunk), 0);
    EXPECT_EQ(f.position, 20000u);
    f.SeekBy(1);
    EXPECT_EQ(f.SearchJobPattern(buffer.data(), kChunk), 5);
}

// ---------------------------------------------------------------------- TFileIO

using FileIO = TempFolder;

TEST_F(FileIO, ReadsSectorsWithSeeksBackLikeTheSectorLoop) {
    const size_t size = 3 * 1024 * 1024 + 777;
    auto data = filler(size, 3);
    writeBytes(path("img.bin"), data);
    TFileIO f;
    ASSERT_EQ(f.OpenForRead(path("img.bin")), 0);
    EXPECT_EQ(f.size, size);
    EXPECT_EQ(f.name, path("img.bin"));
    std::vector<uint8_t> sector(2352);
    uint64_t expect = 0;
    size_t calls = 0;
    while (true) {
        size_t got = f.Read(sector.data(), sector.size());
        ++calls;
        ASSERT_EQ(got, std::min<uint64_t>(2352, size - expect));
        ASSERT_TRUE(std::equal(sector.begin(), sector.begin() + static_cast<ptrdiff_t>(got),
                               data.begin() + static_cast<ptrdiff_t>(expect)));
        expect += got;
        ASSERT_EQ(f.position, expect);
        if (got < 2352) break;
        f.SeekBy(-24);  // step back over a header, as the loop does
        expect -= 24;
    }
    EXPECT_EQ(f.bytesRead, calls * 2352) << "counts what was asked, not what came";
}

TEST_F(FileIO, RandomOperationsMatchAnInMemoryModel) {
    // Mixed reads, writes and seeks on an updated file must behave exactly as
    // an unbuffered file would, across buffer boundaries and with large blocks.
    std::mt19937 rng(99);
    std::vector<uint8_t> model = filler(1500000, 5);
    writeBytes(path("u.bin"), model);
    TFileIO f;
    ASSERT_EQ(f.OpenForUpdate(path("u.bin")), 0);
    uint64_t pos = 0;
    for (int op = 0; op < 3000; ++op) {
        int kind = static_cast<int>(rng() % 10);
        size_t count = (rng() % 8 == 0) ? rng() % 1200000 : rng() % 5000;
        if (kind < 4) {
            std::vector<uint8_t> got(count);
            size_t n = f.Read(got.data(), count);
            size_t want = pos >= model.size() ? 0 : std::min<size_t>(count, model.size() - pos);
            ASSERT_EQ(n, want) << "op " << op;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<ptrdiff_t>(n),
                                   model.begin() + static_cast<ptrdiff_t>(pos)))
                << "op " << op;
            pos += n;
        } else if (kind < 7) {
            std::vector<uint8_t> src(count);
            for (auto& b : src) b = static_cast<uint8_t>(rng());
            ASSERT_EQ(f.Write(src.data(), count), count);
            if (model.size() < pos + count) model.resize(pos + count, 0);
            std::copy(src.begin(), src.end(), model.begin() + static_cast<ptrdiff_t>(pos));
            pos += count;
        } else if (kind < 9) {
            pos = rng() % (model.size() + 100);
            ASSERT_EQ(f.Seek(pos), 0);
        } else {
            int64_t by = static_cast<int64_t>(rng() % 20000) - 10000;
            f.SeekBy(by);
            pos = (by < 0 && static_cast<uint64_t>(-by) > pos) ? 0 : pos + by;
        }
        ASSERT_EQ(f.position, pos) << "op " << op;
        if (op % 500 == 0) {
            ASSERT_EQ(f.Size(), model.size()) << "Size sees pending writes";
        }
    }
    EXPECT_EQ(f.Close(), 0);
    EXPECT_EQ(readBytes(path("u.bin")), model);
}

TEST_F(FileIO, WriteCreatesAndCounts) {
    TFileIO f;
    ASSERT_EQ(f.OpenForWrite(path("w.bin")), 0);
    EXPECT_EQ(f.size, 0u);
    std::vector<uint8_t> block(2324, 0x5A);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(f.Write(block.data(), block.size()), block.size());
    EXPECT_EQ(f.bytesWritten, 2324000u);
    EXPECT_EQ(f.position, 2324000u);
    EXPECT_EQ(f.size, 0u) << "writes do not change the size field";
    EXPECT_EQ(f.Close(), 0);
    EXPECT_TRUE(f.IsClosed());
    EXPECT_EQ(f.position, 0u);
    EXPECT_EQ(f.name, path("w.bin")) << "the name stays after Close";
    EXPECT_EQ(fs::file_size(path("w.bin")), 2324000u);

    // Reopening for write truncates.
    ASSERT_EQ(f.OpenForWrite(path("w.bin")), 0);
    EXPECT_EQ(f.Close(), 0);
    EXPECT_EQ(fs::file_size(path("w.bin")), 0u);
}

TEST_F(FileIO, ReadPastTheEnd) {
    writeBytes(path("short.bin"), filler(1000));
    TFileIO f;
    ASSERT_EQ(f.OpenForRead(path("short.bin")), 0);
    f.Seek(900);
    std::vector<uint8_t> buf(2352);
    EXPECT_EQ(f.Read(buf.data(), buf.size()), 100u);
    EXPECT_EQ(f.position, 1000u);
    EXPECT_EQ(f.Read(buf.data(), buf.size()), 0u);
    EXPECT_EQ(f.position, 1000u);
    EXPECT_EQ(f.bytesRead, 2u * 2352);
    f.Seek(5000);  // beyond the end is allowed and reads nothing
    EXPECT_EQ(f.Read(buf.data(), 10), 0u);
    EXPECT_EQ(f.position, 5000u);
}

TEST_F(FileIO, SizeKeepsThePosition) {
    writeBytes(path("s.bin"), filler(12345));
    TFileIO f;
    ASSERT_EQ(f.OpenForRead(path("s.bin")), 0);
    uint8_t b[100];
    f.Read(b, 100);
    EXPECT_EQ(f.Size(), 12345u);
    EXPECT_EQ(f.position, 100u);
    EXPECT_EQ(f.Read(b, 1), 1u);
    EXPECT_EQ(b[0], filler(12345)[100]);
}

TEST_F(FileIO, FailedOpensLeaveTheObjectAsItWas) {
    TFileIO f;
    EXPECT_EQ(f.OpenForRead(dir), 12) << "a directory is no file";
    EXPECT_EQ(f.OpenForUpdate(dir), 12);
    EXPECT_EQ(f.OpenForWrite(dir), 12);
    EXPECT_EQ(f.OpenForRead(path("missing")), 12);
    EXPECT_EQ(f.OpenForUpdate(path("missing")), 12);
    EXPECT_EQ(f.OpenForRead(""), 12);
    EXPECT_EQ(f.OpenForWrite(path("no/such/dir/x")), 12);
    EXPECT_TRUE(f.IsClosed());
    EXPECT_EQ(f.name, "");

    writeBytes(path("ok.bin"), filler(50));
    ASSERT_EQ(f.OpenForRead(path("ok.bin")), 0);
    EXPECT_EQ(f.OpenForRead(path("missing")), 12);
    EXPECT_FALSE(f.IsClosed()) << "a failed open changes nothing";
    EXPECT_EQ(f.name, path("ok.bin"));
    EXPECT_EQ(f.size, 50u);
}

TEST_F(FileIO, ClosedObjectDoesNothing) {
    TFileIO f;
    uint8_t b[10] = {};
    EXPECT_EQ(f.Read(b, 10), 0u);
    EXPECT_EQ(f.Write(b, 10), 0u);
    EXPECT_EQ(f.Seek(10), -1);
    EXPECT_EQ(f.Size(), 0u);
    EXPECT_EQ(f.Close(), 0);
}

TEST(FileIOFullDisk, AFailedWriteIsReportedByClose) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    TFileIO f;
    ASSERT_EQ(f.OpenForWrite("/dev/full"), 0);
    std::vector<uint8_t> small(100, 1);
    f.Write(small.data(), small.size());  // may only be buffered
    EXPECT_EQ(f.Close(), 12) << "a truncated file must never be reported as written";
    EXPECT_TRUE(f.writeFailed());

    // A block too big to buffer fails at once, and later writes refuse.
    ASSERT_EQ(f.OpenForWrite("/dev/full"), 0);
    EXPECT_FALSE(f.writeFailed()) << "a new open starts clean";
    std::vector<uint8_t> big(4 << 20, 1);
    EXPECT_LT(f.Write(big.data(), big.size()), big.size());
    EXPECT_EQ(f.Write(small.data(), small.size()), 0u);
    EXPECT_EQ(f.Close(), 12);
}

TEST_F(FileIO, OffsetsBeyondFourGiB) {
    // A sparse file costs no disk space where the file system supports it.
    const uint64_t size = (5ull << 30) + 100;
    const std::string p = path("big.bin");
    {
        int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no large sparse files here";
        }
        ::close(fd);
    }
    const uint64_t at = (4ull << 30) + 10;
    TFileIO f;
    ASSERT_EQ(f.OpenForUpdate(p), 0);
    EXPECT_EQ(f.size, size);
    ASSERT_EQ(f.Seek(at), 0);
    const uint8_t mark[4] = {1, 2, 3, 4};
    ASSERT_EQ(f.Write(mark, 4), 4u);
    EXPECT_EQ(f.Close(), 0);

    ASSERT_EQ(f.OpenForRead(p), 0);
    EXPECT_EQ(f.size, size);
    f.Seek(at - 20);
    f.SeekBy(20);
    uint8_t back[4] = {};
    ASSERT_EQ(f.Read(back, 4), 4u);
    EXPECT_EQ(std::memcmp(back, mark, 4), 0);
    EXPECT_EQ(f.position, at + 4);
    f.Seek(size - 2);
    EXPECT_EQ(f.Read(back, 4), 2u);
}

// ---------------------------------------------------------------- named files

namespace {

class NamedFiles : public TempFolder {};

// Only a regular file opens, through a link too; nothing else waits or is
// read. Run in a child: a regression that blocks on the FIFO fails instead of
// hanging.
TEST_F(NamedFiles, OnlyRegularFilesOpenAndNothingWaits) {
    std::ofstream(path("plain.bin")) << "abc";
    fs::create_symlink(path("plain.bin"), path("link.bin"));
    fs::create_symlink(path("nowhere"), path("dangling"));
    fs::create_directory(path("folder"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool opens;
    };
    const Case cases[] = {
        {path("plain.bin"), true}, {path("link.bin"), true},  {path("fifo"), false}, {"/dev/zero", false},
        {"/dev/null", false},      {path("folder"), false},   {path("dangling"), false}, {path("missing"), false},
    };
    for (const Case& c : cases) {
        const bounded::Run r = bounded::InChild(
            [&] {
                uint64_t length = 99;
                const int fd = OpenRegularForRead(c.path, &length);
                std::string out = fd >= 0 ? "fd" : "refused";
                if (fd >= 0) {
                    out += " length " + std::to_string(length);
                    out += (::fcntl(fd, F_GETFL) & O_NONBLOCK) ? " nonblocking" : " blocking";
                    out += (::fcntl(fd, F_GETFD) & FD_CLOEXEC) ? " cloexec" : "";
                }
                TFileIO file;
                const bool opened = file.OpenForRead(c.path) == 0;
                out += opened ? " TFileIO opens" : " TFileIO refuses";
                const bool stream = OpenRegularStream(c.path) != nullptr;
                out += stream ? " stream opens" : " stream refuses";
                return out;
            },
            std::chrono::seconds(10));
        ASSERT_TRUE(r.finished) << c.path;
        EXPECT_EQ(r.output, c.opens ? "fd length 3 blocking cloexec TFileIO opens stream opens"
                                    : "refused TFileIO refuses stream refuses")
            << c.path;
    }
}

TEST_F(NamedFiles, LinesComeOneAtATimeAndLongOnesWhole) {
    const std::string text = "one\r\ntwo\n\nthree\r\n" + std::string(10, 'x') + "\n" + std::string(11, 'y') + "\r\n" +
                             std::string(200000, 'z') + "\nlast";
    std::ofstream(path("t.txt"), std::ios::binary) << text;
    TLineReader reader(10);
    ASSERT_TRUE(reader.Open(path("t.txt")));
    struct Want {
        TLineReader::Result result;
        std::string line;
    };
    const std::vector<Want> want = {
        {TLineReader::kLine, "one"},
        {TLineReader::kLine, "two"},
        {TLineReader::kLine, ""},
        {TLineReader::kLine, "three"},
        {TLineReader::kLine, std::string(10, 'x')},
        {TLineReader::kTooLong, std::string(10, 'y')},
        {TLineReader::kTooLong, std::string(10, 'z')},
        {TLineReader::kLine, "last"},
        {TLineReader::kEnd, ""},
        {TLineReader::kEnd, ""},
    };
    for (int pass = 0; pass < 2; ++pass) {
        std::string line;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(reader.Next(line), want[i].result) << pass << " " << i;
            EXPECT_EQ(line, want[i].line) << pass << " " << i;
        }
        ASSERT_TRUE(reader.Rewind());
    }

    // A stop request ends a read that would go on.
    std::atomic<uint8_t> running{0};
    TLineReader stopped(10, &running);
    ASSERT_TRUE(stopped.Open(path("t.txt")));
    std::string line;
    EXPECT_EQ(stopped.Next(line), TLineReader::kStopped);

    EXPECT_FALSE(TLineReader(10).Open(path("missing")));
}

}  // namespace
