#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "core/temp_file.h"
#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

constexpr auto kKillDelay = std::chrono::seconds(5);
constexpr size_t kMaxErrorOutput = 1 << 20;

std::string ReadAndRemove(const std::string& path) {
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[4096];
        ssize_t n;
        while (text.size() < kMaxErrorOutput && (n = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(n));
        ::close(fd);
    }
    ::unlink(path.c_str());
    return text;
}

// Every descriptor above stderr is closed in the child, whether or not its
// opener asked for close-on-exec.
void CloseTheRest(posix_spawn_file_actions_t* actions) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(actions, 3);
#else
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (dirent* e = ::readdir(dir)) {
            const int fd = std::atoi(e->d_name);
            if (fd > 2 && fd != own) posix_spawn_file_actions_addclose(actions, fd);
        }
        ::closedir(dir);
    }
#endif
}

class PosixProcess final : public Process {
public:
    explicit PosixProcess(Poster poster) : poster_(std::move(poster)) {}

    ~PosixProcess() override {
        if (running()) terminate();
        joinHelpers();
    }

    bool start(const std::vector<std::string>& argv, const std::string& tempDirectory, EndHandler onEnd) override {
        {
            std::lock_guard lock(m_);
            if (running_) return false;
        }
        joinHelpers();
        ProcessEnd failed;
        if (argv.empty()) {
            post(std::move(onEnd), failed);
            return true;
        }
        const std::string errPath = CreateTempFile("~child_", ".err", tempDirectory);
        int errFd = errPath.empty() ? -1 : ::open(errPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (errFd < 0) {
            if (!errPath.empty()) ::unlink(errPath.c_str());
            failed.errorOutput = "cannot create the error output file";
            post(std::move(onEnd), failed);
            return true;
        }

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
        CloseTheRest(&actions);

        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_t pid = 0;
        const int rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        ::close(errFd);
        if (rc != 0) {
            ReadAndRemove(errPath);
            failed.errorOutput = std::string("cannot run ") + argv[0];
            post(std::move(onEnd), failed);
            return true;
        }

        // The waiter is stored under the lock it takes before the end handler
        // runs: a handler that starts the next child finds it in waiter_.
        std::lock_guard lock(m_);
        running_ = true;
        reaped_ = false;
        pid_ = pid;
        waiter_ = std::thread([this, pid, errPath, onEnd = std::move(onEnd)]() mutable {
            // Wait without reaping, so that the pid cannot be reused while
            // terminate() may still signal its group.
            siginfo_t info{};
            while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
            }
            int status = 0;
            {
                std::lock_guard lock(m_);
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
                reaped_ = true;
            }
            ProcessEnd end;
            end.started = true;
            if (WIFEXITED(status)) end.exitStatus = WEXITSTATUS(status);
            if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
            // Nothing thrown may leave this thread: that would end the
            // program. What escapes fails the child's task and says why.
            try {
                end.errorOutput = ReadAndRemove(errPath);
            } catch (const std::exception& e) {
                ::unlink(errPath.c_str());
                end.exitStatus = -1;
                end.errorOutput = std::string("Internal error: ") + e.what();
            }
            {
                std::lock_guard lock(m_);
                running_ = false;
            }
            cv_.notify_all();
            try {
                post(onEnd, end);
            } catch (const std::exception& e) {
                // A post that failed is tried once more, as a failure; a
                // handler run here that threw is not run twice.
                if (!poster_) return;
                ProcessEnd failed = end;
                failed.exitStatus = -1;
                failed.errorOutput = std::string("Internal error: ") + e.what();
                try {
                    post(std::move(onEnd), failed);
                } catch (...) {
                }
            } catch (...) {
            }
        });
        return true;
    }

    bool running() const override {
        std::lock_guard lock(m_);
        return running_;
    }

    void terminate() override {
        std::lock_guard lock(m_);
        if (!running_ || reaped_) return;
        ::kill(-pid_, SIGTERM);
        if (killer_.joinable()) return;
        const pid_t pid = pid_;
        killer_ = std::thread([this, pid] {
            std::unique_lock lock(m_);
            if (!cv_.wait_for(lock, kKillDelay, [this] { return !running_; }) && !reaped_) ::kill(-pid, SIGKILL);
        });
    }

private:
    void post(EndHandler onEnd, const ProcessEnd& end) {
        if (!onEnd) return;
        if (poster_)
            poster_([onEnd = std::move(onEnd), end] { onEnd(end); });
        else
            onEnd(end);
    }

    // The waiter may be the thread that calls (a direct poster runs the end
    // handler there, and the handler may start the next child).
    void joinHelpers() {
        for (std::thread* t : {&waiter_, &killer_}) {
            if (!t->joinable()) continue;
            if (t->get_id() == std::this_thread::get_id())
                t->detach();
            else
                t->join();
        }
    }

    Poster poster_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool running_ = false;
    bool reaped_ = false;
    pid_t pid_ = 0;
    std::thread waiter_, killer_;
};

}  // namespace

std::unique_ptr<Process> MakePosixProcess(Poster poster) { return std::make_unique<PosixProcess>(std::move(poster)); }

ProcessEnd RunToEnd(const std::vector<std::string>& argv, const std::string& tempDirectory) {
    std::promise<ProcessEnd> done;
    std::future<ProcessEnd> result = done.get_future();
    auto process = MakePosixProcess(nullptr);
    process->start(argv, tempDirectory, [&done](const ProcessEnd& end) { done.set_value(end); });
    ProcessEnd end = result.get();
    return end;
}

}  // namespace platform
