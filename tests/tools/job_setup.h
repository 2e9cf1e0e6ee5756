// What run_job and the engine tests share to drive one job as the main
// window does: the job with the handles its controls block points at, and
// the request that loads its source through the window's loader.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/track_table.h"
#include "engine/job_copy.h"
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
                .clock = clock,
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
    }

    // The copy the start button takes: copies of config, the job (the rig's
    // unless another is given), the dialog states and the generated list,
    // with the rig's handles.
    std::unique_ptr<TJobCopy> TakeCopy(const TConfig& config, TJobStart start) {
        return TakeCopy(job, config, std::move(start));
    }
    std::unique_ptr<TJobCopy> TakeCopy(const TJob& from, const TConfig& config, TJobStart start) {
        Wire(start);
        const TJobControls controls = Controls();
        auto jobCopy = TakeJobCopy(from, config, &controls, generated, std::move(start));
        jobCopy->batchListening = batchListening;
        return jobCopy;
    }

    // Runs a job to its end as the window does; its end is taken back into
    // the job, config and the rig in place (on the worker, before the join
    // returns). The job's result.
    int RunJob(TConfig& config, TJobStart start) { return RunJob(job, config, std::move(start)); }
    int RunJob(TJob& from, TConfig& config, TJobStart start) {
        auto jobCopy = TakeCopy(from, config, std::move(start));
        jobCopy->onEnd = [this, &from, &config](TJobOutcome outcome) {
            ApplyJobOutcome(outcome, from, config, openDialog, saveDialog, generated);
            outcomes.push_back(std::move(outcome));
        };
        auto worker = WriteThread::Create(std::move(jobCopy));
        worker->WaitFor();
        return worker->Result();
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
    platform::Clock* clock = nullptr;  // the default clock when null
    bool batchListening = true;        // a batch window waits for results
    std::vector<TJobOutcome> outcomes;  // one per job run, in order
};

}  // namespace jobsetup
