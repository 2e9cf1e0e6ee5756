// A formatter for patterns the user types (MultiFileFormat such as "_%02d",
// volume name patterns). They never reach printf: only literal text, "%%" and
// exactly one integer directive (%d, %Nd, %0Nd, width up to 32) are accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The pattern with its directive replaced by value, or nothing when the
// pattern holds no directive, more than one, or anything else after a "%".
std::optional<std::string> FormatCounter(const std::string& pattern, int64_t value);
