// SPDX-License-Identifier: Apache-2.0
#include "cli/standard_output.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace korvane::cli {
namespace {

std::atomic<bool> failure_said{false};

}  // namespace

void flush_standard_output() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return;
    const int error = errno;
    std::clearerr(stdout);
    if (failure_said.exchange(true)) return;
    if (error == EPIPE) {
        std::fputs("korvane-cli: standard output is closed (its reader went away); the command goes on "
                   "without it\n",
                   stderr);
    } else {
        std::fprintf(stderr, "korvane-cli: standard output cannot be written (%s); the command goes on "
                             "without it\n",
                     std::strerror(error));
    }
}

void write_standard_output(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    flush_standard_output();
}

}  // namespace korvane::cli
