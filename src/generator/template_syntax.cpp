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

bool split_condition(std::string_view condition, std::string_view& left, std::string_view& op,
                     std::string_view& right) {
    return split_expression(condition, condition_operators, left, op, right);
}

}  // namespace korvane::generator::syntax
