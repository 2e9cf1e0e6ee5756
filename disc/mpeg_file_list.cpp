#include "disc/mpeg_file_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "disc/vcd_system_files.h"
#include "disc/vcd_track_list.h"

namespace {

constexpr uint8_t kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};
constexpr uint8_t kSequenceHeader[4] = {0x00, 0x00, 0x01, 0xB3};
constexpr uint8_t kGopStart[4] = {0x00, 0x00, 0x01, 0xB8};
constexpr uint8_t kPictureStart[4] = {0x00, 0x00, 0x01, 0x00};
constexpr int64_t kScanLimit = 0x500000;  // stream facts come from the first 5 MiB
constexpr size_t kSector = size_t(TMpegFileList::kSectorBytes);
// The language set has no entry for this refusal.
constexpr const char* kNoSplitPoint = "No GOP was found to split the file at: it is too long for one image.";

const TLanguageSet& BuiltInTexts() {
    static const TLanguageSet texts;
    return texts;
}

double FrameRateOf(int code) {
    static constexpr double kRates[] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    return code >= 0 && code <= 8 ? kRates[code] : 0;
}

// Pictures per second that play times and PTS frames count at (24 for
// 23.976, 30 for 29.97); 0 for an unknown rate.
int32_t CountingRate(double fps) { return fps > 0 ? NominalFrameRate(fps) : 0; }

// Reads the sector at offset; a short sector at the end is padded with
// zeros. False when nothing could be read.
bool ReadSector(TFileIO& file, int64_t offset, uint8_t* sector) {
    if (offset < 0 || file.Seek(uint64_t(offset)) != 0) return false;
    const size_t got = file.Read(sector, kSector);
    if (got < kSector) std::memset(sector + got, 0, kSector - got);
    return got > 0;
}

// Seconds the bytes take at the mux rate of the pack header at p; 0 when
// there is none to read.
double MuxSeconds(const uint8_t* p, size_t n, int64_t bytes) {
    if (n < 14 || !(p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA)) return 0;
    uint32_t mux = 0;
    if ((p[4] & 0xC0) == 0x40)
        mux = uint32_t(p[10]) << 14 | uint32_t(p[11]) << 6 | p[12] >> 2;
    else if ((p[4] & 0xF0) == 0x20)
        mux = uint32_t(p[9] & 0x7F) << 15 | uint32_t(p[10]) << 7 | p[11] >> 1;
    return mux > 0 ? double(bytes) / (double(mux) * 50.0) : 0;
}

// A measure short of the mux-rate time: a VCD's packs come at the mux rate
// (its 2324 of 2352 bytes a sector), an SVCD's at most so fast. A wrong
// guess only costs the walk over every GOP, which gives the same time.
bool ClockLooksRestarted(double measured, double floor) { return measured + 0.25 < floor * 0.98; }

bool HoldsGop(const uint8_t* sector) { return FindPattern(kGopStart, 4, sector, kSector) >= 0; }

bool IsStartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// Length of the pack header at the sector's start (MPEG-2 stuffing
// included), or 0 when the sector does not begin with one.
size_t PackHeaderLength(const uint8_t* s) {
    if (!IsStartCode(s) || s[3] != 0xBA) return 0;
    if ((s[4] & 0xC0) == 0x40) return 14 + (s[13] & 7);
    if ((s[4] & 0xF0) == 0x20) return 12;
    return 0;
}

struct Packet {
    uint8_t id = 0;
    size_t begin = 0, end = 0;  // whole packet within the sector
};

// The packets after the pack header, as far as the sector holds them.
std::vector<Packet> PacketsOf(const uint8_t* s) {
    std::vector<Packet> out;
    size_t pos = PackHeaderLength(s);
    if (pos == 0) return out;
    while (pos + 6 <= kSector && IsStartCode(s + pos)) {
        const uint8_t id = s[pos + 3];
        if (id == 0xBA || id == 0xB9 || id < 0xBB) break;
        const size_t length = size_t(s[pos + 4]) << 8 | s[pos + 5];
        out.push_back({id, pos, std::min(kSector, pos + 6 + length)});
        pos += 6 + length;
    }
    return out;
}

// Where a PES packet's data begins and where its time stamps stand.
struct PesHeader {
    size_t payload = 0;
    int pts = -1, dts = -1;  // offsets in the sector; -1 when absent
};

bool ParsePesHeader(const uint8_t* s, const Packet& p, PesHeader& out) {
    size_t q = p.begin + 6;
    if (q >= p.end) return false;
    if ((s[q] & 0xC0) == 0x80) {  // MPEG-2: flags, header length, then the fields
        if (q + 3 > p.end) return false;
        const int flags = s[q + 1] >> 6;
        out.payload = q + 3 + s[q + 2];
        if (flags >= 2) out.pts = int(q + 3);
        if (flags == 3) out.dts = int(q + 8);
        if (out.payload > p.end || (out.pts >= 0 && size_t(out.pts) + 5 > p.end) ||
            (out.dts >= 0 && size_t(out.dts) + 5 > p.end))
            return false;
        return true;
    }
    // MPEG-1: stuffing, the STD buffer field, then '0010' PTS, '0011' PTS
    // and DTS, or 0F for none.
    for (int n = 0; q < p.end && s[q] == 0xFF && n < 16; ++n) ++q;
    if (q < p.end && (s[q] & 0xC0) == 0x40) q += 2;
    if (q >= p.end) return false;
    if ((s[q] & 0xF0) == 0x20) {
        out.pts = int(q);
        q += 5;
    } else if ((s[q] & 0xF0) == 0x30) {
        out.pts = int(q);
        out.dts = int(q + 5);
        q += 10;
    } else if (s[q] == 0x0F) {
        q += 1;
    } else {
        return false;
    }
    if (q > p.end) return false;
    out.payload = q;
    return true;
}

using GopProbe = TMpegFileList::GopSector;

void ProbeGopSector(const uint8_t* s, int64_t offset, double fps, GopProbe& g) {
    g = GopProbe{};
    g.found = true;
    g.sector = offset;
    const int64_t gop = FindPattern(kGopStart, 4, s, kSector);
    if (gop + 8 <= int64_t(kSector)) {
        TGopTimeCode code;
        code.Read(s + gop);
        g.gopFrame = fps > 0 ? code.FrameNumber(fps) : 0;
    }
    for (const Packet& p : PacketsOf(s)) {
        if (p.id < 0xE0 || p.id > 0xEF) continue;
        PesHeader h;
        if (!ParsePesHeader(s, p, h)) continue;
        if (gop < int64_t(h.payload) || gop + 4 > int64_t(p.end)) continue;
        // A picture that begins before the GOP in the same packet owns the PTS.
        const int64_t pic = FindPattern(kPictureStart, 4, s + h.payload, size_t(gop) - h.payload);
        if (h.pts >= 0 && pic < 0) {
            g.hasPts = true;
            g.ptsOffset = h.pts;
            g.pts = TGopTimeCode::DecodePts(s + h.pts);
            g.dts = h.dts >= 0 ? TGopTimeCode::DecodePts(s + h.dts) : 0;
            g.ptsFrame = int64_t(g.pts / 90000.0 * CountingRate(fps));
        }
        break;
    }
}

// The MPEG audio frame header at h (FF, then a byte with its top three bits
// set). False for a reserved version, layer, bit-rate or sampling index.
bool DecodeAudioHeader(const uint8_t* h, int32_t& layer, int32_t& sampleRate, uint32_t& bitRate) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layerBits = (h[1] >> 1) & 3;
    const int rateIndex = h[2] >> 4;
    const int freqIndex = (h[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || rateIndex == 15 || freqIndex == 3) return false;
    static constexpr uint16_t kMpeg1[3][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
    static constexpr uint16_t kLowRate[2][15] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static constexpr int32_t kFreq[3] = {44100, 48000, 32000};
    const int layerRow = 3 - layerBits;  // 0 Layer I, 1 Layer II, 2 Layer III
    layer = layerBits;
    if (version == 3) {
        bitRate = uint32_t(kMpeg1[layerRow][rateIndex]) * 1000;
        sampleRate = kFreq[freqIndex];
    } else {
        bitRate = uint32_t(kLowRate[layerRow == 0 ? 0 : 1][rateIndex]) * 1000;
        sampleRate = kFreq[freqIndex] / (version == 2 ? 2 : 4);
    }
    return true;
}

std::string TwoDigits(int64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(v));
    return text;
}

// The pictures of the GOP whose header lies in the sector at offset, read
// from the video packets of the sectors from there on: the temporal
// reference of its first coded picture (the one the GOP packet's PTS
// belongs to) and how many pictures it displays (its highest temporal
// reference plus one). It ends at the next GOP, the file's end or the
// search range.
struct GopPictures {
    int firstReference = 0;
    int count = 0;
};

GopPictures ReadGopPictures(TFileIO& file, int64_t offset) {
    GopPictures out;
    std::vector<uint8_t> video;
    uint8_t s[kSector];
    bool inGop = false, firstSeen = false;
    size_t scanned = 0;  // bytes of video already searched
    for (int n = 0; n < TMpegFileList::kSearchSectors; ++n, offset += TMpegFileList::kSectorBytes) {
        if (!ReadSector(file, offset, s)) break;
        for (const Packet& p : PacketsOf(s)) {
            if (p.id < 0xE0 || p.id > 0xEF) continue;
            PesHeader h;
            if (ParsePesHeader(s, p, h)) video.insert(video.end(), s + h.payload, s + p.end);
        }
        // Start codes whose picture header bytes are all in.
        for (; scanned + 6 <= video.size(); ++scanned) {
            const uint8_t* c = video.data() + scanned;
            if (!IsStartCode(c)) continue;
            if (c[3] == 0xB8) {
                if (inGop) return out;
                inGop = true;
            } else if (c[3] == 0x00 && inGop) {
                const int reference = int(c[4]) << 2 | c[5] >> 6;
                if (!firstSeen) out.firstReference = reference;
                firstSeen = true;
                out.count = std::max(out.count, reference + 1);
            } else if (c[3] == 0xB7 && inGop) {
                return out;  // sequence end
            }
        }
    }
    return out;
}

void PlayTimeFromFrames(int64_t frames, double fps, TMpegFileInfo& e) {
    const int32_t r = CountingRate(fps);
    if (frames < 0 || r <= 0) frames = 0;
    const int64_t secs = r > 0 ? frames / r : 0;
    e.playPictures = r > 0 ? int32_t(frames % r) : 0;
    e.playSeconds = int32_t(secs % 60);
    e.playMinutes = int32_t(std::min<int64_t>(secs / 60, INT32_MAX));
    e.playFrames = frames;
}

}  // namespace

std::string TMpegFileInfo::TimeText() const {
    return "[" + TwoDigits(playMinutes / 60) + ":" + TwoDigits(playMinutes % 60) + ":" + TwoDigits(playSeconds) +
           "s]";
}

TMpegFileList::TMpegFileList(TJob* job, TConfig* config) : job_(job), config_(config) {}

TMpegFileList::~TMpegFileList() = default;

int64_t TMpegFileList::ImageCapacity() const {
    if (capacityOverride_ >= 0) return capacityOverride_;
    auto ticked = [](platform::CheckBox* box) { return box != nullptr && box->checked(); };
    if (ticked(controls_.imgNone)) return 0;
    if (ticked(controls_.img74)) return kCapacity74;
    if (ticked(controls_.img80) || ticked(controls_.imgCustom)) return kCapacity80;
    return 0;
}

int64_t TMpegFileList::ImageMargin() const {
    if (marginOverride_ >= 0) return marginOverride_;
    return DiscKind() == 2 ? kMarginSvcd : kMarginVcd;
}

int32_t TMpegFileList::DiscKind() const {
    if (entries.empty() && pendingKind_ != 0) return pendingKind_;
    return job_ ? job_->discKind : 1;
}

int64_t TMpegFileList::PieceLength() const {
    const int64_t length = ImageCapacity() - ImageMargin() - kTrackFrameBytes;
    return std::max(length, kSectorBytes);
}

void TMpegFileList::Report(int kind, int index, const std::string& context) {
    MessageServices services;
    services.languageSet = controls_.languageSet ? controls_.languageSet : &BuiltInTexts();
    services.stats = controls_.stats;
    services.dialogs = controls_.dialogs;
    const uint8_t quiet = config_ ? config_->DisableAudioWarningBell : 1;
    const int16_t prompts = config_ ? config_->DisableErrorPrompts : 1;
    ReportMessage(services, kind, index, context, quiet, prompts, controls_.logListBox);
}

void TMpegFileList::ReportText(const char* error, const std::string& context) {
    MessageServices services;
    services.languageSet = controls_.languageSet ? controls_.languageSet : &BuiltInTexts();
    services.stats = controls_.stats;
    services.dialogs = controls_.dialogs;
    const int16_t prompts = config_ ? config_->DisableErrorPrompts : 1;
    ReportError(services, error, context, prompts, controls_.logListBox);
}

int32_t TMpegFileList::PauseFromPage() const {
    if (!controls_.pauseTimeMsg) return 0;
    const std::string text = controls_.pauseTimeMsg->text();
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str()) return 0;
    return int32_t(std::clamp<long>(v, 0, 255));
}

// ---- Time functions -------------------------------------------------------

int64_t TMpegFileList::GridStart(int64_t position) const {
    if (position <= packOrigin_) return packOrigin_;
    return packOrigin_ + (position - packOrigin_) / kSectorBytes * kSectorBytes;
}

bool TMpegFileList::FindGopForward(TFileIO& file, int64_t from, GopSector& out) {
    uint8_t s[kSector];
    int64_t pos = GridStart(from);
    for (int n = 0; n < kSearchSectors; ++n, pos += kSectorBytes) {
        if (!ReadSector(file, pos, s)) break;
        if (HoldsGop(s)) {
            ProbeGopSector(s, pos, scanRate_, out);
            return true;
        }
    }
    out = GopSector{};
    return false;
}

bool TMpegFileList::FindGopBackward(TFileIO& file, int64_t from, GopSector& out) {
    uint8_t s[kSector];
    int64_t pos = GridStart(from);
    bool forwards = false;
    for (int n = 0; n < kSearchSectors; ++n) {
        if (!ReadSector(file, pos, s)) break;
        if (HoldsGop(s)) {
            ProbeGopSector(s, pos, scanRate_, out);
            return true;
        }
        // Back one sector at a time; past the grid's start the walk turns.
        if (!forwards && pos - kSectorBytes >= packOrigin_) {
            pos -= kSectorBytes;
        } else {
            forwards = true;
            pos += kSectorBytes;
        }
    }
    out = GopSector{};
    return false;
}

bool TMpegFileList::HasTimeStamps(TFileIO& file) {
    GopSector g;
    if (!FindGopForward(file, packOrigin_, g) || !g.hasPts) return false;
    ptsOffset = g.ptsOffset;
    return true;
}

uint64_t TMpegFileList::FirstScr(TFileIO& file, int64_t offset) {
    uint8_t s[kSector];
    auto scr = [&] {
        return (s[4] & 0xC0) == 0x40 ? TGopTimeCode::DecodeMpeg2Scr(s + 4) : TGopTimeCode::DecodeMpeg1Scr(s + 4);
    };
    // A piece begins at a pack of its own, which may lie off the grid.
    if (offset > packOrigin_ && ReadSector(file, offset, s) && PackHeaderLength(s) != 0) return scr();
    int64_t pos = GridStart(offset);
    for (int n = 0; n < kSearchSectors; ++n, pos += kSectorBytes) {
        if (!ReadSector(file, pos, s)) break;
        if (PackHeaderLength(s) == 0) continue;
        return scr();
    }
    return 0;
}

int64_t TMpegFileList::PackStartOfGop(TFileIO& file, int64_t sector) {
    const int64_t from = std::max(packOrigin_, sector - kSectorBytes);
    std::vector<uint8_t> w(size_t(sector - from) + kSector);
    if (file.Seek(uint64_t(from)) != 0) return -1;
    w.resize(file.Read(w.data(), w.size()));
    const size_t own = size_t(sector - from);
    if (w.size() <= own) return -1;
    const int64_t gop = FindPattern(kGopStart, 4, w.data() + own, w.size() - own);
    if (gop < 0) return -1;
    // The pack holding the GOP began less than one pack before it.
    const size_t at = own + size_t(gop);
    const size_t lowest = at >= kSector ? at - kSector + 1 : 0;
    for (size_t i = at + 1; i-- > lowest;)
        if (i + 4 <= w.size() && std::memcmp(w.data() + i, kPackStart, 4) == 0) return from + int64_t(i);
    return -1;
}

bool TMpegFileList::GopSectorAt(TFileIO& file, int64_t offset, GopSector& out) {
    uint8_t s[kSector];
    for (int n = 0; n < kSearchSectors; ++n, offset += kSectorBytes) {
        if (!ReadSector(file, offset, s)) break;
        if (HoldsGop(s)) {
            ProbeGopSector(s, offset, scanRate_, out);
            return true;
        }
    }
    out = GopSector{};
    return false;
}

int64_t TMpegFileList::FirstGopFrame(TFileIO& file) {
    GopSector g;
    return FindGopForward(file, packOrigin_, g) ? g.gopFrame : 0;
}

int64_t TMpegFileList::GopFrameAt(TFileIO& file, int64_t& position) {
    GopSector g;
    if (!FindGopBackward(file, position, g)) {
        position = 0;
        return 0;
    }
    position = g.sector;
    return g.gopFrame;
}

int64_t TMpegFileList::PtsFrameAt(TFileIO& file, int64_t& position, double* firstPts, double* firstDts) {
    GopSector g;
    if (!FindGopBackward(file, position, g)) {
        position = 0;
        if (firstPts) *firstPts = 0;
        if (firstDts) *firstDts = 0;
        return -1;
    }
    position = g.sector;
    if (firstPts) *firstPts = g.hasPts ? g.pts : 0;
    if (firstDts) *firstDts = g.hasPts ? g.dts : 0;
    if (!g.hasPts) return -1;
    ptsOffset = g.ptsOffset;
    return g.ptsFrame;
}

// ---- Scanning -------------------------------------------------------------

int TMpegFileList::AddFile(const std::string& path) {
    const std::string shown = ExtractName(path);
    // Without spanning nothing opens a new image: a full last image refuses
    // the file before anything of it is read or logged.
    if (ImageCapacity() <= 0 && TracksInImage(ImageCount()) >= kMaxImageTracks) {
        Report(kMsgError, msg::error::kTooManyVideoTracks, shown);
        return result::kFailed;
    }
    TFileIO file(job_);
    if (file.OpenForRead(path) != 0) {
        Report(kMsgError, msg::error::kCannotOpen, shown);
        return result::kCannotOpen;
    }
    int result = result::kOk;
    const bool mpeg2 = IsMpeg2Stream(file);
    if (!entries.empty()) {
        const int32_t kind = job_ ? job_->discKind : 1;
        if (kind == 1 && mpeg2) {
            Report(kMsgError, msg::error::kNotMpeg1, shown);
            result = result::kFailed;
        } else if (kind == 2 && !mpeg2) {
            Report(kMsgError, msg::error::kNotMpeg2, shown);
            result = result::kFailed;
        }
        pendingKind_ = 0;
    } else if (mpeg2) {
        pendingKind_ = 2;
    } else if (!IsMpegProgramStream(file)) {
        Report(kMsgError, msg::error::kNoMpegStream, shown);
        result = result::kFailed;
    } else {
        pendingKind_ = 1;
    }
    if (result == result::kOk) {
        result = ScanFile(file);
        switch (result) {
        case result::kScanNoStream: Report(kMsgError, msg::error::kNoMpegStream, shown); break;
        case result::kScanNoSequence: Report(kMsgError, msg::error::kNoSequenceHeader, shown); break;
        case result::kScanNoSplit: ReportText(kNoSplitPoint, shown); break;
        case result::kBadPackSize: Report(kMsgError, msg::error::kInvalidPackSize, shown); break;
        default: break;
        }
    }
    // Checked on the stream from its first pack, whole or split.
    const bool wholePacks = (int64_t(file.Size()) - packOrigin_) % kSectorBytes == 0;
    file.Close();
    pendingKind_ = 0;
    if (result == result::kSplit) {
        ShowImageInfo();
        if (!wholePacks) Report(kMsgWarning, msg::warning::kNotConstantPackSize, shown);
        return result::kOk;
    }
    if (result != result::kOk) return result;

    const TMpegFileInfo& added = entries.back();
    if (controls_.startVCDButton) controls_.startVCDButton->setEnabled(true);
    if (controls_.trackList) {
        controls_.trackList->AddRow(added.image, added.trackInImage, added.name, added.TimeText());
        controls_.trackList->Renumber();
    }
    if (!wholePacks) Report(kMsgWarning, msg::warning::kNotConstantPackSize, shown);
    if (controls_.logListBox) {
        if (!config_ || config_->buildListHeaderShown == 0) {
            for (const std::string& line : LogHeader()) controls_.logListBox->add(line);
            if (config_) config_->buildListHeaderShown = 1;
        }
        controls_.logListBox->add(LogLine(int(entries.size()), added));
    }
    return 0;
}

// The first file of a list decides the disc kind; the job and the boxes
// learn it only when the file is taken.
void TMpegFileList::TakeDiscKind() {
    if (pendingKind_ == 0 || !entries.empty()) return;
    if (job_) job_->discKind = pendingKind_;
    platform::CheckBox* on = pendingKind_ == 2 ? controls_.SVCDCheckBox : controls_.VCDCheckBox;
    platform::CheckBox* off = pendingKind_ == 2 ? controls_.VCDCheckBox : controls_.SVCDCheckBox;
    if (off && off->checked()) off->setChecked(false);
    if (on && !on->checked()) on->setChecked(true);
}

int TMpegFileList::ScanFile(TFileIO& file) {
    const int64_t length = int64_t(file.Size());
    std::vector<uint8_t> head(size_t(std::min(length, kScanLimit)));
    file.Seek(0);
    head.resize(file.Read(head.data(), head.size()));

    const int64_t origin = FindPattern(kPackStart, 4, head.data(), head.size());
    if (origin < 0) return result::kScanNoStream;
    // Pack size: the distance to the next pack start, at least 2048 bytes on.
    int packSize = 0;
    if (size_t(origin) + 2048 < head.size()) {
        const int64_t next = FindPattern(kPackStart, 4, head.data() + origin + 2048, head.size() - size_t(origin) - 2048);
        if (next >= 0) packSize = int(next + 2048);
    }
    // A VCD mux without audio leaves empty sectors after the first pack: the
    // packs still stand on the 2324-byte grid.
    if (packSize > kSectorBytes && packSize % kSectorBytes == 0) {
        const uint8_t* gap = head.data() + origin + kSectorBytes;
        if (std::all_of(gap, gap + (packSize - kSectorBytes), [](uint8_t b) { return b == 0; }))
            packSize = int(kSectorBytes);
    }
    const int64_t seq = FindPattern(kSequenceHeader, 4, head.data(), head.size());
    if (seq < 0 || size_t(seq) + 12 > head.size()) return result::kScanNoSequence;

    TMpegFileInfo e;
    const uint8_t* sh = head.data() + seq;
    e.width = int16_t(ReadBits(sh, 32, 12));
    e.height = int16_t(ReadBits(sh, 44, 12));
    e.frameRateCode = uint8_t(ReadBits(sh, 60, 4));
    e.videoBitRate = ReadBits(sh, 64, 18) * 400u;
    e.frameRate = FrameRateOf(e.frameRateCode);
    e.pal = e.frameRateCode == 3 ? 1 : 0;
    e.packSize2324 = packSize == kSectorBytes ? 1 : 0;
    if (!e.packSize2324) return result::kBadPackSize;

    packOrigin_ = origin;
    scanRate_ = e.frameRate;
    ScanAudio(head, e);
    e.hasTimeStamps = HasTimeStamps(file) ? 1 : 0;
    e.name = file.name;

    const int64_t capacity = ImageCapacity();
    if (capacity > 0 && length - origin > PieceLength()) return SplitFile(file, e);

    e.startOffset = origin;
    e.endOffset = length;
    e.size = length - origin;
    e.firstScr = FirstScr(file, origin);
    GopSector first, last;
    FindGopForward(file, origin, first);
    FindGopBackward(file, length - kSectorBytes, last);
    const bool byPts = e.hasTimeStamps && first.hasPts && last.hasPts && last.ptsFrame >= first.ptsFrame;
    e.firstFrame = byPts ? first.ptsFrame : first.gopFrame;
    if (first.hasPts) {
        e.firstPts = first.pts;
        e.firstDts = first.dts;
    }
    if (first.found && last.found) {
        int64_t frames = DisplayFrames(file, first, last, e.hasTimeStamps, true);
        // Streams joined end to end start their clocks again: the first and
        // last GOP then tell nothing. Played at its mux rate the file lasts
        // at least so long; a measure well short of that walks every GOP.
        const double floor = MuxSeconds(head.data() + origin, head.size() - size_t(origin), length - origin);
        if (e.frameRate > 0 && ClockLooksRestarted(double(frames) / e.frameRate, floor))
            frames = WalkedFrames(file, origin, length);
        PlayTimeFromFrames(frames, e.frameRate, e);
    }
    e.pause = PauseFromPage();

    TakeDiscKind();
    fileNames.push_back(e.name);
    entries.push_back(std::move(e));
    AssignImages();
    return 0;
}

void TMpegFileList::ScanAudio(const std::vector<uint8_t>& head, TMpegFileInfo& e) const {
    // The first audio packet's data, after its PES header, holds the first
    // frame header; the sectors lie on the pack grid from the first pack.
    for (size_t pos = size_t(packOrigin_); pos + kSector <= head.size(); pos += kSector) {
        const uint8_t* s = head.data() + pos;
        for (const Packet& p : PacketsOf(s)) {
            if (p.id < 0xC0 || p.id > 0xDF) continue;
            PesHeader h;
            if (!ParsePesHeader(s, p, h)) continue;
            for (size_t i = h.payload; i + 3 < p.end; ++i) {
                if (DecodeAudioHeader(s + i, e.audioLayer, e.audioSampleRate, e.audioBitRate)) return;
            }
        }
    }
    e.audioLayer = 0;
    e.audioSampleRate = 0;
    e.audioBitRate = 0;
}

int TMpegFileList::SplitFile(TFileIO& file, const TMpegFileInfo& scanned) {
    const int64_t length = int64_t(file.Size());
    const int64_t pieceLength = PieceLength();
    std::vector<TMpegFileInfo> pieces;
    int64_t start = packOrigin_;
    GopSector startGop;
    if (!FindGopForward(file, start, startGop)) return result::kScanNoSplit;
    while (start < length) {
        TMpegFileInfo piece = scanned;
        int64_t end = length;
        GopSector endGop;
        if (length - start > pieceLength) {
            // Cut at the last GOP sector that keeps the piece within its length.
            uint8_t s[kSector];
            int64_t pos = GridStart(start + pieceLength);
            bool found = false;
            for (int n = 0; n < kSearchSectors && pos > start; ++n, pos -= kSectorBytes) {
                if (!ReadSector(file, pos, s)) continue;
                if (HoldsGop(s)) {
                    found = true;
                    break;
                }
            }
            // The cut goes where the pack holding that GOP begins: a piece
            // starts with a pack header even where the packs left the grid.
            end = found ? PackStartOfGop(file, pos) : -1;
            if (end <= start) return result::kScanNoSplit;
            GopSectorAt(file, end, endGop);
        } else {
            FindGopBackward(file, length - kSectorBytes, endGop);
        }
        piece.startOffset = start;
        piece.endOffset = end;
        piece.size = end - start;
        piece.firstPiece = pieces.empty() ? 0 : 1;
        piece.split = 1;
        piece.firstScr = FirstScr(file, start);
        piece.firstFrame = startGop.gopFrame;
        piece.firstPts = startGop.hasPts ? startGop.pts : 0;
        piece.firstDts = startGop.hasPts ? startGop.dts : 0;
        // The last piece plays to the stream's last picture.
        const bool last = end == length;
        int64_t frames = endGop.found ? DisplayFrames(file, startGop, endGop, scanned.hasTimeStamps, last) : 0;
        if (endGop.found && scanned.frameRate > 0) {
            // A clock that starts again inside the piece: as for a whole file.
            uint8_t pack[kSector];
            const double floor = ReadSector(file, start, pack) ? MuxSeconds(pack, kSector, end - start) : 0;
            if (ClockLooksRestarted(double(frames) / scanned.frameRate, floor))
                frames = WalkedFrames(file, startGop.sector, last ? end : endGop.sector);
        }
        PlayTimeFromFrames(frames, scanned.frameRate, piece);
        piece.pause = PauseFromPage();
        pieces.push_back(std::move(piece));
        start = end;
        startGop = endGop;
    }

    TakeDiscKind();
    fileNames.push_back(scanned.name);
    const size_t first = entries.size();
    for (TMpegFileInfo& piece : pieces) entries.push_back(std::move(piece));
    AssignImages();
    if (controls_.startVCDButton) controls_.startVCDButton->setEnabled(true);
    if (controls_.trackList) {
        for (size_t i = first; i < entries.size(); ++i)
            controls_.trackList->AddRow(entries[i].image, entries[i].trackInImage, entries[i].name,
                                        entries[i].TimeText());
        controls_.trackList->Renumber();
    }
    return result::kSplit;
}

int64_t TMpegFileList::DisplayFrames(TFileIO& file, const GopSector& a, const GopSector& b, bool timeStamps,
                                     bool throughB) {
    const GopPictures pa = ReadGopPictures(file, a.sector);
    const GopPictures pb = ReadGopPictures(file, b.sector);
    int64_t frames = 0;
    if (timeStamps && a.hasPts && b.hasPts && b.pts >= a.pts && scanRate_ > 0) {
        // A PTS belongs to the GOP's first coded picture: back to the first
        // one it displays. Counted at the stream's own rate, not the rounded one.
        frames = std::llround((b.pts - a.pts) * scanRate_ / 90000.0) - pb.firstReference + pa.firstReference;
    } else {
        frames = b.gopFrame - a.gopFrame;
    }
    if (throughB) frames += pb.count;
    return std::max<int64_t>(frames, 0);
}

int64_t TMpegFileList::WalkedFrames(TFileIO& file, int64_t from, int64_t to) {
    uint8_t s[kSector];
    bool any = false;
    int64_t first = 0, previous = 0, offset = 0, lastSector = 0;
    for (int64_t pos = from; pos < to; pos += kSectorBytes) {
        if (!ReadSector(file, pos, s)) break;
        if (!HoldsGop(s)) continue;
        GopSector g;
        ProbeGopSector(s, pos, scanRate_, g);
        int64_t frame = g.gopFrame + offset;
        if (any && (frame < previous || double(frame - previous) > 10 * scanRate_)) {
            const int64_t step = std::max(ReadGopPictures(file, lastSector).count, 1);
            offset += previous + step - frame;
            frame = previous + step;
        }
        if (!any) first = frame;
        any = true;
        previous = frame;
        lastSector = pos;
    }
    return any ? previous - first + ReadGopPictures(file, lastSector).count : 0;
}

int64_t TMpegFileList::FramesBetween(const GopSector& a, const GopSector& b, bool timeStamps) {
    if (timeStamps && a.hasPts && b.hasPts && b.ptsFrame >= a.ptsFrame) return b.ptsFrame - a.ptsFrame;
    return b.gopFrame - a.gopFrame;
}

// ---- Images ---------------------------------------------------------------

void TMpegFileList::AssignImages() {
    const int64_t capacity = ImageCapacity();
    const int64_t margin = ImageMargin();
    int32_t image = 1;
    int64_t running = 0;
    for (size_t j = 0; j < entries.size(); ++j) {
        TMpegFileInfo& e = entries[j];
        if (capacity > 0) {
            const int64_t cost = e.size + kTrackFrameBytes;
            running += cost;
            if (capacity < running + margin && j > 0) {
                ++image;
                running = cost;
            }
        }
        if (j == 0) e.imageShift = 0;  // the first entry is always in image 1
        e.image = image + e.imageShift;
        // Images follow one another without gaps or steps back; a removal or
        // move can leave a shift that would make one, so the shift gives way.
        if (j > 0) {
            const int32_t previous = entries[j - 1].image;
            int32_t fix = 0;
            if (e.image > previous + 1) fix = previous + 1 - e.image;
            if (e.image < previous) fix = previous - e.image;
            if (fix != 0) {
                for (size_t k = j; k < entries.size(); ++k) entries[k].imageShift += fix;
                e.image += fix;
            }
        }
        // A disc holds 98 MPEG tracks: with spanning the next one opens the
        // next image.
        if (capacity > 0 && j > 0 && entries[j - 1].image == e.image &&
            entries[j - 1].trackInImage >= kMaxImageTracks) {
            ++image;
            ++e.image;
            running = e.size + kTrackFrameBytes;
        }
        e.trackInImage = j > 0 && entries[j - 1].image == e.image ? entries[j - 1].trackInImage + 1 : 1;
    }
    SyncTrackTable();
}

void TMpegFileList::SyncTrackTable() {
    if (!job_ || !job_->trackTable) return;
    TTrackTable& t = *job_->trackTable;
    const int32_t n = int32_t(entries.size());
    t.firstTrack = n > 0 ? 1 : 0;
    t.lastTrack = n;
    t.lastIndex = n - 1;
    t.tracksPerImage.clear();
    for (const TMpegFileInfo& e : entries) {
        if (e.image < 1) continue;
        if (t.tracksPerImage.size() < size_t(e.image)) t.tracksPerImage.resize(size_t(e.image), 0);
        ++t.tracksPerImage[size_t(e.image - 1)];
    }
    t.imageCount = n > 0 ? entries.back().image : 1;
}

void TMpegFileList::Renumber() {
    if (controls_.trackList) controls_.trackList->Renumber();
}

void TMpegFileList::IncreaseImage(int row) {
    if (row <= 1 || row > int(entries.size())) return;
    if (entries[size_t(row - 1)].image != entries[size_t(row - 2)].image) return;
    for (size_t k = size_t(row - 1); k < entries.size(); ++k) ++entries[k].imageShift;
    AssignImages();
    Renumber();
}

bool TMpegFileList::ReduceImage(int row) {
    if (row <= 1 || row > int(entries.size())) return false;
    if (entries[size_t(row - 1)].image != entries[size_t(row - 2)].image + 1) return false;
    std::vector<int32_t> shifts;
    for (const TMpegFileInfo& e : entries) shifts.push_back(e.imageShift);
    for (size_t k = size_t(row - 1); k < entries.size(); ++k) --entries[k].imageShift;
    AssignImages();
    // The image the entry joins must still fit a disc: its tracks and, with
    // spanning, the capacity chosen. Otherwise the shift is undone.
    const int32_t joined = entries[size_t(row - 1)].image;
    const int64_t capacity = ImageCapacity();
    const int64_t need = ImageBytes(joined) + ImageMargin();
    const bool tooMany = TracksInImage(joined) > kMaxImageTracks;
    if (tooMany || (capacity > 0 && need > capacity)) {
        for (size_t k = 0; k < entries.size(); ++k) entries[k].imageShift = shifts[k];
        AssignImages();
        if (tooMany)
            Report(kMsgError, msg::error::kTooManyVideoTracks, "img -");
        else if (controls_.logListBox)
            controls_.logListBox->add("img -: image " + std::to_string(joined) + " would need " + Megabytes(need) +
                                      " of a disc that holds " + Megabytes(capacity) + "; the track stays in image " +
                                      std::to_string(joined + 1) + ".");
        Renumber();
        return false;
    }
    Renumber();
    return true;
}

int32_t TMpegFileList::TracksInImage(int32_t image) const {
    int32_t n = 0;
    for (const TMpegFileInfo& e : entries) n += e.image == image ? 1 : 0;
    return n;
}

int64_t TMpegFileList::ImageBytes(int32_t image) const {
    int64_t bytes = 0;
    for (const TMpegFileInfo& e : entries)
        if (e.image == image) bytes += e.size + kTrackFrameBytes;
    return bytes;
}

std::string TMpegFileList::Megabytes(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

void TMpegFileList::SwapEntries(int a, int b) {
    if (a < 0 || b < 0 || a >= int(entries.size()) || b >= int(entries.size()) || a == b) return;
    TMpegFileInfo& x = entries[size_t(a)];
    TMpegFileInfo& y = entries[size_t(b)];
    // The pause and the image shift belong to the position, not the file.
    std::swap(x.pause, y.pause);
    std::swap(x.imageShift, y.imageShift);
    std::swap(x, y);
    AssignImages();
}

void TMpegFileList::RemoveName(const std::string& path) {
    auto it = std::find(fileNames.begin(), fileNames.end(), path);
    if (it != fileNames.end()) fileNames.erase(it);
}

void TMpegFileList::EraseEntry(int index) {
    if (index < 0 || index >= int(entries.size())) return;
    entries.erase(entries.begin() + index);
    AssignImages();
}

void TMpegFileList::Clear() {
    entries.clear();
    fileNames.clear();
    if (job_ && job_->trackTable) job_->trackTable->Reset();
}

int64_t TMpegFileList::ImagePlaySeconds(int image) const {
    int64_t total = 0;
    for (const TMpegFileInfo& e : entries)
        if (e.image == image) total += e.PlaySeconds();
    return total;
}

int TMpegFileList::ImageCount() const { return entries.empty() ? 0 : entries.back().image; }

void TMpegFileList::ShowImageInfo() {
    const TLanguageSet& t = controls_.languageSet ? *controls_.languageSet : BuiltInTexts();
    std::string image = t.component(msg::component::kImageNumber) + ": ";
    std::string time = t.component(msg::component::kTotalPlaytime) + ": ";
    const int row = controls_.trackList && controls_.trackList->RowCount() > 0 ? controls_.trackList->CurrentRow() : -1;
    if (row >= 1 && row <= int(entries.size())) {
        const TMpegFileInfo& e = entries[size_t(row - 1)];
        const int64_t secs = ImagePlaySeconds(e.image);
        image += std::to_string(e.image);
        time += TwoDigits(secs / 3600) + ":" + TwoDigits(secs / 60 % 60) + ":" + TwoDigits(secs % 60) + "s";
    }
    if (controls_.imgNumLabel) controls_.imgNumLabel->setCaption(image);
    if (controls_.totalImageTime) controls_.totalImageTime->setCaption(time);
}

// ---- Log lines ------------------------------------------------------------

std::vector<std::string> TMpegFileList::LogHeader() {
    const std::string dashes(73, '-');
    return {dashes, " #   [video]                            [audio]                [complies]", dashes};
}

const char* TMpegFileList::FrameRateText(int code) {
    static constexpr const char* kTexts[] = {"   0.0", "23.976", "  24.0", "  25.0", " 29.97",
                                             "  30.0", "  50.0", " 59.94", "  60.0"};
    return code >= 0 && code <= 8 ? kTexts[code] : kTexts[0];
}

std::string TMpegFileList::LogLine(int number, const TMpegFileInfo& e) {
    char line[160];
    std::snprintf(line, sizeof line, "%2d   %3dx%3d(%sfps) @ %4ld kbits    %5dHz @ %3ld kbits    %s", number,
                  int(e.width), int(e.height), FrameRateText(e.frameRateCode), long(e.videoBitRate / 1000),
                  int(e.audioSampleRate), long(e.audioBitRate / 1000), e.packSize2324 ? "2324 - ok" : "invalid");
    return line;
}
