#include "tools/cdi_subtitles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "engine/methods.h"

namespace {

constexpr uint64_t kSearchLimit = 0xF00000;  // the path table lies in the first 15 MiB
constexpr int64_t kMaxDirectorySectors = 64;
const uint8_t kCdiPathRecord[] = {0x01, 0x00, 'C', 'D', 'I', 0x00};
// A record's unit size, gap and volume sequence number (2, then 1).
const uint8_t kSequence2[] = {0x00, 0x00, 0x02, 0x00, 0x00, 0x02};
const uint8_t kSequence1[] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x01};
constexpr int kBlock = TCdiSubtitleScanner::kBlockSize;
// The converted text is handed to the output in pieces of about this size.
constexpr size_t kWritePiece = 64 * 1024;

int32_t Little32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                (uint32_t{p[3]} << 24));
}
int32_t Big32(const uint8_t* p) {
    return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
                                uint32_t{p[3]});
}
uint32_t BigU32(const uint8_t* p) { return static_cast<uint32_t>(Big32(p)); }
size_t Big16(const uint8_t* p) { return (size_t{p[0]} << 8) | p[1]; }

std::string SrtTime(uint32_t t) {
    const uint32_t hours = t / 81000000u;
    const uint32_t s = t / 22500u - hours * 3600u;
    const uint32_t minutes = s / 60, seconds = s % 60;
    const uint32_t ms = ((t % 81000000u) - seconds * 22500u - minutes * 1350000u) / 225u * 10u;
    char text[48];
    std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u,%.3u", hours, minutes, seconds, ms);
    return text;
}

uint32_t SubFrame(uint32_t t) { return (t % 22500u) / 900u + (t / 22500u) * 25u; }

}  // namespace

std::optional<CdiGeometry> CdiGeometryForMethod(int methodIndex) {
    switch (ExtractionMethod(methodIndex).cdi) {
    case CdiSource::CifSectors:
        return kCdiCifGeometry;
    case CdiSource::Sectors2336:
        return kCdi2336Geometry;
    case CdiSource::None:
        return std::nullopt;
    case CdiSource::RawSectors:
        break;
    }
    return kCdiRawGeometry;
}

TCdiSubtitleScanner::TCdiSubtitleScanner(TFileIO* src) : source(src) {}

bool TCdiSubtitleScanner::HasCdiSubtitles(TFileIO& file, const CdiGeometry& geometry) {
    TCdiSubtitleScanner scanner(&file);
    return scanner.FindCdiDirectory(file, geometry) && !scanner.names.empty();
}

bool TCdiSubtitleScanner::FindCdiDirectory(TFileIO& file, const CdiGeometry& g) {
    geometry = g;
    sectorSize = g.sectorSize;
    sectorOffset = g.leadIn;
    if (g.sectorSize < kBlock || g.userOffset < 0 || g.userOffset + kBlock > g.sectorSize) return false;
    const uint64_t size = static_cast<uint64_t>(g.sectorSize);
    const uint64_t limit = std::min<uint64_t>(file.Size(), kSearchLimit);
    std::vector<uint8_t> sector(size);
    for (uint64_t pos = (16 + static_cast<uint64_t>(g.leadIn)) * size; pos < limit; pos += size) {
        std::fill(sector.begin(), sector.end(), 0);
        if (file.Seek(pos) != 0) return false;
        const size_t got = file.Read(sector.data(), sector.size());
        if (got == 0) return false;
        const int64_t at = FindPattern(kCdiPathRecord, sizeof kCdiPathRecord, sector.data(), got);
        // The extent stands in the 4 bytes before the record's parent number.
        if (at < 4) continue;
        const int32_t extent = Little32(sector.data() + at - 4);
        if (extent < 0) return false;
        ReadCdiDirectory(file, int64_t{extent} + g.leadIn);
        return true;
    }
    return false;
}

void TCdiSubtitleScanner::ReadCdiDirectory(TFileIO& file, int64_t sectorNumber) {
    entries.clear();
    names.clear();
    if (sectorSize < kBlock || sectorNumber < 0) return;
    const uint64_t size = static_cast<uint64_t>(sectorSize);
    int64_t sectors = 1;
    uint8_t data[kBlock];
    for (int64_t i = 0; i < sectors; ++i) {
        std::memset(data, 0, sizeof data);
        const uint64_t at = (static_cast<uint64_t>(sectorNumber + i)) * size + static_cast<uint64_t>(geometry.userOffset);
        if (file.Seek(at) != 0) return;
        const size_t got = file.Read(data, sizeof data);
        if (got == 0) return;
        if (i == 0) {
            // "." gives the directory's own length; it and ".." are skipped by
            // their record lengths.
            const size_t dot = data[0];
            if (dot >= 34) {
                const int64_t length = Little32(data + 10);
                sectors = std::clamp<int64_t>((length + kBlock - 1) / kBlock, 1, kMaxDirectorySectors);
            }
            const size_t dotdot = dot > 0 && dot < got ? data[dot] : 0;
            std::memset(data, 0, std::min(got, dot + dotdot));
        }
        // Records of sequence number 2 first, then those of 1, each in the
        // order of the sector. The six bytes also stand in a record's extent
        // or data length (65,536 or 131,072 bytes, a file of 32 or 64
        // blocks): a hit counts only where a whole record holds it, and one
        // that does not is passed over without touching the bytes around it.
        for (const uint8_t* pattern : {kSequence2, kSequence1}) {
            for (size_t from = 0; from < got;) {
                const int64_t p = FindPattern(pattern, sizeof kSequence2, data + from, got - from);
                if (p < 0) break;
                const size_t hit = from + static_cast<size_t>(p);
                from = hit + 1;
                // A record cut off by the sector's start or end holds no usable name.
                if (hit < 26 || hit + 7 > got) continue;
                const size_t record = hit - 26, idLength = data[hit + 6];
                if (idLength == 0 || data[record] < 33 + idLength || record + data[record] > got) continue;
                const size_t length = std::min<size_t>(idLength, got - (hit + 7));
                std::string name(reinterpret_cast<const char*>(data + hit + 7), length);
                if (name.size() >= 2 && name.compare(name.size() - 2, 2, ";1") == 0) name.resize(name.size() - 2);
                const size_t dot = name.find('.');
                if (dot != std::string::npos && name.size() - dot - 1 == 2) {
                    const uint8_t* r = data + hit - 24;
                    entries[name] = TCdiFileEntry{Little32(r), Big32(r + 4), Little32(r + 8), Big32(r + 12)};
                    names.push_back(name);
                }
                std::memset(data + hit - 24, 0, 24 + 7 + length);
                from = hit + 7 + length;
            }
        }
    }
}

std::string TCdiSubtitleScanner::SafeOutputName(const std::string& name) {
    const size_t cut = name.find_last_of("/\\");
    std::string last = cut == std::string::npos ? name : name.substr(cut + 1);
    if (last.empty() || last == "." || last == "..") return {};
    for (unsigned char c : last)
        if (c < 0x20 || c == 0x7F) return {};
    return last;
}

int TCdiSubtitleScanner::ParseSubtitleEntry(int position) {
    entry = TCdiSubtitle{};
    if (position < 0 || position + 16 > kBlock) return -1;
    const uint8_t* e = block + position;
    entry.type = e[1];
    entry.start = BigU32(e + 6);
    entry.end = BigU32(e + 10);
    const size_t n = Big16(e + 14);
    size_t next = static_cast<size_t>(position) + 16;
    if (next + n > static_cast<size_t>(kBlock)) return -1;
    entry.line1.assign(reinterpret_cast<const char*>(block + next), n);
    next += n;
    if (entry.type == 1) {
        if (next >= static_cast<size_t>(kBlock)) return -1;
        if (block[next] == 0xFF) {
            entry.continues = true;
            return static_cast<int>(next + 1);
        }
        if (next + 16 > static_cast<size_t>(kBlock)) return -1;
        const size_t m = Big16(block + next + 14);
        next += 16;
        if (next + m > static_cast<size_t>(kBlock)) return -1;
        entry.line2.assign(reinterpret_cast<const char*>(block + next), m);
        next += m;
    }
    return static_cast<int>(next);
}

void TCdiSubtitleScanner::WriteSrtEntry(std::string& out, bool finishing) {
    if (finishing) {
        out += entry.line1 + "\r\n\r\n";
        ++entryNumber;
        return;
    }
    out += std::to_string(entryNumber) + "\r\n" + SrtTime(entry.start) + " --> " + SrtTime(entry.end) + "\r\n" +
           entry.line1 + "\r\n";
    if (entry.type == 1 && !entry.continues) out += entry.line2 + "\r\n";
    if (!entry.continues) {
        out += "\r\n";
        ++entryNumber;
    }
}

void TCdiSubtitleScanner::WriteSubEntry(std::string& out, bool finishing) {
    if (finishing) {
        out += "|" + entry.line1 + "\r\n";
        ++entryNumber;
        return;
    }
    out += "{" + std::to_string(SubFrame(entry.start)) + "}{" + std::to_string(SubFrame(entry.end)) + "}" + entry.line1;
    if (entry.type == 1 && !entry.continues) out += "|" + entry.line2;
    if (!entry.continues) {
        out += "\r\n";
        ++entryNumber;
    }
}

CdiConvertResult TCdiSubtitleScanner::ConvertCdiSubtitleFile(TFileIO& src, bool plain, const std::string& outputDir,
                                                             const std::string& name, int64_t extent,
                                                             int64_t dataLength, bool sub) {
    // Whatever ends this call, no clash line of an earlier one stands for it.
    clashLine.clear();
    const std::string last = SafeOutputName(name);
    const std::string outputName = last + (sub ? ".sub" : ".srt");
    if (last.empty()) return {msg::error::kCannotCreate, name};
    const std::string path = outputDir.empty() ? outputName
                             : (outputDir.back() == '/' ? outputDir : outputDir + "/") + outputName;
    guard.AddInput(src.name);
    if (const std::string other = guard.Clash(path); !other.empty()) {
        clashLine = OutputClashLine(path, other);
        return {msg::error::kCannotCreate, outputName};
    }

    // The text goes out as it is made, a piece at a time, so a long stream
    // never stands whole in memory; it goes to a file of its own beside the
    // output, which takes the output's name only once the conversion is
    // done, so a failure leaves an earlier file of that name as it was.
    TReplacement save(path);
    TFileIO out;
    if (save.temp().empty() || out.OpenForWrite(save.temp()) != 0) return {msg::error::kCannotCreate, outputName};
    bool written = true;
    // Each file starts afresh.
    entryNumber = 1;
    bool continues = false;
    std::string text;
    auto writeOut = [&] {
        if (written && !text.empty()) written = out.Write(text.data(), text.size()) == text.size();
        text.clear();
    };
    const int64_t blocks = dataLength > 0 ? dataLength / kBlock : 0;
    const uint64_t size = static_cast<uint64_t>(geometry.sectorSize);
    const uint64_t sourceSize = src.Size();
    auto blockAt = [&](int64_t b) {
        return plain ? static_cast<uint64_t>(b) * kBlock
                     : static_cast<uint64_t>(extent + sectorOffset + b) * size +
                           static_cast<uint64_t>(geometry.userOffset);
    };
    // The recorded length runs past the source (a cut image): what it
    // holds is converted, and the cut is reported even when the stream's
    // end mark comes before it.
    bool cut = extent + sectorOffset < 0 || (blocks > 0 && blockAt(blocks - 1) + kBlock > sourceSize);
    for (int64_t b = 0; b < blocks && !(extent + sectorOffset < 0); ++b) {
        const uint64_t at = blockAt(b);
        if (at + kBlock > sourceSize || src.Seek(at) != 0 || src.Read(block, kBlock) != static_cast<size_t>(kBlock)) {
            cut = true;
            break;
        }
        const uint32_t blockEnd = BigU32(block + 4);
        int position = 8;
        if (continues) {
            continues = false;
            position = ParseSubtitleEntry(8);
            if (position < 0) entry = TCdiSubtitle{};
            sub ? WriteSubEntry(text, true) : WriteSrtEntry(text, true);
        }
        // Up to the entry that ends at the block's end time, or the block's end.
        bool done = position < 0 || (position > 8 && entry.end == blockEnd);
        while (!done && position < kBlock) {
            position = ParseSubtitleEntry(position);
            if (position < 0) break;
            // Zero bytes after the last entry are no entry.
            if (entry.type == 0 && entry.start == 0 && entry.end == 0 && entry.line1.empty()) break;
            sub ? WriteSubEntry(text) : WriteSrtEntry(text);
            continues = entry.continues;
            done = continues || entry.end == blockEnd;
        }
        if (text.size() >= kWritePiece) writeOut();
        if (block[kBlock - 1] == 0xEE) break;
    }
    // A stream that ends inside an entry still closes it.
    if (continues) {
        entry = TCdiSubtitle{};
        sub ? WriteSubEntry(text, true) : WriteSrtEntry(text, true);
    }

    writeOut();
    if (out.Close() != 0 || !written || !save.Commit()) return {msg::error::kCannotCreate, outputName};
    guard.AddOutput(path);
    if (cut) return {msg::error::kTrackTruncated, name};
    return {0, path};
}
