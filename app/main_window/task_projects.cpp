// Task projects: the page's state taken into a project record and written,
// and a project read, checked whole, and applied to a freshly reset page.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "core/helpers.h"
#include "core/path_lookup.h"
#include "core/result_codes.h"
#include "engine/task_project.h"
#include "platform/qt/text.h"

using platform::qt::fromQt;
using platform::qt::toQt;

namespace {

constexpr const char* kProjectFilter = "*.ktp (pellmor project)|*.ktp|All files|*.*";

// Puts a dialog's state back however the function that borrowed it ends.
class DialogStateGuard {
public:
    explicit DialogStateGuard(platform::FileDialogState& state) : state_(state), kept_(state) {}
    ~DialogStateGuard() { state_ = kept_; }
    DialogStateGuard(const DialogStateGuard&) = delete;
    DialogStateGuard& operator=(const DialogStateGuard&) = delete;

private:
    platform::FileDialogState& state_;
    platform::FileDialogState kept_;
};

}  // namespace

TaskProject TForm1::TakeTaskProject() {
    TaskProject p;
    p.pageMode = pageMode;
    if (pageMode == 0) {
        p.method = extractionPage->methodBox->currentIndex();
        QCheckBox* const boxes[8] = {extractionPage->fixErrorCheckBox, extractionPage->bumperCheckBox, extractionPage->forceRead, extractionPage->forceWrite,
                                     extractionPage->trackZeroBox,     extractionPage->sfvCheck,       extractionPage->toastCheckBox, extractionPage->subCheckBox};
        for (size_t i = 0; i < 8; ++i) p.options[i] = boxes[i]->isChecked() ? 1 : 0;
        // What the fields show once their exit handlers made whole numbers
        // of them.
        extractionPage->sectorReadFieldExit();
        extractionPage->sectorWriteFieldExit();
        p.forcedReadSize = MainJob->forcedReadSize;
        p.forcedWriteSize = MainJob->forcedWriteSize;
        p.selectionActive = MainConfig->selectedTracksOnly != 0;
        if (p.selectionActive) {
            const int rows = std::min<int>(extractionPage->TrackListBox->count(), static_cast<int>(kTaskProjectRows));
            for (int r = 0; r < rows; ++r)
                p.selectedRows[static_cast<size_t>(r)] = extractionPage->TrackListBox->item(r)->isSelected() ? 1 : 0;
        }
        if (!extractionPage->batchTask->isChecked()) p.inputs.push_back(OpenDialog.FileName);
    } else {
        p.method = videoCdPage->buildVCDMethod->currentIndex();
        p.options[kOptFixErrors] = videoCdPage->imgNone->isChecked() ? 0 : videoCdPage->img74->isChecked() ? 1 : 2;
        // "Yes" only with the clip itself (below).
        p.options[kOptBumper] = 0;
        // The list's files in its order; a cif or nrg build names its image.
        if (BuildListRows() > 0)
            p.inputs = TBuildListEditor::FileOrder(*mpegList);
        else if (!OpenDialog.FileName.empty())
            p.inputs.push_back(OpenDialog.FileName);
    }
    p.volumeName = fromQt(videoCdPage->volName->text());
    // The editor's marked clip first refreshes the window's copy.
    TSampleClipState clip;
    if (videoCdPage->TakeSampleState(clip, sampleClipName)) {
        clip.Store(sampleClipBytes.data());
        if (pageMode == 1 && videoCdPage->yesSample->isChecked()) p.options[kOptBumper] = 1;
    }
    p.sampleClip = sampleClipBytes;
    p.sampleClipName = sampleClipName;
    p.outputName = SaveDialog.FileName;
    return p;
}

int TForm1::WriteTaskProject(const std::string& path) {
    if ((pageMode != 0 && pageMode != 1) || SaveDialog.FileName.empty()) return result::kFailed;
    // Whatever happens below, the next job writes to the page's output,
    // never to the project.
    DialogStateGuard keep(SaveDialog);
    std::string bytes;
    if (!EncodeTaskProject(TakeTaskProject(), bytes)) {
        Report(kMsgError, msg::error::kCannotCreate, path.empty() ? SaveDialog.FileName : path);
        return result::kFailed;
    }
    std::string target = path;
    if (target.empty()) {
        SaveDialog.FileName.clear();
        SaveDialog.Files.clear();
        SaveDialog.Filter = kProjectFilter;
        SaveDialog.FilterIndex = 1;
        SaveDialog.DefaultExt = "ktp";
        SaveDialog.multiSelect = false;
        if (!fileDialogs_->executeSave(SaveDialog)) return 0;
        target = SaveDialog.FileName;
    }
    if (WriteTaskProjectFile(target, bytes) != 0) {
        Report(kMsgError, msg::error::kCannotCreate, target);
        return result::kFailed;
    }
    return 0;
}

int TForm1::ReadTaskProject(const std::string& path, TaskProject* read) {
    if (JobRunning()) return result::kFailed;
    TaskProject p;
    if (const int r = ReadTaskProjectFile(path, p); r != 0) {
        Report(kMsgError, r, ExtractName(path));
        return result::kFailed;
    }
    if (read) *read = p;

    // One question for whatever the window holds, before anything changes.
    const uint8_t wasActive = batchActive;
    const bool wasPassive = extractionPage->PassiveBox->isChecked();
    const bool holds = extractionPage->TrackListBox->count() > 0 || !extractionPage->inputFileField->text().isEmpty() ||
                       !OpenDialog.FileName.empty() || BuildListRows() > 0;
    if (holds && !wasActive && Report(kMsgQuestion, msg::query::kLoseTrackEntries, "") != platform::kYes)
        return result::kFailed;
    struct Unattended {
        TForm1& w;
        uint8_t wasActive;
        bool wasPassive;
        ~Unattended() {
            // A page switch that unticked the passive box ended its hold.
            w.batchActive = wasActive && !(wasPassive && !w.extractionPage->PassiveBox->isChecked()) ? 1 : 0;
        }
    } unattended{*this, wasActive, wasPassive};
    batchActive = 1;
    ResetPage(0);
    ResetPage(1);

    const std::string folder = ExtractFolder(path);
    const auto resolve = [&](const std::string& name) {
        const std::string found = name.empty() ? std::string() : ResolveNamedFile(folder, name);
        return found.empty() ? name : found;
    };

    if (p.pageMode == 0) {
        extractionPage->methodBox->setCurrentIndex(p.method);
        pellmorButtonClick();
        batchActive = 1;
        QCheckBox* const boxes[8] = {extractionPage->fixErrorCheckBox, extractionPage->bumperCheckBox, extractionPage->forceRead, extractionPage->forceWrite,
                                     extractionPage->trackZeroBox,     extractionPage->sfvCheck,       extractionPage->toastCheckBox, extractionPage->subCheckBox};
        for (size_t i = 0; i < 8; ++i) boxes[i]->setChecked(p.options[i] != 0);
        extractionPage->sectorReadField->setText(QString::number(p.forcedReadSize));
        extractionPage->sectorWriteField->setText(QString::number(p.forcedWriteSize));
        extractionPage->sectorReadFieldExit();
        extractionPage->sectorWriteFieldExit();
        MainConfig->selectedTracksOnly = p.selectionActive ? 1 : 0;
    } else {
        videoCdPage->buildVCDMethod->setCurrentIndex(p.method);
        buildVCDButtonClick();
        batchActive = 1;
        (p.options[kOptFixErrors] == 0 ? videoCdPage->imgNone : p.options[kOptFixErrors] == 1 ? videoCdPage->img74 : videoCdPage->img80)->setChecked(true);
        (p.options[kOptBumper] ? videoCdPage->yesSample : videoCdPage->noSample)->setChecked(true);
        MainConfig->selectedTracksOnly = 0;
    }
    videoCdPage->volName->setText(toQt(p.volumeName));
    // Replayed in the clip editor once the list is loaded.
    sampleClipBytes = p.sampleClip;
    sampleClipName = p.sampleClipName;

    // The dialogs' names are replaced, never added to.
    SaveDialog.FileName = p.outputName;
    SaveDialog.Files = {p.outputName};
    (p.pageMode == 0 ? extractionPage->inputFileField : videoCdPage->saveFileField)->setText(toQt(p.outputName));
    OpenDialog.Files.clear();
    for (const std::string& name : p.inputs) OpenDialog.Files.push_back(resolve(name));
    OpenDialog.FileName = OpenDialog.Files.empty() ? std::string() : OpenDialog.Files.front();

    int loaded = 0;
    if (p.pageMode == 0) {
        // A project without its input takes the previous task's output; it
        // loads no source of its own.
        extractionPage->batchTask->setChecked(p.inputs.empty());
        loaded = extractionPage->loadButton();
        if (loaded == 0) ApplyTrackSelection(p);
    } else {
        // Unattended: the page takes the names the open dialog holds.
        loaded = OpenDialog.Files.empty() ? 0 : videoCdPage->LoadFromDialog();
        // Also after a refused file: the clip may still fit what was added,
        // and "Yes" must not stay without it.
        videoCdPage->ReplaySample(TSampleClipState::Load(sampleClipBytes.data()), sampleClipName, OpenDialog.Files);
    }
    return loaded == 0 ? result::kOk : result::kFailed;
}

void TForm1::ApplyTrackSelection(const TaskProject& p) {
    if (p.pageMode != 0 || !p.selectionActive) return;
    QListWidget* list = extractionPage->TrackListBox;
    const int rows = std::min<int>(list->count(), static_cast<int>(kTaskProjectRows));
    for (int r = 0; r < rows; ++r) list->item(r)->setSelected(p.selectedRows[static_cast<size_t>(r)] != 0);
    extractionPage->TrackListBoxClick();
}

void TForm1::loadTaskClick() {
    platform::FileDialogState dialog;
    dialog.Filter = kProjectFilter;
    dialog.DefaultExt = "ktp";
    if (!fileDialogs_->executeOpen(dialog)) return;
    ReadTaskProject(dialog.FileName);
}

void TForm1::saveTaskClick() { WriteTaskProject(""); }
