// SPDX-License-Identifier: Apache-2.0
// The page generator `korvane`: one generation run, which opens the database,
// walks the rows of the main result, has the template interpreter write each
// row's page, counts the pages and reports. All state of a run lives in one
// page_generator, so runs can work side by side, one per thread.
//
// The window calls start_page_generator for a whole run. A tool that renders
// on several threads drives the steps itself: begin_run, open_database and
// open_main_recordset on one run object that owns the report and reads the
// main result; open_database on one more object per thread, which is handed
// copies of the main rows (copy_main_rows, set_main_rows); generate_row per
// main row into sinks it merges in row order, count_page on the reporting
// object for each outcome, and finish_run.
#pragma once

#include "data/engine/database.h"
#include "data/engine/record_set.h"
#include "ports/host_ports.h"
#include "data/settings.h"
#include "generator/date_text.h"
#include "generator/output_lock.h"
#include "generator/template_interpreter.h"
#include "generator/template_syntax.h"
#include "template/template_engine.h"
#include "ports/log_errors.h"
#include "ports/stop_token.h"

#include <functional>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace korvane::generator {

using syntax::classic_row_limit;
inline constexpr std::int64_t no_row_limit = std::numeric_limits<std::int64_t>::max();

struct run_options {
    // Relative database files, templates and output files are taken from
    // here; "" means the current folder.
    std::string base_folder;
    // Today's date for "TODAYS DATE"; empty means the machine's clock.
    clock_function clock;
    // A result with more rows than this counts as having none; 0 or less
    // means no limit.
    std::int64_t row_limit = classic_row_limit;
    // The window's message boxes and event loop; null means none.
    message_port* messages = nullptr;
    event_pump* events = nullptr;
    // Looked at before each main row: a stop ends the run there, closing
    // everything and writing its completion lines after "Generation stopped
    // by the user.". While a database file is read, a stop ends the open
    // (reported as a failure to open). A default token never stops.
    stop_token stop;
    // While another run writes into the same output folder: wait for it
    // (true) or end at once (false).
    bool wait_for_output_lock = true;
    // Refuse (and report) every row whose template or page lies outside its
    // folder or behind a symbolic link below it (path_confinement.h). Off:
    // rows may name any file, as the settings allow.
    bool confine = false;
    // Called after each main row with the row (1-based) and the row count,
    // for a progress bar.
    std::function<void(std::int64_t row, std::int64_t count)> progress;
};

enum class page_outcome {
    written,    // the page was written
    unchanged,  // the page already held exactly this text
    skipped,    // no page: template missing or output not opened (reported)
    failed,     // the finished page could not be written (reported)
    stopped,    // a field of the main row could not be read (reported); the run ends
};

class page_generator {
public:
    explicit page_generator(run_options options = {});
    ~page_generator();
    page_generator(const page_generator&) = delete;
    page_generator& operator=(const page_generator&) = delete;

    // --- A whole run, as the window starts it ---------------------------
    // Start lines into a cleared list, then generate_pages. settings.filename
    // is not used.
    void start_page_generator(status_port& status_label, error_list_target& error_list,
                              const GenerationSettings& settings);
    // Open, one page per main row, close.
    void generate_pages(const GenerationSettings& settings);

    // --- The steps of a run ------------------------------------------------
    // Keeps the status label and the list, clears the list, writes the start
    // lines and an empty caption.
    void begin_run(status_port& status_label, error_list_target& error_list);
    // Takes the output folder of the settings for this run (output_lock.h),
    // waiting for another run there when the options say so. False when the
    // run must not go on (reported: another run holds the folder, a stop
    // came while waiting, or the lock failed); folder_busy() then tells the
    // first apart. Held until finish_run or the end of this object.
    bool lock_output_folder(const GenerationSettings& settings);
    bool folder_busy() const { return folder_busy_; }
    // Opens the database of the settings and keeps the settings for the rows.
    // False when it cannot be opened: reported, message shown; the run is over.
    bool open_database(const GenerationSettings& settings);
    // For tests and tools: a database already open stands in for the one of
    // the settings.
    void use_database(std::unique_ptr<data::database> database, const GenerationSettings& settings);
    // The row count of the main result, or -1 when there is no row to process
    // (SQL failed: reported; empty or over the row limit: silent). The rows
    // are read as the run goes, inside the run's read snapshot, so a result of
    // any size takes little memory.
    std::int64_t open_main_recordset(std::int16_t main_type, const std::string& main_name);
    // Makes the page of one main row (1-based; row_count only for the
    // percentage). Report lines go to report and captions to status for the
    // time of this row. Counts the page (count_page).
    page_outcome generate_row(std::int64_t row_number, std::int64_t row_count,
                              error_list_target& report, status_port& status);
    // The template and output file of a main row as the run opens them (the
    // base folder applied), for a tool that must know before it renders which
    // rows share files. False when a field cannot be read (nothing reported).
    bool row_files(std::int64_t row_number, std::string& template_file, std::string& output_file);
    // The output file of a main row as the settings name it, before the base
    // folder is applied (what a shard is chosen by). False when the field
    // cannot be read.
    bool row_page_name(std::int64_t row_number, std::string& page_name);
    // Adds a page made elsewhere to this run's counters.
    void count_page(page_outcome outcome);
    // Closes the main result and the database, writes the completion line and
    // caption.
    void finish_run();
    // Closes the main result and the database without a word.
    void close();

    std::int64_t pages_written() const { return pages_written_; }
    std::int64_t pages_unchanged() const { return pages_unchanged_; }
    // Written and unchanged: every page that is now correct on disk.
    std::int64_t files_generated() const { return pages_written_ + pages_unchanged_; }
    const std::string& main_sql() const { return main_sql_; }

    // The main result, for tests and tools that set its row themselves.
    data::record_set* main_recordset() { return main_recordset_.get(); }
    void set_main_recordset(std::unique_ptr<data::record_set> result);
    // A copy of count main rows from first_row (1-based) on, fewer when the
    // result ends or cannot be read; for another run's set_main_rows.
    std::unique_ptr<data::record_set> copy_main_rows(std::int64_t first_row, std::int64_t count);
    // The main rows from first_row on, copied from the run that read them:
    // runs on several threads make the pages of one result without each
    // running the main SQL.
    void set_main_rows(std::unique_ptr<data::record_set> rows, std::int64_t first_row,
                       const std::string& main_sql);

private:
    void start_over(const GenerationSettings& settings);
    bool move_main_to_row(std::int64_t row_number);
    // Appends the page text of a field of the main row; false when the row or
    // the field is not there.
    bool append_main_field(std::int64_t row_number, const std::string& field, std::string& text);
    std::string resolved_path(const std::string& path) const;
    void set_status(const std::string& text);
    void pump_events();

    bool stop_asked() const;
    // Writes the rendered page; failed (reported) when it cannot be written.
    page_outcome close_page(const std::string& output_file);

    run_options options_;
    GenerationSettings settings_;
    output_lock output_lock_;
    bool folder_busy_ = false;
    log_errors report_;
    status_port* status_label_ = nullptr;

    std::unique_ptr<data::database> database_;
    std::unique_ptr<data::record_set> main_recordset_;
    std::string main_sql_;
    std::int64_t main_row_index_ = -1;  // 0-based row of main_recordset_, -1 unknown
    std::int64_t main_row_offset_ = 0;  // main rows before main_recordset_'s first

    std::unique_ptr<template_engine> engine_;
    std::string previous_template_file_;
    bool template_loaded_ = false;
    // The files of the row made last, as row_files names them.
    std::int64_t files_row_ = 0;
    std::string files_template_, files_output_;
    template_interpreter interpreter_;

    std::int64_t pages_written_ = 0;
    std::int64_t pages_unchanged_ = 0;
};

}  // namespace korvane::generator
