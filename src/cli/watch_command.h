// SPDX-License-Identifier: Apache-2.0
// `korvane-cli watch` and `serve`: generate, then keep the pages in step with
// their sources until Ctrl+C; serve also puts them on a local web server.
#pragma once

#include "cli/cli_options.h"

namespace korvane::cli {

int watch_command(const cli_options& options);

}  // namespace korvane::cli
