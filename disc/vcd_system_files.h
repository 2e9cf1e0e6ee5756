// The VideoCD system files of an image build: the byte blocks of INFO,
// ENTRIES, LOT and PSD, the temporary scan and search tables, TRACKS.SVD,
// the scan points (one per half second of play), the CD-i application files
// and the limits an image is checked against before anything is written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TConfig;

// One MPEG track of the image being written, as the writer needs it.
struct TImageTrack {
    // The track's size as written: (180 frame sectors + its data, header,
    // end-margin and end sectors) x 2352; the postgap is not part of it.
    uint64_t size = 0;
    bool pal = false;          // INFO PAL bit; TRACKS.SVD video type 7 (else 3)
    bool hasAudio = true;      // TRACKS.SVD audio stream count 1 (else 0)
    int32_t pauseSeconds = 0;  // PSD wait; 16 (the pause maximum) waits for ever
    double playSeconds = 0;    // play time of the track
};

// Half-second steps of the scan tables (SEARCH.DAT's interval byte 1).
constexpr double kScanInterval = 0.5;
// Tracks of one image: 98 MPEG tracks make 99 CD tracks.
constexpr int32_t kMaxImageTracks = 98;
// Last address ENTRIES and the scan points can hold: 99:59:74.
constexpr int64_t kLastBcdAddress = 99 * 4500 + 59 * 75 + 74;

// Minute, second, frame of a sector count (or a time in 1/75 s) as BCD.
std::array<uint8_t, 3> BcdTime(int64_t frames);
// A play time in 1/75 s, rounded down.
int64_t PlayFrames(double seconds);

// ---- Scan points ----

// One point per half second of the image's play time, counted across its
// tracks from 0. The point at time t is the address of the last GOP, in the
// track playing at t, whose time is at or before t (a track's first GOP when
// none is); a GOP longer than half a second repeats its address.
class TScanPoints {
public:
    // Tracks follow each other; fallback is the address used for the track's
    // points when it brings no GOP (its first data sector, say).
    void BeginTrack(double playSeconds, uint32_t fallbackAddress);
    // address: the sector address (logical sector + 150) of the sector that
    // holds the GOP start code; seconds: the GOP's time from the track start.
    void AddGop(uint32_t address, double seconds);
    // The points of every track begun so far, each 3 BCD bytes (mm ss ff).
    std::vector<std::array<uint8_t, 3>> Points() const;
    // Points falling in each track (what the SVCD scan index counts).
    std::vector<int32_t> PointsPerTrack() const;

private:
    struct Gop { uint32_t address; double seconds; };
    struct Track { double playSeconds; uint32_t fallback; std::vector<Gop> gops; };
    std::vector<Track> tracks_;
};

// Points per track for these play times (what TScanPoints will give).
std::vector<int32_t> ScanPointsPerTrack(const std::vector<double>& playSeconds);

// ---- Temporary table files ----

// The names of the table files inside the job's private temporary folder.
inline constexpr const char* kScanTableName = "scandata.tmp";
inline constexpr const char* kSearchTableName = "searchdata.tmp";
inline constexpr const char* kTracksTableName = "tracksvcd.tmp";
// The error texts of the three tables ("Temporary SCANDATA.DAT table file",
// "Temporary SEARCH.DAT table file", "Temporary TRACKS.SVCD table file").
extern const char* const kScanTableText;
extern const char* const kSearchTableText;
extern const char* const kTracksTableText;

// SCANDATA.DAT or SEARCH.DAT being written. Every write returns false when
// it fails, and the failure sticks: Close then returns
// msg::error::kCannotCreateTables.
class TScanDataFile {
public:
    explicit TScanDataFile(int32_t discKind);  // 1 VCD, else SVCD
    ~TScanDataFile();
    TScanDataFile(const TScanDataFile&) = delete;
    TScanDataFile& operator=(const TScanDataFile&) = delete;

    int CreateFile(const std::string& path);   // 0, or result::kCannotOpen
    bool WriteHeader();                        // "SCAN_VCD", version, 00, count 00 00
    // SVCD scan index: track count, the cumulative play time up to and
    // including each track (mm:ss:ff, ff in 1/75 s), the offset 3n, then per
    // track its CD track number (BCD) and 3n + 3 x (points before it).
    bool WriteSvcdIndex(const std::vector<double>& playSeconds, const std::vector<int32_t>& pointsPerTrack);
    bool WriteSearchHeader();                  // "SEARCHSV" 01 00, count 00 00, interval 01
    bool WritePoints(const std::vector<std::array<uint8_t, 3>>& points);  // adds to count
    bool Write(const void* bytes, size_t count);
    bool PatchCount();  // bytes 10-11 := count, most significant first
    int64_t Size() const;
    int Close();  // 0, or msg::error::kCannotCreateTables
    bool IsClosed() const { return fd_ < 0; }
    bool failed() const { return failed_; }

    int32_t count = 0;  // scan points written

private:
    int32_t discKind_;
    int fd_ = -1;
    bool failed_ = false;
    int64_t size_ = 0;
};

// Writes SCANDATA.DAT (and for SVCD SEARCH.DAT) of one image into folder,
// complete with their points and counts. 0, or msg::error::kCannotCreateTables
// with the table's text in why (kScanTableText or kSearchTableText) when one
// cannot be made or written.
int WriteScanTables(const std::string& folder, bool isVcd, const std::vector<TImageTrack>& tracks,
                    const TScanPoints& points, std::string& why);

// TRACKS.SVD: "TRACKSVD" 01 00, the track count, per track its play time
// (mm:ss:ff, ff in 1/75 s), per track its audio/video byte.
std::vector<uint8_t> TracksSvdBytes(const std::vector<TImageTrack>& tracks);

// ---- System file blocks (2048 bytes each; LOT 65536) ----

struct TSystemFileOptions {
    bool isVcd = true;
    bool useEntryVcd = true;  // SVCD: "ENTRYVCD" rather than "ENTRYSVD"
};
std::vector<uint8_t> InfoBytes(const TSystemFileOptions& o, const std::string& volumeIdentifier,
                               const std::vector<TImageTrack>& tracks);
// firstSectors: each track file's first logical sector.
std::vector<uint8_t> EntriesBytes(const TSystemFileOptions& o, const std::vector<int32_t>& firstSectors);
std::vector<uint8_t> LotBytes(const TSystemFileOptions& o, int32_t trackCount);
std::vector<uint8_t> PsdBytes(const std::vector<TImageTrack>& tracks);
inline int32_t PsdSize(int32_t trackCount) { return trackCount * 16 + 8; }

// ---- Limits ----

// Sectors of the whole image: the data track (356 + cdiSectors) and per
// track its pregap, frame, data sectors (header sectors included), end
// margin, end sector and postgap.
int64_t ImageSectors(int32_t cdiSectors, const std::vector<int64_t>& dataSectorsPerTrack);
// Checked when the job starts, before anything is written: the error to
// report, msg::error::kTooManyVideoTracks when the image has more than 98
// tracks; kCannotCreateTables when its scan or search table would not fit its
// slot; kCannotCreate when its last sector would lie past 99:59:74 (no image
// file can be made of it). why names the limit.
int CheckImageLimits(bool isVcd, const std::vector<TImageTrack>& tracks, int32_t cdiSectors, int64_t imageSectors,
                     std::string& why);

// ---- CD-i application files ----

// The image, font, application and configuration file of a VCD with the CD-i
// application. Load measures them once; the image writer copies exactly
// those paths and checks each still has the measured size.
class TCdiFiles {
public:
    explicit TCdiFiles(std::array<std::string, 4> paths) : paths(std::move(paths)) {}
    explicit TCdiFiles(const TConfig& config);  // CDI_ImageFile, ..., CDI_ConfigurationFile

    // 0, or msg::error::kCannotOpenCdiFiles with failedName (the file's name
    // without its folder) when a file does not open, or the image file is not
    // whole 2336-byte sectors.
    int Load();
    int64_t TotalSize() const;
    // Sectors the set takes in the data track: the image file's sectors, 80
    // sectors after it, and the three plain files in 2048-byte sectors.
    int32_t Sectors() const;

    std::array<std::string, 4> paths;
    std::vector<int64_t> sizes;  // in path order once loaded
    std::string failedName;
};
// The context text of error 23: "CDI Application File: " + name.
std::string CdiFileContext(const std::string& name);
