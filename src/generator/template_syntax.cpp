// SPDX-License-Identifier: Apache-2.0
#include "generator/template_syntax.h"

#include "generator/tag_text.h"

namespace korvane::generator::syntax {

field_reference find_field_reference(std::string_view text, std::size_t from) {
    field_reference found;
    found.open = text.find(reference_open, from);
    if (found.open == std::string_view::npos) return found;
    const std::size_t close = text.find(reference_close, found.open);
    if (close == std::string_view::npos) return found;
    found.end = close + reference_close.size();
    split_tag(text.substr(found.open, found.end - found.open), reference_open, reference_close,
              found.name, found.parameter);
    return found;
}

tag_kind kind_of(std::string_view name) {
    if (name == main_field) return tag_kind::main_field;
    if (name == repeat_field) return tag_kind::repeat_field;
    if (name == todays_date) return tag_kind::todays_date;
    if (name == repeat) return tag_kind::repeat;
    if (name == repeat_else) return tag_kind::repeat_else;
    if (name == end_repeat) return tag_kind::end_repeat;
    if (name == start_if) return tag_kind::start_if;
    if (name == else_name) return tag_kind::else_tag;
    if (name == end_if) return tag_kind::end_if;
    return tag_kind::other;
}

bool split_condition(std::string_view condition, std::string_view& left, std::string_view& op,
                     std::string_view& right) {
    return split_expression(condition, condition_operators, left, op, right);
}

}  // namespace korvane::generator::syntax
