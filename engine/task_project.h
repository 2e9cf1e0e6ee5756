// The task project file (.ktp): one page of the main window kept for later
// or handed to the batch runner. A plain record, a parser that checks the
// whole file before anything is taken from it, and a writer. Names are bytes
// and need not be UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kTaskProjectHeaderSize = 152;
// Room for the video-cd page's most files (the count is a signed 16-bit
// field) with paths of some 500 bytes each.
inline constexpr size_t kTaskProjectMaxBytes = size_t{16} << 20;
inline constexpr int kTaskProjectMaxFiles = 32767;
inline constexpr size_t kTaskProjectRows = 101;
inline constexpr size_t kTaskProjectClipBytes = 28;
inline constexpr int kTaskProjectMaxSectorSize = 9999;

// Offsets of the option bytes, counted from the first (header byte 20).
enum TaskProjectOption : int {
    kOptFixErrors = 0,  // video-cd page: spanning 0 none, 1 74 min, 2 80 min
    kOptBumper = 1,     // video-cd page: add a sample clip
    kOptForceRead = 2,
    kOptForceWrite = 3,
    kOptTrackZero = 4,
    kOptSfvCheck = 5,
    kOptToast = 6,
    kOptSubtitles = 7,
};

struct TaskProject {
    int pageMode = 0;  // 0 extraction, 1 video-cd
    int method = 0;    // item of the page's method list
    // 0 or 1 each; on the video-cd page byte 0 is the spanning (0..2), byte
    // 1 the sample clip and the rest 0.
    std::array<uint8_t, 8> options{};
    int32_t forcedReadSize = 0;
    int32_t forcedWriteSize = 0;
    bool selectionActive = false;
    std::array<uint8_t, kTaskProjectRows> selectedRows{};  // 0 or 1; all 0 unless active
    std::string volumeName;
    std::array<uint8_t, kTaskProjectClipBytes> sampleClip{};  // as stored
    std::string sampleClipName;
    std::string outputName;
    std::vector<std::string> inputs;

    bool operator==(const TaskProject&) const = default;
};

// Methods of each page and the inputs a page may keep.
int TaskProjectMethodCount(int pageMode);
int TaskProjectMaxInputs(int pageMode);

// Parses a whole file. False (and `out` untouched) on anything the format
// does not allow: a short or oversized file, another magic or version, an
// unknown page or method, forced sizes the fields cannot hold, an input
// count off the page's range, a length past the end, a name holding a 0
// byte, or bytes after the last name.
bool ParseTaskProject(const uint8_t* data, size_t size, TaskProject& out);

// The file's bytes, or false when the record cannot be written as it is (a
// field off its range, a name longer than its length can count, too many
// inputs for the page, or more bytes than a reader takes).
bool EncodeTaskProject(const TaskProject& project, std::string& bytes);

// Reads and parses a project file: 0, or the error to report:
// msg::error::kCannotOpen it cannot be opened or is not a regular file,
// kInvalidProject it is no valid project.
int ReadTaskProjectFile(const std::string& path, TaskProject& out);

// Writes the bytes to a new file beside path and renames it over path, so a
// failed write leaves no partial file and an existing project as it was:
// 0, or msg::error::kCannotCreate the file cannot be made.
int WriteTaskProjectFile(const std::string& path, const std::string& bytes);
