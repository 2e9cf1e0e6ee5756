#include "batch/command_line.h"

#include "core/helpers.h"

std::vector<std::string> SplitParameterText(const std::string& text) {
    std::vector<std::string> tokens;
    std::string token;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            token += c;
        } else if (c == ' ' && !quoted) {
            tokens.push_back(StripQuotes(token));
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty()) tokens.push_back(StripQuotes(token));
    return tokens;
}
