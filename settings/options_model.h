// The window-free half of the options window: its values read from and
// written to the settings key, the CD-i button captions and Uninstall.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/latched_registry.h"

// Every value the options window shows, as the controls hold it.
struct OptionsValues {
    bool disableHeader = false;
    bool disableSplit = true;
    bool disablePad = false;
    bool disableErrorPrompts = false;
    bool disableAudio = false;
    bool includeCuePath = false;
    bool scanCdi = true;
    bool addCdiApplication = false;
    bool philipsCompliant = true;
    bool svcdMpeg2Directory = true;  // SVCDdir item 0
    bool svcdEntryVcd = true;        // SVCDentry item 0
    int32_t passColour = 0x9EEC7D;   // 0x00BBGGRR
    int32_t warningColour = 0x75D8F9;
    int32_t errorColour = 0x3A3AFC;
    int32_t passThreshold = 30;
    int32_t warningThreshold = 200;
    int32_t priority = 3;  // 0 idle .. 6 critical
    std::string archiver, decompressParams, compressParams;
    std::string tempDir, langDir, manualDir;
    // Image, font, application and configuration file of the CD-i application.
    std::array<std::string, 4> cdiFiles;
    // Written only: the language file the window's texts come from.
    std::string languageFile;
};

// The CD-i files' value names, in the order of OptionsValues::cdiFiles.
inline constexpr std::array<const char*, 4> kCdiValueNames = {"CDI_ImageFile", "CDI_FontFile",
                                                              "CDI_ApplicationFile", "CDI_ConfigurationFile"};

class OptionsModel {
public:
    OptionsModel(platform::LatchedRegistry& registry, std::string exeDir)
        : registry_(registry), exeDir_(std::move(exeDir)) {}

    // Every value, stored or its default; never creates the key.
    OptionsValues Load();
    // Lifts an Uninstall's latch (the user chose settings again) and writes
    // every value, creating the key when missing.
    void Save(const OptionsValues& values);
    bool KeyExists();
    // Deletes the whole key, and keeps it deleted for the rest of the run.
    void Uninstall();

private:
    platform::LatchedRegistry& registry_;
    std::string exeDir_;
};

// A CD-i button's caption: the path itself below 31 characters, else its
// first 13 characters + "....." + its last 13. Characters, not bytes: a
// UTF-8 character is never cut. An empty path shows emptyText.
std::string CdiButtonCaption(const std::string& path, const std::string& emptyText);
