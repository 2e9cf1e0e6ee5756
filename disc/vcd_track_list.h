// The rows of the video-cd build list grid, kept in step with the MPEG file
// list: image number, track within the image, path and play time. The list
// owns no data but its row count (and, without a grid, the current row).
#pragma once

#include <cstdint>
#include <string>

#include "platform/string_grid.h"

class TLanguageSet;
struct TJob;

class TVcdTrackList {
public:
    // Writes the header cells. texts may be null (the built-in English).
    TVcdTrackList(TJob* job, platform::StringGrid* grid, const TLanguageSet* texts = nullptr);
    // Without a grid or a job (the sample clip editor's plain-file mode): one
    // row, selected. Every operation then works on the row count alone.
    TVcdTrackList();

    static constexpr int kColumns = 4;

    void SetHeaders();
    void SetHeaders(const TLanguageSet* texts);  // after a language change
    // Appends a row and makes it current.
    void AddRow(int32_t image, int32_t track, const std::string& name, const std::string& timeText);
    // Indices are 0-based entries; grid row = index + 1.
    void DeleteRow(int index);
    void SwapRows(int a, int b);  // path and time cells only; Renumber does the rest
    void SelectRow(int index);
    bool IsSelected(int index) const;
    void Clear();
    // Columns 0 and 1 from the job's build list (image, track in image).
    void Renumber();

    int32_t RowCount() const { return rowCount_; }
    // 1-based current data row, or -1 when nothing is selected.
    int CurrentRow() const;
    platform::StringGrid* Grid() const { return grid_; }

private:
    void BlankRow(int row);

    platform::StringGrid* grid_ = nullptr;
    TJob* job_ = nullptr;
    const TLanguageSet* texts_ = nullptr;
    int32_t rowCount_ = 0;
    int currentRow_ = -1;  // used only without a grid
};
