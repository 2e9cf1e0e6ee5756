#include "core/helpers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "core/file_io.h"

namespace {

// Start of the last path component.
size_t nameStart(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? 0 : sep + 1;
}

// The dot that begins the extension, or npos.
size_t extensionDot(const std::string& path) {
    size_t start = nameStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start) return std::string::npos;
    return dot;
}

constexpr uint8_t kCdSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr uint8_t kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};
constexpr uint8_t kExtensionStart[4] = {0x00, 0x00, 0x01, 0xB5};
constexpr uint64_t kProbeLimit = 0x200000;
constexpr size_t kProbeChunk = 5120;

// The probed range runs 2 MiB from the position: a track deep inside an
// image is probed where it lies, not cut off at the image's first 2 MiB.
bool probeFromHere(TFileIO& file, const uint8_t* code) {
    std::vector<uint8_t> buffer(kProbeChunk);
    uint64_t limit = std::min<uint64_t>(file.Size(), file.position + kProbeLimit);
    return file.Search(code, 4, buffer.data(), limit, buffer.size(), false);
}

}  // namespace

std::string WithoutExtension(const std::string& path) {
    size_t dot = extensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
    size_t dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string ExtractDir(const std::string& path) {
    size_t start = nameStart(path);
    return start == 0 ? std::string("./") : path.substr(0, start);
}

std::string ExtractFolder(const std::string& path) {
    std::string dir = ExtractDir(path);
    if (dir.size() > 1) dir.pop_back();
    return dir;
}

std::string ExtractName(const std::string& path) { return path.substr(nameStart(path)); }

void StripExtension(std::string& path) {
    size_t dot = extensionDot(path);
    if (dot != std::string::npos) path.erase(dot);
}

std::string LeftStr(const std::string& text, int n) {
    if (n <= 0) return {};
    return text.substr(0, static_cast<size_t>(n));
}

std::string RightStr(const std::string& text, int n) {
    if (n <= 0) return {};
    size_t k = std::min(text.size(), static_cast<size_t>(n));
    return text.substr(text.size() - k);
}

std::string StripQuotes(const std::string& text) {
    if (text.size() <= 1 || text.front() != '"') return text;
    size_t end = text.back() == '"' ? text.size() - 1 : text.size();
    return text.substr(1, end - 1);
}

bool WriteCountedString(const std::string& text, int prefixWidth, TFileIO& file) {
    if (prefixWidth != 2 && prefixWidth != 4) return false;
    const uint64_t most = prefixWidth == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    if (text.size() > most) return false;
    uint8_t prefix[4];
    PutEndianInt(prefix, static_cast<uint32_t>(text.size()), prefixWidth, true);
    const size_t width = static_cast<size_t>(prefixWidth);
    if (file.Write(prefix, width) != width) return false;
    return text.empty() || file.Write(text.data(), text.size()) == text.size();
}

std::string NowStamp(const platform::Clock& clock) {
    platform::LocalTime t = clock.now();
    std::string s;
    for (int v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond}) s += std::to_string(v);
    return s;
}

int MonthIndex(const std::string& text) {
    static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() < 3) return -1;
    for (int i = 0; i < 12; ++i)
        if (text.compare(0, 3, kMonths[i]) == 0) return i + 1;
    return -1;
}

std::string IntToZeroPadded(int64_t value, int width) {
    width = std::clamp(width, 1, 10);
    uint64_t v = value < 0 ? 0 : static_cast<uint64_t>(value);
    std::string s(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0 && v != 0; --i, v /= 10) s[static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
    return s;
}

uint32_t BigEndianToInt(const uint8_t* bytes, int count) {
    if (bytes == nullptr || count < 1 || count > 4) return 0;
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = (v << 8) | bytes[i];
    return v;
}

void PutEndianInt(uint8_t* buffer, uint32_t value, int count, bool littleEndian) {
    if (buffer == nullptr || (count != 2 && count != 4)) return;
    for (int i = 0; i < count; ++i) {
        int shift = 8 * (littleEndian ? i : count - 1 - i);
        buffer[i] = static_cast<uint8_t>(value >> shift);
    }
}

uint32_t ReadBits(const uint8_t* bytes, size_t bitPosition, int count) {
    if (bytes == nullptr || count < 1 || count > 32) return 0;
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++bitPosition) {
        uint32_t bit = (bytes[bitPosition >> 3] >> (7 - (bitPosition & 7))) & 1u;
        v = (v << 1) | bit;
    }
    return v;
}

size_t WriteBits(uint8_t* bytes, size_t bitPosition, uint32_t value, int count) {
    if (bytes == nullptr || count < 1 || count > 32) return bitPosition;
    for (int i = count - 1; i >= 0; --i, ++bitPosition) {
        uint8_t mask = static_cast<uint8_t>(0x80u >> (bitPosition & 7));
        if ((value >> i) & 1u)
            bytes[bitPosition >> 3] |= mask;
        else
            bytes[bitPosition >> 3] &= static_cast<uint8_t>(~mask);
    }
    return bitPosition;
}

bool IsMpeg2FromHere(TFileIO& file) {
    uint64_t kept = file.position;
    bool found = probeFromHere(file, kExtensionStart);
    file.Seek(kept);
    return found;
}

bool IsMpeg2Stream(TFileIO& file) {
    file.Seek(0);
    bool found = probeFromHere(file, kExtensionStart);
    file.Seek(0);
    return found;
}

bool IsMpegProgramStream(TFileIO& file) {
    file.Seek(0);
    bool found = probeFromHere(file, kPackStart);
    file.Seek(0);
    return found;
}

bool SyncAt(TFileIO& file, uint64_t offset) {
    uint8_t head[12];
    const uint64_t keep = file.position;
    file.Seek(offset);
    const size_t got = file.Read(head, sizeof head);
    file.Seek(keep);
    return got == sizeof head && std::memcmp(head, kCdSync, sizeof kCdSync) == 0;
}

int SyncDistanceAt(TFileIO& file, uint64_t offset, bool atOffset, uint64_t* firstSync) {
    // One damaged sync field is damage, not a sector size: the distances
    // between several syncs in a row are measured and the one most of them
    // agree on is taken (the first of those that tie).
    constexpr size_t kSpan = 5120, kDistances = 8;
    std::vector<uint8_t> head((kDistances + 1) * kSpan + 12);
    const uint64_t keep = file.position;
    file.Seek(offset);
    const size_t got = file.Read(head.data(), head.size());
    file.Seek(keep);
    const int64_t first = FindPattern(kCdSync, sizeof kCdSync, head.data(), std::min<size_t>(got, kSpan + 12));
    if (first < 0 || (atOffset && first != 0)) return 0;
    if (firstSync) *firstSync = offset + static_cast<uint64_t>(first);
    std::vector<int> distances;
    for (size_t at = static_cast<size_t>(first); distances.size() < kDistances;) {
        const size_t from = at + 12;
        if (got < from + 12) break;
        const int64_t next =
            FindPattern(kCdSync, sizeof kCdSync, head.data() + from, std::min<size_t>(got - from, kSpan));
        if (next < 0) break;
        distances.push_back(static_cast<int>(next) + 12);
        at = from + static_cast<size_t>(next);
    }
    int best = 0;
    ptrdiff_t votes = 0;
    for (int d : distances) {
        const ptrdiff_t n = std::count(distances.begin(), distances.end(), d);
        if (n > votes) best = d, votes = n;
    }
    return best;
}

int DetectSectorSize(TFileIO& file) {
    static constexpr int kRawSizes[] = {2352, 2368, 2448};
    // The sectors start at byte 0: the first sync found lies on their grid
    // (it is the first one unless that one is damaged).
    uint64_t first = 0;
    const int distance = SyncDistanceAt(file, 0, false, &first);
    file.Seek(0);
    const bool raw = std::find(std::begin(kRawSizes), std::end(kRawSizes), distance) != std::end(kRawSizes);
    return raw && first % static_cast<uint64_t>(distance) == 0 ? distance : 0;
}

int ProbeSectorSize(TFileIO& file) {
    std::vector<uint8_t> buffer(kProbeChunk);
    const uint64_t limit = file.Size();
    if (!file.Search(kPackStart, 4, buffer.data(), limit, buffer.size(), false)) return 0;
    const uint64_t first = file.position;
    file.SeekBy(2048);
    if (!file.Search(kPackStart, 4, buffer.data(), limit, buffer.size(), false)) return 0;
    const uint64_t distance = file.position - first;
    file.Seek(0);
    return distance > INT_MAX ? 0 : static_cast<int>(distance);
}
