// Runs code on the thread that owns a widget. The engine's worker calls the
// control handles; every widget access must happen on the GUI thread.
#pragma once

#include <QObject>
#include <functional>

namespace platform::qt {

// Runs fn on context's thread and waits for it (at once when already there).
// When context goes away before the call is delivered, fn does not run and
// the caller is released.
void runOnGui(QObject* context, const std::function<void()>& fn);

// Queues fn for context's thread without waiting (runs at once when already
// there, so that a GUI-thread caller sees its own change).
void postToGui(QObject* context, std::function<void()> fn);

bool onThreadOf(const QObject* context);

}  // namespace platform::qt
