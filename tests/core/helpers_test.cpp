#include "core/helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/temp_file.h"
#include "tests/support/fakes.h"

namespace fs = std::filesystem;

// ------------------------------------------------------------- paths and text

TEST(ImageExtensions, KindsAreNumberedFromOne) {
    ASSERT_EQ(ImageExtensions.size(), 9u);
    EXPECT_EQ(ImageExtensions[0], "raw");
    EXPECT_EQ(ImageExtensions[2], "mpg");  // kind 3, MPEG
    EXPECT_EQ(ImageExtensions[6], "bin");  // kind 7
    EXPECT_EQ(ImageExtensions[8], "toc");  // kind 9
}

TEST(PathHelpers, ExtensionsLookOnlyAtTheLastComponent) {
    struct Case {
        const char* path;
        const char* extension;
        const char* without;
    };
    const Case cases[] = {
        {"movie.mpg", "mpg", "movie"},
        {"a.b.c", "c", "a.b"},
        {"movie", "", "movie"},                          // no dot: the whole name
        {"/data/v1.2/movie", "", "/data/v1.2/movie"},    // dot in a folder only
        {"/data/v1.2/movie.bin", "bin", "/data/v1.2/movie"},
        {"dir.x\\file", "", "dir.x\\file"},              // "\" separates too
        {"C:\\a\\b.bin", "bin", "C:\\a\\b"},
        {".bin", "", ".bin"},                            // a leading dot starts no extension
        {"/home/u/.cue", "", "/home/u/.cue"},
        {"name.", "", "name"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtensionOf(c.path), c.extension);
        EXPECT_EQ(WithoutExtension(c.path), c.without);
        std::string s = c.path;
        StripExtension(s);
        EXPECT_EQ(s, c.without);
    }
}

TEST(PathHelpers, DirAndName) {
    struct Case {
        const char* path;
        const char* dir;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"/mnt/cd/track.bin", "/mnt/cd/", "/mnt/cd", "track.bin"},
        {"C:\\a\\b.bin", "C:\\a\\", "C:\\a", "b.bin"},
        {"/a/b\\c.mpg", "/a/b\\", "/a/b", "c.mpg"},
        {"b.bin", "./", ".", "b.bin"},
        {"/x/y/", "/x/y/", "/x/y", ""},
        {"/", "/", "/", ""},
        {"", "./", ".", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractDir(c.path), c.dir);
        EXPECT_EQ(ExtractFolder(c.path), c.folder);
        EXPECT_EQ(ExtractName(c.path), c.name);
    }
}

TEST(TextHelpers, LeftRightAndQuotes) {
    EXPECT_EQ(LeftStr("abcdef", 3), "abc");
    EXPECT_EQ(LeftStr("abc", 10), "abc");
    EXPECT_EQ(LeftStr("abc", 0), "");
    EXPECT_EQ(LeftStr("abc", -1), "");
    EXPECT_EQ(RightStr("abcdef", 2), "ef");
    EXPECT_EQ(RightStr("abc", 10), "abc");
    EXPECT_EQ(RightStr("abc", -5), "");

    struct Case {
        const char* in;
        const char* out;
    };
    const Case quotes[] = {
        {"\"C:\\my file.bin\"", "C:\\my file.bin"},
        {"\"abc", "abc"},  // only a closing quote is dropped
        {"\"", "\""},
        {"\"\"", ""},
        {"abc\"", "abc\""},
        {"", ""},
    };
    for (const Case& c : quotes) EXPECT_EQ(StripQuotes(c.in), c.out) << c.in;
}

TEST(TextHelpers, MonthIndex) {
    struct Case {
        const char* text;
        int index;
    };
    const Case cases[] = {{"Jan", 1},       {"Feb 13 2005", 2}, {"December", 12}, {"May", 5},
                          {"jan", -1},      {"Ja", -1},         {"", -1},         {"Foo", -1}};
    for (const Case& c : cases) EXPECT_EQ(MonthIndex(c.text), c.index) << c.text;
}

TEST(TextHelpers, NowStampRunsTheFieldsTogether) {
    fakes::FakeClock clock;
    clock.set({2005, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(NowStamp(clock), "2005234567");
    clock.set({2026, 12, 31, 23, 59, 58, 999});
    EXPECT_EQ(NowStamp(clock), "202612312359" "58999");
    EXPECT_FALSE(NowStamp().empty());
}

// -------------------------------------------------------------------- numbers

TEST(NumberHelpers, IntToZeroPadded) {
    struct Case {
        int64_t value;
        int width;
        const char* text;
    };
    const Case cases[] = {{7, 3, "007"},   {1234, 2, "34"},   {0, 4, "0000"},
                          {42, 2, "42"},   {4294967295, 10, "4294967295"},
                          {5, 0, "5"},     {-3, 3, "000"}};
    for (const Case& c : cases) EXPECT_EQ(IntToZeroPadded(c.value, c.width), c.text) << c.value << "/" << c.width;
}

TEST(NumberHelpers, ByteOrder) {
    const uint8_t b[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    EXPECT_EQ(BigEndianToInt(b, 1), 0x12u);
    EXPECT_EQ(BigEndianToInt(b, 2), 0x1234u);
    EXPECT_EQ(BigEndianToInt(b, 3), 0x123456u);
    EXPECT_EQ(BigEndianToInt(b, 4), 0x12345678u);
    EXPECT_EQ(BigEndianToInt(b, 0), 0u);
    EXPECT_EQ(BigEndianToInt(b, 5), 0u);

    struct Case {
        uint32_t value;
        int count;
        bool little;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {0x1234, 2, false, {0x12, 0x34, 0xEE, 0xEE}},
        {0x1234, 2, true, {0x34, 0x12, 0xEE, 0xEE}},
        {0xABCD1234, 2, false, {0x12, 0x34, 0xEE, 0xEE}},  // low 16 bits only
        {0x12345678, 4, false, {0x12, 0x34, 0x56, 0x78}},
        {0x12345678, 4, true, {0x78, 0x56, 0x34, 0x12}},
        {0x12345678, 3, true, {0xEE, 0xEE, 0xEE, 0xEE}},   // no such width
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(4, 0xEE);
        PutEndianInt(out.data(), c.value, c.count, c.little);
        EXPECT_EQ(out, c.bytes) << std::hex << c.value << " count " << c.count << " little " << c.little;
    }
}

TEST(BitHelpers, ReadBitsCountsFromTheTopBit) {
    const uint8_t b[] = {0xA5, 0x0F, 0xF0, 0x01, 0x80};
    EXPECT_EQ(ReadBits(b, 0, 1), 1u);
    EXPECT_EQ(ReadBits(b, 1, 1), 0u);
    EXPECT_EQ(ReadBits(b, 0, 8), 0xA5u);
    EXPECT_EQ(ReadBits(b, 4, 8), 0x50u);
    EXPECT_EQ(ReadBits(b, 0, 32), 0xA50FF001u);
    EXPECT_EQ(ReadBits(b, 8, 32), 0x0FF00180u);
    EXPECT_EQ(ReadBits(b, 0, 0), 0u);
    EXPECT_EQ(ReadBits(b, 0, 33), 0u);
}

TEST(BitHelpers, WriteThenReadTouchesOnlyTheRange) {
    std::mt19937 rng(4);
    for (int round = 0; round < 5000; ++round) {
        std::vector<uint8_t> buf(12);
        for (auto& x : buf) x = static_cast<uint8_t>(rng());
        const std::vector<uint8_t> before = buf;
        int count = 1 + static_cast<int>(rng() % 32);
        size_t pos = rng() % (96 - static_cast<size_t>(count) + 1);
        uint32_t value = static_cast<uint32_t>(rng());
        ASSERT_EQ(WriteBits(buf.data(), pos, value, count), pos + static_cast<size_t>(count));
        uint32_t low = count == 32 ? value : value & ((1u << count) - 1);
        ASSERT_EQ(ReadBits(buf.data(), pos, count), low);
        for (size_t bit = 0; bit < 96; ++bit) {
            if (bit >= pos && bit < pos + static_cast<size_t>(count)) continue;
            ASSERT_EQ(ReadBits(buf.data(), bit, 1), ReadBits(before.data(), bit, 1)) << "bit " << bit;
        }
    }
    uint8_t b[2] = {0, 0};
    EXPECT_EQ(WriteBits(b, 3, 1, 0), 3u) << "no bits, no move";
}

// -------------------------------------------------------- files: fixture base

namespace {

const uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};

class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        dir = CreateTempDir("helpers_test_");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::vector<uint8_t>& data) {
        std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return p;
    }

    std::vector<uint8_t> read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Payload bytes that never form a sync or a start code.
    static std::vector<uint8_t> payload(size_t n, unsigned seed = 1) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> v(n);
        for (auto& b : v) b = static_cast<uint8_t>(0x10 + rng() % 0xE0);
        return v;
    }

    // `count` raw sectors of `size` bytes, each beginning with the CD sync.
    static std::vector<uint8_t> rawImage(size_t size, int count) {
        std::vector<uint8_t> img;
        for (int i = 0; i < count; ++i) {
            auto s = payload(size, static_cast<unsigned>(i));
            std::copy(kSync, kSync + 12, s.begin());
            img.insert(img.end(), s.begin(), s.end());
        }
        return img;
    }

    // `count` MPEG packs of `packSize` bytes, the pack start `at` bytes into each.
    static std::vector<uint8_t> packs(size_t packSize, size_t at, int count) {
        std::vector<uint8_t> out;
        const uint8_t pack[4] = {0, 0, 1, 0xBA};
        for (int i = 0; i < count; ++i) {
            auto s = payload(packSize, 100 + static_cast<unsigned>(i));
            std::copy(pack, pack + 4, s.begin() + static_cast<ptrdiff_t>(at));
            out.insert(out.end(), s.begin(), s.end());
        }
        return out;
    }

    std::string dir;
};

}  // namespace

// ------------------------------------------------------------- counted string

TEST_F(FileHelpers, WriteCountedString) {
    const std::string p = dir + "/counted.bin";
    TFileIO f;
    ASSERT_EQ(f.OpenForWrite(p), 0);
    EXPECT_TRUE(WriteCountedString("abc", 2, f));
    EXPECT_TRUE(WriteCountedString("", 4, f));
    EXPECT_TRUE(WriteCountedString("xy", 4, f));
    EXPECT_FALSE(WriteCountedString("abc", 3, f)) << "only widths 2 and 4";
    EXPECT_FALSE(WriteCountedString(std::string(65536, 'q'), 2, f)) << "too long for a 16-bit count";
    EXPECT_TRUE(WriteCountedString(std::string(65535, 'q'), 2, f));
    ASSERT_EQ(f.Close(), 0);
    std::vector<uint8_t> expect = {3, 0, 'a', 'b', 'c', 0, 0, 0, 0, 2, 0, 0, 0, 'x', 'y', 0xFF, 0xFF};
    expect.insert(expect.end(), 65535, 'q');
    EXPECT_EQ(read(p), expect) << "a refused text writes nothing";
}

TEST(WriteCountedStringFullDisk, ReportsTheFailure) {
    TFileIO f;
    ASSERT_EQ(f.OpenForWrite("/dev/full"), 0);
    EXPECT_FALSE(WriteCountedString(std::string(2 << 20, 'x'), 4, f));
    EXPECT_EQ(f.Close(), 12);
}

// ----------------------------------------------------------- sector detection

TEST_F(FileHelpers, DetectSectorSize) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        int size;
    };
    auto syncLate = payload(6000);
    std::copy(kSync, kSync + 12, syncLate.begin() + 100);
    std::copy(kSync, kSync + 12, syncLate.begin() + 2452);
    auto oddDistance = payload(6000);
    std::copy(kSync, kSync + 12, oddDistance.begin());
    std::copy(kSync, kSync + 12, oddDistance.begin() + 1000);
    // One damaged sync is damage, not a size: the other syncs outvote it.
    auto secondSyncDamaged = rawImage(2352, 12);
    secondSyncDamaged[2352 + 5] ^= 0x10;
    auto firstSyncDamaged = rawImage(2448, 12);
    firstSyncDamaged[5] ^= 0x10;
    auto everyOtherDamaged = rawImage(2352, 12);
    for (size_t s = 1; s < 12; s += 2) everyOtherDamaged[s * 2352 + 5] ^= 0x10;
    auto oneSector = rawImage(2352, 1);
    auto twoSyncsOnly = rawImage(2352, 1);
    twoSyncsOnly.insert(twoSyncsOnly.end(), kSync, kSync + 12);

    const Case cases[] = {
        {"raw 2352", rawImage(2352, 4), 2352},
        {"raw with subchannel 2448", rawImage(2448, 4), 2448},
        {"raw with Q subchannel 2368", rawImage(2368, 4), 2368},
        {"iso 2048, no sync", payload(8 * 2048), 0},
        {"first sync not at byte 0", syncLate, 0},
        {"one damaged sync after the first", secondSyncDamaged, 2352},
        {"the sync at byte 0 damaged", firstSyncDamaged, 2448},
        {"every other sync damaged: two sectors apart", everyOtherDamaged, 0},
        {"next sync at no sector size", oddDistance, 0},
        {"short file, one sector", oneSector, 0},
        {"short file, sector and next sync", twoSyncsOnly, 2352},
        {"tiny", std::vector<uint8_t>(kSync, kSync + 12), 0},
        {"empty", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFileIO f;
        ASSERT_EQ(f.OpenForRead(write("img.bin", c.data)), 0);
        f.Seek(77);
        EXPECT_EQ(DetectSectorSize(f), c.size);
        EXPECT_EQ(f.position, 0u) << "left at offset 0";
    }
}

TEST_F(FileHelpers, ProbeSectorSize) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        int size;
    };
    const Case cases[] = {
        {"mpeg packs of 2324", packs(2324, 0, 10), 2324},
        {"raw sectors, pack after the 24-byte header", packs(2352, 24, 10), 2352},
        {"no pack starts", payload(40000), 0},
        {"one pack start only", packs(40000, 0, 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFileIO f;
        ASSERT_EQ(f.OpenForRead(write("p.mpg", c.data)), 0);
        int size = ProbeSectorSize(f);
        EXPECT_EQ(size, c.size);
        if (size != 0) {
            EXPECT_EQ(f.position, 0u);
        }
    }
}

// ----------------------------------------------------------------- MPEG probes

TEST_F(FileHelpers, MpegProbes) {
    auto mpeg1 = packs(2324, 0, 20);
    auto mpeg2 = mpeg1;
    const uint8_t ext[4] = {0, 0, 1, 0xB5};
    std::copy(ext, ext + 4, mpeg2.begin() + 30000);
    auto lateMpeg2 = payload(0x200000 + 20000);
    std::copy(ext, ext + 4, lateMpeg2.begin() + 0x200000);  // beyond the first 2 MiB
    auto smallWithCodes = packs(2324, 0, 2);                  // 4648 bytes: not one whole chunk

    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        bool program, mpeg2;
    };
    const Case cases[] = {
        {"mpeg-1 program stream", mpeg1, true, false},
        {"mpeg-2 program stream", mpeg2, true, true},
        {"extension code past 2 MiB", lateMpeg2, false, false},
        {"smaller than a chunk", smallWithCodes, false, false},
        {"no codes", payload(50000), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFileIO f;
        ASSERT_EQ(f.OpenForRead(write("m.mpg", c.data)), 0);
        f.Seek(500);
        EXPECT_EQ(IsMpegProgramStream(f), c.program);
        EXPECT_EQ(f.position, 0u);
        f.Seek(500);
        EXPECT_EQ(IsMpeg2Stream(f), c.mpeg2);
        EXPECT_EQ(f.position, 0u);
    }

    TFileIO f;
    ASSERT_EQ(f.OpenForRead(write("m2.mpg", mpeg2)), 0);
    f.Seek(1000);
    EXPECT_TRUE(IsMpeg2FromHere(f));
    EXPECT_EQ(f.position, 1000u) << "position restored";
    f.Seek(30001);
    EXPECT_FALSE(IsMpeg2FromHere(f)) << "only from here on";
    EXPECT_EQ(f.position, 30001u);

    // A track that starts past the first 2 MiB is probed where it lies, over
    // 2 MiB from its start and no further.
    TFileIO late;
    ASSERT_EQ(late.OpenForRead(write("late.bin", lateMpeg2)), 0);
    late.Seek(0x200000 - 10000);
    EXPECT_TRUE(IsMpeg2FromHere(late));
    EXPECT_EQ(late.position, uint64_t{0x200000 - 10000});
    late.Seek(0);
    EXPECT_FALSE(IsMpeg2FromHere(late)) << "the code lies at the end of the 2 MiB from 0";
}

TEST_F(FileHelpers, MpegProbesStopWithTheJob) {
    TFileIO f;
    ASSERT_EQ(f.OpenForRead(write("m.mpg", packs(2324, 0, 20))), 0);
    std::atomic<uint8_t> running{0};
    f.searchContext.running = &running;
    EXPECT_FALSE(IsMpegProgramStream(f));
    running = 1;
    EXPECT_TRUE(IsMpegProgramStream(f));
}

// Real streams from ffmpeg, when it is installed.
TEST_F(FileHelpers, ProbesOnEncodedStreams) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg not installed";
    struct Case {
        const char* format;
        bool mpeg2;
        int packSize;
    };
    const Case cases[] = {{"vcd", false, 2324}, {"svcd", true, 2324}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string out = dir + "/" + c.format + ".mpg";
        const std::string vcodec = c.mpeg2 ? "mpeg2video" : "mpeg1video";
        const std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=352x288:rate=25 -f lavfi "
                                "-i sine=frequency=440:sample_rate=44100 -t 2 -c:v " + vcodec +
                                " -b:v 1150k -c:a mp2 -b:a 224k -muxrate 2352k -packetsize 2324 -f " + c.format +
                                " '" + out + "' </dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        TFileIO f;
        ASSERT_EQ(f.OpenForRead(out), 0);
        EXPECT_TRUE(IsMpegProgramStream(f));
        EXPECT_EQ(IsMpeg2Stream(f), c.mpeg2);
        EXPECT_EQ(ProbeSectorSize(f), c.packSize);
    }
}
