#include "app/log_page/log_page.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>

#include "app/page_controls.h"
#include "platform/qt/widget_make.h"

using platform::qt::Make;

TLogPage::TLogPage(QWidget* p) {
    log = Make<QListWidget>(p, "log", 6, 6, 664, 264);
    log->setSelectionMode(QAbstractItemView::ExtendedSelection);
    log->addItem(QStringLiteral("[ PELLMOR PROCESSING LOG ]"));
    copyAnimPanel = Make<QFrame>(p, "copyAnimPanel", 6, 276, 200, 22);
    copyAnimPanel->setFrameShape(QFrame::NoFrame);
    copyPanel = MakeButton(p, "copyPanel", "copy", 520, 276, 72, 22);
    clearPanel = MakeButton(p, "clearPanel", "clear", 598, 276, 72, 22);

    connect(copyPanel, &QPushButton::clicked, this, [this] { ccopyButtonClick(); });
    connect(clearPanel, &QPushButton::clicked, this, [this] { clearLogClick(); });
}

void TLogPage::ccopyButtonClick() {
    QStringList lines;
    for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void TLogPage::clearLogClick() { log->clear(); }
