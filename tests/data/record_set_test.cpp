// SPDX-License-Identifier: Apache-2.0
#include "data/engine/record_set.h"

#include <gtest/gtest.h>

namespace korvane::data {
namespace {

record_set three_rows() {
    record_set rs({"Id", "Title", "title"});
    for (int i = 1; i <= 3; ++i) {
        rs.add_row({db_value::from_integer(i), db_value::from_text("T" + std::to_string(i)),
                    db_value::from_text("second")});
    }
    return rs;
}

TEST(record_set, walks_like_the_engine_with_no_row_past_either_end_and_empties_at_close) {
    auto rs = three_rows();
    EXPECT_EQ(rs.record_count(), 3);
    ASSERT_TRUE(rs.move_last());
    EXPECT_EQ(rs.value("id")->integer, 3);
    EXPECT_FALSE(rs.move_next());
    EXPECT_FALSE(rs.has_current_row());
    EXPECT_EQ(rs.value("id"), nullptr);
    EXPECT_FALSE(rs.move_next());  // stays past the end
    ASSERT_TRUE(rs.move_first());
    EXPECT_EQ(rs.value(0)->integer, 1);

    record_set empty({"a"});
    EXPECT_FALSE(empty.move_first());
    EXPECT_FALSE(empty.move_last());
    EXPECT_EQ(empty.value("a"), nullptr);

    rs.close();
    EXPECT_EQ(rs.record_count(), 0);
    EXPECT_EQ(rs.field_count(), 3);
}

TEST(record_set, fields_are_found_without_regard_to_case_first_one_winning) {
    auto rs = three_rows();
    EXPECT_EQ(rs.field_index("TITLE"), 1);
    EXPECT_EQ(rs.field_index("tItLe"), 1);
    record_set letters({"Ärger", "Ωmega"});
    EXPECT_EQ(letters.field_index("ärger"), 0);
    EXPECT_EQ(letters.field_index("ωMEGA"), 1);
    EXPECT_EQ(letters.field_index("arger"), -1);
    EXPECT_EQ(rs.field_index("titles"), -1);
    EXPECT_EQ(rs.value("nothing"), nullptr);
    EXPECT_EQ(rs.value(7), nullptr);
    EXPECT_EQ(rs.value(-1), nullptr);
    // Lookups are remembered by where the name lies: a new name in the same
    // place is still looked up.
    record_set places({"name", "city"});
    std::string name = "name";
    EXPECT_EQ(places.field_index(name), 0);
    name = "CITY";
    EXPECT_EQ(places.field_index(name), 1);
    name = "town";
    EXPECT_EQ(places.field_index(name), -1);
}

}  // namespace
}  // namespace korvane::data
