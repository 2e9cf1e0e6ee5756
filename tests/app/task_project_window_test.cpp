// Task projects through the real main window, offscreen: save a page, reset
// it, open the project, and find the same state and the same job outputs;
// broken files and declined questions leave the window as it was.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "app/main_window/main_window.h"
#include "app/extraction_page/extraction_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "disc/mpeg_file_list.h"
#include "core/temp_file.h"
#include "engine/methods.h"
#include "engine/task_project.h"
#include "platform/qt/text.h"
#include "tests/app/window_test_app.h"
#include "tests/engine/job_harness.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;
using harness::Fixture;
using harness::Manifest;
using harness::Md5;
using platform::qt::fromQt;

// Everything a project carries, as the window shows and holds it.
struct PageState {
    int page = 0, method = 0;
    std::vector<bool> boxes;
    std::string readField, writeField;
    std::vector<int> selected;
    int rows = 0;
    int selectedOnly = 0;
    std::string trackMsg, volume, source, output, inputField, saveField;
    std::vector<std::string> openFiles, saveFiles;
    bool batchTask = false;
    std::string span;
    bool sample = false;
    std::array<uint8_t, kTaskProjectClipBytes> clip{};
    std::string clipName;
    std::vector<std::string> buildFiles;

    bool operator==(const PageState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PageState& s) {
    os << "page " << s.page << " method " << s.method << " boxes";
    for (bool b : s.boxes) os << ' ' << b;
    os << " fields " << s.readField << '/' << s.writeField << " rows " << s.rows << " selected";
    for (int r : s.selected) os << ' ' << r;
    os << " only " << s.selectedOnly << " msg '" << s.trackMsg << "' vol '" << s.volume << "' source '" << s.source
       << "' output '" << s.output << "' input field '" << s.inputField << "' save field '" << s.saveField
       << "' batchTask " << s.batchTask << " span " << s.span << " sample " << s.sample << " clip name '"
       << s.clipName << "' build files " << s.buildFiles.size();
    return os;
}

struct TaskProjects : ::testing::Test, MainWindowRig {
    std::string dir;
    // The window's own clip editor is made when "Yes" is ticked.
    FakeClipEditorPlayer fakePlayer;

    void SetUp() override {
        WindowTestApp();
        dir = CreateTempDir("pellmor-ktp-window-");
        w = MakeWindow();
    }
    void TearDown() override {
        w.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string out(const std::string& name) const { return dir + "/" + name; }
    QListWidget* tracks() { return find<QListWidget>("TrackListBox"); }

    void load(int method, const std::string& source, const std::string& output) {
        find<QComboBox>("methodBox")->setCurrentIndex(method);
        w->extractionPage->methodBoxChange();
        files.scriptOpen(source);
        files.scriptSave(output);
        find<QPushButton>("browseButton")->click();
    }
    void taskItem(int item) {
        w->taskButtonClick();
        find<QListWidget>("taskBox")->setCurrentRow(item);
        w->taskBoxClick();
    }
    void save(const std::string& path) {
        files.scriptSave(path);
        taskItem(1);
    }
    void open(const std::string& path) {
        files.scriptOpen(path);
        taskItem(0);
    }
    PageState state() {
        PageState s;
        s.page = w->pageMode;
        s.method = s.page == 0 ? find<QComboBox>("methodBox")->currentIndex()
                               : find<QComboBox>("buildVCDMethod")->currentIndex();
        for (const char* box : {"fixErrorCheckBox", "bumperCheckBox", "forceRead", "forceWrite", "trackZeroBox",
                                "sfvCheck", "toastCheckBox", "subCheckBox"})
            s.boxes.push_back(find<QCheckBox>(box)->isChecked());
        s.readField = find<QLineEdit>("sectorReadField")->text().toStdString();
        s.writeField = find<QLineEdit>("sectorWriteField")->text().toStdString();
        s.rows = tracks()->count();
        for (int r = 0; r < s.rows; ++r)
            if (tracks()->item(r)->isSelected()) s.selected.push_back(r);
        s.selectedOnly = w->MainConfig->selectedTracksOnly;
        s.trackMsg = find<QLabel>("TrackMsgLabel")->text().toStdString();
        s.volume = fromQt(find<QLineEdit>("volName")->text());
        s.source = w->OpenDialog.FileName;
        s.output = w->SaveDialog.FileName;
        s.inputField = fromQt(find<QLineEdit>("inputFileField")->text());
        s.saveField = fromQt(find<QLineEdit>("saveFileField")->text());
        s.batchTask = find<QCheckBox>("batchTask")->isChecked();
        for (const char* r : {"imgNone", "imgCustom", "img74", "img80"})
            if (find<QRadioButton>(r)->isChecked()) s.span = r;
        s.sample = find<QRadioButton>("yesSample")->isChecked();
        s.clip = w->sampleClipBytes;
        s.clipName = w->sampleClipName;
        if (w->mpegList) s.buildFiles = w->mpegList->fileNames;
        return s;
    }
    void waitForJob() {
        QElapsedTimer t;
        t.start();
        while ((w->JobRunning() || w->WorkerBusy()) && t.elapsed() < 120000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        ASSERT_FALSE(w->JobRunning() || w->WorkerBusy());
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    std::vector<std::string> mpegOutputs(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".mpg") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    int logged(const std::string& text) {
        int n = 0;
        auto* log = find<QListWidget>("log");
        for (int i = 0; i < log->count(); ++i) n += fromQt(log->item(i)->text()).find(text) != std::string::npos;
        return n;
    }
};

// Each case sets the extraction page away from its defaults after a cue
// sheet of four tracks is loaded; save, reset and open bring it back.
TEST_F(TaskProjects, ExtractionPageComesBackAsSaved) {
    struct Case {
        const char* what;
        std::function<void(TaskProjects&)> set;
    };
    std::vector<Case> cases = {
        {"defaults", [](TaskProjects&) {}},
        {"forced sizes",
         [](TaskProjects& t) {
             t.find<QCheckBox>("forceRead")->setChecked(true);
             t.find<QCheckBox>("forceWrite")->setChecked(true);
             t.find<QLineEdit>("sectorReadField")->setText("2336");
             t.find<QLineEdit>("sectorWriteField")->setText("2324");
         }},
        {"rows 1 and 3 without track 0",
         [](TaskProjects& t) {
             t.tracks()->item(0)->setSelected(true);
             t.tracks()->item(2)->setSelected(true);
         }},
        {"rows 1 and 3 with track 0",
         [](TaskProjects& t) {
             t.find<QCheckBox>("trackZeroBox")->setChecked(true);
             t.tracks()->item(1)->setSelected(true);
             t.tracks()->item(3)->setSelected(true);
         }},
        {"empty volume name", [](TaskProjects& t) { t.find<QLineEdit>("volName")->setText(""); }},
        {"volume pattern", [](TaskProjects& t) { t.find<QLineEdit>("volName")->setText("DISC_%02d 100%%"); }},
        {"Latin-1 volume name",
         [](TaskProjects& t) { t.find<QLineEdit>("volName")->setText(platform::qt::toQt("\xC9T\xC9 \xE0 l'eau")); }},
        {"sample clip",
         [](TaskProjects& t) {
             for (size_t i = 0; i < kTaskProjectClipBytes; ++i) t.w->sampleClipBytes[i] = static_cast<uint8_t>(i * 9 + 1);
             t.w->sampleClipName = "/clips/sample.mpg";
         }},
        {"previous task's output",
         [](TaskProjects& t) {
             // The box takes effect at the next load, which keeps no source.
             t.w->ResetPage(0);
             t.find<QCheckBox>("batchTask")->setChecked(true);
             t.files.scriptSave(t.out("movie.mpg"));
             t.find<QPushButton>("browseButton")->click();
         }},
    };
    const char* boxes[] = {"fixErrorCheckBox", "bumperCheckBox", "forceRead",     "forceWrite",
                           "trackZeroBox",     "sfvCheck",       "toastCheckBox", "subCheckBox"};
    for (const char* box : boxes)
        cases.push_back({box, [box](TaskProjects& t) { t.find<QCheckBox>(box)->setChecked(true); }});

    const std::string project = out("p.ktp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w = MakeWindow();
        load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
        ASSERT_EQ(tracks()->count(), 3);
        c.set(*this);
        const PageState saved = state();
        save(project);
        ASSERT_TRUE(fs::is_regular_file(project));
        EXPECT_EQ(state(), saved) << "saving changes nothing";

        // Opened into a fresh window and into this one after a reset.
        w = MakeWindow();
        open(project);
        EXPECT_EQ(state(), saved);
        w->ResetPage(0);
        const size_t shown = dialogs.shown().size();
        open(project);
        EXPECT_EQ(state(), saved);
        EXPECT_EQ(dialogs.shown().size(), shown) << "an empty page is not asked about";
    }
}

TEST_F(TaskProjects, AnOpenedProjectExtractsTheSameFiles) {
    const std::string first = out("first"), second = out("second");
    fs::create_directory(first);
    fs::create_directory(second);
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), first + "/movie.mpg");
    tracks()->item(0)->setSelected(true);
    tracks()->item(2)->setSelected(true);
    find<QCheckBox>("fixErrorCheckBox")->setChecked(true);
    save(out("rows.ktp"));
    find<QPushButton>("startButton")->click();
    waitForJob();

    // The project names the first folder; the output is moved by hand.
    TaskProject p;
    ASSERT_EQ(ReadTaskProjectFile(out("rows.ktp"), p), 0);
    p.outputName = second + "/movie.mpg";
    std::string bytes;
    ASSERT_TRUE(EncodeTaskProject(p, bytes));
    ASSERT_EQ(WriteTaskProjectFile(out("rows.ktp"), bytes), 0);

    w = MakeWindow();
    open(out("rows.ktp"));
    EXPECT_EQ(w->MainConfig->selectedTracksOnly, 1);
    EXPECT_EQ(find<QLabel>("TrackMsgLabel")->text(), QString("User selected tracks"));
    find<QPushButton>("startButton")->click();
    waitForJob();

    const std::vector<std::string> expected = {"movie_01.mpg", "movie_03.mpg"};
    EXPECT_EQ(mpegOutputs(first), expected);
    EXPECT_EQ(mpegOutputs(second), expected);
    const auto ripped = Manifest().at("vcd_pal3.cue");
    EXPECT_EQ(Md5(second + "/movie_01.mpg"), ripped[0].md5);
    EXPECT_EQ(Md5(second + "/movie_03.mpg"), ripped[2].md5);
    for (const std::string& name : expected) EXPECT_EQ(Md5(first + "/" + name), Md5(second + "/" + name));
}

TEST_F(TaskProjects, VideoCdPageComesBackAsSaved) {
    struct Case {
        const char* span;
        const char* readBack;
        bool sample;
        int method;
    } cases[] = {
        {"imgNone", "imgNone", false, 0},
        {"img74", "img74", true, 1},
        // cif and nrg builds take an image, not a list of MPEG files.
        {"img80", "img80", false, 0},
        {"imgCustom", "img80", true, 1},
    };
    const std::string project = out("vcd.ktp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.span);
        w = MakeWindow();
        w->buildVCDButtonClick();
        find<QComboBox>("buildVCDMethod")->setCurrentIndex(c.method);
        for (const char* clip : {"clip_pal_vcd_c.mpg", "clip_pal_vcd.mpg", "clip_pal_vcd_b.mpg"})
            ASSERT_EQ(w->videoCdPage->AddFiles({Fixture(clip)}), 0);
        find<QRadioButton>(c.span)->setChecked(true);
        // Ticked as a task does it, so that the clip editor is not shown.
        w->batchActive = 1;
        find<QRadioButton>(c.sample ? "yesSample" : "noSample")->setChecked(true);
        w->batchActive = 0;
        find<QLineEdit>("volName")->setText("MY_DISC");
        w->SaveDialog.FileName = out("image");
        find<QLineEdit>("saveFileField")->setText(QString::fromStdString(out("image")));
        w->sampleClipBytes[5] = 7;
        w->sampleClipName = "sample.mpg";
        PageState saved = state();
        save(project);
        ASSERT_TRUE(fs::is_regular_file(project));

        w = MakeWindow();
        open(project);
        saved.span = c.readBack;
        saved.openFiles = state().openFiles;
        // "Yes" with no clip marked in the editor is saved as "No": a clip
        // the project cannot replay is none (Sample tests carry real clips).
        saved.sample = false;
        const PageState read = state();
        EXPECT_EQ(read.buildFiles, saved.buildFiles) << "in list order";
        EXPECT_EQ(read.page, 1);
        EXPECT_EQ(read.span, saved.span);
        EXPECT_EQ(read.sample, saved.sample);
        EXPECT_EQ(read.volume, saved.volume);
        EXPECT_EQ(read.output, saved.output);
        EXPECT_EQ(read.saveField, saved.saveField);
        EXPECT_EQ(read.clip, saved.clip);
        EXPECT_EQ(read.clipName, saved.clipName);
        EXPECT_EQ(read.method, c.method);
    }
}

// A project whose source has gone says so in a box, on either page, when
// the user opens it by hand (loading holds the window unattended, but
// only a batch run keeps boxes closed); the log says it as well.
TEST_F(TaskProjects, AMissingSourceIsShownInABoxOnBothPages) {
    for (int page : {0, 1}) {
        SCOPED_TRACE(page == 0 ? "extraction page" : "video-cd page");
        w = MakeWindow();
        const std::string source = out(page == 0 ? "film.cue" : "film.mpg");
        if (page == 0) {
            fs::copy_file(Fixture("vcd_pal3.cue"), source, fs::copy_options::overwrite_existing);
            fs::copy_file(Fixture("vcd_pal3.bin"), out("vcd_pal3.bin"), fs::copy_options::overwrite_existing);
            load(Index(Method::CueBinToMpeg), source, out("film.mpg"));
            ASSERT_GT(tracks()->count(), 0);
        } else {
            fs::copy_file(Fixture("clip_pal_vcd.mpg"), source, fs::copy_options::overwrite_existing);
            w->buildVCDButtonClick();
            ASSERT_EQ(w->videoCdPage->AddFiles({source}), 0);
            w->SaveDialog.FileName = out("image");
        }
        const std::string project = out("missing.ktp");
        save(project);
        ASSERT_TRUE(fs::is_regular_file(project));
        fs::remove(source);

        w = MakeWindow();
        const size_t before = dialogs.shown().size();
        open(project);
        std::vector<std::string> errors;
        for (size_t i = before; i < dialogs.shown().size(); ++i)
            if (dialogs.shown()[i].kind == "error") errors.push_back(dialogs.shown()[i].message);
        EXPECT_EQ(errors, std::vector<std::string>{"Source file could not be opened or accessed."});
        EXPECT_EQ(logged("Source file could not be opened or accessed."), 1);
    }
}

// The project's page is reset before anything is applied: opening twice
// holds only the second project's names, and a declined question leaves
// everything as it was.
TEST_F(TaskProjects, OpeningReplacesWhatThePageHeld) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("a.mpg"));
    save(out("a.ktp"));
    load(Index(Method::MpegToDat), Fixture("clip_pal_vcd.mpg"), out("b.mpg"));
    save(out("b.ktp"));

    w = MakeWindow();
    open(out("a.ktp"));
    open(out("b.ktp"));
    EXPECT_EQ(w->OpenDialog.FileName, Fixture("clip_pal_vcd.mpg"));
    EXPECT_EQ(w->OpenDialog.Files, std::vector<std::string>{Fixture("clip_pal_vcd.mpg")});
    EXPECT_EQ(w->SaveDialog.FileName, out("b.mpg"));
    EXPECT_EQ(w->SaveDialog.Files, std::vector<std::string>{out("b.mpg")});
    EXPECT_EQ(find<QComboBox>("methodBox")->currentIndex(), 9);

    // A video-cd project over a loaded extraction page, declined.
    w->buildVCDButtonClick();
    ASSERT_EQ(w->videoCdPage->AddFiles({Fixture("clip_pal_vcd.mpg")}), 0);
    w->SaveDialog.FileName = out("img");
    save(out("v.ktp"));
    w = MakeWindow();
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("a.mpg"));
    tracks()->item(1)->setSelected(true);
    const PageState before = state();
    dialogs.script({platform::kNo});
    open(out("v.ktp"));
    EXPECT_EQ(state(), before);
    EXPECT_EQ(w->pageMode, 0);
    EXPECT_EQ(w->BuildListRows(), 0);
    // Answered yes, the page is replaced.
    dialogs.script({platform::kYes});
    open(out("v.ktp"));
    EXPECT_EQ(w->pageMode, 1);
    EXPECT_EQ(w->mpegList->fileNames, std::vector<std::string>{Fixture("clip_pal_vcd.mpg")});
    EXPECT_EQ(tracks()->count(), 0);
}

// The save dialog borrowed for the project's name gives back the output
// name on every path, so the next start never writes into the project.
TEST_F(TaskProjects, SavingNeverMovesTheJobOutput) {
    load(Index(Method::MpegToDat), Fixture("clip_pal_vcd.mpg"), out("film.mpg"));
    const platform::FileDialogState kept = w->SaveDialog;
    const auto same = [&] {
        const platform::FileDialogState& s = w->SaveDialog;
        return s.FileName == kept.FileName && s.Files == kept.Files && s.Filter == kept.Filter &&
               s.DefaultExt == kept.DefaultExt && s.InitialDir == kept.InitialDir;
    };
    files.scriptSave(std::nullopt);
    taskItem(1);
    EXPECT_TRUE(same()) << "cancelled";
    EXPECT_EQ(files.lastShown().Filter, "*.ktp (pellmor project)|*.ktp|All files|*.*");
    EXPECT_EQ(files.lastShown().DefaultExt, "ktp");
    EXPECT_EQ(files.lastShown().FileName, "");

    fs::create_directory(out("taken.ktp"));
    for (const std::string& bad : {out("none/p.ktp"), out("taken.ktp")}) {
        SCOPED_TRACE(bad);
        const int before = logged("Unable to create output file.");
        save(bad);
        EXPECT_TRUE(same());
        EXPECT_EQ(logged("Unable to create output file."), before + 1);
    }
    EXPECT_EQ(w->WriteTaskProject(out("none/q.ktp")), 12);
    EXPECT_TRUE(same());

    find<QPushButton>("startButton")->click();
    waitForJob();
    EXPECT_TRUE(fs::is_regular_file(out("film.mpg")));
    EXPECT_GT(fs::file_size(out("film.mpg")), 0u);
    EXPECT_TRUE(fs::is_directory(out("taken.ktp")));
    EXPECT_FALSE(fs::exists(out("none")));

    // Nothing to save without an output name.
    w = MakeWindow();
    EXPECT_EQ(w->WriteTaskProject(out("empty.ktp")), 12);
    EXPECT_FALSE(fs::exists(out("empty.ktp")));
}

// 150 MPEG files over two images (98 and 52 with 74-minute spanning): the
// project holds them all, opens to the same list and saves to the same bytes.
TEST_F(TaskProjects, HundredFiftyFilesOverTwoImagesComeBackByteForByte) {
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) {
        names.push_back(out("clip" + std::to_string(i) + ".mpg"));
        fs::create_symlink(Fixture("clip_short_vcd.mpg"), names.back());
    }
    w->buildVCDButtonClick();
    find<QRadioButton>("img74")->setChecked(true);
    ASSERT_EQ(w->videoCdPage->AddFiles(names), 0);
    ASSERT_EQ(w->MainJob->trackTable->tracksPerImage, (std::vector<int32_t>{98, 52}));
    w->SaveDialog.FileName = out("image");
    const std::string first = out("many.ktp"), second = out("again.ktp");
    save(first);
    ASSERT_TRUE(fs::is_regular_file(first)) << "no project of 150 files";
    TaskProject read;
    ASSERT_EQ(ReadTaskProjectFile(first, read), 0);
    EXPECT_EQ(read.inputs, names);

    w = MakeWindow();
    open(first);
    EXPECT_EQ(state().buildFiles, names);
    EXPECT_EQ(state().span, "img74");
    ASSERT_EQ(w->MainJob->trackTable->tracksPerImage, (std::vector<int32_t>{98, 52}));
    save(second);
    EXPECT_TRUE(harness::SameBytes(harness::ReadFile(second), harness::ReadFile(first)));
}

TEST_F(TaskProjects, NamesAreBytesAndWindowsPathsAreFound) {
    // A Latin-1 folder and sheet name, made here; the sheet's image beside it.
    const std::string folder = out("d\xE9j\xE0 vu");
    fs::create_directory(folder);
    const std::string cue = folder + "/m\xE9lodie.cue";
    fs::copy_file(Fixture("vcd_pal3.cue"), cue);
    fs::create_symlink(Fixture("vcd_pal3.bin"), folder + "/vcd_pal3.bin");
    load(Index(Method::CueBinToMpeg), cue, folder + "/\xE9t\xE9.mpg");
    ASSERT_EQ(tracks()->count(), 3);
    save(folder + "/pro\xEFt.ktp");
    w = MakeWindow();
    open(folder + "/pro\xEFt.ktp");
    EXPECT_EQ(w->OpenDialog.FileName, cue);
    EXPECT_EQ(w->SaveDialog.FileName, folder + "/\xE9t\xE9.mpg");
    EXPECT_EQ(tracks()->count(), 3);

    // Written on another system: the sheet is found beside the project.
    fs::copy_file(Fixture("vcd_pal3.cue"), out("movie.cue"));
    fs::create_symlink(Fixture("vcd_pal3.bin"), out("vcd_pal3.bin"));
    TaskProject p;
    p.method = Index(Method::CueBinToMpeg);
    p.outputName = out("movie.mpg");
    p.inputs = {"C:\\rips\\movie.cue"};
    std::string bytes;
    ASSERT_TRUE(EncodeTaskProject(p, bytes));
    ASSERT_EQ(WriteTaskProjectFile(out("win.ktp"), bytes), 0);
    w = MakeWindow();
    open(out("win.ktp"));
    EXPECT_EQ(w->OpenDialog.FileName, out("movie.cue"));
    EXPECT_EQ(tracks()->count(), 3);
    EXPECT_TRUE(find<QPushButton>("startButton")->isEnabled());
}

TEST_F(TaskProjects, ABrokenFileChangesNothing) {
    load(Index(Method::CueBinToMpeg), Fixture("vcd_pal3.cue"), out("movie.mpg"));
    tracks()->item(2)->setSelected(true);
    save(out("good.ktp"));
    std::ifstream in(out("good.ktp"), std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), {}};
    const PageState before = state();

    auto with = [&](size_t at, char b) {
        std::string s = good;
        s[at] = b;
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut in the header", good.substr(0, 100)},
        {"cut in the last name", good.substr(0, good.size() - 1)},
        {"wrong magic", with(0, 'X')},
        {"page 2", with(14, 2)},
        {"method 14", with(16, 14)},
        {"count 2", with(150, 2)},
        {"a trailing byte", good + '\0'},
    };
    int errors = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(out("bad.ktp"), std::ios::binary | std::ios::trunc) << c.bytes;
        open(out("bad.ktp"));
        EXPECT_EQ(state(), before);
        EXPECT_EQ(logged("Invalid project file."), ++errors);
        EXPECT_EQ(w->ReadTaskProject(out("bad.ktp")), 12);
        ++errors;
    }
    EXPECT_EQ(logged("bad.ktp"), errors) << "the name without its folder";
    for (const std::string& path : {dir, out("missing.ktp")}) {
        EXPECT_EQ(w->ReadTaskProject(path), 12);
        EXPECT_EQ(state(), before);
    }
    EXPECT_EQ(logged("Source file could not be opened or accessed."), 2);
}

}  // namespace
