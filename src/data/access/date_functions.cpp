// SPDX-License-Identifier: Apache-2.0
// Access date functions on stored dates (YYYY-MM-DD HH:MM:SS text) and day
// numbers; weeks start on Sunday unless the call names another first day.
#include "data/access/function_table.h"
#include "data/access/access_dates.h"
#include "data/access/access_text.h"
#include "data/access/function_values.h"
#include "text/calendar.h"

#include <sqlite3.h>

#include <cmath>
#include <ctime>
#include <cstdlib>

namespace korvane::data::access {
namespace {

// A first-day-of-week argument: 1 (Sunday) to 7 (Saturday); 0, the
// system's setting, is Sunday; absent is Sunday.
std::optional<int> first_day(int argc, sqlite3_value** argv, int at) {
    if (argc <= at) return 1;
    auto day = whole_number(argv[at]);
    if (!day || *day < 0 || *day > 7) return std::nullopt;
    return *day == 0 ? 1 : static_cast<int>(*day);
}

std::optional<date_parts> date_parts_of(sqlite3_value* v) {
    auto d = date_of(v);
    if (!d) return std::nullopt;
    return parts_from_ole(*d);
}

template <int part>  // 0 year 1 month 2 day 3 hour 4 minute 5 second
void fn_date_part(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto p = date_parts_of(argv[0]);
    if (!p) return type_mismatch(ctx);
    const int values[] = {p->year, p->month, p->day, p->hour, p->minute, p->second};
    sqlite3_result_int(ctx, values[part]);
}

void fn_weekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    const auto first = first_day(argc, argv, 1);
    if (!first) return invalid_call(ctx);
    sqlite3_result_int(ctx, weekday_of(static_cast<std::int64_t>(std::trunc(*d)), *first));
}

std::optional<std::string> interval_of(sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
    std::string s = lower_text(value_text(v));
    static const char* const known[] = {"yyyy", "q", "m", "y", "d", "w", "ww", "h", "n", "s"};
    for (const char* k : known) {
        if (s == k) return s;
    }
    return std::nullopt;
}

void fn_datepart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto interval = interval_of(argv[0]);
    if (!interval) return invalid_call(ctx);
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto p = date_parts_of(argv[1]);
    if (!p) return type_mismatch(ctx);
    const auto first = first_day(argc, argv, 2);
    if (!first) return invalid_call(ctx);
    const std::string& i = *interval;
    int r = 0;
    if (i == "yyyy") r = p->year;
    else if (i == "q") r = (p->month - 1) / 3 + 1;
    else if (i == "m") r = p->month;
    else if (i == "y") r = day_of_year(*p);
    else if (i == "d") r = p->day;
    else if (i == "w") r = weekday_of(days_from_civil(p->year, p->month, p->day), *first);
    else if (i == "ww") r = week_of_year(*p, *first);
    else if (i == "h") r = p->hour;
    else if (i == "n") r = p->minute;
    else r = p->second;
    sqlite3_result_int(ctx, r);
}

date_parts add_months(date_parts p, std::int64_t months) {
    const std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) + months;
    p.year = static_cast<int>(total >= 0 ? total / 12 : (total - 11) / 12);
    p.month = static_cast<int>(total - static_cast<std::int64_t>(p.year) * 12) + 1;
    const int last = text::days_in_month(p.year, p.month);
    if (p.day > last) p.day = last;
    return p;
}

void fn_dateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto interval = interval_of(argv[0]);
    if (!interval) return invalid_call(ctx);
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return invalid_null(ctx);
    if (sqlite3_value_type(argv[2]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[1]);
    auto p = date_parts_of(argv[2]);
    if (!n || !p) return type_mismatch(ctx);
    if (std::llabs(*n) > 4000000000LL) return invalid_call(ctx);
    const std::string& i = *interval;
    if (i == "yyyy" || i == "q" || i == "m") {
        const std::int64_t months = *n * (i == "yyyy" ? 12 : i == "q" ? 3 : 1);
        date_parts r = add_months(*p, months);
        if (!valid_parts(r)) return result_date(ctx, -1e9);
        return result_text(ctx, stamp_from_parts(r));
    }
    double seconds = 0;
    if (i == "y" || i == "d" || i == "w") seconds = static_cast<double>(*n) * 86400;
    else if (i == "ww") seconds = static_cast<double>(*n) * 7 * 86400;
    else if (i == "h") seconds = static_cast<double>(*n) * 3600;
    else if (i == "n") seconds = static_cast<double>(*n) * 60;
    else seconds = static_cast<double>(*n);
    // Work in whole seconds from day 0 so negative dates add correctly.
    const double start = static_cast<double>(days_from_civil(p->year, p->month, p->day)) * 86400 +
                         p->hour * 3600 + p->minute * 60 + p->second;
    const double total = start + seconds;
    const double days = std::floor(total / 86400);
    const double secs = total - days * 86400;
    date_parts r;
    if (days < -700000 || days > 3000000) return result_date(ctx, -1e9);
    civil_from_days(static_cast<std::int64_t>(days), r.year, r.month, r.day);
    r.hour = static_cast<int>(secs / 3600);
    r.minute = static_cast<int>(std::fmod(secs, 3600) / 60);
    r.second = static_cast<int>(std::fmod(secs, 60));
    if (!valid_parts(r)) return result_date(ctx, -1e9);
    result_text(ctx, stamp_from_parts(r));
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void fn_datediff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto interval = interval_of(argv[0]);
    if (!interval) return invalid_call(ctx);
    if (any_null(3, argv)) return sqlite3_result_null(ctx);
    auto a = date_parts_of(argv[1]);
    auto b = date_parts_of(argv[2]);
    if (!a || !b) return type_mismatch(ctx);
    const auto first = first_day(argc, argv, 3);
    if (!first) return invalid_call(ctx);
    const std::string& i = *interval;
    const std::int64_t da = days_from_civil(a->year, a->month, a->day);
    const std::int64_t db = days_from_civil(b->year, b->month, b->day);
    const std::int64_t sa = da * 86400 + a->hour * 3600 + a->minute * 60 + a->second;
    const std::int64_t sb = db * 86400 + b->hour * 3600 + b->minute * 60 + b->second;
    std::int64_t r = 0;
    if (i == "yyyy") r = b->year - a->year;
    else if (i == "q") r = (b->year * 4 + (b->month - 1) / 3) - (a->year * 4 + (a->month - 1) / 3);
    else if (i == "m") r = (b->year * 12 + b->month) - (a->year * 12 + a->month);
    else if (i == "y" || i == "d") r = db - da;
    else if (i == "w") r = (db - da) / 7;
    else if (i == "ww") {
        // Week starts crossed: count from the week start on or before each day.
        const std::int64_t wa = da - (weekday_of(da, *first) - 1);
        const std::int64_t wb = db - (weekday_of(db, *first) - 1);
        r = (wb - wa) / 7;
    } else if (i == "h") r = floor_div(sb, 3600) - floor_div(sa, 3600);
    else if (i == "n") r = floor_div(sb, 60) - floor_div(sa, 60);
    else r = sb - sa;
    sqlite3_result_int64(ctx, r);
}

void fn_dateserial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(3, argv)) return invalid_null(ctx);
    auto y = whole_number(argv[0]);
    auto m = whole_number(argv[1]);
    auto d = whole_number(argv[2]);
    if (!y || !m || !d || std::llabs(*y) > 100000 || std::llabs(*m) > 1200000 || std::llabs(*d) > 4000000) {
        return invalid_call(ctx);
    }
    std::int64_t year = *y;
    if (year >= 0 && year < 30) year += 2000;
    else if (year >= 30 && year < 100) year += 1900;
    date_parts p = add_months(date_parts{static_cast<int>(year), 1, 1, 0, 0, 0}, *m - 1);
    const std::int64_t days = days_from_civil(p.year, p.month, 1) + (*d - 1);
    auto r = parts_from_ole(static_cast<double>(days));
    if (!r) return result_date(ctx, -1e9);
    result_text(ctx, stamp_from_parts(*r));
}

void fn_timeserial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(3, argv)) return invalid_null(ctx);
    auto h = whole_number(argv[0]);
    auto m = whole_number(argv[1]);
    auto s = whole_number(argv[2]);
    if (!h || !m || !s || std::llabs(*h) > 1000000 || std::llabs(*m) > 1000000 || std::llabs(*s) > 1000000) {
        return invalid_call(ctx);
    }
    const std::int64_t total = *h * 3600 + *m * 60 + *s;
    const std::int64_t days = floor_div(total, 86400);
    const std::int64_t rest = total - days * 86400;
    date_parts p;
    civil_from_days(days, p.year, p.month, p.day);
    p.hour = static_cast<int>(rest / 3600);
    p.minute = static_cast<int>(rest / 60 % 60);
    p.second = static_cast<int>(rest % 60);
    result_text(ctx, stamp_from_parts(p));
}

date_parts local_now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return date_parts{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

template <int what>  // 0 Now, 1 Date, 2 Time
void fn_now(sqlite3_context* ctx, int, sqlite3_value**) {
    date_parts p = local_now();
    if (what == 1) p.hour = p.minute = p.second = 0;
    if (what == 2) {
        p.year = 1899;
        p.month = 12;
        p.day = 30;
    }
    result_text(ctx, stamp_from_parts(p));
}

void fn_monthname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto m = whole_number(argv[0]);
    if (!m || *m < 1 || *m > 12) return invalid_call(ctx);
    std::string name = month_name(static_cast<int>(*m));
    if (argc > 1 && sqlite3_value_int(argv[1]) != 0) name.resize(3);
    result_text(ctx, name);
}

void fn_weekdayname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = whole_number(argv[0]);
    if (!d || *d < 1 || *d > 7) return invalid_call(ctx);
    const auto first = first_day(argc, argv, 2);
    if (!first) return invalid_call(ctx);
    std::string name = day_name(static_cast<int>((*d - 1 + *first - 1) % 7) + 1);
    if (argc > 1 && sqlite3_value_int(argv[1]) != 0) name.resize(3);
    result_text(ctx, name);
}

}  // namespace

std::span<const scalar_def> date_functions() {
    static const scalar_def functions[] = {
        {"acc_year", 1, 1, fn_date_part<0>},
        {"acc_month", 1, 1, fn_date_part<1>},
        {"acc_day", 1, 1, fn_date_part<2>},
        {"acc_hour", 1, 1, fn_date_part<3>},
        {"acc_minute", 1, 1, fn_date_part<4>},
        {"acc_second", 1, 1, fn_date_part<5>},
        {"acc_weekday", 1, 2, fn_weekday},
        {"acc_datepart", 2, 4, fn_datepart},
        {"acc_dateadd", 3, 3, fn_dateadd},
        {"acc_datediff", 3, 5, fn_datediff},
        {"acc_dateserial", 3, 3, fn_dateserial},
        {"acc_timeserial", 3, 3, fn_timeserial},
        {"acc_monthname", 1, 2, fn_monthname},
        {"acc_weekdayname", 1, 3, fn_weekdayname},
        {"acc_now", 0, 0, fn_now<0>, false},
        {"acc_date", 0, 0, fn_now<1>, false},
        {"acc_time", 0, 0, fn_now<2>, false},
    };
    return functions;
}

}  // namespace korvane::data::access
