// SPDX-License-Identifier: Apache-2.0
#include "data/text_helpers.h"

#include "../support/case_table.h"

namespace korvane {
namespace {

std::string text_of(std::optional<double> value) {
    if (!value) return "none";
    std::ostringstream out;
    out << *value;
    return out.str();
}

// The function named in the first field, run on the arguments, gives the last field.
TEST(text, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("data/text_helpers_cases.tsv", 3)) {
        const std::string& f = row[0];
        std::string got;
        if (f == "build_main_sql") got = build_main_sql(std::stoi(row[1]), row[2]);
        else if (f == "file_name_of_path") got = file_name_of_path(row[1]);
        else if (f == "find_last_occurrence")
            got = std::to_string(find_last_occurrence(std::stoi(row[1]), row[2], row[3]));
        else if (f == "replace_all_text") got = replace_all_text(row[1], row[2], row[3]);
        else if (f == "lower_case") got = lower_case(row[1]);
        else if (f == "leading_number_value") got = text_of(leading_number_value(row[1]));
        else if (f == "round_to_int16") {
            const auto rounded = round_to_int16(std::stod(row[1]));
            got = rounded ? std::to_string(*rounded) : "none";
        } else if (f == "mask_passwords") got = mask_passwords(row[1]);
        else if (f == "path_exists") got = path_exists(row[1]) ? "1" : "0";
        else ADD_FAILURE() << row.where << ": not a case";
        EXPECT_EQ(got, row.fields.back()) << row.where;
    }
}

}  // namespace
}  // namespace korvane
