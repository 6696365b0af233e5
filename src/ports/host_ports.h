// SPDX-License-Identifier: Apache-2.0
// What the core needs of a window, as small interfaces: the main window
// plugs in widgets, the command-line tool plugs in the terminal, tests plug in
// recorders. Nothing here knows of widgets.
#pragma once

#include <string>

namespace korvane {

enum class message_icon { none, critical, exclamation, information };

// A modal message with one OK button.
class message_port {
public:
    virtual ~message_port() = default;
    virtual void show_message(const std::string& caption, const std::string& text,
                              message_icon icon) = 0;
};

// The status line of the main window.
class status_port {
public:
    virtual ~status_port() = default;
    virtual void set_status(const std::string& text) = 0;
};

// Lets the window repaint and handle input during long work.
class event_pump {
public:
    virtual ~event_pump() = default;
    virtual void process_pending_events() = 0;
};

// A drop-down list of texts, as the table, query and field lists are.
class list_port {
public:
    virtual ~list_port() = default;
    virtual void clear() = 0;
    virtual void add_item(const std::string& text) = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    virtual void remove_item(int index) = 0;
};

// Stand-ins for a host that has no window: messages and status go nowhere.
class null_message_port final : public message_port {
public:
    void show_message(const std::string&, const std::string&, message_icon) override {}
};
class null_status_port final : public status_port {
public:
    void set_status(const std::string&) override {}
};
class null_event_pump final : public event_pump {
public:
    void process_pending_events() override {}
};

}  // namespace korvane
