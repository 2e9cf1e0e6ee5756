#include "batch/handoff.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/helpers.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "engine/methods.h"

namespace {

// A task project made for the batch never carries the page's selection:
// its rows belong to the source the page held, not to this one.
TaskProject WithoutSelection(TaskProject p) {
    p.selectionActive = false;
    p.selectedRows.fill(0);
    return p;
}

}  // namespace

int ArchiveTargetMethod(int method) { return ExtractionMethod(method).archiveTarget; }

int WriteTempTaskProject(const TaskProject& project, const std::string& tempDir, std::string& path) {
    path.clear();
    std::string bytes;
    if (!EncodeTaskProject(project, bytes)) return msg::error::kCannotCreate;
    // Made exclusively: two projects written at once never share a name.
    const std::string made = CreateTempFile("~", "_tmp.ktp", tempDir);
    if (made.empty()) return msg::error::kCannotCreate;
    if (WriteTaskProjectFile(made, bytes) != 0) {
        std::remove(made.c_str());
        return msg::error::kCannotCreate;
    }
    path = made;
    return 0;
}

std::string MakeFolderCommand(const std::string& folder) { return "mkdir \"" + folder + "\""; }

std::string RemoveFolderCommand(const std::string& folder) { return "rmdir \"" + folder + "\" /s /q"; }

HandoffTasks AddSourceTasks(BatchList& list, const TaskProject& page, const std::vector<std::string>& sources,
                            const std::vector<std::string>& outputs, const std::string& tempDir) {
    HandoffTasks tasks;
    for (size_t i = 0; i < sources.size() && i < outputs.size(); ++i) {
        TaskProject p = WithoutSelection(page);
        p.inputs = {sources[i]};
        p.outputName = outputs[i];
        std::string path;
        if (WriteTempTaskProject(p, tempDir, path) != 0) {
            tasks.refused.push_back(sources[i]);
            continue;
        }
        tasks.projects.push_back(path);
        list.AddLoadProjectTask(path);
    }
    return tasks;
}

HandoffTasks AddArchiveTasks(BatchList& list, const TaskProject& page, const std::vector<std::string>& archives,
                             bool sfvCheck, const std::string& tempDir) {
    HandoffTasks tasks;
    const int target = ArchiveTargetMethod(page.method);
    for (const std::string& archive : archives) {
        const std::string sfv = WithoutExtension(archive) + ".sfv";
        if (target < 0 || archive.empty() || !QuotableName(archive) || !QuotableName(sfv)) {
            tasks.refused.push_back(archive);
            continue;
        }
        // A folder of its own, so a leftover of a stopped batch or another
        // archive's files never mix with this one's.
        const std::string folder = CreateTempDir("rar~", tempDir);
        if (folder.empty() || !QuotableName(folder)) {
            if (!folder.empty()) std::filesystem::remove(folder);
            tasks.refused.push_back(archive);
            continue;
        }
        TaskProject p = WithoutSelection(page);
        p.method = target;
        p.inputs.clear();  // the decompression gives the input
        p.outputName = ExtractDir(archive);
        std::string path;
        if (WriteTempTaskProject(p, tempDir, path) != 0) {
            std::filesystem::remove(folder);
            tasks.refused.push_back(archive);
            continue;
        }
        tasks.folders.push_back(folder);
        tasks.projects.push_back(path);
        if (sfvCheck) list.AddSfvTask(sfv, "");
        list.AddCommandTask(MakeFolderCommand(folder));
        list.AddDecompressTask(archive, folder);
        list.AddLoadProjectTask(path);
        list.AddCommandTask(RemoveFolderCommand(folder));
    }
    return tasks;
}

std::string HandoffFolder(const std::string& base, bool create) {
    std::string dir = base.empty() ? TempDir() : base;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    dir += "/pellmor-" + std::to_string(::getuid());
    if (create && ::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Never a link or a folder someone else made: the projects name inputs and outputs.
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
    return dir;
}

void TempProjectHolds::Hold(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    paths_.push_back(path);
    fds_.push_back(fd);
}

void TempProjectHolds::Release() {
    for (int fd : fds_) ::close(fd);
    fds_.clear();
    paths_.clear();
}

namespace {

constexpr const char* kKeptList = "kept.lst";
constexpr time_t kFreshSeconds = 60;

bool IsTempProjectName(const std::string& name) {
    return name.size() > 9 && name[0] == '~' && name.ends_with("_tmp.ktp");
}

}  // namespace

int SweepTempProjects(const std::string& folder, const std::vector<std::string>& keep) {
    if (folder.empty()) return 0;
    namespace fs = std::filesystem;
    const std::string keptPath = folder + "/" + kKeptList;
    std::set<std::string> kept(keep.begin(), keep.end());
    {
        std::ifstream in(keptPath);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) kept.insert(line);
    }
    int removed = 0;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (!IsTempProjectName(name) || !e.is_regular_file(ec) || e.is_symlink(ec)) continue;
        const std::string path = e.path().string();
        if (kept.count(path)) continue;
        // A program that runs still holds its projects under a shared lock.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A project written a moment ago may not be held yet by the copy
        // that wrote it.
        struct stat st {};
        const bool fresh = ::fstat(fd, &st) == 0 && st.st_mtime + kFreshSeconds > ::time(nullptr);
        if (!fresh && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0) ++removed;
        ::close(fd);
    }
    // Only the kept projects that are still there are remembered.
    std::string list;
    for (const std::string& p : kept)
        if (fs::is_regular_file(p, ec)) list += p + "\n";
    if (list.empty()) {
        fs::remove(keptPath, ec);
    } else {
        const std::string temp = CreateTempFile(".kept", "", folder);
        if (!temp.empty()) {
            // Only a list written whole replaces the old one: a short one
            // would let the next sweep take projects a saved list names.
            std::ofstream out(temp, std::ios::trunc);
            out << list;
            out.close();
            if (!out || ::rename(temp.c_str(), keptPath.c_str()) != 0) fs::remove(temp, ec);
        }
    }
    return removed;
}
