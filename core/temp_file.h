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
