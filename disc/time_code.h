// GOP time codes, pack SCRs and PES time stamps rewritten in place, and the
// two start-code searches of the engine. Clock values are 90 kHz ticks and
// keep their 33 bits in memory.
#pragma once

#include <cstdint>

struct TJob;

class TGopTimeCode {
public:
    TGopTimeCode() = default;

    // gop points at the 00 00 01 B8 start code.
    void Read(const uint8_t* gop);
    // Writes the four fields; closed == 1 also sets the closed-GOP and
    // broken-link bits, else they keep their values. Drop-frame and marker
    // bits are never touched. Returns the bit position after the pictures.
    int Write(uint8_t* gop, int32_t h, int32_t m, int32_t s, int32_t pictures, int closed);
    // Seconds and pictures count at the nominal rate (24, 30, 60 for the
    // 1000/1001 rates), as GOP time codes do.
    void WriteFrameNumber(uint8_t* gop, int64_t frame, double fps, int closed);
    uint32_t Seconds() const;
    int64_t FrameNumber(double fps) const;
    // Read, step back offset frames (never below 0), write with closed = 0.
    void ShiftBack(uint8_t* gop, int64_t offset, double fps);

    // Five-byte fields; the pointer is the field's first byte.
    static uint64_t DecodeMpeg1Scr(const uint8_t* field);
    static void EncodeMpeg1Scr(uint8_t* field, uint64_t value);
    static uint64_t DecodeMpeg2Scr(const uint8_t* field);  // base only
    static void EncodeMpeg2Scr(uint8_t* field, uint64_t value);
    static double DecodePts(const uint8_t* field);
    static double PtsSeconds(const uint8_t* field);
    // Keeps the first byte's prefix nibble.
    static void ReplacePts(uint8_t* field, uint64_t value);
    // kind 1: MPEG-1 pack layout, else MPEG-2; never below 0.
    static void ShiftScr(uint8_t* field, uint64_t offset, int kind);

    int32_t hours = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;
    int32_t pictures = 0;
};

// Pictures per second a GOP time code counts at a frame rate (25 -> 25,
// 29.97 -> 30, 23.976 -> 24).
int32_t NominalFrameRate(double fps);

constexpr uint64_t kClockMask = (uint64_t(1) << 33) - 1;

// Searches the job's input file for the first length bytes of the job's
// search pattern, with the status caption and progress of the job's
// controls, up to `limit` (a track's end) or the end of the file. 0 found
// (the file stands at the match), result::kNoMpegStream not found or
// stopped.
int SearchPattern(TJob* job, int length, uint64_t limit = UINT64_MAX);
// Searches for 00 00 01 BA within limit bytes. The pack start code (a
// constant the caller may make the job's search pattern), or nullptr.
const uint8_t* SearchPackStart(TJob* job, uint64_t limit);
