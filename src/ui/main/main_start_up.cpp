// SPDX-License-Identifier: Apache-2.0
// The window's start-up: the command line, the unattended "/auto" run and
// the count-down that ends the program after it.
#include "ui/main/frm_main.h"

#include "ui/support/qt_text.h"
#include "ui/support/widget_helpers.h"

#include <QFileInfo>
#include <QTimer>

namespace korvane::ui {

command_line_request parse_command_line(const QStringList& arguments) {
    command_line_request request;
    QStringList args = arguments;
    for (QString& a : args) a.remove(u'"');
    request.line = args.join(u' ');
    request.file = request.line;
    if (!args.isEmpty() && args.first() == QStringLiteral("/auto")) {
        request.automatic = true;
        QString rest = request.line.mid(5);
        while (rest.startsWith(u' ')) rest.remove(0, 1);
        request.file = rest;
    } else if (request.line.startsWith(QStringLiteral("/auto")) &&
               !QFileInfo::exists(request.line)) {
        request.automatic = true;
        request.file = request.line.mid(5);
    }
    return request;
}


void frm_main::start_up(const QStringList& arguments) {
    reset_settings(current_database_, current_recordset_, current_settings_);
    update_control_states();
    if (services_.show_splash) services_.show_splash(this);
    setWindowTitle(QStringLiteral("Korvane"));
    show();
    if (process_command_line(arguments) == 2) {
        // The unattended run uses the record as the file gave it, even when
        // showing it could not open the database: the run's report says why.
        run_generation(auto_settings_);
        if (ended_) return;  // closed during the run
        exit_countdown_ = 5;
        tim_exit_timer_->start();
    }
}

std::int16_t frm_main::process_command_line(const QStringList& arguments) {
    const command_line_request request = parse_command_line(arguments);
    if (trim_blanks(request.line).isEmpty()) return -1;
    if (!request.line.endsWith(QStringLiteral(".kvn"))) {
        show_message("Korvane - Invalid file for Automatic Generate",
                     "The Korvane settings file you specified at the command line is not "
                     "valid:\r\r" +
                         ss(request.line),
                     message_icon::exclamation);
        return -1;
    }
    // Made absolute, so the caption, File > Save and the relative names in the
    // file all work from wherever the program was started.
    const QString path =
        request.file.isEmpty() ? request.file : QFileInfo(request.file).absoluteFilePath();
    if (read_settings_file(current_settings_, ss(path)) == -1) {
        show_message(
            "Korvane - Automatic Generate Error",
            "There were problems trying to read the Korvane settings file: \r\r" + ss(request.file),
            message_icon::critical);
        return -1;
    }
    set_caption_from(ss(path));
    auto_settings_ = current_settings_;
    show_loaded_settings();
    return request.automatic ? 2 : 1;
}

void frm_main::on_exit_timer_tick() {
    --exit_countdown_;
    set_status(
        QStringLiteral(" Automatically exiting Korvane in %1 seconds...").arg(exit_countdown_));
    if (exit_countdown_ <= 0) {
        tim_exit_timer_->stop();
        end_program();
    }
}

void frm_main::end_program() {
    if (ended_) return;
    ended_ = true;
    tim_exit_timer_->stop();
    stop_preview();
    if (services_.end_program) services_.end_program();
}


}  // namespace korvane::ui
