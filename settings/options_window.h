// The options window: general options and the worker's priority, the
// archiver and the working folders, the VideoCD choices with the CD-i files,
// the language, the fix indicator's colours and thresholds, and Uninstall.
// Modal; ends with 1 (OK) or 2 (Cancel, Esc, the close box).
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/latched_registry.h"
#include "settings/options_model.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QTabWidget;

// A rounded plate filled with a colour; a mouse release anywhere on it runs
// its handler (the colour shapes of the display tab).
class TShape : public QWidget {
public:
    using QWidget::QWidget;
    void setBrushColour(int32_t bgr);
    int32_t brushColour() const { return bgr_; }
    std::function<void()> onMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int32_t bgr_ = 0xFFFFFF;
};

class TForm2 : public QDialog {
public:
    // What the window reaches: the shared registry, the boxes, the language
    // in force, the main window's counters and log.
    struct Services {
        platform::LatchedRegistry* registry = nullptr;
        platform::Dialogs* dialogs = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        const TLanguageSet* languageSet = nullptr;
        TStats* stats = nullptr;
        platform::ListBox* logList = nullptr;
        std::string exeDir;
    };

    TForm2(QWidget* owner, Services services, int initialPage);
    ~TForm2() override;

    // Handlers.
    void FormCreate();
    void OptionsOkClick();
    void OptionsCancelClick();
    void setHasChanged();
    void priorityLevelChange();
    void addCDIAppBoxClick();
    void archiverBrowseClick();
    void selectTempDirClick();
    void selectLangDirClick();
    void manDirSelectButtonClick();
    void cdi_imageButtonClick();
    void cdi_textButtonClick();
    void cdi_vcdappButtonClick();
    void cdi_vcdcfgButtonClick();
    void langSelButtonClick();
    void uninstallButtonClick();
    void PassShapeMouseUp();
    void WarningShapeMouseUp();
    void ErrorShapeMouseUp();
    // A character typed into a threshold field; set to 0 when it is dropped.
    void editMaxPassKeyPress(char& key);

    void LoadOptions();
    void SaveOptions();
    void EnableCdiButtons(bool enabled);
    void ApplyLanguage();

    // The language chosen here: handed over on OK, dropped on every other way out.
    bool languageAccepted() const { return languageAccepted_; }
    TLanguageSet TakeLanguage();
    const TLanguageSet& language() const { return language_; }

    uint8_t hasChanged = 1;
    int16_t priority = 3;
    int32_t initialPage = 0;
    std::array<std::string, 7> priorityNames;
    std::string previousLanguageFile;
    uint8_t uninstalled = 0;

    // Controls (object names as the window definition names them).
    QTabWidget* OptionsPage = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet5 = nullptr, *TabSheet3 = nullptr,
            *TabSheet4 = nullptr, *TabSheet6 = nullptr;
    QPushButton *OptionsOk = nullptr, *OptionsCancel = nullptr;
    // General.
    QGroupBox* OptionBox = nullptr;
    QCheckBox *disableHeaderBox = nullptr, *disableSplitBox = nullptr, *disablePadBox = nullptr,
              *disableErrorBox = nullptr, *disableAudio = nullptr, *includeCUEPath = nullptr, *scanCDI = nullptr;
    QSlider* priorityLevel = nullptr;
    QLabel *priorityLabel = nullptr, *pLevel = nullptr;
    // Directories.
    QGroupBox *GroupBox2 = nullptr, *GroupBox3 = nullptr;
    QLineEdit *RARlocation = nullptr, *decompParams = nullptr, *compParams = nullptr;
    QPushButton* archiverBrowse = nullptr;
    QLabel *decompressLabel = nullptr, *decompParamLabel = nullptr, *compParamLabel = nullptr;
    QLineEdit *langDir = nullptr, *tempDir = nullptr, *manDir = nullptr;
    QPushButton *langDirSelectButton = nullptr, *tmpDirSelectButton = nullptr, *manDirSelectButton = nullptr;
    QLabel *langDirLabel = nullptr, *tempDirLabel = nullptr, *manDirLabel = nullptr;
    // VideoCD.
    QGroupBox* VideoCDGroupBox = nullptr;
    QCheckBox* addCDIAppBox = nullptr;
    QPushButton *cdi_imageButton = nullptr, *cdi_textButton = nullptr, *cdi_vcdappButton = nullptr,
                *cdi_vcdcfgButton = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QGroupBox *SVCDdir = nullptr, *SVCDentry = nullptr, *GroupBox1 = nullptr;
    std::array<QRadioButton*, 2> SVCDdirItems{}, SVCDentryItems{};
    QCheckBox* PhilipsCheckBox = nullptr;
    // Language.
    QPushButton* langSelButton = nullptr;
    QGroupBox *langSetGroup = nullptr, *commentsGroup = nullptr;
    QLabel *langLabel = nullptr, *langVerLabel = nullptr, *langBy = nullptr;
    QLabel *langIDLabel = nullptr, *verLabel = nullptr, *transLabel = nullptr;
    QPlainTextEdit* commentMemo = nullptr;
    // Display.
    QLabel *ErrorLabel = nullptr, *WarnLabel = nullptr, *PassLabel = nullptr;
    TShape *ErrorShape = nullptr, *WarningShape = nullptr, *PassShape = nullptr;
    QLabel *ShowPassLabel = nullptr, *ShowWarnLabel = nullptr, *DispFixLabel1 = nullptr, *DispFixLabel2 = nullptr;
    QLineEdit *editMaxPass = nullptr, *editMaxWarning = nullptr;
    QScrollBar *UpDown1 = nullptr, *UpDown2 = nullptr;
    // Uninstall.
    QPushButton* uninstallButton = nullptr;

protected:
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class MemoSink;
    void BuildGeneral();
    void BuildDirectories();
    void BuildVideoCd();
    void BuildLanguage();
    void BuildDisplay();
    void BuildUninstall();
    void Connect();
    void SelectDirectory(QLineEdit* edit);
    void ChooseCdiFile(int index, const char* filter);
    void ChooseColour(TShape* shape);
    std::array<QPushButton*, 4> CdiButtons() const;
    void SetCdiPath(int index, const std::string& path, bool emptyShowsUndefined);
    int Report(int kind, int index, const std::string& text);
    void RestoreOpeningLanguage();
    void ShowLanguageToMain();

    Services services_;
    std::unique_ptr<OptionsModel> model_;
    std::unique_ptr<MemoSink> memo_;
    // The window's own copy of the texts, and the language in force at opening.
    TLanguageSet language_;
    TLanguageSet opening_;
    std::vector<std::string> openingComments_;
    std::array<std::string, 4> cdiPaths_;
    bool languageAccepted_ = false;
    bool shownToMain_ = false;
};
