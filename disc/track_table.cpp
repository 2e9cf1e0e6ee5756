#include "disc/track_table.h"

#include "core/records.h"

// The job owns its track table, so the job's life is defined here, where the
// table is known; core never needs the disc layer.
TJob::TJob() : batchContext(new TBatchContext()) {}

TJob::~TJob() {
    delete controls;
    delete batchContext;
    delete trackTable;
}
