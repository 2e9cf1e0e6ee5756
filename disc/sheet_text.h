// What the cue and toc readers share: splitting a sheet into lines and
// words, its numbers and mm:ss:ff times, and finding and opening the image
// the sheet names.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "disc/track_table.h"

struct TJob;
struct TConfig;
struct TJobControls;

struct SheetWord {
    std::string text;
    bool quoted = false;
};

// Real sheets are a few kilobytes; a larger file is no sheet and is not
// read into memory.
inline constexpr size_t kMaxSheetBytes = size_t{1} << 20;

// Every line of the stream, without line ends (LF or CRLF) and without a
// UTF-8 byte-order mark at the start. False, and no lines, when the stream
// holds more than kMaxSheetBytes.
bool ReadSheetLines(std::istream& in, std::vector<std::string>& lines);

// Splits a line at blanks and tabs; a word that begins with a double quote
// runs to the next double quote, blanks included, and loses both quotes.
// With slashComments, "//" outside quotes ends the line. False when a quote
// is not closed.
bool SplitSheetWords(const std::string& line, bool slashComments, std::vector<SheetWord>& words);

// Decimal digits only, at most max.
bool ParseSheetNumber(const std::string& text, int64_t max, int64_t& value);
// "mm:ss:ff" with up to three digits of minutes, seconds below 60 and frames
// below 75.
bool ParseSheetTime(const std::string& text, int32_t& minutes, int32_t& seconds, int32_t& frames);
inline int64_t SheetFrames(int32_t minutes, int32_t seconds, int32_t frames) {
    return int64_t{minutes} * 4500 + int64_t{seconds} * 75 + frames;
}

// Where a sheet reader reports and asks.
struct SheetServices {
    const TJobControls* controls = nullptr;
    const TConfig* options = nullptr;
    void Error(int index, const std::string& context) const;
    // A refusal the message texts have no entry for: one log line of our
    // own, counted as an error.
    void Refuse(const std::string& line) const;
    // A batch task, the passive mode or no dialog to show: nobody to ask.
    bool Unattended() const;
};

// Opens the image a sheet names: the name as written or as found beside the
// sheet, else (unless unattended) the file the user picks in the open dialog.
// Reports errors 1 and 6 on failure. On success opened is the path that
// opened.
bool OpenSheetImage(const SheetServices& services, TFileIO& image, const std::string& sheetDir,
                    const std::string& name, const std::string& filter, std::string& opened);

// Where one track of a sheet lies.
struct SheetTrack {
    int32_t minutes = 0, seconds = 0, frames = 0;
    int32_t sectorSize = 0;
    int64_t start = 0, end = 0;
};

// Writes the tracks into rows 0.. of the table, adding rows only where the
// table has none, and makes the last of them the table's last index.
template <class Track>
void StoreSheetTracks(TTrackTable& table, const std::vector<Track>& tracks) {
    for (size_t i = 0; i < tracks.size(); ++i) {
        while (table.minutes.size() <= i || table.seconds.size() <= i || table.frames.size() <= i ||
               table.sectorSize.size() <= i || table.start.size() <= i || table.end.size() <= i)
            table.AppendTrack();
        const SheetTrack& t = tracks[i];
        table.minutes[i] = t.minutes;
        table.seconds[i] = t.seconds;
        table.frames[i] = t.frames;
        table.sectorSize[i] = t.sectorSize;
        table.start[i] = t.start;
        table.end[i] = t.end;
    }
    table.lastIndex = static_cast<int32_t>(tracks.size()) - 1;
}

// What the cue and toc readers hold: the sheet, the image it names and the
// job whose table it fills. Construct, Open, Parse (in the reader), delete.
class TSheetReader {
public:
    // controls: where errors go and the missing-image dialog comes from;
    // the job's own controls block when not given.
    TSheetReader(TJob* job, TConfig* options, const TJobControls* controls);
    ~TSheetReader();
    TSheetReader(const TSheetReader&) = delete;
    TSheetReader& operator=(const TSheetReader&) = delete;

    int Open(const std::string& path);  // 0, or msg::error::kCannotOpen
    // Closes and deletes the image file object and closes the sheet.
    void Close();

    std::unique_ptr<TFileIO> imageFile;
    std::unique_ptr<std::istream> sheetFile;
    TJob* job = nullptr;
    TConfig* options = nullptr;
    TTrackTable* trackTable = nullptr;

protected:
    // Reads the open sheet's lines and closes it; false when there is no
    // sheet or job to read into (nothing reported) or the sheet is too large
    // (reported as error 5).
    bool TakeLines(std::vector<std::string>& lines);
    // Reports the error, closes the image and gives Parse's failure result.
    int Fail(int index, const std::string& context);
    SheetServices Services() const { return SheetServices{controls_, options}; }

    const TJobControls* controls_ = nullptr;
    std::string sheetPath_;
};
