// Handles on the window controls the engine and the core write to or read.
// The Qt backend wraps one widget per handle and posts calls made from
// another thread to the GUI thread; tests use the recording handles of
// tests/support.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class Label {
public:
    virtual ~Label() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual std::string caption() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool visible() const = 0;
    // Colour as 0x00BBGGRR, as the stored colour settings hold it.
    virtual void setColor(int32_t bgr) = 0;
};

class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void setPosition(int percent) = 0;  // 0..100
    virtual int position() const = 0;
};

class ListBox {
public:
    virtual ~ListBox() = default;
    virtual void add(const std::string& line) = 0;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    virtual bool selected(int index) const = 0;
    virtual void setSelected(int index, bool on) = 0;
    virtual int selectedCount() const {
        int n = 0;
        for (int i = 0, c = count(); i < c; ++i) n += selected(i) ? 1 : 0;
        return n;
    }
    // Keeps the last line in view (the log list scrolls as lines arrive).
    virtual void scrollToEnd() {}
};

class Button {
public:
    virtual ~Button() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual std::string caption() const = 0;
    virtual void setHint(const std::string& text) = 0;
    virtual std::string hint() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
};

class CheckBox {
public:
    virtual ~CheckBox() = default;
    // Setting the state from code runs the click handler when it changes.
    virtual void setChecked(bool on) = 0;
    virtual bool checked() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
};

class Edit {
public:
    virtual ~Edit() = default;
    // Writing a text runs the change handler (the batch hand-shake uses it);
    // the call returns after the handler has returned.
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
};

}  // namespace platform
