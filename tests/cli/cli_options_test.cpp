// SPDX-License-Identifier: Apache-2.0
#include "cli/cli_options.h"
#include "../support/case_table.h"

#include <cstdio>

namespace korvane::cli {
namespace {

// The parsed options as one line: the command, the file and every option
// that is not at its default.
std::string describe(const cli_options& o) {
    if (o.what == command::help) return "help";
    if (o.what == command::version) return "version";
    static const char* const names[] = {"generate ", "check ", "watch ", "serve "};
    std::string text = names[static_cast<int>(o.what)] + o.settings_file;
    if (o.quiet) text += " quiet";
    if (o.verbose) text += " verbose";
    if (!o.report_file.empty()) text += " report=" + o.report_file;
    if (!o.status_log_file.empty()) text += " status-log=" + o.status_log_file;
    if (o.jobs) text += " jobs=" + std::to_string(o.jobs);
    if (o.now) {
        char when[32];
        std::snprintf(when, sizeof when, "%04d-%02d-%02dT%02d:%02d:%02d", o.now->year, o.now->month,
                      o.now->day, o.now->hour, o.now->minute, o.now->second);
        text += std::string(" now=") + when;
    }
    if (o.no_row_limit) text += " no-row-limit";
    if (o.poll_seconds) text += " poll=" + std::to_string(o.poll_seconds);
    if (o.port != 8000) text += " port=" + std::to_string(o.port);
    if (o.bind_address != "127.0.0.1") text += " bind=" + o.bind_address;
    if (o.open_browser) text += " open";
    if (o.clean) text += " clean";
    if (o.format == report_format::json) text += " format=json";
    if (o.no_wait) text += " no-wait";
    if (o.confine) text += " confine";
    if (o.shard_count) text += " shard=" + std::to_string(o.shard_index) + "/" + std::to_string(o.shard_count);
    if (!o.sql_dialect.empty()) text += " sql-dialect=" + o.sql_dialect;
    return text;
}

TEST(command_line, parses_as_the_table_says) {
    for (const auto& row : test::read_case_table("cli/command_lines.tsv", 2)) {
        std::vector<std::string> args;
        std::istringstream words(row[0]);
        for (std::string word; std::getline(words, word, ' ');) args.push_back(word);
        std::string error;
        const auto options = parse_command_line(args, error);
        test::expect_outcome(options ? describe(*options) : "error: " + error, row[1], row.where);
    }
}

TEST(command_line, help_lists_every_option_under_the_commands_that_take_it) {
    const std::string help = usage_text();
    const auto check_part = help.substr(help.find("\ncheck "));
    EXPECT_NE(check_part.find("--no-row-limit"), std::string::npos);
    EXPECT_EQ(check_part.find("--jobs"), std::string::npos);
    EXPECT_NE(help.find("-j, --jobs N"), std::string::npos);
}

}  // namespace
}  // namespace korvane::cli
