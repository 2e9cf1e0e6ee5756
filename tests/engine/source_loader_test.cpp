// The one source loader: the window's load with a user at the dialogs and
// run_job's unattended load give the same track table for every source, a
// refused source leaves nothing of the previous one to start, and run_job
// exits with the load's result.
#include "engine/source_loader.h"

#include <gtest/gtest.h>

#include "core/language_set.h"
#include "core/result_codes.h"
#include "core/path_lookup.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"
#include "engine/methods.h"
#include "tests/engine/job_harness.h"
#include "tests/engine/source_cases.h"
#include "tests/support/fakes.h"

namespace {

using sources::Rows;
using M = Method;

// The extraction page as the loader sees it: its dialogs, the track list,
// the start button, the track 0 box, the message label and the source field.
struct Page {
    Page() {
        job.trackTable = new TTrackTable();
        start.setEnabled(false);
        zero.setEnabled(false);
    }

    SourceLoad Request(Method method, bool unattended) {
        SourceLoad r;
        r.method = Index(method);
        r.unattended = unattended;
        r.passive = passive;
        r.batchTask = batchTask;
        r.toast = toast;
        r.job = &job;
        r.config = &config;
        r.openDialog = &open;
        r.saveDialog = &save;
        r.fileDialogs = &files;
        r.texts = texts;
        r.stats = &stats;
        r.dialogs = &dialogs;
        r.log = &log;
        r.trackListBox = &list;
        r.startButton = &start;
        r.trackZeroBox = &zero;
        r.trackMsgLabel = &label;
        r.inputFileField = &field;
        r.trackLengths = &lengths;
        r.sourceChosen = [this] { ++chosen; };
        // As the window's build list, which shares the table, lets go.
        r.releaseScan = [this] { job.trackTable->Reset(); };
        return r;
    }
    // The user picks the source and the output in the dialogs.
    SourceLoadOutcome Load(Method method, const std::string& source, std::optional<std::string> output = "out.mpg") {
        files.scriptOpen(source);
        files.scriptSave(std::move(output));
        return LoadSource(Request(method, false));
    }
    // A batch run: the dialogs already hold the names.
    SourceLoadOutcome LoadHeld(Method method, const std::string& source) {
        open.FileName = source;
        save.FileName = "held.mpg";
        return LoadSource(Request(method, true));
    }
    bool Logged(const std::string& text) const {
        for (const auto& l : log.lines())
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    // Nothing of a previous source is left that could start.
    void ExpectNothingToStart() const {
        EXPECT_EQ(list.count(), 0);
        EXPECT_FALSE(start.enabled());
        EXPECT_FALSE(zero.enabled());
        EXPECT_EQ(field.text(), "");
        EXPECT_EQ(label.caption(), "");
        EXPECT_EQ(open.FileName, "");
        EXPECT_EQ(save.FileName, "");
        EXPECT_EQ(job.sourceName, "");
        EXPECT_EQ(job.trackTable->lastIndex, -1);
        EXPECT_TRUE(lengths.empty());
    }

    TJob job;
    TConfig config;
    platform::FileDialogState open, save;
    fakes::ScriptedFileDialogs files;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    TStats stats{&job};
    fakes::RecordingListBox log, list;
    fakes::RecordingButton start;
    fakes::RecordingCheckBox zero;
    fakes::RecordingLabel label;
    fakes::RecordingEdit field;
    std::vector<int64_t> lengths;
    bool passive = false, batchTask = false, toast = false;
    int chosen = 0;
};

void ExpectSameLoadBothWays(const sources::Source& s) {
    SCOPED_TRACE(std::to_string(Index(s.method)) + " " + s.path);
    Page page;
    const SourceLoadOutcome out = page.Load(s.method, s.path);
    ASSERT_EQ(out.result, result::kOk) << ::testing::PrintToString(page.log.lines());
    EXPECT_TRUE(out.startable);
    EXPECT_FALSE(out.cleared);
    EXPECT_EQ(out.trackZeroUsable, IsSheetMethod(Index(s.method)));
    EXPECT_TRUE(page.start.enabled());
    EXPECT_EQ(page.chosen, 1);
    EXPECT_EQ(ListedTrackCount(*page.job.trackTable), s.listed);
    // A stream has no list lines; a sheet or image one per track.
    const SourceForm form = ExtractionMethod(Index(s.method)).load;
    EXPECT_EQ(page.list.count(), form == SourceForm::Stream ? 0 : s.listed);
    // The field shows the sheet for cue methods, whatever file was chosen.
    EXPECT_EQ(page.field.text(), form == SourceForm::CueSheet ? SiblingWithExtension(s.path, "cue") : s.path);

    // run_job's load: unattended, the names given.
    harness::Job batch;
    ASSERT_EQ(batch.Load(Index(s.method), s.path), result::kOk) << ::testing::PrintToString(batch.Lines());
    EXPECT_EQ(Rows(*batch.job.trackTable), Rows(*page.job.trackTable));
    EXPECT_EQ(batch.job.readSectorSize, page.job.readSectorSize);
    EXPECT_EQ(batch.job.sourceName, page.job.sourceName);
    EXPECT_EQ(batch.stats.errors.load(), page.stats.errors.load());
}

TEST(SourceLoader, EveryFixtureLoadsTheSameWithAndWithoutTheUser) {
    for (const sources::Source& s : sources::Fixtures()) ExpectSameLoadBothWays(s);
}

TEST(SourceLoader, EveryScriptMadeImageLoadsTheSameWithAndWithoutTheUser) {
    const sources::ScriptImages images;
    ASSERT_TRUE(images.made) << "scripts/empty_sector_images.sh failed";
    for (const sources::Source& s : images.sources()) ExpectSameLoadBothWays(s);
}

// Each refusal after a good load, with the user there and without, and
// run_job's exit status for the same source.
TEST(SourceLoader, RefusedSourcesLeaveNothingToStart) {
    harness::TempFolder dir;
    for (const sources::Refused& c : sources::RefusedSources(dir.path)) {
        SCOPED_TRACE(std::to_string(Index(c.method)) + " " + c.path);
        for (const bool unattended : {false, true}) {
            Page page;
            ASSERT_EQ(page.Load(M::CueBinToMpeg, sources::Fixture("vcd_pal3.cue")).result, result::kOk);
            ASSERT_EQ(page.list.count(), 3);
            if (!unattended) {
                page.files.scriptOpen(c.path);
                page.files.scriptSave("out.mpg");
                page.files.scriptOpen(std::nullopt);  // the sheet reader's question for a missing image
            }
            const SourceLoadOutcome out =
                unattended ? page.LoadHeld(c.method, c.path) : LoadSource(page.Request(c.method, false));
            EXPECT_EQ(out.result, unattended ? c.unattended : c.attended);
            EXPECT_TRUE(out.cleared);
            EXPECT_FALSE(out.startable);
            page.ExpectNothingToStart();
            EXPECT_GT(page.stats.errors.load(), 0) << "the refusal is reported";
            EXPECT_TRUE(page.Logged(c.message)) << ::testing::PrintToString(page.log.lines());
        }
        const harness::Outcome o =
            harness::RunJob("--method " + std::to_string(Index(c.method)) + " --source '" + c.path + "' --output '" +
                            (dir / "o.mpg") + "'");
        EXPECT_EQ(o.status, c.unattended) << o.out;
        EXPECT_EQ(o.out.find("processed"), std::string::npos);
    }
    EXPECT_FALSE(harness::Exists(dir / "o.mpg"));
}

// The output the save dialog offers, beside the source unless a save folder
// is remembered; the folders are remembered afterwards.
TEST(SourceLoader, SaveDialogOffersTheMethodsOutput) {
    struct Case {
        Method method;
        bool toast;
        const char* source;
        const char* name;  // offered
        const char* ext;
    } cases[] = {
        {M::CueBinToMpeg, false, "vcd_pal3.cue", "vcd_pal3", "mpg"},
        {M::CueBinToMpeg, true, "vcd_pal3.cue", "vcd_pal3", "mpeg"},
        {M::CueBinToDat, true, "vcd_pal3.cue", "vcd_pal3", "dat"},
        {M::BinToMpeg, false, "vcd_pal3.bin", "vcd_pal3", "mpg"},
        {M::RawToDat, false, "vcd_pal3_track2.raw", "vcd_pal3_track2", "dat"},
        {M::MpegToDat, false, "clip_pal_vcd.mpg", "clip_pal_vcd", "dat"},
        // The output would take the source's own name.
        {M::MpegToMpeg, false, "clip_pal_vcd.mpg", "", "mpg"},
        {M::NrgToMpeg, true, "vcd_pal3.nrg", "vcd_pal3", "mpeg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(Index(c.method)) + (c.toast ? " toast" : ""));
        Page page;
        page.toast = c.toast;
        // No output chosen: the source is not loaded.
        EXPECT_EQ(page.Load(c.method, sources::Fixture(c.source), std::nullopt).result, result::kOk);
        const platform::FileDialogState offered = page.files.lastShown();
        EXPECT_EQ(offered.FileName, c.name);
        EXPECT_EQ(offered.DefaultExt, c.ext);
        EXPECT_EQ(offered.InitialDir, std::string(PELLMOR_FIXTURES));
        page.ExpectNothingToStart();
        EXPECT_EQ(page.config.DefaultLoadDir, std::string(PELLMOR_FIXTURES));
    }
    Page page;
    page.config.DefaultSaveDir = "/srv/out";
    ASSERT_EQ(page.Load(M::MpegToMpeg, sources::Fixture("clip_pal_vcd.mpg"), "/tmp/pick/o.mpg").result, result::kOk);
    EXPECT_EQ(page.files.lastShown().InitialDir, "/srv/out");
    EXPECT_EQ(page.config.DefaultSaveDir, "/tmp/pick");
    EXPECT_EQ(page.save.FileName, "/tmp/pick/o.mpg");
}

TEST(SourceLoader, CancelsAndHeldNames) {
    Page page;
    ASSERT_EQ(page.Load(M::TocBinToMpeg, sources::Fixture("vcd_pal3.toc")).result, result::kOk);
    const std::string loaded = Rows(*page.job.trackTable);
    // Open dialog cancelled: the page stays as it was.
    page.files.scriptOpen(std::nullopt);
    EXPECT_EQ(LoadSource(page.Request(M::BinToMpeg, false)).result, result::kFailed);
    EXPECT_EQ(Rows(*page.job.trackTable), loaded);
    EXPECT_EQ(page.list.count(), 3);
    EXPECT_TRUE(page.start.enabled());
    EXPECT_EQ(page.chosen, 1);
    // Archives in a batch run: nobody chooses them.
    page.open.FileName = sources::Fixture("rar/vcd_ntsc.rar");
    for (Method archive : {M::RarToCueBinToMpeg, M::RarToBinToMpeg})
        EXPECT_EQ(LoadSource(page.Request(archive, true)).result, result::kFailed);
    EXPECT_EQ(Rows(*page.job.trackTable), loaded);
    // Unattended with no source held: nothing to load.
    page.open.FileName.clear();
    EXPECT_EQ(LoadSource(page.Request(M::CueBinToMpeg, true)).result, result::kFailed);
    EXPECT_EQ(page.chosen, 1);
}

// Archives, and several sources of a method that takes them, go to the
// batch: nothing is listed or may start, and the names stay for the tasks.
TEST(SourceLoader, ArchivesAndSeveralSourcesAreForTheBatch) {
    Page archive;
    ASSERT_EQ(archive.Load(M::CueBinToMpeg, sources::Fixture("vcd_pal3.cue")).result, result::kOk);
    archive.config.selectedTracksOnly = 1;
    archive.files.scriptOpenFiles({"/a/one.rar", "/a/two.rar"});
    const SourceLoadOutcome a = LoadSource(archive.Request(M::RarToCueBinToMpeg, false));
    EXPECT_EQ(a.result, result::kOk);
    EXPECT_TRUE(a.forBatch);
    EXPECT_TRUE(archive.open.multiSelect);
    EXPECT_EQ(archive.files.saves(), 1) << "only the first load's output was asked for";
    EXPECT_EQ(archive.open.Files, (std::vector<std::string>{"/a/one.rar", "/a/two.rar"}));
    EXPECT_EQ(archive.list.count(), 0);
    EXPECT_FALSE(archive.start.enabled());
    EXPECT_EQ(archive.job.trackTable->lastIndex, -1);
    EXPECT_EQ(archive.config.selectedTracksOnly, 0);

    struct Case {
        Method method;
        std::vector<std::string> outputs;  // in the folder chosen
    } cases[] = {
        {M::CueBinToMpeg, {"/out/x.mpg", "/out/y.mpg"}},
        {M::CueBinToDat, {"/out/x.dat", "/out/y.dat"}},
    };
    for (const Case& c : cases) {
        Page several;
        several.files.scriptOpenFiles({"/in/x.cue", "/in/y.cue"});
        several.files.scriptDirectory("/out");
        const SourceLoadOutcome s = LoadSource(several.Request(c.method, false));
        EXPECT_EQ(s.result, result::kOk);
        EXPECT_TRUE(s.forBatch);
        EXPECT_EQ(several.save.Files, c.outputs);
        EXPECT_EQ(several.config.DefaultSaveDir, "/out");
        EXPECT_EQ(several.field.text(), "/in/x.cue");
        EXPECT_EQ(several.files.saves(), 0);
    }
    // No folder for the outputs: cancelled.
    Page cancelled;
    cancelled.files.scriptOpenFiles({"/in/x.cue", "/in/y.cue"});
    cancelled.files.scriptDirectory(std::nullopt);
    EXPECT_EQ(LoadSource(cancelled.Request(M::CueBinToMpeg, false)).result, result::kFailed);
    EXPECT_TRUE(cancelled.save.Files.empty());
    // mpeg -> mpeg takes one file only: a second name is no batch.
    Page single;
    single.files.scriptOpenFiles({sources::Fixture("clip_pal_vcd.mpg"), "/in/other.mpg"});
    single.files.scriptSave("/out/o.mpg");
    const SourceLoadOutcome one = LoadSource(single.Request(M::MpegToMpeg, false));
    EXPECT_FALSE(single.open.multiSelect);
    EXPECT_FALSE(one.forBatch);
    EXPECT_TRUE(one.startable);
}

TEST(SourceLoader, PassiveAndBatchTaskLoads) {
    Page passive;
    passive.passive = true;
    const SourceLoadOutcome p = passive.Load(M::CueBinToMpeg, sources::Fixture("vcd_pal3.cue"), "named.mpg");
    EXPECT_EQ(p.result, result::kOk);
    EXPECT_EQ(passive.save.FileName, "nul");
    EXPECT_FALSE(p.namingUsable);
    EXPECT_EQ(passive.list.count(), 3);

    // A batch task takes the names only: no open dialog, nothing read.
    Page task;
    task.batchTask = true;
    task.open.FileName = sources::Fixture("vcd_pal3.cue");
    task.files.scriptSave("task.mpg");
    const SourceLoadOutcome t = LoadSource(task.Request(M::CueBinToMpeg, false));
    EXPECT_EQ(t.result, result::kOk);
    EXPECT_EQ(task.files.opens(), 0);
    EXPECT_TRUE(t.namingUsable);
    EXPECT_FALSE(t.startable);
    EXPECT_EQ(task.open.FileName, "");
    EXPECT_EQ(task.save.FileName, "task.mpg");
    EXPECT_EQ(task.list.count(), 0);
    EXPECT_EQ(task.job.trackTable->lastIndex, -1);
}

TEST(SourceLoader, TrackZeroListsTheSheetsFirstTrack) {
    Page sheet;
    sheet.zero.setChecked(true);
    ASSERT_EQ(sheet.Load(M::CueBinToMpeg, sources::Fixture("vcd_pal3.cue")).result, result::kOk);
    ASSERT_EQ(sheet.list.count(), 4);
    EXPECT_EQ(sheet.list.item(0).rfind("Track #00   ", 0), 0u) << sheet.list.item(0);
    EXPECT_EQ(sheet.job.trackTable->firstTrack, 0);
    EXPECT_EQ(sheet.label.caption(), "All tracks selected");
    // An image has no track 0 to list.
    Page image;
    image.zero.setChecked(true);
    ASSERT_EQ(image.Load(M::BinToMpeg, sources::Fixture("vcd_pal3.bin")).result, result::kOk);
    EXPECT_EQ(image.job.trackTable->firstTrack, 1);
    EXPECT_EQ(image.list.count(), 3);
    EXPECT_EQ(image.lengths.size(), 3u);
}

// The video-cd page's conversion sources become build list entries.
TEST(SourceLoader, ImageForBuildGivesEntriesAndLabel) {
    Page page;
    LoadReporter reporter = LoadReporter::For(MessageServices{page.texts.get(), &page.stats, &page.dialogs},
                                              page.config, &page.log);
    TMpegFileList list(&page.job, &page.config);
    std::string label = "kept";
    std::vector<int64_t> lengths;
    const int cif = Index(VcdMethod::CifToCueBin), nrg = Index(VcdMethod::NrgToCueBin);
    ASSERT_EQ(LoadImageForBuild(cif, sources::Fixture("vcd_ntsc.cif"), page.job, list, reporter, &lengths, &label),
              result::kOk);
    EXPECT_EQ(label, "kept");
    ASSERT_EQ(list.entries.size(), 1u);
    list.entries.clear();
    ASSERT_EQ(LoadImageForBuild(nrg, sources::Fixture("vcd_pal3.nrg"), page.job, list, reporter, &lengths, &label),
              result::kOk);
    EXPECT_EQ(label, "PELLTEST");
    EXPECT_EQ(page.job.sourceName, sources::Fixture("vcd_pal3.nrg"));
    ASSERT_EQ(list.entries.size(), 3u);
    ASSERT_EQ(lengths.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(list.entries[k].size, lengths[k]);
        EXPECT_GT(lengths[k], 0);
        EXPECT_EQ(list.entries[k].trackInImage, static_cast<int32_t>(k) + 1);
        EXPECT_EQ(list.entries[k].image, 1);
        EXPECT_EQ(list.entries[k].name, sources::Fixture("vcd_pal3.nrg"));
    }
    // A refused image leaves the list and the label alone and names no source.
    EXPECT_EQ(LoadImageForBuild(nrg, sources::Fixture("bad_random.bin"), page.job, list, reporter, &lengths, &label),
              result::kNoMpegStream);
    EXPECT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(label, "PELLTEST");
    EXPECT_EQ(page.job.sourceName, "");
    // A build-list method loads no image.
    EXPECT_EQ(LoadImageForBuild(Index(VcdMethod::MpegToCueBin), sources::Fixture("vcd_pal3.nrg"), page.job, list,
                                reporter),
              result::kFailed);
    EXPECT_EQ(list.entries.size(), 3u);
}

}  // namespace
