// SPDX-License-Identifier: Apache-2.0
// --format json: the outcome of a run or a check as one JSON document on
// standard output, for CI pipelines and editors. The problems are the ones
// the text report shows, read back from its lines.
#pragma once

#include "check/template_check.h"

#include <QJsonObject>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane::cli {

// One line of the report and the main row it came from (0: none).
struct report_line {
    std::string text;
    std::int64_t row = 0;
};

struct row_files {
    std::string template_file, output_file;
};

struct run_summary {
    std::string settings_file;
    int exit_status = 0;
    bool run_failed = false;  // the database or the main statement failed
    bool stopped = false;     // a signal ended the run
    std::int64_t rows = 0, pages_written = 0, pages_unchanged = 0, rows_with_problems = 0,
                 pages_removed = 0;
    double seconds = 0;
};

std::string generate_json(const run_summary& summary, const std::vector<report_line>& lines,
                          const std::map<std::int64_t, row_files>& files_of_rows);

// watch and serve with --format json: JSON Lines, one object per event on
// a line of its own. A rebuild lists its problems as generate's document
// does, each page's under its output file.
struct rebuild_summary {
    std::string changed;  // "generated" for the first build, else what changed
    std::int64_t pages_written = 0, pages_unchanged = 0, rows_with_problems = 0;
    double seconds = 0;
};
std::string watch_json_line(const rebuild_summary& rebuild, const std::vector<std::string>& run_lines,
                            const std::map<std::string, std::vector<std::string>>& page_lines);
// Any other event ({"event": "serving", ...}) as one line.
std::string json_line(const QJsonObject& event);

std::string check_json(const std::string& settings_file, int exit_status,
                       const std::vector<check::finding>& findings);

}  // namespace korvane::cli
