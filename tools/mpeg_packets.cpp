#include "tools/mpeg_packets.h"

namespace {

bool StartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// Walks an MPEG-1 packet header from `at` (just after the length field):
// stuffing, the STD buffer field, then the time stamps.
void WalkMpeg1Header(const uint8_t* s, size_t end, PsPacket& pk, size_t at) {
    while (at < end && s[at] == 0xFF) ++at;
    if (at < end && (s[at] & 0xC0) == 0x40) at += 2;
    if (at >= end) {
        pk.payload = end;
        return;
    }
    const uint8_t b = s[at];
    if ((b & 0xF0) == 0x20) {
        if (at + 5 <= end) pk.ptsAt = static_cast<int>(at);
        at += 5;
    } else if ((b & 0xF0) == 0x30) {
        if (at + 10 <= end) {
            pk.ptsAt = static_cast<int>(at);
            pk.dtsAt = static_cast<int>(at + 5);
        }
        at += 10;
    } else {
        at += 1;  // 0000 1111: no time stamp
    }
    pk.payload = at < end ? at : end;
}

void WalkMpeg2Header(const uint8_t* s, size_t end, PsPacket& pk, size_t at) {
    if (at + 3 > end || (s[at] & 0xC0) != 0x80) {
        pk.payload = at < end ? at : end;
        return;
    }
    const uint8_t flags = s[at + 1];
    const size_t data = at + 3;
    const size_t payload = data + s[at + 2];
    if ((flags & 0x80) && data + 5 <= end && data + 5 <= payload) pk.ptsAt = static_cast<int>(data);
    if ((flags & 0xC0) == 0xC0 && data + 10 <= end && data + 10 <= payload) pk.dtsAt = static_cast<int>(data + 5);
    pk.payload = payload < end ? payload : end;
}

bool HasPesHeader(uint8_t id) {
    // Program stream map, padding, private stream 2 and the directory carry
    // no PES header fields.
    return id != 0xBC && id != 0xBE && id != 0xBF && id != 0xF0 && id != 0xF1 && id != 0xFF && id != 0xF2 &&
           id != 0xF8;
}

}  // namespace

const PsPacket* PsSector::FirstOf(bool video) const {
    for (const PsPacket& p : packets)
        if (video ? p.IsVideo() : p.IsAudio()) return &p;
    return nullptr;
}

PsSector ParsePsSector(const uint8_t* s, size_t n) {
    PsSector out;
    if (n < 12 || !StartCode(s) || s[3] != 0xBA) return out;
    size_t at = 0;
    if ((s[4] & 0xF0) == 0x20) {
        out.packKind = 1;
        out.muxRate = ((uint32_t{s[9]} & 0x7F) << 15) | (uint32_t{s[10]} << 7) | (uint32_t{s[11]} >> 1);
        at = 12;
    } else if ((s[4] & 0xC0) == 0x40 && n >= 14) {
        out.packKind = 2;
        out.muxRate = (uint32_t{s[10]} << 14) | (uint32_t{s[11]} << 6) | (uint32_t{s[12]} >> 2);
        at = 14 + (s[13] & 0x07);
    } else {
        return out;
    }
    while (at + 6 <= n && StartCode(s + at) && s[at + 3] >= 0xBB) {
        PsPacket pk;
        pk.streamId = s[at + 3];
        pk.start = at;
        const size_t length = (size_t{s[at + 4]} << 8) | s[at + 5];
        pk.end = at + 6 + length < n ? at + 6 + length : n;
        pk.payload = at + 6;
        if (pk.streamId != 0xBB && HasPesHeader(pk.streamId)) {
            if (out.packKind == 1)
                WalkMpeg1Header(s, pk.end, pk, at + 6);
            else
                WalkMpeg2Header(s, pk.end, pk, at + 6);
        }
        out.packets.push_back(pk);
        at = pk.end;
    }
    return out;
}

size_t MpegAudioFrameLength(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
    const int version = (p[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (p[1] >> 1) & 3;    // 3 layer I, 2 layer II, 1 layer III
    const int rateIndex = p[2] >> 4;
    const int freqIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 || freqIndex == 3) return 0;
    static const int kRates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int kFreqs[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int layerIndex = 3 - layer;  // 0 I, 1 II, 2 III
    const int kbps = kRates[mpeg1 ? 0 : 1][layerIndex][rateIndex];
    int freq = kFreqs[freqIndex];
    if (version == 2) freq /= 2;
    if (version == 0) freq /= 4;
    if (layerIndex == 0) return static_cast<size_t>((12 * kbps * 1000 / freq + padding) * 4);
    const int factor = (layerIndex == 2 && !mpeg1) ? 72 : 144;
    return static_cast<size_t>(factor * kbps * 1000 / freq + padding);
}
