#include "disc/vcd_system_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/records.h"
#include "core/temp_file.h"
#include "tests/disc/image_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Be16(const Bytes& b, size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; }

std::vector<TImageTrack> Tracks(size_t n, bool pal = true, int32_t pause = 5, double play = 1.0) {
    std::vector<TImageTrack> t(n);
    for (TImageTrack& x : t) {
        x.pal = pal;
        x.pauseSeconds = pause;
        x.playSeconds = play;
    }
    return t;
}

struct Folder {
    Folder() : path(CreateTempDir("pellmor-disc-")) {}
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& n) const { return path + "/" + n; }
    std::string path;
};

Bytes ReadBytes(const std::string& path) {
    std::string s = imagetest::Slurp(path);
    return Bytes(s.begin(), s.end());
}

TEST(SystemFiles, ThreeTrackVcdPlayListsAndLot) {
    const std::vector<TImageTrack> tracks = Tracks(3);
    const Bytes psd = PsdBytes(tracks);
    const uint32_t prev[3] = {0xFFFF, 0, 2}, next[3] = {2, 4, 6};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(psd[16 * i], 0x10);
        EXPECT_EQ(Be16(psd, 16 * i + 2), i + 1);
        EXPECT_EQ(Be16(psd, 16 * i + 4), prev[i]);
        EXPECT_EQ(Be16(psd, 16 * i + 6), next[i]);
        EXPECT_EQ(Be16(psd, 16 * i + 8), 6u) << "return to the end list";
        EXPECT_EQ(Be16(psd, 16 * i + 14), i + 2) << "play item = CD track";
    }
    EXPECT_EQ(psd[48], 0x1F);
    EXPECT_EQ(PsdSize(3), 56);

    for (bool isVcd : {true, false}) {
        SCOPED_TRACE(isVcd ? "VCD" : "SVCD");
        const Bytes lot = LotBytes({isVcd, true}, 3);
        ASSERT_EQ(lot.size(), 65536u);
        // LIDs 1 to 4 (the end list) at offsets 0, 2, 4, 6; the SVCD's as well.
        const Bytes head(lot.begin(), lot.begin() + 12);
        EXPECT_EQ(head, (Bytes{0, 0, 0, 0, 0, 2, 0, 4, 0, 6, 0xFF, 0xFF}));
        EXPECT_EQ(lot[65535], 0xFF);
    }
}

TEST(SystemFiles, InfoDeclaresThePsdSizeAndEveryLid) {
    std::vector<TImageTrack> tracks = Tracks(9, false);
    tracks[8].pal = true;  // the 9th track: bit 0 of byte 31
    const Bytes vcd = InfoBytes({true, true}, "MY LABEL                        ", tracks);
    EXPECT_EQ(std::string(vcd.begin(), vcd.begin() + 8), "VIDEO_CD");
    EXPECT_EQ(vcd[8], 2);
    EXPECT_EQ(std::string(vcd.begin() + 10, vcd.begin() + 26), "MY LABEL        ");
    EXPECT_EQ(vcd[30], 0);
    EXPECT_EQ(vcd[31], 1);
    EXPECT_EQ(vcd[43], 0x80);
    EXPECT_EQ(Be16(vcd, 44) << 16 | Be16(vcd, 46), 16u * 9 + 8) << "the PSD's own size";
    EXPECT_EQ(Be16(vcd, 52), 10u) << "maximum LID n + 1";

    const Bytes svcd = InfoBytes({false, true}, "", Tracks(2));
    EXPECT_EQ(std::string(svcd.begin(), svcd.begin() + 8), "SUPERVCD");
    EXPECT_EQ(svcd[8], 1);
    EXPECT_EQ(svcd[30], 0x03);
    EXPECT_EQ(svcd[43], 0) << "bit 7 is reserved on SVCD";
    EXPECT_EQ(Be16(svcd, 46), 40u);
    EXPECT_EQ(Be16(svcd, 52), 3u);
}

TEST(SystemFiles, EntriesHoldBcdTrackNumbersAndTheSectorsAddress) {
    std::vector<int32_t> firsts;
    for (int i = 0; i < 20; ++i) firsts.push_back(506 + 1000 * i);
    const Bytes e = EntriesBytes({true, true}, firsts);
    EXPECT_EQ(std::string(e.begin(), e.begin() + 8), "ENTRYVCD");
    EXPECT_EQ(e[8], 2);
    EXPECT_EQ(Be16(e, 10), 20u);
    // Sector 506 plays at 00:08:56 (its address 656).
    EXPECT_EQ(Bytes(e.begin() + 12, e.begin() + 16), (Bytes{0x02, 0x00, 0x08, 0x56}));
    // The 15th track is CD track 16: BCD 16, not 0x10.
    EXPECT_EQ(e[12 + 4 * 14], 0x16);
    EXPECT_EQ(e[12 + 4 * 19], 0x21);
    // 14506 + 150 = 14656 sectors = 03:15:31.
    EXPECT_EQ(Bytes(e.begin() + 12 + 4 * 14 + 1, e.begin() + 12 + 4 * 15), (Bytes{0x03, 0x15, 0x31}));

    EXPECT_EQ(std::string((const char*)EntriesBytes({false, false}, firsts).data(), 8), "ENTRYSVD");
    const Bytes sv = EntriesBytes({false, true}, firsts);
    EXPECT_EQ(std::string(sv.begin(), sv.begin() + 8), "ENTRYVCD");
    EXPECT_EQ(sv[8], 1);
}

TEST(SystemFiles, PauseBecomesTheWaitByte) {
    const struct {
        int32_t pause;
        uint8_t wait;
    } cases[] = {{0, 0}, {5, 5}, {15, 15}, {16, 255}};
    for (const auto& c : cases) EXPECT_EQ(PsdBytes(Tracks(1, true, c.pause))[12], c.wait) << c.pause;
}

TEST(SystemFiles, TracksSvdCountsThisImageAndCodesAudioAndVideo) {
    std::vector<TImageTrack> t = Tracks(3);
    t[0].playSeconds = 61.5;  // 01:01:37 in 1/75 s, not pictures
    t[1].pal = false;
    t[2].hasAudio = false;
    const Bytes b = TracksSvdBytes(t);
    ASSERT_EQ(b.size(), 11u + 4 * 3);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "TRACKSVD");
    EXPECT_EQ(b[10], 3);
    EXPECT_EQ(Bytes(b.begin() + 11, b.begin() + 14), (Bytes{0x01, 0x01, 0x37}));
    EXPECT_EQ(Bytes(b.begin() + 20, b.end()), (Bytes{0x1D, 0x0D, 0x1C}));
}

TEST(ScanPoints, OnePointPerHalfSecondAcrossTracks) {
    // GOPs every 0.6 s: the point at 0.5 s repeats the first GOP's address.
    TScanPoints p;
    p.BeginTrack(2.0, 1000);
    for (int g = 0; g < 4; ++g) p.AddGop(1000 + 10 * g, 0.6 * g);
    // A second track that starts at 2.0 s, its first GOP a little late.
    p.BeginTrack(1.2, 5000);
    p.AddGop(5001, 0.04);
    p.AddGop(5020, 0.6);
    // A track without GOPs takes its own fallback address.
    p.BeginTrack(0.6, 9000);

    const std::vector<uint32_t> expected = {1000, 1000, 1010, 1020,  // 0, 0.5, 1.0, 1.5
                                            5001, 5001, 5020,        // 2.0, 2.5, 3.0
                                            9000};                   // 3.5 (the image ends at 3.8)
    const std::vector<std::array<uint8_t, 3>> points = p.Points();
    ASSERT_EQ(points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(points[i], BcdTime(expected[i])) << i;
    EXPECT_EQ(p.PointsPerTrack(), (std::vector<int32_t>{4, 3, 1}));
    EXPECT_EQ(ScanPointsPerTrack({0.99, 0.99}), (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(ScanPointsPerTrack({1.0, 0.0, 0.5}), (std::vector<int32_t>{2, 0, 1}));
}

TEST(ScanTables, SvcdScanDataIndexAndSearchTable) {
    Folder f;
    std::vector<TImageTrack> t = Tracks(2);
    t[0].playSeconds = 0.99;
    t[1].playSeconds = 0.99;
    TScanPoints p;
    p.BeginTrack(0.99, 537);
    p.AddGop(537, 0);
    p.AddGop(557, 0.48);
    p.BeginTrack(0.99, 800);
    p.AddGop(801, 0);
    std::string why;
    ASSERT_EQ(WriteScanTables(f.path, false, t, p, why), 0) << why;

    const Bytes scan = ReadBytes(f / kScanTableName);
    const Bytes expect = {'S', 'C', 'A', 'N', '_', 'V', 'C', 'D', 1, 0, 0, 4,
                          0, 2, 0, 0,                        // tracks, segments
                          0x00, 0x00, 0x74, 0x00, 0x01, 0x73,  // cumulative 00:00:74, 00:01:73
                          0, 6,                              // offset of the points: 3n
                          0x02, 0, 6, 0x03, 0, 12};          // CD track, offset per track
    ASSERT_EQ(scan.size(), expect.size() + 12);
    EXPECT_EQ(Bytes(scan.begin(), scan.begin() + 30), expect);
    // 0.5 s is after the GOP at 0.48 s; 1.0 s and 1.5 s play in the second track.
    const uint32_t points[4] = {537, 557, 801, 801};
    for (size_t i = 0; i < 4; ++i) {
        const std::array<uint8_t, 3> bcd = BcdTime(points[i]);
        EXPECT_EQ(Bytes(scan.begin() + 30 + 3 * i, scan.begin() + 33 + 3 * i), Bytes(bcd.begin(), bcd.end())) << i;
    }
    const Bytes search = ReadBytes(f / kSearchTableName);
    EXPECT_EQ(Bytes(search.begin(), search.begin() + 13),
              (Bytes{'S', 'E', 'A', 'R', 'C', 'H', 'S', 'V', 1, 0, 0, 4, 1}));
    EXPECT_EQ(Bytes(search.begin() + 13, search.end()), Bytes(scan.begin() + 30, scan.end()));

    // VCD: header, count and points only.
    ASSERT_EQ(WriteScanTables(f.path, true, t, p, why), 0);
    const Bytes vcd = ReadBytes(f / kScanTableName);
    EXPECT_EQ(Bytes(vcd.begin(), vcd.begin() + 12), (Bytes{'S', 'C', 'A', 'N', '_', 'V', 'C', 'D', 2, 0, 0, 4}));
    EXPECT_EQ(vcd.size(), 12u + 12);
}

TEST(ScanTables, UnwritableFolderNamesTheTable) {
    std::string why;
    EXPECT_EQ(WriteScanTables("/nonexistent/folder", true, Tracks(1), TScanPoints(), why), 25);
    EXPECT_EQ(why, kScanTableText);
    TScanDataFile full(1);
    ASSERT_EQ(full.CreateFile("/dev/full"), 0);
    full.WriteHeader();
    EXPECT_TRUE(full.failed());
    EXPECT_EQ(full.Close(), 25) << "a failed write is not lost";
}

TEST(ImageLimits, TracksTablesAndTheLastBcdMinute) {
    std::string why;
    const int64_t small = ImageSectors(0, std::vector<int64_t>(98, 100));
    EXPECT_EQ(CheckImageLimits(true, Tracks(98), 0, small, why), 0) << why;
    EXPECT_EQ(CheckImageLimits(false, Tracks(98), 0, small, why), 0) << why;
    EXPECT_EQ(CheckImageLimits(true, Tracks(99), 0, ImageSectors(0, std::vector<int64_t>(99, 100)), why), 20);

    // 99:59:74 is the last address: the image's last sector is at most 449849.
    EXPECT_EQ(CheckImageLimits(true, Tracks(1, true, 0, 60), 0, 449850, why), 0) << why;
    EXPECT_EQ(CheckImageLimits(true, Tracks(1, true, 0, 60), 0, 449851, why), 9);
    EXPECT_NE(why.find("99:59:74"), std::string::npos) << why;
    EXPECT_EQ(ImageSectors(10, {100, 200}), 356 + 10 + 2 * 235 + 300);

    // SEARCH.DAT holds 32 sectors: 21841 points, 3 hours of play.
    EXPECT_EQ(CheckImageLimits(false, Tracks(1, true, 0, 10920.0), 0, 1000, why), 0) << why;
    EXPECT_EQ(CheckImageLimits(false, Tracks(1, true, 0, 10921.0), 0, 1000, why), 25);
    EXPECT_EQ(why, kSearchTableText);
    EXPECT_EQ(CheckImageLimits(true, Tracks(1, true, 0, 40000.0), 0, 1000, why), 25);
    EXPECT_EQ(why, kScanTableText);
}

TEST(CdiFiles, LoadMeasuresAndRefusesWhatCannotBeCopied) {
    Folder f;
    auto make = [&](const std::string& name, size_t size) {
        std::ofstream(f / name, std::ios::binary) << std::string(size, 'x');
        return f / name;
    };
    TCdiFiles cdi({make("CDI_IMAG.RTF", 2336 * 3), make("CDI_TEXT.FNT", 5000), make("CDI_VCD.APP", 2048),
                   make("CDI_VCD.CFG", 1)});
    ASSERT_EQ(cdi.Load(), 0);
    EXPECT_EQ(cdi.sizes, (std::vector<int64_t>{2336 * 3, 5000, 2048, 1}));
    EXPECT_EQ(cdi.TotalSize(), 2336 * 3 + 5000 + 2048 + 1);
    EXPECT_EQ(cdi.Sectors(), 3 + 80 + 3 + 1 + 1);

    TCdiFiles missing = cdi;
    missing.paths[3] = f / "gone.cfg";
    EXPECT_EQ(missing.Load(), 23);
    EXPECT_EQ(missing.failedName, "gone.cfg");
    EXPECT_EQ(CdiFileContext(missing.failedName), "CDI Application File: gone.cfg");

    TCdiFiles ragged = cdi;
    ragged.paths[0] = make("ragged.rtf", 2336 * 2 + 1);
    EXPECT_EQ(ragged.Load(), 23) << "the image file must be whole 2336-byte sectors";
    EXPECT_EQ(ragged.failedName, "ragged.rtf");

    TConfig config;
    config.CDI_ImageFile = "/a/i";
    config.CDI_ConfigurationFile = "/a/c";
    TCdiFiles fromConfig(config);
    EXPECT_EQ(fromConfig.paths[0], "/a/i");
    EXPECT_EQ(fromConfig.paths[3], "/a/c");
}

}  // namespace
