// SPDX-License-Identifier: Apache-2.0
#include "text/general_number.h"

#include "text/case_fold.h"

#include <charconv>

namespace korvane::text {

std::string general_number(double value, int precision) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    if (ec != std::errc{}) return {};
    std::string text(buffer, end);
    for (char& c : text) c = ascii_upper(c);
    return text;
}

}  // namespace korvane::text
