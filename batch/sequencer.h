// The batch sequencer: runs the task list top to bottom. Archive, command,
// SFV and delete tasks run here; a task project is handed to the main window,
// whose job answers with its result code. Children and SFV runs are waited
// for off the GUI thread and their ends come back as events, so the windows
// stay responsive and a stop works during any task.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_list.h"
#include "core/language_set.h"
#include "platform/controls.h"
#include "platform/process.h"
#include "platform/registry.h"

// The main window as the sequencer sees it.
class BatchHost {
public:
    virtual ~BatchHost() = default;
    virtual void SetTaskRunning(uint8_t on) = 0;  // batchActive
    virtual void SetJobRunning(uint8_t on) = 0;   // 0 asks the running job to stop
    virtual void ResetPage(int pageMode) = 0;
    virtual int pageMode() const = 0;
    // The previous job's output files, each as "name" and a blank.
    virtual std::string generatedFiles() const = 0;
    virtual void setGeneratedFiles(const std::string& files) = 0;
    virtual void ShowFirstPage() = 0;
    // Both answer through TBatchSequencer::returnThreadSignalChange.
    virtual void StartInitialiseRun() = 0;
    virtual void StartTaskProject(const std::string& path) = 0;
};

// An SFV check or creation run off the caller's thread.
class SfvRunner {
public:
    using EndHandler = std::function<void(bool ok, const std::string& outputText)>;
    virtual ~SfvRunner() = default;
    // The end is posted exactly once, also after stop().
    virtual void start(bool create, const std::string& parameters, int row, EndHandler onEnd) = 0;
    // Stops between two blocks.
    virtual void stop() = 0;
};

enum class SequencerState { Idle, Initialising, RunningTasks, WaitingForJob, WaitingForChild, StopRequested };

struct SequencerServices {
    BatchList* list = nullptr;
    BatchHost* host = nullptr;
    platform::Process* process = nullptr;
    SfvRunner* sfv = nullptr;
    platform::Registry* registry = nullptr;
    platform::ListBox* log = nullptr;
    std::shared_ptr<const TLanguageSet> texts;  // built-in English when empty
    int16_t* promptFlags = nullptr;             // TConfig's prompt flags word
    std::string tempDirectory;                  // children's error output goes there
    // The PATH list the archiver is looked for in when none is stored.
    std::function<std::string()> searchPath;
};

class TBatchSequencer {
public:
    explicit TBatchSequencer(SequencerServices services);

    // The runTask button: start when idle, otherwise stop what runs.
    void runTaskClick();
    // A job's end, as its result code (0 success); dropped unless the
    // sequencer waits for a job.
    void returnThreadSignalChange(int result);

    SequencerState state() const { return state_; }
    bool running() const { return state_ != SequencerState::Idle; }
    bool stopRequested() const { return state_ == SequencerState::StopRequested; }
    int currentRow() const { return currentRow_; }  // 0 when idle

    // Chaining for the main window.
    void SetOutputKind(int pageMode, int methodIndex);
    int nextInputKind() const { return nextInputKind_; }
    void FindGeneratedFile(const std::string& directory);
    static void DeleteRarVolumes(const std::string& base);
    const std::string& GetGeneratedFile() const { return generatedFile_; }
    void SetGeneratedFile(const std::string& file) { generatedFile_ = file; }
    uint8_t GetDecompressing() const { return decompressing_; }
    void SetDecompressing(uint8_t on) { decompressing_ = on; }
    const std::string& lastArchive() const { return lastArchive_; }
    // A task project that leaves its input open takes what the previous
    // task left: after a decompression, the first file of the project's
    // input kind in the folder (output: projectOutput's folder and that
    // file's name with ".mpg"); after a job, the first file it wrote, or the
    // output name it was given. Logs the file taken. False when there is
    // none (a failed task leaves none): the project must fail.
    bool TakeChainedInput(const std::string& projectOutput, std::string& input, std::string& output);
    // The running task project's output, for the next task; the pending
    // decompression is taken.
    void NoteTaskOutput(const std::string& output);
    // The running task's choices (4 stop, 5 continue; 6 yes, 7 no), kept
    // apart from the record the task dialog edits.
    const int16_t* OnErrorPtr() const { return &onError_; }
    const int16_t* OnQueryPtr() const { return &onQuery_; }

    void LoadArchiverSettings();
    const std::string& archiverPath() const { return archiverPath_; }
    const std::string& archiverParam() const { return archiverParam_; }
    const std::string& compressParam() const { return compressParam_; }

    // Runs a child for row r; its end marks the row and goes on to then.
    void RunAndWait(const std::vector<std::string>& argv, int r, std::function<int(const platform::ProcessEnd&)> then);

    // Called after every change of state (the window follows with its caption).
    std::function<void()> stateChanged;

private:
    const TLanguageSet& texts() const;
    std::string runningText() const;
    void Log(const std::string& line);
    void SetState(SequencerState s);
    void RunFrom(int row);
    // -1: the task goes on in an event; else its result.
    int StartTask(int row, bool& bypassed);
    // Marks the row; false when the batch ends there.
    bool Judge(int row, int result, bool bypassed);
    void GoIdle();
    // The prompt flags' batch bits, with the answer of onQuery_.
    void SetBatchPromptFlags();
    std::string Archiver();
    bool ExpandPrevious(std::string& params);
    int DecompressTask(int row, const std::string& params);
    int CompressTask(int row, std::string params);
    int SfvTask(int row, bool create, std::string params);
    int CommandTask(int row, const std::string& params);
    int DeleteTask(bool& bypassed);
    // A row the sequencer cannot run: logged under the failure word.
    int CannotRun(const std::string& why);

    SequencerServices services_;
    SequencerState state_ = SequencerState::Idle;
    int currentRow_ = 0;
    int nextInputKind_ = 0;
    int projectPageMode_ = 0, projectMethod_ = 0;
    int16_t onError_ = kStopBatch, onQuery_ = kQueryYes;
    bool initialising_ = false;
    bool waitingJob_ = false;  // a job's result is awaited
    bool sfvRunning_ = false;
    uint8_t decompressing_ = 0;
    std::string generatedFile_, lastArchive_;
    std::string archiverPath_, archiverParam_, compressParam_;
};
