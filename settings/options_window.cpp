#include "settings/options_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>

#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/text.h"
#include "platform/qt/widget_make.h"
#include "settings/registry_settings.h"

using platform::qt::fromQt;
using platform::qt::toQt;
using platform::qt::Make;
using platform::qt::MakeGroup;
using platform::qt::MakeText;

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 392;
constexpr int kGroupWidth = 470;
constexpr int kThresholdMax = 9999;

QPushButton* MakeFolderButton(QWidget* parent, const char* name, int x, int y) {
    auto* b = Make<QPushButton>(parent, name, x, y, 24, 20);
    b->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    b->setToolTip(QStringLiteral("select"));
    return b;
}

QScrollBar* MakeUpDown(QWidget* parent, const char* name, int x, int y) {
    auto* s = Make<QScrollBar>(parent, name, x, y, 14, 20);
    s->setOrientation(Qt::Vertical);
    s->setRange(0, kThresholdMax);
    // Up raises the number, as an up-down does.
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    return s;
}

}  // namespace

// ---------------------------------------------------------------- shape

void TShape::setBrushColour(int32_t bgr) {
    bgr_ = bgr;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(platform::qt::fromBgr(bgr_));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

void TShape::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (onMouseUp) onMouseUp();
}

// ---------------------------------------------------------------- memo

// The comment lines of a language file, into the comments memo.
class TForm2::MemoSink : public LineSink {
public:
    explicit MemoSink(QPlainTextEdit* memo) : memo_(memo) {}
    void clear() override {
        lines_.clear();
        memo_->clear();
    }
    void add(const std::string& line) override {
        lines_.push_back(line);
        memo_->appendPlainText(toQt(line));
    }
    const std::vector<std::string>& lines() const { return lines_; }
    void show(const std::vector<std::string>& lines) {
        clear();
        for (const std::string& l : lines) add(l);
    }

private:
    QPlainTextEdit* memo_;
    std::vector<std::string> lines_;
};

// ---------------------------------------------------------------- window

TForm2::TForm2(QWidget* owner, Services services, int page)
    : QDialog(owner), initialPage(page), services_(std::move(services)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);

    OptionsPage = Make<QTabWidget>(this, "OptionsPage", 6, 6, kWidth - 12, 346);
    auto tab = [&](QWidget*& sheet, const char* name, const char* caption) {
        sheet = new QWidget;
        sheet->setObjectName(QLatin1String(name));
        OptionsPage->addTab(sheet, QString::fromUtf8(caption));
    };
    tab(TabSheet1, "TabSheet1", "General");
    tab(TabSheet2, "TabSheet2", "Directories");
    tab(TabSheet5, "TabSheet5", "VideoCD");
    tab(TabSheet3, "TabSheet3", "Language");
    tab(TabSheet4, "TabSheet4", "Display");
    tab(TabSheet6, "TabSheet6", "Uninstall");
    OptionsOk = MakeText<QPushButton>(this, "OptionsOk", "OK", kWidth - 172, 360, 80, 24);
    OptionsCancel = MakeText<QPushButton>(this, "OptionsCancel", "Cancel", kWidth - 86, 360, 80, 24);
    OptionsOk->setDefault(true);

    BuildGeneral();
    BuildDirectories();
    BuildVideoCd();
    BuildLanguage();
    BuildDisplay();
    BuildUninstall();
    memo_ = std::make_unique<MemoSink>(commentMemo);
    model_ = std::make_unique<OptionsModel>(*services_.registry, services_.exeDir);
    Connect();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->availableGeometry();
        move(r.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    FormCreate();
}

TForm2::~TForm2() {
    // The copy's comment sink dies with the memo.
    language_.comments = nullptr;
    opening_.comments = nullptr;
}

void TForm2::BuildGeneral() {
    QWidget* p = TabSheet1;
    OptionBox = MakeGroup(p, "OptionBox", "Options", 6, 6, kGroupWidth, 168);
    int y = 20;
    auto box = [&](QCheckBox*& b, const char* name, const char* caption) {
        b = MakeText<QCheckBox>(OptionBox, name, caption, 12, y, kGroupWidth - 24, 18);
        y += 20;
    };
    box(disableHeaderBox, "disableHeaderBox", "Disable MPEG header correction");
    box(disableSplitBox, "disableSplitBox", "Disable MPEG file splitting");
    box(disablePadBox, "disablePadBox", "Disable MPEG padding");
    box(disableErrorBox, "disableErrorBox", "Disable error prompts");
    box(disableAudio, "disableAudio", "Disable audio beep on warnings");
    box(includeCUEPath, "includeCUEPath", "Include full path information in CUE index file");
    box(scanCDI, "scanCDI", "Always scan for CD-i subtitles in images");

    priorityLabel = MakeText<QLabel>(p, "priorityLabel", "Priority :", 12, 186, 70, 18);
    priorityLevel = Make<QSlider>(p, "priorityLevel", 86, 184, 200, 22);
    priorityLevel->setOrientation(Qt::Horizontal);
    priorityLevel->setRange(0, 6);
    priorityLevel->setSingleStep(1);
    priorityLevel->setPageStep(1);
    priorityLevel->setTickPosition(QSlider::TicksBelow);
    priorityLevel->setValue(3);
    priorityLevel->setToolTip(QStringLiteral("Set priority level"));
    pLevel = Make<QLabel>(p, "pLevel", 294, 186, 176, 18);
}

void TForm2::BuildDirectories() {
    QWidget* p = TabSheet2;
    const int lx = 10, lw = 170, ex = 184, ew = 256, bx = 442;
    GroupBox2 = MakeGroup(p, "GroupBox2", "", 6, 6, kGroupWidth, 100);
    decompressLabel = MakeText<QLabel>(GroupBox2, "decompressLabel", "RAR Decompressor :", lx, 21, lw, 18);
    RARlocation = Make<QLineEdit>(GroupBox2, "RARlocation", ex, 20, ew, 20);
    archiverBrowse = MakeFolderButton(GroupBox2, "archiverBrowse", bx, 20);
    decompParamLabel =
        MakeText<QLabel>(GroupBox2, "decompParamLabel", "Decompression Parameters :", lx, 46, lw, 18);
    decompParams = Make<QLineEdit>(GroupBox2, "decompParams", ex, 45, ew + 26, 20);
    compParamLabel = MakeText<QLabel>(GroupBox2, "compParamLabel", "Compression Parameters :", lx, 71, lw, 18);
    compParams = Make<QLineEdit>(GroupBox2, "compParams", ex, 70, ew + 26, 20);

    GroupBox3 = MakeGroup(p, "GroupBox3", "", 6, 112, kGroupWidth, 100);
    langDirLabel = MakeText<QLabel>(GroupBox3, "langDirLabel", "Language Directory :", lx, 21, lw, 18);
    langDir = Make<QLineEdit>(GroupBox3, "langDir", ex, 20, ew, 20);
    langDirSelectButton = MakeFolderButton(GroupBox3, "langDirSelectButton", bx, 20);
    tempDirLabel = MakeText<QLabel>(GroupBox3, "tempDirLabel", "Temporary Directory :", lx, 46, lw, 18);
    tempDir = Make<QLineEdit>(GroupBox3, "tempDir", ex, 45, ew, 20);
    tmpDirSelectButton = MakeFolderButton(GroupBox3, "tmpDirSelectButton", bx, 45);
    manDirLabel = MakeText<QLabel>(GroupBox3, "manDirLabel", "Manual/FAQ Directory :", lx, 71, lw, 18);
    manDir = Make<QLineEdit>(GroupBox3, "manDir", ex, 70, ew, 20);
    manDirSelectButton = MakeFolderButton(GroupBox3, "manDirSelectButton", bx, 70);
}

void TForm2::BuildVideoCd() {
    QWidget* p = TabSheet5;
    VideoCDGroupBox = MakeGroup(p, "VideoCDGroupBox", "VideoCD", 6, 4, kGroupWidth, 132);
    addCDIAppBox = MakeText<QCheckBox>(VideoCDGroupBox, "addCDIAppBox", "Add CD-i Application", 12, 20, 220, 18);
    struct Row {
        QLabel** label;
        const char* labelName;
        const char* caption;
        QPushButton** button;
        const char* buttonName;
    } rows[] = {
        {&Label1, "Label1", "CDI_IMAG.RTF :", &cdi_imageButton, "cdi_imageButton"},
        {&Label2, "Label2", "CDI_TEXT.FNT :", &cdi_textButton, "cdi_textButton"},
        {&Label3, "Label3", "CDI_VCD.APP :", &cdi_vcdappButton, "cdi_vcdappButton"},
        {&Label4, "Label4", "CDI_VCD.CFG :", &cdi_vcdcfgButton, "cdi_vcdcfgButton"},
    };
    int y = 42;
    for (const Row& r : rows) {
        *r.label = MakeText<QLabel>(VideoCDGroupBox, r.labelName, r.caption, 12, y + 1, 100, 18);
        *r.button = Make<QPushButton>(VideoCDGroupBox, r.buttonName, 116, y, 342, 20);
        y += 21;
    }

    SVCDdir = MakeGroup(p, "SVCDdir", "Super VideoCD", 6, 140, kGroupWidth, 60);
    SVCDdirItems[0] =
        MakeText<QRadioButton>(SVCDdir, "SVCDdirItem0", "Use MPEG2 directory (default)", 12, 20, kGroupWidth - 24, 16);
    SVCDdirItems[1] = MakeText<QRadioButton>(SVCDdir, "SVCDdirItem1", "Use MPEGAV directory", 12, 38, kGroupWidth - 24, 16);
    SVCDentry = MakeGroup(p, "SVCDentry", "", 6, 204, kGroupWidth, 60);
    SVCDentryItems[0] = MakeText<QRadioButton>(SVCDentry, "SVCDentryItem0",
                                               "Use ENTRYVCD identification (default)", 12, 20, kGroupWidth - 24, 16);
    SVCDentryItems[1] =
        MakeText<QRadioButton>(SVCDentry, "SVCDentryItem1", "Use ENTRYSVD identification", 12, 38, kGroupWidth - 24, 16);
    GroupBox1 = MakeGroup(p, "GroupBox1", "", 6, 268, kGroupWidth, 44);
    PhilipsCheckBox =
        MakeText<QCheckBox>(GroupBox1, "PhilipsCheckBox", "Create Philips compliant SVCD", 12, 20, kGroupWidth - 24, 18);
}

void TForm2::BuildLanguage() {
    QWidget* p = TabSheet3;
    langSelButton = MakeText<QPushButton>(p, "langSelButton", "select", 6, 6, 80, 24);
    langSetGroup = MakeGroup(p, "langSetGroup", "Language Set Information", 6, 36, kGroupWidth, 84);
    langLabel = MakeText<QLabel>(langSetGroup, "langLabel", "Language :", 12, 20, 120, 18);
    langVerLabel = MakeText<QLabel>(langSetGroup, "langVerLabel", "Version :", 12, 40, 120, 18);
    langBy = MakeText<QLabel>(langSetGroup, "langBy", "Translation by :", 12, 60, 120, 18);
    langIDLabel = Make<QLabel>(langSetGroup, "langIDLabel", 136, 20, 324, 18);
    verLabel = Make<QLabel>(langSetGroup, "verLabel", 136, 40, 324, 18);
    transLabel = Make<QLabel>(langSetGroup, "transLabel", 136, 60, 324, 18);
    commentsGroup = MakeGroup(p, "commentsGroup", "Comments", 6, 124, kGroupWidth, 188);
    commentMemo = Make<QPlainTextEdit>(commentsGroup, "commentMemo", 10, 20, 450, 160);
    commentMemo->setReadOnly(true);
    commentMemo->setFrameShape(QFrame::NoFrame);
    commentMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TForm2::BuildDisplay() {
    QWidget* p = TabSheet4;
    auto shape = [&](QLabel*& label, const char* labelName, const char* caption, TShape*& s, const char* name,
                     int y) {
        label = MakeText<QLabel>(p, labelName, caption, 12, y + 5, 90, 18);
        s = Make<TShape>(p, name, 106, y, 70, 26);
        s->setCursor(Qt::PointingHandCursor);
    };
    shape(ErrorLabel, "ErrorLabel", "Error :", ErrorShape, "ErrorShape", 12);
    shape(WarnLabel, "WarnLabel", "Warning :", WarningShape, "WarningShape", 44);
    shape(PassLabel, "PassLabel", "Pass :", PassShape, "PassShape", 76);

    auto threshold = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                         const char* editName, QScrollBar*& updown, const char* updownName, QLabel*& fixes,
                         const char* fixesName, int y) {
        label = MakeText<QLabel>(p, labelName, caption, 12, y + 1, 250, 18);
        edit = Make<QLineEdit>(p, editName, 266, y, 46, 20);
        edit->setMaxLength(4);
        updown = MakeUpDown(p, updownName, 312, y);
        fixes = MakeText<QLabel>(p, fixesName, "Fixes", 332, y + 1, 78, 18);
    };
    threshold(ShowPassLabel, "ShowPassLabel", "Show pass colour when less than :", editMaxPass, "editMaxPass",
              UpDown1, "UpDown1", DispFixLabel1, "DispFixLabel1", 124);
    threshold(ShowWarnLabel, "ShowWarnLabel", "Show warning colour when less than :", editMaxWarning,
              "editMaxWarning", UpDown2, "UpDown2", DispFixLabel2, "DispFixLabel2", 152);
}

void TForm2::BuildUninstall() {
    uninstallButton = MakeText<QPushButton>(TabSheet6, "uninstallButton", "Uninstall Pellmor", 12, 12, 170, 26);
}

void TForm2::Connect() {
    connect(OptionsOk, &QPushButton::clicked, this, [this] { OptionsOkClick(); });
    connect(OptionsCancel, &QPushButton::clicked, this, [this] { OptionsCancelClick(); });
    // Check boxes act on every change of state, from code as from a click.
    for (QCheckBox* b : {disableHeaderBox, disableErrorBox, includeCUEPath, disableSplitBox})
        connect(b, &QCheckBox::toggled, this, [this] { setHasChanged(); });
    connect(addCDIAppBox, &QCheckBox::toggled, this, [this] { addCDIAppBoxClick(); });
    connect(priorityLevel, &QSlider::valueChanged, this, [this] { priorityLevelChange(); });
    connect(archiverBrowse, &QPushButton::clicked, this, [this] { archiverBrowseClick(); });
    connect(tmpDirSelectButton, &QPushButton::clicked, this, [this] { selectTempDirClick(); });
    connect(langDirSelectButton, &QPushButton::clicked, this, [this] { selectLangDirClick(); });
    connect(manDirSelectButton, &QPushButton::clicked, this, [this] { manDirSelectButtonClick(); });
    connect(cdi_imageButton, &QPushButton::clicked, this, [this] { cdi_imageButtonClick(); });
    connect(cdi_textButton, &QPushButton::clicked, this, [this] { cdi_textButtonClick(); });
    connect(cdi_vcdappButton, &QPushButton::clicked, this, [this] { cdi_vcdappButtonClick(); });
    connect(cdi_vcdcfgButton, &QPushButton::clicked, this, [this] { cdi_vcdcfgButtonClick(); });
    connect(langSelButton, &QPushButton::clicked, this, [this] { langSelButtonClick(); });
    connect(uninstallButton, &QPushButton::clicked, this, [this] { uninstallButtonClick(); });
    PassShape->onMouseUp = [this] { PassShapeMouseUp(); };
    WarningShape->onMouseUp = [this] { WarningShapeMouseUp(); };
    ErrorShape->onMouseUp = [this] { ErrorShapeMouseUp(); };
    // Each threshold's up-down writes its position into the field, and a
    // whole number typed there moves the up-down.
    for (auto [edit, updown] : {std::pair{editMaxPass, UpDown1}, std::pair{editMaxWarning, UpDown2}}) {
        edit->installEventFilter(this);
        connect(updown, &QScrollBar::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
        connect(edit, &QLineEdit::textEdited, updown, [updown](const QString& t) {
            bool ok = false;
            int v = t.toInt(&ok);
            if (ok && v >= 0 && v <= kThresholdMax) {
                QSignalBlocker block(updown);
                updown->setValue(v);
            }
        });
    }
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == editMaxPass || watched == editMaxWarning) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            char c = 27;
            editMaxPassKeyPress(c);
            return true;
        }
        const QString text = key->text();
        // Keys without a character (arrows, Delete) edit as usual.
        if (text.size() != 1) return QDialog::eventFilter(watched, event);
        const char16_t u = text.at(0).unicode();
        char c = u < 0x80 ? static_cast<char>(u) : 'x';
        editMaxPassKeyPress(c);
        if (c == 0) return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- create, load, save

void TForm2::FormCreate() {
    hasChanged = 1;
    // The window works on its own copy of the texts: re-read from the file in
    // force, so that the memo shows its comments. A file that no longer reads
    // cleanly leaves the texts in force as they are.
    language_ = *services_.languageSet;
    language_.comments = nullptr;
    if (!language_.GetFileName().empty()) {
        TLanguageSet reread = language_;
        if (reread.LoadFromFile(language_.GetFileName(), memo_.get()) == TLanguageSet::kLoaded)
            language_ = reread;
        else
            memo_->clear();
    }
    language_.comments = memo_.get();
    opening_ = language_;
    openingComments_ = memo_->lines();
    previousLanguageFile = language_.GetFileName();
    LoadOptions();
    uninstallButton->setEnabled(model_->KeyExists());
    ApplyLanguage();
    OptionsPage->setCurrentIndex(initialPage);
}

void TForm2::LoadOptions() {
    const OptionsValues v = model_->Load();
    disableHeaderBox->setChecked(v.disableHeader);
    disableSplitBox->setChecked(v.disableSplit);
    disablePadBox->setChecked(v.disablePad);
    disableErrorBox->setChecked(v.disableErrorPrompts);
    disableAudio->setChecked(v.disableAudio);
    includeCUEPath->setChecked(v.includeCuePath);
    scanCDI->setChecked(v.scanCdi);
    addCDIAppBox->setChecked(v.addCdiApplication);
    PhilipsCheckBox->setChecked(v.philipsCompliant);
    SVCDdirItems[v.svcdMpeg2Directory ? 0 : 1]->setChecked(true);
    SVCDentryItems[v.svcdEntryVcd ? 0 : 1]->setChecked(true);
    PassShape->setBrushColour(v.passColour);
    WarningShape->setBrushColour(v.warningColour);
    ErrorShape->setBrushColour(v.errorColour);
    UpDown1->setValue(v.passThreshold);
    editMaxPass->setText(QString::number(v.passThreshold));
    UpDown2->setValue(v.warningThreshold);
    editMaxWarning->setText(QString::number(v.warningThreshold));
    {
        // The priority's own handler would mark a change; the load is none.
        QSignalBlocker block(priorityLevel);
        priorityLevel->setValue(v.priority);
    }
    priority = static_cast<int16_t>(priorityLevel->value());
    RARlocation->setText(toQt(v.archiver));
    decompParams->setText(toQt(v.decompressParams));
    compParams->setText(toQt(v.compressParams));
    tempDir->setText(toQt(v.tempDir));
    langDir->setText(toQt(v.langDir));
    manDir->setText(toQt(v.manualDir));
    for (int i = 0; i < 4; ++i) SetCdiPath(i, v.cdiFiles[static_cast<size_t>(i)], true);
    EnableCdiButtons(addCDIAppBox->isChecked());
}

void TForm2::SaveOptions() {
    OptionsValues v;
    v.disableHeader = disableHeaderBox->isChecked();
    v.disableSplit = disableSplitBox->isChecked();
    v.disablePad = disablePadBox->isChecked();
    v.disableErrorPrompts = disableErrorBox->isChecked();
    v.disableAudio = disableAudio->isChecked();
    v.includeCuePath = includeCUEPath->isChecked();
    v.scanCdi = scanCDI->isChecked();
    v.priority = priority;
    v.archiver = fromQt(RARlocation->text());
    v.decompressParams = fromQt(decompParams->text());
    v.compressParams = fromQt(compParams->text());
    v.addCdiApplication = addCDIAppBox->isChecked();
    v.philipsCompliant = PhilipsCheckBox->isChecked();
    v.svcdMpeg2Directory = SVCDdirItems[0]->isChecked();
    v.svcdEntryVcd = SVCDentryItems[0]->isChecked();
    v.cdiFiles = cdiPaths_;
    v.tempDir = fromQt(tempDir->text());
    v.langDir = fromQt(langDir->text());
    v.manualDir = fromQt(manDir->text());
    v.languageFile = language_.GetFileName();
    v.passColour = PassShape->brushColour();
    v.warningColour = WarningShape->brushColour();
    v.errorColour = ErrorShape->brushColour();
    v.passThreshold = UpDown1->value();
    v.warningThreshold = UpDown2->value();
    model_->Save(v);
}

void TForm2::EnableCdiButtons(bool enabled) {
    for (QPushButton* b : CdiButtons()) b->setEnabled(enabled);
}

std::array<QPushButton*, 4> TForm2::CdiButtons() const {
    return {cdi_imageButton, cdi_textButton, cdi_vcdappButton, cdi_vcdcfgButton};
}

void TForm2::SetCdiPath(int index, const std::string& path, bool emptyShowsUndefined) {
    cdiPaths_[static_cast<size_t>(index)] = path;
    QPushButton* b = CdiButtons()[static_cast<size_t>(index)];
    b->setToolTip(toQt(path));
    const std::string undefined = emptyShowsUndefined ? language_.component(msg::component::kUndefined) : std::string();
    b->setText(toQt(CdiButtonCaption(path, undefined)));
}

// ---------------------------------------------------------------- ways out

void TForm2::OptionsOkClick() {
    if (hasChanged == 1) SaveOptions();
    languageAccepted_ = true;
    done(platform::kOk);
}

void TForm2::OptionsCancelClick() { reject(); }

// Cancel, Esc and the close box: nothing is written and the copy is dropped.
void TForm2::reject() {
    languageAccepted_ = false;
    // The counter label showed the chosen words: back to those in force.
    if (shownToMain_ && services_.stats) services_.stats->Show();
    done(platform::kCancel);
}

TLanguageSet TForm2::TakeLanguage() {
    TLanguageSet taken = language_;
    taken.comments = nullptr;
    return taken;
}

void TForm2::editMaxPassKeyPress(char& key) {
    const auto c = static_cast<unsigned char>(key);
    if (c == 27) {
        key = 0;
        reject();
        return;
    }
    if ((c >= '0' && c <= '9') || c <= 26) return;
    key = 0;
}

// ---------------------------------------------------------------- handlers

void TForm2::setHasChanged() { hasChanged = 1; }

void TForm2::priorityLevelChange() {
    priority = static_cast<int16_t>(priorityLevel->value());
    pLevel->setText(toQt(priorityNames[static_cast<size_t>(priority)]));
    setHasChanged();
}

void TForm2::addCDIAppBoxClick() {
    EnableCdiButtons(addCDIAppBox->isChecked());
    setHasChanged();
}

void TForm2::archiverBrowseClick() {
    // Linux programs carry no extension: any file may be the archiver.
    platform::FileDialogState dialog;
    dialog.Filter = "All files|*";
    if (!services_.fileDialogs->executeOpen(dialog)) return;
    RARlocation->setText(toQt(dialog.FileName));
    setHasChanged();
}

void TForm2::SelectDirectory(QLineEdit* edit) {
    std::string dir = fromQt(edit->text());
    if (services_.fileDialogs->selectDirectory("Select Directory", dir)) edit->setText(toQt(dir));
}

void TForm2::selectTempDirClick() { SelectDirectory(tempDir); }
void TForm2::selectLangDirClick() { SelectDirectory(langDir); }
void TForm2::manDirSelectButtonClick() { SelectDirectory(manDir); }

void TForm2::ChooseCdiFile(int index, const char* filter) {
    platform::FileDialogState dialog;
    dialog.Filter = filter;
    if (!services_.fileDialogs->executeOpen(dialog)) return;
    SetCdiPath(index, dialog.FileName, false);
    setHasChanged();
}

void TForm2::cdi_imageButtonClick() { ChooseCdiFile(0, "*.rtf (CDI application files)|*.rtf"); }
void TForm2::cdi_textButtonClick() { ChooseCdiFile(1, "*.fnt (CDI application files)|*.fnt"); }
void TForm2::cdi_vcdappButtonClick() { ChooseCdiFile(2, "*.app (CDI application files)|*.app"); }
void TForm2::cdi_vcdcfgButtonClick() { ChooseCdiFile(3, "*.cfg (CDI application files)|*.cfg"); }

void TForm2::ChooseColour(TShape* shape) {
    if (std::optional<int32_t> chosen = services_.dialogs->chooseColour(shape->brushColour()))
        shape->setBrushColour(*chosen & 0xFFFFFF);
}

void TForm2::PassShapeMouseUp() { ChooseColour(PassShape); }
void TForm2::WarningShapeMouseUp() { ChooseColour(WarningShape); }
void TForm2::ErrorShapeMouseUp() { ChooseColour(ErrorShape); }

int TForm2::Report(int kind, int index, const std::string& text) {
    MessageServices s;
    s.languageSet = &language_;
    s.stats = kind == kMsgQuestion ? nullptr : services_.stats;
    s.dialogs = services_.dialogs;
    return ReportMessage(s, kind, index, text, disableAudio->isChecked() ? 1 : 0,
                         disableErrorBox->isChecked() ? 1 : 0, kind == kMsgQuestion ? nullptr : services_.logList);
}

void TForm2::uninstallButtonClick() {
    if (Report(kMsgQuestion, msg::query::kUninstall, "") != platform::kYes) return;
    model_->Uninstall();
    for (QCheckBox* b : {disableErrorBox, disableHeaderBox, disableSplitBox, disableAudio, includeCUEPath})
        b->setChecked(false);
    uninstallButton->setEnabled(false);
    RARlocation->clear();
    decompParams->clear();
    compParams->clear();
    uninstalled = 1;
    languageAccepted_ = false;
    done(platform::kOk);
}

void TForm2::RestoreOpeningLanguage() {
    language_ = opening_;
    language_.comments = memo_.get();
    memo_->show(openingComments_);
}

// The counter label of the main window shows the words of this window's copy.
void TForm2::ShowLanguageToMain() {
    if (!services_.stats) return;
    services_.stats->Show(&language_);
    shownToMain_ = true;
}

void TForm2::langSelButtonClick() {
    platform::FileDialogState dialog;
    dialog.Filter = "*.lng (Pellmor language files)|*.lng|All files|*.*";
    if (!langDir->text().isEmpty()) dialog.InitialDir = fromQt(langDir->text());
    if (!services_.fileDialogs->executeOpen(dialog)) return;
    const std::string chosen = dialog.FileName;

    // Loaded into a trial copy: a file that fails changes nothing it half read.
    const std::vector<std::string> previousComments = memo_->lines();
    TLanguageSet trial = language_;
    const int status = trial.LoadFromFile(chosen, memo_.get());
    if (status == TLanguageSet::kLoaded) {
        language_ = trial;
        setHasChanged();
        ApplyLanguage();
        ShowLanguageToMain();
        return;
    }
    const std::string section = trial.errorSection;
    trial.comments = nullptr;
    // The previous choice stays in force (an earlier good file of this
    // window too, not only the one it opened with); only the memo, which
    // the trial wrote into, shows its comments again.
    memo_->show(previousComments);
    ApplyLanguage();
    ShowLanguageToMain();
    if (status == TLanguageSet::kWrongCount)
        Report(kMsgError, msg::error::kLanguageEntryCount, "#" + section);
    else
        Report(kMsgError,
               status == TLanguageSet::kInvalidFile ? msg::error::kInvalidLanguageFile : msg::error::kCannotOpen,
               chosen);
}

void TForm2::ApplyLanguage() {
    using namespace msg::component;
    const TLanguageSet& L = language_;
    auto C = [&](int i) { return toQt(L.component(i)); };
    auto CC = [&](int i) { return toQt(L.component(i) + " :"); };
    for (int i = 0; i < 7; ++i) priorityNames[static_cast<size_t>(i)] = L.core(msg::core::kPriorityIdle + i);
    pLevel->setText(toQt(priorityNames[static_cast<size_t>(priority)]));
    OptionsPage->setTabText(OptionsPage->indexOf(TabSheet1), C(kGeneral));
    OptionsPage->setTabText(OptionsPage->indexOf(TabSheet2), C(kDirectories));
    OptionsPage->setTabText(OptionsPage->indexOf(TabSheet3), C(kLanguage));
    OptionsPage->setTabText(OptionsPage->indexOf(TabSheet4), C(kDisplay));
    OptionsPage->setTabText(OptionsPage->indexOf(TabSheet6), C(kUninstall));
    langIDLabel->setText(toQt(L.text(LangSection::LANGUAGE_SET_INFO, msg::info::kLanguage)));
    verLabel->setText(toQt(L.text(LangSection::LANGUAGE_SET_INFO, msg::info::kVersion)));
    transLabel->setText(toQt(L.text(LangSection::LANGUAGE_SET_INFO, msg::info::kTranslator)));
    commentMemo->viewport()->update();
    OptionBox->setTitle(C(kOptionsTitle));
    langSetGroup->setTitle(C(kLanguageSetInfo));
    commentsGroup->setTitle(C(kComments));
    disableHeaderBox->setText(C(kDisableHeaderCorrection));
    disableErrorBox->setText(C(kDisableErrorPrompts));
    disablePadBox->setText(C(kDisablePadding));
    disableAudio->setText(C(kDisableAudioBeep));
    disableSplitBox->setText(C(kDisableSplitting));
    includeCUEPath->setText(C(kCueFullPath));
    addCDIAppBox->setText(C(kAddCdiApplication));
    PhilipsCheckBox->setText(C(kCompliantSvcd));
    OptionsOk->setText(C(kOk));
    OptionsCancel->setText(C(kCancel));
    uninstallButton->setText(C(kUninstallTitle));
    langSelButton->setText(C(kSelect));
    SVCDdirItems[0]->setText(C(kMpeg2Directory));
    SVCDdirItems[1]->setText(C(kMpegavDirectory));
    SVCDentryItems[0]->setText(C(kEntryVcd));
    SVCDentryItems[1]->setText(C(kEntrySvd));
    archiverBrowse->setToolTip(C(kSelect));
    tmpDirSelectButton->setToolTip(C(kSelect));
    priorityLabel->setText(CC(kPriority));
    decompressLabel->setText(CC(kRarDecompressor));
    decompParamLabel->setText(CC(kDecompressionParams));
    compParamLabel->setText(CC(kCompressionParams));
    tempDirLabel->setText(CC(kTempDir));
    langDirLabel->setText(CC(kLanguageDir));
    manDirLabel->setText(CC(kManualDir));
    langLabel->setText(CC(kLanguage));
    langVerLabel->setText(CC(kVersion));
    langBy->setText(CC(kTranslationBy));
    PassLabel->setText(CC(kPass));
    WarnLabel->setText(CC(kWarnings));
    ErrorLabel->setText(CC(kErrors));
    ShowPassLabel->setText(CC(kPassColourBelow));
    ShowWarnLabel->setText(CC(kWarningColourBelow));
    DispFixLabel1->setText(C(kFixes));
    DispFixLabel2->setText(C(kFixes));
    // An empty CD-i path says so in the chosen language.
    for (int i = 0; i < 4; ++i)
        if (cdiPaths_[static_cast<size_t>(i)].empty()) SetCdiPath(i, "", true);
}
