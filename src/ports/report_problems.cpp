// SPDX-License-Identifier: Apache-2.0
#include "ports/report_problems.h"

#include <cctype>

namespace korvane {
namespace {

struct kind_row {
    std::string_view start;
    std::string_view kind;
};

// How each problem of the generator starts.
constexpr kind_row kinds[] = {
    {"Error opening database:", "database_unopened"},
    {"Problem running SQL for MAIN table:", "main_sql_failed"},
    {"Field not found in MAIN table:", "main_field_missing"},
    {"Template does not exist or contains no text", "template_missing"},
    {"Error opening file for writing:", "output_unopened"},
    {"Error writing file:", "output_unwritten"},
    {"Problem running SQL for repeating section:", "repeat_sql_failed"},
    {"Too many nested repeating sections", "repeat_too_deep"},
    {"Too many nested sections", "sections_too_deep"},
    {"IF statement is missing data", "if_missing_data"},
    {"IF statement contains an invalid function", "if_invalid_function"},
    {"Error encountered trying to evaluate expression", "if_expression_failed"},
    {"Generation stopped by the user.", "stopped"},
    {"Error generating pages:", "run_failed"},
    {"Template outside its folder", "template_outside_folder"},
    {"Template behind a symbolic link", "template_behind_link"},
    {"Page outside its folder", "page_outside_folder"},
    {"Page behind a symbolic link", "page_behind_link"},
};

constexpr std::string_view indent = "    ";

bool is_run_line(const std::string& line) {
    return line == "Starting Korvane page generator..." || line.starts_with("Process complete. ");
}

}  // namespace

std::string report_problem::detail(std::string_view label) const {
    for (const auto& [name, value] : details) {
        if (name == label) return value;
    }
    return {};
}

std::string problem_kind(std::string_view first_line) {
    for (const auto& k : kinds) {
        if (first_line.starts_with(k.start)) return std::string(k.kind);
    }
    return "other";
}

std::vector<report_problem> problems_of_report(const std::vector<std::string>& lines) {
    std::vector<report_problem> problems;
    bool open = false;  // lines go to problems.back()
    for (const auto& line : lines) {
        if (line.empty() || is_run_line(line)) {
            open = false;
            continue;
        }
        const bool indented = line.starts_with(indent);
        // A naming line after details starts the next problem; one right
        // after another naming line continues it.
        if (!open || (!indented && !problems.back().details.empty()) ||
            (!indented && !problems.back().descriptions.empty())) {
            problems.emplace_back();
            problems.back().kind = problem_kind(line);
            open = true;
        }
        report_problem& p = problems.back();
        p.lines.push_back(line);
        if (!indented) {
            p.message += line;
            continue;
        }
        const std::string text = line.substr(indent.size());
        const auto colon = text.find(": ");
        // A label is one or two capitalised words ("SQL", "IF TAG"); a
        // description may hold ": " too, but further on.
        if (colon != std::string::npos && colon <= 10 && colon > 0 &&
            text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz ") >= colon &&
            std::isupper(static_cast<unsigned char>(text[0]))) {
            p.details.emplace_back(text.substr(0, colon), text.substr(colon + 2));
        } else {
            p.descriptions.push_back(text);
        }
    }
    return problems;
}

}  // namespace korvane
