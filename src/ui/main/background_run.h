// SPDX-License-Identifier: Apache-2.0
// A generation run on a thread of its own, so the window keeps painting and
// answers Stop and Exit while a slow page is made. The run's status, report
// lines and progress are handed over under a lock and shown by the window's
// thread at a steady beat; a message the run shows waits for the window's
// thread, which shows it as any other box.
#pragma once

#include "data/settings.h"
#include "generator/page_generator.h"
#include "ports/host_ports.h"

#include <functional>
#include <string>
#include <vector>

class QObject;

namespace korvane::ui {

// What the window's thread gets from a run, every beat and at its end.
struct run_feed {
    bool cleared = false;             // the report was cleared first
    std::vector<std::string> lines;   // report lines since the last beat
    bool status_changed = false;
    std::string status;
    std::int64_t row = 0;  // the last main row done, of
    std::int64_t count = 0;
};

// The percentage shown for row of count, rounded as the status line rounds it.
int run_percent(std::int64_t row, std::int64_t count);

struct background_run_hooks {
    QObject* gui = nullptr;         // the window: messages are shown on its thread
    message_port* messages = nullptr;  // the window's boxes; null: none
    int beat_ms = 50;
    std::function<void(run_feed&&)> show;  // on the window's thread
};

// Runs `run` (given ports that are safe to use from its thread) and returns
// when it has ended; meanwhile the calling (window) thread runs its event
// loop. options.messages and options.events are replaced.
using run_body = std::function<void(const generator::run_options& options, status_port& status,
                                    error_list_target& report)>;
void run_in_background(const generator::run_options& options, const run_body& run,
                       const background_run_hooks& hooks);

}  // namespace korvane::ui
