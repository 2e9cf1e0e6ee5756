// Message boxes, beep and input box. A call made from the worker thread
// blocks the worker until the GUI thread has the user's answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Answers of a question box.
enum Answer : int { kYes = 6, kNo = 7, kCancel = 2, kOk = 1 };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Yes / No / Cancel question with the exclamation icon; 6, 7 or 2.
    virtual int ask(const std::string& message, const std::string& caption) = 0;
    // Yes / No question, no Cancel; 6 or 7. A backend without a box of its
    // own asks Yes/No/Cancel and takes Cancel as No.
    virtual int askYesNo(const std::string& message, const std::string& caption) {
        return ask(message, caption) == kYes ? kYes : kNo;
    }
    // OK box with the exclamation icon.
    virtual void error(const std::string& message, const std::string& caption) = 0;
    // OK box with the information icon.
    virtual void info(const std::string& message, const std::string& caption) = 0;
    // Returns the typed text, or nothing when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                                const std::string& initial) = 0;
    virtual void beep() = 0;
    // Colour dialog with its custom colours shown, starting at a colour
    // (0x00BBGGRR); the chosen colour, or nothing when cancelled. Only the
    // GUI thread asks for one; a backend without a dialog chooses nothing.
    virtual std::optional<int32_t> chooseColour(int32_t initialBgr) {
        (void)initialBgr;
        return std::nullopt;
    }
};

}  // namespace platform
