// Finds the subtitle files of a disc's CD-i application: the "CDI" entry of
// the ISO 9660 path table, then the directory records in it whose names carry
// a two-character extension.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TFileIO;

// The extent and data length of a directory record, both byte orders as
// stored; only the little-endian copies are used.
struct TCdiFileEntry {
    int32_t extentLE = 0;
    int32_t extentBE = 0;
    int32_t lengthLE = 0;
    int32_t lengthBE = 0;
};

class TCdiSubtitleScanner {
public:
    explicit TCdiSubtitleScanner(TFileIO* source);

    // Image kind 4: 2336-byte sectors that start 150 sectors before logical
    // sector 0; any other kind: raw sectors from logical sector 0.
    static bool HasCdiSubtitles(TFileIO& source, int imageKind);
    bool FindCdiDirectory(TFileIO& file, int imageKind);
    void ReadCdiDirectory(TFileIO& file, int64_t sector);

    int32_t sectorSize = 0;
    int32_t forcedSectorSize = -1;  // -1: detect
    int32_t sectorOffset = 0;
    TFileIO* source = nullptr;
    std::map<std::string, TCdiFileEntry> entries;
    std::vector<std::string> names;  // in the order found
};
