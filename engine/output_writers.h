// Output names and the small files written beside an output: the resource
// companion of an MPEG file and the cue sheet or toc file of an image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TJob;
struct TConfig;
class TTrackTable;

// Output n of a job that writes one file per track: WithoutExtension of the
// job's baseOutputName, MultiFileFormat applied to n, then "." and the
// extension when there is one (movie.mpg, "_%02d", 3 -> movie_03.mpg).
// MultiFileFormat is user text: false, and name untouched, when the safe
// formatter refuses it (no directive, two, or anything but %d, %Nd, %0Nd).
bool MakeOutputName(const TJob& job, const TConfig& config, int32_t n, std::string& name);

// baseOutputName moved into the sub-folder "CD<n>" beside it:
// /out/movie.bin, 2 -> /out/CD2/movie.bin. The folder is not created here.
std::string MakeCdFolderName(const TJob& job, int32_t n);

// The 22 bytes of the resource companion file.
extern const uint8_t kToastResource[22];
// Writes kToastResource to outputName + ".rsrc"; false when it cannot be
// created or written.
bool WriteToastResource(const std::string& outputName);

// Start of a track in the image, as the image sector writer stores it.
struct TSheetTime {
    int32_t minutes = 0;
    int32_t seconds = 0;
    int32_t frames = 0;
};

// The MPEG tracks one sheet covers.
struct TSheetRange {
    int32_t first = 0;  // cue: tracks first+1 .. last+1; toc: tracks 2 .. last+1
    int32_t last = 0;
    int32_t skip = 0;   // file-list entries of earlier images
};

// Track range and skipped entries of the sheet of image imageNumber - 1 (the
// worker has advanced imageNumber past the finished image): the table's first
// and last track, or, with option bit 0x02 and a second or later image, that
// image's own tracks and the entries of the images before it.
TSheetRange SheetTrackRange(const TTrackTable& table, int32_t methodCode, int32_t imageNumber);

// What a sheet describes. starts[i] is the start time of file-list entry
// range.skip + i (entry range.skip is the first MPEG track of this image).
struct TSheetImage {
    std::string imagePath;   // the image file
    bool cueFullPath = false;  // CUEIndexFullPath: the cue's FILE names the full path
    TSheetRange range;
    std::vector<TSheetTime> starts;
    uint64_t imageSize = 0;  // the image's size when finished: end of the toc's last track
};

// Receives the error index (msg::error::kCannotCreate) and its text when a sheet cannot be written.
using SheetErrorFn = std::function<void(int index, const std::string& text)>;

// The sheet written beside an image: its name with the last extension cut,
// then ".toc" or ".cue".
std::string SheetPathOf(const std::string& imagePath, bool toc);

// False for an image name a sheet cannot quote (a double quote or a line
// break in it): such a build is refused before anything is written.
bool SheetCanName(const std::string& name);

// Cue sheet of the image: FILE, the data track, then TRACK/INDEX 01 for each
// covered MPEG track. 0, or result::kCannotCreate after error kCannotCreate
// with the sheet's file name (it cannot be created or written, or the range
// needs entries starts lacks).
int WriteCueSheet(const std::string& path, const TSheetImage& image, const SheetErrorFn& onError = nullptr);

// Toc file of the image: the data track up to the first MPEG track, each
// MPEG track up to the next, the last up to imageSize. The image is named by
// its file name alone. 0, or result::kCannotCreate as for the cue sheet (also
// when the starts do not ascend or pass the image's end).
int WriteTocFile(const std::string& path, const TSheetImage& image, const SheetErrorFn& onError = nullptr);

// ---- The tables of an image build ----

class TVideoCdImage;
class TScanPoints;
struct TImageTrack;

// Reports one message of the table steps (kind, index, context text).
using TableReportFn = std::function<void(int kind, int index, const std::string& text)>;

// Makes the job's private folder for the table files of its images, inside
// tempRoot (the temporary folder when empty), and checks that a table can
// be created in it. 0, or msg::error::kCannotCreate after reporting it with
// "Temporary SCANDATA.DAT table file"; folder is empty then.
int CreateScanTables(const std::string& tempRoot, std::string& folder, const TableReportFn& report);

// One finished image: its file, its tracks and the sheet beside it.
struct TImageTables {
    std::string imagePath;
    bool isVcd = true;
    bool tocSheet = false;     // toc file (mpeg -> toc/bin), else a cue sheet
    bool cueFullPath = false;  // CUEIndexFullPath
    std::vector<TImageTrack> tracks;
    std::vector<TSheetTime> starts;  // each track's start in the image
};

// Writes the scan tables of the image into folder, completes the image's
// data track (TVideoCdImage::WriteImage on the image file, reopened for
// update) and writes its cue sheet or toc file. 0, or the error it reported:
// msg::error::kCannotCreateTables a table could not be written or read back;
// kCannotCreate the image could not be reopened, read or written, or the
// sheet not written; kCannotOpenCdiFiles a CD-i file changed. sheetPath gets
// the sheet written.
int BuildVcdTables(TVideoCdImage& image, const TImageTables& tables, const TScanPoints& points,
                   const std::string& folder, const TableReportFn& report, std::string& sheetPath);
