// The preview player on Qt Multimedia: a QMediaPlayer drawing into a
// QVideoWidget, with an audio output.
#pragma once

#include <memory>
#include <string>

#include "platform/media_player.h"

class QWidget;

namespace platform::qt {

// Picks the ffmpeg backend unless the user chose one: the other backend
// crashed on our clips. Call before the application object exists.
void ChooseMediaBackend();

class QtMediaPlayer : public MediaPlayer {
public:
    explicit QtMediaPlayer(QWidget* parent);
    ~QtMediaPlayer() override;
    // The picture, for the window to place (ActiveMovie1).
    QWidget* videoWidget() const;

    void setFileName(const std::string& path) override;
    std::string fileName() const override;
    void setCurrentPosition(double seconds) override;
    double duration() const override;
    int state() const override;
    void play() override;
    void pause() override;
    void stop() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::qt
