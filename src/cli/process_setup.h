// SPDX-License-Identifier: Apache-2.0
// What korvane-cli and korvane-cli-live set up first, before any database is
// opened or any output written.
#pragma once

namespace korvane::cli {

void set_up_cli_process();

}  // namespace korvane::cli
