// The task dialog ("Task Properties"): a view of TaskDialogModel. The batch
// window shows it modally on its task record.
#pragma once

#include <QDialog>
#include <map>
#include <memory>

#include "batch/task_properties.h"
#include "core/language_set.h"
#include "platform/file_dialogs.h"
#include "platform/registry.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    struct Services {
        platform::Registry* registry = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        std::shared_ptr<const TLanguageSet> texts;
        std::string outputFileName;  // the main window's output field
        bool imgNone = true;
    };
    // mode 0 new, 1 edit.
    TForm4(TBatchTask& record, int mode, Services services, QWidget* parent = nullptr);

    void ApplyLanguage();
    void okButtonClick();
    void FormClose();
    TaskDialogModel& model() { return model_; }
    // Shows the model's values and control states.
    void Show();

    // Pickers.
    void archiveSelectClick();
    void SFVSelectClick();
    void loadTaskProfileClick();
    void extCmdLoadClick();
    void selFileButtonClick();
    void decompDirClick();

    // Every close, OK or Cancel, stores the choices first.
    void done(int result) override;

private:
    void Take();  // the widgets' values into the model
    bool Pick(platform::FileDialogState& state, bool save);

    TaskDialogModel model_;
    Services services_;
    bool showing_ = false;
    std::map<std::string, QWidget*> controls_;
    QRadioButton *loadTask, *archiveTask, *unarchiveTask, *executeCmd, *chkSFV, *createSFV;
    QCheckBox *createSFVRar, *fileInFolderBox, *deleteTask, *storeSelFileBox, *storeOutFileBox;
    QLineEdit *taskProfile, *archiveName, *archiveDest, *extCmdLine, *selFiles, *sfvFile, *CDArchiveName;
    QPushButton *loadTaskProfile, *archiveSelect, *decompDir, *extCmdLoad, *selFileButton, *sfvSelect;
    QRadioButton *stopBatchOption, *contBatchOption, *queryYesButton, *queryNoButton;
    QRadioButton *volNone, *vol15, *vol20, *vol50;
    QSlider* compressBar;
    QCheckBox *yesDelete, *noDelete;
    QLabel *exampleLabel, *actionLabel, *fromWithLabel, *baseLabel, *deleteLabel;
    QLabel *taskProjName, *archName, *archDest, *extCmdLabel, *selFileLabel, *sfvFileLabel;
    QLabel *volumeSizeLabel, *compressionLevelLabel;
    QPushButton *okButton, *cancelButton;
    class QGroupBox *TaskTypeGroup, *GroupBox2, *OnErrorGroup, *OnQueriesGroup, *archiveOptionsBox, *CDGroupBox;
};
