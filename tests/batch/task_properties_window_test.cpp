#include "batch/task_properties_window.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <gtest/gtest.h>

#include "tests/app/window_test_app.h"
#include "tests/support/fakes.h"

namespace {

class TaskWindow : public ::testing::Test {
protected:
    void SetUp() override { WindowTestApp(); }
    std::unique_ptr<TForm4> Make(int mode = 0) {
        TForm4::Services s;
        s.registry = &registry_;
        s.fileDialogs = &fileDialogs_;
        s.outputFileName = "/out/My Film.cue";
        auto w = std::make_unique<TForm4>(task_, mode, s);
        w->show();
        return w;
    }
    template <typename T>
    static T* Find(TForm4& w, const char* name) {
        T* c = w.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    TBatchTask task_;
    fakes::MemoryRegistry registry_;
    fakes::ScriptedFileDialogs fileDialogs_;
};

TEST_F(TaskWindow, OpensOnTheDefaultsAndEnablesByType) {
    auto w = Make();
    EXPECT_EQ(w->windowTitle(), "Task Properties");
    EXPECT_TRUE(Find<QRadioButton>(*w, "archiveTask")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(*w, "archiveTask")->text(), "Add to RAR archive with...");
    EXPECT_TRUE(Find<QRadioButton>(*w, "stopBatchOption")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(*w, "queryYesButton")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(*w, "vol20")->isChecked());
    EXPECT_EQ(Find<QSlider>(*w, "compressBar")->value(), 0);
    EXPECT_TRUE(Find<QCheckBox>(*w, "storeSelFileBox")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(*w, "noDelete")->isChecked());
    // Each type as the model says, shown by the widgets.
    for (const char* type : {"loadTask", "unarchiveTask", "executeCmd", "chkSFV", "createSFV", "archiveTask"}) {
        SCOPED_TRACE(type);
        Find<QRadioButton>(*w, type)->click();
        for (const auto& [name, state] : w->model().States()) {
            SCOPED_TRACE(name);
            QWidget* c = w->findChild<QWidget*>(QString::fromStdString(name));
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->isEnabled(), state.enabled);
            if (auto* e = qobject_cast<QLineEdit*>(c)) {
                EXPECT_EQ(e->isReadOnly(), !state.editable);
            }
        }
        QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(w->grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/task-properties-" + type + ".png"));
    }
}

TEST_F(TaskWindow, OkFillsTheRecordAndCancelStoresTheChoices) {
    {
        auto w = Make();
        Find<QRadioButton>(*w, "unarchiveTask")->click();
        Find<QLineEdit>(*w, "archiveName")->setText("/in/a.rar");
        Find<QPushButton>(*w, "okButton")->click();
        EXPECT_TRUE(w->isVisible()) << "no destination yet";
        Find<QLineEdit>(*w, "archiveDest")->setText("/tmp/unpacked");
        Find<QRadioButton>(*w, "contBatchOption")->click();
        Find<QPushButton>(*w, "okButton")->click();
        EXPECT_EQ(w->result(), QDialog::Accepted);
        EXPECT_EQ(task_.params, "\"/in/a.rar\" \"/tmp/unpacked/\"");
        EXPECT_EQ(task_.onError, kContinueBatch);
    }
    {
        auto w = Make();
        EXPECT_TRUE(Find<QRadioButton>(*w, "unarchiveTask")->isChecked()) << "the last choice";
        EXPECT_TRUE(Find<QRadioButton>(*w, "contBatchOption")->isChecked());
        Find<QRadioButton>(*w, "archiveTask")->click();
        Find<QCheckBox>(*w, "storeOutFileBox")->click();
        Find<QCheckBox>(*w, "fileInFolderBox")->click();
        EXPECT_EQ(Find<QLineEdit>(*w, "CDArchiveName")->text(), "My Film-cd");
        EXPECT_EQ(Find<QLabel>(*w, "exampleLabel")->text(), "e.g. My Film-cd1.rar, My Film-cd2.rar");
        Find<QCheckBox>(*w, "yesDelete")->click();
        EXPECT_FALSE(Find<QCheckBox>(*w, "noDelete")->isChecked());
        EXPECT_TRUE(w->grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/task-properties-cd-folders.png"));
        Find<QPushButton>(*w, "cancelButton")->click();
        EXPECT_EQ(w->result(), QDialog::Rejected);
    }
    registry_.openKey("\\Software\\Pellmor", false);
    EXPECT_EQ(registry_.readInteger("TaskType"), 1);
    EXPECT_EQ(registry_.readInteger("TaskFromWith"), 2);
    EXPECT_EQ(registry_.readInteger("DeleteFilesAfterArchiving"), 1);
}

TEST_F(TaskWindow, EditModeShowsTheRow) {
    task_.type = kCompressTask;
    task_.params = "\"/o/my film.rar\"";
    task_.selectedFiles = "\"/o/a b.mpg\" ";
    task_.fromSelectedFiles = 1;
    task_.volumeSize = 1;
    task_.compression = 4;
    task_.onQuery = kQueryNo;
    auto w = Make(1);
    EXPECT_EQ(Find<QLineEdit>(*w, "archiveName")->text(), "/o/my film.rar");
    EXPECT_EQ(Find<QLineEdit>(*w, "selFiles")->text(), "\"/o/a b.mpg\" ");
    EXPECT_TRUE(Find<QRadioButton>(*w, "vol15")->isChecked());
    EXPECT_EQ(Find<QSlider>(*w, "compressBar")->value(), 4);
    EXPECT_TRUE(Find<QRadioButton>(*w, "queryNoButton")->isChecked());
}

}  // namespace
