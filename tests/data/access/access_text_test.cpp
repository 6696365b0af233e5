// Text as Access files store it and as Access compares it.
#include "data/access/access_dates.h"
#include "data/access/access_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::data::access {
namespace {

std::string decode(const std::vector<unsigned char>& bytes) {
    std::string out;
    utf16_text_to_utf8(bytes.data(), bytes.size(), out);
    return out;
}

TEST(access_text_decoding, plain_utf16_with_surrogate_pairs) {
    EXPECT_EQ(decode({'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'a', 0}), "a😀a");
    EXPECT_EQ(decode({0x1C, 0x04, 0x38, 0x04, 0x40, 0x04}), "Мир");
    EXPECT_EQ(decode({}), "");
    EXPECT_EQ(decode({0x3D, 0xD8, 'a', 0}), "\xEF\xBF\xBD" "a");  // lone high surrogate
    EXPECT_EQ(decode({'a', 0, 'b'}), "a");                         // odd trailing byte dropped
}

TEST(access_text_decoding, compressed_runs_switch_at_zero_bytes) {
    EXPECT_EQ(decode({0xFF, 0xFE, 'B', 'r', 0xE4, 'c', 'k', 'e'}), "Bräcke");
    // one-byte run, 00, two-byte units, 00, one-byte run again
    EXPECT_EQ(decode({0xFF, 0xFE, 'a', 0x00, 0x1C, 0x04, 0x38, 0x04, 0x00, 'z'}), "aМиz");
    EXPECT_EQ(decode({0xFF, 0xFE}), "");
}

TEST(access_text_comparison, case_is_ignored_accents_are_not) {
    EXPECT_EQ(compare_text("London", "LONDON"), 0);
    EXPECT_EQ(compare_text("Ärger", "ärger"), 0);
    EXPECT_EQ(compare_text("Мир", "МИР"), 0);
    EXPECT_NE(compare_text("a", "ä"), 0);
    EXPECT_LT(compare_text("a", "ä"), 0);
    EXPECT_LT(compare_text("ä", "b"), 0);  // beside a, not after z
    EXPECT_LT(compare_text("abc", "abcd"), 0);
    EXPECT_GT(compare_text("b", "A"), 0);
    // Malformed UTF-8 still compares, byte by byte.
    EXPECT_NE(compare_text("\xC3", "\xC4"), 0);
}

TEST(access_text_like, backtracking_stays_linear) {
    EXPECT_TRUE(like_match("*a*a*a*a*a*b", std::string(40, 'a') + "b"));
    EXPECT_FALSE(like_match("*a*a*a*a*a*b", std::string(40, 'a')));
}

TEST(access_dates, stored_days_to_calendar_dates) {
    auto stamp = [](double ole) {
        auto p = parts_from_ole(ole);
        return p ? stamp_from_parts(*p) : std::string("none");
    };
    EXPECT_EQ(stamp(0), "1899-12-30");
    EXPECT_EQ(stamp(35000.5), "1995-10-28 12:00:00");
    EXPECT_EQ(stamp(-1.25), "1899-12-29 06:00:00");  // the fraction counts forward
    EXPECT_EQ(stamp(2958465.99999), "9999-12-31 23:59:59");
    EXPECT_EQ(stamp(0.99999999), "1899-12-31");  // rounds into the next day
    EXPECT_EQ(stamp(-657434), "0100-01-01");
    EXPECT_EQ(stamp(3e6), "none");
    date_parts p{1392, 1, 10, 6, 0, 0};
    EXPECT_EQ(stamp(ole_from_parts(p)), "1392-01-10 06:00:00");
}

}  // namespace
}  // namespace korvane::data::access
