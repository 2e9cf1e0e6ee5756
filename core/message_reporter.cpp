#include "core/message_reporter.h"

#include <new>
#include <stdexcept>

#include "core/constants.h"
#include "core/result_codes.h"

namespace {

// Bits 13..15 of the prompt flags speak to the batch run; the rest switch the
// error boxes off.
constexpr int32_t kBatchBits = 0x2000 | 0x4000 | 0x8000;
constexpr int32_t kBatchRuns = 0x8000;
constexpr int32_t kBatchAnswersYes = 0x4000;

const std::string kEmpty;

// Entry index of the given kind's table; an index outside it gives an empty
// text, never another kind's entry.
const std::string& TableText(const TLanguageSet* texts, LangSection section, int first, int index) {
    if (!texts || index < 0 || index >= TLanguageSet::kSlots[static_cast<int>(section)]) return kEmpty;
    return texts->message(first + index);
}

void Log4(platform::ListBox* log, const std::string& context, const std::string& message) {
    if (!log) return;
    log->add("");
    log->add(context);
    log->add(kLogIndent + message);
    log->add("");
}

void Warn(const MessageServices& services, const std::string& message, const std::string& context, uint8_t quiet,
          platform::ListBox* log) {
    if (!quiet && services.dialogs) services.dialogs->beep();
    Log4(log, context, message);
    if (services.stats) {
        ++services.stats->warnings;
        services.stats->Show(services.languageSet);
    }
}

MessageServices WorkerServices(const TJobControls& controls) {
    MessageServices services;
    services.languageSet = controls.languageSet.get();
    services.stats = controls.stats;
    services.dialogs = controls.dialogs;
    return services;
}

}  // namespace

int ReportError(const MessageServices& services, const std::string& message, const std::string& text,
                int16_t promptFlags, platform::ListBox* log) {
    const std::string context = text.empty() ? std::string(kProgramCaption) : text;
    const int32_t flags = promptFlags;
    if ((flags & ~kBatchBits) == 0 && services.dialogs) services.dialogs->error(message, context);
    Log4(log, "[" + context + "]", message);
    if (services.stats) {
        ++services.stats->errors;
        services.stats->Show(services.languageSet);
    }
    return 0;
}

int ReportMessage(const MessageServices& services, int kind, int index, const std::string& text, uint8_t quiet,
                  int16_t promptFlags, platform::ListBox* log) {
    const std::string context = text.empty() ? std::string(kProgramCaption) : text;
    // Widened with its sign: bit 15 then fills the high bits, so a batch run
    // counts as "prompts off" as well.
    const int32_t flags = promptFlags;

    switch (kind) {
    case kMsgError:
        return ReportError(services, TableText(services.languageSet, LangSection::ERROR_MSGS, 0, index), text,
                           promptFlags, log);
    case kMsgQuestion: {
        if (flags & kBatchRuns) return (flags & kBatchAnswersYes) ? platform::kYes : platform::kNo;
        const std::string& message = TableText(services.languageSet, LangSection::QUERY_MSGS, 31, index);
        // Without a way to ask, nobody agreed.
        if (!services.dialogs) return platform::kCancel;
        return services.dialogs->ask(message, context);
    }
    case kMsgWarning: {
        Warn(services, TableText(services.languageSet, LangSection::WARNING_MSGS, 35, index), context, quiet, log);
        return 0;
    }
    default:
        return 0;
    }
}

int ReportMessage(const TJobControls& controls, const TConfig& config, int kind, int index, const std::string& text) {
    return ReportMessage(WorkerServices(controls), kind, index, text, config.DisableAudioWarningBell,
                         config.DisableErrorPrompts, controls.logListBox);
}

void ReportWarningText(const TJobControls& controls, const TConfig& config, const std::string& message,
                       const std::string& text) {
    Warn(WorkerServices(controls), message, text.empty() ? std::string(kProgramCaption) : text,
         config.DisableAudioWarningBell, controls.logListBox);
}

std::string EscapedExceptionText(std::exception_ptr caught) {
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& e) {
        return std::string("Internal error: ") + e.what();
    } catch (...) {
        return "Internal error: an exception of unknown type";
    }
}

void ReportEscapedException(const MessageServices& services, std::exception_ptr caught, uint8_t quiet,
                            int16_t promptFlags, platform::ListBox* log) {
    try {
        bool noMemory = false;
        try {
            std::rethrow_exception(caught);
        } catch (const std::bad_alloc&) {
            noMemory = true;
        } catch (...) {
        }
        if (noMemory) {
            ReportMessage(services, kMsgError, msg::error::kNoMemory, "", quiet, promptFlags, log);
            return;
        }
        const std::string message = EscapedExceptionText(caught);
        const std::string context(kProgramCaption);
        if ((static_cast<int32_t>(promptFlags) & ~kBatchBits) == 0 && services.dialogs)
            services.dialogs->error(message, context);
        Log4(log, "[" + context + "]", message);
        if (services.stats) {
            ++services.stats->errors;
            services.stats->Show(services.languageSet);
        }
    } catch (...) {
        // Out of memory again while reporting: the job still ends as failed.
    }
}
