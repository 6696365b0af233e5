// SPDX-License-Identifier: Apache-2.0
// One engine renders a template page after page with the same scans; the
// second and later pages must come out exactly as the first. The reference
// is the same walk with case folded away, which scans line by line (the
// templates hold their markers in one case only).
#include "template/template_engine.h"

#include "../support/case_table.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

struct step {
    char op;  // t p T P: jump to/past (either); o O: output to/past; @: place the cursor
    std::string_view a, b = {}, other = {};
    int line = 0, column = 0;
};

// Tags, sections (with the end hidden by depth), either scans, columns before,
// inside and past a line, a scan that runs to the end, and one from there.
// clang-format off
const std::vector<step> walk = {
    {'o', "<!--"}, {'O', "-->"}, {'p', "<!--END-->", "", "<!--SEC"}, {'o', "<!--"},
    {'p', "-->"}, {'T', "<!--END-->", "<!--MID-->", "<!--SEC"}, {'o', "<!--"},
    {'@', "", "", "", 0, 3}, {'P', "<!--MID-->", "<!--END-->", "<!--SEC"}, {'O', "-->"},
    {'@', "", "", "", 1, 200}, {'o', "<!--"}, {'@', "", "", "", 0, 0}, {'O', "-->"},
    {'o', "<!--END-->", "", "<!--SEC"}, {'t', "<!--MID-->"}, {'@', "", "", "", 0, 5},
    {'o', "never there"}, {'@', "", "", "", 1, 1}, {'t', "<!--MID-->"}, {'@', "", "", "", 1, 1},
    {'O', "<!--END-->"}, {'@', "", "", "", 0, 2},
    {'o', "<!--"}, {'O', "-->"}, {'o', "<!--"}, {'O', "-->"}, {'o', "<!--"}, {'O', "-->"},
};
// clang-format on

// What each step left behind, then the page.
std::vector<std::string> run(template_engine& engine, bool ignore_case, const std::string& page) {
    std::vector<std::string> seen;
    engine.initialise_cursor();
    std::string error;
    if (!page.empty() && !engine.open_output_file(page, error)) ADD_FAILURE() << error;
    // One buffer for each text: texts are told apart by bytes, not address.
    std::string a, b, other;
    for (const step& s : walk) {
        a = s.a;
        b = s.b;
        other = s.other;
        if (s.op == '@') engine.place_cursor(s.line, s.column);
        const bool found =
            s.op == 't'   ? engine.jump_to_line_containing(a, other, ignore_case)
            : s.op == 'p' ? engine.jump_past_line_containing(a, other, ignore_case)
            : s.op == 'T' ? engine.jump_to_line_containing_either(a, b, other, ignore_case)
            : s.op == 'P' ? engine.jump_past_line_containing_either(a, b, other, ignore_case)
            : s.op == 'o'
                ? engine.output_to_line_containing(a, other, ignore_case)
                : s.op == 'O' && engine.output_past_line_containing(a, other, ignore_case);
        seen.push_back(
            std::to_string(found) + " " + std::to_string(engine.cursor_line()) + ":" +
            std::to_string(engine.cursor_column()) + (engine.end_of_file() ? " end [" : " [") +
            std::string(engine.pending_output()) + "] " + std::string(engine.tag_at_cursor()));
    }
    if (!page.empty()) {
        engine.close_output_file();
        seen.push_back(test::read_file(page));
    }
    return seen;
}

TEST(repeated_scans, give_the_first_page_again_on_every_template_and_after_every_load) {
    test::temp_folder temp;
    template_engine reference, engine;  // engine keeps what it learnt between loads
    for (const auto& row : test::read_case_table("template/repeated_scan_templates.tsv", 1)) {
        ASSERT_TRUE(reference.load_template_text(row[0])) << row.where;
        ASSERT_TRUE(engine.load_template_text(row[0])) << row.where;
        for (const std::string page : {"", "p.html", "", "p.html"}) {
            const auto expected = run(reference, true, page.empty() ? page : temp.path(page));
            EXPECT_EQ(run(engine, false, page.empty() ? page : temp.path(page)), expected)
                << row.where;
        }
    }
}

TEST(repeated_scans, a_load_while_a_page_is_open_drops_only_the_line_not_yet_ended) {
    test::temp_folder temp;
    template_engine engine;
    std::string error;
    engine.output_text("first ", false);
    ASSERT_TRUE(engine.open_output_file(temp.path("p.html"), error)) << error;
    engine.output_text("line", true);
    engine.output_text("dropped", false);
    EXPECT_EQ(engine.pending_output(), "dropped");
    ASSERT_TRUE(engine.load_template_text("x\n"));
    EXPECT_EQ(engine.pending_output(), "");
    engine.close_output_file();
    EXPECT_EQ(test::read_file(temp.path("p.html")), "first line\r\n");
}

TEST(repeated_scans, stay_right_past_the_memo_s_bounds) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "<!--" + std::to_string(i % 90) + "--> x <!--y-->\n";
    template_engine reference, engine;
    ASSERT_TRUE(reference.load_template_text(text));
    ASSERT_TRUE(engine.load_template_text(text));
    int wrong = 0;
    auto compare_scan = [&](int line, int column, const std::string& tag) {
        reference.place_cursor(line, column);
        engine.place_cursor(line, column);
        const bool found = reference.jump_past_line_containing(tag, "", true);
        if (engine.jump_past_line_containing(tag, "", false) != found ||
            engine.cursor_line() != reference.cursor_line() ||
            engine.cursor_column() != reference.cursor_column()) {
            ++wrong;
        }
    };
    for (int round = 0; round < 2; ++round) {
        // More scans than the memo keeps, then more texts from one place.
        for (int i = 0; i < 2000; ++i) {
            for (const int column : {1, 2, 10, 20, 30}) compare_scan(i, column, "<!--y-->");
        }
        for (int k = 0; k < 90; ++k) compare_scan(0, 1, "<!--" + std::to_string(k) + "-->");
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace korvane
