// SPDX-License-Identifier: Apache-2.0
// Run > Generate pages, Stop and Check templates.
#include "ui/main/frm_main.h"

#include "check/settings_check.h"
#include "generator/page_generator.h"
#include "generator/page_manifest.h"
#include "generator/parallel_run.h"
#include "ui/main/background_run.h"
#include "ui/support/qt_text.h"
#include "ui/support/widget_helpers.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include <exception>
#include <string>
#include <vector>

namespace korvane::ui {
namespace {

// The run as korvane-cli makes it with one job per core: this run reads the
// main result and reports, further runs make pages beside it, and the report,
// captions and progress come back in row order. The output folder is locked
// first, as every run locks it, and the folder's list of written pages is
// kept up to date; with clean, the pages an earlier run of the same settings
// file wrote and no row names now are removed.
void make_pages_on_every_core(const GenerationSettings& settings,
                              const generator::run_options& options, bool clean,
                              status_port& status, error_list_target& report) {
    generator::page_generator run(options);
    run.begin_run(status, report);
    if (!run.lock_output_folder(settings)) return;
    if (!run.open_database(settings)) return;
    const std::int64_t row_count = run.open_main_recordset(settings.main_type, settings.main_name);
    generator::run_pages pages(
        generator::manifest_folder(options.base_folder, settings.generated_path), clean);
    std::string page;
    bool row_stopped = false;
    generator::parallel_options parallel;
    parallel.jobs = 0;
    parallel.run = options;
    parallel.report = &report;
    parallel.status = &status;
    parallel.stop = options.stop;
    parallel.files = [&page](std::int64_t, const std::string&, const std::string& output_file) {
        page = output_file;
    };
    parallel.progress = [&](std::int64_t row, std::int64_t count, generator::page_outcome outcome,
                            const std::string&) {
        using generator::page_outcome;
        if (outcome == page_outcome::stopped) row_stopped = true;
        pages.row_ended(page, outcome == page_outcome::written ||
                                  outcome == page_outcome::unchanged);
        page.clear();
        if (options.progress) options.progress(row, count);
    };
    const generator::parallel_result made =
        generator::make_pages(run, settings, row_count, parallel);
    const bool stopped = options.stop.stop_requested();
    if (made.rows_done < row_count && stopped) report.add_line("Generation stopped by the user.");
    run.finish_run();

    // Settings never saved have no file to own their pages by.
    if (settings.filename.empty() || row_count <= 0) {
        if (clean) report.add_line("No page was removed: " +
                                   std::string(settings.filename.empty()
                                                   ? "save the settings to a file first."
                                                   : "the run made no pages."));
        return;
    }
    // Only a run through every row can tell which pages are stale.
    const bool whole_run = !stopped && !row_stopped && made.rows_done == row_count;
    if (clean && !whole_run)
        report.add_line("No page was removed: the run did not make every row's page.");
    const auto update = pages.update(settings.filename, whole_run);
    for (const std::string& removed : update.removed)
        report.add_line("Removed a page no row names any more: " + removed);
    for (const std::string& error : update.errors) report.add_line(error);
}

}  // namespace

void frm_main::generate_pages() { run_generation(current_settings_); }

void frm_main::run_generation(const GenerationSettings& settings) {
    if (running_) return;
    running_ = true;
    stop_.reset();
    mnu_run_stop_->setEnabled(true);
    shown_percent_ = -1;
    prg_run_->setValue(0);
    prg_run_->setVisible(true);

    generator::run_options options;
    options.base_folder = settings.filename.empty()
                              ? std::string()
                              : ss(QFileInfo(qs(settings.filename)).absolutePath());
    options.stop = stop_.token();
    options.confine = keep_pages_in_folders();
    background_run_hooks hooks;
    hooks.gui = this;
    hooks.messages = services_.messages;
    hooks.beat_ms = services_.run_event_interval_ms;
    hooks.show = [this](run_feed&& feed) { show_run_feed(std::move(feed)); };
    run_in_background(
        options,
        [&settings, clean = remove_stale_pages()](const generator::run_options& run_options,
                                                  status_port& status, error_list_target& report) {
            make_pages_on_every_core(settings, run_options, clean, status, report);
        },
        hooks);

    prg_run_->setVisible(false);
    mnu_run_stop_->setEnabled(previewing());
    running_ = false;
    if (exit_after_run_) end_program();
}

void frm_main::show_run_feed(run_feed&& feed) {
    if (feed.cleared) lst_errors_->clear();
    for (const std::string& line : feed.lines) lst_errors_->addItem(qs(line));
    if (!feed.lines.empty()) lst_errors_->scrollToBottom();
    if (feed.status_changed) set_status(qs(feed.status));
    // One number for the bar and the status line.
    const int percent = run_percent(feed.row, feed.count);
    if (percent != shown_percent_) {
        shown_percent_ = percent;
        prg_run_->setValue(percent);
    }
}

// Stops the run under way, else the preview.
void frm_main::stop_generation() {
    if (running_) stop_.request_stop();
    else stop_preview();
}

void frm_main::check_templates() {
    if (running_) return;
    wait_cursor hourglass;
    set_status(QStringLiteral(" Checking templates..."));
    pump_events();
    list_box_error_target errors(*lst_errors_);
    errors.clear();
    try {
        const auto findings = check::check_settings(current_settings_, base_folder(),
                                                    generator::classic_row_limit);
        for (const check::finding& f : findings) errors.add_line(check::format_finding(f));
        const std::size_t n = findings.size();
        errors.add_line(n == 0 ? std::string("Check complete: no problems found.")
                               : "Check complete: " + std::to_string(n) +
                                     (n == 1 ? " problem found." : " problems found."));
    } catch (const std::exception& e) {
        errors.add_line(std::string("The check ended early: ") + e.what());
    }
    update_control_states();
}

}  // namespace korvane::ui
