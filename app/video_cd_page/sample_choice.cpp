// The video-cd page's sample clip choice: "Yes" copies the build list into
// the window's own clip editor and shows it; the choice stays "Yes" only
// while the editor holds a marked clip of the list.
#include <QDialog>
#include <QRadioButton>

#include "app/main_window/main_window.h"
#include "app/video_cd_page/video_cd_page.h"
#include "tools/sample_clip_window.h"

void TVideoCdPage::yesSampleClick() {
    if (!yesSample->isChecked()) return;
    TSampleCreateForm& editor = w_.OwnSampleEditor();
    editor.OpenTrackList(*rows_, *list_, w_.MainJob->discKind);
    // A task being loaded or run only takes the list; its clip is replayed.
    if (w_.batchActive) return;
    if (editor.exec() != QDialog::Accepted) AfterEditorCancel(editor);
}

void TVideoCdPage::noSampleClick() {
    if (yesSample->isChecked() == noSample->isChecked()) yesSample->setChecked(!noSample->isChecked());
}

void TVideoCdPage::OpenSampleButtonClick() {
    TSampleCreateForm& editor = w_.OwnSampleEditor();
    if (editor.exec() != QDialog::Accepted && yesSample->isChecked()) AfterEditorCancel(editor);
}

void TVideoCdPage::AfterEditorCancel(TSampleCreateForm& editor) {
    const int rows = rows_->RowCount();
    if (rows == 0 || rows != int(editor.model().grid.size()) - 1) {
        editor.ResetEditor();
        noSample->setChecked(true);
    } else if (!editor.model().clipSet) {
        noSample->setChecked(true);
    }
}

std::optional<TSampleClipDescription> TVideoCdPage::SampleClip() {
    if (!MpegMethod() || !yesSample->isChecked() || !w_.HasOwnSampleEditor()) return std::nullopt;
    const TSampleClipEditor& model = w_.OwnSampleEditor().model();
    if (!model.clipSet || !model.SourceOpen()) return std::nullopt;
    return model.Description();
}

bool TVideoCdPage::TakeSampleState(TSampleClipState& state, std::string& name) {
    if (!w_.HasOwnSampleEditor()) return false;
    const TSampleClipEditor& model = w_.OwnSampleEditor().model();
    if (!model.clipSet || !model.SaveClipState(state)) return false;
    name = model.filenameText;
    return true;
}

bool TVideoCdPage::ReplaySample(const TSampleClipState& state, const std::string& name) {
    if (!yesSample->isChecked() || rows_->RowCount() == 0) return false;
    TSampleCreateForm& editor = w_.OwnSampleEditor();
    editor.OpenTrackList(*rows_, *list_, w_.MainJob->discKind);
    TSampleClipEditor& model = editor.model();
    if (!model.RestoreClipState(state)) {
        editor.ResetEditor();
        return false;
    }
    // Opening the list named the clip after its source; the project's own
    // name comes after, or it would never be used.
    if (!name.empty()) model.SetFilenameText(name);
    model.clipSet = 1;
    return true;
}
