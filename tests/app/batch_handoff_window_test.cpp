// The batch through the real main window and batch window, offscreen: what
// "-->" and the loads of archives and several sources hand over, the task
// projects the batch runs (chained ones too), failures, the close, and the
// main window's controls while a batch runs.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/extraction_page/extraction_page.h"
#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "batch/batch_window.h"
#include "core/temp_file.h"
#include "engine/methods.h"
#include "engine/task_project.h"
#include "platform/qt/text.h"
#include "settings/registry_settings.h"
#include "tests/app/window_test_app.h"
#include "tests/engine/job_harness.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;
using harness::Fixture;
using harness::Manifest;
using harness::Md5;
using platform::qt::fromQt;
using Strings = std::vector<std::string>;

struct BatchHandoff : ::testing::Test, MainWindowRig {
    std::string dir, temp, out;

    void SetUp() override {
        WindowTestApp();
        dir = CreateTempDir("pellmor-batch-window-");
        temp = dir + "/temp";
        out = dir + "/out";
        fs::create_directories(temp);
        fs::create_directories(out);
        reg.openKey(kSettingsKey, true);
        reg.writeString("TempDirectory", temp);
        reg.closeKey();
        w = MakeWindow();
    }
    void TearDown() override {
        w.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    TForm3& batch() {
        if (!w->BatchForm) w->openBatchListClick();
        return *w->BatchForm;
    }
    void method(int m) {
        find<QComboBox>("methodBox")->setCurrentIndex(m);
        w->extractionPage->methodBoxChange();
    }
    void load(int m, const std::string& source, const std::string& output) {
        method(m);
        files.scriptOpen(source);
        files.scriptSave(output);
        find<QPushButton>("browseButton")->click();
    }
    void transfer() { find<QPushButton>("transferJobButton")->click(); }
    void taskItem(int item) {
        w->taskButtonClick();
        find<QListWidget>("taskBox")->setCurrentRow(item);
        w->taskBoxClick();
    }
    bool waitFor(const std::function<bool()>& done, int ms = 120000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        return done();
    }
    bool run() {
        batch().runTaskClick();
        return waitFor([this] { return !batch().sequencer().running() && !w->WorkerBusy(); });
    }
    Strings column(int c) {
        Strings s;
        for (int r = 1; r <= batch().list().taskCount(); ++r) s.push_back(batch().list().cell(r, c));
        return s;
    }
    Strings logLines() {
        Strings lines;
        auto* log = find<QListWidget>("log");
        for (int i = 0; i < log->count(); ++i) lines.push_back(fromQt(log->item(i)->text()));
        return lines;
    }
    int logged(const std::string& text) {
        int n = 0;
        for (const std::string& l : logLines()) n += l.find(text) != std::string::npos;
        return n;
    }
    // A job long enough to be stopped in the middle: the PAL clip 1000
    // times as one stream, copied.
    TaskProject LongJob() {
        const std::string clip = harness::ReadFile(Fixture("clip_pal_vcd.mpg"));
        const std::string source = dir + "/long.mpg";
        std::ofstream f(source, std::ios::binary);
        for (int i = 0; i < 1000; ++i) f.write(clip.data(), static_cast<std::streamsize>(clip.size()));
        TaskProject p;
        p.method = Index(Method::MpegToMpeg);
        p.inputs = {source};
        p.outputName = out + "/long_out.mpg";
        return p;
    }
    std::string writeProject(TaskProject p) {
        std::string bytes, path;
        EXPECT_TRUE(EncodeTaskProject(p, bytes));
        path = CreateTempFile("project-", ".ktp", dir);
        EXPECT_EQ(WriteTaskProjectFile(path, bytes), 0);
        return path;
    }
};

// "-->" and the batch list item of the task list hand the page over as a
// new temporary project each time.
TEST_F(BatchHandoff, TransferAddsOneTaskAndOneFileEachTime) {
    taskItem(2);
    ASSERT_NE(w->BatchForm, nullptr);
    EXPECT_TRUE(w->BatchForm->isVisible());
    EXPECT_EQ(batch().list().taskCount(), 0) << "nothing to hand over without an output name";
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out + "/movie.mpg");
    taskItem(2);
    EXPECT_EQ(batch().list().taskCount(), 1) << "the batch list item hands the page over";
    transfer();
    transfer();
    const Strings projects = column(4);
    ASSERT_EQ(projects.size(), 3u);
    EXPECT_EQ(std::set<std::string>(projects.begin(), projects.end()).size(), 3u);
    for (const std::string& p : projects) {
        EXPECT_EQ(fs::path(p).parent_path(), fs::path(HandoffFolder(temp)));
        TaskProject read;
        ASSERT_EQ(ReadTaskProjectFile(p, read), 0);
        EXPECT_EQ(read.inputs, Strings{Fixture("vcd_pal3.cue")});
        EXPECT_EQ(read.outputName, out + "/movie.mpg");
    }
    EXPECT_EQ(column(1), Strings(3, "Load task project"));
    // The page keeps its output: the next start writes the page's name.
    EXPECT_EQ(w->SaveDialog.FileName, out + "/movie.mpg");
}

// Three cue sheets at once: the output folder is asked for, three tasks
// are added, and the batch gives every clip of every sheet.
TEST_F(BatchHandoff, ThreeCueSheetsBecomeThreeTasksThatGiveEveryClip) {
    const Strings sheets{"vcd_pal3.cue", "vcd_ntsc.cue", "svcd_pal.cue"};
    method(2);
    Strings chosen;
    for (const std::string& s : sheets) chosen.push_back(Fixture(s));
    files.scriptOpenFiles(chosen);
    files.scriptDirectory(out);
    find<QPushButton>("browseButton")->click();
    EXPECT_EQ(files.saves(), 0) << "one folder question instead of a save dialog per sheet";
    ASSERT_EQ(batch().list().taskCount(), 3);
    // The page holds no loaded source afterwards: nothing stale can start.
    EXPECT_FALSE(find<QPushButton>("startButton")->isEnabled());

    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), Strings(3, "completed"));
    const auto manifest = Manifest();
    for (const std::string& sheet : sheets) {
        const auto& ripped = manifest.at(sheet);
        for (size_t t = 0; t < ripped.size(); ++t) {
            const std::string name = out + "/" + sheet.substr(0, sheet.size() - 4) + "_0" + std::to_string(t + 1) + ".mpg";
            EXPECT_EQ(Md5(name), ripped[t].md5) << name;
        }
    }
    Strings headers;
    for (const std::string& l : logLines())
        if (l.rfind("-- Task #", 0) == 0) headers.push_back(l.substr(0, 11));
    EXPECT_EQ(headers, (Strings{"-- Task #1 ", "-- Task #2 ", "-- Task #3 "}));
    EXPECT_EQ(w->batchActive.load(), 0);
    EXPECT_TRUE(dialogs.shown().empty()) << dialogs.shown().front().message;

    // A job started by hand afterwards does not answer the batch window.
    load(Index(Method::CueBinToMpeg), Fixture("vcd_ntsc.cue"), out + "/by_hand.mpg");
    find<QPushButton>("startButton")->click();
    ASSERT_TRUE(waitFor([this] { return !w->WorkerBusy(); }));
    EXPECT_EQ(Md5(out + "/by_hand_01.mpg"), manifest.at("vcd_ntsc.cue")[0].md5);
    EXPECT_EQ(column(2), Strings(3, "completed"));
    EXPECT_FALSE(batch().sequencer().running());
}

// A project without input takes what the previous job wrote first: after a
// cue/bin extraction that is movie_01.mpg. Chained on through a dat and back,
// the clip comes out whole.
TEST_F(BatchHandoff, ChainedProjectsTakeThePreviousJobsFirstFile) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out + "/movie.mpg");
    transfer();
    // "Use previous task output as input file": only the output is asked.
    method(9);
    find<QCheckBox>("batchTask")->setChecked(true);
    EXPECT_FALSE(find<QLineEdit>("inputFileField")->isEnabled());
    files.scriptSave(out + "/chained.dat");
    find<QPushButton>("browseButton")->click();
    EXPECT_EQ(files.opens(), 1) << "no source is asked for";
    transfer();
    method(8);
    find<QCheckBox>("batchTask")->setChecked(true);
    files.scriptSave(out + "/back.mpg");
    find<QPushButton>("browseButton")->click();
    transfer();
    const Strings projects = column(4);
    ASSERT_EQ(projects.size(), 3u);
    for (size_t i = 1; i < 3; ++i) {
        TaskProject read;
        ASSERT_EQ(ReadTaskProjectFile(projects[i], read), 0);
        EXPECT_TRUE(read.inputs.empty()) << i;
    }

    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), Strings(3, "completed"));
    EXPECT_EQ(logged("[ previous task output ] " + out + "/movie_01.mpg"), 1);
    EXPECT_EQ(logged("[ previous task output ] " + out + "/chained.dat"), 1);
    EXPECT_EQ(Md5(out + "/back.mpg"), Manifest().at("vcd_pal3.cue")[0].md5);
}

// A project that cannot be read or loaded sends "failed"; with "Continue
// Batch" the next task runs, with "Stop Batch" none does; no box opens.
TEST_F(BatchHandoff, ProjectsThatFailSendFailed) {
    TaskProject good;
    good.method = Index(Method::CueBinToMpeg);
    good.inputs = {Fixture("vcd_ntsc.cue")};
    good.outputName = out + "/good.mpg";
    TaskProject missingSource = good;
    missingSource.inputs = {dir + "/missing.cue"};
    const std::string broken = dir + "/broken.ktp";
    std::ofstream(broken) << "KTP#";
    TaskProject chainedWithNothing = good;
    chainedWithNothing.inputs.clear();
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing source", writeProject(missingSource)},
        {"broken file", broken},
        {"missing file", dir + "/none.ktp"},
        {"chained to nothing", writeProject(chainedWithNothing)},
    };
    const std::string goodPath = writeProject(good);
    for (const auto& c : cases) {
        for (const char* onError : {"Continue Batch", "Stop Batch"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + onError);
            batch().clearBatchListClick();
            fs::remove(out + "/good_01.mpg");
            // The first task here is the failing one: nothing before it to chain.
            batch().list().AppendStored({{"Load task project", std::string(onError) + " / Query YES", c.path, ""},
                                         {"Load task project", "Stop Batch / Query YES", goodPath, ""}});
            ASSERT_TRUE(run());
            const bool goesOn = std::string(onError) == "Continue Batch";
            EXPECT_EQ(column(2), (Strings{"failed", goesOn ? "completed" : ""}));
            EXPECT_EQ(fs::exists(out + "/good_01.mpg"), goesOn);
            EXPECT_EQ(w->batchActive.load(), 0);
        }
    }
    EXPECT_TRUE(dialogs.shown().empty()) << dialogs.shown().front().message;
}

// The archive rows through the window: two archives with the SFV check
// give five rows each; the volume set runs through unar and its project.
TEST_F(BatchHandoff, ArchivesGiveTheirRowsAndRunThroughTheirProjects) {
    if (std::system("command -v unar >/dev/null") != 0) GTEST_SKIP() << "unar missing";
    const std::string in = dir + "/in";
    fs::create_directories(in);
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01", "vcd_ntsc_set.sfv", "vcd_ntsc.rar"})
        fs::copy_file(Fixture(std::string("rar/") + name), in + "/" + name);
    method(0);
    find<QCheckBox>("sfvCheck")->setChecked(true);
    files.scriptOpenFiles({in + "/vcd_ntsc_set.rar", in + "/vcd_ntsc.rar"});
    find<QPushButton>("browseButton")->click();
    ASSERT_EQ(batch().list().taskCount(), 10);
    EXPECT_EQ(column(1), (Strings{"Verify SFV file", "Execute command", "Decompress archive", "Load task project",
                                  "Execute command", "Verify SFV file", "Execute command", "Decompress archive",
                                  "Load task project", "Execute command"}));
    EXPECT_EQ(find<QComboBox>("methodBox")->currentIndex(), 0);
    EXPECT_FALSE(find<QCheckBox>("batchTask")->isChecked());
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    EXPECT_TRUE(batch().grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/batch-window-archive-rows.png"));

    // Run the first archive's rows alone.
    while (batch().list().taskCount() > 5) batch().list().Remove(6);
    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), Strings(5, "completed"));
    // The project writes beside its archive, named after the image it found.
    EXPECT_EQ(Md5(in + "/vcd_ntsc_01.mpg"), Manifest().at("vcd_ntsc.cue")[0].md5);
    const std::string mkdirRow = batch().list().cell(2, 4);
    const std::string folder = mkdirRow.substr(7, mkdirRow.size() - 8);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(in + "/vcd_ntsc_set.rar"));
}

// A RAR load whose batch ends before its last row (a damaged volume stops
// it) leaves its private folder with what the archiver unpacked; the close
// removes it, and keeps the one a saved list names.
TEST_F(BatchHandoff, CloseRemovesThePrivateFoldersOfAnArchiveNoListNames) {
    if (std::system("command -v unar >/dev/null") != 0) GTEST_SKIP() << "unar missing";
    const std::string in = dir + "/in";
    fs::create_directories(in);
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01", "vcd_ntsc.rar"})
        fs::copy_file(Fixture(std::string("rar/") + name), in + "/" + name);
    {
        std::fstream f(in + "/vcd_ntsc_set.r00", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(300000);
        f.put('\xAA');
    }
    method(0);
    files.scriptOpenFiles({in + "/vcd_ntsc_set.rar"});
    find<QPushButton>("browseButton")->click();
    ASSERT_EQ(batch().list().taskCount(), 4);
    const std::string mkdirRow = batch().list().cell(1, 4);
    const std::string folder = mkdirRow.substr(7, mkdirRow.size() - 8);
    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), (Strings{"completed", "failed", "", ""}));
    ASSERT_TRUE(fs::is_directory(folder));
    // A second archive, its rows alone saved in a list: its folder stays for it.
    batch().clearBatchListClick();
    files.scriptOpenFiles({in + "/vcd_ntsc.rar"});
    find<QPushButton>("browseButton")->click();
    ASSERT_EQ(batch().list().taskCount(), 4);
    const std::string savedRow = batch().list().cell(1, 4);
    const std::string saved = savedRow.substr(7, savedRow.size() - 8);
    files.scriptSave(dir + "/list.ktq");
    batch().saveBatchListClick();
    w->close();
    w.reset();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::is_directory(saved));
    for (const char* name : {"vcd_ntsc_set.rar", "vcd_ntsc_set.r00", "vcd_ntsc_set.r01", "vcd_ntsc.rar"})
        EXPECT_TRUE(fs::exists(in + "/" + name)) << name;
}

// With "Enable passive reading/writing" ticked the load button still shows
// the open dialog for archives and hands them over as their rows; each
// project writes beside its archive, as without the box.
TEST_F(BatchHandoff, PassiveModeLoadsArchivesAsTheirRows) {
    const std::string in = dir + "/in";
    fs::create_directories(in);
    for (const char* name : {"vcd_ntsc.rar", "vcd_ntsc_set.rar"})
        fs::copy_file(Fixture(std::string("rar/") + name), in + "/" + name);
    find<QCheckBox>("PassiveBox")->setChecked(true);
    method(0);
    const int opened = files.opens();
    files.scriptOpenFiles({in + "/vcd_ntsc.rar", in + "/vcd_ntsc_set.rar"});
    find<QPushButton>("browseButton")->click();
    EXPECT_EQ(files.opens(), opened + 1) << "the open dialog was shown";
    ASSERT_TRUE(w->BatchForm) << "no batch window";
    EXPECT_EQ(column(1), (Strings{"Execute command", "Decompress archive", "Load task project", "Execute command",
                                  "Execute command", "Decompress archive", "Load task project", "Execute command"}));
    TaskProject p;
    ASSERT_EQ(ReadTaskProjectFile(batch().list().cell(3, 4), p), 0);
    EXPECT_EQ(p.outputName, in + "/");
    EXPECT_TRUE(find<QCheckBox>("PassiveBox")->isChecked());
    EXPECT_EQ(w->batchActive.load(), 1) << "still the box's state";
}

// The close deletes this run's temporary projects, except those a saved
// batch list names, and never another program's.
TEST_F(BatchHandoff, CloseKeepsOnlyTheProjectsASavedListNames) {
    const std::string other = temp + "/~other_tmp.ktp";
    std::ofstream(other) << "x";
    load(Index(Method::CueBinToMpeg), Fixture("vcd_ntsc.cue"), out + "/movie.mpg");
    transfer();
    transfer();
    files.scriptSave(dir + "/list.ktq");
    batch().saveBatchListClick();
    transfer();
    const Strings projects = column(4);
    ASSERT_EQ(projects.size(), 3u);
    w->close();
    w.reset();
    EXPECT_TRUE(fs::exists(projects[0]));
    EXPECT_TRUE(fs::exists(projects[1]));
    EXPECT_FALSE(fs::exists(projects[2]));
    EXPECT_TRUE(fs::exists(other));
}

// While a batch runs the main window's job controls stay disabled and "[x]"
// leaves the list alone; closing the window stops the batch and its child.
TEST_F(BatchHandoff, RunningBatchLocksTheJobControlsAndTheCloseStopsIt) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_ntsc.cue"), out + "/movie.mpg");
    ASSERT_TRUE(find<QPushButton>("startButton")->isEnabled());
    const std::string pidFile = dir + "/pid";
    batch().AddCommandTask("echo $$ > '" + pidFile + "'; exec sleep 60");
    batch().runTaskClick();
    ASSERT_TRUE(waitFor([&] { return fs::exists(pidFile) && fs::file_size(pidFile) > 0; }, 20000));
    for (const char* name : {"startButton", "browseButton", "methodBox", "startVCDButton", "PassiveBox", "batchTask"})
        EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
    w->ClearButtonClick();
    EXPECT_EQ(batch().list().taskCount(), 1);
    int pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    QElapsedTimer t;
    t.start();
    w->close();
    EXPECT_LT(t.elapsed(), 7000);
    EXPECT_NE(::kill(pid, 0), 0) << "the child is gone";
}

TEST_F(BatchHandoff, ControlsComeBackAndClearEmptiesTheListAfterTheBatch) {
    batch().AddCommandTask("true");
    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), Strings{"completed"});
    for (const char* name : {"browseButton", "methodBox", "taskButton", "ClearButton", "PassiveBox"})
        EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name;
    // The batch reset the page before its task; a new load may start again.
    load(Index(Method::CueBinToMpeg), Fixture("vcd_ntsc.cue"), out + "/movie.mpg");
    EXPECT_TRUE(find<QPushButton>("startButton")->isEnabled());
    w->ClearButtonClick();
    EXPECT_EQ(batch().list().taskCount(), 0);
}

// A batch task that finds CD-i subtitles with the box ticked logs it and
// opens no window that nobody would close.
TEST_F(BatchHandoff, SubtitlesFoundInABatchOpenNoWindow) {
    load(Index(Method::CueBinToMpeg), Fixture("cdi_subs.cue"), out + "/subs.mpg");
    find<QCheckBox>("subCheckBox")->setChecked(true);
    transfer();
    bool modal = false;
    QTimer watchdog;
    watchdog.setInterval(50);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (QWidget* m = QApplication::activeModalWidget()) {
            modal = true;
            m->close();
        }
    });
    watchdog.start();
    ASSERT_TRUE(run());
    EXPECT_FALSE(modal);
    EXPECT_EQ(column(2), Strings{"completed"});
    EXPECT_EQ(logged("the converter is not opened during a batch"), 1);
}

// A stop during a batch job: the job aborts, its row fails whatever its
// choice on error, nothing after it runs, and the batch is idle.
TEST_F(BatchHandoff, StopDuringAJobFailsItsRowAndRunsNothingAfter) {
    const TaskProject longJob = LongJob();
    TaskProject after;
    after.method = Index(Method::CueBinToMpeg);
    after.inputs = {Fixture("vcd_ntsc.cue")};
    after.outputName = out + "/after.mpg";
    batch().list().AppendStored({{"Load task project", "Continue Batch / Query YES", writeProject(longJob), ""},
                                 {"Load task project", "Continue Batch / Query YES", writeProject(after), ""}});
    batch().runTaskClick();
    // Stopped as soon as the first task's job is seen running.
    bool stopped = false;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!stopped && batch().sequencer().state() == SequencerState::WaitingForJob && w->JobRunning()) {
                batch().runTaskClick();
                stopped = true;
            }
            return stopped && !batch().sequencer().running() && !w->WorkerBusy();
        },
        30000))
        << ::testing::PrintToString(column(2));
    EXPECT_EQ(column(2), (Strings{"failed", ""}));
    EXPECT_GE(logged("[ aborted processing ]"), 1);
    EXPECT_FALSE(fs::exists(out + "/after_01.mpg"));
    EXPECT_EQ(w->batchActive.load(), 0);
    EXPECT_TRUE(find<QPushButton>("browseButton")->isEnabled());
}

// Closing the main window during a batch job stops the job and the batch
// before the window goes.
TEST_F(BatchHandoff, CloseDuringABatchJobStopsItFirst) {
    batch().list().AppendStored({{"Load task project", "Continue Batch / Query YES", writeProject(LongJob()), ""},
                                 {"Execute command", "Continue Batch / Query YES", "touch '" + dir + "/ran'", ""}});
    batch().runTaskClick();
    ASSERT_TRUE(waitFor(
        [&] { return batch().sequencer().state() == SequencerState::WaitingForJob && w->JobRunning(); }, 20000));
    w->close();
    EXPECT_FALSE(w->WorkerBusy());
    EXPECT_FALSE(batch().sequencer().running());
    EXPECT_EQ(column(2), (Strings{"failed", ""}));
    EXPECT_FALSE(fs::exists(dir + "/ran"));
    w.reset();
}

// A video-cd project builds its image in the batch, and a chained
// extraction after it reads the clip back from the image's first file.
// A video-cd page of 150 MPEG files over two images goes to the batch whole
// and builds both images there.
TEST_F(BatchHandoff, HundredFiftyFilesOverTwoImagesAreHandedOverAndBuilt) {
    Strings names;
    for (int i = 0; i < 150; ++i) {
        names.push_back(dir + "/clip" + std::to_string(i) + ".mpg");
        fs::create_symlink(Fixture("clip_short_vcd.mpg"), names.back());
    }
    w->buildVCDButtonClick();
    find<QComboBox>("buildVCDMethod")->setCurrentIndex(1);
    find<QRadioButton>("img74")->setChecked(true);
    ASSERT_EQ(w->videoCdPage->AddFiles(names), 0);
    w->SaveDialog.FileName = out + "/movie.bin";
    transfer();
    ASSERT_EQ(batch().list().taskCount(), 1) << ::testing::PrintToString(logLines());
    TaskProject read;
    ASSERT_EQ(ReadTaskProjectFile(column(4)[0], read), 0);
    EXPECT_EQ(read.inputs, names);
    ASSERT_TRUE(run());
    EXPECT_EQ(column(2), Strings{"completed"}) << ::testing::PrintToString(logLines());
    for (const char* sheet : {"/movie_01.cue", "/movie_02.cue"}) EXPECT_TRUE(fs::exists(out + sheet)) << sheet;
    EXPECT_FALSE(fs::exists(out + "/movie_03.cue"));
}

TEST_F(BatchHandoff, BuildProjectAndAChainedExtractionGiveTheClipBack) {
    const struct {
        int buildMethod, extractMethod;
        const char* sheet;
    } cases[] = {
        {1, 2, "disc.cue"},  // cue/bin, read through its cue sheet
        {0, 4, "disc.toc"},  // toc/bin, read through the bin's own directory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sheet);
        batch().clearBatchListClick();
        fs::remove_all(out);
        fs::create_directories(out);
        TaskProject build;
        build.pageMode = 1;
        build.method = c.buildMethod;
        build.inputs = {Fixture("clip_pal_vcd.mpg")};
        build.outputName = out + "/disc.bin";
        TaskProject extract;
        extract.method = c.extractMethod;
        extract.outputName = out + "/back.mpg";
        batch().list().AppendStored({{"Load task project", "Stop Batch / Query YES", writeProject(build), ""},
                                     {"Load task project", "Stop Batch / Query YES", writeProject(extract), ""}});
        ASSERT_TRUE(run());
        EXPECT_EQ(column(2), Strings(2, "completed")) << ::testing::PrintToString(logLines());
        EXPECT_TRUE(fs::exists(out + "/" + c.sheet));
        EXPECT_EQ(logged("[ previous task output ] " + out + "/disc.bin"), 1);
        EXPECT_EQ(Md5(out + "/back_01.mpg"), Md5(Fixture("clip_pal_vcd.mpg")));
        find<QListWidget>("log")->clear();
    }
}

}  // namespace
