// Our texts are 8-bit strings; widgets take them as UTF-8, or as Latin-1
// where the bytes are not valid UTF-8 (old language files, old settings,
// file names written by older programs).
#pragma once

#include <QString>
#include <QUrl>
#include <string>

class QObject;
class QListWidgetItem;

namespace platform::qt {

// A text for a widget. One shown as Latin-1 is remembered with its bytes for
// fromQt, for as long as the program runs.
QString toQt(const std::string& bytes);
// The bytes a text came in with when toQt showed it as Latin-1 (so a
// Latin-1 file name still names its file), else the text as UTF-8.
std::string fromQt(const QString& text);

// The control handles keep the bytes with the widget instead, so that any
// number of changing texts (log lines, captions with a percentage) neither
// grows a table nor pushes an earlier name out of one: the bytes live and
// go with what shows them. name tells several texts of one widget apart.
QString toQtKept(QObject* holder, const char* name, const std::string& bytes);
std::string fromQtKept(const QObject* holder, const char* name, const QString& shown);
QString toQtKept(QListWidgetItem* item, const std::string& bytes);
std::string fromQtKept(const QListWidgetItem* item);
// The path of a file URL as the bytes the URL encodes (not always UTF-8).
std::string localPath(const QUrl& url);

}  // namespace platform::qt
