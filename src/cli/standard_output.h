// SPDX-License-Identifier: Apache-2.0
// Standard output is often read by another program that may go away first
// (korvane-cli ... | head). SIGPIPE is ignored, so a write there fails
// instead of ending the program: the first failure is said once on standard
// error and the command goes on (pages are still written).
#pragma once

#include <string_view>

namespace korvane::cli {

// Writes text to standard output and flushes it.
void write_standard_output(std::string_view text);

// Flushes standard output, saying so once if it is closed.
void flush_standard_output();

}  // namespace korvane::cli
