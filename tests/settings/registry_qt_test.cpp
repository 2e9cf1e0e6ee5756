#include "platform/qt/registry_qt.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "settings/registry_settings.h"

namespace {

struct QtStore : ::testing::Test {
    QTemporaryDir home;
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
};

TEST_F(QtStore, LivesInTheUsersConfigDirectory) {
    platform::qt::QtRegistry reg;
    EXPECT_EQ(reg.fileName(), home.path() + "/Pellmor/Pellmor.ini");
}

TEST_F(QtStore, ValuesSurviveANewInstanceWithTheirTypes) {
    {
        platform::qt::QtRegistry reg;
        EXPECT_FALSE(reg.openKey(kSettingsKey, false)) << "no key yet";
        ASSERT_TRUE(reg.openKey(kSettingsKey, true));
        EXPECT_TRUE(reg.writeInteger("LastMethod", 13));
        EXPECT_TRUE(reg.writeInteger("DisableErrorPrompts", -8191));
        EXPECT_TRUE(reg.writeString("TempDirectory", "/tmp/with space, and comma"));
        EXPECT_TRUE(reg.writeString("LanguageFile", "/l/fran\xc3\xa7" "ais.lng"));
        EXPECT_TRUE(reg.writeString("Empty", ""));
        reg.closeKey();
    }
    platform::qt::QtRegistry reg;
    ASSERT_TRUE(reg.openKey(kSettingsKey, false));
    EXPECT_EQ(reg.readInteger("LastMethod"), 13);
    EXPECT_EQ(reg.readInteger("DisableErrorPrompts"), -8191);
    EXPECT_EQ(reg.readString("TempDirectory"), "/tmp/with space, and comma");
    EXPECT_EQ(reg.readString("LanguageFile"), "/l/fran\xc3\xa7" "ais.lng");
    EXPECT_EQ(reg.readString("Empty"), "");
    EXPECT_FALSE(reg.readInteger("TempDirectory").has_value()) << "a text is not a number";
    EXPECT_FALSE(reg.valueExists("Missing"));
    EXPECT_FALSE(reg.readInteger("Missing").has_value());
    reg.closeKey();
    EXPECT_FALSE(reg.valueExists("LastMethod")) << "nothing is read through a closed key";
}

TEST_F(QtStore, ALatinOneFolderNameComesBackAsItsBytes) {
    const std::string folder = home.path().toStdString() + "/vid\xE9os";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    {
        platform::qt::QtRegistry reg;
        ASSERT_TRUE(reg.openKey(kSettingsKey, true));
        EXPECT_TRUE(reg.writeString("DefaultLoadDir", folder));
        EXPECT_TRUE(reg.writeString("DefaultSaveDir", "/v/vid\xC3\xA9os"));
        reg.closeKey();
    }
    platform::qt::QtRegistry reg;
    ASSERT_TRUE(reg.openKey(kSettingsKey, false));
    EXPECT_EQ(reg.readString("DefaultLoadDir"), folder);
    EXPECT_TRUE(std::filesystem::is_directory(*reg.readString("DefaultLoadDir")));
    EXPECT_EQ(reg.readString("DefaultSaveDir"), "/v/vid\xC3\xA9os") << "UTF-8 stays text";
    QSettings file(reg.fileName(), QSettings::IniFormat);
    EXPECT_EQ(file.value("Software/Pellmor/DefaultSaveDir").typeId(), QMetaType::QString);
}

TEST_F(QtStore, DeleteKeyRemovesEveryValue) {
    platform::qt::QtRegistry reg;
    ASSERT_TRUE(reg.openKey(kSettingsKey, true));
    reg.writeInteger("A", 1);
    reg.closeKey();
    EXPECT_TRUE(reg.keyExists(kSettingsKey));
    EXPECT_TRUE(reg.deleteKey(kSettingsKey));
    EXPECT_FALSE(reg.keyExists(kSettingsKey));
    platform::qt::QtRegistry other;
    EXPECT_FALSE(other.openKey(kSettingsKey, false));
}

TEST_F(QtStore, SettingsRoundTripThroughTheFile) {
    TConfig config;
    MainWindowValues window;
    {
        platform::qt::QtRegistry reg;
        RegistrySettings s(reg, "/p/");
        s.Load(LoadMode::Full, config, window);
        config.TempDirectory = "/scratch";
        window.lastMethod = 5;
        window.split = 1;
        s.Save(config, window);
    }
    platform::qt::QtRegistry reg;
    RegistrySettings s(reg, "/p/");
    TConfig c;
    MainWindowValues w;
    s.Load(LoadMode::Full, c, w);
    EXPECT_EQ(c.TempDirectory, "/scratch");
    EXPECT_EQ(c.ManualFAQDirectory, "/p/manual/");
    EXPECT_EQ(w.lastMethod, 5);
    EXPECT_EQ(w.split, 1);
    EXPECT_EQ(c.DisableMPEGFileSplit, 1);
}

}  // namespace
