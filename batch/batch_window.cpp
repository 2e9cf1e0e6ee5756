#include "batch/batch_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "batch/batch_list_file.h"
#include "batch/command_line.h"
#include "batch/sfv_runner.h"
#include "batch/task_properties_window.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"

namespace {

constexpr const char* kKey = "\\Software\\Pellmor";
// Wide enough for "Continue Batch / Query NO" in full.
constexpr int kColumnWidths[6] = {47, 119, 123, 175, 657, 614};
const std::string kListFilter = "*.ktq (pellmor batch list)|*.ktq|All files|*.*";

}  // namespace

TForm3::TForm3(Services services, QWidget* parent) : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName("TForm3");
    setWindowTitle("Batch Processor");
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    BatchMainMenu = new QMenuBar(this);
    BatchMainMenu->setObjectName("BatchMainMenu");
    batchListMenu = BatchMainMenu->addMenu("");
    openListItem = batchListMenu->addAction("", this, [this] { loadBatchListClick(); });
    saveListItem = batchListMenu->addAction("", this, [this] { saveBatchListClick(); });
    clearListItem = batchListMenu->addAction("", this, [this] { clearBatchListClick(); });
    batchListMenu->addSeparator();
    taskMenu = BatchMainMenu->addMenu("");
    addItem = taskMenu->addAction("", this, [this] { newTaskButtonClick(); });
    removeItem = taskMenu->addAction("", this, [this] { removeTaskButtonClick(); });

    taskGrid = new QTableWidget(0, 6, this);
    taskGrid->setObjectName("taskGrid");
    taskGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    taskGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    taskGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    taskGrid->verticalHeader()->setVisible(false);
    taskGrid->verticalHeader()->setDefaultSectionSize(18);
    taskGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < 6; ++c) taskGrid->setColumnWidth(c, kColumnWidths[c]);
    taskGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    gridMenu = new QMenu(taskGrid);
    Properties = gridMenu->addAction("", this, [this] { PropertiesClick(); });
    Properties->setObjectName("Properties");
    connect(taskGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { gridMenu->popup(taskGrid->viewport()->mapToGlobal(at)); });

    newTaskButton = new QPushButton(this);
    newTaskButton->setObjectName("newTaskButton");
    removeTaskButton = new QPushButton(this);
    removeTaskButton->setObjectName("removeTaskButton");
    moveTaskUpButton = new QPushButton(this);
    moveTaskUpButton->setObjectName("moveTaskUpButton");
    moveTaskUpButton->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    moveTaskDownButton = new QPushButton(this);
    moveTaskDownButton->setObjectName("moveTaskDownButton");
    moveTaskDownButton->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    runTask = new QPushButton(this);
    runTask->setObjectName("runTask");
    returnThreadSignal = new QLineEdit(this);
    returnThreadSignal->setObjectName("returnThreadSignal");
    returnThreadSignal->hide();
    connect(newTaskButton, &QPushButton::clicked, this, [this] { newTaskButtonClick(); });
    connect(removeTaskButton, &QPushButton::clicked, this, [this] { removeTaskButtonClick(); });
    connect(moveTaskUpButton, &QPushButton::clicked, this, [this] { moveTaskUpButtonClick(); });
    connect(moveTaskDownButton, &QPushButton::clicked, this, [this] { moveTaskDownButtonClick(); });
    connect(runTask, &QPushButton::clicked, this, [this] { runTaskClick(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newTaskButton);
    buttons->addWidget(removeTaskButton);
    buttons->addWidget(moveTaskUpButton);
    buttons->addWidget(moveTaskDownButton);
    buttons->addStretch(1);
    buttons->addWidget(runTask);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(BatchMainMenu);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(taskGrid, 1);
    layout->addLayout(buttons);
    setFixedSize(681, 141 + BatchMainMenu->sizeHint().height());

    const platform::Poster poster = [this](std::function<void()> fn) { platform::qt::postToGui(this, std::move(fn)); };
    process_ = platform::MakePosixProcess(poster);
    if (!services_.sfv && services_.config) {
        SfvContext context;
        context.languageSet = services_.texts;
        context.log = services_.log;
        context.dialogs = services_.dialogs;
        sfvRunner_ = std::make_unique<ThreadedSfvRunner>(*services_.config, context, list_, poster);
        services_.sfv = sfvRunner_.get();
    }
    SequencerServices s;
    s.list = &list_;
    s.host = services_.host;
    s.process = process_.get();
    s.sfv = services_.sfv;
    s.registry = services_.registry;
    s.log = services_.log;
    s.texts = services_.texts;
    s.promptFlags = services_.promptFlags;
    s.tempDirectory = services_.tempDirectory;
    sequencer_ = std::make_unique<TBatchSequencer>(s);
    sequencer_->stateChanged = [this] { ShowState(); };
    list_.changed = [this](int) { Refresh(); };
    if (!services_.taskDialog)
        services_.taskDialog = [this](TBatchTask& task, int mode) {
            TForm4::Services d;
            d.registry = services_.registry;
            d.fileDialogs = services_.fileDialogs;
            d.texts = services_.texts;
            if (services_.outputFileName) d.outputFileName = services_.outputFileName();
            if (services_.imgNone) d.imgNone = services_.imgNone();
            TForm4 dialog(task, mode, d, this);
            return dialog.exec() == QDialog::Accepted;
        };
    ApplyLanguage();
    Refresh();
}

TForm3::~TForm3() {
    // No child outlives the window: stop it and wait for it.
    sequencer_->stateChanged = nullptr;
    list_.changed = nullptr;
    process_.reset();
    sfvRunner_.reset();
}

void TForm3::FormCreate() {
    int x = 0, y = 0;
    if (QWidget* main = services_.mainWindow) x = main->x(), y = main->y() + main->frameGeometry().height();
    if (services_.registry && services_.registry->openKey(kKey, false)) {
        const auto px = services_.registry->readInteger("BatchProcessorPosX");
        const auto py = services_.registry->readInteger("BatchProcessorPosY");
        services_.registry->closeKey();
        // A stored place no screen shows is not used.
        if (px && py && QGuiApplication::screenAt(QPoint(*px + 20, *py + 20))) x = *px, y = *py;
    }
    move(x, y);
}

void TForm3::FormClose() {
    if (services_.registry && services_.registry->openKey(kKey, true)) {
        services_.registry->writeInteger("BatchProcessorPosX", x());
        services_.registry->writeInteger("BatchProcessorPosY", y());
        services_.registry->closeKey();
    }
}

void TForm3::closeEvent(QCloseEvent* event) {
    FormClose();
    hide();
    event->ignore();
}

void TForm3::ApplyLanguage() {
    static const TLanguageSet builtIn;
    const TLanguageSet& t = services_.texts ? *services_.texts : builtIn;
    using platform::qt::toQt;
    using namespace msg::component;
    const int titles[5] = {kTask, kTaskType, kStatus, kErrorHandling, kParameters};
    QStringList headers;
    for (int i = 0; i < 5; ++i) headers << toQt(t.component(titles[i]) + (i == 0 ? " #" : ""));
    headers << "";
    taskGrid->setHorizontalHeaderLabels(headers);
    newTaskButton->setText(toQt(t.component(kAddTask)));
    removeTaskButton->setText(toQt(t.component(kRemoveTask)));
    Properties->setText(toQt(t.component(kProperties)));
    batchListMenu->setTitle(toQt(t.component(kBatchList)));
    openListItem->setText(toQt(t.component(kOpenInsertList)));
    saveListItem->setText(toQt(t.component(kSaveList)));
    clearListItem->setText(toQt(t.component(kClearList)));
    taskMenu->setTitle(toQt(t.component(kTask)));
    addItem->setText(toQt(t.component(kAdd)));
    removeItem->setText(toQt(t.component(kRemove)));
    ShowState();
}

void TForm3::ShowState() {
    static const TLanguageSet builtIn;
    const TLanguageSet& t = services_.texts ? *services_.texts : builtIn;
    const bool busy = sequencer_ && sequencer_->running() && !sequencer_->stopRequested();
    runTask->setText(platform::qt::toQt(t.component(busy ? msg::component::kStop : msg::component::kStart)));
    const bool locked = sequencer_ && sequencer_->running();
    for (QWidget* w : {static_cast<QWidget*>(removeTaskButton), static_cast<QWidget*>(moveTaskUpButton),
                       static_cast<QWidget*>(moveTaskDownButton)})
        w->setEnabled(!locked);
    for (QAction* a : {openListItem, clearListItem, removeItem, Properties}) a->setEnabled(!locked);
    if (sequencer_ && sequencer_->currentRow() > 0) taskGrid->selectRow(sequencer_->currentRow() - 1);
}

void TForm3::Refresh() {
    const int rows = list_.taskCount();
    taskGrid->setRowCount(rows + 1);  // and the empty end row
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c < 6; ++c) {
            const QString text = r < rows ? platform::qt::toQt(list_.cell(r + 1, c)) : QString();
            QTableWidgetItem* item = taskGrid->item(r, c);
            if (!item)
                taskGrid->setItem(r, c, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
}

int TForm3::selectedRow() const {
    const int r = taskGrid->currentRow() + 1;
    return list_.validRow(r) ? r : 0;
}

void TForm3::Error(int index, const std::string& context) {
    static const TLanguageSet builtIn;
    MessageServices m;
    m.languageSet = services_.texts ? services_.texts.get() : &builtIn;
    m.dialogs = services_.dialogs;
    ReportMessage(m, kMsgError, index, context, 0, 0, nullptr);
}

void TForm3::newTaskButtonClick() {
    if (!services_.taskDialog) return;
    list_.task.number = static_cast<int16_t>(list_.taskCount() + 1);
    if (!services_.taskDialog(list_.task, 0)) return;
    list_.AddTaskFromRecord(services_.cdFolders ? services_.cdFolders() : CdFolderSource{});
}

void TForm3::PropertiesClick() {
    const int r = selectedRow();
    if (r == 0 || list_.locked() || !services_.taskDialog || !list_.ReadTaskRow(r)) return;
    if (services_.taskDialog(list_.task, 1)) list_.UpdateRow(r);
}

void TForm3::removeTaskButtonClick() {
    if (list_.Remove(selectedRow())) taskGrid->selectRow(0);
}

void TForm3::moveTaskUpButtonClick() {
    if (const int r = list_.MoveUp(selectedRow())) taskGrid->selectRow(r - 1);
}

void TForm3::moveTaskDownButtonClick() {
    if (const int r = list_.MoveDown(selectedRow())) taskGrid->selectRow(r - 1);
}

void TForm3::saveBatchListClick() {
    if (list_.taskCount() == 0 || !services_.fileDialogs) return;
    platform::FileDialogState state;
    state.Filter = kListFilter;
    state.DefaultExt = "ktq";
    if (!services_.fileDialogs->executeSave(state)) return;
    if (WriteBatchListFile(state.FileName, list_.Stored()) != 0) {
        Error(msg::error::kCannotCreate, state.FileName);
        return;
    }
    if (services_.keepProjects) {
        // The projects it loads and the folders its folder commands make.
        std::vector<std::string> kept;
        for (int r = 1; r <= list_.taskCount(); ++r) {
            const int16_t type = TaskTypeOf(list_.cell(r, 1));
            if (type == kLoadProjectTask) kept.push_back(list_.cell(r, 4));
            if (type == kCommandTask)
                if (const BuiltinCommand c = RecogniseBuiltin(list_.cell(r, 4)); c.kind != BuiltinCommand::kNone)
                    kept.push_back(c.folder);
        }
        services_.keepProjects(kept);
    }
}

int TForm3::loadBatchListClick() {
    if (list_.locked() || !services_.fileDialogs) return 0;
    platform::FileDialogState state;
    state.Filter = kListFilter;
    if (!services_.fileDialogs->executeOpen(state)) return 0;
    std::vector<StoredTask> tasks;
    const int rc = ReadBatchListFile(state.FileName, tasks);
    if (rc != 0) {
        Error(rc, "");
        return rc;
    }
    list_.AppendStored(tasks);
    return 0;
}

void TForm3::clearBatchListClick() { list_.Clear(); }
