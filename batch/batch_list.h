// The batch task list: the task record the task dialog edits, the rows it
// becomes, and the row operations of the batch window. The window's grid is a
// view of this list; the sequencer reads each task back from its row.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Column 1's texts and the pieces of column 3 are the list file's format:
// always these English texts, never translated.
inline constexpr std::array<std::string_view, 7> kTaskTypeTexts{
    "Load task project", "Compress archive",  "Decompress archive", "Execute command",
    "Verify SFV file",   "Create SFV file",   "Delete RAR archive"};
enum TaskType : int16_t {
    kLoadProjectTask = 0,
    kCompressTask = 1,
    kDecompressTask = 2,  // with deleteArchive 1: "Delete RAR archive"
    kCommandTask = 3,
    kVerifySfvTask = 4,
    kCreateSfvTask = 5,
};
enum : int16_t { kStopBatch = 4, kContinueBatch = 5, kQueryYes = 6, kQueryNo = 7 };
inline constexpr int16_t kNoArchiveOptions = -2;

struct TBatchTask {
    int16_t number = 0;  // the row being added or edited
    int16_t type = 0;
    int16_t onError = kStopBatch;
    int16_t onQuery = kQueryYes;
    // compress: 0 none, 1 15 MB, 2 20 MB, 3 50 MB; both kNoArchiveOptions for
    // a row without options (the archiver's own defaults)
    int16_t volumeSize = 0;
    int16_t compression = 0;  // compress: 0..5
    uint8_t fromSelectedFiles = 0;
    uint8_t sfvForRar = 0;
    uint8_t inCdFolders = 0;
    uint8_t deleteAfterArchiving = 0;
    uint8_t deleteArchive = 0;
    std::string params;
    std::string destination;
    std::string selectedFiles;  // each as "name" and a blank
    std::string sfvName;
    std::string volumeMask;
};

// Columns 0..5: number, type text, status, options, parameters, archive
// options ("V/L/X", compress rows only).
using TaskRow = std::array<std::string, 6>;

// The type code of a column 1 text (deleteArchive set for "Delete RAR
// archive"); any other text reads as a command, as the dialog reads it.
int16_t TaskTypeOf(const std::string& text, uint8_t* deleteArchive = nullptr);
bool IsTaskTypeText(const std::string& text);
std::string TaskTypeText(int16_t type, uint8_t deleteArchive);
std::string TaskOptionsText(int16_t onError, int16_t onQuery);
// Column 5 read as "%d/%d/%d" reads it: how many of the three numbers
// were read (each clamped to the int range), the ones not read left alone.
int ScanArchiveOptions(const std::string& text, int* volume, int* level, int* deleteFlag);
// Options an archiver can be given: three numbers, V 0..3, L 0..5, any X
// (not 0: delete, given as 1); false for anything else.
bool ParseArchiveOptions(const std::string& text, int* volume, int* level, int* deleteFlag);
// A name goes between double quotes in a row, so it cannot hold one.
inline bool QuotableName(const std::string& name) { return name.find('"') == std::string::npos; }

// What the CD-folder expansion of a compress task needs from the main window.
struct CdFolderSource {
    int buildListRows = 0;   // rows of the video-cd build list
    int imageCount = 0;      // images of the job's track table
    std::string outputDir;   // folder of the output file field, ending in "/"
};

class BatchList {
public:
    TBatchTask task;

    int taskCount() const { return static_cast<int>(rows_.size()); }
    // Rows are numbered from 1, as in the grid.
    const TaskRow& row(int r) const { return rows_.at(static_cast<size_t>(r - 1)); }
    const std::string& cell(int r, int column) const { return row(r).at(static_cast<size_t>(column)); }
    bool validRow(int r) const { return r >= 1 && r <= taskCount(); }
    void setStatus(int r, const std::string& text);

    // Column 1, 3, 4 and (compress only, emptied otherwise) 5 of row r from
    // the task record.
    void WriteTaskRow(int r);
    // onError and onQuery of the record from column 3 of row r.
    void ParseTaskOptions(int r);
    static void ParseTaskOptions(const std::string& text, int16_t* onError, int16_t* onQuery);
    // The record from row r, for editing; false for a row that is not there.
    bool ReadTaskRow(int r);
    // The edited record written back over row r; refused while a batch runs.
    bool UpdateRow(int r);

    // The record, as the task dialog left it, becomes its rows at the end:
    // one per "<+>" archive, a "Delete RAR archive" row after each
    // decompression when asked, the CD folders' archives and SFV rows.
    // Column 0 is always the row's index. Returns the rows added.
    int AddTaskFromRecord(const CdFolderSource& cd = {});

    // The entry points of the main window: stop on error, answer yes. The
    // ones that quote names refuse a name holding a double quote.
    void AddLoadProjectTask(const std::string& path);
    bool AddSfvTask(const std::string& first, const std::string& second);
    bool AddDecompressTask(const std::string& archive, const std::string& directory);
    void AddCommandTask(const std::string& commandLine);

    // Row operations; all refused while a batch runs (false) and for rows
    // that are not tasks. Move returns the row the task went to, 0 when
    // nothing moved.
    bool Remove(int r);
    int MoveUp(int r);
    int MoveDown(int r);
    bool Clear();
    // Rows read from a list file (columns 1, 3, 4, 5), appended at once.
    bool AppendStored(const std::vector<std::array<std::string, 4>>& tasks);
    std::vector<std::array<std::string, 4>> Stored() const;

    // While a batch runs the list only grows at its end.
    void setLocked(bool on) { locked_ = on; }
    bool locked() const { return locked_; }

    // Called after every change, with the first row that changed (0: all).
    std::function<void(int)> changed;

private:
    int AppendRow();
    void Notify(int r) {
        if (changed) changed(r);
    }
    void EmitRows(const CdFolderSource& cd);
    std::vector<TaskRow> rows_;
    bool locked_ = false;
};
