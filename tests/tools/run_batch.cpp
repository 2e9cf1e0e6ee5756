// run_batch: the main window and the batch window, offscreen, driven as a
// user would drive them, so that a batch can be checked from outside.
//
// run_batch [--archiver PATH] [--set NAME=VALUE]... then, in order:
//           [--list FILE] [--project METHOD SOURCE OUTPUT]... [--save FILE]
//           [--print] [--run [--stop-after SECONDS]]
//
// --list opens a list ("Open/Insert list"); --project loads SOURCE with the
// extraction method, the dialogs answered with SOURCE and OUTPUT, and adds
// the task as "-->" does (methods 0 and 1 add the rows of a RAR load);
// --print writes a line per task, columns 0..5 separated by tabs; --run runs
// the list to its end, printing every log line and each row's status.
//
// Exit status: 0 every task completed or was bypassed, 1 a task failed, 3
// stopped, 6 the list cannot be opened, 17 the list is invalid, 2 usage.
#include <QApplication>
#include <QAbstractItemModel>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/main_window/main_window.h"
#include "batch/batch_window.h"
#include "core/result_codes.h"
#include "platform/qt/text.h"
#include "settings/registry_settings.h"
#include "tests/support/fakes.h"

namespace {

int Usage(const std::string& why) {
    std::fprintf(stderr, "run_batch: %s\n", why.c_str());
    std::fprintf(stderr,
                 "usage: run_batch [--archiver PATH] [--set NAME=VALUE]... [--list FILE]\n"
                 "                 [--project METHOD SOURCE OUTPUT]... [--save FILE] [--print]\n"
                 "                 [--run] [--stop-after SECONDS]\n");
    return 2;
}

// Nobody watches: questions are answered Yes, boxes are written out.
class PrintingDialogs final : public platform::Dialogs {
public:
    int ask(const std::string& message, const std::string& caption) override {
        std::fprintf(stderr, "question: %s: %s (yes)\n", caption.c_str(), message.c_str());
        return platform::kYes;
    }
    void error(const std::string& message, const std::string& caption) override {
        std::fprintf(stderr, "error: %s: %s\n", caption.c_str(), message.c_str());
    }
    void info(const std::string& message, const std::string& caption) override {
        std::fprintf(stderr, "info: %s: %s\n", caption.c_str(), message.c_str());
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void beep() override {}
};

struct Action {
    std::string kind;
    std::vector<std::string> args;
};

bool ParseInt(const std::string& text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
    out = static_cast<int>(v);
    return true;
}

void PrintRows(TForm3& batch) {
    const BatchList& list = batch.list();
    for (int r = 1; r <= list.taskCount(); ++r) {
        std::string line;
        for (int c = 0; c < 6; ++c) line += (c ? "\t" : "") + list.cell(r, c);
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    fakes::MemoryRegistry registry;
    registry.openKey(kSettingsKey, true);
    std::vector<Action> actions;
    double stopAfter = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto take = [&](int n, std::vector<std::string>& out) {
            if (i + n >= argc) return false;
            for (int k = 1; k <= n; ++k) out.push_back(argv[i + k]);
            i += n;
            return true;
        };
        std::vector<std::string> v;
        if (a == "--archiver") {
            if (!take(1, v)) return Usage("--archiver needs a path");
            registry.writeString("RARArchiverLocation", v[0]);
        } else if (a == "--set") {
            if (!take(1, v)) return Usage("--set needs NAME=VALUE");
            const size_t eq = v[0].find('=');
            if (eq == std::string::npos) return Usage("--set needs NAME=VALUE");
            const std::string name = v[0].substr(0, eq), text = v[0].substr(eq + 1);
            const SettingInfo* info = FindSetting(name);
            if (!info) return Usage("no setting named " + name);
            int n = 0;
            if (info->type == SettingType::String)
                registry.writeString(name, text);
            else if (ParseInt(text, n))
                registry.writeInteger(name, n);
            else
                return Usage("setting " + name + " takes a number");
        } else if (a == "--stop-after") {
            if (!take(1, v)) return Usage("--stop-after needs seconds");
            char* end = nullptr;
            stopAfter = std::strtod(v[0].c_str(), &end);
            if (*end != '\0' || stopAfter < 0) return Usage("--stop-after needs seconds");
        } else if (a == "--list" || a == "--save") {
            if (!take(1, v)) return Usage(a + " needs a file");
            actions.push_back({a, v});
        } else if (a == "--project") {
            if (!take(3, v)) return Usage("--project needs METHOD SOURCE OUTPUT");
            int method = -1;
            if (!ParseInt(v[0], method) || method < 0 || method > 13) return Usage("METHOD is 0..13");
            actions.push_back({a, v});
        } else if (a == "--print" || a == "--run") {
            actions.push_back({a, {}});
        } else {
            return Usage("unknown argument " + a);
        }
    }
    registry.closeKey();

    QApplication app(argc, argv);
    TForm1::ApplyApplicationStyle();
    PrintingDialogs dialogs;
    fakes::ScriptedFileDialogs files;
    fakes::RecordingShell shell;
    TForm1::Services services;
    services.registry = &registry;
    services.dialogs = &dialogs;
    services.fileDialogs = &files;
    services.shell = &shell;
    auto window = std::make_unique<TForm1>(std::move(services));
    window->show();
    window->openBatchListClick();
    TForm3& batch = *window->BatchForm;

    int status = 0;
    for (const Action& action : actions) {
        if (action.kind == "--list") {
            files.scriptOpen(action.args[0]);
            if (const int rc = batch.loadBatchListClick(); rc != 0) {
                window.reset();
                return rc;
            }
        } else if (action.kind == "--project") {
            int method = 0;
            ParseInt(action.args[0], method);
            window->pellmorButtonClick();
            window->extractionPage->methodBox->setCurrentIndex(method);
            window->extractionPage->methodBoxChange();
            files.scriptOpen(action.args[1]);
            // An archive's output goes beside it: no save dialog is shown.
            if (method > 1) files.scriptSave(action.args[2]);
            window->extractionPage->loadButtonClick();
            // An archive's rows come with its load; any other source is
            // handed over as "-->" does.
            if (method > 1) window->transferJobButtonClick();
        } else if (action.kind == "--save") {
            files.scriptSave(action.args[0]);
            batch.saveBatchListClick();
        } else if (action.kind == "--print") {
            PrintRows(batch);
        } else if (action.kind == "--run") {
            QListWidget* log = window->logPage->log;
            const int before = log->count();
            for (int r = 0; r < before; ++r) std::printf("%s\n", log->item(r)->text().toLocal8Bit().constData());
            QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, log,
                             [log](const QModelIndex&, int first, int last) {
                                 for (int r = first; r <= last; ++r)
                                     if (QListWidgetItem* item = log->item(r))
                                         std::printf("%s\n", platform::qt::fromQt(item->text()).c_str());
                                 std::fflush(stdout);
                             });
            bool stopped = false;
            if (stopAfter >= 0)
                QTimer::singleShot(static_cast<int>(stopAfter * 1000), &batch, [&] {
                    if (!batch.sequencer().running()) return;
                    stopped = true;
                    batch.runTaskClick();
                });
            batch.runTaskClick();
            while (batch.sequencer().running()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                QThread::msleep(2);
            }
            // The last job's end is handled before the windows go.
            QCoreApplication::processEvents();
            const TLanguageSet& texts = *window->languageSet;
            const BatchList& list = batch.list();
            bool failed = false;
            for (int r = 1; r <= list.taskCount(); ++r) {
                const std::string& s = list.cell(r, 2);
                std::printf("task %d: %s\n", r, s.c_str());
                if (s != texts.core(msg::core::kCompleted) && s != texts.core(msg::core::kBypassed)) failed = true;
            }
            std::fflush(stdout);
            status = stopped ? 3 : failed ? 1 : 0;
            QObject::disconnect(log->model(), nullptr, log, nullptr);
        }
    }
    window->close();
    window.reset();
    return status;
}
