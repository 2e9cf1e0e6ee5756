// The real window's load button and run_job's load give the same track
// table, list lines and result for every source: with the user at the
// dialogs, in a batch run, and on the sources a load must refuse.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/extraction_page/extraction_page.h"
#include "app/main_window/main_window.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "engine/methods.h"
#include "engine/source_loader.h"
#include "tests/app/window_test_app.h"
#include "tests/engine/job_harness.h"
#include "tests/engine/source_cases.h"
#include "tests/support/fakes.h"

namespace {

using sources::Rows;
using M = Method;

// What a load left: its result, the table and the list.
struct Loaded {
    int result = -1;
    std::string rows;
    std::vector<std::string> lines;
    bool startable = false;
};

// run_job's load, with a track list to compare the lines.
Loaded LoadAsRunJob(Method method, const std::string& source, const std::string& first = "") {
    harness::Job job;
    fakes::RecordingListBox list;
    auto load = [&](Method m, const std::string& s) {
        SourceLoad l = job.UnattendedLoad(Index(m), s, "o.mpg", job.config);
        l.trackListBox = &list;
        return LoadSource(l);
    };
    if (!first.empty()) {
        EXPECT_EQ(load(M::CueBinToMpeg, first).result, result::kOk);
    }
    const SourceLoadOutcome out = load(method, source);
    return {out.result, Rows(*job.job.trackTable), list.lines(), out.startable};
}

struct WindowLoad : ::testing::Test {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    harness::TempFolder dir;
    std::unique_ptr<TForm1> w;

    void SetUp() override {
        WindowTestApp();
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        w = std::make_unique<TForm1>(std::move(s));
        w->show();
    }

    template <class T>
    T* find(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    Loaded Result(int r) {
        Loaded l{r, Rows(*w->trackTable), {}, find<QPushButton>("startButton")->isEnabled()};
        auto* list = find<QListWidget>("TrackListBox");
        for (int i = 0; i < list->count(); ++i) l.lines.push_back(list->item(i)->text().toStdString());
        return l;
    }
    void chooseMethod(Method method) {
        find<QComboBox>("methodBox")->setCurrentIndex(Index(method));
        w->extractionPage->methodBoxChange();
    }
    // The user picks the source and the output (and, unscripted, no image
    // for a sheet whose image is missing).
    Loaded LoadAsUser(Method method, const std::string& source) {
        chooseMethod(method);
        files.scriptOpen(source);
        files.scriptSave(dir / "o.mpg");
        return Result(w->extractionPage->loadButton());
    }
    // A batch run: the dialogs already hold the names.
    Loaded LoadInBatch(Method method, const std::string& source) {
        chooseMethod(method);
        w->OpenDialog.FileName = source;
        w->SaveDialog.FileName = dir / "o.mpg";
        w->batchActive = 1;
        const int r = w->extractionPage->loadButton();
        w->batchActive = 0;
        return Result(r);
    }
};

void ExpectSame(const Loaded& window, const Loaded& engine) {
    EXPECT_EQ(window.result, engine.result);
    EXPECT_EQ(window.rows, engine.rows);
    EXPECT_EQ(window.lines, engine.lines);
    EXPECT_EQ(window.startable, engine.startable);
}

void CheckSources(WindowLoad& t, const std::vector<sources::Source>& list) {
    for (const sources::Source& s : list) {
        SCOPED_TRACE(std::to_string(Index(s.method)) + " " + s.path);
        const Loaded engine = LoadAsRunJob(s.method, s.path);
        ASSERT_EQ(engine.result, result::kOk);
        const Loaded user = t.LoadAsUser(s.method, s.path);
        ExpectSame(user, engine);
        EXPECT_TRUE(user.startable);
        EXPECT_EQ(ListedTrackCount(*t.w->trackTable), s.listed);
        ExpectSame(t.LoadInBatch(s.method, s.path), engine);
    }
}

TEST_F(WindowLoad, EveryFixtureListsAsRunJobListsIt) { CheckSources(*this, sources::Fixtures()); }

TEST_F(WindowLoad, EveryScriptMadeImageListsAsRunJobListsIt) {
    const sources::ScriptImages images;
    ASSERT_TRUE(images.made) << "scripts/empty_sector_images.sh failed";
    CheckSources(*this, images.sources());
}

// A bare bin of 2336-byte sectors has no sync to detect a size from: with
// Force Read ticked the window loads it at the forced size, as run_job does.
TEST_F(WindowLoad, ForcedReadSizeLoadsABare2336ByteBin) {
    const std::string raw = harness::ReadFile(sources::Fixture("vcd_pal3.bin"));
    std::string bare;
    for (size_t at = 0; at + 2352 <= raw.size(); at += 2352) bare += raw.substr(at + 16, 2336);
    const std::string bin = dir / "bare.bin";
    harness::WriteFile(bin, bare);

    EXPECT_FALSE(LoadAsUser(M::BinToMpeg, bin).startable) << "no size to detect";
    find<QCheckBox>("forceRead")->setChecked(true);
    find<QLineEdit>("sectorReadField")->setText("2336");
    const Loaded user = LoadAsUser(M::BinToMpeg, bin);
    EXPECT_EQ(user.result, result::kOk);
    EXPECT_TRUE(user.startable);
    EXPECT_EQ(user.lines.size(), 3u);

    harness::Job job;
    job.start.forceRead = true;
    job.job.forcedReadSize = 2336;
    fakes::RecordingListBox list;
    SourceLoad l = job.UnattendedLoad(Index(M::BinToMpeg), bin, "o.mpg", job.config);
    l.trackListBox = &list;
    l.forcedReadSize = 2336;
    ASSERT_EQ(LoadSource(l).result, result::kOk);
    EXPECT_EQ(user.rows, Rows(*job.job.trackTable));
    EXPECT_EQ(user.lines, list.lines());
}

// After a good load, each refused source: the window with the user there,
// the window in a batch run, run_job's load and run_job itself.
TEST_F(WindowLoad, RefusedSourcesAsRunJobRefusesThem) {
    const std::string good = sources::Fixture("vcd_pal3.cue");
    for (const sources::Refused& c : sources::RefusedSources(dir.path)) {
        SCOPED_TRACE(std::to_string(Index(c.method)) + " " + c.path);
        const Loaded engine = LoadAsRunJob(c.method, c.path, good);
        EXPECT_EQ(engine.result, c.unattended);
        EXPECT_FALSE(engine.startable);

        ASSERT_EQ(LoadAsUser(M::CueBinToMpeg, good).lines.size(), 3u);
        const Loaded user = LoadAsUser(c.method, c.path);
        EXPECT_EQ(user.result, c.attended);
        // With the user there a sheet that does not parse still ends as a
        // load (its last track then follows the emptied table).
        if (c.attended == c.unattended) {
            EXPECT_EQ(user.rows, engine.rows);
        }
        EXPECT_EQ(w->trackTable->lastIndex, -1);
        EXPECT_TRUE(w->trackTable->start.empty());
        EXPECT_TRUE(user.lines.empty());
        EXPECT_FALSE(user.startable);
        EXPECT_TRUE(find<QLineEdit>("inputFileField")->text().isEmpty());

        ASSERT_EQ(LoadAsUser(M::CueBinToMpeg, good).lines.size(), 3u);
        ExpectSame(LoadInBatch(c.method, c.path), engine);

        const harness::Outcome o = harness::RunJob("--method " + std::to_string(Index(c.method)) + " --source '" +
                                                   c.path + "' --output '" + (dir / "o.mpg") + "'");
        EXPECT_EQ(o.status, c.unattended) << o.out;
    }
}

}  // namespace
