// Reads a cue sheet into the job's track table and opens the image it names.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "core/file_io.h"

struct TJob;
struct TConfig;
struct TJobControls;
class TTrackTable;

class TCueReader {
public:
    // controls: where errors go and the missing-image dialog comes from;
    // the job's own controls block when not given.
    TCueReader(TJob* job, TConfig* options, const TJobControls* controls = nullptr);
    ~TCueReader();
    TCueReader(const TCueReader&) = delete;
    TCueReader& operator=(const TCueReader&) = delete;

    int Open(const std::string& path);  // 0, or 6 when it cannot be opened
    // 1: the table holds the sheet's tracks, the image is open and is the
    // job's source. 0 after a reported error; the table is then unchanged.
    int Parse();
    void Close();

    std::unique_ptr<TFileIO> imageFile;
    std::unique_ptr<std::ifstream> cueFile;
    TJob* job = nullptr;
    TConfig* options = nullptr;
    TTrackTable* trackTable = nullptr;

private:
    const TJobControls* controls_ = nullptr;
    std::string sheetPath_;
};
