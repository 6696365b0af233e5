// SPDX-License-Identifier: Apache-2.0
#include "generator/parsed_tags.h"

#include "generator/tag_text.h"
#include "generator/template_syntax.h"


namespace korvane::generator {
namespace {

parsed_tag parse_tag(std::string_view tag) {
    parsed_tag parsed;
    split_tag(tag, syntax::tag_open, syntax::tag_close, parsed.name, parsed.parameter);
    parsed.kind = syntax::kind_of(parsed.name);
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
