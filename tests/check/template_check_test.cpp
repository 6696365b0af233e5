#include "check/template_check.h"

#include <gtest/gtest.h>

#include <sstream>

namespace korvane::check {
namespace {

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Each finding as "line:column: message-start".
std::vector<std::string> check(const std::string& text, template_outline* outline_out = nullptr) {
    template_outline outline;
    std::vector<std::string> found;
    for (const auto& f : check_template_lines("t.html", split(text), outline)) {
        found.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + f.message);
    }
    if (outline_out) *outline_out = outline;
    return found;
}

::testing::AssertionResult has_finding(const std::vector<std::string>& found, const std::string& at,
                                       const std::string& words) {
    for (const auto& f : found) {
        if (f.rfind(at + ": ", 0) == 0 && f.find(words) != std::string::npos) {
            return ::testing::AssertionSuccess();
        }
    }
    std::string all;
    for (const auto& f : found) all += "\n  " + f;
    return ::testing::AssertionFailure()
           << "no finding at " << at << " with '" << words << "' in:" << all;
}

TEST(template_check, a_clean_template_has_no_findings) {
    template_outline outline;
    const auto found = check(
        "<html><!-- an ordinary comment --><title><!--MAIN_FIELD=title--></title>\n"
        "<!--TODAYS DATE=yyyy-->\n"
        "<!--REPEAT=select * from b where a=#--MAIN_FIELD=id--#-->\n"
        "  <!--REPEAT=select * from c where b=#--REPEAT_FIELD=id--#-->x<!--REPEAT_FIELD=name-->\n"
        "  <!--END REPEAT-->\n"
        "  <!--START IF=current_record_num<number_of_records-->,<!--ELSE-->.<!--END IF-->\n"
        "<!--REPEAT ELSE-->none<!--END REPEAT-->\n"
        "<!--\n multi-line comment\n-->\n",
        &outline);
    EXPECT_TRUE(found.empty()) << found.front();
    ASSERT_EQ(outline.fields.size(), 4u);
    EXPECT_TRUE(outline.fields[0].main);
    EXPECT_EQ(outline.fields[0].name, "title");
    EXPECT_FALSE(outline.fields[2].main);
    EXPECT_EQ(outline.fields[2].section, 2);  // the reference in the inner SQL reads the outer row
    EXPECT_EQ(outline.fields[3].section, 3);
}

TEST(template_check, comments_that_look_like_tags) {
    const auto found = check(
        "<!--main_field=title-->\n"
        "a <!-- MAIN_FIELD=title -->\n"
        "<!--END IF -->\n"
        "<!--MAIN_FIELD=title\n"
        "-->\n"
        "<!--REPEAT=select 1\n"
        "<!--END REPEAT-->-->\n");
    EXPECT_TRUE(has_finding(found, "1:1", "tag names are upper case"));
    EXPECT_TRUE(has_finding(found, "2:3", "no blanks around the tag name"));
    EXPECT_TRUE(has_finding(found, "3:1", "<!--END IF-->"));
    EXPECT_TRUE(has_finding(found, "4:1", "not on its line"));
    EXPECT_TRUE(has_finding(found, "7:1", "inside a comment opened on line 6"));
}

TEST(template_check, sections_unclosed_stray_and_overlapping) {
    EXPECT_TRUE(has_finding(check("<!--REPEAT=select 1-->\nbody\n"), "1:1", "never closed"));
    EXPECT_TRUE(has_finding(check("<!--START IF=a==a-->\n"), "1:1", "never closed"));
    EXPECT_TRUE(has_finding(check("text<!--END REPEAT-->\n"), "1:5", "no section"));
    EXPECT_TRUE(has_finding(check("<!--ELSE-->\n"), "1:1", "no section"));
    EXPECT_TRUE(has_finding(check("<!--START IF=a==a-->\n<!--REPEAT=select 1-->\n<!--END IF-->\n"
                                  "<!--END REPEAT-->\n"),
                            "3:1", "sections must not overlap"));
    EXPECT_TRUE(has_finding(check("<!--START IF=a==a-->1<!--ELSE-->2<!--ELSE-->3<!--END IF-->\n"),
                            "1:34", "second"));
}

TEST(template_check, two_openers_on_one_line_are_counted_once_by_the_generator) {
    const auto found =
        check("<!--REPEAT=select 1-->a<!--END REPEAT--><!--REPEAT=select 2-->b<!--END REPEAT-->\n");
    EXPECT_FALSE(found.empty());
    // Nested on one line is just as dangerous.
    EXPECT_TRUE(
        has_finding(check("<!--START IF=a==a--><!--START IF=b==b-->x<!--END IF--><!--END IF-->\n"),
                    "1:21", "one line"));
}

// The generator leaves out a section part by scanning for its divider or end;
// the checker replays those scans and says where they stop instead.
TEST(template_check, sections_left_out_end_where_the_generator_stops_looking) {
    // No rows: the inner REPEAT ELSE is taken for the inner end, and the inner
    // END REPEAT for the outer one.
    EXPECT_TRUE(has_finding(check("<!--REPEAT=select 1 where 0-->\n"
                                  "  <!--REPEAT=select 2-->\n"
                                  "  x<!--REPEAT ELSE-->none\n"
                                  "  <!--END REPEAT-->\n"
                                  "  after the inner section\n"
                                  "<!--END REPEAT-->\n"),
                            "1:1", "stops at the <!--END REPEAT--> on line 4"));
    // The same with conditions; an inner section in the ELSE part is safe.
    const auto conditions = check(
        "<!--START IF=a==b-->\n"
        "  <!--START IF=c==c-->x<!--ELSE-->y<!--END IF-->\n"
        "<!--ELSE-->\n"
        "  <!--START IF=d==d-->x<!--ELSE-->y<!--END IF-->\n"
        "<!--END IF-->\n");
    EXPECT_TRUE(has_finding(
        conditions, "1:1",
        "looks for its <!--ELSE--> on line 3 but stops at the <!--END IF--> on line 2"));
    EXPECT_EQ(conditions.size(), 1u);
    // After the rows the REPEAT ELSE part is skipped to an end that two
    // openers on one line have used up.
    EXPECT_TRUE(has_finding(
        check("<!--REPEAT=select 1-->a<!--REPEAT ELSE-->\n"
              "<!--REPEAT=select 2--><!--REPEAT=select 3-->z<!--END REPEAT--><!--END REPEAT-->\n"
              "<!--END REPEAT-->\n"),
        "1:24", "to the <!--END REPEAT--> on line 2, not to the section's own on line 3"));
}

TEST(template_check, nesting_deeper_than_six_repeating_sections) {
    std::string text;
    for (int i = 0; i < 7; ++i) text += "<!--REPEAT=select " + std::to_string(i) + "-->\n";
    for (int i = 0; i < 7; ++i) text += "<!--END REPEAT-->\n";
    EXPECT_TRUE(has_finding(check(text), "7:1", "deeper than six"));
    EXPECT_TRUE(check(text.substr(text.find('\n') + 1, std::string::npos)).size() ==
                1);  // stray end
}

TEST(template_check, conditions_that_cannot_mean_what_they_say) {
    EXPECT_TRUE(has_finding(check("<!--START IF=--><!--END IF-->\n"), "1:1", "empty condition"));
    EXPECT_TRUE(
        has_finding(check("<!--START IF=a=b--><!--END IF-->\n"), "1:1", "none of the operators"));
    EXPECT_TRUE(
        has_finding(check("<!--START IF=a == b--><!--END IF-->\n"), "1:1", "blanks around"));
    EXPECT_TRUE(has_finding(check("<!--START IF=number_of_records > 1--><!--END IF-->\n"), "1:1",
                            "blanks around"));
    EXPECT_TRUE(has_finding(check("<!--START IF=a<=b--><!--END IF-->\n"), "1:1",
                            "\"<=\" is not an operator"));
    EXPECT_TRUE(check("<!--START IF=#--MAIN_FIELD=a b--#==x--><!--END IF-->\n").empty());
}

TEST(template_check, references_and_repeat_fields_outside_sections) {
    EXPECT_TRUE(
        has_finding(check("<!--REPEAT_FIELD=name-->\n"), "1:1", "outside any repeating section"));
    EXPECT_TRUE(has_finding(check("<!--REPEAT=select #--OTHER=x--#--><!--END REPEAT-->\n"), "1:1",
                            "neither MAIN_FIELD nor REPEAT_FIELD"));
    EXPECT_TRUE(has_finding(check("<!--REPEAT=select #--MAIN_FIELD=x--><!--END REPEAT-->\n"), "1:1",
                            "no closing"));
}

TEST(template_check, findings_are_printed_like_compiler_warnings) {
    EXPECT_EQ(format_finding({"t.html", 3, 7, "blanks"}), "t.html:3:7: warning: blanks");
}

}  // namespace
}  // namespace korvane::check
