// SPDX-License-Identifier: Apache-2.0
#include "ui/main/program_services.h"

#include "data/odbc/odbc_sources.h"
#include "ui/support/frm_about.h"
#include "ui/support/frm_splash.h"
#include "ui/support/qt_ports.h"
#include "ui/wizard/show_wizard.h"

#include <QCoreApplication>

namespace korvane::ui {

program_services::program_services() = default;
program_services::~program_services() = default;

void program_services::owned_messages::show_message(const std::string& caption,
                                                    const std::string& text, message_icon icon) {
    message_box_adapter(owner).show_message(caption, text, icon);
}

main_services program_services::services() {
    main_services s;
    s.messages = &messages_;
    s.dialogs = &dialogs_;
    s.desktop = &desktop_;
    s.end_program = [] { QCoreApplication::exit(0); };
    s.show_splash = [](QWidget* owner) {
        frm_splash splash(owner);
        splash.exec();
    };
    // One About window for the program's life: OK hides it, the next Help >
    // About shows it again.
    s.show_about = [this](QWidget* owner) {
        if (!about_) about_ = new frm_about(desktop_, owner);  // the owner deletes it
        about_->exec();
    };
    s.run_wizard = show_korvane_wizard;
    s.odbc_sources = data::odbc_data_source_names;
    s.help_file = [](const QString& name) {
        const QString found = find_file_in(documentation_folders(), name);
        return found.isEmpty() ? QCoreApplication::applicationDirPath() + u'/' + name : found;
    };
    return s;
}

}  // namespace korvane::ui
