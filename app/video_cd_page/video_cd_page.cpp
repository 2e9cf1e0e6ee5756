#include "app/video_cd_page/video_cd_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "core/helpers.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "engine/methods.h"
#include "engine/source_loader.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/string_grid_qt.h"
#include "platform/qt/text.h"
#include "platform/qt/widget_make.h"

using platform::qt::fromQt;
using platform::qt::toQt;
using platform::qt::Make;
using platform::qt::MakeGroup;
using platform::qt::MakeText;

namespace {

const char* const kPropertyBeforeJob = "pellmorWantedBeforeJob";

}  // namespace

void TVideoCdPage::Start(int64_t capacity, int64_t margin) {
    using namespace platform::qt;
    TrackListGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_ = std::make_unique<QtStringGrid>(TrackListGrid);
    vcdBox_ = std::make_unique<QtCheckBox>(VCDCheckBox);
    svcdBox_ = std::make_unique<QtCheckBox>(SVCDCheckBox);
    imgNoneBox_ = std::make_unique<QtCheckBox>(imgNone);
    img74Box_ = std::make_unique<QtCheckBox>(img74);
    img80Box_ = std::make_unique<QtCheckBox>(img80);
    imgCustomBox_ = std::make_unique<QtCheckBox>(imgCustom);
    pauseEdit_ = std::make_unique<QtEdit>(pauseTimeMsg);
    imgNumHandle_ = std::make_unique<QtLabel>(imgNumLabel);
    totalTimeHandle_ = std::make_unique<QtLabel>(totalImageTime);

    list_ = std::make_unique<TMpegFileList>(w_.MainJob.get(), w_.MainConfig.get());
    rows_ = std::make_unique<TVcdTrackList>(w_.MainJob.get(), grid_.get(), w_.languageSet.get());
    editor_ = std::make_unique<TBuildListEditor>(*w_.MainJob, *w_.MainConfig, *list_, *rows_);
    w_.mpegList = list_.get();
    w_.vcdTrackList = rows_.get();
    w_.MainJob->mpegList = list_.get();
    capacity_ = capacity;
    ApplyCapacity();
    if (margin >= 0) list_->SetMarginOverride(margin);
    SetTexts();

    // Radio buttons act for the button that becomes checked.
    for (QRadioButton* r : {imgNone, img74, img80, imgCustom})
        QObject::connect(r, &QRadioButton::toggled, &w_, [this](bool on) {
            if (on) AdjustImageSpan();
        });
    QObject::connect(yesFolder, &QRadioButton::toggled, &w_, [this](bool on) {
        if (on) yesFolderClick();
    });
    QObject::connect(noFolder, &QRadioButton::toggled, &w_, [this](bool on) {
        if (on) noFolderClick();
    });
    QObject::connect(TrackListGrid, &QTableWidget::itemSelectionChanged, &w_, [this] {
        if (!busy_) TrackListGridClick();
    });
    QObject::connect(addTrackButton, &QPushButton::clicked, &w_, [this] { w_.extractionPage->loadButtonClick(); });
    QObject::connect(clearListButton, &QPushButton::clicked, &w_, [this] { clearListButtonClick(); });
    QObject::connect(removeTrackButton, &QPushButton::clicked, &w_, [this] { removeTrackButtonClick(); });
    QObject::connect(moveTrackUp, &QPushButton::clicked, &w_, [this] { moveTrackUpClick(); });
    QObject::connect(moveTrackDown, &QPushButton::clicked, &w_, [this] { moveTrackDownClick(); });
    QObject::connect(IncreaseImage, &QPushButton::clicked, &w_, [this] { IncreaseImageClick(); });
    QObject::connect(ReduceImage, &QPushButton::clicked, &w_, [this] { ReduceImageClick(); });
    QObject::connect(volumeExpandButton, &QPushButton::clicked, &w_, [this] { volumeExpandButtonClick(); });
    QObject::connect(saveButton, &QPushButton::clicked, &w_, [this] { saveButtonClick(); });
    QObject::connect(namingLabel, &TClickLabel::clicked, &w_, [this] { namingLabelClick(); });
    QObject::connect(w_.extractionPage->namingLabel2, &TClickLabel::clicked, &w_, [this] { namingLabelClick(); });
    // The up-down writes its position into the field and stores it.
    QObject::connect(TrackPauseBar, &QScrollBar::valueChanged, &w_, [this](int v) {
        const QString text = QString::number(v);
        if (pauseTimeMsg->text() != text) pauseTimeMsg->setText(text);
        if (!busy_) TrackPauseBarClick();
    });
    // A typed pause counts as the arrows do once the field is left (so that
    // "17" is not taken as "1" on the way); anything else goes back.
    QObject::connect(pauseTimeMsg, &QLineEdit::editingFinished, &w_, [this] { pauseTimeMsgChange(); });
    UpdateImageButtons();
}

TVideoCdPage::TVideoCdPage(TForm1& window, QWidget* sheet) : w_(window) {
    Layout(sheet);
    ConnectHandlers();
}

void TVideoCdPage::Layout(QWidget* p) {
    buildVCDMethod = Make<QComboBox>(p, "buildVCDMethod", 6, 6, 238, 22);
    for (int i = 0; i < kVideoCdMethodCount; ++i) buildVCDMethod->addItem(QString::fromUtf8(VideoCdMethod(i).item));

    VCDMethodGroup = MakeGroup(p, "VCDMethodGroup", "VideoCD Creation Method", 6, 32, 238, 58);
    VCDCheckBox = MakeText<QCheckBox>(VCDMethodGroup, "VCDCheckBox", "VCD", 12, 21, 70, 18);
    SVCDCheckBox = MakeText<QCheckBox>(VCDMethodGroup, "SVCDCheckBox", "SVCD", 90, 21, 70, 18);
    VCDOptionLink = MakeText<TClickLabel>(VCDMethodGroup, "VCDOptionLink", "[+] VideoCD options", 12, 39, 186, 16);
    VCDOptionLink->setCursor(Qt::PointingHandCursor);

    vidInfoGroup = MakeGroup(p, "vidInfoGroup", "Video Track Information", 6, 94, 238, 104);
    int y = 21;
    for (auto [label, name, caption] : std::initializer_list<std::tuple<QLabel**, const char*, const char*>>{
             {&videoRes, "videoRes", "Resolution :"},
             {&vidBitrate, "vidBitrate", "Video Bitrate :"},
             {&audInfo, "audInfo", "Audio :"},
             {&audBitrate, "audBitrate", "Audio Bitrate :"},
             {&imgNumLabel, "imgNumLabel", "Image #:"},
             {&totalImageTime, "totalImageTime", "Total Playtime:"}}) {
        *label = MakeText<QLabel>(vidInfoGroup, name, caption, 8, y, 224, 13);
        y += 13;
    }

    VCDTrackListGroup = MakeGroup(p, "VCDTrackListGroup", "VideoCD Track List", 250, 2, 230, 196);
    TrackListGrid = Make<QTableWidget>(VCDTrackListGroup, "TrackListGrid", 8, 21, 214, 115);
    // Image, track, file and play time; the titles come from the build list.
    TrackListGrid->setColumnCount(4);
    TrackListGrid->verticalHeader()->hide();
    TrackListGrid->verticalHeader()->setDefaultSectionSize(16);
    TrackListGrid->horizontalHeader()->setFixedHeight(18);
    TrackListGrid->setColumnWidth(0, 18);
    TrackListGrid->setColumnWidth(1, 20);
    // The path takes what the play time leaves; its file name end shows.
    TrackListGrid->setWordWrap(false);
    TrackListGrid->setTextElideMode(Qt::ElideLeft);
    TrackListGrid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    TrackListGrid->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    TrackListGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TrackListGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TrackListGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TrackListGrid->setTabKeyNavigation(false);  // Tab leaves the grid
    addTrackButton = MakeButton(VCDTrackListGroup, "addTrackButton", "add track", 8, 142, 62, 22);
    removeTrackButton = MakeButton(VCDTrackListGroup, "removeTrackButton", "remove track", 72, 142, 80, 22);
    clearListButton = MakeButton(VCDTrackListGroup, "clearListButton", "clear list", 154, 142, 68, 22);
    moveTrackUp = MakeButton(VCDTrackListGroup, "moveTrackUp", "up", 8, 167, 36, 22);
    moveTrackDown = MakeButton(VCDTrackListGroup, "moveTrackDown", "down", 46, 167, 42, 22);
    IncreaseImage = MakeButton(VCDTrackListGroup, "IncreaseImage", "img +", 90, 167, 42, 22);
    ReduceImage = MakeButton(VCDTrackListGroup, "ReduceImage", "img -", 134, 167, 42, 22);
    playTrackButton = MakeButton(VCDTrackListGroup, "playTrackButton", "play", 178, 167, 44, 22);

    AdditionGroup = MakeGroup(p, "AdditionGroup", "Additional Options", 486, 2, 184, 196);
    volNameLabel = MakeText<QLabel>(AdditionGroup, "volNameLabel", "Volume Name:", 8, 23, 80, 16);
    volName = Make<QLineEdit>(AdditionGroup, "volName", 88, 21, 68, 20);
    volumeExpandButton = MakeButton(AdditionGroup, "volumeExpandButton", "...", 158, 21, 20, 20);
    trackPauseLabel = MakeText<QLabel>(AdditionGroup, "trackPauseLabel", "Track Pause:", 8, 45, 80, 16);
    pauseTimeMsg = MakeText<QLineEdit>(AdditionGroup, "pauseTimeMsg", "5", 88, 43, 30, 20);
    pauseTimeMsg->setMaxLength(2);
    TrackPauseBar = Make<QScrollBar>(AdditionGroup, "TrackPauseBar", 118, 43, 14, 20);
    TrackPauseBar->setOrientation(Qt::Vertical);
    TrackPauseBar->setRange(0, 16);
    TrackPauseBar->setInvertedAppearance(true);
    TrackPauseBar->setInvertedControls(true);
    TrackPauseBar->setValue(5);
    TrackPauseBar->setFocusPolicy(Qt::StrongFocus);  // the arrow keys move it
    spanLabel = MakeText<QLabel>(AdditionGroup, "spanLabel", "Span VideoCD Images at:", 8, 64, 168, 16);
    imgNone = MakeText<QRadioButton>(AdditionGroup, "imgNone", "Don't span", 12, 80, 86, 16);
    imgCustom = MakeText<QRadioButton>(AdditionGroup, "imgCustom", "custom", 100, 80, 78, 16);
    img74 = MakeText<QRadioButton>(AdditionGroup, "img74", "74 min", 12, 96, 86, 16);
    img80 = MakeText<QRadioButton>(AdditionGroup, "img80", "80 min", 100, 96, 78, 16);
    spanGroup_ = new QButtonGroup(p);
    for (QRadioButton* r : {imgNone, imgCustom, img74, img80}) spanGroup_->addButton(r);
    imgNone->setChecked(true);
    addSampleLabel = MakeText<QLabel>(AdditionGroup, "addSampleLabel", "Add a Sample Clip?", 8, 112, 168, 15);
    yesSample = MakeText<QRadioButton>(AdditionGroup, "yesSample", "Yes", 12, 129, 48, 16);
    noSample = MakeText<QRadioButton>(AdditionGroup, "noSample", "No", 62, 129, 46, 16);
    OpenSampleButton = MakeButton(AdditionGroup, "OpenSampleButton", "clip...", 110, 127, 66, 20);
    sampleGroup_ = new QButtonGroup(p);
    sampleGroup_->addButton(yesSample);
    sampleGroup_->addButton(noSample);
    noSample->setChecked(true);
    yesSample->setEnabled(false);
    noSample->setEnabled(false);
    folderLabel = MakeText<QLabel>(AdditionGroup, "folderLabel", "Put Images/Sample Into Separate Folders?", 8, 148,
                                   168, 28);
    folderLabel->setWordWrap(true);
    folderLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    yesFolder = MakeText<QRadioButton>(AdditionGroup, "yesFolder", "Yes", 12, 176, 48, 16);
    noFolder = MakeText<QRadioButton>(AdditionGroup, "noFolder", "No", 62, 176, 46, 16);
    folderGroup_ = new QButtonGroup(p);
    folderGroup_->addButton(yesFolder);
    folderGroup_->addButton(noFolder);
    noFolder->setChecked(true);

    std::tie(saveFileField, saveButton, namingLabel, startVCDButton, ProgressBar2, statusMsg2, compLabel2,
             etaMsg2, totalErrWarnings2) =
        MakeJobRow(p, {"saveFileField", "saveButton", "namingLabel", "startVCDButton", "ProgressBar2",
                   "statusMsg2", "compLabel2", "etaMsg2", "totalErrWarnings2"},
                   "sa&ve").values();
}

void TVideoCdPage::ConnectHandlers() {
    // Check boxes act on every change of state, from code as from a click;
    // the method box acts on the user's choice only, code calls the handler.
    QObject::connect(VCDOptionLink, &TClickLabel::clicked, &w_, [this] { VCDOptionLinkClick(); });
    QObject::connect(VCDCheckBox, &QCheckBox::toggled, &w_, [this] { VCDCheckBoxClick(); });
    QObject::connect(SVCDCheckBox, &QCheckBox::toggled, &w_, [this] { SVCDCheckBoxClick(); });
    QObject::connect(buildVCDMethod, &QComboBox::activated, &w_, [this] { buildVCDMethodChange(); });
    QObject::connect(totalErrWarnings2, &TClickLabel::clicked, &w_, [this] { totalErrWarnings2Click(); });
    QObject::connect(playTrackButton, &QPushButton::clicked, &w_, [this] { playTrackButtonClick(); });
    QObject::connect(startVCDButton, &QPushButton::clicked, &w_, [this] { w_.extractionPage->startButtonClick(); });
    // Ticking "Yes", from code as by a click, opens the clip editor.
    QObject::connect(yesSample, &QRadioButton::toggled, &w_, [this](bool on) {
        if (on) yesSampleClick();
    });
    QObject::connect(noSample, &QRadioButton::toggled, &w_, [this](bool on) {
        if (on) noSampleClick();
    });
    QObject::connect(OpenSampleButton, &QPushButton::clicked, &w_, [this] { OpenSampleButtonClick(); });
}

TVideoCdPage::~TVideoCdPage() {
    if (w_.MainJob && w_.MainJob->mpegList == list_.get()) w_.MainJob->mpegList = nullptr;
    w_.mpegList = nullptr;
    w_.vcdTrackList = nullptr;
}

void TVideoCdPage::SetTexts() {
    TBuildListControls c;
    c.VCDCheckBox = vcdBox_.get();
    c.SVCDCheckBox = svcdBox_.get();
    c.pauseTimeMsg = pauseEdit_.get();
    c.imgNone = imgNoneBox_.get();
    c.img74 = img74Box_.get();
    c.img80 = img80Box_.get();
    c.imgCustom = imgCustomBox_.get();
    c.imgNumLabel = imgNumHandle_.get();
    c.totalImageTime = totalTimeHandle_.get();
    c.logListBox = w_.handles().log.get();
    c.trackList = rows_.get();
    c.languageSet = w_.languageSet.get();
    c.stats = w_.stats.get();
    c.dialogs = &w_.dialogs();
    c.startVCDButton = nullptr;  // the page decides when start is usable
    list_->SetControls(c);
    rows_->SetHeaders(w_.languageSet.get());
}

bool TVideoCdPage::Locked() const { return w_.JobRunning() || w_.WorkerBusy(); }

void TVideoCdPage::ApplyCapacity() {
    if (capacity_ >= 0) list_->SetCapacityOverride(imgNone->isChecked() ? -1 : capacity_);
}

bool TVideoCdPage::MpegMethod() const {
    return VideoCdMethod(buildVCDMethod->currentIndex()).load == SourceForm::BuildFiles;
}

std::string TVideoCdPage::SelectedFile() const {
    const int row = rows_->RowCount() > 0 ? rows_->CurrentRow() : -1;
    if (row < 1 || row > int(list_->entries.size())) return {};
    return list_->entries[size_t(row - 1)].name;
}

// ---------------------------------------------------------------- facts

void TVideoCdPage::ShowEmptyFacts() {
    const TRowFacts f = EmptyRowFacts(*w_.languageSet);
    videoRes->setText(toQt(f.videoRes));
    vidBitrate->setText(toQt(f.vidBitrate));
    audInfo->setText(toQt(f.audInfo));
    audBitrate->setText(toQt(f.audBitrate));
}

void TVideoCdPage::TrackListGridClick() {
    if (!MpegMethod() || !w_.languageSet) return;
    const int row = rows_->RowCount() > 0 ? rows_->CurrentRow() : -1;
    if (row < 1 || row > int(list_->entries.size())) return;
    const TMpegFileInfo& e = list_->entries[size_t(row - 1)];
    const TRowFacts f = RowFacts(e, *w_.languageSet);
    videoRes->setText(toQt(f.videoRes));
    vidBitrate->setText(toQt(f.vidBitrate));
    audInfo->setText(toQt(f.audInfo));
    audBitrate->setText(toQt(f.audBitrate));
    const int pause = std::clamp<int>(e.pause, 0, TBuildListEditor::kMaxPause);
    TrackPauseBar->setValue(pause);
    pauseTimeMsg->setText(QString::number(pause));
    list_->ShowImageInfo();
}

// ---------------------------------------------------------------- adding

void TVideoCdPage::AfterAdd() {
    rows_->SelectRow(rows_->RowCount() - 1);
    TrackListGridClick();
    list_->ShowImageInfo();
    w_.SetUsable(VCDCheckBox, false);
    w_.SetUsable(SVCDCheckBox, false);
    w_.SetUsable(yesSample, true);
    w_.SetUsable(noSample, true);
    UpdateStart();
}

int TVideoCdPage::AddFiles(const std::vector<std::string>& names) {
    w_.MainJob->discKind = VCDCheckBox->isChecked() ? 1 : 2;
    w_.MainJob->pageMode = 1;
    int first = 0;
    for (const std::string& name : names) {
        int r = 0;
        {
            Busy busy(busy_);
            r = editor_->AddFile(name);
        }
        if (r == 0) AfterAdd();
        else if (first == 0) first = r;
    }
    return first;
}

int TVideoCdPage::LoadFromDialog() {
    TForm1& w = w_;
    const int method = buildVCDMethod->currentIndex();
    const TMethodInfo& info = VideoCdMethod(method);
    platform::FileDialogState& open = w.OpenDialog;
    if (!w.batchActive || w.extractionPage->PassiveBox->isChecked()) {
        open.Title.clear();
        if (!w.MainConfig->DefaultLoadDir.empty()) open.InitialDir = w.MainConfig->DefaultLoadDir;
        if (info.openFilter) open.Filter = info.openFilter;
        open.FilterIndex = 1;
        open.multiSelect = info.severalFiles;
    }
    bool chosen = false;
    if (!w.batchActive) chosen = w.fileDialogs().executeOpen(open);
    if (!chosen && w.extractionPage->PassiveBox->isChecked()) chosen = w.fileDialogs().executeOpen(open);
    if (!chosen && !w.batchActive) return result::kFailed;
    if (!chosen && open.FileName.empty()) return result::kFailed;
    if (!open.FileName.empty()) w.MainConfig->DefaultLoadDir = ExtractFolder(open.FileName);
    w.MainJob->pageMode = 1;
    if (!w.MainConfig->DefaultSaveDir.empty()) w.SaveDialog.InitialDir = w.MainConfig->DefaultSaveDir;

    if (info.load == SourceForm::BuildFiles) {
        std::vector<std::string> names = open.Files;
        if (names.empty()) names.push_back(open.FileName);
        // The tracks of an image loaded for a conversion are no list entries.
        if (rows_->RowCount() == 0 && !list_->entries.empty()) ClearList();
        return AddFiles(names);
    }
    ClearList();
    // A cif or nrg image: its tracks become the build's.
    const std::string source = open.FileName;
    if (!w.batchActive) w.SaveDialog.FileName = WithoutExtension(ExtractName(source));
    w.MainJob->discKind = 1;
    imageTrackLengths.clear();
    std::string label;
    const bool labelled = info.load == SourceForm::NrgImage;
    const int r = LoadImageForBuild(method, source, *w.MainJob, *list_, w.Reporter(), &imageTrackLengths, &label);
    if (r != 0) {
        UpdateStart();
        return r;
    }
    if (labelled) volName->setText(toQt(label));
    UpdateStart();
    return 0;
}

// ---------------------------------------------------------------- list buttons

void TVideoCdPage::EmptyListControls() {
    w_.MainConfig->buildListHeaderShown = 0;
    w_.SetUsable(VCDCheckBox, true);
    w_.SetUsable(SVCDCheckBox, true);
    noSample->setChecked(true);
    yesSample->setChecked(false);
}

void TVideoCdPage::removeTrackButtonClick() {
    if (Locked() || !MpegMethod()) return;
    const int row = rows_->RowCount() > 0 ? rows_->CurrentRow() : -1;
    if (row >= 1 && row <= int(list_->entries.size())) {
        Busy busy(busy_);
        editor_->RemoveFileAt(row - 1);
        ShowEmptyFacts();
        FollowClip();
    }
    if (rows_->RowCount() > 0) {
        TrackListGridClick();
    } else {
        EmptyListControls();
    }
    list_->ShowImageInfo();
    UpdateStart();
}

void TVideoCdPage::moveTrackUpClick() {
    if (Locked()) return;
    const int row = rows_->RowCount() > 0 ? rows_->CurrentRow() : -1;
    bool moved = false;
    if (row >= 1) {
        Busy busy(busy_);
        moved = editor_->MoveUp(row - 1);
        if (moved) FollowClip();
    }
    if (moved) TrackListGridClick();
    list_->ShowImageInfo();
}

void TVideoCdPage::moveTrackDownClick() {
    if (Locked()) return;
    const int row = rows_->RowCount() > 0 ? rows_->CurrentRow() : -1;
    bool moved = false;
    if (row >= 1) {
        Busy busy(busy_);
        moved = editor_->MoveDown(row - 1);
        if (moved) FollowClip();
    }
    if (moved) TrackListGridClick();
    list_->ShowImageInfo();
}

void TVideoCdPage::ResetControls() {
    ClearList();
    imageTrackLengths.clear();
    ShowEmptyFacts();
    const TLanguageSet& t = *w_.languageSet;
    imgNumLabel->setText(toQt(t.component(msg::component::kImageNumber) + ":"));
    totalImageTime->setText(toQt(t.component(msg::component::kTotalPlaytime) + ":"));
    EmptyListControls();
    w_.SetUsable(namingLabel, false);
    totalErrWarnings2->hide();
    UpdateStart();
}

void TVideoCdPage::ClearList() {
    Busy busy(busy_);
    editor_->Clear();
    UpdateStart();
}

// ---------------------------------------------------------------- images

void TVideoCdPage::AdjustImageSpan() {
    // The worker has the list; nothing changes under it.
    if (Locked()) return;
    ApplyCapacity();
    if (rows_->RowCount() > 0 && MpegMethod()) {
        {
            Busy busy(busy_);
            editor_->Respan();
            FollowClip();
        }
        if (rows_->RowCount() > 0) {
            AfterAdd();
        } else {
            EmptyListControls();
            ShowEmptyFacts();
            list_->ShowImageInfo();
            UpdateStart();
        }
    }
    UpdateImageButtons();
}

void TVideoCdPage::UpdateImageButtons() {
    const bool none = imgNone->isChecked();
    if (Locked()) {
        // Restored with the rest when the job has ended.
        IncreaseImage->setProperty(kPropertyBeforeJob, none);
        ReduceImage->setProperty(kPropertyBeforeJob, none);
        return;
    }
    w_.SetUsable(IncreaseImage, none);
    w_.SetUsable(ReduceImage, none);
}

void TVideoCdPage::IncreaseImageClick() {
    if (Locked() || rows_->RowCount() == 0) return;
    {
        Busy busy(busy_);
        list_->IncreaseImage(rows_->CurrentRow());
        editor_->ListChanged();
    }
    list_->ShowImageInfo();
}

void TVideoCdPage::ReduceImageClick() {
    if (Locked() || rows_->RowCount() == 0) return;
    {
        Busy busy(busy_);
        list_->ReduceImage(rows_->CurrentRow());
        editor_->ListChanged();
    }
    list_->ShowImageInfo();
}

// ---------------------------------------------------------------- pause, folders

void TVideoCdPage::TrackPauseBarClick() {
    if (!MpegMethod() || rows_->RowCount() == 0 || Locked()) return;
    const int row = rows_->CurrentRow();
    if (row >= 1) editor_->SetPause(row - 1, TrackPauseBar->value());
}

void TVideoCdPage::pauseTimeMsgChange() {
    if (std::optional<int> pause = ParsePause(fromQt(pauseTimeMsg->text()))) {
        if (TrackPauseBar->value() != *pause) TrackPauseBar->setValue(*pause);  // stores it
        else TrackPauseBarClick();
    }
    pauseTimeMsg->setText(QString::number(TrackPauseBar->value()));
}

void TVideoCdPage::clearListButtonClick() {
    if (Locked()) return;
    w_.ResetPage(w_.pageMode);
}

void TVideoCdPage::yesFolderClick() { noFolder->setChecked(!yesFolder->isChecked()); }
void TVideoCdPage::noFolderClick() { yesFolder->setChecked(!noFolder->isChecked()); }

// ---------------------------------------------------------------- boxes

void TVideoCdPage::namingLabelClick() {
    TConfig& config = *w_.MainConfig;
    const TLanguageSet& t = *w_.languageSet;
    std::optional<std::string> typed =
        w_.dialogs().inputBox(t.component(msg::component::kMultipleFileNaming),
                              t.component(msg::component::kFileNamingHelp), config.MultiFileFormat);
    if (typed) config.MultiFileFormat = AcceptedNamingPattern(*typed, config.MultiFileFormat);
    w_.dialogs().info(NamingExampleText(w_.SaveDialog.FileName, config.MultiFileFormat, t), "");
}

void TVideoCdPage::volumeExpandButtonClick() {
    const TLanguageSet& t = *w_.languageSet;
    std::optional<std::string> typed =
        w_.dialogs().inputBox(t.component(msg::component::kVolumeName), t.component(msg::component::kVolumeNamingHelp),
                              fromQt(volName->text()));
    if (!typed) return;
    volName->setText(toQt(*typed));
    if (std::optional<std::string> example = VolumeExampleText(*typed, t)) w_.dialogs().info(*example, "");
}

void TVideoCdPage::saveButtonClick() {
    if (Locked()) return;
    // A cif or nrg build names its source first.
    if (VideoCdMethod(buildVCDMethod->currentIndex()).opener == Opener::BuildImage) {
        if (LoadFromDialog() != 0) return;
    }
    platform::FileDialogState& save = w_.SaveDialog;
    save.Filter = "*.bin (cd disc image)|*.bin";
    save.FilterIndex = 1;
    save.DefaultExt = "bin";
    save.multiSelect = false;
    if (!w_.MainConfig->DefaultSaveDir.empty()) save.InitialDir = w_.MainConfig->DefaultSaveDir;
    if (!w_.fileDialogs().executeSave(save)) return;
    saveFileField->setText(toQt(save.FileName));
    w_.MainConfig->DefaultSaveDir = ExtractFolder(save.FileName);
    w_.SetUsable(namingLabel, true);
    UpdateStart();
}

// ---------------------------------------------------------------- usable

void TVideoCdPage::UpdateStart() {
    if (Locked()) return;
    const bool ready = MpegMethod() ? rows_->RowCount() > 0 : !imageTrackLengths.empty();
    w_.SetUsable(startVCDButton, ready);
}

void TVideoCdPage::SetEditingUsable(bool on) {
    QWidget* const controls[] = {buildVCDMethod, VCDCheckBox,   SVCDCheckBox,  addTrackButton,  removeTrackButton,
                                 IncreaseImage,  ReduceImage,   moveTrackUp,   moveTrackDown,   clearListButton,
                                 volName,        volumeExpandButton, pauseTimeMsg, TrackPauseBar, imgNone,
                                 imgCustom,      img74,         img80,         yesSample,       noSample,
                                 OpenSampleButton, yesFolder,   noFolder,      saveButton,      namingLabel};
    for (QWidget* c : controls) {
        if (!on) {
            c->setProperty(kPropertyBeforeJob, w_.WantsEnabled(c));
            c->setEnabled(false);
        } else {
            const QVariant before = c->property(kPropertyBeforeJob);
            w_.SetUsable(c, before.isValid() ? before.toBool() : w_.WantsEnabled(c));
            c->setProperty(kPropertyBeforeJob, QVariant());
        }
    }
}

// ---------------------------------------------------------------- page handlers

void TVideoCdPage::VCDOptionLinkClick() { w_.ShowConfigurationForm(2); }

void TVideoCdPage::VCDCheckBoxClick() { SVCDCheckBox->setChecked(!VCDCheckBox->isChecked()); }

void TVideoCdPage::SVCDCheckBoxClick() { VCDCheckBox->setChecked(!SVCDCheckBox->isChecked()); }

void TVideoCdPage::buildVCDMethodChange() {
    if (w_.BuildListRows() > 0) {
        int answer = w_.ResetPage(1);
        if (answer == platform::kNo || answer == platform::kCancel) {
            buildVCDMethod->setCurrentIndex(w_.methodIndex);
            return;
        }
    }
    w_.extractionPage->methodBoxChange();
}

void TVideoCdPage::totalErrWarnings2Click() { w_.logButtonClick(); }

void TVideoCdPage::playTrackButtonClick() {
    if (!rows_) return;
    const std::string file = SelectedFile();
    if (!file.empty()) w_.shell_->open(file);
}
