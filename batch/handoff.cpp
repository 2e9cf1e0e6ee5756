#include "batch/handoff.h"

#include <cstdio>
#include <filesystem>

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
