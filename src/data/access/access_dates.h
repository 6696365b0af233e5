// SPDX-License-Identifier: Apache-2.0
// Access dates: the stored form (days since 1899-12-30, the fraction being
// the time of day) and the text form the in-memory copy keeps,
// "YYYY-MM-DD HH:MM:SS", or "YYYY-MM-DD" at midnight, which sorts and
// compares as text; Max() or DateAdd() of a date then reads like the date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::data::access {

struct date_parts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

// Days of the proleptic Gregorian calendar relative to 1899-12-30.
std::int64_t days_from_civil(int year, int month, int day);
void civil_from_days(std::int64_t days, int& year, int& month, int& day);

// The stored double to parts; for negative values the fraction still counts
// forward from midnight of the day named by the integer part, as in Access.
// Rounded to the second. nullopt outside years 1..9999 or for NaN.
std::optional<date_parts> parts_from_ole(double ole);
double ole_from_parts(const date_parts& parts);

std::string stamp_from_parts(const date_parts& parts);  // "YYYY-MM-DD[ HH:MM:SS]"

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (also with "T"), and, when
// allow_us is set, Access's "M/D/YYYY", "M/D/YY", "YYYY/M/D", English month
// names ("February 12, 1969", "12 Feb 1969", "12-Feb-95"), each with an
// optional time ("H:MM[:SS] [AM|PM]"), or a time alone (on 1899-12-30).
// Two-digit years: 00-29 are 20xx, 30-99 19xx.
std::optional<date_parts> parse_date_text(std::string_view text, bool allow_us = true);

// True for a valid calendar date and time of day.
bool valid_parts(const date_parts& parts);

// Weekday of a day number, 1 for first_day (1 = Sunday ... 7 = Saturday).
int weekday_of(std::int64_t days, int first_day = 1);
int day_of_year(const date_parts& p);
// Week of the year, week 1 holding 1 January.
int week_of_year(const date_parts& p, int first_day);

// English names: month 1..12, weekday 1 = Sunday ... 7.
const char* month_name(int month);
const char* day_name(int weekday);

}  // namespace korvane::data::access
