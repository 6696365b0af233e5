// SPDX-License-Identifier: Apache-2.0
#include "data/engine/db_value.h"

#include "text/general_number.h"

#include <cctype>
#include <charconv>

namespace korvane::data {
namespace {

using text::general_number;

std::string currency_text(std::int64_t ten_thousandths) {
    const bool negative = ten_thousandths < 0;
    // Negate in unsigned arithmetic so the most negative value stays defined.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                       : static_cast<std::uint64_t>(ten_thousandths);
    std::string s = negative ? "-" : "";
    s += std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) s += "." + fraction;
    return s;
}

std::string date_time_text(const std::string& stamp) {
    if (stamp.size() < 19) return stamp;
    if (stamp.compare(0, 10, "1899-12-30") == 0) return stamp.substr(11, 8);
    if (stamp.compare(11, 8, "00:00:00") == 0) return stamp.substr(0, 10);
    return stamp;
}

}  // namespace

std::string value_to_text(const db_value& value) {
    switch (value.kind) {
        case value_kind::null:
            return {};
        case value_kind::integer:
            return std::to_string(value.integer);
        case value_kind::boolean:
            return value.integer != 0 ? "True" : "False";
        case value_kind::real:
            return general_number(value.real, 15);
        case value_kind::single:
            return general_number(value.real, 7);
        case value_kind::currency:
            return currency_text(value.integer);
        case value_kind::date_time:
            return date_time_text(value.text);
        case value_kind::decimal:
        case value_kind::date:
        case value_kind::time:
        case value_kind::text:
        case value_kind::binary:
            return value.text;
    }
    return {};
}

}  // namespace korvane::data
