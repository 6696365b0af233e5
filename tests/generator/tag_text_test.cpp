// SPDX-License-Identifier: Apache-2.0
#include "generator/tag_text.h"

#include "../support/case_table.h"

#include <gtest/gtest.h>

namespace korvane::generator {
namespace {

// Every case of the table: the function named in its first field, run on the
// arguments, gives the expected fields.
TEST(tag_text, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("generator/tag_text_cases.tsv", 3)) {
        const std::string& function = row[0];
        std::vector<std::string> got;
        if (function == "split_tag" && row.fields.size() == 6) {
            std::string_view name = "junk", parameter = "junk";
            split_tag(row[1], row[2], row[3], name, parameter);
            got = {row[1], row[2], row[3], std::string(name), std::string(parameter)};
        } else if (function == "get_tag_option" && row.fields.size() == 4) {
            got = {row[1], row[2], std::string(get_tag_option(row[1], row[2]))};
        } else if (function == "url_escape") {
            got = {row[1], url_escape(row[1])};
        } else if (function == "split_expression" && row.fields.size() == 7) {
            std::string_view left, op, right;
            const bool found = split_expression(row[1], row[2], left, op, right);
            got = {row[1], row[2], found ? "1" : "0"};
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
}  // namespace korvane::generator
