// Qt backend of the string grid handle over a QTableWidget. Row 0 (the title
// row) is the table's horizontal header; data row r is table row r - 1. The
// grid model always keeps one blank data row; the table hides it while it is
// blank, so an empty list shows no rows. Cells live in the handle (any thread
// reads them at once); the table is brought in step on the GUI thread.
#pragma once

#include <QPointer>
#include <QTableWidget>
#include <map>
#include <mutex>

#include "platform/string_grid.h"

namespace platform::qt {

class QtStringGrid final : public platform::StringGrid {
public:
    explicit QtStringGrid(QTableWidget* table);
    void setCell(int column, int row, const std::string& text) override;
    std::string cell(int column, int row) const override;
    int rowCount() const override;
    void setRowCount(int rows) override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    void repaint() override;

private:
    void Sync();
    // Data rows the table shows for the model's rows.
    int VisibleRows() const;

    QPointer<QTableWidget> w_;
    mutable std::mutex m_;
    std::map<std::pair<int, int>, std::string> cells_;
    int rows_ = 2;
};

}  // namespace platform::qt
