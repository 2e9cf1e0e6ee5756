// The extraction page's source loading: the open and save dialogs of each
// method, the cue and toc readers, the directory scan of disc images, the
// track list and its selection, and the forced sector size fields.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/helpers.h"
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

int TForm1::loadButton() {
    if (JobRunning()) return 0;
    methodIndex = pageMode == 0 ? methodBox->currentIndex() : buildVCDMethod->currentIndex();
    if (pageMode != 0) return videoCdPage->LoadFromDialog();
    // Archives and several sources become batch tasks, which need the batch
    // window; until it exists they are not loaded.
    if (methodIndex == 0 || methodIndex == 1) return 12;

    if (!batchActive || PassiveBox->isChecked()) {
        OpenDialog.Title.clear();
        if (!MainConfig->DefaultLoadDir.empty()) OpenDialog.InitialDir = MainConfig->DefaultLoadDir;
        if (const char* filter = OpenFilter(methodIndex)) {
            OpenDialog.Filter = filter;
            OpenDialog.FilterIndex = 1;
        }
        OpenDialog.multiSelect = false;
    }

    bool firstCancelled = false;
    if (!batchTask->isChecked()) {
        bool chosen = false;
        if (!batchActive) {
            chosen = fileDialogs_->executeOpen(OpenDialog);
            firstCancelled = !chosen;
        }
        if (!chosen && PassiveBox->isChecked()) chosen = fileDialogs_->executeOpen(OpenDialog);
        if (!chosen && !batchActive) return 12;
        // Unattended with nothing held: nothing to load.
        if (!chosen && OpenDialog.FileName.empty()) return 12;
    }
    StartAfresh(true);

    if (!OpenDialog.FileName.empty()) MainConfig->DefaultLoadDir = ExtractFolder(OpenDialog.FileName);
    MainJob->discKind = 1;
    MainJob->pageMode = pageMode;

    const std::string source = OpenDialog.FileName;
    if (!batchActive) {
        SaveDialog.FileName = WithoutExtension(ExtractName(source));
        switch (methodIndex) {
        case 3:
        case 7:
        case 9:
            SaveDialog.Filter = "*.dat (vcd mpeg video)|*.dat";
            SaveDialog.DefaultExt = "dat";
            break;
        case 10:
            // Output and source would share the name.
            SaveDialog.FileName.clear();
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
                SaveDialog.Filter = "*.mpeg (vcd mpeg video)|*.mpeg";
                SaveDialog.DefaultExt = "mpeg";
            } else {
                SaveDialog.Filter = "*.mpg (vcd mpeg video)|*.mpg";
                SaveDialog.DefaultExt = "mpg";
            }
            break;
        default:
            SaveDialog.Filter = "*.raw (cd track image)|*.raw";
            SaveDialog.DefaultExt = "raw";
            break;
        }
        SaveDialog.FilterIndex = 1;
        SaveDialog.multiSelect = false;
    }
    // Without a remembered folder the output goes beside its source, not
    // into whatever folder the program was started from.
    if (!MainConfig->DefaultSaveDir.empty())
        SaveDialog.InitialDir = MainConfig->DefaultSaveDir;
    else if (!source.empty())
        SaveDialog.InitialDir = ExtractFolder(source);

    bool saved = true;
    if (!batchActive) saved = fileDialogs_->executeSave(SaveDialog);
    // Without an output the new source is not loaded, and the previous one
    // is gone from the dialogs: nothing may start.
    if (!saved) FailLoad();
    if (saved) {
        if (!SaveDialog.FileName.empty() && SaveDialog.FileName != "nul")
            MainConfig->DefaultSaveDir = ExtractFolder(SaveDialog.FileName);
        if (batchTask->isChecked()) {
            OpenDialog.FileName.clear();
            OpenDialog.Files.clear();
        }
        if (PassiveBox->isChecked())
            SaveDialog.FileName = "nul";
        else
            SetUsable(namingLabel2, true);
        inputFileField->setText(toQt(OpenDialog.FileName));
        MainJob->sourceName = OpenDialog.FileName;
        trackTable->lastIndex = -1;
        if (batchTask->isChecked()) return 0;

        switch (methodIndex) {
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
            FreeScanObjects();
            TrackListBox->clear();
            imageTrackLengths.clear();
            SetUsable(startButton, true);
            trackTable->firstTrack = 1;
            trackTable->lastTrack = 1;
            trackTable->lastIndex = 1;
            break;
        }
    }
    if (firstCancelled) return 12;
    StoreTrackSelection(pageMode, handles_.TrackListBox.get(), static_cast<int>(mpegList ? mpegList->entries.size() : 0), *trackTable,
                        *MainConfig);
    return 0;
}

// A load that did not give a source: nothing of the previous one may start.
void TForm1::FailLoad() {
    SetUsable(startButton, false);
    SetUsable(trackZeroBox, false);
    trackTable->Reset();
    imageTrackLengths.clear();
    TrackListBox->clear();
    ClearAllFileFields();
    FreeScanObjects();
}

bool TForm1::LoadCueOrToc(bool toc) {
    // From the dialog, not the field: the field's text is for showing.
    std::string path = OpenDialog.FileName;
    if (!toc) {
        path = SiblingWithExtension(path, "cue");
        inputFileField->setText(toQt(path));
    }
    // The readers report through a block of this window's controls; it
    // lives only as long as the reader.
    TJobControls controls;
    controls.logListBox = handles_.log.get();
    controls.stats = stats.get();
    controls.languageSet = languageSet->Snapshot();
    controls.dialogs = &JobDialogs();
    controls.fileDialogs = fileDialogs_;
    controls.openDialog = &OpenDialog;
    controls.batchFlag = &batchActive;

    auto parse = [&](auto& reader) {
        if (reader.Open(path) != 0) {
            // A sheet that cannot be read is no source.
            Reporter().report(kMsgError, 6, ExtractName(path));
            FailLoad();
            return false;
        }
        FreeScanObjects();
        imageTrackLengths.clear();
        if (reader.Parse() == 1) {
            FillTrackList(*handles_.TrackListBox, *trackTable, trackZeroBox->isChecked(), *languageSet);
            TrackMsgLabel->setText(toQt(languageSet->core(1)));
            SetUsable(startButton, true);
            SetUsable(trackZeroBox, true);
            return true;
        }
        FailLoad();
        // Unattended, a sheet that does not parse fails the load; with the
        // user present the parser's own message is the answer.
        return !batchActive;
    };
    if (toc) {
        TTocReader reader(MainJob.get(), MainConfig.get(), &controls);
        return parse(reader);
    }
    TCueReader reader(MainJob.get(), MainConfig.get(), &controls);
    return parse(reader);
}

int TForm1::LoadDiscImage(DiscImageKind kind) {
    imageTrackLengths.clear();
    const int r = ScanDiscImage(kind, OpenDialog.FileName, *MainJob, handles_.TrackListBox.get(),
                                handles_.startButton.get(), Reporter(), &imageTrackLengths);
    if (r != 0) {
        FailLoad();
        return r;
    }
    SetUsable(startButton, true);
    return 0;
}

void TForm1::loadButtonClick() {
    const int r = loadButton();
    if (r != 0 || pageMode != 0) return;
    // Archives and several chosen files become batch tasks with the batch
    // window; a single source needs nothing more.
}

void TForm1::TrackListBoxClick() {
    // The running job took its selection at the start; the end resyncs.
    if (!trackTable || !languageSet || JobRunning() || WorkerBusy()) return;
    ::TrackListBoxClick(*handles_.TrackListBox, *trackTable, *MainConfig, *languageSet);
    TrackMsgLabel->setText(toQt(languageSet->core(MainConfig->selectedTracksOnly ? 2 : 1)));
}

void TForm1::trackZeroBoxClick() {
    if (!trackTable || !languageSet) return;
    FillTrackList(*handles_.TrackListBox, *trackTable, trackZeroBox->isChecked(), *languageSet);
    TrackMsgLabel->setText(toQt(languageSet->core(1)));
    MainConfig->selectedTracksOnly = 0;
    if (trackZeroBox->isChecked()) {
        // Track 0 holds no bumper to remove.
        if (bumperCheckBox->isEnabled()) bumperCheckBox->setEnabled(false);
    } else {
        // Usable again exactly where the method's options allow it.
        GreyOptions();
    }
}

void TForm1::sectorReadFieldExit() {
    sectorReadField->setText(toQt(SectorSizeFieldExit(fromQt(sectorReadField->text()), MainJob->forcedReadSize)));
}

void TForm1::sectorWriteFieldExit() {
    sectorWriteField->setText(
        toQt(SectorSizeFieldExit(fromQt(sectorWriteField->text()), MainJob->forcedWriteSize)));
}
