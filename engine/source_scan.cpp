#include "engine/source_scan.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/result_codes.h"
#include "disc/track_table.h"

namespace {

constexpr uint64_t kSearchCap = 31457280;  // the first record lies in the first 30 MiB
constexpr size_t kChunk = 5120;
constexpr size_t kRawSector = 2352;
constexpr size_t kRecordSize = 60;      // 33 fixed bytes, 13-byte name, 14 bytes XA
constexpr uint64_t kResyncWindow = 11620;  // 5 x 2324
constexpr int kMaxTracks = 99;
constexpr int64_t kPayload = 2324;
constexpr int64_t kDiscSectors = 100 * 60 * 75;  // more than any disc holds
constexpr size_t kLabelBlock = 5120;

const uint8_t kAvseq0[] = {0x0D, 'A', 'V', 'S', 'E', 'Q', '0'};
const uint8_t kMusic0[] = {0x0D, 'M', 'U', 'S', 'I', 'C', '0'};
const uint8_t kCdiApp[] = {'C', 'D', 'I', '_', 'V', 'C', 'D', '.', 'A', 'P', 'P'};

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// Offset of the first whole-chunk match at or after `from`, or -1.
int64_t SearchFrom(TFileIO& file, uint64_t from, const uint8_t* pattern, size_t length, uint8_t* buffer,
                   uint64_t limit) {
    if (file.Seek(from) != 0) return -1;
    if (!file.Search(pattern, length, buffer, limit, kChunk, false)) return -1;
    return static_cast<int64_t>(file.position);
}

// The first track record of the kind's pattern, passing over matches that
// lie near the CD-i application (its files name the tracks too). Each
// search starts past the previous match, so it always ends.
int64_t FindFirstRecord(TFileIO& file, const uint8_t* pattern, uint64_t limit, uint8_t* buffer) {
    std::vector<uint8_t> sector(kRawSector);
    uint64_t from = 0;
    for (;;) {
        int64_t match = SearchFrom(file, from, pattern, sizeof kAvseq0, buffer, limit);
        if (match < 0) return -1;
        size_t got = 0;
        if (file.Seek(static_cast<uint64_t>(match)) == 0) got = file.Read(sector.data(), sector.size());
        bool decoy = FindPattern(kCdiApp, sizeof kCdiApp, sector.data(), got) >= 0;
        // The record begins 32 bytes before its name length byte.
        if (!decoy && match >= 32) return match;
        from = static_cast<uint64_t>(match) + std::max<size_t>(got, 1);
    }
}

// Header bytes in front of a sector's 2048 user bytes, for the layouts whose
// sectors are counted from the start of the file; -1 when that is unknown.
int UserDataOffset(int32_t sectorSize) {
    switch (sectorSize) {
    case 2048: return 0;
    case 2336: return 8;
    case 2352:
    case 2368:
    case 2448: return 24;
    default: return -1;
    }
}

// ISO 9660 never lets a directory record cross a logical block; one that
// seems to is a false match or a damaged directory.
bool StraddlesSector(uint64_t recordStart, int32_t sectorSize) {
    int header = UserDataOffset(sectorSize);
    if (header < 0) return false;
    uint64_t inSector = recordStart % static_cast<uint64_t>(sectorSize);
    return inSector < static_cast<uint64_t>(header) || inSector + kRecordSize > static_cast<uint64_t>(header) + 2048;
}

bool LooksLikeTrackRecord(const uint8_t* record) {
    return record[0] == kRecordSize &&
           (std::memcmp(record + 33, "AVSEQ", 5) == 0 || std::memcmp(record + 33, "MUSIC", 5) == 0);
}

struct ScannedTrack {
    int64_t length = 0;
    int64_t start = 0;
    int64_t end = 0;
    int64_t extentEnd = 0;  // sectors: where the directory says the track's file ends
    int32_t minutes = 0, seconds = 0, frames = 0;
};

enum class ScanEnd { Done, Broken };

// Walks the track records from the first one. Stops at the 99th track, at
// the end of the image, or when no further record follows within the
// resynchronisation window. An image that ends inside a track (an
// interrupted download) keeps its directory: that track and the ones after
// it are listed with their start and end held to the image, so the tracks
// before them can be extracted and the extraction reports the cut ones.
// Past the image's end the tracks must follow each other, and no track may
// reach beyond what a disc holds; else the directory is damaged.
ScanEnd ScanRecords(TFileIO& file, uint64_t recordStart, bool music, int32_t sectorSize, int32_t adjust,
                    uint8_t* buffer, std::vector<ScannedTrack>& tracks) {
    const uint64_t size = file.size;
    const uint8_t* resync = music ? kMusic0 : kAvseq0;  // first 6 bytes: 0D and the kind's name
    uint8_t record[kRecordSize];
    uint64_t pos = recordStart;
    while (tracks.size() < static_cast<size_t>(kMaxTracks)) {
        size_t got = file.Seek(pos) == 0 ? file.Read(record, kRecordSize) : 0;
        if (got < kRecordSize) break;
        const uint64_t after = pos + kRecordSize;
        if (!LooksLikeTrackRecord(record)) {
            uint64_t windowEnd = std::min(after + kResyncWindow, size);
            int64_t match = SearchFrom(file, after, resync, 6, buffer, windowEnd);
            if (match < 0) break;
            pos = static_cast<uint64_t>(match) - 32;  // match >= after > 32
            continue;
        }
        if (StraddlesSector(pos, sectorSize)) return ScanEnd::Broken;

        ScannedTrack t;
        const int64_t dataLength = BigEndian32(record + 14);
        const int64_t extent = BigEndian32(record + 6);
        // The adjustment takes off the margins of a VCD track; a record
        // shorter than them has none (an SVCD track of a second or so) and
        // is listed whole: its set-up adds the adjustment back, which reads
        // into the gap before the next track, whose empty sectors are dropped.
        const int64_t whole = dataLength / 2048 * kPayload;
        t.length = whole < adjust ? whole : whole - adjust;
        t.start = extent * sectorSize;
        t.end = t.start + t.length;
        t.extentEnd = extent + dataLength / 2048;
        const bool past = t.extentEnd * sectorSize > static_cast<int64_t>(size);
        const bool pastPrevious = !tracks.empty() && tracks.back().extentEnd * sectorSize > static_cast<int64_t>(size);
        if ((past && t.extentEnd > kDiscSectors) || (pastPrevious && extent < tracks.back().extentEnd))
            return ScanEnd::Broken;
        t.start = std::min<int64_t>(t.start, static_cast<int64_t>(size));
        t.end = std::min<int64_t>(t.end, static_cast<int64_t>(size));
        const int64_t sectors = t.length / kPayload;
        t.minutes = static_cast<int32_t>(sectors / 4500);
        t.seconds = static_cast<int32_t>(sectors / 75 % 60);
        t.frames = static_cast<int32_t>(sectors % 75);
        tracks.push_back(t);
        pos = after;
    }
    // Nothing of any track in the image: nothing to list.
    if (!tracks.empty() && tracks.front().start >= static_cast<int64_t>(size)) return ScanEnd::Broken;
    return ScanEnd::Done;
}

// The first track record of the image, of either kind; -1 when none.
int64_t FindAnyFirstRecord(TFileIO& file, uint8_t* buffer, bool& music) {
    const uint64_t limit = std::min<uint64_t>(file.size, kSearchCap);
    music = false;
    int64_t match = FindFirstRecord(file, kAvseq0, limit, buffer);
    if (match < 0) {
        music = true;
        match = FindFirstRecord(file, kMusic0, limit, buffer);
    }
    return match;
}

}  // namespace

// Where the sectors of an nrg end: its footer's chunks follow them, and the
// file's last 12 (or 8) bytes give their offset. The file's size when there
// is no footer (a cut download).
uint64_t NeroDataEnd(TFileIO& file) {
    const uint64_t size = file.size;
    uint64_t end = size;
    uint8_t tail[12] = {};
    if (size >= sizeof tail && file.Seek(size - sizeof tail) == 0 && file.Read(tail, sizeof tail) == sizeof tail) {
        uint64_t offset = 0;
        if (std::memcmp(tail, "NER5", 4) == 0)
            offset = uint64_t(BigEndianToInt(tail + 4, 4)) << 32 | BigEndianToInt(tail + 8, 4);
        else if (std::memcmp(tail + 4, "NERO", 4) == 0)
            offset = BigEndianToInt(tail + 8, 4);
        if (offset > 0 && offset < size) end = offset;
    }
    file.Seek(0);
    return end;
}

// The bytes in front of an nrg's first disc sector: the 150 sectors of a
// lead-in gap when its volume descriptor (disc sector 16) lies behind them,
// else none.
int64_t NeroLead(TFileIO& file) {
    constexpr uint64_t kSector = 2336, kGap = 150;
    auto descriptorAt = [&](uint64_t sector) {
        uint8_t id[6] = {};
        return file.Seek(sector * kSector + 8) == 0 && file.Read(id, sizeof id) == sizeof id &&
               std::memcmp(id, "\x01" "CD001", 6) == 0;
    };
    const int64_t lead = descriptorAt(kGap + 16) ? int64_t(kGap * kSector) : descriptorAt(16) ? 0 : -1;
    file.Seek(0);
    return lead;
}

int64_t CifLead(TFileIO& file) {
    constexpr uint64_t kSector = 2332;
    static constexpr uint8_t kRiff[4] = {'R', 'I', 'F', 'F'};
    std::vector<uint8_t> buffer(kChunk);
    int64_t lead = -1;
    if (file.Seek(kSector) == 0 &&
        file.Search(kRiff, 4, buffer.data(), std::min<uint64_t>(file.size, 64 * kSector), buffer.size(), false))
        lead = int64_t(std::min<uint64_t>(file.position + kSector, file.size));
    file.Seek(0);
    return lead;
}

int64_t DirectoryTrackEnd(const std::string& imagePath, int32_t sectorSize, int64_t trackStart) {
    if (sectorSize <= 0 || trackStart < 0) return -1;
    TFileIO file;
    if (file.OpenForRead(imagePath) != 0) return -1;
    std::vector<uint8_t> buffer(kChunk);
    bool music = false;
    const int64_t match = FindAnyFirstRecord(file, buffer.data(), music);
    std::vector<ScannedTrack> tracks;
    if (match >= 0)
        ScanRecords(file, static_cast<uint64_t>(match) - 32, music, sectorSize, 0, buffer.data(), tracks);
    file.Close();
    // The track's file: the first one that begins where the track does or
    // after it (behind its pregap).
    int64_t end = -1, start = INT64_MAX;
    for (const ScannedTrack& t : tracks) {
        const int64_t from = (t.extentEnd - t.length / kPayload) * sectorSize;
        if (from < trackStart || from >= start) continue;
        start = from;
        end = t.extentEnd * sectorSize;
    }
    return end;
}

LoadReporter LoadReporter::For(const MessageServices& services, const TConfig& config, platform::ListBox* log) {
    LoadReporter r;
    r.services = services;
    r.quiet = config.DisableAudioWarningBell;
    r.promptFlags = config.DisableErrorPrompts;
    r.log = log;
    return r;
}

int LoadReporter::report(int kind, int index, const std::string& text) const {
    return ReportMessage(services, kind, index, text, quiet, promptFlags, log);
}

int GetFilesFromTOC(const std::string& imagePath, TJob& job, int32_t trackLengthAdjust, platform::ListBox* listBox,
                    platform::Button* startButton, const LoadReporter& reporter, std::vector<int64_t>* trackLengths) {
    auto refuse = [&](int index, int result) {
        reporter.report(kMsgError, index, ExtractName(imagePath));
        if (startButton) startButton->setEnabled(false);
        return result;
    };

    TFileIO file(&job);
    if (file.OpenForRead(imagePath) != 0) return refuse(msg::error::kCannotOpen, result::kCannotOpen);
    const int32_t sectorSize = job.readSectorSize;
    if (sectorSize <= 0) return refuse(msg::error::kUnknownSectorSize, result::kNoMpegStream);

    std::vector<uint8_t> buffer(kChunk);
    bool music = false;
    const int64_t match = FindAnyFirstRecord(file, buffer.data(), music);
    if (match < 0) return refuse(msg::error::kNoVideoTracks, result::kNoMpegStream);

    std::vector<ScannedTrack> tracks;
    ScanEnd end = ScanRecords(file, static_cast<uint64_t>(match) - 32, music, sectorSize, trackLengthAdjust,
                              buffer.data(), tracks);
    file.Close();
    if (end == ScanEnd::Broken || tracks.empty()) return refuse(msg::error::kNoVideoTracks, result::kNoMpegStream);

    if (!job.trackTable) job.trackTable = new TTrackTable();
    TTrackTable& table = *job.trackTable;
    table.Reset();
    table.firstTrack = 1;
    table.lastIndex = 0;
    table.AppendTrack();  // row 0 stays zero: images have no track 0 to list
    if (listBox) listBox->clear();
    if (trackLengths) trackLengths->clear();
    for (size_t i = 0; i < tracks.size(); ++i) {
        const ScannedTrack& t = tracks[i];
        const int k = static_cast<int>(i) + 1;
        table.AppendTrack();
        table.minutes[k] = t.minutes;
        table.seconds[k] = t.seconds;
        table.frames[k] = t.frames;
        table.start[k] = t.start;
        table.end[k] = t.end;
        table.lastIndex = k;
        table.lastTrack = k;
        if (trackLengths) trackLengths->push_back(t.length);
        if (listBox) listBox->add(FormatImageTrackLine(k, t.length, t.minutes, t.seconds, t.frames));
    }
    if (startButton) startButton->setEnabled(true);
    return 0;
}

int ScanDiscImage(DiscImageKind kind, const std::string& imagePath, TJob& job, platform::ListBox* listBox,
                  platform::Button* startButton, const LoadReporter& reporter, std::vector<int64_t>* trackLengths,
                  int32_t forcedReadSize) {
    int32_t adjust = kBinTrackLengthAdjust;
    switch (kind) {
    case DiscImageKind::Nrg:
        job.readSectorSize = 2336;
        adjust = kNrgTrackLengthAdjust;
        break;
    case DiscImageKind::Cif:
        job.readSectorSize = 2332;
        adjust = kCifTrackLengthAdjust;
        break;
    case DiscImageKind::Bin: {
        // A forced size is the answer to a failed detection (a bin of
        // 2336-byte sectors has no sync to detect).
        if (IsSectorSize(forcedReadSize)) {
            job.readSectorSize = forcedReadSize;
            break;
        }
        TFileIO file(&job);
        if (file.OpenForRead(imagePath) != 0) {
            reporter.report(kMsgError, msg::error::kCannotOpen, ExtractName(imagePath));
            if (startButton) startButton->setEnabled(false);
            return result::kCannotOpen;
        }
        job.readSectorSize = DetectSectorSize(file);
        file.Close();
        break;
    }
    }
    return GetFilesFromTOC(imagePath, job, adjust, listBox, startButton, reporter, trackLengths);
}

std::string ReadVolumeLabel(const std::string& imagePath, uint64_t offset, const LoadReporter& reporter,
                            bool trimTrailingBlanks) {
    TFileIO file;
    if (file.OpenForRead(imagePath) != 0) {
        reporter.report(kMsgError, msg::error::kCannotOpen, ExtractName(imagePath));
        return {};
    }
    std::vector<uint8_t> block(kLabelBlock);
    size_t got = file.Seek(offset) == 0 ? file.Read(block.data(), block.size()) : 0;
    file.Close();
    // The descriptor follows the sector's 8 subheader bytes; the label is
    // its 32-byte volume identifier at 40.
    constexpr size_t kDescriptor = 8, kLabelAt = 40, kLabelField = 32;
    if (got < kDescriptor + kLabelAt + kLabelField) return {};
    const uint8_t* descriptor = block.data() + kDescriptor;
    if (std::memcmp(descriptor + 1, "CD001", 5) != 0) return {};
    const char* field = reinterpret_cast<const char*>(descriptor + kLabelAt);
    std::string label(field, strnlen(field, kLabelField));
    return trimTrailingBlanks ? TrimTrailingBlanks(label) : label;
}

std::string TrimTrailingBlanks(const std::string& text) {
    size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return text.substr(0, n);
}

std::string FormatTrackListLine(int trackNumber, int32_t minutes, int32_t seconds, int32_t frames,
                                int32_t sectorSize, int64_t start, int64_t end) {
    // A span that runs backwards lists as empty rather than as a huge size.
    const uint64_t kib = end > start ? static_cast<uint64_t>(end - start) >> 10 : 0;
    char line[160];
    std::snprintf(line, sizeof line, "Track #%02d   %02d:%02d:%02d   %d bytes/sector   %" PRIu64 "k", trackNumber,
                  minutes, seconds, frames, sectorSize, kib);
    return line;
}

std::string FormatImageTrackLine(int trackNumber, int64_t length, int32_t minutes, int32_t seconds,
                                 int32_t frames) {
    char line[128];
    std::snprintf(line, sizeof line, "Track %2d: %" PRId64 " bytes [%.2d:%.2d:%.2d]", trackNumber, length, minutes,
                  seconds, frames);
    return line;
}

std::string FillTrackList(platform::ListBox& listBox, TTrackTable& table, bool includeTrackZero,
                          const TLanguageSet& texts, platform::Label* trackMsgLabel) {
    listBox.clear();
    table.firstTrack = includeTrackZero ? 0 : 1;
    // Only rows that exist: a sheet may leave the last index ahead of them.
    const int64_t rows = static_cast<int64_t>(std::min({table.minutes.size(), table.seconds.size(),
                                                        table.frames.size(), table.sectorSize.size(),
                                                        table.start.size(), table.end.size()}));
    const int64_t last = std::min<int64_t>(table.lastIndex, rows - 1);
    for (int64_t i = table.firstTrack; i <= last; ++i) {
        listBox.add(FormatTrackListLine(static_cast<int>(i), table.minutes[i], table.seconds[i], table.frames[i],
                                        table.sectorSize[i], table.start[i], table.end[i]));
    }
    const std::string& text = texts.core(msg::core::kAllTracksSelected);
    if (trackMsgLabel) trackMsgLabel->setCaption(text);
    return text;
}

int ListedTrackCount(const TTrackTable& table) {
    return std::max(0, table.lastIndex + 1 - table.firstTrack);
}

namespace {
// Some lines, but not every listed track, are selected.
bool PartSelected(const platform::ListBox* listBox, const TTrackTable& table) {
    if (!listBox) return false;
    const int n = listBox->selectedCount();
    return n != 0 && n != table.lastIndex + 1 - table.firstTrack;
}
}  // namespace

void StoreTrackSelection(int pageMode, const platform::ListBox* trackListBox, int mpegEntryCount,
                         TTrackTable& table, TConfig& config) {
    if (pageMode == 0) {
        table.lastTrack = table.lastIndex;
        config.selectedTracksOnly = PartSelected(trackListBox, table) ? 1 : 0;
    } else {
        table.lastTrack = mpegEntryCount;
    }
}

std::string TrackListBoxClick(const platform::ListBox& trackListBox, const TTrackTable& table, TConfig& config,
                              const TLanguageSet& texts, platform::Label* trackMsgLabel) {
    const bool some = PartSelected(&trackListBox, table);
    config.selectedTracksOnly = some ? 1 : 0;
    const std::string& text = texts.core(some ? 2 : 1);
    if (trackMsgLabel) trackMsgLabel->setCaption(text);
    return text;
}

std::vector<int> SelectedTrackNumbers(const platform::ListBox& trackListBox, const TTrackTable& table) {
    std::vector<int> tracks;
    for (int i = 0, n = trackListBox.count(); i < n; ++i)
        if (trackListBox.selected(i)) tracks.push_back(table.firstTrack + i);
    return tracks;
}

bool IsSectorSizeFieldText(const std::string& text) {
    if (text.empty() || text.size() > 4) return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string SectorSizeFieldExit(const std::string& text, int32_t& forcedSize) {
    if (IsSectorSizeFieldText(text)) forcedSize = std::stoi(text);
    return std::to_string(forcedSize);
}

bool IsAcceptedForcedSize(int32_t size) { return IsSectorSize(size); }
