#include "platform/qt/text.h"

#include <QHash>
#include <QStringDecoder>
#include <mutex>

namespace platform::qt {

namespace {

// Texts shown as Latin-1, with their bytes; shared by the GUI thread and the
// worker. Few texts are not UTF-8; a long run of changing ones (a title with
// a percentage) starts the table afresh rather than growing it for ever.
constexpr qsizetype kMaxLatinTexts = 4096;
std::mutex& LatinMutex() {
    static std::mutex m;
    return m;
}
QHash<QString, std::string>& LatinTexts() {
    static QHash<QString, std::string> texts;
    return texts;
}

}  // namespace

QString toQt(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) return s;
    s = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    std::lock_guard<std::mutex> lock(LatinMutex());
    if (LatinTexts().size() >= kMaxLatinTexts) LatinTexts().clear();
    LatinTexts().insert(s, bytes);
    return s;
}

std::string fromQt(const QString& text) {
    {
        std::lock_guard<std::mutex> lock(LatinMutex());
        auto it = LatinTexts().constFind(text);
        if (it != LatinTexts().constEnd()) return *it;
    }
    return text.toStdString();
}

std::string localPath(const QUrl& url) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace platform::qt
