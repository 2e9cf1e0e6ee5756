// The job as its worker owns it. Everything the worker reads from the window
// is copied here on the GUI thread when the job starts: the options, the job
// record with its track table, the two file-dialog states, the generated-files
// list and the build list. The worker changes only these copies. What the
// window takes back comes once, at the very end, as a TJobOutcome.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "platform/controls.h"
#include "platform/file_dialogs.h"
#include "tools/sample_clip.h"

// The start's values read from the window's controls, and the handles the
// worker writes while it runs (any may be null).
struct TJobStart {
    bool forceRead = false;   // forceRead ticked
    bool forceWrite = false;  // forceWrite ticked
    bool yesFolder = false;   // yesFolder enabled and ticked
    bool imgNone = true;      // "Don't span"
    bool vcdChecked = true;   // VCDCheckBox
    // One entry per TrackListBox row (row = track number - first track):
    // true when the row is selected. Read only with selectedTracksOnly.
    std::vector<bool> selectedRows;

    platform::Label* fixLabel = nullptr;
    platform::Label* splitLabel = nullptr;
    platform::Label* paddingLabel = nullptr;
    platform::Label* statusIndicator = nullptr;  // the colour shape
    platform::Button* previewButton = nullptr;
    platform::CheckBox* toastCheckBox = nullptr;  // unticked for image builds
    bool toastChecked = false;
    std::string mainCaption = kProgramCaption;  // title after a track
    // The caller raised TRunState.running before the worker started (so that
    // a second click cannot start a second worker); the worker then leaves
    // the flag as it is, and a stop asked before the worker began still holds.
    bool runningRaisedByCaller = false;
    // The sample clip a build adds after its images, copied from the editor
    // at the start (the worker never reads the editor).
    std::optional<TSampleClipDescription> sampleClip;
};

// What a finished job hands back to the window.
struct TJobOutcome {
    int result = 0;  // 0 success; any other code a failure (3 stopped)
    // The job ran as a batch task: its result answers the batch, and both
    // file dialogs are to be emptied.
    bool batchTask = false;
    std::string generatedFiles;  // the window's list as the job left it
    // The job record's working fields as the job left them.
    int32_t readSectorSize = 0;
    int32_t writeSectorSize = 0;
    int32_t sectorHeaderSize = 0;
    int32_t discKind = 1;
    std::string sourceName;
    std::string outputName;
    int64_t sectorCount = 0;    // of the track table
    int64_t selectedBytes = 0;  // of the track table
    bool bumperRemoved = false;  // later jobs must not remove it again
    uint32_t fixes = 0, splits = 0, padding = 0;
};

struct TJobCopy {
    TJobCopy();
    TJobCopy(const TJobCopy&) = delete;
    TJobCopy& operator=(const TJobCopy&) = delete;

    TConfig config;
    TJob job;  // its own track table; no MPEG list (see buildList)
    platform::FileDialogState openDialog, saveDialog;
    std::string generatedFiles;
    TJobStart start;
    // The job's MPEG file list, when it had one.
    bool hasBuildList = false;
    std::vector<TMpegFileInfo> buildList;
    int32_t buildPtsOffset = 0;
    // Somebody (the batch window) waits for this job's result: only then can
    // the job be a batch task.
    bool batchListening = false;
    // Called once, as the worker's very last act, on the worker's thread.
    // The window queues it to its own thread; tests may run it in place.
    std::function<void(TJobOutcome)> onEnd;
};

// Copies a start on the GUI thread. `controls` (may be null) is the job's
// block of handles: the job's copy keeps a block of its own, whose dialog
// states point at its own copies of the states the block pointed at.
std::unique_ptr<TJobCopy> TakeJobCopy(const TJob& job, const TConfig& config, const TJobControls* controls,
                                     const std::string& generatedFiles, TJobStart start);

// The window's side of the end, on the GUI thread: the generated files, the
// job record's working fields, the options the job changed for later jobs
// and, after a batch task, the emptied file dialogs.
void ApplyJobOutcome(const TJobOutcome& outcome, TJob& job, TConfig& config, platform::FileDialogState& openDialog,
                     platform::FileDialogState& saveDialog, std::string& generatedFiles);
