// The command line of korvane-cli: what to do, on which settings file, how.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane::cli {

enum class command { generate, check, watch, serve, help, version };

struct local_time {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct cli_options {
    command what = command::help;
    std::string settings_file;
    bool quiet = false;
    std::string report_file;
    std::string status_log_file;
    unsigned jobs = 0;  // 0: one per core
    std::optional<local_time> now;
    bool no_row_limit = false;
    // watch and serve
    int poll_seconds = 0;  // 0: an ODBC source is not polled
    int port = 8000;
    std::string bind_address = "127.0.0.1";
    bool open_browser = false;
    std::string sql_dialect;  // "access" or "native" over the settings file's; "" keeps it
};

// Exit statuses, as scripts see them.
enum exit_status : int {
    exit_ok = 0,
    exit_problems = 1,
    exit_usage = 2,
    exit_settings_unreadable = 3,
    exit_database_unopened = 4,
    exit_interrupted = 130,   // SIGINT
    exit_terminated = 143,    // SIGTERM
};

// Parses argv (without the program name). On a usage error returns nullopt
// and sets error to a one-line reason.
std::optional<cli_options> parse_command_line(const std::vector<std::string>& args,
                                              std::string& error);

// "YYYY-MM-DDTHH:MM:SS", a real date and time; nullopt otherwise.
std::optional<local_time> parse_timestamp(const std::string& text);

const char* usage_text();

}  // namespace korvane::cli
