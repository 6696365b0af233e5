// SPDX-License-Identifier: Apache-2.0
// A raw HTTP client on loopback for the tests of servers the program runs:
// requests reach the server exactly as written (no client tidies "/../"
// away), and Qt's event loop runs while they wait.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <functional>
#include <string>

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
    wait_until([&] { return socket.state() != QAbstractSocket::HostLookupState &&
                            socket.state() != QAbstractSocket::ConnectingState; });
    if (socket.state() != QAbstractSocket::ConnectedState) return reply;
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

}  // namespace korvane::test
