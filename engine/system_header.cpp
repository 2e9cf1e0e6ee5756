#include "engine/system_header.h"

#include <cstring>

#include "core/file_io.h"
#include "disc/sector_encoder.h"

namespace {

// Pack header (SCR 4), system header (video 0xE0), padding packet of 2291.
constexpr uint8_t kMpeg1SectorA[] = {
    0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x09, 0x80, 0x1B, 0x91,
    0x00, 0x00, 0x01, 0xBB, 0x00, 0x09, 0x80, 0x1B, 0x91, 0x01, 0xE1, 0xFF, 0xE0, 0xE0, 0x2E,
    0x00, 0x00, 0x01, 0xBE, 0x08, 0xF3,
    0x0F,
};
// Pack header with its own SCR, system header (audio 0xC0), padding of 2271
// followed by 20 zero bytes.
constexpr uint8_t kMpeg1SectorB[] = {
    0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x09, 0x69, 0x80, 0x1B, 0x91,
    0x00, 0x00, 0x01, 0xBB, 0x00, 0x09, 0x80, 0x1B, 0x91, 0x05, 0xE0, 0xFF, 0xC0, 0xC0, 0x20,
    0x00, 0x00, 0x01, 0xBE, 0x08, 0xDF,
    0x0F,
};
constexpr size_t kMpeg1SectorBPaddingEnd = 2304;
// MPEG-2 pack header, system header with both streams, padding of 2286.
constexpr uint8_t kMpeg2Sector[] = {
    0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00, 0x6C, 0xF3, 0xF8,
    0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0x36, 0x79, 0x04, 0xE1, 0x7F, 0xE0, 0xE0, 0xE6, 0xC0, 0xC0, 0x20,
    0x00, 0x00, 0x01, 0xBE, 0x08, 0xEE,
};

constexpr uint8_t kVideoSubheader[4] = {0x01, 0x01, 0x62, 0x0F};
constexpr uint8_t kAudioSubheader[4] = {0x01, 0x01, 0x64, 0x7F};

void FillPayload(uint8_t* payload, const uint8_t* tmpl, size_t length) {
    std::memset(payload, 0xFF, kSystemHeaderPayloadSize);
    std::memcpy(payload, tmpl, length);
}

bool WritePayloads(TFileIO& output, const uint8_t* payloads, size_t count, bool raw, uint32_t* address,
                   bool mpeg2) {
    bool complete = true;
    uint8_t sector[kRawSectorSize];
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* payload = payloads + i * kSystemHeaderPayloadSize;
        if (!raw) {
            complete &= output.Write(payload, kSystemHeaderPayloadSize) == kSystemHeaderPayloadSize;
            continue;
        }
        std::memset(sector, 0, sizeof sector);
        BuildSystemHeaderRawSector(sector, payload, address ? *address : 0, mpeg2);
        complete &= output.Write(sector, kRawSectorSize) == kRawSectorSize;
        if (address) ++*address;
    }
    return complete;
}

}  // namespace

void BuildMpeg1SystemHeaderPayloadA(uint8_t* payload) {
    FillPayload(payload, kMpeg1SectorA, sizeof kMpeg1SectorA);
}

void BuildMpeg1SystemHeaderPayloadB(uint8_t* payload) {
    FillPayload(payload, kMpeg1SectorB, sizeof kMpeg1SectorB);
    std::memset(payload + kMpeg1SectorBPaddingEnd, 0, kSystemHeaderPayloadSize - kMpeg1SectorBPaddingEnd);
}

void BuildMpeg2SystemHeaderPayload(uint8_t* payload) {
    FillPayload(payload, kMpeg2Sector, sizeof kMpeg2Sector);
}

void SetDataSubheader(uint8_t* subheader8, const uint8_t* payload, bool mpeg2) {
    const uint8_t stream = payload[mpeg2 ? 17 : 15];
    const uint8_t* sub = stream == 0xE0 ? kVideoSubheader : kAudioSubheader;
    std::memcpy(subheader8, sub, 4);
    std::memcpy(subheader8 + 4, sub, 4);
}

void BuildSystemHeaderRawSector(uint8_t* sector, const uint8_t* payload, uint32_t address, bool mpeg2) {
    SetDataSubheader(sector + 16, payload, mpeg2);
    std::memcpy(sector + 24, payload, kSystemHeaderPayloadSize);
    BuildSector(sector, kSectorMode2Form2, address);
}

bool WriteMpeg1SystemHeaderSectors(TFileIO& output, bool raw, uint32_t* address) {
    uint8_t payloads[2 * kSystemHeaderPayloadSize];
    BuildMpeg1SystemHeaderPayloadA(payloads);
    BuildMpeg1SystemHeaderPayloadB(payloads + kSystemHeaderPayloadSize);
    return WritePayloads(output, payloads, 2, raw, address, false);
}

bool WriteMpeg2SystemHeaderSector(TFileIO& output, bool raw, uint32_t* address) {
    uint8_t payload[kSystemHeaderPayloadSize];
    BuildMpeg2SystemHeaderPayload(payload);
    return WritePayloads(output, payload, 1, raw, address, true);
}
