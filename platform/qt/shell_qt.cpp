#include "platform/qt/shell_qt.h"

#include <QDesktopServices>
#include <QUrl>
#include <filesystem>

#include "platform/qt/text.h"

namespace platform::qt {

namespace {

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool HasScheme(const std::string& s) {
    for (const char* scheme : {"http:", "https:", "mailto:", "file:"}) {
        const size_t n = std::char_traits<char>::length(scheme);
        if (s.size() >= n && QByteArray(s.data(), static_cast<qsizetype>(n)).compare(scheme, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

}  // namespace

QUrl UrlForOpen(const std::string& target) {
    std::string t = Trimmed(target);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    if (t.empty()) return {};
    if (HasScheme(t)) return QUrl(toQt(t));
    // A path goes over as its bytes, percent-encoded, so that a name that is
    // not UTF-8 still names its file.
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(t, ec);
    const std::string path = ec ? t : abs.string();
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

bool QtShell::open(const std::string& target) {
    const QUrl url = UrlForOpen(target);
    if (url.isEmpty()) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace platform::qt
