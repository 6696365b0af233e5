// SPDX-License-Identifier: Apache-2.0
// Access's Format for the value kinds the functions see: numbers, and dates
// as stored day numbers; and the Format function itself.
#pragma once

#include <optional>
#include <string>

namespace korvane::data::access {

// nullopt when the value cannot be formatted (a number given a date format).
std::optional<std::string> format_number(double value, const std::string& format);
std::optional<std::string> format_date(double ole_date, const std::string& format);

}  // namespace korvane::data::access
