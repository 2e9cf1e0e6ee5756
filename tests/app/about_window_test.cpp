// The about window and its credits, opened from the real main window offscreen.
#include "app/about_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "app/main_window/main_window.h"
#include "tests/app/window_geometry.h"
#include "tests/app/window_test_app.h"
#include "tests/support/fakes.h"

namespace {

struct About : ::testing::Test {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs;
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    std::unique_ptr<TForm1> w;

    void SetUp() override {
        WindowTestApp();
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        w = std::make_unique<TForm1>(std::move(s));
        w->show();
        QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    }
    void TearDown() override { w.reset(); }

    int WithAbout(const std::function<void(TForm5&)>& act) {
        return WhileModal<TForm5>([&] { w->findChild<QPushButton*>("aboutButton")->click(); }, act);
    }
    static void Mouse(QWidget* on, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(at), QPointF(on->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(on, &e);
    }
    static void Click(QWidget* on) {
        const QPoint c = on->rect().center();
        Mouse(on, QEvent::MouseButtonPress, c);
        Mouse(on, QEvent::MouseButtonRelease, c);
    }
    // Drags one picture over others, the way the mouse goes with its button held.
    static void Drag(QWidget* from, std::initializer_list<QWidget*> over) {
        // Where a picture's centre lies in the dragged one's coordinates.
        auto at = [from](QWidget* target) {
            return from->mapFrom(from->window(), target->mapTo(target->window(), target->rect().center()));
        };
        Mouse(from, QEvent::MouseButtonPress, from->rect().center());
        for (QWidget* target : over) Mouse(from, QEvent::MouseMove, at(target));
        Mouse(from, QEvent::MouseButtonRelease, at(*(over.end() - 1)));
    }
    static void Shot(QWidget* window, const char* name) {
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/" + name + ".png"));
    }
};

TEST_F(About, ShowsItsControlsAndOpensTheAddresses) {
    const int result = WithAbout([&](TForm5& f) {
        EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
        for (const char* name : {"aboutImage", "homepageLabel", "homepageURL", "emailLabel", "email", "engineLabel",
                                 "codedByLabel", "pluggedImage", "wallPlug", "creditButton", "plugInMouth"})
            EXPECT_NE(f.findChild<QLabel*>(QLatin1String(name)), nullptr) << name;
        EXPECT_EQ(f.homepageURL->text(), QString("https://pellmor.example.org/"));
        EXPECT_EQ(f.email->text(), QString("pellmor@example.org"));
        EXPECT_EQ(f.engineLabel->text(), QString("engine 1.76"));
        EXPECT_EQ(f.codedByLabel->text(), QString("coded by the Pellmor team"));
        EXPECT_FALSE(f.aboutImage->pixmap().isNull()) << "our own picture, decoded";
        EXPECT_TRUE(f.pluggedImage->isHidden());
        EXPECT_TRUE(f.creditButton->isHidden());
        Click(f.homepageURL);
        Click(f.email);
        EXPECT_TRUE(f.isVisible()) << "the addresses open without closing";
        ExpectCaptionsFitAndNothingOverlaps(&f);
        Shot(&f, "about");
        Click(f.aboutImage);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shell.opened,
              (std::vector<std::string>{"https://pellmor.example.org/", "mailto:pellmor@example.org"}));
}

TEST_F(About, EveryClosingClickEndsWithOne) {
    const char* closers[] = {"aboutImage", "homepageLabel", "emailLabel", "engineLabel", "codedByLabel",
                             "pluggedImage"};
    for (const char* name : closers) {
        SCOPED_TRACE(name);
        EXPECT_EQ(WithAbout([&](TForm5& f) {
                      f.pluggedImage->show();
                      Click(f.findChild<QLabel*>(QLatin1String(name)));
                  }),
                  1);
    }
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(About, ThePlugInTheSocketRevealsTheCredits) {
    WithAbout([&](TForm5& f) {
        // Over itself and back: nothing.
        Drag(f.plugInMouth, {f.plugInMouth});
        EXPECT_TRUE(f.creditButton->isHidden());
        Drag(f.plugInMouth, {f.wallPlug});
        EXPECT_TRUE(f.pluggedImage->isVisible());
        EXPECT_TRUE(f.creditButton->isVisible());
        ExpectCaptionsFitAndNothingOverlaps(&f);
        Shot(&f, "about-plugged");
        // Leaving the socket and entering it again changes nothing.
        Drag(f.plugInMouth, {f.wallPlug, f.aboutImage, f.wallPlug});
        EXPECT_TRUE(f.creditButton->isVisible());
        // The socket dragged onto the plug hides them again.
        Drag(f.wallPlug, {f.plugInMouth});
        EXPECT_TRUE(f.pluggedImage->isHidden());
        EXPECT_TRUE(f.creditButton->isHidden());
        // A drag is no click: the window stays.
        EXPECT_TRUE(f.isVisible());
        f.done(1);
    });
}

TEST_F(About, CreditsScrollFromTheTopAndStopWithTheWindow) {
    int ticksAfterClose = -1;
    WithAbout([&](TForm5& f) {
        Drag(f.plugInMouth, {f.wallPlug});
        QPointer<QTimer> timer;
        int ticks = 0;
        const int result = WhileModal<TForm6>([&] { Click(f.creditButton); }, [&](TForm6& c) {
            timer = c.findChild<QTimer*>("CreditThread");
            ASSERT_TRUE(timer);
            EXPECT_TRUE(timer->isActive());
            EXPECT_EQ(timer->interval(), 50);
            QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
            QScrollBar* bar = c.ScrollBox1->verticalScrollBar();
            EXPECT_EQ(bar->maximum(), 1139);
            // The first tick shows the top, then one step per tick.
            QElapsedTimer t;
            t.start();
            while (ticks < 1 && t.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 10);
            EXPECT_EQ(bar->value(), 0);
            t.restart();
            while (t.elapsed() < 500) {
                QApplication::processEvents(QEventLoop::AllEvents, 10);
                QThread::msleep(5);
            }
            EXPECT_EQ(bar->value(), ticks - 1);
            EXPECT_GE(ticks, 6) << "about one step per 50 ms";
            EXPECT_LE(ticks, 12);
            ExpectCaptionsFitAndNothingOverlaps(&c);
            // Further down the text, as it shows a while later.
            bar->setValue(280);
            Shot(&c, "credits");
            // After 1139 it starts again from the top.
            bar->setValue(1138);
            c.ScrollStep();
            EXPECT_EQ(bar->value(), 1139);
            c.ScrollStep();
            EXPECT_EQ(bar->value(), 0);
            Click(c.Memo1);
        });
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(timer.isNull()) << "the timer went with the window";
        const int atClose = ticks;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 200) QApplication::processEvents(QEventLoop::AllEvents, 10);
        ticksAfterClose = ticks - atClose;
        EXPECT_TRUE(f.isVisible()) << "back in the about window";
        f.done(1);
    });
    EXPECT_EQ(ticksAfterClose, 0);
}

}  // namespace
