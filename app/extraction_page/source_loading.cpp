// The extraction page's source loading: the open and save w_.dialogs of each
// method, the cue and toc readers, the directory scan of disc images, the
// track list and its selection, and the forced sector size fields.
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
#include "core/helpers.h"
#include "core/message_reporter.h"
#include "core/path_lookup.h"
#include "disc/cue_reader.h"
#include "disc/toc_reader.h"
#include "engine/source_scan.h"
#include "platform/qt/text.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

// Filters of the open dialog by extraction method (nullptr: none).
const char* OpenFilter(int method) {
    switch (method) {
    case 0:
    case 1: return "*.rar (RAR compressed)|*.rar|*.r00/r01...(RAR compressed)|*.r??|All files|*.*";
    case 2:
    case 3: return "*.cue (index file)|*.cue|All files|*.*";
    case 4: return "*.bin (cd image)|*.bin|All files|*.*";
    case 5: return "*.toc (index file)|*.toc|All files|*.*";
    case 6:
    case 7: return "*.raw (cd track image)|*.raw|All files|*.*";
    case 8: return "*.dat (vcd mpeg video)|*.dat|All files|*.*";
    case 9:
    case 10: return "*.mpg (vcd mpeg video)|*.mpg;*.mpeg|All files|*.*";
    case 11: return "*.cif (cd disc image)|*.cif|All files|*.*";
    case 12: return "*.nrg (track image)|*.nrg|All files|*.*";
    case 13: return "*.sfd (@Dreamcast)|*.sfd|All files|*.*";
    default: return nullptr;
    }
}

}  // namespace

int TExtractionPage::loadButton() {
    if (w_.JobRunning()) return 0;
    w_.methodIndex = w_.pageMode == 0 ? methodBox->currentIndex() : w_.videoCdPage->buildVCDMethod->currentIndex();
    if (w_.pageMode != 0) return w_.videoCdPage->LoadFromDialog();
    // Archives become batch tasks (loadButtonClick); unattended there is
    // nobody to choose them.
    const bool archive = w_.methodIndex == 0 || w_.methodIndex == 1;
    if (archive && w_.batchActive) return 12;

    if (!w_.batchActive || PassiveBox->isChecked()) {
        w_.OpenDialog.Title.clear();
        if (!w_.MainConfig->DefaultLoadDir.empty()) w_.OpenDialog.InitialDir = w_.MainConfig->DefaultLoadDir;
        if (const char* filter = OpenFilter(w_.methodIndex)) {
            w_.OpenDialog.Filter = filter;
            w_.OpenDialog.FilterIndex = 1;
        }
        // Several sources at once become one batch task each.
        w_.OpenDialog.multiSelect = w_.methodIndex != 10;
    }

    bool firstCancelled = false;
    if (!batchTask->isChecked()) {
        bool chosen = false;
        if (!w_.batchActive) {
            chosen = w_.fileDialogs_->executeOpen(w_.OpenDialog);
            firstCancelled = !chosen;
        }
        if (!chosen && PassiveBox->isChecked()) chosen = w_.fileDialogs_->executeOpen(w_.OpenDialog);
        if (!chosen && !w_.batchActive) return 12;
        // Unattended with nothing held: nothing to load.
        if (!chosen && w_.OpenDialog.FileName.empty()) return 12;
    }
    w_.StartAfresh(true);

    if (!w_.OpenDialog.FileName.empty()) w_.MainConfig->DefaultLoadDir = ExtractFolder(w_.OpenDialog.FileName);
    w_.MainJob->discKind = 1;
    w_.MainJob->pageMode = w_.pageMode;

    const std::string source = w_.OpenDialog.FileName;
    if (!w_.batchActive && !batchTask->isChecked()) {
        // Archives and several sources are handed to the batch by
        // loadButtonClick; the page loads none of them.
        if (archive) {
            ClearLoadedSource();
            return 0;
        }
        if (w_.OpenDialog.Files.size() > 1 && LoadsSeveralSources(w_.methodIndex)) {
            std::string folder = w_.MainConfig->DefaultSaveDir.empty() ? "." : w_.MainConfig->DefaultSaveDir;
            if (!w_.fileDialogs_->selectDirectory("Select directory to save output files to:", folder)) return 12;
            w_.SaveDialog.Files = OutputNamesForSources(w_.OpenDialog.Files, folder, w_.methodIndex);
            w_.MainConfig->DefaultSaveDir = folder;
            ClearLoadedSource();
            inputFileField->setText(toQt(source));
            w_.trackTable->lastIndex = -1;
            return 0;
        }
    }
    if (!w_.batchActive) {
        w_.SaveDialog.FileName = WithoutExtension(ExtractName(source));
        switch (w_.methodIndex) {
        case 3:
        case 7:
        case 9:
            w_.SaveDialog.Filter = "*.dat (vcd mpeg video)|*.dat";
            w_.SaveDialog.DefaultExt = "dat";
            break;
        case 10:
            // Output and source would share the name.
            w_.SaveDialog.FileName.clear();
            [[fallthrough]];
        case 2:
        case 4:
        case 5:
        case 6:
        case 8:
        case 11:
        case 12:
        case 13:
            if (toastCheckBox->isChecked()) {
                w_.SaveDialog.Filter = "*.mpeg (vcd mpeg video)|*.mpeg";
                w_.SaveDialog.DefaultExt = "mpeg";
            } else {
                w_.SaveDialog.Filter = "*.mpg (vcd mpeg video)|*.mpg";
                w_.SaveDialog.DefaultExt = "mpg";
            }
            break;
        default:
            w_.SaveDialog.Filter = "*.raw (cd track image)|*.raw";
            w_.SaveDialog.DefaultExt = "raw";
            break;
        }
        w_.SaveDialog.FilterIndex = 1;
        w_.SaveDialog.multiSelect = false;
    }
    // Without a remembered folder the output goes beside its source, not
    // into whatever folder the program was started from.
    if (!w_.MainConfig->DefaultSaveDir.empty())
        w_.SaveDialog.InitialDir = w_.MainConfig->DefaultSaveDir;
    else if (!source.empty())
        w_.SaveDialog.InitialDir = ExtractFolder(source);

    bool saved = true;
    if (!w_.batchActive) saved = w_.fileDialogs_->executeSave(w_.SaveDialog);
    // Without an output the new source is not loaded, and the previous one
    // is gone from the w_.dialogs: nothing may start.
    if (!saved) FailLoad();
    if (saved) {
        if (!w_.SaveDialog.FileName.empty() && w_.SaveDialog.FileName != "nul")
            w_.MainConfig->DefaultSaveDir = ExtractFolder(w_.SaveDialog.FileName);
        if (batchTask->isChecked()) {
            w_.OpenDialog.FileName.clear();
            w_.OpenDialog.Files.clear();
        }
        if (PassiveBox->isChecked())
            w_.SaveDialog.FileName = "nul";
        else
            w_.SetUsable(namingLabel2, true);
        inputFileField->setText(toQt(w_.OpenDialog.FileName));
        w_.MainJob->sourceName = w_.OpenDialog.FileName;
        w_.trackTable->lastIndex = -1;
        if (batchTask->isChecked()) return 0;

        switch (w_.methodIndex) {
        case 2:
        case 3:
            if (!LoadCueOrToc(false)) return 4;
            break;
        case 5:
            if (!LoadCueOrToc(true)) return 4;
            break;
        case 4:
            if (const int r = LoadDiscImage(DiscImageKind::Bin); r != 0) return r;
            break;
        case 11:
            if (const int r = LoadDiscImage(DiscImageKind::Cif); r != 0) return r;
            break;
        case 12:
            if (const int r = LoadDiscImage(DiscImageKind::Nrg); r != 0) return r;
            break;
        default:
            // One stream, one track.
            w_.FreeScanObjects();
            TrackListBox->clear();
            w_.imageTrackLengths.clear();
            w_.SetUsable(startButton, true);
            w_.trackTable->firstTrack = 1;
            w_.trackTable->lastTrack = 1;
            w_.trackTable->lastIndex = 1;
            break;
        }
    }
    if (firstCancelled) return 12;
    StoreTrackSelection(w_.pageMode, w_.handles_.TrackListBox.get(), static_cast<int>(w_.mpegList ? w_.mpegList->entries.size() : 0), *w_.trackTable,
                        *w_.MainConfig);
    return 0;
}

// A load that did not give a source: nothing of the previous one may start.
void TExtractionPage::FailLoad() {
    w_.SetUsable(startButton, false);
    w_.SetUsable(trackZeroBox, false);
    w_.trackTable->Reset();
    w_.imageTrackLengths.clear();
    TrackListBox->clear();
    w_.ClearAllFileFields();
    w_.FreeScanObjects();
}

bool TExtractionPage::LoadCueOrToc(bool toc) {
    // From the dialog, not the field: the field's text is for showing.
    std::string path = w_.OpenDialog.FileName;
    if (!toc) {
        path = SiblingWithExtension(path, "cue");
        inputFileField->setText(toQt(path));
    }
    // The readers report through a block of this window's controls; it
    // lives only as long as the reader.
    TJobControls controls;
    controls.logListBox = w_.handles_.log.get();
    controls.stats = w_.stats.get();
    controls.languageSet = w_.languageSet->Snapshot();
    controls.dialogs = &w_.JobDialogs();
    controls.fileDialogs = w_.fileDialogs_;
    controls.openDialog = &w_.OpenDialog;
    controls.batchFlag = &w_.batchActive;

    auto parse = [&](auto& reader) {
        if (reader.Open(path) != 0) {
            // A sheet that cannot be read is no source.
            w_.Reporter().report(kMsgError, 6, ExtractName(path));
            FailLoad();
            return false;
        }
        w_.FreeScanObjects();
        w_.imageTrackLengths.clear();
        if (reader.Parse() == 1) {
            FillTrackList(*w_.handles_.TrackListBox, *w_.trackTable, trackZeroBox->isChecked(), *w_.languageSet);
            TrackMsgLabel->setText(toQt(w_.languageSet->core(1)));
            w_.SetUsable(startButton, true);
            w_.SetUsable(trackZeroBox, true);
            return true;
        }
        FailLoad();
        // Unattended, a sheet that does not parse fails the load; with the
        // user present the parser's own message is the answer.
        return !w_.batchActive;
    };
    if (toc) {
        TTocReader reader(w_.MainJob.get(), w_.MainConfig.get(), &controls);
        return parse(reader);
    }
    TCueReader reader(w_.MainJob.get(), w_.MainConfig.get(), &controls);
    return parse(reader);
}

int TExtractionPage::LoadDiscImage(DiscImageKind kind) {
    w_.imageTrackLengths.clear();
    const int r = ScanDiscImage(kind, w_.OpenDialog.FileName, *w_.MainJob, w_.handles_.TrackListBox.get(),
                                w_.handles_.startButton.get(), w_.Reporter(), &w_.imageTrackLengths);
    if (r != 0) {
        FailLoad();
        return r;
    }
    w_.SetUsable(startButton, true);
    return 0;
}

void TExtractionPage::loadButtonClick() {
    const int r = loadButton();
    if (r != 0 || w_.pageMode != 0 || w_.batchActive) return;
    // Archives and several chosen files become batch tasks; a single
    // source needs nothing more.
    if (w_.methodIndex == 0 || w_.methodIndex == 1)
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
    TakeTasks(AddArchiveTasks(w_.BatchForm->list(), page, archives, sfvCheck->isChecked(), w_.TempFolder()));
    w_.SaveDialog.FileName.clear();
    w_.SaveDialog.Files.clear();
    w_.SetUsable(namingLabel2, false);
    w_.OpenDialog.FileName = archives.front();
    inputFileField->setText(toQt(archives.front()));
}

void TExtractionPage::HandOffSources() {
    const std::vector<std::string> sources = w_.OpenDialog.Files, outputs = w_.SaveDialog.Files;
    w_.openBatchListClick();
    TakeTasks(AddSourceTasks(w_.BatchForm->list(), w_.TakeTaskProject(), sources, outputs, w_.TempFolder()));
    // The page holds none of them: a later "-->" hands over nothing twice.
    w_.SaveDialog.FileName.clear();
    w_.SaveDialog.Files.clear();
    w_.OpenDialog.FileName = sources.front();
    inputFileField->setText(toQt(sources.front()));
}

void TExtractionPage::TakeTasks(const HandoffTasks& tasks) {
    for (const std::string& p : tasks.projects) w_.RegisterTempProject(p);
    for (const std::string& f : tasks.folders) w_.RegisterTempFolder(f);
    for (const std::string& name : tasks.refused) w_.Report(kMsgError, 9, name);
}

// After a hand-off the page has no source loaded: nothing of an earlier one
// may start under the new names.
void TExtractionPage::ClearLoadedSource() {
    TrackListBox->clear();
    w_.trackTable->Reset();
    w_.imageTrackLengths.clear();
    w_.MainConfig->selectedTracksOnly = 0;
    w_.SetUsable(startButton, false);
    w_.SetUsable(trackZeroBox, false);
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
    TrackMsgLabel->setText(toQt(w_.languageSet->core(1)));
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
