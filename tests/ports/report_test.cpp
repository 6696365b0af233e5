// SPDX-License-Identifier: Apache-2.0
// The run's error report: lines written in order, and read back as problems.
#include "ports/log_errors.h"
#include "ports/report_problems.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(log_errors, lines_arrive_in_order_and_a_second_run_starts_empty) {
    memory_error_list list;
    log_errors report;
    report.add_error_line("lost: no list yet");  // without a list nothing happens
    report.add_blank_error_line();
    report.clear_error_list();
    report.set_error_list(&list);
    report.clear_error_list();
    report.add_error_line("Problem running SQL for MAIN table:");
    report.add_error_line("    SQL: select");
    report.add_blank_error_line();
    EXPECT_EQ(list.lines(),
              (std::vector<std::string>{"Problem running SQL for MAIN table:", "    SQL: select", ""}));

    report.clear_error_list();
    EXPECT_TRUE(list.lines().empty());
}

TEST(report_problems, a_report_reads_back_as_its_problems) {
    const std::vector<std::string> report = {
        "Starting Korvane page generator...", "",
        "Template does not exist or contains no text ", "(check the path and filename):",
        "    Template: templates/missing.html", "",
        "Problem running SQL for MAIN table:", "    near \"-\": syntax error",
        "    SQL: select * from my-pages; ", "",
        "IF statement is missing data", "    IF TAG: a = ",
        "Process complete. 0 files generated",
    };
    const auto problems = problems_of_report(report);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].kind, "template_missing");
    EXPECT_EQ(problems[0].message, "Template does not exist or contains no text (check the path and filename):");
    EXPECT_EQ(problems[0].detail("Template"), "templates/missing.html");
    EXPECT_EQ(problems[0].lines.size(), 3u);
    EXPECT_EQ(problems[1].kind, "main_sql_failed");
    ASSERT_EQ(problems[1].descriptions.size(), 1u);
    EXPECT_EQ(problems[1].descriptions[0], "near \"-\": syntax error");
    EXPECT_EQ(problems[1].detail("SQL"), "select * from my-pages; ");
    // A problem without its empty line ends at the completion line.
    EXPECT_EQ(problems[2].kind, "if_missing_data");
    EXPECT_EQ(problems[2].detail("IF TAG"), "a = ");
    EXPECT_EQ(problem_kind("Something new"), "other");
}

}  // namespace
}  // namespace korvane
