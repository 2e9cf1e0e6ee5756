// A job set up the way the main window sets one up before a sheet is read or
// written: recording stand-ins behind its controls block, and errors logged
// and counted rather than boxed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/track_table.h"
#include "tests/support/fakes.h"

namespace fakes {

struct SheetJob {
    SheetJob() {
        job.trackTable = new TTrackTable();
        config.DisableErrorPrompts = 1;
    }

    std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    RecordingListBox log;
    ScriptedDialogs dialogs;
    ScriptedFileDialogs fileDialogs;
    platform::FileDialogState openDialog;
    std::atomic<uint8_t> batch{0};
    TJob job;
    TStats stats{&job};
    TConfig config;
    TJobControls controls{.logListBox = &log,
                          .languageSet = texts,
                          .batchFlag = &batch,
                          .openDialog = &openDialog,
                          .dialogs = &dialogs,
                          .fileDialogs = &fileDialogs,
                          .stats = &stats};
};

}  // namespace fakes
