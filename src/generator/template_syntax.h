// SPDX-License-Identifier: Apache-2.0
// The template language as text: its markers, tag names, condition operators
// and limits, and the parsers of field references and conditions. The
// generator runs templates with these and the template check reads them with
// the same ones, so the two never disagree about what a template says.
#pragma once

#include "template/template_engine.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane::generator {

// What a tag is, by its name.
enum class tag_kind : std::uint8_t {
    other,  // a plain comment, or a name the language does not know
    todays_date,
    main_field,
    repeat_field,
    repeat,
    repeat_else,
    end_repeat,
    start_if,
    else_tag,
    end_if,
};

}  // namespace korvane::generator

namespace korvane::generator::syntax {

inline constexpr std::string_view tag_open = "<!--";
inline constexpr std::string_view tag_close = "-->";
inline constexpr std::string_view reference_open = "#--";
inline constexpr std::string_view reference_close = "--#";

// Tag names, as split_tag gives them.
inline constexpr std::string_view todays_date = "TODAYS DATE";
inline constexpr std::string_view main_field = "MAIN_FIELD";
inline constexpr std::string_view repeat_field = "REPEAT_FIELD";
inline constexpr std::string_view repeat = "REPEAT";
inline constexpr std::string_view repeat_else = "REPEAT ELSE";
inline constexpr std::string_view end_repeat = "END REPEAT";
inline constexpr std::string_view start_if = "START IF";
inline constexpr std::string_view else_name = "ELSE";
inline constexpr std::string_view end_if = "END IF";

// The kind of the tag a name (split_tag's) stands for.
tag_kind kind_of(std::string_view name);

// Whole tags and openers, as the section scans look for them.
inline constexpr std::string_view repeat_opener = "<!--REPEAT=";
inline constexpr std::string_view repeat_else_tag = "<!--REPEAT ELSE-->";
inline constexpr std::string_view end_repeat_tag = "<!--END REPEAT-->";
inline constexpr std::string_view if_opener = "<!--START IF=";
inline constexpr std::string_view else_tag = "<!--ELSE-->";
inline constexpr std::string_view end_if_tag = "<!--END IF-->";

// The operators of a condition, tried in this order (split_expression).
inline constexpr std::string_view condition_operators = "<> < > ==";
// Words of a condition that stand for the innermost section's counters.
inline constexpr std::string_view current_record_num = "current_record_num";
inline constexpr std::string_view number_of_records = "number_of_records";

// Repeating sections nest this deep: the engine keeps a cursor per level.
inline constexpr int max_repeat_levels = template_engine::saved_slots;
// The lines a template may hold.
inline constexpr int max_template_lines = template_engine::max_lines;
// The most rows a main result or a section takes by default (row numbers
// were 16-bit); a larger result counts as none.
inline constexpr std::int64_t classic_row_limit = 32767;

// A field reference "#--name=parameter--#" inside a text.
struct field_reference {
    std::size_t open = std::string_view::npos;  // offset of "#--"; npos: no reference
    std::size_t end = std::string_view::npos;   // just past its "--#"; npos: never closed
    std::string_view name, parameter;           // views into the text
};

// The first reference whose "#--" stands at or after from. Its end is the
// first "--#" from its "#--" on (the markers may overlap); the name and the
// parameter are split_tag's.
field_reference find_field_reference(std::string_view text, std::size_t from = 0);

// A condition split at the first of condition_operators it holds; blanks stay
// in the operands. False when it holds none.
bool split_condition(std::string_view condition, std::string_view& left, std::string_view& op,
                     std::string_view& right);

}  // namespace korvane::generator::syntax
