// SPDX-License-Identifier: Apache-2.0
#include "generator/template_syntax.h"

#include "../support/case_table.h"

#include <gtest/gtest.h>

namespace korvane::generator::syntax {
namespace {

std::string position(std::size_t at) { return at == std::string_view::npos ? "-" : std::to_string(at); }

TEST(template_syntax, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("generator/template_syntax_cases.tsv", 2)) {
        const std::string& function = row[0];
        std::vector<std::string> got;
        if (function == "find_field_reference" && row.fields.size() == 7) {
            const field_reference r = find_field_reference(row[1], std::stoul(row[2]));
            got = {row[1], row[2], position(r.open), position(r.end), std::string(r.name),
                   std::string(r.parameter)};
        } else if (function == "split_condition" && row.fields.size() == 6) {
            std::string_view left, op, right;
            const bool found = split_condition(row[1], left, op, right);
            got = {row[1], found ? "1" : "0"};
            for (auto part : {left, op, right}) got.emplace_back(found ? part : "");
        } else {
            ADD_FAILURE() << row.where << ": not a case";
            continue;
        }
        got.insert(got.begin(), function);
        EXPECT_EQ(got, row.fields) << row.where;
    }
}

}  // namespace
}  // namespace korvane::generator::syntax
