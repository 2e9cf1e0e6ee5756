// The window on its video-cd page, driven through its controls' object
// names, with scripted dialogs and an empty settings store. Include
// tests/app/window_test_app.h first.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QThread>
#include <filesystem>
#include <unistd.h>

#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/helpers.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "engine/methods.h"
#include "settings/registry_settings.h"
#include "tests/support/fakes.h"

namespace vcdpage {

inline std::string Fixture(const char* name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }
inline const std::string kA = Fixture("clip_pal_vcd.mpg");
inline const std::string kB = Fixture("clip_pal_vcd_b.mpg");
inline const std::string kC = Fixture("clip_pal_vcd_c.mpg");
inline const std::string kSvcd = Fixture("clip_pal_svcd.mpg");
// Two of the PAL clips to an image at this capacity (each takes its size
// and 235 frame sectors), three to an image at the 80-minute one.
constexpr int64_t kTwoClipsCapacity = 1600000;

struct Page : ::testing::Test {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    std::string dir;
    // The window's own clip editor is made when "Yes" is ticked.
    FakeClipEditorPlayer fakePlayer;
    std::unique_ptr<TForm1> w;

    void SetUp() override {
        WindowTestApp();
        dir = std::filesystem::temp_directory_path() / ("pellmor-vcdpage-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        w.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    TForm1::Services Services(int64_t capacity = -1) {
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        s.freeSpace = [](const std::string&) { return int64_t(1) << 40; };
        s.imageCapacity = capacity;
        s.imageMargin = capacity >= 0 ? 0 : -1;
        return s;
    }
    // The window on its video-cd page with an MPEG method chosen.
    TForm1& Open(int64_t capacity = -1, int method = Index(VcdMethod::MpegToCueBin)) {
        w = std::make_unique<TForm1>(Services(capacity));
        w->show();
        w->buildVCDButtonClick();
        find<QComboBox>("buildVCDMethod")->setCurrentIndex(method);
        w->videoCdPage->buildVCDMethodChange();
        return *w;
    }
    template <class T>
    T* find(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void click(const char* name) {
        auto* b = find<QAbstractButton>(name);
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    QTableWidget* grid() { return find<QTableWidget>("TrackListGrid"); }
    void add(std::vector<std::string> names) {
        files.scriptOpenFiles(std::move(names));
        click("addTrackButton");
    }
    void select(int row) { grid()->selectRow(row); }
    std::string label(const char* name) { return find<QLabel>(name)->text().toStdString(); }
    std::vector<std::string> column(int c) {
        std::vector<std::string> out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out.push_back(grid()->item(r, c) ? grid()->item(r, c)->text().toStdString() : "");
        return out;
    }
    std::vector<std::string> names() { return w->mpegList->fileNames; }
    std::vector<int32_t> pauses() {
        std::vector<int32_t> p;
        for (const TMpegFileInfo& e : w->mpegList->entries) p.push_back(e.pause);
        return p;
    }
    std::vector<fakes::ScriptedDialogs::Shown> shownOf(const std::string& kind) {
        std::vector<fakes::ScriptedDialogs::Shown> out;
        for (const auto& s : dialogs.shown())
            if (s.kind == kind) out.push_back(s);
        return out;
    }
    bool usable(const char* name) { return w->WantsEnabled(find<QWidget>(name)); }
    // Pumps events until the worker has ended and the window took it back.
    bool waitForJob() {
        QElapsedTimer t;
        t.start();
        while ((w->JobRunning() || w->WorkerBusy()) && t.elapsed() < 120000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        return !w->JobRunning() && !w->WorkerBusy();
    }
    // Types into a field as the user does, then Return.
    void type(const char* name, const QString& text) {
        auto* edit = find<QLineEdit>(name);
        edit->setFocus();
        edit->selectAll();
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (ch.unicode() - '0'), Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
        }
        QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edit, &ret);
    }
};

}  // namespace vcdpage
