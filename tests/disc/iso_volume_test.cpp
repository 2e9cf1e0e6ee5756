#include "disc/iso_volume.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Text(const Bytes& b, size_t at, size_t n) { return std::string(b.begin() + at, b.begin() + at + n); }

const platform::LocalTime kWhen{2026, 3, 4, 23, 30, 15, 0};

TEST(IsoDirectoryRecord, LengthsPaddingAndXaPart) {
    const struct {
        std::string id;
        size_t length;
    } cases[] = {{std::string(1, '\0'), 48}, {"CDI", 50}, {"SEGMENT", 54}, {"AVSEQ01.DAT;1", 60}};
    const IsoDate date = MakeIsoDate(kWhen);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const Bytes r = DirectoryRecord(c.id, 506, 305152, false, kXaForm2, 7, date);
        ASSERT_EQ(r.size(), c.length);
        EXPECT_EQ(DirectoryRecordLength(c.id.size()), c.length);
        EXPECT_EQ(r[0], c.length);
        EXPECT_EQ(r[32], c.id.size());
        EXPECT_EQ(Text(r, 33, c.id.size()), c.id);
        // Extent and size in both byte orders.
        EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 10), (Bytes{0xFA, 0x01, 0, 0, 0, 0, 0x01, 0xFA}));
        EXPECT_EQ(Bytes(r.begin() + 10, r.begin() + 18), (Bytes{0x00, 0xA8, 0x04, 0, 0, 0x04, 0xA8, 0x00}));
        EXPECT_EQ(Bytes(r.begin() + 18, r.begin() + 25), (Bytes{126, 3, 4, 23, 30, 15, 0})) << "UTC, offset 0";
        EXPECT_EQ(r[25], 0);
        EXPECT_EQ(Bytes(r.end() - 14, r.end()), (Bytes{0, 0, 0, 0, 0x15, 0x55, 'X', 'A', 7, 0, 0, 0, 0, 0}));
    }
    EXPECT_EQ(DirectoryRecord("EXT", 20, 2048, true, kXaDirectory, 0, date)[25], 2);
}

TEST(IsoVolumeDescriptor, FieldsOfBothKinds) {
    TVolumeFields f;
    f.label = "HOLIDAY";
    f.date = MakeIsoDate(kWhen);
    f.volumeSectors = 665;
    f.pathTableSize = 76;
    f.pathTableL = 26;
    for (bool isVcd : {true, false}) {
        for (bool cdi : {false, true}) {
            SCOPED_TRACE(std::string(isVcd ? "VCD" : "SVCD") + (cdi ? " CD-i" : ""));
            f.isVcd = isVcd;
            f.cdiApplication = cdi;
            const Bytes d = BuildPrimaryVolumeDescriptor(f);
            ASSERT_EQ(d.size(), 2048u);
            EXPECT_EQ(Text(d, 0, 7), std::string("\x01" "CD001\x01", 7));
            EXPECT_EQ(Text(d, 8, 32), "CD-RTOS CD-BRIDGE               ");
            EXPECT_EQ(Text(d, 40, 32), "HOLIDAY                         ");
            EXPECT_EQ(Bytes(d.begin() + 80, d.begin() + 88), (Bytes{0x99, 0x02, 0, 0, 0, 0, 0x02, 0x99}));
            EXPECT_EQ(Bytes(d.begin() + 128, d.begin() + 132), (Bytes{0x00, 0x08, 0x08, 0x00}));
            EXPECT_EQ(d[132], 76);
            EXPECT_EQ(d[139], 76);
            EXPECT_EQ(d[140], 26);
            EXPECT_EQ(d[151], 27) << "type M follows type L";
            EXPECT_EQ(d[156], 34);
            EXPECT_EQ(d[158], 18);
            EXPECT_EQ(d[180], 0) << "root record offset";
            EXPECT_EQ(Text(d, 446, 24), "PELLMOR V3.56 WIN32/i586");
            EXPECT_EQ(Text(d, 574, 17), isVcd && cdi ? "CDI/CDI_VCD.APP;1" : std::string(17, ' '));
            EXPECT_EQ(Text(d, 813, 17), std::string("2026030423301500\0", 17));
            EXPECT_EQ(Text(d, 830, 17), Text(d, 813, 17));
            EXPECT_EQ(Text(d, 847, 17), std::string("0000000000000000\0", 17));
            EXPECT_EQ(d[881], 1);
            EXPECT_EQ(Text(d, 1024, 8), "CD-XA001");
        }
    }
    const Bytes t = BuildVolumeTerminator();
    EXPECT_EQ(Text(t, 0, 7), std::string("\xFF" "CD001\x01", 7));
}

TEST(IsoPathTable, BothByteOrdersAndSizes) {
    const std::vector<TPathEntry> vcd = {{"CDI", 19}, {"EXT", 20}, {"MPEGAV", 21}, {"SEGMENT", 24}, {"VCD", 25}};
    const std::vector<TPathEntry> svcd = {{"EXT", 19}, {"MPEG2", 20}, {"SEGMENT", 23}, {"SVCD", 24}};
    EXPECT_EQ(PathTableSize(vcd), 76u);
    EXPECT_EQ(PathTableSize(svcd), 64u);
    const Bytes l = BuildPathTable(vcd, false), m = BuildPathTable(vcd, true);
    EXPECT_EQ(Bytes(l.begin(), l.begin() + 22),
              (Bytes{1, 0, 18, 0, 0, 0, 1, 0, 0, 0, 3, 0, 19, 0, 0, 0, 1, 0, 'C', 'D', 'I', 0}));
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 22),
              (Bytes{1, 0, 0, 0, 0, 18, 0, 1, 0, 0, 3, 0, 0, 0, 0, 19, 0, 1, 'C', 'D', 'I', 0}));
    EXPECT_EQ(l[76], 0);
    EXPECT_EQ(Text(l, 72, 3), "VCD") << "the last record ends at the table size";
}

TEST(IsoDate, TheClockReadingUnchanged) {
    // No hour shift, no carry: 23:30 UTC stays 23:30 on the same day.
    EXPECT_EQ(MakeIsoDate({2026, 12, 31, 23, 59, 59, 999}), (IsoDate{126, 12, 31, 23, 59, 59}));
    EXPECT_EQ(MakeIsoDate({1999, 1, 1, 0, 0, 0, 0}), (IsoDate{99, 1, 1, 0, 0, 0}));
}

}  // namespace
