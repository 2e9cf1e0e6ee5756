#include "batch/command_line.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "batch/batch_list.h"
#include "core/helpers.h"

size_t ParameterTokenEnd(const std::string& text, size_t from) {
    bool quoted = false;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ' ' && !quoted)
            return i;
    }
    return text.size();
}

std::vector<std::string> SplitParameterText(const std::string& text) {
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = ParameterTokenEnd(text, at);
        tokens.push_back(StripQuotes(text.substr(at, end - at)));
        at = end + 1;
    }
    return tokens;
}

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string StoredName(const std::string& name, bool made) {
    if (name.find('\\') == std::string::npos || Exists(name)) return name;
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (Exists(slashed) || name.back() == '\\') return slashed;
    const size_t slash = slashed.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : slashed.substr(0, slash + 1);
    const size_t own = name.rfind('/');
    const std::string ownFolder = own == std::string::npos ? std::string() : name.substr(0, own + 1);
    if (!folder.empty() && folder != ownFolder && IsFolder(folder)) return slashed;
    // A drive ("C:\") only ever comes from Windows.
    const bool drive = name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
                       name[2] == '\\';
    return made && !drive ? name : slashed;
}

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string Safe(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.rfind("./", 0) == 0) return name;
    return "./" + name;
}

// Removes the entries below an open folder, never following a link: each
// entry is looked at where it lies (no symlink follow), and only real
// folders are opened, through their parent's descriptor.
bool RemoveBelow(int dirFd, std::string& error) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || !RemoveBelow(sub, error)) {
                if (sub < 0) error = std::strerror(errno);
                ok = false;
                continue;
            }
            if (::unlinkat(::dirfd(dir), name, AT_REMOVEDIR) != 0) ok = false, error = std::strerror(errno);
        } else if (::unlinkat(::dirfd(dir), name, 0) != 0) {
            ok = false, error = std::strerror(errno);
        }
    }
    ::closedir(dir);
    return ok;
}

std::string RemoveTree(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) {
        // A link to a folder goes, the folder it names stays.
        return ::unlink(folder.c_str()) == 0 ? std::string() : std::strerror(errno);
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    if (!RemoveBelow(fd, error)) return error;
    return ::rmdir(folder.c_str()) == 0 ? std::string() : std::strerror(errno);
}

// The folder between the double quotes at from, with "\" read as a
// separator as in any stored name; empty when the quotes do not close where
// the rest of the line expects.
std::string QuotedFolder(const std::string& line, size_t from, size_t end, bool made) {
    if (end < from + 2 || line[from] != '"' || line[end - 1] != '"') return {};
    const std::string folder = line.substr(from + 1, end - from - 2);
    if (folder.find('"') != std::string::npos) return {};
    return StoredName(folder, made);
}

}  // namespace

std::string FindArchiver(const std::string& storedLocation, const std::string& pathList) {
    if (!storedLocation.empty()) return storedLocation;
    for (const char* program : {"rar", "unar", "unrar"}) {
        size_t begin = 0;
        while (begin <= pathList.size()) {
            size_t end = pathList.find(':', begin);
            if (end == std::string::npos) end = pathList.size();
            const std::string dir = pathList.substr(begin, end - begin);
            begin = end + 1;
            if (dir.empty()) continue;  // an empty entry would mean the current folder
            const std::string candidate = dir + (dir.back() == '/' ? "" : "/") + program;
            if (IsExecutableFile(candidate)) return candidate;
        }
    }
    return {};
}

bool IsUnar(const std::string& archiverPath) { return ExtractName(archiverPath) == "unar"; }
bool CanCreateRar(const std::string& archiverPath) { return ExtractName(archiverPath) == "rar"; }

std::vector<std::string> DecompressArgv(const std::string& archiverPath, const std::string& archiverParam,
                                        const std::string& archive, const std::string& directory) {
    std::string dir = directory;
    if (IsUnar(archiverPath)) return {archiverPath, "-q", "-f", "-D", "-o", Safe(dir), "--", Safe(archive)};
    std::vector<std::string> argv{archiverPath};
    for (std::string& word : SplitParameterText(archiverParam))
        if (!word.empty()) argv.push_back(std::move(word));
    if (dir.empty() || dir.back() != '/') dir += '/';
    argv.push_back(Safe(archive));
    argv.push_back(Safe(dir));
    return argv;
}

std::vector<std::string> CompressArgv(const std::string& archiverPath, const std::string& compressParam,
                                      const std::string& archiveOptions, const std::vector<std::string>& files) {
    std::vector<std::string> argv{archiverPath};
    for (std::string& word : SplitParameterText(compressParam))
        if (!word.empty()) argv.push_back(std::move(word));
    int volume = 0, level = 0, deleteFlag = 0;
    if (ParseArchiveOptions(archiveOptions, &volume, &level, &deleteFlag)) {
        if (volume >= 1 && volume <= 3) {
            static constexpr const char* kSizes[] = {"", "-v15M", "-v20M", "-v50M"};
            argv.push_back(kSizes[volume]);
            struct stat st {};
            const bool readable = ::stat(archiverPath.c_str(), &st) == 0 && ::access(archiverPath.c_str(), R_OK) == 0;
            if (readable && st.st_size != 638464) argv.push_back("-vn");
            argv.push_back("-r");
            argv.push_back("-ep1");
        }
        argv.push_back("-m" + std::to_string(level));
        if (deleteFlag) argv.push_back("-df");
    }
    for (const std::string& f : files)
        if (!f.empty()) argv.push_back(Safe(f));
    return argv;
}

BuiltinCommand RecogniseBuiltin(const std::string& line) {
    BuiltinCommand command;
    auto tail = [&line](std::string_view suffix) {
        return line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    std::string folder;
    BuiltinCommand::Kind kind = BuiltinCommand::kNone;
    if (line.rfind("mkdir \"", 0) == 0) {
        folder = QuotedFolder(line, 6, line.size(), true);
        kind = BuiltinCommand::kMakeFolder;
    } else if (line.rfind("rmdir \"", 0) == 0 && tail("\" /s /q")) {
        folder = QuotedFolder(line, 6, line.size() - 6, false);
        kind = BuiltinCommand::kRemoveTree;
    } else if (line.rfind("deltree /Y \"", 0) == 0) {
        folder = QuotedFolder(line, 11, line.size(), false);
        kind = BuiltinCommand::kRemoveTree;
    }
    if (!folder.empty()) command.kind = kind, command.folder = folder;
    return command;
}

std::string RunBuiltin(const BuiltinCommand& command) {
    std::error_code ec;
    switch (command.kind) {
        case BuiltinCommand::kMakeFolder:
            std::filesystem::create_directories(command.folder, ec);
            if (ec) return ec.message();
            if (!std::filesystem::is_directory(command.folder, ec)) return "not a folder";
            return {};
        case BuiltinCommand::kRemoveTree:
            return RemoveTree(command.folder);
        case BuiltinCommand::kNone:
            break;
    }
    return "not a built-in command";
}
