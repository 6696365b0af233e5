// SPDX-License-Identifier: Apache-2.0
// The real services of the main window: Qt's message boxes, dialogs and
// desktop, the splash and About windows, the wizard, the documentation files
// and QCoreApplication::exit. Shared by the program and the screenshots.
#pragma once

#include "ui/main/main_services.h"
#include "ui/support/file_dialog.h"

#include <QDialog>
#include <QPointer>

#include <memory>

namespace korvane::ui {

class program_services {
public:
    program_services();
    ~program_services();
    program_services(const program_services&) = delete;
    program_services& operator=(const program_services&) = delete;

    main_services services();
    // The window message boxes and the About window belong to.
    void set_owner(QWidget* owner) { messages_.owner = owner; }

private:
    class owned_messages final : public message_port {
    public:
        void show_message(const std::string& caption, const std::string& text,
                          message_icon icon) override;
        QWidget* owner = nullptr;
    };

    owned_messages messages_;
    qt_file_dialog dialogs_;
    qt_desktop desktop_;
    QPointer<QDialog> about_;
};

}  // namespace korvane::ui
