#include "batch/task_properties_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/helpers.h"
#include "core/result_codes.h"
#include "platform/qt/text.h"

namespace {

template <typename W>
W* Named(W* w, const char* name, std::map<std::string, QWidget*>& all) {
    w->setObjectName(name);
    all[name] = w;
    return w;
}

}  // namespace

TForm4::TForm4(TBatchTask& record, int mode, Services services, QWidget* parent)
    : QDialog(parent), model_(record, mode, services.outputFileName, services.imgNone), services_(std::move(services)) {
    setObjectName("TForm4");
    setWindowTitle("Task Properties");
    auto& c = controls_;
    auto radio = [&](const char* name) { return Named(new QRadioButton(this), name, c); };
    auto check = [&](const char* name) { return Named(new QCheckBox(this), name, c); };
    auto edit = [&](const char* name) { return Named(new QLineEdit(this), name, c); };
    auto button = [&](const char* name) { return Named(new QPushButton(this), name, c); };
    auto label = [&](const char* name) { return Named(new QLabel(this), name, c); };

    TaskTypeGroup = Named(new QGroupBox(this), "TaskTypeGroup", c);
    loadTask = radio("loadTask"), archiveTask = radio("archiveTask"), unarchiveTask = radio("unarchiveTask");
    executeCmd = radio("executeCmd"), chkSFV = radio("chkSFV"), createSFV = radio("createSFV");
    createSFVRar = check("createSFVRar"), fileInFolderBox = check("fileInFolderBox"), deleteTask = check("deleteTask");
    storeSelFileBox = check("storeSelFileBox"), storeOutFileBox = check("storeOutFileBox");
    actionLabel = label("actionLabel"), fromWithLabel = label("fromWithLabel");
    auto* typeLayout = new QGridLayout(TaskTypeGroup);
    typeLayout->addWidget(actionLabel, 0, 0);
    typeLayout->addWidget(loadTask, 1, 0);
    typeLayout->addWidget(archiveTask, 2, 0);
    typeLayout->addWidget(createSFVRar, 3, 0);
    typeLayout->addWidget(fileInFolderBox, 4, 0);
    typeLayout->addWidget(unarchiveTask, 1, 1);
    typeLayout->addWidget(deleteTask, 2, 1);
    typeLayout->addWidget(executeCmd, 3, 1);
    typeLayout->addWidget(chkSFV, 1, 2);
    typeLayout->addWidget(createSFV, 2, 2);
    typeLayout->addWidget(fromWithLabel, 3, 2);
    typeLayout->addWidget(storeSelFileBox, 4, 2);
    typeLayout->addWidget(storeOutFileBox, 5, 2);

    GroupBox2 = Named(new QGroupBox(this), "GroupBox2", c);
    auto* files = new QGridLayout(GroupBox2);
    int row = 0;
    auto fileRow = [&](QLabel*& l, const char* ln, QLineEdit*& e, const char* en, QPushButton*& b, const char* bn) {
        l = label(ln), e = edit(en), b = button(bn);
        b->setText("...");
        files->addWidget(l, row, 0);
        files->addWidget(e, row, 1);
        files->addWidget(b, row, 2);
        ++row;
    };
    fileRow(taskProjName, "taskProjName", taskProfile, "taskProfile", loadTaskProfile, "loadTaskProfile");
    fileRow(archName, "archName", archiveName, "archiveName", archiveSelect, "archiveSelect");
    fileRow(archDest, "archDest", archiveDest, "archiveDest", decompDir, "decompDir");
    fileRow(extCmdLabel, "extCmdLabel", extCmdLine, "extCmdLine", extCmdLoad, "extCmdLoad");
    fileRow(selFileLabel, "selFileLabel", selFiles, "selFiles", selFileButton, "selFileButton");
    fileRow(sfvFileLabel, "sfvFileLabel", sfvFile, "sfvFile", sfvSelect, "sfvSelect");

    OnErrorGroup = Named(new QGroupBox(this), "OnErrorGroup", c);
    stopBatchOption = radio("stopBatchOption"), contBatchOption = radio("contBatchOption");
    auto* errorLayout = new QVBoxLayout(OnErrorGroup);
    errorLayout->addWidget(stopBatchOption);
    errorLayout->addWidget(contBatchOption);
    stopBatchOption->setParent(OnErrorGroup), contBatchOption->setParent(OnErrorGroup);
    OnQueriesGroup = Named(new QGroupBox(this), "OnQueriesGroup", c);
    queryYesButton = radio("queryYesButton"), queryNoButton = radio("queryNoButton");
    auto* queryLayout = new QVBoxLayout(OnQueriesGroup);
    queryLayout->addWidget(queryYesButton);
    queryLayout->addWidget(queryNoButton);
    queryYesButton->setParent(OnQueriesGroup), queryNoButton->setParent(OnQueriesGroup);

    archiveOptionsBox = Named(new QGroupBox(this), "archiveOptionsBox", c);
    volNone = radio("volNone"), vol15 = radio("vol15"), vol20 = radio("vol20"), vol50 = radio("vol50");
    vol15->setText("15mb"), vol20->setText("20mb"), vol50->setText("50mb");
    volumeSizeLabel = label("volumeSizeLabel"), compressionLevelLabel = label("compressionLevelLabel");
    compressBar = Named(new QSlider(Qt::Horizontal, this), "compressBar", c);
    compressBar->setRange(0, 5);
    compressBar->setTickPosition(QSlider::TicksBelow);
    compressBar->setTickInterval(1);
    compressBar->setPageStep(1);
    auto* options = new QGridLayout(archiveOptionsBox);
    options->addWidget(volumeSizeLabel, 0, 0);
    auto* vols = new QHBoxLayout;
    for (QRadioButton* v : {volNone, vol15, vol20, vol50}) vols->addWidget(v), v->setParent(archiveOptionsBox);
    options->addLayout(vols, 0, 1);
    options->addWidget(compressionLevelLabel, 1, 0);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("0 ( 0% )", archiveOptionsBox));
    bar->addWidget(compressBar);
    bar->addWidget(new QLabel("5", archiveOptionsBox));
    options->addLayout(bar, 1, 1);

    CDGroupBox = Named(new QGroupBox(this), "CDGroupBox", c);
    baseLabel = label("baseLabel"), CDArchiveName = edit("CDArchiveName"), exampleLabel = label("exampleLabel");
    QFont italic = exampleLabel->font();
    italic.setItalic(true);
    exampleLabel->setFont(italic);
    deleteLabel = label("deleteLabel"), yesDelete = check("yesDelete"), noDelete = check("noDelete");
    auto* cd = new QGridLayout(CDGroupBox);
    cd->addWidget(baseLabel, 0, 0);
    cd->addWidget(CDArchiveName, 0, 1);
    cd->addWidget(exampleLabel, 1, 1);
    cd->addWidget(deleteLabel, 2, 0);
    auto* del = new QHBoxLayout;
    del->addWidget(yesDelete);
    del->addWidget(noDelete);
    del->addStretch(1);
    cd->addLayout(del, 2, 1);
    options->addWidget(CDGroupBox, 2, 0, 1, 2);

    okButton = button("okButton"), cancelButton = button("cancelButton");
    auto* lower = new QHBoxLayout;
    lower->addWidget(OnErrorGroup);
    lower->addWidget(OnQueriesGroup);
    lower->addStretch(1);
    auto* okCancel = new QVBoxLayout;
    okCancel->addStretch(1);
    okCancel->addWidget(okButton);
    okCancel->addWidget(cancelButton);
    lower->addLayout(okCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TaskTypeGroup);
    layout->addWidget(GroupBox2);
    layout->addWidget(archiveOptionsBox);
    layout->addLayout(lower);

    // Every user change goes into the model, and the model is shown again.
    for (QRadioButton* r : {loadTask, archiveTask, unarchiveTask, executeCmd, chkSFV, createSFV})
        connect(r, &QRadioButton::toggled, this, [this, r](bool on) {
            if (!on || showing_) return;
            Take();
            model_.setType(r == loadTask ? kLoadTaskRadio : r == archiveTask ? kArchiveRadio
                           : r == unarchiveTask ? kUnarchiveRadio : r == executeCmd ? kExecuteRadio
                           : r == chkSFV ? kCheckSfvRadio : kCreateSfvRadio);
            Show();
        });
    auto onClick = [this](QCheckBox* box, std::function<void(bool)> apply) {
        connect(box, &QCheckBox::clicked, this, [this, apply](bool on) {
            Take();
            apply(on);
            Show();
        });
    };
    onClick(storeSelFileBox, [this](bool) { model_.setSource(0); });
    onClick(storeOutFileBox, [this](bool) { model_.setSource(1); });
    onClick(fileInFolderBox, [this](bool on) { model_.setFileInFolder(on); });
    onClick(createSFVRar, [this](bool on) { model_.setCreateSfvRar(on); });
    onClick(deleteTask, [this](bool on) { model_.deleteTask = on; });
    onClick(yesDelete, [this](bool on) { model_.yesDelete = on; });
    onClick(noDelete, [this](bool on) { model_.yesDelete = !on; });
    connect(CDArchiveName, &QLineEdit::textEdited, this, [this] {
        Take();
        exampleLabel->setText(platform::qt::toQt(model_.exampleLabel()));
    });
    connect(archiveSelect, &QPushButton::clicked, this, [this] { archiveSelectClick(); });
    connect(sfvSelect, &QPushButton::clicked, this, [this] { SFVSelectClick(); });
    connect(loadTaskProfile, &QPushButton::clicked, this, [this] { loadTaskProfileClick(); });
    connect(extCmdLoad, &QPushButton::clicked, this, [this] { extCmdLoadClick(); });
    connect(selFileButton, &QPushButton::clicked, this, [this] { selFileButtonClick(); });
    connect(decompDir, &QPushButton::clicked, this, [this] { decompDirClick(); });
    connect(okButton, &QPushButton::clicked, this, [this] { okButtonClick(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { reject(); });

    ApplyLanguage();
    if (services_.registry) model_.LoadTaskDefaults(*services_.registry);
    if (mode == 1) model_.LoadFromTask();
    exampleLabel->setText("e.g. testing-cd1.rar, testing-cd2.rar");
    Show();
    resize(617, 453);
}

void TForm4::ApplyLanguage() {
    static const TLanguageSet builtIn;
    const TLanguageSet& t = services_.texts ? *services_.texts : builtIn;
    using namespace msg::component;
    auto q = [](const std::string& s) { return platform::qt::toQt(s); };
    auto colon = [&](int i) { return q(t.component(i) + " :"); };
    TaskTypeGroup->setTitle(q(t.component(kTaskType)));
    OnErrorGroup->setTitle(q(t.component(kOnErrors)));
    OnQueriesGroup->setTitle(q(t.component(kOnQueries)));
    archiveOptionsBox->setTitle(q(t.component(kArchivingOptions)));
    CDGroupBox->setTitle(q(t.component(kRarsInFoldersTitle)));
    actionLabel->setText(colon(kAction));
    fromWithLabel->setText(colon(kFromWith));
    baseLabel->setText(colon(kRarBaseName));
    deleteLabel->setText(q(t.component(kDeleteImagesAfterRar)));
    yesDelete->setText(q(t.core(msg::core::kYes)));
    noDelete->setText(q(t.core(msg::core::kNo)));
    const std::pair<QAbstractButton*, int> captions[] = {
        {loadTask, kLoadTaskProject},
        {archiveTask, kAddToRar},
        {unarchiveTask, kDecompressRar},
        {deleteTask, kDeleteRarAfter},
        {executeCmd, kRunCommandLine},
        {chkSFV, kVerifySfv},
        {createSFV, kCreateSfv},
        {createSFVRar, kSfvForRar},
        {stopBatchOption, msg::component::kStopBatch},
        {contBatchOption, msg::component::kContinueBatch},
        {queryYesButton, kAssumeYes},
        {queryNoButton, kAssumeNo},
        {storeSelFileBox, kSelectedFiles},
        {storeOutFileBox, kPreviousTaskFiles},
        {fileInFolderBox, kRarsInFolders},
        {volNone, kNone},
        {okButton, kOk},
        {cancelButton, kCancel},
    };
    for (const auto& [w, i] : captions) w->setText(q(t.component(i)));
    const std::pair<QLabel*, int> labels[] = {
        {taskProjName, kTaskProjectFile},    {archName, kArchiveName},
        {archDest, kDecompressionDir},       {sfvFileLabel, kSfvFile},
        {extCmdLabel, kExternalCommandLine}, {selFileLabel, kSelectedFilesTitle},
        {volumeSizeLabel, kVolumeSize},      {compressionLevelLabel, kCompression},
    };
    for (const auto& [w, i] : labels) w->setText(colon(i));
    for (QPushButton* b : {loadTaskProfile, archiveSelect, decompDir, extCmdLoad, selFileButton})
        b->setToolTip(q(t.component(kSelect)));
}

void TForm4::Take() {
    if (showing_) return;
    auto s = [](QLineEdit* e) { return platform::qt::fromQt(e->text()); };
    model_.taskProfile = s(taskProfile), model_.archiveName = s(archiveName), model_.archiveDest = s(archiveDest);
    model_.extCmdLine = s(extCmdLine), model_.selFiles = s(selFiles), model_.sfvFile = s(sfvFile);
    model_.cdArchiveName = s(CDArchiveName);
    model_.stopBatch = stopBatchOption->isChecked();
    model_.queryYes = queryYesButton->isChecked();
    model_.volume = volNone->isChecked() ? 0 : vol15->isChecked() ? 1 : vol20->isChecked() ? 2 : vol50->isChecked() ? 3 : -1;
    model_.compression = compressBar->value();
}

void TForm4::Show() {
    showing_ = true;
    QRadioButton* types[] = {loadTask, archiveTask, unarchiveTask, executeCmd, chkSFV, createSFV};
    types[model_.type >= 0 && model_.type <= 5 ? model_.type : kArchiveRadio]->setChecked(true);
    auto t = [](const std::string& s) { return platform::qt::toQt(s); };
    taskProfile->setText(t(model_.taskProfile)), archiveName->setText(t(model_.archiveName));
    archiveDest->setText(t(model_.archiveDest)), extCmdLine->setText(t(model_.extCmdLine));
    selFiles->setText(t(model_.selFiles)), sfvFile->setText(t(model_.sfvFile));
    CDArchiveName->setText(t(model_.cdArchiveName));
    exampleLabel->setText(t(model_.exampleLabel()));
    createSFVRar->setChecked(model_.createSfvRar);
    fileInFolderBox->setChecked(model_.fileInFolder);
    deleteTask->setChecked(model_.deleteTask);
    storeSelFileBox->setChecked(model_.sourceChoice == 0);
    storeOutFileBox->setChecked(model_.sourceChoice == 1);
    (model_.stopBatch ? stopBatchOption : contBatchOption)->setChecked(true);
    (model_.queryYes ? queryYesButton : queryNoButton)->setChecked(true);
    QRadioButton* vols[] = {volNone, vol15, vol20, vol50};
    for (int i = 0; i < 4; ++i) {
        vols[i]->setAutoExclusive(false);
        vols[i]->setChecked(i == model_.volume);
        vols[i]->setAutoExclusive(true);
    }
    compressBar->setValue(model_.compression);
    yesDelete->setChecked(model_.yesDelete);
    noDelete->setChecked(!model_.yesDelete);
    for (const auto& [name, state] : model_.States()) {
        QWidget* w = controls_.at(name);
        w->setEnabled(state.enabled);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // Read-only fields wear the face colour, so that they do not look writable.
            e->setReadOnly(!state.editable);
            e->setStyleSheet(state.editable ? QString() : QStringLiteral("QLineEdit { background: palette(window); }"));
        }
    }
    showing_ = false;
}

bool TForm4::Pick(platform::FileDialogState& state, bool save) {
    if (!services_.fileDialogs) return false;
    return save ? services_.fileDialogs->executeSave(state) : services_.fileDialogs->executeOpen(state);
}

void TForm4::archiveSelectClick() {
    Take();
    platform::FileDialogState s;
    s.Filter = "*.rar (RAR compressed)|*.rar|All files|*.*";
    s.DefaultExt = "rar";
    const bool save = model_.type == kArchiveRadio;
    s.Title = save ? "Save" : "Open";
    s.multiSelect = model_.multiSelectArchives();
    if (!Pick(s, save)) return;
    model_.archivesChosen(s.Files.empty() ? std::vector<std::string>{s.FileName} : s.Files);
    Show();
}

void TForm4::SFVSelectClick() {
    Take();
    platform::FileDialogState s;
    const bool save = model_.type == kCreateSfvRadio;
    s.Title = save ? "Save" : "Open";
    s.FileName = model_.archiveName.empty() ? std::string() : WithoutExtension(model_.archiveName);
    s.Filter = "*.sfv (SFV checksum file)|*.sfv|All files|*.*";
    s.DefaultExt = "sfv";
    if (!Pick(s, save)) return;
    model_.sfvChosen(s.FileName);
    Show();
}

void TForm4::loadTaskProfileClick() {
    Take();
    platform::FileDialogState s;
    s.Title = "Open";
    s.Filter = "*.ktp (pellmor project)|*.ktp|All files|*.*";
    s.DefaultExt = "ktp";
    if (!Pick(s, false)) return;
    model_.taskProfile = s.FileName;
    Show();
}

void TForm4::extCmdLoadClick() {
    Take();
    platform::FileDialogState s;
    s.Filter = "All files|*";
    if (!Pick(s, false)) return;
    model_.programChosen(s.FileName);
    Show();
}

void TForm4::selFileButtonClick() {
    Take();
    platform::FileDialogState s;
    s.Title = "Select";
    s.Filter = "All files|*.*";
    s.multiSelect = true;
    if (!Pick(s, false)) return;
    model_.filesChosen(s.Files.empty() ? std::vector<std::string>{s.FileName} : s.Files);
    Show();
}

void TForm4::decompDirClick() {
    Take();
    static const TLanguageSet builtIn;
    const TLanguageSet& t = services_.texts ? *services_.texts : builtIn;
    std::string dir = model_.archiveDest;
    if (!services_.fileDialogs ||
        !services_.fileDialogs->selectDirectory(t.component(msg::component::kSelectDecompressionDir) + " :", dir))
        return;
    model_.archiveDest = dir;
    Show();
}

void TForm4::okButtonClick() {
    Take();
    if (!model_.Ok()) return;  // a required field is empty: the dialog stays
    accept();
}

void TForm4::FormClose() {
    Take();
    if (services_.registry) model_.SaveTaskDefaults(*services_.registry);
}

void TForm4::done(int result) {
    FormClose();
    QDialog::done(result);
}
