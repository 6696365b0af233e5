// SPDX-License-Identifier: Apache-2.0
// korvane-cli-live: korvane-cli's watch and serve, which korvane-cli hands
// over to with the same arguments.
#include "cli/cli_options.h"
#include "cli/process_setup.h"
#include "cli/watch_command.h"

#include <cstdio>

int main(int argc, char** argv) {
    using namespace korvane::cli;
    return run_cli_program(argc, argv, [](const cli_options& options) -> int {
        if (options.what != command::watch && options.what != command::serve) {
            std::fprintf(stderr, "korvane-cli-live: runs watch and serve only\n\n%s", usage_text().c_str());
            return exit_usage;
        }
        return watch_command(options);
    });
}
