// SPDX-License-Identifier: Apache-2.0
// What the programs that draw the documentation's pictures share: ports that
// nobody answers, the offscreen application around their work and the saving
// of a window's picture.
#pragma once

#include "ports/host_ports.h"
#include "ui/support/ui_ports.h"

#include <QDir>
#include <QString>

#include <functional>

class QWidget;

namespace korvane::ui::screenshot {

// Nobody is there to answer: any message spoils the picture (it throws).
class failing_messages final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text, message_icon) override;
};

// Every dialog is cancelled; the desktop opens nothing.
class no_dialogs final : public file_dialog_port {
public:
    QString ask(QWidget*, const dialog_request&) override { return {}; }
};
class no_desktop final : public desktop_port {
public:
    bool open_url(const QUrl&) override { return false; }
};

// Shows the window, lets it paint and writes it as folder/name (printing
// the path); throws when the file cannot be written.
void save(QWidget& window, const QDir& folder, const QString& name);

// An offscreen QApplication with a steady text cursor (the same picture at
// every run), then draw(argv) when there are at least min_args arguments:
// 0 when it returns, 1 with the message when it throws, 2 after the usage.
int run(int argc, char** argv, int min_args, const char* usage,
        const std::function<void(char** argv)>& draw);

}  // namespace korvane::ui::screenshot
