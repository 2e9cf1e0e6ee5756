// Reads a toc file into the job's track table and opens the image its
// DATAFILE lines name.
#pragma once

#include <string>

#include "disc/sheet_text.h"

class TTocReader : public TSheetReader {
public:
    TTocReader(TJob* job, TConfig* options, const TJobControls* controls = nullptr)
        : TSheetReader(job, options, controls) {}

    // 1: the table holds the file's tracks, the image is open and is the
    // job's source. 0 after a reported error; the table is then unchanged.
    int Parse();
    // Opens the image a DATAFILE names (as written, beside the toc file, or
    // picked in the open dialog) and rewrites name with the path that opened.
    bool OpenDataFile(std::string& name);

    std::string dataFileName;
};
