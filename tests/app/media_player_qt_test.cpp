// The preview player's Qt backend on a real clip: it gets ready, knows the
// clip's length and maps its states.
#include "platform/qt/media_player_qt.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdlib>

#include "tests/app/window_test_app.h"

namespace {

TEST(QtMediaPlayer, LoadsAClipAndKnowsItsLength) {
#ifndef PELLMOR_HAVE_MULTIMEDIA
    GTEST_SKIP() << "built without Qt Multimedia";
#else
    platform::qt::ChooseMediaBackend();
    WindowTestApp();
    QWidget window;
    platform::qt::QtMediaPlayer player(&window);
    EXPECT_EQ(player.videoWidget()->objectName(), "ActiveMovie1");
    int ready = 0;
    player.ReadyStateChange = [&](int state) { ready = state; };
    player.setFileName(std::string(PELLMOR_FIXTURES) + "/clip_pal_vcd.mpg");
    QElapsedTimer clock;
    clock.start();
    while (ready != 4 && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(ready, 4);
    // ffprobe gives 1.019 s for this clip.
    EXPECT_NEAR(player.duration(), 1.019, 0.05);
    player.pause();
    player.setCurrentPosition(0.5);
    EXPECT_EQ(player.state(), platform::MediaPlayer::kPaused);
    player.play();
    EXPECT_EQ(player.state(), platform::MediaPlayer::kRunning);
    player.stop();
    EXPECT_EQ(player.state(), platform::MediaPlayer::kStopped);
    player.setFileName("");
    EXPECT_EQ(player.fileName(), "");
#endif
}

}  // namespace
