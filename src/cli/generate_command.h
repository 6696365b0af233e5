// SPDX-License-Identifier: Apache-2.0
// `korvane-cli generate`: one run over the main result, on one or more
// threads, with the error report on standard error.
#pragma once

#include "cli/cli_options.h"

namespace korvane::cli {

int generate_command(const cli_options& options);

}  // namespace korvane::cli
