// SPDX-License-Identifier: Apache-2.0
// One rebuild of a site: the rows whose sources changed are generated again,
// pages a browser shows first. Runs without an event loop, so the live loop
// can run it on a thread of its own while it keeps serving.
#pragma once

#include "generator/date_text.h"
#include "live/live_paths.h"
#include "ports/stop_token.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace korvane::live {

// What changed since the last rebuild. Settings and data reach every row; a
// template only the rows that name it.
struct change_set {
    bool settings = false;
    bool data = false;
    std::set<std::string> templates;  // canonical names

    bool all_rows() const { return settings || data; }
    bool empty() const { return !settings && !data && templates.empty(); }
    void merge(const change_set& other);
    // "book.html changed", "the data changed", ... for the rebuild line.
    std::string describe() const;
};

// The files of one main row (canonical), as the last look at the rows found
// them: while neither the data nor the settings change they stay the same,
// and a template's save need not read every row again to find its pages.
struct row_files {
    std::string template_file;
    std::string page;
};
using row_table = std::shared_ptr<const std::vector<row_files>>;

struct rebuild_request {
    std::string settings_file;
    change_set changes;
    // Pages open in a browser (canonical): their rows go first.
    std::set<std::string> first_pages;
    // Set by the loop when newer edits make this rebuild moot: it stops
    // after the row it is on.
    stop_token cancel;
    std::int64_t row_limit = 32767;
    generator::clock_function clock;
    // Handed to the run: ends the reading of a database file.
    stop_token stop;
    // The rows of the last rebuild; used for a change of templates only.
    row_table known_rows;
};

struct rebuild_result {
    bool settings_read = false;
    bool database_opened = false;
    bool cancelled = false;
    std::int64_t written = 0, unchanged = 0, with_problems = 0;
    // Pages whose bytes changed, and every page made this time (canonical).
    std::vector<std::string> written_pages;
    // How many of written_pages were handed to first_ready already.
    std::size_t written_early = 0;
    std::set<std::string> pages_made;
    // Report lines of each page made this time that had problems.
    std::map<std::string, std::vector<std::string>> problems;
    // The problem lines of the whole rebuild, in row order, as `generate`
    // reports them, and those of them that belong to no row (the settings,
    // the database, the main statement, the output folder).
    std::vector<std::string> report, run_report;
    // What to watch next: the settings file, every template the rows name
    // and the database file (empty for an ODBC source), as seen before they
    // were read.
    stamp_map sources;
    std::string database_file;
    bool odbc = false;
    std::string site_folder;  // canonical
    std::string first_page;   // the first row's page, canonical
    row_table rows;
    double seconds = 0;
};

// Called on the rebuilding thread once the pages a browser shows are
// written, before the other rows: those pages can be reloaded at once.
using pages_ready_function = std::function<void(const std::vector<std::string>& written)>;

rebuild_result run_rebuild(const rebuild_request& request, const pages_ready_function& first_ready);

}  // namespace korvane::live
