// The main window's header: the picture, the page buttons, the buttons on
// the right with their pop-up lists, and the tab order over all pages.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <filesystem>
#include <iterator>

#include "app/extraction_page/extraction_page.h"
#include "app/jpeg_picture.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "app/main_window/tools_menu.h"
#include "app/video_cd_page/video_cd_page.h"
#include "platform/qt/widget_make.h"

using platform::qt::Make;

namespace {

constexpr int kClientWidth = 680;
constexpr int kClientHeight = 374;
constexpr int kPopupItemHeight = 16;

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

}  // namespace

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
        extractionPage->methodBox, extractionPage->fixErrorCheckBox, extractionPage->bumperCheckBox, extractionPage->forceRead, extractionPage->sectorReadField, extractionPage->forceWrite, extractionPage->sectorWriteField,
        extractionPage->sfvCheck, extractionPage->toastCheckBox, extractionPage->subCheckBox, extractionPage->TrackListBox, extractionPage->trackZeroBox, extractionPage->PassiveBox, extractionPage->batchTask, extractionPage->inputFileField,
        extractionPage->browseButton, extractionPage->namingLabel2, extractionPage->startButton, extractionPage->previewButton, extractionPage->totalErrWarnings,
        // video-cd
        videoCdPage->buildVCDMethod, videoCdPage->VCDCheckBox, videoCdPage->SVCDCheckBox, videoCdPage->VCDOptionLink, videoCdPage->TrackListGrid, videoCdPage->addTrackButton, videoCdPage->removeTrackButton,
        videoCdPage->clearListButton, videoCdPage->moveTrackUp, videoCdPage->moveTrackDown, videoCdPage->IncreaseImage, videoCdPage->ReduceImage, videoCdPage->playTrackButton, videoCdPage->volName,
        videoCdPage->volumeExpandButton, videoCdPage->pauseTimeMsg, videoCdPage->TrackPauseBar, videoCdPage->imgNone, videoCdPage->imgCustom, videoCdPage->img74, videoCdPage->img80, videoCdPage->yesSample, videoCdPage->noSample,
        videoCdPage->OpenSampleButton, videoCdPage->yesFolder, videoCdPage->noFolder, videoCdPage->saveFileField, videoCdPage->saveButton, videoCdPage->namingLabel, videoCdPage->startVCDButton,
        videoCdPage->totalErrWarnings2,
        // logs
        logPage->log, logPage->copyPanel, logPage->clearPanel};
    for (size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::HidePopupLists() {
    taskBox->hide();
    docBox->hide();
    utilBox->hide();
}

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
    const int item = taskBox->currentRow();
    if (item == 0) loadTaskClick();
    if (item == 1) saveTaskClick();
    // The batch list item opens the batch window and hands it the page, as "-->" does.
    if (item >= 2) transferJobButtonClick();
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
