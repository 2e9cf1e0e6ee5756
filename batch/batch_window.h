// The batch window ("Batch Processor"): a view of the task list and the
// sequencer. The main window creates it once and talks to it through the
// entry points and the sequencer; the task dialog is reached through a hook.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "batch/batch_list.h"
#include "batch/sequencer.h"
#include "core/language_set.h"
#include "core/records.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/process.h"
#include "platform/registry.h"

class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTableWidget;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    struct Services {
        BatchHost* host = nullptr;
        platform::Registry* registry = nullptr;
        platform::Dialogs* dialogs = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        platform::ListBox* log = nullptr;  // the main window's log list
        std::shared_ptr<const TLanguageSet> texts;
        int16_t* promptFlags = nullptr;
        std::string tempDirectory;
        // SFV tasks: this runner, else the program's checker on the options.
        SfvRunner* sfv = nullptr;
        const TConfig* config = nullptr;
        // The task dialog on the record (mode 0 new, 1 edit); true on OK.
        std::function<bool(TBatchTask&, int)> taskDialog;
        // From the main window: what CD-folder archives are made from, its
        // output file name and its "don't span" choice (for the task dialog).
        std::function<CdFolderSource()> cdFolders;
        std::function<std::string()> outputFileName;
        std::function<bool()> imgNone;
        // Told after a save which task projects (and folders of its folder
        // commands) the saved list names, so that the main window's close
        // keeps those temporary ones.
        std::function<void(const std::vector<std::string>&)> keepProjects;
        // The window it opens under when no position is stored.
        QWidget* mainWindow = nullptr;
    };

    explicit TForm3(Services services, QWidget* parent = nullptr);
    ~TForm3() override;

    void FormCreate();
    void FormClose();
    void ApplyLanguage();

    // Entry points of the main window.
    void AddLoadProjectTask(const std::string& path) { list_.AddLoadProjectTask(path); }
    bool AddSfvTask(const std::string& first, const std::string& second) { return list_.AddSfvTask(first, second); }
    bool AddDecompressTask(const std::string& archive, const std::string& directory) {
        return list_.AddDecompressTask(archive, directory);
    }
    void AddCommandTask(const std::string& line) { list_.AddCommandTask(line); }

    // Handlers.
    void newTaskButtonClick();
    void PropertiesClick();
    void removeTaskButtonClick();
    void moveTaskUpButtonClick();
    void moveTaskDownButtonClick();
    void saveBatchListClick();
    // 0, or the error reported: 6 the list cannot be opened, 17 invalid.
    int loadBatchListClick();
    void clearBatchListClick();
    void runTaskClick() { sequencer_->runTaskClick(); }

    BatchList& list() { return list_; }
    TBatchSequencer& sequencer() { return *sequencer_; }
    // Row of the grid's selection (1-based task row, 0 for none).
    int selectedRow() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Refresh();
    void ShowState();
    void Error(int index, const std::string& context);

    Services services_;
    BatchList list_;
    std::unique_ptr<platform::Process> process_;
    std::unique_ptr<SfvRunner> sfvRunner_;
    std::unique_ptr<TBatchSequencer> sequencer_;

    QMenuBar* BatchMainMenu = nullptr;
    QMenu* batchListMenu = nullptr;
    QMenu* taskMenu = nullptr;
    QMenu* gridMenu = nullptr;
    QAction* openListItem = nullptr;
    QAction* saveListItem = nullptr;
    QAction* clearListItem = nullptr;
    QAction* addItem = nullptr;
    QAction* removeItem = nullptr;
    QAction* Properties = nullptr;
    QTableWidget* taskGrid = nullptr;
    QPushButton* newTaskButton = nullptr;
    QPushButton* removeTaskButton = nullptr;
    QPushButton* moveTaskUpButton = nullptr;
    QPushButton* moveTaskDownButton = nullptr;
    QPushButton* runTask = nullptr;
    QLineEdit* returnThreadSignal = nullptr;
};
