// The main window: three pages (extraction, video-cd, logs), the header
// buttons with their pop-up lists, and the long-lived records of the run.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/language_set.h"
#include "core/records.h"
#include "disc/track_table.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/latched_registry.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "batch/handoff.h"
#include "engine/source_scan.h"
#include "engine/task_project.h"
#include "settings/registry_settings.h"
#include "app/page_controls.h"

class QTimer;
class WriteThread;
class QListWidget;
class QPushButton;
class QTabWidget;
class TVcdTrackList;
class TExtractionPage;
class TLogPage;
class TSampleCreateForm;
class TVideoCdPage;
class TForm3;
struct TJobOutcome;
class BatchHost;

namespace platform::qt {
class QtDialogs;
}

class TForm1 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = kProgramCaption;
    static constexpr const char* kApplicationTitle = "Pellmor v3.56";
    static constexpr int kMaxBuildTracks = 99;

    // What the window reaches the desktop through; a null entry gets the Qt
    // backend, an empty exeDir the program's directory.
    struct Services {
        platform::Registry* registry = nullptr;
        platform::Dialogs* dialogs = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        platform::Shell* shell = nullptr;
        std::string exeDir;  // with its trailing "/"
        // Bytes free for an output name (-1 unknown); the file system's
        // figure when not given.
        std::function<int64_t(const std::string&)> freeSpace;
        // Image capacity and margin of the build list in bytes (negative:
        // the program's own), so that tests span images with short clips.
        int64_t imageCapacity = -1;
        int64_t imageMargin = -1;
    };

    // The handles a running job writes to (filled into TJobControls and
    // TJobStart by the start button).
    struct Handles {
        std::unique_ptr<platform::Label> statusMsg, etaMsg, compLabel1, statusMsg2, etaMsg2, compLabel2;
        std::unique_ptr<platform::Label> FixLabel, SplitLabel, PaddingLabel, StatusIndicator;
        std::unique_ptr<platform::Label> totalErrWarnings, totalErrWarnings2;
        std::unique_ptr<platform::ProgressBar> ProgressBar, ProgressBar2;
        std::unique_ptr<platform::ListBox> TrackListBox, log;
        std::unique_ptr<platform::Button> startButton, startVCDButton, previewButton;
        std::unique_ptr<platform::CheckBox> toastCheckBox;
        std::unique_ptr<platform::Edit> batchSignal;
    };

    TForm1();
    explicit TForm1(Services services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Font and style of the whole program (start-up and the window tests).
    static void ApplyApplicationStyle();

    // Start and close, in the orders of the window's life.
    void FormCreate();
    void FormClose();

    // Pages.
    void pellmorButtonClick();
    void buildVCDButtonClick();
    void logButtonClick();
    // Header buttons and their lists.
    void taskButtonClick();
    void docButtonClick();
    void utilButtonClick();
    void optionsButtonClick();
    void aboutButtonClick();
    // The modal options window on a tab (0 General, 2 VideoCD), then the
    // settings and texts again.
    void ShowConfigurationForm(int tab);
    void taskBoxMouseMove(int x, int y);
    void docBoxMouseMove(int x, int y);
    void utilButtonMouseMove(int x, int y);
    void taskBoxClick();
    void docBoxClick();
    void utilBoxClick();
    // The options each page's method leaves usable.
    void GreyOptions();
    // "[x]": clears the current page without asking.
    void ClearButtonClick();
    // Files dropped on the window, in order.
    void WMDropFiles(const std::vector<std::string>& names);

    // Settings (mode 0 full, 1 before a job) and texts.
    void LoadSettings(int mode);
    void SaveSettings();
    void ApplyLanguageCaptions();
    void ApplyLanguageHints();

    // Clears a page after asking (no question while batchActive); 6 cleared,
    // 7 or 2 declined.
    int ResetPage(int page);
    void FreeScanObjects();
    void ClearAllFileFields();
    int BuildListRows() const;

    // The running job (app/main_window/job_run.cpp); the start button of
    // either job page starts it (TExtractionPage::startButtonClick).
    void SetJobRunning(uint8_t running);
    void SetTaskRunning(uint8_t active);
    // A worker started here has not been seen to end yet (it may be past
    // its running flag, finishing its last writes).
    bool WorkerBusy() const;

    // The running job, as the close needs it: has it ended, and a wait for
    // its thread. The start button sets it; a close stops the job, answers
    // every pending question Cancel and waits before it saves and frees.
    void SetRunningJob(std::function<bool()> finished, std::function<void()> join);
    // Also while a stopped worker is still ending: until then nothing it
    // reads may change.
    bool JobRunning() const;

    // Task projects (task_projects.cpp): 0 done (a cancelled save
    // too), 12 nothing written or loaded; failures are reported.
    int WriteTaskProject(const std::string& path);
    // read: the project as it was read, when it was.
    int ReadTaskProject(const std::string& path, TaskProject* read = nullptr);
    void loadTaskClick();
    void saveTaskClick();
    TaskProject TakeTaskProject();

    // The window's own sample clip editor (sampleCreateForm), which works on
    // the build list; made when first needed.
    TSampleCreateForm& OwnSampleEditor();
    bool HasOwnSampleEditor() const { return sampleCreateForm_ != nullptr; }

    // A temporary task project this run wrote; the close deletes it.
    void RegisterTempProject(const std::string& path);
    // A private decompression folder this run made; the close removes it
    // when it is empty.
    void RegisterTempFolder(const std::string& path);
    // The folder temporary projects and decompression folders go in.
    std::string TempFolder() const;
    // Where the hand-off writes its temporary projects: a folder of the
    // program's own under TempFolder().
    std::string TempProjectFolder() const;

    // The batch hand-off (app/main_window/batch_handoff.cpp): the batch
    // window made once and shown, "-->", and a task project the batch hands
    // over, read, chained, loaded and started (false: it did not start).
    void openBatchListClick();
    void transferJobButtonClick();
    bool RunBatchProject(const std::string& path);
    // The task that was handed over did not start: the batch hears "failed".
    void SendBatchFailed();
    // Stops a running batch and waits for what it runs to end.
    void StopBatch();
    bool BatchRuns() const;
    // The batch window, from the first openBatchListClick to the end of the run.
    TForm3* BatchForm = nullptr;
    // Called by JobEnded with a batch job's result code (0 success) once
    // its worker has gone; the next job may start from here. A job is a batch
    // task only while this is set (and batchActive and the batch prompt bit).
    std::function<void(int result)> onJobEnded;

    // Whether the window means a control to be usable; a batch run keeps
    // some disabled whatever this says.
    bool WantsEnabled(const QWidget* control) const;

    // Services and handles.
    platform::Dialogs& dialogs() { return *dialogs_; }
    platform::FileDialogs& fileDialogs() { return *fileDialogs_; }
    platform::Shell& shell() { return *shell_; }
    // The registry every window shares, with the latch of an Uninstall.
    platform::LatchedRegistry& registry() { return *registry_; }
    const Handles& handles() const { return handles_; }
    // Reports through the message reporter into the log page, with the
    // window's texts, counters and boxes and the options' prompt flags.
    int Report(int kind, int index, const std::string& text);

    // Records of the run (made in FormCreate, freed with the window).
    std::unique_ptr<TJob> MainJob;
    std::unique_ptr<TConfig> MainConfig;
    std::unique_ptr<TRunState> runStateOwned;
    TRunState* runState = nullptr;
    TTrackTable* trackTable = nullptr;  // owned by MainJob
    std::unique_ptr<TStats> stats;
    std::shared_ptr<TLanguageSet> languageSet;
    TMpegFileList* mpegList = nullptr;    // the build list issue makes it
    TVcdTrackList* vcdTrackList = nullptr;  // ditto
    TFileIO* inputFile = nullptr;         // while a disc image is scanned
    platform::FileDialogState OpenDialog, SaveDialog;

    int32_t methodIndex = 0;
    uint8_t batchListOpen = 0;
    uint8_t skipSaveSettings = 0;
    int32_t previewIndex = 0;
    std::atomic<uint8_t> batchActive{0};
    int32_t pageMode = 0;
    std::string generatedFiles;  // "\"path\" " per output of the last job
    // The sample clip a task project holds, as stored, and its file name.
    std::array<uint8_t, kTaskProjectClipBytes> sampleClipBytes{};
    std::string sampleClipName;
    std::string exeDir;
    // Lengths of the tracks of a loaded bin, cif or nrg image (track k at
    // k - 1), for the free-space estimate.
    std::vector<int64_t> imageTrackLengths;

    // The pages, each with its controls and handlers (made with the window).
    TExtractionPage* extractionPage = nullptr;
    TVideoCdPage* videoCdPage = nullptr;
    TLogPage* logPage = nullptr;

    // Header controls (object names as the window definition names them).
    QLabel* headerImage = nullptr;
    QPushButton *pellmorButton = nullptr, *buildVCDButton = nullptr, *logButton = nullptr;
    QPushButton *utilButton = nullptr, *ClearButton = nullptr, *taskButton = nullptr, *transferJobButton = nullptr,
                *docButton = nullptr, *optionsButton = nullptr, *aboutButton = nullptr;
    QListWidget *taskBox = nullptr, *docBox = nullptr, *utilBox = nullptr;
    QTabWidget* menuPage = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TExtractionPage;
    friend class TVideoCdPage;
    void BuildHeader();
    void MakeHandles();
    void ConnectHandlers();
    void ShowPage(int index);
    void SetTabOrder();
    void HidePopupLists();
    void TogglePopup(QListWidget* list);
    QPushButton* PopupButton(const QListWidget* list) const;
    bool PopupKeyOrClick(QObject* watched, QEvent* event);
    // A new source or a new job: the counters and the previous job's
    // outputs no longer concern the page.
    void StartAfresh(bool newSource);
    void SetUsable(QWidget* control, bool on);
    void StopRunningJob();
    MainWindowValues WindowValues() const;
    // Reporter of loading and start-up messages into the log page; while
    // unattended its questions are answered by the prompt flags.
    LoadReporter Reporter();
    platform::Dialogs& JobDialogs();
    // The boxes of the job a start makes, with the job's prompt flags.
    platform::Dialogs& WorkerDialogs(int16_t promptFlags);
    // The worker's end callback of the job a start makes: keeps the end and
    // queues JobEnded to this thread.
    std::function<void(TJobOutcome)> QueuedJobEnd();
    void SetJobControlsUsable(bool on);
    void WatchJob();
    void JobEnded();

    std::unique_ptr<TExtractionPage> extractionPageOwned_;
    std::unique_ptr<TVideoCdPage> videoCdPageOwned_;
    std::unique_ptr<TLogPage> logPageOwned_;
    std::unique_ptr<TSampleCreateForm> sampleCreateForm_;
    std::unique_ptr<platform::LatchedRegistry> registry_;
    bool taskRunning_ = false;  // the batch window runs its list
    platform::Dialogs* dialogs_ = nullptr;
    platform::FileDialogs* fileDialogs_ = nullptr;
    platform::Shell* shell_ = nullptr;
    std::unique_ptr<platform::Registry> ownRegistry_;
    std::unique_ptr<platform::qt::QtDialogs> ownDialogs_;
    std::unique_ptr<platform::FileDialogs> ownFileDialogs_;
    std::unique_ptr<platform::Shell> ownShell_;
    std::unique_ptr<RegistrySettings> settings_;
    Handles handles_;
    std::function<bool()> jobFinished_;
    std::function<void()> jobJoin_;
    TempProjectHolds tempProjects_;
    std::vector<std::string> tempFolders_;
    // Paths a batch list saved in this run names: the close keeps them.
    std::set<std::string> keptTempPaths_;
    std::unique_ptr<BatchHost> batchHost_;
    // While a batch runs, the controls that would start or change a job
    // stay disabled whatever the pages want of them.
    bool BatchLocked(const QWidget* control) const;
    // The project's track rows, on the freshly loaded list.
    void ApplyTrackSelection(const TaskProject& p);
    void ApplyBatchLock();
    std::function<int64_t(const std::string&)> freeSpace_;
    std::unique_ptr<platform::Dialogs> jobDialogs_;
    std::unique_ptr<platform::Dialogs> workerDialogs_;
    std::shared_ptr<TJobOutcome> jobEnd_;  // the running job's end, once it came
    std::unique_ptr<platform::Label> titleHandle_;
    std::shared_ptr<WriteThread> worker_;
    QTimer* jobTimer_ = nullptr;
    bool stopRequested_ = false;
    int64_t imageCapacity_ = -1, imageMargin_ = -1;
    bool created_ = false;
    bool closed_ = false;
};

// The entries of generatedFiles, each with its double quotes.
std::vector<std::string> GeneratedFileEntries(const std::string& generated);
