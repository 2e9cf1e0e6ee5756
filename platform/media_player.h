// The preview player of the clip editor: a file, a position set in seconds,
// the duration, the state (1 paused, 2 running), play, pause and stop, and
// the ready-state event (4: the file is ready).
#pragma once

#include <functional>
#include <string>

namespace platform {

class MediaPlayer {
public:
    enum State : int { kStopped = 0, kPaused = 1, kRunning = 2 };
    static constexpr int kReady = 4;

    virtual ~MediaPlayer() = default;
    virtual void setFileName(const std::string& path) = 0;  // "" unloads
    virtual std::string fileName() const = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    virtual double duration() const = 0;  // seconds; 0 while unknown
    virtual int state() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    // Called with the new ready state (4 when the file is ready).
    std::function<void(int)> ReadyStateChange;
};

}  // namespace platform
