// The video-cd page's sample clip choice: "Yes" copies the build list into
// the window's own clip editor and shows it; the choice stays "Yes" only
// while the editor holds a marked clip of the list.
#include <QDialog>
#include <QRadioButton>
#include <algorithm>

#include "core/constants.h"

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
    // The editor counts rows of the list as it was copied; rows may have
    // moved since. The project stores the list in its order now, so the
    // clip names the row its file is at now.
    const std::string source = model.Description().sourcePath;
    const size_t rows = std::min<size_t>(size_t(std::max(rows_->RowCount(), 0)), list_->entries.size());
    int at = 0;
    for (size_t i = 0; i < rows && at == 0; ++i)
        if (list_->entries[i].name == source) at = int(i) + 1;
    if (at == 0) return false;
    state.row = at;
    name = model.filenameText;
    return true;
}

void TVideoCdPage::FollowClip() {
    if (!w_.HasOwnSampleEditor()) return;
    TSampleCreateForm& editor = w_.OwnSampleEditor();
    TSampleClipEditor& model = editor.model();
    if (!model.HasRows()) return;
    if (!model.clipSet) {
        // Nothing marked: only the copy of the list is brought up to date.
        if (rows_->RowCount() > 0) editor.OpenTrackList(*rows_, *list_, w_.MainJob->discKind);
        return;
    }
    TSampleClipState state{};
    std::string name;
    bool kept = TakeSampleState(state, name);
    if (kept) {
        editor.OpenTrackList(*rows_, *list_, w_.MainJob->discKind);
        kept = model.RestoreClipState(state);
    }
    if (!kept) {
        // Its file is no longer listed: the clip goes with it.
        editor.ResetEditor();
        noSample->setChecked(true);
        return;
    }
    if (!name.empty()) model.SetFilenameText(name);
    model.clipSet = 1;
}

namespace {

// The clip's row counts the rows of the list as it was saved. Files that
// could not be added again take their rows away: the row is found again
// through the saved names (a file left out is taken to have filled one
// row). 0 when the clip's own file is not in the list.
int RowInLoadedList(int row, const std::vector<std::string>& savedNames, const TMpegFileList& list) {
    const std::vector<TMpegFileInfo>& entries = list.entries;
    int before = 0;  // rows of the saved list before this name
    size_t at = 0;   // entries of the loaded list passed
    for (const std::string& name : savedNames) {
        const size_t first = at;
        while (at < entries.size() && entries[at].name == name && (at == first || entries[at].firstPiece == 1)) ++at;
        const int rows = at > first ? int(at - first) : 1;
        if (row <= before + rows) return at > first ? int(first) + (row - before) : 0;
        before += rows;
    }
    return row;
}

}  // namespace

bool TVideoCdPage::ReplaySample(const TSampleClipState& saved, const std::string& name,
                                const std::vector<std::string>& savedNames) {
    if (!yesSample->isChecked()) return false;
    TSampleClipState state = saved;
    if (state.row >= 1 && MpegMethod()) state.row = RowInLoadedList(state.row, savedNames, *list_);
    TSampleCreateForm& editor = w_.OwnSampleEditor();
    TSampleClipEditor& model = editor.model();
    bool replayed = rows_->RowCount() > 0;
    if (replayed) {
        editor.OpenTrackList(*rows_, *list_, w_.MainJob->discKind);
        replayed = model.RestoreClipState(state);
    }
    if (!replayed) {
        // "Yes" is never left without a clip: the build would quietly add none.
        editor.ResetEditor();
        noSample->setChecked(true);
        ClipWarning(name);
        return false;
    }
    // Opening the list named the clip after its source; the project's own
    // name comes after, or it would never be used.
    if (!name.empty()) model.SetFilenameText(name);
    model.clipSet = 1;
    return true;
}

void TVideoCdPage::ClipWarning(const std::string& name) {
    const TConfig* c = w_.MainConfig.get();
    if (!(c && c->DisableAudioWarningBell)) w_.dialogs().beep();
    if (platform::ListBox* log = w_.handles_.log.get()) {
        log->add("");
        log->add(name.empty() ? std::string(kProgramCaption) : name);
        log->add(std::string(kLogIndent) + "The sample clip cannot be replayed on this build list: no sample clip is added.");
        log->add("");
    }
    if (w_.stats) {
        ++w_.stats->warnings;
        w_.stats->Show(w_.languageSet.get());
    }
}
