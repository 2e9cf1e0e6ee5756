#include "platform/qt/shell_qt.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/qt/text.h"

namespace platform::qt {

bool QtShell::open(const std::string& target) {
    QString t = toQt(target).trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('"')) && t.endsWith(QLatin1Char('"'))) t = t.mid(1, t.size() - 2);
    if (t.isEmpty()) return false;
    static const QStringList schemes = {QStringLiteral("http:"), QStringLiteral("https:"), QStringLiteral("mailto:"),
                                        QStringLiteral("file:")};
    for (const QString& s : schemes)
        if (t.startsWith(s, Qt::CaseInsensitive)) return QDesktopServices::openUrl(QUrl(t));
    return QDesktopServices::openUrl(QUrl::fromLocalFile(t));
}

}  // namespace platform::qt
