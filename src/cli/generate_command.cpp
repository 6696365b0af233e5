#include "cli/generate_command.h"
#include "data/access/access_database.h"

#include "cli/progress_line.h"
#include "data/settings.h"
#include "data/text_helpers.h"
#include "generator/page_generator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace korvane::cli {
namespace {

using generator::page_generator;
using generator::page_outcome;

std::atomic<int> received_signal{0};
// The same request as a flag, for the Access reader: it may be waiting for a
// file to be read when the signal comes.
std::atomic<bool> stop_flag{false};

extern "C" void on_stop_signal(int signal_number) {
    received_signal.store(signal_number);
    stop_flag.store(true);
}

// Ctrl+C and SIGTERM ask the run to stop after the pages being written: a page
// is replaced whole at its close, so none is left half-written.
void install_stop_handlers() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    data::set_access_stop_flag(&stop_flag);
}

bool stop_requested() { return received_signal.load() != 0; }

// Collects what one row reported, so rows made on other threads can be
// written out in row order.
class buffered_list final : public error_list_target {
public:
    void clear() override { lines.clear(); }
    void add_line(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

class buffered_status final : public status_port {
public:
    void set_status(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

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
    void add(const std::vector<std::string>& more) {
        if (keep_) texts.insert(texts.end(), more.begin(), more.end());
    }
    std::vector<std::string> texts;

private:
    bool keep_;
};

struct row_result {
    bool done = false;
    page_outcome outcome = page_outcome::skipped;
    buffered_list report;
    buffered_status status;
};

generator::run_options run_options_for(const cli_options& options, const std::string& base) {
    generator::run_options run;
    run.base_folder = base;
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

// One number per file: its folder as the system finds it (links followed,
// "." and ".." gone) and its name. Two names of one file give one number;
// two files giving one number by chance only cost a run on one thread.
class file_numbers {
public:
    std::uint64_t of(const std::string& path) {
        const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
        const std::string folder = normal.parent_path().string();
        if (folders_.size() > 4096) folders_.clear();  // a folder per page: keep memory flat
        auto [found, inserted] = folders_.try_emplace(folder);
        if (inserted) {
            std::error_code ec;
            auto real = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
            if (!ec) real = std::filesystem::weakly_canonical(real, ec);
            found->second = ec ? folder : real.string();
        }
        return std::hash<std::string>{}(found->second + '/' + normal.filename().string());
    }

private:
    std::unordered_map<std::string, std::string> folders_;
};

// True when the pages depend on the order the rows are made in: two rows
// write one file (the later row's page must be the one left), or a row's
// template is a page another row writes.
bool rows_share_files(page_generator& run, std::int64_t row_count) {
    struct rows_of_file {
        std::uint64_t file;
        std::int64_t first, last;  // consecutive rows naming it
        bool operator<(const rows_of_file& other) const { return file < other.file; }
    };
    std::vector<rows_of_file> outputs, templates;
    outputs.reserve(static_cast<std::size_t>(row_count));
    file_numbers numbers;
    std::string template_file, output_file, previous_template;
    for (std::int64_t row = 1; row <= row_count && !stop_requested(); ++row) {
        // A row whose fields cannot be read ends the run there.
        if (!run.row_files(row, template_file, output_file)) break;
        outputs.push_back({numbers.of(output_file), row, row});
        if (row > 1 && template_file == previous_template) {
            templates.back().last = row;
        } else {
            templates.push_back({numbers.of(template_file), row, row});
            previous_template = template_file;
        }
    }
    std::sort(outputs.begin(), outputs.end());
    for (std::size_t i = 1; i < outputs.size(); ++i) {
        if (outputs[i - 1].file == outputs[i].file) return true;
    }
    for (const auto& t : templates) {
        const auto o = std::lower_bound(outputs.begin(), outputs.end(), t);
        // A row may be its own template: that needs no order.
        if (o != outputs.end() && o->file == t.file && !(t.first == t.last && t.first == o->first)) {
            return true;
        }
    }
    return false;
}

// Renders the rows on `jobs` threads, each with its own run, database
// connection and template engine. The reporting run reads the main result and
// hands out copies of its rows in chunks, a few chunks ahead of the writer, so
// memory stays flat in the number of rows; each row's report and captions go
// to `emit` in row order. Returns the number of rows emitted; failure tells
// why a thread stopped the run, if one did.
template <typename Emit>
std::int64_t render_in_parallel(const cli_options& options, const GenerationSettings& settings,
                                const std::string& base, page_generator& reporter,
                                std::int64_t row_count, unsigned jobs, std::string& failure,
                                Emit emit) {
    // Small chunks keep the threads busy to the end; rows of a chunk run in
    // order, so consecutive rows of one template reuse it.
    constexpr std::int64_t chunk_rows = 16;
    const std::size_t read_ahead = 4 * static_cast<std::size_t>(jobs);
    struct chunk {
        std::int64_t first_row = 0;
        std::unique_ptr<data::record_set> rows;
        std::vector<row_result> results;
        bool ended = false;  // its thread is done with it, every row made or not
    };
    std::deque<std::shared_ptr<chunk>> in_order;  // read and not yet emitted (this thread)
    std::deque<std::shared_ptr<chunk>> waiting;   // read and not yet taken by a thread
    bool all_read = false;
    // The first row that ended the run (a field of the main row could not be
    // read): rows before it are still made and reported, as on one thread.
    std::atomic<std::int64_t> stop_row{row_count + 1};
    std::atomic<bool> thread_failed{false};
    std::mutex mutex;
    std::condition_variable work_ready, chunk_done;
    auto stopping = [&] { return thread_failed.load() || stop_requested(); };
    auto stopped_at = [&](std::int64_t row) {
        std::int64_t first = stop_row.load();
        while (row < first && !stop_row.compare_exchange_weak(first, row)) {
        }
    };

    auto work = [&] {
        page_generator run(run_options_for(options, base));
        const bool opened = run.open_database(settings);
        for (;;) {
            std::shared_ptr<chunk> c;
            {
                std::unique_lock lock(mutex);
                // Wake now and then to notice a stop while no chunk comes.
                while (waiting.empty() && !all_read && !stopping()) {
                    work_ready.wait_for(lock, std::chrono::milliseconds(50));
                }
                if (waiting.empty() || stopping()) break;
                c = waiting.front();
                waiting.pop_front();
            }
            if (opened) run.set_main_rows(std::move(c->rows), c->first_row, reporter.main_sql());
            for (std::size_t i = 0; i < c->results.size() && !stopping(); ++i) {
                row_result& r = c->results[i];
                const std::int64_t row = c->first_row + static_cast<std::int64_t>(i);
                if (row > stop_row.load()) break;
                if (opened) {
                    r.outcome = run.generate_row(row, row_count, r.report, r.status);
                } else {
                    // The database went away after the run had opened it.
                    r.report.add_line("Error opening database: ");
                    r.report.add_line(
                        "    The database could not be opened again for another thread");
                    r.report.add_line("    Database: " + mask_passwords(settings.database_name));
                    r.report.add_line("");
                    r.outcome = page_outcome::stopped;
                }
                if (r.outcome == page_outcome::stopped) stopped_at(row);
                std::lock_guard lock(mutex);
                r.done = true;
            }
            {
                std::lock_guard lock(mutex);
                c->ended = true;
            }
            // Once a chunk: waking the writer for every row costs more than a row.
            chunk_done.notify_all();
        }
        run.close();
    };
    // Rows catch their own failures; this is for running out of memory while
    // a thread sets up, which must stop the run rather than end the program.
    auto worker = [&] {
        std::string why;
        try {
            work();
            return;
        } catch (const std::exception& e) {
            why = e.what();
        } catch (...) {
            why = "unknown error";
        }
        {
            std::lock_guard lock(mutex);
            if (failure.empty()) failure = why;
        }
        thread_failed.store(true);
        chunk_done.notify_all();
    };

    std::vector<std::thread> threads;
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(worker);

    // Emits the finished rows of the oldest chunk in order; false at the first
    // row not made (the run stopped there) or made with a stop.
    std::int64_t emitted = 0;
    bool ended_at_row = false;
    auto emit_front = [&](bool wait) {
        chunk& c = *in_order.front();
        for (std::size_t i = static_cast<std::size_t>(emitted - (c.first_row - 1));
             i < c.results.size(); ++i) {
            row_result& r = c.results[i];
            {
                std::unique_lock lock(mutex);
                while (wait && !r.done && !c.ended && !stopping()) {
                    chunk_done.wait_for(lock, std::chrono::milliseconds(50));
                }
                if (!r.done) return false;
            }
            emit(c.first_row + static_cast<std::int64_t>(i), r);
            ++emitted;
            const bool stopped = r.outcome == page_outcome::stopped;
            r.report.lines = {};  // what is written out need not stay in memory
            r.status.texts = {};
            if (stopped) {
                ended_at_row = true;
                return false;
            }
        }
        in_order.pop_front();
        return true;
    };

    std::int64_t next_row = 1;
    bool going = true;
    while (going) {
        while (next_row <= row_count && next_row <= stop_row.load() &&
               in_order.size() < read_ahead && !stopping()) {
            const std::int64_t rows = std::min(chunk_rows, row_count - next_row + 1);
            auto c = std::make_shared<chunk>();
            c->first_row = next_row;
            c->rows = reporter.copy_main_rows(next_row, rows);
            c->results.resize(static_cast<std::size_t>(rows));
            next_row += rows;
            {
                std::lock_guard lock(mutex);
                in_order.push_back(c);
                waiting.push_back(c);
                all_read = next_row > row_count;
            }
            work_ready.notify_one();
        }
        if (in_order.empty()) break;
        going = emit_front(true);
    }
    {
        std::lock_guard lock(mutex);
        all_read = true;
    }
    work_ready.notify_all();
    for (auto& t : threads) t.join();
    // Rows finished after a stop are still reported, in order, until the first gap.
    while (!ended_at_row && !thread_failed.load() && !in_order.empty() && emit_front(false)) {
    }
    return emitted;
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
    if (!settings_are_complete(settings)) {
        std::fprintf(
            stderr,
            "korvane-cli: the settings in '%s' are incomplete (korvane-cli check says what is "
            "missing); running anyway\n",
            options.settings_file.c_str());
    }
    install_stop_handlers();
    const std::string base = std::filesystem::path(options.settings_file).parent_path().string();
    const unsigned jobs =
        options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());

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

    auto account = [&](std::int64_t row, page_outcome outcome, const std::string& file) {
        rows_done = row;
        if (outcome == page_outcome::skipped || outcome == page_outcome::failed ||
            outcome == page_outcome::stopped) {
            ++problem_rows;
        }
        progress.update(static_cast<long>(row), static_cast<long>(row_count), file);
    };

    // Pages made side by side must be the pages of one row after the other:
    // rows that share files are made on one thread, in row order.
    const bool rows_shared = row_count > 0 && jobs > 1 && rows_share_files(run, row_count);
    if (row_count > 0 && (jobs == 1 || rows_shared)) {
        buffered_status row_status;
        for (std::int64_t row = 1; row <= row_count && !stop_requested(); ++row) {
            row_status.texts.clear();
            const page_outcome outcome = run.generate_row(row, row_count, report, row_status);
            status.add(row_status.texts);
            account(row, outcome, row_status.texts.empty() ? "" : row_status.texts.back());
            if (outcome == page_outcome::stopped) break;
        }
    } else if (row_count > 0) {
        const auto threads = static_cast<unsigned>(std::min<std::int64_t>(jobs, row_count));
        std::string failure;
        render_in_parallel(options, settings, base, run, row_count, threads, failure,
                           [&](std::int64_t row, row_result& r) {
                               for (const auto& line : r.report.lines) report.add_line(line);
                               status.add(r.status.texts);
                               run.count_page(r.outcome);
                               account(row, r.outcome,
                                       r.status.texts.empty() ? "" : r.status.texts.back());
                           });
        if (!failure.empty()) {
            report.add_line("Error generating pages: ");
            report.add_line("    " + failure);
            report.add_line("");
        }
    }
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
        if (rows_shared) {
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
