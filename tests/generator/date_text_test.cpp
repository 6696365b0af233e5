#include "generator/date_text.h"

#include <gtest/gtest.h>

namespace korvane::generator {
namespace {

// A Saturday afternoon in December and a Thursday morning in a leap February.
constexpr local_date_time afternoon{2026, 12, 5, 14, 7, 9};
constexpr local_date_time morning{2024, 2, 29, 9, 3, 4};

TEST(date_text, days_from_number_to_long_date) {
    EXPECT_EQ(date_text("d dd ddd dddd", afternoon), "5 05 Sat Saturday");
    EXPECT_EQ(date_text("ddddd", afternoon), "2026-12-05");
    EXPECT_EQ(date_text("dddddd", afternoon), "Saturday, December 5, 2026");
    // The longest form wins, then the rest is read on.
    EXPECT_EQ(date_text("ddddddd", morning), "Thursday, February 29, 202429");
}

TEST(date_text, months_and_minutes_share_m) {
    EXPECT_EQ(date_text("m mm mmm mmmm", morning), "2 02 Feb February");
    // After h or hh, m and mm are minutes; mmm stays a month name.
    EXPECT_EQ(date_text("hh:mm", afternoon), "14:07");
    EXPECT_EQ(date_text("h:m", afternoon), "14:7");
    EXPECT_EQ(date_text("h mmm", afternoon), "14 Dec");
    // Only the nearest date or time letter before counts, literal text not.
    EXPECT_EQ(date_text("h \"at\" mm", afternoon), "14 at 07");
    EXPECT_EQ(date_text("hh d mm", afternoon), "14 5 12");
}

TEST(date_text, years_weeks_quarters) {
    EXPECT_EQ(date_text("yyyy yy y", afternoon), "2026 26 339");
    // Three letters read as yy then y.
    EXPECT_EQ(date_text("yyy", morning), "2460");
    EXPECT_EQ(date_text("q", afternoon), "4");
    EXPECT_EQ(date_text("q", morning), "1");
    EXPECT_EQ(date_text("w", afternoon), "7");  // Sunday is 1
    EXPECT_EQ(date_text("w", morning), "5");
}

TEST(date_text, week_of_the_year_starts_on_sunday_with_the_week_of_first_january) {
    EXPECT_EQ(date_text("ww", afternoon), "49");
    EXPECT_EQ(date_text("ww", local_date_time{2023, 1, 1}), "1");
    EXPECT_EQ(date_text("ww", local_date_time{2023, 1, 7}), "1");
    EXPECT_EQ(date_text("ww", local_date_time{2023, 1, 8}), "2");
    EXPECT_EQ(date_text("ww", local_date_time{2024, 12, 31}), "53");
}

TEST(date_text, time_of_day_and_the_twelve_hour_clock) {
    EXPECT_EQ(date_text("h hh n nn s ss", morning), "9 09 3 03 4 04");
    EXPECT_EQ(date_text("hh:nn AM/PM", afternoon), "02:07 PM");
    EXPECT_EQ(date_text("h:nn am/pm", morning), "9:03 am");
    EXPECT_EQ(date_text("hA/P", afternoon), "2P");
    EXPECT_EQ(date_text("ha/p", morning), "9a");
    EXPECT_EQ(date_text("h AMPM", afternoon), "2 PM");
    EXPECT_EQ(date_text("h AM/PM", local_date_time{2026, 1, 1, 0, 0, 0}), "12 AM");
    EXPECT_EQ(date_text("h AM/PM", local_date_time{2026, 1, 1, 12, 0, 0}), "12 PM");
    // A marker anywhere makes every hour twelve-hour.
    EXPECT_EQ(date_text("hh \"x\" AM/PM hh", afternoon), "02 x PM 02");
}

TEST(date_text, fixed_forms) {
    EXPECT_EQ(date_text("c", morning), "2024-02-29 09:03:04");
    EXPECT_EQ(date_text("ttttt", afternoon), "14:07:09");
    EXPECT_EQ(date_text("", afternoon), "2026-12-05 14:07:09");
}

TEST(date_text, upper_case_letters_are_the_same_letters) {
    EXPECT_EQ(date_text("DD/MM/YYYY HH:NN:SS", afternoon), "05/12/2026 14:07:09");
    EXPECT_EQ(date_text("Dddd", afternoon), "Saturday");
    EXPECT_EQ(date_text("W WW Q", afternoon), "7 49 4");
}

TEST(date_text, literal_text_passes_through) {
    EXPECT_EQ(date_text("\"day\" d", afternoon), "day 5");
    EXPECT_EQ(date_text("\\d\\a\\y d", afternoon), "day 5");
    EXPECT_EQ(date_text("yyyy-mm-dd, T.C: x", afternoon), "2026-12-05, T.C: x");
    EXPECT_EQ(date_text("tttt", afternoon), "tttt");
    EXPECT_EQ(date_text("\xC3\xA9t\xC3\xA9", afternoon), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(date_text("\"\"", afternoon), "");
}

TEST(date_text, unterminated_quotes_and_trailing_backslashes_are_invalid) {
    EXPECT_EQ(date_text("d \"open", afternoon), "Invalid date format, d \"open");
    EXPECT_EQ(date_text("d\\", afternoon), "Invalid date format, d\\");
}

}  // namespace
}  // namespace korvane::generator
