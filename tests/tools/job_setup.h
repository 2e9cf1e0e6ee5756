// What run_job and the tests share to drive one job as the main window does:
// the controls block wired to a set of handles, the handles themselves, and
// the source loading (cue or toc reader, directory scan, or a single stream).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "disc/cue_reader.h"
#include "disc/toc_reader.h"
#include "disc/track_table.h"
#include "engine/source_scan.h"
#include "engine/write_thread.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

namespace jobsetup {

// The handles a job's controls block points at; the caller owns them.
struct Handles {
    platform::Label* status = nullptr;
    platform::Label* eta = nullptr;
    platform::Label* completed = nullptr;
    platform::Label* title = nullptr;
    platform::ProgressBar* progress = nullptr;
    platform::ListBox* log = nullptr;
    platform::Button* startButton = nullptr;
    std::shared_ptr<TLanguageSet> texts;
    std::atomic<uint8_t>* batchFlag = nullptr;
    platform::FileDialogState* openDialog = nullptr;
    platform::FileDialogState* saveDialog = nullptr;
    TRunState* runState = nullptr;
    platform::Dialogs* dialogs = nullptr;
    platform::FileDialogs* fileDialogs = nullptr;
    TStats* stats = nullptr;

    // Points a controls block at these handles; the ones left null stay null.
    void Wire(TJobControls& c) const {
        c.statusLabel = status;
        c.etaLabel = eta;
        c.progressBar = progress;
        c.completedLabel = completed;
        c.logListBox = log;
        c.startButton = startButton;
        c.languageSet = texts;
        c.batchFlag = batchFlag;
        c.openDialog = openDialog;
        c.saveDialog = saveDialog;
        c.runState = runState;
        c.dialogs = dialogs;
        c.fileDialogs = fileDialogs;
        c.stats = stats;
        c.titleLabel = title;
    }

    // A new block, as the start button makes one (the worker frees it).
    TJobControls* MakeControls() const {
        auto* c = new TJobControls();
        Wire(*c);
        return c;
    }
};

// A job and the window's side of it, owned together: every handle its
// controls block and its start point at, of the stand-in types the caller
// picks (recording ones for tests, printing ones for run_job).
template <class LogBoxT, class LabelT, class BarT, class ButtonT, class BoxesT>
struct Rig {
    // The arguments go to the dialogs stand-in (its scripted answer).
    template <class... BoxArgs>
    explicit Rig(BoxArgs&&... args) : dialogs(std::forward<BoxArgs>(args)...) {
        job.trackTable = new TTrackTable();
        stats.languageSet = texts.get();
    }

    Handles handles() {
        Handles h;
        h.status = &status;
        h.eta = &eta;
        h.completed = &completed;
        h.title = &title;
        h.progress = &progress;
        h.log = &log;
        h.startButton = &startButton;
        h.texts = texts;
        h.batchFlag = &batchActive;
        h.openDialog = &openDialog;
        h.saveDialog = &saveDialog;
        h.runState = &runState;
        h.dialogs = &dialogs;
        h.stats = &stats;
        return h;
    }

    // The handles a start carries besides the controls block.
    void Wire(TJobStart& start) {
        start.fixLabel = &fixLabel;
        start.splitLabel = &splitLabel;
        start.paddingLabel = &paddingLabel;
        start.statusIndicator = &indicator;
        start.previewButton = &previewButton;
        start.generatedFiles = &generated;
    }

    TJob job;
    std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    LogBoxT log;
    LabelT status, eta, completed, title, fixLabel, splitLabel, paddingLabel, indicator;
    BarT progress;
    ButtonT startButton, previewButton;
    BoxesT dialogs;
    TRunState runState;
    TStats stats{&job};
    std::atomic<uint8_t> batchActive{0};
    platform::FileDialogState openDialog, saveDialog;
    std::string generated;
};

// Loads the source of an extraction method as the main window does: the
// track table from the cue (beside a bin, or the cue itself) or toc sheet,
// from the image's directory for bin, cif and nrg, or one track for a single
// stream. 0 when the source is ready, else the job's result.
inline int LoadSource(int method, const std::string& source, TJob& job, TConfig& config, const Handles& handles) {
    job.sourceName = source;
    job.discKind = 1;
    job.pageMode = 0;
    TTrackTable& table = *job.trackTable;
    table.lastIndex = -1;
    std::unique_ptr<TJobControls> controls(handles.MakeControls());
    MessageServices services{handles.texts.get(), handles.stats, handles.dialogs};
    const LoadReporter reporter = LoadReporter::For(services, config, handles.log);
    switch (method) {
    case 2:
    case 3:
    case 5: {
        int parsed = 0;
        if (method == 5) {
            TTocReader reader(&job, &config, controls.get());
            if (reader.Open(source) != 0) {
                reporter.report(kMsgError, 6, ExtractName(source));
                return 4;
            }
            parsed = reader.Parse();
        } else {
            const std::string sheet = WithoutExtension(source) + ".cue";
            TCueReader reader(&job, &config, controls.get());
            if (reader.Open(sheet) != 0) {
                reporter.report(kMsgError, 6, ExtractName(sheet));
                return 4;
            }
            parsed = reader.Parse();
        }
        if (parsed != 1) return 4;
        table.firstTrack = 1;
        table.lastTrack = table.lastIndex;
        return 0;
    }
    case 4:
    case 11:
    case 12: {
        int32_t adjust = kBinTrackLengthAdjust;
        if (method == 4) {
            TFileIO probe(&job);
            if (probe.OpenForRead(source) != 0) {
                reporter.report(kMsgError, 6, ExtractName(source));
                return 4;
            }
            job.readSectorSize = DetectSectorSize(probe);
        } else if (method == 11) {
            job.readSectorSize = 2332;
            adjust = kCifTrackLengthAdjust;
        } else {
            job.readSectorSize = 2336;
            adjust = kNrgTrackLengthAdjust;
        }
        return GetFilesFromTOC(source, job, adjust, nullptr, nullptr, reporter);
    }
    default:
        table.firstTrack = 1;
        table.lastTrack = 1;
        table.lastIndex = 1;
        return 0;
    }
}

}  // namespace jobsetup
