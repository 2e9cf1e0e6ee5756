// The main window's ways into the options and about windows.
#include "app/about_window.h"
#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "app/main_window/main_window.h"
#include "batch/batch_window.h"
#include "settings/options_window.h"

void TForm1::ShowConfigurationForm(int tab) {
    // A job reads the options and the texts that the window and the reload
    // after it would change.
    if (JobRunning() || taskRunning_) return;
    SaveSettings();
    HidePopupLists();
    bool takeLanguage = false;
    TLanguageSet chosen;
    {
        TForm2::Services s;
        s.registry = registry_.get();
        s.dialogs = dialogs_;
        s.fileDialogs = fileDialogs_;
        s.languageSet = languageSet.get();
        s.stats = stats.get();
        s.logList = handles_.log.get();
        s.exeDir = exeDir;
        TForm2 form(this, std::move(s), tab);
        form.exec();
        takeLanguage = form.languageAccepted();
        if (takeLanguage) chosen = form.TakeLanguage();
    }
    // After an Uninstall nothing saves the settings again until the user
    // chooses them in a later options window.
    skipSaveSettings = registry_->latched() ? 1 : 0;
    // The chosen language comes in one swap, so nothing ever reads a half-made set.
    if (takeLanguage) std::swap(*languageSet, chosen);
    LoadSettings(0);
    ApplyLanguageCaptions();
    ApplyLanguageHints();
    if (BatchForm) BatchForm->ApplyLanguage();
}

void TForm1::aboutButtonClick() {
    HidePopupLists();
    TForm5 about(this, *shell_, exeDir);
    about.exec();
}
