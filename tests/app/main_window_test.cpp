// The main window, driven offscreen through its controls' object names.
#include "app/main_window/main_window.h"
#include "batch/handoff.h"
#include "app/extraction_page/extraction_page.h"
#include "app/video_cd_page/video_cd_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "app/jpeg_picture.h"
#include "disc/mpeg_file_list.h"
#include "engine/methods.h"
#include "platform/qt/text.h"
#include "tests/app/window_geometry.h"
#include "tests/app/window_test_app.h"
#include "tests/support/fakes.h"

namespace {

using platform::qt::fromQt;

QApplication& App() { return WindowTestApp(); }

// The ffmpeg clips of the fixtures.
std::string Clip(const char* name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }
const std::string kClipA = Clip("clip_pal_vcd.mpg");
const std::string kClipB = Clip("clip_pal_vcd_b.mpg");
const std::string kClipC = Clip("clip_pal_vcd_c.mpg");

const std::string kKey = kSettingsKey;

struct Window : ::testing::Test {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs;
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    std::unique_ptr<TForm1> w;

    void SetUp() override { App(); }
    void TearDown() override { w.reset(); }

    TForm1::Services Services(bool realDialogs = false) {
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = realDialogs ? nullptr : &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        return s;
    }
    TForm1& Open(bool realDialogs = false) {
        w = std::make_unique<TForm1>(Services(realDialogs));
        return *w;
    }
    template <class T>
    T* find(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString text(const char* name) {
        if (auto* b = w->findChild<QAbstractButton*>(QLatin1String(name))) return b->text();
        if (auto* l = w->findChild<QLabel*>(QLatin1String(name))) return l->text();
        if (auto* g = w->findChild<QGroupBox*>(QLatin1String(name))) return g->title();
        ADD_FAILURE() << "no text control " << name;
        return {};
    }
    void click(const char* name) { find<QAbstractButton>(name)->click(); }
    int page() { return find<QTabWidget>("menuPage")->currentIndex(); }
    int asked() {
        int n = 0;
        for (const auto& s : dialogs.shown()) n += s.kind == "ask";
        return n;
    }
    void storeInt(const std::string& name, int32_t v) { reg.keys[kKey][name] = {false, v, {}}; }
    void storeText(const std::string& name, const std::string& v) { reg.keys[kKey][name] = {true, 0, v}; }
};

// ---------------------------------------------------------------- frame

using MainFrame = Window;

TEST_F(MainFrame, FixedWindowWithEveryNamedControl) {
    Open();
    EXPECT_EQ(w->windowTitle(), QString("Pellmor v3.56 build 050213 beta"));
    EXPECT_EQ(w->size(), QSize(680, 374));
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "fixed size";
    for (const char* name :
         {"menuPage", "TabSheet1", "TabSheet2", "TabSheet3", "utilButton", "ClearButton", "taskButton",
          "transferJobButton", "docButton", "optionsButton", "aboutButton", "taskBox", "docBox", "utilBox",
          "ExtractionGroup", "methodBox", "fixErrorCheckBox", "bumperCheckBox", "forceRead", "sectorReadField",
          "forceWrite", "sectorWriteField", "sfvCheck", "toastCheckBox", "subCheckBox", "TrackListGroup",
          "TrackListBox", "TrackMsgLabel", "trackZeroBox", "inputFileField", "browseButton", "startButton",
          "previewButton", "ProgressBar", "statusMsg", "etaMsg", "compLabel1", "FixLabel", "SplitLabel",
          "PaddingLabel", "StatusIndicator", "totalErrWarnings", "namingLabel2", "AdditionGroup2", "PassiveBox",
          "batchTask", "batchSignal", "buildVCDMethod", "VCDMethodGroup", "VCDCheckBox", "SVCDCheckBox",
          "VCDOptionLink", "vidInfoGroup", "videoRes", "vidBitrate", "audInfo", "audBitrate", "imgNumLabel",
          "totalImageTime", "VCDTrackListGroup", "TrackListGrid", "addTrackButton", "removeTrackButton",
          "IncreaseImage", "ReduceImage", "moveTrackUp", "moveTrackDown", "playTrackButton", "clearListButton",
          "AdditionGroup", "volName", "volumeExpandButton", "pauseTimeMsg", "TrackPauseBar", "imgNone", "imgCustom",
          "img74", "img80", "yesSample", "noSample", "OpenSampleButton", "yesFolder", "noFolder", "saveFileField",
          "saveButton", "startVCDButton", "ProgressBar2", "statusMsg2", "etaMsg2", "compLabel2",
          "totalErrWarnings2", "namingLabel", "log", "copyPanel", "clearPanel", "copyAnimPanel", "volNameLabel",
          "trackPauseLabel", "spanLabel", "folderLabel", "addSampleLabel"})
        EXPECT_NE(w->findChild<QObject*>(QLatin1String(name)), nullptr) << name;

    auto* methods = find<QComboBox>("methodBox");
    ASSERT_EQ(methods->count(), 14);
    EXPECT_EQ(methods->itemText(0), QString("rar [archive] -> cue/bin -> mpeg"));
    EXPECT_EQ(methods->itemText(9), QString("mpeg ->dat"));
    EXPECT_EQ(methods->itemText(13), QString("sfd (@Dreamcast) -> mpeg"));
    auto* builds = find<QComboBox>("buildVCDMethod");
    ASSERT_EQ(builds->count(), 4);
    EXPECT_EQ(builds->itemText(3), QString("nrg (Nero) -> cue/bin[cd image]"));

    // The start of a run: an empty store.
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(w->pageMode, 0);
    EXPECT_EQ(methods->currentIndex(), 2);
    EXPECT_EQ(builds->currentIndex(), 1);
    EXPECT_TRUE(find<QCheckBox>("VCDCheckBox")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("SVCDCheckBox")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("imgNone")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("noSample")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("noFolder")->isChecked());
    EXPECT_EQ(find<QLineEdit>("pauseTimeMsg")->text(), QString("5"));
    EXPECT_FALSE(find<QPushButton>("startButton")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("previewButton")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>("sectorReadField")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("sectorReadField")->text(), QString("0"));
    EXPECT_EQ(find<QLineEdit>("sectorReadField")->maxLength(), 4);
    EXPECT_TRUE(find<QLineEdit>("inputFileField")->isReadOnly());
    EXPECT_TRUE(find<QLabel>("totalErrWarnings")->isHidden());
    EXPECT_TRUE(find<QLineEdit>("batchSignal")->isHidden());
    ASSERT_GE(find<QListWidget>("log")->count(), 1);
    EXPECT_EQ(find<QListWidget>("log")->item(0)->text(), QString("[ PELLMOR PROCESSING LOG ]"));
    EXPECT_EQ(find<QLabel>("FixLabel")->text(), QString("Fixes:"));
    EXPECT_TRUE(w->acceptDrops());
    EXPECT_EQ(w->MainJob->trackTable, w->trackTable);
}

TEST_F(MainFrame, HeaderPictureIsDecoded) {
    QImage picture = LoadJpegPicture(std::string(PELLMOR_BUILD_DIR) + "/header.jpg");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), 680);
    Open();
    EXPECT_FALSE(find<QLabel>("headerImage")->pixmap().isNull());

    const unsigned char junk[] = {0xFF, 0xD8, 0x00, 0x01, 0x02, 0x03};
    EXPECT_TRUE(DecodeJpeg(junk, sizeof junk).isNull()) << "a broken picture gives no image, never an exit";
    EXPECT_TRUE(DecodeJpeg(nullptr, 0).isNull());
    EXPECT_TRUE(LoadJpegPicture("/nonexistent/header.jpg").isNull());
}

TEST_F(MainFrame, EveryCaptionFitsAndNothingOverlaps) {
    Open();
    w->show();
    QApplication::processEvents();
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        w->findChild<QTabWidget*>("menuPage")->setCurrentIndex(p);
        ExpectCaptionsFitAndNothingOverlaps(w.get());
    }
}

TEST_F(MainFrame, ScreenshotsOfThePages) {
    Open();
    w->show();
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    const char* names[] = {"extraction", "video-cd", "logs"};
    // What a loaded source and a running job put on the pages.
    for (int t = 1; t <= 3; ++t)
        w->handles().TrackListBox->add("Track #0" + std::to_string(t) + "   00:0" + std::to_string(t * 2) +
                                       ":00   2352 bytes/sector   " + std::to_string(t * 15000) + "k");
    find<QLineEdit>("inputFileField")->setText("/home/user/video/holiday_disc.cue");
    w->handles().statusMsg->setCaption("Processing Track #02...");
    w->handles().etaMsg->setCaption("00:01:23");
    w->handles().compLabel1->setCaption("Completed: 45%");
    w->handles().ProgressBar->setPosition(45);
    w->handles().FixLabel->setCaption("Fixes: 12");
    w->handles().SplitLabel->setCaption("Splits: 0");
    w->handles().PaddingLabel->setCaption("Padding: 3");
    w->handles().StatusIndicator->setColor(0x9EEC7D);
    w->handles().totalErrWarnings->setCaption("1 Warnings / 0 Errors");
    w->handles().totalErrWarnings->setVisible(true);
    w->handles().log->add("     sample log line");
    const std::function<void()> show[] = {[&] { w->pellmorButtonClick(); }, [&] { w->buildVCDButtonClick(); },
                                          [&] { w->logButtonClick(); }};
    auto save = [&](const QString& name) {
        QApplication::processEvents();
        QPixmap shot = w->grab();
        EXPECT_EQ(shot.size(), QSize(680, 374));
        EXPECT_TRUE(shot.save(QString(PELLMOR_BUILD_DIR) + "/screenshots/page-" + name + ".png"));
    };
    for (int p = 0; p < 3; ++p) {
        show[p]();
        if (p == 1) w->WMDropFiles({kClipA, kClipB});
        save(names[p]);
    }
    w->pellmorButtonClick();
    // Going to the video-cd page cleared the extraction page and its counters.
    w->handles().totalErrWarnings->setVisible(true);
    w->docButtonClick();
    save("extraction-documentation-list");
    w->docButtonClick();
    // A clickable label reached with the keyboard shows its focus.
    w->activateWindow();
    QApplication::processEvents();
    find<QWidget>("browseButton")->setFocus(Qt::TabFocusReason);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &tab);
    EXPECT_TRUE(find<QWidget>("totalErrWarnings")->hasFocus());
    save("extraction-focus-on-counters");
}

// ---------------------------------------------------------------- options

using MainOptions = Window;

TEST_F(MainOptions, GreyOptionsForEveryMethod) {
    Open();
    struct Case {
        int method;
        bool fix, bumper, sfv, sub;
    } cases[] = {
        {0, 1, 1, 1, 1},  {1, 1, 1, 1, 1},  {2, 1, 1, 0, 1},  {3, 0, 1, 0, 1},  {4, 1, 1, 0, 1},
        {5, 1, 1, 0, 1},  {6, 1, 1, 0, 1},  {7, 0, 1, 0, 1},  {8, 1, 0, 0, 0},  {9, 1, 0, 0, 0},
        {10, 1, 0, 0, 0}, {11, 1, 1, 0, 1}, {12, 1, 1, 0, 1}, {13, 1, 0, 0, 0}, {-1, 0, 0, 0, 0},
    };
    auto* box = find<QComboBox>("methodBox");
    for (const Case& c : cases) {
        SCOPED_TRACE("method " + std::to_string(c.method));
        box->setCurrentIndex(c.method);
        w->extractionPage->methodBoxChange();
        EXPECT_EQ(w->methodIndex, c.method);
        EXPECT_EQ(find<QCheckBox>("fixErrorCheckBox")->isEnabled(), c.fix);
        EXPECT_EQ(find<QCheckBox>("bumperCheckBox")->isEnabled(), c.bumper);
        EXPECT_EQ(find<QCheckBox>("sfvCheck")->isEnabled(), c.sfv);
        EXPECT_EQ(find<QCheckBox>("subCheckBox")->isEnabled(), c.sub);
        // Archives load into the batch window like any other source.
        EXPECT_TRUE(find<QPushButton>("browseButton")->isEnabled());
    }
}

TEST_F(MainOptions, GreyOptionsOnTheVideoCdPage) {
    Open();
    click("buildVCDButton");
    ASSERT_EQ(w->pageMode, 1);
    auto* box = find<QComboBox>("buildVCDMethod");
    for (int m = 0; m < 4; ++m) {
        SCOPED_TRACE("build method " + std::to_string(m));
        box->setCurrentIndex(m);
        w->videoCdPage->buildVCDMethodChange();
        const bool files = m < 2;
        EXPECT_EQ(w->methodIndex, m);
        for (const char* name : {"moveTrackUp", "moveTrackDown", "addTrackButton", "removeTrackButton",
                                 "playTrackButton", "clearListButton"})
            EXPECT_EQ(w->WantsEnabled(find<QWidget>(name)), files) << name;
        EXPECT_EQ(find<QLabel>("imgNumLabel")->isEnabled(), files);
        EXPECT_EQ(find<QLabel>("totalImageTime")->isEnabled(), files);
        EXPECT_EQ(find<QPushButton>("playTrackButton")->isEnabled(), files) << "its handler is here";
        EXPECT_EQ(text("saveButton"), files ? QString("save") : QString("load"));
    }
}

TEST_F(MainOptions, CheckBoxesCopyIntoTheOptions) {
    Open();
    struct {
        const char* box;
        uint8_t TConfig::*field;
    } boxes[] = {{"fixErrorCheckBox", &TConfig::FixMPEGErrors},
                 {"bumperCheckBox", &TConfig::RemoveCDIBumper},
                 {"toastCheckBox", &TConfig::ToastEnable}};
    for (auto& b : boxes) {
        SCOPED_TRACE(b.box);
        auto* cb = find<QCheckBox>(b.box);
        cb->setChecked(true);  // from code, as the settings load does
        EXPECT_EQ(w->MainConfig.get()->*b.field, 1);
        cb->click();
        EXPECT_EQ(w->MainConfig.get()->*b.field, 0);
        // While a job runs the options are the worker's: it unticks the Toast
        // box itself after changing the option, and reads them meanwhile.
        w->runState->running = 1;
        cb->setChecked(true);
        EXPECT_EQ(w->MainConfig.get()->*b.field, 0);
        w->runState->running = 0;
        cb->setChecked(false);
    }
    find<QCheckBox>("forceRead")->setChecked(true);
    EXPECT_TRUE(find<QLineEdit>("sectorReadField")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>("sectorWriteField")->isEnabled());
    find<QCheckBox>("forceWrite")->click();
    EXPECT_TRUE(find<QLineEdit>("sectorWriteField")->isEnabled());
    find<QCheckBox>("forceRead")->click();
    EXPECT_FALSE(find<QLineEdit>("sectorReadField")->isEnabled());
}

TEST_F(MainOptions, VcdAndSvcdAreExclusive) {
    Open();
    auto* vcd = find<QCheckBox>("VCDCheckBox");
    auto* svcd = find<QCheckBox>("SVCDCheckBox");
    vcd->click();
    EXPECT_FALSE(vcd->isChecked());
    EXPECT_TRUE(svcd->isChecked());
    svcd->click();
    EXPECT_TRUE(vcd->isChecked());
    EXPECT_FALSE(svcd->isChecked());
    svcd->setChecked(true);
    EXPECT_FALSE(vcd->isChecked());
    vcd->setChecked(true);
    EXPECT_FALSE(svcd->isChecked());
}

TEST_F(MainOptions, PassiveBoxTickedAndUnticked) {
    Open();
    w->OpenDialog.FileName = "/in/disc.cue";
    w->SaveDialog.FileName = "/out/disc.mpg";
    w->SaveDialog.Files = {"/out/a.mpg", "/out/b.mpg"};
    find<QListWidget>("TrackListBox")->addItem("Track #01   00:02:00   2352 bytes/sector   1000k");
    auto* passive = find<QCheckBox>("PassiveBox");
    passive->click();
    EXPECT_EQ(w->SaveDialog.FileName, "nul");
    EXPECT_TRUE(w->SaveDialog.Files.empty());
    EXPECT_EQ(w->MainConfig->passive, 1);
    EXPECT_EQ(w->batchActive.load(), 1);
    EXPECT_EQ(find<QListWidget>("TrackListBox")->count(), 1) << "ticking clears nothing";

    passive->click();
    EXPECT_EQ(asked(), 0) << "unticking clears the page without a question";
    EXPECT_EQ(find<QListWidget>("TrackListBox")->count(), 0);
    EXPECT_TRUE(w->OpenDialog.FileName.empty());
    EXPECT_EQ(w->MainConfig->passive, 0);
    EXPECT_EQ(w->batchActive.load(), 0);
}

TEST_F(MainOptions, PassiveBoxWithoutSourceKeepsTheOutputName) {
    Open();
    w->SaveDialog.FileName = "/out/x.mpg";
    find<QCheckBox>("PassiveBox")->click();
    EXPECT_EQ(w->SaveDialog.FileName, "/out/x.mpg");
    EXPECT_EQ(w->MainConfig->passive, 1);
}

// ---------------------------------------------------------------- pages

using MainPages = Window;

TEST_F(MainPages, LeavingAFilledExtractionPageAsks) {
    struct Case {
        int answer;
        int page;
        int rows;
    } cases[] = {{platform::kNo, 0, 1}, {platform::kCancel, 0, 1}, {platform::kYes, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        Open();
        find<QListWidget>("TrackListBox")->addItem("Track #01");
        dialogs.script({c.answer});
        int before = asked();
        click("buildVCDButton");
        EXPECT_EQ(asked(), before + 1);
        EXPECT_EQ(dialogs.shown().back().message, "All current track entries will be lost.  Continue?");
        EXPECT_EQ(page(), c.page);
        EXPECT_EQ(w->pageMode, c.page);
        EXPECT_EQ(find<QListWidget>("TrackListBox")->count(), c.rows);
        EXPECT_TRUE(find<QPushButton>("buildVCDButton")->isChecked() == (c.page == 1));
    }
}

TEST_F(MainPages, LeavingAFilledBuildListAsks) {
    struct Case {
        int answer;
        int page;
        int rows;
    } cases[] = {{platform::kNo, 1, 1}, {platform::kCancel, 1, 1}, {platform::kYes, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        Open();
        click("buildVCDButton");
        w->WMDropFiles({kClipA});
        ASSERT_EQ(w->BuildListRows(), 1);
        dialogs.script({c.answer});
        click("pellmorButton");
        EXPECT_EQ(page(), c.page);
        EXPECT_EQ(w->pageMode, c.page);
        EXPECT_EQ(w->BuildListRows(), c.rows);
    }
}

TEST_F(MainPages, EmptyPagesSwitchWithoutQuestions) {
    Open();
    click("buildVCDButton");
    EXPECT_EQ(page(), 1);
    EXPECT_FALSE(find<QPushButton>("previewButton")->isEnabled());
    EXPECT_EQ(w->previewIndex, 0);
    click("logButton");
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(w->pageMode, 1) << "the logs page keeps the page mode";
    click("pellmorButton");
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(asked(), 0);
}

TEST_F(MainPages, WhileAJobRunsPagesOnlySwitch) {
    Open();
    find<QListWidget>("TrackListBox")->addItem("Track #01");
    w->runState->pageMode = 0;
    w->runState->running = 1;
    click("buildVCDButton");
    EXPECT_EQ(page(), 1);
    EXPECT_EQ(w->pageMode, 1);
    EXPECT_EQ(asked(), 0);
    EXPECT_EQ(find<QListWidget>("TrackListBox")->count(), 1) << "the running job's list stays";
    for (const char* name : {"startVCDButton", "addTrackButton", "removeTrackButton", "moveTrackUp",
                             "moveTrackDown", "clearListButton", "buildVCDMethod"}) {
        EXPECT_FALSE(w->WantsEnabled(find<QWidget>(name))) << name;
        EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
    }
    w->WMDropFiles({kClipA});
    EXPECT_EQ(w->BuildListRows(), 0) << "drops are ignored while a job runs";

    find<QLabel>("FixLabel")->setText("Fixes: 12");
    click("pellmorButton");
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(w->pageMode, 0);
    EXPECT_EQ(find<QLabel>("FixLabel")->text(), QString("Fixes:"));
    EXPECT_EQ(find<QLabel>("SplitLabel")->text(), QString("Splits:"));
    EXPECT_TRUE(find<QComboBox>("methodBox")->isEnabled()) << "the running job's own page";

    // A job of the video-cd page greys the extraction page's start controls.
    w->runState->pageMode = 1;
    click("pellmorButton");
    EXPECT_FALSE(find<QComboBox>("methodBox")->isEnabled());
    EXPECT_FALSE(w->WantsEnabled(find<QWidget>("startButton")));
    w->runState->running = 0;
    click("pellmorButton");
    EXPECT_TRUE(find<QComboBox>("methodBox")->isEnabled());
    // Start waits for a source.
    EXPECT_FALSE(w->WantsEnabled(find<QWidget>("startButton")));
    find<QLineEdit>("inputFileField")->setText("/discs/a.cue");
    click("pellmorButton");
    EXPECT_TRUE(w->WantsEnabled(find<QWidget>("startButton")));
}

TEST_F(MainPages, CounterLabelsOpenTheLog) {
    Open();
    w->extractionPage->totalErrWarningsClick();
    EXPECT_EQ(page(), 2);
    w->pellmorButtonClick();
    w->videoCdPage->totalErrWarnings2Click();
    EXPECT_EQ(page(), 2);
}

TEST_F(MainPages, MethodChangeOnAFilledPageAsks) {
    Open();
    find<QListWidget>("TrackListBox")->addItem("Track #01");
    w->MainConfig->selectedTracksOnly = 1;
    auto* box = find<QComboBox>("methodBox");
    box->setCurrentIndex(Index(Method::DatToMpeg));
    dialogs.script({platform::kNo});
    w->extractionPage->methodBoxChange();
    EXPECT_EQ(w->MainConfig->selectedTracksOnly, 1) << "declined: nothing further";
    EXPECT_EQ(box->currentIndex(), Index(Method::DatToMpeg)) << "the box keeps the new item";
    dialogs.script({platform::kYes});
    w->extractionPage->methodBoxChange();
    EXPECT_EQ(w->MainConfig->selectedTracksOnly, 0);
    EXPECT_FALSE(find<QCheckBox>("bumperCheckBox")->isEnabled());

    click("buildVCDButton");
    w->WMDropFiles({kClipA});
    auto* build = find<QComboBox>("buildVCDMethod");
    ASSERT_EQ(w->methodIndex, Index(VcdMethod::MpegToCueBin));
    build->setCurrentIndex(Index(VcdMethod::NrgToCueBin));
    dialogs.script({platform::kCancel});
    w->videoCdPage->buildVCDMethodChange();
    EXPECT_EQ(build->currentIndex(), Index(VcdMethod::MpegToCueBin)) << "declined: back to the method in force";
    EXPECT_EQ(w->BuildListRows(), 1);
}

// ---------------------------------------------------------------- header lists

using MainHeader = Window;

TEST_F(MainHeader, PopupListsToggleOneAtATime) {
    Open();
    auto* task = find<QListWidget>("taskBox");
    auto* doc = find<QListWidget>("docBox");
    auto* util = find<QListWidget>("utilBox");
    w->show();
    w->taskButtonClick();
    EXPECT_TRUE(task->isVisible());
    click("docButton");
    EXPECT_TRUE(doc->isVisible());
    EXPECT_FALSE(task->isVisible());
    w->utilButtonClick();
    EXPECT_TRUE(util->isVisible());
    EXPECT_FALSE(doc->isVisible());
    w->utilButtonClick();
    EXPECT_FALSE(util->isVisible());
    click("docButton");
    w->docBoxMouseMove(5, 16 * 2 + 3);
    EXPECT_EQ(doc->currentRow(), 2);
    click("logButton");
    EXPECT_FALSE(doc->isVisible()) << "a page handler hides the lists";
}

// A folder holding the four documentation pages.
struct ManualFolder {
    ManualFolder() {
        EXPECT_TRUE(dir.isValid());
        for (const char* name : {"whatsnew.html", "history.html", "index.html", "faq.html"})
            std::ofstream(path() + "/" + name) << "<html></html>";
    }
    std::string path() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

TEST_F(MainHeader, DocumentationPaths) {
    const ManualFolder manual;
    const std::string m = manual.path();
    struct Case {
        std::string dir;
        int item;
        std::string page;
        bool there;  // else the window says it is missing and opens nothing
    } cases[] = {
        {m + "/", 3, m + "/faq.html", true},
        {m, 0, m + "/whatsnew.html", true},
        {m + "\\", 1, m + "/history.html", true},
        {m + "/", 2, m + "/index.html", true},
        {"", 0, "/whatsnew.html", false},
        {m + "/absent/", 2, m + "/absent/index.html", false},
    };
    Open();
    EXPECT_EQ(w->MainConfig->ManualFAQDirectory, std::string(PELLMOR_BUILD_DIR) + "/manual/");
    auto* doc = find<QListWidget>("docBox");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        w->MainConfig->ManualFAQDirectory = c.dir;
        shell.opened.clear();
        const size_t boxes = dialogs.shown().size();
        click("docButton");
        doc->setCurrentRow(c.item);
        emit doc->itemClicked(doc->item(c.item));
        EXPECT_FALSE(doc->isVisible());
        if (c.there) {
            EXPECT_EQ(shell.opened, std::vector<std::string>{c.page});
            EXPECT_EQ(dialogs.shown().size(), boxes);
            continue;
        }
        EXPECT_TRUE(shell.opened.empty());
        ASSERT_EQ(dialogs.shown().size(), boxes + 1);
        EXPECT_EQ(dialogs.shown().back().kind, "error");
        EXPECT_EQ(dialogs.shown().back().message, "The documentation file could not be found: " + c.page);
    }
}

// The manual the build puts beside the program: every entry of the list
// opens a page that is there, and the pages' links lead to pages that are.
TEST_F(MainHeader, TheInstalledManualHasEveryPageTheListOpens) {
    Open();
    auto* doc = find<QListWidget>("docBox");
    for (int item = 0; item < doc->count(); ++item) {
        click("docButton");
        doc->setCurrentRow(item);
        emit doc->itemClicked(doc->item(item));
    }
    EXPECT_TRUE(dialogs.shown().empty()) << dialogs.shown().front().message;
    ASSERT_EQ(shell.opened.size(), 4u);
    const std::string dir = std::string(PELLMOR_BUILD_DIR) + "/manual/";
    EXPECT_EQ(shell.opened, (std::vector<std::string>{dir + "whatsnew.html", dir + "history.html",
                                                      dir + "index.html", dir + "faq.html"}));
    const QRegularExpression link(R"rx(href="([^"#:]+)(#[^"]*)?")rx");
    const QRegularExpression anchor(R"rx(id="([^"]+)")rx");
    for (const std::string& page : shell.opened) {
        SCOPED_TRACE(page);
        std::ifstream in(page);
        const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(html.find("<title>"), std::string::npos);
        EXPECT_NE(html.find("</html>"), std::string::npos);
        for (auto m = link.globalMatch(QString::fromStdString(html)); m.hasNext();) {
            const QRegularExpressionMatch hit = m.next();
            const std::string target = dir + hit.captured(1).toStdString();
            ASSERT_TRUE(std::filesystem::exists(target)) << target;
            if (hit.captured(2).isEmpty()) continue;
            // The anchor is one of the target page's ids.
            std::ifstream t(target);
            const std::string other((std::istreambuf_iterator<char>(t)), std::istreambuf_iterator<char>());
            bool found = false;
            for (auto a = anchor.globalMatch(QString::fromStdString(other)); a.hasNext() && !found;)
                found = "#" + a.next().captured(1) == hit.captured(2);
            EXPECT_TRUE(found) << hit.captured(0).toStdString();
        }
    }
}

// ---------------------------------------------------------------- keyboard

struct Keyboard : Window {
    void SetUp() override {
        Window::SetUp();
        Open();
        w->show();
        w->activateWindow();
        QApplication::processEvents();
    }
    static void press(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(target, &up);
        QApplication::processEvents();
    }
    static QString Focused() {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QString("(none)");
    }
    static std::string focused() { return Focused().toStdString(); }
    // A group of radio buttons is one stop; the arrow keys move within it.
    static QString Stop(const QString& name) {
        static const std::map<QString, QString> groups = {
            {"imgNone", "(span)"},   {"imgCustom", "(span)"},  {"img74", "(span)"},     {"img80", "(span)"},
            {"yesSample", "(clip)"}, {"noSample", "(clip)"},   {"yesFolder", "(folders)"}, {"noFolder", "(folders)"}};
        auto it = groups.find(name);
        return it == groups.end() ? name : it->second;
    }
    // The names Tab (or Shift+Tab) visits from the first header button until
    // it comes back there.
    QStringList walk(bool forward) {
        find<QWidget>("pellmorButton")->setFocus(Qt::TabFocusReason);
        QStringList seen;
        for (int i = 0; i < 200; ++i) {
            QWidget* f = QApplication::focusWidget();
            if (!f) break;
            if (forward) press(f, Qt::Key_Tab);
            else press(f, Qt::Key_Backtab, Qt::ShiftModifier);
            if (Focused() == "pellmorButton") return seen;
            if (!seen.isEmpty() && seen.back() == Stop(Focused())) break;  // stuck
            seen << Stop(Focused());
        }
        seen << "(never came back)";
        return seen;
    }
};

// Every control of each page in reading order: the header from left to
// right, then the page top to bottom, a left column before the next.
TEST_F(Keyboard, TabAndShiftTabVisitEveryControlInReadingOrder) {
    const QStringList header = {"pellmorButton",     "buildVCDButton", "logButton", "utilButton",
                                "ClearButton",       "taskButton",     "transferJobButton",
                                "docButton",         "optionsButton",  "aboutButton"};
    struct Page {
        const char* button;
        QStringList controls;
    } pages[] = {
        {"pellmorButton",
         {"methodBox", "fixErrorCheckBox", "bumperCheckBox", "forceRead", "sectorReadField", "forceWrite",
          "sectorWriteField", "sfvCheck", "toastCheckBox", "subCheckBox", "TrackListBox", "trackZeroBox",
          "PassiveBox", "batchTask", "inputFileField", "browseButton", "namingLabel2", "startButton",
          "previewButton", "totalErrWarnings"}},
        {"buildVCDButton",
         {"buildVCDMethod", "VCDCheckBox", "SVCDCheckBox", "VCDOptionLink", "TrackListGrid", "addTrackButton",
          "removeTrackButton", "clearListButton", "moveTrackUp", "moveTrackDown", "IncreaseImage", "ReduceImage",
          "playTrackButton", "volName", "volumeExpandButton", "pauseTimeMsg", "TrackPauseBar", "imgNone",
          "imgCustom", "img74", "img80", "yesSample", "noSample", "OpenSampleButton", "yesFolder", "noFolder",
          "saveFileField", "saveButton", "namingLabel", "startVCDButton", "totalErrWarnings2"}},
        {"logButton", {"log", "copyPanel", "clearPanel"}},
    };
    // What a loaded source makes usable, so that the walk meets most controls.
    find<QCheckBox>("forceRead")->setChecked(true);
    find<QCheckBox>("forceWrite")->setChecked(true);
    files.scriptOpen(std::string(PELLMOR_FIXTURES) + "/vcd_pal3.cue");
    files.scriptSave(QDir::tempPath().toStdString() + "/tab-order.mpg");
    click("browseButton");
    ASSERT_TRUE(find<QPushButton>("startButton")->isEnabled());
    w->handles().totalErrWarnings->setVisible(true);
    w->handles().totalErrWarnings2->setVisible(true);

    for (const Page& p : pages) {
        SCOPED_TRACE(p.button);
        click(p.button);
        QApplication::processEvents();
        const QStringList table = header + p.controls;
        // Nothing the keyboard can reach is missing from the table.
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w.get()) || !(c->focusPolicy() & Qt::TabFocus)) continue;
            const QString name = c->objectName();
            if (name.isEmpty() || name.startsWith("qt_") || !c->parentWidget() ||
                c->parentWidget()->objectName().isEmpty())
                continue;  // the parts inside a combo box, list or grid
            EXPECT_TRUE(table.contains(name)) << name.toStdString() << " is not in the table";
        }
        QStringList expected;
        for (const QString& name : table) {
            QWidget* c = find<QWidget>(name.toLatin1().constData());
            if (!c || !c->isEnabled() || !c->isVisibleTo(w.get())) continue;
            const QString stop = Stop(name);
            if (expected.isEmpty() || expected.back() != stop) expected << stop;
        }
        expected.removeFirst();  // the walk starts there
        EXPECT_GE(expected.size(), p.controls.size() / 2) << "most controls are usable here";
        EXPECT_EQ(walk(true).join(' ').toStdString(), expected.join(' ').toStdString());
        QStringList backwards(expected.rbegin(), expected.rend());
        EXPECT_EQ(walk(false).join(' ').toStdString(), backwards.join(' ').toStdString());
    }
}

TEST_F(Keyboard, TheDocumentationListClosesAsAMenuDoes) {
    auto* doc = find<QListWidget>("docBox");
    auto* button = find<QPushButton>("docButton");
    // Escape closes it and gives the focus back to its button.
    click("docButton");
    ASSERT_TRUE(doc->isVisible());
    EXPECT_EQ(focused(), "docBox");
    press(doc, Qt::Key_Escape);
    EXPECT_FALSE(doc->isVisible());
    EXPECT_EQ(focused(), "docButton");

    // A click anywhere else closes it; a click on its button toggles it.
    struct Elsewhere {
        const char* name;
    } elsewhere[] = {{"TrackListBox"}, {"ExtractionGroup"}, {"headerImage"}, {"taskButton"}};
    for (const Elsewhere& e : elsewhere) {
        SCOPED_TRACE(e.name);
        click("docButton");
        ASSERT_TRUE(doc->isVisible());
        QWidget* target = find<QWidget>(e.name);
        if (auto* view = qobject_cast<QAbstractScrollArea*>(target)) target = view->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), target->mapToGlobal(QPointF(3, 3)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        EXPECT_FALSE(doc->isVisible());
    }
    click("docButton");
    click("docButton");
    EXPECT_FALSE(doc->isVisible()) << "its own button closes it again";

    // Tab moves on and closes it; the keyboard alone opens a page.
    click("docButton");
    press(doc, Qt::Key_Tab);
    EXPECT_FALSE(doc->isVisible());
    EXPECT_NE(focused(), "docButton");
    button->setFocus(Qt::TabFocusReason);
    press(button, Qt::Key_Space);
    ASSERT_TRUE(doc->isVisible());
    press(doc, Qt::Key_Down);
    press(doc, Qt::Key_Down);
    press(doc, Qt::Key_Return);
    EXPECT_FALSE(doc->isVisible());
    EXPECT_EQ(focused(), "docButton") << "the keyboard is back where it opened the list";
    EXPECT_EQ(shell.opened, std::vector<std::string>{std::string(PELLMOR_BUILD_DIR) + "/manual/index.html"});
}

TEST_F(Keyboard, ClickLabelsTakeSpaceAndEnter) {
    auto* totals = find<TClickLabel>("totalErrWarnings");
    w->handles().totalErrWarnings->setVisible(true);
    for (int key : {Qt::Key_Space, Qt::Key_Return}) {
        click("pellmorButton");
        totals->setFocus(Qt::TabFocusReason);
        press(totals, key);
        EXPECT_EQ(page(), 2) << "the counters open the log";
    }
}

// ---------------------------------------------------------------- drops, preview, play

using MainFiles = Window;

TEST_F(MainFiles, DropsOnEachPage) {
    Open();
    w->WMDropFiles({kClipA});
    EXPECT_EQ(w->BuildListRows(), 0) << "the extraction page takes no drops";
    click("buildVCDButton");
    w->WMDropFiles({kClipA, kClipB});
    EXPECT_EQ(w->MainJob->discKind, 1);
    ASSERT_EQ(w->BuildListRows(), 2);
    EXPECT_EQ(w->mpegList->fileNames, (std::vector<std::string>{kClipA, kClipB}));
    EXPECT_EQ(find<QTableWidget>("TrackListGrid")->item(1, 2)->text(), QString::fromStdString(kClipB));
    click("logButton");
    w->WMDropFiles({kClipC});
    EXPECT_EQ(w->BuildListRows(), 3) << "the logs page keeps the video-cd page mode";
    // cif and nrg builds have no list to drop into.
    w->buildVCDButtonClick();
    dialogs.script({platform::kYes});
    find<QComboBox>("buildVCDMethod")->setCurrentIndex(Index(VcdMethod::CifToCueBin));
    w->videoCdPage->buildVCDMethodChange();
    w->WMDropFiles({kClipA});
    EXPECT_EQ(w->BuildListRows(), 0);
}

TEST_F(MainFiles, DroppedUrlsReachTheBuildList) {
    Open();
    click("buildVCDButton");
    QTemporaryDir dir;
    // A desktop hands a name that is not UTF-8 over as its percent-encoded bytes.
    const std::string odd = fromQt(dir.path()) + "/caf\xE9 bar.mpg";
    std::filesystem::copy_file(kClipB, odd);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kClipA)), QUrl("https://example.com/x.mpg"),
                  QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(dir.path(), "/") + "/caf%E9%20bar.mpg")});
    w->show();
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_EQ(w->mpegList->fileNames, (std::vector<std::string>{kClipA, odd}));
}

TEST_F(MainFiles, PreviewCyclesThroughGeneratedFiles) {
    Open();
    w->extractionPage->previewButtonClick();
    EXPECT_TRUE(shell.opened.empty()) << "nothing generated yet";
    w->generatedFiles = "\"/out/a.mpg\" \"/out/b.mpg\" ";
    for (int i = 0; i < 3; ++i) w->extractionPage->previewButtonClick();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"\"/out/a.mpg\"", "\"/out/b.mpg\"", "\"/out/a.mpg\""}));
    shell.opened.clear();
    w->generatedFiles = "\"/out/only one.mpg\" ";
    w->previewIndex = 0;
    w->extractionPage->previewButtonClick();
    w->extractionPage->previewButtonClick();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"\"/out/only one.mpg\"", "\"/out/only one.mpg\""}));
}

TEST(MainGeneratedFiles, SplitsAtQuoteBlankQuote) {
    EXPECT_TRUE(GeneratedFileEntries("").empty());
    EXPECT_EQ(GeneratedFileEntries("\"a\" \"b\" \"c\" "), (std::vector<std::string>{"\"a\"", "\"b\"", "\"c\""}));
    EXPECT_EQ(GeneratedFileEntries("\"/d/x y.mpg\" "), std::vector<std::string>{"\"/d/x y.mpg\""});
}

TEST_F(MainFiles, PlayOpensTheSelectedTrack) {
    Open();
    click("buildVCDButton");
    w->WMDropFiles({kClipA, kClipB, kClipC});
    auto* grid = find<QTableWidget>("TrackListGrid");
    grid->clearSelection();
    w->videoCdPage->playTrackButtonClick();
    EXPECT_TRUE(shell.opened.empty()) << "no row selected";
    grid->selectRow(1);
    w->videoCdPage->playTrackButtonClick();
    EXPECT_EQ(shell.opened, std::vector<std::string>{kClipB});
}

// ---------------------------------------------------------------- log page

using MainLog = Window;

TEST_F(MainLog, CopyAndClear) {
    Open();
    w->handles().log->add("");
    w->handles().log->add("     Fixed 3 errors");
    click("copyPanel");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString("[ PELLMOR PROCESSING LOG ]\n\n     Fixed 3 errors"));
    click("clearPanel");
    EXPECT_EQ(find<QListWidget>("log")->count(), 0) << "the first line goes too";
}

// ---------------------------------------------------------------- texts

using MainTexts = Window;

TEST_F(MainTexts, BuiltInEnglishCaptionsAndHints) {
    Open();
    EXPECT_EQ(text("taskButton"), QString("task"));
    EXPECT_EQ(text("docButton"), QString("documentation"));
    EXPECT_EQ(text("videoRes"), QString("Resolution :"));
    EXPECT_EQ(text("compLabel1"), QString("Completed:"));
    EXPECT_EQ(text("VCDOptionLink"), QString("[+] VideoCD options"));
    EXPECT_EQ(text("namingLabel"), QString("<< multi-file naming"));
    EXPECT_EQ(text("namingLabel2"), QString("<< multi-file naming"));
    EXPECT_EQ(text("browseButton"), QString("load"));
    EXPECT_EQ(text("AdditionGroup2"), QString("Additional Options"));
    EXPECT_EQ(find<QListWidget>("docBox")->item(0)->text(), QString("> What's new?"));
    EXPECT_EQ(find<QListWidget>("taskBox")->item(2)->text(), QString("> Open batch list"));
    EXPECT_EQ(find<QListWidget>("utilBox")->item(1)->text(), QString("> CD-i Subtitle Convertor"));
    EXPECT_EQ(find<QWidget>("methodBox")->toolTip(), QString("Select extraction/conversion method"));
    EXPECT_EQ(find<QWidget>("ClearButton")->toolTip(), QString("Clear everything on current page"));
    EXPECT_EQ(find<QWidget>("startVCDButton")->toolTip(), QString("Click here to begin processing"));

    // The sector fields show the forced sizes only while their boxes are ticked.
    auto* field = find<QLineEdit>("sectorReadField");
    field->setText("1234");
    w->MainJob->forcedReadSize = 2048;
    w->ApplyLanguageCaptions();
    EXPECT_EQ(field->text(), QString("1234"));
    find<QCheckBox>("forceRead")->setChecked(true);
    w->ApplyLanguageCaptions();
    EXPECT_EQ(field->text(), QString("2048"));
}

TEST_F(MainTexts, ALanguageFileChangesCaptions) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("deutsch.lng").toStdString();
    std::ofstream(path, std::ios::binary) << LanguageFileWith(
        {{0, "Anfang"}, {72, "DOKUMENTATION"}, {4, "Fertig"}, {109, "VideoCD-Optionen"}}, "Neuigkeiten");
    storeText("LanguageFile", path);
    Open();
    EXPECT_EQ(text("startButton"), QString("Anfang"));
    EXPECT_EQ(text("startVCDButton"), QString("Anfang"));
    EXPECT_EQ(text("docButton"), QString("dokumentation")) << "header buttons read in lower case";
    EXPECT_EQ(text("compLabel2"), QString("Fertig:"));
    EXPECT_EQ(text("VCDOptionLink"), QString("[+] VideoCD-Optionen"));
    EXPECT_EQ(find<QListWidget>("docBox")->item(0)->text(), QString("> Neuigkeiten"));
    EXPECT_EQ(find<QComboBox>("methodBox")->itemText(2), QString("cue/bin -> mpeg")) << "method lists are fixed";
}

TEST_F(MainTexts, LatinOneLanguageTextsShowAsLatinOne) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("francais.lng").toStdString();
    std::ofstream(path, std::ios::binary) << LanguageFileWith({{0, "d\xE9marrer"}}, "Nouveaut\xE9s");
    storeText("LanguageFile", path);
    Open();
    EXPECT_EQ(text("startButton"), QString::fromUtf8("d\xC3\xA9marrer"));
    EXPECT_EQ(find<QListWidget>("docBox")->item(0)->text(), QString::fromUtf8("> Nouveaut\xC3\xA9s"));
}

TEST_F(MainTexts, ABadLanguageFileKeepsEnglish) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("bad.lng").toStdString();
    std::string body = LanguageFileWith({{0, "Anfang"}}, "Neuigkeiten");
    std::ofstream(path, std::ios::binary) << "#NOT_A_LANGUAGE_FILE\n" << body.substr(body.find('\n') + 1);
    for (const std::string& file : {path, std::string("/nonexistent/x.lng")}) {
        SCOPED_TRACE(file);
        storeText("LanguageFile", file);
        Open();
        EXPECT_EQ(text("startButton"), QString("start"));
        EXPECT_EQ(text("taskButton"), QString("task"));
        EXPECT_EQ(find<QListWidget>("docBox")->item(0)->text(), QString("> What's new?"));
    }
}

// ---------------------------------------------------------------- settings in the window

using MainSettings = Window;

TEST_F(MainSettings, LoadSetsTheControls) {
    storeInt("LastMethod", 13);
    storeInt("LastBuildVCDMethod", 2);
    storeInt("VideoCD_Mode", 0);
    storeInt("TrackPauseTime", 9);
    storeInt("Split_VideoCD_Images", 2);
    storeInt("SeparateImagesToFolders", 1);
    storeInt("ForcedReadValue", 2336);
    storeInt("ForcedWriteValue", 0);
    storeInt("FixMPEGErrors", 1);
    Open();
    EXPECT_EQ(find<QComboBox>("methodBox")->currentIndex(), 13);
    EXPECT_FALSE(find<QCheckBox>("bumperCheckBox")->isEnabled()) << "the load greys the options";
    EXPECT_EQ(find<QComboBox>("buildVCDMethod")->currentIndex(), 2);
    EXPECT_TRUE(find<QCheckBox>("SVCDCheckBox")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("VCDCheckBox")->isChecked());
    EXPECT_EQ(find<QScrollBar>("TrackPauseBar")->value(), 9);
    EXPECT_EQ(find<QLineEdit>("pauseTimeMsg")->text(), QString("9"));
    EXPECT_TRUE(find<QRadioButton>("img80")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("yesFolder")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("noFolder")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("forceRead")->isChecked());
    EXPECT_EQ(find<QLineEdit>("sectorReadField")->text(), QString("2336"));
    EXPECT_TRUE(find<QLineEdit>("sectorReadField")->isEnabled());
    EXPECT_EQ(w->MainJob->forcedReadSize, 2336);
    EXPECT_FALSE(find<QCheckBox>("forceWrite")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("fixErrorCheckBox")->isChecked());
    EXPECT_EQ(w->MainConfig->FixMPEGErrors, 1);
}

TEST_F(MainSettings, SpanValuesOtherThanOneOrTwoSelectNoSpanning) {
    for (int32_t v : {0, 3, -1}) {
        SCOPED_TRACE(v);
        storeInt("Split_VideoCD_Images", v);
        Open();
        EXPECT_TRUE(find<QRadioButton>("imgNone")->isChecked());
    }
    storeInt("Split_VideoCD_Images", 1);
    Open();
    EXPECT_TRUE(find<QRadioButton>("img74")->isChecked());
}

TEST_F(MainSettings, SaveReadsTheControls) {
    Open();
    find<QCheckBox>("SVCDCheckBox")->click();
    find<QRadioButton>("img74")->click();
    find<QLineEdit>("sectorReadField")->setText("2324");  // shown, but forceRead is not ticked
    find<QLineEdit>("pauseTimeMsg")->setText("7");
    find<QComboBox>("methodBox")->setCurrentIndex(Index(Method::CifToMpeg));
    w->SaveSettings();
    auto& v = reg.keys[kKey];
    EXPECT_EQ(v["VideoCD_Mode"].i, 0);
    EXPECT_EQ(v["Split_VideoCD_Images"].i, 1);
    EXPECT_EQ(v["ForcedReadValue"].i, 0);
    EXPECT_EQ(v["TrackPauseTime"].i, 7);
    EXPECT_EQ(v["LastMethod"].i, 11);
    EXPECT_EQ(v["LastBuildVCDMethod"].i, 1);
}

// ---------------------------------------------------------------- close

using MainClose = Window;

TEST_F(MainClose, WithoutAJobSavesTheSettings) {
    Open();
    find<QComboBox>("methodBox")->setCurrentIndex(Index(Method::TocBinToMpeg));
    w->close();
    EXPECT_EQ(reg.keys[kKey]["LastMethod"].i, 5);
    w.reset();  // the window frees its records afterwards
}

TEST_F(MainClose, SkipSaveSettingsLeavesTheStoreAlone) {
    Open();
    w->skipSaveSettings = 1;
    w->close();
    EXPECT_FALSE(reg.keys[kKey].count("LastMethod"));
}

// The close removes this run's temporary projects and those an earlier run
// left in the program's folder, but none that another running copy holds,
// none that a saved list was told to keep, and nothing outside the folder.
TEST_F(MainClose, RemovesLeftoverTaskProjectsThatNoRunningCopyHolds) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    const std::string own = HandoffFolder(base);
    ASSERT_EQ(own, base + "/pellmor-" + std::to_string(::getuid()));
    const std::string mine = own + "/~mine_tmp.ktp", leftover = own + "/~crashed_tmp.ktp",
                      held = own + "/~running_tmp.ktp", kept = own + "/~kept_tmp.ktp",
                      outside = base + "/~other_tmp.ktp", notOurs = own + "/notes.txt";
    std::ofstream(kept) << "KTP#";
    SweepTempProjects(own, {kept});  // an earlier run's saved list names it
    const std::string fresh = own + "/~justwritten_tmp.ktp";
    for (const std::string& p : {mine, leftover, held, outside, notOurs, fresh}) std::ofstream(p) << "KTP#";
    // All but one were written an hour ago; the one just written may not be
    // held yet by the copy that wrote it.
    for (const std::string& p : {mine, leftover, held, kept, outside, notOurs})
        std::filesystem::last_write_time(p, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    // Another running copy holds its project as the window holds its own.
    TempProjectHolds otherCopy;
    otherCopy.Hold(held);
    Open();
    w->MainConfig->TempDirectory = base;
    w->RegisterTempProject(mine);
    w->close();
    for (const std::string& gone : {mine, leftover}) EXPECT_FALSE(QFile::exists(QString::fromStdString(gone))) << gone;
    for (const std::string& stays : {held, kept, outside, notOurs, fresh})
        EXPECT_TRUE(QFile::exists(QString::fromStdString(stays))) << stays;
    otherCopy.Release();
    EXPECT_EQ(SweepTempProjects(own, {}), 1) << "released, the other copy's project goes too";
    EXPECT_TRUE(QFile::exists(QString::fromStdString(kept)));
}

TEST_F(MainClose, WithAJobStopsItAnswersCancelAndWaits) {
    Open(/*realDialogs=*/true);
    TForm1* window = w.get();
    std::atomic<bool> asking{false}, finished{false};
    std::atomic<int> answer{-1}, logLines{-1};
    window->runState->running = 1;
    std::thread worker([&] {
        // A worker that asks a question and then writes to the window.
        asking = true;
        answer = window->dialogs().ask("There may not be enough space to write the output file.  Continue?",
                                       TForm1::kCaption);
        while (window->runState->running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        window->handles().statusMsg->setCaption("cancelled");
        logLines = window->handles().log->count();
        finished = true;
    });
    window->SetRunningJob([&] { return finished.load(); }, [&] { worker.join(); });
    while (!asking) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the question is on its way

    window->close();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(worker.joinable()) << "the close waited for the worker";
    EXPECT_EQ(answer, platform::kCancel);
    EXPECT_EQ(logLines, 1) << "the worker's read of the log was served during the wait";
    EXPECT_EQ(window->runState->running.load(), 0);
    EXPECT_TRUE(reg.keys[kKey].count("LastMethod")) << "saved after the job ended";
    w.reset();
}

TEST_F(MainClose, WhileTheJobsQuestionIsShownEndsTheBoxThenWaits) {
    Open(/*realDialogs=*/true);
    TForm1* window = w.get();
    std::atomic<bool> finished{false};
    std::atomic<int> answer{-1};
    window->runState->running = 1;
    std::thread worker([&] {
        answer = window->dialogs().ask("There may not be enough space to write the output file.  Continue?",
                                       TForm1::kCaption);
        while (window->runState->running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        finished = true;
    });
    window->SetRunningJob([&] { return finished.load(); }, [&] { worker.join(); });
    // The close comes while the box is open, from inside its own loop (as a
    // desktop's log-out would): waiting there for the worker would wait for
    // the box, which waits for the close.
    bool closeAsked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!closeAsked && QApplication::activeModalWidget()) {
            closeAsked = true;
            window->close();
        }
    });
    poll.start(5);
    QElapsedTimer t;
    t.start();
    while (window->isVisible() || !finished) {
        if (t.elapsed() > 5000) break;
        if (!window->isVisible() && !closeAsked) window->show();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    poll.stop();
    ASSERT_TRUE(finished) << "the close hung on the open box";
    EXPECT_TRUE(closeAsked);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(worker.joinable()) << "the close waited for the worker";
    EXPECT_EQ(answer, platform::kCancel);
    EXPECT_TRUE(reg.keys[kKey].count("LastMethod")) << "saved after the job ended";
    if (worker.joinable()) {
        window->runState->running = 0;
        worker.join();
    }
    w.reset();
}

TEST_F(MainClose, DestroyingAnOpenWindowStillStopsTheJob) {
    Open(/*realDialogs=*/true);
    TForm1* window = w.get();
    std::atomic<bool> finished{false};
    window->runState->running = 1;
    std::thread worker([&] {
        while (window->runState->running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        finished = true;
    });
    window->SetRunningJob([&] { return finished.load(); }, [&] { worker.join(); });
    w.reset();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(worker.joinable());
}

}  // namespace
