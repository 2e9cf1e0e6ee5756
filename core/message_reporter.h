// The one reporter of numbered errors, questions and warnings.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "core/language_set.h"
#include "core/records.h"
#include "platform/controls.h"
#include "platform/dialogs.h"

enum MessageKind : int { kMsgError = 0, kMsgQuestion = 1, kMsgWarning = 2 };

// Where a message goes: its words, its counters and the boxes.
struct MessageServices {
    const TLanguageSet* languageSet = nullptr;
    TStats* stats = nullptr;
    platform::Dialogs* dialogs = nullptr;
};

// A warning whose words are not in the table (they carry a number, as the
// bytes left out): logged, counted and beeped as the numbered ones are.
void ReportWarningText(const TJobControls& controls, const TConfig& config, const std::string& message,
                       const std::string& text);

// Errors and warnings return 0; questions 6 (yes), 7 (no) or 2 (cancel).
int ReportMessage(const MessageServices& services, int kind, int index, const std::string& text, uint8_t quiet,
                  int16_t promptFlags, platform::ListBox* log);

// An error in words the language set has no entry for, shown, logged and
// counted as a numbered one is.
int ReportError(const MessageServices& services, const std::string& message, const std::string& text,
                int16_t promptFlags, platform::ListBox* log);

// The worker's form: the job's controls block and the options supply the rest.
int ReportMessage(const TJobControls& controls, const TConfig& config, int kind, int index,
                  const std::string& text);

// What a background thread caught escaping its work, reported as an error:
// std::bad_alloc as error 28, anything else as an error line of our own that
// names it. Never throws, so a thread can end its job after it.
void ReportEscapedException(const MessageServices& services, std::exception_ptr caught, uint8_t quiet,
                            int16_t promptFlags, platform::ListBox* log);
// The text of that line for anything other than std::bad_alloc.
std::string EscapedExceptionText(std::exception_ptr caught);
