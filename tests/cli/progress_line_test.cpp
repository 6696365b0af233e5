// SPDX-License-Identifier: Apache-2.0
#include "cli/progress_line.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

TEST(progress_line, draws_only_on_a_terminal_and_without_escapes_on_a_dumb_one) {
    struct {
        bool wanted, terminal;
        const char* term;
        progress_style style;
    } const cases[] = {
        {true, true, "xterm-256color", progress_style::ansi},
        {true, true, "dumb", progress_style::plain},
        {true, true, nullptr, progress_style::plain},
        {true, false, "xterm", progress_style::off},   // stderr redirected
        {false, true, "xterm", progress_style::off},   // --quiet, --format json
    };
    for (const auto& c : cases) EXPECT_EQ(progress_style_for(c.wanted, c.terminal, c.term), c.style);
}

TEST(progress_line, long_names_lose_their_front_on_a_character_boundary) {
    EXPECT_EQ(shortened_name("short.html", 12), "short.html");
    EXPECT_EQ(shortened_name("abcdefghijklmno.html", 12), "...lmno.html");
    // "é" is two bytes; a cut through it moves to the next character.
    EXPECT_EQ(shortened_name("caf\xC3\xA9-\xC3\xA9t\xC3\xA9.html", 12), "...t\xC3\xA9.html");
    EXPECT_EQ(shortened_name("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC", 10),
              "...\xE6\x97\xA5\xE6\x9C\xAC");
}

}  // namespace
}  // namespace korvane::cli
