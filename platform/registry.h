// The settings store: named integer and string values under one key path.
// Key paths use "\" as the stored settings always have ("\Software\Pellmor").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key; with create false a missing key fails (returns false).
    virtual bool openKey(const std::string& key, bool create) = 0;
    virtual void closeKey() = 0;
    virtual bool keyExists(const std::string& key) = 0;
    virtual bool deleteKey(const std::string& key) = 0;
    // Values of the open key.
    virtual bool valueExists(const std::string& name) = 0;
    virtual std::optional<int32_t> readInteger(const std::string& name) = 0;
    virtual std::optional<std::string> readString(const std::string& name) = 0;
    virtual bool writeInteger(const std::string& name, int32_t value) = 0;
    virtual bool writeString(const std::string& name, const std::string& value) = 0;
};

}  // namespace platform
