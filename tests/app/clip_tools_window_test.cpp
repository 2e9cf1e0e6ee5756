// The clip editor, the progress window and the subtitle converter, offscreen
// on real clips and images, and the main window's utility list driving them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QThread>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_window/main_window.h"
#include "app/extraction_page/extraction_page.h"
#include "core/language_set.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "disc/vcd_track_list.h"
#include "engine/methods.h"
#include "tests/app/window_test_app.h"
#include "tests/engine/job_harness.h"
#include "tests/support/fakes.h"
#include "tests/support/media_player_fake.h"
#include "tools/sample_clip_window.h"
#include "tools/sample_generate_window.h"
#include "tools/sub_convert_window.h"

namespace {

using harness::Fixture;
using harness::ReadFile;

// Grabs a window into the build folder for a look.
void Screenshot(QWidget& w, const char* name) {
    w.grab().save(QString::fromStdString(std::string(PELLMOR_BUILD_DIR) + "/" + name + ".png"));
}

// Open dialogs that also pick a filter entry.
class PickingFileDialogs : public platform::FileDialogs {
public:
    bool executeOpen(platform::FileDialogState& s) override {
        shown = s;
        if (file.empty()) return false;
        s.FileName = file;
        s.FilterIndex = filterIndex;
        return true;
    }
    bool executeSave(platform::FileDialogState& s) override {
        shown = s;
        if (file.empty()) return false;
        s.FileName = file;
        return true;
    }
    bool selectDirectory(const std::string&, std::string& dir) override {
        if (folder.empty()) return false;
        dir = folder;
        return true;
    }
    std::string file, folder;
    int filterIndex = 1;
    platform::FileDialogState shown;
};

struct Tools : ::testing::Test {
    void SetUp() override { WindowTestApp(); }
    harness::TempFolder dir;
    TConfig config;
    TJob job;
    TLanguageSet texts;
    fakes::RecordingMediaPlayer player;
    fakes::ScriptedDialogs dialogs;
    fakes::MemoryRegistry registry;
    fakes::RecordingListBox log;
    PickingFileDialogs files;
    std::vector<std::pair<int, std::string>> reported;

    TSampleCreateForm::Services EditorServices() {
        TSampleCreateForm::Services s;
        s.config = &config;
        s.job = &job;
        s.texts = &texts;
        s.fileDialogs = &files;
        s.dialogs = &dialogs;
        s.player = &player;
        s.report = [this](int, int index, const std::string& text) {
            reported.emplace_back(index, text);
            return 0;
        };
        return s;
    }
    TSubConvertForm::Services ConverterServices() {
        TSubConvertForm::Services s;
        s.texts = &texts;
        s.fileDialogs = &files;
        s.registry = &registry;
        s.log = &log;
        s.report = [this](int, int index, const std::string& text) {
            reported.emplace_back(index, text);
            return 0;
        };
        return s;
    }
};

template <class T>
T* Find(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

TEST_F(Tools, EditorOnARealClip) {
    config.PreviewVideo = 1;
    TSampleCreateForm editor(EditorServices());
    EXPECT_EQ(editor.windowTitle(), "Sample Clip Editor");
    for (const char* name : {"TrackListGrid", "SeekBar", "CurrentTC", "vidTCUpDown", "SampleTC", "InLabel", "OutLabel",
                             "markButton", "clearButton", "Button30", "Button60", "ButtonRandom", "randomButton",
                             "FilenameText", "SaveSampleButton", "PreviewCheckBox", "ActiveMovie1", "TimeLabel",
                             "DurationL", "MsgLabel", "CommentsLabel", "okButton", "cancelButton", "sampleUpDown",
                             "Button1"})
        EXPECT_NE(editor.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    ASSERT_EQ(editor.OpenMpegFile(Fixture("sample_pal_vcd.mpg")), 0);
    editor.show();
    EXPECT_EQ(player.fileName(), Fixture("sample_pal_vcd.mpg"));
    player.RaiseReady();
    EXPECT_EQ(Find<QTableWidget>(editor, "TrackListGrid")->item(1, 2)->text().toStdString(), Fixture("sample_pal_vcd.mpg"));
    EXPECT_TRUE(Find<QSlider>(editor, "SeekBar")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(editor, "okButton")->isEnabled());

    const TSampleClipEditor& model = editor.model();
    auto text = [&](const char* name) -> std::string {
        if (auto* e = editor.findChild<QLineEdit*>(QLatin1String(name))) return e->text().toStdString();
        return Find<QLabel>(editor, name)->text().toStdString();
    };
    Find<QSlider>(editor, "SeekBar")->setValue(30);
    ASSERT_GT(model.currentPosition, 0);
    EXPECT_EQ(text("CurrentTC"), model.FormatTimeCode(model.currentPosition));
    EXPECT_EQ(player.calls.back(), "CurrentPosition=" + std::to_string(model.currentPosition / 25.0));
    EXPECT_EQ(text("TimeLabel"), "30");
    Find<QPushButton>(editor, "markButton")->click();
    // An in point alone is a clip of no length: OK waits for a picture.
    auto* ok = Find<QPushButton>(editor, "okButton");
    EXPECT_FALSE(ok->isEnabled());
    ok->click();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.model().clipSet, 0);
    EXPECT_EQ(text("InLabel"), "In: " + text("CurrentTC"));
    Find<QToolButton>(editor, "vidTCUp")->click();
    EXPECT_TRUE(ok->isEnabled());
    Find<QToolButton>(editor, "vidTCDown")->click();
    EXPECT_FALSE(ok->isEnabled()) << "back at the in point";
    Find<QToolButton>(editor, "vidTCUp")->click();
    Find<QToolButton>(editor, "vidTCUp")->click();
    EXPECT_EQ(text("SampleTC"), "00:00:01.05");
    EXPECT_EQ(text("OutLabel"), "Out: " + model.FormatTimeCode(model.inFrame + 30));
    Find<QPushButton>(editor, "Button30")->click();
    EXPECT_EQ(text("SampleTC"), model.FormatTimeCode(135 - model.inFrame));
    Screenshot(editor, "sample_clip_editor");

    // An empty name: error 30, and the window stays.
    auto* name = Find<QLineEdit>(editor, "FilenameText");
    name->setText("");
    editor.FilenameTextChange();
    editor.FilenameTextExit();
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back().first, 30);
    Find<QPushButton>(editor, "okButton")->click();
    EXPECT_TRUE(editor.isVisible());
    // The save dialog names the clip; ".mpg" is added.
    files.file = dir / "chosen";
    Find<QPushButton>(editor, "SaveSampleButton")->click();
    EXPECT_EQ(name->text().toStdString(), dir / "chosen.mpg");
    player.calls.clear();
    Find<QPushButton>(editor, "okButton")->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Stop"}));
    EXPECT_EQ(editor.model().clipSet, 1);
}

TEST_F(Tools, EditorLabelsComeFromTheLanguageFile) {
    const std::string path = dir / "deutsch.lng";
    std::ofstream(path, std::ios::binary) << LanguageFileWith({{msg::component::kIn, "Anfang"}, {msg::component::kOut, "Ende"}});
    ASSERT_EQ(texts.LoadFromFile(path), TLanguageSet::kLoaded);
    TSampleCreateForm editor(EditorServices());
    ASSERT_EQ(editor.OpenMpegFile(Fixture("sample_pal_vcd.mpg")), 0);
    editor.show();
    EXPECT_EQ(editor.InLabel->text(), "Anfang:");
    EXPECT_EQ(editor.OutLabel->text(), "Ende:");
    editor.vidTCUp->click();
    editor.markButton->click();
    EXPECT_EQ(editor.InLabel->text(), "Anfang: 00:00:00.15");
    editor.vidTCUp->click();
    EXPECT_EQ(editor.OutLabel->text(), "Ende: 00:00:01.05");
    editor.clearButton->click();
    EXPECT_EQ(editor.InLabel->text(), "Anfang:");
    EXPECT_EQ(editor.OutLabel->text(), "Ende:");
    editor.ResetEditor();
    EXPECT_EQ(editor.InLabel->text(), "Anfang: ");
    editor.cancelButton->click();
}

TEST_F(Tools, EditorOnABuildList) {
    TMpegFileList files(&job, &config);
    TVcdTrackList list;
    list.Clear();
    for (const char* name : {"sample_ntsc_vcd.mpg", "sample_pal_vcd.mpg"}) {
        TMpegFileInfo e;
        e.name = Fixture(name);
        e.frameRate = files.entries.empty() ? 29.97 : 25.0;
        e.image = 1;
        e.trackInImage = static_cast<int32_t>(files.entries.size()) + 1;
        files.entries.push_back(e);
        list.AddRow(e.image, e.trackInImage, e.name, e.TimeText());
    }
    TSampleCreateForm editor(EditorServices());
    ASSERT_EQ(editor.OpenTrackList(list, files, 1), 0);
    editor.show();
    auto* grid = Find<QTableWidget>(editor, "TrackListGrid");
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(Find<QLineEdit>(editor, "FilenameText")->text(), "sample_ntsc_vcd-sample.mpg");
    // A click on the second row opens its file.
    grid->setCurrentCell(2, 2);
    editor.TrackListGridClick();
    EXPECT_EQ(Find<QLineEdit>(editor, "FilenameText")->text(), "sample_pal_vcd-sample.mpg");
    EXPECT_EQ(editor.model().Description().sourcePath, Fixture("sample_pal_vcd.mpg"));
    EXPECT_DOUBLE_EQ(editor.model().frameRate, 25.0);
}

TEST_F(Tools, ProgressWindow) {
    QWidget owner;
    owner.resize(400, 300);
    TSampleGenerateForm progress(&owner);
    progress.showWith("Generating sample...");
    EXPECT_TRUE(progress.isVisible());
    progress.setPosition(40);
    EXPECT_EQ(Find<QProgressBar>(progress, "PB")->value(), 40);
    EXPECT_EQ(Find<QLabel>(progress, "SampleLabel")->text(), "Generating sample...");
    Screenshot(progress, "sample_progress");
    progress.hideAndReset();
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(Find<QProgressBar>(progress, "PB")->value(), 0);
}

TEST_F(Tools, ConverterModeOneOnEveryEntryOfTheFilter) {
    const std::string srt = ReadFile(Fixture("cdi_subtitles.srt"));
    struct Case {
        const char* file;
        int filterIndex;
        std::vector<std::string> names;
    } cases[] = {
        // The first entry is a disc image; the second and third take the
        // chosen file as a plain subtitle file.
        {"cdi_subs.bin", 1, {"MOVIE.EN", "MOVIE.FR"}},
        {"cdi_subtitles.stream", 2, {"cdi_subtitles.stream"}},
        {"cdi_subtitles.stream", 3, {"cdi_subtitles.stream"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = dir / std::to_string(c.filterIndex);
        std::filesystem::create_directory(out);
        files.file = Fixture(c.file);
        files.filterIndex = c.filterIndex;
        files.folder = out;
        log.clear();
        TSubConvertForm form(ConverterServices());
        form.SetMode(1);
        EXPECT_EQ(form.windowTitle(), "[CD-i] Subtitle Conversion");
        form.show();
        EXPECT_EQ(files.shown.Filter, TSubConvertForm::kOpenFilter);
        auto* list = Find<QListWidget>(form, "SubFileList");
        ASSERT_EQ(list->count(), static_cast<int>(c.names.size()));
        for (int i = 0; i < list->count(); ++i) {
            EXPECT_EQ(list->item(i)->text().toStdString(), c.names[static_cast<size_t>(i)]);
            EXPECT_TRUE(list->item(i)->isSelected());
        }
        if (c.filterIndex == 2) Screenshot(form, "subtitle_converter");
        ASSERT_TRUE(Find<QPushButton>(form, "OKButton")->isEnabled());
        Find<QPushButton>(form, "OKButton")->click();
        for (const std::string& n : c.names) EXPECT_TRUE(harness::SameBytes(ReadFile(out + "/" + n + ".srt"), srt)) << n;
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"CD-i subtitle(s) converted."}));
    }
    EXPECT_TRUE(reported.empty());

    // The SUB choice is kept, and an output folder that is not there is
    // reported per file, with no summary.
    files.file = Fixture("cdi_subs.bin");
    files.filterIndex = 1;
    files.folder = dir / "missing";
    log.clear();
    TSubConvertForm form(ConverterServices());
    form.SetMode(1);
    form.show();
    Find<QRadioButton>(form, "subButton")->click();
    EXPECT_EQ(registry.keys[kSettingsKey]["ConvertSRTorSUB"].i, 1);
    Find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(reported, (std::vector<std::pair<int, std::string>>{{9, "MOVIE.EN.sub"}, {9, "MOVIE.FR.sub"}}));
    EXPECT_TRUE(log.lines().empty());
    TSubConvertForm again(ConverterServices());
    EXPECT_TRUE(Find<QRadioButton>(again, "subButton")->isChecked());

    // A source that does not open: error 6 naming it, nothing listed.
    reported.clear();
    files.file = dir / "none.bin";
    TSubConvertForm missing(ConverterServices());
    missing.SetMode(1);
    missing.show();
    EXPECT_EQ(reported, (std::vector<std::pair<int, std::string>>{{6, dir / "none.bin"}}));
    EXPECT_FALSE(Find<QPushButton>(missing, "OKButton")->isEnabled());
}

// Mode 0 on every extraction method's source: the disc images in their
// layouts (the nrg and cif ones written by a script from the layouts
// alone); the dat, MPEG and sfd sources are one MPEG track and the RAR
// archive is compressed, so none of them is scanned.
TEST_F(Tools, ConverterModeZeroOnEverySourceKind) {
    const std::string script = std::string(PELLMOR_SOURCE_DIR) + "/scripts/cdi_layout_images.pl";
    ASSERT_EQ(std::system(("perl '" + script + "' '" + dir.path + "' '" + Fixture("cdi_subtitles.stream") + "'").c_str()),
              0);
    const std::string bin = Fixture("cdi_subs.bin");
    struct Case {
        Method method;
        std::string source;
        bool listed;
    } cases[] = {
        {Method::RarToCueBinToMpeg, bin, false}, {Method::RarToBinToMpeg, bin, false},
        {Method::CueBinToMpeg, bin, true},       {Method::CueBinToDat, bin, true},
        {Method::BinToMpeg, bin, true},          {Method::TocBinToMpeg, bin, true},
        {Method::RawToMpeg, bin, true},          {Method::RawToDat, bin, true},
        {Method::DatToMpeg, bin, false},         {Method::MpegToDat, bin, false},
        {Method::MpegToMpeg, bin, false},        {Method::CifToMpeg, dir / "layout.cif", true},
        {Method::NrgToMpeg, dir / "layout.nrg", true}, {Method::SfdToMpeg, bin, false},
    };
    ASSERT_EQ(static_cast<int>(std::size(cases)), kExtractionMethodCount);
    const std::string srt = ReadFile(Fixture("cdi_subtitles.srt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(ExtractionMethod(Index(c.method)).item);
        const std::string out = dir / ("out" + std::to_string(Index(c.method)));
        std::filesystem::create_directory(out);
        log.clear();
        TSubConvertForm form(ConverterServices());
        form.SetMode(0);
        form.SetJobSource({c.source, Index(c.method), out});
        form.show();
        auto* list = Find<QListWidget>(form, "SubFileList");
        EXPECT_EQ(Find<QPushButton>(form, "OKButton")->isEnabled(), c.listed);
        if (!c.listed) {
            EXPECT_EQ(list->count(), 0);
            form.reject();
            continue;
        }
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), "MOVIE.EN");
        EXPECT_EQ(list->item(1)->text(), "MOVIE.FR");
        Find<QPushButton>(form, "OKButton")->click();
        EXPECT_TRUE(harness::SameBytes(ReadFile(out + "/MOVIE.EN.srt"), srt));
        EXPECT_TRUE(harness::SameBytes(ReadFile(out + "/MOVIE.FR.srt"), srt));
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"CD-i subtitle(s) converted."}));
    }
    EXPECT_TRUE(reported.empty());
}

// A cut image: the file it holds whole is converted, the cut one is written
// as far as it goes and reported with error 13, and no summary is logged.
TEST_F(Tools, ConverterReportsACutSubtitleFile) {
    harness::WriteFile(dir / "cut.bin", ReadFile(Fixture("cdi_subs.bin")).substr(0, 230 * 2352 + 1024));
    const std::string out = dir / "out";
    std::filesystem::create_directory(out);
    files.file = dir / "cut.bin";
    files.filterIndex = 1;
    files.folder = out;
    TSubConvertForm form(ConverterServices());
    form.SetMode(1);
    form.show();
    ASSERT_EQ(Find<QListWidget>(form, "SubFileList")->count(), 2);
    Find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(reported, (std::vector<std::pair<int, std::string>>{{13, "MOVIE.FR"}}));
    EXPECT_TRUE(harness::SameBytes(ReadFile(out + "/MOVIE.EN.srt"), ReadFile(Fixture("cdi_subtitles.srt"))));
    EXPECT_NE(ReadFile(out + "/MOVIE.FR.srt").find("1\r\n00:00:01,000 --> 00:00:02,500\r\nHello, world.\r\n"), std::string::npos);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Tools, ConverterModeZeroOnTheJobsImage) {
    const std::string out = dir / "out";
    std::filesystem::create_directory(out);
    TSubConvertForm form(ConverterServices());
    form.SetMode(0);
    form.SetJobSource({Fixture("cdi_subs.cif"), 11, out});
    form.show();
    ASSERT_EQ(Find<QListWidget>(form, "SubFileList")->count(), 2);
    Find<QPushButton>(form, "OKButton")->click();
    EXPECT_TRUE(harness::SameBytes(ReadFile(out + "/MOVIE.FR.srt"), ReadFile(Fixture("cdi_subtitles.srt"))));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"CD-i subtitle(s) converted."}));
}

// Counts the progress window's showings, wherever it is made.
class ShowWatcher : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->objectName() == "TSampleGenerateForm") ++shown;
        return false;
    }
    int shown = 0;
};

TEST_F(Tools, UtilityListWritesAClip) {
    fakes::ScriptedFileDialogs mainFiles;
    fakes::RecordingShell shell;
    TForm1::Services s;
    s.registry = &registry;
    s.dialogs = &dialogs;
    s.fileDialogs = &mainFiles;
    s.shell = &shell;
    s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
    TForm1 w(s);
    w.show();
    EXPECT_TRUE(w.utilButton->isEnabled());
    TSampleCreateForm::playerFactory = [](QWidget*, QWidget**) {
        return std::unique_ptr<platform::MediaPlayer>(new fakes::RecordingMediaPlayer);
    };
    const std::string clip = dir / "util-clip.mpg";
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<TSampleCreateForm*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        editor->findChild<QToolButton*>("vidTCUp")->click();
        editor->findChild<QPushButton*>("markButton")->click();
        editor->findChild<QToolButton*>("vidTCUp")->click();
        editor->findChild<QToolButton*>("vidTCUp")->click();
        auto* name = editor->findChild<QLineEdit*>("FilenameText");
        name->setText(QString::fromStdString(clip));
        editor->FilenameTextChange();
        editor->findChild<QPushButton*>("okButton")->click();
    });
    ShowWatcher watcher;
    qApp->installEventFilter(&watcher);
    mainFiles.scriptOpen(Fixture("sample_pal_vcd.mpg"));
    w.utilBox->setCurrentRow(0);
    w.utilBoxClick();
    qApp->removeEventFilter(&watcher);
    TSampleCreateForm::playerFactory = nullptr;
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_EQ(w.generatedFiles, "\"" + clip + "\" ");
    ASSERT_TRUE(harness::Exists(clip));
    if (std::system("ffprobe -version >/dev/null 2>&1") == 0) {
        EXPECT_EQ(harness::Frames(clip), "30");
    }
}

// The job start's probe finds the subtitles, the question is answered Yes,
// and the converter opens on the job's image: the files land beside the
// output, then the extraction runs.
TEST_F(Tools, JobStartOpensTheConverterOnTheImage) {
    registry.keys[kSettingsKey]["AlwaysScanForCDI"] = {false, 1, ""};
    fakes::ScriptedFileDialogs mainFiles;
    fakes::RecordingShell shell;
    fakes::ScriptedDialogs answers{platform::kYes};
    TForm1::Services s;
    s.registry = &registry;
    s.dialogs = &answers;
    s.fileDialogs = &mainFiles;
    s.shell = &shell;
    s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
    TForm1 w(s);
    w.show();
    w.findChild<QComboBox*>("methodBox")->setCurrentIndex(Index(Method::CueBinToMpeg));
    w.extractionPage->methodBoxChange();
    mainFiles.scriptOpen(Fixture("cdi_subs.cue"));
    mainFiles.scriptSave(dir / "movie.mpg");
    w.findChild<QPushButton*>("browseButton")->click();

    bool converted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TSubConvertForm*>(QApplication::activeModalWidget());
        if (!form || converted) return;
        converted = true;
        EXPECT_EQ(form->findChild<QListWidget*>("SubFileList")->count(), 2);
        form->findChild<QPushButton*>("OKButton")->click();
    });
    poll.start(10);
    w.findChild<QPushButton*>("startButton")->click();
    QElapsedTimer t;
    t.start();
    while ((w.JobRunning() || w.WorkerBusy()) && t.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    poll.stop();
    ASSERT_TRUE(converted);
    int asked = 0;
    for (const auto& shown : answers.shown()) asked += shown.caption == "Detected CD-i Subtitle(s)";
    EXPECT_EQ(asked, 1);
    const std::string srt = ReadFile(Fixture("cdi_subtitles.srt"));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "MOVIE.EN.srt"), srt));
    EXPECT_TRUE(harness::SameBytes(ReadFile(dir / "MOVIE.FR.srt"), srt));
    bool logged = false;
    auto* log = w.findChild<QListWidget*>("log");
    for (int i = 0; i < log->count(); ++i) logged |= log->item(i)->text() == "CD-i subtitle(s) converted.";
    EXPECT_TRUE(logged);
}

}  // namespace
