#include "engine/job_copy.h"

#include "disc/track_table.h"

TJobCopy::TJobCopy() { job.trackTable = new TTrackTable(); }

std::unique_ptr<TJobCopy> TakeJobCopy(const TJob& job, const TConfig& config, const TJobControls* controls,
                                     const std::string& generatedFiles, TJobStart start) {
    auto jobCopy = std::make_unique<TJobCopy>();
    jobCopy->config = config;
    TJob& own = jobCopy->job;
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
    own.sheetName = job.sheetName;
    own.outputName = job.outputName;
    own.baseOutputName = job.baseOutputName;
    own.volumeName = job.volumeName;
    if (job.trackTable) *own.trackTable = *job.trackTable;
    if (job.mpegList) {
        jobCopy->hasBuildList = true;
        jobCopy->buildList = job.mpegList->entries;
        jobCopy->buildPtsOffset = job.mpegList->ptsOffset;
    }
    if (controls) {
        if (controls->openDialog) jobCopy->openDialog = *controls->openDialog;
        if (controls->saveDialog) jobCopy->saveDialog = *controls->saveDialog;
        own.controls = new TJobControls(*controls);
        own.controls->openDialog = &jobCopy->openDialog;
        own.controls->saveDialog = &jobCopy->saveDialog;
    }
    jobCopy->generatedFiles = generatedFiles;
    jobCopy->start = std::move(start);
    return jobCopy;
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
