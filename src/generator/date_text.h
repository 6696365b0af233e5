// SPDX-License-Identifier: Apache-2.0
// The date and time of a run, and the user-defined date format of the
// "TODAYS DATE" tag. The clock is handed to a run so a page can be reproduced
// with a fixed date.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace korvane::generator {

struct local_date_time {
    int year = 1970;
    int month = 1;   // 1-12
    int day = 1;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;
    int second = 0;
    bool operator==(const local_date_time&) const = default;
};

using clock_function = std::function<local_date_time()>;

// Now, on the machine's local clock.
local_date_time system_local_time();

// now formatted by format, left to right, with English names, Sunday as the
// first day of the week and the week of 1 January as week 1:
//   d dd ddd dddd ddddd (yyyy-mm-dd) dddddd (Sunday, December 5, 2026);
//   w (1-7) ww (week); m mm mmm mmmm, where m and mm after h or hh are
//   minutes (not after an AM/PM marker between); q; y (day of the year) yy
//   yyyy; h hh n nn s ss (12-hour when the format holds AM/PM, am/pm, A/P,
//   a/p or AMPM (ampm), written as they stand; other capitals are invalid);
//   c (yyyy-mm-dd hh:nn:ss); ttttt (hh:nn:ss); "text" and \x literal.
// D M Y H N S W Q work as their lower-case forms; every other character is
// copied. An empty format gives yyyy-mm-dd hh:nn:ss; an unterminated quote or
// a trailing "\" gives "Invalid date format, " + format.
std::string date_text(std::string_view format, const local_date_time& now);

}  // namespace korvane::generator
