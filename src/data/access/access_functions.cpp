#include "data/access/access_functions.h"

#include "data/access/access_dates.h"
#include "data/access/access_text.h"
#include "data/access/mdb_reader.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <string_view>
#include <vector>

namespace korvane::data::access {
namespace {

constexpr std::array<const char*, 12> month_names = {"January", "February", "March",     "April",
                                                     "May",     "June",     "July",      "August",
                                                     "September", "October", "November", "December"};
constexpr std::array<const char*, 7> day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};

// ---- values ---------------------------------------------------------------

std::string general_number(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string_view value_text(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p == nullptr ? std::string_view() : std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

// The text Access makes of a value for &, CStr, Len and the text functions.
std::string text_of(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return general_number(sqlite3_value_double(v));
        case SQLITE_NULL: return {};
        case SQLITE_BLOB: {
            const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
            return p == nullptr ? std::string() : std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
        }
        default: return std::string(value_text(v));
    }
}

std::optional<double> parse_number_text(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    double d = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    if (res.ec != std::errc{} || res.ptr != s.data() + s.size()) return std::nullopt;
    return d;
}

// A stored date: "YYYY-MM-DD HH:MM:SS" (or the date alone).
std::optional<double> stamp_value(std::string_view s) {
    if (s.size() != 19 && s.size() != 10) return std::nullopt;
    if (s[4] != '-' || s[7] != '-') return std::nullopt;
    auto parts = parse_date_text(s, false);
    if (!parts) return std::nullopt;
    return ole_from_parts(*parts);
}

// Numbers for arithmetic and the numeric functions; dates count as their
// day numbers, as in Access.
std::optional<double> number_of(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_TEXT: {
            const std::string_view s = value_text(v);
            if (auto d = parse_number_text(s)) return d;
            return stamp_value(s);
        }
        default: return std::nullopt;
    }
}

std::optional<double> date_of(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_TEXT: {
            auto parts = parse_date_text(value_text(v));
            if (!parts) return std::nullopt;
            return ole_from_parts(*parts);
        }
        default: return std::nullopt;
    }
}

bool any_null(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    }
    return false;
}

void result_text(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void result_date(sqlite3_context* ctx, double ole) {
    auto parts = parts_from_ole(ole);
    if (!parts) {
        sqlite3_result_error(ctx, "The date is out of range (years 100 to 9999).", -1);
        return;
    }
    result_text(ctx, stamp_from_parts(*parts));
}

void type_mismatch(sqlite3_context* ctx) { sqlite3_result_error(ctx, "Type mismatch in expression.", -1); }
void invalid_call(sqlite3_context* ctx) { sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1); }

// Rounds an argument to a whole number the Access way (halves to even).
std::optional<std::int64_t> whole_number(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    auto d = number_of(v);
    if (!d || !std::isfinite(*d) || std::fabs(*d) > 9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(round_half_even(*d, 0));
}

// ---- operators --------------------------------------------------------------

void fn_concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool all_null = true;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
        all_null = false;
        out += text_of(argv[i]);
    }
    if (all_null) {
        sqlite3_result_null(ctx);
        return;
    }
    result_text(ctx, out);
}

void result_sum(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b, bool subtract) {
    if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
        std::int64_t r = 0;
        const bool overflow = subtract ? __builtin_sub_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &r)
                                       : __builtin_add_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &r);
        if (!overflow) {
            sqlite3_result_int64(ctx, r);
            return;
        }
    }
    auto x = number_of(a);
    auto y = number_of(b);
    if (!x || !y) return type_mismatch(ctx);
    sqlite3_result_double(ctx, subtract ? *x - *y : *x + *y);
}

void fn_add(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const bool a_text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
    const bool b_text = sqlite3_value_type(argv[1]) == SQLITE_TEXT;
    const auto a_date = a_text ? stamp_value(value_text(argv[0])) : std::nullopt;
    const auto b_date = b_text ? stamp_value(value_text(argv[1])) : std::nullopt;
    if (a_date && !b_text) {
        if (auto n = number_of(argv[1])) return result_date(ctx, *a_date + *n);
    }
    if (b_date && !a_text) {
        if (auto n = number_of(argv[0])) return result_date(ctx, *b_date + *n);
    }
    if (a_text && b_text) {  // + joins two texts
        result_text(ctx, std::string(value_text(argv[0])) + std::string(value_text(argv[1])));
        return;
    }
    result_sum(ctx, argv[0], argv[1], false);
}

void fn_sub(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const auto a_date = sqlite3_value_type(argv[0]) == SQLITE_TEXT ? stamp_value(value_text(argv[0])) : std::nullopt;
    const auto b_date = sqlite3_value_type(argv[1]) == SQLITE_TEXT ? stamp_value(value_text(argv[1])) : std::nullopt;
    if (a_date && b_date) return sqlite3_result_double(ctx, *a_date - *b_date);
    if (a_date) {
        auto n = number_of(argv[1]);
        if (!n) return type_mismatch(ctx);
        return result_date(ctx, *a_date - *n);
    }
    result_sum(ctx, argv[0], argv[1], true);
}

void fn_div(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = number_of(argv[0]);
    auto b = number_of(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    sqlite3_result_double(ctx, *a / *b);
}

void fn_intdiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = whole_number(argv[0]);
    auto b = whole_number(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    if (*b == -1) return sqlite3_result_int64(ctx, -*a);
    sqlite3_result_int64(ctx, *a / *b);
}

void fn_mod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = whole_number(argv[0]);
    auto b = whole_number(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    if (*b == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, *a % *b);
}

void fn_pow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = number_of(argv[0]);
    auto b = number_of(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    const double r = std::pow(*a, *b);
    if (!std::isfinite(r)) return invalid_call(ctx);
    sqlite3_result_double(ctx, r);
}

void fn_like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (any_null(std::min(argc, 2), argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, like_match(text_of(argv[0]), text_of(argv[1])) ? 1 : 0);
}

// ---- text -------------------------------------------------------------------

std::vector<char32_t> code_points(std::string_view s, bool fold) {
    std::vector<char32_t> out;
    for (std::size_t pos = 0; pos < s.size();) {
        const char32_t c = next_code_point(s, pos);
        out.push_back(fold ? lower_code_point(c) : c);
    }
    return out;
}

std::string from_code_points(const std::vector<char32_t>& cps, std::size_t from, std::size_t count) {
    std::string out;
    for (std::size_t i = from; i < cps.size() && i < from + count; ++i) append_utf8(cps[i], out);
    return out;
}

void fn_left(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[1]);
    if (!n || *n < 0) return invalid_call(ctx);
    const std::string s = text_of(argv[0]);
    result_text(ctx, s.substr(0, byte_offset_of_character(s, static_cast<std::size_t>(*n))));
}

void fn_right(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[1]);
    if (!n || *n < 0) return invalid_call(ctx);
    const std::string s = text_of(argv[0]);
    const std::size_t len = character_count(s);
    const std::size_t keep = std::min(len, static_cast<std::size_t>(*n));
    result_text(ctx, s.substr(byte_offset_of_character(s, len - keep)));
}

void fn_mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto start = whole_number(argv[1]);
    if (!start || *start < 1) return invalid_call(ctx);
    std::optional<std::int64_t> count;
    if (argc > 2) {
        count = whole_number(argv[2]);
        if (!count || *count < 0) return invalid_call(ctx);
    }
    const std::string s = text_of(argv[0]);
    const std::size_t from = byte_offset_of_character(s, static_cast<std::size_t>(*start - 1));
    const std::size_t to = count ? from + byte_offset_of_character(std::string_view(s).substr(from), static_cast<std::size_t>(*count))
                                 : s.size();
    result_text(ctx, s.substr(from, to - from));
}

void fn_len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(character_count(text_of(argv[0]))));
}

std::int64_t find_text(const std::vector<char32_t>& hay, const std::vector<char32_t>& needle, std::size_t from) {
    if (needle.empty()) return static_cast<std::int64_t>(from) + 1;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + static_cast<std::ptrdiff_t>(i))) {
            return static_cast<std::int64_t>(i) + 1;
        }
    }
    return 0;
}

void fn_instr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int first = 0;
    std::int64_t start = 1;
    if (argc >= 3) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_call(ctx);
        auto s = whole_number(argv[0]);
        if (!s || *s < 1) return invalid_call(ctx);
        start = *s;
        first = 1;
    }
    if (any_null(2, argv + first)) return sqlite3_result_null(ctx);
    // Text comparison unless a compare argument of 0 asks for binary.
    const bool fold = argc < 4 || sqlite3_value_int(argv[3]) != 0;
    const auto hay = code_points(text_of(argv[first]), fold);
    const auto needle = code_points(text_of(argv[first + 1]), fold);
    if (static_cast<std::size_t>(start) > hay.size()) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, find_text(hay, needle, static_cast<std::size_t>(start - 1)));
}

void fn_instrrev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const bool fold = argc < 4 || sqlite3_value_int(argv[3]) != 0;
    const auto hay = code_points(text_of(argv[0]), fold);
    const auto needle = code_points(text_of(argv[1]), fold);
    std::int64_t start = static_cast<std::int64_t>(hay.size());
    if (argc >= 3) {
        auto s = whole_number(argv[2]);
        if (!s || *s == 0 || *s < -1) return invalid_call(ctx);
        if (*s != -1) start = *s;
    }
    std::int64_t found = 0;
    for (std::int64_t i = 0; i + static_cast<std::int64_t>(needle.size()) <= std::min<std::int64_t>(start, static_cast<std::int64_t>(hay.size())); ++i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) found = i + 1;
    }
    sqlite3_result_int64(ctx, found);
}

void fn_ucase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    result_text(ctx, upper_text(text_of(argv[0])));
}

void fn_lcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    result_text(ctx, lower_text(text_of(argv[0])));
}

template <bool left, bool right>
void fn_trim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = text_of(argv[0]);
    std::size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    result_text(ctx, s.substr(b, e - b));
}

void fn_nz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1) return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);  // a query's Nz gives ""
}

void fn_space(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n || *n < 0 || *n > 1000000) return invalid_call(ctx);
    result_text(ctx, std::string(static_cast<std::size_t>(*n), ' '));
}

void fn_chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n || *n < 0 || *n > 0x10FFFF) return invalid_call(ctx);
    std::string s;
    append_utf8(static_cast<char32_t>(*n), s);
    result_text(ctx, s);
}

void fn_asc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const std::string s = text_of(argv[0]);
    if (s.empty()) return invalid_call(ctx);
    std::size_t pos = 0;
    sqlite3_result_int64(ctx, next_code_point(s, pos));
}

void fn_strcomp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const std::string a = text_of(argv[0]);
    const std::string b = text_of(argv[1]);
    const bool binary = argc > 2 && sqlite3_value_int(argv[2]) == 0;
    const int c = binary ? a.compare(b) : compare_text(a, b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void fn_strreverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto cps = code_points(text_of(argv[0]), false);
    std::reverse(cps.begin(), cps.end());
    result_text(ctx, from_code_points(cps, 0, cps.size()));
}

// ---- conversion ---------------------------------------------------------------

void fn_cstr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
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
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    const double r = round_half_even(*d, 0);
    if (!(r >= static_cast<double>(low) && r <= static_cast<double>(high))) {
        return sqlite3_result_error(ctx, "Overflow.", -1);
    }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(r));
}

void fn_cdbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_double(ctx, *d);
}

void fn_csng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
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
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    if (std::fabs(*d) > 922337203685477.0) return sqlite3_result_error(ctx, "Overflow.", -1);
    sqlite3_result_double(ctx, round_half_even(*d, 4));
}

void fn_cbool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        const std::string s = lower_text(value_text(argv[0]));
        if (s == "true" || s == "yes" || s == "on") return sqlite3_result_int(ctx, -1);
        if (s == "false" || s == "no" || s == "off") return sqlite3_result_int(ctx, 0);
    }
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_int(ctx, *d != 0 ? -1 : 0);
}

void fn_cdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, *d);
}

void fn_datevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, std::trunc(*d));
}

void fn_timevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = date_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    result_date(ctx, std::fabs(*d - std::trunc(*d)));
}

// Val: the leading number of a text; blanks, tabs and line feeds anywhere
// are skipped.
void fn_val(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const std::string s = text_of(argv[0]);
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

// ---- numbers ------------------------------------------------------------------

void fn_round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::int64_t decimals = 0;
    if (argc > 1) {
        auto n = whole_number(argv[1]);
        if (!n || *n < 0 || *n > 15) return invalid_call(ctx);
        decimals = *n;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_double(ctx, round_half_even(*d, static_cast<int>(decimals)));
}

template <int mode>  // 0 Int (floor), 1 Fix (toward zero), 2 Sgn, 3 Sqr
void fn_numeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && mode < 2) return sqlite3_result_value(ctx, argv[0]);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    if (mode == 0) sqlite3_result_double(ctx, std::floor(*d));
    if (mode == 1) sqlite3_result_double(ctx, std::trunc(*d));
    if (mode == 2) sqlite3_result_int(ctx, *d > 0 ? 1 : *d < 0 ? -1 : 0);
    if (mode == 3) {
        if (*d < 0) return invalid_call(ctx);
        sqlite3_result_double(ctx, std::sqrt(*d));
    }
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

// ---- dates --------------------------------------------------------------------

int weekday_of(std::int64_t days, int first_day = 1) {  // 1 = first_day
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
    const int first = argc > 1 && sqlite3_value_int(argv[1]) >= 1 ? sqlite3_value_int(argv[1]) : 1;
    sqlite3_result_int(ctx, weekday_of(static_cast<std::int64_t>(std::trunc(*d)), first));
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
    const int first = argc > 2 && sqlite3_value_int(argv[2]) >= 1 ? sqlite3_value_int(argv[2]) : 1;
    const std::string& i = *interval;
    int r = 0;
    if (i == "yyyy") r = p->year;
    else if (i == "q") r = (p->month - 1) / 3 + 1;
    else if (i == "m") r = p->month;
    else if (i == "y") r = day_of_year(*p);
    else if (i == "d") r = p->day;
    else if (i == "w") r = weekday_of(days_from_civil(p->year, p->month, p->day), first);
    else if (i == "ww") r = week_of_year(*p, first);
    else if (i == "h") r = p->hour;
    else if (i == "n") r = p->minute;
    else r = p->second;
    sqlite3_result_int(ctx, r);
}

date_parts add_months(date_parts p, std::int64_t months) {
    const std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) + months;
    p.year = static_cast<int>(total >= 0 ? total / 12 : (total - 11) / 12);
    p.month = static_cast<int>(total - static_cast<std::int64_t>(p.year) * 12) + 1;
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
    const int last = p.month == 2 && leap ? 29 : lengths[p.month - 1];
    if (p.day > last) p.day = last;
    return p;
}

void fn_dateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto interval = interval_of(argv[0]);
    if (!interval) return invalid_call(ctx);
    if (any_null(3, argv)) return sqlite3_result_null(ctx);
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
    const int first = argc > 3 && sqlite3_value_int(argv[3]) >= 1 ? sqlite3_value_int(argv[3]) : 1;
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
        const std::int64_t wa = da - (weekday_of(da, first) - 1);
        const std::int64_t wb = db - (weekday_of(db, first) - 1);
        r = (wb - wa) / 7;
    } else if (i == "h") r = floor_div(sb, 3600) - floor_div(sa, 3600);
    else if (i == "n") r = floor_div(sb, 60) - floor_div(sa, 60);
    else r = sb - sa;
    sqlite3_result_int64(ctx, r);
}

void fn_dateserial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(3, argv)) return sqlite3_result_null(ctx);
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
    if (any_null(3, argv)) return sqlite3_result_null(ctx);
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
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto m = whole_number(argv[0]);
    if (!m || *m < 1 || *m > 12) return invalid_call(ctx);
    std::string name = month_names[static_cast<std::size_t>(*m - 1)];
    if (argc > 1 && sqlite3_value_int(argv[1]) != 0) name.resize(3);
    result_text(ctx, name);
}

void fn_weekdayname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto d = whole_number(argv[0]);
    if (!d || *d < 1 || *d > 7) return invalid_call(ctx);
    const int first = argc > 2 && sqlite3_value_int(argv[2]) >= 1 ? sqlite3_value_int(argv[2]) : 1;
    std::string name = day_names[static_cast<std::size_t>((*d - 1 + first - 1) % 7)];
    if (argc > 1 && sqlite3_value_int(argv[1]) != 0) name.resize(3);
    result_text(ctx, name);
}

void fn_format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
    const std::string format = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL ? text_of(argv[1]) : "";
    if (format.empty()) return result_text(ctx, text_of(argv[0]));
    std::optional<double> date;
    if (type == SQLITE_TEXT) date = stamp_value(value_text(argv[0]));
    std::optional<std::string> out;
    if (date) {
        out = format_date(*date, format);
    } else if (auto n = number_of(argv[0])) {
        out = format_number(*n, format);
        if (!out) out = format_date(*n, format);
    }
    if (!out) {
        // Text formats: ">" upper case, "<" lower case, otherwise unchanged.
        const std::string text = text_of(argv[0]);
        if (format.find('>') != std::string::npos) out = upper_text(text);
        else if (format.find('<') != std::string::npos) out = lower_text(text);
        else out = text;
    }
    result_text(ctx, *out);
}

// ---- aggregates -----------------------------------------------------------------

struct first_last_state {
    sqlite3_value* value;
    bool seen;
};

template <bool last>
void first_last_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<first_last_state*>(sqlite3_aggregate_context(ctx, sizeof(first_last_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    if (s->seen && !last) return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(argv[0]);
    s->seen = true;
}

void first_last_final(sqlite3_context* ctx) {
    auto* s = static_cast<first_last_state*>(sqlite3_aggregate_context(ctx, 0));
    if (s == nullptr || s->value == nullptr) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

struct spread_state {
    std::int64_t n;
    double mean, m2;
};

void spread_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<spread_state*>(sqlite3_aggregate_context(ctx, sizeof(spread_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto x = number_of(argv[0]);
    if (!x) return;
    ++s->n;
    const double delta = *x - s->mean;
    s->mean += delta / static_cast<double>(s->n);
    s->m2 += delta * (*x - s->mean);
}

template <bool population, bool root>
void spread_final(sqlite3_context* ctx) {
    auto* s = static_cast<spread_state*>(sqlite3_aggregate_context(ctx, 0));
    const std::int64_t min_n = population ? 1 : 2;
    if (s == nullptr || s->n < min_n) return sqlite3_result_null(ctx);
    const double var = s->m2 / static_cast<double>(population ? s->n : s->n - 1);
    sqlite3_result_double(ctx, root ? std::sqrt(var) : var);
}

// Sum as Access gives it over Currency: amounts with at most four decimals
// add up in whole ten-thousandths, so 0.1 + 0.2 is 0.3 and a column of
// prices sums to the cent; other values add up as doubles.
struct sum_state {
    std::int64_t integer;      // while every value is an integer
    std::int64_t ten_thousandths;
    double real;
    bool seen, any_real, inexact;
};

void sum_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<sum_state*>(sqlite3_aggregate_context(ctx, sizeof(sum_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    const int type = sqlite3_value_numeric_type(argv[0]);
    if (type == SQLITE_NULL) return;
    s->seen = true;
    if (type == SQLITE_INTEGER && !s->any_real) {
        const std::int64_t v = sqlite3_value_int64(argv[0]);
        if (!__builtin_add_overflow(s->integer, v, &s->integer)) return;
        s->any_real = true;
        s->inexact = true;
        s->real = static_cast<double>(s->integer - v) + static_cast<double>(v);
        return;
    }
    if (!s->any_real) {  // the integers so far become the running totals
        s->any_real = true;
        s->real = static_cast<double>(s->integer);
        s->inexact = __builtin_mul_overflow(s->integer, std::int64_t{10000}, &s->ten_thousandths);
    }
    const double v = sqlite3_value_double(argv[0]);
    s->real += v;
    if (s->inexact) return;
    const double scaled = std::round(v * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9e17 || std::fabs(v * 10000.0 - scaled) > 1e-6 ||
        __builtin_add_overflow(s->ten_thousandths, static_cast<std::int64_t>(scaled), &s->ten_thousandths)) {
        s->inexact = true;
    }
}

void sum_final(sqlite3_context* ctx) {
    auto* s = static_cast<sum_state*>(sqlite3_aggregate_context(ctx, 0));
    if (s == nullptr || !s->seen) return sqlite3_result_null(ctx);
    if (!s->any_real) return sqlite3_result_int64(ctx, s->integer);
    if (s->inexact) return sqlite3_result_double(ctx, s->real);
    sqlite3_result_double(ctx, static_cast<double>(s->ten_thousandths) / 10000.0);
}

int collate_text(void*, int a_len, const void* a, int b_len, const void* b) {
    return compare_text(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(a_len)),
                        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(b_len)));
}

using scalar = void (*)(sqlite3_context*, int, sqlite3_value**);

struct scalar_def {
    const char* name;
    int min_args, max_args;
    scalar f;
    bool deterministic = true;
};

// ---- formatting helpers -------------------------------------------------------

std::string lower_ascii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> split_sections(const std::string& format) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '"') quoted = !quoted;
        if (c == '\\' && i + 1 < format.size()) {
            sections.back() += format.substr(i, 2);
            ++i;
            continue;
        }
        if (c == ';' && !quoted) {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

std::string group_thousands(const std::string& digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[i];
        if ((n - i - 1) % 3 == 0 && i + 1 < n) out += ',';
    }
    return out;
}

std::optional<std::string> format_number_section(double value, const std::string& section) {
    // Split into literal prefix, placeholder region and literal suffix.
    std::string prefix, suffix, int_part, frac_part;
    bool in_region = false, after_region = false, seen_point = false, percent = false, grouping = false;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        std::string literal;
        if (c == '"') {
            const std::size_t end = section.find('"', i + 1);
            literal = section.substr(i + 1, (end == std::string::npos ? section.size() : end) - i - 1);
            i = end == std::string::npos ? section.size() : end;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal = section.substr(++i, 1);
        } else if ((c == '0' || c == '#' || c == '.' || (c == ',' && in_region)) && !after_region) {
            in_region = true;
            if (c == '.') seen_point = true;
            else if (c == ',') grouping = true;
            else (seen_point ? frac_part : int_part) += c;
            continue;
        } else {
            if (c == '%') percent = true;
            literal = std::string(1, c);
        }
        if (in_region) after_region = true;
        (in_region ? suffix : prefix) += literal;
    }
    if (!in_region) return prefix;  // no digits at all: the literal text
    if (percent) value *= 100;
    std::size_t max_frac = frac_part.size();
    std::size_t min_frac = 0;
    for (char c : frac_part) {
        if (c == '0') ++min_frac;
    }
    std::size_t min_int = 0;
    for (char c : int_part) {
        if (c == '0') ++min_int;
    }
    const double rounded = std::fabs(value);
    char buf[400];
    const int len = std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(max_frac), rounded);
    if (len < 0 || static_cast<std::size_t>(len) >= sizeof buf) return std::nullopt;
    std::string text(buf, static_cast<std::size_t>(len));
    std::string whole = text.substr(0, text.find('.'));
    std::string frac = text.find('.') == std::string::npos ? "" : text.substr(text.find('.') + 1);
    while (frac.size() > min_frac && frac.back() == '0') frac.pop_back();
    if (whole == "0" && min_int == 0) whole.clear();
    while (whole.size() < min_int) whole.insert(0, "0");
    if (grouping) whole = group_thousands(whole);
    std::string out = whole;
    if (!frac.empty() || (seen_point && max_frac == 0 && false)) out += "." + frac;
    return prefix + out + suffix;
}

}  // namespace

double round_half_even(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double low = std::floor(scaled);
    const double diff = scaled - low;
    // Values like 2.675 are stored a hair off their decimal form; treat a
    // difference within rounding noise of one half as an exact half.
    const double noise = 1e-9 * std::max(1.0, std::fabs(scaled));
    double r;
    if (std::fabs(diff - 0.5) <= noise) {
        r = std::fmod(low, 2.0) == 0 ? low : low + 1;
    } else {
        r = std::round(scaled);
    }
    return r / scale;
}

std::optional<std::string> format_number(double value, const std::string& format) {
    const std::string named = lower_ascii(format);
    if (named == "general number") return general_number(value);
    if (named == "currency") return format_number(value, "$#,##0.00;($#,##0.00)");
    if (named == "fixed") return format_number(value, "0.00");
    if (named == "standard") return format_number(value, "#,##0.00");
    if (named == "percent") return format_number(value, "0.00%");
    if (named == "scientific") {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2E", value);
        return std::string(buf);
    }
    if (named == "yes/no") return std::string(value != 0 ? "Yes" : "No");
    if (named == "true/false") return std::string(value != 0 ? "True" : "False");
    if (named == "on/off") return std::string(value != 0 ? "On" : "Off");
    const std::vector<std::string> sections = split_sections(format);
    // A format with date letters and no digit places is a date format.
    bool digits = false, date_letters = false;
    for (char c : sections[0]) {
        if (c == '0' || c == '#') digits = true;
        if (std::string_view("dmyhnswq").find(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))) != std::string_view::npos) date_letters = true;
    }
    if (!digits && date_letters) return std::nullopt;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) return format_number_section(-value, sections[1]);
    if (value == 0 && sections.size() > 2 && !sections[2].empty()) return format_number_section(0, sections[2]);
    auto out = format_number_section(value, sections[0]);
    if (out && value < 0) {
        // Only a non-zero shown value keeps its sign.
        bool nonzero = false;
        for (char c : *out) {
            if (c >= '1' && c <= '9') nonzero = true;
        }
        if (nonzero) out->insert(0, "-");
    }
    return out;
}

std::optional<std::string> format_date(double ole_date, const std::string& format) {
    auto parts = parts_from_ole(ole_date);
    if (!parts) return std::nullopt;
    const date_parts& p = *parts;
    const std::string named = lower_ascii(format);
    if (named == "general date" || named == "c") {
        const bool has_time = p.hour != 0 || p.minute != 0 || p.second != 0;
        const bool has_date = !(p.year == 1899 && p.month == 12 && p.day == 30);
        std::string out;
        if (has_date || !has_time) out = *format_date(ole_date, "m/d/yyyy");
        if (has_time) out += (out.empty() ? "" : " ") + *format_date(ole_date, "h:nn:ss AM/PM");
        return out;
    }
    if (named == "long date") return format_date(ole_date, "dddd, mmmm d, yyyy");
    if (named == "medium date") return format_date(ole_date, "dd-mmm-yy");
    if (named == "short date") return format_date(ole_date, "m/d/yyyy");
    if (named == "long time") return format_date(ole_date, "h:nn:ss AM/PM");
    if (named == "medium time") return format_date(ole_date, "hh:nn AM/PM");
    if (named == "short time") return format_date(ole_date, "hh:nn");

    const bool twelve_hour = named.find("am/pm") != std::string::npos || named.find("a/p") != std::string::npos ||
                             named.find("ampm") != std::string::npos;
    const std::int64_t days = days_from_civil(p.year, p.month, p.day);
    auto two = [](int v) {
        char b[16];
        std::snprintf(b, sizeof b, "%02d", v);
        return std::string(b);
    };
    std::string out;
    bool after_hour = false;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"') {
            const std::size_t end = format.find('"', i + 1);
            out += format.substr(i + 1, (end == std::string::npos ? format.size() : end) - i - 1);
            i = end == std::string::npos ? format.size() : end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < format.size()) {
            out += format[i + 1];
            i += 2;
            continue;
        }
        const std::string rest = lower_ascii(format.substr(i, 5));
        if (rest == "am/pm") {
            const bool upper = c == 'A' || c == 'P';
            out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
            continue;
        }
        if (rest.compare(0, 3, "a/p") == 0) {
            const bool upper = c == 'A' || c == 'P';
            out += p.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
            i += 3;
            continue;
        }
        if (rest.compare(0, 4, "ampm") == 0) {
            out += p.hour < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && std::tolower(static_cast<unsigned char>(format[i + run])) == lc) ++run;
        const int hour = twelve_hour ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
        switch (lc) {
            case 'y':
                if (run == 1) out += std::to_string(day_of_year(p));
                else if (run == 2) out += two(p.year % 100);
                else out += std::to_string(p.year);
                break;
            case 'q': out += std::to_string((p.month - 1) / 3 + 1); break;
            case 'm':
                if (after_hour && run <= 2) out += run == 1 ? std::to_string(p.minute) : two(p.minute);
                else if (run == 1) out += std::to_string(p.month);
                else if (run == 2) out += two(p.month);
                else if (run == 3) out += std::string(month_names[static_cast<std::size_t>(p.month - 1)]).substr(0, 3);
                else out += month_names[static_cast<std::size_t>(p.month - 1)];
                break;
            case 'd':
                if (run == 1) out += std::to_string(p.day);
                else if (run == 2) out += two(p.day);
                else if (run == 3) out += std::string(day_names[static_cast<std::size_t>(weekday_of(days) - 1)]).substr(0, 3);
                else if (run == 4) out += day_names[static_cast<std::size_t>(weekday_of(days) - 1)];
                else if (run == 5) out += *format_date(ole_date, "m/d/yyyy");
                else out += *format_date(ole_date, "dddd, mmmm d, yyyy");
                break;
            case 'w':
                out += std::to_string(run == 1 ? weekday_of(days) : week_of_year(p, 1));
                break;
            case 'h': out += run == 1 ? std::to_string(hour) : two(hour); break;
            case 'n': out += run == 1 ? std::to_string(p.minute) : two(p.minute); break;
            case 's': out += run == 1 ? std::to_string(p.second) : two(p.second); break;
            default: out.append(run, c); break;
        }
        if (lc == 'h') after_hour = true;
        else if (std::isalpha(static_cast<unsigned char>(c))) after_hour = false;
        i += run;
    }
    return out;
}

bool register_access_functions(sqlite3* db, std::string& error) {
    static const scalar_def scalars[] = {
        {"acc_concat", -1, -1, fn_concat},
        {"acc_add", 2, 2, fn_add},
        {"acc_sub", 2, 2, fn_sub},
        {"acc_div", 2, 2, fn_div},
        {"acc_intdiv", 2, 2, fn_intdiv},
        {"acc_mod", 2, 2, fn_mod},
        {"acc_pow", 2, 2, fn_pow},
        {"like", 2, 3, fn_like},
        {"acc_left", 2, 2, fn_left},
        {"acc_right", 2, 2, fn_right},
        {"acc_mid", 2, 3, fn_mid},
        {"acc_len", 1, 1, fn_len},
        {"acc_instr", 2, 4, fn_instr},
        {"acc_instrrev", 2, 4, fn_instrrev},
        {"acc_ucase", 1, 1, fn_ucase},
        {"acc_lcase", 1, 1, fn_lcase},
        {"acc_trim", 1, 1, fn_trim<true, true>},
        {"acc_ltrim", 1, 1, fn_trim<true, false>},
        {"acc_rtrim", 1, 1, fn_trim<false, true>},
        {"acc_nz", 1, 2, fn_nz},
        {"acc_space", 1, 1, fn_space},
        {"acc_chr", 1, 1, fn_chr},
        {"acc_asc", 1, 1, fn_asc},
        {"acc_strcomp", 2, 3, fn_strcomp},
        {"acc_strreverse", 1, 1, fn_strreverse},
        {"acc_cstr", 1, 1, fn_cstr},
        {"acc_str", 1, 1, fn_str},
        {"acc_clng", 1, 1, fn_whole<-2147483648LL, 2147483647LL>},
        {"acc_cint", 1, 1, fn_whole<-32768, 32767>},
        {"acc_csng", 1, 1, fn_csng},
        {"acc_cdbl", 1, 1, fn_cdbl},
        {"acc_ccur", 1, 1, fn_ccur},
        {"acc_cbool", 1, 1, fn_cbool},
        {"acc_cdate", 1, 1, fn_cdate},
        {"acc_cvdate", 1, 1, fn_cdate},
        {"acc_datevalue", 1, 1, fn_datevalue},
        {"acc_timevalue", 1, 1, fn_timevalue},
        {"acc_val", 1, 1, fn_val},
        {"acc_format", 1, 2, fn_format},
        {"acc_round", 1, 2, fn_round},
        {"acc_int", 1, 1, fn_numeric<0>},
        {"acc_fix", 1, 1, fn_numeric<1>},
        {"acc_sgn", 1, 1, fn_numeric<2>},
        {"acc_sqr", 1, 1, fn_numeric<3>},
        {"acc_isnull", 1, 1, fn_isnull},
        {"acc_isnumeric", 1, 1, fn_isnumeric},
        {"acc_isdate", 1, 1, fn_isdate},
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
    for (const scalar_def& def : scalars) {
        const int flags = SQLITE_UTF8 | (def.deterministic ? SQLITE_DETERMINISTIC : 0);
        for (int n = def.min_args; n <= def.max_args; ++n) {
            if (sqlite3_create_function_v2(db, def.name, n, flags, nullptr, def.f, nullptr, nullptr, nullptr) != SQLITE_OK) {
                error = std::string("Cannot register the function ") + def.name + ": " + sqlite3_errmsg(db);
                return false;
            }
        }
    }
    struct aggregate_def {
        const char* name;
        void (*step)(sqlite3_context*, int, sqlite3_value**);
        void (*final)(sqlite3_context*);
    };
    static const aggregate_def aggregates[] = {
        {"acc_first", first_last_step<false>, first_last_final},
        {"acc_last", first_last_step<true>, first_last_final},
        {"acc_stdev", spread_step, spread_final<false, true>},
        {"acc_stdevp", spread_step, spread_final<true, true>},
        {"acc_var", spread_step, spread_final<false, false>},
        {"acc_varp", spread_step, spread_final<true, false>},
        {"sum", sum_step, sum_final},
    };
    for (const aggregate_def& def : aggregates) {
        if (sqlite3_create_function_v2(db, def.name, 1, SQLITE_UTF8, nullptr, nullptr, def.step, def.final, nullptr) != SQLITE_OK) {
            error = std::string("Cannot register the function ") + def.name + ": " + sqlite3_errmsg(db);
            return false;
        }
    }
    if (sqlite3_create_collation_v2(db, text_collation, SQLITE_UTF8, nullptr, collate_text, nullptr) != SQLITE_OK) {
        error = std::string("Cannot register the text collation: ") + sqlite3_errmsg(db);
        return false;
    }
    return true;
}

}  // namespace korvane::data::access
