#include "platform/qt/text.h"

#include <QStringDecoder>

namespace platform::qt {

QString toQt(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) return s;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string fromQt(const QString& text) { return text.toStdString(); }

}  // namespace platform::qt
