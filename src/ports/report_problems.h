// SPDX-License-Identifier: Apache-2.0
// The error report read back as data. Every problem in it is a first line
// naming the problem, detail lines that begin with four blanks ("    SQL: ",
// "    Template: ", or a description) and an empty line. Tools that want the
// report as data (korvane-cli --format json) read it from those lines, so
// the text the window and the terminal show stays the single source.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct report_problem {
    std::string kind;     // a fixed word per problem: "template_missing", ...; "other"
    std::string message;  // the naming line(s), joined
    std::vector<std::string> descriptions;                      // unlabelled detail lines
    std::vector<std::pair<std::string, std::string>> details;   // "Template", "SQL", ...
    std::vector<std::string> lines;  // the problem's lines as the report has them

    // The value of the detail with this label, or "".
    std::string detail(std::string_view label) const;
};

// The problems among lines; the start and completion lines of a run are no
// problems.
std::vector<report_problem> problems_of_report(const std::vector<std::string>& lines);

// The kind of problem a report's naming line starts.
std::string problem_kind(std::string_view first_line);

}  // namespace korvane
