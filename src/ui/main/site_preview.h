// SPDX-License-Identifier: Apache-2.0
// Run > Preview in browser: the edit loop of korvane-cli serve inside the
// window, on a free port of this machine. The window only starts it, stops it
// and shows what it says in the status line.
#pragma once

#include "ui/support/ui_ports.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

namespace korvane::live {
class live_site;
class site_server;
}  // namespace korvane::live

namespace korvane::ui {

class site_preview {
public:
    using status_function = std::function<void(const QString& text)>;

    site_preview(desktop_port* desktop, status_function status);
    ~site_preview();
    site_preview(const site_preview&) = delete;
    site_preview& operator=(const site_preview&) = delete;

    // Generates the site of the settings file, serves it and opens the first
    // row's page once it is written. False with a reason when the server
    // cannot listen.
    bool start(const std::string& settings_file, QString& error);
    void stop();
    bool running() const { return server_ != nullptr; }
    // "http://127.0.0.1:PORT/" while running.
    QString address() const;

private:
    desktop_port* desktop_;
    status_function status_;
    std::unique_ptr<live::live_site> site_;
    std::unique_ptr<live::site_server> server_;
};

}  // namespace korvane::ui
