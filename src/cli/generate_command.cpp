// SPDX-License-Identifier: Apache-2.0
#include "cli/generate_command.h"

#include "cli/json_report.h"
#include "cli/progress_line.h"
#include "cli/standard_output.h"
#include "data/settings.h"
#include "data/text_helpers.h"
#include "generator/page_generator.h"
#include "generator/page_manifest.h"
#include "generator/parallel_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace korvane::cli {
namespace {

using generator::page_generator;
using generator::page_outcome;

std::atomic<int> received_signal{0};
// The same request for the runs: a run may be waiting for a database file to
// be read when the signal comes.
stop_source stop_signal;

extern "C" void on_stop_signal(int signal_number) {
    received_signal.store(signal_number);
    stop_signal.request_stop();
}

// Ctrl+C and SIGTERM ask the run to stop after the pages being written: a page
// is replaced whole at its close, so none is left half-written.
void install_stop_handlers() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The report as the user sees it: on standard error as the run writes it
// (problem lines only when quiet), kept whole for --report and --format json
// with the main row each line came from.
class report_sink final : public error_list_target {
public:
    report_sink(bool quiet, progress_line& progress) : quiet_(quiet), progress_(progress) {}

    void clear() override { lines_.clear(); }
    void add_line(const std::string& line) override {
        lines_.push_back({line, row_});
        if (in_problem_) {
            ++problem_lines_;
            ++row_problem_lines_;
        }
        if (!quiet_ || in_problem_) {
            progress_.finish();
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    // Lines between the run's start lines and its completion line are problems.
    void set_problem_phase(bool problems) { in_problem_ = problems; }
    // The main row whose lines come next (0: none).
    void set_row(std::int64_t row) {
        row_ = row;
        row_problem_lines_ = 0;
    }
    long row_problem_lines() const { return row_problem_lines_; }
    long problem_lines() const { return problem_lines_; }
    const std::vector<report_line>& lines() const { return lines_; }
    std::vector<std::string> texts() const {
        std::vector<std::string> texts;
        for (const auto& l : lines_) texts.push_back(l.text);
        return texts;
    }

private:
    bool quiet_;
    progress_line& progress_;
    bool in_problem_ = false;
    long problem_lines_ = 0;
    long row_problem_lines_ = 0;
    std::int64_t row_ = 0;
    std::vector<report_line> lines_;
};

// Every caption of the run, kept only when --status-log asks for them.
class status_sink final : public status_port {
public:
    explicit status_sink(bool keep) : keep_(keep) {}
    void set_status(const std::string& text) override {
        if (keep_) texts.push_back(text);
    }
    std::vector<std::string> texts;

private:
    bool keep_;
};

generator::run_options run_options_for(const cli_options& options, const std::string& base) {
    generator::run_options run;
    run.base_folder = base;
    run.stop = stop_signal.token();
    run.wait_for_output_lock = !options.no_wait;
    run.confine = options.confine;
    run.row_limit = options.no_row_limit ? generator::no_row_limit : generator::classic_row_limit;
    if (options.now) {
        const local_time t = *options.now;
        run.clock = [t] {
            return generator::local_date_time{t.year, t.month, t.day, t.hour, t.minute, t.second};
        };
    }
    return run;
}

bool write_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
        std::fprintf(stderr, "korvane-cli: could not write '%s'\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int generate_command(const cli_options& options) {
    const auto started = std::chrono::steady_clock::now();
    GenerationSettings settings;
    if (read_settings_file(settings, options.settings_file) < 0) {
        std::fprintf(stderr, "korvane-cli: cannot read the settings file '%s'\n",
                     options.settings_file.c_str());
        return exit_settings_unreadable;
    }
    if (!options.sql_dialect.empty()) settings.sql_dialect = options.sql_dialect;
    if (!settings_are_complete(settings)) {
        std::fprintf(
            stderr,
            "korvane-cli: the settings in '%s' are incomplete (korvane-cli check says what is "
            "missing); running anyway\n",
            options.settings_file.c_str());
    }
    // A run split over machines: each is told its part on the command line
    // or, as schedulers hand out indexes, in the environment.
    generator::shard part;
    if (options.shard_count > 0) {
        part = {options.shard_index, options.shard_count};
    } else if (const char* text = std::getenv("KORVANE_SHARD"); text && *text) {
        const auto given = parse_shard(text);
        if (!given) {
            std::fprintf(stderr, "korvane-cli: KORVANE_SHARD takes K/N, part K (from 0) of N parts, not '%s'\n",
                         text);
            return exit_usage;
        }
        part = {given->first, given->second};
    }
    install_stop_handlers();
    const std::string base = std::filesystem::path(options.settings_file).parent_path().string();

    const bool json = options.format == report_format::json;
    progress_line progress(stderr, !options.quiet && !json);
    report_sink report(options.quiet, progress);
    status_sink status(!options.status_log_file.empty());

    // This run owns the report; with more than one job, the pages are made by
    // runs of their own and counted here.
    page_generator run(run_options_for(options, base));
    run.begin_run(status, report);
    if (!run.lock_output_folder(settings)) {
        if (!options.report_file.empty()) write_lines(options.report_file, report.texts());
        int code = run.folder_busy() ? exit_folder_busy : exit_problems;
        if (received_signal.load() == SIGINT) code = exit_interrupted;
        else if (received_signal.load() != 0) code = exit_terminated;
        else if (options.quiet) {  // the lines after the two start lines
            const auto& lines = report.lines();
            for (std::size_t i = 2; i < lines.size(); ++i) std::fprintf(stderr, "%s\n", lines[i].text.c_str());
        }
        if (json) {
            // Nothing was generated: the run did not fail, it never began.
            const run_summary summary{options.settings_file, code, false, received_signal.load() != 0};
            write_standard_output(generate_json(summary, report.lines(), {}));
        }
        return code;
    }
    if (part.count > 1) {
        report.add_line("Shard " + std::to_string(part.index) + "/" + std::to_string(part.count) +
                        ": only the pages whose file names fall in this part");
        report.add_line("");
    }
    report.set_problem_phase(true);
    if (!run.open_database(settings)) {
        if (!options.report_file.empty()) write_lines(options.report_file, report.texts());
        if (!options.status_log_file.empty()) write_lines(options.status_log_file, status.texts);
        int code = exit_database_unopened;
        // A stop that ended the reading of the database is a stop, not a failure.
        if (received_signal.load() == SIGINT) code = exit_interrupted;
        else if (received_signal.load() != 0) code = exit_terminated;
        if (json) {
            run_summary summary{options.settings_file, code, code == exit_database_unopened,
                                code != exit_database_unopened};
            write_standard_output(generate_json(summary, report.lines(), {}));
        }
        return code;
    }
    const std::int64_t row_count = run.open_main_recordset(settings.main_type, settings.main_name);
    // A main statement that failed is reported before any row: the run failed.
    const bool run_failed = row_count <= 0 && report.problem_lines() > 0;
    // The result is closed with the run; its size is kept for the summary.
    const std::int64_t main_rows = run.main_recordset() ? run.main_recordset()->record_count() : 0;
    std::int64_t rows_done = 0;
    long problem_rows = 0;
    bool row_stopped = false;

    // The pages of the run, for the manifest and --clean: those written or
    // left as they were, and every one a row named.
    generator::run_pages pages(generator::manifest_folder(base, settings.generated_path),
                               options.clean);
    std::map<std::int64_t, row_files> files_of_rows;  // --format json only
    row_files current;
    generator::parallel_options parallel;
    parallel.jobs = options.jobs;
    parallel.run = run_options_for(options, base);
    parallel.report = &report;
    parallel.status = &status;
    parallel.stop = stop_signal.token();
    parallel.part = part;
    // Shards run apart: a row reading a page another row writes might not see it.
    if (part.count > 1 && row_count > 0 && generator::rows_use_other_rows_pages(run, row_count, stop_signal.token())) {
        run.close();
        std::fputs("korvane-cli: --shard cannot split this run: a row uses as its template a page "
                   "another row writes, and in another part that page may not be written yet; "
                   "generate these pages in one run\n",
                   stderr);
        return exit_usage;
    }
    parallel.files = [&](std::int64_t, const std::string& template_file, const std::string& output_file) {
        current = {template_file, output_file};
    };
    parallel.progress = [&](std::int64_t row, std::int64_t count, page_outcome outcome,
                            const std::string& caption) {
        rows_done = row;
        const bool made = outcome == page_outcome::written || outcome == page_outcome::unchanged;
        if (!made || report.row_problem_lines() > 0) ++problem_rows;
        if (outcome == page_outcome::stopped) row_stopped = true;
        pages.row_ended(current.output_file, made);
        if (outcome == page_outcome::written && options.verbose) {
            progress.finish();
            std::fprintf(stderr, "wrote %s\n", current.output_file.c_str());
        }
        if (json && report.row_problem_lines() > 0) files_of_rows[row] = current;
        current = {};
        report.set_row(row + 1);
        progress.update(static_cast<long>(row), static_cast<long>(count), caption);
    };
    report.set_row(1);
    const generator::parallel_result made = generator::make_pages(run, settings, row_count, parallel);
    report.set_row(0);
    progress.finish();

    const int signal_number = received_signal.load();
    if (signal_number != 0) {
        run.close();
        std::fprintf(stderr,
                     "korvane-cli: stopped after %lld of %lld pages; no page is half-written\n",
                     static_cast<long long>(rows_done),
                     static_cast<long long>(std::max<std::int64_t>(row_count, 0)));
    } else {
        report.set_problem_phase(false);
        run.finish_run();
    }
    if (row_count <= 0 && report.problem_lines() == 0 && signal_number == 0) {
        if (main_rows > generator::classic_row_limit && !options.no_row_limit) {
            std::fprintf(
                stderr,
                "korvane-cli: the main result has more than %lld rows: no pages were "
                "written (--no-row-limit lifts the limit)\n",
                static_cast<long long>(generator::classic_row_limit));
        } else if (!options.quiet) {
            std::fprintf(stderr,
                         "korvane-cli: the main result has no rows: no pages were written\n");
        }
    }

    bool files_ok = true;
    // Only a run that went through every row may say which pages are stale.
    const bool whole_run =
        signal_number == 0 && row_count > 0 && rows_done == row_count && !row_stopped;
    if (options.clean && !whole_run) {
        std::fputs("korvane-cli: --clean deleted nothing: the run did not make every row's page\n",
                   stderr);
    }
    std::int64_t pages_removed = 0;
    if (signal_number == 0 && !run_failed) {
        const auto update = pages.update(options.settings_file, whole_run);
        for (const auto& page : update.removed) {
            if (options.verbose) std::fprintf(stderr, "removed %s\n", page.c_str());
        }
        for (const auto& error : update.errors) std::fprintf(stderr, "korvane-cli: %s\n", error.c_str());
        pages_removed = static_cast<std::int64_t>(update.removed.size());
        files_ok &= update.errors.empty();
    }

    if (!options.report_file.empty()) files_ok &= write_lines(options.report_file, report.texts());
    if (!options.status_log_file.empty())
        files_ok &= write_lines(options.status_log_file, status.texts);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!options.quiet) {
        if (made.reason != generator::one_thread_reason::none) {
            std::fputs("korvane-cli: rows share output files or use other rows' pages as templates: "
                       "the pages were made on one thread, in row order\n",
                       stderr);
        }
        if (run_failed) {
            std::fprintf(stderr, "the run failed: the main table, query or statement could not be read; "
                                 "no pages were written, %.2f s\n", seconds);
        } else {
            std::fprintf(stderr, "%lld pages written, %lld left unchanged, %ld with problems",
                         static_cast<long long>(run.pages_written()),
                         static_cast<long long>(run.pages_unchanged()), problem_rows);
            if (options.clean) std::fprintf(stderr, ", %lld removed", static_cast<long long>(pages_removed));
            std::fprintf(stderr, ", %.2f s\n", seconds);
        }
    }
    int code = report.problem_lines() == 0 && files_ok ? exit_ok : exit_problems;
    if (signal_number == SIGINT) code = exit_interrupted;
    else if (signal_number != 0) code = exit_terminated;
    if (json) {
        run_summary summary{options.settings_file, code, run_failed, signal_number != 0};
        summary.rows = std::max<std::int64_t>(row_count, 0);
        summary.pages_written = run.pages_written();
        summary.pages_unchanged = run.pages_unchanged();
        summary.rows_with_problems = problem_rows;
        summary.pages_removed = pages_removed;
        summary.seconds = seconds;
        write_standard_output(generate_json(summary, report.lines(), files_of_rows));
    }
    return code;
}

}  // namespace korvane::cli
