// SPDX-License-Identifier: Apache-2.0
#include "data/access/function_values.h"

#include "data/access/access_dates.h"
#include "data/access/access_functions.h"
#include "text/general_number.h"

#include <charconv>
#include <cctype>
#include <cmath>

namespace korvane::data::access {

std::string general_number(double v) { return text::general_number(v, 15); }

std::string_view value_text(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p == nullptr ? std::string_view() : std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

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

std::optional<double> stamp_value(std::string_view s) {
    if (s.size() != 19 && s.size() != 10) return std::nullopt;
    if (s[4] != '-' || s[7] != '-') return std::nullopt;
    auto parts = parse_date_text(s, false);
    if (!parts) return std::nullopt;
    return ole_from_parts(*parts);
}

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
void invalid_null(sqlite3_context* ctx) { sqlite3_result_error(ctx, "Invalid use of Null.", -1); }

std::optional<std::int64_t> whole_number(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    auto d = number_of(v);
    if (!d || !std::isfinite(*d) || std::fabs(*d) > 9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(round_half_even(*d, 0));
}

}  // namespace korvane::data::access
