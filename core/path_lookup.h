// Finding a file that a stored sheet or list names: the name may have been
// written on another system, with "\" separators, a drive letter, or another
// letter case than the file on disk.
#pragma once

#include <string>

// The regular file that name refers to, looked up from the folder of the
// sheet that holds it: first as written (relative names taken from sheetDir),
// then its trailing path parts (longest first, down to the bare name) below
// sheetDir, each part matched exactly or, failing that, ignoring ASCII case.
// Returns the path that exists, or an empty string. sheetDir may be empty
// (the current directory) and may end in a separator.
std::string ResolveNamedFile(const std::string& sheetDir, const std::string& name);


// The file beside path that has the given extension (a cue sheet beside its
// bin): path itself when its own extension is that one in any letter case
// (MOVIE.CUE), else the sibling found ignoring case (MOVIE.BIN -> MOVIE.CUE),
// else path with its extension replaced by the given one, for the message
// that it cannot be opened.
std::string SiblingWithExtension(const std::string& path, const std::string& extension);
