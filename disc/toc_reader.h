// Reads a toc file into the job's track table and opens the image its
// DATAFILE lines name.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "core/file_io.h"

struct TJob;
struct TConfig;
struct TJobControls;
class TTrackTable;

class TTocReader {
public:
    // controls: where errors go and the missing-image dialog comes from;
    // the job's own controls block when not given.
    TTocReader(TJob* job, TConfig* options, const TJobControls* controls = nullptr);
    ~TTocReader();
    TTocReader(const TTocReader&) = delete;
    TTocReader& operator=(const TTocReader&) = delete;

    int Open(const std::string& path);  // 0, or 6 when it cannot be opened
    // 1: the table holds the file's tracks, the image is open and is the
    // job's source. 0 after a reported error; the table is then unchanged.
    int Parse();
    void Close();
    // Opens the image a DATAFILE names (as written, beside the toc file, or
    // picked in the open dialog) and rewrites name with the path that opened.
    bool OpenDataFile(std::string& name);

    std::unique_ptr<TFileIO> imageFile;
    std::unique_ptr<std::ifstream> tocFile;
    TJob* job = nullptr;
    TConfig* options = nullptr;
    TTrackTable* trackTable = nullptr;
    std::string dataFileName;

private:
    const TJobControls* controls_ = nullptr;
    std::string sheetPath_;
};
