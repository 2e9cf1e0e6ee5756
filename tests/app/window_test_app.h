// The one application object of a window test, with the program's look.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QLatin1String>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window/main_window.h"
#include "platform/qt/media_player_qt.h"
#include "tests/support/fakes.h"
#include "tests/support/media_player_fake.h"
#include "tools/sample_clip_window.h"

// Fontconfig keeps its caches for the life of the process; that is not ours.
// Not inline: the sanitizer looks the symbol up, so it must be emitted (each
// test program includes this header from one file only).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

inline QApplication& WindowTestApp() {
    static int argc = 1;
    static char name[] = "window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        // The media backend the program chooses at its start.
        platform::qt::ChooseMediaBackend();
        auto* a = new QApplication(argc, argv);
        TForm1::ApplyApplicationStyle();
        return a;
    }();
    return *app;
}

// The fakes a main window test hands the window, the window made on them
// (shown), and its controls by object name.
struct MainWindowRig {
    fakes::MemoryRegistry reg;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    std::unique_ptr<TForm1> w;

    std::unique_ptr<TForm1> MakeWindow() {
        TForm1::Services s;
        s.registry = &reg;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = std::string(PELLMOR_BUILD_DIR) + "/";
        s.freeSpace = [](const std::string&) { return int64_t{1} << 40; };
        auto window = std::make_unique<TForm1>(std::move(s));
        window->show();
        return window;
    }
    template <class T>
    T* find(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
};

// While it lives, clip editors get the recording player instead of the Qt
// one, whose media backend is not what window tests are about.
struct FakeClipEditorPlayer {
    FakeClipEditorPlayer() {
        TSampleCreateForm::playerFactory = [](QWidget*, QWidget**) {
            return std::unique_ptr<platform::MediaPlayer>(new fakes::RecordingMediaPlayer);
        };
    }
    ~FakeClipEditorPlayer() { TSampleCreateForm::playerFactory = nullptr; }
    FakeClipEditorPlayer(const FakeClipEditorPlayer&) = delete;
    FakeClipEditorPlayer& operator=(const FakeClipEditorPlayer&) = delete;
};

// Clicks something that opens a modal window of type W, runs act while it is
// shown and returns the modal result it ended with (-1: none was shown).
// act must close the window.
template <class W>
int WhileModal(const std::function<void()>& click, const std::function<void(W&)>& act) {
    int result = -1;
    bool shown = false;
    // A window that lives on (the main window's own clip editor) must not
    // write into this frame once it is gone.
    QMetaObject::Connection finished;
    QTimer::singleShot(0, [&] {
        W* window = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* w = dynamic_cast<W*>(top); w && w->isVisible()) window = w;
        if (!window) return;
        shown = true;
        EXPECT_TRUE(window->isModal());
        finished = QObject::connect(window, &QDialog::finished, [&](int r) { result = r; });
        act(*window);
        if (window->isVisible()) {
            ADD_FAILURE() << "the modal window was left open";
            window->done(2);
        }
    });
    click();
    QObject::disconnect(finished);
    EXPECT_TRUE(shown) << "no modal window";
    return result;
}

// The shipped English language file with some COMPONENT_MSGS entries (by
// index) given other texts, and the first DOCUMENT_MENU_MSGS entry too.
inline std::string LanguageFileWith(const std::map<int, std::string>& components,
                                    const std::optional<std::string>& docFirst = std::nullopt) {
    std::ifstream in(std::string(PELLMOR_SOURCE_DIR) + "/lang/english.lng", std::ios::binary);
    std::stringstream out;
    std::string line, section;
    int index = 0;
    while (std::getline(in, line)) {
        std::string t = line;
        while (!t.empty() && (t.back() == '\r' || t.back() == ' ')) t.pop_back();
        if (!t.empty() && t[0] == '#') {
            section = t.substr(1);
            index = 0;
        } else if (!t.empty() && t.rfind("//", 0) != 0) {
            if (section == "COMPONENT_MSGS" && components.count(index)) t = components.at(index);
            if (section == "DOCUMENT_MENU_MSGS" && index == 0 && docFirst) t = *docFirst;
            ++index;
        }
        out << t << "\n";
    }
    return out.str();
}
