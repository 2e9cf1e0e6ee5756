#include "batch/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* text;
    std::vector<std::string> tokens;
};

TEST(SplitParameterText, TokensOfTaskRows) {
    const Case cases[] = {
        {"", {}},
        {"sums.sfv", {"sums.sfv"}},
        {"sums.sfv *.mpg d/*.dat", {"sums.sfv", "*.mpg", "d/*.dat"}},
        // Blanks inside quotes belong to the name; the quotes go.
        {"\"my sums.sfv\" \"a b.bin\" c.bin", {"my sums.sfv", "a b.bin", "c.bin"}},
        // A trailing blank closes the last token and opens none.
        {"sums.sfv ", {"sums.sfv"}},
        // Every blank outside quotes ends a token, even an empty one.
        {"sums.sfv  a.bin", {"sums.sfv", "", "a.bin"}},
        {" sums.sfv", {"", "sums.sfv"}},
        {"\"\"", {""}},
        // An unclosed quote runs to the end of the text.
        {"\"a b c", {"a b c"}},
        // Quotes inside a token stay unless they surround it.
        {"a\"b c\"d e", {"a\"b c\"d", "e"}},
        {"\"a b\".sfv x", {"a b\".sfv", "x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitParameterText(c.text), c.tokens) << "text: [" << c.text << "]";
}

}  // namespace
