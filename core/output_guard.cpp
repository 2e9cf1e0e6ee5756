#include "core/output_guard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/constants.h"

namespace {

// Not a regular file, yet there: a device, a FIFO or a folder.
bool IsOther(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

TOutputGuard::Entry TOutputGuard::Identify(const std::string& path) {
    Entry e;
    e.path = path;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) p = path;
    const std::filesystem::path c = std::filesystem::weakly_canonical(p, ec);
    e.canonical = (ec ? p.lexically_normal() : c).string();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        e.known = true;
        e.dev = st.st_dev;
        e.ino = st.st_ino;
    }
    return e;
}

bool TOutputGuard::Same(const Entry& a, const Entry& b) {
    if (a.known && b.known) return a.dev == b.dev && a.ino == b.ino;
    // One of them does not exist (now, or when it was recorded): only the
    // name can tell.
    return a.canonical == b.canonical;
}

void TOutputGuard::AddInput(const std::string& path) {
    if (path.empty()) return;
    Entry e = Identify(path);
    if (!e.known) return;
    for (const Entry& i : inputs_)
        if (Same(i, e)) return;
    inputs_.push_back(std::move(e));
}

std::string TOutputGuard::InputClash(const std::string& path) const {
    if (path.empty() || IsOther(path)) return std::string();
    const Entry e = Identify(path);
    // A file that does not exist yet is none of the inputs, which all did.
    if (!e.known) return std::string();
    for (const Entry& i : inputs_)
        if (i.known && i.dev == e.dev && i.ino == e.ino) return i.path;
    return std::string();
}

std::string TOutputGuard::Clash(const std::string& path) const {
    if (path.empty() || IsOther(path)) return std::string();
    if (std::string in = InputClash(path); !in.empty()) return in;
    const int o = FindOutput(Identify(path));
    return o < 0 ? std::string() : outputs_[size_t(o)].path;
}

int TOutputGuard::FindOutput(const Entry& e) const {
    for (size_t i = 0; i < outputs_.size(); ++i)
        if (Same(outputs_[i], e)) return int(i);
    return -1;
}

void TOutputGuard::AddOutput(const std::string& path) {
    if (path.empty() || IsOther(path)) return;
    Entry e = Identify(path);
    const int o = FindOutput(e);
    if (o >= 0) {
        outputs_[size_t(o)] = std::move(e);  // created again: unfinished again
        return;
    }
    outputs_.push_back(std::move(e));
}

void TOutputGuard::Finish(const std::string& path) {
    if (path.empty()) return;
    const int o = FindOutput(Identify(path));
    if (o >= 0) outputs_[size_t(o)].finished = true;
}

bool TOutputGuard::Created(const std::string& path) const {
    return !path.empty() && FindOutput(Identify(path)) >= 0;
}

bool TOutputGuard::Remove(const std::string& path) {
    if (path.empty()) return false;
    const Entry now = Identify(path);
    const int o = FindOutput(now);
    if (o < 0) return false;
    const Entry recorded = outputs_[size_t(o)];
    outputs_.erase(outputs_.begin() + o);
    // Replaced since (by another program), or a source after all: it stays.
    if (!now.known || !recorded.known || now.dev != recorded.dev || now.ino != recorded.ino) return false;
    if (!InputClash(path).empty()) return false;
    // A name that is a link was written through: the file it leads to is
    // what the job wrote, and the link is the user's.
    std::error_code ec;
    const std::filesystem::path written = std::filesystem::canonical(path, ec);
    struct stat st;
    if (ec || ::stat(written.c_str(), &st) != 0 || st.st_dev != recorded.dev || st.st_ino != recorded.ino) return false;
    return ::unlink(written.c_str()) == 0;
}

std::vector<std::string> TOutputGuard::RemoveUnfinished() {
    std::vector<std::string> unfinished;
    for (const Entry& e : outputs_)
        if (!e.finished) unfinished.push_back(e.path);
    std::vector<std::string> removed;
    for (const std::string& p : unfinished)
        if (Remove(p)) removed.push_back(p);
    return removed;
}

std::string OutputClashLine(const std::string& output, const std::string& other) {
    return std::string(kLogIndent) + "[ output is the same file as " + other + " ] " + output;
}

std::string IncompleteRemovedLine(const std::string& path) {
    return std::string(kLogIndent) + "[ incomplete output removed ] " + path;
}
