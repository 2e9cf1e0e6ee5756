// The extraction page's source loading: the loader's controls and what it
// decided made usable, the hand-off of archives and several sources to the
// batch, the track list's selection and the forced sector size fields.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "batch/batch_window.h"
#include "batch/handoff.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "engine/methods.h"
#include "engine/source_loader.h"
#include "engine/source_scan.h"
#include "platform/qt/controls_qt.h"
#include "platform/qt/text.h"

using platform::qt::fromQt;
using platform::qt::toQt;

int TExtractionPage::loadButton() {
    if (w_.JobRunning()) return 0;
    w_.methodIndex = w_.pageMode == 0 ? methodBox->currentIndex() : w_.videoCdPage->buildVCDMethod->currentIndex();
    if (w_.pageMode != 0) return w_.videoCdPage->LoadFromDialog();

    platform::qt::QtCheckBox zero(trackZeroBox);
    platform::qt::QtLabel message(TrackMsgLabel);
    platform::qt::QtEdit field(inputFileField);
    SourceLoad load;
    load.method = w_.methodIndex;
    load.unattended = w_.batchActive != 0;
    load.passive = PassiveBox->isChecked();
    load.batchTask = batchTask->isChecked();
    load.toast = toastCheckBox->isChecked();
    if (forceRead->isChecked()) {
        sectorReadFieldExit();
        load.forcedReadSize = w_.MainJob->forcedReadSize;
    }
    load.job = w_.MainJob.get();
    load.config = w_.MainConfig.get();
    load.openDialog = &w_.OpenDialog;
    load.saveDialog = &w_.SaveDialog;
    load.fileDialogs = w_.fileDialogs_;
    load.texts = w_.languageSet;
    load.stats = w_.stats.get();
    load.dialogs = &w_.JobDialogs();
    load.log = w_.handles_.log.get();
    load.trackListBox = w_.handles_.TrackListBox.get();
    load.startButton = w_.handles_.startButton.get();
    load.trackZeroBox = &zero;
    load.trackMsgLabel = &message;
    load.inputFileField = &field;
    load.trackLengths = &w_.imageTrackLengths;
    load.sourceChosen = [this] { w_.StartAfresh(true); };
    load.releaseScan = [this] { w_.FreeScanObjects(); };
    const SourceLoadOutcome out = LoadSource(load);

    // What the loader does not reach: which controls the window means to be
    // usable, and the fields of the other pages.
    if (out.cleared) {
        FailLoad();
    } else if (out.forBatch) {
        w_.SetUsable(startButton, false);
        w_.SetUsable(trackZeroBox, false);
    } else {
        if (out.namingUsable) w_.SetUsable(namingLabel2, true);
        if (out.startable) w_.SetUsable(startButton, true);
        if (out.trackZeroUsable) w_.SetUsable(trackZeroBox, true);
    }
    return out.result;
}

// A load that did not give a source: nothing of the previous one may start.
void TExtractionPage::FailLoad() {
    w_.SetUsable(startButton, false);
    w_.SetUsable(trackZeroBox, false);
    w_.ClearAllFileFields();
}

void TExtractionPage::loadButtonClick() {
    const int r = loadButton();
    // Passive mode holds batchActive but the user chose the files.
    if (r != 0 || w_.pageMode != 0 || (w_.batchActive && !PassiveBox->isChecked())) return;
    // Archives and several chosen files become batch tasks; a single
    // source needs nothing more.
    if (ExtractionMethod(w_.methodIndex).load == SourceForm::Archive)
        HandOffArchives();
    else if (LoadsSeveralSources(w_.methodIndex) && w_.OpenDialog.Files.size() > 1 &&
             w_.SaveDialog.Files.size() == w_.OpenDialog.Files.size())
        HandOffSources();
}

void TExtractionPage::HandOffArchives() {
    std::vector<std::string> archives = w_.OpenDialog.Files;
    if (archives.empty() && !w_.OpenDialog.FileName.empty()) archives = {w_.OpenDialog.FileName};
    if (archives.empty()) return;
    w_.openBatchListClick();
    TaskProject page = w_.TakeTaskProject();
    page.method = w_.methodIndex;
    TakeTasks(AddArchiveTasks(w_.BatchForm->list(), page, archives, sfvCheck->isChecked(), w_.TempProjectFolder()));
    w_.SaveDialog.FileName.clear();
    w_.SaveDialog.Files.clear();
    w_.SetUsable(namingLabel2, false);
    w_.OpenDialog.FileName = archives.front();
    inputFileField->setText(toQt(archives.front()));
}

void TExtractionPage::HandOffSources() {
    const std::vector<std::string> sources = w_.OpenDialog.Files, outputs = w_.SaveDialog.Files;
    w_.openBatchListClick();
    TakeTasks(AddSourceTasks(w_.BatchForm->list(), w_.TakeTaskProject(), sources, outputs, w_.TempProjectFolder()));
    // The page holds none of them: a later "-->" hands over nothing twice.
    w_.SaveDialog.FileName.clear();
    w_.SaveDialog.Files.clear();
    w_.OpenDialog.FileName = sources.front();
    inputFileField->setText(toQt(sources.front()));
}

void TExtractionPage::TakeTasks(const HandoffTasks& tasks) {
    for (const std::string& p : tasks.projects) w_.RegisterTempProject(p);
    for (const std::string& f : tasks.folders) w_.RegisterTempFolder(f);
    for (const std::string& name : tasks.refused) w_.Report(kMsgError, msg::error::kCannotCreate, name);
}

void TExtractionPage::TrackListBoxClick() {
    // The running job took its selection at the start; the end resyncs.
    if (!w_.trackTable || !w_.languageSet || w_.JobRunning() || w_.WorkerBusy()) return;
    ::TrackListBoxClick(*w_.handles_.TrackListBox, *w_.trackTable, *w_.MainConfig, *w_.languageSet);
    TrackMsgLabel->setText(toQt(w_.languageSet->core(w_.MainConfig->selectedTracksOnly ? 2 : 1)));
}

void TExtractionPage::trackZeroBoxClick() {
    if (!w_.trackTable || !w_.languageSet) return;
    FillTrackList(*w_.handles_.TrackListBox, *w_.trackTable, trackZeroBox->isChecked(), *w_.languageSet);
    TrackMsgLabel->setText(toQt(w_.languageSet->core(msg::core::kAllTracksSelected)));
    w_.MainConfig->selectedTracksOnly = 0;
    if (trackZeroBox->isChecked()) {
        // Track 0 holds no bumper to remove.
        if (bumperCheckBox->isEnabled()) bumperCheckBox->setEnabled(false);
    } else {
        // Usable again exactly where the method's options allow it.
        w_.GreyOptions();
    }
}

void TExtractionPage::sectorReadFieldExit() {
    sectorReadField->setText(toQt(SectorSizeFieldExit(fromQt(sectorReadField->text()), w_.MainJob->forcedReadSize)));
}

void TExtractionPage::sectorWriteFieldExit() {
    sectorWriteField->setText(
        toQt(SectorSizeFieldExit(fromQt(sectorWriteField->text()), w_.MainJob->forcedWriteSize)));
}
