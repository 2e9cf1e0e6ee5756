#include "platform/qt/string_grid_qt.h"

#include <QHeaderView>

#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"

namespace platform::qt {

namespace {
constexpr int kColumns = 4;
}

QtStringGrid::QtStringGrid(QTableWidget* table) : w_(table) {
    if (table) {
        table->setColumnCount(kColumns);
        table->setRowCount(0);
    }
}

int QtStringGrid::VisibleRows() const {
    int rows = rows_ - 1;
    // The model's blank row of an empty list is not shown.
    if (rows == 1) {
        bool blank = true;
        for (int c = 0; c < kColumns && blank; ++c) {
            auto it = cells_.find({c, 1});
            blank = it == cells_.end() || it->second.empty();
        }
        if (blank) rows = 0;
    }
    return rows < 0 ? 0 : rows;
}

void QtStringGrid::Sync() {
    QTableWidget* raw = w_.data();
    if (!raw) return;
    std::map<std::pair<int, int>, std::string> cells;
    int visible = 0;
    {
        std::lock_guard<std::mutex> lock(m_);
        cells = cells_;
        visible = VisibleRows();
    }
    QPointer<QTableWidget> guard = w_;
    postToGui(raw, [guard, cells = std::move(cells), visible] {
        if (!guard) return;
        QTableWidget* t = guard.data();
        const int current = t->currentRow();
        t->setRowCount(visible);
        for (int c = 0; c < kColumns; ++c) {
            auto head = cells.find({c, 0});
            const QString title = head == cells.end() ? QString() : toQt(head->second);
            QTableWidgetItem* h = t->horizontalHeaderItem(c);
            if (!h) t->setHorizontalHeaderItem(c, new QTableWidgetItem(title));
            else if (h->text() != title) h->setText(title);
        }
        for (int r = 0; r < visible; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                auto it = cells.find({c, r + 1});
                const QString text = it == cells.end() ? QString() : toQt(it->second);
                QTableWidgetItem* item = t->item(r, c);
                if (!item) t->setItem(r, c, new QTableWidgetItem(text));
                else if (item->text() != text) item->setText(text);
            }
        }
        if (current >= visible && visible > 0) t->selectRow(visible - 1);
    });
}

void QtStringGrid::setCell(int column, int row, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(m_);
        if (row >= rows_ || column < 0 || column >= kColumns || row < 0) return;
        cells_[{column, row}] = text;
    }
    Sync();
}

std::string QtStringGrid::cell(int column, int row) const {
    std::lock_guard<std::mutex> lock(m_);
    auto it = cells_.find({column, row});
    return it == cells_.end() ? std::string() : it->second;
}

int QtStringGrid::rowCount() const {
    std::lock_guard<std::mutex> lock(m_);
    return rows_;
}

void QtStringGrid::setRowCount(int rows) {
    {
        std::lock_guard<std::mutex> lock(m_);
        rows_ = rows < 2 ? 2 : rows;
        // A shrunk grid loses the cells of its dropped rows, as the control does.
        std::erase_if(cells_, [&](const auto& kv) { return kv.first.second >= rows_; });
    }
    Sync();
}

int QtStringGrid::currentRow() const {
    QTableWidget* raw = w_.data();
    if (!raw) return -1;
    int row = -1;
    QPointer<QTableWidget> guard = w_;
    runOnGui(raw, [&] {
        if (!guard) return;
        // The first selected row; none selected is none current.
        for (const QModelIndex& i : guard->selectionModel()->selectedRows())
            if (row < 0 || i.row() < row) row = i.row();
        if (row >= guard->rowCount()) row = -1;
    });
    return row < 0 ? -1 : row + 1;
}

void QtStringGrid::setCurrentRow(int row) {
    QTableWidget* raw = w_.data();
    if (!raw) return;
    QPointer<QTableWidget> guard = w_;
    postToGui(raw, [guard, row] {
        if (!guard) return;
        if (row >= 1 && row <= guard->rowCount()) {
            guard->setCurrentCell(row - 1, 0);
            guard->selectRow(row - 1);
        } else {
            guard->clearSelection();
        }
    });
}

void QtStringGrid::repaint() {
    QTableWidget* raw = w_.data();
    if (!raw) return;
    QPointer<QTableWidget> guard = w_;
    postToGui(raw, [guard] {
        if (guard) guard->viewport()->update();
    });
}

}  // namespace platform::qt
