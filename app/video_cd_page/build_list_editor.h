// The video-cd page's build list without its widgets: the editing rules
// (whole files removed, names in list order, pauses, the track limit), the
// spanning rebuild, the facts of a row and the texts of the two example
// boxes. The page hands it the list, its rows and the job; tests drive it
// with recording handles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disc/mpeg_file_list.h"

class TLanguageSet;
class TVcdTrackList;
struct TConfig;
struct TJob;

class TBuildListEditor {
public:
    // A disc holds 99 tracks and the first is the data track.
    static constexpr int kMaxTracksPerImage = 98;
    static constexpr int kMaxPause = 16;

    TBuildListEditor(TJob& job, TConfig& config, TMpegFileList& list, TVcdTrackList& rows);

    // The list's files in entry order, one per file (at its first piece).
    static std::vector<std::string> FileOrder(const TMpegFileList& list);

    // Adds one file. 0 added; the list's refusal (reported by the list); 12
    // when an image would hold more than kMaxTracksPerImage tracks (error 20,
    // nothing of the file stays).
    int AddFile(const std::string& path);
    // Adds every file in order; each refusal is reported, the others are
    // added. The first non-zero result, else 0.
    int AddFiles(const std::vector<std::string>& paths);

    // Removes the file of entry index (0-based) with all its pieces.
    void RemoveFileAt(int index);
    // Swaps entry index with its neighbour; false when it is at the end.
    bool MoveUp(int index);
    bool MoveDown(int index);
    // Makes the list anew with the capacity of the spanning now chosen: the
    // files in list order, each keeping its pause; image shifts go.
    void Respan();
    void Clear();
    void SetPause(int index, int seconds);

    // The largest number of tracks any image holds.
    int MostTracksInAnImage() const;
    // The byte span of every entry (the disk-space estimate).
    int64_t EstimateBytes() const;

    // After every change: names in list order, the job's multi-image byte.
    void ListChanged();

private:
    void Report(int kind, int index, const std::string& text);
    void RemoveEntries(size_t from, size_t to);

    TJob& job_;
    TConfig& config_;
    TMpegFileList& list_;
    TVcdTrackList& rows_;
};

// The four facts labels of an entry.
struct TRowFacts {
    std::string videoRes, vidBitrate, audInfo, audBitrate;
};
TRowFacts RowFacts(const TMpegFileInfo& entry, const TLanguageSet& texts);
// The labels' texts when no row is shown: each prefix + " : ".
TRowFacts EmptyRowFacts(const TLanguageSet& texts);

// A pause typed into the field: whole numbers 0 to 16, else nothing.
std::optional<int> ParsePause(const std::string& text);

// Multi-file naming: the pattern to keep (the typed one when the formatter
// takes it, else the one in force) and the example box's text for the
// output name (the names the engine gives outputs 1 and 2).
std::string AcceptedNamingPattern(const std::string& typed, const std::string& inForce);
std::string NamingExampleText(const std::string& outputName, const std::string& pattern, const TLanguageSet& texts);
// The volume-name example box: the labels the image build writes for
// images 1 and 2; nothing when the name is empty or holds no "%".
std::optional<std::string> VolumeExampleText(const std::string& volumeName, const TLanguageSet& texts);
