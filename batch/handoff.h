// The main window's side of the batch without the window: what a RAR load
// and a load of several sources become (temporary task projects and the
// rows that run them), and the output name of each source.
#pragma once

#include <string>
#include <vector>

#include "batch/batch_list.h"
#include "engine/source_loader.h"  // LoadsSeveralSources, OutputNamesForSources
#include "engine/task_project.h"

// The method an archive's task project extracts with (cue/bin or bin, by
// the archive method); -1 for any other.
int ArchiveTargetMethod(int method);

// Writes a task project to a new "~<unique>_tmp.ktp" in tempDir, created
// exclusively: 0 and its path, or msg::error::kCannotCreate with nothing left
// behind.
int WriteTempTaskProject(const TaskProject& project, const std::string& tempDir, std::string& path);

// The folder commands the rows of an archive carry; the sequencer carries
// them out as file operations.
std::string MakeFolderCommand(const std::string& folder);
std::string RemoveFolderCommand(const std::string& folder);

struct HandoffTasks {
    std::vector<std::string> projects;  // temporary projects written
    std::vector<std::string> folders;   // private decompression folders made
    std::vector<std::string> refused;   // sources or archives that gave no task
};

// One task per source: the page's project with that source as its only
// input and that output, and no track selection (the page's selection
// belongs to another source).
HandoffTasks AddSourceTasks(BatchList& list, const TaskProject& page, const std::vector<std::string>& sources,
                            const std::vector<std::string>& outputs, const std::string& tempDir);

// The rows of each archive, in order: the SFV check of name.sfv when asked,
// mkdir of a private folder made for it, its decompression into that
// folder, a task project that takes its input from the decompression
// (target method, no input, the archive's folder as output, no selection),
// and the folder's removal. An archive whose rows cannot be written (a name
// holding a double quote, no folder or project can be made) adds no row.
HandoffTasks AddArchiveTasks(BatchList& list, const TaskProject& page, const std::vector<std::string>& archives,
                             bool sfvCheck, const std::string& tempDir);

// The folder of this user's own under base (TEMP) that holds the hand-off's
// temporary projects: made with mode 0700 when missing; "" when it cannot be
// made (or, without create, is not there), or when what stands there is not a folder this user owns.
std::string HandoffFolder(const std::string& base, bool create = true);

// The temporary projects a running program holds. Each is kept open under a
// shared lock until Release, so that another copy's sweep leaves it alone.
class TempProjectHolds {
public:
    TempProjectHolds() = default;
    TempProjectHolds(const TempProjectHolds&) = delete;
    TempProjectHolds& operator=(const TempProjectHolds&) = delete;
    ~TempProjectHolds() { Release(); }
    void Hold(const std::string& path);
    const std::vector<std::string>& paths() const { return paths_; }
    // Drops the locks; the files stay.
    void Release();

private:
    std::vector<std::string> paths_;
    std::vector<int> fds_;
};

// Removes every "~*_tmp.ktp" in folder that no running program holds and
// that is older than a minute (its writer may not hold it yet), but not
// those of keep, nor those an earlier sweep was told to keep. The paths
// of keep are remembered in the folder for later sweeps (a saved batch list
// names them). Returns the number removed.
int SweepTempProjects(const std::string& folder, const std::vector<std::string>& keep);
