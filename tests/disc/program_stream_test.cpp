// The pack reader and the one edit it makes: a continued piece's first video
// packet led by its sequence header, every packet header still true.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "disc/program_stream.h"

namespace {

constexpr size_t kSector = 2324;
constexpr uint8_t kMpeg2Pack[14] = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00, 0x6C, 0xF3, 0xF8};
constexpr uint8_t kMpeg1Pack[12] = {0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x1B, 0x83};
constexpr uint8_t kSequenceHeader[4] = {0x00, 0x00, 0x01, 0xB3};

struct Packet {
    uint8_t id;
    size_t bytes;  // the whole packet
};

// A pack of the given packets; video data is a pattern without start codes
// and carries a sequence header at sequenceAt (an offset in the sector) when
// that is not 0.
std::vector<uint8_t> Pack(bool mpeg2, const std::vector<Packet>& packets, size_t sequenceAt) {
    std::vector<uint8_t> s(kSector, 0);
    size_t pos = mpeg2 ? 14 : 12;
    std::memcpy(s.data(), mpeg2 ? kMpeg2Pack : kMpeg1Pack, pos);
    for (const Packet& p : packets) {
        uint8_t* q = s.data() + pos;
        q[0] = 0, q[1] = 0, q[2] = 1, q[3] = p.id;
        q[4] = uint8_t((p.bytes - 6) >> 8), q[5] = uint8_t(p.bytes - 6);
        size_t data = 6;
        if (p.id == 0xBB) {
            std::memset(q + 6, 0x80, p.bytes - 6);
            data = p.bytes;
        } else if (p.id >= 0xC0 && mpeg2) {
            const uint8_t header[13] = {0x81, 0xC0, 0x0A, 0x31, 0, 1, 0, 1, 0x11, 0, 1, 0, 1};
            std::memcpy(q + 6, header, sizeof header);
            data = 19;
        } else if (p.id >= 0xC0) {
            q[6] = 0x0F;
            data = 7;
        }
        for (size_t i = data; i < p.bytes; ++i) q[i] = uint8_t(i % 251 + 1);
        pos += p.bytes;
    }
    if (sequenceAt) std::memcpy(s.data() + sequenceAt, kSequenceHeader, 4);
    return s;
}

// The packets as their length fields chain them, checked by hand.
std::vector<std::pair<uint8_t, std::pair<size_t, size_t>>> Chain(const std::vector<uint8_t>& s, bool mpeg2) {
    std::vector<std::pair<uint8_t, std::pair<size_t, size_t>>> out;
    for (size_t pos = mpeg2 ? 14 : 12; pos + 6 <= kSector;) {
        if (s[pos] != 0 || s[pos + 1] != 0 || s[pos + 2] != 1) break;
        const size_t end = pos + 6 + (size_t(s[pos + 4]) << 8 | s[pos + 5]);
        out.push_back({s[pos + 3], {pos, end}});
        pos = end;
    }
    return out;
}

}  // namespace

TEST(ProgramStream, PacketsOfAPackFollowTheirLengths) {
    const std::vector<uint8_t> s = Pack(true, {{0xBB, 18}, {0xE0, 1000}, {0xC0, 1292}}, 0);
    const std::vector<TPackPacket> p = PacketsOfPack(s.data(), s.size());
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(PackHeaderBytes(s.data(), s.size()), 14u);
    EXPECT_EQ(p[0].id, 0xBB);
    EXPECT_EQ(p[1].begin, 32u);
    EXPECT_EQ(p[1].payload, 32u + 19);
    EXPECT_EQ(p[1].end, 1032u);
    EXPECT_EQ(p[2].end, kSector);
    const std::vector<uint8_t> m = Pack(false, {{0xE0, 2312}}, 0);
    EXPECT_EQ(PackHeaderBytes(m.data(), m.size()), 12u);
    ASSERT_EQ(PacketsOfPack(m.data(), m.size()).size(), 1u);
    EXPECT_EQ(PacketsOfPack(m.data(), m.size())[0].payload, 19u);
    // Not a pack: nothing.
    EXPECT_TRUE(PacketsOfPack(m.data() + 1, m.size() - 1).empty());
}

TEST(ProgramStream, SequenceHeaderLeadsItsVideoPacketOnlyWithinThatPacket) {
    const struct Case {
        const char* name;
        bool mpeg2;
        std::vector<Packet> packets;
        size_t sequenceAt;
        bool leads;  // the video data begins with the header afterwards
        bool changed;
    } cases[] = {
        // A system header in front moves the video packet to 32: the header
        // at 2270 goes to that packet's data start, not to a fixed offset.
        {"behind a system header", true, {{0xBB, 18}, {0xE0, 2292}}, 2270, true, true},
        {"video packet first", true, {{0xE0, 2310}}, 619, true, true},
        {"video then audio", true, {{0xE0, 1200}, {0xC0, 1110}}, 800, true, true},
        {"MPEG-1 pack", false, {{0xE0, 2312}}, 700, true, true},
        {"already leading", true, {{0xE0, 2310}}, 14 + 19, true, false},
        {"too close for a padding packet", true, {{0xE0, 2310}}, 14 + 19 + 4, false, false},
        {"in a later video packet", true, {{0xE0, 1000}, {0xE0, 1310}}, 1500, false, false},
        {"in no packet", true, {{0xBB, 18}, {0xBE, 2292}}, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> before = Pack(c.mpeg2, c.packets, c.sequenceAt);
        std::vector<uint8_t> s = before;
        EXPECT_EQ(LeadVideoWithSequenceHeader(s.data(), s.size()), c.leads);
        if (!c.changed) {
            EXPECT_EQ(s, before);
            continue;
        }
        ASSERT_NE(s, before);
        const auto was = Chain(before, c.mpeg2), now = Chain(s, c.mpeg2);
        // Every packet header still chains to the sector's end.
        ASSERT_FALSE(now.empty());
        EXPECT_EQ(now.back().second.second, kSector);
        size_t video = 0;
        while (was[video].first != 0xE0) ++video;
        const size_t begin = was[video].second.first, end = was[video].second.second;
        const size_t data = begin + (c.mpeg2 ? 19 : 7);
        // In front of the video data (but for the packet's length) and behind
        // the packet's old end, nothing moved.
        EXPECT_TRUE(std::equal(s.begin(), s.begin() + long(begin + 4), before.begin()));
        EXPECT_TRUE(std::equal(s.begin() + long(begin + 6), s.begin() + long(data), before.begin() + long(begin + 6)));
        EXPECT_TRUE(std::equal(s.begin() + long(end), s.end(), before.begin() + long(end)));
        // The video data now is its old data from the header on, then a
        // padding packet fills the packet's old room.
        ASSERT_EQ(now[video].first, 0xE0);
        const size_t shorter = now[video].second.second;
        EXPECT_EQ(shorter - data, end - c.sequenceAt);
        EXPECT_TRUE(std::equal(s.begin() + long(data), s.begin() + long(shorter), before.begin() + long(c.sequenceAt)));
        ASSERT_GT(now.size(), video + 1);
        EXPECT_EQ(now[video + 1].first, 0xBE);
        EXPECT_EQ(now[video + 1].second, std::make_pair(shorter, end));
        for (size_t i = shorter + 6; i < end; ++i) ASSERT_EQ(s[i], 0xFF) << i;
    }
}
