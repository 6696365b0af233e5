// SPDX-License-Identifier: Apache-2.0
// The template language's text parsers and date formats, each over its
// table: a row names the function, its arguments, then what it gives.
#include "generator/date_text.h"
#include "generator/tag_text.h"
#include "generator/template_syntax.h"

#include "../support/case_table.h"

#include <cstdio>

namespace korvane::generator {
namespace {

using row_parts = std::vector<std::string>;

// parse gives the whole row as the function sees it, {} for a row of no
// known shape.
void expect_rows(const std::string& table, const std::function<row_parts(const test::table_row&)>& parse) {
    for (const auto& row : test::read_case_table(table, 3)) {
        const row_parts got = parse(row);
        if (got.empty()) ADD_FAILURE() << row.where << ": not a case";
        else EXPECT_EQ(got, row.fields) << row.where;
    }
}

// split_expression and split_condition: 1 or 0, then left, operator, right.
row_parts with_split(row_parts got, bool found, std::string_view left, std::string_view op, std::string_view right) {
    got.emplace_back(found ? "1" : "0");
    for (auto part : {left, op, right}) got.emplace_back(found ? part : "");
    return got;
}

std::string position(std::size_t at) { return at == std::string_view::npos ? "-" : std::to_string(at); }

TEST(tag_text, every_case_of_the_table) {
    expect_rows("generator/tag_text_cases.tsv", [](const test::table_row& row) -> row_parts {
        const std::string& function = row[0];
        std::string_view name = "junk", parameter = "junk", left, op, right;
        if (function == "split_tag" && row.fields.size() == 6) {
            split_tag(row[1], row[2], row[3], name, parameter);
            return {function, row[1], row[2], row[3], std::string(name), std::string(parameter)};
        }
        if (function == "get_tag_option" && row.fields.size() == 4)
            return {function, row[1], row[2], std::string(get_tag_option(row[1], row[2]))};
        if (function == "url_escape") return {function, row[1], url_escape(row[1])};
        if (function != "split_expression" || row.fields.size() != 7) return {};
        const bool found = split_expression(row[1], row[2], left, op, right);
        return with_split({function, row[1], row[2]}, found, left, op, right);
    });
}

TEST(template_syntax, every_case_of_the_table) {
    expect_rows("generator/template_syntax_cases.tsv", [](const test::table_row& row) -> row_parts {
        const std::string& function = row[0];
        if (function == "find_field_reference" && row.fields.size() == 7) {
            const syntax::field_reference r = syntax::find_field_reference(row[1], std::stoul(row[2]));
            return {function, row[1], row[2], position(r.open), position(r.end), std::string(r.name),
                    std::string(r.parameter)};
        }
        if (function != "split_condition" || row.fields.size() != 6) return {};
        std::string_view left, op, right;
        const bool found = syntax::split_condition(row[1], left, op, right);
        return with_split({function, row[1]}, found, left, op, right);
    });
}

TEST(date_text, every_format_of_the_table_gives_its_text) {
    for (const auto& row : test::read_case_table("generator/date_text_cases.tsv", 3)) {
        local_date_time at{};
        std::sscanf(row[0].c_str(), "%d-%d-%d %d:%d:%d", &at.year, &at.month, &at.day, &at.hour,
                    &at.minute, &at.second);
        EXPECT_EQ(date_text(row[1], at), row[2]) << row.where << ": " << row[1];
    }
}

}  // namespace
}  // namespace korvane::generator
