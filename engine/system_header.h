// Fixed pack + system header + padding sectors that start an output whose
// stream lacks them: two for MPEG-1, one for MPEG-2. Each is one complete
// 2324-byte program-stream piece, written bare or as a raw Mode 2 Form 2
// sector.
#pragma once

#include <cstddef>
#include <cstdint>

class TFileIO;

constexpr size_t kSystemHeaderPayloadSize = 2324;
constexpr size_t kMpeg1SystemHeaderBytes = 2 * kSystemHeaderPayloadSize;  // 4648
constexpr size_t kMpeg2SystemHeaderBytes = kSystemHeaderPayloadSize;

// Fill a 2324-byte payload with one of the three fixed sectors.
void BuildMpeg1SystemHeaderPayloadA(uint8_t* payload);
void BuildMpeg1SystemHeaderPayloadB(uint8_t* payload);
void BuildMpeg2SystemHeaderPayload(uint8_t* payload);

// The data-sector subheader rule: video (01 01 62 0F twice) when the packet
// after the pack header is stream 0xE0, else audio (01 01 64 7F twice).
// The stream byte is payload[15] for MPEG-1, payload[17] for MPEG-2.
void SetDataSubheader(uint8_t* subheader8, const uint8_t* payload, bool mpeg2);

// Wrap a payload into a raw 2352-byte Mode 2 Form 2 sector at the given
// address (logical sector + 150): subheader at 16, payload at 24, then
// BuildSector. Bytes the payload does not cover are left as they are.
void BuildSystemHeaderRawSector(uint8_t* sector, const uint8_t* payload, uint32_t address, bool mpeg2);

// Sector A then sector B. Raw: two 2352-byte sectors, the first at
// *address, which grows by one per sector; otherwise two 2324-byte payloads
// and the counter is not touched (it may be null). False when the output did
// not take every byte.
bool WriteMpeg1SystemHeaderSectors(TFileIO& output, bool raw = false, uint32_t* address = nullptr);
// The single MPEG-2 sector, the same way (the counter grows by one).
bool WriteMpeg2SystemHeaderSector(TFileIO& output, bool raw = false, uint32_t* address = nullptr);
