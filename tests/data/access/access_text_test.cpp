// Text and dates as Access files store them and as Access compares them.
#include "data/access/access_dates.h"
#include "data/access/access_text.h"
#include "../../support/case_table.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane::data::access {
namespace {

TEST(access_text, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("data/access/text_cases.tsv", 2)) {
        const std::string& f = row[0];
        std::string got;
        if (f == "decode") {
            utf16_text_to_utf8(reinterpret_cast<const unsigned char*>(row[1].data()), row[1].size(), got);
        } else if (f == "compare" && row.fields.size() == 4) {
            const int order = compare_text(row[1], row[2]);
            got = order < 0 ? "<" : order > 0 ? ">" : "=";
        } else if (f == "like" && row.fields.size() == 4) {
            got = like_match(row[1], row[2]) ? "yes" : "no";
        } else if (f == "date" && row.fields.size() == 3) {
            const auto parts = parts_from_ole(std::stod(row[1]));
            got = parts ? stamp_from_parts(*parts) : "none";
        } else {
            ADD_FAILURE() << row.where << ": not a case";
        }
        EXPECT_EQ(got, row.fields.back()) << row.where;
    }
    // A date before 1899 goes to stored days and back.
    const auto back = parts_from_ole(ole_from_parts(date_parts{1392, 1, 10, 6, 0, 0}));
    ASSERT_TRUE(back);
    EXPECT_EQ(stamp_from_parts(*back), "1392-01-10 06:00:00");
}

}  // namespace
}  // namespace korvane::data::access
