#pragma once

#include <QUrl>

#include "platform/shell.h"

namespace platform::qt {

class QtShell final : public platform::Shell {
public:
    bool open(const std::string& target) override;
};

// What "open" hands the desktop for a path (in double quotes or not) or a URL.
QUrl UrlForOpen(const std::string& target);

}  // namespace platform::qt
