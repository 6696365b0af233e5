// SPDX-License-Identifier: Apache-2.0
// The command line of korvane-cli: what to do, on which settings file, how.
// The commands and their options are tables in cli_options.cpp: a new option
// is one row there and one field here.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane::cli {

enum class command { generate, check, watch, serve, help, version };

enum class report_format { text, json };

struct local_time {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct cli_options {
    command what = command::help;
    std::string settings_file;
    bool quiet = false;
    bool verbose = false;
    std::string report_file;
    std::string status_log_file;
    unsigned jobs = 0;  // 0: one per idle core
    std::optional<local_time> now;
    bool no_row_limit = false;
    bool no_wait = false;  // another run writes to the output folder: end at once
    bool confine = false;  // refuse rows whose template or page leaves its folder
    // watch and serve
    int poll_seconds = 0;  // 0: an ODBC source is not polled
    int port = 8000;
    std::string bind_address = "127.0.0.1";
    bool open_browser = false;
    // --shard K/N: only the rows of part K (from 0) of N; count 0: not given.
    unsigned shard_index = 0;
    unsigned shard_count = 0;
    report_format format = report_format::text;
    bool clean = false;
    std::string sql_dialect;  // "access" or "native" over the settings file's; "" keeps it
};

// Exit statuses, as scripts see them.
enum exit_status : int {
    exit_ok = 0,
    exit_problems = 1,
    exit_usage = 2,
    exit_settings_unreadable = 3,
    exit_database_unopened = 4,
    exit_folder_busy = 5,     // --no-wait and another run writes to the output folder
    exit_interrupted = 130,   // SIGINT
    exit_terminated = 143,    // SIGTERM
};

// Parses argv (without the program name), GNU style: --opt=value or --opt
// value, -j4, bundled short options, "--" ending the options. On a usage
// error returns nullopt and sets error to a one-line reason.
std::optional<cli_options> parse_command_line(const std::vector<std::string>& args,
                                              std::string& error);

// "K/N" with 0 <= K < N: the part and the count; nullopt otherwise.
std::optional<std::pair<unsigned, unsigned>> parse_shard(const std::string& text);

// "YYYY-MM-DDTHH:MM:SS", a real date and time; nullopt otherwise.
std::optional<local_time> parse_timestamp(const std::string& text);

// --help: the commands and, for each, the options it takes.
std::string usage_text();

}  // namespace korvane::cli
