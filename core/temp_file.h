// Unique temporary files and folders. Names are never fixed or time-based:
// each is created exclusively, so two jobs (or two programs) cannot share one.
#pragma once

#include <string>

// TMPDIR when set and not empty, else "/tmp"; without a trailing "/".
std::string TempDir();

// Creates a new empty file <dir>/<prefix><random><suffix> with O_EXCL (mode
// 0600) and returns its path, or "" when none could be made. An empty dir
// means TempDir(). The caller removes the file.
std::string CreateTempFile(const std::string& prefix, const std::string& suffix = "",
                           const std::string& dir = "");

// Same for a new empty folder (mode 0700).
std::string CreateTempDir(const std::string& prefix, const std::string& dir = "");

// The file a save through path replaces: the end of the chain of symbolic
// links at path (a relative target counts from its link's folder), or path
// itself. A save renames its temporary file over this, so links stay links.
std::string SaveTarget(const std::string& path);

// A save of a whole file: the new contents go to a private file beside the
// file a save through path replaces (SaveTarget), which takes that file's
// name only at Commit. A failed save so leaves the old file as it was, and
// links stay links. The file keeps the mode of the one it replaces; a new
// one gets 0644, an ordinary document's.
class TReplacement {
public:
    explicit TReplacement(const std::string& path);
    ~TReplacement();  // the temporary file goes unless committed
    TReplacement(const TReplacement&) = delete;
    TReplacement& operator=(const TReplacement&) = delete;
    // Where to write; empty when none could be made (or a folder stands at the target).
    const std::string& temp() const { return temp_; }
    const std::string& target() const { return target_; }
    // Gives the written file its mode and the target's name; false leaves
    // the target as it was.
    bool Commit();

private:
    std::string target_, temp_;
    unsigned mode_ = 0644;
    bool committed_ = false;
};
