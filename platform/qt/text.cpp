#include "platform/qt/text.h"

#include <QHash>
#include <QListWidgetItem>
#include <QObject>
#include <QStringDecoder>
#include <QVariant>
#include <mutex>

namespace platform::qt {

namespace {

// Texts shown as Latin-1 through toQt, with their bytes; shared by the GUI
// thread and the worker. It is never cleared, so a text once shown always
// comes back as its bytes. Only window code adds to it (a user's names and
// the language texts), since the handles keep their bytes with the widget.
std::mutex& LatinMutex() {
    static std::mutex m;
    return m;
}
QHash<QString, std::string>& LatinTexts() {
    static QHash<QString, std::string> texts;
    return texts;
}

// The text for the bytes, and whether they had to be taken as Latin-1.
QString Decode(const std::string& bytes, bool& latin1) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    latin1 = utf8.hasError();
    if (latin1) s = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return s;
}

// Only Latin-1 texts need their bytes: UTF-8 ones read back as themselves.
QVariant Kept(const std::string& bytes, bool latin1) {
    return latin1 ? QVariant(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))) : QVariant();
}

// The kept bytes when they still are what is shown; someone may have set the
// widget's text directly since.
std::string FromKept(const QVariant& kept, const QString& shown) {
    const QByteArray bytes = kept.toByteArray();
    if (!bytes.isEmpty() && QString::fromLatin1(bytes) == shown)
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    return fromQt(shown);
}

QByteArray PropertyName(const char* name) { return QByteArray("pellmorBytes_") + name; }

constexpr int kBytesRole = Qt::UserRole + 0x5042;

}  // namespace

QString toQt(const std::string& bytes) {
    bool latin1 = false;
    QString s = Decode(bytes, latin1);
    if (!latin1) return s;
    std::lock_guard<std::mutex> lock(LatinMutex());
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

QString toQtKept(QObject* holder, const char* name, const std::string& bytes) {
    bool latin1 = false;
    QString s = Decode(bytes, latin1);
    holder->setProperty(PropertyName(name).constData(), Kept(bytes, latin1));
    return s;
}

std::string fromQtKept(const QObject* holder, const char* name, const QString& shown) {
    return FromKept(holder->property(PropertyName(name).constData()), shown);
}

QString toQtKept(QListWidgetItem* item, const std::string& bytes) {
    bool latin1 = false;
    QString s = Decode(bytes, latin1);
    item->setData(kBytesRole, Kept(bytes, latin1));
    return s;
}

std::string fromQtKept(const QListWidgetItem* item) { return FromKept(item->data(kBytesRole), item->text()); }

std::string localPath(const QUrl& url) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace platform::qt
