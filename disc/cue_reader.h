// Reads a cue sheet into the job's track table and opens the image it names.
#pragma once

#include "disc/sheet_text.h"

class TCueReader : public TSheetReader {
public:
    TCueReader(TJob* job, TConfig* options, const TJobControls* controls = nullptr)
        : TSheetReader(job, options, controls) {}

    // 1: the table holds the sheet's tracks, the image is open and is the
    // job's source. 0 after a reported error; the table is then unchanged.
    int Parse();
};
