// SPDX-License-Identifier: Apache-2.0
#include "text/calendar.h"
#include "text/general_number.h"
#include "text/utf8.h"
#include "text/windows_1252.h"

#include "../support/case_table.h"

namespace korvane::text {
namespace {

TEST(text, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("text/text_cases.tsv", 3)) {
        const std::string& function = row[0];
        const auto number = [&](std::size_t i) { return std::stoi(row[i]); };
        std::string got;
        if (function == "days_in_month" && row.fields.size() == 4) {
            got = std::to_string(days_in_month(number(1), number(2)));
        } else if (function == "day_of_week" && row.fields.size() == 5) {
            got = std::to_string(day_of_week(number(1), number(2), number(3)));
        } else if (function == "day_of_year" && row.fields.size() == 5) {
            got = std::to_string(day_of_year(number(1), number(2), number(3)));
        } else if (function == "general_number" && row.fields.size() == 4) {
            got = general_number(std::stod(row[1]), number(2));
        } else if (function == "windows_1252" && row.fields.size() == 3) {
            windows_1252::decode(row[1], got);
            std::string back;
            windows_1252::encode(got, back);
            EXPECT_EQ(back, row[1]) << row.where << ": written back";
        } else if (function == "windows_1252_encode" && row.fields.size() == 3) {
            windows_1252::encode(row[1], got);
        } else if (function == "is_utf8" && row.fields.size() == 3) {
            got = is_utf8(row[1]) ? "1" : "0";
        } else {
            ADD_FAILURE() << row.where << ": not a case";
            continue;
        }
        EXPECT_EQ(got, row.fields.back()) << row.where;
    }
}

}  // namespace
}  // namespace korvane::text
