// The window-free half of source loading: the directory scan of bin, cif and
// nrg images, the volume label, the track list lines and the track
// selection. The main window and run_job both load images through here, so
// they list the same tracks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/message_reporter.h"
#include "core/records.h"
#include "platform/controls.h"

class TLanguageSet;
class TTrackTable;

// Where load-time messages go: the reporter's services and the options'
// prompt flags and quiet byte, into the log list.
struct LoadReporter {
    MessageServices services;
    uint8_t quiet = 0;        // TConfig.DisableAudioWarningBell
    int16_t promptFlags = 0;  // TConfig.DisableErrorPrompts
    platform::ListBox* log = nullptr;

    static LoadReporter For(const MessageServices& services, const TConfig& config, platform::ListBox* log);
    int report(int kind, int index, const std::string& text) const;
};

// Bytes taken off each track length found in an image's directory.
inline constexpr int32_t kBinTrackLengthAdjust = 0;
inline constexpr int32_t kNrgTrackLengthAdjust = 139440;  // 60 x 2324
inline constexpr int32_t kCifTrackLengthAdjust = 174300;  // 75 x 2324

// Scans the image's ISO 9660 track directory (AVSEQnn or MUSICnn records)
// and lists its tracks. On 0: the job's track table holds row 0 (zero) and
// one row per track from 1 (start, end, time), first track 1, last track =
// last index = the track count; `trackLengths` (when given) holds the length
// of track k at k - 1; the list box (when given) one line per track; the
// start button (when given) is enabled. An image that ends inside a track
// lists that track and the ones after it too, their start and end held to
// the image's end and their lengths and times as the directory states them.
// Results: 0; result::kCannotOpen the
// image cannot be opened (error kCannotOpen); kNoMpegStream no tracks or a
// broken directory (error kNoVideoTracks), or no sector size (error
// kUnknownSectorSize). On a failure the track table, the list box and the
// lengths are left as they were and the start button is disabled, so a
// refused image can never start a job on the previous image's tracks.
// Uses job.readSectorSize; makes job.trackTable when missing.
int GetFilesFromTOC(const std::string& imagePath, TJob& job, int32_t trackLengthAdjust, platform::ListBox* listBox,
                    platform::Button* startButton, const LoadReporter& reporter,
                    std::vector<int64_t>* trackLengths = nullptr);

// The source set-up of the three image kinds, so every caller lists an
// image the same way: the job's read sector size (bin: detected from the CD
// sync, nrg 2336, cif 2332) and the kind's length adjust, then
// GetFilesFromTOC. A bin that cannot be opened gives error 6 and 4. A
// usable forced read size (Force Read ticked) stands for a bin's detection.
enum class DiscImageKind { Bin, Nrg, Cif };
int ScanDiscImage(DiscImageKind kind, const std::string& imagePath, TJob& job, platform::ListBox* listBox,
                  platform::Button* startButton, const LoadReporter& reporter,
                  std::vector<int64_t>* trackLengths = nullptr, int32_t forcedReadSize = 0);

class TFileIO;

// An nrg's layout around the disc sectors: where they end (its footer
// follows them; the file's size when it has none), and the bytes in front
// of the first one (by where its volume descriptor lies; -1 when neither
// place holds it). Both leave the file at its start.
uint64_t NeroDataEnd(TFileIO& file);
int64_t NeroLead(TFileIO& file);
// The bytes in front of a cif's first disc sector: up to the end of the
// block that follows its second RIFF header; -1 when it has none.
int64_t CifLead(TFileIO& file);

// Where, by the image's own track directory, the file of the MPEG track
// that begins at `trackStart` (or first after it, behind a pregap) ends:
// the byte offset after its last sector, for an image of `sectorSize`-byte
// sectors counted from byte 0. -1 when the image has no such directory or
// track, or cannot be opened.
int64_t DirectoryTrackEnd(const std::string& imagePath, int32_t sectorSize, int64_t trackStart);

// The volume identifier of the ISO 9660 volume descriptor that begins 8
// bytes after `offset`: at most its 32 bytes, up to the first zero byte.
// Empty when the image cannot be opened (error 6), is too short there or
// holds no volume descriptor there. Trailing blanks stay unless asked off.
std::string ReadVolumeLabel(const std::string& imagePath, uint64_t offset, const LoadReporter& reporter,
                            bool trimTrailingBlanks = false);
// Where the label is read in an nrg image: sector 166 of 2336-byte sectors.
inline constexpr uint64_t kNrgVolumeLabelOffset = 387776;
std::string TrimTrailingBlanks(const std::string& text);

// One track list line of a cue or toc source:
// "Track #02   00:04:00   2352 bytes/sector   1234k".
std::string FormatTrackListLine(int trackNumber, int32_t minutes, int32_t seconds, int32_t frames,
                                int32_t sectorSize, int64_t start, int64_t end);
// One track list line of a disc image: "Track %2d: %ld bytes [%.2d:%.2d:%.2d]".
std::string FormatImageTrackLine(int trackNumber, int64_t length, int32_t minutes, int32_t seconds,
                                 int32_t frames);

// Rewrites the list from the track table: first track := 0 with
// includeTrackZero, else 1; one line per row from the first track to the
// last index. Returns "All tracks selected" (and shows it in the label when
// one is given).
std::string FillTrackList(platform::ListBox& listBox, TTrackTable& table, bool includeTrackZero,
                          const TLanguageSet& texts, platform::Label* trackMsgLabel = nullptr);

// Tracks the list shows: last index + 1 - first track (0 when none).
int ListedTrackCount(const TTrackTable& table);
// At the end of a load. Extraction page (pageMode 0): last track := last
// index, selectedTracksOnly := some but not all lines selected. Video-cd
// page: last track := mpegEntryCount.
void StoreTrackSelection(int pageMode, const platform::ListBox* trackListBox, int mpegEntryCount,
                         TTrackTable& table, TConfig& config);
// A click in the track list: selectedTracksOnly and the message text
// ("User selected tracks" or "All tracks selected"), shown in the label when
// one is given.
std::string TrackListBoxClick(const platform::ListBox& trackListBox, const TTrackTable& table, TConfig& config,
                              const TLanguageSet& texts, platform::Label* trackMsgLabel = nullptr);
// The track numbers of the selected lines (line i shows track first track + i).
std::vector<int> SelectedTrackNumbers(const platform::ListBox& trackListBox, const TTrackTable& table);

// Forced sector size fields. A text of 1 to 4 digits sets the size; any
// other text keeps it. Returns the text the field shows afterwards.
bool IsSectorSizeFieldText(const std::string& text);
std::string SectorSizeFieldExit(const std::string& text, int32_t& forcedSize);
// The sizes the engine reads and writes; only these can start a job.
bool IsAcceptedForcedSize(int32_t size);
