// The Qt backends of the control handles and dialogs, called from a worker
// thread as the engine calls them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/qt/controls_qt.h"
#include "platform/qt/dialogs_qt.h"
#include "platform/qt/shell_qt.h"
#include "platform/qt/text.h"
#include "tests/app/window_test_app.h"

namespace {

using namespace platform::qt;

QApplication& App() { return WindowTestApp(); }

// Runs fn on a worker thread while the GUI thread keeps serving events.
template <class F>
void OnWorker(F fn) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        fn();
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    t.join();
    ASSERT_TRUE(done) << "the worker was never served";
    QCoreApplication::processEvents();
}

struct QtHandles : ::testing::Test {
    void SetUp() override { App(); }
};

TEST_F(QtHandles, WorkerWritesReachTheWidgetsAndReadsWait) {
    QLabel label;
    QListWidget list;
    QPushButton button;
    QtLabel l(&label);
    QtListBox lb(&list);
    QtButton b(&button);
    int count = -1;
    std::string caption, item;
    bool enabled = true;
    OnWorker([&] {
        l.setCaption("Completed: 50%");
        lb.add("one");
        lb.add("two");
        b.setEnabled(false);
        b.setHint("Click here to stop processing");
        // Reads come back after the writes posted before them.
        count = lb.count();
        caption = l.caption();
        item = lb.item(1);
        enabled = b.enabled();
    });
    EXPECT_EQ(count, 2);
    EXPECT_EQ(caption, "Completed: 50%");
    EXPECT_EQ(item, "two");
    EXPECT_FALSE(enabled);
    EXPECT_EQ(label.text(), QString("Completed: 50%"));
    EXPECT_EQ(button.toolTip(), QString("Click here to stop processing"));
}

TEST_F(QtHandles, GuiThreadCallsActAtOnce) {
    QListWidget list;
    QtListBox lb(&list);
    lb.add("now");
    EXPECT_EQ(list.count(), 1) << "no event loop needed on the GUI thread";
    lb.setSelected(0, true);
    EXPECT_TRUE(lb.selected(0));
    EXPECT_EQ(lb.selectedCount(), 1);
    EXPECT_EQ(lb.item(5), "");
}

TEST_F(QtHandles, EditRunsItsChangeHandlerBeforeReturning) {
    QLineEdit edit;
    std::atomic<int> changes{0};
    QObject::connect(&edit, &QLineEdit::textChanged, [&] { ++changes; });
    QtEdit e(&edit);
    int seen = -1;
    OnWorker([&] {
        e.setText("success");
        seen = changes.load();
    });
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(edit.text(), QString("success"));
}

TEST_F(QtHandles, AGoneWidgetNeitherHangsNorCrashes) {
    auto* label = new QLabel;
    QtLabel l(label);
    delete label;
    std::string caption = "x";
    OnWorker([&] {
        l.setCaption("late");
        caption = l.caption();
    });
    EXPECT_EQ(caption, "");
}

TEST_F(QtHandles, LabelColourIsBgr) {
    QLabel label;
    QtLabel l(&label);
    l.setColor(0x3A3AFC);  // red 252, green 58, blue 58
    EXPECT_EQ(label.palette().color(QPalette::Window), QColor(252, 58, 58));
}

TEST(QtText, Utf8OrLatin1AndBackToTheSameBytes) {
    EXPECT_EQ(toQt("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(fromQt(toQt("caf\xC3\xA9")), "caf\xC3\xA9");
    EXPECT_EQ(toQt("caf\xE9"), QString::fromUtf8("caf\xC3\xA9")) << "not UTF-8: Latin-1";
    EXPECT_EQ(fromQt(toQt("caf\xE9")), "caf\xE9") << "the bytes it came in with";
    EXPECT_EQ(toQt(std::string("a\0b", 3)).size(), 3);
}

TEST(QtText, ALatinOneFileNameStillNamesItsFile) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string path = tmp.path().toStdString() + "/s\xE9rie \xE0 voir.cue";
    { std::ofstream(path) << "x"; }
    ASSERT_TRUE(std::filesystem::exists(path));
    const QString shown = toQt(path);
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8("/s\xC3\xA9rie \xC3\xA0 voir.cue")));
    // The text as a widget gives it back, from another thread too.
    std::string back;
    std::thread([&] { back = fromQt(QString(shown)); }).join();
    EXPECT_EQ(back, path);
    EXPECT_TRUE(std::filesystem::exists(back));
}

TEST_F(QtHandles, LatinOneNamesComeBackAsTheirBytesPastThousandsOfOthers) {
    const std::string first = "/v/s\xE9rie 0.cue";
    QLabel label;
    QPushButton button;
    QListWidget list;
    QtLabel l(&label);
    QtButton b(&button);
    QtListBox lb(&list);
    const QString shown = toQt(first);
    // More Latin-1 texts than any table of them used to hold, through every
    // way in, and from the worker as the engine writes them.
    OnWorker([&] {
        l.setCaption(first);
        b.setHint(first);
        lb.add(first);
        for (int i = 1; i <= 5000; ++i) {
            const std::string other = "/v/s\xE9rie " + std::to_string(i) + ".cue";
            toQt(other);
            lb.add(other);
            b.setCaption(other);
        }
    });
    EXPECT_EQ(fromQt(shown), first);
    EXPECT_EQ(l.caption(), first);
    EXPECT_EQ(b.hint(), first);
    EXPECT_EQ(b.caption(), "/v/s\xE9rie 5000.cue");
    ASSERT_EQ(lb.count(), 5001);
    EXPECT_EQ(lb.item(0), first);
    EXPECT_EQ(lb.item(4097), "/v/s\xE9rie 4097.cue");
    // A text set on the widget itself since is read as what it shows.
    label.setText("plain");
    EXPECT_EQ(l.caption(), "plain");
}

TEST(QtShellOpen, PathsGoOverAsTheirBytes) {
    struct Case {
        std::string target;
        const char* url;
    };
    for (const Case& c : {
             Case{"\"/v/out put.mpg\" ", "file:///v/out%20put.mpg"},
             Case{"/v/caf\xC3\xA9.mpg", "file:///v/caf%C3%A9.mpg"},
             Case{"\"/v/caf\xE9.mpg\"", "file:///v/caf%E9.mpg"},  // Latin-1 stays its byte
             Case{"/m/manual/faq.html", "file:///m/manual/faq.html"},
             Case{"https://example.org/a b", "https://example.org/a%20b"},
             Case{"  ", ""},
         }) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(UrlForOpen(c.target).toEncoded().toStdString(), c.url);
    }
}

TEST(QtFileFilter, BecomesQtNameFilters) {
    struct Case {
        const char* ours;
        const char* qt;
    } cases[] = {
        {"*.cue (index file)|*.cue|All files|*.*", "*.cue (index file) (*.cue);;All files (*)"},
        {"*.mpg,*.mpeg,*.m2v,*.m2s (mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*",
         "*.mpg,*.mpeg,*.m2v,*.m2s (mpeg video) (*.mpg *.mpeg *.m2v *.m2s);;All files (*)"},
        {"*.dat (vcd mpeg video)|*.dat", "*.dat (vcd mpeg video) (*.dat)"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ToQtFilter(c.ours), QString(c.qt)) << c.ours;
}

TEST_F(QtHandles, RefusingDialogsAnswerCancelWithoutABox) {
    QWidget parent;
    QtDialogs d(&parent);
    d.refuseAll(true);
    int answer = -1;
    std::optional<std::string> typed = "x";
    OnWorker([&] {
        answer = d.ask("Continue?", "Pellmor");
        d.error("never shown", "Pellmor");
        typed = d.inputBox("Pellmor", "name", "a");
    });
    EXPECT_EQ(answer, platform::kCancel);
    EXPECT_FALSE(typed.has_value());
}

}  // namespace

namespace {

// A Yes/No question offers exactly those two buttons, and each gives its answer.
TEST_F(QtHandles, YesNoQuestionOffersNoCancel) {
    QWidget parent;
    QtDialogs d(&parent);
    for (auto [button, expected] : {std::pair{QMessageBox::Yes, int(platform::kYes)},
                                    std::pair{QMessageBox::No, int(platform::kNo)}}) {
        QMessageBox::StandardButtons offered;
        QTimer::singleShot(0, [&, button = button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            offered = box->standardButtons();
            box->button(button)->click();
        });
        EXPECT_EQ(d.askYesNo("Extract them?", "Pellmor"), expected);
        EXPECT_EQ(offered, QMessageBox::Yes | QMessageBox::No);
    }
}

}  // namespace
