// What run_job and the engine tests share to drive one job as the main
// window does: the job with the handles its controls block points at, and
// the request that loads its source through the window's loader.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/track_table.h"
#include "engine/source_loader.h"
#include "engine/write_thread.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

namespace jobsetup {

// A job and the window's side of it, owned together: every handle its
// controls block and its start point at, of the stand-in types the caller
// picks (recording ones for tests, printing ones for run_job).
template <class LogBoxT, class LabelT, class BarT, class ButtonT, class BoxesT>
struct Rig {
    // The arguments go to the dialogs stand-in (its scripted answer).
    template <class... BoxArgs>
    explicit Rig(BoxArgs&&... args) : dialogs(std::forward<BoxArgs>(args)...) {
        job.trackTable = new TTrackTable();
        stats.languageSet = texts.get();
    }

    // A new block, as the start button makes one (the worker frees it).
    TJobControls* MakeControls() { return new TJobControls(Controls()); }

    TJobControls Controls() {
        return {.statusLabel = &status,
                .etaLabel = &eta,
                .progressBar = &progress,
                .completedLabel = &completed,
                .logListBox = &log,
                .startButton = &startButton,
                .languageSet = texts,
                .batchFlag = &batchActive,
                .openDialog = &openDialog,
                .saveDialog = &saveDialog,
                .runState = &runState,
                .dialogs = &dialogs,
                .stats = &stats,
                .titleLabel = &title};
    }

    // A load as the window makes it with nobody there to ask (a batch run):
    // the dialogs already hold the source and output names. The load has
    // dialog states of its own, so the job's stay as the caller set them.
    SourceLoad UnattendedLoad(int method, const std::string& source, const std::string& output, TConfig& config) {
        sourceDialog.FileName = source;
        outputDialog.FileName = output;
        SourceLoad load;
        load.method = method;
        load.unattended = true;
        load.passive = config.passive != 0;
        load.toast = config.ToastEnable != 0;
        load.job = &job;
        load.config = &config;
        load.openDialog = &sourceDialog;
        load.saveDialog = &outputDialog;
        load.texts = texts;
        load.stats = &stats;
        load.dialogs = &dialogs;
        load.log = &log;
        load.startButton = &startButton;
        return load;
    }

    // The handles a start carries besides the controls block.
    void Wire(TJobStart& start) {
        start.fixLabel = &fixLabel;
        start.splitLabel = &splitLabel;
        start.paddingLabel = &paddingLabel;
        start.statusIndicator = &indicator;
        start.previewButton = &previewButton;
        start.generatedFiles = &generated;
    }

    TJob job;
    std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    LogBoxT log;
    LabelT status, eta, completed, title, fixLabel, splitLabel, paddingLabel, indicator;
    BarT progress;
    ButtonT startButton, previewButton;
    BoxesT dialogs;
    TRunState runState;
    TStats stats{&job};
    std::atomic<uint8_t> batchActive{0};
    platform::FileDialogState openDialog, saveDialog;
    platform::FileDialogState sourceDialog, outputDialog;  // the load's
    std::string generated;
};

}  // namespace jobsetup
