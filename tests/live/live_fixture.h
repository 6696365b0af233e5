// SPDX-License-Identifier: Apache-2.0
// A small real site for the edit loop's tests: a SQLite database of six rows
// over two templates (site/), its settings file, the loop and its server on a
// free loopback port, and a raw HTTP client, so requests reach the server
// exactly as written (no client tidies "/../" away).
#pragma once

#include "live/live_site.h"
#include "live/site_server.h"
#include "sqlite_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace korvane::test {

// Runs the event loop until done() or the time is up (generous: waits, not
// timing checks).
inline bool wait_until(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct http_reply {
    int status = 0;
    std::string head;  // status line and headers
    std::string body;
};

// One request on its own connection, read to the server's end of it (or of
// the Content-Length).
inline http_reply raw_http(quint16 port, const std::string& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    http_reply reply;
    if (!wait_until([&] { return socket.state() == QAbstractSocket::ConnectedState; })) return reply;
    socket.write(request.data(), static_cast<qint64>(request.size()));
    std::string data;
    auto complete = [&] {
        data += socket.readAll().toStdString();
        const auto end = data.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        const bool head_only = request.starts_with("HEAD") || data.find(" 304 ") != std::string::npos;
        const auto at = data.find("Content-Length: ");
        if (head_only || at == std::string::npos) return true;
        return data.size() >= end + 4 + std::stoul(data.substr(at + 16));
    };
    wait_until([&] { return complete() || socket.state() != QAbstractSocket::ConnectedState; });
    const auto end = data.find("\r\n\r\n");
    if (data.size() < 12 || end == std::string::npos) return reply;
    reply.status = std::stoi(data.substr(9, 3));
    reply.head = data.substr(0, end);
    reply.body = data.substr(end + 4);
    return reply;
}

inline http_reply http_get(quint16 port, const std::string& path, const std::string& extra = "") {
    return raw_http(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra +
                              "Connection: close\r\n\r\n");
}

// The site of site/ (see its site.sql).
class live_site_test : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(KORVANE_SOURCE_DIR "/tests/live/site", folder.dir() / "templates");
        std::filesystem::create_directories(folder.dir() / "site");
        ASSERT_TRUE(make_sqlite_file(folder.path("site.sqlite"), read_file(folder.path("templates/site.sql"))));
        write_file(folder.path("site.kvn"),
                   "db_type=0\r\ndb_name=site.sqlite\r\nmain_type=0\r\nmain_name=pages\r\n"
                   "template_field=tpl\r\ngenerated_field=page\r\ntemplate_path=templates/\r\n"
                   "generated_path=site/\r\n");
        live::live_options options;
        options.settings_file = folder.path("site.kvn");
        options.settle_ms = 50;
        site = std::make_unique<live::live_site>(options);
        server = std::make_unique<live::site_server>(
            [this](const std::string& page) { return site->problems_of(page); });
        QString error;
        ASSERT_TRUE(server->start(QHostAddress::LocalHost, 0, error)) << error.toStdString();
        site->set_open_pages([this] { return server->open_pages(); });
        site->on_pages_changed([this](const std::vector<std::string>& pages) {
            server->set_site_folder(site->site_folder());
            server->pages_changed(pages);
        });
        site->on_rebuilt([this](const live::rebuild_result& r, const live::change_set&) {
            server->set_site_folder(r.site_folder);
            ++rebuilds;
            last = r;
        });
        site->start();
        ASSERT_TRUE(wait_until([&] { return rebuilds == 1 && !site->busy(); }));
    }

    std::string page(const std::string& name) { return read_file(folder.path("site/" + name)); }
    quint16 port() const { return server->port(); }

    temp_folder folder;
    std::unique_ptr<live::live_site> site;
    std::unique_ptr<live::site_server> server;
    int rebuilds = 0;
    live::rebuild_result last;
};

}  // namespace korvane::test
