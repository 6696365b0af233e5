// SPDX-License-Identifier: Apache-2.0
// One value read from a database, with the kind it had there, and the one
// conversion to page text that every backend shares.
#pragma once

#include <cstdint>
#include <string>

namespace korvane::data {

enum class value_kind : std::uint8_t {
    null,
    integer,    // `integer`
    boolean,    // `integer`: 0 is False, anything else True
    real,       // `real`, double precision
    single,     // `real`, a single-precision value widened to double
    currency,   // `integer`, in ten-thousandths
    decimal,    // `text`, the digits as stored
    date,       // `text`, "YYYY-MM-DD"
    time,       // `text`, "HH:MM:SS"
    date_time,  // `text`, "YYYY-MM-DD HH:MM:SS"
    text,       // `text`, UTF-8
    binary,     // `text`, the bytes
};

struct db_value {
    value_kind kind = value_kind::null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;

    static db_value null_value() { return {}; }
    static db_value from_integer(std::int64_t v) { return {value_kind::integer, v, 0.0, {}}; }
    static db_value from_boolean(bool v) { return {value_kind::boolean, v ? -1 : 0, 0.0, {}}; }
    static db_value from_real(double v) { return {value_kind::real, 0, v, {}}; }
    static db_value from_single(float v) { return {value_kind::single, 0, v, {}}; }
    static db_value from_currency(std::int64_t ten_thousandths) {
        return {value_kind::currency, ten_thousandths, 0.0, {}};
    }
    static db_value from_text(std::string v, value_kind kind = value_kind::text) {
        return {kind, 0, 0.0, std::move(v)};
    }

    bool is_null() const { return kind == value_kind::null; }
};

// The page text of a value. Null gives "" (callers that must tell Null from
// the empty text test is_null first). Never depends on the locale:
//   integers in decimal; Yes/No as "True"/"False";
//   reals as C's %.15G ("0.1", "1", "1E+20", "1E-05"), singles with 7 digits;
//   currency with up to four decimals and no trailing zeros ("14", "3.0125");
//   decimals as stored; dates "YYYY-MM-DD", times "HH:MM:SS", both
//   "YYYY-MM-DD HH:MM:SS", where a date_time at midnight is written as a date
//   and one on 1899-12-30 (the day Access keeps pure times on) as a time;
//   text and binary bytes unchanged.
std::string value_to_text(const db_value& value);

}  // namespace korvane::data
