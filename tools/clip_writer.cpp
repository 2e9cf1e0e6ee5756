#include "tools/clip_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <vector>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/language_set.h"
#include "core/output_guard.h"
#include "core/result_codes.h"
#include "disc/time_code.h"
#include "engine/system_header.h"
#include "tools/mpeg_packets.h"

namespace {

constexpr size_t kSector = kClipSectorSize;
const uint8_t kGopStart[4] = {0x00, 0x00, 0x01, 0xB8};
const uint8_t kSequenceStart[4] = {0x00, 0x00, 0x01, 0xB3};

// SCRs of the fixed header sectors put in front of a clip cut inside its
// source (the last one's), in 90 kHz ticks.
constexpr int64_t kMpeg1LastHeaderScr = 1204;
constexpr int64_t kMpeg2LastHeaderScr = 0;
constexpr size_t kSequenceAt = 36;  // an SVCD clip's first sequence header
// Audio starting this long (0.1 s) before the first picture is kept.
constexpr int64_t kAudioLead = 9000;

int64_t Rebased(int64_t value, int64_t base) {
    const int64_t v = value - base;
    return v < 0 ? 0 : std::min<int64_t>(v, static_cast<int64_t>(kClockMask));
}

void RebaseScr(uint8_t* field, int kind, int64_t base) {
    if (kind == 1) {
        TGopTimeCode::EncodeMpeg1Scr(field, static_cast<uint64_t>(
                                                Rebased(static_cast<int64_t>(TGopTimeCode::DecodeMpeg1Scr(field)), base)));
        return;
    }
    const uint8_t ext = field[4] & 0x03;
    TGopTimeCode::EncodeMpeg2Scr(field,
                                 static_cast<uint64_t>(Rebased(static_cast<int64_t>(TGopTimeCode::DecodeMpeg2Scr(field)), base)));
    field[4] = static_cast<uint8_t>(field[4] | ext);
}

void RebaseStamp(uint8_t* field, int64_t base) {
    TGopTimeCode::ReplacePts(field, static_cast<uint64_t>(
                                        Rebased(static_cast<int64_t>(TGopTimeCode::DecodeMpeg1Scr(field)), base)));
}

void PutLength(uint8_t* s, const PsPacket& p, size_t length) {
    s[p.start + 4] = static_cast<uint8_t>(length >> 8);
    s[p.start + 5] = static_cast<uint8_t>(length);
}

void WritePadding(uint8_t* at, size_t total) {
    at[0] = 0;
    at[1] = 0;
    at[2] = 1;
    at[3] = 0xBE;
    at[4] = static_cast<uint8_t>((total - 6) >> 8);
    at[5] = static_cast<uint8_t>(total - 6);
    std::memset(at + 6, 0xFF, total - 6);
}

// Drops the payload bytes before `sync` from a packet: fewer than 6
// become stuffing in its header, more a padding packet in front of it.
void DropPayloadHead(uint8_t* s, const PsPacket& p, size_t sync, int kind) {
    const size_t k = sync - p.payload;
    if (k == 0) return;
    if (k < 6) {
        if (kind == 2) {
            std::memset(s + p.payload, 0xFF, k);
            s[p.start + 8] = static_cast<uint8_t>(s[p.start + 8] + k);
        } else {
            std::memmove(s + p.start + 6 + k, s + p.start + 6, p.payload - (p.start + 6));
            std::memset(s + p.start + 6, 0xFF, k);
        }
        return;
    }
    std::memmove(s + p.start + k, s + p.start, p.payload - p.start);
    PsPacket moved = p;
    moved.start = p.start + k;
    PutLength(s, moved, p.end - moved.start - 6);
    WritePadding(s + p.start, k);
}

// Ends an audio packet at `cut`: the rest becomes a padding packet, or
// stuffing when there are fewer than 6 bytes.
void DropAudioTail(uint8_t* s, const PsPacket& p, size_t cut, int kind) {
    const size_t tail = p.end - cut;
    if (tail == 0) return;
    if (tail >= 6) {
        PutLength(s, p, cut - p.start - 6);
        WritePadding(s + cut, tail);
        return;
    }
    if (kind == 2) {
        std::memmove(s + p.payload + tail, s + p.payload, cut - p.payload);
        std::memset(s + p.payload, 0xFF, tail);
        s[p.start + 8] = static_cast<uint8_t>(s[p.start + 8] + tail);
    } else {
        std::memmove(s + p.start + 6 + tail, s + p.start + 6, cut - (p.start + 6));
        std::memset(s + p.start + 6, 0xFF, tail);
    }
}

// Follows the MPEG audio frames through the packets of a clip.
struct AudioFrames {
    bool started = false;  // the first packet was aligned on a frame sync
    bool lost = false;     // a header did not read: no cut at the end
    size_t skip = 0;       // bytes of the current frame still to come
    uint8_t header[4] = {};
    size_t have = 0;       // header bytes collected

    // The offset after the last whole frame within [from, to).
    size_t Walk(const uint8_t* s, size_t from, size_t to) {
        size_t lastStart = SIZE_MAX;
        size_t i = from;
        while (i < to && !lost) {
            if (skip > 0) {
                const size_t step = std::min(skip, to - i);
                i += step;
                skip -= step;
                continue;
            }
            if (have == 0) lastStart = i;
            while (have < 4 && i < to) header[have++] = s[i++];
            if (have < 4) break;
            const size_t length = MpegAudioFrameLength(header);
            have = 0;
            if (length < 4) {
                lost = true;
                break;
            }
            skip = length - 4;
        }
        if (lost) return to;
        if (skip == 0 && have == 0) return to;
        return lastStart == SIZE_MAX ? from : lastStart;
    }
};

// Two frame headers of one audio stream: the same version, layer and
// sampling rate.
bool SameAudioFormat(const uint8_t* a, const uint8_t* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

// The first offset in [from, to) where an audio frame starts whose
// successor starts in the range too, in the same format; `to` when there
// is none. A lone header proves nothing: the bytes of a frame's middle
// often read as one, and a clip that began there would not decode.
size_t FindFrameSync(const uint8_t* s, size_t from, size_t to) {
    for (size_t i = from; i + 4 <= to; ++i) {
        const size_t length = MpegAudioFrameLength(s + i);
        if (length < 4 || i + length + 4 > to) continue;
        if (MpegAudioFrameLength(s + i + length) == 0 || !SameAudioFormat(s + i, s + i + length)) continue;
        return i;
    }
    return to;
}

struct HeldSector {
    std::vector<uint8_t> bytes;
    int audioPacket = -1;  // index of its last audio packet
    size_t cut = 0;        // where that packet's last whole frame ends
};

class ClipOutput {
public:
    explicit ClipOutput(TFileIO& out) : out_(out) {}
    // Holds sectors from the last one with audio on, so that the clip's last
    // audio packet can still be cut when the clip ends.
    void Add(HeldSector sector) {
        if (sector.audioPacket >= 0) Flush();
        held_.push_back(std::move(sector));
    }
    void Finish(int kind) {
        if (!held_.empty() && held_.front().audioPacket >= 0) {
            HeldSector& h = held_.front();
            const PsSector ps = ParsePsSector(h.bytes.data(), h.bytes.size());
            if (h.audioPacket < static_cast<int>(ps.packets.size()))
                DropAudioTail(h.bytes.data(), ps.packets[static_cast<size_t>(h.audioPacket)], h.cut, kind);
        }
        Flush();
    }
    bool ok() const { return ok_; }

private:
    void Flush() {
        for (const HeldSector& h : held_)
            if (out_.Write(h.bytes.data(), h.bytes.size()) != h.bytes.size()) ok_ = false;
        held_.clear();
    }
    TFileIO& out_;
    std::deque<HeldSector> held_;
    bool ok_ = true;
};

bool NoGopBefore(TFileIO& source, int64_t offset) {
    std::vector<uint8_t> s(kSector);
    for (int64_t pos = 0; pos < offset; pos += static_cast<int64_t>(kSector)) {
        if (source.Seek(static_cast<uint64_t>(pos)) != 0) return false;
        const size_t got = source.Read(s.data(), kSector);
        if (FindPattern(kGopStart, 4, s.data(), got) >= 0) return false;
    }
    return true;
}

}  // namespace

std::string SampleOutputPath(const std::string& name, const std::string& directory) {
    if (!name.empty() && name[0] == '/') return name;
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

namespace {

// The first sector of the clip: a clip from the first GOP starts with the
// source itself.
int64_t ClipStart(TFileIO& source, const TSampleClipDescription& clip) {
    return clip.inFrame == 0 && NoGopBefore(source, clip.inOffset) ? 0 : clip.inOffset;
}

int ClipProblem(TFileIO& source, const TSampleClipDescription& clip, std::string* why) {
    auto refuse = [why](int code, const char* reason) {
        if (why) *why = reason;
        return code;
    };
    const int64_t size = static_cast<int64_t>(source.Size());
    const int64_t step = static_cast<int64_t>(kSector);
    if (clip.inOffset < 0 || clip.inOffset % step != 0 || clip.inOffset >= size || clip.outOffset <= clip.inOffset ||
        clip.outOffset % step != 0 || clip.outFrame <= clip.inFrame)
        return refuse(msg::error::kCannotCreate, "no picture between the in and the out point");
    // Every sector up to the out GOP's must open a pack, or the cut lands
    // inside packets and the clip plays broken.
    const int64_t last = std::min(clip.outOffset, (size / step - 1) * step);
    std::vector<uint8_t> s(kSector);
    // Clocks and time codes that start again inside the clip cannot be
    // rebased to run on from 0: the clip's would go back.
    int64_t lastScr = -1, lastFrame = -1;
    for (int64_t pos = ClipStart(source, clip); pos <= last; pos += step) {
        if (source.Seek(static_cast<uint64_t>(pos)) != 0 || source.Read(s.data(), kSector) != kSector)
            return refuse(msg::error::kCannotCreate, "the source cannot be read up to the out point");
        // An empty sector (ffmpeg's VCD muxer writes some, as discs hold
        // them) keeps the grid; it is copied as it stands.
        if (std::all_of(s.begin(), s.end(), [](uint8_t b) { return b == 0; })) continue;
        const PsSector ps = ParsePsSector(s.data(), kSector);
        if (ps.packKind == 0) return refuse(msg::error::kInvalidPackSize, "a sector of the clip opens no pack");
        const int64_t scr = static_cast<int64_t>(ps.packKind == 1 ? TGopTimeCode::DecodeMpeg1Scr(s.data() + 4)
                                                                  : TGopTimeCode::DecodeMpeg2Scr(s.data() + 4));
        if (scr < lastScr) return refuse(msg::error::kCannotCreate, "the clock starts again inside the clip");
        lastScr = scr;
        for (const PsPacket& p : ps.packets) {
            if (!p.IsVideo()) continue;
            for (size_t at = p.payload; at < p.end;) {
                const int64_t hit = FindPattern(kGopStart, 4, s.data() + at, p.end - at);
                if (hit < 0) break;
                const size_t g = at + static_cast<size_t>(hit);
                at = g + 1;
                uint8_t header[8];
                if (!ReadGopHeader(source, static_cast<uint64_t>(pos), s.data(), kSector, g, header)) continue;
                TGopTimeCode tc;
                tc.Read(header);
                const int64_t frame = tc.FrameNumber(clip.frameRate);
                if (frame <= lastFrame)
                    return refuse(msg::error::kCannotCreate, "the time codes start again inside the clip");
                lastFrame = frame;
            }
        }
    }
    return 0;
}

}  // namespace

int SampleClipProblem(const TSampleClipDescription& clip, std::string* why) {
    TFileIO source;
    if (clip.sourcePath.empty() || source.OpenForRead(clip.sourcePath) != 0) {
        if (why) *why = "the source cannot be opened";
        return msg::error::kCannotCreate;
    }
    return ClipProblem(source, clip, why);
}

std::string SampleClipProblemLine(const std::string& why, const std::string& source) {
    return std::string(kLogIndent) + "[ sample clip refused: " + why + " ] " + source;
}

int WriteSample(const TSampleClipDescription& clip, const std::string& directory, const SampleWriteHandles& h) {
    const int kind = clip.discKind == 2 ? 2 : 1;
    TFileIO source;
    if (clip.sourcePath.empty() || source.OpenForRead(clip.sourcePath) != 0) return result::kCannotOpen;
    const int64_t size = static_cast<int64_t>(source.Size());
    const int64_t step = static_cast<int64_t>(kSector);
    if (ClipProblem(source, clip, nullptr) != 0) return result::kCannotOpen;

    std::vector<uint8_t> sector(kSector);
    const int64_t start = ClipStart(source, clip);
    source.Seek(static_cast<uint64_t>(start));
    if (source.Read(sector.data(), kSector) != kSector) return result::kCannotOpen;
    const PsSector first = ParsePsSector(sector.data(), kSector);
    if (first.packKind == 0) return result::kCannotOpen;
    const int64_t inScr = static_cast<int64_t>(kind == 1 ? TGopTimeCode::DecodeMpeg1Scr(sector.data() + 4)
                                                         : TGopTimeCode::DecodeMpeg2Scr(sector.data() + 4));
    // One sector time at the stream's rate (1200 ticks at 75 sectors a second).
    const uint32_t mux = first.muxRate ? first.muxRate : 3528;
    const int64_t sectorTicks = static_cast<int64_t>(90000.0 * 2352.0 / (mux * 50.0) + 0.5);
    const bool headers = start > 0;
    const int64_t base =
        headers ? inScr - ((kind == 1 ? kMpeg1LastHeaderScr : kMpeg2LastHeaderScr) + sectorTicks) : inScr;

    const std::string path = SampleOutputPath(clip.outputName, directory);
    TOutputGuard own;
    own.AddInput(clip.sourcePath);
    std::string other = own.Clash(path);
    if (other.empty() && h.guard) other = h.guard->Clash(path);
    if (!other.empty()) {
        if (h.log) h.log(OutputClashLine(path, other));
        return result::kCannotCreate;
    }
    TFileIO out;
    if (path.empty() || out.OpenForWrite(path) != 0) return result::kCannotOpen;
    // Whatever ends the writing early, a throw included, leaves no part of
    // the clip behind.
    struct PartialClip {
        TFileIO& out;
        const std::string& path;
        bool whole = false;
        ~PartialClip() {
            if (whole) return;
            out.Close();
            // The file written, never a link that led to it nor a device.
            std::error_code ec;
            const std::filesystem::path file = std::filesystem::canonical(path, ec);
            if (!ec && std::filesystem::is_regular_file(file, ec)) std::filesystem::remove(file, ec);
        }
    } partial{out, path};

    const std::string generating =
        h.texts ? h.texts->core(msg::core::kGeneratingSample) : std::string("Generating sample...");
    if (h.status) h.status->setCaption(generating);
    if (h.eta) h.eta->setCaption("");
    if (h.window) h.window->showWith(generating);

    bool ok = true;
    if (headers) ok = kind == 1 ? WriteMpeg1SystemHeaderSectors(out) : WriteMpeg2SystemHeaderSector(out);

    ClipOutput output(out);
    AudioFrames audio;
    bool firstGopSeen = false, videoEnded = false, sequenceChecked = kind != 2;
    uint8_t pendingHeader[8];
    size_t pendingFrom = 8;  // bytes of a rewritten GOP header still to place
    int lastPercent = -1;
    const int64_t length = std::max<int64_t>(1, clip.outFrame - clip.inFrame);

    // After the out GOP, the audio that plays with the last pictures still
    // follows in the stream: its sectors are taken, without their video,
    // until the audio reaches the end of the video.
    constexpr int kTailLimit = 300;
    int tailSectors = 0;
    int64_t firstVideoPts = -1, videoEndPts = -1, lastSourceScr = -1;
    for (int64_t pos = start; ok && pos < size; pos += step) {
        if (!videoEnded && pos > clip.outOffset) break;
        if (videoEnded && (videoEndPts < 0 || ++tailSectors > kTailLimit)) break;
        HeldSector held;
        held.bytes.resize(kSector);
        uint8_t* s = held.bytes.data();
        if (source.Seek(static_cast<uint64_t>(pos)) != 0) break;
        const size_t got = source.Read(s, kSector);
        if (got < kSector) break;
        PsSector ps = ParsePsSector(s, kSector);
        if (ps.packKind != 0) {
            const int64_t scr = static_cast<int64_t>(kind == 1 ? TGopTimeCode::DecodeMpeg1Scr(s + 4)
                                                               : TGopTimeCode::DecodeMpeg2Scr(s + 4));
            // The audio after the out point ends where the clock starts again.
            if (videoEnded && scr < lastSourceScr) break;
            lastSourceScr = scr;
        }
        if (videoEnded) {
            const PsPacket* a = ps.FirstOf(false);
            if (!a) continue;
            if (a->ptsAt >= 0 && static_cast<int64_t>(TGopTimeCode::DecodeMpeg1Scr(s + a->ptsAt)) >= videoEndPts) break;
            for (const PsPacket& p : ps.packets)
                if (p.IsVideo()) WritePadding(s + p.start, p.end - p.start);
            ps = ParsePsSector(s, kSector);
        }
        if (const PsPacket* v = ps.FirstOf(true); v && firstVideoPts < 0 && v->ptsAt >= 0)
            firstVideoPts = static_cast<int64_t>(TGopTimeCode::DecodeMpeg1Scr(s + v->ptsAt));
        if (ps.packKind != 0) RebaseScr(s + 4, kind, base);
        for (const PsPacket& p : ps.packets) {
            if (p.ptsAt >= 0) RebaseStamp(s + p.ptsAt, base);
            if (p.dtsAt >= 0) RebaseStamp(s + p.dtsAt, base);
        }

        // The GOP headers of the video packets: new time codes, and the end
        // of the video at the out GOP.
        for (const PsPacket& p : ps.packets) {
            if (!p.IsVideo() || videoEnded) continue;
            size_t at = p.payload;
            while (pendingFrom < 8 && at < p.end) s[at++] = pendingHeader[pendingFrom++];
            while (at < p.end) {
                const int64_t hit = FindPattern(kGopStart, 4, s + at, p.end - at);
                if (hit < 0) break;
                const size_t g = at + static_cast<size_t>(hit);
                uint8_t header[8];
                if (!ReadGopHeader(source, static_cast<uint64_t>(pos), s, kSector, g, header)) {
                    at = g + 1;
                    continue;
                }
                TGopTimeCode tc;
                tc.Read(header);
                const int64_t frame = std::max<int64_t>(0, tc.FrameNumber(clip.frameRate) - clip.timeBase);
                if (firstGopSeen && (frame >= clip.outFrame || pos >= clip.outOffset)) {
                    s[g + 3] = 0xB7;  // sequence end in place of the GOP
                    std::memset(s + g + 4, 0, p.end - (g + 4));
                    videoEnded = true;
                    if (firstVideoPts >= 0)
                        videoEndPts = firstVideoPts +
                                      static_cast<int64_t>(static_cast<double>(clip.outFrame - clip.inFrame) * 90000.0 /
                                                           clip.frameRate);
                    break;
                }
                firstGopSeen = true;
                tc.WriteFrameNumber(header, frame - clip.inFrame, clip.frameRate, 0);
                const size_t here = std::min<size_t>(8, p.end - g);
                std::memcpy(s + g, header, here);
                std::memcpy(pendingHeader, header, 8);
                pendingFrom = here;
                const int percent = static_cast<int>(std::clamp<int64_t>((frame - clip.inFrame) * 100 / length, 0, 100));
                if (percent != lastPercent) {
                    lastPercent = percent;
                    if (h.window) h.window->setPosition(percent);
                    if (h.progress) h.progress->setPosition(percent);
                    if (h.completed)
                        h.completed->setCaption(
                            (h.texts ? h.texts->component(msg::component::kCompleted) : std::string("Completed")) +
                            ": " + std::to_string(percent) + "%");
                }
                at = g + here;
            }
            if (videoEnded) {
                // Nothing of the stream after the end code.
                for (const PsPacket& q : ps.packets)
                    if (q.IsVideo() && q.start > p.start) std::memset(s + q.payload, 0, q.end - q.payload);
            }
        }

        // An MPEG-2 clip begins its first video payload with the sequence
        // header.
        if (!sequenceChecked) {
            if (const PsPacket* v = ps.FirstOf(true)) {
                sequenceChecked = true;
                const int64_t hit = FindPattern(kSequenceStart, 4, s + v->payload, v->end - v->payload);
                // The bytes before it go and it moves to 36, where a player
                // looks for it; the stream after it stays whole, so the
                // bytes freed leave as a padding packet at the sector's end.
                const size_t k = hit > 0 ? static_cast<size_t>(hit) : 0;
                const size_t q = v->payload + k;
                if (k > 0 && v->payload <= kSequenceAt && q >= kSequenceAt + 6) {
                    const size_t freed = q - kSequenceAt;
                    std::memmove(s + kSequenceAt, s + q, v->end - q);
                    std::memset(s + v->payload, 0xFF, kSequenceAt - v->payload);
                    s[v->start + 8] = static_cast<uint8_t>(s[v->start + 8] + (kSequenceAt - v->payload));
                    PutLength(s, *v, v->end - freed - v->start - 6);
                    WritePadding(s + v->end - freed, freed);
                } else if (k > 0) {
                    DropPayloadHead(s, *v, q, 2);
                }
            }
        }

        // Whole audio frames only, at both ends of the clip.
        ps = ParsePsSector(s, kSector);
        for (size_t i = 0; i < ps.packets.size(); ++i) {
            const PsPacket p = ps.packets[i];
            if (!p.IsAudio()) continue;
            size_t from = p.payload;
            if (!audio.started) {
                // Audio that ends before the first picture has nothing to
                // go with.
                if (firstVideoPts >= 0 && p.ptsAt >= 0 &&
                    static_cast<int64_t>(TGopTimeCode::DecodeMpeg1Scr(s + p.ptsAt)) + kAudioLead <
                        Rebased(firstVideoPts, base)) {
                    WritePadding(s + p.start, p.end - p.start);
                    continue;
                }
                const size_t sync = FindFrameSync(s, p.payload, p.end);
                if (sync >= p.end) {
                    // Only the middle of a frame: nothing to play.
                    WritePadding(s + p.start, p.end - p.start);
                    continue;
                }
                DropPayloadHead(s, p, sync, kind);
                audio.started = true;
                ps = ParsePsSector(s, kSector);
                for (size_t j = 0; j < ps.packets.size(); ++j)
                    if (ps.packets[j].IsAudio() && ps.packets[j].payload == sync) i = j;
                from = sync;
            }
            held.audioPacket = static_cast<int>(i);
            held.cut = audio.Walk(s, from, ps.packets[i].end);
        }
        output.Add(std::move(held));
    }
    output.Finish(kind);
    ok = ok && output.ok();

    const bool closed = out.Close() == 0;
    if (h.progress) h.progress->setPosition(0);
    if (h.completed) h.completed->setCaption("");
    if (h.status) h.status->setCaption("");
    if (h.window) h.window->hideAndReset();
    if (!ok || !closed) return result::kCannotOpen;  // the partial clip goes with `partial`
    partial.whole = true;
    if (h.generatedFiles) *h.generatedFiles += "\"" + path + "\" ";
    return 0;
}
