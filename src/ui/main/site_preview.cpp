// SPDX-License-Identifier: Apache-2.0
#include "ui/main/site_preview.h"

#include "live/live_site.h"
#include "live/site_server.h"

#include <QUrl>

namespace korvane::ui {

site_preview::site_preview(desktop_port* desktop, status_function status)
    : desktop_(desktop), status_(std::move(status)) {}

site_preview::~site_preview() { stop(); }

QString site_preview::address() const { return server_ ? server_->address_text() : QString(); }

bool site_preview::start(const std::string& settings_file, QString& error) {
    stop();
    live::live_options options;
    options.settings_file = settings_file;
    site_ = std::make_unique<live::live_site>(options);
    server_ = std::make_unique<live::site_server>(
        [this](const std::string& page) { return site_->problems_of(page); });
    // This machine only, on a port nothing else holds.
    if (!server_->start(QHostAddress::LocalHost, 0, error)) {
        server_.reset();
        site_.reset();
        return false;
    }
    site_->set_open_pages([this] { return server_->open_pages(); });
    site_->on_pages_changed([this](const std::vector<std::string>& pages) {
        server_->set_site_folder(site_->site_folder());
        server_->pages_changed(pages);
    });
    site_->on_rebuilt([this, first = true](const live::rebuild_result& r,
                                           const live::change_set& changes) mutable {
        server_->set_site_folder(r.site_folder);
        const QString what = first ? QStringLiteral("generated")
                                   : QString::fromStdString(changes.describe());
        QString text = QStringLiteral(" Preview at %1 - %2: %3 pages written, %4 with problems")
                           .arg(server_->address_text(), what)
                           .arg(r.written)
                           .arg(r.with_problems);
        if (first) {
            QString page = server_->url_of(r.first_page);
            if (page.isEmpty()) page = server_->address_text();
            // Without a browser the address is still there to be opened by hand.
            if (!desktop_ || !desktop_->open_url(QUrl(page)))
                text = QStringLiteral(" No browser could be started: open %1").arg(page);
        }
        status_(text);
        first = false;
    });
    status_(QStringLiteral(" Preview at %1 - generating...").arg(server_->address_text()));
    site_->start();
    return true;
}

void site_preview::stop() {
    if (site_) site_->stop();
    server_.reset();
    site_.reset();
}

}  // namespace korvane::ui
