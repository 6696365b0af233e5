// SPDX-License-Identifier: Apache-2.0
// Everything the main window needs that is not a widget of its own: message
// boxes, dialogs, the desktop, ending the program, the splash and About
// windows, the wizard, the help files and the timers' intervals. The program
// plugs in the real ones; tests plug in recorders and short intervals.
#pragma once

#include "ports/host_ports.h"
#include "data/settings.h"
#include "ui/support/ui_ports.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace korvane::ui {

// Shows the set-up wizard modally: the record collected at Finish, nothing
// when it was cancelled.
using wizard_function = std::function<std::optional<GenerationSettings>(
    QWidget* owner, message_port& messages, file_dialog_port& dialogs)>;

struct main_services {
    message_port* messages = nullptr;
    file_dialog_port* dialogs = nullptr;
    desktop_port* desktop = nullptr;
    end_program_function end_program;
    // Modal windows of their own; empty: nothing is shown.
    std::function<void(QWidget* owner)> show_splash;
    std::function<void(QWidget* owner)> show_about;
    wizard_function run_wizard;
    // The data source names offered while typing an ODBC DSN.
    std::function<std::vector<std::string>()> odbc_sources;
    // The full path of a file that ships beside the program ("korvane_documentation.html",
    // "release notes.txt"); where it ought to be when it is missing.
    std::function<QString(const QString& file_name)> help_file;
    int exit_timer_interval_ms = 1000;
    // Pending events run at most this often during a generation run.
    int run_event_interval_ms = 20;
};

}  // namespace korvane::ui
