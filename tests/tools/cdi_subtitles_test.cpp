// The CD-i subtitle probe on small images built here: a path table naming
// "CDI" and a directory sector with subtitle and other records.
#include "tools/cdi_subtitles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/temp_file.h"

namespace {

struct Record {
    std::string name;  // as stored, with ";1"
    int32_t extent;
    int32_t length;
    int sequence;  // volume sequence number, 1 or 2
};

void PutLE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutBE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

// An image of `sectorSize` sectors whose logical sector n lies at file
// sector n + lead: the path table in logical sector 18 points at the CDI
// directory in logical sector 22.
std::string BuildImage(const std::string& path, int sectorSize, int lead, const std::vector<Record>& records,
                       bool withCdi = true) {
    const int sectors = 40 + lead;
    std::vector<uint8_t> image(static_cast<size_t>(sectors) * sectorSize, 0);
    if (sectorSize == 2352) {
        for (int s = 0; s < sectors; ++s) {
            uint8_t* p = image.data() + static_cast<size_t>(s) * 2352;
            std::memset(p + 1, 0xFF, 10);  // CD sync: 00 FF x10 00
        }
    }
    auto at = [&](int logical, size_t offset) { return static_cast<size_t>(logical + lead) * sectorSize + offset; };
    if (withCdi) {
        // Path table record: length, attributes, extent, parent 1, "CDI", pad.
        const size_t r = at(18, 40);
        image[r] = 3;
        PutLE(image, r + 2, 22);
        const uint8_t tail[] = {0x01, 0x00, 'C', 'D', 'I', 0x00};
        std::memcpy(image.data() + r + 6, tail, sizeof tail);
    }
    size_t offset = 120;
    for (const Record& rec : records) {
        const size_t r = at(22, offset);
        const size_t len = 33 + rec.name.size() + (rec.name.size() % 2 == 0 ? 1 : 0);
        image[r] = static_cast<uint8_t>(len);
        PutLE(image, r + 2, static_cast<uint32_t>(rec.extent));
        PutBE(image, r + 6, static_cast<uint32_t>(rec.extent));
        PutLE(image, r + 10, static_cast<uint32_t>(rec.length));
        PutBE(image, r + 14, static_cast<uint32_t>(rec.length));
        image[r + 28] = static_cast<uint8_t>(rec.sequence);
        image[r + 31] = static_cast<uint8_t>(rec.sequence);
        image[r + 32] = static_cast<uint8_t>(rec.name.size());
        std::memcpy(image.data() + r + 33, rec.name.data(), rec.name.size());
        offset += len;
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    return path;
}

struct CdiProbe : ::testing::Test {
    std::string dir = CreateTempDir("pellmor-cdi-");
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    const std::vector<Record> records{
        {"SUBS.EN;1", 40, 4096, 1},  {"CDI_VCD.APP;1", 30, 2048, 1}, {"X.D;1", 31, 2048, 1},
        {"ZZ.FR;1", 41, 6144, 2},    {"NOEXT;1", 32, 2048, 1},
    };
};

TEST_F(CdiProbe, ListsTwoCharacterExtensionsSequenceTwoFirst) {
    for (auto [size, lead, kind] : {std::tuple{2352, 0, 7}, std::tuple{2336, 150, 4}}) {
        SCOPED_TRACE(size);
        const std::string path = BuildImage(dir + "/img" + std::to_string(size), size, lead, records);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        TCdiSubtitleScanner scanner(&file);
        ASSERT_TRUE(scanner.FindCdiDirectory(file, kind));
        EXPECT_EQ(scanner.sectorSize, size);
        EXPECT_EQ(scanner.sectorOffset, lead);
        EXPECT_EQ(scanner.names, (std::vector<std::string>{"ZZ.FR", "SUBS.EN"}));
        ASSERT_EQ(scanner.entries.count("SUBS.EN"), 1u);
        EXPECT_EQ(scanner.entries["SUBS.EN"].extentLE, 40);
        EXPECT_EQ(scanner.entries["SUBS.EN"].lengthLE, 4096);
        EXPECT_EQ(scanner.entries["ZZ.FR"].lengthBE, 6144);
        EXPECT_TRUE(TCdiSubtitleScanner::HasCdiSubtitles(file, kind));
    }
}

TEST_F(CdiProbe, NothingFound) {
    struct Case {
        const char* what;
        bool withCdi;
        std::vector<Record> records;
    } cases[] = {
        {"no CDI path record", false, records},
        {"a CDI directory without subtitles", true, {{"CDI_VCD.APP;1", 30, 2048, 1}, {"X.D;1", 31, 2048, 1}}},
        {"an empty CDI directory", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = BuildImage(dir + "/none", 2352, 0, c.records, c.withCdi);
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, 7));
    }
    // Shorter than the search start, and a vcdimager disc without CD-i.
    for (const std::string& path : {dir + "/short", std::string(PELLMOR_FIXTURES) + "/vcd_pal3.bin"}) {
        if (path == dir + "/short") std::ofstream(path) << "tiny";
        TFileIO file;
        ASSERT_EQ(file.OpenForRead(path), 0);
        EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, 7)) << path;
    }
}

TEST_F(CdiProbe, AnExtentPastTheImageFindsNoNames) {
    const std::string path = BuildImage(dir + "/far", 2352, 0, records);
    // Point the path table past the end of the file.
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(18 * 2352 + 40 + 2);
    const char far[4] = {0x00, 0x00, 0x10, 0x00};
    f.write(far, 4);
    f.close();
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(path), 0);
    TCdiSubtitleScanner scanner(&file);
    EXPECT_TRUE(scanner.FindCdiDirectory(file, 7));
    EXPECT_TRUE(scanner.names.empty());
    EXPECT_FALSE(TCdiSubtitleScanner::HasCdiSubtitles(file, 7));
}

}  // namespace
