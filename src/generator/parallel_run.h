// SPDX-License-Identifier: Apache-2.0
// The pages of one run made on several threads, with the report, captions and
// counts of the same run made row after row.
//
// The caller (korvane-cli, the main window) drives one reporting
// page_generator: begin_run, open_database and open_main_recordset, then
// make_pages for the rows, then finish_run. make_pages reads the main result
// on the calling thread and hands copies of its rows, a chunk at a time, to
// threads that each have their own page_generator, database connection and
// template engine; the calling thread is one of them, taking chunks between
// reading rows and reporting them. Every row's report lines, captions and
// progress come back on the calling thread, in row order, so a window can
// show them as they come. While the threads
// open their connections the calling thread makes the first rows itself, so a
// run too small to pay for them never waits for them. From the first row
// whose page depends on the rows before it (it writes a file an earlier row
// wrote or read as template, or reads one an earlier row wrote) the rows are
// made in order on the calling thread: the pages are always those of one row
// after the other.
//
// For a window: `progress` and the captions arrive on the calling thread,
// `waiting` is pumped there while it waits for rows, and `stop` is read by
// every thread before each row, so Stop ends the run within a page.
#pragma once

#include "data/settings.h"
#include "generator/page_generator.h"
#include "generator/shard.h"
#include "ports/host_ports.h"
#include "ports/log_errors.h"
#include "ports/stop_token.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace korvane::generator {

// Why rows were made in order on one thread when more were asked for.
enum class one_thread_reason {
    none,                  // every row could be made on any thread
    rows_share_output,     // two rows write one file: the later row's page is the one left
    page_used_as_template, // a row's template is a page another row writes
};

struct parallel_options {
    // Threads to make pages on; 0 means default_jobs().
    unsigned jobs = 0;
    // Options of the run on each further thread (base folder, clock, row
    // limit); their window ports are not used there.
    run_options run;
    // Report lines and captions of every row, in row order, on the calling
    // thread. Required.
    error_list_target* report = nullptr;
    status_port* status = nullptr;
    // The stop token: read before each row; when set no further row starts.
    stop_token stop;
    // After each row, in row order: the row (1-based), the row count, the
    // outcome and the row's last caption ("" when it showed none).
    std::function<void(std::int64_t row, std::int64_t row_count, page_outcome outcome,
                       const std::string& caption)>
        progress;
    // Optional, just before progress: the row's template and page file as the
    // run opened them ("" when the row's fields could not be read), for a
    // list of the pages a run made.
    std::function<void(std::int64_t row, const std::string& template_file,
                       const std::string& output_file)>
        files;
    // Pumped on the calling thread while it waits for rows from the threads.
    event_pump* waiting = nullptr;
    // Only the rows whose page falls in this part are made and reported.
    shard part;
    // False: every row goes to the threads and through the order check (for
    // tests, which must not depend on how fast a connection opens).
    bool make_rows_while_threads_open = true;
};

struct parallel_result {
    std::int64_t rows_done = 0;  // rows reported, from the first on
    unsigned threads = 1;        // threads the pages were made on
    // Set when from some row on the rows were made in order on the calling thread.
    one_thread_reason reason = one_thread_reason::none;
};

// One thread per core this process may use that no other thread keeps busy
// at this moment; at least one.
unsigned default_jobs();

// True when a row's template is a page another row writes: split over
// machines, such rows would not see each other's pages. Reads every row's
// file names; the result is then read again from its first row.
bool rows_use_other_rows_pages(page_generator& run, std::int64_t row_count,
                               stop_token stop = {});

// Makes the pages of rows 1..row_count of reporter's main result (opened
// with open_main_recordset), counting them on reporter. A failure of a thread
// (memory running out while it sets up) is reported as "Error generating
// pages: " lines and ends the run after the rows before it.
parallel_result make_pages(page_generator& reporter, const GenerationSettings& settings,
                           std::int64_t row_count, const parallel_options& options);

}  // namespace korvane::generator
