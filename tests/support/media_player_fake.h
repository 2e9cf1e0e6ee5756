// A preview player that records every call and raises the ready-state
// event when the test asks.
#pragma once

#include <string>
#include <vector>

#include "platform/media_player.h"

namespace fakes {

class RecordingMediaPlayer : public platform::MediaPlayer {
public:
    void setFileName(const std::string& path) override {
        file_ = path;
        calls.push_back("FileName=" + path);
    }
    std::string fileName() const override { return file_; }
    void setCurrentPosition(double seconds) override {
        position = seconds;
        calls.push_back("CurrentPosition=" + std::to_string(seconds));
    }
    double duration() const override { return durationSeconds; }
    int state() const override { return state_; }
    void play() override {
        state_ = kRunning;
        calls.push_back("Play");
    }
    void pause() override {
        state_ = kPaused;
        calls.push_back("Pause");
    }
    void stop() override {
        state_ = kStopped;
        calls.push_back("Stop");
    }
    // The player says the file is loaded.
    void RaiseReady(int readyState = kReady) {
        if (ReadyStateChange) ReadyStateChange(readyState);
    }
    bool Called(const std::string& prefix) const {
        for (const std::string& c : calls)
            if (c.rfind(prefix, 0) == 0) return true;
        return false;
    }

    std::vector<std::string> calls;
    double position = -1;
    double durationSeconds = 6.0;

private:
    std::string file_;
    int state_ = kStopped;
};

}  // namespace fakes
