// The registry the whole program shares, with a latch: once the user has
// removed the settings, nothing writes or creates a key again in this run
// until the user chooses settings again.
#pragma once

#include "platform/registry.h"

namespace platform {

class LatchedRegistry final : public Registry {
public:
    explicit LatchedRegistry(Registry& inner) : inner_(inner) {}

    // While latched, opening never creates a key and every write fails.
    void latch() { latched_ = true; }
    void unlatch() { latched_ = false; }
    bool latched() const { return latched_; }

    bool openKey(const std::string& key, bool create) override {
        return inner_.openKey(key, create && !latched_);
    }
    void closeKey() override { inner_.closeKey(); }
    bool keyExists(const std::string& key) override { return inner_.keyExists(key); }
    bool deleteKey(const std::string& key) override { return inner_.deleteKey(key); }
    bool valueExists(const std::string& name) override { return inner_.valueExists(name); }
    std::optional<int32_t> readInteger(const std::string& name) override { return inner_.readInteger(name); }
    std::optional<std::string> readString(const std::string& name) override { return inner_.readString(name); }
    bool writeInteger(const std::string& name, int32_t value) override {
        return !latched_ && inner_.writeInteger(name, value);
    }
    bool writeString(const std::string& name, const std::string& value) override {
        return !latched_ && inner_.writeString(name, value);
    }

private:
    Registry& inner_;
    bool latched_ = false;
};

}  // namespace platform
