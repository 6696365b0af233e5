// SPDX-License-Identifier: Apache-2.0
#include "data/access/access_dates.h"

#include "text/calendar.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace korvane::data::access {
namespace {

// Days from 1970-01-01 (H. Hinnant's algorithm), shifted to Access's day 0.
constexpr std::int64_t unix_day_of_access_zero = -25569;

using korvane::text::days_in_month;

int two_digit_year(int year, std::size_t digits) {
    if (digits > 2) return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

struct cursor {
    std::string_view s;
    std::size_t pos = 0;
    void skip_blanks() {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    }
    bool at_end() const { return pos >= s.size(); }
    // Reads an unsigned number; returns the digit count (0 when none).
    std::size_t number(int& value) {
        std::size_t digits = 0;
        value = 0;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && digits < 9) {
            value = value * 10 + (s[pos] - '0');
            ++pos;
            ++digits;
        }
        return digits;
    }
    bool take(char c) {
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
};

bool read_time(cursor& c, date_parts& p) {
    int h = 0, m = 0, sec = 0;
    if (c.number(h) == 0 || !c.take(':') || c.number(m) == 0) return false;
    if (c.take(':') && c.number(sec) == 0) return false;
    c.skip_blanks();
    std::string rest;
    while (!c.at_end() && std::isalpha(static_cast<unsigned char>(c.s[c.pos]))) {
        rest += static_cast<char>(std::toupper(static_cast<unsigned char>(c.s[c.pos++])));
    }
    if (rest == "PM" || rest == "P") {
        if (h < 1 || h > 12) return false;
        if (h != 12) h += 12;
    } else if (rest == "AM" || rest == "A") {
        if (h < 1 || h > 12) return false;
        if (h == 12) h = 0;
    } else if (!rest.empty()) {
        return false;
    }
    p.hour = h;
    p.minute = m;
    p.second = sec;
    return true;
}

// "February", "Feb" or "feb." as a month number, 0 for anything else.
int month_of_word(cursor& c) {
    std::string word;
    while (!c.at_end() && std::isalpha(static_cast<unsigned char>(c.s[c.pos]))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c.s[c.pos++])));
    }
    c.take('.');
    static constexpr const char* names[] = {"january", "february", "march",     "april",   "may",      "june",
                                            "july",    "august",   "september", "october", "november", "december"};
    for (int m = 0; m < 12; ++m) {
        const std::string_view name = names[m];
        if (word.size() >= 3 && name.starts_with(word) && (word.size() == 3 || word == name)) return m + 1;
    }
    return 0;
}

// Dates with the month's name: "February 12, 1969", "Feb 12 1969",
// "12 February 1969", "12-Feb-95".
bool read_named_date(cursor& c, date_parts& p) {
    int day = 0, year = 0, month = 0;
    std::size_t year_digits = 0;
    const auto separator = [&] {
        const bool dash = c.take('-');
        c.take(',');
        c.skip_blanks();
        return dash;
    };
    if (std::isalpha(static_cast<unsigned char>(c.s[c.pos]))) {
        month = month_of_word(c);
        c.skip_blanks();
        if (month == 0 || c.number(day) == 0) return false;
        separator();
        year_digits = c.number(year);
    } else {
        if (c.number(day) == 0) return false;
        separator();
        month = month_of_word(c);
        if (month == 0) return false;
        separator();
        year_digits = c.number(year);
    }
    if (year_digits == 0) return false;
    p.year = two_digit_year(year, year_digits);
    p.month = month;
    p.day = day;
    return true;
}

}  // namespace

std::int64_t days_from_civil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - unix_day_of_access_zero;
}

void civil_from_days(std::int64_t days, int& year, int& month, int& day) {
    const std::int64_t z = days + unix_day_of_access_zero + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::optional<date_parts> parts_from_ole(double ole) {
    if (!std::isfinite(ole) || ole < -700000.0 || ole > 3000000.0) return std::nullopt;
    double whole = std::trunc(ole);
    std::int64_t days = static_cast<std::int64_t>(whole);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(ole - whole) * 86400.0));
    if (seconds >= 86400) {  // rounding reached the next midnight
        seconds -= 86400;
        days += ole < 0 ? -1 : 1;
    }
    date_parts p;
    civil_from_days(days, p.year, p.month, p.day);
    if (p.year < 1 || p.year > 9999) return std::nullopt;
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    return p;
}

double ole_from_parts(const date_parts& p) {
    const auto days = static_cast<double>(days_from_civil(p.year, p.month, p.day));
    const double fraction = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

std::string stamp_from_parts(const date_parts& p) {
    char buf[40];
    if (p.hour == 0 && p.minute == 0 && p.second == 0) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

bool valid_parts(const date_parts& p) {
    return p.year >= 1 && p.year <= 9999 && p.month >= 1 && p.month <= 12 && p.day >= 1 &&
           p.day <= days_in_month(p.year, p.month) && p.hour >= 0 && p.hour < 24 && p.minute >= 0 &&
           p.minute < 60 && p.second >= 0 && p.second < 60;
}

std::optional<date_parts> parse_date_text(std::string_view text, bool allow_us) {
    cursor c{text};
    c.skip_blanks();
    date_parts p;
    const std::size_t start = c.pos;
    int a = 0, b = 0, y = 0;
    const std::size_t a_digits = c.number(a);
    const auto named = [&] {
        c.pos = start;
        return allow_us && read_named_date(c, p);
    };
    if (a_digits == 0) {
        if (!named()) return std::nullopt;
    } else if (!c.at_end() && c.s[c.pos] == ':') {  // a time alone
        c.pos = start;
        if (!allow_us || !read_time(c, p)) return std::nullopt;
    } else if (c.take('-')) {
        if (c.number(b) == 0) {
            if (!named()) return std::nullopt;
        } else {
            if (!c.take('-') || c.number(y) == 0) return std::nullopt;
            p.year = a;
            p.month = b;
            p.day = y;
        }
    } else if (allow_us && c.take('/')) {
        if (c.number(b) == 0 || !c.take('/')) return std::nullopt;
        const std::size_t y_digits = c.number(y);
        if (y_digits == 0) return std::nullopt;
        if (a_digits >= 3) {  // YYYY/M/D
            p.year = a;
            p.month = b;
            p.day = y;
        } else {
            p.month = a;
            p.day = b;
            p.year = two_digit_year(y, y_digits);
        }
    } else if (!named()) {
        return std::nullopt;
    }
    if (p.hour == 0 && p.minute == 0 && p.second == 0 && !c.at_end()) {
        if (!c.take('T')) c.skip_blanks();
        if (!c.at_end() && !read_time(c, p)) return std::nullopt;
    }
    c.skip_blanks();
    if (!c.at_end() || !valid_parts(p)) return std::nullopt;
    return p;
}

int weekday_of(std::int64_t days, int first_day) {
    const int sunday_based = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;  // 1899-12-30 was a Saturday
    return (sunday_based - first_day + 7) % 7 + 1;
}

int day_of_year(const date_parts& p) {
    return static_cast<int>(days_from_civil(p.year, p.month, p.day) - days_from_civil(p.year, 1, 1)) + 1;
}

int week_of_year(const date_parts& p, int first_day) {
    const int jan1 = weekday_of(days_from_civil(p.year, 1, 1), first_day);
    return (day_of_year(p) - 1 + jan1 - 1) / 7 + 1;
}

const char* month_name(int month) {
    static constexpr const char* names[] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
    return names[month - 1];
}

const char* day_name(int weekday) {
    static constexpr const char* names[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    return names[weekday - 1];
}

}  // namespace korvane::data::access
