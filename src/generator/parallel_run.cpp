// SPDX-License-Identifier: Apache-2.0
#include "generator/parallel_run.h"

#include "data/text_helpers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace korvane::generator {
namespace {

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

struct row_result {
    bool done = false;
    page_outcome outcome = page_outcome::skipped;
    buffered_list report;
    buffered_status status;
    std::string template_file, output_file;  // only when options.files asks for them
};

// The files of the row the run has just made.
void files_of_row(page_generator& run, std::int64_t row, std::string& template_file,
                  std::string& output_file) {
    if (!run.row_files(row, template_file, output_file)) {
        template_file.clear();
        output_file.clear();
    }
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

// Hands the caller one row's report, captions and progress.
void report_row(const parallel_options& options, std::int64_t row, std::int64_t row_count,
                page_outcome outcome, const std::vector<std::string>& lines,
                const std::vector<std::string>& captions, const std::string& template_file,
                const std::string& output_file) {
    for (const auto& line : lines) options.report->add_line(line);
    if (options.status) {
        for (const auto& caption : captions) options.status->set_status(caption);
    }
    if (options.files) options.files(row, template_file, output_file);
    if (options.progress) {
        static const std::string none;
        options.progress(row, row_count, outcome, captions.empty() ? none : captions.back());
    }
}

std::int64_t make_pages_in_order(page_generator& reporter, std::int64_t row_count,
                                 const parallel_options& options) {
    buffered_status captions;
    std::int64_t row = 1;
    for (; row <= row_count && !options.stop.stop_requested(); ++row) {
        captions.texts.clear();
        const page_outcome outcome = reporter.generate_row(row, row_count, *options.report, captions);
        std::string template_file, output_file;
        if (options.files) files_of_row(reporter, row, template_file, output_file);
        report_row(options, row, row_count, outcome, {}, captions.texts, template_file, output_file);
        if (outcome == page_outcome::stopped) return row;
    }
    return row - 1;
}

// Renders the rows on `jobs` threads, each with its own run, database
// connection and template engine. The reporting run reads the main result and
// hands out copies of its rows in chunks, a few chunks ahead of the writer, so
// memory stays flat in the number of rows; each row's report and captions go
// to the caller in row order. Returns the number of rows reported; failure
// tells why a thread stopped the run, if one did.
std::int64_t render_in_parallel(page_generator& reporter, const GenerationSettings& settings,
                                std::int64_t row_count, unsigned jobs,
                                const parallel_options& options, std::string& failure) {
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
    std::deque<std::shared_ptr<chunk>> in_order;  // read and not yet reported (this thread)
    std::deque<std::shared_ptr<chunk>> waiting;   // read and not yet taken by a thread
    bool all_read = false;
    // The first row that ended the run (a field of the main row could not be
    // read): rows before it are still made and reported, as on one thread.
    std::atomic<std::int64_t> stop_row{row_count + 1};
    std::atomic<bool> thread_failed{false};
    std::mutex mutex;
    std::condition_variable work_ready, chunk_done;
    auto stopping = [&] { return thread_failed.load() || options.stop.stop_requested(); };
    auto stopped_at = [&](std::int64_t row) {
        std::int64_t first = stop_row.load();
        while (row < first && !stop_row.compare_exchange_weak(first, row)) {
        }
    };
    // The window's ports belong to the calling thread.
    run_options thread_options = options.run;
    thread_options.messages = nullptr;
    thread_options.events = nullptr;
    thread_options.stop = {};
    thread_options.progress = nullptr;

    auto work = [&] {
        page_generator run(thread_options);
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
                    if (options.files) files_of_row(run, row, r.template_file, r.output_file);
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

    // Reports the finished rows of the oldest chunk in order; false at the
    // first row not made (the run stopped there) or made with a stop.
    std::int64_t reported = 0;
    bool ended_at_row = false;
    auto report_front = [&](bool wait) {
        chunk& c = *in_order.front();
        for (std::size_t i = static_cast<std::size_t>(reported - (c.first_row - 1));
             i < c.results.size(); ++i) {
            row_result& r = c.results[i];
            {
                std::unique_lock lock(mutex);
                while (wait && !r.done && !c.ended && !stopping()) {
                    chunk_done.wait_for(lock, std::chrono::milliseconds(50));
                    if (options.waiting) {
                        lock.unlock();
                        options.waiting->process_pending_events();
                        lock.lock();
                    }
                }
                if (!r.done) return false;
            }
            const std::int64_t row = c.first_row + static_cast<std::int64_t>(i);
            reporter.count_page(r.outcome);
            report_row(options, row, row_count, r.outcome, r.report.lines, r.status.texts,
                       r.template_file, r.output_file);
            ++reported;
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
        going = report_front(true);
    }
    {
        std::lock_guard lock(mutex);
        all_read = true;
    }
    work_ready.notify_all();
    for (auto& t : threads) t.join();
    // Rows finished after a stop are still reported, in order, until the first gap.
    while (!ended_at_row && !thread_failed.load() && !in_order.empty() && report_front(false)) {
    }
    return reported;
}

}  // namespace

one_thread_reason order_dependence(page_generator& run, std::int64_t row_count,
                                   stop_token stop) {
    struct rows_of_file {
        std::uint64_t file;
        std::int64_t first, last;  // consecutive rows naming it
        bool operator<(const rows_of_file& other) const { return file < other.file; }
    };
    std::vector<rows_of_file> outputs, templates;
    outputs.reserve(static_cast<std::size_t>(std::max<std::int64_t>(row_count, 0)));
    file_numbers numbers;
    std::string template_file, output_file, previous_template;
    for (std::int64_t row = 1; row <= row_count && !stop.stop_requested(); ++row) {
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
        if (outputs[i - 1].file == outputs[i].file) return one_thread_reason::rows_share_output;
    }
    for (const auto& t : templates) {
        const auto o = std::lower_bound(outputs.begin(), outputs.end(), t);
        // A row may be its own template: that needs no order.
        if (o != outputs.end() && o->file == t.file && !(t.first == t.last && t.first == o->first)) {
            return one_thread_reason::page_used_as_template;
        }
    }
    return one_thread_reason::none;
}

parallel_result make_pages(page_generator& reporter, const GenerationSettings& settings,
                           std::int64_t row_count, const parallel_options& options) {
    parallel_result result;
    if (row_count <= 0) return result;
    const unsigned jobs =
        options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (jobs > 1) result.reason = order_dependence(reporter, row_count, options.stop);
    if (jobs == 1 || result.reason != one_thread_reason::none) {
        result.rows_done = make_pages_in_order(reporter, row_count, options);
        return result;
    }
    result.threads = static_cast<unsigned>(std::min<std::int64_t>(jobs, row_count));
    std::string failure;
    result.rows_done =
        render_in_parallel(reporter, settings, row_count, result.threads, options, failure);
    if (!failure.empty()) {
        options.report->add_line("Error generating pages: ");
        options.report->add_line("    " + failure);
        options.report->add_line("");
    }
    return result;
}

}  // namespace korvane::generator
