#include "disc/program_stream.h"

#include <cstring>

namespace {

bool StartCodeAt(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

bool HasPesHeader(uint8_t id) { return id == 0xBD || (id >= 0xC0 && id <= 0xEF); }

// Where the data of the packet at p (length bytes after the length field)
// begins, or 0 when its header does not fit.
size_t PesDataOffset(const uint8_t* p, size_t whole) {
    size_t q = 6;
    if (q >= whole) return 0;
    if ((p[q] & 0xC0) == 0x80) {  // MPEG-2: flags, header data length, fields
        if (q + 3 > whole) return 0;
        q += 3 + p[q + 2];
        return q <= whole ? q : 0;
    }
    // MPEG-1: stuffing, the STD buffer field, then PTS, PTS and DTS, or 0F.
    for (int n = 0; q < whole && p[q] == 0xFF && n < 16; ++n) ++q;
    if (q < whole && (p[q] & 0xC0) == 0x40) q += 2;
    if (q >= whole) return 0;
    if ((p[q] & 0xF0) == 0x20) q += 5;
    else if ((p[q] & 0xF0) == 0x30) q += 10;
    else if (p[q] == 0x0F) q += 1;
    else return 0;
    return q <= whole ? q : 0;
}

}  // namespace

size_t PackHeaderBytes(const uint8_t* p, size_t n) {
    if (n < 12 || !StartCodeAt(p) || p[3] != 0xBA) return 0;
    if ((p[4] & 0xF0) == 0x20) return 12;
    if ((p[4] & 0xC0) == 0x40 && n >= 14) return 14 + (p[13] & 0x07);
    return 0;
}

std::vector<TPackPacket> PacketsOfPack(const uint8_t* p, size_t n) {
    std::vector<TPackPacket> out;
    size_t pos = PackHeaderBytes(p, n);
    if (pos == 0) return out;
    while (pos + 6 <= n && StartCodeAt(p + pos)) {
        const uint8_t id = p[pos + 3];
        if (id < 0xBB) break;  // a pack or end code, or not a packet
        const size_t whole = 6 + ((size_t(p[pos + 4]) << 8) | p[pos + 5]);
        if (pos + whole > n) break;
        TPackPacket packet;
        packet.id = id;
        packet.begin = pos;
        packet.end = pos + whole;
        packet.payload = packet.end;
        if (HasPesHeader(id)) {
            if (const size_t data = PesDataOffset(p + pos, whole)) packet.payload = pos + data;
        } else if (id != 0xBB) {
            packet.payload = pos + 6;
        }
        out.push_back(packet);
        pos += whole;
    }
    return out;
}

bool LeadVideoWithSequenceHeader(uint8_t* p, size_t n) {
    static constexpr uint8_t kSequenceHeader[4] = {0x00, 0x00, 0x01, 0xB3};
    for (const TPackPacket& v : PacketsOfPack(p, n)) {
        if (v.id < 0xE0 || v.id > 0xEF) continue;
        // The first video packet only: a later one is not where a player starts.
        if (v.payload + 4 > v.end) return false;
        const uint8_t* found = nullptr;
        for (const uint8_t* q = p + v.payload; q + 4 <= p + v.end; ++q) {
            if (std::memcmp(q, kSequenceHeader, 4) == 0) {
                found = q;
                break;
            }
        }
        if (!found) return false;
        const size_t at = size_t(found - p);
        const size_t gap = at - v.payload;
        if (gap == 0) return true;
        if (gap < 6) return false;  // no room for a padding packet
        std::memmove(p + v.payload, p + at, v.end - at);
        const size_t shorter = v.end - gap;
        const size_t length = shorter - v.begin - 6;
        p[v.begin + 4] = uint8_t(length >> 8);
        p[v.begin + 5] = uint8_t(length);
        uint8_t* pad = p + shorter;
        pad[0] = 0x00;
        pad[1] = 0x00;
        pad[2] = 0x01;
        pad[3] = 0xBE;
        pad[4] = uint8_t((gap - 6) >> 8);
        pad[5] = uint8_t(gap - 6);
        std::memset(pad + 6, 0xFF, gap - 6);
        return true;
    }
    return false;
}
