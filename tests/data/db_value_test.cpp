#include "data/engine/db_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace korvane::data {
namespace {

TEST(value_to_text, null_and_text_kinds) {
    EXPECT_EQ(value_to_text(db_value::null_value()), "");
    EXPECT_EQ(value_to_text(db_value::from_text("")), "");
    EXPECT_EQ(value_to_text(db_value::from_text("Ärger 😀\r\n")), "Ärger 😀\r\n");
    EXPECT_EQ(value_to_text(db_value::from_text(std::string("a\0b", 3), value_kind::binary)),
              std::string("a\0b", 3));
    EXPECT_EQ(value_to_text(db_value::from_text("12.50", value_kind::decimal)), "12.50");
}

TEST(value_to_text, integers_and_booleans) {
    EXPECT_EQ(value_to_text(db_value::from_integer(0)), "0");
    EXPECT_EQ(value_to_text(db_value::from_integer(-42)), "-42");
    EXPECT_EQ(value_to_text(db_value::from_integer(std::numeric_limits<std::int64_t>::min())),
              "-9223372036854775808");
    EXPECT_EQ(value_to_text(db_value::from_boolean(true)), "True");
    EXPECT_EQ(value_to_text(db_value::from_boolean(false)), "False");
    // Access keeps True as -1; any non-zero reads as True.
    db_value stored{value_kind::boolean, -1, 0.0, {}};
    EXPECT_EQ(value_to_text(stored), "True");
    stored.integer = 1;
    EXPECT_EQ(value_to_text(stored), "True");
}

TEST(value_to_text, doubles_print_with_fifteen_significant_digits) {
    EXPECT_EQ(value_to_text(db_value::from_real(0.1)), "0.1");
    EXPECT_EQ(value_to_text(db_value::from_real(1.0)), "1");
    EXPECT_EQ(value_to_text(db_value::from_real(-2.5)), "-2.5");
    EXPECT_EQ(value_to_text(db_value::from_real(1e20)), "1E+20");
    EXPECT_EQ(value_to_text(db_value::from_real(1e-5)), "1E-05");
    EXPECT_EQ(value_to_text(db_value::from_real(0.0001)), "0.0001");
    EXPECT_EQ(value_to_text(db_value::from_real(123456789012345.0)), "123456789012345");
    EXPECT_EQ(value_to_text(db_value::from_real(1234567890123456.0)), "1.23456789012346E+15");
    EXPECT_EQ(value_to_text(db_value::from_real(0.1 + 0.2)), "0.3");
}

TEST(value_to_text, singles_print_with_seven_digits) {
    EXPECT_EQ(value_to_text(db_value::from_single(0.15f)), "0.15");
    EXPECT_EQ(value_to_text(db_value::from_single(1.0f)), "1");
    EXPECT_EQ(value_to_text(db_value::from_single(3.14159274f)), "3.141593");
    EXPECT_EQ(value_to_text(db_value::from_single(1e20f)), "1E+20");
}

TEST(value_to_text, currency_has_up_to_four_decimals) {
    EXPECT_EQ(value_to_text(db_value::from_currency(140000)), "14");
    EXPECT_EQ(value_to_text(db_value::from_currency(145000)), "14.5");
    EXPECT_EQ(value_to_text(db_value::from_currency(30125)), "3.0125");
    EXPECT_EQ(value_to_text(db_value::from_currency(-25000)), "-2.5");
    EXPECT_EQ(value_to_text(db_value::from_currency(1)), "0.0001");
    EXPECT_EQ(value_to_text(db_value::from_currency(-1)), "-0.0001");
    EXPECT_EQ(value_to_text(db_value::from_currency(0)), "0");
    EXPECT_EQ(value_to_text(db_value::from_currency(std::numeric_limits<std::int64_t>::min())),
              "-922337203685477.5808");
}

TEST(value_to_text, dates_and_times) {
    EXPECT_EQ(value_to_text(db_value::from_text("2024-03-05", value_kind::date)), "2024-03-05");
    EXPECT_EQ(value_to_text(db_value::from_text("07:05:09", value_kind::time)), "07:05:09");
    EXPECT_EQ(value_to_text(db_value::from_text("2024-03-05 14:30:00", value_kind::date_time)),
              "2024-03-05 14:30:00");
    // Midnight is a plain date; the day Access keeps pure times on gives a time.
    EXPECT_EQ(value_to_text(db_value::from_text("2024-03-05 00:00:00", value_kind::date_time)),
              "2024-03-05");
    EXPECT_EQ(value_to_text(db_value::from_text("1899-12-30 08:15:00", value_kind::date_time)),
              "08:15:00");
    EXPECT_EQ(value_to_text(db_value::from_text("1899-12-30 00:00:00", value_kind::date_time)),
              "00:00:00");
    // A short stamp is shown as it is rather than cut.
    EXPECT_EQ(value_to_text(db_value::from_text("2024-03", value_kind::date_time)), "2024-03");
}

}  // namespace
}  // namespace korvane::data
