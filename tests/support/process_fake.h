// A scriptable child process and an event queue that tests pump in place of
// the GUI thread's event loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process.h"

namespace fakes {

// Calls posted from any thread, run by the test thread when it pumps.
class EventQueue {
public:
    platform::Poster poster();
    void post(std::function<void()> fn);
    // Runs what is queued until pred holds; false when timeout passed first.
    bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Runs everything queued now and what those calls queue.
    void drain();

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> calls_;
};

// Records each argv and ends each child as scripted, through its poster.
class ScriptedProcess : public platform::Process {
public:
    explicit ScriptedProcess(platform::Poster poster) : poster_(std::move(poster)) {}
    bool start(const std::vector<std::string>& argv, const std::string& tempDirectory, EndHandler onEnd) override;
    bool running() const override { return running_; }
    // A held child ends with SIGTERM.
    void terminate() override;

    // Ends of the next children, in order; a child without one exits 0.
    std::deque<platform::ProcessEnd> script;
    // A held child runs until finish() or terminate().
    bool hold = false;
    void finish();

    std::vector<std::vector<std::string>> started;
    int terminations = 0;

private:
    void end(platform::ProcessEnd e);
    platform::Poster poster_;
    bool running_ = false;
    platform::ProcessEnd pending_;
    EndHandler onEnd_;
};

platform::ProcessEnd Exited(int status, const std::string& errorOutput = "");

}  // namespace fakes
