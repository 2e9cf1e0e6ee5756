#include "disc/iso_volume.h"

#include <cstdio>
#include <cstring>

#include "core/helpers.h"

namespace {

void Both16(uint8_t* p, uint16_t v) {
    PutEndianInt(p, v, 2, true);
    PutEndianInt(p + 2, v, 2, false);
}

void Both32(uint8_t* p, uint32_t v) {
    PutEndianInt(p, v, 4, true);
    PutEndianInt(p + 4, v, 4, false);
}

// Text padded with spaces to width; longer text is cut.
void PutText(uint8_t* p, size_t width, const std::string& text) {
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

// 16 digits and the offset byte 0 (UTC).
void PutLongDate(uint8_t* p, const IsoDate& d) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d00", 1900 + d[0], d[1] % 100, d[2] % 100,
                  d[3] % 100, d[4] % 100, d[5] % 100);
    std::memcpy(p, digits, 16);
    p[16] = 0;
}

}  // namespace

IsoDate MakeIsoDate(const platform::LocalTime& utc) {
    auto clampByte = [](int v, int lo, int hi) { return static_cast<uint8_t>(v < lo ? lo : (v > hi ? hi : v)); };
    return IsoDate{clampByte(utc.year - 1900, 0, 255), clampByte(utc.month, 1, 12), clampByte(utc.day, 1, 31),
                   clampByte(utc.hour, 0, 23),          clampByte(utc.minute, 0, 59), clampByte(utc.second, 0, 59)};
}

std::vector<uint8_t> BuildPrimaryVolumeDescriptor(const TVolumeFields& f) {
    std::vector<uint8_t> b(kIsoBlock, 0);
    b[0] = 1;
    std::memcpy(&b[1], "CD001", 5);
    b[6] = 1;
    // Both kinds carry the bridge system identifier: a blank one reads as
    // another disc kind.
    PutText(&b[8], 32, "CD-RTOS CD-BRIDGE");
    PutText(&b[40], 32, f.label);
    Both32(&b[80], f.volumeSectors);
    Both16(&b[120], 1);
    Both16(&b[124], 1);
    Both16(&b[128], 2048);
    Both32(&b[132], f.pathTableSize);
    PutEndianInt(&b[140], f.pathTableL, 4, true);
    PutEndianInt(&b[148], f.pathTableL + 1, 4, false);
    // Root record without its XA part.
    uint8_t* r = &b[156];
    r[0] = 34;
    Both32(r + 2, 18);
    Both32(r + 10, 2048);
    std::memcpy(r + 18, f.date.data(), 6);
    r[24] = 0;
    r[25] = 2;
    Both16(r + 28, 1);
    r[32] = 1;
    r[33] = 0;
    PutText(&b[190], 128, "");
    PutText(&b[318], 128, "");
    PutText(&b[446], 128, "PELLMOR V3.56 WIN32/i586");
    PutText(&b[574], 128, f.isVcd && f.cdiApplication ? "CDI/CDI_VCD.APP;1" : "");
    PutText(&b[702], 37, "");
    PutText(&b[739], 37, "");
    PutText(&b[776], 37, "");
    PutLongDate(&b[813], f.date);
    PutLongDate(&b[830], f.date);
    std::memset(&b[847], '0', 16);
    std::memset(&b[864], '0', 16);
    b[881] = 1;
    std::memcpy(&b[1024], "CD-XA001", 8);
    return b;
}

std::vector<uint8_t> BuildVolumeTerminator() {
    std::vector<uint8_t> b(kIsoBlock, 0);
    b[0] = 0xFF;
    std::memcpy(&b[1], "CD001", 5);
    b[6] = 1;
    return b;
}

std::vector<uint8_t> DirectoryRecord(const std::string& identifier, uint32_t extent, uint32_t size, bool directory,
                                     uint8_t attribute, uint8_t fileNumber, const IsoDate& date) {
    const size_t l = identifier.size();
    std::vector<uint8_t> r(DirectoryRecordLength(l), 0);
    r[0] = static_cast<uint8_t>(r.size());
    Both32(&r[2], extent);
    Both32(&r[10], size);
    std::memcpy(&r[18], date.data(), 6);
    r[24] = 0;  // UTC, as the descriptor
    r[25] = directory ? 2 : 0;
    Both16(&r[28], 1);
    r[32] = static_cast<uint8_t>(l);
    std::memcpy(&r[33], identifier.data(), l);
    uint8_t* xa = &r[r.size() - 14];
    xa[4] = attribute;
    xa[5] = 0x55;
    xa[6] = 'X';
    xa[7] = 'A';
    xa[8] = fileNumber;
    return r;
}

uint32_t PathTableSize(const std::vector<TPathEntry>& subdirectories) {
    uint32_t size = 10;
    for (const TPathEntry& e : subdirectories) size += 8 + e.name.size() + (e.name.size() % 2);
    return size;
}

std::vector<uint8_t> BuildPathTable(const std::vector<TPathEntry>& subdirectories, bool bigEndian) {
    std::vector<uint8_t> b(kIsoBlock, 0);
    size_t at = 0;
    auto add = [&](const std::string& name, uint32_t extent) {
        if (at + 8 + name.size() + 1 > b.size()) return;
        b[at] = static_cast<uint8_t>(name.size());
        PutEndianInt(&b[at + 2], extent, 4, !bigEndian);
        PutEndianInt(&b[at + 6], 1, 2, !bigEndian);
        std::memcpy(&b[at + 8], name.data(), name.size());
        at += 8 + name.size() + (name.size() % 2);
    };
    add(std::string(1, '\0'), 18);
    for (const TPathEntry& e : subdirectories) add(e.name, e.extent);
    return b;
}
