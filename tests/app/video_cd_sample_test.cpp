// The video-cd page's sample clip choice through the real window: "Yes"
// opens the window's own clip editor on a copy of the build list, the
// choice stays "Yes" only with a marked clip, the build writes that clip,
// and a task project carries it.
#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "tests/app/window_test_app.h"
#include "tests/app/video_cd_page_fixture.h"
#include "tests/engine/job_harness.h"
#include "tools/sample_clip_window.h"

using namespace vcdpage;

namespace {

// Six seconds in ten GOPs: room for a clip of several GOPs.
const std::string kLong = Fixture("sample_pal_vcd.mpg");

struct Sample : Page {
    int editorShown = 0;

    // Clicks the button, then does what the user does in the clip editor it
    // shows modally.
    void inEditor(const char* button, const std::function<void(TSampleCreateForm&)>& act) {
        WhileModal<TSampleCreateForm>([&] { click(button); },
                                      [&](TSampleCreateForm& e) {
                                          ++editorShown;
                                          act(e);
                                      });
    }
    // Row `row` of the editor's grid (row 0 holds the titles); one GOP in,
    // mark, `gops` GOPs on, the name, OK.
    static void markClip(TSampleCreateForm& e, int row, int gops, const std::string& name) {
        e.TrackListGrid->setCurrentCell(row, 2);
        e.TrackListGridClick();
        e.vidTCUp->click();
        e.markButton->click();
        for (int i = 0; i < gops; ++i) e.vidTCUp->click();
        e.FilenameText->setText(QString::fromStdString(name));
        e.FilenameTextChange();
        e.okButton->click();
    }
    bool yes() { return find<QRadioButton>("yesSample")->isChecked(); }
    bool no() { return find<QRadioButton>("noSample")->isChecked(); }
};

// Yes shows the editor on the page's rows; the clip marked there is written
// by the build, beside the image or in SAMPLE/ with separate folders, and
// holds exactly the frames between the marks.
TEST_F(Sample, MarkedClipIsWrittenByTheBuild) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe missing";
    for (bool folders : {false, true}) {
        SCOPED_TRACE(folders ? "separate folders" : "beside the image");
        Open();
        EXPECT_FALSE(find<QWidget>("yesSample")->isEnabled()) << "no list, no clip";
        add({kA, kLong, kC});
        for (const char* name : {"yesSample", "noSample", "OpenSampleButton"})
            EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name;
        if (folders) click("yesFolder");
        TSampleClipEditor* model = nullptr;
        inEditor("yesSample", [&](TSampleCreateForm& e) {
            model = &e.model();
            ASSERT_EQ(e.model().grid.size(), 4u) << "title row and the three entries";
            EXPECT_EQ(e.model().grid[1][2], kA);
            EXPECT_EQ(e.model().grid[3][2], kC);
            QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
            if (!folders) e.grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/sample-editor-on-build-list.png");
            markClip(e, 2, 2, "pick.mpg");
        });
        ASSERT_EQ(editorShown, folders ? 2 : 1);
        ASSERT_NE(model, nullptr);
        EXPECT_TRUE(yes());
        EXPECT_FALSE(no());
        const TSampleClipDescription clip = model->Description();
        EXPECT_EQ(clip.sourcePath, kLong);
        ASSERT_GT(clip.outFrame, clip.inFrame);

        files.scriptSave(dir + "/movie.bin");
        click("saveButton");
        click("startVCDButton");
        ASSERT_TRUE(waitForJob());
        const std::string sample = dir + (folders ? "/SAMPLE/pick.mpg" : "/pick.mpg");
        ASSERT_TRUE(harness::Exists(sample));
        EXPECT_NE(w->generatedFiles.find("\"" + sample + "\""), std::string::npos) << w->generatedFiles;
        EXPECT_EQ(harness::Frames(sample), std::to_string(clip.outFrame - clip.inFrame));
        EXPECT_TRUE(harness::Exists(dir + "/movie.cue"));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
}

// Yes stays ticked only while the editor holds a marked clip of the list;
// the button reopens the editor, and its Cancel keeps the clip.
TEST_F(Sample, YesStaysOnlyWithAMarkedClip) {
    struct Case {
        const char* what;
        std::function<void(TSampleCreateForm&)> first;
        std::function<void(TSampleCreateForm&)> reopen;  // through OpenSampleButton; none: not reopened
        bool yesAfter;
    };
    const auto cancel = [](TSampleCreateForm& e) { e.cancelButton->click(); };
    const auto mark = [](TSampleCreateForm& e) { markClip(e, 1, 1, "a-sample.mpg"); };
    const Case cases[] = {
        {"cancelled", cancel, nullptr, false},
        {"closed with the close box", [](TSampleCreateForm& e) { e.close(); }, nullptr, false},
        {"marked", mark, nullptr, true},
        {"marked, reopened, cancelled", mark, cancel, true},
        // The close box is Cancel: the clear is undone with the rest.
        {"marked, reopened, cleared, closed", mark,
         [](TSampleCreateForm& e) {
             e.clearButton->click();
             e.close();
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        add({kLong, kA});
        inEditor("yesSample", c.first);
        TSampleClipState before{};
        if (c.reopen) {
            ASSERT_TRUE(w->OwnSampleEditor().model().SaveClipState(before));
            inEditor("OpenSampleButton", c.reopen);
        }
        EXPECT_EQ(yes(), c.yesAfter);
        EXPECT_NE(no(), c.yesAfter);
        EXPECT_EQ(w->videoCdPage->SampleClip().has_value(), c.yesAfter);
        if (c.yesAfter && c.reopen) {
            TSampleClipState after{};
            ASSERT_TRUE(w->OwnSampleEditor().model().SaveClipState(after));
            EXPECT_EQ(after, before) << "Cancel keeps the clip";
        }
    }
}

// The editor lives on with the page: a second showing that ends with
// Cancel, Escape or the close box leaves the first OK's clip and name, and
// the preview it was playing stopped.
TEST_F(Sample, SecondShowingEndedAnyWayButOkKeepsTheFirstClip) {
    struct Case {
        const char* what;
        std::function<void(TSampleCreateForm&)> end;
    } cases[] = {
        {"Cancel", [](TSampleCreateForm& e) { e.cancelButton->click(); }},
        {"Escape",
         [](TSampleCreateForm& e) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&e, &escape);
         }},
        {"the close box", [](TSampleCreateForm& e) { e.close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        add({kA, kLong});
        inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 2, "mychoice.mpg"); });
        TSampleClipState first{};
        ASSERT_TRUE(w->OwnSampleEditor().model().SaveClipState(first));
        const TSampleClipDescription chosen = w->OwnSampleEditor().model().Description();
        fakes::RecordingMediaPlayer* player = nullptr;
        const int result = WhileModal<TSampleCreateForm>([&] { click("OpenSampleButton"); },
                                                         [&](TSampleCreateForm& e) {
                                                             player = dynamic_cast<fakes::RecordingMediaPlayer*>(&e.player());
                                                             ASSERT_NE(player, nullptr);
                                                             e.PreviewCheckBox->click();
                                                             player->RaiseReady();
                                                             for (int i = 0; i < 3; ++i) e.vidTCUp->click();
                                                             e.FilenameText->setText("other.mpg");
                                                             e.FilenameTextChange();
                                                             player->play();
                                                             c.end(e);
                                                         });
        EXPECT_EQ(result, QDialog::Rejected);
        const TSampleClipEditor& model = w->OwnSampleEditor().model();
        TSampleClipState after{};
        ASSERT_TRUE(model.SaveClipState(after));
        EXPECT_EQ(after, first);
        EXPECT_EQ(model.filenameText, "mychoice.mpg");
        EXPECT_EQ(model.clipSet, 1);
        ASSERT_NE(player, nullptr);
        EXPECT_NE(player->state(), platform::MediaPlayer::kRunning);
        EXPECT_EQ(player->calls.back(), "Stop");
        EXPECT_TRUE(yes());
        const std::optional<TSampleClipDescription> built = w->videoCdPage->SampleClip();
        ASSERT_TRUE(built.has_value());
        EXPECT_EQ(built->outFrame, chosen.outFrame);
        EXPECT_EQ(built->outOffset, chosen.outOffset);
        EXPECT_EQ(built->outputName, "mychoice.mpg");
    }
}

// While a task is loaded or run, Yes copies the list but shows nothing; [x]
// forgets the clip.
TEST_F(Sample, BatchTicksWithoutTheEditorAndClearForgetsTheClip) {
    Open();
    add({kLong, kA});
    w->batchActive = 1;
    QTimer::singleShot(0, [this] {
        if (auto* m = QApplication::activeModalWidget()) {
            ++editorShown;
            m->close();
        }
    });
    find<QRadioButton>("yesSample")->setChecked(true);
    QCoreApplication::processEvents();
    w->batchActive = 0;
    EXPECT_EQ(editorShown, 0);
    EXPECT_TRUE(yes());
    EXPECT_EQ(w->OwnSampleEditor().model().grid.size(), 3u) << "the list was copied";

    inEditor("OpenSampleButton", [](TSampleCreateForm& e) { markClip(e, 1, 1, "x.mpg"); });
    ASSERT_TRUE(w->videoCdPage->SampleClip().has_value());
    click("ClearButton");
    EXPECT_FALSE(w->videoCdPage->SampleClip().has_value());
    EXPECT_FALSE(w->OwnSampleEditor().model().clipSet);
    EXPECT_TRUE(no());
}

// A task project keeps the marked clip and its name: opened in a new
// window, the same clip is marked again over the loaded list.
TEST_F(Sample, TaskProjectCarriesTheClip) {
    Open();
    add({kA, kB, kLong});
    inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 3, 2, "kept-name.mpg"); });
    const TSampleClipDescription saved = w->OwnSampleEditor().model().Description();
    w->SaveDialog.FileName = dir + "/image.bin";
    const std::string project = dir + "/clip.ktp";
    ASSERT_EQ(w->WriteTaskProject(project), 0);

    Open();
    ASSERT_EQ(w->ReadTaskProject(project), 0);
    EXPECT_EQ(editorShown, 1) << "loading shows no editor";
    EXPECT_TRUE(yes());
    const std::optional<TSampleClipDescription> read = w->videoCdPage->SampleClip();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sourcePath, kLong);
    EXPECT_EQ(read->inOffset, saved.inOffset);
    EXPECT_EQ(read->outOffset, saved.outOffset);
    EXPECT_EQ(read->inFrame, saved.inFrame);
    EXPECT_EQ(read->outFrame, saved.outFrame);
    EXPECT_EQ(read->outputName, "kept-name.mpg");
}

// The clip belongs to its file: rows moved after it was marked, the saved
// project names the file's new row, and the opened project marks the same
// clip, which the build writes.
TEST_F(Sample, ClipFollowsItsFileThroughMoves) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe missing";
    const struct {
        const char* move;
        std::vector<std::string> order;
    } cases[] = {
        {"moveTrackUp", {kLong, kA, kB}},
        {"moveTrackDown", {kA, kB, kLong}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.move);
        Open();
        add({kA, kLong, kB});
        inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 2, "moved.mpg"); });
        const TSampleClipDescription saved = w->OwnSampleEditor().model().Description();
        ASSERT_EQ(saved.sourcePath, kLong);
        select(1);
        click(c.move);
        ASSERT_EQ(TBuildListEditor::FileOrder(*w->mpegList), c.order);
        // The editor's copy of the list follows the move, its row on the clip's file.
        EXPECT_EQ(w->OwnSampleEditor().model().row,
                  int(std::find(c.order.begin(), c.order.end(), kLong) - c.order.begin()) + 1);
        w->SaveDialog.FileName = dir + "/movie.bin";
        const std::string project = dir + "/moved.ktp";
        ASSERT_EQ(w->WriteTaskProject(project), 0);

        Open();
        ASSERT_EQ(w->ReadTaskProject(project), 0);
        EXPECT_TRUE(yes());
        const std::optional<TSampleClipDescription> read = w->videoCdPage->SampleClip();
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->sourcePath, kLong);
        EXPECT_EQ(read->inOffset, saved.inOffset);
        EXPECT_EQ(read->outOffset, saved.outOffset);
        EXPECT_EQ(read->outputName, "moved.mpg");
        if (c.move == std::string("moveTrackUp")) {
            click("startVCDButton");
            ASSERT_TRUE(waitForJob());
            ASSERT_TRUE(harness::Exists(dir + "/moved.mpg"));
            EXPECT_EQ(harness::Frames(dir + "/moved.mpg"), std::to_string(saved.outFrame - saved.inFrame));
        }
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
}

// A project's clip that no longer fits its file (the file changed since) is
// a warning, and the page says "No": a build then adds no clip, and says so.
TEST_F(Sample, AClipThatCannotBeReplayedIsAWarningAndNo) {
    const std::string copy = dir + "/long.mpg";
    std::filesystem::copy_file(kLong, copy);
    Open();
    add({kA, copy});
    inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 3, "gone.mpg"); });
    w->SaveDialog.FileName = dir + "/movie.bin";
    const std::string project = dir + "/gone.ktp";
    ASSERT_EQ(w->WriteTaskProject(project), 0);
    std::filesystem::copy_file(kA, copy, std::filesystem::copy_options::overwrite_existing);

    Open();
    ASSERT_EQ(w->ReadTaskProject(project), 0);
    EXPECT_TRUE(no());
    EXPECT_FALSE(yes());
    EXPECT_FALSE(w->videoCdPage->SampleClip().has_value());
    EXPECT_EQ(w->stats->warnings.load(), 1);
    EXPECT_EQ(label("totalErrWarnings2"), "1 Warnings / 0 Errors");
    auto* log = find<QListWidget>("log");
    bool said = false;
    for (int i = 0; i + 1 < log->count(); ++i)
        said = said || (log->item(i)->text() == "gone.mpg" &&
                        log->item(i + 1)->text().contains("sample clip cannot be replayed"));
    EXPECT_TRUE(said);
    // Saved again, the project says "No" as well.
    ASSERT_EQ(w->WriteTaskProject(project), 0);
    Open();
    ASSERT_EQ(w->ReadTaskProject(project), 0);
    EXPECT_TRUE(no());
    EXPECT_EQ(w->stats->warnings.load(), 0) << "nothing to replay, nothing to warn of";
}

}  // namespace

namespace {

// Rows removed after the clip was marked: the clip goes with its own file
// ("No" then, and a saved project has none), and stays with it when another
// row goes, also through a later showing of the editor and a saved project.
TEST_F(Sample, ClipGoesWithItsFileAndStaysThroughOtherRemovals) {
    const struct {
        const char* what;
        int removed;  // 0-based row
        bool kept;
    } cases[] = {
        {"the clip's own file", 1, false},
        {"the row above", 0, true},
        {"the row below", 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        add({kA, kLong, kB});
        inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 2, "kept.mpg"); });
        const TSampleClipDescription saved = w->OwnSampleEditor().model().Description();
        select(c.removed);
        click("removeTrackButton");
        ASSERT_EQ(names().size(), 2u);
        EXPECT_EQ(yes(), c.kept);
        EXPECT_NE(no(), c.kept);
        const std::optional<TSampleClipDescription> now = w->videoCdPage->SampleClip();
        ASSERT_EQ(now.has_value(), c.kept);
        if (c.kept) {
            EXPECT_EQ(now->sourcePath, kLong);
            // The editor shows the list as it is now, its row on the clip's file.
            const TSampleClipEditor& m = w->OwnSampleEditor().model();
            ASSERT_EQ(m.grid.size(), 3u);
            EXPECT_EQ(m.row, c.removed == 0 ? 1 : 2);
            // A later showing ended with Cancel keeps the clip.
            inEditor("OpenSampleButton", [](TSampleCreateForm& e) { e.cancelButton->click(); });
            EXPECT_TRUE(yes());
            ASSERT_TRUE(w->videoCdPage->SampleClip().has_value());
            EXPECT_EQ(w->videoCdPage->SampleClip()->inOffset, saved.inOffset);
            EXPECT_EQ(w->videoCdPage->SampleClip()->outOffset, saved.outOffset);
        }
        w->SaveDialog.FileName = dir + "/movie.bin";
        const std::string project = dir + "/removed.ktp";
        ASSERT_EQ(w->WriteTaskProject(project), 0);
        Open();
        ASSERT_EQ(w->ReadTaskProject(project), 0);
        EXPECT_EQ(yes(), c.kept);
        EXPECT_EQ(w->stats->warnings.load(), 0);
        const std::optional<TSampleClipDescription> read = w->videoCdPage->SampleClip();
        ASSERT_EQ(read.has_value(), c.kept);
        if (c.kept) {
            EXPECT_EQ(read->sourcePath, kLong);
            EXPECT_EQ(read->inOffset, saved.inOffset);
            EXPECT_EQ(read->outFrame, saved.outFrame);
            EXPECT_EQ(read->outputName, "kept.mpg");
        }
    }
}

}  // namespace

namespace {

// A new spanning adds every file again: a clip whose file can no longer be
// added goes with it, and one whose file is added again stays on it.
TEST_F(Sample, NewSpanningKeepsTheClipOnlyWithItsFile) {
    for (bool gone : {false, true}) {
        SCOPED_TRACE(gone ? "file gone" : "file there");
        const std::string copy = dir + "/long.mpg";
        std::filesystem::copy_file(kLong, copy, std::filesystem::copy_options::overwrite_existing);
        Open();
        add({kA, copy});
        inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 2, "span.mpg"); });
        if (gone) std::filesystem::remove(copy);
        find<QRadioButton>("img74")->click();
        ASSERT_EQ(names().size(), gone ? 1u : 2u);
        EXPECT_EQ(yes(), !gone);
        const std::optional<TSampleClipDescription> clip = w->videoCdPage->SampleClip();
        ASSERT_EQ(clip.has_value(), !gone);
        if (!gone) {
            EXPECT_EQ(clip->sourcePath, copy);
            inEditor("OpenSampleButton", [](TSampleCreateForm& e) { e.cancelButton->click(); });
            EXPECT_TRUE(yes());
        }
    }
}

}  // namespace

namespace {

// A project whose files are not all there: the clip stays on its own file
// when another file of the list is missing, and goes (a warning, "No") when
// its own file is the one missing.
TEST_F(Sample, ProjectWithAMissingFileKeepsTheClipOnItsFile) {
    for (bool ownGone : {false, true}) {
        SCOPED_TRACE(ownGone ? "the clip's file missing" : "another file missing");
        const std::string other = dir + "/other.mpg", own = dir + "/own.mpg";
        std::filesystem::copy_file(kA, other, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(kLong, own, std::filesystem::copy_options::overwrite_existing);
        Open();
        add({other, own, kB});
        inEditor("yesSample", [](TSampleCreateForm& e) { markClip(e, 2, 2, "own-sample.mpg"); });
        const TSampleClipDescription saved = w->OwnSampleEditor().model().Description();
        w->SaveDialog.FileName = dir + "/movie.bin";
        const std::string project = dir + "/missing.ktp";
        ASSERT_EQ(w->WriteTaskProject(project), 0);
        std::filesystem::remove(ownGone ? own : other);

        Open();
        w->ReadTaskProject(project);
        ASSERT_EQ(names().size(), 2u);
        EXPECT_EQ(yes(), !ownGone);
        EXPECT_EQ(w->stats->warnings.load(), ownGone ? 1 : 0);
        const std::optional<TSampleClipDescription> read = w->videoCdPage->SampleClip();
        ASSERT_EQ(read.has_value(), !ownGone);
        if (!ownGone) {
            EXPECT_EQ(read->sourcePath, own);
            EXPECT_EQ(read->inOffset, saved.inOffset);
            EXPECT_EQ(read->outOffset, saved.outOffset);
            EXPECT_EQ(read->outputName, "own-sample.mpg");
        }
    }
}

}  // namespace
