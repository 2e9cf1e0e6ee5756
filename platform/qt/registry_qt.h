// The settings store as an INI file in the user's config directory
// ($XDG_CONFIG_HOME/Pellmor/Pellmor.ini, else ~/.config/...). Key paths
// "\Software\Pellmor" become groups "Software/Pellmor".
#pragma once

#include <QSettings>
#include <memory>

#include "platform/registry.h"

namespace platform::qt {

class QtRegistry final : public platform::Registry {
public:
    QtRegistry();  // the user's file
    explicit QtRegistry(const QString& iniPath);

    bool openKey(const std::string& key, bool create) override;
    void closeKey() override;
    bool keyExists(const std::string& key) override;
    bool deleteKey(const std::string& key) override;
    bool valueExists(const std::string& name) override;
    std::optional<int32_t> readInteger(const std::string& name) override;
    std::optional<std::string> readString(const std::string& name) override;
    bool writeInteger(const std::string& name, int32_t value) override;
    bool writeString(const std::string& name, const std::string& value) override;

    QString fileName() const { return settings_->fileName(); }
    static QString DefaultPath();

private:
    QString valuePath(const std::string& name) const;
    std::unique_ptr<QSettings> settings_;
    QString open_;
    bool isOpen_ = false;
};

}  // namespace platform::qt
