#include "batch/sequencer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "batch/command_line.h"
#include "core/constants.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "engine/methods.h"

namespace {

constexpr int16_t kBatchBitsKept = 0x1FFF;
constexpr int16_t kBatchRuns = static_cast<int16_t>(0x8000);
constexpr int16_t kBatchAnswersYes = 0x4000;

int ResultOf(const platform::ProcessEnd& end) {
    if (end.succeeded()) return 0;
    if (!end.started) return 1;
    if (end.signal != 0) return 128 + end.signal;
    return end.exitStatus != 0 ? end.exitStatus : 1;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Every name of a parameter text read as a stored name, each keeping its
// quotes; a closing "<->" stays where it is.
std::string FromStoredParameters(const std::string& params, bool firstMade, bool restMade) {
    const bool previous = params.size() >= 3 && params.compare(params.size() - 3, 3, "<->") == 0;
    const std::string text = previous ? params.substr(0, params.size() - 3) : params;
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = ParameterTokenEnd(text, at);
        const std::string piece = text.substr(at, end - at);
        const std::string name = StripQuotes(piece);
        const std::string read = StoredName(name, out.empty() ? firstMade : restMade);
        if (read == name)
            out += piece;
        else
            out += piece.size() >= 2 && piece.front() == '"' && piece.back() == '"' ? "\"" + read + "\"" : read;
        if (end < text.size()) out += ' ';
        at = end + 1;
    }
    return previous ? out + "<->" : out;
}

std::string Joined(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool EndsWithPrevious(const std::string& params) {
    return params.size() >= 3 && params.compare(params.size() - 3, 3, "<->") == 0;
}

}  // namespace

TBatchSequencer::TBatchSequencer(SequencerServices services) : services_(std::move(services)) {}

const TLanguageSet& TBatchSequencer::texts() const {
    static const TLanguageSet builtIn;
    return services_.texts ? *services_.texts : builtIn;
}

std::string TBatchSequencer::runningText() const { return texts().core(msg::core::kRunning) + "..."; }

void TBatchSequencer::Log(const std::string& line) {
    if (services_.log) {
        services_.log->add(line);
        services_.log->scrollToEnd();
    }
}

void TBatchSequencer::SetState(SequencerState s) {
    state_ = s;
    if (stateChanged) stateChanged();
}

void TBatchSequencer::LoadArchiverSettings() {
    archiverPath_.clear();
    archiverParam_ = "x -v -y";
    compressParam_ = "a";
    platform::Registry* reg = services_.registry;
    if (!reg || !reg->openKey("\\Software\\Pellmor", false)) return;
    if (auto v = reg->readString("RARArchiverLocation")) archiverPath_ = *v;
    if (auto v = reg->readString("RARArchiverParam")) archiverParam_ = *v;
    if (auto v = reg->readString("RARCompressParam")) compressParam_ = *v;
    reg->closeKey();
}

std::string TBatchSequencer::Archiver() {
    std::string path;
    if (services_.searchPath) {
        path = services_.searchPath();
    } else if (const char* env = std::getenv("PATH")) {
        path = env;
    }
    return FindArchiver(archiverPath_, path);
}

void TBatchSequencer::runTaskClick() {
    switch (state_) {
        case SequencerState::Idle:
            break;
        case SequencerState::Initialising:
        case SequencerState::WaitingForJob:
            SetState(SequencerState::StopRequested);
            services_.host->SetJobRunning(0);
            return;
        case SequencerState::WaitingForChild:
            SetState(SequencerState::StopRequested);
            if (sfvRunning_ && services_.sfv)
                services_.sfv->stop();
            else if (services_.process)
                services_.process->terminate();
            return;
        case SequencerState::RunningTasks:
            SetState(SequencerState::StopRequested);
            return;
        case SequencerState::StopRequested:
            return;
    }
    if (services_.list->taskCount() == 0) return;
    LoadArchiverSettings();
    services_.list->setLocked(true);
    currentRow_ = 1;
    initialising_ = true;
    waitingJob_ = true;
    // The initialise run is a batch job too: no box, and its end reaches
    // the batch. It answers as the first task would.
    BatchList::ParseTaskOptions(services_.list->cell(1, 3), &onError_, &onQuery_);
    SetBatchPromptFlags();
    SetState(SequencerState::Initialising);
    services_.host->SetTaskRunning(1);
    services_.host->StartInitialiseRun();
}

void TBatchSequencer::returnThreadSignalChange(int result) {
    // A job started by hand, or one that ends after the batch, is not ours.
    if (!waitingJob_) return;
    waitingJob_ = false;
    if (initialising_) {
        initialising_ = false;
        if (state_ == SequencerState::StopRequested) {
            GoIdle();  // no task has run: none is marked
        } else if (result != 0) {
            services_.list->setStatus(1, texts().core(msg::core::kFailed));
            GoIdle();
        } else {
            services_.host->ShowFirstPage();
            Log("");
            RunFrom(1);
        }
        return;
    }
    // A job's first output is what a chained project reads; a failed job
    // leaves nothing to read.
    if (result != 0) {
        generatedFile_.clear();
    } else {
        const std::vector<std::string> files = SplitParameterText(services_.host->generatedFiles());
        if (!files.empty()) generatedFile_ = files.front();
    }
    const int row = currentRow_;
    if (Judge(row, result, false)) RunFrom(row + 1);
}

void TBatchSequencer::RunFrom(int row) {
    SetState(SequencerState::RunningTasks);
    BatchList& list = *services_.list;
    for (; row <= list.taskCount(); ++row) {
        services_.host->ResetPage(services_.host->pageMode());
        Log("-- Task #" + std::to_string(row) + " " + std::string(43, '-'));
        Log(kLogIndent + runningText());
        Log("");
        currentRow_ = row;
        list.setStatus(row, runningText());
        // Every task answers questions by its own choice and shows no box.
        BatchList::ParseTaskOptions(list.cell(row, 3), &onError_, &onQuery_);
        SetBatchPromptFlags();
        bool bypassed = false;
        const int result = StartTask(row, bypassed);
        if (result < 0) return;  // goes on when its end arrives
        if (!Judge(row, result, bypassed)) return;
    }
    GoIdle();
}

void TBatchSequencer::SetBatchPromptFlags() {
    if (!services_.promptFlags) return;
    int16_t flags = static_cast<int16_t>(*services_.promptFlags & kBatchBitsKept);
    flags = static_cast<int16_t>(flags | kBatchRuns);
    if (onQuery_ == kQueryYes) flags = static_cast<int16_t>(flags | kBatchAnswersYes);
    *services_.promptFlags = flags;
}

bool TBatchSequencer::Judge(int row, int result, bool bypassed) {
    BatchList& list = *services_.list;
    const bool stop = state_ == SequencerState::StopRequested;
    if (result != 0) {
        list.setStatus(row, texts().core(msg::core::kFailed));
        if (onError_ == kStopBatch || stop) {
            GoIdle();
            return false;
        }
    } else {
        list.setStatus(row, texts().core(bypassed ? msg::core::kBypassed : msg::core::kCompleted));
        if (stop) {
            GoIdle();
            return false;
        }
    }
    return true;
}

void TBatchSequencer::GoIdle() {
    currentRow_ = 0;
    initialising_ = false;
    waitingJob_ = false;
    sfvRunning_ = false;
    if (services_.promptFlags) *services_.promptFlags = static_cast<int16_t>(*services_.promptFlags & kBatchBitsKept);
    services_.list->setLocked(false);
    SetState(SequencerState::Idle);
    services_.host->SetTaskRunning(0);
}

int TBatchSequencer::StartTask(int row, bool& bypassed) {
    BatchList& list = *services_.list;
    // A list file may name a task this program does not know: it fails,
    // and is never taken for a command line.
    if (!IsTaskTypeText(list.cell(row, 1))) return CannotRun("\"" + list.cell(row, 1) + "\" is no task type");
    uint8_t deleteArchive = 0;
    const int16_t type = TaskTypeOf(list.cell(row, 1), &deleteArchive);
    const std::string& params = list.cell(row, 4);
    switch (type) {
        case kLoadProjectTask:
            waitingJob_ = true;
            SetState(SequencerState::WaitingForJob);
            services_.host->StartTaskProject(StoredName(params, false));
            return -1;
        case kCompressTask:
            return CompressTask(row, FromStoredParameters(params, true, false));
        case kDecompressTask:
            return deleteArchive ? DeleteTask(bypassed) : DecompressTask(row, params);
        case kVerifySfvTask:
        case kCreateSfvTask: {
            const bool create = type == kCreateSfvTask;
            return SfvTask(row, create, FromStoredParameters(params, create, create));
        }
        default:
            return CommandTask(row, params);
    }
}

bool TBatchSequencer::ExpandPrevious(std::string& params) {
    if (!EndsWithPrevious(params)) return true;
    const std::string files = services_.host->generatedFiles();
    if (files.empty()) {
        Log(kLogIndent + texts().message(msg::error::kNoPreviousOutput));
        Log("");
        return false;
    }
    params = params.substr(0, params.size() - 3) + " " + files;
    return true;
}

int TBatchSequencer::DecompressTask(int row, const std::string& params) {
    // Nothing is deleted after a decompression that did not succeed.
    lastArchive_.clear();
    decompressing_ = 0;
    generatedFile_.clear();
    std::string archive, directory;
    const size_t sep = params.rfind("\" \"");
    if (sep != std::string::npos && sep >= 1) {
        archive = StoredName(params.substr(1, sep - 1), false);
        directory = params.substr(sep + 3);
        if (!directory.empty()) directory.pop_back();
        directory = StoredName(directory, false);
    }
    if (!IsRegularFile(archive)) {
        Log(texts().message(msg::error::kNoRarFile));
        Log("");
        return result::kTaskFailed;
    }
    const std::string archiver = Archiver();
    if (archiver.empty()) {
        Log(kLogIndent + texts().message(msg::error::kNoDecompressor));
        Log("");
        return msg::error::kNoDecompressor;
    }
    RunAndWait(DecompressArgv(archiver, archiverParam_, archive, directory), row,
               [this, archive, directory](const platform::ProcessEnd& end) {
                   const int result = ResultOf(end);
                   if (result == 0) {
                       decompressing_ = 1;
                       generatedFile_ = directory;
                       lastArchive_ = archive;
                   }
                   return result;
               });
    return -1;
}

int TBatchSequencer::CompressTask(int row, std::string params) {
    const std::string& options = services_.list->cell(row, 5);
    if (!options.empty() && !ParseArchiveOptions(options, nullptr, nullptr, nullptr))
        return CannotRun("archive options \"" + options + "\" cannot be used");
    if (!ExpandPrevious(params)) return result::kTaskFailed;
    const std::string archiver = Archiver();
    if (archiver.empty()) {
        Log(kLogIndent + texts().message(msg::error::kNoDecompressor));
        Log("");
        return msg::error::kNoDecompressor;
    }
    if (!CanCreateRar(archiver)) {
        Log(Upper(texts().core(msg::core::kFailed)) + ":");
        Log(std::string(kLogIndent) + "RAR archives can only be created with rar; " + archiver + " cannot.");
        Log("");
        return 1;
    }
    RunAndWait(CompressArgv(archiver, compressParam_, services_.list->cell(row, 5), SplitParameterText(params)), row,
               ResultOf);
    return -1;
}

int TBatchSequencer::SfvTask(int row, bool create, std::string params) {
    if (!ExpandPrevious(params)) return result::kTaskFailed;
    if (!services_.sfv) return result::kFailed;
    sfvRunning_ = true;
    SetState(SequencerState::WaitingForChild);
    services_.sfv->start(create, params, row, [this, row](bool ok, const std::string& outputText) {
        sfvRunning_ = false;
        services_.host->setGeneratedFiles(outputText);
        if (Judge(row, ok ? result::kOk : result::kFailed, false)) RunFrom(row + 1);
    });
    return -1;
}

int TBatchSequencer::CommandTask(int row, const std::string& params) {
    const BuiltinCommand builtin = RecogniseBuiltin(params);
    if (builtin.kind != BuiltinCommand::kNone) {
        const std::string error = RunBuiltin(builtin);
        if (error.empty()) return 0;
        Log(Upper(texts().core(msg::core::kFailed)) + ":");
        Log(kLogIndent + builtin.folder + ": " + error);
        Log("");
        return 1;
    }
    RunAndWait(platform::ShellCommand(params), row, [this](const platform::ProcessEnd& end) {
        const int result = ResultOf(end);
        if (result != 0 && !end.errorOutput.empty()) {
            Log(Upper(texts().core(msg::core::kFailed)) + ":");
            size_t begin = 0;
            const std::string& text = end.errorOutput;
            while (begin < text.size()) {
                size_t eol = text.find('\n', begin);
                if (eol == std::string::npos) eol = text.size();
                // Long lines go in pieces of 254 characters, as they always did.
                for (size_t at = begin; at < eol; at += 254) Log(text.substr(at, std::min<size_t>(254, eol - at)));
                if (eol == begin) Log("");
                begin = eol + 1;
            }
            Log("");
        }
        return result;
    });
    return -1;
}

int TBatchSequencer::CannotRun(const std::string& why) {
    Log(Upper(texts().core(msg::core::kFailed)) + ":");
    Log(kLogIndent + why);
    Log("");
    return result::kTaskFailed;
}

int TBatchSequencer::DeleteTask(bool& bypassed) {
    if (lastArchive_.empty()) {
        bypassed = true;
        return 0;
    }
    const std::string archive = lastArchive_;
    lastArchive_.clear();
    if (::unlink(archive.c_str()) != 0) {
        Log(Upper(texts().core(msg::core::kFailed)) + ":");
        Log(kLogIndent + archive);
        Log("");
        return 1;
    }
    DeleteRarVolumes(WithoutExtension(archive));
    return 0;
}

void TBatchSequencer::RunAndWait(const std::vector<std::string>& argv, int r,
                                 std::function<int(const platform::ProcessEnd&)> then) {
    SetState(SequencerState::WaitingForChild);
    auto onEnd = [this, r, then = std::move(then)](const platform::ProcessEnd& end) {
        if (!end.started) {
            // Nothing ran: say why, as a failed command's lines would.
            Log(Upper(texts().core(msg::core::kFailed)) + ":");
            Log(kLogIndent + (end.errorOutput.empty() ? std::string("cannot run the program") : end.errorOutput));
            Log("");
        }
        const int result = then(end);
        if (Judge(r, result, false)) RunFrom(r + 1);
    };
    if (!services_.process || !services_.process->start(argv, services_.tempDirectory, onEnd)) {
        platform::ProcessEnd failed;
        onEnd(failed);
    }
}

void TBatchSequencer::SetOutputKind(int pageMode, int methodIndex) {
    projectPageMode_ = pageMode;
    projectMethod_ = methodIndex;
    // The archives have no kind of their own: the previous one stays.
    if (const int kind = PageMethod(pageMode, methodIndex).inputKind; kind != kNoKind) nextInputKind_ = kind;
}

void TBatchSequencer::FindGeneratedFile(const std::string& directory) {
    if (nextInputKind_ < 1 || nextInputKind_ > static_cast<int>(ImageExtensions.size())) return;
    const std::string wanted(ImageExtensions[static_cast<size_t>(nextInputKind_ - 1)]);
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(directory, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && lower(ExtensionOf(name)) == wanted) names.push_back(name);
    }
    if (names.empty()) return;
    std::sort(names.begin(), names.end());
    generatedFile_ = Joined(directory, names.front());
}

bool TBatchSequencer::TakeChainedInput(const std::string& projectOutput, std::string& input, std::string& output) {
    input.clear();
    output = projectOutput;
    if (decompressing_) {
        const std::string folder = generatedFile_;
        generatedFile_.clear();
        FindGeneratedFile(folder);
        if (!generatedFile_.empty()) {
            const std::string stem = WithoutExtension(ExtractName(generatedFile_)) + ".mpg";
            // The project names the folder to write into.
            const char last = projectOutput.empty() ? '/' : projectOutput.back();
            if (last == '/' || last == '\\') output = projectOutput + stem;
        }
    }
    if (generatedFile_.empty() || !IsRegularFile(generatedFile_)) {
        Log(std::string(kLogIndent) + "[ no output of the previous task to take ]");
        Log("");
        return false;
    }
    input = generatedFile_;
    Log(std::string(kLogIndent) + "[ previous task output ] " + input);
    return true;
}

void TBatchSequencer::NoteTaskOutput(const std::string& output) {
    decompressing_ = 0;
    generatedFile_ = output;
}

void TBatchSequencer::DeleteRarVolumes(const std::string& base) {
    for (int n = 0; n <= 99; ++n) {
        const std::string name = base + ".r" + IntToZeroPadded(n, 2);
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) return;
        ::unlink(name.c_str());
    }
}
