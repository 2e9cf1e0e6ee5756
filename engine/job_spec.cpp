#include "engine/job_spec.h"

#include "disc/track_table.h"

TJobSpec::TJobSpec() { job.trackTable = new TTrackTable(); }

std::unique_ptr<TJobSpec> TakeJobSpec(const TJob& job, const TConfig& config, const TJobControls* controls,
                                     const std::string& generatedFiles, TJobStart start) {
    auto spec = std::make_unique<TJobSpec>();
    spec->config = config;
    TJob& own = spec->job;
    own.readSectorSize = job.readSectorSize;
    own.writeSectorSize = job.writeSectorSize;
    own.forcedReadSize = job.forcedReadSize;
    own.forcedWriteSize = job.forcedWriteSize;
    own.discKind = job.discKind;
    own.sectorHeaderSize = job.sectorHeaderSize;
    own.multiImage = job.multiImage;
    own.method = job.method;
    own.pageMode = job.pageMode;
    own.searchPattern = job.searchPattern;
    own.sourceName = job.sourceName;
    own.outputName = job.outputName;
    own.baseOutputName = job.baseOutputName;
    own.volumeName = job.volumeName;
    if (job.trackTable) *own.trackTable = *job.trackTable;
    if (job.mpegList) {
        spec->hasBuildList = true;
        spec->buildList = job.mpegList->entries;
        spec->buildPtsOffset = job.mpegList->ptsOffset;
    }
    if (controls) {
        if (controls->openDialog) spec->openDialog = *controls->openDialog;
        if (controls->saveDialog) spec->saveDialog = *controls->saveDialog;
        own.controls = new TJobControls(*controls);
        own.controls->openDialog = &spec->openDialog;
        own.controls->saveDialog = &spec->saveDialog;
    }
    spec->generatedFiles = generatedFiles;
    spec->start = std::move(start);
    return spec;
}

void ApplyJobOutcome(const TJobOutcome& outcome, TJob& job, TConfig& config, platform::FileDialogState& openDialog,
                     platform::FileDialogState& saveDialog, std::string& generatedFiles) {
    generatedFiles = outcome.generatedFiles;
    job.readSectorSize = outcome.readSectorSize;
    job.writeSectorSize = outcome.writeSectorSize;
    job.sectorHeaderSize = outcome.sectorHeaderSize;
    job.discKind = outcome.discKind;
    job.sourceName = outcome.sourceName;
    job.outputName = outcome.outputName;
    if (job.trackTable) {
        job.trackTable->sectorCount = outcome.sectorCount;
        job.trackTable->selectedBytes = outcome.selectedBytes;
    }
    if (outcome.bumperRemoved) config.bumperRemoved = 1;
    // The next list shown in the log gets its header again.
    config.buildListHeaderShown = 0;
    if (outcome.batchTask) {
        for (platform::FileDialogState* d : {&openDialog, &saveDialog}) {
            d->Files.clear();
            d->FileName.clear();
        }
    }
}
