// SPDX-License-Identifier: Apache-2.0
#include "data/sqlite/sqlite_values.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace korvane::data {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool word_is(std::string_view word, std::string_view name) {
    if (word.size() != name.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (upper(word[i]) != name[i]) return false;
    }
    return true;
}

// The first word of a declared type decides; "CURRENCY REAL", "DECIMAL(10,2)"
// and "datetime" all count. Expressions have no declared type.
}  // namespace

column_class classify(const char* declared) {
    if (declared == nullptr) return column_class::by_value;
    std::string_view type(declared);
    const auto begin = type.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return column_class::by_value;
    type.remove_prefix(begin);
    const auto word = type.substr(0, type.find_first_of(" \t\r\n("));
    if (word_is(word, "BOOLEAN") || word_is(word, "BOOL") || word_is(word, "BIT") ||
        word_is(word, "YESNO")) {
        return column_class::boolean;
    }
    if (word_is(word, "CURRENCY") || word_is(word, "MONEY")) return column_class::currency;
    if (word_is(word, "DATETIME") || word_is(word, "TIMESTAMP")) return column_class::date_time;
    if (word_is(word, "DATE")) return column_class::date;
    if (word_is(word, "TIME")) return column_class::time;
    if (word_is(word, "DECIMAL") || word_is(word, "NUMERIC")) return column_class::decimal;
    if (word_is(word, "SINGLE")) return column_class::single;
    return column_class::by_value;
}

namespace {

// Reads `count` digits at text[at] as a number; false when any is not a digit.
bool read_digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

// "HH:MM[:SS[.fff]]" filling the first 8 characters of out; false otherwise.
bool parse_time(std::string_view text, char* out) {
    int hour = 0, minute = 0, second = 0;
    if (text.size() < 5 || !read_digits(text, 0, 2, hour) || text[2] != ':' ||
        !read_digits(text, 3, 2, minute) || hour > 23 || minute > 59) {
        return false;
    }
    std::size_t at = 5;
    if (at < text.size() && text[at] == ':') {
        if (!read_digits(text, at + 1, 2, second) || second > 59) return false;
        at += 3;
        // Fractions of a second are dropped: the pages show whole seconds.
        if (at < text.size() && text[at] == '.') {
            ++at;
            const std::size_t digits_from = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
            if (at == digits_from) return false;
        }
    }
    if (at != text.size()) return false;
    std::memcpy(out, text.data(), 5);
    out[5] = ':';
    out[6] = static_cast<char>('0' + second / 10);
    out[7] = static_cast<char>('0' + second % 10);
    return true;
}

bool parse_date(std::string_view text) {
    int year = 0, month = 0, day = 0;
    return text.size() == 10 && read_digits(text, 0, 4, year) && text[4] == '-' &&
           read_digits(text, 5, 2, month) && text[7] == '-' && read_digits(text, 8, 2, day) &&
           month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A stored date text in the shape the pages expect, with its kind; the text
// kind and the text unchanged when it is not a date or time SQLite would read.
db_value date_value(const char* data, int size, column_class column) {
    const std::string_view text(data, static_cast<std::size_t>(size));
    char time_part[8];
    if (parse_date(text.substr(0, 10))) {
        if (text.size() == 10) {
            if (column == column_class::date) return db_value::from_text(std::string(text), value_kind::date);
            return db_value::from_text(std::string(text) + " 00:00:00", value_kind::date_time);
        }
        if ((text[10] == ' ' || text[10] == 'T') && parse_time(text.substr(11), time_part)) {
            std::string stamp;
            stamp.reserve(19);
            stamp.append(text.data(), 10).append(1, ' ').append(time_part, 8);
            return db_value::from_text(std::move(stamp), value_kind::date_time);
        }
    } else if (parse_time(text, time_part)) {
        return db_value::from_text(std::string(time_part, 8), value_kind::time);
    }
    return db_value::from_text(std::string(text));
}

// Whole ten-thousandths, or false when the amount does not fit.
bool to_currency(double amount, std::int64_t& out) {
    const double scaled = std::round(amount * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18) return false;
    out = static_cast<std::int64_t>(scaled);
    return true;
}

}  // namespace

db_value read_value(sqlite3_stmt* statement, int column, column_class cls) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return db_value::null_value();
        case SQLITE_INTEGER: {
            const std::int64_t v = sqlite3_column_int64(statement, column);
            if (cls == column_class::boolean) return db_value::from_boolean(v != 0);
            if (cls == column_class::currency && v > -922337203685477 && v < 922337203685477) {
                return db_value::from_currency(v * 10000);
            }
            return db_value::from_integer(v);
        }
        case SQLITE_FLOAT: {
            const double v = sqlite3_column_double(statement, column);
            if (cls == column_class::boolean) return db_value::from_boolean(v != 0.0);
            std::int64_t ten_thousandths = 0;
            if (cls == column_class::currency && to_currency(v, ten_thousandths)) {
                return db_value::from_currency(ten_thousandths);
            }
            if (cls == column_class::single) return db_value::from_single(static_cast<float>(v));
            return db_value::from_real(v);
        }
        case SQLITE_TEXT: {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            if (data == nullptr) return db_value::from_text({});  // out of memory reads as ""
            switch (cls) {
                case column_class::date_time:
                case column_class::date:
                case column_class::time:
                    return date_value(data, size, cls);
                case column_class::decimal:
                    return db_value::from_text(std::string(data, static_cast<std::size_t>(size)),
                                               value_kind::decimal);
                default:
                    return db_value::from_text(std::string(data, static_cast<std::size_t>(size)));
            }
        }
        default: {  // SQLITE_BLOB
            const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            if (data == nullptr) return db_value::from_text({}, value_kind::binary);
            return db_value::from_text(std::string(data, static_cast<std::size_t>(size)),
                                       value_kind::binary);
        }
    }
}


}  // namespace korvane::data
