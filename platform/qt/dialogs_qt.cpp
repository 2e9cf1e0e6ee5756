#include "platform/qt/dialogs_qt.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/qt/controls_qt.h"
#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"

namespace platform::qt {

namespace {

// Boxes of ours whose exec() has not returned yet (GUI thread only).
int gOpenBoxes = 0;

struct OpenBox {
    OpenBox() { ++gOpenBoxes; }
    ~OpenBox() { --gOpenBoxes; }
};

}  // namespace

bool BoxLoopRunning() { return gOpenBoxes > 0; }

QObject* QtDialogs::context() const {
    if (parent_) return parent_.data();
    return QCoreApplication::instance();
}

int QtDialogs::ask(const std::string& message, const std::string& caption) {
    int answer = kCancel;
    runOnGui(context(), [&] {
        if (refuse_) return;
        QMessageBox box(QMessageBox::Warning, toQt(caption), toQt(message),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_.data());
        const int button = [&] {
            OpenBox open;
            return box.exec();
        }();
        // Ended by the window's close: Cancel, whatever the box returned.
        if (refuse_) return;
        switch (button) {
            case QMessageBox::Yes: answer = kYes; break;
            case QMessageBox::No: answer = kNo; break;
            default: answer = kCancel; break;
        }
    });
    return answer;
}

int QtDialogs::askYesNo(const std::string& message, const std::string& caption) {
    int answer = kNo;
    runOnGui(context(), [&] {
        if (refuse_) return;
        QMessageBox box(QMessageBox::Question, toQt(caption), toQt(message), QMessageBox::Yes | QMessageBox::No,
                        parent_.data());
        const int button = [&] {
            OpenBox open;
            return box.exec();
        }();
        if (refuse_) return;
        answer = button == QMessageBox::Yes ? kYes : kNo;
    });
    return answer;
}

void QtDialogs::error(const std::string& message, const std::string& caption) {
    runOnGui(context(), [&] {
        if (refuse_) return;
        QMessageBox box(QMessageBox::Warning, toQt(caption), toQt(message), QMessageBox::Ok, parent_.data());
        OpenBox open;
        box.exec();
    });
}

void QtDialogs::info(const std::string& message, const std::string& caption) {
    runOnGui(context(), [&] {
        if (refuse_) return;
        QMessageBox box(QMessageBox::Information, toQt(caption), toQt(message), QMessageBox::Ok, parent_.data());
        OpenBox open;
        box.exec();
    });
}

std::optional<std::string> QtDialogs::inputBox(const std::string& caption, const std::string& prompt,
                                               const std::string& initial) {
    std::optional<std::string> result;
    runOnGui(context(), [&] {
        if (refuse_) return;
        bool ok = false;
        OpenBox open;
        QString t = QInputDialog::getText(parent_.data(), toQt(caption), toQt(prompt), QLineEdit::Normal,
                                          toQt(initial), &ok);
        if (ok && !refuse_) result = fromQt(t);
    });
    return result;
}

std::optional<int32_t> QtDialogs::chooseColour(int32_t initialBgr) {
    std::optional<int32_t> result;
    runOnGui(context(), [&] {
        if (refuse_) return;
        QColorDialog dialog(fromBgr(initialBgr), parent_.data());
        OpenBox open;
        if (dialog.exec() == QDialog::Accepted && !refuse_) result = toBgr(dialog.selectedColor());
    });
    return result;
}

void QtDialogs::beep() {
    postToGui(context(), [] { QApplication::beep(); });
}

QString ToQtFilter(const std::string& filter) {
    const QStringList parts = toQt(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString t = p.trimmed();
            // "*.*" means every file, also names without a dot.
            patterns << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
        }
        out << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

bool QtFileDialogs::execute(platform::FileDialogState& state, bool save) {
    bool ok = false;
    QObject* ctx = parent_ ? static_cast<QObject*>(parent_.data()) : QCoreApplication::instance();
    runOnGui(ctx, [&] {
        QFileDialog dlg(parent_.data(), toQt(state.Title));
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(save ? QFileDialog::AnyFile
                             : (state.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
        const QString filter = ToQtFilter(state.Filter);
        if (!filter.isEmpty()) {
            const QStringList filters = filter.split(QStringLiteral(";;"));
            dlg.setNameFilters(filters);
            int idx = state.FilterIndex - 1;
            if (idx >= 0 && idx < filters.size()) dlg.selectNameFilter(filters[idx]);
        }
        if (!state.InitialDir.empty()) dlg.setDirectory(toQt(state.InitialDir));
        if (!state.DefaultExt.empty()) dlg.setDefaultSuffix(toQt(state.DefaultExt));
        if (!state.FileName.empty()) dlg.selectFile(toQt(state.FileName));
        const int result = [&] {
            OpenBox open;
            return dlg.exec();
        }();
        if (result != QDialog::Accepted) return;
        const QStringList files = dlg.selectedFiles();
        if (files.isEmpty()) return;
        state.Files.clear();
        for (const QString& f : files) state.Files.push_back(fromQt(f));
        state.FileName = state.Files.front();
        const QStringList filters = dlg.nameFilters();
        state.FilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
        if (state.FilterIndex < 1) state.FilterIndex = 1;
        ok = true;
    });
    return ok;
}

bool QtFileDialogs::executeOpen(platform::FileDialogState& state) { return execute(state, false); }
bool QtFileDialogs::executeSave(platform::FileDialogState& state) { return execute(state, true); }

bool QtFileDialogs::selectDirectory(const std::string& caption, std::string& dir) {
    bool ok = false;
    QObject* ctx = parent_ ? static_cast<QObject*>(parent_.data()) : QCoreApplication::instance();
    runOnGui(ctx, [&] {
        OpenBox open;
        QString d = QFileDialog::getExistingDirectory(parent_.data(), toQt(caption), toQt(dir));
        if (d.isEmpty()) return;
        dir = fromQt(d);
        ok = true;
    });
    return ok;
}

}  // namespace platform::qt
