// SPDX-License-Identifier: Apache-2.0
// Recorders for what a run shows a window (captions, message boxes, event
// pumps) and a fixed clock, for the end-to-end tests of the generator; the
// widget tests record their message boxes with the same recorder.
#pragma once

#include "ports/host_ports.h"
#include "generator/date_text.h"

#include <functional>
#include <string>
#include <vector>

namespace korvane::test {

class recording_status final : public status_port {
public:
    void set_status(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

struct shown_message {
    std::string caption, text;
    message_icon icon;
    bool operator==(const shown_message&) const = default;
};

class recording_messages final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text,
                      message_icon icon) override {
        shown.push_back({caption, text, icon});
    }
    std::vector<shown_message> shown;
};

// Counts the times the run lets the window work; a test can act then.
class recording_pump final : public event_pump {
public:
    void process_pending_events() override {
        ++calls;
        if (on_pump) on_pump();
    }
    int calls = 0;
    std::function<void()> on_pump;
};

inline generator::local_date_time fixed_time() { return {2026, 12, 5, 14, 7, 9}; }

}  // namespace korvane::test
