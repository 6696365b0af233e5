// SPDX-License-Identifier: Apache-2.0
// Access conversions (CStr, CLng, CDate ...), Val and Str, the numeric
// functions and the Is... tests.
#include "data/access/function_table.h"
#include "data/access/access_dates.h"
#include "data/access/access_functions.h"
#include "data/access/access_text.h"
#include "data/access/function_values.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <algorithm>
#include <cmath>

namespace korvane::data::access {
namespace {

void fn_cstr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    result_text(ctx, text_of(argv[0]));
}

void fn_str(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    const std::string s = text_of(argv[0]);
    result_text(ctx, *d >= 0 ? " " + s : s);
}

template <std::int64_t low, std::int64_t high>
void fn_whole(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    const double r = round_half_even(*d, 0);
    if (!(r >= static_cast<double>(low) && r <= static_cast<double>(high))) {
        return sqlite3_result_error(ctx, "Overflow.", -1);
    }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(r));
}

void fn_cvar(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }

void fn_cdbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_double(ctx, *d);
}

void fn_csng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(static_cast<float>(*d)),
                             std::chars_format::general, 7);
    double r = *d;
    std::from_chars(buf, res.ptr, r);
    sqlite3_result_double(ctx, r);
}

void fn_ccur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    if (std::fabs(*d) > 922337203685477.0) return sqlite3_result_error(ctx, "Overflow.", -1);
    sqlite3_result_double(ctx, round_half_even(*d, 4));
}

void fn_cbool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const std::string s = lower_text(value_text(argv[0]));
        if (s == "true" || s == "yes" || s == "on") return sqlite3_result_int(ctx, -1);
        if (s == "false" || s == "no" || s == "off") return sqlite3_result_int(ctx, 0);
    }
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_int(ctx, *d != 0 ? -1 : 0);
}

template <bool null_allowed>
void fn_cdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return null_allowed ? sqlite3_result_null(ctx) : invalid_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, *d);
}

void fn_datevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, std::trunc(*d));
}

void fn_timevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, std::fabs(*d - std::trunc(*d)));
}

// &H1F and &O17 as Val reads them: the digits that follow, as a 16-bit
// number when four hexadecimal (six octal) digits or fewer, else 32-bit, so
// &HFFFF is -1.
std::optional<double> radix_value(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    if (s.size() < 2 || s[0] != '&') return std::nullopt;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
    if (kind != 'H' && kind != 'O') return std::nullopt;
    const int base = kind == 'H' ? 16 : 8;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = 2; i < s.size() && digits < (base == 16 ? 8u : 11u); ++i, ++digits) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (d >= base) break;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
    }
    if (value <= 0xFFFF && digits <= (base == 16 ? 4u : 6u)) return static_cast<std::int16_t>(value);
    return static_cast<std::int32_t>(value);
}

// Val: the leading number of a text; blanks, tabs and line feeds anywhere
// are skipped.
void fn_val(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    const std::string s = text_of(argv[0]);
    if (auto radix_number = radix_value(s)) return sqlite3_result_double(ctx, *radix_number);
    std::string digits;
    bool seen_digit = false, seen_point = false, seen_exp = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if ((c == '+' || c == '-') && (digits.empty() || (seen_exp && (digits.back() == 'e')))) {
            digits += c;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
            seen_digit = true;
        } else if (c == '.' && !seen_point && !seen_exp) {
            digits += c;
            seen_point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && seen_digit && !seen_exp) {
            digits += 'e';
            seen_exp = true;
        } else {
            break;
        }
    }
    while (!digits.empty() && (digits.back() == 'e' || digits.back() == '+' || digits.back() == '-')) digits.pop_back();
    double d = 0;
    if (!digits.empty()) std::from_chars(digits.data(), digits.data() + digits.size(), d);
    sqlite3_result_double(ctx, d);
}

void fn_isnull(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? -1 : 0);
}

void fn_isnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = sqlite3_value_type(argv[0]);
    const bool numeric = t == SQLITE_INTEGER || t == SQLITE_FLOAT ||
                         (t == SQLITE_TEXT && parse_number_text(value_text(argv[0])).has_value());
    sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void fn_isdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool date = sqlite3_value_type(argv[0]) == SQLITE_TEXT && parse_date_text(value_text(argv[0])).has_value();
    sqlite3_result_int(ctx, date ? -1 : 0);
}

}  // namespace

std::span<const scalar_def> conversion_functions() {
    static const scalar_def functions[] = {
        {"acc_cstr", 1, 1, fn_cstr},
        {"acc_str", 1, 1, fn_str},
        {"acc_clng", 1, 1, fn_whole<-2147483648LL, 2147483647LL>},
        {"acc_cint", 1, 1, fn_whole<-32768, 32767>},
        {"acc_cbyte", 1, 1, fn_whole<0, 255>},
        {"acc_cvar", 1, 1, fn_cvar},
        {"acc_csng", 1, 1, fn_csng},
        {"acc_cdbl", 1, 1, fn_cdbl},
        {"acc_ccur", 1, 1, fn_ccur},
        {"acc_cbool", 1, 1, fn_cbool},
        {"acc_cdate", 1, 1, fn_cdate<false>},
        {"acc_cvdate", 1, 1, fn_cdate<true>},
        {"acc_datevalue", 1, 1, fn_datevalue},
        {"acc_timevalue", 1, 1, fn_timevalue},
        {"acc_val", 1, 1, fn_val},
        {"acc_isnull", 1, 1, fn_isnull},
        {"acc_isnumeric", 1, 1, fn_isnumeric},
        {"acc_isdate", 1, 1, fn_isdate},
    };
    return functions;
}

}  // namespace korvane::data::access
