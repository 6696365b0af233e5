// SPDX-License-Identifier: Apache-2.0
#include "generator/date_text.h"

#include "../support/case_table.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace korvane::generator {
namespace {

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
