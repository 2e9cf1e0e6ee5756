#include "core/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <random>

namespace {

std::string randomPart() {
    static std::atomic<uint64_t> counter{0};
    thread_local std::mt19937_64 rng{std::random_device{}() ^
                                     static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    uint64_t v = rng() ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int i = 0; i < 10; ++i, v /= 36) s += kDigits[v % 36];
    return s;
}

std::string folderOf(const std::string& dir) {
    std::string d = dir.empty() ? TempDir() : dir;
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
}

// Tries fresh names until one is created; gives up on any error but a clash.
template <typename Make>
std::string createUnique(const std::string& folder, const std::string& prefix, const std::string& suffix,
                         Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = folder + "/" + prefix + randomPart() + suffix;
        if (make(path)) return path;
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace

std::string TempDir() {
    const char* env = std::getenv("TMPDIR");
    std::string d = (env != nullptr && *env != '\0') ? env : "/tmp";
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
}

std::string CreateTempFile(const std::string& prefix, const std::string& suffix, const std::string& dir) {
    return createUnique(folderOf(dir), prefix, suffix, [](const std::string& path) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    });
}

std::string CreateTempDir(const std::string& prefix, const std::string& dir) {
    return createUnique(folderOf(dir), prefix, "",
                        [](const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; });
}

std::string SaveTarget(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return at;
        target.resize(static_cast<size_t>(n));
        if (target.front() != '/') {
            const size_t slash = at.rfind('/');
            target = (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + target;
        }
        at = target;
    }
    return at;
}

TReplacement::TReplacement(const std::string& path) : target_(SaveTarget(path)) {
    struct stat st {};
    if (target_.empty() || (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) return;
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode_ = st.st_mode & 07777;
    // "/" alone separates here: a name may hold a "\".
    const size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (!name.empty()) temp_ = CreateTempFile("." + name + ".", ".part", folder);
}

TReplacement::~TReplacement() {
    if (!committed_ && !temp_.empty()) std::remove(temp_.c_str());
}

bool TReplacement::Commit() {
    if (temp_.empty() || committed_) return false;
    committed_ = ::chmod(temp_.c_str(), static_cast<mode_t>(mode_)) == 0 &&
                 std::rename(temp_.c_str(), target_.c_str()) == 0;
    return committed_;
}
