// SPDX-License-Identifier: Apache-2.0
#include "check/template_check.h"

#include "../support/case_table.h"
#include "sqlite_test_support.h"

#include <algorithm>

namespace korvane::check {
namespace {

// Each finding as "line:column: message".
std::vector<std::string> check(const std::string& text, template_outline* outline_out = nullptr) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    template_outline outline;
    std::vector<std::string> found;
    for (const auto& f : check_template_lines("t.html", lines, outline)) {
        found.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + f.message);
    }
    if (outline_out) *outline_out = outline;
    return found;
}

TEST(template_check, every_template_of_the_table_gets_its_finding) {
    for (const auto& row : test::read_case_table("check/template_check_cases.tsv", 3)) {
        const auto found = check(row[0]);
        std::string all;
        for (const auto& f : found) all += "\n  " + f;
        if (row[1] != "-") {
            EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const std::string& f) {
                return f.starts_with(row[1] + ": ") && f.find(row[2]) != std::string::npos;
            })) << row.where << all;
        }
        if (row.fields.size() > 3) {
            EXPECT_EQ(found.size(), std::stoul(row[3])) << row.where << all;
        }
    }
}

// clean.html: every construct, an ordinary comment and one over lines.
TEST(template_check, a_clean_template_has_no_findings_and_its_fields_are_outlined) {
    template_outline outline;
    const auto found = check(test::read_file(KORVANE_SOURCE_DIR "/tests/check/clean.html"), &outline);
    EXPECT_TRUE(found.empty()) << found.front();
    ASSERT_EQ(outline.fields.size(), 4u);
    EXPECT_TRUE(outline.fields[0].main);
    EXPECT_EQ(outline.fields[0].name, "title");
    EXPECT_FALSE(outline.fields[2].main);
    EXPECT_EQ(outline.fields[2].section, 2);  // the reference in the inner SQL reads the outer row
    EXPECT_EQ(outline.fields[3].section, 3);
}

}  // namespace
}  // namespace korvane::check
