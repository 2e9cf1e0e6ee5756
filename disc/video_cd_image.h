// The data track of one VCD 2.0 or SVCD image: its layout, the placeholder
// written before the MPEG tracks, and WriteImage, which overwrites the
// placeholder with the ISO 9660 volume and the VideoCD system files once the
// tracks are written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc/iso_volume.h"
#include "disc/vcd_system_files.h"

struct TConfig;
class TFileIO;

// The files of one directory: names with ";1", sizes in bytes, first sectors.
struct TIsoFileList {
    void Add(const std::string& name, int64_t size, int32_t sector = 0) {
        names.push_back(name);
        sizes.push_back(size);
        sectors.push_back(sector);
    }
    size_t Count() const { return names.size(); }
    std::vector<std::string> names;
    std::vector<int64_t> sizes;
    std::vector<int32_t> sectors;
};

// What the image's kind and switches make of it.
struct TImageOptions {
    bool isVcd = true;
    bool cdiApplication = false;    // VCD with the CD-i files
    bool useMpeg2Directory = true;  // SVCD: "MPEG2", else "MPEGAV"
    bool philipsCompliant = true;   // SVCD: the system files end ".SVD", else ".VCD"
    bool useEntryVcd = true;        // SVCD: ENTRIES signature "ENTRYVCD", else "ENTRYSVD"
};
// AddCDIApplication counts only for a VCD with a loaded CD-i set.
TImageOptions ImageOptionsFrom(const TConfig& config, bool isVcd, const TCdiFiles* cdi);

class TVideoCdImage {
public:
    // No I/O: cdi (may be null) must stay alive until WriteImage is done.
    TVideoCdImage(const TImageOptions& options, const TCdiFiles* cdi);
    TVideoCdImage(const TConfig& config, bool isVcd, const TCdiFiles* cdi)
        : TVideoCdImage(ImageOptionsFrom(config, isVcd, cdi), cdi) {}

    // C, the CD-i sectors (0 without the CD-i files).
    int32_t CdiSectors() const { return cdiSectors_; }
    // D = C + 356: the data track, logical sectors 0 .. D - 1.
    int32_t PlaceholderSectors() const { return cdiSectors_ + 356; }
    // D + 150: the first sector of the first track file (its front margin).
    int32_t FirstTrackSector() const { return cdiSectors_ + 506; }

    // Writes the D placeholder sectors at out's position, addressed from 150.
    // 0, or result::kWriteFailed.
    int WritePlaceholder(TFileIO& out);

    // The label: pattern formatted with the image number, or pattern as typed
    // ("%%" read as "%") when the formatter refuses it; cut to at most 32
    // bytes, never inside a UTF-8 character. The volume identifier recorded
    // (and INFO's album identifier, its first 16) is the label in the
    // characters ISO 9660 allows there: A-Z, 0-9 and "_", lower-case
    // letters made upper-case and every other character "_".
    void SetVolumeLabel(const std::string& pattern, int32_t imageNumber);
    // The recording time, UTC (from the job's clock).
    void SetDate(const platform::LocalTime& utc) { date_ = MakeIsoDate(utc); }
    // This image's tracks, in order.
    void SetTracks(std::vector<TImageTrack> tracks) { tracks_ = std::move(tracks); }
    // The job's private folder holding the scan tables (kScanTableName ...);
    // TRACKS.SVD's temporary file is written there too.
    void SetTableFolder(const std::string& folder) { tableFolder_ = folder; }

    // Seeks back over the placeholder of out (opened for update) and writes
    // the data track. 0; result::kWriteFailed the image cannot be read or
    // written (failedName: the image's file name); kNoScanTable,
    // kNoSearchTable, kNoTrackTable the scan, search or tracks table cannot be
    // opened, read, or does not fit its slot (report error
    // kCannotCreateTables with kScanTableText, kSearchTableText,
    // kTracksTableText); msg::error::kCannotOpenCdiFiles a CD-i file cannot
    // be read or no longer has its measured size (failedName: its name). The
    // table files are removed in every case.
    int WriteImage(TFileIO& out);
    const std::string& failedName() const { return failedName_; }

    // The layout (valid after WriteImage, or after LayOutFiles for tests).
    void LayOutFiles();
    const TIsoFileList& TrackFiles() const { return trackList_; }
    const TIsoFileList& SystemFiles() const { return systemList_; }
    const TIsoFileList& ExtFiles() const { return extList_; }
    const TIsoFileList& CdiFiles() const { return cdiList_; }
    const std::string& volumeLabel() const { return label_; }
    const std::string& volumeIdentifier() const { return volumeId_; }
    uint64_t imageByteCount = 0;  // the output's length after WriteImage

private:
    struct Directory { std::string name; int32_t sector; int32_t sectors; };
    int writeSector(TFileIO& out, const uint8_t* data, int type, const uint8_t subheader[4]);
    int seekSector(TFileIO& out, int32_t sector);
    int writeDirectories(TFileIO& out);
    int writeSystemFiles(TFileIO& out);
    int writeCdiFiles(TFileIO& out);
    int writeTables(TFileIO& out);
    int copyTable(TFileIO& out, const std::string& path, int32_t sector, int32_t slotEnd, uint8_t fileNumber,
                  int fault, bool pad);
    std::vector<Directory> directories() const;
    std::vector<TPathEntry> pathEntries() const;
    int64_t trackDirectorySize() const;

    TImageOptions options_;
    const TCdiFiles* cdi_;
    int32_t cdiSectors_ = 0;
    std::vector<TImageTrack> tracks_;
    std::string tableFolder_;
    std::string label_;
    std::string volumeId_;
    IsoDate date_{};
    std::string failedName_;
    int64_t scanSize_ = 0, searchSize_ = 0;
    uint32_t address_ = 150;
    TIsoFileList cdiList_, extList_, systemList_, trackList_;
};
