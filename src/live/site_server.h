// SPDX-License-Identifier: Apache-2.0
// The local web server of the edit loop: the generated folder over HTTP (GET
// and HEAD only, nothing outside the folder), HTML pages with the reload
// script and any problem overlay added as they are served, and the event
// stream that tells each open tab when its page was rewritten.
#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace korvane::live {

class site_server final : public QAbstractHttpServer {
public:
    // The report lines of a page (canonical file name); empty for a good page.
    using problems_function = std::function<std::vector<std::string>(const std::string& page)>;

    explicit site_server(problems_function problems);
    ~site_server() override;

    // False with the reason in error when the address cannot be listened on.
    // Port 0 takes a free port.
    bool start(const QHostAddress& address, quint16 port, QString& error);
    quint16 port() const { return port_; }
    QString address_text() const;  // "http://127.0.0.1:8000/"
    // The address of a page of the site (canonical file name); empty when it
    // is not inside the folder.
    QString url_of(const std::string& page) const;

    void set_site_folder(const std::string& canonical_folder);
    // The pages the connected tabs show (canonical).
    std::set<std::string> open_pages();
    // Tells the tabs showing one of these pages to reload.
    void pages_changed(const std::vector<std::string>& pages);
    int tabs_listening();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    void serve_events(const QHttpServerRequest& request, QTcpSocket* socket);
    void prune_tabs();

    struct tab {
        QPointer<QTcpSocket> socket;
        std::string page;
    };
    problems_function problems_;
    QString site_folder_;
    QHostAddress address_;
    quint16 port_ = 0;
    std::vector<tab> tabs_;
};

}  // namespace korvane::live
