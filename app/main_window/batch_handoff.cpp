// The main window's side of the batch: the batch window, "-->", the task
// projects and the initialise run the batch hands over through batchSignal,
// and the controls a running batch keeps locked.
#include <QApplication>
#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>

#include "app/extraction_page/extraction_page.h"
#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "batch/batch_window.h"
#include "batch/handoff.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "disc/mpeg_file_list.h"
#include "engine/write_thread.h"
#include "platform/qt/text.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

// A child gets SIGKILL 5 s after its SIGTERM; a job stops within a block.
constexpr int kStopWaitMs = 8000;

// The main window as the sequencer sees it. Task projects and the
// initialise run go through batchSignal, as the batch window writes them.
class MainWindowBatchHost final : public BatchHost {
public:
    explicit MainWindowBatchHost(TForm1& window) : w_(window) {}
    void SetTaskRunning(uint8_t on) override { w_.SetTaskRunning(on); }
    void SetJobRunning(uint8_t on) override { w_.SetJobRunning(on); }
    void ResetPage(int page) override { w_.ResetPage(page); }
    int pageMode() const override { return w_.pageMode; }
    std::string generatedFiles() const override { return w_.generatedFiles; }
    void setGeneratedFiles(const std::string& files) override { w_.generatedFiles = files; }
    void ShowFirstPage() override { w_.pellmorButtonClick(); }
    void StartInitialiseRun() override { w_.extractionPage->batchSignal->setText(QStringLiteral("<<thread.init>>")); }
    void StartTaskProject(const std::string& path) override { w_.extractionPage->batchSignal->setText(toQt(path)); }

private:
    TForm1& w_;
};

}  // namespace

std::string TForm1::TempFolder() const {
    std::string dir = MainConfig ? MainConfig->TempDirectory : std::string();
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir.empty() ? TempDir() : dir;
}

std::string TForm1::TempProjectFolder() const {
    const std::string own = HandoffFolder(TempFolder());
    return own.empty() ? TempFolder() : own;
}

bool TForm1::BatchRuns() const { return BatchForm && BatchForm->sequencer().running(); }

void TForm1::openBatchListClick() {
    HidePopupLists();
    if (!BatchForm) {
        batchHost_ = std::make_unique<MainWindowBatchHost>(*this);
        TForm3::Services s;
        s.host = batchHost_.get();
        s.registry = registry_.get();
        s.dialogs = dialogs_;
        s.fileDialogs = fileDialogs_;
        s.log = handles_.log.get();
        s.texts = languageSet;
        s.promptFlags = &MainConfig->DisableErrorPrompts;
        s.tempDirectory = TempFolder();
        s.config = MainConfig.get();
        s.cdFolders = [this] {
            CdFolderSource cd;
            cd.buildListRows = BuildListRows();
            cd.imageCount = mpegList ? mpegList->ImageCount() : 0;
            cd.outputDir = ExtractDir(fromQt(videoCdPage->saveFileField->text()));
            return cd;
        };
        s.outputFileName = [this] { return fromQt(videoCdPage->saveFileField->text()); };
        s.imgNone = [this] { return videoCdPage->imgNone->isChecked(); };
        s.keepProjects = [this](const std::vector<std::string>& paths) {
            keptTempPaths_.insert(paths.begin(), paths.end());
        };
        s.mainWindow = this;
        BatchForm = new TForm3(std::move(s), this);
        BatchForm->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        BatchForm->FormCreate();
        // A batch job's end reaches the batch as its result code, after its
        // worker has gone; the sequencer drops it unless it waits for one.
        onJobEnded = [this](int result) {
            if (BatchForm) BatchForm->sequencer().returnThreadSignalChange(result);
        };
    }
    BatchForm->show();
    batchListOpen = 1;
}

void TForm1::transferJobButtonClick() {
    openBatchListClick();
    // Nothing to hand over without an output name.
    if ((pageMode != 0 && pageMode != 1) || SaveDialog.FileName.empty()) return;
    std::string path;
    const std::string folder = TempProjectFolder();
    if (WriteTempTaskProject(TakeTaskProject(), folder, path) != 0) {
        Report(kMsgError, msg::error::kCannotCreate, folder + "/~_tmp.ktp");
        return;
    }
    RegisterTempProject(path);
    BatchForm->AddLoadProjectTask(path);
}

bool TForm1::RunBatchProject(const std::string& path) {
    if (!BatchForm) return false;
    TBatchSequencer& sequencer = BatchForm->sequencer();
    TaskProject p;
    if (ReadTaskProject(path, &p) != 0) return false;
    batchActive = 1;
    sequencer.SetOutputKind(p.pageMode, p.method);
    if (p.inputs.empty()) {
        // The input is what the previous task left.
        std::string input, output;
        if (!sequencer.TakeChainedInput(SaveDialog.FileName, input, output)) return false;
        SaveDialog.FileName = output;
        SaveDialog.Files = {output};
        if (p.pageMode == 1) videoCdPage->saveFileField->setText(toQt(output));
        OpenDialog.Files = {input};
        OpenDialog.FileName = input;
        extractionPage->batchTask->setChecked(false);
        const int loaded = p.pageMode == 0 ? extractionPage->loadButton() : videoCdPage->LoadFromDialog();
        if (loaded != 0) return false;
        ApplyTrackSelection(p);
    }
    sequencer.NoteTaskOutput(SaveDialog.FileName);
    extractionPage->startButtonClick();
    return WorkerBusy();
}

void TForm1::SendBatchFailed() {
    OpenDialog.FileName.clear();
    OpenDialog.Files.clear();
    SaveDialog.FileName.clear();
    SaveDialog.Files.clear();
    // The batch goes on unattended; only its end clears the flag.
    batchActive = taskRunning_ ? 1 : 0;
    // After this handler has returned, as a job's end arrives.
    QTimer::singleShot(0, this, [this] {
        if (BatchForm) BatchForm->sequencer().returnThreadSignalChange(1);
    });
}

void TForm1::StopBatch() {
    if (!BatchRuns()) return;
    if (!BatchForm->sequencer().stopRequested()) BatchForm->runTaskClick();
    QElapsedTimer waited;
    waited.start();
    while (BatchRuns() && waited.elapsed() < kStopWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

bool TForm1::BatchLocked(const QWidget* control) const {
    if (!taskRunning_) return false;
    // Nothing that starts a job or changes what the next one reads; "-->"
    // stays, since the list may grow at its end.
    const QWidget* const locked[] = {
        extractionPage->startButton, extractionPage->browseButton, extractionPage->methodBox,
        videoCdPage->startVCDButton, videoCdPage->buildVCDMethod, videoCdPage->addTrackButton,
        videoCdPage->saveButton,     taskButton,                   ClearButton};
    return std::find(std::begin(locked), std::end(locked), control) != std::end(locked);
}

void TForm1::ApplyBatchLock() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             extractionPage->startButton, extractionPage->browseButton, extractionPage->methodBox,
             videoCdPage->startVCDButton, videoCdPage->buildVCDMethod, videoCdPage->addTrackButton,
             videoCdPage->saveButton, taskButton, ClearButton})
        SetUsable(w, WantsEnabled(w));
    SetJobControlsUsable(!taskRunning_ && !JobRunning());
}

void TExtractionPage::batchTaskClick() {
    const bool on = batchTask->isChecked();
    inputFileField->setEnabled(!on);
    QPalette palette = inputFileField->palette();
    palette.setColor(QPalette::Base, on ? w_.palette().color(QPalette::Window)
                                        : QApplication::palette().color(QPalette::Base));
    inputFileField->setPalette(palette);
    if (w_.languageSet) browseButton->setText(toQt(w_.languageSet->component(on ? 33 : 14)));
}

void TExtractionPage::batchSignalChange() {
    const std::string text = fromQt(batchSignal->text());
    // Clearing the text below comes back here once more.
    if (text.empty()) return;
    batchTask->setChecked(false);
    bool started = false;
    if (text == "<<thread.init>>") {
        w_.ShowPage(1);
        w_.pageMode = 1;
        const int32_t kept = w_.methodIndex;
        w_.methodIndex = kInitialiseRun;
        startButtonClick();
        w_.methodIndex = kept;
        started = w_.WorkerBusy();
    } else {
        started = w_.RunBatchProject(text);
    }
    batchSignal->clear();
    w_.ApplyBatchLock();
    if (!started) w_.SendBatchFailed();
}
