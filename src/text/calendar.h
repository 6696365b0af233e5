// SPDX-License-Identifier: Apache-2.0
// Calendar arithmetic on plain numbers (years within std::chrono::year's
// range, -32767 to 32767), as dates arrive from the command
// line, the clock and the databases: the proleptic Gregorian calendar of
// std::chrono.
#pragma once

#include <chrono>

namespace korvane::text {

constexpr bool is_leap_year(int year) { return std::chrono::year(year).is_leap(); }

// 28 to 31; 0 for a month outside 1 to 12.
constexpr int days_in_month(int year, int month) {
    if (month < 1 || month > 12) return 0;
    using namespace std::chrono;
    const year_month_day_last last(std::chrono::year(year),
                                   month_day_last(std::chrono::month(static_cast<unsigned>(month))));
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

// 0 for Sunday to 6 for Saturday; the date must be valid.
constexpr int day_of_week(int year, int month, int day) {
    using namespace std::chrono;
    const sys_days date(std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
                        std::chrono::day(static_cast<unsigned>(day)));
    return static_cast<int>(weekday(date).c_encoding());
}

// 1 to 366; the date must be valid.
constexpr int day_of_year(int year, int month, int day) {
    using namespace std::chrono;
    const std::chrono::year y(year);
    const sys_days date(y / std::chrono::month(static_cast<unsigned>(month)) /
                        std::chrono::day(static_cast<unsigned>(day)));
    return static_cast<int>((date - sys_days(y / January / 1)).count()) + 1;
}

}  // namespace korvane::text
