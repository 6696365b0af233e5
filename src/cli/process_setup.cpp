// SPDX-License-Identifier: Apache-2.0
#include "cli/process_setup.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace korvane::cli {

int run_cli_program(int argc, char** argv, const std::function<int(const cli_options&)>& command) {
    // SQLite's allocation statistics take one process-wide lock on every
    // allocation, which threads rendering pages side by side would queue on.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    // A reader that goes away (| head) must not end a run in the middle of a
    // page: writes to it fail instead, and the run goes on to its end.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        // Qt SQL loads its drivers as plugins, which needs an application object.
        QCoreApplication app(argc, argv);
        std::vector<std::string> args(argv + 1, argv + argc);
        std::string error;
        const auto options = parse_command_line(args, error);
        if (!options) {
            std::fprintf(stderr, "korvane-cli: %s\n\n%s", error.c_str(), usage_text().c_str());
            return exit_usage;
        }
        return command(*options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvane-cli: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "korvane-cli: an unexpected error ended the run\n");
    }
    return exit_problems;
}

}  // namespace korvane::cli
