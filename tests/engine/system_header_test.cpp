#include "engine/system_header.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/temp_file.h"
#include "disc/sector_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class TempFolder {
public:
    TempFolder() : dir_(CreateTempDir("syshdr_test_")) {}
    ~TempFolder() { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// Writes through the file object into a file and returns what arrived.
template <typename WriteFn>
Bytes WriteAndRead(const TempFolder& tmp, WriteFn write, bool* ok = nullptr) {
    const std::string path = tmp.Path("out.bin");
    TFileIO file;
    EXPECT_EQ(file.OpenForWrite(path), 0);
    bool result = write(file);
    EXPECT_EQ(file.Close(), 0);
    if (ok) *ok = result;
    return ReadAll(path);
}

// Minimal program-stream walk: what a demuxer checks in these sectors.
struct MpegPiece {
    int packHeaderLength = 0;
    uint64_t scr = 0;
    uint32_t muxRate = 0;
    int systemHeaderLength = 0;  // the length field
    std::vector<uint8_t> streams;
    size_t paddingStart = 0;
    size_t paddingEnd = 0;  // one past the padding packet
};

MpegPiece Parse(const uint8_t* p) {
    MpegPiece m;
    EXPECT_EQ(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3], 0x000001BA);
    size_t pos;
    if ((p[4] & 0xF0) == 0x20) {  // MPEG-1: 0010 SCR[32..30] 1 ...
        m.packHeaderLength = 12;
        m.scr = (uint64_t(p[4] >> 1 & 7) << 30) | (uint64_t(p[5]) << 22) | (uint64_t(p[6] >> 1) << 15) |
                (uint64_t(p[7]) << 7) | (p[8] >> 1);
        EXPECT_EQ(p[4] & 1, 1);
        EXPECT_EQ(p[6] & 1, 1);
        EXPECT_EQ(p[8] & 1, 1);
        EXPECT_EQ(p[9] & 0x80, 0x80);
        EXPECT_EQ(p[11] & 1, 1);
        m.muxRate = (uint32_t(p[9] & 0x7F) << 15) | (p[10] << 7) | (p[11] >> 1);
        pos = 12;
    } else {  // MPEG-2: 01 SCR[32..30] 1 SCR[29..28] ...
        EXPECT_EQ(p[4] & 0xC4, 0x44);
        m.packHeaderLength = 14 + (p[13] & 7);
        m.scr = (uint64_t(p[4] >> 3 & 7) << 30) | (uint64_t(p[4] & 3) << 28) | (uint64_t(p[5]) << 20) |
                (uint64_t(p[6] >> 3) << 15) | (uint64_t(p[6] & 3) << 13) | (uint64_t(p[7]) << 5) | (p[8] >> 3);
        m.muxRate = (uint32_t(p[10]) << 14) | (p[11] << 6) | (p[12] >> 2);
        EXPECT_EQ(p[12] & 3, 3);
        pos = m.packHeaderLength;
    }
    EXPECT_EQ(p[pos] << 24 | p[pos + 1] << 16 | p[pos + 2] << 8 | p[pos + 3], 0x000001BB);
    m.systemHeaderLength = p[pos + 4] << 8 | p[pos + 5];
    for (size_t s = pos + 12; s < pos + 6 + size_t(m.systemHeaderLength); s += 3) {
        m.streams.push_back(p[s]);
        EXPECT_EQ(p[s + 1] & 0xC0, 0xC0);
    }
    pos += 6 + m.systemHeaderLength;
    EXPECT_EQ(p[pos] << 24 | p[pos + 1] << 16 | p[pos + 2] << 8 | p[pos + 3], 0x000001BE);
    m.paddingStart = pos;
    m.paddingEnd = pos + 6 + (p[pos + 4] << 8 | p[pos + 5]);
    return m;
}

// ECMA-130 EDC computed here, independently of the sector encoder.
uint32_t Edc(const uint8_t* data, size_t length) {
    uint32_t edc = 0;
    for (size_t i = 0; i < length; ++i) {
        edc ^= data[i];
        for (int b = 0; b < 8; ++b) edc = (edc >> 1) ^ (edc & 1 ? 0xD8018001u : 0);
    }
    return edc;
}

TEST(SystemHeaderPayload, Mpeg1SectorsHoldPackSystemHeaderAndPaddingToTheEnd) {
    uint8_t a[kSystemHeaderPayloadSize], b[kSystemHeaderPayloadSize];
    BuildMpeg1SystemHeaderPayloadA(a);
    BuildMpeg1SystemHeaderPayloadB(b);

    MpegPiece pa = Parse(a);
    EXPECT_EQ(pa.scr, 4u);
    EXPECT_EQ(pa.muxRate, 3528u);  // 1411200 bit/s in 50-byte units
    EXPECT_EQ(pa.systemHeaderLength, 9);
    EXPECT_EQ(pa.streams, std::vector<uint8_t>{0xE0});
    EXPECT_EQ(a[21] >> 2, 0);       // audio bound
    EXPECT_EQ(a[22] & 0x1F, 1);     // video bound
    EXPECT_EQ(a[25], 0xE0);         // buffer bound scale 1, size 0x02E
    EXPECT_EQ(a[26], 0x2E);
    EXPECT_EQ(pa.paddingStart, 27u);
    EXPECT_EQ(pa.paddingEnd, kSystemHeaderPayloadSize);
    EXPECT_EQ(a[33], 0x0F);
    for (size_t i = 34; i < kSystemHeaderPayloadSize; ++i) ASSERT_EQ(a[i], 0xFF) << i;

    MpegPiece pb = Parse(b);
    EXPECT_EQ(pb.scr, 1204u);
    EXPECT_GT(pb.scr, pa.scr);
    EXPECT_EQ(pb.streams, std::vector<uint8_t>{0xC0});
    EXPECT_EQ(b[21] >> 2, 1);   // audio bound
    EXPECT_EQ(b[22] & 0x1F, 0);  // video bound
    EXPECT_EQ(b[25], 0xC0);
    EXPECT_EQ(b[26], 0x20);
    EXPECT_EQ(pb.paddingEnd, 2304u);
    EXPECT_EQ(b[33], 0x0F);
    for (size_t i = 34; i < 2304; ++i) ASSERT_EQ(b[i], 0xFF) << i;
    for (size_t i = 2304; i < kSystemHeaderPayloadSize; ++i) ASSERT_EQ(b[i], 0x00) << i;
}

TEST(SystemHeaderPayload, Mpeg2SectorHoldsBothStreamsAndPaddingToTheEnd) {
    uint8_t p[kSystemHeaderPayloadSize];
    BuildMpeg2SystemHeaderPayload(p);
    const uint8_t head[] = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00, 0x6C, 0xF3, 0xF8};
    EXPECT_EQ(Bytes(p, p + 14), Bytes(std::begin(head), std::end(head)));

    MpegPiece m = Parse(p);
    EXPECT_EQ(m.packHeaderLength, 14);
    EXPECT_EQ(m.systemHeaderLength, 12);
    EXPECT_EQ(m.streams, (std::vector<uint8_t>{0xE0, 0xC0}));
    EXPECT_EQ((p[27] & 0x1F) << 8 | p[28], 0x0E6);  // video buffer size, scale 1
    EXPECT_EQ(p[27] & 0x20, 0x20);
    EXPECT_EQ((p[30] & 0x1F) << 8 | p[31], 0x020);  // audio, scale 0
    EXPECT_EQ(p[30] & 0x20, 0);
    EXPECT_EQ(m.paddingStart, 32u);
    EXPECT_EQ(m.paddingEnd, kSystemHeaderPayloadSize);
    for (size_t i = 38; i < kSystemHeaderPayloadSize; ++i) ASSERT_EQ(p[i], 0xFF) << i;
}

TEST(SystemHeaderWrite, PayloadFormWritesWholeSectorsAndLeavesTheCounter) {
    TempFolder tmp;
    uint32_t counter = 77;
    bool ok = false;
    Bytes one = WriteAndRead(tmp, [&](TFileIO& f) { return WriteMpeg1SystemHeaderSectors(f, false, &counter); }, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(one.size(), kMpeg1SystemHeaderBytes);
    uint8_t a[kSystemHeaderPayloadSize], b[kSystemHeaderPayloadSize];
    BuildMpeg1SystemHeaderPayloadA(a);
    BuildMpeg1SystemHeaderPayloadB(b);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 2324), Bytes(a, a + 2324));
    EXPECT_EQ(Bytes(one.begin() + 2324, one.end()), Bytes(b, b + 2324));

    Bytes plain = WriteAndRead(tmp, [](TFileIO& f) { return WriteMpeg1SystemHeaderSectors(f); });
    EXPECT_EQ(plain, one);

    Bytes two = WriteAndRead(tmp, [&](TFileIO& f) { return WriteMpeg2SystemHeaderSector(f, false, &counter); }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(two.size(), kMpeg2SystemHeaderBytes);
    EXPECT_EQ(counter, 77u);
}

TEST(SystemHeaderWrite, RawFormIsAddressedModeTwoFormTwoWithAudioSubheader) {
    struct Case {
        bool mpeg2;
        size_t sectors;
    } cases[] = {{false, 2}, {true, 1}};
    TempFolder tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mpeg2 ? "MPEG-2" : "MPEG-1");
        uint32_t counter = 150;
        Bytes raw = WriteAndRead(tmp, [&](TFileIO& f) {
            return c.mpeg2 ? WriteMpeg2SystemHeaderSector(f, true, &counter)
                           : WriteMpeg1SystemHeaderSectors(f, true, &counter);
        });
        Bytes payload = WriteAndRead(tmp, [&](TFileIO& f) {
            return c.mpeg2 ? WriteMpeg2SystemHeaderSector(f) : WriteMpeg1SystemHeaderSectors(f);
        });
        ASSERT_EQ(raw.size(), c.sectors * kRawSectorSize);
        EXPECT_EQ(counter, 150 + c.sectors);
        const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
        for (size_t s = 0; s < c.sectors; ++s) {
            SCOPED_TRACE(s);
            const uint8_t* sec = raw.data() + s * kRawSectorSize;
            EXPECT_EQ(Bytes(sec, sec + 12), Bytes(sync, sync + 12));
            // 00:02:00 and 00:02:01 in BCD, mode 2.
            EXPECT_EQ(Bytes(sec + 12, sec + 16), (Bytes{0x00, 0x02, uint8_t(s), 0x02}));
            EXPECT_EQ(Bytes(sec + 16, sec + 24), (Bytes{0x01, 0x01, 0x64, 0x7F, 0x01, 0x01, 0x64, 0x7F}));
            EXPECT_EQ(Bytes(sec + 24, sec + 24 + 2324),
                      Bytes(payload.begin() + s * 2324, payload.begin() + (s + 1) * 2324));
            const uint32_t edc = Edc(sec + 16, 2332);
            EXPECT_EQ(Bytes(sec + 2348, sec + 2352),
                      (Bytes{uint8_t(edc), uint8_t(edc >> 8), uint8_t(edc >> 16), uint8_t(edc >> 24)}));
        }
    }
}

TEST(SystemHeaderWrite, RawFormMatchesTheSectorEncoder) {
    uint8_t payload[kSystemHeaderPayloadSize];
    BuildMpeg2SystemHeaderPayload(payload);
    uint8_t ours[kRawSectorSize] = {};
    BuildSystemHeaderRawSector(ours, payload, 4000, true);

    uint8_t expected[kRawSectorSize] = {};
    const uint8_t sub[8] = {0x01, 0x01, 0x64, 0x7F, 0x01, 0x01, 0x64, 0x7F};
    std::copy(std::begin(sub), std::end(sub), expected + 16);
    std::copy(payload, payload + kSystemHeaderPayloadSize, expected + 24);
    ASSERT_EQ(BuildSector(expected, kSectorMode2Form2, 4000), 0);
    EXPECT_EQ(Bytes(ours, ours + kRawSectorSize), Bytes(expected, expected + kRawSectorSize));
}

TEST(SystemHeaderSubheader, FollowsTheStreamOfTheFirstPacket) {
    struct Case {
        bool mpeg2;
        size_t streamByte;
        uint8_t stream;
        uint8_t submode, coding;
    } cases[] = {
        {false, 15, 0xE0, 0x62, 0x0F}, {false, 15, 0xC0, 0x64, 0x7F}, {false, 15, 0xBB, 0x64, 0x7F},
        {true, 17, 0xE0, 0x62, 0x0F},  {true, 17, 0xBD, 0x64, 0x7F},
        {true, 15, 0xE0, 0x64, 0x7F},  // MPEG-2 reads byte 17, not 15
    };
    for (const Case& c : cases) {
        uint8_t payload[kSystemHeaderPayloadSize] = {};
        payload[c.streamByte] = c.stream;
        uint8_t sub[8];
        SetDataSubheader(sub, payload, c.mpeg2);
        EXPECT_EQ(Bytes(sub, sub + 8), (Bytes{1, 1, c.submode, c.coding, 1, 1, c.submode, c.coding}))
            << "stream " << int(c.stream) << " at " << c.streamByte;
    }
}

// A failing write is reported, not swallowed.
TEST(SystemHeaderWrite, ReportsAnOutputThatTakesNothing) {
    TFileIO closed;
    uint32_t counter = 150;
    EXPECT_FALSE(WriteMpeg1SystemHeaderSectors(closed));
    EXPECT_FALSE(WriteMpeg2SystemHeaderSector(closed, true, &counter));
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
}

// The sectors in front of a real clip must not disturb a decoder: it reads
// every frame of the clip and reports nothing.
TEST(SystemHeaderDecode, PrefixedClipsDecodeWithAllFrames) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe not installed";
    struct Case {
        const char* clip;
        bool mpeg2;
        const char* frames;
    } cases[] = {{"clip_pal_vcd.mpg", false, "25"}, {"clip_pal_svcd.mpg", true, "25"}};
    TempFolder tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clip);
        const Bytes clip = ReadAll(std::string(PELLMOR_FIXTURES) + "/" + c.clip);
        ASSERT_FALSE(clip.empty());
        const std::string path = tmp.Path(std::string("prefixed_") + c.clip);
        TFileIO out;
        ASSERT_EQ(out.OpenForWrite(path), 0);
        ASSERT_TRUE(c.mpeg2 ? WriteMpeg2SystemHeaderSector(out) : WriteMpeg1SystemHeaderSectors(out));
        ASSERT_EQ(out.Write(clip.data(), clip.size()), clip.size());
        ASSERT_EQ(out.Close(), 0);

        const std::string result =
            RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                "-of default=nw=1:nk=1 '" + path + "' 2>&1");
        EXPECT_EQ(result, std::string(c.frames) + "\n");
    }
}

}  // namespace
