#include "batch/task_properties.h"

#include "core/helpers.h"

namespace {

constexpr const char* kKey = "\\Software\\Pellmor";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

int ReadInRange(platform::Registry& r, bool open, const char* name, int lo, int hi, int def) {
    if (!open) return def;
    const auto v = r.readInteger(name);
    return v && *v >= lo && *v <= hi ? *v : def;
}

bool ReadFlag(platform::Registry& r, bool open, const char* name) {
    if (!open) return false;
    const auto v = r.readInteger(name);
    return v && *v != 0;
}

std::string Unquoted(const std::string& s) {
    if (!s.empty() && s.front() == '"') return s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string();
    return s;
}

}  // namespace

TaskDialogModel::TaskDialogModel(TBatchTask& record, int mode, std::string outputFileName, bool imgNone)
    : record_(record), mode_(mode), outputFileName_(std::move(outputFileName)), imgNone_(imgNone) {}

void TaskDialogModel::LoadTaskDefaults(platform::Registry& registry) {
    const bool open = registry.openKey(kKey, false);
    deleteTask = ReadFlag(registry, open, "DeleteFilesAfterDecompress");
    createSfvRar = ReadFlag(registry, open, "CreateSFVForRAR");
    // A missing value opens on an archive; any value the radios do not
    // know, on the command line (which is what is written for it).
    int t = kArchiveRadio;
    if (open)
        if (const auto v = registry.readInteger("TaskType")) t = *v >= 0 && *v <= 5 ? *v : kExecuteRadio;
    type = t;
    // A row being edited keeps its own type: the row, not the last choice,
    // is what the dialog opens on.
    if (mode_ != 1) record_.type = static_cast<int16_t>(t);
    yesDelete = ReadFlag(registry, open, "DeleteFilesAfterArchiving");
    sourceChoice = ReadInRange(registry, open, "AddArchiveMethod", 0, 1, 0);
    stopBatch = ReadInRange(registry, open, "OnError", INT32_MIN, INT32_MAX, 1) == 1;
    queryYes = ReadInRange(registry, open, "OnQuery", INT32_MIN, INT32_MAX, 1) == 1;
    volume = 2;
    if (open)
        if (const auto v = registry.readInteger("ArchiveVolumeSize")) volume = *v >= 0 && *v <= 3 ? *v : -1;
    compression = ReadInRange(registry, open, "ArchiveCompression", 0, 5, 0);
    const int from = ReadInRange(registry, open, "TaskFromWith", 0, 2, 0);
    if (from == 2) {
        fileInFolder = true;
        setSource(1);
    } else {
        setSource(from);
    }
    if (open) registry.closeKey();
}

void TaskDialogModel::SaveTaskDefaults(platform::Registry& registry) const {
    if (!registry.openKey(kKey, true)) return;
    registry.writeInteger("TaskType", type);
    registry.writeInteger("OnError", stopBatch ? 1 : 2);
    registry.writeInteger("OnQuery", queryYes ? 1 : 2);
    registry.writeInteger("ArchiveVolumeSize", volume >= 0 ? volume : 0);
    registry.writeInteger("ArchiveCompression", compression);
    registry.writeInteger("AddArchiveMethod", sourceChoice);
    // CD folders are a choice of their own, so that the next dialog opens on it.
    registry.writeInteger("TaskFromWith", fileInFolder && sourceChoice == 1 ? 2 : sourceChoice);
    registry.writeInteger("CreateSFVForRAR", createSfvRar ? 1 : 0);
    registry.writeInteger("DeleteFilesAfterArchiving", yesDelete ? 1 : 0);
    registry.writeInteger("DeleteFilesAfterDecompress", deleteTask ? 1 : 0);
    registry.closeKey();
}

void TaskDialogModel::LoadFromTask() {
    const TBatchTask& t = record_;
    switch (t.type) {
        case kLoadProjectTask:
            type = kLoadTaskRadio;
            taskProfile = t.params;
            break;
        case kDecompressTask: {
            const size_t sep = t.params.find("\" \"");
            if (sep != std::string::npos) {
                archiveName = t.params.substr(1, sep - 1);
                archiveDest = t.params.substr(sep + 3);
                if (!archiveDest.empty()) archiveDest.pop_back();
            }
            loadedDest_ = archiveDest;
            loadedDeleteRow_ = t.deleteArchive != 0;
            type = kUnarchiveRadio;
            deleteTask = t.deleteArchive != 0;
            break;
        }
        case kCompressTask:
        case kVerifySfvTask:
        case kCreateSfvTask:
            // A row is never a CD-folder task: those became their rows.
            fileInFolder = false;
            if (t.type == kCompressTask) {
                archiveName = Unquoted(t.params);
                type = kArchiveRadio;
                // The SFV box as stored, with the file it would name.
                setCreateSfvRar(createSfvRar);
                loadedNoOptions_ = t.volumeSize == kNoArchiveOptions;
                volume = t.volumeSize >= 0 && t.volumeSize <= 3 ? t.volumeSize : -1;
                compression = t.compression >= 0 && t.compression <= 5 ? t.compression : 0;
                // The row's own flag, not the stored default.
                yesDelete = t.deleteAfterArchiving != 0;
            } else {
                sfvFile = Unquoted(t.params);
                type = t.type == kVerifySfvTask ? kCheckSfvRadio : kCreateSfvRadio;
            }
            if (t.fromSelectedFiles) {
                setSource(0);
                selFiles = t.selectedFiles;
            } else {
                setSource(1);
            }
            break;
        default:
            type = kExecuteRadio;
            extCmdLine = t.params;
            break;
    }
    stopBatch = t.onError == kStopBatch;
    queryYes = t.onQuery == kQueryYes;
}

bool TaskDialogModel::Ok() {
    TBatchTask& t = record_;
    switch (type) {
        case kUnarchiveRadio: {
            // An edited "Delete RAR archive" row names no archive: it stays
            // what it was.
            if (mode_ == 1 && loadedDeleteRow_ && deleteTask && archiveName.empty() && archiveDest.empty()) {
                t.type = kDecompressTask;
                t.deleteArchive = 1;
                t.params.clear();
                t.destination.clear();
                break;
            }
            if (archiveDest.empty() || archiveName.empty()) return false;
            if (!QuotableName(archiveDest) || !QuotableName(archiveName)) return false;
            std::string dest = archiveDest;
            // A folder the row already held is written back as it stood.
            const bool asLoaded = mode_ == 1 && dest == loadedDest_;
            if (!asLoaded && dest.back() != '/' && dest.back() != '\\') dest += '/';
            archiveDest = dest;
            std::string names;
            for (size_t at = 0;;) {
                const size_t plus = archiveName.find("<+>", at);
                names += archiveName.substr(at, plus == std::string::npos ? std::string::npos : plus - at);
                if (plus == std::string::npos) break;
                names += "\"<+>\"";
                at = plus + 3;
            }
            t.type = kDecompressTask;
            // Editing adds no rows: a row with an archive stays its
            // decompression (the deletion is a row of its own).
            t.deleteArchive = deleteTask && mode_ != 1 ? 1 : 0;
            t.params = Quoted(names) + " " + Quoted(dest);
            t.destination = dest;
            break;
        }
        case kArchiveRadio: {
            const bool cd = cdFolders();
            if (cd ? cdArchiveName.empty() : archiveName.empty()) return false;
            if (!cd && sourceChoice == 0 && selFiles.empty()) return false;
            if (createSfvRar && !cd && sfvFile.empty()) return false;
            if (!QuotableName(archiveName) || !QuotableName(cdArchiveName) || !QuotableName(sfvFile)) return false;
            t.type = kCompressTask;
            t.inCdFolders = cd ? 1 : 0;
            t.params = cd ? cdArchiveName
                          : Quoted(archiveName) + (sourceChoice == 0 ? " " + selFiles : std::string("<->"));
            t.volumeSize = static_cast<int16_t>(volume >= 0 ? volume : 0);
            t.compression = static_cast<int16_t>(compression);
            t.deleteAfterArchiving = yesDelete ? 1 : 0;
            // Nothing chosen where the row had no options: still none.
            if (mode_ == 1 && loadedNoOptions_ && volume < 0 && compression == 0 && !yesDelete)
                t.volumeSize = t.compression = kNoArchiveOptions;
            t.sfvForRar = createSfvRar ? 1 : 0;
            if (createSfvRar) {
                t.sfvName = cd ? cdArchiveName : sfvFile;
                t.volumeMask = cd ? cdArchiveName : WithoutExtension(archiveName) + ".r??";
            }
            break;
        }
        case kLoadTaskRadio:
            if (taskProfile.empty()) return false;
            t.type = kLoadProjectTask;
            t.params = taskProfile;
            break;
        case kCheckSfvRadio:
        case kCreateSfvRadio:
            if (sfvFile.empty() || !QuotableName(sfvFile)) return false;
            t.type = type == kCheckSfvRadio ? kVerifySfvTask : kCreateSfvTask;
            // No files named: the SFV file alone, as the main window writes it.
            t.params = Quoted(sfvFile) + (sourceChoice != 0 ? std::string("<->")
                                          : selFiles.empty() ? std::string()
                                                             : " " + selFiles);
            break;
        default:
            if (extCmdLine.empty()) return false;
            t.type = kCommandTask;
            t.params = extCmdLine;
            break;
    }
    if (type != kUnarchiveRadio) t.deleteArchive = 0;
    t.fromSelectedFiles = sourceChoice == 0 ? 1 : 0;
    t.onError = stopBatch ? kStopBatch : kContinueBatch;
    t.onQuery = queryYes ? kQueryYes : kQueryNo;
    return true;
}

void TaskDialogModel::setType(int radio) { type = radio; }

void TaskDialogModel::setSource(int choice) {
    sourceChoice = choice == 1 ? 1 : 0;
    if (cdFolders()) FillCdName();
}

void TaskDialogModel::setFileInFolder(bool on) {
    fileInFolder = on;
    if (cdFolders()) {
        sfvFile.clear();
        FillCdName();
    }
}

void TaskDialogModel::FillCdName() {
    if (cdArchiveName.empty() && !outputFileName_.empty())
        cdArchiveName = WithoutExtension(ExtractName(outputFileName_)) + "-cd";
}

void TaskDialogModel::setCreateSfvRar(bool on) {
    createSfvRar = on;
    if (type != kArchiveRadio) return;
    if (!on || cdFolders())
        sfvFile.clear();
    else if (!archiveName.empty())
        sfvFile = WithoutExtension(archiveName) + ".sfv";
}

void TaskDialogModel::archivesChosen(const std::vector<std::string>& files) {
    if (files.empty()) return;
    const size_t count = multiSelectArchives() ? files.size() : 1;
    archiveName.clear();
    for (size_t i = 0; i < count; ++i) archiveName += (i ? "<+>" : "") + files[i];
    if (type == kUnarchiveRadio)
        archiveDest = ExtractDir(files.front());
    else if (createSfvRar && sfvFile.empty())
        sfvFile = WithoutExtension(archiveName) + ".sfv";
}

void TaskDialogModel::sfvChosen(const std::string& file) {
    sfvFile = file;
    if (type == kArchiveRadio && createSfvRar && archiveName.empty()) archiveName = WithoutExtension(file) + ".rar";
}

void TaskDialogModel::programChosen(const std::string& file) { extCmdLine = QuoteProgramForShell(file); }

void TaskDialogModel::filesChosen(const std::vector<std::string>& files) {
    selFiles.clear();
    for (const std::string& f : files) selFiles += Quoted(f) + " ";
}

std::string TaskDialogModel::exampleLabel() const {
    return "e.g. " + cdArchiveName + "1.rar, " + cdArchiveName + "2.rar";
}

std::map<std::string, ControlState> TaskDialogModel::States() const {
    std::map<std::string, ControlState> s;
    for (const char* edit : {"taskProfile", "archiveName", "archiveDest", "extCmdLine", "selFiles", "sfvFile", "CDArchiveName"})
        s[edit] = {true, false};
    for (const char* off : {"loadTaskProfile", "archiveSelect", "decompDir", "extCmdLoad", "selFileButton", "sfvSelect",
                            "storeSelFileBox", "storeOutFileBox", "createSFVRar", "volNone", "vol15", "vol20", "vol50",
                            "compressBar", "deleteTask"})
        s[off] = {false, false};
    auto on = [&s](std::initializer_list<const char*> names) {
        for (const char* n : names) s[n].enabled = true;
    };
    auto editable = [&s](const char* n) { s[n] = {true, true}; };
    const bool selected = sourceChoice == 0;
    switch (type) {
        case kLoadTaskRadio:
            editable("taskProfile");
            on({"loadTaskProfile"});
            break;
        case kUnarchiveRadio:
            editable("archiveName");
            editable("archiveDest");
            on({"archiveSelect", "decompDir", "deleteTask"});
            break;
        case kExecuteRadio:
            editable("extCmdLine");
            on({"extCmdLoad"});
            break;
        case kArchiveRadio:
            on({"archiveSelect", "storeSelFileBox", "storeOutFileBox", "createSFVRar", "volNone", "vol15", "vol20",
                "vol50", "compressBar"});
            if (imgNone_) editable("archiveName");
            if (selected) {
                editable("selFiles");
                on({"selFileButton"});
            }
            if (cdFolders()) {
                s["sfvFile"] = {false, false};
                s["archiveSelect"].enabled = false;
                s["archiveName"].editable = false;
                editable("CDArchiveName");
            } else if (createSfvRar) {
                editable("sfvFile");
                on({"sfvSelect"});
            }
            break;
        default:  // the SFV types: the SFV file comes from its picker
            on({"sfvSelect", "storeSelFileBox", "storeOutFileBox"});
            if (selected) {
                editable("selFiles");
                on({"selFileButton"});
            }
            break;
    }
    return s;
}

std::string QuoteProgramForShell(const std::string& path) {
    if (path.find_first_of("$`\\\"") == std::string::npos) return Quoted(path);
    std::string out = "'";
    for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
