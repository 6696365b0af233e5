// SPDX-License-Identifier: Apache-2.0
#include "generator/parallel_run.h"

#include "data/text_helpers.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sched.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace korvane::generator {
namespace {

// Each thread allocates from its own malloc arena, which by default grows and
// shrinks its heap a little at a time: hundreds of mprotect calls a run, each
// taking the process's memory map lock (and flushing the other cores' TLBs)
// while the other threads fault pages in. Growing in larger steps and keeping
// what was freed stops that; memory not touched is not resident.
void settle_thread_heaps() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_TOP_PAD, 8 << 20);
        mallopt(M_TRIM_THRESHOLD, 32 << 20);
    });
#endif
}

// Collects the captions of one row, which like its report (a
// memory_error_list) are written out in row order.
class buffered_status final : public status_port {
public:
    void set_status(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

struct row_result {
    bool done = false;
    bool skip = false;  // in another shard: not made, not reported
    page_outcome outcome = page_outcome::skipped;
    memory_error_list report;
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
        std::string_view text = path;
        std::string normal;
        // Most names need no normalising; doing it anyway costs more than the check.
        if (text.starts_with('.') || text.find("/.") != text.npos || text.find("//") != text.npos) {
            normal = std::filesystem::path(path).lexically_normal().string();
            text = normal;
        }
        const std::size_t slash = text.rfind('/');
        const std::string_view folder = slash == text.npos ? std::string_view() : text.substr(0, slash);
        const std::string_view name = slash == text.npos ? text : text.substr(slash + 1);
        if (!known_ || folder != last_folder_) {
            last_folder_ = folder;
            last_hash_ = std::hash<std::string>{}(real_folder(last_folder_));
            known_ = true;
        }
        const std::uint64_t h = std::hash<std::string_view>{}(name);
        return last_hash_ ^ (h + 0x9e3779b97f4a7c15ULL + (last_hash_ << 6) + (last_hash_ >> 2));
    }

private:
    std::string real_folder(const std::string& folder) {
        if (folders_.size() > 4096) folders_.clear();  // a folder per page: keep memory flat
        auto [found, inserted] = folders_.try_emplace(folder);
        if (inserted) {
            std::error_code ec;
            auto real = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
            if (!ec) real = std::filesystem::weakly_canonical(real, ec);
            found->second = ec ? folder : real.string();
        }
        return found->second;
    }

    std::unordered_map<std::string, std::string> folders_;
    std::string last_folder_;
    std::uint64_t last_hash_ = 0;
    bool known_ = false;
};

// A set of file numbers: 8 bytes a file, so a million rows stay small.
class number_set {
public:
    bool contains(std::uint64_t n) const {
        if (n == 0) return has_zero_;
        if (slots_.empty()) return false;
        for (std::size_t i = slot_of(n);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i] == n) return true;
            if (slots_[i] == 0) return false;
        }
    }
    void insert(std::uint64_t n) {
        if (n == 0) {
            has_zero_ = true;
            return;
        }
        if (2 * (used_ + 1) > slots_.size()) grow();
        std::size_t i = slot_of(n);
        while (slots_[i] != 0 && slots_[i] != n) i = (i + 1) & (slots_.size() - 1);
        if (slots_[i] == 0) ++used_;
        slots_[i] = n;
    }

private:
    std::size_t slot_of(std::uint64_t n) const {
        return static_cast<std::size_t>((n * 0x9e3779b97f4a7c15ULL) >> shift_);
    }
    void grow() {
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : 2 * old.size(), 0);
        shift_ = 64 - std::countr_zero(slots_.size());
        used_ = 0;
        for (std::uint64_t n : old) {
            if (n != 0) insert(n);
        }
    }

    std::vector<std::uint64_t> slots_;
    std::size_t used_ = 0;
    int shift_ = 64;
    bool has_zero_ = false;
};

// Sees the rows' files in row order and tells at the first row that must not
// be made before the rows ahead of it are: it writes a file an earlier row
// wrote or read as its template, or reads as its template a file an earlier
// row wrote. A row may be its own template.
class order_check {
public:
    // outputs_may_repeat: rows writing one file are no concern of the caller's.
    explicit order_check(bool outputs_may_repeat = false) : outputs_may_repeat_(outputs_may_repeat) {}

    one_thread_reason add(const std::string& template_file, const std::string& output_file) {
        if (template_file != previous_template_ || !known_) {
            template_number_ = numbers_.of(template_file);
            previous_template_ = template_file;
            known_ = true;
        }
        const std::uint64_t output = numbers_.of(output_file);
        if (outputs_.contains(output) && !outputs_may_repeat_) {
            return one_thread_reason::rows_share_output;
        }
        if (outputs_.contains(template_number_) || templates_.contains(output)) {
            return one_thread_reason::page_used_as_template;
        }
        outputs_.insert(output);
        templates_.insert(template_number_);
        return one_thread_reason::none;
    }

private:
    bool outputs_may_repeat_;
    file_numbers numbers_;
    number_set outputs_, templates_;
    std::string previous_template_;
    std::uint64_t template_number_ = 0;
    bool known_ = false;
};

// The files of the current row of rows, named as page_generator::row_files
// names them; false when a field cannot be read.
struct row_naming {
    const GenerationSettings& settings;
    const std::string& base_folder;
    // page_name: the output file before the base folder is applied.
    bool files(const data::record_set& rows, std::string& template_file, std::string& page_name,
               std::string& output_file) const {
        const data::db_value* t = rows.value(settings.template_field);
        const data::db_value* o = rows.value(settings.generated_field);
        if (!t || !o) return false;
        template_file = resolve_path(settings.template_path + data::value_to_text(*t), base_folder);
        page_name = settings.generated_path + data::value_to_text(*o);
        output_file = resolve_path(page_name, base_folder);
        return true;
    }
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

// Rows from `row` on made on this thread, in order, until `enough` says so
// or the rows end; `row` is then the next row to make and `reported` the last
// row dealt with. False when a row ended the run or a stop came.
bool make_rows_here(page_generator& reporter, std::int64_t& row, std::int64_t row_count,
                    const parallel_options& options, std::int64_t& reported,
                    const std::function<bool()>& enough = {}) {
    buffered_status captions;
    std::string page_name;
    for (; row <= row_count && !(enough && enough()); ++row) {
        if (options.stop.stop_requested()) return false;
        // A row whose field cannot be read is made, to report why the run ends.
        if (options.part.count > 1 && reporter.row_page_name(row, page_name) &&
            !page_in_shard(page_name, options.part)) {
            reported = row;
            continue;
        }
        captions.texts.clear();
        const page_outcome outcome = reporter.generate_row(row, row_count, *options.report, captions);
        std::string template_file, output_file;
        if (options.files) files_of_row(reporter, row, template_file, output_file);
        report_row(options, row, row_count, outcome, {}, captions.texts, template_file, output_file);
        reported = row;
        if (outcome == page_outcome::stopped) return false;
    }
    return true;
}

// Makes the rows on `jobs` threads, each with its own run, database
// connection and template engine. While the threads open their connections
// this thread makes the first rows itself, so a run too small to pay for the
// connections is over before they are ready. Then it reads the main result
// and hands out copies of its rows in chunks, a few chunks ahead of the
// writer, so memory stays flat in the number of rows; each row's report and
// captions go to the caller in row order. At the first row whose page depends
// on the rows before it, it lets the threads finish and makes the rest in
// order itself.
parallel_result make_pages_on_threads(page_generator& reporter, const GenerationSettings& settings,
                                      std::int64_t row_count, unsigned jobs,
                                      const parallel_options& options) {
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
    std::atomic<unsigned> threads_ready{0};
    std::string failure;
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

    // Makes the rows of one chunk on run (opened: its database is open).
    auto make_chunk = [&](page_generator& run, bool opened, chunk* c) {
        if (opened) run.set_main_rows(std::move(c->rows), c->first_row, reporter.main_sql());
        for (std::size_t i = 0; i < c->results.size() && !stopping(); ++i) {
            row_result& r = c->results[i];
            const std::int64_t row = c->first_row + static_cast<std::int64_t>(i);
            if (row > stop_row.load()) break;
            if (r.skip) continue;
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
    };
    // The next chunk no thread has taken, or null.
    auto take_chunk = [&]() -> std::shared_ptr<chunk> {
        if (waiting.empty() || stopping()) return nullptr;
        std::shared_ptr<chunk> c = waiting.front();
        waiting.pop_front();
        return c;
    };
    auto work = [&] {
        page_generator run(thread_options);
        const bool opened = run.open_database(settings);
        threads_ready.fetch_add(1);
        for (;;) {
            std::shared_ptr<chunk> c;
            {
                std::unique_lock lock(mutex);
                // Wake now and then to notice a stop while no chunk comes.
                while (waiting.empty() && !all_read && !stopping()) {
                    work_ready.wait_for(lock, std::chrono::milliseconds(50));
                }
                c = take_chunk();
                if (!c) break;
            }
            make_chunk(run, opened, c.get());
        }
        run.close();
    };
    // Rows catch their own failures; this is for running out of memory while
    // a thread sets up, which must stop the run rather than end the program.
    auto record_failure = [&](const char* why) {
        {
            std::lock_guard lock(mutex);
            if (failure.empty()) failure = why;
        }
        thread_failed.store(true);
        chunk_done.notify_all();
    };
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
        threads_ready.fetch_add(1);
        record_failure(why.c_str());
    };

    // This thread makes pages too, between reading rows and reporting them:
    // on its own run, with its own connection, opened when first needed.
    run_options own_options = thread_options;
    own_options.events = options.waiting;
    std::unique_ptr<page_generator> own_run;
    bool own_opened = false;
    // Makes a chunk no thread has taken yet, when more wait than the other
    // threads can take; false when there are not that many.
    auto make_chunk_here = [&] {
        std::shared_ptr<chunk> c;
        {
            std::lock_guard lock(mutex);
            if (waiting.size() < jobs) return false;
            c = take_chunk();
        }
        if (!c) return false;
        try {
            if (!own_run) {
                own_run = std::make_unique<page_generator>(own_options);
                own_opened = own_run->open_database(settings);
            }
            make_chunk(*own_run, own_opened, c.get());
        } catch (const std::exception& e) {
            record_failure(e.what());
        } catch (...) {
            record_failure("unknown error");
        }
        return true;
    };

    parallel_result result;
    result.threads = jobs;
    settle_thread_heaps();
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < jobs; ++i) threads.emplace_back(worker);
    auto end_threads = [&] {
        {
            std::lock_guard lock(mutex);
            all_read = true;
        }
        work_ready.notify_all();
        for (auto& t : threads) t.join();
        threads.clear();
    };

    bool going = true;
    std::int64_t next_row = 1;
    if (options.make_rows_while_threads_open) {
        going = make_rows_here(reporter, next_row, row_count, options, result.rows_done,
                               [&] { return threads_ready.load() > 0; });
        if (next_row > row_count || !going) {
            end_threads();
            result.threads = 1;  // every row made here
            return result;
        }
    }

    // Reports the finished rows of the oldest chunk in order; false at the
    // first row not made (the run stopped there) or made with a stop.
    bool ended_at_row = false;
    auto report_front = [&](bool wait) {
        chunk& c = *in_order.front();
        for (std::size_t i = static_cast<std::size_t>(result.rows_done - (c.first_row - 1));
             i < c.results.size(); ++i) {
            row_result& r = c.results[i];
            const std::int64_t row = c.first_row + static_cast<std::int64_t>(i);
            if (r.skip) {
                result.rows_done = row;
                continue;
            }
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
            reporter.count_page(r.outcome);
            report_row(options, row, row_count, r.outcome, r.report.lines(), r.status.texts,
                       r.template_file, r.output_file);
            result.rows_done = row;
            const bool stopped = r.outcome == page_outcome::stopped;
            r.report = {};  // what is written out need not stay in memory
            r.status.texts = {};
            if (stopped) {
                ended_at_row = true;
                return false;
            }
        }
        in_order.pop_front();
        return true;
    };

    // Rows made above, in order, need no check: every later row comes after them.
    order_check check;
    const row_naming naming{settings, options.run.base_folder};
    std::string template_file, page_name, output_file;
    std::vector<bool> skipped;
    std::int64_t in_order_from = row_count + 1;  // the first row that must wait for all before it
    while (going) {
        while (next_row < in_order_from && next_row <= stop_row.load() &&
               in_order.size() < read_ahead && !stopping()) {
            const std::int64_t rows = std::min(chunk_rows, row_count - next_row + 1);
            auto c = std::make_shared<chunk>();
            c->first_row = next_row;
            c->rows = reporter.copy_main_rows(next_row, rows);
            // Rows up to the first that must wait, or that cannot be read (made
            // in order, it reports why and ends the run).
            std::int64_t free_rows = 0;
            skipped.clear();
            if (c->rows) {
                for (c->rows->move_first(); free_rows < c->rows->record_count(); c->rows->move_next()) {
                    if (!naming.files(*c->rows, template_file, page_name, output_file)) break;
                    skipped.push_back(options.part.count > 1 && !page_in_shard(page_name, options.part));
                    if (skipped.back()) {
                        ++free_rows;
                        continue;
                    }
                    const one_thread_reason why = check.add(template_file, output_file);
                    if (why != one_thread_reason::none) {
                        result.reason = why;
                        break;
                    }
                    ++free_rows;
                }
            }
            if (free_rows < rows) in_order_from = next_row + free_rows;
            if (free_rows == 0) break;
            c->results.resize(static_cast<std::size_t>(free_rows));
            for (std::size_t i = 0; i < c->results.size(); ++i) c->results[i].skip = skipped[i];
            next_row += free_rows;
            {
                std::lock_guard lock(mutex);
                in_order.push_back(c);
                waiting.push_back(c);
                all_read = next_row > row_count || next_row >= in_order_from;
            }
            work_ready.notify_one();
        }
        if (in_order.empty()) break;
        // The rows made are reported first; then, rather than wait for the
        // oldest rows, this thread makes some, leaving the other threads a
        // chunk each.
        if (report_front(false)) continue;
        if (ended_at_row) break;
        if (make_chunk_here()) continue;
        going = report_front(true);
    }
    end_threads();
    if (own_run) own_run->close();
    // Rows finished after a stop are still reported, in order, until the first gap.
    while (!ended_at_row && !thread_failed.load() && !in_order.empty() && report_front(false)) {
    }
    // Past it, the pages made before a stop are counted and reported too, so
    // the count says what is on disk.
    if (!ended_at_row && !thread_failed.load() && options.stop.stop_requested()) {
        for (const auto& c : in_order) {
            for (std::size_t i = 0; i < c->results.size(); ++i) {
                const row_result& r = c->results[i];
                const std::int64_t row = c->first_row + static_cast<std::int64_t>(i);
                if (row <= result.rows_done || !r.done || r.skip || r.outcome == page_outcome::stopped) {
                    continue;
                }
                reporter.count_page(r.outcome);
                report_row(options, row, row_count, r.outcome, r.report.lines(), r.status.texts,
                           r.template_file, r.output_file);
            }
        }
    }
    if (!failure.empty()) {
        options.report->add_line("Error generating pages: ");
        options.report->add_line("    " + failure);
        options.report->add_line("");
        return result;
    }
    if (!ended_at_row && !options.stop.stop_requested() && in_order.empty() &&
        result.rows_done + 1 == in_order_from && in_order_from <= row_count) {
        make_rows_here(reporter, in_order_from, row_count, options, result.rows_done);
    }
    return result;
}

}  // namespace

unsigned default_jobs() {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        cores = std::max(1, CPU_COUNT(&allowed));
    }
    // The fourth field of /proc/loadavg counts the threads running or ready
    // to run at this moment, this one among them: a thread more than the
    // idle cores would only take turns with the others and cost switches.
    std::ifstream loadavg("/proc/loadavg");
    double one, five, fifteen;
    long running = 0;
    char slash;
    long threads;
    if (loadavg >> one >> five >> fifteen >> running >> slash >> threads && running > 1) {
        const long idle = static_cast<long>(cores) - (running - 1);
        return static_cast<unsigned>(std::max(1L, idle));
    }
    return cores;
}

bool rows_use_other_rows_pages(page_generator& run, std::int64_t row_count,
                               stop_token stop) {
    order_check check(true);
    std::string template_file, output_file;
    for (std::int64_t row = 1; row <= row_count && !stop.stop_requested(); ++row) {
        if (!run.row_files(row, template_file, output_file)) break;
        if (check.add(template_file, output_file) != one_thread_reason::none) return true;
    }
    return false;
}

parallel_result make_pages(page_generator& reporter, const GenerationSettings& settings,
                           std::int64_t row_count, const parallel_options& options) {
    if (row_count <= 0) return {};
    const unsigned jobs = options.jobs ? options.jobs : default_jobs();
    if (jobs == 1 || row_count == 1) {
        parallel_result result;
        std::int64_t row = 1;
        make_rows_here(reporter, row, row_count, options, result.rows_done);
        return result;
    }
    return make_pages_on_threads(reporter, settings, row_count,
                                 static_cast<unsigned>(std::min<std::int64_t>(jobs, row_count)),
                                 options);
}

}  // namespace korvane::generator
