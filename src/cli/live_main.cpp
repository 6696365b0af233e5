// SPDX-License-Identifier: Apache-2.0
// korvane-cli-live: korvane-cli's watch and serve, which korvane-cli hands
// over to with the same arguments.
#include "cli/cli_options.h"
#include "cli/process_setup.h"
#include "cli/watch_command.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace korvane::cli;
    set_up_cli_process();
    try {
        QCoreApplication app(argc, argv);
        std::vector<std::string> args(argv + 1, argv + argc);
        std::string error;
        const auto options = parse_command_line(args, error);
        if (!options || (options->what != command::watch && options->what != command::serve)) {
            std::fprintf(stderr, "korvane-cli-live: %s\n\n%s",
                         options ? "runs watch and serve only" : error.c_str(), usage_text().c_str());
            return exit_usage;
        }
        return watch_command(*options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvane-cli: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "korvane-cli: an unexpected error ended the run\n");
    }
    return exit_problems;
}
