// SPDX-License-Identifier: Apache-2.0
// The template language at work: the tag loop, field values and today's
// date, repeating sections and conditional sections.
#include "generator/template_interpreter.h"

#include "data/text_helpers.h"
#include "generator/tag_text.h"

#include <charconv>
#include <optional>
#include <utility>

namespace korvane::generator {
namespace {

using namespace syntax;

// Sections nest through recursion; this bounds the stack a template can take.
constexpr int max_section_depth = 1000;

// A value substituted into a statement may itself hold references, which are
// replaced in turn. A value that keeps reproducing its own reference would
// never end: references that came from values are left as text once there
// have been this many of them, or once they have added this many bytes. The
// references the text itself holds are always replaced, however long it is.
constexpr int max_substitutions = 10000;
constexpr std::size_t max_substituted_size = 1 << 20;

// Kinds whose page text is the stored text itself, so no copy is needed.
bool text_is_stored(data::value_kind kind) {
    using data::value_kind;
    return kind == value_kind::text || kind == value_kind::date || kind == value_kind::time ||
           kind == value_kind::decimal || kind == value_kind::binary;
}

}  // namespace

template_interpreter::template_interpreter(interpreter_options options, log_errors& report)
    : options_(std::move(options)), report_(report) {}

void template_interpreter::pump_events() {
    if (options_.events) options_.events->process_pending_events();
}

// --- The tag loop ------------------------------------------------------------

void template_interpreter::render(template_engine& engine) {
    repeat_level_ = 0;
    process_template(engine, nullptr);
}

void template_interpreter::process_template(template_engine& engine,
                                      const data::record_set* section_recordset) {
    while (!engine.end_of_file()) {
        if (!engine.output_to_line_containing(tag_open, "", false)) return;
        // Valid until the next tag is read, which the sections below do.
        const parsed_tag& tag = tag_at_cursor(engine);
        switch (tag.kind) {
            case tag_kind::todays_date:
                engine.output_text(date_text(tag.parameter), false);
                engine.jump_past_line_containing(tag_close, "", false);
                break;
            case tag_kind::main_field:
            case tag_kind::repeat_field:
                scratch_.clear();
                append_field_value(scratch_, tag.parameter,
                                   tag.kind == tag_kind::main_field ? main_ : section_recordset);
                engine.output_text(scratch_, false);
                engine.jump_past_line_containing(tag_close, "", false);
                break;
            case tag_kind::repeat:
                process_repeat_section(engine, tag.parameter, section_recordset);
                break;
            case tag_kind::start_if:
                process_if_section(engine, tag, section_recordset);
                break;
            case tag_kind::repeat_else:
            case tag_kind::end_repeat:
            case tag_kind::else_tag:
            case tag_kind::end_if:
                // A closing tag ends this body; at the top level it ends the page.
                return;
            case tag_kind::other:
                engine.output_past_line_containing(tag_close, "", false);
                break;
        }
    }
}

// --- Values ------------------------------------------------------------------

void template_interpreter::append_field_value(std::string& out, std::string_view parameter,
                                        const data::record_set* recordset) const {
    std::string lowered;
    std::string_view field = parameter;
    bool escape = false;
    // Without ":=" there can be no options: the parameter is the field name.
    if (parameter.find(":=") != std::string_view::npos) {
        lowered = lower_case(parameter);
        const std::string_view option = get_tag_option(lowered, "field");
        if (!option.empty()) {
            field = option;
            escape = get_tag_option(lowered, "escape") == "true";
        }
    }
    const data::db_value* value = recordset ? recordset->value(field) : nullptr;
    if (!value) {
        out += "Korvane: Field, ";
        out += field;
        out += " not found";
        return;
    }
    if (value->is_null()) return;
    if (value->kind == data::value_kind::integer) {
        // The same digits as the text conversion, without a string for them.
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, value->integer);
        const std::string_view text(digits, static_cast<std::size_t>(written.ptr - digits));
        if (escape) append_url_escaped(out, text);
        else out += text;
        return;
    }
    std::string converted;
    std::string_view text;
    if (text_is_stored(value->kind)) {
        text = value->text;
    } else {
        converted = data::value_to_text(*value);
        text = converted;
    }
    if (escape) append_url_escaped(out, text);
    else out += text;
}

const std::string& template_interpreter::date_text(std::string_view format) const {
    const local_date_time now = options_.clock();
    if (!date_known_ || now != date_now_ || format != date_format_) {
        date_written_ = generator::date_text(format, now);
        date_format_.assign(format);
        date_now_ = now;
        date_known_ = true;
    }
    return date_written_;
}

// --- Repeating sections ------------------------------------------------------

void template_interpreter::enter_repeat_level(int level, const data::record_set* recordset,
                                        std::int64_t record_number, std::int64_t record_count) {
    if (level < 0 || level > max_repeat_levels) return;
    repeat_level_ = level;
    const auto at = static_cast<std::size_t>(level);
    repeat_recordset_[at] = recordset;
    repeat_record_number_[at] = record_number;
    repeat_record_count_[at] = record_count;
}

const data::record_set* template_interpreter::repeat_recordset_at(int level) const {
    if (level < 0 || level > max_repeat_levels) return nullptr;
    return repeat_recordset_[static_cast<std::size_t>(level)];
}

std::int64_t template_interpreter::repeat_record_number(int level) const {
    if (level < 0 || level > max_repeat_levels) return 0;
    return repeat_record_number_[static_cast<std::size_t>(level)];
}

std::int64_t template_interpreter::repeat_record_count(int level) const {
    if (level < 0 || level > max_repeat_levels) return 0;
    return repeat_record_count_[static_cast<std::size_t>(level)];
}

std::string template_interpreter::substitute_field_references(
    std::string_view text, const data::record_set* section_recordset) const {
    std::string result(text);
    std::string replaced;
    std::size_t from = 0;          // references before this are left as they are
    std::size_t from_values = 0;   // result[0, from_values) holds substituted values
    int value_references = 0;      // references found in substituted values
    std::size_t value_growth = 0;  // bytes those references added
    for (;;) {
        const field_reference reference = find_field_reference(result, from);
        if (reference.open == std::string::npos) break;
        const bool in_value = reference.open < from_values;
        if (in_value && (value_references >= max_substitutions || value_growth > max_substituted_size)) {
            from = from_values;
            continue;
        }
        if (in_value) ++value_references;
        if (reference.end == std::string::npos) {
            // A "#--" never closed: a stray "--#" before it cuts the text
            // there; without any "--#" nothing of the text counts.
            if (result.find(reference_close) < reference.open) result.erase(reference.open);
            else result.clear();
            break;
        }
        const std::string_view whole = result;
        replaced.assign(whole.substr(0, reference.open));
        if (reference.name == main_field) {
            append_field_value(replaced, reference.parameter, main_);
        } else if (reference.name == repeat_field) {
            append_field_value(replaced, reference.parameter, section_recordset);
        }
        const std::size_t value_size = replaced.size() - reference.open;
        const std::size_t reference_size = reference.end - reference.open;
        if (in_value && value_size > reference_size) value_growth += value_size - reference_size;
        from_values = replaced.size() + (from_values > reference.end ? from_values - reference.end : 0);
        replaced += whole.substr(reference.end);
        result.swap(replaced);
    }
    return result;
}

std::int64_t template_interpreter::run_repeat_statement(std::string_view statement,
                                                  std::unique_ptr<data::record_set>& result,
                                                  const data::record_set* section_recordset,
                                                  std::string& sql) {
    sql = substitute_field_references(statement, section_recordset);
    std::string error = "No database is open";
    result.reset();
    if (database_) result = database_->open_record_set(sql, error);
    if (!result) {
        report_.add_error_line("Problem running SQL for repeating section:");
        report_.add_error_line("    " + error);
        report_.add_error_line("    Template: " + template_file_);
        report_.add_error_line("    SQL: " + sql);
        report_.add_blank_error_line();
        pump_events();
        return -1;
    }
    if (!result->move_last()) return 0;
    const std::int64_t count = result->record_count();
    return count >= 1 && count <= options_.row_limit ? count : 0;
}

void template_interpreter::process_repeat_section(template_engine& engine, std::string_view statement,
                                            const data::record_set* section_recordset) {
    if (section_depth_ >= max_section_depth) {
        report_too_deep(engine.tag_at_cursor());
        engine.jump_past_line_containing(tag_close, "", false);
        engine.jump_past_line_containing(end_repeat_tag, repeat_opener, false);
        return;
    }
    std::unique_ptr<data::record_set> result;
    std::string sql;
    const std::int64_t count = run_repeat_statement(statement, result, section_recordset, sql);
    if (result) result->move_first();

    const int level = repeat_level_;
    ++section_depth_;
    if (count >= 1 && level >= max_repeat_levels) {
        // No slot is left to replay the body from: the section is left out.
        report_.add_error_line("Too many nested repeating sections (the limit is six):");
        report_.add_error_line("    Template: " + template_file_);
        report_.add_error_line("    SQL: " + sql);
        report_.add_blank_error_line();
        engine.jump_past_line_containing(tag_close, "", false);
        engine.jump_past_line_containing(end_repeat_tag, repeat_opener, false);
    } else if (count >= 1) {
        engine.jump_past_line_containing(tag_close, "", false);
        engine.save_cursor_position(level);
        for (std::int64_t row = 1; row <= count; ++row) {
            if (row > 1) result->move_next();
            engine.restore_cursor_position(level);
            enter_repeat_level(level + 1, result.get(), row, count);
            process_template(engine, repeat_recordset_at(level + 1));
            repeat_level_ = level;
            const tag_kind ended_by = tag_at_cursor(engine).kind;
            if (ended_by == tag_kind::end_repeat) {
                engine.jump_past_line_containing(tag_close, "", false);
            } else if (ended_by == tag_kind::repeat_else) {
                engine.jump_past_line_containing(end_repeat_tag, repeat_opener, false);
            } else {
                break;
            }
        }
        // The result dies with this call; the counters stay for the level.
        repeat_recordset_[static_cast<std::size_t>(level + 1)] = nullptr;
    } else {
        engine.jump_past_line_containing(tag_close, "", false);
        engine.jump_to_line_containing_either(end_repeat_tag, repeat_else_tag, repeat_opener,
                                              false);
        if (tag_at_cursor(engine).kind != tag_kind::repeat_else) {
            engine.jump_past_line_containing(tag_close, "", false);
        } else {
            engine.jump_past_line_containing(tag_close, "", false);
            process_template(engine, section_recordset);
            if (tag_at_cursor(engine).kind == tag_kind::end_repeat) {
                engine.jump_past_line_containing(tag_close, "", false);
            }
        }
    }
    --section_depth_;
}

// --- Conditional sections ----------------------------------------------------

void template_interpreter::resolve_operand(std::string& operand,
                                     const data::record_set* section_recordset) const {
    if (operand.find(reference_open) != std::string::npos) {
        operand = substitute_field_references(operand, section_recordset);
    } else if (operand == current_record_num) {
        operand = std::to_string(repeat_record_number(repeat_level_));
    } else if (operand == number_of_records) {
        operand = std::to_string(repeat_record_count(repeat_level_));
    }
}

void template_interpreter::skip_if_section(template_engine& engine) {
    engine.jump_past_line_containing(tag_close, "", false);
    engine.jump_past_line_containing(end_if_tag, if_opener, false);
}

void template_interpreter::report_too_deep(std::string_view tag) {
    report_.add_error_line("Too many nested sections (the limit is " +
                           std::to_string(max_section_depth) + "):");
    report_.add_error_line("    Template: " + template_file_);
    report_.add_error_line("    TAG: " + std::string(tag));
    report_.add_blank_error_line();
}

void template_interpreter::process_if_section(template_engine& engine, const parsed_tag tag,
                                        const data::record_set* section_recordset) {
    const std::string_view condition = tag.parameter;
    if (condition.empty()) {
        report_.add_error_line("IF statement is missing data");
        report_.add_error_line("    IF TAG: " + std::string(condition));
        report_.add_blank_error_line();
        skip_if_section(engine);
        return;
    }
    const std::string_view left = tag.left, op = tag.op, right = tag.right;
    if (op.empty()) {
        report_.add_error_line("IF statement contains an invalid function");
        report_.add_error_line("    IF TAG: " + std::string(condition));
        report_.add_blank_error_line();
        skip_if_section(engine);
        return;
    }
    if (section_depth_ >= max_section_depth) {
        report_too_deep(engine.tag_at_cursor());
        skip_if_section(engine);
        return;
    }
    // The record counters compare as numbers straight away: their text is
    // the number, which reads back as the same value.
    auto counter = [this](std::string_view operand) -> std::optional<std::int64_t> {
        if (operand == current_record_num) return repeat_record_number(repeat_level_);
        if (operand == number_of_records) return repeat_record_count(repeat_level_);
        return std::nullopt;
    };
    bool holds = false;
    std::optional<std::int64_t> left_count, right_count;
    if (op == "<" || op == ">") {
        left_count = counter(left);
        if (left_count) right_count = counter(right);
    }
    if (left_count && right_count) {
        holds = op == "<" ? *left_count < *right_count : *left_count > *right_count;
    } else {
        std::string a(left), b(right);
        resolve_operand(a, section_recordset);
        resolve_operand(b, section_recordset);

        if (op == "<>") {
            holds = a != b;
        } else if (op == "==") {
            holds = a == b;
        } else {
            const std::optional<double> x = leading_number_value(a);
            const std::optional<double> y = leading_number_value(b);
            if (!x || !y) {
                report_.add_error_line("Error encountered trying to evaluate expression");
                report_.add_error_line("    IF TAG: " + std::string(condition));
                report_.add_error_line("    Expression: " + a + " " + std::string(op) + " " + b);
                report_.add_blank_error_line();
                skip_if_section(engine);
                return;
            }
            holds = op == "<" ? *x < *y : *x > *y;
        }
    }

    ++section_depth_;
    engine.jump_past_line_containing(tag_close, "", false);
    if (holds) {
        process_template(engine, section_recordset);
        const tag_kind ended_by = tag_at_cursor(engine).kind;
        if (ended_by == tag_kind::end_if) {
            engine.jump_past_line_containing(tag_close, "", false);
        } else if (ended_by == tag_kind::else_tag) {
            engine.jump_past_line_containing(end_if_tag, if_opener, false);
        }
    } else {
        engine.jump_to_line_containing_either(end_if_tag, else_tag, if_opener, false);
        if (tag_at_cursor(engine).kind == tag_kind::else_tag) {
            engine.jump_past_line_containing(tag_close, "", false);
            process_template(engine, section_recordset);
            if (tag_at_cursor(engine).kind == tag_kind::end_if) {
                engine.jump_past_line_containing(tag_close, "", false);
            }
        } else {
            engine.jump_past_line_containing(tag_close, "", false);
        }
    }
    --section_depth_;
}

}  // namespace korvane::generator
