// The state of an open or save dialog (the engine and the window carry the
// current source and output names in it) and the seam that shows it.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FileDialogState {
    std::string FileName;
    std::vector<std::string> Files;  // every name chosen when several may be
    std::string Filter;              // "text|*.ext;*.ext|text|*.ext"
    int FilterIndex = 1;
    std::string InitialDir;
    std::string DefaultExt;
    std::string Title;
    bool multiSelect = false;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Shows the dialog; on OK fills FileName (and Files) and returns true.
    virtual bool executeOpen(FileDialogState& state) = 0;
    virtual bool executeSave(FileDialogState& state) = 0;
    // Folder picker; returns true and sets dir on OK.
    virtual bool selectDirectory(const std::string& caption, std::string& dir) = 0;
};

}  // namespace platform
