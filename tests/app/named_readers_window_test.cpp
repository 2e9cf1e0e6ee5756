// The window side of the readers of named files: a language file at start
// and in the options window, and the subtitle converter's source, against a
// FIFO without a writer, a device that never ends, a folder and a dangling
// link. Each read runs under a watchdog: a regression that blocks the GUI
// thread fails the program instead of hanging CI.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/temp_file.h"
#include "settings/options_window.h"
#include "tests/app/window_test_app.h"
#include "tests/support/bounded_run.h"
#include "tests/support/fakes.h"
#include "tools/sub_convert_window.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr auto kBound = 20s;
const std::string kCannotOpen = "Source file could not be opened or accessed.";

struct Odd {
    const char* kind;
    std::string path;
};

class NamedReadersWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WindowTestApp();
        dir = CreateTempDir("named_readers_window_");
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(::mkfifo((dir + "/fifo.lng").c_str(), 0600), 0);
        fs::create_directory(dir + "/folder.lng");
        fs::create_symlink(dir + "/nowhere.lng", dir + "/dangling.lng");
        odd = {{"fifo", dir + "/fifo.lng"}, {"device", "/dev/zero"}, {"folder", dir + "/folder.lng"},
               {"dangling link", dir + "/dangling.lng"}};
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string dir;
    std::vector<Odd> odd;
};

std::vector<std::string> LogLines(TForm1& w) {
    std::vector<std::string> lines;
    auto* log = w.findChild<QListWidget*>(QLatin1String("log"));
    if (!log) return lines;
    for (int i = 0; i < log->count(); ++i) lines.push_back(log->item(i)->text().toStdString());
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

// The stored language file names no file: the window still comes up, in the
// built-in English.
TEST_F(NamedReadersWindow, ALanguageFileAtStart) {
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.kind);
        MainWindowRig rig;
        rig.reg.keys[kSettingsKey]["LanguageFile"] = {true, 0, o.path};
        {
            bounded::Watchdog watchdog(kBound, std::string("the start with a language file on a ") + o.kind);
            rig.w = rig.MakeWindow();
        }
        auto* start = rig.w->findChild<QPushButton*>(QLatin1String("startButton"));
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(start->text(), QString("start"));
        EXPECT_EQ(rig.w->languageSet->core(0), TLanguageSet().core(0));
        rig.w.reset();
    }
}

// Chosen in the options window: error 6 naming it, and the language in force
// stays.
TEST_F(NamedReadersWindow, ALanguageFileInTheOptionsWindow) {
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.kind);
        MainWindowRig rig;
        rig.w = rig.MakeWindow();
        auto* options = rig.w->findChild<QPushButton*>(QLatin1String("optionsButton"));
        ASSERT_NE(options, nullptr);
        WhileModal<TForm2>([&] { options->click(); },
                           [&](TForm2& f) {
                               rig.files.scriptOpen(o.path);
                               bounded::Watchdog watchdog(kBound, std::string("the language choice of a ") + o.kind);
                               f.langSelButton->click();
                               f.OptionsCancel->click();
                           });
        const std::vector<std::string> log = LogLines(*rig.w);
        EXPECT_TRUE(Contains(log, "[" + o.path + "]")) << ::testing::PrintToString(log);
        EXPECT_TRUE(Contains(log, kCannotOpen)) << ::testing::PrintToString(log);
        EXPECT_EQ(rig.w->findChild<QPushButton*>(QLatin1String("optionsButton"))->text(), QString("options"));
        rig.w.reset();
    }
}

// The converter's own open dialog, on every entry of its filter: error 6
// naming the file, nothing listed, nothing to convert.
TEST_F(NamedReadersWindow, TheSubtitleConvertersSource) {
    TLanguageSet texts;
    fakes::MemoryRegistry registry;
    fakes::RecordingListBox log;
    fakes::ScriptedFileDialogs files;
    std::vector<std::pair<int, std::string>> reported;
    TSubConvertForm::Services s;
    s.texts = &texts;
    s.fileDialogs = &files;
    s.registry = &registry;
    s.log = &log;
    s.report = [&](int, int index, const std::string& text) {
        reported.emplace_back(index, text);
        return 0;
    };
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.kind);
        reported.clear();
        files.scriptOpen(o.path);
        TSubConvertForm form(s);
        form.SetMode(1);
        {
            bounded::Watchdog watchdog(kBound, std::string("the converter's source on a ") + o.kind);
            form.show();
        }
        EXPECT_EQ(reported, (std::vector<std::pair<int, std::string>>{{6, o.path}}));
        auto* ok = form.findChild<QPushButton*>(QLatin1String("OKButton"));
        ASSERT_NE(ok, nullptr);
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_EQ(form.findChild<QListWidget*>(QLatin1String("SubFileList"))->count(), 0);
    }
}

}  // namespace
