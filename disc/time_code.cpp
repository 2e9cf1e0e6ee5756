#include "disc/time_code.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/file_io.h"
#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"

namespace {

uint32_t GetBits(const uint8_t* p, int pos, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++pos) v = (v << 1) | ((p[pos >> 3] >> (7 - (pos & 7))) & 1u);
    return v;
}

int PutBits(uint8_t* p, int pos, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i, ++pos) {
        uint8_t mask = uint8_t(0x80u >> (pos & 7));
        if ((value >> i) & 1u)
            p[pos >> 3] |= mask;
        else
            p[pos >> 3] &= uint8_t(~mask);
    }
    return pos;
}

// bits 32..30, 29..15, 14..0 of the MPEG-1 SCR / PES time stamp layout
uint64_t DecodeStampLayout(const uint8_t* f) {
    return (uint64_t(f[0] & 0x0E) << 29) | (uint64_t(f[1]) << 22) | (uint64_t(f[2] & 0xFE) << 14) |
           (uint64_t(f[3]) << 7) | (uint64_t(f[4]) >> 1);
}

void EncodeStampLayout(uint8_t* out, uint8_t prefix, uint64_t v) {
    v &= kClockMask;
    out[0] = uint8_t(prefix | ((v >> 29) & 0x0E) | 1);
    out[1] = uint8_t(v >> 22);
    out[2] = uint8_t(((v >> 14) & 0xFE) | 1);
    out[3] = uint8_t(v >> 7);
    out[4] = uint8_t(((v << 1) & 0xFE) | 1);
}

constexpr size_t kSearchChunk = 5120;
constexpr uint8_t kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};

void ShowSearching(TJob* job) {
    TJobControls* c = job->controls;
    if (!c || !c->statusLabel) return;
    std::string caption = c->languageSet ? c->languageSet->core(msg::core::kSearching) : std::string("searching");
    c->statusLabel->setCaption(caption + "...");
}

// The search stops on the job's running flag and shows progress in the job's
// bar, whatever the file's owner set up before.
bool SearchInput(TJob* job, const uint8_t* pattern, size_t length, uint64_t limit) {
    TFileIO* in = job->inputFile;
    if (!in || in->IsClosed() || !pattern || length < 1 || length > 100) return false;
    if (TJobControls* c = job->controls) {
        if (c->runState) in->searchContext.running = &c->runState->running;
        if (c->progressBar) in->searchContext.progress = c->progressBar;
    }
    std::vector<uint8_t> buffer(kSearchChunk);
    return in->Search(pattern, length, buffer.data(), limit, kSearchChunk, true);
}

}  // namespace

int32_t NominalFrameRate(double fps) {
    if (!(fps >= 1.0) || fps > 1000.0) return 1;  // NaN, zero and nonsense never divide
    return int32_t(std::lround(fps));
}

void TGopTimeCode::Read(const uint8_t* gop) {
    hours = int32_t(GetBits(gop, 33, 5));
    minutes = int32_t(GetBits(gop, 38, 6));
    seconds = int32_t(GetBits(gop, 45, 6));
    pictures = int32_t(GetBits(gop, 51, 6));
}

int TGopTimeCode::Write(uint8_t* gop, int32_t h, int32_t m, int32_t s, int32_t p, int closed) {
    PutBits(gop, 33, uint32_t(h), 5);
    PutBits(gop, 38, uint32_t(m), 6);
    PutBits(gop, 45, uint32_t(s), 6);
    int next = PutBits(gop, 51, uint32_t(p), 6);
    if (closed == 1) PutBits(gop, 57, 3, 2);
    return next;
}

void TGopTimeCode::WriteFrameNumber(uint8_t* gop, int64_t frame, double fps, int closed) {
    if (frame < 0) frame = 0;
    const int64_t rate = NominalFrameRate(fps);
    const int64_t secs = frame / rate;
    Write(gop, int32_t(secs / 3600), int32_t((secs / 60) % 60), int32_t(secs % 60), int32_t(frame % rate), closed);
}

uint32_t TGopTimeCode::Seconds() const {
    return uint32_t(hours) * 3600u + uint32_t(minutes) * 60u + uint32_t(seconds);
}

int64_t TGopTimeCode::FrameNumber(double fps) const {
    return int64_t(NominalFrameRate(fps)) * int64_t(Seconds()) + pictures;
}

void TGopTimeCode::ShiftBack(uint8_t* gop, int64_t offset, double fps) {
    Read(gop);
    int64_t frame = FrameNumber(fps);
    frame = offset > frame ? 0 : frame - offset;
    WriteFrameNumber(gop, frame, fps, 0);
}

uint64_t TGopTimeCode::DecodeMpeg1Scr(const uint8_t* field) { return DecodeStampLayout(field); }

void TGopTimeCode::EncodeMpeg1Scr(uint8_t* field, uint64_t value) { EncodeStampLayout(field, 0x20, value); }

uint64_t TGopTimeCode::DecodeMpeg2Scr(const uint8_t* f) {
    return (uint64_t(f[0] & 0x38) << 27) | (uint64_t(f[0] & 0x03) << 28) | (uint64_t(f[1]) << 20) |
           (uint64_t(f[2] & 0xF8) << 12) | (uint64_t(f[2] & 0x03) << 13) | (uint64_t(f[3]) << 5) |
           (uint64_t(f[4]) >> 3);
}

void TGopTimeCode::EncodeMpeg2Scr(uint8_t* f, uint64_t v) {
    v &= kClockMask;
    f[0] = uint8_t(0x44 | ((v >> 27) & 0x38) | ((v >> 28) & 0x03));
    f[1] = uint8_t(v >> 20);
    f[2] = uint8_t(((v >> 12) & 0xF8) | 0x04 | ((v >> 13) & 0x03));
    f[3] = uint8_t(v >> 5);
    f[4] = uint8_t(((v << 3) & 0xF8) | 0x04);
}

double TGopTimeCode::DecodePts(const uint8_t* field) { return double(DecodeStampLayout(field)); }

double TGopTimeCode::PtsSeconds(const uint8_t* field) { return DecodePts(field) / 90000.0; }

void TGopTimeCode::ReplacePts(uint8_t* field, uint64_t value) {
    EncodeStampLayout(field, uint8_t(field[0] & 0xF0), value);
}

void TGopTimeCode::ShiftScr(uint8_t* field, uint64_t offset, int kind) {
    if (kind == 1) {
        uint64_t v = DecodeMpeg1Scr(field);
        EncodeMpeg1Scr(field, offset > v ? 0 : v - offset);
        return;
    }
    uint64_t v = DecodeMpeg2Scr(field);
    // Only the base moves: the extension's top bits stay with the rest of it.
    uint8_t ext = field[4] & 0x03;
    EncodeMpeg2Scr(field, offset > v ? 0 : v - offset);
    field[4] = uint8_t(field[4] | ext);
}

int SearchPattern(TJob* job, int length, uint64_t limit) {
    if (!job) return result::kNoMpegStream;
    ShowSearching(job);
    TFileIO* in = job->inputFile;
    if (!in || length < 1) return result::kNoMpegStream;
    return SearchInput(job, job->searchPattern, size_t(length), std::min(limit, in->size)) ? result::kOk
                                                                                           : result::kNoMpegStream;
}

const uint8_t* SearchPackStart(TJob* job, uint64_t limit) {
    if (!job) return nullptr;
    ShowSearching(job);
    return SearchInput(job, kPackStart, sizeof kPackStart, limit) ? kPackStart : nullptr;
}
