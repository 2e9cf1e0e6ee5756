#include "core/records.h"

#include <gtest/gtest.h>

#include "core/language_set.h"
#include "disc/track_table.h"
#include "tests/support/fakes.h"

TEST(JobRecord, StartsEmptyWithItsOwnBatchContext) {
    TJob job;
    EXPECT_EQ(job.controls, nullptr);
    ASSERT_NE(job.batchContext, nullptr);
    EXPECT_EQ(job.batchContext->returnSignal, nullptr);
    EXPECT_EQ(job.batchContext->onError, nullptr);
    EXPECT_EQ(job.batchContext->onQuery, nullptr);
    EXPECT_EQ(job.forcedReadSize, 0);
    EXPECT_EQ(job.forcedWriteSize, 0);
    EXPECT_EQ(job.multiImage, 0);
    // Left unset by the constructor, so they must read as nothing at all.
    EXPECT_EQ(job.trackTable, nullptr);
    EXPECT_EQ(job.mpegList, nullptr);
    EXPECT_EQ(job.cdiFiles, nullptr);
    EXPECT_EQ(job.videoCdImage, nullptr);
    EXPECT_EQ(job.inputFile, nullptr);
    EXPECT_EQ(job.outputFile, nullptr);
    EXPECT_EQ(job.searchPattern, nullptr);
    EXPECT_TRUE(job.sourceName.empty() && job.outputName.empty() && job.baseOutputName.empty() &&
                job.volumeName.empty());
}

TEST(JobRecord, DestructorFreesControlsAndTrackTable) {
    auto texts = std::make_shared<const TLanguageSet>();
    {
        TJob job;
        job.controls = new TJobControls();
        job.controls->languageSet = texts;
        job.trackTable = new TTrackTable();
        job.trackTable->AppendTrack();
        EXPECT_EQ(texts.use_count(), 2);
    }
    // The controls block (and the snapshot it held) went with the job; the
    // sanitizer build checks the track table and batch context too.
    EXPECT_EQ(texts.use_count(), 1);
}

TEST(ConfigRecord, WorkingFieldsStartCleared) {
    TConfig cfg;
    EXPECT_EQ(cfg.selectedTracksOnly, 0);
    EXPECT_EQ(cfg.bumperRemoved, 0);
    EXPECT_EQ(cfg.buildListHeaderShown, 0);
    EXPECT_TRUE(cfg.LanguageFile.empty() && cfg.LanguageFileDirectory.empty() && cfg.ManualFAQDirectory.empty() &&
                cfg.DefaultLoadDir.empty() && cfg.DefaultSaveDir.empty() && cfg.TempDirectory.empty() &&
                cfg.MultiFileFormat.empty());
}

class StatsShowTest : public ::testing::Test {
protected:
    StatsShowTest() : stats(&job) {
        stats.totalErrWarnings = &label;
        stats.totalErrWarnings2 = &label2;
        stats.languageSet = &texts;
        for (auto* l : {&label, &label2}) {
            l->setVisible(false);
            l->setCaption("old");
        }
        stats.warnings = 2;
        stats.errors = 3;
    }
    TJob job;
    TLanguageSet texts;
    fakes::RecordingLabel label, label2;
    TStats stats;
};

TEST_F(StatsShowTest, PageModeChoosesTheLabel) {
    struct Case {
        int pageMode;
        std::string first, second;
        bool firstVisible, secondVisible;
    };
    for (const Case& c : {Case{0, "2 Warnings / 3 Errors", "old", true, false},
                          Case{1, "old", "2 Warnings / 3 Errors", false, true}, Case{2, "old", "old", false, false}}) {
        SCOPED_TRACE(c.pageMode);
        for (auto* l : {&label, &label2}) {
            l->setVisible(false);
            l->setCaption("old");
        }
        job.pageMode = c.pageMode;
        stats.Show();
        EXPECT_EQ(label.caption(), c.first);
        EXPECT_EQ(label2.caption(), c.second);
        EXPECT_EQ(label.visible(), c.firstVisible);
        EXPECT_EQ(label2.visible(), c.secondVisible);
    }
}

TEST_F(StatsShowTest, WordsComeFromTheGivenTexts) {
    TLanguageSet german;
    german.sections[static_cast<int>(LangSection::COMPONENT_MSGS)][95] = "Warnungen";
    german.sections[static_cast<int>(LangSection::COMPONENT_MSGS)][96] = "Fehler";
    stats.Show(&german);
    EXPECT_EQ(label.caption(), "2 Warnungen / 3 Fehler");
}

TEST_F(StatsShowTest, MissingPiecesAreSkipped) {
    stats.totalErrWarnings = nullptr;
    stats.Show();  // no label for the page: nothing to do
    EXPECT_EQ(label2.caption(), "old");
    stats.totalErrWarnings = &label;
    stats.Show(nullptr);
    EXPECT_EQ(label.caption(), "2  / 3 ");
    TStats orphan(nullptr);
    orphan.totalErrWarnings = &label;
    orphan.Show();
    EXPECT_EQ(label.caption(), "2  / 3 ");
}
