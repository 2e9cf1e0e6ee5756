#include "core/records.h"

#include "core/language_set.h"
#include "core/result_codes.h"

void TStats::Show() { Show(languageSet); }

void TStats::Show(const TLanguageSet* texts) {
    if (!job) return;
    platform::Label* label = nullptr;
    if (job->pageMode == 0)
        label = totalErrWarnings;
    else if (job->pageMode == 1)
        label = totalErrWarnings2;
    if (!label) return;

    std::string warningsWord, errorsWord;
    if (texts) {
        warningsWord = texts->component(msg::component::kWarnings);
        errorsWord = texts->component(msg::component::kErrors);
    }
    label->setVisible(true);
    label->setCaption(std::to_string(warnings.load()) + " " + warningsWord + " / " + std::to_string(errors.load()) +
                      " " + errorsWord);
}
