// SPDX-License-Identifier: Apache-2.0
// The small parsers of the template language: tags and field references split
// into name and parameter, options of a field parameter, conditions split at
// their operator, and the encoding of values for web addresses. They keep the
// language's 1-based arithmetic so odd tags give the pages they always gave.
#pragma once

#include <string>
#include <string_view>

namespace korvane::generator {

// name: from just after open_marker up to the first "=" of tag; parameter:
// from after that "=" up to close_marker. Without "=" the whole inside is the
// name. Counts are taken from the lengths of the markers, not from where they
// stand, and a negative count gives no characters. Views into tag.
void split_tag(std::string_view tag, std::string_view open_marker, std::string_view close_marker,
               std::string_view& name, std::string_view& parameter);

// The value after the first option_name + ":=" in parameter, up to the next
// ","; "" when the option is not there. A plain substring search: "xfield:=a"
// answers "a" for "field". A view into parameter.
std::string_view get_tag_option(std::string_view parameter, std::string_view option_name);

// Blank ; / ? : @ & = + $ , as %XX; everything else, "%" too, unchanged.
std::string url_escape(std::string_view text);
void append_url_escaped(std::string& out, std::string_view text);

// operators: entries separated by single blanks, tried in their order; the
// first entry that occurs anywhere in expression splits it there. Nothing is
// trimmed: blanks around the operator stay in the operands. False when no
// entry occurs. Views into expression and operators.
bool split_expression(std::string_view expression, std::string_view operators,
                      std::string_view& left, std::string_view& op, std::string_view& right);

}  // namespace korvane::generator
