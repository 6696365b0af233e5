// SPDX-License-Identifier: Apache-2.0
// The template language at work: writes one template to its page, with field
// values and today's date for their tags, and repeating and conditional
// sections. It knows nothing of runs: whoever drives it hands it the main row,
// the database the sections query and the report its problems go to.
#pragma once

#include "data/engine/database.h"
#include "data/engine/record_set.h"
#include "generator/date_text.h"
#include "generator/parsed_tags.h"
#include "generator/template_syntax.h"
#include "ports/host_ports.h"
#include "ports/log_errors.h"
#include "template/template_engine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korvane::generator {

struct interpreter_options {
    // Today's date for "TODAYS DATE"; must be set.
    clock_function clock;
    // A section whose result has more rows than this counts as having none.
    std::int64_t row_limit = syntax::classic_row_limit;
    // Let run after a statement failed; null means none.
    event_pump* events = nullptr;
};

class template_interpreter {
public:
    static constexpr int max_repeat_levels = syntax::max_repeat_levels;

    // Problems go to report, which must outlive this object.
    template_interpreter(interpreter_options options, log_errors& report);
    template_interpreter(const template_interpreter&) = delete;
    template_interpreter& operator=(const template_interpreter&) = delete;

    // MAIN_FIELD values come from the current row of main (null: none is
    // found). Sections run their statements on database (null: each fails,
    // reported). Neither is owned.
    void set_main_row(const data::record_set* main) { main_ = main; }
    void set_database(data::database* database) { database_ = database; }
    // The template's name as report lines show it.
    void set_template_file(std::string_view name) { template_file_.assign(name); }

    // Writes the template from the cursor to the page: every section open in
    // it is closed again when this returns.
    void render(template_engine& engine);
    // text with its #--...--# references replaced by their values.
    std::string substitute_field_references(std::string_view text,
                                            const data::record_set* section_recordset) const;
    // Repeating sections open around the cursor.
    int repeat_level() const { return repeat_level_; }
    // Drops what sections left behind of results that are gone.
    void forget_sections() { repeat_recordset_.fill(nullptr); }

private:
    // Writes the template from the cursor to the page until the end, or until
    // a closing tag of a section, on whose "<!--" the cursor is left.
    void process_template(template_engine& engine, const data::record_set* section_recordset);
    // Today's date as the page shows it; valid until the next call.
    const std::string& date_text(std::string_view format) const;
    // Appends the value of a field of the current row of recordset, as page
    // text; the not-found text when the field, the row or the recordset is
    // missing.
    void append_field_value(std::string& out, std::string_view parameter,
                            const data::record_set* recordset) const;

    // The repeating section whose opening tag, holding statement, is at the
    // cursor.
    void process_repeat_section(template_engine& engine, std::string_view statement,
                                const data::record_set* section_recordset);
    // Row count of the statement's result (after substitution, which sql
    // receives); -1 when it could not run (reported), 0 for no rows or more
    // than the row limit.
    std::int64_t run_repeat_statement(std::string_view statement,
                                      std::unique_ptr<data::record_set>& result,
                                      const data::record_set* section_recordset, std::string& sql);
    void enter_repeat_level(int level, const data::record_set* recordset,
                            std::int64_t record_number, std::int64_t record_count);
    const data::record_set* repeat_recordset_at(int level) const;
    std::int64_t repeat_record_number(int level) const;
    std::int64_t repeat_record_count(int level) const;

    void process_if_section(template_engine& engine, parsed_tag tag,
                            const data::record_set* section_recordset);
    // The operand replaced by its value: field references, current_record_num,
    // number_of_records; anything else as it is.
    void resolve_operand(std::string& operand, const data::record_set* section_recordset) const;
    // Leaves out a conditional section, both parts, from its opening tag on.
    void skip_if_section(template_engine& engine);
    void report_too_deep(std::string_view tag);
    // The tag at the cursor, parsed; valid until the next call.
    const parsed_tag& tag_at_cursor(const template_engine& engine) {
        return tags_.parse(engine.tag_at_cursor(), engine.template_number());
    }
    void pump_events();

    interpreter_options options_;
    log_errors& report_;
    const data::record_set* main_ = nullptr;
    data::database* database_ = nullptr;
    std::string template_file_;

    int repeat_level_ = 0;
    std::array<std::int64_t, max_repeat_levels + 1> repeat_record_number_{};
    std::array<std::int64_t, max_repeat_levels + 1> repeat_record_count_{};
    std::array<const data::record_set*, max_repeat_levels + 1> repeat_recordset_{};
    int section_depth_ = 0;  // sections of both kinds open around the cursor

    parsed_tags tags_;
    std::string scratch_;  // a field value on its way to the page
    // The date last written, by format and time: a page's dates repeat.
    mutable std::string date_format_;
    mutable local_date_time date_now_;
    mutable std::string date_written_;
    mutable bool date_known_ = false;
};

}  // namespace korvane::generator
