// The desktop's "open" action for documents, web pages, mail addresses and
// the files a job wrote.
#pragma once

#include <string>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // A path or a URL ("https:", "mailto:"); the result is not used by callers.
    virtual bool open(const std::string& target) = 0;
};

}  // namespace platform
