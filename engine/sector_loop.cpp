// The worker's sector loop: copies one track sector by sector, with the
// optional repairs (fixes), system-header sectors, splits at a clock restart,
// padding, the end of real data in disc sectors and the dat header.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "disc/sector_encoder.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "engine/block_reader.h"
#include "engine/output_writers.h"
#include "engine/system_header.h"
#include "engine/write_thread.h"

namespace {

constexpr uint8_t kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};
constexpr uint8_t kShortPackStart[3] = {0x00, 0x01, 0xBA};
constexpr uint8_t kSystemHeaderStart[4] = {0x00, 0x00, 0x01, 0xBB};
constexpr uint8_t kGopStart[4] = {0x00, 0x00, 0x01, 0xB8};
constexpr uint8_t kSequenceHeaderStart[4] = {0x00, 0x00, 0x01, 0xB3};
constexpr uint8_t kCommentaryEnd[8] = {0x00, 0x28, 0x63, 0x29, 0x43, 0x52, 0x49, 0x00};
constexpr uint8_t kMarginSubheader[8] = {0x01, 0x00, 0x60, 0x00, 0x01, 0x00, 0x60, 0x00};
constexpr size_t kPayload = 2324;
constexpr size_t kChunk = 5120;

// The dat header template; its two size fields are patched at the end.
constexpr uint8_t kDatHeader[44] = {
    'R',  'I',  'F',  'F',  0x44, 0x3F, 0x2D, 0x19, 'C', 'D', 'X', 'A', 'f', 'm', 't', ' ',
    0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x11, 'X', 'A', 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 'd',  'a',  't',  'a',  0x20, 0x3F, 0x2D, 0x19,
};

// The first byte after a pack start code: MPEG-1 SCR prefix 0010, or the
// MPEG-2 layout 01xxx1xx.
bool IsScrByte(uint8_t b) { return (b & 0xF0) == 0x20 || (b & 0xC4) == 0x44; }

bool BeginsWithPack(const uint8_t* s, size_t n) { return n >= 4 && std::memcmp(s, kPackStart, 4) == 0; }

// First occurrence of a start code (zeros, 01, one code byte) in s[0..n), or
// -1. Every sector of a repaired stream is scanned for the next pack, so the
// scan looks for the rare 01 byte with memchr and checks around it.
int64_t FindCode(const uint8_t* code, size_t length, const uint8_t* s, size_t n) {
    const size_t one = length - 2;  // where the 01 byte sits in the code
    if (n < length) return -1;
    const uint8_t* p = s + one;
    const uint8_t* end = s + n - 1;  // the code byte must fit
    while (p < end) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0x01, static_cast<size_t>(end - p)));
        if (!p) return -1;
        if (p[1] == code[length - 1] && std::memcmp(p - one, code, one) == 0) return (p - one) - s;
        ++p;
    }
    return -1;
}

// Offset of the first pack start in s[0..n) whose SCR byte (4 after it, also
// inside s[0..n + tail)) is a real one; -1 when none.
int64_t FindRealPack(const uint8_t* s, size_t n, size_t tail) {
    size_t from = 0;
    while (from + 4 <= n) {
        const int64_t i = FindCode(kPackStart, 4, s + from, n - from);
        if (i < 0) return -1;
        const size_t at = from + static_cast<size_t>(i);
        if (at + 4 < n + tail && IsScrByte(s[at + 4])) return static_cast<int64_t>(at);
        from = at + 1;
    }
    return -1;
}

// The next occurrence of a 4-byte pattern from the file's position up to
// `limit`, the last stretch before it too, with a whole sector of the file
// after the match. Leaves the file at the match; false when there is none
// or the job was stopped.
bool SearchBefore(TFileIO& file, const uint8_t* pattern, uint8_t* buffer, size_t chunk, uint64_t limit,
                  size_t sector) {
    constexpr size_t kLength = 4;
    limit = std::min(limit, file.size);
    while (file.position + kLength <= limit) {
        if (file.searchContext.running && file.searchContext.running->load(std::memory_order_relaxed) == 0)
            return false;
        const uint64_t at = file.position;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, limit - at));
        const size_t got = file.Read(buffer, want);
        const int64_t i = FindPattern(pattern, kLength, buffer, got);
        if (i >= 0) {
            const uint64_t match = at + static_cast<uint64_t>(i);
            file.Seek(match);
            return match + sector <= file.size;
        }
        if (got < want || at + got >= limit) return false;
        // Overlap the chunks so a match across their boundary is found.
        file.Seek(at + got - (kLength - 1));
    }
    return false;
}

void PutLe32(uint8_t* p, uint64_t v) {
    const uint32_t x = static_cast<uint32_t>(v);
    p[0] = uint8_t(x);
    p[1] = uint8_t(x >> 8);
    p[2] = uint8_t(x >> 16);
    p[3] = uint8_t(x >> 24);
}

}  // namespace

bool WriteThread::RawOutput() const {
    return ((method_ >> 16) & kOptRawSectors) || (config_->ToastEnable && outputKind_ == kMpegKind);
}

size_t WriteThread::OutWrite(const void* data, size_t count) {
    const size_t n = outputFile_->Write(data, count);
    outputBytes_ += n;
    if (n != count && !writeError_) {
        writeError_ = true;
        Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
        if (result_ == 0) result_ = result::kWriteFailed;
    }
    return n;
}

void WriteThread::WriteRawSector(const uint8_t* payload, size_t length, const uint8_t* subheader) {
    std::memset(raw_, 0, sizeof raw_);
    std::memcpy(raw_ + 16, subheader, 8);
    std::memcpy(raw_ + 24, payload, std::min(length, kPayload));
    BuildSector(raw_, kSectorMode2Form2, address_++);
    OutWrite(raw_, sizeof raw_);
}

// A dat holds whole 2352-byte sectors whatever the source's sector size: a
// source without sync and header (2336, or 2332 without the EDC too) gets
// them back, its subheader telling the form.
bool WriteThread::RebuildsSectors() const {
    const int32_t r = job_->readSectorSize;
    return outputKind_ == kDatKind && method_ != Code(Method::MpegToDat) && (r == 2336 || r == 2332);
}

void WriteThread::WriteWholeSector(const uint8_t* data, size_t got, uint64_t sector) {
    std::memset(raw_, 0, sizeof raw_);
    std::memcpy(raw_ + 16, data, std::min(got, sizeof raw_ - 16));
    const bool form2 = got >= 3 && (data[2] & 0x20) != 0;
    BuildSector(raw_, form2 ? kSectorMode2Form2 : kSectorMode2Form1, static_cast<uint32_t>(sector + 150));
    OutWrite(raw_, sizeof raw_);
    trackBytes_ += got;
    jobBytes_ += got;
}

void WriteThread::WriteSector(const uint8_t* data, size_t got) {
    if (RawOutput()) {
        // A short read leaves the rest of the payload zero.
        const size_t n = std::min(got, kPayload);
        // The pack's own layout tells MPEG-2: a cue/bin source of an SVCD
        // is loaded as disc kind 1.
        uint8_t sub[8];
        SetDataSubheader(sub, data, job_->discKind == 2 || (data[4] & 0xC0) == 0x40);
        WriteRawSector(data, n, sub);
        trackBytes_ += n;
        jobBytes_ += n;
        return;
    }
    // Never more than was read: a short final read writes only what it got.
    const size_t n = std::min(got, static_cast<size_t>(job_->writeSectorSize));
    OutWrite(data, n);
    trackBytes_ += n;
    jobBytes_ += n;
}

void WriteThread::WriteSystemHeaders() {
    // Probed from where the track's stream stands, so a track deep inside an
    // image is probed where it is.
    const bool mpeg2 = IsMpeg2FromHere(*inputFile_);
    const bool raw = RawOutput();
    const uint64_t before = outputFile_->bytesWritten;
    const bool ok = mpeg2 ? WriteMpeg2SystemHeaderSector(*outputFile_, raw, &address_)
                          : WriteMpeg1SystemHeaderSectors(*outputFile_, raw, &address_);
    outputBytes_ += outputFile_->bytesWritten - before;
    if (!ok && !writeError_) {
        writeError_ = true;
        Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
        if (result_ == 0) result_ = result::kWriteFailed;
    }
}

bool WriteThread::EndOfDataApplies() const {
    if (outputKind_ != kMpegKind) return false;
    const int32_t r = job_->readSectorSize;
    if (r != 2352 && r != 2336 && r != 2332) return false;
    switch (inputKind_) {
    case kRawKind:
    case kDatKind:
    case kNrgKind:
    case kCifKind:
    case kCueKind:
    case kBinKind:
    case kTocKind:
        return true;
    default:
        return false;
    }
}

// The sector just read is the last of the stream when the next disc sector is
// an empty one: its subheader says file f, channel 0, a margin, end or gap
// submode (0x60, 0xE0, 0x20) twice, and its payload begins with eight zero
// bytes (or the file ends there). Any file number: later tracks of an image
// carry their own.
bool WriteThread::EndOfData(const uint8_t* sector, size_t got, const uint8_t* after, size_t afterLength) {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    if (got < r) return false;
    const size_t q = r == 2352 ? 2344 : r == 2336 ? 2328 : 2324;
    const uint8_t* h = sector + q;
    const bool margin = h[0] == h[4] && h[1] == 0 && h[5] == 0 && (h[2] == 0x60 || h[2] == 0xE0 || h[2] == 0x20) &&
                        h[6] == h[2] && h[3] == 0;
    if (!margin) return false;
    auto zero = [](const uint8_t* p) { return std::all_of(p, p + 8, [](uint8_t b) { return b == 0; }); };
    if (afterLength >= 8) return zero(after);
    uint8_t next[8] = {};
    const size_t n = inputFile_->Read(next, sizeof next);
    inputFile_->SeekBy(-static_cast<int64_t>(n));
    return n < sizeof next || zero(next);
}

void THeldSectors::Add(const uint8_t* data, size_t length) {
    Held h;
    h.length = std::min<size_t>(length, 2352);
    h.zero = std::all_of(data, data + h.length, [](uint8_t b) { return b == 0; });
    if (!h.zero) {
        h.at = bytes_.size();
        bytes_.insert(bytes_.end(), data, data + h.length);
    }
    sectors_.push_back(h);
}

void THeldSectors::Clear() {
    sectors_.clear();
    bytes_.clear();
}

// Data followed the empty run: it is part of the stream.
bool WriteThread::WriteHeld() {
    const bool raw = RawOutput();
    held_.ForEach([&](const uint8_t* p, size_t n) {
        if (writeError_) return;
        if (raw) {
            WriteSector(p, n);
        } else {
            OutWrite(p, n);
            trackBytes_ += n;
            jobBytes_ += n;
        }
    });
    held_.Clear();
    return !writeError_;
}

WriteThread::LoopEnd WriteThread::TrackStart() {
    const int32_t options = (method_ >> 16) & 0xFF;
    if (options & kOptDatHeader) OutWrite(kDatHeader, sizeof kDatHeader);

    if (inputKind_ == kNrgKind || inputKind_ == kCifKind || inputKind_ == kBinKind) {
        // These files only add bytes in front of the disc's sectors, so a
        // track's file lies at or after its directory extent: packs before
        // it belong to the data track (a CD-i bumper, a segment play item)
        // or to the tracks before it.
        // Where the lead in front is known, the track's file also ends where
        // its extent does: the search takes nothing of the next track.
        const size_t row = static_cast<size_t>(track_);
        uint64_t limit = std::min(inputFile_->size, trackEnd_);
        if ((inputKind_ == kNrgKind || inputKind_ == kCifKind) && row < trackTable_->start.size()) {
            const uint64_t extent = sourceLead_ + static_cast<uint64_t>(std::max<int64_t>(trackTable_->start[row], 0));
            if (inputFile_->position < extent) inputFile_->Seek(extent);
            if (sourceLeadKnown_ && trackSectors_ > 0)
                limit = std::min(limit, extent + static_cast<uint64_t>(trackSectors_) *
                                                     static_cast<uint64_t>(job_->readSectorSize));
        }
        if (!job_->searchPattern || !inputFile_->Search(job_->searchPattern, 4, search_.data(), limit, kChunk, false))
            return Running() ? LoopEnd::NoStream : LoopEnd::Cancelled;
        // An nrg or cif track is known by its length alone: it ends that
        // many sectors after its stream begins, before the next one does.
        if (trackEnd_ == UINT64_MAX && trackSectors_ > 0)
            trackEnd_ = inputFile_->position +
                        static_cast<uint64_t>(trackSectors_) * static_cast<uint64_t>(job_->readSectorSize);
        // Never into an nrg's footer.
        trackEnd_ = std::min(trackEnd_, sourceDataEnd_);
    }

    if (method_ == Code(Method::MpegToDat)) {
        address_ = 0;
        static constexpr uint8_t kZero[kPayload] = {};
        for (int i = 0; i < 30; ++i) WriteRawSector(kZero, kPayload, kMarginSubheader);
    }

    if (method_ == Code(Method::SfdToMpeg)) {
        const size_t r = static_cast<size_t>(job_->readSectorSize);
        const size_t got = inputFile_->Read(sector_.data(), 2 * r);
        if (config_->ToastEnable) {
            address_ = 0;
            WriteSector(sector_.data(), got);
        } else {
            OutWrite(sector_.data(), got);
            trackBytes_ += got;
            jobBytes_ += got;
        }
        const uint64_t span = trackSectors_ > 1 ? static_cast<uint64_t>(trackSectors_ - 1) * r : 0;
        uint64_t limit = std::min<uint64_t>(inputFile_->size, inputFile_->position + span);
        if (!inputFile_->Search(kCommentaryEnd, sizeof kCommentaryEnd, search_.data(), limit, kChunk, false))
            Report(kMsgWarning, msg::warning::kNoCommentaryEnd, SourceName());
        limit = std::min<uint64_t>(inputFile_->size, inputFile_->position + span);
        if (!inputFile_->Search(kPackStart, 4, search_.data(), limit, kChunk, false)) {
            if (!Running()) return LoopEnd::Cancelled;
            Report(kMsgError, msg::error::kNoMpegStream, SourceName());
            result_ = result::kNoMpegStream;
            return LoopEnd::Failed;
        }
        firstHandled_ = true;
    }
    return writeError_ ? LoopEnd::Failed : LoopEnd::Done;
}

WriteThread::LoopEnd WriteThread::RunSectorLoop() {
    resync_ = false;
    previousClock_ = 0;
    address_ = 0;
    emptyNext_ = false;
    held_.Clear();
    const LoopEnd start = TrackStart();
    if (start != LoopEnd::Done) return start;
    // A dat of a track or raw image is a copy of whole disc sectors: pack
    // repairs would cut them at the packs.
    const bool sectorCopy = outputKind_ == kDatKind && method_ != Code(Method::MpegToDat);
    LoopEnd end = config_->FixMPEGErrors && !sectorCopy ? FixLoop() : PlainLoop();
    if (end == LoopEnd::LostAlignment) end = StreamTail(lostAt_);
    // Empty sectors with no data after them end the track's data.
    held_.Clear();
    return end;
}

// A single-file source is read to its end: padding and resyncs move the input
// back, so it may take more reads than its size in whole sectors.
bool WriteThread::SectorsRemain() const {
    if (inputFile_->position >= inputFile_->size || inputFile_->position >= trackEnd_) return false;
    if ((method_ >> 16) & kOptSingleFile) return true;
    return sectorsDone_ < trackSectors_;
}

WriteThread::LoopEnd WriteThread::PlainLoop() {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    const size_t w = std::min(r, static_cast<size_t>(job_->writeSectorSize));
    const bool endTest = EndOfDataApplies();
    const bool singleFile = (method_ >> 16) & kOptSingleFile;
    // About a megabyte of sectors per block. Plain payloads are moved up to
    // the front of their block and leave in one write, so the stream is
    // copied once on its way through.
    const bool gather = !RawOutput() && !RebuildsSectors();
    const size_t perBlock = std::max<size_t>(1, (1u << 20) / r);
    int64_t sectors = singleFile ? -1 : std::max<int64_t>(trackSectors_ - sectorsDone_, 0);
    if (trackEnd_ != UINT64_MAX) {
        // Never past the track's extent: the sectors whose data begins inside it.
        const uint64_t left = trackEnd_ > inputFile_->position ? trackEnd_ - inputFile_->position : 0;
        const int64_t inside = static_cast<int64_t>((left + r - 1) / r);
        sectors = sectors < 0 ? inside : std::min(sectors, inside);
    }
    BlockReader reader(inputFile_->name, inputFile_->position, r, perBlock, sectors);
    if (!reader.Started()) {
        Report(kMsgError, msg::error::kCannotOpen, SourceName());
        if (result_ == 0) result_ = result::kCannotOpen;
        return LoopEnd::Failed;
    }
    size_t pending = 0;
    uint8_t* block = nullptr;
    auto flush = [&] {
        if (pending > 0) OutWrite(block, pending);
        pending = 0;
        return !writeError_;
    };
    while (SectorsRemain()) {
        if (!Running()) return LoopEnd::Cancelled;
        BlockReader::Block& b = reader.Next();
        // Short before the end the file had when opened: it shrank or the
        // disk failed, and what was read so far is not the whole track.
        const bool unreadable = b.got < b.want && b.at + b.got < inputFile_->size;
        if (b.got == 0 && !unreadable) break;
        block = b.data.data();
        const size_t got = b.got;
        // Where reading the block directly would have left the input.
        inputFile_->Seek(b.at + got);
        const size_t count = (got + r - 1) / r;
        bool stop = false, cancelled = false;
        for (size_t i = 0; i < count && !stop; ++i) {
            if (!Running()) {
                cancelled = true;
                break;
            }
            uint8_t* s = block + i * r;
            const size_t have = std::min(r, got - i * r);
            if (have < r) std::memset(s + have, 0, r - have);
            const size_t beyond = got - std::min(got, (i + 1) * r);
            const bool empty = emptyNext_;
            // Looks at this sector's tail and the next one, which the
            // gathering has not reached yet.
            emptyNext_ = endTest && EndOfData(s, have, s + r, beyond);
            if (empty) {
                // What came before goes out first; the empty run waits for
                // data after it.
                if (!flush()) return LoopEnd::Failed;
                held_.Add(s, gather ? std::min(have, w) : have);
                ++sectorsDone_;
                ProgressStep();
                continue;
            }
            if (!held_.Empty() && (!flush() || !WriteHeld())) return LoopEnd::Failed;
            if (gather) {
                // Never more than was read: a short final read gives only what it got.
                const size_t n = std::min(have, w);
                if (block + pending != s) std::memmove(block + pending, s, n);
                pending += n;
                trackBytes_ += n;
                jobBytes_ += n;
            } else if (RebuildsSectors()) {
                WriteWholeSector(s, have, (b.at + i * r) / r);
                if (writeError_) return LoopEnd::Failed;
            } else {
                WriteSector(s, have);
                if (writeError_) return LoopEnd::Failed;
            }
            ++sectorsDone_;
            ProgressStep();
            if (have < r) stop = true;
        }
        if (!flush()) return LoopEnd::Failed;
        if (cancelled) return LoopEnd::Cancelled;
        if (unreadable) return SourceUnreadable();
        if (stop) break;
    }
    return Running() ? LoopEnd::Done : LoopEnd::Cancelled;
}

bool WriteThread::Resync() {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    const uint8_t* s = sector_.data();
    // A pack further on in this sector.
    const int64_t i = FindRealPack(s + 4, r - 4, 0);
    if (i >= 0) {
        inputFile_->SeekBy(-static_cast<int64_t>(r - 4 - static_cast<size_t>(i)));
        return true;
    }
    // A pack start that lost its first zero: read from one byte before it
    // and put the zero back.
    size_t from = 0;
    while (from + 3 <= r) {
        const int64_t k = FindCode(kShortPackStart, 3, s + from, r - from);
        if (k < 0) break;
        const size_t j = from + static_cast<size_t>(k);
        const uint64_t sectorStart = inputFile_->position - r;
        if (j + 3 < r && IsScrByte(s[j + 3]) && (j > 0 || sectorStart > 0)) {
            inputFile_->SeekBy(-static_cast<int64_t>(r - j + 1));
            resync_ = true;
            return true;
        }
        from = j + 1;
    }
    // Only inside this track: a pack further on belongs to the next one.
    return job_->searchPattern &&
           SearchBefore(*inputFile_, job_->searchPattern, search_.data(), kChunk, trackEnd_, r);
}

void WriteThread::PadSector() {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    const size_t span = r > kPayload ? 2320 : r - 4;
    uint8_t* s = sector_.data();
    const int64_t i = FindRealPack(s + 4, span, r - 4 - span);
    if (i < 0) return;
    // A padded sector writes a whole sector for the 4 + i bytes it keeps:
    // never more stream out than came in (one sector's margin), whatever
    // the pack spacing. Past that the sector goes out as read and the next
    // read finds its pack again.
    const uint64_t w = std::min(r, static_cast<size_t>(job_->writeSectorSize));
    const uint64_t after = inputFile_->position - (r - 4 - static_cast<size_t>(i));
    const uint64_t consumed = after > loopStart_ ? after - loopStart_ : 0;
    if (trackBytes_ + w > consumed + w) return;
    std::memset(s + 4 + i, 0, r - 4 - static_cast<size_t>(i));
    inputFile_->SeekBy(-static_cast<int64_t>(r - 4 - static_cast<size_t>(i)));
    ++paddingCount_;
    ShowCounters();
}

std::string WriteThread::PieceName(uint32_t number) const {
    char text[16];
    std::snprintf(text, sizeof text, "%04u", number);
    return WithoutExtension(job_->baseOutputName) + "-" + text + "." + KindWord(outputKind_);
}

bool WriteThread::Split() {
    if (outputFile_->Close() != 0 && !writeError_) {
        writeError_ = true;
        Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
        result_ = result::kWriteFailed;
        return false;
    }
    outputOpen_ = false;
    AppendGenerated(job_->outputName);
    guard_.Finish(job_->outputName);
    // A piece never goes over a file of this job (an output of the
    // MultiFileFormat may carry the same name): it takes the next number
    // that no file of the job has.
    const std::string wanted = PieceName(splitCount_ + 1);
    job_->outputName = wanted;
    for (uint32_t n = splitCount_ + 2; n < splitCount_ + 10000; ++n) {
        if (guard_.Clash(job_->outputName).empty() && !PlannedTrackOutput(job_->outputName)) break;
        job_->outputName = PieceName(n);
    }
    if (job_->outputName != wanted)
        Log(kLogIndent + std::string("[ split piece renamed, ") + wanted + " is taken ] " + job_->outputName);
    ++splitCount_;
    ShowCounters();
    if (OpenOutput(job_->outputName, false) != 0) {
        Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
        result_ = result::kWriteFailed;
        return false;
    }
    outputOpen_ = true;
    outputBytes_ = 0;
    return true;
}

void WriteThread::CorrectFirstSector(size_t& got) {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    uint8_t* s = sector_.data();
    if (!config_->DisableHeaderCorrection && got > 1034) {
        for (size_t i = 1024; i <= 1034; ++i) {
            if (s[i] != 0xFF) {
                config_->sequenceCorrection = 1;
                break;
            }
        }
    }
    if (config_->sequenceCorrection == 1 && !config_->DisableHeaderCorrection) {
        WriteSystemHeaders();
        Log(kLogIndent + lang_->core(msg::core::kSequenceCorrection));
        if (FindCode(kSystemHeaderStart, 4, s, got) < 0) {
            // Skip to the first sector that holds a GOP: what comes before it
            // cannot be decoded without the headers we just wrote.
            while (FindCode(kGopStart, 4, s, got) < 0 && Running()) {
                // Never into the next track.
                if (inputFile_->position >= std::min(inputFile_->size, trackEnd_)) {
                    got = 0;
                    break;
                }
                const size_t n = inputFile_->Read(s, r);
                if (n < r) std::memset(s + n, 0, r - n);
                got = n;
                ++sectorsDone_;
                if (n == 0) break;
            }
        }
        if (job_->discKind == 2 && got >= kPayload && std::memcmp(s + 36, kSequenceHeaderStart, 4) != 0) {
            const int64_t p = FindCode(kSequenceHeaderStart, 4, s, kPayload);
            // Only a header behind offset 36 can move forward to it.
            if (p > 36) {
                const size_t at = static_cast<size_t>(p);
                std::memmove(s + 36, s + at, kPayload - at);
                std::memset(s + kPayload - (at - 36), 0, at - 36);
            }
        }
    }
    firstHandled_ = true;
}

// A read that came back short before the end the file had when it was
// opened: the file shrank or the disk failed. The output is incomplete.
WriteThread::LoopEnd WriteThread::SourceUnreadable() {
    Report(kMsgError, msg::error::kCannotOpen, SourceName());
    if (result_ == 0) result_ = result::kCannotOpen;
    return LoopEnd::Failed;
}

// The repair found no pack in the rest of the track from `at` on. After a
// stream that was written this is what comes after its end, not a missing
// stream: the track is done, and the bytes left out are named.
WriteThread::LoopEnd WriteThread::StreamTail(uint64_t at) {
    if (!Running()) return LoopEnd::Cancelled;
    if (trackBytes_ == 0) return LoopEnd::LostAlignment;
    const uint64_t end = std::min(inputFile_->size, trackEnd_);
    const uint64_t left = end > at ? end - at : 0;
    if (controls_)
        ReportWarningText(*controls_, *config_,
                          "WARNING: " + std::to_string(left) + " bytes after the last MPEG pack were left out.",
                          TrackContext());
    return LoopEnd::Done;
}

WriteThread::LoopEnd WriteThread::FixLoop() {
    const size_t r = static_cast<size_t>(job_->readSectorSize);
    const bool endTest = EndOfDataApplies();
    const bool splitting = !config_->passive && !config_->DisableMPEGFileSplit && outputKind_ == kMpegKind;
    const bool padding = !RawOutput() && !config_->DisableMPEGPadding;
    uint8_t* s = sector_.data();
    uint64_t emptyAt = 0;  // where the sector the look-ahead saw begins
    loopStart_ = inputFile_->position;
    while (SectorsRemain()) {
        if (!Running()) return LoopEnd::Cancelled;
        if (!firstHandled_) {
            const uint64_t limit = std::min(inputFile_->size, trackEnd_);
            if (!inputFile_->Search(job_->searchPattern, 4, search_.data(), limit, kChunk, true))
                return Running() ? LoopEnd::NoStream : LoopEnd::Cancelled;
            std::memset(s, 0, sector_.size());
        }
        const uint64_t at = inputFile_->position;
        size_t got = inputFile_->Read(s, r);
        if (got < r && inputFile_->position < inputFile_->size) return SourceUnreadable();
        if (got == 0) break;
        if (got < r) std::memset(s + got, 0, r - got);
        // Empty only where the look-ahead of the sector before looked: a
        // resync or padding moves the input elsewhere.
        // A disc sector of zeros is an empty one whatever its subheader says
        // (an SVCD's carries coding 0x80): never a pack that lost its place.
        // So is a zero sector of a stream of bare 2324-byte sectors.
        const size_t payload = RawOutput() ? std::min(got, kPayload)
                                           : std::min(got, static_cast<size_t>(job_->writeSectorSize));
        const bool empty =
            (emptyNext_ && at == emptyAt) ||
            ((endTest || r == kPayload) && std::all_of(s, s + payload, [](uint8_t b) { return b == 0; }));
        emptyNext_ = endTest && EndOfData(s, got, nullptr, 0);
        emptyAt = inputFile_->position;
        if (empty) {
            held_.Add(s, payload);
            ++sectorsDone_;
            ProgressStep();
            continue;
        }
        // The empty run is part of the stream only when a pack of this
        // track follows it: a damaged margin sector does not pull it in.
        if (!held_.Empty() && BeginsWithPack(s, got) && !WriteHeld()) return LoopEnd::Failed;
        if (!firstHandled_) {
            CorrectFirstSector(got);
            if (got == 0) break;
        }
        if (BeginsWithPack(s, got)) {
            if (splitting) {
                uint64_t clock = 0;
                bool known = true;
                if ((s[4] & 0xF0) == 0x20)
                    clock = TGopTimeCode::DecodeMpeg1Scr(s + 4);
                else if ((s[4] & 0xC0) == 0x40)
                    clock = TGopTimeCode::DecodeMpeg2Scr(s + 4);
                else
                    known = false;
                if (known) {
                    // Only a clock that runs backwards starts a new piece.
                    if (clock < previousClock_ && !Split()) return LoopEnd::Failed;
                    previousClock_ = clock;
                }
            }
        } else {
            // A short last piece that is no pack is not worth keeping.
            if (got < r) break;
            lostAt_ = at;
            ++fixCount_;
            ShowCounters();
            if (!Resync()) return LoopEnd::LostAlignment;
            if (!held_.Empty() && !WriteHeld()) return LoopEnd::Failed;
            got = inputFile_->Read(s, r);
            if (got < r && inputFile_->position < inputFile_->size) return SourceUnreadable();
            if (got < r) std::memset(s + got, 0, r - got);
            if (resync_) {
                resync_ = false;
                s[0] = 0;
            }
            if (got == 0) break;
        }
        if (padding && got == r) PadSector();
        WriteSector(s, got);
        if (writeError_) return LoopEnd::Failed;
        ++sectorsDone_;
        ProgressStep();
        if (got < r) break;
    }
    return Running() ? LoopEnd::Done : LoopEnd::Cancelled;
}

void WriteThread::PatchDatHeader() {
    if (job_->outputName == kPassiveOutput || outputBytes_ < 44) return;
    const uint64_t size = outputBytes_;
    if (size - 8 > 0xFFFFFFFFull) {
        // Refused before writing as a rule; never a wrong size field.
        Report(kMsgError, msg::error::kCannotCreate, job_->outputName + ": a dat file holds at most 4 GiB");
        writeError_ = true;
        if (result_ == 0) result_ = result::kWriteFailed;
        return;
    }
    uint8_t field[4];
    outputFile_->Seek(4);
    PutLe32(field, size - 8);
    outputFile_->Write(field, 4);
    outputFile_->Seek(40);
    PutLe32(field, size - 44);
    outputFile_->Write(field, 4);
    outputFile_->Seek(size);
}

void WriteThread::TrackEnd() {
    if (method_ == Code(Method::MpegToDat) || method_ == Code(Method::CueBinToDat) ||
        method_ == Code(Method::RawToDat)) {
        PatchDatHeader();
        if (!writeError_ && !outputFile_->Flush()) {
            Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
            writeError_ = true;
            if (result_ == 0) result_ = result::kWriteFailed;
        }
        if (writeError_) return;
    }
    // The output's own bytes are all written: a companion that fails after
    // this fails the job, but leaves the output whole and in place.
    if (result_ == 0) guard_.Finish(job_->outputName);
    if (outputKind_ == kMpegKind && config_->ToastEnable && job_->outputName != kPassiveOutput && trackBytes_ > 0) {
        const std::string companion = job_->outputName + ".rsrc";
        if (!OutputClash(companion).empty()) {
            Report(kMsgError, msg::error::kCannotCreate, companion);
            if (result_ == 0) result_ = result::kWriteFailed;
        } else if (!WriteToastResource(job_->outputName)) {
            Report(kMsgError, msg::error::kCannotCreateResource, companion);
            if (result_ == 0) result_ = result::kNoResourceFile;
        } else {
            guard_.AddOutput(companion);
            guard_.Finish(companion);
        }
    }
    if (result_ == 0 && pageMode_ == 0) {
        config_->sequenceCorrection = 0;
        firstHandled_ = false;
    }
}
