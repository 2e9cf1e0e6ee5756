// What run_job and the engine tests share to drive one job as the main
// window does: the job with the handles its controls block points at, and
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
#include "core/path_lookup.h"
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

    // A new block, as the start button makes one (the worker frees it).
    TJobControls* MakeControls() { return new TJobControls(Controls()); }

    TJobControls Controls() {
        return {.statusLabel = &status,
                .etaLabel = &eta,
                .progressBar = &progress,
                .completedLabel = &completed,
                .logListBox = &log,
                .startButton = &startButton,
                .languageSet = texts,
                .batchFlag = &batchActive,
                .openDialog = &openDialog,
                .saveDialog = &saveDialog,
                .runState = &runState,
                .dialogs = &dialogs,
                .stats = &stats,
                .titleLabel = &title};
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
inline int LoadSource(int method, const std::string& source, TJob& job, TConfig& config, const TJobControls& window) {
    job.sourceName = source;
    job.discKind = 1;
    job.pageMode = 0;
    TTrackTable& table = *job.trackTable;
    table.lastIndex = -1;
    auto controls = std::make_unique<TJobControls>(window);
    MessageServices services{window.languageSet.get(), window.stats, window.dialogs};
    const LoadReporter reporter = LoadReporter::For(services, config, window.logListBox);
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
            const std::string sheet = SiblingWithExtension(source, "cue");
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
