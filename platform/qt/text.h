// Our texts are 8-bit strings; widgets take them as UTF-8, or as Latin-1
// where the bytes are not valid UTF-8 (old language files, old settings,
// file names written by older programs).
#pragma once

#include <QString>
#include <QUrl>
#include <string>

namespace platform::qt {

QString toQt(const std::string& bytes);
// The bytes a text came in with when toQt showed it as Latin-1 (so a
// Latin-1 file name still names its file), else the text as UTF-8.
std::string fromQt(const QString& text);
// The path of a file URL as the bytes the URL encodes (not always UTF-8).
std::string localPath(const QUrl& url);

}  // namespace platform::qt
