// Finds the subtitle files of a disc's CD-i application (the "CDI" entry of
// the ISO 9660 path table, then the directory records in it whose names
// carry a two-character extension) and converts them to SRT or SUB text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/output_guard.h"

class TFileIO;

// Where an image keeps a sector's 2048 bytes of user data, and how many
// sectors stand in the file before logical sector 0.
struct CdiGeometry {
    int32_t sectorSize = 2352;
    int32_t userOffset = 24;
    int32_t leadIn = 0;
    bool operator==(const CdiGeometry&) const = default;
};
inline constexpr CdiGeometry kCdiRawGeometry{2352, 24, 0};
inline constexpr CdiGeometry kCdi2336Geometry{2336, 8, 150};
inline constexpr CdiGeometry kCdiCifGeometry{2332, 8, 2};

// The geometry of an extraction method's source (index into the method
// list); nothing for stream sources, which hold no disc volume.
std::optional<CdiGeometry> CdiGeometryForMethod(int methodIndex);

// The extent and data length of a directory record, both byte orders as
// stored; only the little-endian copies are used.
struct TCdiFileEntry {
    int32_t extentLE = 0;
    int32_t extentBE = 0;
    int32_t lengthLE = 0;
    int32_t lengthBE = 0;
};

// One subtitle entry of a block.
struct TCdiSubtitle {
    uint8_t type = 0;  // 1: a second line follows
    uint32_t start = 0, end = 0;  // 22,500 units a second
    std::string line1, line2;
    bool continues = false;  // its second line opens the next block
};

// What converting one file came to, as the error to report: 0 converted,
// msg::error::kTrackTruncated the source ends inside the file (what it holds
// is written; name: the file's name), kCannotCreate the output not written
// or its name refused (name: the output).
struct CdiConvertResult {
    int code = 0;
    std::string name;
};

class TCdiSubtitleScanner {
public:
    static constexpr int kBlockSize = 2048;

    explicit TCdiSubtitleScanner(TFileIO* source);

    static bool HasCdiSubtitles(TFileIO& source, const CdiGeometry& geometry);
    bool FindCdiDirectory(TFileIO& file, const CdiGeometry& geometry);
    // Reads the directory that starts at file sector `sector` (logical
    // sector + lead-in), every sector of it.
    void ReadCdiDirectory(TFileIO& file, int64_t sector);

    // Converts one file: from an image at its extent (lead-in added), or a
    // plain subtitle stream from offset 0. Writes <dir>/<name>.srt or .sub.
    CdiConvertResult ConvertCdiSubtitleFile(TFileIO& source, bool plain, const std::string& outputDir,
                                            const std::string& name, int64_t extent, int64_t dataLength, bool sub);
    // Parses the entry at `position` of the block into `entry`; the
    // position after it, or -1 when it runs past the block.
    int ParseSubtitleEntry(int position);
    void WriteSrtEntry(std::string& out, bool finishing = false);
    void WriteSubEntry(std::string& out, bool finishing = false);

    // The output name of a record's name: its last component; empty when
    // that is "", "." or "..", or holds control bytes.
    static std::string SafeOutputName(const std::string& name);

    uint8_t block[kBlockSize] = {};
    int32_t entryNumber = 1;
    TCdiSubtitle entry;
    CdiGeometry geometry = kCdiRawGeometry;
    int32_t sectorSize = 0;    // 0 until a search has run
    int32_t sectorOffset = 0;  // the geometry's lead-in, added to extents
    TFileIO* source = nullptr;
    std::map<std::string, TCdiFileEntry> entries;
    std::vector<std::string> names;  // in the order found
    // The source and the files converted so far: no output goes over them.
    TOutputGuard guard;
    // After a refused output: the line naming it and the file of this
    // conversion it would have overwritten (the source or an earlier output).
    std::string clashLine;
};
