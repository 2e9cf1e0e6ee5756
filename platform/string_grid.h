// Handle on a string grid (the video-cd build list). Cells are addressed
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

}  // namespace platform
