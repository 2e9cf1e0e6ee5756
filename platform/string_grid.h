// Handle on a string grid (the video-cd build list, the batch task list). Cells are addressed
// column first, as the grid control does; row 0 is the title row.
#pragma once

#include <string>

namespace platform {

class StringGrid {
public:
    virtual ~StringGrid() = default;
    virtual void setCell(int column, int row, const std::string& text) = 0;
    virtual std::string cell(int column, int row) const = 0;
    virtual int rowCount() const = 0;
    virtual void setRowCount(int rows) = 0;
    // The selected row; -1 when none.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual void repaint() = 0;
};

// One cell as a handle of its own, such as a batch task's status cell.
class GridCell {
public:
    virtual ~GridCell() = default;
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
};

// The cell at (column, row) of a grid.
class StringGridCell final : public GridCell {
public:
    StringGridCell(StringGrid& grid, int column, int row) : grid_(grid), column_(column), row_(row) {}
    void setText(const std::string& text) override { grid_.setCell(column_, row_, text); }
    std::string text() const override { return grid_.cell(column_, row_); }

private:
    StringGrid& grid_;
    int column_, row_;
};

}  // namespace platform
