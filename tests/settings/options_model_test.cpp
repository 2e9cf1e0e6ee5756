// The options window's values over the settings key, without a window.
#include "settings/options_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/registry_settings.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;
const std::string kKey = kSettingsKey;

struct Options : ::testing::Test {
    fakes::MemoryRegistry mem;
    platform::LatchedRegistry reg{mem};
    OptionsModel model{reg, "/opt/pellmor/"};
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    fs::path bins = fs::temp_directory_path() / ("pm_options_" + std::to_string(::getpid()));

    void SetUp() override {
        setenv("TMPDIR", "/var/tmp/pm", 1);
        fs::remove_all(bins);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        setenv("PATH", oldPath.c_str(), 1);
        fs::remove_all(bins);
    }
    void storeInt(const std::string& name, int32_t v) { mem.keys[kKey][name] = {false, v, {}}; }
    void storeText(const std::string& name, const std::string& v) { mem.keys[kKey][name] = {true, 0, v}; }
    // An executable file of that name in a folder of its own.
    std::string fakeProgram(const std::string& folder, const std::string& name) {
        fs::create_directories(bins / folder);
        fs::path p = bins / folder / name;
        std::ofstream(p) << "#!/bin/sh\n";
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
};

TEST_F(Options, EmptyStoreGivesEveryDefaultAndCreatesNothing) {
    setenv("PATH", "", 1);
    const OptionsValues v = model.Load();
    EXPECT_FALSE(mem.keyExists(kKey)) << "a load never creates the key";
    EXPECT_FALSE(v.disableHeader);
    EXPECT_TRUE(v.disableSplit);
    EXPECT_FALSE(v.disablePad);
    EXPECT_FALSE(v.disableErrorPrompts);
    EXPECT_FALSE(v.disableAudio);
    EXPECT_FALSE(v.includeCuePath);
    EXPECT_TRUE(v.scanCdi);
    EXPECT_FALSE(v.addCdiApplication) << "no CD-i application files ship";
    EXPECT_TRUE(v.philipsCompliant);
    EXPECT_TRUE(v.svcdMpeg2Directory);
    EXPECT_TRUE(v.svcdEntryVcd);
    EXPECT_EQ(v.passColour, 0x9EEC7D);
    EXPECT_EQ(v.warningColour, 0x75D8F9);
    EXPECT_EQ(v.errorColour, 0x3A3AFC);
    EXPECT_EQ(v.passThreshold, 30);
    EXPECT_EQ(v.warningThreshold, 200);
    EXPECT_EQ(v.priority, 3);
    EXPECT_EQ(v.archiver, "");
    EXPECT_EQ(v.decompressParams, "x -v -y");
    EXPECT_EQ(v.compressParams, "a");
    EXPECT_EQ(v.tempDir, "/var/tmp/pm");
    EXPECT_EQ(v.langDir, "/opt/pellmor/lang/");
    EXPECT_EQ(v.manualDir, "/opt/pellmor/manual/");
    EXPECT_EQ(v.cdiFiles[0], "/opt/pellmor/CDI/CDI_IMAG.RTF");
    EXPECT_EQ(v.cdiFiles[1], "/opt/pellmor/CDI/CDI_TEXT.FNT");
    EXPECT_EQ(v.cdiFiles[2], "/opt/pellmor/CDI/CDI_VCD.APP");
    EXPECT_EQ(v.cdiFiles[3], "/opt/pellmor/CDI/CDI_VCD.CFG");
}

TEST_F(Options, ArchiverIsTheFirstOfRarUnarUnrarOnThePath) {
    const std::string rar = fakeProgram("a", "rar"), unar = fakeProgram("b", "unar"),
                      unrar = fakeProgram("c", "unrar");
    fs::create_directories(bins / "d");
    std::ofstream(bins / "d" / "rar") << "not executable";
    fs::permissions(bins / "d" / "rar", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(bins / "e" / "rar");  // a folder of that name is no program
    const std::string a = (bins / "a").string(), b = (bins / "b").string(), c = (bins / "c").string(),
                      d = (bins / "d").string(), e = (bins / "e").string();
    struct Case {
        std::string path, expect;
    } cases[] = {
        {c + ":" + b + ":" + a, rar},   // rar wins wherever it stands
        {c + ":" + b, unar},            // unar before unrar (it reads volume sets)
        {c, unrar},
        {d + ":" + e + ":" + c, unrar}, // neither a non-executable file nor a folder counts
        {"", ""},
        {d, ""},
        {"::" + a + "/", rar + ""},     // empty entries are skipped, a trailing "/" kept single
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        setenv("PATH", k.path.c_str(), 1);
        EXPECT_EQ(model.Load().archiver, k.expect);
    }
    storeText("RARArchiverLocation", "/usr/local/bin/myrar");
    EXPECT_EQ(model.Load().archiver, "/usr/local/bin/myrar") << "a stored location wins";
}

TEST_F(Options, StoredValuesShowAndOutOfRangeOnesTakeTheirDefaults) {
    storeInt("DisableHeaderCorrection", 1);
    storeInt("DisableMPEGFileSplit", 0);
    storeInt("DisableErrorPrompts", 0x4000);  // a batch bit only: no setting bit
    storeInt("AddCDIApplication", 1);
    storeInt("SVCD_PhilipsCompliant", 0);
    storeInt("SVCD_UseMPEG2Directory", 0);
    storeInt("SVCD_UseENTRYVCD", 0);
    storeText("RARArchiverParam", "e -y");
    storeText("CDI_FontFile", "");
    struct Bad {
        const char* name;
        int32_t value;
    } bad[] = {{"PriorityLevel", 9},        {"Pass_Threshold", 10000}, {"Warning_Threshold", -1},
               {"Pass_Clr", 0x1000000},     {"Error_Clr", -5}};
    for (const Bad& b : bad) storeInt(b.name, b.value);
    storeText("Warning_Clr", "blue");  // the wrong type

    const OptionsValues v = model.Load();
    EXPECT_TRUE(v.disableHeader);
    EXPECT_FALSE(v.disableSplit);
    EXPECT_FALSE(v.disableErrorPrompts);
    EXPECT_TRUE(v.addCdiApplication) << "a stored value is honoured";
    EXPECT_FALSE(v.philipsCompliant);
    EXPECT_FALSE(v.svcdMpeg2Directory);
    EXPECT_FALSE(v.svcdEntryVcd);
    EXPECT_EQ(v.decompressParams, "e -y");
    EXPECT_EQ(v.cdiFiles[1], "") << "an empty stored path stays empty";
    EXPECT_EQ(v.priority, 6) << "the track bar keeps 9 at its end";
    EXPECT_EQ(v.passThreshold, 30);
    EXPECT_EQ(v.warningThreshold, 200);
    EXPECT_EQ(v.passColour, 0x9EEC7D);
    EXPECT_EQ(v.warningColour, 0x75D8F9);
    EXPECT_EQ(v.errorColour, 0x3A3AFC);

    // The main window's load agrees on what the next job uses.
    TConfig config;
    MainWindowValues window;
    RegistrySettings(reg, "/opt/pellmor/").Load(LoadMode::Full, config, window);
    EXPECT_EQ(config.PriorityLevel, 3) << "the start-up load takes the default for 9; only the window clamps it";
    EXPECT_EQ(config.Pass_Threshold, v.passThreshold);
    EXPECT_EQ(config.Warning_Clr, v.warningColour);
}

TEST_F(Options, SaveWritesEveryValueAndReadsBack) {
    OptionsValues v;
    v.disableHeader = v.disablePad = v.disableErrorPrompts = v.disableAudio = v.includeCuePath = true;
    v.disableSplit = v.scanCdi = v.philipsCompliant = v.svcdMpeg2Directory = v.svcdEntryVcd = false;
    v.addCdiApplication = true;
    v.passColour = 0x0000FF;
    v.warningColour = 0x00FF00;
    v.errorColour = 0xFF0000;
    v.passThreshold = 0;
    v.warningThreshold = 9999;
    v.priority = 6;
    v.archiver = "/usr/bin/unar";
    v.decompressParams = "";
    v.compressParams = "a -m5";
    v.tempDir = "/scratch";
    v.langDir = "/l/";
    v.manualDir = "/m/";
    v.cdiFiles = {"/c/1.rtf", "/c/2.fnt", "/c/3.app", "/c/4.cfg"};
    v.languageFile = "/l/deutsch.lng";
    model.Save(v);

    const std::vector<std::string> written = {
        "DisableHeaderCorrection", "DisableMPEGFileSplit", "DisableMPEGPadding", "DisableErrorPrompts",
        "DisableAudioWarningBell", "CUEIndexFullPath", "AlwaysScanForCDI", "PriorityLevel", "RARArchiverLocation",
        "RARArchiverParam", "RARCompressParam", "AddCDIApplication", "SVCD_PhilipsCompliant",
        "SVCD_UseMPEG2Directory", "SVCD_UseENTRYVCD", "CDI_ImageFile", "CDI_FontFile", "CDI_ApplicationFile",
        "CDI_ConfigurationFile", "TempDirectory", "LanguageFileDirectory", "ManualFAQDirectory", "LanguageFile",
        "Pass_Clr", "Warning_Clr", "Error_Clr", "Pass_Threshold", "Warning_Threshold"};
    EXPECT_EQ(mem.keys[kKey].size(), written.size());
    for (const std::string& name : written) EXPECT_TRUE(mem.keys[kKey].count(name)) << name;
    EXPECT_TRUE(mem.keys[kKey]["RARArchiverParam"].isString) << "an empty text is written as it stands";

    OptionsValues back = model.Load();
    EXPECT_TRUE(back.disableHeader && back.disablePad && back.disableErrorPrompts && back.disableAudio &&
                back.includeCuePath && back.addCdiApplication);
    EXPECT_FALSE(back.disableSplit || back.scanCdi || back.philipsCompliant || back.svcdMpeg2Directory ||
                 back.svcdEntryVcd);
    EXPECT_EQ(back.passColour, 0x0000FF);
    EXPECT_EQ(back.warningColour, 0x00FF00);
    EXPECT_EQ(back.errorColour, 0xFF0000);
    EXPECT_EQ(back.passThreshold, 0);
    EXPECT_EQ(back.warningThreshold, 9999);
    EXPECT_EQ(back.priority, 6);
    EXPECT_EQ(back.archiver, "/usr/bin/unar");
    EXPECT_EQ(back.decompressParams, "");
    EXPECT_EQ(back.compressParams, "a -m5");
    EXPECT_EQ(back.tempDir, "/scratch");
    EXPECT_EQ(back.cdiFiles, v.cdiFiles);
    EXPECT_EQ(back.languageFile, "/l/deutsch.lng");
}

TEST_F(Options, UninstallLeavesNothingUntilTheUserSavesAgain) {
    model.Save(OptionsValues{});
    ASSERT_TRUE(model.KeyExists());
    model.Uninstall();
    EXPECT_FALSE(model.KeyExists());
    EXPECT_TRUE(reg.latched());

    // Nothing else in the run brings it back: the main window's save and
    // load, or another window's own value.
    TConfig config;
    MainWindowValues window;
    RegistrySettings main(reg, "/opt/pellmor/");
    main.Save(config, window);
    main.Load(LoadMode::Full, config, window);
    model.Load();
    if (reg.openKey(kSettingsKey, true)) {
        EXPECT_FALSE(reg.writeInteger("BatchProcessorPosX", 10));
        reg.closeKey();
    }
    EXPECT_FALSE(mem.keyExists(kKey));

    // OK in a later options window: the user chose settings again.
    model.Save(OptionsValues{});
    EXPECT_FALSE(reg.latched());
    EXPECT_TRUE(model.KeyExists());
    main.Save(config, window);
    EXPECT_TRUE(mem.keys[kKey].count("LastMethod"));
}

TEST(CdiCaption, ShortensByCharacters) {
    const std::string thirty(30, 'a');
    std::string thirtyOne = "/0123456789ab" + std::string(5, 'x') + "cdefghijklmn/";
    ASSERT_EQ(thirtyOne.size(), 31u);
    // 31 characters, 13 of them two-byte ones at each end.
    std::string umlauts;
    for (int i = 0; i < 13; ++i) umlauts += "\xC3\xA4";  // ä
    umlauts += "/mid/";
    for (int i = 0; i < 13; ++i) umlauts += "\xC3\xB6";  // ö
    const std::string euro = std::string(29, 'e') + "\xE2\x82\xAC";  // 30 characters, 32 bytes
    const std::string latin1 = std::string(20, 'l') + "\xE4" + std::string(10, 'm');  // 31 single bytes
    struct Case {
        std::string path, caption;
    } cases[] = {
        {"", "Undefined"},
        {"/c/CDI_IMAG.RTF", "/c/CDI_IMAG.RTF"},
        {thirty, thirty},
        {thirtyOne, "/0123456789ab.....cdefghijklmn/"},
        {umlauts, umlauts.substr(0, 26) + "....." + umlauts.substr(umlauts.size() - 26)},
        {euro, euro},
        {latin1, std::string(13, 'l') + ".....ll\xE4" + std::string(10, 'm')},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        EXPECT_EQ(CdiButtonCaption(k.path, "Undefined"), k.caption);
    }
}

}  // namespace
