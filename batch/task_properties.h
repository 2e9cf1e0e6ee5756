// The task dialog's state and rules without its widgets: which controls a
// task type enables, the defaults kept in the registry, the record read
// into the dialog and written back on OK. The window is a view of it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "batch/batch_list.h"
#include "platform/registry.h"

enum TaskRadio : int {
    kLoadTaskRadio = 0,
    kArchiveRadio = 1,
    kUnarchiveRadio = 2,
    kExecuteRadio = 3,
    kCheckSfvRadio = 4,
    kCreateSfvRadio = 5,
};

struct ControlState {
    bool enabled = false;
    bool editable = false;  // edits: writable, in the window colour
    bool operator==(const ControlState&) const = default;
};

class TaskDialogModel {
public:
    // mode 0 new, 1 edit. outputFileName is the main window's output field
    // (the CD base name comes from it); imgNone its "don't span" choice.
    TaskDialogModel(TBatchTask& record, int mode, std::string outputFileName = "", bool imgNone = true);

    void LoadTaskDefaults(platform::Registry& registry);
    void SaveTaskDefaults(platform::Registry& registry) const;
    void LoadFromTask();
    // Checks the fields the type needs and fills the record; false (and the
    // record untouched) when one is missing or a name holds a double quote.
    bool Ok();

    // What the controls show.
    int type = kArchiveRadio;
    bool stopBatch = true, queryYes = true;
    int volume = 2;  // 0..3, -1 none ticked
    int compression = 0;
    int sourceChoice = 0;  // 0 selected files, 1 previous task's output
    bool fileInFolder = false, createSfvRar = false, deleteTask = false, yesDelete = false;
    std::string taskProfile, archiveName, archiveDest, extCmdLine, selFiles, sfvFile, cdArchiveName;

    // Handlers of the controls that change other controls.
    void setType(int radio);
    void setSource(int choice);  // 0 or 1
    void setFileInFolder(bool on);
    void setCreateSfvRar(bool on);
    // Pickers' results.
    void archivesChosen(const std::vector<std::string>& files);
    void sfvChosen(const std::string& file);
    void programChosen(const std::string& file);
    void filesChosen(const std::vector<std::string>& files);

    bool cdFolders() const { return type == kArchiveRadio && fileInFolder && sourceChoice == 1; }
    // Several archives only for a decompression: the ticked type decides.
    bool multiSelectArchives() const { return type == kUnarchiveRadio; }
    std::string exampleLabel() const;
    // Enabled and editable states by object name.
    std::map<std::string, ControlState> States() const;

private:
    void FillCdName();
    TBatchTask& record_;
    int mode_;
    std::string outputFileName_;
    bool imgNone_;
    // What an edited decompression row held, so that OK on it unchanged
    // writes the same row back.
    std::string loadedDest_;
    bool loadedDeleteRow_ = false;
    // And a compression row without options.
    bool loadedNoOptions_ = false;
};

// A program path as sh reads it back unchanged: in double quotes when it
// holds none of $ ` \ ", else in single quotes.
std::string QuoteProgramForShell(const std::string& path);
