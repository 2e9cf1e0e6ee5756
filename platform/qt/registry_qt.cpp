#include "platform/qt/registry_qt.h"

#include <QStandardPaths>

#include "platform/qt/text.h"

namespace platform::qt {

namespace {

QString GroupOf(const std::string& key) {
    QString g = toQt(key);
    g.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (g.startsWith(QLatin1Char('/'))) g.remove(0, 1);
    while (g.endsWith(QLatin1Char('/'))) g.chop(1);
    return g;
}

// A value stored by hand may be any text: only a whole decimal number in
// range is an integer.
std::optional<int32_t> ParseInteger(const QString& text) {
    bool ok = false;
    qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(v);
}

}  // namespace

QString QtRegistry::DefaultPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Pellmor/Pellmor.ini");
}

QtRegistry::QtRegistry() : QtRegistry(DefaultPath()) {}

QtRegistry::QtRegistry(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

bool QtRegistry::openKey(const std::string& key, bool create) {
    settings_->sync();  // another window may have written the file
    if (!create && !keyExists(key)) return false;
    open_ = GroupOf(key);
    isOpen_ = true;
    return true;
}

void QtRegistry::closeKey() {
    isOpen_ = false;
    settings_->sync();
}

bool QtRegistry::keyExists(const std::string& key) {
    settings_->beginGroup(GroupOf(key));
    bool any = !settings_->allKeys().isEmpty();
    settings_->endGroup();
    return any;
}

bool QtRegistry::deleteKey(const std::string& key) {
    bool existed = keyExists(key);
    settings_->remove(GroupOf(key));
    settings_->sync();
    if (isOpen_ && open_ == GroupOf(key)) isOpen_ = false;
    return existed;
}

QString QtRegistry::valuePath(const std::string& name) const { return open_ + QLatin1Char('/') + toQt(name); }

bool QtRegistry::valueExists(const std::string& name) { return isOpen_ && settings_->contains(valuePath(name)); }

std::optional<int32_t> QtRegistry::readInteger(const std::string& name) {
    if (!valueExists(name)) return std::nullopt;
    return ParseInteger(settings_->value(valuePath(name)).toString());
}

std::optional<std::string> QtRegistry::readString(const std::string& name) {
    if (!valueExists(name)) return std::nullopt;
    const QVariant v = settings_->value(valuePath(name));
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        return std::string(b.constData(), static_cast<size_t>(b.size()));
    }
    return fromQt(v.toString());
}

bool QtRegistry::writeInteger(const std::string& name, int32_t value) {
    if (!isOpen_) return false;
    settings_->setValue(valuePath(name), value);
    return settings_->status() == QSettings::NoError;
}

bool QtRegistry::writeString(const std::string& name, const std::string& value) {
    if (!isOpen_) return false;
    // Bytes that are not UTF-8 (a Latin-1 folder name) are kept as bytes, so
    // that the next run reads back the same name.
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (text.toStdString() == value)
        settings_->setValue(valuePath(name), text);
    else
        settings_->setValue(valuePath(name), QByteArray(value.data(), static_cast<qsizetype>(value.size())));
    return settings_->status() == QSettings::NoError;
}

}  // namespace platform::qt
