// A user's extraction through the real main window, offscreen: load a
// source with the open and save dialogs, pick tracks, start, watch the job
// and stop it; the outputs are compared with what vcdxrip extracted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_window/main_window.h"
#include "app/extraction_page/extraction_page.h"
#include "core/temp_file.h"
#include "engine/disk_space.h"
#include "engine/methods.h"
#include "tests/engine/job_harness.h"
#include "tests/app/window_test_app.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;

QApplication& App() { return WindowTestApp(); }

using harness::Fixture;
using harness::Manifest;
using harness::Md5;
using harness::ReadFile;

// A source long enough to stop in the middle: the PAL clip repeated, as
// one MPEG stream of 2324-byte packs.
struct LongSource {
    LongSource() : folder(CreateTempDir("pellmor-long-")), path(folder + "/long.mpg") {
        const std::string clip = ReadFile(Fixture("clip_pal_vcd.mpg"));
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 1000; ++i) out.write(clip.data(), static_cast<std::streamsize>(clip.size()));
    }
    ~LongSource() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string folder, path;
};
const std::string& LongStream() {
    static const LongSource source;
    return source.path;
}

struct Extraction : ::testing::Test {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    int64_t freeBytes = -2;  // -2: ask the file system
    std::string dir;
    std::unique_ptr<TForm1> w;

    void SetUp() override {
        App();
        dir = CreateTempDir("pellmor-window-");
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        s.freeSpace = [this](const std::string& name) {
            return freeBytes == -2 ? FreeSpaceForOutput(name) : freeBytes;
        };
        w = std::make_unique<TForm1>(std::move(s));
        w->show();
    }
    void TearDown() override {
        w.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    template <class T>
    T* find(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    std::string out(const std::string& name) const { return dir + "/" + name; }
    QListWidget* tracks() { return find<QListWidget>("TrackListBox"); }
    QPushButton* start() { return find<QPushButton>("startButton"); }

    void chooseMethod(int method) {
        find<QComboBox>("methodBox")->setCurrentIndex(method);
        w->extractionPage->methodBoxChange();
    }
    // The user picks the method, the source in the open dialog and the
    // output in the save dialog.
    void load(int method, const std::string& source, const std::string& output) {
        chooseMethod(method);
        files.scriptOpen(source);
        files.scriptSave(output);
        ASSERT_TRUE(find<QPushButton>("browseButton")->isEnabled());
        find<QPushButton>("browseButton")->click();
    }
    // Pumps events until the worker has ended and its last writes arrived.
    void waitForJob() {
        QElapsedTimer t;
        t.start();
        while ((w->JobRunning() || w->WorkerBusy()) && t.elapsed() < 120000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        ASSERT_FALSE(w->JobRunning() || w->WorkerBusy()) << "the job did not end";
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        auto* log = find<QListWidget>("log");
        for (int i = 0; i < log->count(); ++i) lines.push_back(log->item(i)->text().toStdString());
        return lines;
    }
    int logged(const std::string& text) {
        int n = 0;
        for (const auto& l : logLines()) n += l.find(text) != std::string::npos;
        return n;
    }
    int shownOf(const std::string& kind) {
        int n = 0;
        for (const auto& s : dialogs.shown()) n += s.kind == kind;
        return n;
    }
    int asked(const std::string& text, const std::string& caption, const std::string& kind = "ask") {
        int n = 0;
        for (const auto& s : dialogs.shown())
            n += s.kind == kind && s.message.find(text) == 0 && s.caption == caption;
        return n;
    }
    bool shownMessage(const std::string& text) {
        for (const auto& s : dialogs.shown())
            if (s.message.find(text) != std::string::npos) return true;
        return false;
    }
    int32_t indicatorColour() {
        QColor c = find<QLabel>("StatusIndicator")->palette().color(QPalette::Window);
        return c.red() | (c.green() << 8) | (c.blue() << 16);
    }
    void screenshot(const std::string& name) {
        const QString path = QString::fromStdString(std::string(PELLMOR_BUILD_DIR) + "/" + name);
        EXPECT_TRUE(w->grab().save(path));
    }
    std::vector<std::string> outputs() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// ---------------------------------------------------------------- cue sheet

TEST_F(Extraction, CueSheetListsItsTracksAndExtractsTheSelectedOnes) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    ASSERT_EQ(tracks()->count(), 3);
    // "Track #" number "   " time "   " sector size " bytes/sector   " KiB "k".
    const QRegularExpression line(R"(^Track #0([1-3])   \d\d:\d\d:\d\d   2352 bytes/sector   \d+k$)");
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch m = line.match(tracks()->item(i)->text());
        ASSERT_TRUE(m.hasMatch()) << tracks()->item(i)->text().toStdString();
        EXPECT_EQ(m.captured(1).toInt(), i + 1);
    }
    EXPECT_EQ(find<QLineEdit>("inputFileField")->text().toStdString(), Fixture("vcd_pal3.cue"));
    EXPECT_EQ(find<QLabel>("TrackMsgLabel")->text(), QString("All tracks selected"));
    EXPECT_TRUE(start()->isEnabled());
    EXPECT_TRUE(find<QCheckBox>("trackZeroBox")->isEnabled());

    tracks()->item(0)->setSelected(true);
    tracks()->item(2)->setSelected(true);
    EXPECT_EQ(find<QLabel>("TrackMsgLabel")->text(), QString("User selected tracks"));
    EXPECT_EQ(w->MainConfig->selectedTracksOnly, 1);

    start()->click();
    EXPECT_EQ(start()->text(), QString("stop"));
    waitForJob();

    const auto ripped = Manifest().at("vcd_pal3.cue");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"movie_01.mpg", "movie_03.mpg"}));
    EXPECT_EQ(fs::file_size(out("movie_01.mpg")), ripped[0].size);
    EXPECT_EQ(Md5(out("movie_01.mpg")), ripped[0].md5);
    EXPECT_EQ(Md5(out("movie_03.mpg")), ripped[2].md5);
    EXPECT_EQ(logged("processed Track 1 "), 1);
    EXPECT_EQ(logged("processed Track 2 "), 0);
    EXPECT_EQ(logged("processed Track 3 "), 1);
    EXPECT_EQ(logged("## Pellmor completed"), 1);
    EXPECT_EQ(w->generatedFiles, "\"" + out("movie_01.mpg") + "\" \"" + out("movie_03.mpg") + "\" ");

    // The window after the job: ready for the next, preview on the outputs.
    EXPECT_EQ(start()->text(), QString("start"));
    EXPECT_EQ(w->windowTitle(), QString(TForm1::kCaption));
    EXPECT_EQ(find<QProgressBar>("ProgressBar")->value(), 0);
    EXPECT_EQ(indicatorColour(), w->MainConfig->Pass_Clr);
    EXPECT_TRUE(find<QPushButton>("previewButton")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("browseButton")->isEnabled());
    EXPECT_TRUE(find<QComboBox>("methodBox")->isEnabled());
    find<QPushButton>("previewButton")->click();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "\"" + out("movie_01.mpg") + "\"");
    EXPECT_EQ(shownOf("error"), 0);
}

// The worker runs from copies taken at the start: what the window changes
// meanwhile reaches neither the job's outputs nor its end, and the end
// leaves the window's own changes be.
TEST_F(Extraction, ChangesDuringAJobReachNeitherItsOutputsNorItsEnd) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    ASSERT_EQ(tracks()->count(), 3);
    start()->click();
    w->MainConfig->MultiFileFormat = "-changed%d";
    w->MainConfig->passive = 1;
    w->MainConfig->ToastEnable = 1;
    w->OpenDialog.FileName = Fixture("vcd_ntsc.cue");
    w->SaveDialog.FileName = out("other.mpg");
    w->generatedFiles = "\"changed.mpg\" ";
    waitForJob();

    const auto ripped = Manifest().at("vcd_pal3.cue");
    ASSERT_EQ(outputs(), (std::vector<std::string>{"movie_01.mpg", "movie_02.mpg", "movie_03.mpg"}));
    std::string listed;
    for (size_t i = 0; i < ripped.size(); ++i) {
        const std::string name = out("movie_0" + std::to_string(i + 1) + ".mpg");
        EXPECT_EQ(Md5(name), ripped[i].md5) << name;
        listed += "\"" + name + "\" ";
    }
    EXPECT_EQ(w->generatedFiles, listed);
    EXPECT_EQ(w->MainConfig->MultiFileFormat, "-changed%d");
    EXPECT_EQ(w->SaveDialog.FileName, out("other.mpg"));
}

// A start that finds the last worker finished before its queued end came
// ends that job itself; the late end then touches neither the new job nor
// the window.
TEST_F(Extraction, ALateEndOfTheLastJobLeavesTheNextAlone) {
    load(Index(Method::MpegToMpeg), Fixture("clip_pal_vcd.mpg"), out("a.mpg"));
    start()->click();
    // No events meanwhile: the end stays queued.
    QElapsedTimer t;
    t.start();
    while (w->JobRunning() && t.elapsed() < 20000) QThread::msleep(1);
    ASSERT_FALSE(w->JobRunning());
    ASSERT_TRUE(w->WorkerBusy());
    w->SaveDialog.FileName = out("b.mpg");
    start()->click();
    EXPECT_EQ(start()->text(), QString("stop")) << "the second job did not start";
    waitForJob();
    const std::string clip = ReadFile(Fixture("clip_pal_vcd.mpg"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(out("a.mpg")), clip));
    EXPECT_TRUE(harness::SameBytes(ReadFile(out("b.mpg")), clip));
    EXPECT_EQ(w->generatedFiles, "\"" + out("b.mpg") + "\" ");
    EXPECT_EQ(logged("## Pellmor completed"), 2);
}

TEST_F(Extraction, ACueSheetWithALatinOneNameLoadsAndExtracts) {
    // Names written by older programs: Latin-1 bytes, not UTF-8.
    const std::string folder = out("vid\xE9os");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string cue = folder + "/s\xE9rie.cue";
    fs::copy_file(Fixture("vcd_pal3.cue"), cue);
    fs::create_symlink(Fixture("vcd_pal3.bin"), folder + "/vcd_pal3.bin");
    load(Index(Method::CueBinToMpeg), cue, out("serie.mpg"));
    ASSERT_EQ(tracks()->count(), 3) << "the sheet was opened by its own name";
    EXPECT_EQ(find<QLineEdit>("inputFileField")->text(), QString::fromLatin1(cue.c_str()));
    EXPECT_TRUE(fs::equivalent(w->MainConfig->DefaultLoadDir, folder)) << w->MainConfig->DefaultLoadDir;
    tracks()->item(1)->setSelected(true);
    start()->click();
    waitForJob();
    EXPECT_EQ(Md5(out("serie_02.mpg")), Manifest().at("vcd_pal3.cue")[1].md5);
    EXPECT_EQ(shownOf("error"), 0);
}

// ---------------------------------------------------------------- other sources

struct SourceCase {
    int method;
    const char* source;
    const char* ripped;  // manifest entry of the same content
    const char* firstLine;
};

TEST_F(Extraction, EverySourceKindGivesVcdxripsFiles) {
    for (const SourceCase& c : {
             SourceCase{4, "vcd_pal3.bin", "vcd_pal3.cue", "Track  1: "},
             SourceCase{12, "vcd_pal3.nrg", "vcd_pal3.nrg", "Track  1: "},
             SourceCase{5, "vcd_pal3.toc", "vcd_pal3.cue", "Track #01   "},
             SourceCase{11, "vcd_ntsc.cif", "vcd_ntsc.cue", "Track  1: "},
         }) {
        SCOPED_TRACE(c.source);
        const std::string base = std::string("m") + std::to_string(c.method);
        load(c.method, Fixture(c.source), out(base + ".mpg"));
        const auto ripped = Manifest().at(c.ripped);
        ASSERT_EQ(tracks()->count(), static_cast<int>(ripped.size()));
        EXPECT_EQ(tracks()->item(0)->text().toStdString().rfind(c.firstLine, 0), 0u)
            << tracks()->item(0)->text().toStdString();
        start()->click();
        waitForJob();
        for (size_t i = 0; i < ripped.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%s_%02zu.mpg", base.c_str(), i + 1);
            SCOPED_TRACE(name);
            ASSERT_TRUE(fs::exists(out(name)));
            EXPECT_EQ(fs::file_size(out(name)), ripped[i].size);
            EXPECT_EQ(Md5(out(name)), ripped[i].md5);
        }
    }
    EXPECT_EQ(shownOf("error"), 0);
}

TEST_F(Extraction, ImageTrackLinesGiveLengthAndTime) {
    load(Index(Method::NrgToMpeg), Fixture("vcd_pal3.nrg"), out("n.mpg"));
    ASSERT_EQ(tracks()->count(), 3);
    const QRegularExpression line(R"(^Track  ([1-3]): (\d+) bytes \[\d\d:\d\d:\d\d\]$)");
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch m = line.match(tracks()->item(i)->text());
        ASSERT_TRUE(m.hasMatch()) << tracks()->item(i)->text().toStdString();
        EXPECT_EQ(m.captured(2).toLongLong(), w->imageTrackLengths[static_cast<size_t>(i)]);
    }
}

// ---------------------------------------------------------------- refused sources

TEST_F(Extraction, SourcesThatCannotBeLoadedLeaveNothingToStart) {
    struct Case {
        int method;
        std::string source;
        const char* message;
    };
    const std::string noCue = out("absent.cue");
    for (const Case& c : {Case{2, Fixture("bad_missing_bin.cue"), "Binary image file specified inside CUE"},
                          Case{2, noCue, "Source file could not be opened or accessed."},
                          Case{4, Fixture("bad_random.bin"), ""}, Case{4, Fixture("bad_empty.bin"), ""},
                          Case{12, Fixture("bad_random.bin"), "Unable to locate AVSEQ/MUSIC MPEG tracks."},
                          Case{4, out("absent.bin"), "Source file could not be opened or accessed."}}) {
        SCOPED_TRACE(c.source);
        // A good source first: a refused one must not leave its tracks startable.
        load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
        ASSERT_EQ(tracks()->count(), 3);
        const int errorsBefore = shownOf("error");
        load(c.method, c.source, out("movie.mpg"));
        EXPECT_GT(shownOf("error"), errorsBefore) << "the refusal is reported";
        if (*c.message) {
            EXPECT_TRUE(shownMessage(c.message));
        }
        EXPECT_EQ(tracks()->count(), 0);
        EXPECT_FALSE(start()->isEnabled());
        EXPECT_TRUE(find<QLineEdit>("inputFileField")->text().isEmpty());
        start()->click();
        EXPECT_FALSE(w->WorkerBusy());
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(Extraction, CancelledDialogs) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    ASSERT_EQ(tracks()->count(), 3);
    // No source chosen: the page stays as it was.
    files.scriptOpen(std::nullopt);
    EXPECT_EQ(w->extractionPage->loadButton(), 12);
    EXPECT_EQ(tracks()->count(), 3);
    EXPECT_TRUE(start()->isEnabled());
    // A new source without an output: nothing is left that could start.
    files.scriptOpen(Fixture("vcd_pal3.toc"));
    files.scriptSave(std::nullopt);
    EXPECT_EQ(w->extractionPage->loadButton(), 0);
    EXPECT_EQ(tracks()->count(), 0);
    EXPECT_FALSE(start()->isEnabled());
    EXPECT_TRUE(w->SaveDialog.FileName.empty());
}

// ---------------------------------------------------------------- questions

TEST_F(Extraction, OverwriteAnsweredNoKeepsTheFile) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    { std::ofstream(out("movie_01.mpg")) << "old"; }
    dialogs.script({platform::kNo});
    start()->click();
    waitForJob();
    EXPECT_EQ(shownOf("ask"), 1);
    EXPECT_EQ(ReadFile(out("movie_01.mpg")), "old");
    EXPECT_EQ(outputs(), std::vector<std::string>{"movie_01.mpg"});
    EXPECT_TRUE(shownMessage("Unable to create output file."));
    EXPECT_EQ(indicatorColour(), w->MainConfig->Error_Clr);
}

// However the job ends, the page is left as after any job: no status
// text or time left of it, "Completed:", an empty bar, the window's caption.
TEST_F(Extraction, ARefusedOverwriteLeavesThePageAsAnyEnd) {
    struct Case {
        int method;
        const char* source;
        const char* output;
        const char* existing;
        int answer;
        const char* counters;  // empty: none reported
    } cases[] = {
        {10, "clip_pal_vcd.mpg", "clip.mpg", "clip.mpg", platform::kNo, "0 Warnings / 1 Errors"},
        {10, "clip_pal_vcd.mpg", "clip.mpg", "clip.mpg", platform::kCancel, ""},
        {2, "vcd_pal3.cue", "movie.mpg", "movie_01.mpg", platform::kNo, "0 Warnings / 1 Errors"},
        {2, "vcd_pal3.cue", "movie.mpg", "movie_01.mpg", platform::kCancel, ""},
        {8, "vcd_ntsc_avseq01.dat", "d.mpg", "d.mpg", platform::kCancel, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + (c.answer == platform::kNo ? " No" : " Cancel"));
        load(c.method, Fixture(c.source), out(c.output));
        { std::ofstream(out(c.existing)) << "old"; }
        dialogs.script({c.answer});
        start()->click();
        waitForJob();
        EXPECT_EQ(ReadFile(out(c.existing)), "old");
        EXPECT_EQ(find<QLabel>("statusMsg")->text().toStdString(), "");
        EXPECT_EQ(find<QLabel>("etaMsg")->text().toStdString(), "");
        EXPECT_EQ(find<QLabel>("compLabel1")->text().toStdString(), "Completed:");
        EXPECT_EQ(find<QProgressBar>("ProgressBar")->value(), 0);
        EXPECT_EQ(w->windowTitle(), QString(TForm1::kCaption));
        EXPECT_EQ(start()->text(), QString("start"));
        EXPECT_EQ(indicatorColour(), w->MainConfig->Error_Clr);
        auto* totals = find<QLabel>("totalErrWarnings");
        EXPECT_EQ(totals->isVisible(), *c.counters != 0);
        if (*c.counters) {
            EXPECT_EQ(totals->text().toStdString(), c.counters) << "counted from zero at the start";
        }
        std::error_code ec;
        fs::remove(out(c.existing), ec);
    }
}

TEST_F(Extraction, CountersStartFromZeroAtEachLoadAndEachJob) {
    auto* totals = find<QLabel>("totalErrWarnings");
    // Two loads that fail the same way: each shows its own one error.
    for (int i = 0; i < 2; ++i) {
        load(Index(Method::CueBinToMpeg), Fixture("bad_missing_bin.cue"), out("movie.mpg"));
        EXPECT_TRUE(totals->isVisible());
        EXPECT_EQ(totals->text().toStdString(), "0 Warnings / 1 Errors");
    }
    // A good load starts clean.
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    EXPECT_FALSE(totals->isVisible());
    EXPECT_EQ(w->stats->errors.load(), 0);

    // A start refused for a bad forced size counts one error; the next
    // start counts its own from zero.
    find<QCheckBox>("forceRead")->setChecked(true);
    find<QLineEdit>("sectorReadField")->setText("1234");
    start()->click();
    ASSERT_FALSE(w->WorkerBusy());
    EXPECT_EQ(totals->text().toStdString(), "0 Warnings / 1 Errors");
    find<QCheckBox>("forceRead")->setChecked(false);
    { std::ofstream(out("movie_01.mpg")) << "old"; }
    dialogs.script({platform::kNo});
    start()->click();
    waitForJob();
    EXPECT_TRUE(totals->isVisible());
    EXPECT_EQ(totals->text().toStdString(), "0 Warnings / 1 Errors");
    EXPECT_EQ(logged("Unable to create output file."), 1);
}

// Clearing the page after a job zeroes its counters, hides them and leaves
// nothing to preview.
TEST_F(Extraction, ClearingThePageAfterAJobLeavesNothingOfIt) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    start()->click();
    waitForJob();
    ASSERT_TRUE(find<QPushButton>("previewButton")->isEnabled());
    w->stats->warnings = 2;
    w->stats->errors = 3;
    find<QLabel>("totalErrWarnings")->show();
    dialogs.script({platform::kYes});
    ASSERT_EQ(w->ResetPage(0), platform::kYes);
    EXPECT_FALSE(find<QPushButton>("previewButton")->isEnabled());
    EXPECT_TRUE(find<QLabel>("totalErrWarnings")->isHidden());
    EXPECT_EQ(w->stats->warnings.load(), 0);
    EXPECT_EQ(w->stats->errors.load(), 0);
}

TEST_F(Extraction, ANewLoadForgetsThePreviousJobsOutputs) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    start()->click();
    waitForJob();
    ASSERT_TRUE(find<QPushButton>("previewButton")->isEnabled());
    ASSERT_FALSE(w->generatedFiles.empty());

    load(Index(Method::TocBinToMpeg), Fixture("vcd_pal3.toc"), out("other.mpg"));
    EXPECT_FALSE(find<QPushButton>("previewButton")->isEnabled());
    EXPECT_TRUE(w->generatedFiles.empty());
    w->extractionPage->previewButtonClick();
    EXPECT_TRUE(shell.opened.empty()) << "nothing of the previous job is offered";
    // The new job's outputs are.
    start()->click();
    waitForJob();
    find<QPushButton>("previewButton")->click();
    EXPECT_EQ(shell.opened, std::vector<std::string>{"\"" + out("other_01.mpg") + "\""});
}

TEST_F(Extraction, TheSaveDialogOpensBesideTheSourceUntilAFolderIsRemembered) {
    ASSERT_TRUE(w->MainConfig->DefaultSaveDir.empty());
    // The first save dialog of a run: beside the source.
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    ASSERT_EQ(files.saves(), 1);
    EXPECT_TRUE(fs::equivalent(files.lastShown().InitialDir, PELLMOR_FIXTURES)) << files.lastShown().InitialDir;
    // Then the folder the user saved into.
    load(Index(Method::TocBinToMpeg), Fixture("vcd_pal3.toc"), out("other.mpg"));
    EXPECT_TRUE(fs::equivalent(files.lastShown().InitialDir, dir)) << files.lastShown().InitialDir;
}

TEST_F(Extraction, UnattendedQuestionsTakeThePromptFlagsAnswer) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    { std::ofstream(out("movie_01.mpg")) << "old"; }
    // A batch task runs the job: nobody is there to answer.
    w->SetTaskRunning(1);
    EXPECT_FALSE(start()->isEnabled()) << "a running batch keeps the start button";
    w->extractionPage->startButtonClick();
    waitForJob();
    EXPECT_EQ(shownOf("ask"), 0);
    EXPECT_EQ(shownOf("error"), 0);
    EXPECT_EQ(ReadFile(out("movie_01.mpg")), "old");
    EXPECT_EQ(logged("Unable to create output file."), 1);
}

TEST_F(Extraction, NotEnoughSpaceAnsweredNoStartsNothing) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    freeBytes = 1000;
    dialogs.script({platform::kNo});
    start()->click();
    EXPECT_TRUE(shownMessage("There may not be enough space to write the output file."));
    EXPECT_FALSE(w->JobRunning());
    EXPECT_FALSE(w->WorkerBusy());
    EXPECT_EQ(logged("## Pellmor active"), 0);
    EXPECT_EQ(start()->text(), QString("start"));
    EXPECT_TRUE(outputs().empty());

    // Exactly the estimate free is enough: no question.
    freeBytes = w->trackTable->selectedBytes;
    ASSERT_GT(freeBytes, 0);
    const int asked = shownOf("ask");
    start()->click();
    waitForJob();
    EXPECT_EQ(shownOf("ask"), asked);
    EXPECT_EQ(outputs().size(), 3u);
}

TEST_F(Extraction, PassiveModeRunsTheJobAndWritesNothing) {
    find<QCheckBox>("PassiveBox")->setChecked(true);
    chooseMethod(Index(Method::CueBinToMpeg));
    files.scriptOpen(Fixture("vcd_pal3.cue"));
    find<QPushButton>("browseButton")->click();
    EXPECT_EQ(files.saves(), 0) << "passive mode names no output";
    ASSERT_EQ(tracks()->count(), 3);
    start()->click();
    waitForJob();
    EXPECT_EQ(logged("## Pellmor completed"), 1);
    EXPECT_EQ(logged("processed Track"), 3);
    EXPECT_TRUE(outputs().empty());
    EXPECT_FALSE(fs::exists("nul"));
    EXPECT_TRUE(w->generatedFiles.empty());
}

// ---------------------------------------------------------------- options

TEST_F(Extraction, ForcedSizesTheEngineCannotUseAreRefusedBeforeTheStart) {
    load(Index(Method::BinToMpeg), Fixture("vcd_pal3.bin"), out("movie.mpg"));
    find<QCheckBox>("forceRead")->setChecked(true);
    auto* field = find<QLineEdit>("sectorReadField");
    for (const char* text : {"0", "1234", "2353", "9999"}) {
        SCOPED_TRACE(text);
        field->setText(text);
        start()->click();
        EXPECT_FALSE(w->WorkerBusy());
        EXPECT_TRUE(shownMessage("Unable to determine image sector size."));
        EXPECT_EQ(field->text(), QString(text));
    }
    // Not a number: the field goes back to the size it held.
    field->setText("23a2");
    w->extractionPage->sectorReadFieldExit();
    EXPECT_EQ(field->text(), QString("9999"));
    field->setText("2352");
    start()->click();
    waitForJob();
    EXPECT_EQ(outputs().size(), 3u);
    EXPECT_EQ(Md5(out("movie_02.mpg")), Manifest().at("vcd_pal3.cue")[1].md5);
}

TEST_F(Extraction, IncludeTrackZeroFollowsTheMethodsBumperRule) {
    for (Method method : {Method::CueBinToMpeg, Method::CueBinToDat, Method::TocBinToMpeg}) {
        SCOPED_TRACE(Index(method));
        load(Index(method), Fixture(method == Method::TocBinToMpeg ? "vcd_pal3.toc" : "vcd_pal3.cue"), out("m.mpg"));
        auto* zero = find<QCheckBox>("trackZeroBox");
        auto* bumper = find<QCheckBox>("bumperCheckBox");
        ASSERT_TRUE(bumper->isEnabled());
        zero->setChecked(true);
        ASSERT_EQ(tracks()->count(), 4);
        EXPECT_TRUE(tracks()->item(0)->text().startsWith("Track #00"));
        EXPECT_FALSE(bumper->isEnabled());
        zero->setChecked(false);
        EXPECT_EQ(tracks()->count(), 3);
        EXPECT_TRUE(bumper->isEnabled()) << "every method whose options have the bumper gets it back";
    }
}

// ---------------------------------------------------------------- CD-i subtitles

// Raw sectors with a path table naming "CDI" (logical sector 18) and one
// subtitle record in that directory (sector 22).
std::string CdiImage(const std::string& path) {
    std::string image(40 * 2352, '\0');
    for (int s = 0; s < 40; ++s) image.replace(static_cast<size_t>(s) * 2352 + 1, 10, 10, '\xFF');
    const size_t table = 18 * 2352 + 40;
    image[table + 2] = 22;
    image.replace(table + 6, 6, std::string("\x01\x00" "CDI\x00", 6));
    const size_t rec = 22 * 2352 + 120;
    image[rec] = 42;
    image[rec + 28] = 1;
    image[rec + 31] = 1;
    image[rec + 32] = 9;
    image.replace(rec + 33, 9, "SUBS.EN;1");
    std::ofstream(path, std::ios::binary) << image;
    return path;
}

TEST_F(Extraction, SubtitleProbeWhenAlwaysScanning) {
    // A disc without CD-i subtitles says so and the job runs.
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    w->MainConfig->AlwaysScanForCDI = 1;
    start()->click();
    waitForJob();
    EXPECT_EQ(logged("No CD-i subtitles found."), 1);
    EXPECT_EQ(outputs().size(), 3u);

    // Found: the user is asked Yes or No (no Cancel), and the job goes on either way.
    const std::string image = CdiImage(out("cdi.raw"));
    load(Index(Method::RawToMpeg), image, out("cdi.mpg"));
    w->MainConfig->AlwaysScanForCDI = 1;
    dialogs.script({platform::kNo});
    start()->click();
    waitForJob();
    EXPECT_EQ(asked("CD-i subtitle(s) found in image.  Do you want to extract and convert them?",
                    "Detected CD-i Subtitle(s)", "askYesNo"),
              1);
    EXPECT_EQ(asked("CD-i subtitle(s) found in image.", "Detected CD-i Subtitle(s)"), 0);
    EXPECT_EQ(logged("## Pellmor active"), 2);

    // Unattended, nobody is asked.
    w->SetTaskRunning(1);
    w->MainConfig->AlwaysScanForCDI = 1;
    w->extractionPage->startButtonClick();
    waitForJob();
    EXPECT_EQ(asked("CD-i subtitle(s) found in image.", "Detected CD-i Subtitle(s)", "askYesNo"), 1);
    EXPECT_EQ(logged("## Pellmor active"), 3);
}

// ---------------------------------------------------------------- stop

TEST_F(Extraction, StopInTheMiddleOfATrackAndScreenshots) {
    load(Index(Method::MpegToMpeg), LongStream(), out("long.mpg"));
    ASSERT_TRUE(start()->isEnabled());
    auto* bar = find<QProgressBar>("ProgressBar");
    QString titleDuring, etaDuring, statusDuring, completedDuring;
    bool shot = false;
    QObject::connect(bar, &QProgressBar::valueChanged, w.get(), [&](int v) {
        // Early, so that a slow machine still catches the job in its track.
        if (shot || v < 3 || v >= 100 || !w->JobRunning()) return;
        shot = true;
        start()->click();  // stop
        // What the user saw at that moment (the worker's last updates are
        // still queued).
        titleDuring = w->windowTitle();
        etaDuring = find<QLabel>("etaMsg")->text();
        statusDuring = find<QLabel>("statusMsg")->text();
        completedDuring = find<QLabel>("compLabel1")->text();
        screenshot("extraction_running.png");
    });
    start()->click();
    waitForJob();
    ASSERT_TRUE(shot) << "the job ended before it could be stopped";
    EXPECT_TRUE(QRegularExpression(R"(^\d+% \[ETA \d\d:\d\d:\d\d\] - Pellmor$)").match(titleDuring).hasMatch())
        << titleDuring.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d$)").match(etaDuring).hasMatch());
    EXPECT_EQ(statusDuring, QString("writing..."));
    EXPECT_TRUE(completedDuring.startsWith("Completed: "));

    EXPECT_EQ(logged("[ aborted processing ]"), 1);
    EXPECT_EQ(logged("processed Track"), 0);
    EXPECT_EQ(logged("## Pellmor completed"), 1);
    EXPECT_LT(fs::file_size(out("long.mpg")), fs::file_size(LongStream()));
    EXPECT_EQ(indicatorColour(), w->MainConfig->Error_Clr);
    EXPECT_EQ(start()->text(), QString("start"));
    EXPECT_EQ(w->windowTitle(), QString(TForm1::kCaption));
    screenshot("extraction_stopped.png");
    find<QPushButton>("logButton")->click();
    screenshot("extraction_log.png");
}

TEST_F(Extraction, CompletedJobScreenshot) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    w->MainConfig->FixMPEGErrors = 1;
    find<QCheckBox>("fixErrorCheckBox")->setChecked(true);
    start()->click();
    waitForJob();
    EXPECT_EQ(find<QLabel>("FixLabel")->text(), QString("Fixes: 0"));
    EXPECT_EQ(indicatorColour(), w->MainConfig->Pass_Clr);
    screenshot("extraction_done.png");
}

TEST_F(Extraction, QuickClicksStartOneWorker) {
    load(Index(Method::MpegToMpeg), LongStream(), out("long.mpg"));
    // Start, then at once stop, then a click while the job is still ending.
    start()->click();
    start()->click();
    start()->click();
    waitForJob();
    EXPECT_EQ(logged("## Pellmor active"), 1);
    // Stopped, wherever the worker was: nothing processed, nothing written
    // in full, no error.
    EXPECT_EQ(logged("[ aborted processing ]"), 1);
    EXPECT_EQ(logged("processed Track"), 0);
    EXPECT_EQ(logged("## Pellmor completed"), 1);
    EXPECT_TRUE(!fs::exists(out("long.mpg")) || fs::file_size(out("long.mpg")) < fs::file_size(LongStream()));
    EXPECT_EQ(shownOf("error"), 0);
    EXPECT_EQ(indicatorColour(), w->MainConfig->Error_Clr);

    // Once it has ended, a click starts the next job.
    fs::remove(out("long.mpg"));
    ASSERT_TRUE(outputs().empty());
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    start()->click();
    waitForJob();
    EXPECT_EQ(logged("## Pellmor active"), 2);
}

TEST_F(Extraction, ClosingTheWindowDuringAJobStopsAndWaitsForIt) {
    load(Index(Method::MpegToMpeg), LongStream(), out("long.mpg"));
    start()->click();
    ASSERT_TRUE(w->JobRunning());
    w->close();
    EXPECT_FALSE(w->JobRunning());
    w.reset();
    EXPECT_TRUE(!fs::exists(out("long.mpg")) || fs::file_size(out("long.mpg")) < fs::file_size(LongStream()));
}

TEST_F(Extraction, TheWindowStaysResponsiveAndOptionsHoldDuringAJob) {
    load(Index(Method::MpegToMpeg), LongStream(), out("long.mpg"));
    start()->click();
    ASSERT_TRUE(w->JobRunning());
    // What the worker reads cannot change under it.
    EXPECT_FALSE(find<QCheckBox>("fixErrorCheckBox")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>("PassiveBox")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("browseButton")->isEnabled());
    EXPECT_TRUE(start()->isEnabled());
    // Page switches are served while the worker writes.
    find<QPushButton>("logButton")->click();
    EXPECT_EQ(find<QTabWidget>("menuPage")->currentIndex(), 2);
    find<QPushButton>("pellmorButton")->click();
    EXPECT_EQ(find<QTabWidget>("menuPage")->currentIndex(), 0);
    waitForJob();
    EXPECT_TRUE(find<QCheckBox>("fixErrorCheckBox")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>("PassiveBox")->isEnabled());
    EXPECT_EQ(fs::file_size(out("long.mpg")), fs::file_size(LongStream()));
}

}  // namespace
