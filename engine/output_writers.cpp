#include "engine/output_writers.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "core/text_format.h"
#include "disc/vcd_system_files.h"
#include "disc/video_cd_image.h"
#include "disc/track_table.h"
#include "engine/methods.h"

const uint8_t kToastResource[22] = {0x00, 0x00, 0x02, 0x00, 0x30, 0x00, 0x00, 0x53, 0x05, 0xCD, 0x00,
                                    0x01, 0x37, 0x02, 0xED, 0x00, 0x2C, 0x00, 0x03, 0x61, 0x03, 0x4C};

namespace {

constexpr int64_t kRawSector = 2352;

int64_t SectorsOf(const TSheetTime& t) {
    return int64_t(t.minutes) * 4500 + int64_t(t.seconds) * 75 + t.frames;
}

int Fail(const std::string& path, const SheetErrorFn& onError) {
    if (onError) onError(msg::error::kCannotCreate, ExtractName(path));
    return result::kCannotCreate;
}

// Text files are written whole or reported: a full disk must not leave a
// sheet that silently lists fewer tracks.
int WriteText(const std::string& path, const std::string& text, const SheetErrorFn& onError) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return Fail(path, onError);
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (written && closed) return 0;
    // Created here and cut short: no half sheet stays. What goes is the file
    // written, never a link that led to it nor a device.
    std::error_code ec;
    const std::filesystem::path sheetFile = std::filesystem::canonical(path, ec);
    if (!ec && std::filesystem::is_regular_file(sheetFile, ec)) std::filesystem::remove(sheetFile, ec);
    return Fail(path, onError);
}

// A full path can be longer than any fixed line: the text is measured first.
void Append(std::string& out, const char* format, auto... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return;
    const size_t at = out.size();
    out.resize(at + size_t(n) + 1);
    std::snprintf(out.data() + at, size_t(n) + 1, format, args...);
    out.resize(at + size_t(n));
}

// Cue times: minutes take a third digit past 99.
void AppendCueIndex(std::string& out, const TSheetTime& t) {
    Append(out, t.minutes > 99 ? "    INDEX 01 %03d:%02d:%02d\n" : "    INDEX 01 %02d:%02d:%02d\n", t.minutes,
           t.seconds, t.frames);
}

void AppendTocDataFile(std::string& out, const std::string& name, std::optional<int64_t> offset, int64_t length) {
    const int64_t sectors = length / kRawSector;
    const int minutes = int(sectors / 4500), seconds = int(sectors / 75 % 60), frames = int(sectors % 75);
    const char* time = minutes > 99 ? "%.3d:%.2d:%.2d" : "%.2d:%.2d:%.2d";
    Append(out, "DATAFILE \"%s\" ", name.c_str());
    if (offset) Append(out, "#%" PRId64 " ", *offset);
    Append(out, time, minutes, seconds, frames);
    Append(out, " // length in bytes: %" PRId64 "\n", length);
}

}  // namespace

bool MakeOutputName(const TJob& job, const TConfig& config, int32_t n, std::string& name) {
    const std::optional<std::string> counter = FormatCounter(config.MultiFileFormat, n);
    if (!counter) return false;
    std::string result = WithoutExtension(job.baseOutputName) + *counter;
    const std::string extension = ExtensionOf(job.baseOutputName);
    if (!extension.empty()) result += "." + extension;
    name = result;
    return true;
}

std::string MakeCdFolderName(const TJob& job, int32_t n) {
    return ExtractDir(job.baseOutputName) + "CD" + std::to_string(n) + "/" + ExtractName(job.baseOutputName);
}

bool WriteToastResource(const std::string& outputName) {
    std::FILE* f = std::fopen((outputName + ".rsrc").c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(kToastResource, 1, sizeof kToastResource, f) == sizeof kToastResource;
    return std::fclose(f) == 0 && written;
}

TSheetRange SheetTrackRange(const TTrackTable& table, int32_t methodCode, int32_t imageNumber) {
    TSheetRange range{table.firstTrack, table.lastTrack, 0};
    const int32_t options = (methodCode >> 16) & 0xFF;
    if ((options & kOptPerTrack) && imageNumber - 1 >= 1) {
        const auto& perImage = table.tracksPerImage;
        const size_t image = size_t(imageNumber - 2);
        range.first = 1;
        range.last = image < perImage.size() ? perImage[image] : 0;
        for (size_t i = 0; i < image && i < perImage.size(); ++i) range.skip += perImage[i];
    }
    return range;
}

std::string SheetPathOf(const std::string& imagePath, bool toc) {
    std::string path = imagePath;
    StripExtension(path);
    return path + (toc ? ".toc" : ".cue");
}

// A name the sheet's quoted syntax cannot carry would make an unreadable sheet.
bool SheetCanName(const std::string& name) {
    return !name.empty() && name.find_first_of("\"\r\n") == std::string::npos;
}

int WriteCueSheet(const std::string& path, const TSheetImage& image, const SheetErrorFn& onError) {
    const std::string name = image.cueFullPath ? image.imagePath : ExtractName(image.imagePath);
    const TSheetRange& r = image.range;
    if (!SheetCanName(name)) return Fail(path, onError);
    if (r.last >= r.first && (r.first < 1 || size_t(r.last) > image.starts.size())) return Fail(path, onError);

    std::string text;
    Append(text, "FILE \"%s\" BINARY\n", name.c_str());
    text += "  TRACK 01 MODE2/2352\n";
    text += "    INDEX 01 00:00:00\n";
    for (int32_t t = r.first; t <= r.last; ++t) {
        Append(text, "  TRACK %.2d MODE2/2352\n", t + 1);
        AppendCueIndex(text, image.starts[size_t(t - 1)]);
    }
    return WriteText(path, text, onError);
}

int WriteTocFile(const std::string& path, const TSheetImage& image, const SheetErrorFn& onError) {
    const std::string name = ExtractName(image.imagePath);
    const int32_t last = image.range.last;
    if (!SheetCanName(name) || last < 0 || size_t(last) > image.starts.size()) return Fail(path, onError);
    const int64_t imageEnd = int64_t(image.imageSize);

    std::string text = "CD_ROM_XA\n\n";
    int64_t p = 0;
    for (int32_t i = 0; i <= last; ++i) {
        Append(text, "// Track %d\n", i + 1);
        text += "TRACK MODE2_RAW\n";
        const int64_t q = i < last ? SectorsOf(image.starts[size_t(i)]) * kRawSector : imageEnd;
        // Offsets must ascend inside the image, or the reader gets a
        // negative or overlapping track.
        if (q < p || q > imageEnd) return Fail(path, onError);
        if (i == 0) {
            AppendTocDataFile(text, name, std::nullopt, q);
        } else {
            AppendTocDataFile(text, name, p, q - p);
        }
        p = q;
        text += "\n";
    }
    return WriteText(path, text, onError);
}

// ---- The tables of an image build ----

int CreateScanTables(const std::string& tempRoot, std::string& folder, const TableReportFn& report) {
    folder = CreateTempDir("pellmor-tables-", tempRoot);
    bool ok = !folder.empty();
    if (ok) {
        // The folder may take a name and still refuse the files.
        TScanDataFile probe(1);
        ok = probe.CreateFile(folder + "/" + kScanTableName) == 0 && probe.Close() == 0;
        std::error_code ec;
        std::filesystem::remove(folder + "/" + kScanTableName, ec);
    }
    if (ok) return 0;
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        folder.clear();
    }
    if (report) report(kMsgError, msg::error::kCannotCreate, kScanTableText);
    return msg::error::kCannotCreate;
}

int BuildVcdTables(TVideoCdImage& image, const TImageTables& tables, const TScanPoints& points,
                   const std::string& folder, const TableReportFn& report, std::string& sheetPath) {
    auto fail = [&](int index, const std::string& text) {
        if (report) report(kMsgError, index, text);
        return index;
    };
    std::string why;
    if (WriteScanTables(folder, tables.isVcd, tables.tracks, points, why) != 0)
        return fail(msg::error::kCannotCreateTables, why);
    image.SetTracks(tables.tracks);
    image.SetTableFolder(folder);

    TFileIO out;
    if (out.OpenForUpdate(tables.imagePath) != 0) return fail(msg::error::kCannotCreate, ExtractName(tables.imagePath));
    const int written = image.WriteImage(out);
    const bool closed = out.Close() == 0;
    switch (written) {
    case 0:
        break;
    case result::kNoScanTable: return fail(msg::error::kCannotCreateTables, kScanTableText);
    case result::kNoSearchTable: return fail(msg::error::kCannotCreateTables, kSearchTableText);
    case result::kNoTrackTable: return fail(msg::error::kCannotCreateTables, kTracksTableText);
    case msg::error::kCannotOpenCdiFiles:
        return fail(msg::error::kCannotOpenCdiFiles, CdiFileContext(image.failedName()));
    default: return fail(msg::error::kCannotCreate, ExtractName(tables.imagePath));
    }
    if (!closed) return fail(msg::error::kCannotCreate, ExtractName(tables.imagePath));

    TSheetImage sheet;
    sheet.imagePath = tables.imagePath;
    sheet.cueFullPath = tables.cueFullPath;
    sheet.range = {1, int32_t(tables.starts.size()), 0};
    sheet.starts = tables.starts;
    sheet.imageSize = image.imageByteCount;
    const std::string path = SheetPathOf(tables.imagePath, tables.tocSheet);
    const SheetErrorFn onError = [&](int index, const std::string& text) {
        if (report) report(kMsgError, index, text);
    };
    const int r = tables.tocSheet ? WriteTocFile(path, sheet, onError) : WriteCueSheet(path, sheet, onError);
    if (r != 0) return msg::error::kCannotCreate;
    sheetPath = path;
    return 0;
}
