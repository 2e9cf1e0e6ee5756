// ISO 9660 structures of a VCD or SVCD data track, with the CD-XA parts:
// the primary volume descriptor, directory records and path tables. Every
// time is the recording time in UTC, with offset 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

constexpr size_t kIsoBlock = 2048;

// The six date bytes of a directory record: year - 1900, month, day, hour,
// minute, second.
using IsoDate = std::array<uint8_t, 6>;
IsoDate MakeIsoDate(const platform::LocalTime& utc);

struct TVolumeFields {
    bool isVcd = true;
    bool cdiApplication = false;  // application identifier "CDI/CDI_VCD.APP;1"
    std::string label;            // volume identifier, up to 32 bytes
    IsoDate date{};
    uint32_t volumeSectors = 0;   // the whole image
    uint32_t pathTableSize = 0;
    uint32_t pathTableL = 0;      // sector of the type-L table; type M follows it
};
// The 2048-byte primary volume descriptor.
std::vector<uint8_t> BuildPrimaryVolumeDescriptor(const TVolumeFields& f);
// The volume descriptor set terminator.
std::vector<uint8_t> BuildVolumeTerminator();

// Attribute high bytes of the XA part of a record.
constexpr uint8_t kXaDirectory = 0x8D, kXaForm1 = 0x0D, kXaForm2 = 0x15;

// One directory record: identifier 00 (own), 01 (parent) or a name.
std::vector<uint8_t> DirectoryRecord(const std::string& identifier, uint32_t extent, uint32_t size, bool directory,
                                     uint8_t attribute, uint8_t fileNumber, const IsoDate& date);
// Record length of an identifier of L bytes: 33 + L, a pad byte when L is
// even, and the 14-byte XA part.
inline size_t DirectoryRecordLength(size_t l) { return 33 + l + ((l % 2) == 0 ? 1 : 0) + 14; }

struct TPathEntry {
    std::string name;
    uint32_t extent = 0;
};
// One path table of the root (extent 18) and the given subdirectories, all
// with parent 1, in a 2048-byte block; type M when bigEndian.
std::vector<uint8_t> BuildPathTable(const std::vector<TPathEntry>& subdirectories, bool bigEndian);
uint32_t PathTableSize(const std::vector<TPathEntry>& subdirectories);
