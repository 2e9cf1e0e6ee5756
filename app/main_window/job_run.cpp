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
#include "engine/write_thread.h"

namespace {

constexpr int16_t kPromptAnswersYes = 0x4000;

// The window's boxes, except while the job runs unattended: then nobody is
// there to answer, so questions take the prompt flags' answer and error
// boxes stay closed (the logPage->log holds every message).
class UnattendedDialogs final : public platform::Dialogs {
public:
    explicit UnattendedDialogs(TForm1& window) : w_(window) {}
    int ask(const std::string& message, const std::string& caption) override {
        if (unattended()) return (flags() & kPromptAnswersYes) ? platform::kYes : platform::kNo;
        return w_.dialogs().ask(message, caption);
    }
    void error(const std::string& message, const std::string& caption) override {
        if (!unattended()) w_.dialogs().error(message, caption);
    }
    void info(const std::string& message, const std::string& caption) override {
        if (!unattended()) w_.dialogs().info(message, caption);
    }
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override {
        if (unattended()) return std::nullopt;
        return w_.dialogs().inputBox(caption, prompt, initial);
    }
    void beep() override { w_.dialogs().beep(); }

private:
    bool unattended() const { return w_.batchActive.load() == 1; }
    int16_t flags() const { return w_.MainConfig ? w_.MainConfig->DisableErrorPrompts : 0; }
    TForm1& w_;
};

}  // namespace

platform::Dialogs& TForm1::JobDialogs() {
    if (!jobDialogs_) jobDialogs_ = std::make_unique<UnattendedDialogs>(*this);
    return *jobDialogs_;
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

void TForm1::WatchJob() {
    if (!worker_) {
        jobTimer_->stop();
        return;
    }
    if (!worker_->Finished()) {
        // A stop, once asked (or the close), holds until the worker ends.
        if ((stopRequested_ || closed_) && runState->running.load() != 0) runState->running = 0;
        return;
    }
    JobEnded();
}

void TForm1::JobEnded() {
    jobTimer_->stop();
    worker_->WaitFor();
    const int result = worker_->Result();
    const bool batchJob = batchActive == 1 && (MainConfig->DisableErrorPrompts & 0x8000) != 0;
    worker_.reset();
    stopRequested_ = false;
    // The close waits through these hooks itself.
    if (!closed_) SetRunningJob(nullptr, nullptr);
    SetJobControlsUsable(true);
    // Clicks in the track list during the job were not taken over.
    extractionPage->TrackListBoxClick();
    if (batchJob && onJobEnded) onJobEnded(result);
}
