#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

std::optional<cli_options> parse(std::vector<std::string> args, std::string* error_out = nullptr) {
    std::string error;
    auto result = parse_command_line(args, error);
    if (error_out) *error_out = error;
    return result;
}

TEST(command_line, generate_with_every_option) {
    const auto o = parse({"generate", "site.kvn", "--quiet", "--report", "r.txt", "--status-log",
                          "s.txt", "--jobs", "3", "--now", "2024-02-29T23:59:59", "--no-row-limit",
                          "--sql-dialect", "native"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->what, command::generate);
    EXPECT_EQ(o->settings_file, "site.kvn");
    EXPECT_TRUE(o->quiet);
    EXPECT_EQ(o->report_file, "r.txt");
    EXPECT_EQ(o->status_log_file, "s.txt");
    EXPECT_EQ(o->jobs, 3u);
    ASSERT_TRUE(o->now);
    EXPECT_EQ(o->now->day, 29);  // a leap day
    EXPECT_EQ(o->now->second, 59);
    EXPECT_TRUE(o->no_row_limit);
    EXPECT_EQ(o->sql_dialect, "native");
}

TEST(command_line, help_and_version_win_over_everything_else) {
    EXPECT_EQ(parse({"generate", "--help"})->what, command::help);
    EXPECT_EQ(parse({"--version"})->what, command::version);
}

TEST(command_line, usage_errors_say_what_is_wrong) {
    std::string error;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"publish", "a.kvn"},
             {"generate"},
             {"generate", "a.kvn", "b.kvn"},
             {"generate", "a.kvn", "--jobs"},
             {"generate", "a.kvn", "--jobs", "0"},
             {"generate", "a.kvn", "--jobs", "two"},
             // a --now that is no real time, or not in the one form
             {"generate", "a.kvn", "--now", "2023-02-29T00:00:00"},
             {"generate", "a.kvn", "--now", "2024-13-01T00:00:00"},
             {"generate", "a.kvn", "--now", "2024-01-01T24:00:00"},
             {"generate", "a.kvn", "--now", "2024-01-01T00:00"},
             {"generate", "a.kvn", "--now", "2026-12-05 09:08:07"},
             {"generate", "a.kvn", "--sql-dialect", "postgresql"},
             {"generate", "a.kvn", "--colour"}}) {
        EXPECT_FALSE(parse(args, &error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace korvane::cli
