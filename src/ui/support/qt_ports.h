// SPDX-License-Identifier: Apache-2.0
// The core's ports over Qt widgets: message boxes, letting pending events
// run, a drop-down list and the error report's list box.
#pragma once

#include "ports/host_ports.h"
#include "ports/log_errors.h"

#include <QElapsedTimer>
#include <QString>

class QComboBox;
class QListWidget;
class QWidget;

namespace korvane::ui {

// A message's text as a box shows it: carriage returns (alone or before a
// line feed) become line breaks.
QString message_box_text(const std::string& text);

// A modal QMessageBox with one OK button, in plain text (paths and SQL hold
// "<"), showing the arrow even while the hourglass is up.
class message_box_adapter final : public message_port {
public:
    explicit message_box_adapter(QWidget* parent) : parent_(parent) {}
    void show_message(const std::string& caption, const std::string& text,
                      message_icon icon) override;

private:
    QWidget* parent_;
};

// Lets pending events run. With a minimum interval, calls that come sooner
// than that after the last real pump do nothing, so a run over many rows
// stays responsive without paying for the event loop at every row.
class qt_event_pump final : public event_pump {
public:
    explicit qt_event_pump(int minimum_interval_ms = 0) : interval_(minimum_interval_ms) {}
    void process_pending_events() override;

private:
    int interval_;
    QElapsedTimer since_last_;
};

// A drop-down list that never selects or signals when filled or emptied.
class combo_list_adapter final : public list_port {
public:
    explicit combo_list_adapter(QComboBox& box) : box_(box) {}
    void clear() override;
    void add_item(const std::string& text) override;
    int count() const override;
    std::string item(int index) const override;
    void remove_item(int index) override;

private:
    QComboBox& box_;
};

// The error report written into a list box.
class list_box_error_target final : public error_list_target {
public:
    explicit list_box_error_target(QListWidget& list) : list_(list) {}
    void clear() override;
    void add_line(const std::string& line) override;

private:
    QListWidget& list_;
};

}  // namespace korvane::ui
