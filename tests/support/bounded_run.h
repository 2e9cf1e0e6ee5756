// Runs a read that might hang, or grow without end, in a forked child under
// a time bound: a regression then fails its test instead of hanging CI.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bounded {

struct Run {
    bool finished = false;  // false: killed at the time bound
    int status = -1;        // the exit status when it finished
    std::string output;     // what the child wrote (its text, or stdout and stderr)
    long maxRssKiB = 0;     // the child's peak resident size
};

namespace detail {

inline Run Collect(pid_t pid, int readFd, std::chrono::milliseconds limit) {
    Run r;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    char buf[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        pollfd p{readFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = ::read(readFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (r.output.size() < (1u << 20)) r.output.append(buf, static_cast<size_t>(n));
    }
    ::close(readFd);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    r.finished = !killed && WIFEXITED(status);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.maxRssKiB = usage.ru_maxrss;
    return r;
}

}  // namespace detail

// The function runs in the child; what it returns is the run's output.
inline Run InChild(const std::function<std::string()>& read, std::chrono::milliseconds limit) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        ::close(fds[0]);
        const std::string text = read();
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    return detail::Collect(pid, fds[0], limit);
}

// A program, its standard output and error captured together.
inline Run Program(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    int fds[2];
    if (argv.empty() || ::pipe2(fds, O_CLOEXEC) != 0) return {};
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    return detail::Collect(pid, fds[0], limit);
}

// For reads that must run in this process (a window's, on its GUI thread):
// a read still going when the bound passes ends the test program as failed,
// instead of leaving CI to wait for ever.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds limit, std::string what) : what_(std::move(what)) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(m_);
            if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
            std::fprintf(stderr, "FAILED: %s did not end within the bound\n", what_.c_str());
            std::fflush(stderr);
            std::_Exit(1);
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string what_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace bounded
