// SPDX-License-Identifier: Apache-2.0
#include "cli/process_setup.h"

#include <sqlite3.h>

#include <csignal>

namespace korvane::cli {

void set_up_cli_process() {
    // SQLite's allocation statistics take one process-wide lock on every
    // allocation, which threads rendering pages side by side would queue on.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    // A reader that goes away (| head) must not end a run in the middle of a
    // page: writes to it fail instead, and the run goes on to its end.
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace korvane::cli
