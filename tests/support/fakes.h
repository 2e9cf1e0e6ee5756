// Recording and scripted stand-ins for the platform handles. All of them
// are safe to call from the worker thread while the test thread reads them.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/string_grid.h"

namespace fakes {

class RecordingLabel : public platform::Label {
public:
    void setCaption(const std::string& text) override;
    std::string caption() const override;
    void setVisible(bool v) override;
    bool visible() const override;
    void setColor(int32_t bgr) override;
    int32_t color() const;
    std::vector<std::string> history() const;  // every caption set, in order

private:
    mutable std::mutex m_;
    std::string caption_;
    bool visible_ = true;
    int32_t color_ = -1;
    std::vector<std::string> history_;
};

class RecordingProgressBar : public platform::ProgressBar {
public:
    void setPosition(int p) override;
    int position() const override;
    std::vector<int> history() const;

private:
    mutable std::mutex m_;
    int pos_ = 0;
    std::vector<int> history_;
};

class RecordingListBox : public platform::ListBox {
public:
    void add(const std::string& line) override;
    void clear() override;
    int count() const override;
    std::string item(int index) const override;
    bool selected(int index) const override;
    void setSelected(int index, bool on) override;
    std::vector<std::string> lines() const;

private:
    mutable std::mutex m_;
    std::vector<std::string> lines_;
    std::vector<bool> sel_;
};

class RecordingButton : public platform::Button {
public:
    void setCaption(const std::string& text) override;
    std::string caption() const override;
    void setHint(const std::string& text) override;
    std::string hint() const override;
    void setEnabled(bool on) override;
    bool enabled() const override;

private:
    mutable std::mutex m_;
    std::string caption_, hint_;
    bool enabled_ = true;
};

class RecordingCheckBox : public platform::CheckBox {
public:
    void setChecked(bool on) override;
    bool checked() const override;
    void setEnabled(bool on) override;
    bool enabled() const override;

private:
    mutable std::mutex m_;
    bool checked_ = false, enabled_ = true;
};

class RecordingEdit : public platform::Edit {
public:
    void setText(const std::string& text) override;
    std::string text() const override;
    std::vector<std::string> history() const;

private:
    mutable std::mutex m_;
    std::string text_;
    std::vector<std::string> history_;
};

// A string grid held in memory; it starts as the form lays it out: the
// title row and one blank row, nothing selected.
class RecordingGrid : public platform::StringGrid {
public:
    void setCell(int column, int row, const std::string& text) override;
    std::string cell(int column, int row) const override;
    int rowCount() const override;
    void setRowCount(int rows) override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    void repaint() override;
    int repaints() const;
    // The data rows 1..rowCount-1, each as its cells joined by "|".
    std::vector<std::string> rows() const;

private:
    mutable std::mutex m_;
    std::map<std::pair<int, int>, std::string> cells_;
    int rows_ = 2, current_ = -1, repaints_ = 0;
};

// One cell that keeps every text written to it.
class RecordingGridCell : public platform::GridCell {
public:
    void setText(const std::string& text) override;
    std::string text() const override;
    std::vector<std::string> history() const;  // every text set, in order

private:
    mutable std::mutex m_;
    std::string text_;
    std::vector<std::string> history_;
};

// Answers questions from a script (default answer when it runs out) and
// records every box shown.
class ScriptedDialogs : public platform::Dialogs {
public:
    struct Shown {
        std::string kind;  // "ask", "askYesNo", "error", "info", "input"
        std::string message, caption;
    };
    explicit ScriptedDialogs(int defaultAnswer = platform::kYes) : default_(defaultAnswer) {}
    void script(std::initializer_list<int> answers);
    void scriptInput(std::optional<std::string> text);
    // The colour dialog's next answer (nothing: cancelled; unscripted: cancelled).
    void scriptColour(std::optional<int32_t> bgr);

    int ask(const std::string& message, const std::string& caption) override;
    // Shown as "askYesNo".
    int askYesNo(const std::string& message, const std::string& caption) override;
    void error(const std::string& message, const std::string& caption) override;
    void info(const std::string& message, const std::string& caption) override;
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
    void beep() override;
    std::optional<int32_t> chooseColour(int32_t initialBgr) override;

    std::vector<Shown> shown() const;
    std::vector<int32_t> colourStarts() const;  // each dialog's initial colour
    int beeps() const;

private:
    mutable std::mutex m_;
    int default_;
    std::deque<int> answers_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<int32_t>> colours_;
    std::vector<int32_t> colourStarts_;
    std::vector<Shown> shown_;
    int beeps_ = 0;
};

// Open/save dialogs that answer from a script: a name to choose, or cancel.
class ScriptedFileDialogs : public platform::FileDialogs {
public:
    void scriptOpen(std::optional<std::string> name);
    // Several names chosen at once (the first is the dialog's file name).
    void scriptOpenFiles(std::vector<std::string> names);
    void scriptSave(std::optional<std::string> name);
    void scriptDirectory(std::optional<std::string> dir);
    bool executeOpen(platform::FileDialogState& state) override;
    bool executeSave(platform::FileDialogState& state) override;
    bool selectDirectory(const std::string& caption, std::string& dir) override;
    int opens() const;
    int saves() const;
    platform::FileDialogState lastShown() const;

private:
    mutable std::mutex m_;
    std::deque<std::optional<std::string>> open_, save_, dir_;
    std::deque<std::vector<std::string>> openFiles_;  // beside open_'s entries of the same place
    int opens_ = 0, saves_ = 0;
    platform::FileDialogState last_;
};

// Registry held in memory: key path -> values.
class MemoryRegistry : public platform::Registry {
public:
    struct Value {
        bool isString = false;
        int32_t i = 0;
        std::string s;
    };
    bool openKey(const std::string& key, bool create) override;
    void closeKey() override;
    bool keyExists(const std::string& key) override;
    bool deleteKey(const std::string& key) override;
    bool valueExists(const std::string& name) override;
    std::optional<int32_t> readInteger(const std::string& name) override;
    std::optional<std::string> readString(const std::string& name) override;
    bool writeInteger(const std::string& name, int32_t value) override;
    bool writeString(const std::string& name, const std::string& value) override;

    std::map<std::string, std::map<std::string, Value>> keys;

private:
    std::string open_;
    bool isOpen_ = false;
};

class FakeClock : public platform::Clock {
public:
    platform::LocalTime now() const override;
    platform::LocalTime utcNow() const override;  // the set time, taken as UTC
    int64_t steadyMs() const override;
    void set(platform::LocalTime t);
    void advanceMs(int64_t ms);

private:
    mutable std::mutex m_;
    platform::LocalTime t_{2005, 2, 13, 12, 0, 0, 0};
    int64_t ms_ = 0;
};

// Keeps every target it is asked to open, and opens none.
class RecordingShell : public platform::Shell {
public:
    bool open(const std::string& target) override {
        opened.push_back(target);
        return true;
    }
    std::vector<std::string> opened;
};

}  // namespace fakes
