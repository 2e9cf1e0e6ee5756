// The one application object of a window test, with the program's look.
#pragma once

#include <QApplication>

#include "app/main_window.h"

// Fontconfig keeps its caches for the life of the process; that is not ours.
// Not inline: the sanitizer looks the symbol up, so it must be emitted (each
// test program includes this header from one file only).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

inline QApplication& WindowTestApp() {
    static int argc = 1;
    static char name[] = "window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        TForm1::ApplyApplicationStyle();
        return a;
    }();
    return *app;
}
