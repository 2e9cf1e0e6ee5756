// The packets of one program-stream sector (a pack header and the packets
// after it), as the GOP locator and the clip writer need them: where each
// packet's header and payload lie and where its time stamps stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PsPacket {
    uint8_t streamId = 0;
    size_t start = 0;     // the 00 00 01 of its start code
    size_t payload = 0;   // first byte after the packet header
    size_t end = 0;       // one past its last byte (within the sector)
    int ptsAt = -1;       // offset of the 5-byte PTS field, or -1
    int dtsAt = -1;       // offset of the DTS field, or -1
    bool IsVideo() const { return streamId >= 0xE0 && streamId <= 0xEF; }
    bool IsAudio() const { return streamId >= 0xC0 && streamId <= 0xDF; }
};

struct PsSector {
    int packKind = 0;  // 0 no pack header, 1 MPEG-1, 2 MPEG-2
    size_t scrAt = 4;  // the SCR field of the pack header
    uint32_t muxRate = 0;  // in units of 50 bytes a second
    std::vector<PsPacket> packets;
    const PsPacket* FirstOf(bool video) const;
};

// Splits a sector of `length` bytes. Packets that run past its end are cut
// at the end; anything that does not read as a packet ends the list.
PsSector ParsePsSector(const uint8_t* sector, size_t length);

// Length in bytes of the MPEG audio frame whose header starts at p (0 when
// the four bytes are no valid frame header).
size_t MpegAudioFrameLength(const uint8_t* p);
