// A build list wired the way the video-cd page wires one: recording handles
// for every control it touches, a VideoCD track list over a recording grid,
// errors logged and counted rather than boxed.
#pragma once

#include <sstream>
#include <string>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"
#include "disc/vcd_track_list.h"
#include "tests/support/fakes.h"

namespace fakes {

struct BuildListRig {
    BuildListRig() {
        job.trackTable = new TTrackTable();
        job.mpegList = &list;
        config.DisableErrorPrompts = 1;
        config.DisableAudioWarningBell = 1;
        imgNone.setChecked(true);
        VCDCheckBox.setChecked(true);
        pauseTimeMsg.setText("0");
        startVCDButton.setEnabled(false);
        list.SetControls(Controls());
    }

    TBuildListControls Controls() {
        return {.VCDCheckBox = &VCDCheckBox,
                .SVCDCheckBox = &SVCDCheckBox,
                .startVCDButton = &startVCDButton,
                .pauseTimeMsg = &pauseTimeMsg,
                .imgNone = &imgNone,
                .img74 = &img74,
                .img80 = &img80,
                .imgCustom = &imgCustom,
                .imgNumLabel = &imgNumLabel,
                .totalImageTime = &totalImageTime,
                .logListBox = &log,
                .trackList = &tracks,
                .languageSet = &texts,
                .stats = &stats,
                .dialogs = &dialogs};
    }

    // Ticks one of the spanning choices and unticks the others.
    void Span(platform::CheckBox& choice) {
        for (platform::CheckBox* b : {&imgNone, &img74, &img80, &imgCustom})
            b->setChecked(static_cast<platform::CheckBox*>(b) == &choice);
    }

    // Everything a refused file must leave as it was.
    std::string State() const {
        std::ostringstream s;
        s << "kind " << job.discKind << " names";
        for (const std::string& n : list.fileNames) s << " " << n;
        s << "\nentries";
        for (const TMpegFileInfo& e : list.entries)
            s << " [" << e.name << " " << e.startOffset << "-" << e.endOffset << " i" << e.image << " t"
              << e.trackInImage << "]";
        const TTrackTable& t = *job.trackTable;
        s << "\ntable " << t.firstTrack << " " << t.lastTrack << " " << t.lastIndex << " " << t.imageCount << " :";
        for (int32_t n : t.tracksPerImage) s << " " << n;
        s << "\ngrid " << grid.rowCount() << " current " << grid.currentRow() << " rows " << tracks.RowCount();
        for (const std::string& r : grid.rows()) s << "\n  " << r;
        s << "\nboxes " << VCDCheckBox.checked() << SVCDCheckBox.checked() << " start " << startVCDButton.enabled();
        return s.str();
    }

    TJob job;
    TConfig config;
    TStats stats{&job};
    TLanguageSet texts;
    RecordingListBox log;
    ScriptedDialogs dialogs;
    RecordingCheckBox VCDCheckBox, SVCDCheckBox, imgNone, img74, img80, imgCustom;
    RecordingButton startVCDButton;
    RecordingEdit pauseTimeMsg;
    RecordingLabel imgNumLabel, totalImageTime;
    RecordingGrid grid;
    TVcdTrackList tracks{&job, &grid, &texts};
    TMpegFileList list{&job, &config};
};

}  // namespace fakes
