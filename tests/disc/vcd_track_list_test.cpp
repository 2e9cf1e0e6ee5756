// The build list grid kept by TVcdTrackList, on a recording grid and
// without one (the sample clip editor's plain-file mode).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "disc/vcd_track_list.h"
#include "tests/support/fakes.h"

namespace {

struct GridRig {
    GridRig() { job.mpegList = &list; }
    TJob job;
    TConfig config;
    TLanguageSet texts;
    fakes::RecordingGrid grid;
    TVcdTrackList tracks{&job, &grid, &texts};
    TMpegFileList list{&job, &config};

    void Add(int n) {
        for (int i = 0; i < n; ++i) {
            const std::string name = "clip" + std::to_string(tracks.RowCount() + 1) + ".mpg";
            tracks.AddRow(1, tracks.RowCount() + 1, name, "[00:00:0" + std::to_string(i) + "s]");
        }
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (int r = 1; r <= tracks.RowCount(); ++r) out.push_back(grid.cell(2, r));
        return out;
    }
};

}  // namespace

TEST(VcdTrackList, HeadersAndRowsGrowFromOneBlankRow) {
    GridRig rig;
    EXPECT_EQ(rig.grid.cell(0, 0), "+");
    EXPECT_EQ(rig.grid.cell(1, 0), "#");
    EXPECT_EQ(rig.grid.cell(2, 0), "Source");
    EXPECT_EQ(rig.grid.cell(3, 0), "Playtime");
    rig.tracks.AddRow(1, 1, "a.mpg", "[00:01:02s]");
    EXPECT_EQ(rig.grid.rowCount(), 2);  // the blank row is filled
    EXPECT_EQ(rig.grid.rows(), std::vector<std::string>{"1|1|a.mpg|[00:01:02s]"});
    EXPECT_EQ(rig.grid.currentRow(), 1);
    rig.tracks.AddRow(2, 1, "b.mpg", "[00:00:09s]");
    EXPECT_EQ(rig.grid.rowCount(), 3);
    EXPECT_EQ(rig.grid.currentRow(), 2);
    EXPECT_TRUE(rig.tracks.IsSelected(1));
    EXPECT_FALSE(rig.tracks.IsSelected(0));
}

TEST(VcdTrackList, DeleteRowKeepsTheSelectionSensible) {
    struct Case {
        const char* what;
        int rows, current, remove;
        std::vector<std::string> left;
        int currentAfter, gridRows;
    };
    const Case cases[] = {
        {"last of several", 3, 3, 2, {"clip1.mpg", "clip2.mpg"}, 2, 3},
        {"middle row", 3, 2, 1, {"clip1.mpg", "clip3.mpg"}, 2, 3},
        {"first row", 3, 1, 0, {"clip2.mpg", "clip3.mpg"}, 1, 3},
        {"only row", 1, 1, 0, {}, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GridRig rig;
        rig.Add(c.rows);
        rig.tracks.SelectRow(c.current - 1);
        rig.tracks.DeleteRow(c.remove);
        EXPECT_EQ(rig.Names(), c.left);
        EXPECT_EQ(rig.tracks.RowCount(), int(c.left.size()));
        EXPECT_EQ(rig.grid.currentRow(), c.currentAfter);
        EXPECT_EQ(rig.grid.rowCount(), c.gridRows);
        // The row that moved out of sight is blank.
        EXPECT_EQ(rig.grid.cell(2, c.rows), "");
    }
    GridRig empty;
    empty.tracks.DeleteRow(0);
    EXPECT_EQ(empty.grid.rowCount(), 2);
    EXPECT_EQ(empty.tracks.RowCount(), 0);
}

TEST(VcdTrackList, SwapSelectClearAndRenumber) {
    GridRig rig;
    rig.Add(5);
    const int repaints = rig.grid.repaints();
    rig.tracks.SwapRows(0, 4);
    EXPECT_EQ(rig.Names(), (std::vector<std::string>{"clip5.mpg", "clip2.mpg", "clip3.mpg", "clip4.mpg", "clip1.mpg"}));
    EXPECT_EQ(rig.grid.cell(3, 1), "[00:00:04s]");
    EXPECT_EQ(rig.grid.cell(1, 1), "1");  // numbers are Renumber's
    EXPECT_GT(rig.grid.repaints(), repaints);

    // Renumber writes the entries' image and track numbers.
    for (int i = 0; i < 5; ++i) {
        TMpegFileInfo e;
        e.size = 1;
        rig.list.entries.push_back(e);
    }
    rig.list.AssignImages();
    rig.list.IncreaseImage(4);
    rig.tracks.Renumber();
    EXPECT_EQ(rig.grid.cell(0, 4), "2");
    EXPECT_EQ(rig.grid.cell(1, 4), "1");
    EXPECT_EQ(rig.grid.cell(1, 5), "2");

    rig.tracks.SelectRow(2);
    EXPECT_TRUE(rig.tracks.IsSelected(2));
    rig.tracks.Clear();
    EXPECT_EQ(rig.grid.rowCount(), 2);
    EXPECT_EQ(rig.grid.cell(2, 1), "");
    EXPECT_EQ(rig.tracks.RowCount(), 0);
    // An empty list selects nothing and reports nothing selected.
    const int current = rig.grid.currentRow();
    rig.tracks.SelectRow(0);
    EXPECT_EQ(rig.grid.currentRow(), current);
    EXPECT_FALSE(rig.tracks.IsSelected(0));
    EXPECT_EQ(rig.grid.cell(0, 0), "+");  // the header survives
}

TEST(VcdTrackList, HeadersFollowTheLanguage) {
    GridRig rig;
    TLanguageSet other;
    auto& component = other.sections[size_t(LangSection::COMPONENT_MSGS)];
    component[107] = "Quelle";
    component[108] = "Spielzeit";
    rig.tracks.SetHeaders(&other);
    EXPECT_EQ(rig.grid.cell(2, 0), "Quelle");
    EXPECT_EQ(rig.grid.cell(3, 0), "Spielzeit");
}

// The same calls without a grid: one row, selected, and every operation on
// the row count alone.
TEST(VcdTrackList, GridLessListWorksOnItsModel) {
    TVcdTrackList tracks;
    EXPECT_EQ(tracks.RowCount(), 1);
    EXPECT_TRUE(tracks.IsSelected(0));
    EXPECT_EQ(tracks.Grid(), nullptr);
    tracks.SetHeaders();
    tracks.AddRow(1, 2, "b.mpg", "[00:00:01s]");
    EXPECT_EQ(tracks.RowCount(), 2);
    EXPECT_TRUE(tracks.IsSelected(1));
    tracks.SwapRows(0, 1);
    tracks.Renumber();
    tracks.SelectRow(0);
    EXPECT_TRUE(tracks.IsSelected(0));
    tracks.SelectRow(7);  // no such row
    EXPECT_TRUE(tracks.IsSelected(0));
    tracks.DeleteRow(1);
    EXPECT_EQ(tracks.RowCount(), 1);
    EXPECT_TRUE(tracks.IsSelected(0));
    tracks.DeleteRow(0);
    EXPECT_EQ(tracks.RowCount(), 0);
    EXPECT_FALSE(tracks.IsSelected(0));
    tracks.AddRow(1, 1, "c.mpg", "");
    tracks.Clear();
    EXPECT_EQ(tracks.RowCount(), 0);
    EXPECT_FALSE(tracks.IsSelected(0));
}
