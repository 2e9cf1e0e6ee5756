#include "settings/registry_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/fakes.h"

namespace {

const std::string kKey = kSettingsKey;

struct Fixture : ::testing::Test {
    fakes::MemoryRegistry reg;
    RegistrySettings settings{reg, "/opt/pellmor/"};
    TConfig config;
    MainWindowValues window;

    void SetUp() override { setenv("TMPDIR", "/var/tmp/pm", 1); }
    void TearDown() override { unsetenv("TMPDIR"); }

    void storeInt(const std::string& name, int32_t v) { reg.keys[kKey][name] = {false, v, {}}; }
    void storeText(const std::string& name, const std::string& v) { reg.keys[kKey][name] = {true, 0, v}; }
    std::optional<int32_t> storedInt(const std::string& name) {
        auto it = reg.keys[kKey].find(name);
        if (it == reg.keys[kKey].end() || it->second.isString) return std::nullopt;
        return it->second.i;
    }
};

// The defaults of the values that have a range: what a missing or an
// out-of-range one reads as.
void ExpectRangedDefaults(const TConfig& c, const MainWindowValues& w) {
    EXPECT_EQ(w.lastMethod, 2);
    EXPECT_EQ(w.lastBuildVCDMethod, 1);
    EXPECT_EQ(w.trackPause, 5);
    EXPECT_EQ(c.PriorityLevel, 3);
    EXPECT_EQ(c.Pass_Clr, 0x9EEC7D);
    EXPECT_EQ(c.Pass_Threshold, 30);
    EXPECT_EQ(c.Warning_Threshold, 200);
}

using SettingsDefaults = Fixture;

TEST_F(SettingsDefaults, EmptyOrMissingKeyGivesEveryDefault) {
    for (bool keyExists : {false, true}) {
        SCOPED_TRACE(keyExists ? "empty key" : "no key");
        reg.keys.clear();
        if (keyExists) reg.keys[kKey];
        config = TConfig{};
        config.DefaultLoadDir = "left over";
        window = MainWindowValues{};
        window.lastMethod = 9;
        window.split = 2;
        settings.Load(LoadMode::Full, config, window);

        EXPECT_EQ(reg.keyExists(kKey), keyExists) << "the load never creates the key";
        ExpectRangedDefaults(config, window);
        EXPECT_TRUE(window.videoCdMode);
        EXPECT_FALSE(window.separateFolders);
        EXPECT_FALSE(window.fixErrors);
        EXPECT_FALSE(window.removeBumper);
        EXPECT_FALSE(window.toast);
        EXPECT_FALSE(window.split.has_value()) << "no default: the buttons keep their state";
        EXPECT_FALSE(window.forcedRead.has_value());
        EXPECT_FALSE(window.forcedWrite.has_value());

        EXPECT_EQ(config.TempDirectory, "/var/tmp/pm");
        EXPECT_EQ(config.MultiFileFormat, "_%02d");
        EXPECT_EQ(config.DisableMPEGFileSplit, 1);
        EXPECT_EQ(config.DisableHeaderCorrection, 0);
        EXPECT_EQ(config.DisableMPEGPadding, 0);
        EXPECT_EQ(config.DisableErrorPrompts, 0);
        EXPECT_EQ(config.DisableAudioWarningBell, 0);
        EXPECT_EQ(config.AlwaysScanForCDI, 1);
        // No CD-i files ship with the program, and the ".VCD" system names
        // of a non-compliant SVCD leave players without a PSD.
        EXPECT_EQ(config.AddCDIApplication, 0);
        EXPECT_EQ(config.SVCD_UseMPEG2Directory, 1);
        EXPECT_EQ(config.SVCD_UseENTRYVCD, 1);
        EXPECT_EQ(config.SVCD_PhilipsCompliant, 1);
        EXPECT_EQ(config.PreviewVideo, 1);
        EXPECT_EQ(config.CUEIndexFullPath, 0);
        EXPECT_EQ(config.Warning_Clr, 0x75D8F9);
        EXPECT_EQ(config.Error_Clr, 0x3A3AFC);
        EXPECT_EQ(config.LanguageFile, "");
        EXPECT_EQ(config.DefaultLoadDir, "");
        EXPECT_EQ(config.DefaultSaveDir, "");
        // The program directory is taken as it stands: no separator added or dropped.
        EXPECT_EQ(config.LanguageFileDirectory, "/opt/pellmor/lang/");
        EXPECT_EQ(config.ManualFAQDirectory, "/opt/pellmor/manual/");
        EXPECT_EQ(config.CDI_ImageFile, "/opt/pellmor/CDI/CDI_IMAG.RTF");
        EXPECT_EQ(config.CDI_FontFile, "/opt/pellmor/CDI/CDI_TEXT.FNT");
        EXPECT_EQ(config.CDI_ApplicationFile, "/opt/pellmor/CDI/CDI_VCD.APP");
        EXPECT_EQ(config.CDI_ConfigurationFile, "/opt/pellmor/CDI/CDI_VCD.CFG");
    }
}

TEST_F(SettingsDefaults, StoredCdiChoicesAreHonoured) {
    storeInt("AddCDIApplication", 1);
    storeInt("SVCD_PhilipsCompliant", 0);
    storeText("CDI_FontFile", "/srv/cdi/font.fnt");
    settings.Load(LoadMode::Full, config, window);
    EXPECT_EQ(config.AddCDIApplication, 1);
    EXPECT_EQ(config.SVCD_PhilipsCompliant, 0);
    EXPECT_EQ(config.CDI_FontFile, "/srv/cdi/font.fnt");
    EXPECT_EQ(config.CDI_ImageFile, "/opt/pellmor/CDI/CDI_IMAG.RTF");
}

TEST_F(SettingsDefaults, TableNamesEveryValueOnceInReadingOrder) {
    auto table = MainSettingsTable();
    ASSERT_FALSE(table.empty());
    EXPECT_STREQ(table.front().name, "LastMethod");
    for (const SettingInfo& row : table) EXPECT_EQ(FindSetting(row.name), &row) << row.name;
    // The main rows end with the option flags; the options window's own rows follow.
    const SettingInfo* bell = FindSetting("DisableAudioWarningBell");
    ASSERT_NE(bell, nullptr);
    for (const SettingInfo* row = bell + 1; row != table.data() + table.size(); ++row)
        EXPECT_FALSE(row->saved) << row->name << " is written by the options window only";
    EXPECT_NE(FindSetting("RARArchiverLocation"), nullptr);
    EXPECT_NE(FindSetting("CDI_ConfigurationFile"), nullptr);
    EXPECT_EQ(FindSetting("BatchProcessorPosX"), nullptr) << "values of other windows stay out";
}

using SettingsRoundTrip = Fixture;

TEST_F(SettingsRoundTrip, EverySavedValueReadsBack) {
    config.AlwaysScanForCDI = 0;
    config.CUEIndexFullPath = 1;
    config.AddCDIApplication = 1;  // not the default
    config.SVCD_UseMPEG2Directory = 0;
    config.SVCD_UseENTRYVCD = 0;
    config.PreviewVideo = 0;
    config.DefaultLoadDir = "/home/u/in";
    config.DefaultSaveDir = "/home/u/out";
    config.LanguageFile = "/home/u/lang/deutsch.lng";
    config.TempDirectory = "/scratch";
    config.LanguageFileDirectory = "/l/";
    config.ManualFAQDirectory = "/m/";
    config.MultiFileFormat = "-%03d";
    window.lastMethod = 13;
    window.lastBuildVCDMethod = 3;
    window.fixErrors = window.removeBumper = window.toast = true;
    window.videoCdMode = false;
    window.separateFolders = true;
    window.split = 2;
    window.forceReadTicked = true;
    window.sectorReadText = "2336";
    window.forceWriteTicked = true;
    window.sectorWriteText = "2324";
    window.trackPausePosition = 3;
    window.pauseTimeText = "12";
    // The user's option flags come from a load.
    storeInt("DisableHeaderCorrection", 1);
    storeInt("DisableMPEGFileSplit", 0);
    storeInt("DisableMPEGPadding", 1);
    storeInt("DisableErrorPrompts", 1);
    storeInt("DisableAudioWarningBell", 1);
    TConfig scratch;
    MainWindowValues scratchWindow;
    settings.Load(LoadMode::BeforeJob, scratch, scratchWindow);
    settings.Save(config, window);

    TConfig c;
    MainWindowValues w;
    RegistrySettings fresh(reg, "/elsewhere/");
    fresh.Load(LoadMode::Full, c, w);
    EXPECT_EQ(c.AlwaysScanForCDI, 0);
    EXPECT_EQ(c.CUEIndexFullPath, 1);
    EXPECT_EQ(c.AddCDIApplication, 1);
    EXPECT_EQ(c.SVCD_UseMPEG2Directory, 0);
    EXPECT_EQ(c.SVCD_UseENTRYVCD, 0);
    EXPECT_EQ(c.PreviewVideo, 0);
    EXPECT_EQ(c.DefaultLoadDir, "/home/u/in");
    EXPECT_EQ(c.DefaultSaveDir, "/home/u/out");
    EXPECT_EQ(c.LanguageFile, "/home/u/lang/deutsch.lng");
    EXPECT_EQ(c.TempDirectory, "/scratch");
    EXPECT_EQ(c.LanguageFileDirectory, "/l/");
    EXPECT_EQ(c.ManualFAQDirectory, "/m/");
    EXPECT_EQ(c.MultiFileFormat, "-%03d");
    EXPECT_EQ(c.FixMPEGErrors, 1);
    EXPECT_EQ(c.RemoveCDIBumper, 1);
    EXPECT_EQ(c.ToastEnable, 1);
    EXPECT_EQ(c.DisableHeaderCorrection, 1);
    EXPECT_EQ(c.DisableMPEGFileSplit, 0);
    EXPECT_EQ(c.DisableMPEGPadding, 1);
    EXPECT_EQ(c.DisableErrorPrompts, 1);
    EXPECT_EQ(c.DisableAudioWarningBell, 1);
    EXPECT_EQ(w.lastMethod, 13);
    EXPECT_EQ(w.lastBuildVCDMethod, 3);
    EXPECT_TRUE(w.fixErrors && w.removeBumper && w.toast);
    EXPECT_FALSE(w.videoCdMode);
    EXPECT_TRUE(w.separateFolders);
    EXPECT_EQ(w.split, 2);
    EXPECT_EQ(w.forcedRead, 2336);
    EXPECT_EQ(w.forcedWrite, 2324);
    EXPECT_EQ(w.trackPause, 12) << "the pause field's number replaces the up-down position";
}

TEST_F(SettingsRoundTrip, SaveLeavesTheOptionsWindowValuesAlone) {
    storeInt("PriorityLevel", 5);
    storeInt("Pass_Clr", 0x123456);
    storeInt("SVCD_PhilipsCompliant", 1);
    config.PriorityLevel = 1;
    config.Pass_Clr = 7;
    config.SVCD_PhilipsCompliant = 0;
    settings.Save(config, window);
    for (const SettingInfo& row : MainSettingsTable()) {
        const std::string name = row.name;
        if (!row.saved && name != "PriorityLevel" && name != "Pass_Clr" && name != "SVCD_PhilipsCompliant") {
            EXPECT_FALSE(reg.keys[kKey].count(name)) << name;
        }
    }
    EXPECT_EQ(storedInt("PriorityLevel"), 5);
    EXPECT_EQ(storedInt("Pass_Clr"), 0x123456);
    EXPECT_EQ(storedInt("SVCD_PhilipsCompliant"), 1);
}

TEST_F(SettingsRoundTrip, ForcedSizesAndPauseFromTheFields) {
    struct Case {
        bool ticked;
        std::string field;
        int32_t stored;
    } cases[] = {
        {false, "2336", 0},  // unticked stores 0 whatever the field shows
        {true, "2336", 2336},
        {true, "", 0},
        {true, "23x6", 0},  // not a whole number: not forced
        {true, " 2048 ", 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        window.forceReadTicked = c.ticked;
        window.sectorReadText = c.field;
        settings.Save(config, window);
        EXPECT_EQ(storedInt("ForcedReadValue"), c.stored);
    }
    struct Pause {
        int32_t position;
        std::string text;
        int32_t stored;
    } pauses[] = {{4, "9", 9}, {4, "", 4}, {4, "abc", 4}, {4, "40", 4}, {0, "0", 0}};
    for (const Pause& p : pauses) {
        SCOPED_TRACE(p.text);
        window.trackPausePosition = p.position;
        window.pauseTimeText = p.text;
        settings.Save(config, window);
        EXPECT_EQ(storedInt("TrackPauseTime"), p.stored);
    }
}

using SettingsMended = Fixture;

TEST_F(SettingsMended, OutOfRangeValuesTakeTheirDefaults) {
    struct Case {
        const char* name;
        int32_t stored;
    } cases[] = {
        {"LastMethod", 14}, {"LastMethod", -1}, {"LastBuildVCDMethod", 4}, {"TrackPauseTime", 17},
        {"TrackPauseTime", -1}, {"PriorityLevel", 7}, {"PriorityLevel", -2}, {"Pass_Clr", 0x1000000},
        {"Pass_Threshold", 10000}, {"Warning_Threshold", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + std::to_string(c.stored));
        reg.keys.clear();
        storeInt(c.name, c.stored);
        storeText("MultiFileFormat", "_x%d");  // a later value still loads
        TConfig cfg;
        MainWindowValues w;
        settings.Load(LoadMode::Full, cfg, w);
        ExpectRangedDefaults(cfg, w);
        EXPECT_EQ(cfg.MultiFileFormat, "_x%d");
    }
}

TEST_F(SettingsMended, WrongTypesTakeDefaultsAndTheLoadGoesOn) {
    storeText("LastMethod", "seven");
    storeText("PriorityLevel", "high");
    storeInt("TempDirectory", 42);
    storeText("ForcedReadValue", "2336");
    storeInt("DisableMPEGPadding", 1);  // read after the bad ones
    storeText("LanguageFile", "/x.lng");
    MainWindowValues w;
    settings.Load(LoadMode::Full, config, w);
    EXPECT_EQ(w.lastMethod, 2);
    EXPECT_EQ(config.PriorityLevel, 3);
    EXPECT_EQ(config.TempDirectory, "/var/tmp/pm");
    EXPECT_FALSE(w.forcedRead.has_value());
    EXPECT_EQ(config.DisableMPEGPadding, 1);
    EXPECT_EQ(config.LanguageFile, "/x.lng");
}

TEST_F(SettingsMended, ForcedSizeOutOfRangeLeavesTheFieldAlone) {
    storeInt("ForcedReadValue", -5);
    storeInt("ForcedWriteValue", 0);
    MainWindowValues w;
    settings.Load(LoadMode::Full, config, w);
    EXPECT_FALSE(w.forcedRead.has_value());
    EXPECT_EQ(w.forcedWrite, 0) << "0 is a stored value: not forced";
}

TEST_F(SettingsMended, BatchBitsAndJobChangesAreNeverStored) {
    storeInt("DisableErrorPrompts", 1);
    storeInt("DisableMPEGFileSplit", 0);
    settings.Load(LoadMode::Full, config, window);
    // What a batch task and a running job do to the options.
    config.DisableErrorPrompts = static_cast<int16_t>(config.DisableErrorPrompts | 0xC000);
    config.DisableMPEGFileSplit = 1;
    config.FixMPEGErrors = 0;
    window.fixErrors = true;  // the box the user ticked
    settings.Save(config, window);
    EXPECT_EQ(storedInt("DisableErrorPrompts"), 1);
    EXPECT_EQ(storedInt("DisableMPEGFileSplit"), 0);
    EXPECT_EQ(storedInt("FixMPEGErrors"), 1);
}

TEST_F(SettingsMended, StoredBatchBitsAreDroppedOnLoad) {
    storeInt("DisableErrorPrompts", static_cast<int32_t>(0xFFFFE001u));  // sign-extended 0xE001
    settings.Load(LoadMode::Full, config, window);
    EXPECT_EQ(config.DisableErrorPrompts, 1);
}

TEST_F(SettingsMended, BeforeJobLoadReadsOnlyTheOptionFlags) {
    settings.Load(LoadMode::Full, config, window);
    config.TempDirectory = "/chosen/tmp";
    config.PriorityLevel = 6;
    config.LanguageFile = "/lang.lng";
    config.DefaultLoadDir = "/in";
    config.Pass_Clr = 1;
    config.DisableMPEGFileSplit = 0;  // the last job's working change
    window.lastMethod = 7;
    const TConfig before = [&] {
        TConfig c;
        c.TempDirectory = config.TempDirectory;
        return c;
    }();
    storeInt("PriorityLevel", 0);
    storeText("TempDirectory", "/stored");
    storeText("LanguageFile", "/other.lng");
    storeInt("LastMethod", 3);
    storeInt("DisableHeaderCorrection", 1);
    storeInt("DisableMPEGPadding", 1);
    storeInt("DisableErrorPrompts", 3);
    storeInt("DisableAudioWarningBell", 1);
    MainWindowValues untouched = window;
    settings.Load(LoadMode::BeforeJob, config, window);
    EXPECT_EQ(config.TempDirectory, before.TempDirectory) << "the before-job load must not reset it";
    EXPECT_EQ(config.PriorityLevel, 6);
    EXPECT_EQ(config.LanguageFile, "/lang.lng");
    EXPECT_EQ(config.DefaultLoadDir, "/in");
    EXPECT_EQ(config.Pass_Clr, 1);
    EXPECT_EQ(window.lastMethod, untouched.lastMethod);
    EXPECT_EQ(window.split, untouched.split);
    EXPECT_EQ(config.DisableHeaderCorrection, 1);
    EXPECT_EQ(config.DisableMPEGFileSplit, 1) << "missing: back to its default";
    EXPECT_EQ(config.DisableMPEGPadding, 1);
    EXPECT_EQ(config.DisableErrorPrompts, 3);
    EXPECT_EQ(config.DisableAudioWarningBell, 1);
}

TEST(SettingsWholeNumber, AcceptsOnlyWholeNumbers) {
    EXPECT_EQ(WholeNumber("12"), 12);
    EXPECT_EQ(WholeNumber(" -3 "), -3);
    EXPECT_EQ(WholeNumber("2147483647"), 2147483647);
    for (const char* bad : {"", " ", "1.5", "x1", "12a", "-", "99999999999"})
        EXPECT_FALSE(WholeNumber(bad).has_value()) << bad;
}

}  // namespace
