#include "batch/batch_list.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "batch/command_line.h"

namespace {

constexpr std::string_view kStopText = "Stop Batch", kContinueText = "Continue Batch";
constexpr std::string_view kYesText = "Query YES", kNoText = "Query NO";

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int16_t TaskTypeOf(const std::string& text, uint8_t* deleteArchive) {
    if (deleteArchive) *deleteArchive = text == kTaskTypeTexts[6] ? 1 : 0;
    for (int16_t t = 0; t < 6; ++t)
        if (text == kTaskTypeTexts[static_cast<size_t>(t)]) return t;
    if (text == kTaskTypeTexts[6]) return kDecompressTask;
    return kCommandTask;
}

bool IsTaskTypeText(const std::string& text) {
    return std::find(kTaskTypeTexts.begin(), kTaskTypeTexts.end(), text) != kTaskTypeTexts.end();
}

std::string TaskTypeText(int16_t type, uint8_t deleteArchive) {
    if (type == kDecompressTask && deleteArchive) return std::string(kTaskTypeTexts[6]);
    if (type < 0 || type > 5) return {};
    return std::string(kTaskTypeTexts[static_cast<size_t>(type)]);
}

std::string TaskOptionsText(int16_t onError, int16_t onQuery) {
    return std::string(onError == kStopBatch ? kStopText : kContinueText) + " / " +
           std::string(onQuery == kQueryYes ? kYesText : kNoText);
}

int ScanArchiveOptions(const std::string& text, int* volume, int* level, int* deleteFlag) {
    int* const out[3] = {volume, level, deleteFlag};
    size_t at = 0;
    int read = 0;
    for (; read < 3; ++read) {
        if (read > 0) {
            if (at >= text.size() || text[at] != '/') break;
            ++at;
        }
        // As %d: blanks, a sign, then at least one digit.
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        bool negative = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
        if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) break;
        int64_t v = 0;
        for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
            v = std::min<int64_t>(v * 10 + (text[at] - '0'), int64_t{1} << 32);
        v = std::clamp<int64_t>(negative ? -v : v, INT32_MIN, INT32_MAX);
        if (out[read]) *out[read] = static_cast<int>(v);
    }
    return read;
}

bool ParseArchiveOptions(const std::string& text, int* volume, int* level, int* deleteFlag) {
    int v = 0, l = 0, x = 0;
    if (ScanArchiveOptions(text, &v, &l, &x) != 3 || v < 0 || v > 3 || l < 0 || l > 5) return false;
    if (volume) *volume = v;
    if (level) *level = l;
    if (deleteFlag) *deleteFlag = x != 0 ? 1 : 0;
    return true;
}

void BatchList::setStatus(int r, const std::string& text) {
    if (!validRow(r)) return;
    rows_[static_cast<size_t>(r - 1)][2] = text;
    Notify(r);
}

void BatchList::WriteTaskRow(int r) {
    if (!validRow(r)) return;
    TaskRow& row = rows_[static_cast<size_t>(r - 1)];
    if (task.type >= 0 && task.type <= 5) row[1] = TaskTypeText(task.type, task.deleteArchive);
    row[3] = TaskOptionsText(task.onError, task.onQuery);
    row[4] = task.params;
    // Only compress rows carry archive options; a row edited into another
    // type must not keep them (the list file would be refused).
    const bool options = task.type == kCompressTask && task.volumeSize != kNoArchiveOptions;
    row[5] = options ? std::to_string(task.volumeSize) + "/" + std::to_string(task.compression) + "/" +
                           std::to_string(task.deleteAfterArchiving)
                     : std::string();
    Notify(r);
}

void BatchList::ParseTaskOptions(const std::string& text, int16_t* onError, int16_t* onQuery) {
    const size_t slash = text.rfind('/');
    bool stop = false, yes = false;
    if (slash != std::string::npos) {
        stop = slash >= 1 && text.compare(0, slash - 1, kStopText) == 0 && slash - 1 == kStopText.size();
        yes = slash + 2 <= text.size() && text.substr(slash + 2) == kYesText;
    }
    *onError = stop ? kStopBatch : kContinueBatch;
    *onQuery = yes ? kQueryYes : kQueryNo;
}

void BatchList::ParseTaskOptions(int r) {
    if (validRow(r)) ParseTaskOptions(cell(r, 3), &task.onError, &task.onQuery);
}

bool BatchList::ReadTaskRow(int r) {
    if (!validRow(r) || cell(r, 0).empty()) return false;
    task.number = static_cast<int16_t>(r);
    task.type = TaskTypeOf(cell(r, 1), &task.deleteArchive);
    ParseTaskOptions(r);
    task.params = cell(r, 4);
    // Whatever the numbers say (the dialog shows what it can of them, and
    // values off its range stay off it); none read leaves no options of an
    // earlier task behind.
    int v = 0, l = 0, x = 0;
    ScanArchiveOptions(cell(r, 5), &v, &l, &x);
    task.volumeSize = static_cast<int16_t>(std::clamp(v, -1, 4));
    task.compression = static_cast<int16_t>(std::clamp(l, -1, 6));
    task.deleteAfterArchiving = x != 0 ? 1 : 0;
    if (task.type == kCompressTask && cell(r, 5).empty()) task.volumeSize = task.compression = kNoArchiveOptions;
    task.selectedFiles.clear();
    // Only the types that take files read "<->" as the previous output; to
    // a command or a project path it is part of the text.
    const bool takesFiles = task.type == kCompressTask || task.type == kVerifySfvTask || task.type == kCreateSfvTask;
    if (takesFiles && EndsWith(task.params, "<->")) {
        task.params.resize(task.params.size() - 3);
        task.fromSelectedFiles = 0;
    } else if (takesFiles) {
        // The first token may be a quoted name with blanks in it.
        const size_t end = ParameterTokenEnd(task.params, 0);
        if (end < task.params.size()) {
            task.selectedFiles = task.params.substr(end + 1);
            task.params.resize(end);
        }
        task.fromSelectedFiles = 1;
    }
    return true;
}

bool BatchList::UpdateRow(int r) {
    if (locked_ || !validRow(r)) return false;
    WriteTaskRow(r);
    return true;
}

int BatchList::AppendRow() {
    rows_.push_back({});
    const int r = taskCount();
    rows_.back()[0] = std::to_string(r);
    return r;
}

void BatchList::EmitRows(const CdFolderSource& cd) {
    const uint8_t deleteAfter = task.type == kDecompressTask ? task.deleteArchive : 0;
    if (!task.inCdFolders) {
        task.deleteArchive = 0;
        task.number = static_cast<int16_t>(AppendRow());
        WriteTaskRow(task.number);
    }
    if (task.type == kCompressTask && task.inCdFolders) {
        if (cd.buildListRows > 0) {
            const std::string base = task.params;
            for (int j = 1; j <= cd.imageCount; ++j) {
                const std::string folder = cd.outputDir + "CD" + std::to_string(j) + "/";
                const std::string n = std::to_string(j);
                task.type = kCompressTask;
                task.params = Quoted(folder + base + n + ".rar") + " " + Quoted(folder + "*.*");
                task.number = static_cast<int16_t>(AppendRow());
                WriteTaskRow(task.number);
                if (task.sfvForRar) {
                    task.type = kCreateSfvTask;
                    task.params = Quoted(folder + task.sfvName + n + ".sfv") + " " +
                                  Quoted(folder + task.volumeMask + n + ".r??");
                    task.number = static_cast<int16_t>(AppendRow());
                    WriteTaskRow(task.number);
                }
            }
            task.type = kCompressTask;
            task.params = base;
        }
    } else if (task.type == kCompressTask && task.sfvForRar) {
        const TBatchTask kept = task;
        task.type = kCreateSfvTask;
        task.params = Quoted(task.sfvName) + " " + Quoted(task.volumeMask);
        task.onError = kStopBatch;
        task.onQuery = kQueryYes;
        task.number = static_cast<int16_t>(AppendRow());
        WriteTaskRow(task.number);
        const int16_t number = task.number;
        task = kept;
        task.number = number;
    }
    if (deleteAfter) {
        const std::string params = task.params;
        task.deleteArchive = 1;
        task.params.clear();
        task.number = static_cast<int16_t>(AppendRow());
        WriteTaskRow(task.number);
        task.params = params;
    }
    task.deleteArchive = deleteAfter;
}

int BatchList::AddTaskFromRecord(const CdFolderSource& cd) {
    const int before = taskCount();
    const std::string all = task.params;
    const std::string destination = " " + Quoted(task.destination);
    if (all.find("<+>") == std::string::npos) {
        EmitRows(cd);
    } else {
        size_t start = 0;
        for (;;) {
            const size_t at = all.find("<+>", start);
            std::string piece;
            if (at != std::string::npos) {
                piece = all.substr(start, at - start);
            } else {
                // The last archive ends at its closing quote, before the
                // destination the dialog appended.
                piece = all.substr(start);
                const size_t sep = piece.find("\" \"");
                if (sep != std::string::npos) piece.resize(sep + 1);
            }
            task.params = piece + destination;
            EmitRows(cd);
            if (at == std::string::npos) break;
            start = at + 3;
        }
        task.params = all;
    }
    const int added = taskCount() - before;
    if (added > 0) Notify(before + 1);
    return added;
}

void BatchList::AddLoadProjectTask(const std::string& path) {
    task.onError = kStopBatch;
    task.onQuery = kQueryYes;
    task.type = kLoadProjectTask;
    task.deleteArchive = 0;
    task.params = path;
    task.number = static_cast<int16_t>(AppendRow());
    WriteTaskRow(task.number);
}

bool BatchList::AddSfvTask(const std::string& first, const std::string& second) {
    if (!QuotableName(first) || !QuotableName(second) || first.empty()) return false;
    task.onError = kStopBatch;
    task.onQuery = kQueryYes;
    task.type = kVerifySfvTask;
    task.deleteArchive = 0;
    task.params = Quoted(first) + (second.empty() ? std::string() : " " + Quoted(second));
    task.number = static_cast<int16_t>(AppendRow());
    WriteTaskRow(task.number);
    return true;
}

bool BatchList::AddDecompressTask(const std::string& archive, const std::string& directory) {
    if (!QuotableName(archive) || !QuotableName(directory) || archive.empty()) return false;
    task.onError = kStopBatch;
    task.onQuery = kQueryYes;
    task.type = kDecompressTask;
    task.deleteArchive = 0;
    task.params = Quoted(archive) + " " + Quoted(directory);
    task.number = static_cast<int16_t>(AppendRow());
    WriteTaskRow(task.number);
    return true;
}

void BatchList::AddCommandTask(const std::string& commandLine) {
    task.onError = kStopBatch;
    task.onQuery = kQueryYes;
    task.type = kCommandTask;
    task.deleteArchive = 0;
    task.params = commandLine;
    task.number = static_cast<int16_t>(AppendRow());
    WriteTaskRow(task.number);
}

bool BatchList::Remove(int r) {
    if (locked_ || !validRow(r)) return false;
    rows_.erase(rows_.begin() + (r - 1));
    for (int i = r; i <= taskCount(); ++i) rows_[static_cast<size_t>(i - 1)][0] = std::to_string(i);
    Notify(r);
    return true;
}

int BatchList::MoveUp(int r) {
    if (locked_ || !validRow(r) || r < 2) return 0;
    for (size_t c = 1; c < 6; ++c) std::swap(rows_[static_cast<size_t>(r - 1)][c], rows_[static_cast<size_t>(r - 2)][c]);
    Notify(r - 1);
    return r - 1;
}

int BatchList::MoveDown(int r) {
    if (locked_ || !validRow(r) || r >= taskCount()) return 0;
    for (size_t c = 1; c < 6; ++c) std::swap(rows_[static_cast<size_t>(r - 1)][c], rows_[static_cast<size_t>(r)][c]);
    Notify(r);
    return r + 1;
}

bool BatchList::Clear() {
    if (locked_) return false;
    rows_.clear();
    Notify(0);
    return true;
}

bool BatchList::AppendStored(const std::vector<std::array<std::string, 4>>& tasks) {
    if (locked_) return false;
    const int first = taskCount() + 1;
    for (const auto& t : tasks) {
        const int r = AppendRow();
        TaskRow& row = rows_[static_cast<size_t>(r - 1)];
        row[1] = t[0];
        row[3] = t[1];
        row[4] = t[2];
        row[5] = t[3];
    }
    if (!tasks.empty()) Notify(first);
    return true;
}

std::vector<std::array<std::string, 4>> BatchList::Stored() const {
    std::vector<std::array<std::string, 4>> out;
    for (const TaskRow& row : rows_) out.push_back({row[1], row[3], row[4], row[5]});
    return out;
}
