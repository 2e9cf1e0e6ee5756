// Our texts are 8-bit strings; widgets take them as UTF-8, or as Latin-1
// where the bytes are not valid UTF-8 (old language files, old settings).
#pragma once

#include <QString>
#include <string>

namespace platform::qt {

QString toQt(const std::string& bytes);
std::string fromQt(const QString& text);

}  // namespace platform::qt
