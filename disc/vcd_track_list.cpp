#include "disc/vcd_track_list.h"

#include <utility>

#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "disc/mpeg_file_list.h"

namespace {

const TLanguageSet& BuiltInTexts() {
    static const TLanguageSet texts;
    return texts;
}

}  // namespace

TVcdTrackList::TVcdTrackList(TJob* job, platform::StringGrid* grid, const TLanguageSet* texts)
    : grid_(grid), job_(job), texts_(texts) {
    SetHeaders();
}

TVcdTrackList::TVcdTrackList() : rowCount_(1), currentRow_(1) {}

void TVcdTrackList::SetHeaders(const TLanguageSet* texts) {
    texts_ = texts;
    SetHeaders();
}

void TVcdTrackList::SetHeaders() {
    if (!grid_) return;
    const TLanguageSet& t = texts_ ? *texts_ : BuiltInTexts();
    grid_->setCell(0, 0, "+");
    grid_->setCell(1, 0, "#");
    grid_->setCell(2, 0, t.component(msg::component::kSource));
    grid_->setCell(3, 0, t.component(msg::component::kPlaytime));
}

int TVcdTrackList::CurrentRow() const {
    if (!grid_) return currentRow_;
    return grid_->currentRow();
}

void TVcdTrackList::AddRow(int32_t image, int32_t track, const std::string& name, const std::string& timeText) {
    ++rowCount_;
    if (!grid_) {
        currentRow_ = rowCount_;
        return;
    }
    // The grid always shows one blank row: the first entry fills it.
    if (grid_->rowCount() <= rowCount_) grid_->setRowCount(rowCount_ + 1);
    grid_->setCell(0, rowCount_, std::to_string(image));
    grid_->setCell(1, rowCount_, std::to_string(track));
    grid_->setCell(2, rowCount_, name);
    grid_->setCell(3, rowCount_, timeText);
    grid_->setCurrentRow(rowCount_);
}

void TVcdTrackList::BlankRow(int row) {
    for (int c = 0; c < kColumns; ++c) grid_->setCell(c, row, "");
}

void TVcdTrackList::DeleteRow(int index) {
    const int row = index + 1;
    if (rowCount_ == 0 || row < 1 || row > rowCount_) return;
    const bool last = row == rowCount_;
    if (grid_) {
        BlankRow(row);
        for (int b = row; b < rowCount_; ++b) {
            grid_->setCell(2, b, grid_->cell(2, b + 1));
            grid_->setCell(3, b, grid_->cell(3, b + 1));
            grid_->setCell(2, b + 1, "");
            grid_->setCell(3, b + 1, "");
        }
    }
    --rowCount_;
    if (grid_) {
        const int rows = grid_->rowCount() - 1;
        grid_->setRowCount(rows < 2 ? 2 : rows);
    }
    if (rowCount_ > 0) {
        const int current = last ? rowCount_ : row;
        if (grid_)
            grid_->setCurrentRow(current);
        else
            currentRow_ = current;
    }
    // Without a grid nothing stays selected once the last row is gone.
    if (!grid_ && rowCount_ == 0) currentRow_ = -1;
}

void TVcdTrackList::SwapRows(int a, int b) {
    if (a < 0 || b < 0 || a >= rowCount_ || b >= rowCount_) return;
    if (!grid_) return;
    for (int c = 2; c < kColumns; ++c) {
        std::string ta = grid_->cell(c, a + 1), tb = grid_->cell(c, b + 1);
        grid_->setCell(c, a + 1, tb);
        grid_->setCell(c, b + 1, ta);
    }
    grid_->repaint();
}

void TVcdTrackList::SelectRow(int index) {
    if (rowCount_ == 0 || index < 0 || index >= rowCount_) return;
    if (grid_)
        grid_->setCurrentRow(index + 1);
    else
        currentRow_ = index + 1;
}

bool TVcdTrackList::IsSelected(int index) const { return rowCount_ != 0 && CurrentRow() == index + 1; }

void TVcdTrackList::Clear() {
    if (grid_) {
        for (int r = 1; r <= rowCount_; ++r) BlankRow(r);
        grid_->setRowCount(2);
    } else {
        currentRow_ = -1;
    }
    rowCount_ = 0;
}

void TVcdTrackList::Renumber() {
    if (!grid_ || !job_ || !job_->mpegList) return;
    const auto& entries = job_->mpegList->entries;
    for (int r = 1; r <= rowCount_ && r <= int(entries.size()); ++r) {
        grid_->setCell(0, r, std::to_string(entries[size_t(r - 1)].image));
        grid_->setCell(1, r, std::to_string(entries[size_t(r - 1)].trackInImage));
    }
}
