#include "disc/sector_encoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Sector = std::array<uint8_t, kRawSectorSize>;

// Slow, independent references: bit-serial EDC and shift-and-add field products.
uint32_t BitwiseEdc(const uint8_t* p, size_t n) {
    uint32_t r = 0;
    for (size_t i = 0; i < n; ++i) {
        r ^= p[i];
        for (int b = 0; b < 8; ++b) r = (r & 1) ? (r >> 1) ^ 0xD8018001u : r >> 1;
    }
    return r;
}

uint8_t GfMulRef(uint8_t a, uint8_t b, unsigned poly, unsigned top) {
    unsigned r = 0, x = a;
    for (; b; b >>= 1) {
        if (b & 1) r ^= x;
        x <<= 1;
        if (x & top) x ^= poly;
    }
    return uint8_t(r);
}
uint8_t Mul256(uint8_t a, uint8_t b) { return GfMulRef(a, b, 0x11D, 0x100); }
uint8_t Mul64(uint8_t a, uint8_t b) { return GfMulRef(a, b, 0x43, 0x40); }

// Sum over v[i] * alpha^(j (n-1-i)); zero for every j < roots in a codeword.
template <typename Mul>
uint8_t Syndrome(const std::vector<uint8_t>& v, int j, Mul mul) {
    uint8_t s = 0;
    const int n = int(v.size());
    for (int i = 0; i < n; ++i) {
        uint8_t w = 1;
        for (int e = 0; e < j * (n - 1 - i); ++e) w = mul(w, 2);
        s ^= mul(v[i], w);
    }
    return s;
}

// Every P column and Q diagonal of the product code over bytes 12-2351.
void ExpectProductCodeHolds(const uint8_t* sector) {
    const uint8_t* d = sector + 12;
    for (int b = 0; b < 2; ++b) {
        for (int c = 0; c < 43; ++c) {
            std::vector<uint8_t> v;
            for (int r = 0; r < 26; ++r) v.push_back(d[2 * (43 * r + c) + b]);
            ASSERT_EQ(Syndrome(v, 0, Mul256), 0) << "P column " << c << " byte " << b;
            ASSERT_EQ(Syndrome(v, 1, Mul256), 0) << "P column " << c << " byte " << b;
        }
        for (int dg = 0; dg < 26; ++dg) {
            std::vector<uint8_t> v;
            for (int k = 0; k < 43; ++k) v.push_back(d[2 * ((43 * dg + 44 * k) % 1118) + b]);
            v.push_back(d[2 * (1118 + dg) + b]);
            v.push_back(d[2 * (1144 + dg) + b]);
            ASSERT_EQ(Syndrome(v, 0, Mul256), 0) << "Q diagonal " << dg << " byte " << b;
            ASSERT_EQ(Syndrome(v, 1, Mul256), 0) << "Q diagonal " << dg << " byte " << b;
        }
    }
}

Sector RandomSector(uint32_t seed) {
    std::mt19937 rng(seed);
    Sector s;
    for (auto& b : s) b = uint8_t(rng());
    return s;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

const uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};

std::vector<uint8_t> ReadFixture(const std::string& name) {
    std::ifstream f(std::string(PELLMOR_FIXTURES) + "/sectors/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

int FromBcd(uint8_t b) { return (b >> 4) * 10 + (b & 15); }

}  // namespace

// Sectors of a vcdimager image: volume descriptors, INFO.VCD, empty pregap
// sectors and MPEG video and audio sectors. Each is rebuilt from nothing but
// its subheader and payload, over a buffer full of stale bytes and a first
// build at the wrong address.
TEST(BuildSector, ReproducesVcdimagerSectors) {
    for (int lsn : {0, 16, 17, 150, 300, 450, 480, 482, 627, 672}) {
        char name[32];
        std::snprintf(name, sizeof name, "vcd_lsn%04d.raw", lsn);
        SCOPED_TRACE(name);
        std::vector<uint8_t> want = ReadFixture(name);
        ASSERT_EQ(want.size(), kRawSectorSize);
        ASSERT_EQ(want[15], 2);
        const uint32_t address = uint32_t(lsn) + 150;
        ASSERT_EQ(uint32_t(FromBcd(want[12]) * 4500 + FromBcd(want[13]) * 75 + FromBcd(want[14])), address);

        const bool form2 = (want[18] & 0x20) != 0;
        const size_t payloadEnd = form2 ? 2348 : 2072;
        Sector s;
        s.fill(0xA5);
        std::memcpy(s.data() + 16, want.data() + 16, payloadEnd - 16);
        const int type = form2 ? kSectorMode2Form2 : kSectorMode2Form1;
        ASSERT_EQ(BuildSector(s.data(), type, address + 1000), 0);
        ASSERT_EQ(BuildSector(s.data(), type, address), 0);
        EXPECT_EQ(std::memcmp(s.data(), want.data(), kRawSectorSize), 0);
        if (!form2) ExpectProductCodeHolds([&] {
            Sector z = s;
            std::memset(z.data() + 12, 0, 4);
            return z;
        }().data());
    }
}

// Every sector of the VCD and SVCD images of the shared fixtures.
TEST(BuildSector, ReproducesWholeVcdimagerImages) {
    for (const char* image : {"vcd_pal3.bin", "vcd_ntsc.bin", "svcd_pal.bin"}) {
        SCOPED_TRACE(image);
        std::ifstream f(std::string(PELLMOR_FIXTURES) + "/" + image, std::ios::binary);
        ASSERT_TRUE(f) << "missing fixture";
        std::vector<uint8_t> all{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        ASSERT_GT(all.size(), 0u);
        ASSERT_EQ(all.size() % kRawSectorSize, 0u);
        int form1 = 0, form2 = 0;
        for (size_t lsn = 0; lsn < all.size() / kRawSectorSize; ++lsn) {
            const uint8_t* want = all.data() + lsn * kRawSectorSize;
            const bool isForm2 = (want[18] & 0x20) != 0;
            const size_t payloadEnd = isForm2 ? 2348 : 2072;
            Sector s{};
            std::memcpy(s.data() + 16, want + 16, payloadEnd - 16);
            BuildSector(s.data(), isForm2 ? kSectorMode2Form2 : kSectorMode2Form1, uint32_t(lsn + 150));
            ASSERT_EQ(std::memcmp(s.data(), want, kRawSectorSize), 0) << "sector " << lsn;
            ++(isForm2 ? form2 : form1);
        }
        EXPECT_GT(form1, 100);
        EXPECT_GT(form2, 100);
    }
}

TEST(BuildSector, Mode1CoversSyncAndHeaderWithProductCode) {
    Sector s = RandomSector(1);
    ASSERT_EQ(BuildSector(s.data(), kSectorMode1, 123456), 0);
    EXPECT_EQ(std::memcmp(s.data(), kSync, 12), 0);
    EXPECT_EQ(s[15], 1);
    EXPECT_EQ(Le32(s.data() + 2064), BitwiseEdc(s.data(), 2064));
    for (int i = 2068; i < 2076; ++i) EXPECT_EQ(s[i], 0) << i;
    ExpectProductCodeHolds(s.data());

    // One changed data byte moves the EDC and breaks the old parity.
    Sector t = s;
    t[1000] ^= 0x40;
    ASSERT_EQ(BuildSector(t.data(), kSectorMode1, 123456), 0);
    EXPECT_NE(Le32(t.data() + 2064), Le32(s.data() + 2064));
    EXPECT_NE(std::memcmp(t.data() + 2076, s.data() + 2076, 276), 0);
    ExpectProductCodeHolds(t.data());
}

TEST(BuildSector, Form1ParityIgnoresHeaderAndEdcSkipsIt) {
    Sector s = RandomSector(2);
    ASSERT_EQ(BuildSector(s.data(), kSectorMode2Form1, 4500), 0);
    EXPECT_EQ(Le32(s.data() + 2072), BitwiseEdc(s.data() + 16, 2056));
    Sector z = s;
    std::memset(z.data() + 12, 0, 4);
    ExpectProductCodeHolds(z.data());

    // Another address changes the header only.
    Sector t = s;
    ASSERT_EQ(BuildSector(t.data(), kSectorMode2Form1, 9999), 0);
    EXPECT_NE(std::memcmp(t.data() + 12, s.data() + 12, 4), 0);
    EXPECT_EQ(std::memcmp(t.data() + 16, s.data() + 16, kRawSectorSize - 16), 0);
}

TEST(BuildSector, Form2ZeroPayloadAtFirstSector) {
    Sector s{};
    const uint8_t sub[8] = {1, 1, 0x62, 0x0F, 1, 1, 0x62, 0x0F};
    std::memcpy(s.data() + 16, sub, 8);
    ASSERT_EQ(BuildSector(s.data(), kSectorMode2Form2, 150), 0);
    EXPECT_EQ(std::memcmp(s.data(), kSync, 12), 0);
    const uint8_t header[4] = {0x00, 0x02, 0x00, 0x02};
    EXPECT_EQ(std::memcmp(s.data() + 12, header, 4), 0);
    EXPECT_EQ(std::memcmp(s.data() + 16, sub, 8), 0);
    for (int i = 24; i < 2348; ++i) ASSERT_EQ(s[i], 0) << i;
    EXPECT_EQ(Le32(s.data() + 2348), BitwiseEdc(s.data() + 16, 2332));
    EXPECT_NE(Le32(s.data() + 2348), 0u);
}

TEST(BuildSector, Mode0AndPlainMode2) {
    Sector s = RandomSector(3);
    ASSERT_EQ(BuildSector(s.data(), kSectorMode0, 150), 0);
    EXPECT_EQ(s[15], 0);
    for (size_t i = 16; i < kRawSectorSize; ++i) ASSERT_EQ(s[i], 0) << i;

    Sector m2 = RandomSector(4), before = m2;
    ASSERT_EQ(BuildSector(m2.data(), kSectorMode2, 151), 0);
    EXPECT_EQ(m2[15], 2);
    EXPECT_EQ(std::memcmp(m2.data() + 16, before.data() + 16, kRawSectorSize - 16), 0);
}

TEST(BuildSector, UnknownTypeWritesOnlyTheSync) {
    for (int type : {5, -1, 100}) {
        Sector s = RandomSector(5), before = s;
        EXPECT_EQ(BuildSector(s.data(), type, 150), -1);
        EXPECT_EQ(std::memcmp(s.data(), kSync, 12), 0);
        EXPECT_EQ(std::memcmp(s.data() + 12, before.data() + 12, kRawSectorSize - 12), 0);
    }
}

TEST(SetSectorHeader, BcdAddressAndModeByte) {
    struct Case {
        uint32_t address;
        int type;
        uint8_t want[4];
        int result;
    };
    const Case cases[] = {
        {150, kSectorMode2Form2, {0x00, 0x02, 0x00, 0x02}, 0},
        {4499, kSectorMode1, {0x00, 0x59, 0x74, 0x01}, 0},
        {4500, kSectorMode0, {0x01, 0x00, 0x00, 0x00}, 0},
        {449999, kSectorMode2, {0x99, 0x59, 0x74, 0x02}, 0},
        {333000 + 150, kSectorMode2Form1, {0x74, 0x02, 0x00, 0x02}, 0},
        {76, 9, {0x00, 0x01, 0x01, 0xEE}, -1},  // address written, mode byte left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        Sector s;
        s.fill(0xEE);
        EXPECT_EQ(SetSectorHeader(s.data(), c.type, c.address), c.result);
        EXPECT_EQ(std::memcmp(s.data() + 12, c.want, 4), 0)
            << std::hex << int(s[12]) << " " << int(s[13]) << " " << int(s[14]) << " " << int(s[15]);
    }
}

TEST(ComputeEdc, MatchesTheBitSerialCode) {
    const uint8_t one = 0x01, top = 0x80;
    EXPECT_EQ(ComputeEdc(&one, 0, 0), 0x90910101u);
    EXPECT_EQ(ComputeEdc(&top, 0, 0), 0xD8018001u);
    Sector s = RandomSector(6);
    // Every alignment and a range of lengths around the 8-byte steps.
    for (size_t first = 0; first < 9; ++first)
        for (size_t len = 1; len < 40; ++len)
            ASSERT_EQ(ComputeEdc(s.data(), first, first + len - 1), BitwiseEdc(s.data() + first, len))
                << first << "+" << len;
    EXPECT_EQ(ComputeEdc(s.data(), 0, kRawSectorSize - 1), BitwiseEdc(s.data(), kRawSectorSize));
}

TEST(EncodeParity, WritesOnlyItsOwnBytes) {
    Sector s = RandomSector(7), before = s;
    EncodeParityP(s.data() + 12);
    EXPECT_EQ(std::memcmp(s.data(), before.data(), 2076), 0);
    EXPECT_EQ(std::memcmp(s.data() + 2248, before.data() + 2248, 104), 0);
    Sector q = s;
    EncodeParityQ(q.data() + 12);
    EXPECT_EQ(std::memcmp(q.data(), s.data(), 2248), 0);
    ExpectProductCodeHolds(q.data());
}

TEST(ScrambleSector, UsesTheEcma130Sequence) {
    Sector s{};
    std::memcpy(s.data(), kSync, 12);
    ScrambleSector(s.data());
    // Undo the byte exchange to read the sequence in order.
    Sector seq;
    for (size_t i = 0; i < kRawSectorSize; i += 2) {
        seq[i] = s[i + 1];
        seq[i + 1] = s[i];
    }
    EXPECT_EQ(std::memcmp(seq.data(), kSync, 12), 0);
    const uint8_t want[] = {0x01, 0x80, 0x00, 0x60, 0x00, 0x28, 0x00, 0x1E, 0x80, 0x08, 0x60, 0x06,
                            0xA8, 0x02, 0xFE, 0x81, 0x80, 0x60, 0x60, 0x28, 0x28, 0x1E, 0x9E, 0x88};
    EXPECT_EQ(std::memcmp(seq.data() + 12, want, sizeof want), 0);

    // x^15 + x + 1 all the way: bit n = bit (n-15) xor bit (n-14).
    auto bit = [&](size_t n) { return (seq[12 + n / 8] >> (n % 8)) & 1; };
    for (size_t n = 15; n < 2340 * 8; ++n) ASSERT_EQ(bit(n), bit(n - 15) ^ bit(n - 14)) << n;

    // The sequence is added to whatever the sector holds.
    Sector data = RandomSector(8), scrambled = data;
    ScrambleSector(scrambled.data());
    for (size_t i = 0; i < kRawSectorSize; ++i) ASSERT_EQ(scrambled[i ^ 1], data[i] ^ (i < 12 ? 0 : seq[i])) << i;
}

namespace {

struct Layer1Run {
    std::vector<uint8_t> input, frames, output;
};

// calls x 98 frames through encoder and decoder with fresh delay lines.
Layer1Run RunLayer1(unsigned stages, int calls, uint32_t seed) {
    ResetLayer1();
    std::mt19937 rng(seed);
    Layer1Run r;
    r.input.resize(size_t(calls) * kLayer1Frames * 24);
    for (auto& b : r.input) b = uint8_t(rng());
    r.frames.resize(size_t(calls) * kLayer1Frames * 32);
    r.output.resize(r.input.size());
    for (int c = 0; c < calls; ++c)
        EncodeLayer1(r.input.data() + c * kLayer1Frames * 24, r.frames.data() + c * kLayer1Frames * 32, stages);
    for (int c = 0; c < calls; ++c)
        DecodeLayer1(r.frames.data() + c * kLayer1Frames * 32, r.output.data() + c * kLayer1Frames * 24, stages);
    return r;
}

std::vector<uint8_t> UninvertedFrame(const uint8_t* f) {
    std::vector<uint8_t> v(f, f + 32);
    for (int i : {12, 13, 14, 15, 28, 29, 30, 31}) v[i] ^= 0xFF;
    return v;
}

}  // namespace

TEST(Layer1, FramesCarryDataAndInvertedC1C2Parity) {
    Layer1Run r = RunLayer1(0, 1, 11);
    for (int f = 0; f < kLayer1Frames; ++f) {
        SCOPED_TRACE(f);
        const uint8_t* in = r.input.data() + 24 * f;
        std::vector<uint8_t> v = UninvertedFrame(r.frames.data() + 32 * f);
        EXPECT_EQ(std::memcmp(v.data(), in, 12), 0);
        EXPECT_EQ(std::memcmp(v.data() + 16, in + 12, 12), 0);
        std::vector<uint8_t> c2(v.begin(), v.begin() + 28);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(Syndrome(v, j, Mul256), 0) << "C1 root " << j;
            EXPECT_EQ(Syndrome(c2, j, Mul256), 0) << "C2 root " << j;
        }
        // Without the inversion the frame would not be a codeword.
        std::vector<uint8_t> raw(r.frames.data() + 32 * f, r.frames.data() + 32 * f + 32);
        EXPECT_NE(Syndrome(raw, 0, Mul256) | Syndrome(raw, 1, Mul256), 0);
    }
}

TEST(Layer1, DecoderCopiesBytes0To23AndCorrectsNothing) {
    Layer1Run r = RunLayer1(0, 1, 12);
    for (int f = 0; f < kLayer1Frames; ++f) {
        const uint8_t* in = r.input.data() + 24 * f;
        const uint8_t* out = r.output.data() + 24 * f;
        std::vector<uint8_t> v = UninvertedFrame(r.frames.data() + 32 * f);
        ASSERT_EQ(std::memcmp(out, in, 12), 0) << f;
        ASSERT_EQ(std::memcmp(out + 12, v.data() + 12, 4), 0) << f;  // C2 parity left in place
        ASSERT_EQ(std::memcmp(out + 16, in + 12, 8), 0) << f;
    }
    // A damaged byte comes out as it went in.
    std::vector<uint8_t> frames = r.frames;
    frames[32 * 5 + 3] ^= 0x5A;
    std::vector<uint8_t> out(kLayer1Frames * 24);
    ResetLayer1();
    DecodeLayer1(frames.data(), out.data(), 0);
    EXPECT_EQ(out[24 * 5 + 3], uint8_t(r.input[24 * 5 + 3] ^ 0x5A));
    EXPECT_EQ(DecodeLayer1C1(frames.data()), 0);
    EXPECT_EQ(DecodeLayer1C2(frames.data()), 0);
}

TEST(Layer1, DelayStagesAreUndoneByTheDecoder) {
    struct Case {
        unsigned stages;
        int latency;
        bool permuted;
    };
    const Case cases[] = {
        {kL1InputDelay, 2, false},
        {kL1InterleaveDelay, 108, false},
        {kL1OutputDelay, 1, false},
        {kL1InputDelay | kL1InterleaveDelay | kL1OutputDelay, 111, false},
        {kL1InputDelay | kL1Permute | kL1InterleaveDelay | kL1OutputDelay, 111, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stages);
        Layer1Run r = RunLayer1(c.stages, 3, 13 + c.stages);
        const int frames = 3 * kLayer1Frames;
        for (int f = c.latency; f < frames; ++f) {
            const uint8_t* in = r.input.data() + 24 * (f - c.latency);
            const uint8_t* out = r.output.data() + 24 * f;
            if (c.permuted) {
                // The parity left in the middle shifts the odd words; the even
                // words come back where they were.
                for (int w = 0; w < 12; w += 2) ASSERT_EQ(std::memcmp(out + 2 * w, in + 2 * w, 2), 0) << f;
            } else {
                ASSERT_EQ(std::memcmp(out, in, 12), 0) << f;
                ASSERT_EQ(std::memcmp(out + 16, in + 12, 8), 0) << f;
            }
        }
    }
}

namespace {

struct SubRun {
    std::vector<uint8_t> input, packs, output;
};

SubRun RunSubchannel(unsigned stages, int calls, uint32_t seed) {
    ResetSubchannel();
    std::mt19937 rng(seed);
    SubRun r;
    r.input.resize(size_t(calls) * kSubchannelPacks * 18);
    for (auto& b : r.input) b = uint8_t(rng());
    r.packs.resize(size_t(calls) * kSubchannelPacks * 24);
    r.output.resize(r.input.size());
    for (int c = 0; c < calls; ++c) {
        EXPECT_EQ(EncodeSubchannel(r.input.data() + c * 72, r.packs.data() + c * 96, stages), 0);
        EXPECT_EQ(DecodeSubchannel(r.packs.data() + c * 96, r.output.data() + c * 72, stages), 0);
    }
    return r;
}

}  // namespace

TEST(Subchannel, PacksSatisfyTheirQAndPChecks) {
    SubRun r = RunSubchannel(0, 2, 21);
    for (int p = 0; p < 2 * kSubchannelPacks; ++p) {
        SCOPED_TRACE(p);
        const uint8_t* in = r.input.data() + 18 * p;
        std::vector<uint8_t> s(r.packs.data() + 24 * p, r.packs.data() + 24 * p + 24);
        for (uint8_t v : s) ASSERT_EQ(v & 0xC0, 0);
        EXPECT_EQ(s[0], in[0] & 0x3F);
        EXPECT_EQ(s[1], in[1] & 0x3F);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(s[4 + i], in[2 + i] & 0x3F);
        std::vector<uint8_t> q(s.begin(), s.begin() + 4);
        for (int j = 0; j < 2; ++j) EXPECT_EQ(Syndrome(q, j, Mul64), 0) << "Q root " << j;
        for (int j = 0; j < 4; ++j) EXPECT_EQ(Syndrome(s, j, Mul64), 0) << "P root " << j;
    }
}

TEST(Subchannel, DecoderReturnsWhatTheEncoderTook) {
    struct Case {
        unsigned stages;
        int latency;
    };
    for (const Case& c : {Case{0, 0}, Case{kSubExchange, 0}, Case{kSubInterleave, 7},
                          Case{kSubExchange | kSubInterleave, 7}}) {
        SCOPED_TRACE(c.stages);
        SubRun r = RunSubchannel(c.stages, 5, 30 + c.stages);
        for (int p = c.latency; p < 5 * kSubchannelPacks; ++p)
            for (int i = 0; i < 18; ++i)
                ASSERT_EQ(r.output[18 * p + i], r.input[18 * (p - c.latency) + i] & 0x3F) << p << ":" << i;
    }
    // The exchange really moves symbols: data symbol 18 is sent as symbol 1.
    SubRun x = RunSubchannel(kSubExchange, 1, 40);
    EXPECT_EQ(x.packs[1], x.input[16] & 0x3F);
    EXPECT_EQ(x.packs[18], x.input[1] & 0x3F);
}

TEST(Subchannel, RefusesOneBufferForInputAndOutput) {
    std::vector<uint8_t> buf(96, 7), before = buf;
    EXPECT_EQ(EncodeSubchannel(buf.data(), buf.data(), 0), -1);
    EXPECT_EQ(DecodeSubchannel(buf.data(), buf.data(), 0), -1);
    EXPECT_EQ(buf, before);
}

TEST(DecodingStubs, ChangeNothing) {
    Sector s = RandomSector(50), before = s;
    EXPECT_EQ(DecodeParityP(s.data() + 12), 0);
    EXPECT_EQ(DecodeParityQ(s.data() + 12), 0);
    EXPECT_EQ(DecodeSector(s.data()), 0);
    EXPECT_EQ(s, before);
    EXPECT_EQ(SetDefaultSectorType(kSectorMode2Form1), 0);
    EXPECT_EQ(SetDefaultSectorType(5), -1);
}
