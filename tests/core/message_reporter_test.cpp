#include "core/message_reporter.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "tests/support/fakes.h"

namespace {

const std::string kTitle = "Pellmor v3.56 build 050213 beta";

struct Fixture {
    Fixture() : stats(&job) {
        job.pageMode = 0;
        stats.totalErrWarnings = &counter;
        stats.languageSet = &texts;
        services = {&texts, &stats, &dialogs};
    }
    TJob job;
    TLanguageSet texts;
    fakes::RecordingLabel counter;
    TStats stats;
    fakes::ScriptedDialogs dialogs{platform::kCancel};
    fakes::RecordingListBox log;
    MessageServices services;
};

struct Row {
    int kind;
    int flags;
    const char* box;  // "error", "ask" or "" for none
    int answer;
    int logLines;
    int errors, warnings;
    bool beepsWhenLoud;
};

}  // namespace

// kind x prompt flags, each run loud and quiet. The scripted box answers 2,
// so a shown question is told apart from a batch answer.
TEST(ReportMessage, KindByPromptFlagsByQuiet) {
    const Row rows[] = {
        {kMsgError, 0x0000, "error", 0, 4, 1, 0, false},
        {kMsgError, 0x0001, "", 0, 4, 1, 0, false},
        {kMsgError, 0x2000, "error", 0, 4, 1, 0, false},
        {kMsgError, 0x4000, "error", 0, 4, 1, 0, false},
        {kMsgError, 0x8000, "", 0, 4, 1, 0, false},
        {kMsgError, 0xA000, "", 0, 4, 1, 0, false},
        {kMsgError, 0xC000, "", 0, 4, 1, 0, false},
        {kMsgQuestion, 0x0000, "ask", 2, 0, 0, 0, false},
        {kMsgQuestion, 0x0001, "ask", 2, 0, 0, 0, false},
        {kMsgQuestion, 0x2000, "ask", 2, 0, 0, 0, false},
        {kMsgQuestion, 0x4000, "ask", 2, 0, 0, 0, false},
        {kMsgQuestion, 0x8000, "", 7, 0, 0, 0, false},
        {kMsgQuestion, 0xA000, "", 7, 0, 0, 0, false},
        {kMsgQuestion, 0xC000, "", 6, 0, 0, 0, false},
        {kMsgWarning, 0x0000, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0x0001, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0x2000, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0x4000, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0x8000, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0xA000, "", 0, 4, 0, 1, true},
        {kMsgWarning, 0xC000, "", 0, 4, 0, 1, true},
        {3, 0x0000, "", 0, 0, 0, 0, false},
        {-1, 0x8000, "", 0, 0, 0, 0, false},
    };
    for (const Row& r : rows) {
        for (uint8_t quiet : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "kind " << r.kind << " flags 0x" << std::hex << r.flags
                                              << " quiet " << int(quiet));
            Fixture f;
            int answer = ReportMessage(f.services, r.kind, 0, "file.bin", quiet, static_cast<int16_t>(r.flags), &f.log);
            EXPECT_EQ(answer, r.answer);
            auto shown = f.dialogs.shown();
            if (*r.box) {
                ASSERT_EQ(shown.size(), 1u);
                EXPECT_EQ(shown[0].kind, r.box);
                EXPECT_EQ(shown[0].caption, "file.bin");
            } else {
                EXPECT_TRUE(shown.empty());
            }
            EXPECT_EQ(f.log.count(), r.logLines);
            EXPECT_EQ(f.stats.errors, r.errors);
            EXPECT_EQ(f.stats.warnings, r.warnings);
            EXPECT_EQ(f.dialogs.beeps(), r.beepsWhenLoud && !quiet ? 1 : 0);
            if (r.errors + r.warnings > 0)
                EXPECT_EQ(f.counter.caption(), std::to_string(r.warnings) + " Warnings / " +
                                                   std::to_string(r.errors) + " Errors");
            else
                EXPECT_TRUE(f.counter.history().empty());
        }
    }
}

TEST(ReportMessage, ErrorBoxAndLogLines) {
    Fixture f;
    ReportMessage(f.services, kMsgError, 9, "/out/track01.mpg", 0, 0, &f.log);
    auto shown = f.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, "Unable to create output file.");
    EXPECT_EQ(shown[0].caption, "/out/track01.mpg");
    EXPECT_EQ(f.log.lines(),
              (std::vector<std::string>{"", "[/out/track01.mpg]", "     Unable to create output file.", ""}));
}

TEST(ReportMessage, WarningLogsContextWithoutBrackets) {
    Fixture f;
    ReportMessage(f.services, kMsgWarning, 4, "clip.mpg", 1, 0, &f.log);
    EXPECT_EQ(f.log.lines(), (std::vector<std::string>{
                                 "", "clip.mpg", "     WARNING: MPEG file may not have constant 2324 pack size.", ""}));
}

TEST(ReportMessage, EmptyContextBecomesProgramTitle) {
    Fixture f;
    f.dialogs.script({platform::kYes});
    EXPECT_EQ(ReportMessage(f.services, kMsgQuestion, 2, "", 0, 0, nullptr), platform::kYes);
    ReportMessage(f.services, kMsgError, 28, "", 0, 0, &f.log);
    ReportMessage(f.services, kMsgWarning, 0, "", 0, 0, &f.log);
    auto shown = f.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "Overwrite existing file?");
    EXPECT_EQ(shown[0].caption, kTitle);
    EXPECT_EQ(shown[1].caption, kTitle);
    auto lines = f.log.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "[" + kTitle + "]");
    EXPECT_EQ(lines[5], kTitle);
}

TEST(ReportMessage, QuestionReturnsThePressedButton) {
    Fixture f;
    f.dialogs.script({platform::kYes, platform::kNo, platform::kCancel});
    EXPECT_EQ(ReportMessage(f.services, kMsgQuestion, 0, "x", 0, 0, nullptr), 6);
    EXPECT_EQ(ReportMessage(f.services, kMsgQuestion, 1, "x", 0, 0, &f.log), 7);
    EXPECT_EQ(ReportMessage(f.services, kMsgQuestion, 3, "x", 0, 0, &f.log), 2);
    EXPECT_EQ(f.dialogs.shown()[2].message, "Remove Pellmor entries from registry?");
    EXPECT_EQ(f.log.count(), 0);
}

TEST(ReportMessage, CountsRestartAfterJobEnd) {
    Fixture f;
    ReportMessage(f.services, kMsgError, 6, "a", 1, 1, &f.log);
    ReportMessage(f.services, kMsgWarning, 0, "a", 1, 1, &f.log);
    EXPECT_EQ(f.counter.caption(), "1 Warnings / 1 Errors");
    f.stats.warnings = 0;  // what the worker does at its end
    f.stats.errors = 0;
    ReportMessage(f.services, kMsgWarning, 1, "b", 1, 1, &f.log);
    EXPECT_EQ(f.counter.caption(), "1 Warnings / 0 Errors");
}

TEST(ReportMessage, TranslatedTableIsUsed) {
    Fixture f;
    f.texts.sections[static_cast<int>(LangSection::ERROR_MSGS)][9] = "Ausgabedatei nicht erstellt.";
    f.texts.sections[static_cast<int>(LangSection::COMPONENT_MSGS)][96] = "Fehler";
    ReportMessage(f.services, kMsgError, 9, "x", 0, 0, &f.log);
    EXPECT_EQ(f.dialogs.shown()[0].message, "Ausgabedatei nicht erstellt.");
    EXPECT_EQ(f.log.item(2), "     Ausgabedatei nicht erstellt.");
    EXPECT_EQ(f.counter.caption(), "0 Warnings / 1 Fehler");
}

// Indexes come from settings and files; one past a kind's table must not
// reach the next kind's texts.
TEST(ReportMessage, IndexOutOfRangeShowsEmptyMessage) {
    Fixture f;
    ReportMessage(f.services, kMsgError, 31, "x", 0, 0, &f.log);
    ReportMessage(f.services, kMsgQuestion, 4, "x", 0, 0, &f.log);
    ReportMessage(f.services, kMsgWarning, -1, "x", 1, 0, &f.log);
    auto shown = f.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "");
    EXPECT_EQ(shown[1].message, "");
    EXPECT_EQ(f.log.item(2), "     ");
    EXPECT_EQ(f.log.item(6), "     ");
}

TEST(ReportMessage, NullServicesAreSkipped) {
    MessageServices none;
    EXPECT_EQ(ReportMessage(none, kMsgError, 0, "x", 0, 0, nullptr), 0);
    EXPECT_EQ(ReportMessage(none, kMsgWarning, 0, "x", 0, 0, nullptr), 0);
    EXPECT_EQ(ReportMessage(none, kMsgQuestion, 0, "x", 0, 0, nullptr), platform::kCancel);
    EXPECT_EQ(ReportMessage(none, kMsgQuestion, 0, "x", 0, static_cast<int16_t>(0xC000), nullptr), platform::kYes);
    fakes::RecordingListBox log;
    ReportMessage(none, kMsgError, 3, "x", 0, 0, &log);
    EXPECT_EQ(log.item(2), "     ");
}

TEST(ReportMessage, WorkerFormTakesTheJobSettings) {
    Fixture f;
    TJobControls controls;
    controls.languageSet = f.texts.Snapshot();
    controls.stats = &f.stats;
    controls.dialogs = &f.dialogs;
    controls.logListBox = &f.log;
    TConfig cfg;
    cfg.DisableAudioWarningBell = 1;
    cfg.DisableErrorPrompts = 1;
    // A reload after the start does not reach the job.
    f.texts.sections[static_cast<int>(LangSection::ERROR_MSGS)][7] = "changed";

    EXPECT_EQ(ReportMessage(controls, cfg, kMsgError, 7, "in.bin"), 0);
    EXPECT_EQ(ReportMessage(controls, cfg, kMsgWarning, 3, "in.dat"), 0);
    EXPECT_TRUE(f.dialogs.shown().empty());
    EXPECT_EQ(f.dialogs.beeps(), 0);
    EXPECT_EQ(f.log.item(2), "     Could not locate MPEG stream.");
    EXPECT_EQ(f.stats.errors, 1);
    EXPECT_EQ(f.stats.warnings, 1);

    cfg.DisableAudioWarningBell = 0;
    cfg.DisableErrorPrompts = 0;
    ReportMessage(controls, cfg, kMsgWarning, 3, "in.dat");
    ReportMessage(controls, cfg, kMsgError, 7, "in.bin");
    EXPECT_EQ(f.dialogs.beeps(), 1);
    ASSERT_EQ(f.dialogs.shown().size(), 1u);
    EXPECT_EQ(f.dialogs.shown()[0].message, "Could not locate MPEG stream.");

    cfg.DisableErrorPrompts = static_cast<int16_t>(0xC000);
    EXPECT_EQ(ReportMessage(controls, cfg, kMsgQuestion, 0, "x"), 6);
    TJobControls empty;
    EXPECT_EQ(ReportMessage(empty, TConfig{}, kMsgError, 0, "x"), 0);
}

namespace {

// Stands in for the GUI backend: a question asked on the worker waits until
// the GUI thread has answered it.
class GuiThreadDialogs : public fakes::ScriptedDialogs {
public:
    int ask(const std::string& message, const std::string&) override {
        std::unique_lock<std::mutex> l(m_);
        pending_ = message;
        cv_.notify_all();
        cv_.wait(l, [&] { return answer_ != 0; });
        return answer_;
    }
    std::string waitForQuestion() {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return !pending_.empty(); });
        return pending_;
    }
    void answer(int a) {
        std::lock_guard<std::mutex> l(m_);
        answer_ = a;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::string pending_;
    int answer_ = 0;
};

}  // namespace

TEST(ReportMessage, WorkerWaitsForTheGuiAnswer) {
    TLanguageSet texts;
    GuiThreadDialogs dialogs;
    TJobControls controls;
    controls.languageSet = texts.Snapshot();
    controls.dialogs = &dialogs;
    TConfig cfg;

    auto result = std::async(std::launch::async, [&] { return ReportMessage(controls, cfg, kMsgQuestion, 0, "out"); });
    EXPECT_EQ(dialogs.waitForQuestion(), "There may not be enough space to write the output file.  Continue?");
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    dialogs.answer(platform::kNo);
    EXPECT_EQ(result.get(), platform::kNo);
}
