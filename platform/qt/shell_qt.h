#pragma once

#include "platform/shell.h"

namespace platform::qt {

class QtShell final : public platform::Shell {
public:
    bool open(const std::string& target) override;
};

}  // namespace platform::qt
