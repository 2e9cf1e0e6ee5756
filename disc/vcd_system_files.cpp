#include "disc/vcd_system_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/records.h"
#include "core/result_codes.h"

const char* const kScanTableText = "Temporary SCANDATA.DAT table file";
const char* const kSearchTableText = "Temporary SEARCH.DAT table file";
const char* const kTracksTableText = "Temporary TRACKS.SVCD table file";

namespace {

uint8_t Bcd(int64_t v) { return static_cast<uint8_t>((((v / 10) % 10) << 4) | (v % 10)); }

void PutBe16(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutEndianInt(&b[at], v, 2, false); }

// Tolerance for play times that are sums of doubles.
constexpr double kEps = 1e-9;

// Assigns the half-second points k = 0, 1, ... to tracks of these play times:
// the point at t belongs to the track with base <= t < base + play.
template <typename Visit>
void WalkPoints(const std::vector<double>& playSeconds, Visit visit) {
    double base = 0;
    int64_t k = 0;
    for (size_t j = 0; j < playSeconds.size(); ++j) {
        const double end = base + std::max(0.0, playSeconds[j]);
        for (; static_cast<double>(k) * kScanInterval < end - kEps; ++k)
            visit(j, static_cast<double>(k) * kScanInterval - base);
        base = end;
    }
}

}  // namespace

std::array<uint8_t, 3> BcdTime(int64_t frames) {
    if (frames < 0) frames = 0;
    return {Bcd(frames / 4500), Bcd((frames / 75) % 60), Bcd(frames % 75)};
}

int64_t PlayFrames(double seconds) { return seconds <= 0 ? 0 : static_cast<int64_t>(std::floor(seconds * 75 + kEps)); }

// ---- Scan points ----

void TScanPoints::BeginTrack(double playSeconds, uint32_t fallbackAddress) {
    tracks_.push_back(Track{playSeconds, fallbackAddress, {}});
}

void TScanPoints::AddGop(uint32_t address, double seconds) {
    if (tracks_.empty()) BeginTrack(0, address);
    tracks_.back().gops.push_back(Gop{address, seconds});
}

std::vector<std::array<uint8_t, 3>> TScanPoints::Points() const {
    std::vector<double> play;
    for (const Track& t : tracks_) play.push_back(t.playSeconds);
    std::vector<std::array<uint8_t, 3>> points;
    WalkPoints(play, [&](size_t j, double inTrack) {
        const Track& t = tracks_[j];
        uint32_t address = t.gops.empty() ? t.fallback : t.gops.front().address;
        for (const Gop& g : t.gops)
            if (g.seconds <= inTrack + kEps) address = g.address;
        points.push_back(BcdTime(address));
    });
    return points;
}

std::vector<int32_t> TScanPoints::PointsPerTrack() const {
    std::vector<double> play;
    for (const Track& t : tracks_) play.push_back(t.playSeconds);
    return ScanPointsPerTrack(play);
}

std::vector<int32_t> ScanPointsPerTrack(const std::vector<double>& playSeconds) {
    std::vector<int32_t> counts(playSeconds.size(), 0);
    WalkPoints(playSeconds, [&](size_t j, double) { ++counts[j]; });
    return counts;
}

// ---- Temporary table files ----

TScanDataFile::TScanDataFile(int32_t discKind) : discKind_(discKind) {}

TScanDataFile::~TScanDataFile() { Close(); }

int TScanDataFile::CreateFile(const std::string& path) {
    Close();
    failed_ = false;
    size_ = 0;
    count = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return fd_ < 0 ? result::kCannotOpen : result::kOk;
}

bool TScanDataFile::Write(const void* bytes, size_t n) {
    if (fd_ < 0 || failed_) return false;
    const auto* p = static_cast<const uint8_t*>(bytes);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(fd_, p + done, n - done);
        if (w <= 0) {
            if (w < 0 && errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    size_ += static_cast<int64_t>(n);
    return true;
}

bool TScanDataFile::WriteHeader() {
    uint8_t h[12] = {'S', 'C', 'A', 'N', '_', 'V', 'C', 'D', uint8_t(discKind_ == 1 ? 2 : 1), 0, 0, 0};
    return Write(h, sizeof h);
}

bool TScanDataFile::WriteSvcdIndex(const std::vector<double>& playSeconds, const std::vector<int32_t>& pointsPerTrack) {
    const size_t n = playSeconds.size();
    if (pointsPerTrack.size() != n || n > 255) {
        failed_ = true;
        return false;
    }
    std::vector<uint8_t> b(4, 0);
    b[1] = static_cast<uint8_t>(n);
    double cumulative = 0;
    for (double s : playSeconds) {
        cumulative += s;
        std::array<uint8_t, 3> t = BcdTime(PlayFrames(cumulative));
        b.insert(b.end(), t.begin(), t.end());
    }
    const uint32_t first = static_cast<uint32_t>(3 * n);
    b.push_back(static_cast<uint8_t>(first >> 8));
    b.push_back(static_cast<uint8_t>(first));
    uint32_t before = 0;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t offset = first + 3 * before;
        b.push_back(Bcd(static_cast<int64_t>(k) + 2));
        b.push_back(static_cast<uint8_t>(offset >> 8));
        b.push_back(static_cast<uint8_t>(offset));
        before += static_cast<uint32_t>(std::max(0, pointsPerTrack[k]));
    }
    return Write(b.data(), b.size());
}

bool TScanDataFile::WriteSearchHeader() {
    uint8_t h[13] = {'S', 'E', 'A', 'R', 'C', 'H', 'S', 'V', 1, 0, 0, 0, 1};
    return Write(h, sizeof h);
}

bool TScanDataFile::WritePoints(const std::vector<std::array<uint8_t, 3>>& points) {
    if (points.empty()) return !failed_ && fd_ >= 0;
    if (!Write(points.data(), points.size() * 3)) return false;
    count += static_cast<int32_t>(points.size());
    return true;
}

bool TScanDataFile::PatchCount() {
    if (fd_ < 0 || failed_) return false;
    if (count > 0xFFFF) {
        failed_ = true;
        return false;
    }
    uint8_t be[2] = {uint8_t(count >> 8), uint8_t(count)};
    if (::pwrite(fd_, be, 2, 10) != 2) failed_ = true;
    return !failed_;
}

int64_t TScanDataFile::Size() const { return size_; }

int TScanDataFile::Close() {
    if (fd_ >= 0) {
        if (::close(fd_) != 0) failed_ = true;
        fd_ = -1;
    }
    return failed_ ? msg::error::kCannotCreateTables : 0;
}

int WriteScanTables(const std::string& folder, bool isVcd, const std::vector<TImageTrack>& tracks,
                    const TScanPoints& points, std::string& why) {
    const std::vector<std::array<uint8_t, 3>> list = points.Points();
    std::vector<double> play;
    for (const TImageTrack& t : tracks) play.push_back(t.playSeconds);

    why = kScanTableText;
    TScanDataFile scan(isVcd ? 1 : 2);
    if (scan.CreateFile(folder + "/" + kScanTableName) != 0) return msg::error::kCannotCreateTables;
    scan.WriteHeader();
    if (!isVcd) scan.WriteSvcdIndex(play, points.PointsPerTrack());
    scan.WritePoints(list);
    scan.PatchCount();
    if (scan.Close() != 0) return msg::error::kCannotCreateTables;
    if (isVcd) {
        why.clear();
        return 0;
    }
    why = kSearchTableText;
    TScanDataFile search(2);
    if (search.CreateFile(folder + "/" + kSearchTableName) != 0) return msg::error::kCannotCreateTables;
    search.WriteSearchHeader();
    search.WritePoints(list);
    search.PatchCount();
    if (search.Close() != 0) return msg::error::kCannotCreateTables;
    why.clear();
    return 0;
}

std::vector<uint8_t> TracksSvdBytes(const std::vector<TImageTrack>& tracks) {
    std::vector<uint8_t> b = {'T', 'R', 'A', 'C', 'K', 'S', 'V', 'D', 1, 0, uint8_t(tracks.size())};
    for (const TImageTrack& t : tracks) {
        std::array<uint8_t, 3> time = BcdTime(PlayFrames(t.playSeconds));
        b.insert(b.end(), time.begin(), time.end());
    }
    // Bits 0-1 the audio streams, bits 2-4 the video type (7 PAL, 3 NTSC).
    for (const TImageTrack& t : tracks) b.push_back(uint8_t((t.hasAudio ? 1 : 0) | ((t.pal ? 7 : 3) << 2)));
    return b;
}

// ---- System file blocks ----

std::vector<uint8_t> InfoBytes(const TSystemFileOptions& o, const std::string& volumeIdentifier,
                               const std::vector<TImageTrack>& tracks) {
    std::vector<uint8_t> b(2048, 0);
    std::memcpy(&b[0], o.isVcd ? "VIDEO_CD" : "SUPERVCD", 8);
    b[8] = o.isVcd ? 2 : 1;
    std::memset(&b[10], ' ', 16);
    std::memcpy(&b[10], volumeIdentifier.data(), std::min<size_t>(16, volumeIdentifier.size()));
    PutBe16(b, 26, 1);
    PutBe16(b, 28, 1);
    for (size_t i = 0; i < tracks.size() && i < 13 * 8; ++i)
        if (tracks[i].pal) b[30 + i / 8] |= uint8_t(1u << (i % 8));
    // Bit 7 of byte 43 is reserved on SVCD.
    b[43] = o.isVcd ? 0x80 : 0x00;
    PutEndianInt(&b[44], static_cast<uint32_t>(PsdSize(static_cast<int32_t>(tracks.size()))), 4, false);
    b[49] = 2;
    b[51] = 8;
    // The LOT maps LIDs 1 to n + 1, the last being the end list.
    PutBe16(b, 52, static_cast<uint32_t>(tracks.size() + 1));
    return b;
}

std::vector<uint8_t> EntriesBytes(const TSystemFileOptions& o, const std::vector<int32_t>& firstSectors) {
    std::vector<uint8_t> b(2048, 0);
    std::memcpy(&b[0], (o.isVcd || o.useEntryVcd) ? "ENTRYVCD" : "ENTRYSVD", 8);
    b[8] = o.isVcd ? 2 : 1;
    PutBe16(b, 10, static_cast<uint32_t>(firstSectors.size()));
    for (size_t i = 0; i < firstSectors.size() && 12 + 4 * i + 4 <= b.size(); ++i) {
        // Track numbers and times are BCD; the time is the sector's address.
        b[12 + 4 * i] = Bcd(static_cast<int64_t>(i) + 2);
        std::array<uint8_t, 3> t = BcdTime(int64_t(firstSectors[i]) + 150);
        std::memcpy(&b[13 + 4 * i], t.data(), 3);
    }
    return b;
}

std::vector<uint8_t> LotBytes(const TSystemFileOptions&, int32_t trackCount) {
    std::vector<uint8_t> b(65536, 0xFF);
    std::memset(&b[0], 0, 4);
    for (int32_t i = 0; i < trackCount && 4 + 2 * i + 2 <= 2048; ++i)
        PutBe16(b, 4 + 2 * static_cast<size_t>(i), static_cast<uint32_t>(2 * i + 2));
    return b;
}

std::vector<uint8_t> PsdBytes(const std::vector<TImageTrack>& tracks) {
    std::vector<uint8_t> b(2048, 0);
    const uint32_t n = static_cast<uint32_t>(tracks.size());
    for (uint32_t i = 0; i < n && 16 * i + 24 <= b.size(); ++i) {
        const size_t at = 16 * i;
        b[at] = 0x10;
        b[at + 1] = 0x01;
        PutBe16(b, at + 2, i + 1);
        PutBe16(b, at + 4, i == 0 ? 0xFFFF : 2 * i - 2);
        PutBe16(b, at + 6, 2 * i + 2);
        PutBe16(b, at + 8, 2 * n);
        const int32_t pause = tracks[i].pauseSeconds;
        b[at + 12] = pause >= 16 ? 255 : static_cast<uint8_t>(std::max(0, pause));
        PutBe16(b, at + 14, i + 2);
    }
    if (16 * n + 8 <= b.size()) b[16 * n] = 0x1F;
    return b;
}

// ---- Limits ----

int64_t ImageSectors(int32_t cdiSectors, const std::vector<int64_t>& dataSectorsPerTrack) {
    int64_t total = 356 + int64_t(cdiSectors);
    for (int64_t d : dataSectorsPerTrack) total += 150 + 30 + d + 44 + 1 + 10;
    return total;
}

int CheckImageLimits(bool isVcd, const std::vector<TImageTrack>& tracks, int32_t, int64_t imageSectors,
                     std::string& why) {
    const int64_t n = static_cast<int64_t>(tracks.size());
    if (n > kMaxImageTracks) {
        why = "more than 98 tracks in one image";
        return msg::error::kTooManyVideoTracks;
    }
    std::vector<double> play;
    for (const TImageTrack& t : tracks) play.push_back(t.playSeconds);
    int64_t points = 0;
    for (int32_t c : ScanPointsPerTrack(play)) points += c;
    // SCANDATA.DAT lies in 112 sectors up to the end of the data track,
    // SEARCH.DAT in the 32 before TRACKS.SVD; the point count is 16-bit.
    const int64_t scanBytes = isVcd ? 12 + 3 * points : 12 + 4 + 3 * n + 2 + 3 * n + 3 * points;
    if (scanBytes > 112 * 2048 || points > 0xFFFF) {
        why = kScanTableText;
        return msg::error::kCannotCreateTables;
    }
    if (!isVcd && 13 + 3 * points > 32 * 2048) {
        why = kSearchTableText;
        return msg::error::kCannotCreateTables;
    }
    if (imageSectors - 1 + 150 > kLastBcdAddress) {
        why = "the image reaches past 99:59:74, the last address of a disc";
        return msg::error::kCannotCreate;
    }
    why.clear();
    return 0;
}

// ---- CD-i application files ----

TCdiFiles::TCdiFiles(const TConfig& config)
    : paths{config.CDI_ImageFile, config.CDI_FontFile, config.CDI_ApplicationFile, config.CDI_ConfigurationFile} {}

int TCdiFiles::Load() {
    sizes.clear();
    failedName.clear();
    for (size_t i = 0; i < paths.size(); ++i) {
        uint64_t length = 0;
        const int fd = OpenRegularForRead(paths[i], &length);
        bool ok = fd >= 0;
        if (fd >= 0) ::close(fd);
        // The image file is copied sector by sector with its own subheaders.
        if (ok && i == 0 && length % 2336 != 0) ok = false;
        if (!ok) {
            failedName = ExtractName(paths[i]);
            sizes.clear();
            return msg::error::kCannotOpenCdiFiles;
        }
        sizes.push_back(static_cast<int64_t>(length));
    }
    return 0;
}

int64_t TCdiFiles::TotalSize() const {
    int64_t total = 0;
    for (int64_t s : sizes) total += s;
    return total;
}

int32_t TCdiFiles::Sectors() const {
    if (sizes.size() != 4) return 0;
    auto up = [](int64_t bytes, int64_t unit) { return static_cast<int32_t>((bytes + unit - 1) / unit); };
    return up(sizes[0], 2336) + 80 + up(sizes[1], 2048) + up(sizes[2], 2048) + up(sizes[3], 2048);
}

std::string CdiFileContext(const std::string& name) { return "CDI Application File: " + name; }
