#include "cli/generate_command.h"

#include "cli/progress_line.h"
#include "data/settings.h"
#include "data/text_helpers.h"
#include "generator/page_generator.h"
#include "generator/parallel_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
// (problem lines only when quiet), kept whole for --report.
class report_sink final : public error_list_target {
public:
    report_sink(bool quiet, progress_line& progress) : quiet_(quiet), progress_(progress) {}

    void clear() override { lines_.clear(); }
    void add_line(const std::string& line) override {
        lines_.push_back(line);
        if (in_problem_) ++problem_lines_;
        if (!quiet_ || in_problem_) {
            progress_.finish();
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    // Lines between the run's start lines and its completion line are problems.
    void set_problem_phase(bool problems) { in_problem_ = problems; }
    long problem_lines() const { return problem_lines_; }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    bool quiet_;
    progress_line& progress_;
    bool in_problem_ = false;
    long problem_lines_ = 0;
    std::vector<std::string> lines_;
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
    install_stop_handlers();
    const std::string base = std::filesystem::path(options.settings_file).parent_path().string();

    progress_line progress(stderr, !options.quiet);
    report_sink report(options.quiet, progress);
    status_sink status(!options.status_log_file.empty());

    // This run owns the report; with more than one job, the pages are made by
    // runs of their own and counted here.
    page_generator run(run_options_for(options, base));
    run.begin_run(status, report);
    report.set_problem_phase(true);
    if (!run.open_database(settings)) {
        if (!options.report_file.empty()) write_lines(options.report_file, report.lines());
        if (!options.status_log_file.empty()) write_lines(options.status_log_file, status.texts);
        // A stop that ended the reading of the database is a stop, not a failure.
        if (received_signal.load() == SIGINT) return exit_interrupted;
        if (received_signal.load() != 0) return exit_terminated;
        return exit_database_unopened;
    }
    const std::int64_t row_count = run.open_main_recordset(settings.main_type, settings.main_name);
    // The result is closed with the run; its size is kept for the summary.
    const std::int64_t main_rows = run.main_recordset() ? run.main_recordset()->record_count() : 0;
    std::int64_t rows_done = 0;
    long problem_rows = 0;

    generator::parallel_options parallel;
    parallel.jobs = options.jobs;
    parallel.run = run_options_for(options, base);
    parallel.report = &report;
    parallel.status = &status;
    parallel.stop = stop_signal.token();
    parallel.progress = [&](std::int64_t row, std::int64_t count, page_outcome outcome,
                            const std::string& caption) {
        rows_done = row;
        if (outcome == page_outcome::skipped || outcome == page_outcome::failed ||
            outcome == page_outcome::stopped) {
            ++problem_rows;
        }
        progress.update(static_cast<long>(row), static_cast<long>(count), caption);
    };
    const generator::parallel_result made = generator::make_pages(run, settings, row_count, parallel);
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
                "korvane-cli: the main result has %lld rows, more than %lld: no pages were "
                "written (--no-row-limit lifts the limit)\n",
                static_cast<long long>(main_rows),
                static_cast<long long>(generator::classic_row_limit));
        } else if (!options.quiet) {
            std::fprintf(stderr,
                         "korvane-cli: the main result has no rows: no pages were written\n");
        }
    }

    bool files_ok = true;
    if (!options.report_file.empty()) files_ok &= write_lines(options.report_file, report.lines());
    if (!options.status_log_file.empty())
        files_ok &= write_lines(options.status_log_file, status.texts);

    if (!options.quiet) {
        if (made.reason != generator::one_thread_reason::none) {
            std::fputs("korvane-cli: rows share output files or use other rows' pages as templates: "
                       "the pages were made on one thread, in row order\n",
                       stderr);
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "%lld pages written, %lld left unchanged, %ld with problems, %.2f s\n",
                     static_cast<long long>(run.pages_written()),
                     static_cast<long long>(run.pages_unchanged()), problem_rows, seconds);
    }
    if (signal_number == SIGINT) return exit_interrupted;
    if (signal_number != 0) return exit_terminated;
    return report.problem_lines() == 0 && files_ok ? exit_ok : exit_problems;
}

}  // namespace korvane::cli
