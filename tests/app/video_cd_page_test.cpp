// The video-cd page driven offscreen through its controls: adding several
// clips at once, the facts, removing and moving, clearing, spanning, the
// pause, the example boxes, cif and nrg sources, and the lock during a job.
#include <gtest/gtest.h>

#include "core/result_codes.h"
#include "engine/methods.h"
#include "tests/app/window_test_app.h"
#include "tests/app/video_cd_page_fixture.h"
#include "app/extraction_page/extraction_page.h"
#include "app/video_cd_page/video_cd_page.h"

using namespace vcdpage;


// Three PAL clips in one multi-select: image, track, path and play time in
// the grid, the facts of the current row, and the disc kind fixed.
TEST_F(Page, SeveralClipsAtOnceFillTheGridAndTheFacts) {
    Open();
    add({kA, kB, kC});
    const platform::FileDialogState shown = files.lastShown();
    EXPECT_TRUE(shown.multiSelect);
    EXPECT_EQ(shown.Filter, "*.mpg,*.mpeg,*.m2v,*.m2s (videocd mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*");

    ASSERT_EQ(grid()->rowCount(), 3);
    EXPECT_EQ(grid()->columnCount(), 4);
    const TLanguageSet& t = *w->languageSet;
    const QString headers[] = {"+", "#", QString::fromStdString(t.component(msg::component::kSource)),
                               QString::fromStdString(t.component(msg::component::kPlaytime))};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(grid()->horizontalHeaderItem(c)->text(), headers[c]);
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1", "1"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(column(2), (std::vector<std::string>{kA, kB, kC}));
    const QRegularExpression time(QStringLiteral("^\\[00:00:\\d\\ds\\]$"));
    for (const std::string& s : column(3)) EXPECT_TRUE(time.match(QString::fromStdString(s)).hasMatch()) << s;

    EXPECT_EQ(grid()->currentRow(), 2) << "the last added row is current";
    select(0);
    EXPECT_EQ(label("videoRes"), "Resolution : 352x288 PAL @   25.0 fps");
    EXPECT_EQ(label("vidBitrate"), "Video Bitrate : 1150 kbits");
    EXPECT_EQ(label("audInfo"), "Audio : MPEG Layer-2 / 44100Hz");
    EXPECT_EQ(label("audBitrate"), "Audio Bitrate : 224 kbits");
    EXPECT_EQ(label("imgNumLabel"), "Image #: 1");
    EXPECT_EQ(label("totalImageTime").rfind("Total Playtime: 00:00:", 0), 0u) << label("totalImageTime");

    EXPECT_FALSE(find<QCheckBox>("VCDCheckBox")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>("SVCDCheckBox")->isEnabled());
    EXPECT_TRUE(usable("startVCDButton"));
    EXPECT_EQ(w->MainJob->discKind, 1);
}

// Refused adds: each is reported with its file's name, the others are
// added, and the load's result is the first refusal.
TEST_F(Page, RefusedAddsAreReportedAndTheOthersAdded) {
    struct Case {
        const char* what;
        bool svcd;
        std::vector<std::string> first, then;
        int result, error;
        size_t entries;
    } cases[] = {
        {"MPEG-2 into a VCD list", false, {kA}, {kSvcd, kB}, 12, 26, 2},
        {"MPEG-1 into an SVCD list", true, {kSvcd}, {kA}, 12, 27, 1},
        {"2048-byte packs", false, {}, {Fixture("mpeg_2048packs.mpg"), kA}, 9, 11, 1},
        {"a missing file in the middle", false, {}, {kA, Fixture("gone.mpg"), kB}, 4, 6, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t earlier = shownOf("error").size();
        Open();
        find<QCheckBox>("VCDCheckBox")->setChecked(!c.svcd);
        if (!c.first.empty()) add(c.first);
        files.scriptOpenFiles(c.then);
        EXPECT_EQ(w->extractionPage->loadButton(), c.result);
        EXPECT_EQ(w->mpegList->entries.size(), c.entries);
        auto errors = shownOf("error");
        errors.erase(errors.begin(), errors.begin() + std::ptrdiff_t(earlier));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].message, w->languageSet->message(c.error));
        const std::string refused = c.error == 6 ? "gone.mpg" : ExtractName(c.then[0]);
        EXPECT_EQ(errors[0].caption, refused);
        EXPECT_EQ(grid()->rowCount(), int(c.entries));
        EXPECT_EQ(names().size(), c.entries);
    }
    EXPECT_EQ(w->languageSet->message(26), "File is not MPEG-1.  MPEG-1 is required for VCD.");
}

// Removing and moving keep grid, entries and names in step; removing the
// last row frees the disc kind, unticks the sample clip and disables start.
TEST_F(Page, RemoveAndMoveKeepTheListAndNamesInStep) {
    Open();
    add({kA, kB, kC});
    select(0);
    click("moveTrackUp");
    EXPECT_EQ(names(), (std::vector<std::string>{kA, kB, kC})) << "the first row does not move up";
    select(2);
    click("moveTrackDown");
    EXPECT_EQ(names(), (std::vector<std::string>{kA, kB, kC})) << "the last row does not move down";
    click("moveTrackUp");
    EXPECT_EQ(names(), (std::vector<std::string>{kA, kC, kB}));
    EXPECT_EQ(column(2), names());
    EXPECT_EQ(grid()->currentRow(), 1);
    select(0);
    click("removeTrackButton");
    EXPECT_EQ(names(), (std::vector<std::string>{kC, kB}));
    EXPECT_EQ(column(2), names());
    EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(find<QCheckBox>("VCDCheckBox")->isEnabled());

    // Ticked as a task does it, so that the clip editor is not shown.
    w->batchActive = 1;
    find<QRadioButton>("yesSample")->setChecked(true);
    w->batchActive = 0;
    ASSERT_TRUE(find<QRadioButton>("yesSample")->isChecked());
    select(0);
    click("removeTrackButton");
    select(0);
    click("removeTrackButton");
    EXPECT_EQ(grid()->rowCount(), 0);
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(find<QCheckBox>("VCDCheckBox")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>("SVCDCheckBox")->isEnabled());
    EXPECT_TRUE(find<QRadioButton>("noSample")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("yesSample")->isChecked());
    EXPECT_FALSE(usable("startVCDButton")) << "no start with an empty list";
    EXPECT_EQ(w->MainConfig->buildListHeaderShown, 0);
}

// "clear list" asks; [x] does not, and does nothing under a job or a batch.
TEST_F(Page, ClearListAsksAndClearAllDoesNot) {
    struct Case {
        int answer;
        int rows;
    } cases[] = {{platform::kYes, 0}, {platform::kNo, 2}, {platform::kCancel, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Open();
        add({kA, kB});
        find<QLineEdit>("volName")->setText("KEEP");
        dialogs.script({c.answer});
        click("clearListButton");
        EXPECT_EQ(grid()->rowCount(), c.rows);
        EXPECT_EQ(int(names().size()), c.rows);
        EXPECT_EQ(find<QLineEdit>("volName")->text().isEmpty(), c.rows == 0);
        EXPECT_EQ(usable("startVCDButton"), c.rows > 0);
    }
    const size_t asked = shownOf("ask").size();
    w->runState->running = 1;
    click("ClearButton");
    EXPECT_EQ(grid()->rowCount(), 2) << "not while a job runs";
    w->runState->running = 0;
    w->batchActive = 1;
    click("ClearButton");
    EXPECT_EQ(grid()->rowCount(), 2) << "not while a batch runs";
    w->batchActive = 0;
    click("ClearButton");
    EXPECT_EQ(grid()->rowCount(), 0);
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(shownOf("ask").size(), asked) << "[x] asks nothing";
    EXPECT_EQ(w->batchActive.load(), 0);
}

// A cleared page counts afresh: a refused add after a clear is the first error.
TEST_F(Page, ClearingThePageZeroesTheCounters) {
    Open();
    add({kA});
    files.scriptOpenFiles({Fixture("gone.mpg")});
    w->extractionPage->loadButton();
    EXPECT_EQ(label("totalErrWarnings2"), "0 Warnings / 1 Errors");
    dialogs.script({platform::kYes});
    click("clearListButton");
    EXPECT_EQ(w->stats->errors.load(), 0);
    EXPECT_TRUE(find<QLabel>("totalErrWarnings2")->isHidden());
    files.scriptOpenFiles({Fixture("gone.mpg")});
    w->extractionPage->loadButton();
    EXPECT_EQ(label("totalErrWarnings2"), "0 Warnings / 1 Errors");
}

// A spanning change rebuilds the list only: order, pauses, the output and
// volume names stay; "+"/"-" work with "Don't span" only; Custom spans as
// 80min does and is stored as it.
TEST_F(Page, SpanningRebuildsTheListAndKeepsThePage) {
    Open(kTwoClipsCapacity);
    add({kA, kB, kC});
    select(2);
    click("moveTrackUp");  // A C B
    select(1);
    type("pauseTimeMsg", "9");
    find<QLineEdit>("volName")->setText("PELL_%d");
    files.scriptSave(dir + "/movie.bin");
    click("saveButton");
    ASSERT_EQ(find<QLineEdit>("saveFileField")->text().toStdString(), dir + "/movie.bin");
    select(2);
    click("IncreaseImage");
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1", "2"}));
    EXPECT_EQ(w->MainJob->multiImage, 1);

    find<QRadioButton>("img74")->setChecked(true);
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1", "2"}));
    EXPECT_EQ(names(), (std::vector<std::string>{kA, kC, kB}));
    EXPECT_EQ(pauses()[1], 9);
    EXPECT_EQ(w->MainJob->multiImage, 1);
    EXPECT_FALSE(usable("IncreaseImage"));
    EXPECT_FALSE(usable("ReduceImage"));
    EXPECT_EQ(find<QLineEdit>("volName")->text(), QString("PELL_%d"));
    EXPECT_EQ(find<QLineEdit>("saveFileField")->text().toStdString(), dir + "/movie.bin");
    EXPECT_FALSE(find<QCheckBox>("VCDCheckBox")->isEnabled());

    find<QRadioButton>("imgNone")->setChecked(true);
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1", "1"})) << "the shift does not survive";
    EXPECT_EQ(w->MainJob->multiImage, 0);
    ASSERT_TRUE(usable("IncreaseImage"));
    select(1);
    click("IncreaseImage");
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "2", "2"}));
    EXPECT_EQ(w->MainJob->multiImage, 1);
    click("ReduceImage");
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1", "1"}));
    EXPECT_EQ(w->MainJob->multiImage, 0);
    select(2);
    click("IncreaseImage");
    EXPECT_EQ(w->MainJob->multiImage, 1);
    click("removeTrackButton");
    EXPECT_EQ(w->MainJob->multiImage, 0) << "a removal that leaves one image";

    find<QRadioButton>("imgCustom")->setChecked(true);
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(pauses()[0], 5) << "A kept the page's pause";
    w->SaveSettings();
    EXPECT_EQ(reg.keys[kSettingsKey]["Split_VideoCD_Images"].i, 2) << "Custom spans at 80min";
    w.reset();
    w = std::make_unique<TForm1>(Services(kTwoClipsCapacity));
    EXPECT_TRUE(find<QRadioButton>("img80")->isChecked()) << "spanning is still on";
    EXPECT_FALSE(usable("IncreaseImage"));
}

// A typed pause reaches the current row as the arrows do; only 0 to 16.
TEST_F(Page, TypedPauseReachesTheCurrentRow) {
    Open();
    add({kA, kB});
    select(0);
    type("pauseTimeMsg", "10");
    EXPECT_EQ(pauses(), (std::vector<int32_t>{10, 5}));
    type("pauseTimeMsg", "17");
    EXPECT_EQ(pauses(), (std::vector<int32_t>{10, 5}));
    EXPECT_EQ(find<QLineEdit>("pauseTimeMsg")->text(), QString("10")) << "an invalid pause goes back";
    select(1);
    EXPECT_EQ(find<QLineEdit>("pauseTimeMsg")->text(), QString("5"));
    find<QScrollBar>("TrackPauseBar")->setValue(16);
    EXPECT_EQ(pauses(), (std::vector<int32_t>{10, 16}));
    select(0);
    EXPECT_EQ(find<QScrollBar>("TrackPauseBar")->value(), 10);
}

// The example boxes through the window: what they show is what the engine
// writes; a refused pattern stays out.
TEST_F(Page, NamingAndVolumeBoxes) {
    Open();
    EXPECT_FALSE(find<QLabel>("namingLabel")->isEnabled());
    files.scriptSave(dir + "/movie.bin");
    click("saveButton");
    ASSERT_TRUE(find<QLabel>("namingLabel")->isEnabled());
    const std::string before = w->MainConfig->MultiFileFormat;
    dialogs.scriptInput(std::string("%s"));
    w->videoCdPage->namingLabelClick();
    EXPECT_EQ(w->MainConfig->MultiFileFormat, before);
    dialogs.scriptInput(std::string("-%03d"));
    w->videoCdPage->namingLabelClick();
    EXPECT_EQ(w->MainConfig->MultiFileFormat, "-%03d");
    auto infos = shownOf("info");
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[1].message,
              w->languageSet->core(msg::core::kMultiFileExample) + ":  movie-001.bin, movie-002.bin ...");

    dialogs.scriptInput(std::string("PELL_%d"));
    click("volumeExpandButton");
    EXPECT_EQ(find<QLineEdit>("volName")->text(), QString("PELL_%d"));
    dialogs.scriptInput(std::string("PELLTEST"));
    click("volumeExpandButton");
    EXPECT_EQ(find<QLineEdit>("volName")->text(), QString("PELLTEST"));
    infos = shownOf("info");
    ASSERT_EQ(infos.size(), 3u) << "no example without a %";
    EXPECT_EQ(infos[2].message, w->languageSet->core(msg::core::kVolumeLabelExample) + ":  PELL_1, PELL_2 ...");
}

// cif and nrg builds choose their source, then the output; the nrg's volume
// label fills the volume name; the facts stay as they are.
TEST_F(Page, CifAndNrgChooseTheSourceThenTheOutput) {
    struct Case {
        int method;
        const char* source;
        size_t tracks;
        const char* volume;
    } cases[] = {{2, "vcd_ntsc.cif", 1, ""}, {3, "vcd_pal3.nrg", 3, "PELLTEST"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Open(-1, c.method);
        EXPECT_EQ(find<QPushButton>("saveButton")->text(), QString("load"));
        EXPECT_FALSE(usable("addTrackButton"));
        const int opens = files.opens(), saves = files.saves();
        files.scriptOpen(std::nullopt);
        click("saveButton");
        EXPECT_EQ(files.saves(), saves) << "no source, no output dialog";
        files.scriptOpen(Fixture(c.source));
        files.scriptSave(dir + "/converted.bin");
        click("saveButton");
        EXPECT_EQ(files.opens(), opens + 2);
        EXPECT_EQ(files.saves(), saves + 1);
        EXPECT_EQ(files.lastShown().Filter, "*.bin (cd disc image)|*.bin");
        EXPECT_EQ(w->videoCdPage->imageTrackLengths.size(), c.tracks);
        EXPECT_EQ(w->MainJob->sourceName, Fixture(c.source));
        EXPECT_EQ(find<QLineEdit>("saveFileField")->text().toStdString(), dir + "/converted.bin");
        EXPECT_EQ(find<QLineEdit>("volName")->text().toStdString(), c.volume);
        EXPECT_EQ(label("videoRes"), "Resolution :");
        EXPECT_TRUE(usable("startVCDButton"));
    }
}

// While any job runs nothing that changes the list or the image options is
// usable and drops change nothing; afterwards each control is as before.
TEST_F(Page, EditingIsLockedWhileAJobRuns) {
    Open();
    w->pellmorButtonClick();
    find<QComboBox>("methodBox")->setCurrentIndex(Index(Method::MpegToMpeg));
    w->extractionPage->methodBoxChange();
    files.scriptOpen(kA);
    files.scriptSave(dir + "/copy.mpg");
    click("browseButton");
    click("startButton");
    ASSERT_TRUE(w->WorkerBusy());
    const char* editing[] = {"buildVCDMethod", "VCDCheckBox", "SVCDCheckBox", "addTrackButton",
                             "removeTrackButton", "IncreaseImage", "ReduceImage", "moveTrackUp", "moveTrackDown",
                             "clearListButton", "volName", "volumeExpandButton", "pauseTimeMsg", "TrackPauseBar",
                             "imgNone", "imgCustom", "img74", "img80", "yesSample", "noSample",
                             "OpenSampleButton", "yesFolder", "noFolder", "saveButton", "namingLabel"};
    std::map<std::string, bool> before;
    for (const char* name : editing) {
        EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
        before[name] = w->WantsEnabled(find<QWidget>(name));
    }
    w->pageMode = 1;
    w->WMDropFiles({kB});
    find<QRadioButton>("img74")->setChecked(true);
    EXPECT_EQ(w->mpegList->entries.size(), 0u) << "a drop changes nothing";
    w->pageMode = 0;
    ASSERT_TRUE(waitForJob());
    for (const char* name : {"addTrackButton", "volName", "img74", "imgNone", "TrackPauseBar", "yesFolder"})
        EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(find<QWidget>("OpenSampleButton")->isEnabled());
    w->buildVCDButtonClick();
    add({kB});
    EXPECT_EQ(w->mpegList->entries.size(), 1u);
}

// The page with a list over two images and the facts of a row.
TEST_F(Page, ScreenshotOfAListOverTwoImages) {
    Open(kTwoClipsCapacity);
    find<QRadioButton>("img74")->setChecked(true);
    add({kA, kB, kC});
    find<QLineEdit>("volName")->setText("PELL_%d");
    files.scriptSave(dir + "/movie.bin");
    click("saveButton");
    select(2);
    ASSERT_EQ(column(0), (std::vector<std::string>{"1", "1", "2"}));
    EXPECT_EQ(label("imgNumLabel"), "Image #: 2");
    // The longest facts (an NTSC row) fit their labels.
    add({Fixture("clip_ntsc_vcd.mpg")});
    for (const char* name : {"videoRes", "vidBitrate", "audInfo", "audBitrate", "imgNumLabel", "totalImageTime"}) {
        auto* l = find<QLabel>(name);
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width()) << name;
    }
    EXPECT_EQ(label("videoRes"), "Resolution : 352x240 NTSC @  29.97 fps");
    select(2);
    QApplication::processEvents();
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    QPixmap shot = w->grab();
    EXPECT_TRUE(shot.save(QString(PELLMOR_BUILD_DIR) + "/screenshots/video-cd-two-images.png"));
}
