// The packs of an MPEG program stream as 2324-byte sectors hold them: the
// pack header, the packets after it with their lengths, and where a PES
// packet's data begins. Layers that edit a pack go through here so that an
// edit never leaves a packet header that no longer matches its packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TPackPacket {
    uint8_t id = 0;      // stream id
    size_t begin = 0;    // its 00 00 01 start code
    size_t end = 0;      // just past its last byte, by its length field
    size_t payload = 0;  // first data byte after the PES header; end when it cannot be told
};

// Bytes of the pack header at p (MPEG-2 stuffing included), or 0 when p does
// not begin with one.
size_t PackHeaderBytes(const uint8_t* p, size_t n);

// The packets that follow the pack header, as far as they lie whole within
// the n bytes; empty when p is not a pack.
std::vector<TPackPacket> PacketsOfPack(const uint8_t* p, size_t n);

// Puts the sequence header that lies in the pack's first video packet at the
// start of that packet's data: the bytes before it (the tail of a picture
// whose start is elsewhere) are dropped, the packet is shortened and a
// padding packet takes the freed bytes, so every packet keeps a true header
// and the video stream after the header stays whole. Nothing is changed when
// the header is elsewhere or too close to the data start for a padding
// packet. True when the packet's data now begins with the sequence header.
bool LeadVideoWithSequenceHeader(uint8_t* p, size_t n);
