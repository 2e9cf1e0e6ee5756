#include "core/text_format.h"

#include <gtest/gtest.h>

TEST(FormatCounter, AcceptsOneIntegerDirective) {
    struct Case {
        const char* pattern;
        int64_t value;
        const char* text;
    };
    const Case cases[] = {
        {"_%02d", 3, "_03"},
        {"_%02d", 123, "_123"},  // a width never cuts digits
        {"%d", 0, "0"},
        {"part%d.mpg", 12, "part12.mpg"},
        {"%3d", 7, "  7"},
        {"%0d", 7, "7"},
        {"VOL_%03d", -4, "VOL_-04"},
        {"%4d", -4, "  -4"},
        {"100%% _%d", 2, "100% _2"},
        {"%%%d%%", 5, "%5%"},
        {"%032d", 1, "00000000000000000000000000000001"},
    };
    for (const Case& c : cases) {
        auto r = FormatCounter(c.pattern, c.value);
        ASSERT_TRUE(r.has_value()) << c.pattern;
        EXPECT_EQ(*r, c.text) << c.pattern;
    }
}

TEST(FormatCounter, RefusesAnythingPrintfWouldTakeFurther) {
    const char* refused[] = {
        "",            // no directive: every file would get the same name
        "plain",
        "100%%",
        "%d_%d",       // two directives
        "%s",          // would read a pointer that is not there
        "%n",          // would write through one
        "%x", "%i", "%ld", "%lld", "%-3d", "%+d", "% d", "%.2d", "%*d",
        "_%",          // lone percent at the end
        "%02",         // directive without its letter
        "%033d",       // absurd widths
        "%99999999999d",
    };
    for (const char* p : refused) EXPECT_FALSE(FormatCounter(p, 1).has_value()) << p;
}
