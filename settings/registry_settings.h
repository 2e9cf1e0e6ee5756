// The main settings under "\Software\Pellmor": one table of every value the
// main window loads and saves, and the load and save over the registry.
// Window-free: the main window hands its control states in and out through
// MainWindowValues.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/records.h"
#include "engine/methods.h"
#include "platform/registry.h"

inline constexpr const char* kSettingsKey = "\\Software\\Pellmor";

enum class SettingType { Integer, Boolean, String };

// Which loads read a value: Full only, or Both (full and before-job).
enum class LoadMode : int { Full = 0, BeforeJob = 1 };

// Where a text default comes from: the literal, TEMP, the program's lang/ or
// manual/ folder, the program's folder + the literal, or the archiver found
// on PATH.
enum class TextDefault { Literal, TempDir, ExeLang, ExeManual, ExeFile, Archiver };

struct SettingInfo {
    const char* name;
    SettingType type;
    bool both;        // read by the before-job load too
    bool hasDefault;  // false: a missing value leaves its target unchanged
    int32_t defInt;
    int32_t minInt, maxInt;  // allowed integers; outside takes the default
    TextDefault textDefault;
    const char* defText;
    bool saved;  // written by the main window's save
};

// Every value of the key with its type, default and range: the values the
// main load reads, in its order, then the archiver's, which only the options
// window and the batch run read.
std::span<const SettingInfo> MainSettingsTable();
const SettingInfo* FindSetting(const std::string& name);

// Reads rows of the table from the open key, or from none (open false):
// a value missing, of the wrong type or out of range takes its default.
class SettingsReader {
public:
    SettingsReader(platform::Registry& registry, bool open, std::string exeDir)
        : registry_(registry), open_(open), exeDir_(std::move(exeDir)) {}
    // Nothing for a missing value of a row without a default.
    std::optional<int32_t> number(const char* name) const;
    uint8_t flag(const char* name) const { return number(name).value_or(0) != 0 ? 1 : 0; }
    std::string text(const char* name) const;
    // A text row's default.
    std::string textDefault(const SettingInfo& row) const;

private:
    platform::Registry& registry_;
    bool open_;
    std::string exeDir_;
};


// The main-window side of the settings: what the load sets and the save reads.
struct MainWindowValues {
    // Set by the full load (always: stored or default).
    int32_t lastMethod = Index(Method::CueBinToMpeg);
    int32_t lastBuildVCDMethod = Index(VcdMethod::MpegToCueBin);
    bool fixErrors = false, removeBumper = false, toast = false;
    int32_t trackPause = 5;
    bool videoCdMode = true;
    bool separateFolders = false;
    // Set only when stored (none of them has a default).
    std::optional<int32_t> split;  // 1 span 74, 2 span 80, else none
    std::optional<int32_t> forcedRead, forcedWrite;

    // Read by the save only: the texts of the fields, taken as whole numbers.
    bool forceReadTicked = false, forceWriteTicked = false;
    std::string sectorReadText, sectorWriteText;
    int32_t trackPausePosition = 5;
    std::string pauseTimeText;
};

// The option flags the user chose. The worker changes some of them in
// TConfig for the length of a job; the save writes these instead.
struct UserFlags {
    uint8_t DisableHeaderCorrection = 0;
    uint8_t DisableMPEGFileSplit = 1;
    uint8_t DisableMPEGPadding = 0;
    uint8_t DisableAudioWarningBell = 0;
    int16_t DisableErrorPrompts = 0;  // bits 0..12 only
};

// Bits of the prompt flags word that belong to the stored setting.
inline constexpr int16_t kPromptSettingBits = 0x1FFF;

class RegistrySettings {
public:
    RegistrySettings(platform::Registry& registry, std::string exeDir)
        : registry_(registry), exeDir_(std::move(exeDir)) {}

    // Full load: every row; before-job: only the rows marked both.
    void Load(LoadMode mode, TConfig& config, MainWindowValues& window);
    void Save(const TConfig& config, const MainWindowValues& window);

    const UserFlags& userFlags() const { return user_; }
    const std::string& exeDir() const { return exeDir_; }

private:
    platform::Registry& registry_;
    std::string exeDir_;
    UserFlags user_;
};

// A field's text as a whole number ("12", " 7 "); nothing when it is not one.
std::optional<int32_t> WholeNumber(const std::string& text);
