// SPDX-License-Identifier: Apache-2.0
#include "live/site_rebuild.h"

#include "data/settings.h"
#include "data/text_helpers.h"
#include "generator/page_generator.h"
#include "generator/parallel_run.h"
#include "ports/host_ports.h"
#include "ports/log_errors.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace korvane::live {

using generator::page_outcome;

void change_set::merge(const change_set& other) {
    settings = settings || other.settings;
    data = data || other.data;
    templates.insert(other.templates.begin(), other.templates.end());
}

std::string change_set::describe() const {
    if (settings) return "the settings changed";
    if (data) return "the data changed";
    std::string text;
    for (const auto& t : templates) {
        if (!text.empty()) text += ", ";
        text += std::filesystem::path(t).filename().string();
    }
    return text + " changed";
}

namespace {

// Canonical names of many paths that share few folders and templates: the
// file system is asked once per folder, not once per row.
class canonical_names {
public:
    std::string of(const std::string& path) {
        if (path == last_raw_) return last_;
        const std::filesystem::path p(path);
        const std::string folder = p.parent_path().string();
        if (folders_.size() > 4096) folders_.clear();
        auto [found, inserted] = folders_.try_emplace(folder);
        if (inserted) found->second = canonical_file(folder.empty() ? "." : folder);
        last_raw_ = path;
        last_ = (std::filesystem::path(found->second) / p.filename()).string();
        return last_;
    }

private:
    std::unordered_map<std::string, std::string> folders_;
    std::string last_raw_, last_;
};

// Report lines of one row, and of the run outside the rows.
class line_list final : public error_list_target {
public:
    void clear() override { lines.clear(); }
    void add_line(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

bool is_problem(page_outcome outcome) {
    return outcome == page_outcome::skipped || outcome == page_outcome::failed ||
           outcome == page_outcome::stopped;
}

}  // namespace

rebuild_result run_rebuild(const rebuild_request& request, const pages_ready_function& first_ready) {
    const auto started = std::chrono::steady_clock::now();
    rebuild_result result;
    auto finish = [&] {
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    };
    const std::string settings_file = canonical_file(request.settings_file);
    result.sources[settings_file] = stamp_of(settings_file);

    GenerationSettings settings;
    if (read_settings_file(settings, request.settings_file) < 0) {
        result.run_report = {"Cannot read the settings file: ", "    File: " + request.settings_file, ""};
        result.report = result.run_report;
        return finish();
    }
    result.settings_read = true;
    const std::string base = std::filesystem::path(request.settings_file).parent_path().string();
    result.odbc = settings.database_type == 1;
    if (!result.odbc) {
        result.database_file = canonical_file(resolve_path(settings.database_name, base));
        result.sources[result.database_file] = stamp_of(result.database_file);
    }
    result.site_folder = canonical_file(resolve_path(settings.generated_path, base));
    if (result.site_folder.empty()) result.site_folder = canonical_file(".");

    generator::run_options options;
    options.base_folder = base;
    options.row_limit = request.row_limit;
    options.clock = request.clock;
    options.stop = request.stop;
    generator::page_generator run(options);
    null_status_port status;
    line_list run_report;
    run.begin_run(status, run_report);
    run_report.clear();  // the start lines are not problems
    auto take_run_report = [&] {
        result.report.insert(result.report.end(), run_report.lines.begin(), run_report.lines.end());
        result.run_report.insert(result.run_report.end(), run_report.lines.begin(),
                                 run_report.lines.end());
        run_report.clear();
    };
    // A rebuild writes the folder as any run does: after another run there.
    if (!run.lock_output_folder(settings) || !run.open_database(settings)) {
        take_run_report();
        return finish();
    }
    result.database_opened = true;
    const std::int64_t row_count = run.open_main_recordset(settings.main_type, settings.main_name);
    take_run_report();

    // Which rows to make: every row, or those naming a changed template.
    if (!request.changes.all_rows() && request.known_rows &&
        static_cast<std::int64_t>(request.known_rows->size()) == std::max<std::int64_t>(row_count, 0)) {
        result.rows = request.known_rows;
    } else {
        auto scanned = std::make_shared<std::vector<row_files>>();
        canonical_names names;
        for (std::int64_t row = 1; row <= row_count; ++row) {
            std::string template_file, page;
            if (!run.row_files(row, template_file, page)) break;
            scanned->push_back({names.of(template_file), names.of(page)});
        }
        result.rows = std::move(scanned);
    }
    const std::vector<row_files>& rows = *result.rows;
    std::unordered_map<std::string, int> writers;  // rows writing each page
    std::unordered_set<std::string> templates;
    for (const auto& files : rows) {
        if (templates.insert(files.template_file).second) {
            result.sources.try_emplace(files.template_file, stamp_of(files.template_file));
        }
        ++writers[files.page];
    }
    if (!rows.empty()) result.first_page = rows.front().page;
    auto wanted = [&](const row_files& r) {
        return request.changes.all_rows() || request.changes.templates.count(r.template_file) > 0;
    };

    std::vector<char> done(rows.size(), 0);
    std::vector<std::string> written_early;
    bool stopped = false;
    // What one row did, counted once per rebuild.
    auto record = [&](std::size_t index, page_outcome outcome,
                      const std::vector<std::string>& lines, bool count) {
        done[index] = 1;
        const std::string& page = rows[index].page;
        result.pages_made.insert(page);
        if (outcome == page_outcome::stopped) stopped = true;
        if (!count) return;
        if (outcome == page_outcome::written) {
            ++result.written;
            result.written_pages.push_back(page);
        } else if (outcome == page_outcome::unchanged) {
            ++result.unchanged;
        }
        if (is_problem(outcome) || !lines.empty()) {
            ++result.with_problems;
            auto& kept = result.problems[page];
            kept.insert(kept.end(), lines.begin(), lines.end());
            result.report.insert(result.report.end(), lines.begin(), lines.end());
        } else {
            result.problems.erase(page);
        }
    };
    auto make = [&](std::size_t index) {
        line_list row_report;
        null_status_port row_status;
        const page_outcome outcome = run.generate_row(static_cast<std::int64_t>(index) + 1,
                                                      row_count, row_report, row_status);
        record(index, outcome, row_report.lines, true);
    };
    auto cancelled = [&] { return request.cancel.stop_requested(); };

    // Pages open in a browser first, so their tabs reload without waiting
    // for the rest of the site.
    if (!request.first_pages.empty()) {
        for (std::size_t i = 0; i < rows.size() && !stopped && !cancelled(); ++i) {
            if (wanted(rows[i]) && request.first_pages.count(rows[i].page)) make(i);
        }
        result.written_early = result.written_pages.size();
        if (first_ready && result.written_early > 0) first_ready(result.written_pages);
    }
    const bool every_row = std::all_of(rows.begin(), rows.end(), wanted);
    if (every_row && !stopped && !cancelled()) {
        // Every row: on every core, as `generate` makes them. The pages made
        // first come round again and are then left unchanged.
        line_list row_report;
        generator::parallel_options parallel;
        parallel.run = options;
        parallel.report = &row_report;
        parallel.status = &status;
        parallel.stop = request.cancel;
        parallel.progress = [&](std::int64_t row, std::int64_t, page_outcome outcome,
                                const std::string&) {
            const auto index = static_cast<std::size_t>(row - 1);
            if (index < rows.size()) record(index, outcome, row_report.lines, !done[index]);
            row_report.clear();
        };
        generator::make_pages(run, settings, row_count, parallel);
    } else {
        for (std::size_t i = 0; i < rows.size() && !stopped && !cancelled(); ++i) {
            // A page several rows write is left as the last of them made it.
            if (wanted(rows[i]) && (!done[i] || writers[rows[i].page] > 1)) make(i);
        }
    }
    // Stopped for newer edits before every row it was to make was made.
    for (std::size_t i = 0; i < rows.size() && cancelled() && !stopped; ++i) {
        if (wanted(rows[i]) && !done[i]) result.cancelled = true;
    }
    run.close();
    return finish();
}

}  // namespace korvane::live
