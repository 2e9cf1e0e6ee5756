#include "app/extraction_page/extraction_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <tuple>

#include "app/main_window/main_window.h"
#include "core/constants.h"
#include "engine/methods.h"
#include "platform/qt/text.h"
#include "platform/qt/widget_make.h"

using platform::qt::Make;
using platform::qt::MakeGroup;
using platform::qt::MakeText;

TExtractionPage::TExtractionPage(TForm1& window, QWidget* sheet) : w_(window) {
    Layout(sheet);
    ConnectHandlers();
}

TExtractionPage::~TExtractionPage() = default;

void TExtractionPage::Layout(QWidget* p) {
    ExtractionGroup = MakeGroup(p, "ExtractionGroup", "Extraction / Conversion", 6, 2, 304, 196);
    methodBox = Make<QComboBox>(ExtractionGroup, "methodBox", 10, 20, 284, 22);
    for (int i = 0; i < kExtractionMethodCount; ++i) methodBox->addItem(QString::fromUtf8(ExtractionMethod(i).item));
    methodBox->setMaxVisibleItems(kExtractionMethodCount);
    const int cx = 12, cw = 220, step = 20;
    int y = 48;
    fixErrorCheckBox = MakeText<QCheckBox>(ExtractionGroup, "fixErrorCheckBox", "Fix MPEG Errors", cx, y, cw, 18);
    bumperCheckBox =
        MakeText<QCheckBox>(ExtractionGroup, "bumperCheckBox", "Remove CD-i MPEG Bumper", cx, y += step, cw, 18);
    forceRead = MakeText<QCheckBox>(ExtractionGroup, "forceRead", "Force Sector Read Size", cx, y += step, cw, 18);
    sectorReadField = MakeText<QLineEdit>(ExtractionGroup, "sectorReadField", "0", 236, y - 1, 56, 20);
    forceWrite = MakeText<QCheckBox>(ExtractionGroup, "forceWrite", "Force Sector Write Size", cx, y += step, cw, 18);
    sectorWriteField = MakeText<QLineEdit>(ExtractionGroup, "sectorWriteField", "0", 236, y - 1, 56, 20);
    for (QLineEdit* e : {sectorReadField, sectorWriteField}) {
        e->setMaxLength(4);
        e->setEnabled(false);
    }
    sfvCheck = MakeText<QCheckBox>(ExtractionGroup, "sfvCheck", "SFV Check Archive First", cx, y += step, cw, 18);
    sfvCheck->setEnabled(false);
    toastCheckBox =
        MakeText<QCheckBox>(ExtractionGroup, "toastCheckBox", "Enable Toast Output", cx, y += step, cw, 18);
    subCheckBox =
        MakeText<QCheckBox>(ExtractionGroup, "subCheckBox", "Extract CD-i Subtitles", cx, y += step, cw, 18);

    TrackListGroup = MakeGroup(p, "TrackListGroup", "Track List", 316, 2, 354, 134);
    TrackListBox = Make<QListWidget>(TrackListGroup, "TrackListBox", 10, 21, 334, 88);
    TrackListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TrackMsgLabel = Make<QLabel>(TrackListGroup, "TrackMsgLabel", 10, 111, 190, 18);
    trackZeroBox = MakeText<QCheckBox>(TrackListGroup, "trackZeroBox", "Include Track 0", 206, 111, 140, 18);
    trackZeroBox->setEnabled(false);

    AdditionGroup2 = MakeGroup(p, "AdditionGroup2", "Additional Options", 316, 140, 354, 58);
    PassiveBox =
        MakeText<QCheckBox>(AdditionGroup2, "PassiveBox", "Enable passive reading/writing", 12, 21, 330, 16);
    batchTask = MakeText<QCheckBox>(AdditionGroup2, "batchTask", "Use previous task output as input file", 12, 37,
                                    330, 16);

    std::tie(inputFileField, browseButton, namingLabel2, startButton, ProgressBar, statusMsg, compLabel1,
             etaMsg, totalErrWarnings) =
        MakeJobRow(p, {"inputFileField", "browseButton", "namingLabel2", "startButton", "ProgressBar",
                   "statusMsg", "compLabel1", "etaMsg", "totalErrWarnings"},
                   "&load").values();
    previewButton = MakeButton(p, "previewButton", "preview", 86, 232, 76, 24);
    previewButton->setEnabled(false);

    FixLabel = MakePlate(p, "FixLabel", 6, 279, 96, 18);
    SplitLabel = MakePlate(p, "SplitLabel", 106, 279, 96, 18);
    PaddingLabel = MakePlate(p, "PaddingLabel", 206, 279, 104, 18);
    StatusIndicator = MakePlate(p, "StatusIndicator", 316, 279, 18, 18);
    StatusIndicator->setAutoFillBackground(true);

    // The batch window hands task projects over through this hidden edit.
    batchSignal = Make<QLineEdit>(p, "batchSignal", 0, 0, 10, 10);
    batchSignal->hide();
}

void TExtractionPage::ConnectHandlers() {
    // Check boxes act on every change of state, from code as from a click;
    // the method box acts on the user's choice only, code calls the handler.
    connect(fixErrorCheckBox, &QCheckBox::toggled, this, [this] { fixErrorCheckBoxClick(); });
    connect(bumperCheckBox, &QCheckBox::toggled, this, [this] { bumperCheckBoxClick(); });
    connect(toastCheckBox, &QCheckBox::toggled, this, [this] { toastCheckBoxClick(); });
    connect(PassiveBox, &QCheckBox::toggled, this, [this] { PassiveBoxClick(); });
    connect(forceRead, &QCheckBox::toggled, this, [this] { forceOptionClick(); });
    connect(forceWrite, &QCheckBox::toggled, this, [this] { forceOptionClick(); });
    connect(batchTask, &QCheckBox::toggled, this, [this] { batchTaskClick(); });
    // The batch window writes a task here; clearing it runs nothing.
    connect(batchSignal, &QLineEdit::textChanged, this, [this] { batchSignalChange(); });
    connect(methodBox, &QComboBox::activated, this, [this] { methodBoxChange(); });
    connect(totalErrWarnings, &TClickLabel::clicked, this, [this] { totalErrWarningsClick(); });
    connect(previewButton, &QPushButton::clicked, this, [this] { previewButtonClick(); });
    connect(browseButton, &QPushButton::clicked, this, [this] { loadButtonClick(); });
    connect(startButton, &QPushButton::clicked, this, [this] { startButtonClick(); });
    connect(TrackListBox, &QListWidget::itemSelectionChanged, this, [this] { TrackListBoxClick(); });
    connect(trackZeroBox, &QCheckBox::toggled, this, [this] { trackZeroBoxClick(); });
    connect(sectorReadField, &QLineEdit::editingFinished, this, [this] { sectorReadFieldExit(); });
    connect(sectorWriteField, &QLineEdit::editingFinished, this, [this] { sectorWriteFieldExit(); });
}

// ---------------------------------------------------------------- options

// While a job runs the worker reads the options and sets them itself (a
// build unticks the Toast box after clearing the option): the boxes then
// leave them alone.
void TExtractionPage::fixErrorCheckBoxClick() {
    if (!w_.JobRunning()) w_.MainConfig->FixMPEGErrors = fixErrorCheckBox->isChecked() ? 1 : 0;
}

void TExtractionPage::bumperCheckBoxClick() {
    if (!w_.JobRunning()) w_.MainConfig->RemoveCDIBumper = bumperCheckBox->isChecked() ? 1 : 0;
}

void TExtractionPage::toastCheckBoxClick() {
    if (!w_.JobRunning()) w_.MainConfig->ToastEnable = toastCheckBox->isChecked() ? 1 : 0;
}

void TExtractionPage::PassiveBoxClick() {
    if (PassiveBox->isChecked()) {
        if (!w_.OpenDialog.FileName.empty()) {
            w_.SaveDialog.Files.clear();
            w_.SaveDialog.FileName = kPassiveOutput;
            w_.SetUsable(namingLabel2, false);
        }
        w_.MainConfig->passive = 1;
    } else {
        // w_.batchActive is still 1 here, so the page is cleared without asking.
        w_.ResetPage(0);
        w_.MainConfig->passive = 0;
    }
    w_.batchActive = PassiveBox->isChecked() ? 1 : 0;
}

void TExtractionPage::forceOptionClick() {
    sectorReadField->setEnabled(forceRead->isChecked());
    sectorWriteField->setEnabled(forceWrite->isChecked());
}

void TExtractionPage::methodBoxChange() {
    if (w_.pageMode == 0 && TrackListBox->count() > 0) {
        int answer = w_.ResetPage(0);
        if (answer == platform::kNo || answer == platform::kCancel) return;
    }
    w_.MainConfig->selectedTracksOnly = 0;
    w_.GreyOptions();
}

void TExtractionPage::totalErrWarningsClick() { w_.logButtonClick(); }

void TExtractionPage::previewButtonClick() {
    if (w_.generatedFiles.empty()) return;
    std::vector<std::string> entries = GeneratedFileEntries(w_.generatedFiles);
    if (w_.previewIndex < 0 || w_.previewIndex >= static_cast<int32_t>(entries.size())) w_.previewIndex = 0;
    w_.shell_->open(entries[static_cast<size_t>(w_.previewIndex)]);
    ++w_.previewIndex;
}
