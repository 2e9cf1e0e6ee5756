// The parameter text of a batch task row: file names and masks separated by
// blanks, a name with blanks in double quotes ("a b.sfv" *.mpg). And what the
// batch runs for archive and command tasks: the archiver's argv, the folder
// commands the program writes for itself (done as file operations), and
// where the archiver is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Splits a task's parameter text into its tokens. A double quote toggles the
// quoted state and stays in the token until the token ends; a blank outside
// quotes ends the token, so two blanks in a row give an empty token. Each
// token loses its surrounding quotes. The token still open at the end of the
// text counts only when it is not empty.
std::vector<std::string> SplitParameterText(const std::string& text);
// Where the token that starts at from ends: the blank after it, or the end.
size_t ParameterTokenEnd(const std::string& text, size_t from);

// A name of a stored row. Stored lists may carry "\" as a separator, but on
// Linux it is also a character of a name: a name is read with "\" as "/"
// only where it names nothing as written and the other reading leads
// somewhere (a file, or the folder a file or mask is to be found or made
// in). A name that leads nowhere either way keeps its "\" when it is to be
// made (or matched by the SFV checker, which reads it both ways), else takes
// "/" as before; a name that begins with a drive is always a Windows path.
std::string StoredName(const std::string& name, bool made);

// The archiver a task runs: the stored location when not empty, else the
// first of rar, unar and unrar in the folders of a PATH list.
std::string FindArchiver(const std::string& storedLocation, const std::string& pathList);
bool IsUnar(const std::string& archiverPath);
bool CanCreateRar(const std::string& archiverPath);

// unar: unar -q -f -D -o DIR -- ARCHIVE. Any other: the program, the words of
// its parameter setting, ARCHIVE and DIR ending in "/". Relative names are
// given as "./name", so that none begins with "-".
std::vector<std::string> DecompressArgv(const std::string& archiverPath, const std::string& archiverParam,
                                        const std::string& archive, const std::string& directory);
// The program, the words of the compress setting, the volume switches, the
// level and the delete switch from archiveOptions ("V/L/X", or empty for
// none), then the files (the archive first). The "-vn" switch is left out
// for a program that cannot be read or is 638464 bytes long.
std::vector<std::string> CompressArgv(const std::string& archiverPath, const std::string& compressParam,
                                      const std::string& archiveOptions, const std::vector<std::string>& files);

// The three folder commands a RAR load writes: mkdir "D", rmdir "D" /s /q
// and deltree /Y "D".
struct BuiltinCommand {
    enum Kind { kNone, kMakeFolder, kRemoveTree } kind = kNone;
    std::string folder;
};
BuiltinCommand RecogniseBuiltin(const std::string& commandLine);
// Makes the folder (and its parents); a folder already there is fine.
// Removes a folder and all in it without following a link. Empty on
// success, else what went wrong.
std::string RunBuiltin(const BuiltinCommand& command);
