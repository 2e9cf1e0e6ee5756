// The start button as a start and as a stop: the before-job settings, the
// free-space question, the CD-i subtitle probe, the controls block and the
// worker; and watching the worker until it has ended.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <mutex>

#include "app/main_window.h"
#include "app/tools_menu.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "engine/disk_space.h"
#include "engine/write_thread.h"
#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"
#include "tools/cdi_subtitles.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

constexpr int kWatchIntervalMs = 30;
constexpr int16_t kPromptAnswersYes = 0x4000;

// The window's boxes, except while the job runs unattended: then nobody is
// there to answer, so questions take the prompt flags' answer and error
// boxes stay closed (the log holds every message).
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

// The application title the worker writes is the main window's title.
class WindowTitleLabel final : public platform::Label {
public:
    explicit WindowTitleLabel(QWidget* window) : w_(window) {}
    void setCaption(const std::string& text) override {
        {
            std::lock_guard<std::mutex> lock(m_);
            caption_ = text;
        }
        QWidget* raw = w_.data();
        if (!raw) return;
        QPointer<QWidget> guard = w_;
        const QString t = toQt(text);
        platform::qt::postToGui(raw, [guard, t] {
            if (guard) guard->setWindowTitle(t);
        });
    }
    std::string caption() const override {
        std::lock_guard<std::mutex> lock(m_);
        return caption_;
    }
    void setVisible(bool) override {}
    bool visible() const override { return true; }
    void setColor(int32_t) override {}

private:
    QPointer<QWidget> w_;
    mutable std::mutex m_;
    std::string caption_;
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
    SetUsable(VCDOptionLink, !taskRunning_ && !JobRunning());
}

int TForm1::verifyDiskSpace(uint64_t bytes) {
    const std::string& output = MainJob->outputName;
    if (output == "nul") return 0;
    const int64_t freeBytes = freeSpace_ ? freeSpace_(output) : FreeSpaceForOutput(output);
    return ::verifyDiskSpace(bytes, freeBytes, Reporter());
}

void TForm1::AbandonStart(std::unique_ptr<TJobControls>& controls) {
    controls.reset();
    MainJob->controls = nullptr;
    batchActive = 0;
    (pageMode == 1 ? handles_.startVCDButton : handles_.startButton)->setHint(languageSet->hint(9));
}

// Only the sector sizes the engine reads and writes may start a job.
bool TForm1::ForcedSizesAccepted() {
    struct Field {
        QCheckBox* box;
        int32_t size;
    };
    for (const Field& f : {Field{forceRead, MainJob->forcedReadSize}, Field{forceWrite, MainJob->forcedWriteSize}}) {
        if (!f.box->isChecked() || IsAcceptedForcedSize(f.size)) continue;
        Reporter().report(kMsgError, 24, fromQt(f.box->text()) + ": " + std::to_string(f.size));
        return false;
    }
    return true;
}

// 0 go on, 4 the source cannot be opened for the probe.
int TForm1::ProbeCdiSubtitles() {
    if (!WantsEnabled(subCheckBox) || !(subCheckBox->isChecked() || MainConfig->AlwaysScanForCDI)) return 0;
    // Stream sources hold no disc volume.
    const std::optional<CdiGeometry> geometry = CdiGeometryForMethod(methodIndex);
    if (!geometry) return 0;
    const std::string& source = MainJob->sourceName;
    TFileIO file(MainJob.get());
    if (file.OpenForRead(source) != 0) {
        Reporter().report(kMsgError, 6, "Subtitle Check->" + source);
        return 4;
    }
    const bool found = TCdiSubtitleScanner::HasCdiSubtitles(file, *geometry);
    file.Close();
    if (!found) {
        handles_.log->add("No CD-i subtitles found.");
        handles_.log->scrollToEnd();
        return 0;
    }
    // A ticked box opens the converter at once; a probe that ran only for
    // the option asks first.
    if (subCheckBox->isChecked() ||
        JobDialogs().ask("CD-i subtitle(s) found in image.  Do you want to extract and convert them?",
                         "Detected CD-i Subtitle(s)") == platform::kYes)
        RunSubtitleConverter(*this, 0);
    return 0;
}

// While a job runs, nothing the worker reads may change under it.
void TForm1::SetJobControlsUsable(bool on) {
    ExtractionGroup->setEnabled(on);
    AdditionGroup2->setEnabled(on);
    if (videoCdPage) videoCdPage->SetEditingUsable(on);
    SetUsable(browseButton, on);
    // The options window would reload the options and texts the worker reads.
    SetUsable(optionsButton, on && !taskRunning_);
    SetUsable(VCDOptionLink, on && !taskRunning_);
    if (!on) {
        trackZeroBox->setProperty("pellmorWantedBeforeJob", WantsEnabled(trackZeroBox));
        trackZeroBox->setEnabled(false);
    } else {
        QVariant before = trackZeroBox->property("pellmorWantedBeforeJob");
        SetUsable(trackZeroBox, before.isValid() ? before.toBool() : WantsEnabled(trackZeroBox));
    }
}

// An extraction's steps after the settings are read again; false abandons
// the start.
bool TForm1::StartExtractionChecks() {
    // A field still being typed in counts as left.
    if (forceRead->isChecked()) sectorReadFieldExit();
    if (forceWrite->isChecked()) sectorWriteFieldExit();
    if (!ForcedSizesAccepted()) return false;

    OutputEstimateInput estimate;
    estimate.pageMode = 0;
    estimate.method = methodIndex;
    estimate.trackTable = trackTable;
    estimate.trackListBox = handles_.TrackListBox.get();
    estimate.trackSizes = &imageTrackLengths;
    estimate.inputName = MainJob->sourceName;
    uint64_t bytes = 0;
    if (EstimateOutputBytes(estimate, Reporter(), bytes) != 0) return false;
    trackTable->selectedBytes = static_cast<int64_t>(bytes);

    if (MainJob->outputName.empty()) return false;
    if (MainJob->outputName != "nul" && verifyDiskSpace(bytes) == 3) return false;
    if (ProbeCdiSubtitles() != 0) return false;

    MainConfig->FixMPEGErrors = fixErrorCheckBox->isEnabled() && fixErrorCheckBox->isChecked() ? 1 : 0;
    MainConfig->RemoveCDIBumper = bumperCheckBox->isEnabled() && bumperCheckBox->isChecked() ? 1 : 0;

    return true;
}

// The video-cd page's steps: an output name, a list to build from, the
// estimate over the list's entries and the free-space question.
bool TForm1::StartBuildChecks() {
    const bool initialise = methodIndex == kInitialiseRun;
    if (saveFileField->text().isEmpty() && !initialise) return false;
    // The build takes its source from the list: never from an empty one.
    if (!initialise && (!mpegList || mpegList->entries.empty())) return false;
    totalErrWarnings2->hide();
    const uint64_t bytes = videoCdPage ? uint64_t(videoCdPage->Editor().EstimateBytes()) : 0;
    trackTable->selectedBytes = static_cast<int64_t>(bytes);
    MainConfig->ToastEnable = toastCheckBox->isChecked() ? 1 : 0;
    MainConfig->RemoveCDIBumper = 0;
    return initialise || verifyDiskSpace(bytes) != 3;
}

void TForm1::startButtonClick() {
    if (!runState || !MainJob || !languageSet) return;

    // Stop: only the running flag and the window's own button are touched;
    // the job's controls block belongs to the worker now.
    if (runState->running.load() != 0) {
        platform::Button* button =
            runState->pageMode.load() == 1 ? handles_.startVCDButton.get() : handles_.startButton.get();
        button->setHint(languageSet->hint(9));
        runState->running = 0;
        stopRequested_ = true;
        return;
    }
    // The previous job is still ending: a second worker must not share it.
    if (worker_ && worker_->Finished()) JobEnded();
    if (WorkerBusy()) return;
    if (pageMode != 0 && pageMode != 1) return;
    const bool build = pageMode == 1;
    platform::Button* startHandle = build ? handles_.startVCDButton.get() : handles_.startButton.get();
    StartAfresh(false);

    trackTable->selectedBytes = 0;
    startHandle->setHint(languageSet->hint(17));
    SetUsable(previewButton, false);
    previewIndex = 0;
    if (PassiveBox->isChecked()) SaveDialog.FileName = "nul";
    MainConfig->FixMPEGErrors = fixErrorCheckBox->isChecked() ? 1 : 0;
    if (build && (methodIndex == 0 || methodIndex == 1)) {
        MainJob->sourceName = OpenDialog.FileName;
        MainConfig->FixMPEGErrors = 0;
    }
    MainJob->outputName = SaveDialog.FileName;
    MainJob->baseOutputName = SaveDialog.FileName;
    MainJob->pageMode = pageMode;
    MainJob->method = methodIndex;
    MainJob->volumeName = fromQt(volName->text());

    auto controls = std::make_unique<TJobControls>();
    if (!batchActive) LoadSettings(1);

    if (build ? !StartBuildChecks() : !StartExtractionChecks()) return AbandonStart(controls);

    controls->statusLabel = build ? handles_.statusMsg2.get() : handles_.statusMsg.get();
    controls->etaLabel = build ? handles_.etaMsg2.get() : handles_.etaMsg.get();
    controls->progressBar = build ? handles_.ProgressBar2.get() : handles_.ProgressBar.get();
    controls->completedLabel = build ? handles_.compLabel2.get() : handles_.compLabel1.get();
    controls->trackListBox = build ? nullptr : handles_.TrackListBox.get();
    controls->logListBox = handles_.log.get();
    controls->startButton = startHandle;
    controls->languageSet = languageSet->Snapshot();
    controls->batchFlag = &batchActive;
    controls->openDialog = &OpenDialog;
    controls->saveDialog = &SaveDialog;
    controls->runState = runState;
    controls->dialogs = &JobDialogs();
    controls->fileDialogs = fileDialogs_;
    controls->stats = stats.get();
    if (!titleHandle_) titleHandle_ = std::make_unique<WindowTitleLabel>(this);
    controls->titleLabel = titleHandle_.get();
    MainJob->mpegList = mpegList;

    TJobStart start;
    start.forceRead = forceRead->isChecked();
    start.forceWrite = forceWrite->isChecked();
    start.yesFolder = yesFolder->isEnabled() && yesFolder->isChecked();
    start.imgNone = imgNone->isChecked();
    start.vcdChecked = VCDCheckBox->isChecked();
    for (int i = 0; i < TrackListBox->count(); ++i) start.selectedRows.push_back(TrackListBox->item(i)->isSelected());
    start.fixLabel = handles_.FixLabel.get();
    start.splitLabel = handles_.SplitLabel.get();
    start.paddingLabel = handles_.PaddingLabel.get();
    start.statusIndicator = handles_.StatusIndicator.get();
    start.previewButton = handles_.previewButton.get();
    start.toastCheckBox = handles_.toastCheckBox.get();
    start.toastChecked = toastCheckBox->isChecked();
    start.mainCaption = kCaption;
    start.generatedFiles = &generatedFiles;
    start.runningRaisedByCaller = true;

    startHandle->setCaption(languageSet->component(1));
    startHandle->setHint(languageSet->hint(17));
    SetJobControlsUsable(false);

    // Started before the worker exists, so that a second click is a stop
    // and never a second worker.
    runState->pageMode = pageMode;
    runState->running = 1;
    stopRequested_ = false;
    MainJob->controls = controls.release();
    worker_ = WriteThread::Create(MainJob.get(), MainConfig.get(), std::move(start));
    std::shared_ptr<WriteThread> worker = worker_;
    SetRunningJob([worker] { return worker->Finished(); }, [worker] { worker->WaitFor(); });

    if (!jobTimer_) {
        jobTimer_ = new QTimer(this);
        jobTimer_->setInterval(kWatchIntervalMs);
        connect(jobTimer_, &QTimer::timeout, this, [this] { WatchJob(); });
    }
    jobTimer_->start();
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
    worker_.reset();
    stopRequested_ = false;
    // The close waits through these hooks itself.
    if (!closed_) SetRunningJob(nullptr, nullptr);
    SetJobControlsUsable(true);
    // Clicks in the track list during the job were not taken over.
    TrackListBoxClick();
}
