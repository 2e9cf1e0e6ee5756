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

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "app/main_window/tools_menu.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "engine/disk_space.h"
#include "engine/methods.h"
#include "engine/job_copy.h"
#include "engine/write_thread.h"
#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"
#include "tools/cdi_subtitles.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

constexpr int kWatchIntervalMs = 30;

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







int TExtractionPage::verifyDiskSpace(uint64_t bytes) {
    const std::string& output = w_.MainJob->outputName;
    if (output == kPassiveOutput) return 0;
    const int64_t freeBytes = w_.freeSpace_ ? w_.freeSpace_(output) : FreeSpaceForOutput(output);
    return ::verifyDiskSpace(bytes, freeBytes, w_.Reporter());
}

void TExtractionPage::AbandonStart(std::unique_ptr<TJobControls>& controls) {
    controls.reset();
    w_.MainJob->controls = nullptr;
    w_.batchActive = 0;
    (w_.pageMode == 1 ? w_.handles_.startVCDButton : w_.handles_.startButton)
        ->setHint(w_.languageSet->hint(msg::hint::kStart));
}

// Only the sector sizes the engine reads and writes may start a job.
bool TExtractionPage::ForcedSizesAccepted() {
    struct Field {
        QCheckBox* box;
        int32_t size;
    };
    for (const Field& f : {Field{forceRead, w_.MainJob->forcedReadSize}, Field{forceWrite, w_.MainJob->forcedWriteSize}}) {
        if (!f.box->isChecked() || IsAcceptedForcedSize(f.size)) continue;
        w_.Reporter().report(kMsgError, msg::error::kUnknownSectorSize,
                             fromQt(f.box->text()) + ": " + std::to_string(f.size));
        return false;
    }
    return true;
}

// 0 go on, 4 the source cannot be opened for the probe.
int TExtractionPage::ProbeCdiSubtitles() {
    if (!w_.WantsEnabled(subCheckBox) || !(subCheckBox->isChecked() || w_.MainConfig->AlwaysScanForCDI)) return 0;
    // Stream sources hold no disc volume.
    const std::optional<CdiGeometry> geometry = CdiGeometryForMethod(w_.methodIndex);
    if (!geometry) return 0;
    const std::string& source = w_.MainJob->sourceName;
    TFileIO file(w_.MainJob.get());
    if (file.OpenForRead(source) != 0) {
        w_.Reporter().report(kMsgError, msg::error::kCannotOpen, "Subtitle Check->" + source);
        return result::kCannotOpen;
    }
    const bool found = TCdiSubtitleScanner::HasCdiSubtitles(file, *geometry);
    file.Close();
    if (!found) {
        w_.handles_.log->add("No CD-i subtitles found.");
        w_.handles_.log->scrollToEnd();
        return 0;
    }
    // The converter is a window someone must close: an unattended batch
    // would wait for it for ever.
    if (w_.batchActive && w_.BatchRuns()) {
        w_.handles_.log->add("CD-i subtitle(s) found in image; the converter is not opened during a batch.");
        w_.handles_.log->scrollToEnd();
        return 0;
    }
    // A ticked box opens the converter at once; a probe that ran only for
    // the option asks first.
    if (subCheckBox->isChecked() ||
        w_.JobDialogs().askYesNo("CD-i subtitle(s) found in image.  Do you want to extract and convert them?",
                         "Detected CD-i Subtitle(s)") == platform::kYes)
        RunSubtitleConverter(w_, 0);
    return 0;
}


// An extraction's steps after the settings are read again; false abandons
// the start.
bool TExtractionPage::StartExtractionChecks() {
    // A field still being typed in counts as left.
    if (forceRead->isChecked()) sectorReadFieldExit();
    if (forceWrite->isChecked()) sectorWriteFieldExit();
    if (!ForcedSizesAccepted()) return false;

    OutputEstimateInput estimate;
    estimate.pageMode = 0;
    estimate.method = w_.methodIndex;
    estimate.trackTable = w_.trackTable;
    estimate.trackListBox = w_.handles_.TrackListBox.get();
    estimate.trackSizes = &w_.imageTrackLengths;
    estimate.inputName = w_.MainJob->sourceName;
    uint64_t bytes = 0;
    if (EstimateOutputBytes(estimate, w_.Reporter(), bytes) != 0) return false;
    w_.trackTable->selectedBytes = static_cast<int64_t>(bytes);

    if (w_.MainJob->outputName.empty()) return false;
    if (w_.MainJob->outputName != kPassiveOutput && verifyDiskSpace(bytes) == result::kCancelled) return false;
    if (ProbeCdiSubtitles() != 0) return false;

    w_.MainConfig->FixMPEGErrors = fixErrorCheckBox->isEnabled() && fixErrorCheckBox->isChecked() ? 1 : 0;
    w_.MainConfig->RemoveCDIBumper = bumperCheckBox->isEnabled() && bumperCheckBox->isChecked() ? 1 : 0;

    return true;
}

// The video-cd page's steps: an output name, a list to build from, the
// estimate over the list's entries and the free-space question.
bool TExtractionPage::StartBuildChecks() {
    const bool initialise = w_.methodIndex == kInitialiseRun;
    if (w_.videoCdPage->saveFileField->text().isEmpty() && !initialise) return false;
    // The build takes its source from the list: never from an empty one.
    if (!initialise && (!w_.mpegList || w_.mpegList->entries.empty())) return false;
    w_.videoCdPage->totalErrWarnings2->hide();
    const uint64_t bytes = w_.videoCdPage ? uint64_t(w_.videoCdPage->Editor().EstimateBytes()) : 0;
    w_.trackTable->selectedBytes = static_cast<int64_t>(bytes);
    w_.MainConfig->ToastEnable = toastCheckBox->isChecked() ? 1 : 0;
    w_.MainConfig->RemoveCDIBumper = 0;
    return initialise || verifyDiskSpace(bytes) != result::kCancelled;
}

void TExtractionPage::startButtonClick() {
    if (!w_.runState || !w_.MainJob || !w_.languageSet) return;

    // Stop: only the running flag and the window's own button are touched;
    // the job's controls block belongs to the worker now.
    if (w_.runState->running.load() != 0) {
        platform::Button* button =
            w_.runState->pageMode.load() == 1 ? w_.handles_.startVCDButton.get() : w_.handles_.startButton.get();
        button->setHint(w_.languageSet->hint(msg::hint::kStart));
        w_.runState->running = 0;
        w_.stopRequested_ = true;
        return;
    }
    // The previous job is still ending: a second worker must not share it.
    if (w_.worker_ && w_.worker_->Finished()) w_.JobEnded();
    if (w_.WorkerBusy()) return;
    if (w_.pageMode != 0 && w_.pageMode != 1) return;
    const bool build = w_.pageMode == 1;
    platform::Button* startHandle = build ? w_.handles_.startVCDButton.get() : w_.handles_.startButton.get();
    w_.StartAfresh(false);

    w_.trackTable->selectedBytes = 0;
    startHandle->setHint(w_.languageSet->hint(msg::hint::kStop));
    w_.SetUsable(previewButton, false);
    w_.previewIndex = 0;
    if (PassiveBox->isChecked()) w_.SaveDialog.FileName = kPassiveOutput;
    w_.MainConfig->FixMPEGErrors = fixErrorCheckBox->isChecked() ? 1 : 0;
    if (build && VideoCdMethod(w_.methodIndex).load == SourceForm::BuildFiles) {
        w_.MainJob->sourceName = w_.OpenDialog.FileName;
        w_.MainConfig->FixMPEGErrors = 0;
    }
    w_.MainJob->outputName = w_.SaveDialog.FileName;
    w_.MainJob->baseOutputName = w_.SaveDialog.FileName;
    w_.MainJob->pageMode = w_.pageMode;
    w_.MainJob->method = w_.methodIndex;
    w_.MainJob->volumeName = fromQt(w_.videoCdPage->volName->text());

    auto controls = std::make_unique<TJobControls>();
    if (!w_.batchActive) w_.LoadSettings(1);

    if (build ? !StartBuildChecks() : !StartExtractionChecks()) return AbandonStart(controls);

    controls->statusLabel = build ? w_.handles_.statusMsg2.get() : w_.handles_.statusMsg.get();
    controls->etaLabel = build ? w_.handles_.etaMsg2.get() : w_.handles_.etaMsg.get();
    controls->progressBar = build ? w_.handles_.ProgressBar2.get() : w_.handles_.ProgressBar.get();
    controls->completedLabel = build ? w_.handles_.compLabel2.get() : w_.handles_.compLabel1.get();
    controls->trackListBox = build ? nullptr : w_.handles_.TrackListBox.get();
    controls->logListBox = w_.handles_.log.get();
    controls->startButton = startHandle;
    controls->languageSet = w_.languageSet->Snapshot();
    controls->batchFlag = &w_.batchActive;
    controls->openDialog = &w_.OpenDialog;
    controls->saveDialog = &w_.SaveDialog;
    controls->runState = w_.runState;
    controls->dialogs = &w_.WorkerDialogs(w_.MainConfig->DisableErrorPrompts);
    controls->fileDialogs = w_.fileDialogs_;
    controls->stats = w_.stats.get();
    if (!w_.titleHandle_) w_.titleHandle_ = std::make_unique<WindowTitleLabel>(&w_);
    controls->titleLabel = w_.titleHandle_.get();
    w_.MainJob->mpegList = w_.mpegList;

    TJobStart start;
    start.forceRead = forceRead->isChecked();
    start.forceWrite = forceWrite->isChecked();
    start.yesFolder = w_.videoCdPage->yesFolder->isEnabled() && w_.videoCdPage->yesFolder->isChecked();
    start.imgNone = w_.videoCdPage->imgNone->isChecked();
    start.vcdChecked = w_.videoCdPage->VCDCheckBox->isChecked();
    for (int i = 0; i < TrackListBox->count(); ++i) start.selectedRows.push_back(TrackListBox->item(i)->isSelected());
    start.fixLabel = w_.handles_.FixLabel.get();
    start.splitLabel = w_.handles_.SplitLabel.get();
    start.paddingLabel = w_.handles_.PaddingLabel.get();
    start.statusIndicator = w_.handles_.StatusIndicator.get();
    start.previewButton = w_.handles_.previewButton.get();
    start.toastCheckBox = w_.handles_.toastCheckBox.get();
    start.toastChecked = toastCheckBox->isChecked();
    start.mainCaption = TForm1::kCaption;
    if (build) start.sampleClip = w_.videoCdPage->SampleClip();
    start.runningRaisedByCaller = true;

    startHandle->setCaption(w_.languageSet->component(msg::component::kStop));
    startHandle->setHint(w_.languageSet->hint(msg::hint::kStop));
    w_.SetJobControlsUsable(false);

    // Started before the worker exists, so that a second click is a stop
    // and never a second worker.
    w_.runState->pageMode = w_.pageMode;
    w_.runState->running = 1;
    w_.stopRequested_ = false;
    // The worker gets copies of the records, taken here; it hands back what
    // the window keeps once, at its end (TForm1::JobEnded).
    auto jobCopy = TakeJobCopy(*w_.MainJob, *w_.MainConfig, controls.get(), w_.generatedFiles, std::move(start));
    controls.reset();
    jobCopy->batchListening = static_cast<bool>(w_.onJobEnded);
    jobCopy->onEnd = w_.QueuedJobEnd();
    w_.worker_ = WriteThread::Create(std::move(jobCopy));
    std::shared_ptr<WriteThread> worker = w_.worker_;
    w_.SetRunningJob([worker] { return worker->Finished(); }, [worker] { worker->WaitFor(); });

    if (!w_.jobTimer_) {
        w_.jobTimer_ = new QTimer(&w_);
        w_.jobTimer_->setInterval(kWatchIntervalMs);
        connect(w_.jobTimer_, &QTimer::timeout, &w_, [w = &w_] { w->WatchJob(); });
    }
    w_.jobTimer_->start();
}


