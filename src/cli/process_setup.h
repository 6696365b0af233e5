// SPDX-License-Identifier: Apache-2.0
// How korvane-cli and korvane-cli-live run a command: the process set up
// before any database is opened or any output written, the command line read,
// and no exception let out.
#pragma once

#include "cli/cli_options.h"

#include <functional>

namespace korvane::cli {

// Runs command with the options of the command line; a command line that
// cannot be read ends with its reason, the usage and exit_usage, and an
// exception that escapes command with exit_problems, said on stderr. The
// exit status.
int run_cli_program(int argc, char** argv, const std::function<int(const cli_options&)>& command);

}  // namespace korvane::cli
