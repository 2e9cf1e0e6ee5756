// The running job as the window sees it: whether it runs, the boxes it asks
// through, the controls it locks, and its end.
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <QVariant>

#include "app/extraction_page/extraction_page.h"
#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "engine/job_copy.h"
#include "engine/write_thread.h"
#include "platform/qt/gui_thread.h"

namespace {

constexpr int16_t kPromptAnswersYes = 0x4000;
constexpr int16_t kPromptBatchRuns = static_cast<int16_t>(0x8000);

// The window's boxes. While unattended (a batch, a project being loaded,
// passive mode) questions take the prompt flags' answer; error and
// information boxes stay closed only in a real batch run, where nobody is
// there to close them (the log holds every message). A user who loads a
// project by hand sees why it did not load.
class UnattendedDialogs final : public platform::Dialogs {
public:
    // A job's boxes answer with the prompt flags the job started with: the
    // worker never reads the window's options.
    // batchRuns: whether a real batch run is under way (asked on the GUI
    // thread only: a job's dialogs are given the answer at its start).
    UnattendedDialogs(TForm1& window, std::function<bool()> batchRuns, std::optional<int16_t> jobFlags = std::nullopt)
        : w_(window), batchRuns_(std::move(batchRuns)), jobFlags_(jobFlags) {}
    int ask(const std::string& message, const std::string& caption) override {
        if (unattended()) return (flags() & kPromptAnswersYes) ? platform::kYes : platform::kNo;
        return w_.dialogs().ask(message, caption);
    }
    int askYesNo(const std::string& message, const std::string& caption) override {
        if (unattended()) return (flags() & kPromptAnswersYes) ? platform::kYes : platform::kNo;
        return w_.dialogs().askYesNo(message, caption);
    }
    void error(const std::string& message, const std::string& caption) override {
        if (!batchRuns()) w_.dialogs().error(message, caption);
    }
    void info(const std::string& message, const std::string& caption) override {
        if (!batchRuns()) w_.dialogs().info(message, caption);
    }
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override {
        if (unattended()) return std::nullopt;
        return w_.dialogs().inputBox(caption, prompt, initial);
    }
    void beep() override { w_.dialogs().beep(); }

private:
    bool unattended() const { return w_.batchActive.load() == 1; }
    bool batchRuns() const { return batchRuns_(); }
    int16_t flags() const {
        if (jobFlags_) return *jobFlags_;
        return w_.MainConfig ? w_.MainConfig->DisableErrorPrompts : 0;
    }
    TForm1& w_;
    const std::function<bool()> batchRuns_;
    const std::optional<int16_t> jobFlags_;
};

}  // namespace

platform::Dialogs& TForm1::JobDialogs() {
    if (!jobDialogs_) jobDialogs_ = std::make_unique<UnattendedDialogs>(*this, [this] { return taskRunning_ || BatchRuns(); });
    return *jobDialogs_;
}

platform::Dialogs& TForm1::WorkerDialogs(int16_t promptFlags) {
    // No worker runs when a start makes them: the last job's are free. The
    // job is a batch task or not for its whole run.
    const bool batch = taskRunning_ || BatchRuns() || (promptFlags & kPromptBatchRuns) != 0;
    workerDialogs_ = std::make_unique<UnattendedDialogs>(*this, [batch] { return batch; }, promptFlags);
    return *workerDialogs_;
}

std::function<void(TJobOutcome)> TForm1::QueuedJobEnd() {
    auto slot = std::make_shared<TJobOutcome>();
    jobEnd_ = slot;
    // On the worker's thread: the end is kept for JobEnded, which reads it
    // after joining the worker, and JobEnded is queued to this thread.
    return [this, slot](TJobOutcome outcome) {
        *slot = std::move(outcome);
        // A start that found the worker finished may have ended this job
        // already and started the next: then this call is not for it.
        platform::qt::postToGui(this, [this, slot] {
            if (slot == jobEnd_) JobEnded();
        });
    };
}

LoadReporter TForm1::Reporter() {
    MessageServices services{languageSet.get(), stats.get(), &JobDialogs()};
    return LoadReporter::For(services, *MainConfig, handles_.log.get());
}

bool TForm1::WorkerBusy() const { return worker_ != nullptr; }

bool TForm1::JobRunning() const {
    return (runState && runState->running.load() != 0) || (worker_ && !worker_->Finished());
}

void TForm1::SetJobRunning(uint8_t running) {
    if (runState) runState->running = running;
}

void TForm1::SetTaskRunning(uint8_t active) {
    batchActive = active;
    // A batch run's jobs read the options and texts: no options window meanwhile.
    taskRunning_ = active != 0;
    SetUsable(optionsButton, !taskRunning_ && !JobRunning());
    SetUsable(videoCdPage->VCDOptionLink, !taskRunning_ && !JobRunning());
    ApplyBatchLock();
}

// While a job runs, nothing the worker reads may change under it.
void TForm1::SetJobControlsUsable(bool on) {
    // A running batch keeps them locked between its jobs as well.
    on = on && !taskRunning_;
    extractionPage->ExtractionGroup->setEnabled(on);
    extractionPage->AdditionGroup2->setEnabled(on);
    if (videoCdPage) videoCdPage->SetEditingUsable(on);
    SetUsable(extractionPage->browseButton, on);
    // The options window would reload the options and texts the worker reads.
    SetUsable(optionsButton, on && !taskRunning_);
    SetUsable(videoCdPage->VCDOptionLink, on && !taskRunning_);
    if (!on) {
        extractionPage->trackZeroBox->setProperty("pellmorWantedBeforeJob", WantsEnabled(extractionPage->trackZeroBox));
        extractionPage->trackZeroBox->setEnabled(false);
    } else {
        QVariant before = extractionPage->trackZeroBox->property("pellmorWantedBeforeJob");
        SetUsable(extractionPage->trackZeroBox, before.isValid() ? before.toBool() : WantsEnabled(extractionPage->trackZeroBox));
    }
}

// Holds a stop until the worker ends; the end itself comes queued.
void TForm1::WatchJob() {
    if (!worker_ || worker_->Finished()) {
        jobTimer_->stop();
        return;
    }
    // A stop, once asked (or the close), holds until the worker ends.
    if ((stopRequested_ || closed_) && runState->running.load() != 0) runState->running = 0;
}

// The one place a job ends, on the GUI thread: the worker is joined first,
// so only one ever exists, then its end is taken back. Called queued by the
// worker's last act (after which it only returns), or earlier by a start
// that finds the worker finished; whichever comes second finds nothing to do.
void TForm1::JobEnded() {
    if (!worker_) return;
    if (jobTimer_) jobTimer_->stop();
    worker_->WaitFor();
    worker_.reset();
    const TJobOutcome end = jobEnd_ ? *jobEnd_ : TJobOutcome{};
    jobEnd_.reset();
    ApplyJobOutcome(end, *MainJob, *MainConfig, OpenDialog, SaveDialog, generatedFiles);
    stopRequested_ = false;
    // The close waits through these hooks itself.
    if (!closed_) SetRunningJob(nullptr, nullptr);
    SetJobControlsUsable(true);
    // Clicks in the track list during the job were not taken over.
    extractionPage->TrackListBoxClick();
    // The batch hears the job's own code (a close waits for it too: it
    // stops the batch first).
    if (end.batchTask && onJobEnded) onJobEnded(end.result);
}
