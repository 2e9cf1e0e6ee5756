#include "app/video_cd_page/video_cd_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>

#include "app/main_window.h"
#include "core/helpers.h"
#include "core/message_reporter.h"
#include "engine/source_scan.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/string_grid_qt.h"
#include "platform/qt/text.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

const char* const kMpegFilter =
    "*.mpg,*.mpeg,*.m2v,*.m2s (videocd mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*";
const char* const kCifFilter = "*.cif (cd disc image)|*.cif|All files|*.*";
const char* const kNrgFilter = "*.nrg (track image)|*.nrg|All files|*.*";
const char* const kPropertyBeforeJob = "pellmorWantedBeforeJob";

}  // namespace

TVideoCdPage::TVideoCdPage(TForm1& w, int64_t capacity, int64_t margin)
    : w_(w),
      buildVCDMethod(w.buildVCDMethod),
      VCDCheckBox(w.VCDCheckBox),
      SVCDCheckBox(w.SVCDCheckBox),
      videoRes(w.videoRes),
      vidBitrate(w.vidBitrate),
      audInfo(w.audInfo),
      audBitrate(w.audBitrate),
      imgNumLabel(w.imgNumLabel),
      totalImageTime(w.totalImageTime),
      TrackListGrid(w.TrackListGrid),
      addTrackButton(w.addTrackButton),
      removeTrackButton(w.removeTrackButton),
      IncreaseImage(w.IncreaseImage),
      ReduceImage(w.ReduceImage),
      moveTrackUp(w.moveTrackUp),
      moveTrackDown(w.moveTrackDown),
      playTrackButton(w.playTrackButton),
      clearListButton(w.clearListButton),
      volName(w.volName),
      pauseTimeMsg(w.pauseTimeMsg),
      saveFileField(w.saveFileField),
      volumeExpandButton(w.volumeExpandButton),
      TrackPauseBar(w.TrackPauseBar),
      imgNone(w.imgNone),
      imgCustom(w.imgCustom),
      img74(w.img74),
      img80(w.img80),
      yesSample(w.yesSample),
      noSample(w.noSample),
      yesFolder(w.yesFolder),
      noFolder(w.noFolder),
      OpenSampleButton(w.OpenSampleButton),
      saveButton(w.saveButton),
      startVCDButton(w.startVCDButton),
      namingLabel(w.namingLabel) {
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

    list_ = std::make_unique<TMpegFileList>(w.MainJob.get(), w.MainConfig.get());
    rows_ = std::make_unique<TVcdTrackList>(w.MainJob.get(), grid_.get(), w.languageSet.get());
    editor_ = std::make_unique<TBuildListEditor>(*w.MainJob, *w.MainConfig, *list_, *rows_);
    w.mpegList = list_.get();
    w.vcdTrackList = rows_.get();
    w.MainJob->mpegList = list_.get();
    capacity_ = capacity;
    ApplyCapacity();
    if (margin >= 0) list_->SetMarginOverride(margin);
    SetTexts();

    // Radio buttons act for the button that becomes checked.
    for (QRadioButton* r : {imgNone, img74, img80, imgCustom})
        QObject::connect(r, &QRadioButton::toggled, &w, [this](bool on) {
            if (on) AdjustImageSpan();
        });
    QObject::connect(yesFolder, &QRadioButton::toggled, &w, [this](bool on) {
        if (on) yesFolderClick();
    });
    QObject::connect(noFolder, &QRadioButton::toggled, &w, [this](bool on) {
        if (on) noFolderClick();
    });
    QObject::connect(TrackListGrid, &QTableWidget::itemSelectionChanged, &w, [this] {
        if (!busy_) TrackListGridClick();
    });
    QObject::connect(addTrackButton, &QPushButton::clicked, &w, [this] { w_.loadButtonClick(); });
    QObject::connect(clearListButton, &QPushButton::clicked, &w, [this] { clearListButtonClick(); });
    QObject::connect(removeTrackButton, &QPushButton::clicked, &w, [this] { removeTrackButtonClick(); });
    QObject::connect(moveTrackUp, &QPushButton::clicked, &w, [this] { moveTrackUpClick(); });
    QObject::connect(moveTrackDown, &QPushButton::clicked, &w, [this] { moveTrackDownClick(); });
    QObject::connect(IncreaseImage, &QPushButton::clicked, &w, [this] { IncreaseImageClick(); });
    QObject::connect(ReduceImage, &QPushButton::clicked, &w, [this] { ReduceImageClick(); });
    QObject::connect(volumeExpandButton, &QPushButton::clicked, &w, [this] { volumeExpandButtonClick(); });
    QObject::connect(saveButton, &QPushButton::clicked, &w, [this] { saveButtonClick(); });
    QObject::connect(namingLabel, &TClickLabel::clicked, &w, [this] { namingLabelClick(); });
    QObject::connect(w.namingLabel2, &TClickLabel::clicked, &w, [this] { namingLabelClick(); });
    // The up-down writes its position into the field and stores it.
    QObject::connect(TrackPauseBar, &QScrollBar::valueChanged, &w, [this](int v) {
        const QString text = QString::number(v);
        if (pauseTimeMsg->text() != text) pauseTimeMsg->setText(text);
        if (!busy_) TrackPauseBarClick();
    });
    // A typed pause counts as the arrows do once the field is left (so that
    // "17" is not taken as "1" on the way); anything else goes back.
    QObject::connect(pauseTimeMsg, &QLineEdit::editingFinished, &w, [this] { pauseTimeMsgChange(); });
    UpdateImageButtons();
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
    const int m = buildVCDMethod->currentIndex();
    return m == 0 || m == 1;
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
    platform::FileDialogState& open = w.OpenDialog;
    if (!w.batchActive || w.PassiveBox->isChecked()) {
        open.Title.clear();
        if (!w.MainConfig->DefaultLoadDir.empty()) open.InitialDir = w.MainConfig->DefaultLoadDir;
        open.Filter = method == 2 ? kCifFilter : method == 3 ? kNrgFilter : kMpegFilter;
        open.FilterIndex = 1;
        open.multiSelect = method == 0 || method == 1;
    }
    bool chosen = false;
    if (!w.batchActive) chosen = w.fileDialogs().executeOpen(open);
    if (!chosen && w.PassiveBox->isChecked()) chosen = w.fileDialogs().executeOpen(open);
    if (!chosen && !w.batchActive) return 12;
    if (!chosen && open.FileName.empty()) return 12;
    if (!open.FileName.empty()) w.MainConfig->DefaultLoadDir = ExtractFolder(open.FileName);
    w.MainJob->pageMode = 1;
    if (!w.MainConfig->DefaultSaveDir.empty()) w.SaveDialog.InitialDir = w.MainConfig->DefaultSaveDir;

    if (method == 0 || method == 1) {
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
    w.MainJob->sourceName = source;
    w.MainJob->discKind = 1;
    imageTrackLengths.clear();
    const int r = ScanDiscImage(method == 2 ? DiscImageKind::Cif : DiscImageKind::Nrg, source, *w.MainJob, nullptr,
                                nullptr, w.Reporter(), &imageTrackLengths);
    if (r != 0) {
        imageTrackLengths.clear();
        w.MainJob->sourceName.clear();
        UpdateStart();
        return r;
    }
    // One entry per track of the image (no rows: the grid lists MPEG files).
    for (size_t k = 0; k < imageTrackLengths.size(); ++k) {
        TMpegFileInfo e;
        e.size = imageTrackLengths[k];
        e.image = 1;
        e.trackInImage = int32_t(k) + 1;
        e.name = source;
        list_->entries.push_back(std::move(e));
    }
    if (method == 3) volName->setText(toQt(ReadVolumeLabel(source, kNrgVolumeLabelOffset, w.Reporter(), true)));
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
    }
    if (moved) TrackListGridClick();
    list_->ShowImageInfo();
}

void TVideoCdPage::ResetControls() {
    ClearList();
    imageTrackLengths.clear();
    ShowEmptyFacts();
    const TLanguageSet& t = *w_.languageSet;
    imgNumLabel->setText(toQt(t.component(119) + ":"));
    totalImageTime->setText(toQt(t.component(120) + ":"));
    EmptyListControls();
    w_.SetUsable(namingLabel, false);
    w_.totalErrWarnings2->hide();
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
    std::optional<std::string> typed = w_.dialogs().inputBox(t.component(139), t.component(140), config.MultiFileFormat);
    if (typed) config.MultiFileFormat = AcceptedNamingPattern(*typed, config.MultiFileFormat);
    w_.dialogs().info(NamingExampleText(w_.SaveDialog.FileName, config.MultiFileFormat, t), "");
}

void TVideoCdPage::volumeExpandButtonClick() {
    const TLanguageSet& t = *w_.languageSet;
    std::optional<std::string> typed = w_.dialogs().inputBox(t.component(17), t.component(141), fromQt(volName->text()));
    if (!typed) return;
    volName->setText(toQt(*typed));
    if (std::optional<std::string> example = VolumeExampleText(*typed, t)) w_.dialogs().info(*example, "");
}

void TVideoCdPage::saveButtonClick() {
    if (Locked()) return;
    const int method = buildVCDMethod->currentIndex();
    // A cif or nrg build names its source first.
    if (method == 2 || method == 3) {
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
