// The SFV reader on arbitrary bytes: every entry it returns must be
// well-formed, and reading must never run past the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "batch/sfv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const SfvEntry& e : ParseSfvText(text)) {
        if (e.name.empty() || e.name.size() > size) __builtin_trap();
        if (e.name.find('\n') != std::string::npos) __builtin_trap();
        const auto first = static_cast<unsigned char>(e.name.front());
        if (first == ';' || first < '!') __builtin_trap();
    }
    for (std::string_view mask : {std::string_view("*.*"), std::string_view("?a*")})
        (void)MatchesMask(mask, text);
    (void)MatchesMask(text, "name.bin");
    return 0;
}
