// Loading a source for an extraction method, as the load button does it:
// the open and save dialogs (or the names they already hold when nobody is
// there to ask), the cue or toc sheet, the directory scan of a disc image or
// the one track of a single stream, the track list and its selection. The
// main window and run_job both load through here, so a source gives the
// same track table and the same result either way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/records.h"
#include "engine/source_scan.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

class TLanguageSet;
class TMpegFileList;

struct SourceLoad {
    // The extraction page's method index.
    int method = 0;
    // Nobody to ask (the window's batchActive): no dialog is shown, the
    // dialog states already hold the source and output names, a sheet that
    // does not parse fails the load, and archives are refused.
    bool unattended = false;
    bool passive = false;    // PassiveBox: no output, the save name is kPassiveOutput
    bool batchTask = false;  // batchTask: the names are taken for a batch task, nothing is read
    bool toast = false;      // toastCheckBox: outputs named .mpeg
    // forceRead ticked: its size, which a bare bin is read at without
    // detecting one; 0 otherwise.
    int32_t forcedReadSize = 0;

    // What the load fills: the job (source name, disc kind, read sector size,
    // track table), the options (default folders, selectedTracksOnly) and
    // the two dialog states.
    TJob* job = nullptr;
    TConfig* config = nullptr;
    platform::FileDialogState* openDialog = nullptr;
    platform::FileDialogState* saveDialog = nullptr;

    // Where it asks and reports; no file dialogs: none is shown.
    platform::FileDialogs* fileDialogs = nullptr;
    std::shared_ptr<const TLanguageSet> texts;  // built-in texts when missing
    TStats* stats = nullptr;
    platform::Dialogs* dialogs = nullptr;
    platform::ListBox* log = nullptr;

    // The page's controls it fills; each may be missing.
    platform::ListBox* trackListBox = nullptr;
    platform::Button* startButton = nullptr;
    platform::CheckBox* trackZeroBox = nullptr;  // ticked: track 0 is listed
    platform::Label* trackMsgLabel = nullptr;
    platform::Edit* inputFileField = nullptr;
    // Lengths of a disc image's tracks (track k at k - 1), for the estimate.
    std::vector<int64_t>* trackLengths = nullptr;

    // Called once the source is chosen, before anything of it is read or
    // reported: the counters and the previous job's outputs no longer
    // concern the page.
    std::function<void()> sourceChosen;
    // Called before a sheet or a stream fills the track table, and when a
    // load fails: whatever else the previous source filled goes (the
    // window's build list, which shares the table).
    std::function<void()> releaseScan;
};

struct SourceLoadOutcome {
    // result::kOk (0) loaded, also after a failure the user was shown or
    // with files chosen for the batch; kCannotOpen (4) the source or its
    // sheet cannot be opened or read; kNoMpegStream (5) no video tracks;
    // kFailed (12) cancelled, or an archive with nobody to choose it.
    int result = 0;
    // The previous source is gone and nothing may start: the table, the
    // list, the names in the dialogs and the job are emptied.
    bool cleared = false;
    bool startable = false;        // tracks are listed: the start button is usable
    bool trackZeroUsable = false;  // listed from a sheet, which has a track 0
    bool namingUsable = false;     // an output was named (not passive)
    // The chosen files are for the batch (archives, or several sources with
    // their output names in the save dialog's list): nothing is listed or
    // may start, and the dialogs keep the names for the hand-off.
    bool forBatch = false;
};

SourceLoadOutcome LoadSource(const SourceLoad& load);

// Extraction methods whose choice of several sources becomes one task each.
bool LoadsSeveralSources(int method);
// folder/name.dat for the methods that write dat files, folder/name.mpg for
// the others, name being each source's name without folder and extension.
std::vector<std::string> OutputNamesForSources(const std::vector<std::string>& sources, const std::string& folder,
                                               int method);

// The sheet methods read their track table from a cue or toc file.
bool IsSheetMethod(int method);

// The dialog filters of the extraction methods (nullptr: none).
const char* SourceOpenFilter(int method);

// The video-cd page's conversion sources (the methods that load a cif or
// nrg image): the image's tracks become the build list's entries, one per
// track with the track's length as its size, and an nrg gives its volume
// label (trailing blanks off; a cif leaves the label alone). The job's
// source name and read sector size are set; kOk, or the scan's kCannotOpen
// or kNoMpegStream with the list unchanged and no source name; kFailed for
// a method that loads no image.
int LoadImageForBuild(int videoCdMethod, const std::string& source, TJob& job, TMpegFileList& list,
                      const LoadReporter& reporter, std::vector<int64_t>* trackLengths = nullptr,
                      std::string* volumeLabel = nullptr);
