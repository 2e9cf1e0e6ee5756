#include "tools/sample_clip_window.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "platform/qt/media_player_qt.h"
#include "platform/qt/text.h"
#include "tools/window_parts.h"

namespace {

using platform::qt::fromQt;
using platform::qt::toQt;

constexpr const char* kSaveFilter =
    "*.mpg,*.mpeg,*.m2v,*.m2s (mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*";
constexpr const char* kSyncExplanation =
    "Pellmor was unable to locate the start of the MPEG pack header.\nThis MPEG file does not have a continuous 2324 "
    "pack size and a sample\ncannot be created without corruption.\n\nMPEG file will need to be remultiplexed to "
    "correct this problem.";

}  // namespace

std::function<std::unique_ptr<platform::MediaPlayer>(QWidget*, QWidget**)> TSampleCreateForm::playerFactory;

TSampleCreateForm::TSampleCreateForm(Services services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    setObjectName("TSampleCreateForm");
    setWindowTitle("Sample Clip Editor");
    setModal(true);
    setFixedSize(716, 452);

    VCDTrackListGroup = MakeControl<QGroupBox>(this, "VCDTrackListGroup", 8, 4, 418, 112);
    TrackListGrid = MakeControl<QTableWidget>(VCDTrackListGroup, "TrackListGrid", 8, 20, 402, 84);
    TrackListGrid->setColumnCount(5);
    TrackListGrid->horizontalHeader()->setVisible(false);
    TrackListGrid->verticalHeader()->setVisible(false);
    TrackListGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TrackListGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TrackListGrid->setSelectionMode(QAbstractItemView::SingleSelection);

    SeekBar = MakeControl<QSlider>(this, "SeekBar", 8, 124, 368, 24);
    SeekBar->setOrientation(Qt::Horizontal);
    SeekBar->setRange(0, 100);
    SeekBar->setTickInterval(2);
    SeekBar->setTickPosition(QSlider::TicksBelow);
    TimeLabel = MakeControl<QLabel>(this, "TimeLabel", 382, 126, 44, 18);
    randomButton = MakeControl<QPushButton>(this, "randomButton", 8, 152, 90, 22);

    CurTimeCodeBox = MakeControl<QGroupBox>(this, "CurTimeCodeBox", 8, 180, 206, 52);
    CurrentTC = MakeControl<QLineEdit>(CurTimeCodeBox, "CurrentTC", 8, 20, 120, 24);
    CurrentTC->setReadOnly(true);
    vidTCUpDown = MakeControl<QWidget>(CurTimeCodeBox, "vidTCUpDown", 132, 20, 32, 24);
    vidTCUp = MakeControl<QToolButton>(vidTCUpDown, "vidTCUp", 0, 0, 32, 12);
    vidTCUp->setArrowType(Qt::UpArrow);
    vidTCDown = MakeControl<QToolButton>(vidTCUpDown, "vidTCDown", 0, 12, 32, 12);
    vidTCDown->setArrowType(Qt::DownArrow);

    SamplePlaytimeBox = MakeControl<QGroupBox>(this, "SamplePlaytimeBox", 220, 180, 206, 52);
    SampleTC = MakeControl<QLineEdit>(SamplePlaytimeBox, "SampleTC", 8, 20, 120, 24);
    SampleTC->setReadOnly(true);
    sampleUpDown = MakeControl<QWidget>(SamplePlaytimeBox, "sampleUpDown", 132, 20, 32, 24);
    sampleUpDown->hide();

    SelectedTimesBox = MakeControl<QGroupBox>(this, "SelectedTimesBox", 8, 238, 418, 104);
    StartPosLabel = MakeControl<QLabel>(SelectedTimesBox, "StartPosLabel", 8, 20, 120, 18);
    InLabel = MakeControl<QLabel>(SelectedTimesBox, "InLabel", 130, 20, 160, 18);
    markButton = MakeControl<QPushButton>(SelectedTimesBox, "markButton", 318, 18, 92, 22);
    SampleLengthLabel = MakeControl<QLabel>(SelectedTimesBox, "SampleLengthLabel", 8, 46, 120, 18);
    OutLabel = MakeControl<QLabel>(SelectedTimesBox, "OutLabel", 130, 46, 160, 18);
    clearButton = MakeControl<QPushButton>(SelectedTimesBox, "clearButton", 318, 44, 92, 22);
    Button30 = MakeControl<QPushButton>(SelectedTimesBox, "Button30", 8, 74, 70, 22);
    Button60 = MakeControl<QPushButton>(SelectedTimesBox, "Button60", 84, 74, 70, 22);
    ButtonRandom = MakeControl<QPushButton>(SelectedTimesBox, "ButtonRandom", 160, 74, 90, 22);

    FilenameLabelBox = MakeControl<QGroupBox>(this, "FilenameLabelBox", 8, 348, 418, 52);
    FilenameText = MakeControl<QLineEdit>(FilenameLabelBox, "FilenameText", 8, 20, 368, 24);
    SaveSampleButton = MakeControl<QPushButton>(FilenameLabelBox, "SaveSampleButton", 380, 20, 30, 24);
    SaveSampleButton->setText("...");

    // The preview: 273 wide and 297 high.
    if (services_.player) {
        player_ = services_.player;
        ActiveMovie1 = MakeControl<QWidget>(this, "ActiveMovie1", 434, 10, 273, 297);
    } else {
        QWidget* video = nullptr;
        if (playerFactory) {
            ownPlayer_ = playerFactory(this, &video);
        } else {
            auto qtPlayer = std::make_unique<platform::qt::QtMediaPlayer>(this);
            video = qtPlayer->videoWidget();
            ownPlayer_ = std::move(qtPlayer);
        }
        player_ = ownPlayer_.get();
        ActiveMovie1 = video ? video : new QWidget(this);
        ActiveMovie1->setObjectName("ActiveMovie1");
        ActiveMovie1->setGeometry(434, 10, 273, 297);
    }
    ActiveMovie1->setStyleSheet("background-color: black;");
    ActiveMovie1->setAttribute(Qt::WA_StyledBackground, true);
    PreviewCheckBox = MakeControl<QCheckBox>(this, "PreviewCheckBox", 434, 314, 180, 20);
    DurationL = MakeControl<QLabel>(this, "DurationL", 622, 314, 85, 20);
    DurationL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    MsgLabel = MakeControl<QLabel>(this, "MsgLabel", 434, 340, 273, 18);
    MsgLabel->setStyleSheet("color: #b00000;");
    MsgLabel->installEventFilter(this);
    CommentsLabel = MakeControl<QLabel>(this, "CommentsLabel", 434, 362, 273, 36);
    CommentsLabel->setWordWrap(true);
    okButton = MakeControl<QPushButton>(this, "okButton", 536, 414, 80, 26);
    cancelButton = MakeControl<QPushButton>(this, "cancelButton", 624, 414, 80, 26);
    Button1 = MakeControl<QPushButton>(this, "Button1", 8, 414, 60, 26);
    Button1->hide();

    model_ = std::make_unique<TSampleClipEditor>(
        services_.config, services_.texts, player_, [this](int index, const std::string& text) {
            if (services_.report) services_.report(kMsgError, index, text);
        });
    player_->ReadyStateChange = [this](int state) {
        model_->ActiveMovie1ReadyStateChange(state);
        Refresh();
    };

    connect(SeekBar, &QSlider::valueChanged, this, [this] { SeekBarChange(); });
    connect(vidTCUp, &QToolButton::clicked, this, [this] { vidTCUpDownClick(true); });
    connect(vidTCDown, &QToolButton::clicked, this, [this] { vidTCUpDownClick(false); });
    connect(markButton, &QPushButton::clicked, this, [this] { markButtonClick(); });
    connect(clearButton, &QPushButton::clicked, this, [this] { clearButtonClick(); });
    connect(Button30, &QPushButton::clicked, this, [this] { Button30Click(); });
    connect(Button60, &QPushButton::clicked, this, [this] { Button60Click(); });
    connect(ButtonRandom, &QPushButton::clicked, this, [this] { ButtonRandomClick(); });
    connect(randomButton, &QPushButton::clicked, this, [this] { randomButtonClick(); });
    connect(okButton, &QPushButton::clicked, this, [this] { okButtonClick(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelButtonClick(); });
    connect(TrackListGrid, &QTableWidget::cellClicked, this, [this] { TrackListGridClick(); });
    connect(FilenameText, &QLineEdit::textEdited, this, [this] { FilenameTextChange(); });
    connect(FilenameText, &QLineEdit::editingFinished, this, [this] { FilenameTextExit(); });
    connect(SaveSampleButton, &QPushButton::clicked, this, [this] { SaveSampleButtonClick(); });
    connect(PreviewCheckBox, &QCheckBox::clicked, this, [this] { PreviewCheckBoxClick(); });
    ApplyLanguage();
    Refresh();
}

TSampleCreateForm::~TSampleCreateForm() {
    if (player_) player_->ReadyStateChange = nullptr;
    model_.reset();
}

void TSampleCreateForm::ApplyLanguage() {
    const TLanguageSet* t = services_.texts;
    auto c = [t](int i, const char* fallback) { return toQt(t ? t->component(i) : std::string(fallback)); };
    FilenameLabelBox->setTitle(c(122, "Filename"));
    StartPosLabel->setText(c(127, "Start position") + ":");
    SampleLengthLabel->setText(c(128, "Sample length") + ":");
    randomButton->setText(c(125, "? random"));
    ButtonRandom->setText(c(125, "? random"));
    markButton->setText(c(126, "set") + " >>");
    clearButton->setText(c(13, "clear"));
    okButton->setText(c(31, "OK"));
    cancelButton->setText(c(32, "Cancel"));
    PreviewCheckBox->setText(c(142, "Preview video"));
    VCDTrackListGroup->setTitle(c(22, "VideoCD Track List"));
    CurTimeCodeBox->setTitle(c(129, "Current") + " (hh:mm:ss.ff)");
    SamplePlaytimeBox->setTitle(c(130, "Sample length") + " (hh:mm:ss.ff)");
    SelectedTimesBox->setTitle(c(131, "Selected times"));
    Button30->setText("30s");
    Button60->setText("60s");
}

// Shows the model: every control takes its value from it.
void TSampleCreateForm::Refresh() {
    refreshing_ = true;
    const TSampleClipEditor& m = *model_;
    const int rows = static_cast<int>(m.grid.size());
    TrackListGrid->setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int col = 0; col < 5 && col < static_cast<int>(m.grid[static_cast<size_t>(r)].size()); ++col) {
            const QString text = toQt(m.grid[static_cast<size_t>(r)][static_cast<size_t>(col)]);
            if (QTableWidgetItem* item = TrackListGrid->item(r, col))
                item->setText(text);
            else
                TrackListGrid->setItem(r, col, new QTableWidgetItem(text));
        }
    TrackListGrid->setColumnWidth(0, 30);
    TrackListGrid->setColumnWidth(1, 30);
    TrackListGrid->setColumnWidth(2, 260);
    if (m.row >= 1 && m.row < rows) TrackListGrid->selectRow(m.row);
    SeekBar->setValue(m.seekPosition);
    SeekBar->setEnabled(m.seekEnabled && m.editingEnabled);
    CurrentTC->setText(toQt(m.currentTC));
    SampleTC->setText(toQt(m.sampleTC));
    SampleTC->setEnabled(m.sampleTCEnabled);
    InLabel->setText(toQt(m.inLabel));
    OutLabel->setText(toQt(m.outLabel));
    CommentsLabel->setText(toQt(m.commentsLabel));
    MsgLabel->setText(toQt(m.msgLabel));
    MsgLabel->setCursor(m.msgLabel.empty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    TimeLabel->setText(toQt(m.timeLabel));
    DurationL->setText(toQt(m.durationLabel));
    if (fromQt(FilenameText->text()) != m.filenameText) FilenameText->setText(toQt(m.filenameText));
    FilenameText->setToolTip(FilenameText->text());
    okButton->setEnabled(m.okEnabled);
    PreviewCheckBox->setChecked(m.preview);
    for (QWidget* w : std::initializer_list<QWidget*>{vidTCUp, vidTCDown, randomButton, ButtonRandom, markButton,
                                                      clearButton, Button30, Button60})
        w->setEnabled(m.editingEnabled);
    refreshing_ = false;
}

int TSampleCreateForm::OpenMpegFile(const std::string& path) {
    const int r = model_->OpenMpegFile(path);
    // The editor may outlive a language change: each source it opens takes
    // the texts in force.
    ApplyLanguage();
    Refresh();
    return r;
}

int TSampleCreateForm::OpenTrackList(const std::vector<std::vector<std::string>>& grid,
                                     const std::vector<TSampleSourceRow>& rows) {
    const int r = model_->OpenTrackList(grid, rows);
    ApplyLanguage();
    Refresh();
    return r;
}

int TSampleCreateForm::OpenTrackList(const TVcdTrackList& list, const TMpegFileList& files, int32_t discKind) {
    const int r = model_->OpenTrackList(list, files, discKind);
    ApplyLanguage();
    Refresh();
    return r;
}

void TSampleCreateForm::ResetEditor() {
    model_->ResetEditor();
    Refresh();
}

void TSampleCreateForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    model_->FormShow();
    Refresh();
}

void TSampleCreateForm::SeekBarChange() {
    if (refreshing_) return;
    model_->SeekBarChange(SeekBar->value());
    Refresh();
}

void TSampleCreateForm::vidTCUpDownClick(bool up) {
    model_->vidTCUpDownClick(up);
    Refresh();
}

void TSampleCreateForm::markButtonClick() {
    model_->markButtonClick();
    Refresh();
}

void TSampleCreateForm::clearButtonClick() {
    model_->clearButtonClick();
    Refresh();
}

void TSampleCreateForm::Button30Click() {
    model_->Button30Click();
    Refresh();
}

void TSampleCreateForm::Button60Click() {
    model_->Button60Click();
    Refresh();
}

void TSampleCreateForm::ButtonRandomClick() {
    model_->ButtonRandomClick();
    Refresh();
}

void TSampleCreateForm::randomButtonClick() {
    model_->randomButtonClick();
    Refresh();
}

void TSampleCreateForm::Close(int result) {
    Refresh();
    if (result == platform::kOk) accept();
    if (result == platform::kCancel) QDialog::reject();
}

void TSampleCreateForm::okButtonClick() { Close(model_->okButtonClick()); }

void TSampleCreateForm::cancelButtonClick() { Close(model_->cancelButtonClick()); }

void TSampleCreateForm::TrackListGridClick() {
    const int row = TrackListGrid->currentRow();
    if (row < 1 || row == model_->row) return;
    model_->TrackListGridClick(row);
    Refresh();
}

void TSampleCreateForm::FilenameTextChange() {
    model_->SetFilenameText(fromQt(FilenameText->text()));
    FilenameText->setToolTip(FilenameText->text());
}

void TSampleCreateForm::FilenameTextExit() {
    model_->SetFilenameText(fromQt(FilenameText->text()));
    model_->FilenameTextExit();
}

void TSampleCreateForm::SaveSampleButtonClick() {
    if (!services_.fileDialogs) return;
    platform::FileDialogState state;
    state.Filter = kSaveFilter;
    state.InitialDir = ExtractFolder(model_->filenameText);
    state.FileName = ExtractName(model_->filenameText);
    if (!services_.fileDialogs->executeSave(state)) return;
    std::string name = state.FileName;
    if (ExtensionOf(name).empty()) name += ".mpg";
    model_->SetFilenameText(name);
    Refresh();
}

void TSampleCreateForm::PreviewCheckBoxClick() {
    if (services_.config) services_.config->PreviewVideo = PreviewCheckBox->isChecked() ? 1 : 0;
    model_->PreviewCheckBoxClick(PreviewCheckBox->isChecked());
    Refresh();
}

void TSampleCreateForm::MsgLabelClick() {
    if (model_->msgLabel.empty() || !services_.dialogs) return;
    services_.dialogs->error(kSyncExplanation, "Pellmor");
}

bool TSampleCreateForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MsgLabel && event->type() == QEvent::MouseButtonRelease) MsgLabelClick();
    return QDialog::eventFilter(watched, event);
}
