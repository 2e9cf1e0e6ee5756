// Directory scan of bin, nrg and cif images, the volume label, the track
// list lines, the track selection and the forced-size fields.
#include "engine/source_scan.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "core/language_set.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "disc/track_table.h"
#include "tests/support/fakes.h"

namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

std::vector<uint8_t> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Spew(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Output of a command line, or nothing when the tool is not installed.
std::optional<std::string> RunTool(const std::string& tool, const std::string& args) {
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return std::nullopt;
    FILE* p = popen((tool + " " + args + " 2>/dev/null").c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct ToolTrack {
    int64_t lsn = 0;
    int64_t size = 0;  // the track file's size as the tool gives it (2324-byte sectors)
};

// The AVSEQ files of an image as vcd-info lists them.
std::optional<std::vector<ToolTrack>> VcdInfoTracks(const std::string& flag, const std::string& image) {
    auto out = RunTool("vcd-info", "-q " + flag + " " + Fixture(image));
    if (!out) return std::nullopt;
    std::vector<ToolTrack> tracks;
    for (const std::string& line : Lines(*out)) {
        size_t at = line.find("[LSN");
        long long lsn = 0, size = 0;
        if (at == std::string::npos || line.find("AVSEQ") == std::string::npos) continue;
        if (std::sscanf(line.c_str() + at, "[LSN %lld] %lld", &lsn, &size) == 2) tracks.push_back({lsn, size});
    }
    return tracks;
}

class TempFolder {
public:
    TempFolder() : path_(CreateTempDir("pellmor-scan-")) {}
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// One ISO 9660 directory record of a VideoCD track file (60 bytes).
std::array<uint8_t, 60> TrackRecord(uint32_t extent, uint32_t dataLength, const std::string& name = "AVSEQ01.DAT;1") {
    std::array<uint8_t, 60> r{};
    auto both = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            r[at + i] = static_cast<uint8_t>(v >> (8 * i));
            r[at + 7 - i] = static_cast<uint8_t>(v >> (8 * i));
        }
    };
    r[0] = 60;
    both(2, extent);
    both(10, dataLength);
    r[28] = 1;
    r[31] = 1;
    r[32] = 13;
    std::memcpy(&r[33], name.data(), std::min<size_t>(name.size(), 13));
    r[50] = 0x15;
    r[51] = 0x55;
    r[52] = 'X';
    r[53] = 'A';
    return r;
}

// A raw image of zeroed 2352-byte sectors with records placed in the user
// data of its sectors.
struct RawImage {
    static constexpr size_t kSector = 2352;
    static constexpr size_t kUser = 24;
    explicit RawImage(size_t sectors) : bytes(sectors * kSector) {}
    void put(size_t sector, size_t userOffset, const std::array<uint8_t, 60>& record) {
        std::memcpy(&bytes[sector * kSector + kUser + userOffset], record.data(), record.size());
    }
    std::vector<uint8_t> bytes;
};

struct Scan {
    Scan() {
        reporter.services.languageSet = &texts;
        reporter.services.dialogs = &dialogs;
        reporter.log = &log;
        job.trackTable = new TTrackTable();
        start.setEnabled(false);
    }

    int run(const std::string& path, int32_t sectorSize, int32_t adjust) {
        job.readSectorSize = sectorSize;
        return GetFilesFromTOC(path, job, adjust, &list, &start, reporter, &lengths);
    }

    std::vector<std::string> errors() const {
        std::vector<std::string> out;
        for (const auto& s : dialogs.shown())
            if (s.kind == "error") out.push_back(s.message + " | " + s.caption);
        return out;
    }

    TTrackTable& table() { return *job.trackTable; }

    TLanguageSet texts;
    fakes::ScriptedDialogs dialogs;
    fakes::RecordingListBox log, list;
    fakes::RecordingButton start;
    LoadReporter reporter;
    TJob job;
    std::vector<int64_t> lengths;
};

// What a refused image must leave behind: the previous listing untouched,
// the start button off, one error with the image's name part.
void ExpectRefused(Scan& s, int result, int expected, int messageIndex, const std::string& name) {
    EXPECT_EQ(result, expected);
    EXPECT_FALSE(s.start.enabled());
    ASSERT_EQ(s.errors().size(), 1u);
    EXPECT_EQ(s.errors()[0], s.texts.message(messageIndex) + " | " + name);
}

void PreviousListing(Scan& s) {
    s.table().lastIndex = 7;
    s.table().firstTrack = 1;
    s.list.add("previous line");
    s.lengths = {11, 22};
}

void ExpectPreviousListing(Scan& s) {
    EXPECT_EQ(s.table().lastIndex, 7);
    EXPECT_EQ(s.list.lines(), std::vector<std::string>{"previous line"});
    EXPECT_EQ(s.lengths, (std::vector<int64_t>{11, 22}));
}

// ---------------------------------------------------------------------------
// Real images made by vcdimager

struct ImageCase {
    const char* image;
    // How vcd-info opens the same image (it cannot read cif: the bin it was made from).
    const char* vcdInfoFlag;
    const char* vcdInfoImage;
    int32_t sectorSize;
    int32_t adjust;
    std::vector<int64_t> lsn;     // extents, as the fixtures' README gives them
    std::vector<int64_t> length;  // directory sizes in 2324-byte sectors
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.image; }

class RealImageScan : public ::testing::TestWithParam<ImageCase> {};

TEST_P(RealImageScan, ListsTheDirectoryTracksAsVcdInfoSeesThem) {
    const ImageCase& c = GetParam();
    Scan s;
    ASSERT_EQ(s.run(Fixture(c.image), c.sectorSize, c.adjust), 0) << ::testing::PrintToString(s.errors());
    EXPECT_TRUE(s.errors().empty());
    EXPECT_TRUE(s.start.enabled());

    const size_t n = c.lsn.size();
    TTrackTable& t = s.table();
    EXPECT_EQ(t.firstTrack, 1);
    EXPECT_EQ(t.lastIndex, static_cast<int>(n));
    EXPECT_EQ(t.lastTrack, static_cast<int>(n));
    ASSERT_EQ(t.start.size(), n + 1);
    EXPECT_EQ(t.start[0], 0);
    EXPECT_EQ(t.end[0], 0);
    ASSERT_EQ(s.lengths.size(), n);
    ASSERT_EQ(s.list.count(), static_cast<int>(n));

    for (size_t i = 0; i < n; ++i) {
        const size_t k = i + 1;
        const int64_t length = c.length[i] - c.adjust;
        EXPECT_EQ(t.start[k], c.lsn[i] * c.sectorSize) << "track " << k;
        EXPECT_EQ(t.end[k], t.start[k] + length) << "track " << k;
        EXPECT_EQ(s.lengths[i], length);
        const int64_t sectors = length / 2324;
        EXPECT_EQ(t.minutes[k] * 4500 + t.seconds[k] * 75 + t.frames[k], sectors);
        char line[96];
        std::snprintf(line, sizeof line, "Track %2d: %lld bytes [%.2d:%.2d:%.2d]", static_cast<int>(k),
                      static_cast<long long>(length), t.minutes[k], t.seconds[k], t.frames[k]);
        EXPECT_EQ(s.list.item(static_cast<int>(i)), line);
    }

    auto tool = VcdInfoTracks(c.vcdInfoFlag, c.vcdInfoImage);
    if (!tool) GTEST_SKIP() << "vcd-info is not installed";
    ASSERT_EQ(tool->size(), n);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ((*tool)[i].lsn * c.sectorSize, s.table().start[i + 1]);
        EXPECT_EQ((*tool)[i].size - c.adjust, s.lengths[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealImageScan,
    ::testing::Values(
        ImageCase{"vcd_pal3.bin", "-B", "vcd_pal3.bin", 2352, kBinTrackLengthAdjust, {450, 749, 1062}, {346276, 378812, 336980}},
        ImageCase{"vcd_ntsc.bin", "-B", "vcd_ntsc.bin", 2352, kBinTrackLengthAdjust, {450}, {346276}},
        ImageCase{"svcd_pal.bin", "-B", "svcd_pal.bin", 2352, kBinTrackLengthAdjust, {450}, {120848}},
        // nrg and cif keep their sector sizes and lose the adjust from each length.
        ImageCase{"vcd_pal3.nrg", "--nrg-file", "vcd_pal3.nrg", 2336, kNrgTrackLengthAdjust, {450, 749, 1062},
                  {346276, 378812, 336980}},
        ImageCase{"vcd_ntsc.cif", "-B", "vcd_ntsc.bin", 2332, kCifTrackLengthAdjust, {450}, {346276}}),
    [](const auto& info) {
        std::string n = info.param.image;
        for (char& ch : n)
            if (ch == '.') ch = '_';
        return n;
    });

TEST(RealImageScan, TrackStartsAgreeWithTheCueSheetAsCdInfoReadsIt) {
    Scan s;
    ASSERT_EQ(s.run(Fixture("vcd_pal3.bin"), 2352, 0), 0);
    auto out = RunTool("cd-info", "--no-header --no-device-info --no-disc-mode -q " + Fixture("vcd_pal3.cue"));
    if (!out) GTEST_SKIP() << "cd-info is not installed";
    std::vector<int64_t> lsn;
    for (const std::string& line : Lines(*out)) {
        int track = 0, m = 0, sec = 0, f = 0;
        long long at = 0;
        char type[3] = {};
        // "  2: 00:08:00  000450 XA ..."; cue track 1 is the data track
        if (std::sscanf(line.c_str(), " %d: %d:%d:%d %lld %2s", &track, &m, &sec, &f, &at, type) == 6 &&
            std::string(type) == "XA" && track >= 2)
            lsn.push_back(at);
    }
    ASSERT_EQ(lsn.size(), 3u);
    for (size_t i = 0; i < lsn.size(); ++i) EXPECT_EQ(s.table().start[i + 1], lsn[i] * 2352);
}

TEST(RealImageScan, ANewScanReplacesThePreviousListing) {
    Scan s;
    ASSERT_EQ(s.run(Fixture("vcd_pal3.bin"), 2352, 0), 0);
    ASSERT_EQ(s.run(Fixture("vcd_ntsc.bin"), 2352, 0), 0);
    EXPECT_EQ(s.table().lastIndex, 1);
    EXPECT_EQ(s.table().start.size(), 2u);
    EXPECT_EQ(s.list.count(), 1);
    EXPECT_EQ(s.lengths.size(), 1u);
}

TEST(RealImageScan, WorksWithoutListBoxButtonOrLengths) {
    Scan s;
    s.job.readSectorSize = 2352;
    delete s.job.trackTable;
    s.job.trackTable = nullptr;  // made when missing
    ASSERT_EQ(GetFilesFromTOC(Fixture("vcd_pal3.bin"), s.job, 0, nullptr, nullptr, s.reporter), 0);
    ASSERT_NE(s.job.trackTable, nullptr);
    EXPECT_EQ(s.job.trackTable->lastIndex, 3);
}

TEST(RealImageScan, EachKindGetsItsSectorSizeAndAdjust) {
    struct Case {
        DiscImageKind kind;
        const char* image;
        int32_t sectorSize;
        int64_t firstLength;
    };
    for (const Case& c : {Case{DiscImageKind::Bin, "vcd_pal3.bin", 2352, 346276},
                          Case{DiscImageKind::Nrg, "vcd_pal3.nrg", 2336, 346276 - 139440},
                          Case{DiscImageKind::Cif, "vcd_ntsc.cif", 2332, 346276 - 174300}}) {
        SCOPED_TRACE(c.image);
        Scan s;
        ASSERT_EQ(ScanDiscImage(c.kind, Fixture(c.image), s.job, &s.list, &s.start, s.reporter, &s.lengths), 0);
        EXPECT_EQ(s.job.readSectorSize, c.sectorSize);
        EXPECT_EQ(s.lengths.at(0), c.firstLength);
        EXPECT_EQ(s.table().start[1], 450 * c.sectorSize);
    }
    // A bin without a CD sync has no sector size to list it by.
    Scan s;
    ExpectRefused(s, ScanDiscImage(DiscImageKind::Bin, Fixture("bad_random.bin"), s.job, &s.list, &s.start, s.reporter),
                  5, 24, "bad_random.bin");
    Scan gone;
    ExpectRefused(gone, ScanDiscImage(DiscImageKind::Bin, "/nonexistent/x.bin", gone.job, nullptr, &gone.start,
                                      gone.reporter),
                  4, 6, "x.bin");
}

// ---------------------------------------------------------------------------
// Images that are refused

TEST(RefusedImage, MissingFileIsError6WithItsNamePart) {
    Scan s;
    PreviousListing(s);
    ExpectRefused(s, s.run("/nonexistent/folder/gone.bin", 2352, 0), 4, 6, "gone.bin");
    ExpectPreviousListing(s);
}

TEST(RefusedImage, FixturesWithoutUsableTracks) {
    // Empty, random, and a directory whose tracks are not in the file at all.
    for (const char* name : {"bad_empty.bin", "bad_random.bin", "bad_no_mpeg.bin"}) {
        SCOPED_TRACE(name);
        Scan s;
        PreviousListing(s);
        ExpectRefused(s, s.run(Fixture(name), 2352, 0), 5, 10, name);
        ExpectPreviousListing(s);
    }
}

TEST(RefusedImage, SectorSizeZeroIsRefusedBeforeAnyScan) {
    Scan s;
    PreviousListing(s);
    ExpectRefused(s, s.run(Fixture("vcd_pal3.bin"), 0, 0), 5, 24, "vcd_pal3.bin");
    ExpectPreviousListing(s);
}

// The directory of vcd_pal3.bin with one field of one record changed.
class PatchedDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        bytes = Slurp(Fixture("vcd_pal3.bin"));
        ASSERT_FALSE(bytes.empty());
        const uint8_t name[] = {0x0D, 'A', 'V', 'S', 'E', 'Q', '0'};
        auto it = std::search(bytes.begin(), bytes.end(), std::begin(name), std::end(name));
        ASSERT_NE(it, bytes.end());
        firstRecord = static_cast<size_t>(it - bytes.begin()) - 32;
    }
    // Big-endian field at `at` of record `index` (the scan reads those).
    void setBigEndian(int index, int at, uint32_t v) {
        uint8_t* r = &bytes[firstRecord + 60 * index + at];
        for (int i = 0; i < 4; ++i) r[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
    std::string write() {
        std::string path = dir.file("patched.bin");
        Spew(path, bytes);
        return path;
    }

    TempFolder dir;
    std::vector<uint8_t> bytes;
    size_t firstRecord = 0;
};

TEST_F(PatchedDirectory, LengthOrExtentBeyondTheImage) {
    struct Case {
        const char* what;
        int record, field;
        uint32_t value;
    };
    // Tracks past the end that overlap the ones before them, or lie beyond
    // any disc: no image was cut there.
    for (const Case& c : {Case{"huge length", 1, 14, 0x7FFFF800u}, Case{"extent past the end", 0, 6, 5000},
                          Case{"largest extent", 2, 6, 0xFFFFFFFFu}}) {
        SCOPED_TRACE(c.what);
        SetUp();
        setBigEndian(c.record, c.field, c.value);
        Scan s;
        PreviousListing(s);
        ExpectRefused(s, s.run(write(), 2352, 0), 5, 10, "patched.bin");
        ExpectPreviousListing(s);
    }
}

// An image that ends inside a track (an interrupted download) keeps its
// directory: every track is listed with its stated length and time, its
// start and end held to the image, so the extraction can tell the cut ones.
TEST_F(PatchedDirectory, ImageEndingInsideATrackListsEveryTrack) {
    struct Case {
        const char* what;
        std::string path;
        int64_t size;
    };
    setBigEndian(2, 14, 400 * 2048);  // the last track runs past the end
    const std::string patched = write();
    const std::string cut = Fixture("bad_truncated.bin");  // ends inside track 1
    for (const Case& c : {Case{"last track longer than the image", patched, static_cast<int64_t>(bytes.size())},
                          Case{"cut inside track 1", cut, static_cast<int64_t>(Slurp(cut).size())}}) {
        SCOPED_TRACE(c.what);
        Scan s;
        ASSERT_EQ(s.run(c.path, 2352, 0), 0) << ::testing::PrintToString(s.errors());
        const TTrackTable& t = s.table();
        ASSERT_EQ(t.lastIndex, 3);
        EXPECT_TRUE(s.start.enabled());
        for (int k = 1; k <= 3; ++k) {
            EXPECT_LE(t.start[k], t.end[k]);
            EXPECT_LE(t.end[k], c.size);
        }
        EXPECT_EQ(t.end[3], c.size) << "held to the image";
        EXPECT_GT(s.lengths[2], t.end[3] - t.start[3]) << "the stated length stays";
    }
}

TEST_F(PatchedDirectory, LengthNegativeAfterTheAdjust) {
    // 10 sectors of 2324 bytes is less than the 60 sectors an nrg loses: a
    // track without margins (an SVCD's short one), listed as empty and read
    // whole from its first sector.
    setBigEndian(1, 14, 10 * 2048);
    Scan s;
    ASSERT_EQ(s.run(write(), 2352, kNrgTrackLengthAdjust), 0) << ::testing::PrintToString(s.errors());
    EXPECT_EQ(s.lengths[1], 0);
    EXPECT_EQ(s.table().end[2], s.table().start[2]);
    // The same directory without an adjust is sound.
    Scan plain;
    EXPECT_EQ(plain.run(write(), 2352, 0), 0);
    EXPECT_EQ(plain.lengths[1], 10 * 2324);
}

TEST_F(PatchedDirectory, MusicTracksAreListedLikeAvseqTracks) {
    for (int i = 0; i < 3; ++i) std::memcpy(&bytes[firstRecord + 60 * i + 33], "MUSIC", 5);
    Scan s;
    ASSERT_EQ(s.run(write(), 2352, 0), 0);
    EXPECT_EQ(s.table().lastIndex, 3);
    EXPECT_EQ(s.lengths, (std::vector<int64_t>{346276, 378812, 336980}));
}

TEST_F(PatchedDirectory, CdiApplicationDecoyIsPassedOver) {
    // A name of a track followed by "CDI_VCD.APP" well before the directory.
    const char decoy[] = "\x0D" "AVSEQ01.DAT;1";
    std::memcpy(&bytes[5000], decoy, 14);
    std::memcpy(&bytes[5100], "CDI_VCD.APP", 11);
    Scan s;
    ASSERT_EQ(s.run(write(), 2352, 0), 0) << ::testing::PrintToString(s.errors());
    EXPECT_EQ(s.table().lastIndex, 3);
    EXPECT_EQ(s.table().start[1], 450 * 2352);
}

TEST(RefusedImage, OnlyDecoysEndsWithError10) {
    // MUSIC decoys from the very start: the search must not begin again for ever.
    TempFolder dir;
    std::vector<uint8_t> bytes(200000);
    for (size_t at : {40u, 9000u, 60000u}) {
        std::memcpy(&bytes[at], "\x0DMUSIC01.DAT;1", 14);
        std::memcpy(&bytes[at + 200], "CDI_VCD.APP", 11);
    }
    std::memcpy(&bytes[120000], "\x0D" "AVSEQ01.DAT;1", 14);
    std::memcpy(&bytes[120300], "CDI_VCD.APP", 11);
    Spew(dir.file("decoys.bin"), bytes);
    Scan s;
    ExpectRefused(s, s.run(dir.file("decoys.bin"), 2352, 0), 5, 10, "decoys.bin");
}

TEST(RefusedImage, RecordStraddlingASectorEdge) {
    TempFolder dir;
    RawImage img(60);
    // The record would run 20 bytes into the sector's error-correction bytes.
    img.put(20, 2048 - 40, TrackRecord(40, 2048));
    Spew(dir.file("straddle.bin"), img.bytes);
    Scan s;
    ExpectRefused(s, s.run(dir.file("straddle.bin"), 2352, 0), 5, 10, "straddle.bin");

    RawImage inside(60);
    inside.put(20, 2048 - 60, TrackRecord(40, 2048));
    Spew(dir.file("inside.bin"), inside.bytes);
    Scan ok;
    EXPECT_EQ(ok.run(dir.file("inside.bin"), 2352, 0), 0);
}

// ---------------------------------------------------------------------------
// Synthetic directories

TEST(SyntheticDirectory, RecordsAcrossSectorsUpTo99Tracks) {
    // 100 records, 34 to a sector as the track directory lays them out; the
    // gaps between sectors are crossed by the resynchronisation search.
    TempFolder dir;
    RawImage img(400);
    for (int i = 0; i < 100; ++i) {
        char name[14];
        std::snprintf(name, sizeof name, "AVSEQ%02d.DAT;1", i % 100);
        img.put(20 + i / 34, 60 * (i % 34), TrackRecord(100 + i, 2048 * (i + 1), name));
    }
    Spew(dir.file("many.bin"), img.bytes);
    Scan s;
    ASSERT_EQ(s.run(dir.file("many.bin"), 2352, 0), 0) << ::testing::PrintToString(s.errors());
    EXPECT_EQ(s.table().lastIndex, 99);
    EXPECT_EQ(s.table().lastTrack, 99);
    ASSERT_EQ(s.lengths.size(), 99u);
    for (int k = 1; k <= 99; ++k) {
        EXPECT_EQ(s.lengths[k - 1], 2324 * k);
        EXPECT_EQ(s.table().start[k], int64_t{100 + k - 1} * 2352);
    }
}

TEST(SyntheticDirectory, SeventyFourMinutesAndOffsetsPast4GiB) {
    // A sparse image: one 74-minute track, and one starting past 4 GiB.
    TempFolder dir;
    const uint32_t sectors74 = 74 * 4500;
    const uint32_t farExtent = 2'000'000;  // 2000000 x 2352 > 4 GiB
    RawImage img(30);
    img.put(20, 0, TrackRecord(450, sectors74 * 2048, "AVSEQ01.DAT;1"));
    img.put(20, 60, TrackRecord(farExtent, 75 * 2048, "AVSEQ02.DAT;1"));
    const std::string path = dir.file("long.bin");
    Spew(path, img.bytes);
    std::error_code ec;
    fs::resize_file(path, uint64_t{farExtent + 100} * 2352, ec);
    if (ec) GTEST_SKIP() << "no sparse file here: " << ec.message();

    Scan s;
    ASSERT_EQ(s.run(path, 2352, 0), 0) << ::testing::PrintToString(s.errors());
    EXPECT_EQ(s.list.item(0), "Track  1: " + std::to_string(int64_t{sectors74} * 2324) + " bytes [74:00:00]");
    EXPECT_EQ(s.list.item(1), "Track  2: 174300 bytes [00:01:00]");
    EXPECT_EQ(s.table().start[2], int64_t{farExtent} * 2352);
    EXPECT_EQ(s.table().end[2], int64_t{farExtent} * 2352 + 174300);
}

TEST(SyntheticDirectory, RandomBytesAroundRecordNamesNeverBreakTheTable) {
    // Record names in random data: whatever is accepted keeps within the file.
    TempFolder dir;
    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> bytes(20000 + rng() % 80000);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        for (int j = 0, n = 1 + static_cast<int>(rng() % 6); j < n; ++j) {
            size_t at = rng() % (bytes.size() - 60);
            auto r = TrackRecord(rng() % 64, rng() % 200000, j % 2 ? "MUSIC01.DAT;1" : "AVSEQ01.DAT;1");
            if (rng() % 2) r[0] = static_cast<uint8_t>(rng());  // sometimes not a valid record
            std::memcpy(&bytes[at], r.data(), std::min(r.size(), bytes.size() - at));
        }
        const std::string path = dir.file("random.bin");
        Spew(path, bytes);
        for (int32_t size : {2352, 2336, 2332}) {
            Scan s;
            int result = s.run(path, size, size == 2352 ? 0 : kNrgTrackLengthAdjust);
            ASSERT_TRUE(result == 0 || result == 5) << result;
            if (result != 0) continue;
            const TTrackTable& t = s.table();
            for (int k = 1; k <= t.lastIndex; ++k) {
                EXPECT_LE(0, t.start[k]);
                EXPECT_LE(t.start[k], t.end[k]);
                EXPECT_LE(t.end[k], static_cast<int64_t>(bytes.size()));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Volume label

TEST(VolumeLabel, FromTheImagesDescriptor) {
    LoadReporter none;
    // The nrg's descriptor sits at sector 166 of 2336-byte sectors, 8 bytes in;
    // the bin's at sector 16 of 2352-byte sectors, 24 bytes in.
    EXPECT_EQ(ReadVolumeLabel(Fixture("vcd_pal3.nrg"), kNrgVolumeLabelOffset, none, true), "PELLTEST");
    EXPECT_EQ(ReadVolumeLabel(Fixture("vcd_pal3.bin"), 16 * 2352 + 16, none, true), "PELLTEST");
    std::string padded = ReadVolumeLabel(Fixture("vcd_pal3.nrg"), kNrgVolumeLabelOffset, none);
    EXPECT_EQ(padded, "PELLTEST" + std::string(24, ' '));
    EXPECT_EQ(TrimTrailingBlanks(padded), "PELLTEST");
    if (auto out = RunTool("vcd-info", "-q -B " + Fixture("vcd_pal3.bin"))) {
        EXPECT_NE(out->find("volume id: `PELLTEST'"), std::string::npos);
    }
}

TEST(VolumeLabel, BrokenPlacesGiveNoLabel) {
    TempFolder dir;
    std::vector<uint8_t> block(2048 + 8);
    std::memcpy(&block[8 + 1], "CD001", 5);
    std::memset(&block[8 + 40], 'A', 32);   // the whole field, no zero byte
    std::memset(&block[8 + 72], 'B', 100);  // what follows must not join it
    Spew(dir.file("full.bin"), block);
    block[8 + 1] = 'X';  // the same label bytes, but no volume descriptor
    Spew(dir.file("nodesc.bin"), block);

    Scan s;
    EXPECT_EQ(ReadVolumeLabel(dir.file("full.bin"), 0, s.reporter), std::string(32, 'A'));
    // Past the end, too short for the field, not a descriptor.
    EXPECT_EQ(ReadVolumeLabel(dir.file("full.bin"), 1 << 20, s.reporter), "");
    EXPECT_EQ(ReadVolumeLabel(dir.file("full.bin"), 2048 - 60, s.reporter), "");
    EXPECT_EQ(ReadVolumeLabel(dir.file("nodesc.bin"), 0, s.reporter), "");
    EXPECT_TRUE(s.errors().empty());

    EXPECT_EQ(ReadVolumeLabel(dir.file("gone.nrg"), 0, s.reporter), "");
    ASSERT_EQ(s.errors().size(), 1u);
    EXPECT_EQ(s.errors()[0], s.texts.message(msg::error::kCannotOpen) + " | gone.nrg");
}

// ---------------------------------------------------------------------------
// Track list lines and selection

TEST(TrackListLine, CueAndTocForm) {
    struct Case {
        int track, m, s, f, size;
        int64_t start, end;
        const char* line;
    };
    for (const Case& c : {
             Case{2, 0, 4, 0, 2352, 0, 2352 * 300, "Track #02   00:04:00   2352 bytes/sector   689k"},
             Case{0, 0, 0, 0, 2352, 0, 1023, "Track #00   00:00:00   2352 bytes/sector   0k"},
             Case{12, 74, 59, 74, 2336, 1000, 1000 + (int64_t{5} << 32), "Track #12   74:59:74   2336 bytes/sector   20971520k"},
             // A span that runs backwards is listed as empty.
             Case{3, 1, 2, 3, 2048, 5000, 100, "Track #03   01:02:03   2048 bytes/sector   0k"},
         }) {
        EXPECT_EQ(FormatTrackListLine(c.track, c.m, c.s, c.f, c.size, c.start, c.end), c.line);
    }
}

TTrackTable ThreeTracks() {
    TTrackTable t;
    for (int i = 0; i < 4; ++i) {
        t.AppendTrack();
        t.minutes[i] = i;
        t.sectorSize[i] = 2352;
        t.start[i] = i * 2352 * 100;
        t.end[i] = (i + 1) * 2352 * 100;
    }
    t.lastIndex = 3;
    return t;
}

TEST(TrackList, FillsFromTheFirstTrackToTheLastIndex) {
    TLanguageSet texts;
    fakes::RecordingListBox list;
    fakes::RecordingLabel label;
    TTrackTable t = ThreeTracks();
    list.add("stale");

    EXPECT_EQ(FillTrackList(list, t, false, texts, &label), "All tracks selected");
    EXPECT_EQ(t.firstTrack, 1);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0), "Track #01   01:00:00   2352 bytes/sector   229k");
    EXPECT_EQ(label.caption(), "All tracks selected");

    FillTrackList(list, t, true, texts);
    EXPECT_EQ(t.firstTrack, 0);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.item(0).rfind("Track #00   00:00:00", 0), 0u);

    // A last index ahead of the rows lists only the rows there are.
    t.lastIndex = 9;
    FillTrackList(list, t, false, texts);
    EXPECT_EQ(list.count(), 3);
}

TEST(TrackSelection, SomeButNotAllSelectedMeansSelectedTracksOnly) {
    TLanguageSet texts;
    TConfig config;
    fakes::RecordingListBox list;
    fakes::RecordingLabel label;
    TTrackTable t = ThreeTracks();
    FillTrackList(list, t, false, texts);

    struct Case {
        std::vector<int> lines;
        uint8_t only;
        const char* text;
    };
    for (const Case& c : {Case{{}, 0, "All tracks selected"}, Case{{0, 2}, 1, "User selected tracks"},
                          Case{{1}, 1, "User selected tracks"}, Case{{0, 1, 2}, 0, "All tracks selected"}}) {
        for (int i = 0; i < list.count(); ++i) list.setSelected(i, false);
        for (int i : c.lines) list.setSelected(i, true);
        EXPECT_EQ(TrackListBoxClick(list, t, config, texts, &label), c.text);
        EXPECT_EQ(label.caption(), c.text);
        EXPECT_EQ(config.selectedTracksOnly, c.only);
        config.selectedTracksOnly = 7;
        StoreTrackSelection(0, &list, 0, t, config);
        EXPECT_EQ(config.selectedTracksOnly, c.only);
        EXPECT_EQ(t.lastTrack, 3);
    }

    list.setSelected(1, false);
    EXPECT_EQ(SelectedTrackNumbers(list, t), (std::vector<int>{1, 3}));
    // With track 0 listed, line 0 is track 0 and four lines are "all".
    FillTrackList(list, t, true, texts);
    list.setSelected(0, true);
    list.setSelected(2, true);
    EXPECT_EQ(SelectedTrackNumbers(list, t), (std::vector<int>{0, 2}));
    EXPECT_EQ(ListedTrackCount(t), 4);
    for (int i = 0; i < 4; ++i) list.setSelected(i, true);
    StoreTrackSelection(0, &list, 0, t, config);
    EXPECT_EQ(config.selectedTracksOnly, 0);
}

TEST(TrackSelection, VideoCdPageCountsTheMpegEntries) {
    TConfig config;
    config.selectedTracksOnly = 1;
    TTrackTable t = ThreeTracks();
    StoreTrackSelection(1, nullptr, 5, t, config);
    EXPECT_EQ(t.lastTrack, 5);
    EXPECT_EQ(config.selectedTracksOnly, 1);
}

// ---------------------------------------------------------------------------
// Forced sector sizes

TEST(ForcedSize, FieldTakesOneToFourDigitsOnly) {
    struct Case {
        const char* text;
        int32_t after;
    };
    for (const Case& c : {Case{"2336", 2336}, Case{"0", 0}, Case{"0042", 42}, Case{"23a2", 2352}, Case{"", 2352},
                          Case{"12345", 2352}, Case{" 234", 2352}, Case{"-1", 2352}, Case{"+2048", 2352}}) {
        SCOPED_TRACE(c.text);
        int32_t size = 2352;
        EXPECT_EQ(SectorSizeFieldExit(c.text, size), std::to_string(c.after));
        EXPECT_EQ(size, c.after);
    }
}

TEST(ForcedSize, OnlyTheEngineSizesCanStartAJob) {
    for (int32_t s : {2048, 2324, 2332, 2336, 2352}) EXPECT_TRUE(IsAcceptedForcedSize(s)) << s;
    for (int32_t s : {0, 1, 2047, 2328, 2353, 2448, 9999, -2352}) EXPECT_FALSE(IsAcceptedForcedSize(s)) << s;
}

}  // namespace
