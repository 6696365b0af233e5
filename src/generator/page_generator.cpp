// SPDX-License-Identifier: Apache-2.0
// The generation run: opening the database and the main result, one page per
// main row written by the template interpreter, the counters and the closing
// lines.
#include "generator/page_generator.h"

#include "data/global.h"
#include "data/text_helpers.h"
#include "generator/path_confinement.h"

#include <cmath>
#include <exception>
#include <utility>

namespace korvane::generator {
namespace {

// row_number / row_count * 100 in double precision, halves to the even
// neighbour (the default rounding mode).
std::string percent_text(std::int64_t row_number, std::int64_t row_count) {
    if (row_count < 1) return "0";
    const double percent = std::nearbyint(static_cast<double>(row_number) /
                                          static_cast<double>(row_count) * 100.0);
    if (!(percent >= 0.0 && percent <= 1e15)) return "0";
    return std::to_string(static_cast<long long>(percent));
}

run_options with_defaults(run_options options) {
    if (!options.clock) options.clock = system_local_time;
    if (options.row_limit <= 0) options.row_limit = no_row_limit;
    return options;
}

}  // namespace

page_generator::page_generator(run_options options)
    : options_(with_defaults(std::move(options))),
      interpreter_({options_.clock, options_.row_limit, options_.events}, report_) {}

page_generator::~page_generator() { close(); }

void page_generator::set_status(const std::string& text) {
    if (status_label_) status_label_->set_status(text);
}

void page_generator::pump_events() {
    if (options_.events) options_.events->process_pending_events();
}

std::string page_generator::resolved_path(const std::string& path) const {
    return resolve_path(path, options_.base_folder);
}

void page_generator::start_page_generator(status_port& status_label,
                                          error_list_target& error_list,
                                          const GenerationSettings& settings) {
    begin_run(status_label, error_list);
    generate_pages(settings);
}

void page_generator::begin_run(status_port& status_label, error_list_target& error_list) {
    status_label_ = &status_label;
    report_.set_error_list(&error_list);
    report_.clear_error_list();
    report_.add_error_line("Starting Korvane page generator...");
    report_.add_blank_error_line();
    set_status("");
    pump_events();
}

void page_generator::generate_pages(const GenerationSettings& settings) {
    if (!lock_output_folder(settings)) return;
    if (!open_database(settings)) return;
    const std::int64_t row_count = open_main_recordset(settings.main_type, settings.main_name);
    if (row_count > 0) {
        // The result stands on its first row.
        null_error_list no_list;
        null_status_port no_status;
        error_list_target* list = report_.error_list();
        status_port* status = status_label_;
        for (std::int64_t row = 1; row <= row_count; ++row) {
            if (stop_asked()) {
                report_.add_error_line("Generation stopped by the user.");
                break;
            }
            const page_outcome outcome = generate_row(row, row_count, list ? *list : no_list,
                                                      status ? *status : no_status);
            if (options_.progress) options_.progress(row, row_count);
            if (outcome == page_outcome::stopped) break;
        }
    }
    finish_run();
}

bool page_generator::stop_asked() const {
    return options_.stop.stop_requested();
}

bool page_generator::lock_output_folder(const GenerationSettings& settings) {
    folder_busy_ = false;
    const std::string folder = output_folder_of(settings.generated_path, options_.base_folder);
    std::string error;
    const lock_outcome outcome = output_lock_.acquire(
        folder, options_.wait_for_output_lock, [this] { return stop_asked(); },
        [&] {
            const std::string waiting = "Waiting for another run writing to " + folder;
            report_.add_error_line(waiting);
            set_status(" " + waiting + "...");
            pump_events();
        },
        error);
    switch (outcome) {
        case lock_outcome::locked:
        case lock_outcome::no_folder:
            return true;
        case lock_outcome::busy:
            folder_busy_ = true;
            report_.add_error_line("Another run is writing to this folder; nothing was generated:");
            break;
        case lock_outcome::stopped:
            report_.add_error_line("Generation stopped by the user.");
            return false;
        case lock_outcome::failed:
            report_.add_error_line("The output folder could not be locked:");
            report_.add_error_line("    " + error);
            break;
    }
    report_.add_error_line("    Folder: " + folder);
    report_.add_blank_error_line();
    pump_events();
    return false;
}

// A run on a new database starts with nothing loaded and nothing counted.
void page_generator::start_over(const GenerationSettings& settings) {
    close();
    settings_ = settings;
    previous_template_file_.clear();
    template_loaded_ = false;
    files_row_ = 0;
    pages_written_ = 0;
    pages_unchanged_ = 0;
}

bool page_generator::open_database(const GenerationSettings& settings) {
    start_over(settings);

    null_message_port no_messages;
    message_port& messages = options_.messages ? *options_.messages : no_messages;
    const std::string name = settings.database_type == 0 ? resolved_path(settings.database_name)
                                                         : settings.database_name;
    std::string error;
    if (global::open_database(database_, settings.database_type, name, messages, &error,
                              options_.stop) == 0) {
        if (database_) {
            // No result is read past what the run could use, and a stop ends
            // any statement, however long it runs.
            database_->set_row_bound(options_.row_limit == no_row_limit ? 0 : options_.row_limit + 1);
            database_->set_stop(options_.stop);
            database_->set_access_sql(settings.sql_dialect != sql_dialect_native);
            // One consistent view of the data for the whole run, and cheaper queries.
            database_->begin_read_snapshot();
        }
        return true;
    }
    database_.reset();
    report_.add_error_line("Error opening database: ");
    report_.add_error_line("    " + error);
    report_.add_error_line("    Database: " + mask_passwords(settings.database_name));
    report_.add_blank_error_line();
    messages.show_message("Korvane - Database error",
                          "Problem opening database: " + mask_passwords(settings.database_name),
                          message_icon::critical);
    pump_events();
    return false;
}

void page_generator::use_database(std::unique_ptr<data::database> database,
                                  const GenerationSettings& settings) {
    start_over(settings);
    database_ = std::move(database);
}

std::int64_t page_generator::open_main_recordset(std::int16_t main_type,
                                                 const std::string& main_name) {
    if (main_recordset_) main_recordset_->close();
    main_recordset_.reset();
    main_row_index_ = -1;
    main_sql_ = build_main_sql(main_type, main_name);

    std::string error = "No database is open";
    std::unique_ptr<data::record_set> result;
    if (database_) result = database_->open_forward_record_set(main_sql_, error);
    if (!result) {
        report_.add_error_line("Problem running SQL for MAIN table:");
        report_.add_error_line("    " + error);
        report_.add_error_line("    SQL: " + main_sql_);
        report_.add_blank_error_line();
        pump_events();
        return -1;
    }
    main_recordset_ = std::move(result);
    main_row_offset_ = 0;
    // The count is complete without moving to the last row: a forward result
    // counted its rows before the first was read.
    const std::int64_t count = main_recordset_->record_count();
    main_row_index_ = 0;
    if (count < 1 || count > options_.row_limit) return -1;
    return count;
}

void page_generator::set_main_recordset(std::unique_ptr<data::record_set> result) {
    main_recordset_ = std::move(result);
    main_row_index_ = -1;
    main_row_offset_ = 0;
    files_row_ = 0;
}

std::unique_ptr<data::record_set> page_generator::copy_main_rows(std::int64_t first_row,
                                                                 std::int64_t count) {
    if (!main_recordset_) return nullptr;
    auto copy = std::make_unique<data::record_set>(main_recordset_->field_names());
    const int fields = main_recordset_->field_count();
    for (std::int64_t row = first_row; row < first_row + count && move_main_to_row(row); ++row) {
        data::db_value* values = copy->append_row();
        for (int f = 0; f < fields; ++f) values[f] = *main_recordset_->value(f);
    }
    return copy;
}

void page_generator::set_main_rows(std::unique_ptr<data::record_set> rows, std::int64_t first_row,
                                   const std::string& main_sql) {
    set_main_recordset(std::move(rows));
    main_row_offset_ = first_row - 1;
    main_sql_ = main_sql;
}

bool page_generator::move_main_to_row(std::int64_t row_number) {
    if (!main_recordset_ || row_number < 1) return false;
    const std::int64_t index = row_number - 1 - main_row_offset_;
    if (index < 0) return false;
    // Rows come in order, so stepping forward from where the result stands
    // is the common case; a forward result moving back reads its rows again
    // from the first.
    if (main_row_index_ < 0 || index < main_row_index_) {
        main_recordset_->move_first();
        main_row_index_ = 0;
    }
    while (main_row_index_ < index) {
        main_recordset_->move_next();
        ++main_row_index_;
    }
    return main_recordset_->has_current_row();
}

bool page_generator::append_main_field(std::int64_t row_number, const std::string& field,
                                       std::string& text) {
    const data::db_value* value =
        move_main_to_row(row_number) ? main_recordset_->value(field) : nullptr;
    if (!value) return false;
    text += data::value_to_text(*value);
    return true;
}

bool page_generator::row_files(std::int64_t row_number, std::string& template_file,
                               std::string& output_file) {
    if (row_number == files_row_) {
        template_file = files_template_;
        output_file = files_output_;
        return true;
    }
    template_file = settings_.template_path;
    output_file = settings_.generated_path;
    if (!append_main_field(row_number, settings_.template_field, template_file) ||
        !append_main_field(row_number, settings_.generated_field, output_file)) {
        return false;
    }
    template_file = resolved_path(template_file);
    output_file = resolved_path(output_file);
    return true;
}

bool page_generator::row_page_name(std::int64_t row_number, std::string& page_name) {
    page_name = settings_.generated_path;
    return append_main_field(row_number, settings_.generated_field, page_name);
}

page_outcome page_generator::close_page(const std::string& output_file) {
    close_result closed = engine_->close_output_file();
    switch (closed.status) {
        case close_status::written: return page_outcome::written;
        case close_status::unchanged: return page_outcome::unchanged;
        case close_status::failed:
        case close_status::not_open: break;
    }
    report_.add_error_line("Error writing file: ");
    report_.add_error_line("    " + closed.error);
    report_.add_error_line("    File: " + output_file);
    report_.add_blank_error_line();
    return page_outcome::failed;
}

page_outcome page_generator::generate_row(std::int64_t row_number, std::int64_t row_count,
                                          error_list_target& report, status_port& status) {
    error_list_target* const saved_list = report_.error_list();
    status_port* const saved_status = status_label_;
    report_.set_error_list(&report);
    status_label_ = &status;

    page_outcome outcome = page_outcome::skipped;
    std::string output_file;
    try {
        // Reads one field of the main row; false (reported) when it cannot.
        auto main_field_text = [&](const std::string& field, std::string& text) {
            if (append_main_field(row_number, field, text)) return true;
            report_.add_error_line("Field not found in MAIN table: " + field);
            report_.add_error_line("    SQL: " + main_sql_);
            report_.add_blank_error_line();
            return false;
        };
        std::string template_file = settings_.template_path;
        output_file = settings_.generated_path;
        if (!main_field_text(settings_.template_field, template_file) ||
            !main_field_text(settings_.generated_field, output_file)) {
            outcome = page_outcome::stopped;
        } else if (options_.confine &&
                   !check_row_confined(settings_.template_path, template_file, settings_.generated_path,
                                       output_file, options_.base_folder, report_)) {
            // Refused (reported): nothing read, nothing written.
        } else {
            if (!engine_) engine_ = std::make_unique<template_engine>();
            if (template_file == previous_template_file_) {
                engine_->initialise_cursor();
            } else {
                files_template_ = resolved_path(template_file);
                template_loaded_ = engine_->load_template(files_template_);
                interpreter_.set_template_file(template_file);
            }
            previous_template_file_ = template_file;
            // The files of this row, for row_files just after it.
            files_output_ = resolved_path(output_file);
            files_row_ = row_number;

            if (template_loaded_) {
                set_status(" Generating file, " + file_name_of_path(output_file) + ", " +
                           percent_text(row_number, row_count) + "% complete");
                pump_events();
                std::string error;
                if (engine_->open_output_file(files_output_, error)) {
                    interpreter_.set_main_row(main_recordset_.get());
                    interpreter_.set_database(database_.get());
                    interpreter_.render(*engine_);
                    if (stop_asked()) {
                        // A stop during the page may have cut a section's
                        // statement short: the old page stays as it was.
                        engine_.reset();
                        previous_template_file_.clear();
                        template_loaded_ = false;
                    } else {
                        outcome = close_page(output_file);
                    }
                } else {
                    report_.add_error_line("Error opening file for writing: ");
                    report_.add_error_line("    " + error);
                    report_.add_error_line("    File: " + output_file);
                    report_.add_blank_error_line();
                }
            } else {
                report_.add_error_line("Template does not exist or contains no text ");
                report_.add_error_line("(check the path and filename):");
                report_.add_error_line("    Template: " + template_file);
                report_.add_blank_error_line();
            }
            pump_events();
            pump_events();
        }
    } catch (const std::exception& e) {
        // Out of memory and the like: this page is lost, the run goes on with
        // a fresh engine (an unfinished page is never written).
        engine_.reset();
        previous_template_file_.clear();
        template_loaded_ = false;
        try {
            report_.add_error_line("Error writing file: ");
            report_.add_error_line(std::string("    ") + e.what());
            report_.add_error_line("    File: " + output_file);
            report_.add_blank_error_line();
        } catch (...) {
        }
        outcome = page_outcome::failed;
    }

    count_page(outcome);
    report_.set_error_list(saved_list);
    status_label_ = saved_status;
    return outcome;
}

void page_generator::count_page(page_outcome outcome) {
    if (outcome == page_outcome::written) ++pages_written_;
    if (outcome == page_outcome::unchanged) ++pages_unchanged_;
}

void page_generator::finish_run() {
    close();
    output_lock_.release();
    const std::string count = std::to_string(files_generated());
    report_.add_error_line("Process complete. " + count + " files generated");
    set_status(" Process complete!  " + count + " files generated");
    pump_events();
}

void page_generator::close() {
    if (main_recordset_) main_recordset_->close();
    main_recordset_.reset();
    main_row_index_ = -1;
    main_row_offset_ = 0;
    interpreter_.forget_sections();
    if (database_) {
        database_->end_read_snapshot();
        global::close_database(database_);
    }
    database_.reset();
}

}  // namespace korvane::generator
