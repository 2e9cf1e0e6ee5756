#include "platform/qt/media_player_qt.h"

#include <QUrl>
#include <QWidget>
#include <cstdlib>

#include "platform/qt/text.h"

#ifdef PELLMOR_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QVideoWidget>
#endif

namespace platform::qt {

void ChooseMediaBackend() {
    if (!std::getenv("QT_MEDIA_BACKEND")) ::setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
}

#ifdef PELLMOR_HAVE_MULTIMEDIA

// The outputs are declared first so that the player, which holds them, goes
// before them.
struct QtMediaPlayer::Impl {
    QAudioOutput audio;
    QVideoWidget* video = nullptr;
    QMediaPlayer player;
    std::string file;
};

QtMediaPlayer::QtMediaPlayer(QWidget* parent) : impl_(std::make_unique<Impl>()) {
    impl_->video = new QVideoWidget(parent);
    impl_->video->setObjectName("ActiveMovie1");
    // Without a sound device the ffmpeg backend's audio thread writes to a
    // sink that was never opened and crashes; play such a machine silently.
    if (!QMediaDevices::audioOutputs().isEmpty()) impl_->player.setAudioOutput(&impl_->audio);
    impl_->player.setVideoOutput(impl_->video);
    QObject::connect(&impl_->player, &QMediaPlayer::mediaStatusChanged, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::LoadedMedia && ReadyStateChange) ReadyStateChange(kReady);
    });
}

QtMediaPlayer::~QtMediaPlayer() {
    QObject::disconnect(&impl_->player, nullptr, nullptr, nullptr);
    impl_->player.stop();
    impl_->player.setVideoOutput(static_cast<QObject*>(nullptr));
    impl_->player.setAudioOutput(nullptr);
}

QWidget* QtMediaPlayer::videoWidget() const { return impl_->video; }

void QtMediaPlayer::setFileName(const std::string& path) {
    impl_->file = path;
    impl_->player.setSource(path.empty() ? QUrl() : QUrl::fromLocalFile(toQt(path)));
}

std::string QtMediaPlayer::fileName() const { return impl_->file; }

void QtMediaPlayer::setCurrentPosition(double seconds) {
    impl_->player.setPosition(static_cast<qint64>(seconds * 1000.0 + 0.5));
}

double QtMediaPlayer::duration() const { return static_cast<double>(impl_->player.duration()) / 1000.0; }

// Qt counts playing as 1 and paused as 2; the editor's states are the other
// way round.
int QtMediaPlayer::state() const {
    switch (impl_->player.playbackState()) {
    case QMediaPlayer::PlayingState:
        return kRunning;
    case QMediaPlayer::PausedState:
        return kPaused;
    default:
        return kStopped;
    }
}

void QtMediaPlayer::play() { impl_->player.play(); }
void QtMediaPlayer::pause() { impl_->player.pause(); }
void QtMediaPlayer::stop() { impl_->player.stop(); }

#else  // without Qt Multimedia: a player that never gets ready

struct QtMediaPlayer::Impl {
    QWidget* video = nullptr;
    std::string file;
    int state = kStopped;
};

QtMediaPlayer::QtMediaPlayer(QWidget* parent) : impl_(std::make_unique<Impl>()) {
    impl_->video = new QWidget(parent);
    impl_->video->setObjectName("ActiveMovie1");
}
QtMediaPlayer::~QtMediaPlayer() = default;
QWidget* QtMediaPlayer::videoWidget() const { return impl_->video; }
void QtMediaPlayer::setFileName(const std::string& path) { impl_->file = path; }
std::string QtMediaPlayer::fileName() const { return impl_->file; }
void QtMediaPlayer::setCurrentPosition(double) {}
double QtMediaPlayer::duration() const { return 0; }
int QtMediaPlayer::state() const { return impl_->state; }
void QtMediaPlayer::play() { impl_->state = kRunning; }
void QtMediaPlayer::pause() { impl_->state = kPaused; }
void QtMediaPlayer::stop() { impl_->state = kStopped; }

#endif

}  // namespace platform::qt
