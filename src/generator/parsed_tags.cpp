// SPDX-License-Identifier: Apache-2.0
#include "generator/parsed_tags.h"

#include "generator/tag_text.h"
#include "generator/template_syntax.h"


namespace korvane::generator {
namespace {

tag_kind kind_of(std::string_view name) {
    using namespace syntax;
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

parsed_tag parse_tag(std::string_view tag) {
    parsed_tag parsed;
    split_tag(tag, syntax::tag_open, syntax::tag_close, parsed.name, parsed.parameter);
    parsed.kind = kind_of(parsed.name);
    if (parsed.kind == tag_kind::start_if) {
        syntax::split_condition(parsed.parameter, parsed.left, parsed.op, parsed.right);
    }
    return parsed;
}

}  // namespace

const parsed_tag& parsed_tags::fill(slot& s, std::string_view tag, std::uint64_t template_number) {
    s.template_number = template_number;
    s.at = tag.data();
    s.size = tag.size();
    s.tag = parse_tag(tag);
    return s.tag;
}

}  // namespace korvane::generator
