#include "app/main_window.h"
#include "app/tools_menu.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>
#include <filesystem>
#include <iterator>
#include <tuple>

#include "app/jpeg_picture.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/message_reporter.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/dialogs_qt.h"
#include "platform/qt/registry_qt.h"
#include "platform/qt/shell_qt.h"
#include "platform/qt/text.h"
#include "platform/qt/widget_make.h"

using platform::qt::fromQt;
using platform::qt::toQt;
using platform::qt::Make;
using platform::qt::MakeGroup;
using platform::qt::MakeText;

TForm1* Form1 = nullptr;

namespace {

constexpr int kClientWidth = 680;
constexpr int kClientHeight = 374;
constexpr int kPopupItemHeight = 16;

const char* const kExtractionMethods[] = {
    "rar [archive] -> cue/bin -> mpeg", "rar [archive] -> bin -> mpeg", "cue/bin -> mpeg", "cue/bin -> dat",
    "bin [disc image] -> mpeg", "toc/bin -> mpeg", "raw [track image] -> mpeg", "raw [track image] -> dat",
    "dat -> mpeg", "mpeg ->dat", "mpeg -> mpeg", "cif (Adaptec) -> mpeg", "nrg (Nero) -> mpeg",
    "sfd (@Dreamcast) -> mpeg",
};
const char* const kBuildMethods[] = {
    "mpeg -> toc/bin[cd image]", "mpeg -> cue/bin[cd image]", "cif (Adaptec) -> cue/bin[cd image]",
    "nrg (Nero) -> cue/bin[cd image]",
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* b = Make<QPushButton>(parent, name, x, y, w, h);
    b->setText(QString::fromUtf8(caption));
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QListWidget* MakePopup(QWidget* parent, const char* name, std::initializer_list<const char*> items, int width) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    for (const char* item : items) {
        auto* it = new QListWidgetItem(QString::fromUtf8(item), list);
        it->setSizeHint(QSize(width, kPopupItemHeight));
    }
    list->setUniformItemSizes(true);
    list->setMouseTracking(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setFrameShape(QFrame::Box);
    list->resize(width, list->count() * kPopupItemHeight + 2 * list->frameWidth());
    list->hide();
    return list;
}

// A counter shown on a framed plate, as the fix, split and padding counts are.
QLabel* MakePlate(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* l = Make<QLabel>(parent, name, x, y, w, h);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setIndent(4);
    return l;
}

// The file row and the job row under it, alike on both job pages.
struct JobRow {
    QLineEdit* field;
    QPushButton* fileButton;
    TClickLabel* naming;
    QPushButton* start;
    QProgressBar* bar;
    QLabel *status, *completed, *eta;
    TClickLabel* totals;
    auto values() const {
        return std::make_tuple(field, fileButton, naming, start, bar, status, completed, eta, totals);
    }
};

// names: field, file button, naming link, start, progress bar, status,
// completed, ETA, warning totals.
JobRow MakeJobRow(QWidget* p, const std::array<const char*, 9>& names, const char* fileButtonCaption) {
    JobRow r{};
    r.field = Make<QLineEdit>(p, names[0], 6, 204, 470, 22);
    r.field->setReadOnly(true);
    r.fileButton = MakeButton(p, names[1], fileButtonCaption, 480, 204, 60, 22);
    r.naming = MakeText<TClickLabel>(p, names[2], "<< multi-file naming", 546, 207, 124, 16);
    r.naming->setEnabled(false);
    r.start = MakeButton(p, names[3], "start", 6, 232, 76, 24);
    r.start->setEnabled(false);
    r.bar = Make<QProgressBar>(p, names[4], 170, 235, 500, 18);
    r.bar->setRange(0, 100);
    r.bar->setValue(0);
    r.bar->setTextVisible(false);  // the "Completed:" label shows the figure
    r.status = Make<QLabel>(p, names[5], 170, 259, 330, 16);
    r.completed = MakeText<QLabel>(p, names[6], "Completed:", 504, 259, 100, 16);
    r.eta = Make<QLabel>(p, names[7], 606, 259, 64, 16);
    r.eta->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    r.totals = Make<TClickLabel>(p, names[8], 440, 280, 230, 16);
    r.totals->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    r.totals->setCursor(Qt::PointingHandCursor);
    r.totals->hide();
    return r;
}

}  // namespace

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::TabFocus); }

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}

void TClickLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isEnabled()) emit clicked();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void TClickLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    // A plain label shows no focus of its own: frame the text as buttons do.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    const QFontMetrics& fm = fontMetrics();
    const QSize textSize(std::min(fm.horizontalAdvance(text()) + 4, contentsRect().width()),
                         std::min(fm.height() + 2, contentsRect().height()));
    option.rect = QStyle::alignedRect(layoutDirection(), alignment(), textSize, contentsRect());
    option.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

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
    BuildExtractionPage();
    BuildVideoCdPage();
    BuildLogPage();
    MakeHandles();
    ConnectHandlers();
    SetTabOrder();
    // Clicks and keys anywhere in the window close the pop-up lists.
    QCoreApplication::instance()->installEventFilter(this);

    // Handlers of these controls arrive with task projects, the video-cd
    // build, the options, about and batch windows and the two tools; until
    // then the controls stay disabled.
    for (QWidget* w : std::initializer_list<QWidget*>{
             transferJobButton, sfvCheck, batchTask, OpenSampleButton, yesSample, noSample})
        notYetAvailable_.insert(w);
    for (const QWidget* w : notYetAvailable_) {
        auto* widget = const_cast<QWidget*>(w);
        SetUsable(widget, widget->isEnabled());
    }

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->availableGeometry();
        move(r.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    FormCreate();
}

TForm1::~TForm1() {
    FormClose();
    if (Form1 == this) Form1 = nullptr;
    // Freed in the close's order: the run state, the texts, the options, then
    // the job with its track table, then the counters.
    FreeScanObjects();
    videoCdPage.reset();
    runState = nullptr;
    runStateOwned.reset();
    languageSet.reset();
    MainConfig.reset();
    trackTable = nullptr;
    MainJob.reset();
    stats.reset();
}

void TForm1::BuildHeader() {
    headerImage = Make<QLabel>(this, "headerImage", 0, 0, kClientWidth, 46);
    QImage picture = LoadJpegPicture(exeDir + "header.jpg");
    if (!picture.isNull()) {
        headerImage->setPixmap(QPixmap::fromImage(picture));
    } else {
        // Without the picture the header is a plain dark strip.
        headerImage->setAutoFillBackground(true);
        QPalette p = headerImage->palette();
        p.setColor(QPalette::Window, QColor(0x22, 0x4a, 0x68));
        headerImage->setPalette(p);
    }

    const int row = 49, h = 19;
    pellmorButton = MakeButton(this, "pellmorButton", "pellmor", 8, row, 70, h);
    buildVCDButton = MakeButton(this, "buildVCDButton", "video-cd", 80, row, 70, h);
    logButton = MakeButton(this, "logButton", "logs", 152, row, 70, h);
    for (QPushButton* b : {pellmorButton, buildVCDButton, logButton}) b->setCheckable(true);
    pellmorButton->setChecked(true);

    struct Item {
        QPushButton** button;
        const char* name;
        const char* caption;
        int width;
    } items[] = {
        {&utilButton, "utilButton", ".:.", 30},       {&ClearButton, "ClearButton", "[x]", 30},
        {&taskButton, "taskButton", "task", 50},      {&transferJobButton, "transferJobButton", "-->", 34},
        {&docButton, "docButton", "documentation", 100}, {&optionsButton, "optionsButton", "options", 62},
        {&aboutButton, "aboutButton", "about", 56},
    };
    int total = 0;
    for (const Item& it : items) total += it.width + 2;
    int x = kClientWidth - 8 - total + 2;
    for (const Item& it : items) {
        *it.button = MakeButton(this, it.name, it.caption, x, row, it.width, h);
        x += it.width + 2;
    }

    menuPage = Make<QTabWidget>(this, "menuPage", 0, 70, kClientWidth, kClientHeight - 70);
    menuPage->tabBar()->hide();
    // The header buttons switch the pages; the hidden tab bar must not hold
    // the keyboard's focus.
    menuPage->setFocusPolicy(Qt::NoFocus);
    menuPage->tabBar()->setFocusPolicy(Qt::NoFocus);
    menuPage->setDocumentMode(true);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    menuPage->addTab(TabSheet1, QStringLiteral("   pellmor    "));
    menuPage->addTab(TabSheet2, QStringLiteral("  video-cd  "));
    menuPage->addTab(TabSheet3, QStringLiteral("   logs   "));

    // The pop-up lists hang below their buttons, over the page.
    taskBox = MakePopup(this, "taskBox", {"> Open task project", "> Save task project", "> Open batch list"}, 170);
    docBox = MakePopup(this, "docBox", {">  What's new?", ">  Pellmor history", ">  Manual", ">  FAQ"}, 150);
    utilBox = MakePopup(this, "utilBox", {"> Sample Clip Editor", "> CD-i Subtitle Convertor"}, 180);
    taskBox->move(taskButton->x(), row + h + 1);
    docBox->move(docButton->x(), row + h + 1);
    utilBox->move(utilButton->x(), row + h + 1);
    for (QListWidget* l : {taskBox, docBox, utilBox}) l->viewport()->installEventFilter(this);
    utilButton->installEventFilter(this);
}

void TForm1::BuildExtractionPage() {
    QWidget* p = TabSheet1;
    ExtractionGroup = MakeGroup(p, "ExtractionGroup", "Extraction / Conversion", 6, 2, 304, 196);
    methodBox = Make<QComboBox>(ExtractionGroup, "methodBox", 10, 20, 284, 22);
    for (const char* m : kExtractionMethods) methodBox->addItem(QString::fromUtf8(m));
    methodBox->setMaxVisibleItems(14);
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

void TForm1::BuildVideoCdPage() {
    QWidget* p = TabSheet2;
    buildVCDMethod = Make<QComboBox>(p, "buildVCDMethod", 6, 6, 238, 22);
    for (const char* m : kBuildMethods) buildVCDMethod->addItem(QString::fromUtf8(m));

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
    spanGroup_ = new QButtonGroup(this);
    for (QRadioButton* r : {imgNone, imgCustom, img74, img80}) spanGroup_->addButton(r);
    imgNone->setChecked(true);
    addSampleLabel = MakeText<QLabel>(AdditionGroup, "addSampleLabel", "Add a Sample Clip?", 8, 112, 168, 15);
    yesSample = MakeText<QRadioButton>(AdditionGroup, "yesSample", "Yes", 12, 129, 48, 16);
    noSample = MakeText<QRadioButton>(AdditionGroup, "noSample", "No", 62, 129, 46, 16);
    OpenSampleButton = MakeButton(AdditionGroup, "OpenSampleButton", "clip...", 110, 127, 66, 20);
    sampleGroup_ = new QButtonGroup(this);
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
    folderGroup_ = new QButtonGroup(this);
    folderGroup_->addButton(yesFolder);
    folderGroup_->addButton(noFolder);
    noFolder->setChecked(true);

    std::tie(saveFileField, saveButton, namingLabel, startVCDButton, ProgressBar2, statusMsg2, compLabel2,
             etaMsg2, totalErrWarnings2) =
        MakeJobRow(p, {"saveFileField", "saveButton", "namingLabel", "startVCDButton", "ProgressBar2",
                   "statusMsg2", "compLabel2", "etaMsg2", "totalErrWarnings2"},
                   "sa&ve").values();
}

void TForm1::BuildLogPage() {
    QWidget* p = TabSheet3;
    log = Make<QListWidget>(p, "log", 6, 6, 664, 264);
    log->setSelectionMode(QAbstractItemView::ExtendedSelection);
    log->addItem(QStringLiteral("[ PELLMOR PROCESSING LOG ]"));
    copyAnimPanel = Make<QFrame>(p, "copyAnimPanel", 6, 276, 200, 22);
    copyAnimPanel->setFrameShape(QFrame::NoFrame);
    copyPanel = MakeButton(p, "copyPanel", "copy", 520, 276, 72, 22);
    clearPanel = MakeButton(p, "clearPanel", "clear", 598, 276, 72, 22);
}

void TForm1::MakeHandles() {
    using namespace platform::qt;
    Handles& h = handles_;
    h.statusMsg = std::make_unique<QtLabel>(statusMsg);
    h.etaMsg = std::make_unique<QtLabel>(etaMsg);
    h.compLabel1 = std::make_unique<QtLabel>(compLabel1);
    h.statusMsg2 = std::make_unique<QtLabel>(statusMsg2);
    h.etaMsg2 = std::make_unique<QtLabel>(etaMsg2);
    h.compLabel2 = std::make_unique<QtLabel>(compLabel2);
    h.FixLabel = std::make_unique<QtLabel>(FixLabel);
    h.SplitLabel = std::make_unique<QtLabel>(SplitLabel);
    h.PaddingLabel = std::make_unique<QtLabel>(PaddingLabel);
    h.StatusIndicator = std::make_unique<QtLabel>(StatusIndicator);
    h.totalErrWarnings = std::make_unique<QtLabel>(totalErrWarnings);
    h.totalErrWarnings2 = std::make_unique<QtLabel>(totalErrWarnings2);
    h.ProgressBar = std::make_unique<QtProgressBar>(ProgressBar);
    h.ProgressBar2 = std::make_unique<QtProgressBar>(ProgressBar2);
    h.TrackListBox = std::make_unique<QtListBox>(TrackListBox);
    h.log = std::make_unique<QtListBox>(log);
    h.startButton = std::make_unique<QtButton>(startButton);
    h.startVCDButton = std::make_unique<QtButton>(startVCDButton);
    h.previewButton = std::make_unique<QtButton>(previewButton);
    h.toastCheckBox = std::make_unique<QtCheckBox>(toastCheckBox);
    h.batchSignal = std::make_unique<QtEdit>(batchSignal);
}

void TForm1::ConnectHandlers() {
    // Check boxes act on every change of state, from code as from a click.
    connect(pellmorButton, &QPushButton::clicked, this, [this] { pellmorButtonClick(); });
    connect(buildVCDButton, &QPushButton::clicked, this, [this] { buildVCDButtonClick(); });
    connect(logButton, &QPushButton::clicked, this, [this] { logButtonClick(); });
    connect(taskButton, &QPushButton::clicked, this, [this] { taskButtonClick(); });
    connect(docButton, &QPushButton::clicked, this, [this] { docButtonClick(); });
    connect(utilButton, &QPushButton::clicked, this, [this] { utilButtonClick(); });
    connect(optionsButton, &QPushButton::clicked, this, [this] { optionsButtonClick(); });
    connect(VCDOptionLink, &TClickLabel::clicked, this, [this] { VCDOptionLinkClick(); });
    connect(aboutButton, &QPushButton::clicked, this, [this] { aboutButtonClick(); });
    connect(taskBox, &QListWidget::itemClicked, this, [this] { taskBoxClick(); });
    connect(docBox, &QListWidget::itemClicked, this, [this] { docBoxClick(); });
    connect(utilBox, &QListWidget::itemClicked, this, [this] { utilBoxClick(); });
    connect(VCDCheckBox, &QCheckBox::toggled, this, [this] { VCDCheckBoxClick(); });
    connect(SVCDCheckBox, &QCheckBox::toggled, this, [this] { SVCDCheckBoxClick(); });
    connect(fixErrorCheckBox, &QCheckBox::toggled, this, [this] { fixErrorCheckBoxClick(); });
    connect(bumperCheckBox, &QCheckBox::toggled, this, [this] { bumperCheckBoxClick(); });
    connect(toastCheckBox, &QCheckBox::toggled, this, [this] { toastCheckBoxClick(); });
    connect(PassiveBox, &QCheckBox::toggled, this, [this] { PassiveBoxClick(); });
    connect(forceRead, &QCheckBox::toggled, this, [this] { forceOptionClick(); });
    connect(forceWrite, &QCheckBox::toggled, this, [this] { forceOptionClick(); });
    // Combo boxes act on the user's choice only; code calls the handler itself.
    connect(methodBox, &QComboBox::activated, this, [this] { methodBoxChange(); });
    connect(buildVCDMethod, &QComboBox::activated, this, [this] { buildVCDMethodChange(); });
    connect(copyPanel, &QPushButton::clicked, this, [this] { ccopyButtonClick(); });
    connect(clearPanel, &QPushButton::clicked, this, [this] { clearLogClick(); });
    connect(totalErrWarnings, &TClickLabel::clicked, this, [this] { totalErrWarningsClick(); });
    connect(totalErrWarnings2, &TClickLabel::clicked, this, [this] { totalErrWarnings2Click(); });
    connect(previewButton, &QPushButton::clicked, this, [this] { previewButtonClick(); });
    connect(playTrackButton, &QPushButton::clicked, this, [this] { playTrackButtonClick(); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { ClearButtonClick(); });
    connect(browseButton, &QPushButton::clicked, this, [this] { loadButtonClick(); });
    connect(startButton, &QPushButton::clicked, this, [this] { startButtonClick(); });
    connect(startVCDButton, &QPushButton::clicked, this, [this] { startButtonClick(); });
    connect(TrackListBox, &QListWidget::itemSelectionChanged, this, [this] { TrackListBoxClick(); });
    connect(trackZeroBox, &QCheckBox::toggled, this, [this] { trackZeroBoxClick(); });
    connect(sectorReadField, &QLineEdit::editingFinished, this, [this] { sectorReadFieldExit(); });
    connect(sectorWriteField, &QLineEdit::editingFinished, this, [this] { sectorWriteFieldExit(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        auto* me = static_cast<QMouseEvent*>(event);
        QPoint pos = me->position().toPoint();
        if (watched == taskBox->viewport()) taskBoxMouseMove(pos.x(), pos.y());
        else if (watched == docBox->viewport()) docBoxMouseMove(pos.x(), pos.y());
        else if (watched == utilBox->viewport() || watched == utilButton) utilButtonMouseMove(pos.x(), pos.y());
    }
    if (PopupKeyOrClick(watched, event)) return true;
    return QWidget::eventFilter(watched, event);
}

QPushButton* TForm1::PopupButton(const QListWidget* list) const {
    return list == taskBox ? taskButton : list == docBox ? docButton : utilButton;
}

// The pop-up lists behave as menus: Escape or a click anywhere else closes
// them, so does the focus moving on; Enter chooses the current item.
bool TForm1::PopupKeyOrClick(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Hide) {
        // A list closed while it had the keyboard gives it back to its button.
        for (QListWidget* list : {taskBox, docBox, utilBox})
            if (watched == list && list->hasFocus()) PopupButton(list)->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress && type != QEvent::FocusOut) return false;
    QListWidget* open = nullptr;
    for (QListWidget* list : {taskBox, docBox, utilBox})
        if (list && list->isVisible()) open = list;
    if (!open || !watched->isWidgetType()) return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != this) return false;
    const bool inList = target == open || open->isAncestorOf(target);

    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            open->hide();
            return true;
        }
        if (inList && (key == Qt::Key_Return || key == Qt::Key_Enter) && open->currentRow() >= 0) {
            if (open == taskBox) taskBoxClick();
            else if (open == docBox) docBoxClick();
            else utilBoxClick();
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress) {
        // The list's own button toggles it itself.
        if (!inList && target != PopupButton(open)) open->hide();
        return false;
    }
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (target == open && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) open->hide();
    return false;
}

void TForm1::SetTabOrder() {
    // Reading order: the header from left to right (each list after its
    // button), then every page from top to bottom, a left column before the
    // one right of it. The pages not shown drop out by themselves.
    QWidget* const order[] = {
        pellmorButton, buildVCDButton, logButton, utilButton, utilBox, ClearButton, taskButton, taskBox,
        transferJobButton, docButton, docBox, optionsButton, aboutButton,
        // extraction
        methodBox, fixErrorCheckBox, bumperCheckBox, forceRead, sectorReadField, forceWrite, sectorWriteField,
        sfvCheck, toastCheckBox, subCheckBox, TrackListBox, trackZeroBox, PassiveBox, batchTask, inputFileField,
        browseButton, namingLabel2, startButton, previewButton, totalErrWarnings,
        // video-cd
        buildVCDMethod, VCDCheckBox, SVCDCheckBox, VCDOptionLink, TrackListGrid, addTrackButton, removeTrackButton,
        clearListButton, moveTrackUp, moveTrackDown, IncreaseImage, ReduceImage, playTrackButton, volName,
        volumeExpandButton, pauseTimeMsg, TrackPauseBar, imgNone, imgCustom, img74, img80, yesSample, noSample,
        OpenSampleButton, yesFolder, noFolder, saveFileField, saveButton, namingLabel, startVCDButton,
        totalErrWarnings2,
        // logs
        log, copyPanel, clearPanel};
    for (size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::SetUsable(QWidget* control, bool on) {
    control->setProperty("pellmorWanted", on);
    control->setEnabled(on && !notYetAvailable_.count(control));
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
    videoCdPage = std::make_unique<TVideoCdPage>(*this, imageCapacity_, imageMargin_);

    runState->running = 0;
    methodBox->setCurrentIndex(0);
    buildVCDMethod->setCurrentIndex(0);
    methodIndex = 0;
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
    StopRunningJob();
    HidePopupLists();
    if (skipSaveSettings != 1) SaveSettings();
    FreeScanObjects();
    // Only the task projects this run wrote: other instances may still use theirs.
    for (const std::string& path : tempProjects_) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    tempProjects_.clear();
}

void TForm1::RegisterTempProject(const std::string& path) { tempProjects_.push_back(path); }

// ---------------------------------------------------------------- pages

void TForm1::ShowPage(int index) {
    menuPage->setCurrentIndex(index);
    pellmorButton->setChecked(index == 0);
    buildVCDButton->setChecked(index == 1);
    logButton->setChecked(index == 2);
}

void TForm1::HidePopupLists() {
    taskBox->hide();
    docBox->hide();
    utilBox->hide();
}

void TForm1::pellmorButtonClick() {
    HidePopupLists();
    if (JobRunning()) {
        if (runState->pageMode != 0) {
            SetUsable(startButton, false);
            SetUsable(browseButton, false);
            SetUsable(methodBox, false);
        }
        ShowPage(0);
        pageMode = 0;
        FixLabel->setText(toQt(languageSet->component(91) + ":"));
        SplitLabel->setText(toQt(languageSet->component(92) + ":"));
        handles_.StatusIndicator->setColor(0xC0C0C0);
        return;
    }
    // Start needs a loaded source.
    SetUsable(startButton, !inputFileField->text().isEmpty());
    SetUsable(browseButton, true);
    SetUsable(methodBox, true);
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
    QWidget* const jobControls[] = {startVCDButton, addTrackButton,  removeTrackButton, moveTrackUp,
                                    moveTrackDown,  clearListButton, buildVCDMethod};
    if (JobRunning()) {
        if (runState->pageMode != 1)
            for (QWidget* w : jobControls) SetUsable(w, false);
        ShowPage(1);
        pageMode = 1;
        return;
    }
    for (QWidget* w : jobControls) SetUsable(w, true);
    if (TrackListBox->count() > 0 || !inputFileField->text().isEmpty()) {
        ShowPage(0);
        int answer = ResetPage(0);
        if (answer == platform::kNo || answer == platform::kCancel) return;
    }
    ShowPage(1);
    pageMode = 1;
    SetUsable(previewButton, false);
    previewIndex = 0;
    PassiveBox->setChecked(false);
    batchActive = 0;
    GreyOptions();
}

void TForm1::logButtonClick() {
    HidePopupLists();
    ShowPage(2);
}

void TForm1::totalErrWarningsClick() { logButtonClick(); }
void TForm1::totalErrWarnings2Click() { logButtonClick(); }

// ---------------------------------------------------------------- header lists

void TForm1::TogglePopup(QListWidget* list) {
    for (QListWidget* other : {taskBox, docBox, utilBox})
        if (other != list) other->hide();
    if (list->isVisible()) {
        list->hide();
    } else {
        list->show();
        list->raise();
        list->update();
        // The keyboard goes on in the list: arrows, Enter, Escape.
        if (list->currentRow() < 0) list->setCurrentRow(0);
        list->setFocus(Qt::PopupFocusReason);
    }
}

void TForm1::taskButtonClick() { TogglePopup(taskBox); }
void TForm1::docButtonClick() { TogglePopup(docBox); }
void TForm1::utilButtonClick() { TogglePopup(utilBox); }

void TForm1::taskBoxMouseMove(int, int y) {
    int row = y / kPopupItemHeight;
    if (row >= 0 && row < taskBox->count()) taskBox->setCurrentRow(row);
}
void TForm1::docBoxMouseMove(int, int y) {
    int row = y / kPopupItemHeight;
    if (row >= 0 && row < docBox->count()) docBox->setCurrentRow(row);
}
void TForm1::utilButtonMouseMove(int, int y) {
    int row = y / kPopupItemHeight;
    if (row >= 0 && row < utilBox->count()) utilBox->setCurrentRow(row);
}

void TForm1::taskBoxClick() {
    taskBox->hide();
    // The batch list item comes with the batch window.
    const int item = taskBox->currentRow();
    if (item == 0) loadTaskClick();
    if (item == 1) saveTaskClick();
}

void TForm1::docBoxClick() {
    docBox->hide();
    static const char* const pages[] = {"/whatsnew.html", "/history.html", "/index.html", "/faq.html"};
    int item = docBox->currentRow();
    if (item < 0 || item > 3) return;
    std::string dir = MainConfig->ManualFAQDirectory;
    if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    const std::string page = dir + pages[item];
    // The shell would fail without a word.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(page, ec)) {
        dialogs_->error("The documentation file could not be found: " + page, kCaption);
        return;
    }
    shell_->open(page);
}

void TForm1::utilBoxClick() {
    utilBox->hide();
    if (JobRunning()) return;
    RunUtility(*this, utilBox->currentRow());
}

void TForm1::optionsButtonClick() { ShowConfigurationForm(0); }

void TForm1::VCDOptionLinkClick() { ShowConfigurationForm(2); }

// ---------------------------------------------------------------- options

// While a job runs the worker reads the options and sets them itself (a
// build unticks the Toast box after clearing the option): the boxes then
// leave them alone.
void TForm1::fixErrorCheckBoxClick() {
    if (!JobRunning()) MainConfig->FixMPEGErrors = fixErrorCheckBox->isChecked() ? 1 : 0;
}
void TForm1::bumperCheckBoxClick() {
    if (!JobRunning()) MainConfig->RemoveCDIBumper = bumperCheckBox->isChecked() ? 1 : 0;
}
void TForm1::toastCheckBoxClick() {
    if (!JobRunning()) MainConfig->ToastEnable = toastCheckBox->isChecked() ? 1 : 0;
}

void TForm1::PassiveBoxClick() {
    if (PassiveBox->isChecked()) {
        if (!OpenDialog.FileName.empty()) {
            SaveDialog.Files.clear();
            SaveDialog.FileName = "nul";
            SetUsable(namingLabel2, false);
        }
        MainConfig->passive = 1;
    } else {
        // batchActive is still 1 here, so the page is cleared without asking.
        ResetPage(0);
        MainConfig->passive = 0;
    }
    batchActive = PassiveBox->isChecked() ? 1 : 0;
}

void TForm1::forceOptionClick() {
    sectorReadField->setEnabled(forceRead->isChecked());
    sectorWriteField->setEnabled(forceWrite->isChecked());
}

void TForm1::VCDCheckBoxClick() { SVCDCheckBox->setChecked(!VCDCheckBox->isChecked()); }
void TForm1::SVCDCheckBoxClick() { VCDCheckBox->setChecked(!SVCDCheckBox->isChecked()); }

void TForm1::GreyOptions() {
    if (pageMode == 0) {
        methodIndex = methodBox->currentIndex();
        SetUsable(sfvCheck, false);
        SetUsable(subCheckBox, false);
        bool fix = false, bumper = false, sfv = false, sub = false;
        switch (methodIndex) {
            case 0: case 1: fix = bumper = sfv = sub = true; break;
            case 2: case 4: case 5: case 6: case 11: case 12: fix = bumper = sub = true; break;
            case 3: case 7: bumper = sub = true; break;
            case 8: case 9: case 10: case 13: fix = true; break;
            default: break;  // no method selected
        }
        fixErrorCheckBox->setEnabled(fix);
        bumperCheckBox->setEnabled(bumper);
        SetUsable(sfvCheck, sfv);
        SetUsable(subCheckBox, sub);
        // Archives load into the batch window, which is not there yet.
        const bool archive = methodIndex == 0 || methodIndex == 1;
        browseButton->setEnabled(WantsEnabled(browseButton) && !archive);
    } else if (pageMode == 1) {
        methodIndex = buildVCDMethod->currentIndex();
        const bool files = methodIndex == 0 || methodIndex == 1;
        for (QWidget* w : std::initializer_list<QWidget*>{moveTrackUp, moveTrackDown, addTrackButton,
                                                          removeTrackButton, playTrackButton, clearListButton,
                                                          imgNumLabel, totalImageTime})
            SetUsable(w, files);
        const bool image = methodIndex == 2 || methodIndex == 3;
        // With a cif or nrg build the button chooses the source image.
        if (languageSet) saveButton->setText(toQt(languageSet->component(image ? 14 : 33)));
        if (videoCdPage) videoCdPage->UpdateStart();
    }
}

void TForm1::methodBoxChange() {
    if (pageMode == 0 && TrackListBox->count() > 0) {
        int answer = ResetPage(0);
        if (answer == platform::kNo || answer == platform::kCancel) return;
    }
    MainConfig->selectedTracksOnly = 0;
    GreyOptions();
}

void TForm1::buildVCDMethodChange() {
    if (BuildListRows() > 0) {
        int answer = ResetPage(1);
        if (answer == platform::kNo || answer == platform::kCancel) {
            buildVCDMethod->setCurrentIndex(methodIndex);
            return;
        }
    }
    methodBoxChange();
}

// ---------------------------------------------------------------- page contents

int TForm1::BuildListRows() const { return videoCdPage ? videoCdPage->Rows() : 0; }

int TForm1::ResetPage(int page) {
    if (!batchActive) {
        int answer = Report(kMsgQuestion, 1, "");
        if (answer != platform::kYes) return answer;
    }
    if (page == 0) {
        TrackListBox->clear();
        trackTable->Reset();
        ClearAllFileFields();
        SetUsable(startButton, false);
        SetUsable(trackZeroBox, false);
        FreeScanObjects();
    } else if (page == 1) {
        ClearAllFileFields();
        if (videoCdPage) videoCdPage->ResetControls();
    }
    MainConfig->buildListHeaderShown = 0;
    MainJob->multiImage = 0;
    return platform::kYes;
}

void TForm1::ClearAllFileFields() {
    inputFileField->clear();
    saveFileField->clear();
    TrackMsgLabel->clear();
    volName->clear();
    OpenDialog.FileName.clear();
    OpenDialog.Files.clear();
    SaveDialog.FileName.clear();
    SaveDialog.Files.clear();
    if (MainJob) {
        MainJob->sourceName.clear();
        MainJob->outputName.clear();
        MainJob->baseOutputName.clear();
    }
    SetUsable(namingLabel, false);
    SetUsable(namingLabel2, false);
}

void TForm1::StartAfresh(bool newSource) {
    if (stats) {
        stats->warnings = 0;
        stats->errors = 0;
    }
    totalErrWarnings->hide();
    totalErrWarnings2->hide();
    if (!newSource) return;
    SetUsable(previewButton, false);
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
    if (JobRunning() || WorkerBusy() || (batchActive && !PassiveBox->isChecked())) return;
    const uint8_t before = batchActive;
    batchActive = 1;
    ResetPage(pageMode);
    batchActive = before;
}

void TForm1::WMDropFiles(const std::vector<std::string>& names) {
    // The worker reads the build list while it runs.
    if (JobRunning() || WorkerBusy()) return;
    if (pageMode != 1) return;
    // The list builds from MPEG files only.
    if (!videoCdPage || buildVCDMethod->currentIndex() > 1) return;
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

// ---------------------------------------------------------------- log, preview, play

void TForm1::ccopyButtonClick() {
    QStringList lines;
    for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void TForm1::clearLogClick() { log->clear(); }

void TForm1::previewButtonClick() {
    if (generatedFiles.empty()) return;
    std::vector<std::string> entries = GeneratedFileEntries(generatedFiles);
    if (previewIndex < 0 || previewIndex >= static_cast<int32_t>(entries.size())) previewIndex = 0;
    shell_->open(entries[static_cast<size_t>(previewIndex)]);
    ++previewIndex;
}

void TForm1::playTrackButtonClick() {
    if (!videoCdPage) return;
    const std::string file = videoCdPage->SelectedFile();
    if (!file.empty()) shell_->open(file);
}

// ---------------------------------------------------------------- settings

MainWindowValues TForm1::WindowValues() const {
    MainWindowValues w;
    w.lastMethod = methodBox->currentIndex();
    w.lastBuildVCDMethod = buildVCDMethod->currentIndex();
    w.fixErrors = fixErrorCheckBox->isChecked();
    w.removeBumper = bumperCheckBox->isChecked();
    w.toast = toastCheckBox->isChecked();
    w.videoCdMode = VCDCheckBox->isChecked();
    w.separateFolders = yesFolder->isChecked();
    // Custom spans at the 80-minute capacity and is stored as that.
    w.split = img74->isChecked() ? 1 : img80->isChecked() || imgCustom->isChecked() ? 2 : 0;
    w.forceReadTicked = forceRead->isChecked();
    w.forceWriteTicked = forceWrite->isChecked();
    w.sectorReadText = fromQt(sectorReadField->text());
    w.sectorWriteText = fromQt(sectorWriteField->text());
    w.trackPausePosition = TrackPauseBar->value();
    w.pauseTimeText = fromQt(pauseTimeMsg->text());
    return w;
}

void TForm1::LoadSettings(int mode) {
    MainWindowValues w = WindowValues();
    settings_->Load(mode == 0 ? LoadMode::Full : LoadMode::BeforeJob, *MainConfig, w);
    if (mode != 0) return;
    methodBox->setCurrentIndex(w.lastMethod);
    GreyOptions();
    buildVCDMethod->setCurrentIndex(w.lastBuildVCDMethod);
    fixErrorCheckBox->setChecked(w.fixErrors);
    bumperCheckBox->setChecked(w.removeBumper);
    toastCheckBox->setChecked(w.toast);
    TrackPauseBar->setValue(w.trackPause);
    VCDCheckBox->setChecked(w.videoCdMode);
    SVCDCheckBox->setChecked(!VCDCheckBox->isChecked());
    if (w.split) {
        if (*w.split == 1) img74->setChecked(true);
        else if (*w.split == 2) img80->setChecked(true);
        else imgNone->setChecked(true);
    }
    yesFolder->setChecked(w.separateFolders);
    noFolder->setChecked(!yesFolder->isChecked());
    if (w.forcedRead) {
        MainJob->forcedReadSize = *w.forcedRead;
        forceRead->setChecked(*w.forcedRead != 0);
    }
    if (w.forcedWrite) {
        MainJob->forcedWriteSize = *w.forcedWrite;
        forceWrite->setChecked(*w.forcedWrite != 0);
    }
    pauseTimeMsg->setText(QString::number(w.trackPause));
}

void TForm1::SaveSettings() {
    if (!settings_ || !MainConfig) return;
    settings_->Save(*MainConfig, WindowValues());
}

