// Raw 2352-byte CD sectors: sync, BCD header, EDC and the P/Q product code.
// Callers put the payload (and the Mode 2 subheader at 16-23) in place and
// call BuildSector last; it fills in everything else in place.
//
// The unit also keeps a scrambler, a layer-1 frame coder and an R-W
// sub-channel pack coder that nothing in the system calls.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kRawSectorSize = 2352;

// The type argument of BuildSector and SetSectorHeader.
enum SectorType : int {
    kSectorMode0 = 0,      // bytes 16-2351 zeroed
    kSectorMode1 = 1,      // user data 16-2063
    kSectorMode2 = 2,      // bytes 16-2351 left as they are
    kSectorMode2Form1 = 3, // subheader 16-23, user data 24-2071
    kSectorMode2Form2 = 4, // subheader 16-23, user data 24-2347
};

// Completes sector in place for its type at the given address (logical
// sector + 150). 0, or -1 for an unknown type (then only the sync is set).
int BuildSector(uint8_t* sector, int type, uint32_t address);

// Bytes 12-15: BCD minute, second, frame of address and the mode byte.
// -1 for an unknown type (the address bytes are written all the same).
int SetSectorHeader(uint8_t* sector, int type, uint32_t address);

// EDC of bytes first..last inclusive (reflected 0xD8018001, preset 0).
uint32_t ComputeEdc(const uint8_t* sector, size_t first, size_t last);

// Both take the sector from byte 12 (sector + 12). P reads bytes 12-2075 and
// writes 2076-2247; Q reads 12-2247 and writes 2248-2351, so Q comes after P.
void EncodeParityP(uint8_t* fromHeader);
void EncodeParityQ(uint8_t* fromHeader);

// ---- Operations no part of the system calls ----

// XOR of bytes 12-2351 with the ECMA-130 scrambling sequence, then the two
// bytes of every 16-bit word of the whole sector exchanged.
void ScrambleSector(uint8_t* sector);

constexpr int kLayer1Frames = 98;  // frames per call
// Optional stages of the layer-1 frame coder (bit flags).
enum Layer1Stage : unsigned {
    kL1InputDelay = 1u,       // even words of the 24 data bytes wait 2 frames
    kL1Permute = 2u,          // even words before odd words
    kL1InterleaveDelay = 4u,  // byte i of the 28-byte C2 word waits 4*i frames
    kL1OutputDelay = 8u,      // odd bytes of the 32-byte frame wait 1 frame
};
// 98 x 24 input bytes -> 98 x 32-byte frames: data at 0-11 and 16-27, C2
// parity at 12-15, C1 parity at 28-31, the eight parity bytes inverted.
void EncodeLayer1(const uint8_t* input, uint8_t* frames, unsigned stages);
// 98 frames -> 98 x 24 bytes: undoes the output delay, the inversion, the
// interleave, the permutation and the input delay, and copies bytes 0-23 of
// each C2 word out. It checks and corrects nothing, and leaves the C2 parity
// where it is (bytes 12-15 of each output frame).
void DecodeLayer1(const uint8_t* frames, uint8_t* output, unsigned stages);
// Clears the delay lines of both layer-1 coders.
void ResetLayer1();

constexpr int kSubchannelPacks = 4;  // packs per call
// Optional stages of the sub-channel pack coder (bit flags).
enum SubchannelStage : unsigned {
    kSubExchange = 1u,    // symbols 1<->18, 2<->5, 3<->23
    kSubInterleave = 2u,  // symbol j waits j mod 8 packs
};
// 4 x 18 bytes (low six bits) -> 4 x 24-symbol packs: symbols 0-1, Q parity
// 2-3, data 4-19, P parity 20-23. -1 when input and output are one buffer.
int EncodeSubchannel(const uint8_t* input, uint8_t* packs, unsigned stages);
// 4 packs -> 4 x 18 bytes (symbols 0-1 and 4-19); the syndromes are computed
// and not acted on. -1 when input and output are one buffer.
int DecodeSubchannel(const uint8_t* packs, uint8_t* output, unsigned stages);
// Clears the delay lines of both sub-channel coders.
void ResetSubchannel();

// Decoding entry points kept for the unit's interface: they change nothing.
int DecodeLayer1C1(uint8_t* frame);
int DecodeLayer1C2(uint8_t* frame);
int DecodeParityP(uint8_t* fromHeader);
int DecodeParityQ(uint8_t* fromHeader);
int DecodeSector(uint8_t* sector);

// Stores a default sector type 0-4 (others are ignored, result -1).
int SetDefaultSectorType(int type);
