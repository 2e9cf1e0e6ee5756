#include "app/main_window/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QScreen>
#include <QStyleFactory>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <unistd.h>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "batch/batch_window.h"
#include "batch/command_line.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "engine/methods.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/dialogs_qt.h"
#include "platform/qt/registry_qt.h"
#include "platform/qt/shell_qt.h"
#include "platform/qt/text.h"
#include "tools/sample_clip_window.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

constexpr int kClientWidth = 680;
constexpr int kClientHeight = 374;

}  // namespace

std::vector<std::string> GeneratedFileEntries(const std::string& s) {
    std::vector<std::string> entries;
    if (s.empty()) return entries;
    // Entries end at each quote-blank-quote; the last one loses its final blank.
    size_t begin = 0;
    for (size_t i = 0; i + 2 < s.size(); ++i) {
        if (s[i] == '"' && s[i + 1] == ' ' && s[i + 2] == '"') {
            entries.push_back(s.substr(begin, i + 1 - begin));
            begin = i + 2;
            i += 1;
        }
    }
    if (entries.empty()) {
        entries.push_back(s);
    } else {
        size_t end = s.size() - 1;  // the final blank
        entries.push_back(s.substr(begin, end > begin ? end - begin : 0));
    }
    for (std::string& e : entries) {
        size_t b = e.find_first_not_of(' ');
        size_t t = e.find_last_not_of(' ');
        e = b == std::string::npos ? std::string() : e.substr(b, t - b + 1);
    }
    return entries;
}

void TForm1::ApplyApplicationStyle() {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

TForm1::TForm1() : TForm1(Services()) {}

TForm1::TForm1(Services services, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    if (!services.registry) {
        ownRegistry_ = std::make_unique<platform::qt::QtRegistry>();
        services.registry = ownRegistry_.get();
    }
    registry_ = std::make_unique<platform::LatchedRegistry>(*services.registry);
    if (services.dialogs) {
        dialogs_ = services.dialogs;
    } else {
        ownDialogs_ = std::make_unique<platform::qt::QtDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }
    if (services.fileDialogs) {
        fileDialogs_ = services.fileDialogs;
    } else {
        ownFileDialogs_ = std::make_unique<platform::qt::QtFileDialogs>(this);
        fileDialogs_ = ownFileDialogs_.get();
    }
    if (services.shell) {
        shell_ = services.shell;
    } else {
        ownShell_ = std::make_unique<platform::qt::QtShell>();
        shell_ = ownShell_.get();
    }
    freeSpace_ = std::move(services.freeSpace);
    imageCapacity_ = services.imageCapacity;
    imageMargin_ = services.imageMargin;
    exeDir = services.exeDir;
    if (exeDir.empty()) exeDir = fromQt(QCoreApplication::applicationDirPath());
    if (exeDir.empty() || exeDir.back() != '/') exeDir += '/';

    BuildHeader();
    extractionPageOwned_ = std::make_unique<TExtractionPage>(*this, TabSheet1);
    extractionPage = extractionPageOwned_.get();
    videoCdPageOwned_ = std::make_unique<TVideoCdPage>(*this, TabSheet2);
    videoCdPage = videoCdPageOwned_.get();
    logPageOwned_ = std::make_unique<TLogPage>(TabSheet3);
    logPage = logPageOwned_.get();
    MakeHandles();
    ConnectHandlers();
    SetTabOrder();
    // Clicks and keys anywhere in the window close the pop-up lists.
    QCoreApplication::instance()->installEventFilter(this);

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->availableGeometry();
        move(r.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    FormCreate();
}

TForm1::~TForm1() {
    FormClose();
    // The batch window goes first: it reaches this window while it lives.
    delete BatchForm;
    BatchForm = nullptr;
    onJobEnded = nullptr;
    // The editor holds the options and the job.
    sampleCreateForm_.reset();
    // Freed in the close's order: the run state, the texts, the options, then
    // the job with its track table, then the counters.
    FreeScanObjects();
    videoCdPage = nullptr;
    videoCdPageOwned_.reset();
    runState = nullptr;
    runStateOwned.reset();
    languageSet.reset();
    MainConfig.reset();
    trackTable = nullptr;
    MainJob.reset();
    stats.reset();
}





void TForm1::MakeHandles() {
    using namespace platform::qt;
    Handles& h = handles_;
    h.statusMsg = std::make_unique<QtLabel>(extractionPage->statusMsg);
    h.etaMsg = std::make_unique<QtLabel>(extractionPage->etaMsg);
    h.compLabel1 = std::make_unique<QtLabel>(extractionPage->compLabel1);
    h.statusMsg2 = std::make_unique<QtLabel>(videoCdPage->statusMsg2);
    h.etaMsg2 = std::make_unique<QtLabel>(videoCdPage->etaMsg2);
    h.compLabel2 = std::make_unique<QtLabel>(videoCdPage->compLabel2);
    h.FixLabel = std::make_unique<QtLabel>(extractionPage->FixLabel);
    h.SplitLabel = std::make_unique<QtLabel>(extractionPage->SplitLabel);
    h.PaddingLabel = std::make_unique<QtLabel>(extractionPage->PaddingLabel);
    h.StatusIndicator = std::make_unique<QtLabel>(extractionPage->StatusIndicator);
    h.totalErrWarnings = std::make_unique<QtLabel>(extractionPage->totalErrWarnings);
    h.totalErrWarnings2 = std::make_unique<QtLabel>(videoCdPage->totalErrWarnings2);
    h.ProgressBar = std::make_unique<QtProgressBar>(extractionPage->ProgressBar);
    h.ProgressBar2 = std::make_unique<QtProgressBar>(videoCdPage->ProgressBar2);
    h.TrackListBox = std::make_unique<QtListBox>(extractionPage->TrackListBox);
    h.log = std::make_unique<QtListBox>(logPage->log);
    h.startButton = std::make_unique<QtButton>(extractionPage->startButton);
    h.startVCDButton = std::make_unique<QtButton>(videoCdPage->startVCDButton);
    h.previewButton = std::make_unique<QtButton>(extractionPage->previewButton);
    h.toastCheckBox = std::make_unique<QtCheckBox>(extractionPage->toastCheckBox);
    h.batchSignal = std::make_unique<QtEdit>(extractionPage->batchSignal);
}

void TForm1::ConnectHandlers() {
    connect(pellmorButton, &QPushButton::clicked, this, [this] { pellmorButtonClick(); });
    connect(buildVCDButton, &QPushButton::clicked, this, [this] { buildVCDButtonClick(); });
    connect(logButton, &QPushButton::clicked, this, [this] { logButtonClick(); });
    connect(taskButton, &QPushButton::clicked, this, [this] { taskButtonClick(); });
    connect(docButton, &QPushButton::clicked, this, [this] { docButtonClick(); });
    connect(utilButton, &QPushButton::clicked, this, [this] { utilButtonClick(); });
    connect(optionsButton, &QPushButton::clicked, this, [this] { optionsButtonClick(); });
    connect(aboutButton, &QPushButton::clicked, this, [this] { aboutButtonClick(); });
    connect(taskBox, &QListWidget::itemClicked, this, [this] { taskBoxClick(); });
    connect(docBox, &QListWidget::itemClicked, this, [this] { docBoxClick(); });
    connect(utilBox, &QListWidget::itemClicked, this, [this] { utilBoxClick(); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { ClearButtonClick(); });
    connect(transferJobButton, &QPushButton::clicked, this, [this] { transferJobButtonClick(); });
}





void TForm1::SetUsable(QWidget* control, bool on) {
    control->setProperty("pellmorWanted", on);
    control->setEnabled(on && !BatchLocked(control));
}

bool TForm1::WantsEnabled(const QWidget* control) const {
    QVariant v = control->property("pellmorWanted");
    return v.isValid() ? v.toBool() : control->isEnabled();
}

int TForm1::Report(int kind, int index, const std::string& text) {
    MessageServices services;
    services.languageSet = languageSet.get();
    services.stats = stats.get();
    services.dialogs = dialogs_;
    const TConfig* c = MainConfig.get();
    return ReportMessage(services, kind, index, text, c ? c->DisableAudioWarningBell : 0,
                         c ? c->DisableErrorPrompts : 0, handles_.log.get());
}

// ---------------------------------------------------------------- life

void TForm1::FormCreate() {
    if (created_) return;
    created_ = true;
    MainJob = std::make_unique<TJob>();
    MainConfig = std::make_unique<TConfig>();
    runStateOwned = std::make_unique<TRunState>();
    runState = runStateOwned.get();
    trackTable = new TTrackTable();
    stats = std::make_unique<TStats>(MainJob.get());
    stats->totalErrWarnings = handles_.totalErrWarnings.get();
    stats->totalErrWarnings2 = handles_.totalErrWarnings2.get();
    MainJob->trackTable = trackTable;
    videoCdPage->Start(imageCapacity_, imageMargin_);

    runState->running = 0;
    // The first item of each box until the settings name the last methods.
    extractionPage->methodBox->setCurrentIndex(Index(Method::RarToCueBinToMpeg));
    videoCdPage->buildVCDMethod->setCurrentIndex(Index(VcdMethod::MpegToTocBin));
    methodIndex = Index(Method::RarToCueBinToMpeg);
    previewIndex = 0;
    MainConfig->passive = 0;
    batchListOpen = 0;

    settings_ = std::make_unique<RegistrySettings>(*registry_, exeDir);
    LoadSettings(0);

    languageSet = std::make_shared<TLanguageSet>();
    // A missing or bad file leaves the built-in English texts.
    if (!MainConfig->LanguageFile.empty()) languageSet->LoadFromFile(MainConfig->LanguageFile, nullptr);
    stats->languageSet = languageSet.get();
    videoCdPage->SetTexts();
    ApplyLanguageCaptions();
    ApplyLanguageHints();

    setAcceptDrops(true);
    pellmorButtonClick();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closed from inside a modal box's loop (a question of the job, a file
    // dialog): waiting here for the worker would wait for that box, which
    // cannot return before this does. End the boxes and close again once
    // their loops are left.
    if (!closed_ && (QApplication::activeModalWidget() || platform::qt::BoxLoopRunning())) {
        if (ownDialogs_) ownDialogs_->refuseAll(true);
        if (runState && JobRunning()) {
            runState->running = 0;
            stopRequested_ = true;
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QDialog*>(top); box && box->isVisible()) box->reject();
        event->ignore();
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::SetRunningJob(std::function<bool()> finished, std::function<void()> join) {
    jobFinished_ = std::move(finished);
    jobJoin_ = std::move(join);
}

void TForm1::StopRunningJob() {
    if (!runState) return;
    const bool pending = jobFinished_ || jobJoin_;
    if (!pending && !JobRunning()) return;
    // Boxes the worker asks for from now on answer Cancel at once; the events
    // keep flowing so that a worker waiting on a widget is served.
    if (ownDialogs_) ownDialogs_->refuseAll(true);
    runState->running = 0;
    setEnabled(false);
    if (jobFinished_) {
        while (!jobFinished_()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
    }
    if (jobJoin_) jobJoin_();
    QCoreApplication::processEvents();
    jobFinished_ = nullptr;
    jobJoin_ = nullptr;
    if (ownDialogs_) ownDialogs_->refuseAll(false);
}

void TForm1::FormClose() {
    if (closed_ || !created_) return;
    closed_ = true;
    // The batch stops first, so no child of it outlives the program.
    StopBatch();
    StopRunningJob();
    HidePopupLists();
    if (BatchForm) BatchForm->FormClose();
    if (skipSaveSettings != 1) SaveSettings();
    FreeScanObjects();
    // This run's task projects, and those an earlier run left in the
    // program's folder, but none that another running copy holds. Those a
    // saved batch list names stay for that list.
    for (const std::string& path : tempProjects_.paths()) {
        std::error_code ec;
        if (!keptTempPaths_.count(path)) std::filesystem::remove(path, ec);
    }
    tempProjects_.Release();
    SweepTempProjects(HandoffFolder(TempFolder(), false),
                      std::vector<std::string>(keptTempPaths_.begin(), keptTempPaths_.end()));
    // The private folders of this run's archive rows, made for them alone:
    // a batch that ended before their last row left what the archiver
    // unpacked there, and no row is left to use it. One a saved list names
    // stays for that list.
    for (const std::string& folder : tempFolders_)
        if (!keptTempPaths_.count(folder)) RunBuiltin({BuiltinCommand::kRemoveTree, folder});
    tempFolders_.clear();
}

void TForm1::RegisterTempProject(const std::string& path) { tempProjects_.Hold(path); }
void TForm1::RegisterTempFolder(const std::string& path) { tempFolders_.push_back(path); }

// ---------------------------------------------------------------- pages

void TForm1::ShowPage(int index) {
    menuPage->setCurrentIndex(index);
    pellmorButton->setChecked(index == 0);
    buildVCDButton->setChecked(index == 1);
    logButton->setChecked(index == 2);
}


void TForm1::pellmorButtonClick() {
    HidePopupLists();
    if (JobRunning()) {
        if (runState->pageMode != 0) {
            SetUsable(extractionPage->startButton, false);
            SetUsable(extractionPage->browseButton, false);
            SetUsable(extractionPage->methodBox, false);
        }
        ShowPage(0);
        pageMode = 0;
        extractionPage->FixLabel->setText(toQt(languageSet->component(msg::component::kFixes) + ":"));
        extractionPage->SplitLabel->setText(toQt(languageSet->component(msg::component::kSplits) + ":"));
        handles_.StatusIndicator->setColor(0xC0C0C0);
        return;
    }
    // Start needs a loaded source.
    SetUsable(extractionPage->startButton, !extractionPage->inputFileField->text().isEmpty());
    SetUsable(extractionPage->browseButton, true);
    SetUsable(extractionPage->methodBox, true);
    if (BuildListRows() > 0) {
        ShowPage(1);
        int answer = ResetPage(1);
        if (answer == platform::kNo || answer == platform::kCancel) return;
    }
    ShowPage(0);
    pageMode = 0;
    GreyOptions();
}

void TForm1::buildVCDButtonClick() {
    HidePopupLists();
    QWidget* const jobControls[] = {videoCdPage->startVCDButton, videoCdPage->addTrackButton,  videoCdPage->removeTrackButton, videoCdPage->moveTrackUp,
                                    videoCdPage->moveTrackDown,  videoCdPage->clearListButton, videoCdPage->buildVCDMethod};
    if (JobRunning()) {
        if (runState->pageMode != 1)
            for (QWidget* w : jobControls) SetUsable(w, false);
        ShowPage(1);
        pageMode = 1;
        return;
    }
    for (QWidget* w : jobControls) SetUsable(w, true);
    if (extractionPage->TrackListBox->count() > 0 || !extractionPage->inputFileField->text().isEmpty()) {
        ShowPage(0);
        int answer = ResetPage(0);
        if (answer == platform::kNo || answer == platform::kCancel) return;
    }
    ShowPage(1);
    pageMode = 1;
    SetUsable(extractionPage->previewButton, false);
    previewIndex = 0;
    extractionPage->PassiveBox->setChecked(false);
    batchActive = 0;
    GreyOptions();
}

void TForm1::logButtonClick() {
    HidePopupLists();
    ShowPage(2);
}


// ---------------------------------------------------------------- header lists









// ---------------------------------------------------------------- options





void TForm1::GreyOptions() {
    if (pageMode == 0) {
        methodIndex = extractionPage->methodBox->currentIndex();
        SetUsable(extractionPage->sfvCheck, false);
        SetUsable(extractionPage->subCheckBox, false);
        // No method selected: everything greyed.
        const TMethodInfo& m = ExtractionMethod(methodIndex);
        extractionPage->fixErrorCheckBox->setEnabled(m.enables & kEnablesFix);
        extractionPage->bumperCheckBox->setEnabled(m.enables & kEnablesBumper);
        SetUsable(extractionPage->sfvCheck, m.enables & kEnablesSfv);
        SetUsable(extractionPage->subCheckBox, m.enables & kEnablesSubtitles);
    } else if (pageMode == 1) {
        methodIndex = videoCdPage->buildVCDMethod->currentIndex();
        const TMethodInfo& m = VideoCdMethod(methodIndex);
        const bool files = m.enables & kEnablesBuildList;
        for (QWidget* w : std::initializer_list<QWidget*>{videoCdPage->moveTrackUp, videoCdPage->moveTrackDown, videoCdPage->addTrackButton,
                                                          videoCdPage->removeTrackButton, videoCdPage->playTrackButton, videoCdPage->clearListButton,
                                                          videoCdPage->imgNumLabel, videoCdPage->totalImageTime})
            SetUsable(w, files);
        const bool image = m.enables & kEnablesImageLoad;
        // With a cif or nrg build the button chooses the source image.
        if (languageSet) videoCdPage->saveButton->setText(toQt(languageSet->component(image ? 14 : 33)));
        if (videoCdPage) videoCdPage->UpdateStart();
    }
}



// ---------------------------------------------------------------- page contents

int TForm1::BuildListRows() const { return videoCdPage ? videoCdPage->Rows() : 0; }

int TForm1::ResetPage(int page) {
    if (!batchActive) {
        int answer = Report(kMsgQuestion, msg::query::kLoseTrackEntries, "");
        if (answer != platform::kYes) return answer;
    }
    // A cleared page starts its counts afresh: the next refusal is the first.
    if (stats) {
        stats->warnings = 0;
        stats->errors = 0;
    }
    if (page == 0) {
        extractionPage->TrackListBox->clear();
        extractionPage->totalErrWarnings->hide();
        SetUsable(extractionPage->previewButton, false);
        trackTable->Reset();
        ClearAllFileFields();
        SetUsable(extractionPage->startButton, false);
        SetUsable(extractionPage->trackZeroBox, false);
        FreeScanObjects();
    } else if (page == 1) {
        ClearAllFileFields();
        if (videoCdPage) videoCdPage->ResetControls();
    }
    MainConfig->buildListHeaderShown = 0;
    MainJob->multiImage = 0;
    extractionPage->batchTask->setChecked(false);
    return platform::kYes;
}

void TForm1::ClearAllFileFields() {
    extractionPage->inputFileField->clear();
    videoCdPage->saveFileField->clear();
    extractionPage->TrackMsgLabel->clear();
    videoCdPage->volName->clear();
    OpenDialog.FileName.clear();
    OpenDialog.Files.clear();
    SaveDialog.FileName.clear();
    SaveDialog.Files.clear();
    if (MainJob) {
        MainJob->sourceName.clear();
        MainJob->outputName.clear();
        MainJob->baseOutputName.clear();
    }
    SetUsable(videoCdPage->namingLabel, false);
    SetUsable(extractionPage->namingLabel2, false);
}

void TForm1::StartAfresh(bool newSource) {
    if (stats) {
        stats->warnings = 0;
        stats->errors = 0;
    }
    extractionPage->totalErrWarnings->hide();
    videoCdPage->totalErrWarnings2->hide();
    if (!newSource) return;
    SetUsable(extractionPage->previewButton, false);
    previewIndex = 0;
    // A batch's command tasks still read the last job's outputs.
    if (!batchActive) generatedFiles.clear();
}

void TForm1::FreeScanObjects() {
    // The scan's file object belongs to source loading; nothing is held yet.
    inputFile = nullptr;
    if (videoCdPage) videoCdPage->ClearList();
}

void TForm1::ClearButtonClick() {
    // Not under a job, nor under a batch run (which holds batchActive
    // without the passive box).
    if (JobRunning() || WorkerBusy() || BatchRuns() || (batchActive && !extractionPage->PassiveBox->isChecked()))
        return;
    const uint8_t before = batchActive;
    batchActive = 1;
    if (sampleCreateForm_) sampleCreateForm_->ResetEditor();
    ResetPage(pageMode);
    if (BatchForm) BatchForm->clearBatchListClick();
    batchActive = before;
}

void TForm1::WMDropFiles(const std::vector<std::string>& names) {
    // The worker reads the build list while it runs.
    if (JobRunning() || WorkerBusy()) return;
    if (pageMode != 1) return;
    // The list builds from MPEG files only.
    if (!videoCdPage || videoCdPage->buildVCDMethod->currentIndex() > 1) return;
    videoCdPage->AddFiles(names);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    std::vector<std::string> names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(platform::qt::localPath(url));
    event->acceptProposedAction();
    WMDropFiles(names);
}

// ---------------------------------------------------------------- logPage->log, preview, play





// ---------------------------------------------------------------- settings

MainWindowValues TForm1::WindowValues() const {
    MainWindowValues w;
    w.lastMethod = extractionPage->methodBox->currentIndex();
    w.lastBuildVCDMethod = videoCdPage->buildVCDMethod->currentIndex();
    w.fixErrors = extractionPage->fixErrorCheckBox->isChecked();
    w.removeBumper = extractionPage->bumperCheckBox->isChecked();
    w.toast = extractionPage->toastCheckBox->isChecked();
    w.videoCdMode = videoCdPage->VCDCheckBox->isChecked();
    w.separateFolders = videoCdPage->yesFolder->isChecked();
    // Custom spans at the 80-minute capacity and is stored as that.
    w.split = videoCdPage->img74->isChecked() ? 1 : videoCdPage->img80->isChecked() || videoCdPage->imgCustom->isChecked() ? 2 : 0;
    w.forceReadTicked = extractionPage->forceRead->isChecked();
    w.forceWriteTicked = extractionPage->forceWrite->isChecked();
    w.sectorReadText = fromQt(extractionPage->sectorReadField->text());
    w.sectorWriteText = fromQt(extractionPage->sectorWriteField->text());
    w.trackPausePosition = videoCdPage->TrackPauseBar->value();
    w.pauseTimeText = fromQt(videoCdPage->pauseTimeMsg->text());
    return w;
}

void TForm1::LoadSettings(int mode) {
    MainWindowValues w = WindowValues();
    settings_->Load(mode == 0 ? LoadMode::Full : LoadMode::BeforeJob, *MainConfig, w);
    if (mode != 0) return;
    extractionPage->methodBox->setCurrentIndex(w.lastMethod);
    GreyOptions();
    videoCdPage->buildVCDMethod->setCurrentIndex(w.lastBuildVCDMethod);
    extractionPage->fixErrorCheckBox->setChecked(w.fixErrors);
    extractionPage->bumperCheckBox->setChecked(w.removeBumper);
    extractionPage->toastCheckBox->setChecked(w.toast);
    videoCdPage->TrackPauseBar->setValue(w.trackPause);
    videoCdPage->VCDCheckBox->setChecked(w.videoCdMode);
    videoCdPage->SVCDCheckBox->setChecked(!videoCdPage->VCDCheckBox->isChecked());
    if (w.split) {
        // "Custom" is stored as "80min": a custom choice stays as it is.
        if (*w.split == 1) videoCdPage->img74->setChecked(true);
        else if (*w.split == 2 && !videoCdPage->imgCustom->isChecked()) videoCdPage->img80->setChecked(true);
        else if (*w.split != 2) videoCdPage->imgNone->setChecked(true);
    }
    videoCdPage->yesFolder->setChecked(w.separateFolders);
    videoCdPage->noFolder->setChecked(!videoCdPage->yesFolder->isChecked());
    // The fields show the sizes in force, as after typing into them: a size
    // that was not forced comes back as 0, and the field says so rather than
    // show a size that no job would use.
    if (w.forcedRead) {
        MainJob->forcedReadSize = *w.forcedRead;
        extractionPage->forceRead->setChecked(*w.forcedRead != 0);
        extractionPage->sectorReadField->setText(QString::number(*w.forcedRead));
    }
    if (w.forcedWrite) {
        MainJob->forcedWriteSize = *w.forcedWrite;
        extractionPage->forceWrite->setChecked(*w.forcedWrite != 0);
        extractionPage->sectorWriteField->setText(QString::number(*w.forcedWrite));
    }
    videoCdPage->pauseTimeMsg->setText(QString::number(w.trackPause));
}

void TForm1::SaveSettings() {
    if (!settings_ || !MainConfig) return;
    settings_->Save(*MainConfig, WindowValues());
}

