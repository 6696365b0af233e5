// SPDX-License-Identifier: Apache-2.0
#include "ports/log_errors.h"

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

}  // namespace
}  // namespace korvane
