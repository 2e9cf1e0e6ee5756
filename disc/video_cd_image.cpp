#include "disc/video_cd_image.h"

#include <unistd.h>

#include <cstring>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "core/text_format.h"
#include "disc/sector_encoder.h"

namespace {

constexpr uint8_t kSubData[4] = {0, 0, 0x08, 0};
constexpr uint8_t kSubNone[4] = {0, 0, 0, 0};
constexpr uint8_t kSubDescriptor[4] = {0, 0, 0x09, 0};
constexpr uint8_t kSubEnd[4] = {0, 0, 0x89, 0};

constexpr int32_t kInfoSector = 150, kEntriesSector = 151, kLotSector = 152, kPsdSector = 184;
constexpr int32_t kSearchSector = 185, kTracksSvdSector = 217;
constexpr int32_t kCdiSector = 211;  // the gap's end, without CD-i files the start of LOT_X

int64_t Up(int64_t bytes, int64_t unit) { return (bytes + unit - 1) / unit; }

}  // namespace

TImageOptions ImageOptionsFrom(const TConfig& config, bool isVcd, const TCdiFiles* cdi) {
    TImageOptions o;
    o.isVcd = isVcd;
    o.cdiApplication = isVcd && config.AddCDIApplication != 0 && cdi != nullptr && cdi->sizes.size() == 4;
    o.useMpeg2Directory = config.SVCD_UseMPEG2Directory != 0;
    o.philipsCompliant = config.SVCD_PhilipsCompliant != 0;
    o.useEntryVcd = config.SVCD_UseENTRYVCD != 0;
    return o;
}

TVideoCdImage::TVideoCdImage(const TImageOptions& options, const TCdiFiles* cdi) : options_(options), cdi_(cdi) {
    if (!options_.isVcd || cdi_ == nullptr || cdi_->sizes.size() != 4) options_.cdiApplication = false;
    cdiSectors_ = options_.cdiApplication ? cdi_->Sectors() : 0;
    date_ = MakeIsoDate(platform::defaultClock().utcNow());
}

void TVideoCdImage::SetVolumeLabel(const std::string& pattern, int32_t imageNumber) {
    // The pattern is the user's text: a refused one is taken as typed, its
    // "%%" standing for "%" as in any pattern.
    std::optional<std::string> formatted = FormatCounter(pattern, imageNumber);
    if (formatted) {
        label_ = *formatted;
    } else {
        label_.clear();
        for (size_t i = 0; i < pattern.size(); ++i) {
            label_ += pattern[i];
            if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') ++i;
        }
    }
    if (label_.size() > 32) {
        // Back to the start of the character that would be cut.
        size_t cut = 32;
        while (cut > 0 && (static_cast<uint8_t>(label_[cut]) & 0xC0) == 0x80) --cut;
        label_.resize(cut);
    }
    volumeId_.clear();
    for (size_t i = 0; i < label_.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(label_[i]);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
            volumeId_ += char(c);
        } else if (c >= 'a' && c <= 'z') {
            volumeId_ += char(c - 'a' + 'A');
        } else {
            // One "_" for a whole UTF-8 character: skip its continuation bytes.
            volumeId_ += '_';
            while (i + 1 < label_.size() && (static_cast<uint8_t>(label_[i + 1]) & 0xC0) == 0x80) ++i;
        }
    }
}

// ---- Layout ----

std::vector<TVideoCdImage::Directory> TVideoCdImage::directories() const {
    if (options_.isVcd)
        return {{"CDI", 19, 1}, {"EXT", 20, 1}, {"MPEGAV", 21, 3}, {"SEGMENT", 24, 1}, {"VCD", 25, 1}};
    return {{"EXT", 19, 1},
            {options_.useMpeg2Directory ? "MPEG2" : "MPEGAV", 20, 3},
            {"SEGMENT", 23, 1},
            {"SVCD", 24, 1}};
}

std::vector<TPathEntry> TVideoCdImage::pathEntries() const {
    std::vector<TPathEntry> entries;
    for (const Directory& d : directories()) entries.push_back({d.name, static_cast<uint32_t>(d.sector)});
    return entries;
}

int64_t TVideoCdImage::trackDirectorySize() const {
    const size_t n = tracks_.size();
    return n <= 32 ? 2048 : (n <= 66 ? 4096 : 6144);
}

void TVideoCdImage::LayOutFiles() {
    const int32_t n = static_cast<int32_t>(tracks_.size());
    const std::string ext = (options_.isVcd || !options_.philipsCompliant) ? ".VCD;1" : ".SVD;1";
    systemList_ = {};
    systemList_.Add("ENTRIES" + ext, 2048, kEntriesSector);
    systemList_.Add("INFO" + ext, 2048, kInfoSector);
    systemList_.Add("LOT" + ext, 65536, kLotSector);
    systemList_.Add("PSD" + ext, PsdSize(n), kPsdSector);
    if (!options_.isVcd) {
        systemList_.Add("SEARCH.DAT;1", searchSize_, kSearchSector);
        // Players read TRACKS.SVD as one whole sector.
        systemList_.Add("TRACKS.SVD;1", 2048, kTracksSvdSector);
    }

    cdiList_ = {};
    int32_t cursor = kCdiSector;
    if (options_.cdiApplication) {
        const std::vector<int64_t>& s = cdi_->sizes;
        // The Form 2 image file is recorded as its sectors x 2048.
        cdiList_.Add("CDI_IMAG.RTF;1", Up(s[0], 2336) * 2048, cursor);
        cursor += static_cast<int32_t>(Up(s[0], 2336)) + 80;
        const char* names[3] = {"CDI_TEXT.FNT;1", "CDI_VCD.APP;1", "CDI_VCD.CFG;1"};
        for (int i = 0; i < 3; ++i) {
            cdiList_.Add(names[i], s[i + 1], cursor);
            cursor += static_cast<int32_t>(Up(s[i + 1], 2048));
        }
    }

    extList_ = {};
    if (options_.isVcd) {
        extList_.Add("LOT_X.VCD;1", 65536, cursor);
        extList_.Add("PSD_X.VCD;1", PsdSize(n), cursor + 32);
        extList_.Add("SCANDATA.DAT;1", scanSize_, cursor + 33);
    } else {
        extList_.Add("SCANDATA.DAT;1", scanSize_, kCdiSector + 33);
    }

    trackList_ = {};
    int32_t first = FirstTrackSector();
    for (int32_t k = 0; k < n; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, options_.isVcd ? "AVSEQ%02d.DAT;1" : "AVSEQ%02d.MPG;1", k + 1);
        const int64_t sectors = static_cast<int64_t>(tracks_[k].size / kRawSectorSize);
        // From the front margin to the end sector.
        trackList_.Add(name, sectors > 150 ? (sectors - 150) * 2048 : 0, first);
        first += static_cast<int32_t>(Up(static_cast<int64_t>(tracks_[k].size), kRawSectorSize)) + 10;
    }
}

// ---- Sectors ----

int TVideoCdImage::seekSector(TFileIO& out, int32_t sector) {
    address_ = static_cast<uint32_t>(sector) + 150;
    return out.Seek(static_cast<uint64_t>(sector) * kRawSectorSize) == 0 ? result::kOk : result::kWriteFailed;
}

int TVideoCdImage::writeSector(TFileIO& out, const uint8_t* data, int type, const uint8_t subheader[4]) {
    uint8_t sector[kRawSectorSize] = {};
    std::memcpy(sector + 16, subheader, 4);
    std::memcpy(sector + 20, subheader, 4);
    if (data != nullptr) std::memcpy(sector + 24, data, type == kSectorMode2Form2 ? 2324 : 2048);
    BuildSector(sector, type, address_++);
    return out.Write(sector, kRawSectorSize) == kRawSectorSize ? result::kOk : result::kWriteFailed;
}

int TVideoCdImage::WritePlaceholder(TFileIO& out) {
    address_ = 150;
    for (int32_t i = 0; i < PlaceholderSectors(); ++i)
        if (writeSector(out, nullptr, kSectorMode2Form1, kSubData) != 0) {
            failedName_ = ExtractName(out.name);
            return result::kWriteFailed;
        }
    return 0;
}

int TVideoCdImage::writeDirectories(TFileIO& out) {
    const std::vector<Directory> dirs = directories();
    const size_t trackDir = options_.isVcd ? 2 : 1;
    auto dirSize = [&](size_t i) { return static_cast<uint32_t>(i == trackDir ? trackDirectorySize() : 2048); };

    // Root.
    std::vector<uint8_t> block(kIsoBlock, 0);
    size_t used = 0;
    auto append = [&](const std::vector<uint8_t>& record) {
        std::memcpy(&block[used], record.data(), record.size());
        used += record.size();
    };
    if (seekSector(out, 18) != 0) return result::kWriteFailed;
    append(DirectoryRecord(std::string(1, '\0'), 18, 2048, true, kXaDirectory, 0, date_));
    append(DirectoryRecord(std::string(1, '\1'), 18, 2048, true, kXaDirectory, 0, date_));
    for (size_t i = 0; i < dirs.size(); ++i)
        append(DirectoryRecord(dirs[i].name, static_cast<uint32_t>(dirs[i].sector), dirSize(i), true, kXaDirectory, 0,
                               date_));
    if (writeSector(out, block.data(), kSectorMode2Form1, kSubData) != 0) return result::kWriteFailed;

    for (size_t i = 0; i < dirs.size(); ++i) {
        const Directory& d = dirs[i];
        const bool last = i + 1 == dirs.size();
        std::fill(block.begin(), block.end(), 0);
        used = 0;
        int32_t written = 0;
        append(DirectoryRecord(std::string(1, '\0'), static_cast<uint32_t>(d.sector), dirSize(i), true, kXaDirectory,
                               0, date_));
        append(DirectoryRecord(std::string(1, '\1'), 18, 2048, true, kXaDirectory, 0, date_));
        auto files = [&](const TIsoFileList& list, uint8_t attribute) {
            for (size_t f = 0; f < list.Count(); ++f)
                append(DirectoryRecord(list.names[f], static_cast<uint32_t>(list.sectors[f]),
                                       static_cast<uint32_t>(list.sizes[f]), false, attribute, 0, date_));
        };
        if (d.name == "CDI") {
            for (size_t f = 0; f < cdiList_.Count(); ++f)
                append(DirectoryRecord(cdiList_.names[f], static_cast<uint32_t>(cdiList_.sectors[f]),
                                       static_cast<uint32_t>(cdiList_.sizes[f]), false, f == 0 ? kXaForm2 : kXaForm1,
                                       0, date_));
        } else if (d.name == "EXT") {
            files(extList_, kXaForm1);
        } else if (d.name == "VCD" || d.name == "SVCD") {
            files(systemList_, kXaForm1);
        } else if (i == trackDir) {
            // Records never straddle a sector: a full block is written and
            // the next record starts a new one.
            for (size_t k = 0; k < trackList_.Count(); ++k) {
                std::vector<uint8_t> r =
                    DirectoryRecord(trackList_.names[k], static_cast<uint32_t>(trackList_.sectors[k]),
                                    static_cast<uint32_t>(trackList_.sizes[k]), false, kXaForm2,
                                    static_cast<uint8_t>(k + 1), date_);
                if (used + r.size() > kIsoBlock) {
                    if (written + 1 >= d.sectors) return msg::error::kTooManyVideoTracks;
                    if (writeSector(out, block.data(), kSectorMode2Form1, kSubNone) != 0) return result::kWriteFailed;
                    ++written;
                    std::fill(block.begin(), block.end(), 0);
                    used = 0;
                }
                append(r);
            }
        }
        if (writeSector(out, block.data(), kSectorMode2Form1, last ? kSubEnd : kSubData) != 0)
            return result::kWriteFailed;
        for (++written; written < d.sectors; ++written)
            if (writeSector(out, nullptr, kSectorMode2Form1, kSubData) != 0) return result::kWriteFailed;
    }
    return 0;
}

int TVideoCdImage::writeSystemFiles(TFileIO& out) {
    const TSystemFileOptions so{options_.isVcd, options_.useEntryVcd};
    std::string volumeId = volumeId_;
    volumeId.resize(32, ' ');
    std::vector<int32_t> firsts(trackList_.sectors.begin(), trackList_.sectors.end());
    const int32_t n = static_cast<int32_t>(tracks_.size());
    const uint8_t sub88[4] = {0, 0, 0x88, 0};

    if (seekSector(out, kInfoSector) != 0) return result::kWriteFailed;
    if (writeSector(out, InfoBytes(so, volumeId, tracks_).data(), kSectorMode2Form1, sub88) != 0)
        return result::kWriteFailed;
    if (writeSector(out, EntriesBytes(so, firsts).data(), kSectorMode2Form1, sub88) != 0) return result::kWriteFailed;

    auto writeLot = [&](uint8_t file) -> int {
        const std::vector<uint8_t> lot = LotBytes(so, n);
        const uint8_t mid[4] = {file, 0, 0x08, 0};
        const uint8_t end[4] = {1, 0, 0x88, 0};
        for (int s = 0; s < 32; ++s)
            if (writeSector(out, &lot[size_t(s) * 2048], kSectorMode2Form1, s == 31 ? end : mid) != 0)
                return result::kWriteFailed;
        return 0;
    };
    auto writePsd = [&](uint8_t file) {
        const uint8_t sub[4] = {file, 0, 0x88, 0};
        return writeSector(out, PsdBytes(tracks_).data(), kSectorMode2Form1, sub);
    };
    if (writeLot(0) != 0 || writePsd(0) != 0) return result::kWriteFailed;
    for (int i = 0; i < 26; ++i)
        if (writeSector(out, nullptr, kSectorMode2Form1, kSubData) != 0) return result::kWriteFailed;

    if (options_.isVcd) {
        if (seekSector(out, extList_.sectors[0]) != 0) return result::kWriteFailed;
        if (writeLot(1) != 0 || writePsd(1) != 0) return result::kWriteFailed;
    }
    return 0;
}

int TVideoCdImage::writeCdiFiles(TFileIO& out) {
    for (size_t i = 0; i < 4; ++i) {
        const std::string& path = cdi_->paths[i];
        auto fail = [&]() {
            failedName_ = ExtractName(path);
            return msg::error::kCannotOpenCdiFiles;
        };
        TFileIO in;
        if (in.OpenForRead(path) != 0) return fail();
        const int64_t size = static_cast<int64_t>(in.Size());
        if (size != cdi_->sizes[i]) return fail();
        if (seekSector(out, cdiList_.sectors[i]) != 0) return result::kWriteFailed;
        const size_t chunk = i == 0 ? 2336 : 2048;
        std::vector<uint8_t> buf(chunk);
        for (int64_t done = 0; done < size; done += static_cast<int64_t>(chunk)) {
            const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk), size - done));
            std::fill(buf.begin(), buf.end(), 0);
            if (in.Read(buf.data(), want) != want) return fail();
            if (i == 0) {
                // The image file keeps its own subheaders and EDC.
                uint8_t sector[kRawSectorSize] = {};
                BuildSector(sector, kSectorMode2Form2, address_++);
                std::memcpy(sector + 16, buf.data(), 2336);
                if (out.Write(sector, kRawSectorSize) != kRawSectorSize) return result::kWriteFailed;
            } else {
                const bool last = done + static_cast<int64_t>(chunk) >= size;
                const uint8_t sub[4] = {1, 0, uint8_t(last ? 0x88 : 0x08), 0};
                if (writeSector(out, buf.data(), kSectorMode2Form1, sub) != 0) return result::kWriteFailed;
            }
        }
        if (i == 0)
            for (int k = 0; k < 80; ++k)
                if (writeSector(out, nullptr, kSectorMode2Form2, kSubNone) != 0) return result::kWriteFailed;
    }
    return 0;
}

int TVideoCdImage::copyTable(TFileIO& out, const std::string& path, int32_t sector, int32_t slotEnd,
                             uint8_t fileNumber, int fault, bool pad) {
    TFileIO in;
    if (in.OpenForRead(path) != 0) return fault;
    const int64_t size = static_cast<int64_t>(in.Size());
    const int64_t sectors = Up(size, 2048);
    if (sector + sectors - 1 > slotEnd) return fault;
    if (seekSector(out, sector) != 0) return result::kWriteFailed;
    uint8_t buf[2048];
    for (int64_t s = 0; s < sectors; ++s) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(2048, size - s * 2048));
        std::memset(buf, 0, sizeof buf);
        if (in.Read(buf, want) != want) return fault;
        const uint8_t sub[4] = {fileNumber, 0, uint8_t(s + 1 == sectors ? 0x88 : 0x08), 0};
        if (writeSector(out, buf, kSectorMode2Form1, sub) != 0) return result::kWriteFailed;
    }
    if (!pad) return 0;
    // The padding stays inside the table's slot, clear of the tracks.
    int64_t padding = (size % 2048 != 0 && size < 2048) ? 31 : 32;
    for (int64_t s = sector + sectors; padding > 0 && s <= slotEnd; --padding, ++s)
        if (writeSector(out, nullptr, kSectorMode2Form1, kSubNone) != 0) return result::kWriteFailed;
    return 0;
}

int TVideoCdImage::writeTables(TFileIO& out) {
    const std::string scan = tableFolder_ + "/" + kScanTableName;
    if (options_.isVcd)
        return copyTable(out, scan, extList_.sectors[2], PlaceholderSectors() - 1, 1, result::kNoScanTable, true);

    // TRACKS.SVD goes through its temporary file like the other tables.
    const std::string tracksPath = tableFolder_ + "/" + kTracksTableName;
    TScanDataFile tracksFile(2);
    if (tracksFile.CreateFile(tracksPath) != 0) return result::kNoTrackTable;
    const std::vector<uint8_t> bytes = TracksSvdBytes(tracks_);
    tracksFile.Write(bytes.data(), bytes.size());
    if (tracksFile.Close() != 0) return result::kNoTrackTable;

    int r = copyTable(out, scan, extList_.sectors[0], PlaceholderSectors() - 1, 1, result::kNoScanTable, true);
    if (r == 0)
        r = copyTable(out, tableFolder_ + "/" + kSearchTableName, kSearchSector, kTracksSvdSector - 1, 0,
                      result::kNoSearchTable, true);
    if (r == 0) r = copyTable(out, tracksPath, kTracksSvdSector, kTracksSvdSector, 0, result::kNoTrackTable, false);
    return r;
}

int TVideoCdImage::WriteImage(TFileIO& out) {
    failedName_.clear();
    const std::string scanPath = tableFolder_ + "/" + kScanTableName;
    const std::string searchPath = tableFolder_ + "/" + kSearchTableName;
    const std::string tracksPath = tableFolder_ + "/" + kTracksTableName;

    auto run = [&]() -> int {
        if (tracks_.size() > static_cast<size_t>(kMaxImageTracks)) return msg::error::kTooManyVideoTracks;
        if (tableFolder_.empty()) return result::kNoScanTable;
        // The table lengths go into the directories before anything is written.
        auto measure = [](const std::string& path, int64_t& size) {
            TFileIO in;
            if (in.OpenForRead(path) != 0) return false;
            size = static_cast<int64_t>(in.Size());
            return true;
        };
        if (!measure(scanPath, scanSize_)) return result::kNoScanTable;
        if (!options_.isVcd && !measure(searchPath, searchSize_)) return result::kNoSearchTable;
        LayOutFiles();

        if (seekSector(out, 0) != 0) return result::kWriteFailed;
        for (int i = 0; i < 17; ++i)
            if (writeSector(out, nullptr, kSectorMode2Form1, kSubData) != 0) return result::kWriteFailed;
        if (writeSector(out, BuildVolumeTerminator().data(), kSectorMode2Form1, kSubEnd) != 0)
            return result::kWriteFailed;
        if (int r = writeDirectories(out); r != 0) return r;
        const int32_t pathTable = static_cast<int32_t>(address_) - 150;
        if (int r = writeSystemFiles(out); r != 0) return r;
        if (options_.cdiApplication)
            if (int r = writeCdiFiles(out); r != 0) return r;
        if (int r = writeTables(out); r != 0) return r;

        const std::vector<TPathEntry> entries = pathEntries();
        if (seekSector(out, pathTable) != 0) return result::kWriteFailed;
        if (writeSector(out, BuildPathTable(entries, false).data(), kSectorMode2Form1, kSubEnd) != 0)
            return result::kWriteFailed;
        if (writeSector(out, BuildPathTable(entries, true).data(), kSectorMode2Form1, kSubEnd) != 0)
            return result::kWriteFailed;

        imageByteCount = out.Size();
        if (out.writeFailed()) return result::kWriteFailed;
        TVolumeFields f;
        f.isVcd = options_.isVcd;
        f.cdiApplication = options_.cdiApplication;
        f.label = volumeId_;
        f.date = date_;
        f.volumeSectors = static_cast<uint32_t>(imageByteCount / kRawSectorSize);
        f.pathTableSize = PathTableSize(entries);
        f.pathTableL = static_cast<uint32_t>(pathTable);
        if (seekSector(out, 16) != 0) return result::kWriteFailed;
        if (writeSector(out, BuildPrimaryVolumeDescriptor(f).data(), kSectorMode2Form1, kSubDescriptor) != 0)
            return result::kWriteFailed;
        return out.writeFailed() ? result::kWriteFailed : result::kOk;
    };
    const int r = run();
    if (r == result::kWriteFailed || r == msg::error::kTooManyVideoTracks) failedName_ = ExtractName(out.name);
    if (!tableFolder_.empty())
        for (const std::string& p : {scanPath, searchPath, tracksPath}) ::unlink(p.c_str());
    return r;
}
