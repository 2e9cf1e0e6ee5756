#include "batch/batch_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "batch/batch_list_file.h"
#include "batch/task_properties_window.h"
#include "core/temp_file.h"
#include "tests/app/window_test_app.h"
#include "tests/support/bounded_run.h"
#include "tests/support/fakes.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// The main window's side: task projects answer at once with the scripted
// result, on the GUI thread, as a finished job's end does.
class QueuedHost : public BatchHost {
public:
    void SetTaskRunning(uint8_t on) override { batchActive = on; }
    void SetJobRunning(uint8_t) override {}
    void ResetPage(int) override {}
    int pageMode() const override { return 0; }
    std::string generatedFiles() const override { return {}; }
    void setGeneratedFiles(const std::string&) override {}
    void ShowFirstPage() override {}
    void StartInitialiseRun() override { Answer(0); }
    void StartTaskProject(const std::string& path) override { Answer(path.find("bad") != std::string::npos ? 1 : 0); }
    void Answer(int code) {
        QMetaObject::invokeMethod(window, [this, code] { window->sequencer().returnThreadSignalChange(code); },
                                  Qt::QueuedConnection);
    }
    TForm3* window = nullptr;
    int batchActive = 0;
};

class BatchWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WindowTestApp();
        dir_ = CreateTempDir("batch_window_test_");
        TForm3::Services s;
        s.host = &host_;
        s.registry = &registry_;
        s.dialogs = &dialogs_;
        s.fileDialogs = &fileDialogs_;
        s.log = &log_;
        s.promptFlags = &flags_;
        s.tempDirectory = dir_;
        s.config = &config_;
        s.cdFolders = [] { return CdFolderSource{1, 2, "/out/"}; };
        s.keepProjects = [this](const Strings& p) { kept_ = p; };
        s.taskDialog = [this](TBatchTask& task, int mode) { return dialog_ && dialog_(task, mode); };
        services_ = s;
        window_ = std::make_unique<TForm3>(s);
        host_.window = window_.get();
        window_->FormCreate();
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        fs::remove_all(dir_);
    }
    template <typename T>
    T* Find(const char* name) const {
        return window_->findChild<T*>(name);
    }
    Strings Column(int c) const {
        auto* grid = Find<QTableWidget>("taskGrid");
        Strings out;
        for (int r = 0; r < grid->rowCount(); ++r)
            out.push_back(grid->item(r, c) ? grid->item(r, c)->text().toStdString() : "");
        return out;
    }
    bool WaitIdle(int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (window_->sequencer().running() && t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return !window_->sequencer().running();
    }

    std::string dir_;
    QueuedHost host_;
    fakes::MemoryRegistry registry_;
    fakes::ScriptedDialogs dialogs_;
    fakes::ScriptedFileDialogs fileDialogs_;
    fakes::RecordingListBox log_;
    int16_t flags_ = 0;
    TConfig config_;
    std::function<bool(TBatchTask&, int)> dialog_;
    Strings kept_;
    TForm3::Services services_;
    std::unique_ptr<TForm3> window_;
};

TEST_F(BatchWindow, ControlsCarryTheirNamesAndCaptions) {
    for (const char* name : {"newTaskButton", "removeTaskButton", "moveTaskUpButton", "moveTaskDownButton", "runTask"})
        EXPECT_NE(Find<QPushButton>(name), nullptr) << name;
    EXPECT_NE(Find<QTableWidget>("taskGrid"), nullptr);
    EXPECT_NE(Find<QMenuBar>("BatchMainMenu"), nullptr);
    ASSERT_NE(Find<QLineEdit>("returnThreadSignal"), nullptr);
    EXPECT_FALSE(Find<QLineEdit>("returnThreadSignal")->isVisible());
    EXPECT_EQ(window_->windowTitle(), "Batch Processor");
    EXPECT_EQ(Find<QPushButton>("newTaskButton")->text(), "add task");
    EXPECT_EQ(Find<QPushButton>("runTask")->text(), "start");
    auto* grid = Find<QTableWidget>("taskGrid");
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Task #");
    EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), "Error Handling");
    EXPECT_EQ(grid->rowCount(), 1) << "the empty end row";
}

TEST_F(BatchWindow, RunShowsStatusesAndLocksTheList) {
    window_->AddCommandTask("sleep 0.3");
    window_->AddLoadProjectTask("/p/good.ktp");
    window_->list().AppendStored({{"Execute command", "Continue Batch / Query YES", "exit 4", ""}});
    window_->AddLoadProjectTask("/p/bad.ktp");
    window_->AddCommandTask("true");
    EXPECT_EQ(Column(0), (Strings{"1", "2", "3", "4", "5", ""}));
    window_->runTaskClick();
    QElapsedTimer t;
    t.start();
    while (Column(2)[0] != "running..." && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(Find<QPushButton>("runTask")->text(), "stop");
    EXPECT_FALSE(Find<QPushButton>("removeTaskButton")->isEnabled());
    EXPECT_EQ(host_.batchActive, 1);
    // The list only grows while the batch runs.
    window_->clearBatchListClick();
    window_->AddCommandTask("echo more");
    EXPECT_EQ(window_->list().taskCount(), 6);
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    EXPECT_TRUE(window_->grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/batch-window-running.png"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Column(2), (Strings{"completed", "completed", "failed", "failed", "", "", ""}));
    EXPECT_EQ(Find<QPushButton>("runTask")->text(), "start");
    EXPECT_TRUE(Find<QPushButton>("removeTaskButton")->isEnabled());
    EXPECT_EQ(host_.batchActive, 0);
    EXPECT_TRUE(window_->sequencer().currentRow() == 0);
}

TEST_F(BatchWindow, ListIsSavedOpenedAndRefused) {
    window_->saveBatchListClick();
    EXPECT_EQ(fileDialogs_.saves(), 0) << "an empty list opens no dialog";
    window_->AddLoadProjectTask("/p/a.ktp");
    window_->AddCommandTask("mkdir \"/tmp/x\"");
    const std::string path = dir_ + "/list.ktq";
    fileDialogs_.scriptSave(path);
    window_->saveBatchListClick();
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(kept_, (Strings{"/p/a.ktp", "/tmp/x"}))
        << "the main window keeps the projects and folders a saved list names";
    fileDialogs_.scriptOpen(path);
    window_->loadBatchListClick();
    EXPECT_EQ(Column(0), (Strings{"1", "2", "3", "4", ""}));
    EXPECT_EQ(Column(4), (Strings{"/p/a.ktp", "mkdir \"/tmp/x\"", "/p/a.ktp", "mkdir \"/tmp/x\"", ""}));
    // A broken list and a missing one: a box each, the list unchanged.
    std::ofstream(dir_ + "/bad.ktq") << "KTQ#";
    fileDialogs_.scriptOpen(dir_ + "/bad.ktq");
    EXPECT_EQ(window_->loadBatchListClick(), 17);
    fileDialogs_.scriptOpen(dir_ + "/missing.ktq");
    EXPECT_EQ(window_->loadBatchListClick(), 6);
    fileDialogs_.scriptSave(dir_ + "/no/such/list.ktq");
    window_->saveBatchListClick();
    const auto shown = dialogs_.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].message, "Invalid batch list.");
    EXPECT_EQ(shown[1].message, "Source file could not be opened or accessed.");
    EXPECT_EQ(shown[2].message, "Unable to create output file.");
    EXPECT_EQ(window_->list().taskCount(), 4);
}

// "Save list" over a link to a list kept elsewhere updates that list.
TEST_F(BatchWindow, SavingOverALinkWritesTheListItLeadsTo) {
    const std::string kept = dir_ + "/kept.ktq", link = dir_ + "/link.ktq";
    std::ofstream(kept) << "old";
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("kept.ktq", link);
    window_->AddCommandTask("echo hello");
    fileDialogs_.scriptSave(link);
    window_->saveBatchListClick();
    EXPECT_TRUE(dialogs_.shown().empty());
    EXPECT_TRUE(fs::is_symlink(link));
    std::vector<StoredTask> back;
    ASSERT_EQ(ReadBatchListFile(kept, back), 0);
    EXPECT_EQ(back, window_->list().Stored());
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A list whose rows this program cannot all run still opens; those rows
// fail when their turn comes, and the others run.
TEST_F(BatchWindow, ListWithRowsItCannotRunOpensAndThoseRowsFail) {
    const std::string path = dir_ + "/old.ktq";
    const std::vector<StoredTask> tasks = {
        {"Format hard disk", "Continue Batch / Query YES", "touch '" + dir_ + "/formatted'", ""},
        {"Execute command", "Continue Batch / Query YES", "true", "2/0/1"},
        {"Compress archive", "Continue Batch / Query YES", "\"" + dir_ + "/x.rar\" \"" + dir_ + "/a.mpg\"", "9/9/9"},
    };
    ASSERT_EQ(WriteBatchListFile(path, tasks), 0);
    fileDialogs_.scriptOpen(path);
    EXPECT_EQ(window_->loadBatchListClick(), 0);
    EXPECT_TRUE(dialogs_.shown().empty());
    EXPECT_EQ(Column(1), (Strings{"Format hard disk", "Execute command", "Compress archive", ""}));
    window_->runTaskClick();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Column(2), (Strings{"failed", "completed", "failed", ""}));
    EXPECT_FALSE(fs::exists(dir_ + "/formatted"));
}

// SFV tasks run the program's own checker off the GUI thread.
TEST_F(BatchWindow, SfvTasksRunTheChecker) {
    std::ofstream(dir_ + "/a b.mpg") << std::string(3 << 20, 'x');
    window_->list().AppendStored({{"Create SFV file", "Stop Batch / Query YES",
                                   "\"" + dir_ + "/sums.sfv\" \"" + dir_ + "/a b.mpg\"", ""},
                                  {"Verify SFV file", "Stop Batch / Query YES", "\"" + dir_ + "/sums.sfv\"", ""}});
    window_->runTaskClick();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Column(2), (Strings{"completed", "completed", ""}));
    std::ifstream in(dir_ + "/sums.sfv");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("a b.mpg"), std::string::npos);
}

// The task dialog's record becomes rows; an edit lands on its own row.
TEST_F(BatchWindow, DialogTasksAreExpandedAndEditedInPlace) {
    dialog_ = [](TBatchTask& task, int mode) {
        EXPECT_EQ(mode, 0);
        task.type = kCompressTask;
        task.inCdFolders = 1;
        task.sfvForRar = 0;
        task.params = "film-cd";
        return true;
    };
    window_->newTaskButtonClick();
    EXPECT_EQ(Column(4), (Strings{"\"/out/CD1/film-cd1.rar\" \"/out/CD1/*.*\"", "\"/out/CD2/film-cd2.rar\" \"/out/CD2/*.*\"", ""}));
    Find<QTableWidget>("taskGrid")->selectRow(1);
    dialog_ = [](TBatchTask& task, int mode) {
        EXPECT_EQ(mode, 1);
        EXPECT_EQ(task.params, "\"/out/CD2/film-cd2.rar\"");
        EXPECT_EQ(task.selectedFiles, "\"/out/CD2/*.*\"");
        task.params = "\"/out/x.rar\" " + task.selectedFiles;
        return true;
    };
    window_->PropertiesClick();
    EXPECT_EQ(Column(4), (Strings{"\"/out/CD1/film-cd1.rar\" \"/out/CD1/*.*\"", "\"/out/x.rar\" \"/out/CD2/*.*\"", ""}));
    dialog_ = nullptr;  // cancelled: nothing changes
    window_->newTaskButtonClick();
    EXPECT_EQ(window_->list().taskCount(), 2);
}

// Properties, then OK on the untouched dialog, in the program's own task
// dialog: every kind of row the program writes comes back as it was, and
// the dialog opens on the row's type, whatever the last choices stored.
TEST_F(BatchWindow, PropertiesThenOkGivesBackTheSameRow) {
    services_.taskDialog = nullptr;  // the real dialog
    window_ = std::make_unique<TForm3>(services_);
    window_->show();
    const struct {
        StoredTask row;
        const char* radio;
    } rows[] = {
        {{"Load task project", "Stop Batch / Query YES", "/p/my film.ktp", ""}, "loadTask"},
        {{"Compress archive", "Continue Batch / Query NO", "\"/o/x y.rar\" \"/o/a.mpg\" \"/o/b c.mpg\" ", "2/3/1"},
         "archiveTask"},
        {{"Compress archive", "Stop Batch / Query NO", "\"/o/x.rar\"<->", "0/5/0"}, "archiveTask"},
        {{"Compress archive", "Stop Batch / Query YES", "\"/out/CD1/film-cd1.rar\" \"/out/CD1/*.*\"", "1/0/0"},
         "archiveTask"},
        // No options: the archiver's own defaults, not level 0.
        {{"Compress archive", "Continue Batch / Query YES", "\"/o/x.rar\" \"/o/a.mpg\"", ""}, "archiveTask"},
        {{"Decompress archive", "Stop Batch / Query YES", "\"/in/a.rar\" \"/tmp/rar~~$$\"", ""}, "unarchiveTask"},
        {{"Decompress archive", "Continue Batch / Query YES", "\"/in/a b.rar\" \"/tmp/out/\"", ""}, "unarchiveTask"},
        {{"Delete RAR archive", "Continue Batch / Query NO", "", ""}, "unarchiveTask"},
        {{"Execute command", "Stop Batch / Query YES", "echo hello", ""}, "executeCmd"},
        {{"Execute command", "Continue Batch / Query NO", "rmdir \"/tmp/rar~~$$\" /s /q", ""}, "executeCmd"},
        // "<->" means the previous output only to the types that take files.
        {{"Execute command", "Stop Batch / Query NO", "printf '%s\\n' <->", ""}, "executeCmd"},
        {{"Load task project", "Continue Batch / Query NO", "/p/odd<->", ""}, "loadTask"},
        {{"Verify SFV file", "Stop Batch / Query YES", "\"/in/a.sfv\"", ""}, "chkSFV"},
        {{"Verify SFV file", "Stop Batch / Query YES", "\"/in/a.sfv\" \"/in/a.rar\"", ""}, "chkSFV"},
        {{"Verify SFV file", "Continue Batch / Query NO", "\"/in/a.sfv\"<->", ""}, "chkSFV"},
        {{"Create SFV file", "Stop Batch / Query YES", "\"/o/x.sfv\" \"/o/x.r??\"", ""}, "createSFV"},
        {{"Create SFV file", "Stop Batch / Query NO", "\"/o/x.sfv\"<->", ""}, "createSFV"},
    };
    std::vector<StoredTask> all;
    for (const auto& r : rows) all.push_back(r.row);
    window_->list().AppendStored(all);
    // Nothing stored; each task type; types the radios do not know; and
    // every other choice away from its default.
    std::vector<std::map<std::string, int>> stored = {{}};
    for (int type : {0, 1, 2, 3, 4, 5, 9, -1}) stored.push_back({{"TaskType", type}});
    stored.push_back({{"TaskType", 1}, {"CreateSFVForRAR", 1}, {"TaskFromWith", 2}, {"AddArchiveMethod", 1},
                      {"DeleteFilesAfterArchiving", 1}, {"DeleteFilesAfterDecompress", 1}, {"ArchiveVolumeSize", 3},
                      {"ArchiveCompression", 5}, {"OnError", 2}, {"OnQuery", 2}});
    auto* grid = Find<QTableWidget>("taskGrid");
    for (const auto& values : stored) {
        for (size_t i = 0; i < std::size(rows); ++i) {
            SCOPED_TRACE("row " + std::to_string(i + 1) + " stored " +
                         (values.count("TaskType") ? std::to_string(values.at("TaskType")) : std::string("nothing")) +
                         (values.size() > 1 ? " and the rest" : ""));
            registry_.keys.clear();
            registry_.openKey("\\Software\\Pellmor", true);
            for (const auto& [name, value] : values) registry_.writeInteger(name, value);
            registry_.closeKey();
            grid->selectRow(static_cast<int>(i));
            const int result = WhileModal<TForm4>([&] { window_->PropertiesClick(); }, [&](TForm4& d) {
                auto* radio = d.findChild<QRadioButton*>(rows[i].radio);
                ASSERT_NE(radio, nullptr);
                EXPECT_TRUE(radio->isChecked()) << "opens on the row's own type";
                d.findChild<QPushButton*>("okButton")->click();
                if (d.isVisible()) d.reject();
            });
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_EQ(window_->list().Stored(), all) << "the list as it was";
        }
    }
}

// The stored place is used only where a screen shows it; closing stores it.
TEST_F(BatchWindow, PositionComesBackOnlyWhereAScreenShowsIt) {
    registry_.openKey("\\Software\\Pellmor", true);
    registry_.writeInteger("BatchProcessorPosX", 40);
    registry_.writeInteger("BatchProcessorPosY", 30);
    window_->FormCreate();
    EXPECT_EQ(window_->pos(), QPoint(40, 30));
    registry_.openKey("\\Software\\Pellmor", true);
    registry_.writeInteger("BatchProcessorPosX", -30000);
    window_->FormCreate();
    EXPECT_EQ(window_->pos(), QPoint(0, 0));
    window_->move(50, 60);
    window_->close();
    EXPECT_FALSE(window_->isVisible()) << "closing only hides it";
    registry_.openKey("\\Software\\Pellmor", false);
    EXPECT_EQ(registry_.readInteger("BatchProcessorPosX"), 50);
    EXPECT_EQ(registry_.readInteger("BatchProcessorPosY"), 60);
}

}  // namespace

namespace {

// Open batch list on what is no file: error 6, the list unchanged, and the
// GUI thread never waits on it (a watchdog fails the program if it does).
TEST_F(BatchWindow, OpenBatchListRefusesWhatIsNoFile) {
    ASSERT_EQ(::mkfifo((dir_ + "/fifo.ktq").c_str(), 0600), 0);
    fs::create_directory(dir_ + "/folder.ktq");
    fs::create_symlink(dir_ + "/nowhere.ktq", dir_ + "/dangling.ktq");
    window_->AddCommandTask("echo kept");
    const Strings before = Column(4);
    for (const std::string& odd : {dir_ + "/fifo.ktq", std::string("/dev/zero"), dir_ + "/folder.ktq",
                                   dir_ + "/dangling.ktq"}) {
        fileDialogs_.scriptOpen(odd);
        const size_t boxes = dialogs_.shown().size();
        bounded::Watchdog watchdog(std::chrono::seconds(20), "open batch list of " + odd);
        EXPECT_EQ(window_->loadBatchListClick(), 6) << odd;
        EXPECT_EQ(dialogs_.shown().size(), boxes + 1) << odd;
        EXPECT_EQ(Column(4), before) << odd;
    }
    EXPECT_EQ(dialogs_.shown().back().message, "Source file could not be opened or accessed.");
}

}  // namespace

namespace {

// SFV tasks that list none of the files they name fail, and so does the
// verify of what they leave. A name with a backslash is the file that has
// it, where there is one: it is listed and passes its verify.
TEST_F(BatchWindow, SfvTasksThatListNothingFail) {
    std::ofstream(dir_ + "/back\\slash.bin") << "abc";
    window_->list().AppendStored(
        {{"Create SFV file", "Continue Batch / Query YES", "\"" + dir_ + "/gone.sfv\" \"" + dir_ + "/gone.bin\"", ""},
         {"Verify SFV file", "Continue Batch / Query YES", "\"" + dir_ + "/gone.sfv\"", ""},
         {"Create SFV file", "Continue Batch / Query YES",
          "\"" + dir_ + "/slash.sfv\" \"" + dir_ + "/back\\slash.bin\"", ""},
         {"Verify SFV file", "Continue Batch / Query YES", "\"" + dir_ + "/slash.sfv\"", ""}});
    window_->runTaskClick();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Column(2), (Strings{"failed", "failed", "completed", "completed", ""}));
    const Strings lines = log_.lines();
    int located = 0;
    for (const std::string& l : lines) located += l.find("Unable to locate file.") != std::string::npos;
    EXPECT_EQ(located, 2) << ::testing::PrintToString(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "     SFV: back\\slash.bin... OK"), lines.end());
}

}  // namespace
