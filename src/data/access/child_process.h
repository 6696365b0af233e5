// SPDX-License-Identifier: Apache-2.0
// Runs a piece of work in a forked child with CPU, memory and time limits,
// its standard streams on /dev/null, while the caller keeps watching for a
// stop. libmdb can loop or allocate without end on a damaged file; this is
// how such a file is kept from taking the program with it.
#pragma once

#include "ports/stop_token.h"

#include <cstdint>
#include <functional>

namespace korvane::data::access {

struct child_limits {
    unsigned cpu_seconds = 10;
    unsigned wall_seconds = 30;
    std::uint64_t memory_bytes = 512u << 20;  // on top of what the program already uses
};

enum class child_outcome {
    succeeded,     // the work returned 0
    failed,        // it returned another value, crashed or ran out of memory
    over_limit,    // killed for taking too long or too much memory
    stalled,       // killed for waiting without using the CPU (a lock held at the fork)
    stopped,       // a stop was asked while waiting
    cannot_start,  // fork failed
};

// work runs in the child; its result is the child's exit status, stored in
// *exit_status (when given) for a child that exited.
child_outcome run_in_child(const std::function<int()>& work, const child_limits& limits,
                           stop_token stop, int* exit_status = nullptr);

}  // namespace korvane::data::access
