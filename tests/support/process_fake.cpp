#include "tests/support/process_fake.h"

#include <csignal>

namespace fakes {

platform::Poster EventQueue::poster() {
    return [this](std::function<void()> fn) { post(std::move(fn)); };
}

void EventQueue::post(std::function<void()> fn) {
    {
        std::lock_guard lock(m_);
        calls_.push_back(std::move(fn));
    }
    cv_.notify_all();
}

bool EventQueue::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        std::function<void()> fn;
        {
            std::unique_lock lock(m_);
            if (!cv_.wait_until(lock, deadline, [this] { return !calls_.empty(); })) return pred();
            fn = std::move(calls_.front());
            calls_.pop_front();
        }
        fn();
    }
    return true;
}

void EventQueue::drain() {
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_);
            if (calls_.empty()) return;
            fn = std::move(calls_.front());
            calls_.pop_front();
        }
        fn();
    }
}

platform::ProcessEnd Exited(int status, const std::string& errorOutput) {
    platform::ProcessEnd e;
    e.started = true;
    e.exitStatus = status;
    e.errorOutput = errorOutput;
    return e;
}

bool ScriptedProcess::start(const std::vector<std::string>& argv, const std::string&, EndHandler onEnd) {
    if (running_) return false;
    started.push_back(argv);
    platform::ProcessEnd e = Exited(0);
    if (!script.empty()) {
        e = script.front();
        script.pop_front();
    }
    onEnd_ = std::move(onEnd);
    running_ = true;
    if (hold)
        pending_ = e;
    else
        end(e);
    return true;
}

void ScriptedProcess::terminate() {
    ++terminations;
    if (!running_) return;
    platform::ProcessEnd e;
    e.started = true;
    e.signal = SIGTERM;
    end(e);
}

void ScriptedProcess::finish() {
    if (running_) end(pending_);
}

void ScriptedProcess::end(platform::ProcessEnd e) {
    running_ = false;
    EndHandler handler = std::move(onEnd_);
    onEnd_ = nullptr;
    if (poster_)
        poster_([handler, e] { handler(e); });
    else
        handler(e);
}

}  // namespace fakes
