#include "core/text_format.h"

namespace {

constexpr int kMaxWidth = 32;

std::string formatInteger(int64_t value, bool zeroPad, int width) {
    bool negative = value < 0;
    uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string sign = negative ? "-" : "";
    size_t used = digits.size() + sign.size();
    size_t pad = static_cast<size_t>(width) > used ? static_cast<size_t>(width) - used : 0;
    if (zeroPad) return sign + std::string(pad, '0') + digits;
    return std::string(pad, ' ') + sign + digits;
}

}  // namespace

std::optional<std::string> FormatCounter(const std::string& pattern, int64_t value) {
    std::string out;
    bool haveDirective = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= pattern.size()) return std::nullopt;
        if (pattern[i] == '%') {
            out += '%';
            continue;
        }
        bool zeroPad = false;
        if (pattern[i] == '0') {
            zeroPad = true;
            ++i;
        }
        int width = 0;
        while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
            width = width * 10 + (pattern[i] - '0');
            if (width > kMaxWidth) return std::nullopt;
            ++i;
        }
        if (i >= pattern.size() || pattern[i] != 'd' || haveDirective) return std::nullopt;
        haveDirective = true;
        out += formatInteger(value, zeroPad, width);
    }
    if (!haveDirective) return std::nullopt;
    return out;
}
