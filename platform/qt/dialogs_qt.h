// Message boxes, input box and file dialogs on Qt. Called from the worker,
// a box is shown on the GUI thread and the worker waits for the answer.
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>

#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

namespace platform::qt {

class QtDialogs final : public platform::Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    int ask(const std::string& message, const std::string& caption) override;
    int askYesNo(const std::string& message, const std::string& caption) override;
    void error(const std::string& message, const std::string& caption) override;
    void info(const std::string& message, const std::string& caption) override;
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
    void beep() override;
    std::optional<int32_t> chooseColour(int32_t initialBgr) override;

    // While the window closes: no box is shown any more, questions answer
    // Cancel (also one whose box the close ended), so that a waiting worker
    // can finish.
    void refuseAll(bool on) { refuse_ = on; }

private:
    QObject* context() const;
    QPointer<QWidget> parent_;
    std::atomic<bool> refuse_{false};
};

class QtFileDialogs final : public platform::FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    bool executeOpen(platform::FileDialogState& state) override;
    bool executeSave(platform::FileDialogState& state) override;
    bool selectDirectory(const std::string& caption, std::string& dir) override;

private:
    bool execute(platform::FileDialogState& state, bool save);
    QPointer<QWidget> parent_;
};

// A box or dialog of ours is open, or ended and its exec() not yet returned:
// code running now runs inside its loop.
bool BoxLoopRunning();

// "text|*.a;*.b|All files|*.*" into Qt's "text (*.a *.b);;All files (*)".
QString ToQtFilter(const std::string& filter);

}  // namespace platform::qt
