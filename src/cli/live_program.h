// SPDX-License-Identifier: Apache-2.0
// `watch` and `serve` run in a program of their own, korvane-cli-live, which
// korvane-cli becomes when asked for them: the web server's libraries then
// load only for the edit loop, and every other command starts without them.
#pragma once

namespace korvane::cli {

// Replaces this process with korvane-cli-live, given the same arguments.
// Returns only when it cannot be started, having said why on stderr; the
// exit status to end with.
int run_live_program(char** argv);

}  // namespace korvane::cli
