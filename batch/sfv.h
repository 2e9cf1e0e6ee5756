// SFV checksum files: text files that list file names, each with the CRC-32
// of the file's contents. TSfvChecker creates them from masks and checks
// files against them, for the batch's SFV tasks and a RAR load's SFV check.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_io.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/string_grid.h"

class TLanguageSet;

// One line of an SFV file that is not a comment.
struct SfvEntry {
    std::string name;
    uint32_t crc = 0;
    bool hasCrc = false;  // false: a line of another form; name holds the whole line
};

// The entries of an SFV file's text, in file order. Lines end in LF or CR LF;
// a line beginning with ";", a blank or a control character is skipped. The
// CRC is the last blank-separated token, of 1 to 8 hexadecimal digits, and
// the name is the text before it without the blanks in between, so names
// may hold blanks.
std::vector<SfvEntry> ParseSfvText(std::string_view text);
// One line of that text, without its line end; false for a skipped line.
bool ParseSfvLine(std::string_view line, SfvEntry& entry);

// Whether a file name matches a mask: "*" and "?" are the only wildcards,
// ASCII letters compare without regard to case, and a mask ending in ".*"
// also matches a name without a dot ("*.*" matches every name).
bool MatchesMask(std::string_view mask, std::string_view name);

// Where the checker reports, and what can stop it.
struct SfvContext {
    std::shared_ptr<const TLanguageSet> languageSet;  // built-in English texts when empty
    platform::ListBox* log = nullptr;                 // the main window's log list
    platform::GridCell* status = nullptr;             // the task's status cell
    platform::Dialogs* dialogs = nullptr;
    TStats* stats = nullptr;
    // As in SearchContext: reading 0 here stops the checker between two blocks.
    const std::atomic<uint8_t>* running = nullptr;
};

class TSfvChecker {
public:
    // Values of lastError.
    enum : int32_t {
        kNoError = result::kOk,
        kStopped = result::kCancelled,
        kCannotOpen = result::kCannotOpen,
        kNoMemory = result::kNoMemory,
    };
    static constexpr size_t kBlockSize = 1 << 20;
    // The longest SFV line taken: a name of any length a folder holds, a
    // blank and a CRC, with room to spare. Longer lines are no entries.
    static constexpr size_t kMaxLineLength = 4096;

    // Takes the prompt flags and the quiet flag of the options now, so that
    // a change in the options window cannot reach a check under way.
    TSfvChecker(const TConfig& config, SfvContext context);
    ~TSfvChecker();
    TSfvChecker(const TSfvChecker&) = delete;
    TSfvChecker& operator=(const TSfvChecker&) = delete;

    // Parameters: the SFV file, then one or more masks. True when the SFV
    // file was written in full and every mask listed all its files.
    bool CreateSfv(const std::string& parameters);
    // Parameters: the SFV file, then the files to check; without files every
    // entry is checked. True when every file checked matched.
    bool VerifySfv(const std::string& parameters);

    // zlib's running CRC-32: start from 0; the value after the last block is
    // the CRC of the bytes.
    static uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);
    // The CRC of a file's contents, showing progress in the status cell. With
    // lastError set (the file cannot be read, no memory, or a stop) the value
    // is not a CRC.
    uint32_t FileCrc32(const std::string& path);

    int OpenSfvForWriting(const std::string& path);  // 0, or result::kCannotOpen after error kCannotOpen
    int OpenSfvForReading(const std::string& path);  // 0, or result::kCannotOpen after error kCannotOpen
    int AddSfvEntries(const std::string& mask);      // 1 when every match was listed, else 0
    bool CheckAllSfvEntries();
    int CheckSfvEntry(const std::string& path);  // 1 when the file matches its entry, else 0
    // Closes the SFV file. False, after error 9 naming it, when a line could
    // not be written or the close failed.
    bool CloseSfv();

    // What the batch adds to the generated files: after a successful create
    // the SFV file as "\"path\" ", otherwise nothing.
    const std::string& outputText() const { return outputText_; }

    // Reports what escaped a call as an error and closes the SFV file.
    void ReportEscaped(std::exception_ptr caught);

    int32_t lastError = kNoError;

private:
    const TLanguageSet& texts() const;
    void Log(const std::string& line);
    void LogFile(const std::string& name, const std::string& verdict);
    void ReportError(int index, const std::string& context);
    bool Stopped() const;
    void ShowProgress(uint64_t done, uint64_t length, int& shown);
    void WriteLine(const std::string& line);
    bool FlushPending();
    // The file an entry names, looked up beside the SFV file, then as written;
    // empty when nothing stands there.
    std::string LocateListed(const std::string& name) const;
    bool Matches(const SfvEntry& entry, const std::string& path);
    bool ReadFailed();  // reports the SFV file as unreadable, unless stopped

    int16_t promptFlags_ = 0;
    uint8_t quiet_ = 0;
    SfvContext context_;
    std::string sfvPath_;
    // Writing: the open SFV file, the lines not yet handed to the system, and
    // whether a write failed; its identity keeps it out of its own listing.
    int writeFd_ = -1;
    std::string pending_;
    bool writeFailed_ = false;
    uint64_t sfvDevice_ = 0, sfvInode_ = 0;
    size_t listed_ = 0;  // lines written by this create
    // Checking: the SFV file, read a line at a time, never held whole.
    enum class Next { kEntry, kTooLong, kEnd, kFailed };
    Next NextEntry(SfvEntry& entry);
    TLineReader reader_;
    std::string outputText_;
};
