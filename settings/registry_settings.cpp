#include "settings/registry_settings.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "batch/command_line.h"
#include "core/temp_file.h"
#include "engine/methods.h"

namespace {

constexpr int32_t kAny = INT32_MIN, kAnyMax = INT32_MAX;

// name, type, both, hasDefault, default, min, max, text default, text, saved
constexpr std::array<SettingInfo, 43> kTable = {{
    {"LastMethod", SettingType::Integer, false, true, Index(Method::CueBinToMpeg), 0, kExtractionMethodCount - 1,
     TextDefault::Literal, "", true},
    {"LastBuildVCDMethod", SettingType::Integer, false, true, Index(VcdMethod::MpegToCueBin), 0,
     kVideoCdMethodCount - 1, TextDefault::Literal, "", true},
    {"FixMPEGErrors", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"RemoveCDIBumper", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"ToastEnable", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"PreviewVideo", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"TrackPauseTime", SettingType::Integer, false, true, 5, 0, 16, TextDefault::Literal, "", true},
    {"VideoCD_Mode", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"Split_VideoCD_Images", SettingType::Integer, false, false, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"SeparateImagesToFolders", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "",
     true},
    {"ForcedReadValue", SettingType::Integer, false, false, 0, 0, 9999, TextDefault::Literal, "", true},
    {"ForcedWriteValue", SettingType::Integer, false, false, 0, 0, 9999, TextDefault::Literal, "", true},
    {"SVCD_PhilipsCompliant", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", false},
    {"AlwaysScanForCDI", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"CUEIndexFullPath", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"DefaultLoadDir", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "", true},
    {"DefaultSaveDir", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "", true},
    {"AddCDIApplication", SettingType::Boolean, false, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"SVCD_UseMPEG2Directory", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"SVCD_UseENTRYVCD", SettingType::Boolean, false, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    // The CD-i application files; the options window saves them.
    {"CDI_ImageFile", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeFile, "CDI/CDI_IMAG.RTF", false},
    {"CDI_FontFile", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeFile, "CDI/CDI_TEXT.FNT", false},
    {"CDI_ApplicationFile", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeFile, "CDI/CDI_VCD.APP",
     false},
    {"CDI_ConfigurationFile", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeFile, "CDI/CDI_VCD.CFG",
     false},
    {"TempDirectory", SettingType::String, false, true, 0, 0, 0, TextDefault::TempDir, "", true},
    {"MultiFileFormat", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "_%02d", true},
    {"PriorityLevel", SettingType::Integer, false, true, 3, 0, 6, TextDefault::Literal, "", false},
    {"LanguageFile", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "", true},
    {"LanguageFileDirectory", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeLang, "", true},
    {"ManualFAQDirectory", SettingType::String, false, true, 0, 0, 0, TextDefault::ExeManual, "", true},
    {"Pass_Clr", SettingType::Integer, false, true, 0x9EEC7D, 0, 0xFFFFFF, TextDefault::Literal, "", false},
    {"Warning_Clr", SettingType::Integer, false, true, 0x75D8F9, 0, 0xFFFFFF, TextDefault::Literal, "", false},
    {"Error_Clr", SettingType::Integer, false, true, 0x3A3AFC, 0, 0xFFFFFF, TextDefault::Literal, "", false},
    {"Pass_Threshold", SettingType::Integer, false, true, 30, 0, 9999, TextDefault::Literal, "", false},
    {"Warning_Threshold", SettingType::Integer, false, true, 200, 0, 9999, TextDefault::Literal, "", false},
    {"DisableHeaderCorrection", SettingType::Boolean, true, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"DisableMPEGFileSplit", SettingType::Boolean, true, true, 1, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"DisableMPEGPadding", SettingType::Boolean, true, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    // Any 32-bit word is accepted; only its setting bits are kept.
    {"DisableErrorPrompts", SettingType::Integer, true, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    {"DisableAudioWarningBell", SettingType::Boolean, true, true, 0, kAny, kAnyMax, TextDefault::Literal, "", true},
    // The archiver: written by the options window only, read by it and the batch run.
    {"RARArchiverLocation", SettingType::String, false, true, 0, 0, 0, TextDefault::Archiver, "", false},
    {"RARArchiverParam", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "x -v -y", false},
    {"RARCompressParam", SettingType::String, false, true, 0, 0, 0, TextDefault::Literal, "a", false},
}};

const SettingInfo& Row(const char* name) {
    const SettingInfo* row = FindSetting(name);
    if (!row) std::abort();  // a name missing from the table is a programming fault
    return *row;
}

}  // namespace

std::span<const SettingInfo> MainSettingsTable() { return kTable; }

const SettingInfo* FindSetting(const std::string& name) {
    for (const SettingInfo& row : kTable)
        if (name == row.name) return &row;
    return nullptr;
}

std::optional<int32_t> WholeNumber(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    size_t e = text.find_last_not_of(' ');
    std::string t = text.substr(b, e - b + 1);
    size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (i == t.size() || t.size() - i > 10) return std::nullopt;
    for (size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return std::nullopt;
    long long v = std::strtoll(t.c_str(), nullptr, 10);
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(v);
}

std::optional<int32_t> SettingsReader::number(const char* name) const {
    const SettingInfo& row = Row(name);
    std::optional<int32_t> v;
    if (open_) v = registry_.readInteger(row.name);
    if (v && (*v < row.minInt || *v > row.maxInt)) v.reset();
    if (!v && row.hasDefault) v = row.defInt;
    if (v && row.type == SettingType::Boolean) v = *v != 0 ? 1 : 0;
    return v;
}

std::string SettingsReader::textDefault(const SettingInfo& row) const {
    switch (row.textDefault) {
        case TextDefault::TempDir: return TempDir();
        case TextDefault::ExeLang: return exeDir_ + "lang/";
        case TextDefault::ExeManual: return exeDir_ + "manual/";
        case TextDefault::ExeFile: return exeDir_ + row.defText;
        case TextDefault::Archiver: {
            const char* path = std::getenv("PATH");
            return FindArchiver("", path ? path : "");
        }
        case TextDefault::Literal: break;
    }
    return row.defText;
}

std::string SettingsReader::text(const char* name) const {
    const SettingInfo& row = Row(name);
    if (open_)
        if (std::optional<std::string> s = registry_.readString(row.name)) return *s;
    return textDefault(row);
}

void RegistrySettings::Load(LoadMode mode, TConfig& config, MainWindowValues& window) {
    const bool full = mode == LoadMode::Full;
    // A missing key reads as empty: every value then takes its default. The
    // load never creates it (after an uninstall it must stay gone).
    const bool open = registry_.openKey(kSettingsKey, false);
    const SettingsReader reader(registry_, open, exeDir_);
    auto num = [&](const char* name) { return reader.number(name); };
    auto flag = [&](const char* name) { return reader.flag(name); };
    auto text = [&](const char* name) { return reader.text(name); };

    if (full) {
        window.lastMethod = *num("LastMethod");
        window.lastBuildVCDMethod = *num("LastBuildVCDMethod");
        config.FixMPEGErrors = flag("FixMPEGErrors");
        window.fixErrors = config.FixMPEGErrors;
        config.RemoveCDIBumper = flag("RemoveCDIBumper");
        window.removeBumper = config.RemoveCDIBumper;
        config.ToastEnable = flag("ToastEnable");
        window.toast = config.ToastEnable;
        config.PreviewVideo = flag("PreviewVideo");
        window.trackPause = *num("TrackPauseTime");
        window.videoCdMode = flag("VideoCD_Mode");
        window.split = num("Split_VideoCD_Images");
        window.separateFolders = flag("SeparateImagesToFolders");
        window.forcedRead = num("ForcedReadValue");
        window.forcedWrite = num("ForcedWriteValue");
        config.SVCD_PhilipsCompliant = flag("SVCD_PhilipsCompliant");
        config.AlwaysScanForCDI = flag("AlwaysScanForCDI");
        config.CUEIndexFullPath = flag("CUEIndexFullPath");
        config.DefaultLoadDir = text("DefaultLoadDir");
        config.DefaultSaveDir = text("DefaultSaveDir");
        config.AddCDIApplication = flag("AddCDIApplication");
        config.SVCD_UseMPEG2Directory = flag("SVCD_UseMPEG2Directory");
        config.SVCD_UseENTRYVCD = flag("SVCD_UseENTRYVCD");
        config.CDI_ImageFile = text("CDI_ImageFile");
        config.CDI_FontFile = text("CDI_FontFile");
        config.CDI_ApplicationFile = text("CDI_ApplicationFile");
        config.CDI_ConfigurationFile = text("CDI_ConfigurationFile");
        config.TempDirectory = text("TempDirectory");
        config.MultiFileFormat = text("MultiFileFormat");
        config.PriorityLevel = *num("PriorityLevel");
        config.LanguageFile = text("LanguageFile");
        config.LanguageFileDirectory = text("LanguageFileDirectory");
        config.ManualFAQDirectory = text("ManualFAQDirectory");
        config.Pass_Clr = *num("Pass_Clr");
        config.Warning_Clr = *num("Warning_Clr");
        config.Error_Clr = *num("Error_Clr");
        config.Pass_Threshold = *num("Pass_Threshold");
        config.Warning_Threshold = *num("Warning_Threshold");
    }
    user_.DisableHeaderCorrection = flag("DisableHeaderCorrection");
    user_.DisableMPEGFileSplit = flag("DisableMPEGFileSplit");
    user_.DisableMPEGPadding = flag("DisableMPEGPadding");
    user_.DisableErrorPrompts = static_cast<int16_t>(*num("DisableErrorPrompts") & kPromptSettingBits);
    user_.DisableAudioWarningBell = flag("DisableAudioWarningBell");
    config.DisableHeaderCorrection = user_.DisableHeaderCorrection;
    config.DisableMPEGFileSplit = user_.DisableMPEGFileSplit;
    config.DisableMPEGPadding = user_.DisableMPEGPadding;
    config.DisableErrorPrompts = user_.DisableErrorPrompts;
    config.DisableAudioWarningBell = user_.DisableAudioWarningBell;

    if (open) registry_.closeKey();
}

void RegistrySettings::Save(const TConfig& config, const MainWindowValues& window) {
    if (!registry_.openKey(kSettingsKey, true)) return;
    // Each write stands alone: a failed one does not stop the rest.
    auto putInt = [&](const char* name, int32_t v) { registry_.writeInteger(Row(name).name, v); };
    auto putFlag = [&](const char* name, bool v) { putInt(name, v ? 1 : 0); };
    auto putText = [&](const char* name, const std::string& v) { registry_.writeString(Row(name).name, v); };
    auto putForced = [&](const char* name, bool ticked, const std::string& field) {
        const SettingInfo& row = Row(name);
        std::optional<int32_t> v = ticked ? WholeNumber(field) : std::optional<int32_t>(0);
        putInt(name, (v && *v >= row.minInt && *v <= row.maxInt) ? *v : 0);
    };

    putForced("ForcedReadValue", window.forceReadTicked, window.sectorReadText);
    putForced("ForcedWriteValue", window.forceWriteTicked, window.sectorWriteText);
    putFlag("FixMPEGErrors", window.fixErrors);
    putFlag("RemoveCDIBumper", window.removeBumper);
    putFlag("ToastEnable", window.toast);
    putFlag("VideoCD_Mode", window.videoCdMode);
    putFlag("DisableAudioWarningBell", user_.DisableAudioWarningBell);
    putFlag("DisableHeaderCorrection", user_.DisableHeaderCorrection);
    putFlag("DisableMPEGFileSplit", user_.DisableMPEGFileSplit);
    putFlag("DisableMPEGPadding", user_.DisableMPEGPadding);
    putInt("DisableErrorPrompts", user_.DisableErrorPrompts & kPromptSettingBits);
    putFlag("AlwaysScanForCDI", config.AlwaysScanForCDI);
    putFlag("CUEIndexFullPath", config.CUEIndexFullPath);
    putFlag("AddCDIApplication", config.AddCDIApplication);
    putFlag("SVCD_UseMPEG2Directory", config.SVCD_UseMPEG2Directory);
    putFlag("SVCD_UseENTRYVCD", config.SVCD_UseENTRYVCD);
    putFlag("SeparateImagesToFolders", window.separateFolders);
    putFlag("PreviewVideo", config.PreviewVideo);
    putText("DefaultLoadDir", config.DefaultLoadDir);
    putText("DefaultSaveDir", config.DefaultSaveDir);
    putText("LanguageFile", config.LanguageFile);
    putText("TempDirectory", config.TempDirectory);
    putText("LanguageFileDirectory", config.LanguageFileDirectory);
    putText("ManualFAQDirectory", config.ManualFAQDirectory);
    putText("MultiFileFormat", config.MultiFileFormat);
    putInt("LastMethod", window.lastMethod);
    putInt("LastBuildVCDMethod", window.lastBuildVCDMethod);
    // The pause field's number wins over the up-down position when it is one.
    const SettingInfo& pause = Row("TrackPauseTime");
    int32_t pauseValue = window.trackPausePosition;
    if (std::optional<int32_t> typed = WholeNumber(window.pauseTimeText);
        typed && *typed >= pause.minInt && *typed <= pause.maxInt)
        pauseValue = *typed;
    putInt("TrackPauseTime", pauseValue);
    putInt("Split_VideoCD_Images", window.split.value_or(0));
    registry_.closeKey();
}
