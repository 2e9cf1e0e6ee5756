// The options window, opened from the real main window offscreen; the
// settings are read back from the ini file of the Qt registry under a
// temporary XDG_CONFIG_HOME.
#include "settings/options_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/main_window/main_window.h"
#include "app/extraction_page/extraction_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "batch/batch_window.h"
#include "tools/sample_clip_window.h"
#include "core/temp_file.h"
#include "tests/app/window_geometry.h"
#include "tests/app/window_test_app.h"
#include "tests/engine/job_harness.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;
using harness::Fixture;

const std::string kExeDir = std::string(PELLMOR_BUILD_DIR) + "/";

struct OptionsWindow : ::testing::Test {
    QTemporaryDir config;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    std::unique_ptr<TForm1> w;
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::string work = CreateTempDir("pellmor-options-");

    void SetUp() override {
        WindowTestApp();
        ASSERT_TRUE(config.isValid());
        setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
        setenv("TMPDIR", "/var/tmp", 1);
    }
    void TearDown() override {
        w.reset();
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("TMPDIR");
        setenv("PATH", oldPath.c_str(), 1);
        std::error_code ec;
        fs::remove_all(work, ec);
    }

    QString ini() const { return config.path() + "/Pellmor/Pellmor.ini"; }
    // Every value of the settings key in the ini file.
    std::map<std::string, QString> stored() const {
        QSettings s(ini(), QSettings::IniFormat);
        std::map<std::string, QString> values;
        for (const QString& k : s.allKeys()) values[k.toStdString()] = s.value(k).toString();
        return values;
    }
    std::optional<QString> value(const char* name) const {
        auto all = stored();
        auto it = all.find(std::string("Software/Pellmor/") + name);
        if (it == all.end()) return std::nullopt;
        return it->second;
    }
    void store(std::initializer_list<std::pair<const char*, QVariant>> values) {
        QSettings s(ini(), QSettings::IniFormat);
        for (const auto& [name, v] : values) s.setValue(QString("Software/Pellmor/") + name, v);
    }
    // The real main window over the Qt registry.
    TForm1& Open() {
        TForm1::Services s;
        s.dialogs = &dialogs;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.exeDir = kExeDir;
        w = std::make_unique<TForm1>(std::move(s));
        w->show();
        return *w;
    }
    template <class T>
    T* find(QWidget* in, const char* name) {
        T* c = in->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    int WithOptions(const std::function<void()>& click, const std::function<void(TForm2&)>& act) {
        return WhileModal<TForm2>(click, act);
    }
    int WithOptions(const std::function<void(TForm2&)>& act) {
        return WithOptions([&] { find<QPushButton>(w.get(), "optionsButton")->click(); }, act);
    }
    static void Key(QWidget* to, int key, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(to, &press);
    }
    static void MouseUp(QWidget* on) {
        const QPointF at(on->width() / 2.0, on->height() / 2.0);
        QMouseEvent up(QEvent::MouseButtonRelease, at, on->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(on, &up);
    }
    static int32_t Bgr(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        auto* log = find<QListWidget>(w.get(), "log");
        for (int i = 0; i < log->count(); ++i) lines.push_back(log->item(i)->text().toStdString());
        return lines;
    }
    // An executable of that name in a folder of its own; returns the folder.
    std::string FakeProgram(const std::string& name) {
        const fs::path dir = fs::path(work) / ("bin-" + name);
        fs::create_directories(dir);
        std::ofstream(dir / name) << "#!/bin/sh\n";
        fs::permissions(dir / name, fs::perms::owner_all);
        return dir.string();
    }
    // A whole language file: the built-in texts with some replaced; extra
    // entries in the component section make it one too many.
    std::string Language(const std::string& name, std::map<std::pair<LangSection, int>, std::string> changes,
                         int extraComponents = 0, const std::string& firstLine = "#PELLMOR_LANGUAGE_FILE") {
        const TLanguageSet builtIn;
        const std::string path = work + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out << firstLine << "\n#LANGUAGE_SET_COMMENTS\nComments of " << name << "\n#END_LANGUAGE_SET_COMMENTS\n";
        for (int s = 0; s < TLanguageSet::kSectionCount; ++s) {
            const auto section = static_cast<LangSection>(s);
            out << "#" << TLanguageSet::SectionName(section) << "\n";
            for (int i = 0; i < TLanguageSet::kSlots[static_cast<size_t>(s)]; ++i) {
                auto it = changes.find({section, i});
                std::string text = it != changes.end() ? it->second : builtIn.text(section, i);
                for (char& ch : text)
                    if (ch == '\n' || ch == '\r') ch = ' ';  // one line per entry
                out << text << "\n";
            }
            if (section == LangSection::COMPONENT_MSGS)
                for (int i = 0; i < extraComponents; ++i) out << "extra\n";
            out << "#END_" << TLanguageSet::SectionName(section) << "\n";
        }
        out << "#END_PELLMOR_LANGUAGE_FILE\n";
        return path;
    }
    // A component section of three entries, closed by its end line.
    std::string Short(const std::string& name) {
        const std::string path = work + "/" + name;
        std::ofstream(path, std::ios::binary)
            << "#PELLMOR_LANGUAGE_FILE\n#LANGUAGE_SET_COMMENTS\nComments of " << name
            << "\n#END_LANGUAGE_SET_COMMENTS\n#COMPONENT_MSGS\nKurz\nKurz\nKurz\n#END_COMPONENT_MSGS\n"
               "#END_PELLMOR_LANGUAGE_FILE\n";
        return path;
    }
    std::string German() {
        return Language("deutsch.lng", {{{LangSection::LANGUAGE_SET_INFO, 0}, "Deutsch"},
                                        {{LangSection::COMPONENT_MSGS, 65}, "Allgemein"},
                                        {{LangSection::COMPONENT_MSGS, 31}, "Gut"},
                                        {{LangSection::COMPONENT_MSGS, 73}, "Optionen"},
                                        {{LangSection::COMPONENT_MSGS, 95}, "Warnungen"},
                                        {{LangSection::CORE_PROGRAM_MSGS, 15}, "normal-de"}});
    }
};

QString TabText(TForm2& f, QWidget* sheet) { return f.OptionsPage->tabText(f.OptionsPage->indexOf(sheet)); }

// ---------------------------------------------------------------- opening and defaults

TEST_F(OptionsWindow, OpensOnGeneralFromTheButtonAndOnVideoCdFromTheLink) {
    Open();
    int tab = -1;
    int result = WithOptions([&](TForm2& f) {
        tab = f.OptionsPage->currentIndex();
        const char* tabs[] = {"TabSheet1", "TabSheet2", "TabSheet5", "TabSheet3", "TabSheet4", "TabSheet6"};
        const char* captions[] = {"General", "Directories", "VideoCD", "Language", "Display", "Uninstall"};
        ASSERT_EQ(f.OptionsPage->count(), 6);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(f.OptionsPage->widget(i)->objectName(), QString(tabs[i]));
            EXPECT_EQ(f.OptionsPage->tabText(i), QString(captions[i]));
        }
        for (const char* name :
             {"OptionsOk", "OptionsCancel", "OptionBox", "disableHeaderBox", "disableSplitBox", "disablePadBox",
              "disableErrorBox", "disableAudio", "includeCUEPath", "scanCDI", "priorityLevel", "priorityLabel",
              "pLevel", "RARlocation", "archiverBrowse", "decompParams", "compParams", "decompressLabel",
              "decompParamLabel", "compParamLabel", "langDir", "tempDir", "manDir", "langDirSelectButton",
              "tmpDirSelectButton", "manDirSelectButton", "langDirLabel", "tempDirLabel", "manDirLabel",
              "VideoCDGroupBox", "addCDIAppBox", "cdi_imageButton", "cdi_textButton", "cdi_vcdappButton",
              "cdi_vcdcfgButton", "Label1", "Label2", "Label3", "Label4", "SVCDdir", "SVCDentry", "GroupBox1",
              "PhilipsCheckBox", "langSelButton", "langSetGroup", "langLabel", "langVerLabel", "langBy",
              "langIDLabel", "verLabel", "transLabel", "commentsGroup", "commentMemo", "ErrorLabel", "WarnLabel",
              "PassLabel", "ErrorShape", "WarningShape", "PassShape", "ShowPassLabel", "editMaxPass", "UpDown1",
              "DispFixLabel1", "ShowWarnLabel", "editMaxWarning", "UpDown2", "DispFixLabel2", "uninstallButton"})
            EXPECT_NE(f.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
        EXPECT_EQ(f.windowTitle(), QString("Options"));
        EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "fixed size";
        f.OptionsOk->click();
    });
    EXPECT_EQ(tab, 0);
    EXPECT_EQ(result, 1) << "OK ends with 1";

    w->buildVCDButtonClick();
    result = WithOptions([&] { emit find<TClickLabel>(w.get(), "VCDOptionLink")->clicked(); },
                         [&](TForm2& f) {
                             tab = f.OptionsPage->currentIndex();
                             f.OptionsCancel->click();
                         });
    EXPECT_EQ(tab, 2);
    EXPECT_EQ(result, 2) << "Cancel ends with 2";
}

TEST_F(OptionsWindow, EmptyStoreShowsEveryDefault) {
    const std::string rar = FakeProgram("rar"), unar = FakeProgram("unar"), unrar = FakeProgram("unrar");
    struct Case {
        std::string path, archiver;
    } cases[] = {
        {unrar + ":" + unar + ":" + rar, rar + "/rar"},
        {unrar + ":" + unar, unar + "/unar"},
        {unrar, unrar + "/unrar"},
        {work, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QFile::remove(ini());
        setenv("PATH", c.path.c_str(), 1);
        Open();
        WithOptions([&](TForm2& f) {
            EXPECT_EQ(f.RARlocation->text().toStdString(), c.archiver);
            EXPECT_EQ(f.decompParams->text(), QString("x -v -y"));
            EXPECT_EQ(f.compParams->text(), QString("a"));
            EXPECT_EQ(f.priorityLevel->value(), 3);
            EXPECT_EQ(f.pLevel->text(), QString("normal"));
            EXPECT_EQ(f.editMaxPass->text(), QString("30"));
            EXPECT_EQ(f.UpDown1->value(), 30);
            EXPECT_EQ(f.editMaxWarning->text(), QString("200"));
            EXPECT_EQ(f.UpDown2->value(), 200);
            EXPECT_EQ(f.PassShape->brushColour(), 0x9EEC7D);
            EXPECT_EQ(f.WarningShape->brushColour(), 0x75D8F9);
            EXPECT_EQ(f.ErrorShape->brushColour(), 0x3A3AFC);
            EXPECT_EQ(f.tempDir->text(), QString("/var/tmp"));
            EXPECT_EQ(f.langDir->text().toStdString(), kExeDir + "lang/");
            EXPECT_EQ(f.manDir->text().toStdString(), kExeDir + "manual/");
            const char* files[] = {"CDI_IMAG.RTF", "CDI_TEXT.FNT", "CDI_VCD.APP", "CDI_VCD.CFG"};
            QPushButton* buttons[] = {f.cdi_imageButton, f.cdi_textButton, f.cdi_vcdappButton, f.cdi_vcdcfgButton};
            for (int i = 0; i < 4; ++i) {
                const std::string path = kExeDir + "CDI/" + files[i];
                EXPECT_EQ(buttons[i]->toolTip().toStdString(), path);
                EXPECT_EQ(buttons[i]->text().toStdString(), CdiButtonCaption(path, "Undefined"));
                EXPECT_FALSE(buttons[i]->isEnabled()) << "Add CD-i Application is unticked";
            }
            EXPECT_FALSE(f.addCDIAppBox->isChecked());
            EXPECT_TRUE(f.PhilipsCheckBox->isChecked());
            EXPECT_TRUE(f.SVCDdirItems[0]->isChecked());
            EXPECT_TRUE(f.SVCDentryItems[0]->isChecked());
            EXPECT_TRUE(f.disableSplitBox->isChecked());
            EXPECT_TRUE(f.scanCDI->isChecked());
            EXPECT_FALSE(f.disableHeaderBox->isChecked() || f.disablePadBox->isChecked() ||
                         f.disableErrorBox->isChecked() || f.disableAudio->isChecked() ||
                         f.includeCUEPath->isChecked());
            EXPECT_TRUE(f.uninstallButton->isEnabled()) << "the main window saved just before";
            f.OptionsCancel->click();
        });
        w.reset();
    }
}

TEST_F(OptionsWindow, StoredValuesShowAndOkSavesWhatIsShown) {
    const std::string thirty = "/media/disc/cdi/CDI_IMAG.RTF12";  // 30 characters
    const std::string thirtyOne = "/media/disc/cdi/CDI_TEXT.FNT123";
    const std::string umlauts = "/medien/\xC3\xA4\xC3\xB6\xC3\xBC/\xC3\xA4\xC3\xB6\xC3\xBC/\xC3\xA4\xC3\xB6\xC3\xBC/"
                                "\xC3\xA4\xC3\xB6\xC3\xBC/CDI_VCD.APP";
    store({{"PriorityLevel", 9},
           {"Pass_Threshold", 12000},
           {"Warning_Threshold", 150},
           {"Pass_Clr", 0x1000000},
           {"Warning_Clr", 0x00FF00},
           {"Error_Clr", "red"},
           {"DisableMPEGPadding", 1},
           {"AddCDIApplication", 1},
           {"SVCD_PhilipsCompliant", 0},
           {"SVCD_UseMPEG2Directory", 0},
           {"SVCD_UseENTRYVCD", 0},
           {"RARArchiverLocation", "/opt/rar/rar"},
           {"RARArchiverParam", "e"},
           {"CDI_ImageFile", QString::fromStdString(thirty)},
           {"CDI_FontFile", QString::fromStdString(thirtyOne)},
           {"CDI_ApplicationFile", QString::fromUtf8(umlauts.c_str())},
           {"CDI_ConfigurationFile", ""}});
    Open();
    WithOptions([&](TForm2& f) {
        struct Row {
            const char* what;
            QString shown, expected;
        } rows[] = {
            {"priority 9 stops at the track bar's end", QString::number(f.priorityLevel->value()), "6"},
            {"its level's name", f.pLevel->text(), "critical"},
            {"pass threshold out of range", f.editMaxPass->text(), "30"},
            {"warning threshold", f.editMaxWarning->text(), "150"},
            {"pass colour out of range", QString::number(f.PassShape->brushColour(), 16), "9eec7d"},
            {"warning colour", QString::number(f.WarningShape->brushColour(), 16), "ff00"},
            {"error colour of the wrong type", QString::number(f.ErrorShape->brushColour(), 16), "3a3afc"},
            {"padding", QString::number(f.disablePadBox->isChecked()), "1"},
            {"Philips", QString::number(f.PhilipsCheckBox->isChecked()), "0"},
            {"MPEGAV", QString::number(f.SVCDdirItems[1]->isChecked()), "1"},
            {"ENTRYSVD", QString::number(f.SVCDentryItems[1]->isChecked()), "1"},
            {"archiver", f.RARlocation->text(), "/opt/rar/rar"},
            {"parameters", f.decompParams->text(), "e"},
            {"30 characters whole", f.cdi_imageButton->text(), QString::fromStdString(thirty)},
            {"31 characters cut", f.cdi_textButton->text(), "/media/disc/c.....I_TEXT.FNT123"},
            {"cut between characters", f.cdi_vcdappButton->text(),
             QString::fromUtf8("/medien/äöü/ä.....ü/CDI_VCD.APP")},
            {"empty path", f.cdi_vcdcfgButton->text(), "Undefined"},
        };
        for (const Row& r : rows) EXPECT_EQ(r.shown, r.expected) << r.what;
        EXPECT_EQ(f.cdi_vcdcfgButton->toolTip(), QString());
        // The box enables and disables the four buttons.
        for (bool on : {true, false, true}) {
            f.addCDIAppBox->setChecked(on);
            for (QPushButton* b : {f.cdi_imageButton, f.cdi_textButton, f.cdi_vcdappButton, f.cdi_vcdcfgButton})
                EXPECT_EQ(b->isEnabled(), on) << b->objectName().toStdString();
        }
        // A chosen file: its path in the hint, the caption made from it.
        files.scriptOpen("/srv/cdi/a/very/long/path/to/CDI_VCD.CFG");
        f.cdi_vcdcfgButton->click();
        EXPECT_EQ(files.lastShown().Filter, "*.cfg (CDI application files)|*.cfg");
        EXPECT_EQ(f.cdi_vcdcfgButton->text(), QString("/srv/cdi/a/ve.....o/CDI_VCD.CFG"));
        files.scriptOpen(std::nullopt);
        f.cdi_imageButton->click();
        EXPECT_EQ(f.cdi_imageButton->toolTip().toStdString(), thirty) << "a cancelled dialog changes nothing";
        f.OptionsOk->click();
    });
    EXPECT_EQ(value("PriorityLevel"), "6");
    EXPECT_EQ(value("Pass_Threshold"), "30");
    EXPECT_EQ(value("Warning_Threshold"), "150");
    EXPECT_EQ(value("Pass_Clr"), QString::number(0x9EEC7D));
    EXPECT_EQ(value("Error_Clr"), QString::number(0x3A3AFC));
    EXPECT_EQ(value("CDI_ApplicationFile"), QString::fromUtf8(umlauts.c_str()));
    EXPECT_EQ(value("CDI_ConfigurationFile"), "/srv/cdi/a/very/long/path/to/CDI_VCD.CFG");
    EXPECT_EQ(w->MainConfig->PriorityLevel, 6) << "the main window reloaded what was saved";
}

// ---------------------------------------------------------------- OK and the other ways out

TEST_F(OptionsWindow, OkWritesEveryValueAndTheOtherWaysOutWriteNothing) {
    Open();
    const std::vector<const char*> windowValues = {
        "DisableHeaderCorrection", "DisableMPEGFileSplit", "DisableMPEGPadding", "DisableErrorPrompts",
        "DisableAudioWarningBell", "CUEIndexFullPath", "AlwaysScanForCDI", "PriorityLevel", "RARArchiverLocation",
        "RARArchiverParam", "RARCompressParam", "AddCDIApplication", "SVCD_PhilipsCompliant",
        "SVCD_UseMPEG2Directory", "SVCD_UseENTRYVCD", "CDI_ImageFile", "CDI_FontFile", "CDI_ApplicationFile",
        "CDI_ConfigurationFile", "TempDirectory", "LanguageFileDirectory", "ManualFAQDirectory", "LanguageFile",
        "Pass_Clr", "Warning_Clr", "Error_Clr", "Pass_Threshold", "Warning_Threshold"};
    // Three ways out that write nothing, each after a change.
    const std::function<void(TForm2&)> ways[] = {
        [](TForm2& f) { f.OptionsCancel->click(); },
        [](TForm2& f) { Key(f.editMaxWarning, Qt::Key_Escape); },
        [](TForm2& f) { f.close(); },
    };
    for (const auto& way : ways) {
        const int result = WithOptions([&](TForm2& f) {
            f.priorityLevel->setValue(6);
            f.disableHeaderBox->setChecked(true);
            way(f);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(value("PriorityLevel"), std::nullopt);
        EXPECT_EQ(value("Pass_Clr"), std::nullopt);
        EXPECT_EQ(value("DisableHeaderCorrection"), "0") << "the main window's own save before it";
    }
    // OK with nothing changed writes every value of the window.
    EXPECT_EQ(WithOptions([](TForm2& f) { f.OptionsOk->click(); }), 1);
    for (const char* name : windowValues) EXPECT_TRUE(value(name).has_value()) << name;
    EXPECT_EQ(value("PriorityLevel"), "3");
    EXPECT_EQ(value("RARArchiverParam"), "x -v -y");
    EXPECT_EQ(value("LanguageFile"), "");

    // And a change is what the next job reads.
    WithOptions([](TForm2& f) {
        f.priorityLevel->setValue(1);
        EXPECT_EQ(f.pLevel->text(), QString("lowest"));
        f.includeCUEPath->setChecked(true);
        f.OptionsOk->click();
    });
    EXPECT_EQ(value("PriorityLevel"), "1");
    EXPECT_EQ(w->MainConfig->PriorityLevel, 1);
    EXPECT_EQ(w->MainConfig->CUEIndexFullPath, 1);
}

TEST_F(OptionsWindow, ThresholdFieldsTakeDigitsOnly) {
    Open();
    const int result = WithOptions([&](TForm2& f) {
        QLineEdit* e = f.editMaxPass;
        e->setFocus();
        e->setCursorPosition(e->text().size());
        Key(e, Qt::Key_A, "a");
        Key(e, Qt::Key_Minus, "-");
        EXPECT_EQ(e->text(), QString("30")) << "letters and signs are dropped";
        Key(e, Qt::Key_5, "5");
        EXPECT_EQ(e->text(), QString("305"));
        EXPECT_EQ(f.UpDown1->value(), 305) << "the up-down follows the typed number";
        Key(e, Qt::Key_Backspace, QString(QChar(8)));
        Key(e, Qt::Key_Backspace, QString(QChar(8)));
        EXPECT_EQ(e->text(), QString("3"));
        f.UpDown2->setValue(450);
        EXPECT_EQ(f.editMaxWarning->text(), QString("450")) << "the field follows its up-down";
        Key(e, Qt::Key_Escape);
    });
    EXPECT_EQ(result, 2) << "Esc closes as Cancel";
    EXPECT_EQ(value("Pass_Threshold"), std::nullopt);
}

TEST_F(OptionsWindow, FolderAndArchiverDialogs) {
    Open();
    WithOptions([&](TForm2& f) {
        files.scriptDirectory("/srv/temp");
        f.tmpDirSelectButton->click();
        files.scriptDirectory(std::nullopt);
        f.langDirSelectButton->click();
        files.scriptDirectory("/srv/manual");
        f.manDirSelectButton->click();
        files.scriptOpen("/usr/local/bin/unar");
        f.archiverBrowse->click();
        EXPECT_EQ(files.lastShown().Filter, "All files|*") << "Linux programs have no extension";
        EXPECT_EQ(f.tempDir->text(), QString("/srv/temp"));
        EXPECT_EQ(f.langDir->text().toStdString(), kExeDir + "lang/") << "cancelled";
        f.OptionsOk->click();
    });
    EXPECT_EQ(value("TempDirectory"), "/srv/temp");
    EXPECT_EQ(value("ManualFAQDirectory"), "/srv/manual");
    EXPECT_EQ(value("RARArchiverLocation"), "/usr/local/bin/unar");
    EXPECT_EQ(w->MainConfig->TempDirectory, "/srv/temp");
}

// ---------------------------------------------------------------- language

TEST_F(OptionsWindow, LanguageChoiceWorksOnACopyUntilOk) {
    const std::string german = German();
    const std::string french = Language("francais.lng", {{{LangSection::LANGUAGE_SET_INFO, 0}, "Francais"},
                                                         {{LangSection::COMPONENT_MSGS, 65}, "General-fr"},
                                                         {{LangSection::COMPONENT_MSGS, 73}, "Options-fr"}});
    const std::string wrongFirst = Language("wrong.lng", {{{LangSection::COMPONENT_MSGS, 65}, "Wrong"}}, 0,
                                            "#SOMETHING_ELSE");
    const std::string tooMany = Language("many.lng", {{{LangSection::COMPONENT_MSGS, 65}, "Many"}}, 1);
    const std::string folder = work + "/folder.lng";
    fs::create_directories(folder);

    enum Way { kOk, kCancel, kEsc, kCloseBox };
    struct Case {
        const char* what;
        std::string inForce, chosen;
        Way way;
        const char* tabWhileOpen;  // TabSheet1's caption after the choice
        std::string stored;        // LanguageFile after the close
        const char* mainCaption;   // optionsButton after the close
        int error;                 // the error logged, 0 none
    } cases[] = {
        {"good file, OK", "", german, kOk, "Allgemein", german, "optionen", 0},
        {"good file, Cancel from no file", "", german, kCancel, "Allgemein", "", "options", 0},
        {"good file, Esc", french, german, kEsc, "Allgemein", french, "options-fr", 0},
        {"good file, close box", french, german, kCloseBox, "Allgemein", french, "options-fr", 0},
        {"wrong first line", french, wrongFirst, kOk, "General-fr", french, "options-fr", 21},
        {"too many entries", "", tooMany, kOk, "General", "", "options", 22},
        {"too few entries", french, Short("short.lng"), kOk, "General-fr", french, "options-fr", 22},
        {"a folder as the file", french, folder, kOk, "General-fr", french, "options-fr", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(ini());
        store({{"LanguageFile", QString::fromStdString(c.inForce)}});
        Open();
        const size_t logBefore = logLines().size();
        std::string memoAfter;
        WithOptions([&](TForm2& f) {
            EXPECT_EQ(f.previousLanguageFile, c.inForce);
            files.scriptOpen(c.chosen);
            f.langSelButton->click();
            EXPECT_EQ(files.lastShown().InitialDir, kExeDir + "lang/");
            EXPECT_EQ(TabText(f, f.TabSheet1), QString(c.tabWhileOpen));
            memoAfter = f.commentMemo->toPlainText().toStdString();
            switch (c.way) {
                case kOk: f.OptionsOk->click(); break;
                case kCancel: f.OptionsCancel->click(); break;
                case kEsc: Key(f.editMaxPass, Qt::Key_Escape); break;
                case kCloseBox: f.close(); break;
            }
        });
        EXPECT_EQ(value("LanguageFile").value_or("none").toStdString(), c.stored);
        EXPECT_EQ(find<QPushButton>(w.get(), "optionsButton")->text(), QString(c.mainCaption));
        EXPECT_EQ(w->languageSet->GetFileName(), c.stored);
        EXPECT_EQ(w->languageSet->comments, nullptr) << "the memo is gone with the window";
        const std::vector<std::string> log = logLines();
        if (c.error == 0) {
            EXPECT_EQ(log.size(), logBefore) << (log.size() > logBefore + 2 ? log[logBefore + 1] + log[logBefore + 2] : "");
            EXPECT_NE(memoAfter.find("Comments of deutsch.lng"), std::string::npos);
        } else {
            ASSERT_EQ(log.size(), logBefore + 4) << "four lines of one error";
            const std::string context = c.error == 22 ? "[#COMPONENT_MSGS]" : "[" + c.chosen + "]";
            EXPECT_EQ(log[logBefore + 1], context);
            EXPECT_EQ(log[logBefore + 2], "     " + w->languageSet->message(c.error));
            EXPECT_EQ(w->stats->errors.load(), 1);
            // The memo shows the comments of the language in force again.
            EXPECT_EQ(memoAfter.find("Comments of") != std::string::npos, !c.inForce.empty());
        }
        w.reset();
    }
}

// A file that fails after a good one chosen in the same window: the good
// one stays in force, in the window, in its memo and for OK.
TEST_F(OptionsWindow, AFailedLanguageChoiceKeepsTheEarlierGoodOne) {
    const std::string german = German();
    const struct {
        const char* what;
        std::string file;
        int error;
    } failures[] = {
        {"too many entries", Language("many.lng", {}, 1), 22},
        {"a closed section with too few entries", Short("short.lng"), 22},
        {"wrong first line", Language("wrong.lng", {}, 0, "#SOMETHING_ELSE"), 21},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.what);
        QFile::remove(ini());
        Open();
        const size_t logBefore = logLines().size();
        WithOptions([&](TForm2& f) {
            files.scriptOpen(german);
            f.langSelButton->click();
            ASSERT_EQ(TabText(f, f.TabSheet1), QString("Allgemein"));
            files.scriptOpen(c.file);
            f.langSelButton->click();
            EXPECT_EQ(TabText(f, f.TabSheet1), QString("Allgemein"));
            EXPECT_EQ(f.langIDLabel->text(), QString("Deutsch"));
            EXPECT_NE(f.commentMemo->toPlainText().toStdString().find("Comments of deutsch.lng"), std::string::npos);
            EXPECT_EQ(f.language().GetFileName(), german);
            f.OptionsOk->click();
        });
        const std::vector<std::string> log = logLines();
        ASSERT_EQ(log.size(), logBefore + 4) << "one error";
        EXPECT_EQ(log[logBefore + 2], "     " + TLanguageSet().message(c.error));
        EXPECT_EQ(value("LanguageFile").value_or("none").toStdString(), german);
        EXPECT_EQ(w->languageSet->GetFileName(), german);
        EXPECT_EQ(find<QPushButton>(w.get(), "optionsButton")->text(), QString("optionen"));
        w.reset();
    }
}

TEST_F(OptionsWindow, TheCounterLabelFollowsTheCopy) {
    const std::string german = German();
    Open();
    w->stats->warnings = 2;
    w->stats->Show();
    auto* counter = find<QLabel>(w.get(), "totalErrWarnings");
    EXPECT_EQ(counter->text(), QString("2 Warnings / 0 Errors"));
    WithOptions([&](TForm2& f) {
        files.scriptOpen(german);
        f.langSelButton->click();
        EXPECT_EQ(counter->text(), QString("2 Warnungen / 0 Errors"));
        EXPECT_EQ(f.langIDLabel->text(), QString("Deutsch"));
        EXPECT_EQ(f.pLevel->text(), QString("normal-de"));
        f.OptionsCancel->click();
    });
    EXPECT_EQ(counter->text(), QString("2 Warnings / 0 Errors")) << "back to the words in force";
}

// The batch window, once open, takes the language chosen with OK too.
TEST_F(OptionsWindow, BatchWindowTakesTheLanguageChosenWithOk) {
    const std::string batch = Language("batch.lng", {{{LangSection::LANGUAGE_SET_INFO, 0}, "Batch"},
                                                     {{LangSection::COMPONENT_MSGS, 39}, "Neue Aufgabe"}});
    Open();
    w->openBatchListClick();
    auto* newTask = w->BatchForm->findChild<QPushButton*>("newTaskButton");
    ASSERT_NE(newTask, nullptr);
    const QString before = newTask->text();
    WithOptions([&](TForm2& f) {
        files.scriptOpen(batch);
        f.langSelButton->click();
        f.OptionsOk->click();
    });
    EXPECT_NE(before, QString("Neue Aufgabe"));
    EXPECT_EQ(newTask->text(), QString("Neue Aufgabe"));
}

// The video-cd grid's column titles follow a language chosen with OK at
// once, with entries in the list or none.
TEST_F(OptionsWindow, BuildGridHeadersTakeTheLanguageChosenWithOk) {
    const std::string titles = Language("titles.lng", {{{LangSection::COMPONENT_MSGS, 107}, "Quelle"},
                                                       {{LangSection::COMPONENT_MSGS, 108}, "Spielzeit"}});
    for (bool entries : {false, true}) {
        SCOPED_TRACE(entries ? "with entries" : "empty list");
        QFile::remove(ini());
        Open();
        w->buildVCDButtonClick();
        if (entries) {
            ASSERT_EQ(w->videoCdPage->AddFiles({Fixture("clip_pal_vcd.mpg")}), 0);
        }
        auto* grid = find<QTableWidget>(w.get(), "TrackListGrid");
        auto title = [grid](int c) { return grid->horizontalHeaderItem(c) ? grid->horizontalHeaderItem(c)->text() : QString(); };
        ASSERT_EQ(title(2), QString("Source"));
        WithOptions([&](TForm2& f) {
            files.scriptOpen(titles);
            f.langSelButton->click();
            f.OptionsOk->click();
        });
        QCoreApplication::processEvents();
        EXPECT_EQ(title(2), QString("Quelle"));
        EXPECT_EQ(title(3), QString("Spielzeit"));
        if (entries) {
            EXPECT_EQ(grid->item(0, 2)->text().toStdString(), Fixture("clip_pal_vcd.mpg")) << "the entry stays";
        }
        w.reset();
    }
}

// The video-cd page's own clip editor lives on with the page: a language
// chosen with OK reaches its captions when it next takes the build list.
TEST_F(OptionsWindow, ClipEditorTakesTheLanguageChosenWithOk) {
    const std::string clip = Language("clip.lng", {{{LangSection::COMPONENT_MSGS, 31}, "Gut"},
                                                   {{LangSection::COMPONENT_MSGS, 122}, "Dateiname"},
                                                   {{LangSection::COMPONENT_MSGS, 126}, "setzen"}});
    QFile::remove(ini());
    Open();
    w->buildVCDButtonClick();
    ASSERT_EQ(w->videoCdPage->AddFiles({Fixture("clip_pal_vcd.mpg")}), 0);
    auto* yes = find<QRadioButton>(w.get(), "yesSample");
    auto* no = find<QRadioButton>(w.get(), "noSample");
    // Ticked as a task does it: the editor takes the list and is not shown.
    w->batchActive = 1;
    yes->setChecked(true);
    TSampleCreateForm& editor = w->OwnSampleEditor();
    ASSERT_EQ(editor.okButton->text(), QString("OK"));
    no->setChecked(true);
    WithOptions([&](TForm2& f) {
        files.scriptOpen(clip);
        f.langSelButton->click();
        f.OptionsOk->click();
    });
    yes->setChecked(true);
    w->batchActive = 0;
    EXPECT_EQ(editor.okButton->text(), QString("Gut"));
    EXPECT_EQ(editor.FilenameLabelBox->title(), QString("Dateiname"));
    EXPECT_EQ(editor.markButton->text(), QString("setzen >>"));
}

// The main window takes its settings again after the window closes: the
// "custom" spanning, stored as "80min", stays chosen.
TEST_F(OptionsWindow, CustomSpanningStaysAfterTheWindow) {
    for (bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        QFile::remove(ini());
        Open();
        w->buildVCDButtonClick();
        ASSERT_EQ(w->videoCdPage->AddFiles({Fixture("clip_pal_vcd.mpg"), Fixture("clip_pal_vcd_b.mpg")}), 0);
        find<QRadioButton>(w.get(), "imgCustom")->click();
        WithOptions([&](TForm2& f) { (ok ? f.OptionsOk : f.OptionsCancel)->click(); });
        EXPECT_TRUE(find<QRadioButton>(w.get(), "imgCustom")->isChecked());
        EXPECT_FALSE(find<QRadioButton>(w.get(), "img80")->isChecked());
        EXPECT_EQ(w->videoCdPage->List().entries.size(), 2u);
        w.reset();
    }
}

// The forced sector size fields show the sizes a job would use, also after
// the settings are taken again: an unticked size is stored as 0 and the
// field then shows 0, never a size that the job does not have.
TEST_F(OptionsWindow, ForcedSizeFieldsShowTheSizeInForceAfterTheWindow) {
    for (bool ticked : {true, false}) {
        SCOPED_TRACE(ticked ? "ticked" : "unticked");
        QFile::remove(ini());
        Open();
        auto* box = find<QCheckBox>(w.get(), "forceRead");
        auto* field = find<QLineEdit>(w.get(), "sectorReadField");
        box->click();
        field->setText("2336");
        w->extractionPage->sectorReadFieldExit();
        ASSERT_EQ(w->MainJob->forcedReadSize, 2336);
        if (!ticked) box->click();
        WithOptions([&](TForm2& f) { f.OptionsOk->click(); });
        EXPECT_EQ(box->isChecked(), ticked);
        EXPECT_EQ(w->MainJob->forcedReadSize, ticked ? 2336 : 0);
        EXPECT_EQ(field->text(), QString::number(w->MainJob->forcedReadSize));
        w.reset();
    }
}

// ---------------------------------------------------------------- colours

TEST_F(OptionsWindow, AChosenColourIsStoredAsBgrAndPaintsTheStatusPlate) {
    Open();
    WithOptions([&](TForm2& f) {
        dialogs.scriptColour(std::nullopt);
        MouseUp(f.WarningShape);
        EXPECT_EQ(f.WarningShape->brushColour(), 0x75D8F9) << "a cancelled dialog changes nothing";
        dialogs.scriptColour(0x204080);  // red 0x80, green 0x40, blue 0x20
        MouseUp(f.PassShape);
        EXPECT_EQ(f.PassShape->brushColour(), 0x204080);
        // The shape paints the colour as Qt sees it.
        const QImage shot = f.PassShape->grab().toImage();
        const QColor centre = shot.pixelColor(shot.width() / 2, shot.height() / 2);
        EXPECT_EQ(centre, QColor(0x80, 0x40, 0x20));
        f.OptionsOk->click();
    });
    EXPECT_EQ(dialogs.colourStarts(), (std::vector<int32_t>{0x75D8F9, 0x9EEC7D})) << "each starts at its shape's colour";
    EXPECT_EQ(value("Pass_Clr"), QString::number(0x204080));

    // A passive extraction without fixes shows the pass colour.
    find<QCheckBox>(w.get(), "PassiveBox")->setChecked(true);
    files.scriptOpen(Fixture("vcd_pal3.cue"));
    find<QPushButton>(w.get(), "browseButton")->click();
    find<QPushButton>(w.get(), "startButton")->click();
    QElapsedTimer t;
    t.start();
    while ((w->JobRunning() || w->WorkerBusy()) && t.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(Bgr(find<QLabel>(w.get(), "StatusIndicator")->palette().color(QPalette::Window)), 0x204080);
}

// ---------------------------------------------------------------- uninstall

TEST_F(OptionsWindow, UninstallNoOrCancelChangesNothing) {
    Open();
    WithOptions([](TForm2& f) { f.OptionsOk->click(); });
    const auto before = stored();
    for (int answer : {platform::kNo, platform::kCancel}) {
        dialogs.script({answer});
        WithOptions([&](TForm2& f) {
            f.uninstallButton->click();
            EXPECT_TRUE(f.isVisible());
            EXPECT_TRUE(f.uninstallButton->isEnabled());
            EXPECT_EQ(f.uninstalled, 0);
            f.OptionsCancel->click();
        });
        EXPECT_EQ(stored(), before);
    }
    EXPECT_EQ(dialogs.shown().back().message, "Remove Pellmor entries from registry?");
}

TEST_F(OptionsWindow, UninstallLeavesNothingBehindForTheRestOfTheRun) {
    store({{"BatchProcessorPosX", 40}});
    Open();
    dialogs.script({platform::kYes});
    EXPECT_EQ(WithOptions([](TForm2& f) {
                  f.uninstallButton->click();
                  EXPECT_EQ(f.uninstalled, 1);
              }),
              1);
    EXPECT_TRUE(stored().empty()) << "no Pellmor value, not even another window's";

    // Reopened and cancelled: nothing saved before or after it.
    WithOptions([](TForm2& f) {
        EXPECT_FALSE(f.uninstallButton->isEnabled()) << "no key to remove";
        f.OptionsCancel->click();
    });
    EXPECT_TRUE(stored().empty());
    // A window of another kind saving its position is refused too.
    platform::Registry& shared = w->registry();
    if (shared.openKey(kSettingsKey, true)) {
        shared.writeInteger("BatchProcessorPosX", 10);
        shared.closeKey();
    }
    w->close();
    EXPECT_EQ(w->skipSaveSettings, 1);
    w.reset();
    EXPECT_TRUE(stored().empty()) << "the close saved nothing";
}

TEST_F(OptionsWindow, OkAfterUninstallWritesTheValuesAgain) {
    Open();
    dialogs.script({platform::kYes});
    WithOptions([](TForm2& f) { f.uninstallButton->click(); });
    ASSERT_TRUE(stored().empty());
    WithOptions([](TForm2& f) { f.OptionsOk->click(); });
    EXPECT_TRUE(value("PriorityLevel").has_value());
    EXPECT_EQ(w->skipSaveSettings, 0);
    w.reset();
    EXPECT_TRUE(value("LastMethod").has_value()) << "the close saves again";
}

// ---------------------------------------------------------------- jobs

TEST_F(OptionsWindow, GreyedWhileAJobRuns) {
    // A long source, so that the job is still running when looked at.
    const std::string clip = harness::ReadFile(Fixture("clip_pal_vcd.mpg"));
    const std::string source = work + "/long.mpg";
    {
        std::ofstream out(source, std::ios::binary);
        for (int i = 0; i < 600; ++i) out.write(clip.data(), static_cast<std::streamsize>(clip.size()));
    }
    Open();
    auto* options = find<QPushButton>(w.get(), "optionsButton");
    auto* link = find<QLabel>(w.get(), "VCDOptionLink");
    EXPECT_TRUE(options->isEnabled());
    EXPECT_TRUE(link->isEnabled());
    files.scriptOpen(source);
    files.scriptSave(work + "/out.mpg");
    find<QComboBox>(w.get(), "methodBox")->setCurrentIndex(10);
    w->extractionPage->methodBoxChange();
    find<QPushButton>(w.get(), "browseButton")->click();
    find<QPushButton>(w.get(), "startButton")->click();
    ASSERT_TRUE(w->JobRunning());
    EXPECT_FALSE(options->isEnabled());
    EXPECT_FALSE(link->isEnabled());
    w->ShowConfigurationForm(0);  // a call that slips through opens nothing
    QElapsedTimer t;
    t.start();
    while ((w->JobRunning() || w->WorkerBusy()) && t.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    EXPECT_TRUE(options->isEnabled());
    EXPECT_TRUE(link->isEnabled());

    // The batch window's run greys them the same way.
    w->SetTaskRunning(1);
    EXPECT_FALSE(options->isEnabled());
    w->SetTaskRunning(0);
    EXPECT_TRUE(options->isEnabled());
}

// ---------------------------------------------------------------- layout

TEST_F(OptionsWindow, EveryTabIsReadableWithAndWithoutALanguageFile) {
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    const char* names[] = {"general", "directories", "videocd", "language", "display", "uninstall"};
    for (bool translated : {false, true}) {
        SCOPED_TRACE(translated ? "with a language file" : "built-in texts");
        QFile::remove(ini());
        if (translated) store({{"LanguageFile", QString::fromStdString(German())}});
        Open();
        WithOptions([&](TForm2& f) {
            f.show();
            for (int i = 0; i < 6; ++i) {
                SCOPED_TRACE(names[i]);
                f.OptionsPage->setCurrentIndex(i);
                QApplication::processEvents();
                ExpectCaptionsFitAndNothingOverlaps(&f);
                const QString file = QString(PELLMOR_BUILD_DIR) + "/screenshots/options-" + names[i] +
                                     (translated ? "-lang" : "") + ".png";
                EXPECT_TRUE(f.grab().save(file));
            }
            f.OptionsCancel->click();
        });
        w.reset();
    }
}

}  // namespace
