#include "settings/options_model.h"

#include <algorithm>
#include <vector>

#include "settings/registry_settings.h"

OptionsValues OptionsModel::Load() {
    const bool open = registry_.openKey(kSettingsKey, false);
    const SettingsReader r(registry_, open, exeDir_);
    OptionsValues v;
    v.disableHeader = r.flag("DisableHeaderCorrection");
    v.disableSplit = r.flag("DisableMPEGFileSplit");
    v.disablePad = r.flag("DisableMPEGPadding");
    // Only the stored prompt-setting bits count, as in the main load.
    v.disableErrorPrompts = (*r.number("DisableErrorPrompts") & kPromptSettingBits) != 0;
    v.disableAudio = r.flag("DisableAudioWarningBell");
    v.includeCuePath = r.flag("CUEIndexFullPath");
    v.scanCdi = r.flag("AlwaysScanForCDI");
    v.addCdiApplication = r.flag("AddCDIApplication");
    v.philipsCompliant = r.flag("SVCD_PhilipsCompliant");
    v.svcdMpeg2Directory = r.flag("SVCD_UseMPEG2Directory");
    v.svcdEntryVcd = r.flag("SVCD_UseENTRYVCD");
    v.passColour = *r.number("Pass_Clr");
    v.warningColour = *r.number("Warning_Clr");
    v.errorColour = *r.number("Error_Clr");
    v.passThreshold = *r.number("Pass_Threshold");
    v.warningThreshold = *r.number("Warning_Threshold");
    // The track bar keeps a stored level within its range rather than
    // dropping it: 9 shows and saves the highest level, 6.
    if (const auto stored = open ? registry_.readInteger("PriorityLevel") : std::nullopt)
        v.priority = std::clamp(*stored, 0, 6);
    else
        v.priority = *r.number("PriorityLevel");
    v.archiver = r.text("RARArchiverLocation");
    v.decompressParams = r.text("RARArchiverParam");
    v.compressParams = r.text("RARCompressParam");
    v.tempDir = r.text("TempDirectory");
    v.langDir = r.text("LanguageFileDirectory");
    v.manualDir = r.text("ManualFAQDirectory");
    for (size_t i = 0; i < kCdiValueNames.size(); ++i) v.cdiFiles[i] = r.text(kCdiValueNames[i]);
    v.languageFile = r.text("LanguageFile");
    if (open) registry_.closeKey();
    return v;
}

void OptionsModel::Save(const OptionsValues& v) {
    registry_.unlatch();
    if (!registry_.openKey(kSettingsKey, true)) return;
    auto flag = [&](const char* name, bool on) { registry_.writeInteger(name, on ? 1 : 0); };
    auto num = [&](const char* name, int32_t value) { registry_.writeInteger(name, value); };
    auto text = [&](const char* name, const std::string& value) { registry_.writeString(name, value); };
    flag("DisableHeaderCorrection", v.disableHeader);
    flag("DisableMPEGFileSplit", v.disableSplit);
    flag("DisableMPEGPadding", v.disablePad);
    flag("DisableErrorPrompts", v.disableErrorPrompts);
    flag("DisableAudioWarningBell", v.disableAudio);
    flag("CUEIndexFullPath", v.includeCuePath);
    flag("AlwaysScanForCDI", v.scanCdi);
    num("PriorityLevel", v.priority);
    text("RARArchiverLocation", v.archiver);
    text("RARArchiverParam", v.decompressParams);
    text("RARCompressParam", v.compressParams);
    flag("AddCDIApplication", v.addCdiApplication);
    flag("SVCD_PhilipsCompliant", v.philipsCompliant);
    flag("SVCD_UseMPEG2Directory", v.svcdMpeg2Directory);
    flag("SVCD_UseENTRYVCD", v.svcdEntryVcd);
    for (size_t i = 0; i < kCdiValueNames.size(); ++i) text(kCdiValueNames[i], v.cdiFiles[i]);
    text("TempDirectory", v.tempDir);
    text("LanguageFileDirectory", v.langDir);
    text("ManualFAQDirectory", v.manualDir);
    text("LanguageFile", v.languageFile);
    num("Pass_Clr", v.passColour);
    num("Warning_Clr", v.warningColour);
    num("Error_Clr", v.errorColour);
    num("Pass_Threshold", v.passThreshold);
    num("Warning_Threshold", v.warningThreshold);
    registry_.closeKey();
}

bool OptionsModel::KeyExists() { return registry_.keyExists(kSettingsKey); }

void OptionsModel::Uninstall() {
    registry_.deleteKey(kSettingsKey);
    registry_.latch();
}

namespace {

// Start offsets of the UTF-8 characters of a text; a byte that begins no
// valid sequence counts as one character (a Latin-1 path).
std::vector<size_t> CharacterStarts(const std::string& s) {
    std::vector<size_t> starts;
    size_t i = 0;
    while (i < s.size()) {
        starts.push_back(i);
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
        if (i + len > s.size()) len = 1;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) len = 1;
        i += len;
    }
    return starts;
}

}  // namespace

std::string CdiButtonCaption(const std::string& path, const std::string& emptyText) {
    if (path.empty()) return emptyText;
    const std::vector<size_t> starts = CharacterStarts(path);
    if (starts.size() < 31) return path;
    return path.substr(0, starts[13]) + "....." + path.substr(starts[starts.size() - 13]);
}
