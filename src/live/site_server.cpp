// SPDX-License-Identifier: Apache-2.0
#include "live/site_server.h"

#include "live/live_paths.h"
#include "live/page_injection.h"
#include "live/request_path.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMimeDatabase>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>

namespace korvane::live {

namespace {

using status_code = QHttpServerResponder::StatusCode;

// Enough for every tab a person has open; more would only hold sockets.
constexpr std::size_t max_tabs = 256;

// A connection stays open only when the client asks for it: HTTP/1.0 tools
// (ab, scripts) wait for the close, and idle connections stay few.
bool keep_alive(const QHttpServerRequest& request) {
    return request.value("Connection").toLower().contains("keep-alive");
}

void write_connection(QHttpServerResponder& responder, bool keep) {
    responder.writeHeader("Connection", keep ? "keep-alive" : "close");
}

void end_unless_kept(QTcpSocket* socket, bool keep) {
    if (!keep) socket->disconnectFromHost();  // after what is written has gone out
}

void plain(QHttpServerResponder& responder, status_code status, const QByteArray& text,
           bool head, bool keep, std::initializer_list<std::pair<QByteArray, QByteArray>> extra = {}) {
    responder.writeStatusLine(status);
    write_connection(responder, keep);
    responder.writeHeader("Content-Type", "text/plain; charset=utf-8");
    responder.writeHeader("Content-Length", QByteArray::number(text.size()));
    for (const auto& [key, value] : extra) responder.writeHeader(key, value);
    responder.writeBody(head ? QByteArray() : text);
}

}  // namespace

site_server::site_server(problems_function problems) : problems_(std::move(problems)) {}

site_server::~site_server() {
    for (auto& t : tabs_) {
        if (t.socket) t.socket->abort();
    }
}

bool site_server::start(const QHostAddress& address, quint16 port, QString& error) {
    auto* server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        error = server->errorString();
        delete server;
        return false;
    }
    address_ = address;
    port_ = server->serverPort();
    bind(server);
    return true;
}

QString site_server::address_text() const {
    QString host = address_.toString();
    if (address_.protocol() == QAbstractSocket::IPv6Protocol) host = u'[' + host + u']';
    return QStringLiteral("http://%1:%2/").arg(host).arg(port_);
}

QString site_server::url_of(const std::string& page) const {
    const QString file = QString::fromStdString(page);
    if (site_folder_.isEmpty() || !file.startsWith(site_folder_ + u'/')) return {};
    const QString relative = file.mid(site_folder_.size() + 1);
    return address_text() + QString::fromUtf8(QUrl::toPercentEncoding(relative, "/"));
}

void site_server::set_site_folder(const std::string& canonical_folder) {
    site_folder_ = QString::fromStdString(canonical_folder);
}

void site_server::prune_tabs() {
    std::erase_if(tabs_, [](const tab& t) {
        return !t.socket || t.socket->state() != QAbstractSocket::ConnectedState;
    });
}

std::set<std::string> site_server::open_pages() {
    prune_tabs();
    std::set<std::string> pages;
    for (const auto& t : tabs_) pages.insert(t.page);
    return pages;
}

int site_server::tabs_listening() {
    prune_tabs();
    return static_cast<int>(tabs_.size());
}

void site_server::pages_changed(const std::vector<std::string>& pages) {
    prune_tabs();
    const std::set<std::string> changed(pages.begin(), pages.end());
    for (auto& t : tabs_) {
        if (!changed.count(t.page)) continue;
        // The page's address, for a client that shows more than one.
        const QString url = url_of(t.page);
        t.socket->write("event: reload\ndata: " + url.mid(address_text().size() - 1).toUtf8() +
                        "\n\n");
        t.socket->flush();
    }
}

void site_server::serve_events(const QHttpServerRequest& request, QTcpSocket* socket) {
    auto responder = makeResponder(request, socket);
    prune_tabs();
    if (tabs_.size() >= max_tabs) {
        plain(responder, status_code::ServiceUnavailable, "Too many tabs are listening.\n", false,
              false);
        end_unless_kept(socket, false);
        return;
    }
    const QByteArray page_path =
        QUrlQuery(request.url()).queryItemValue(QStringLiteral("page"), QUrl::FullyEncoded).toUtf8();
    QString page = file_for_request(site_folder_, page_path);
    if (page.isEmpty()) page = planned_file_for_request(site_folder_, page_path);
    // A stream without a length: the connection stays open for the events.
    responder.writeStatusLine(status_code::Ok);
    responder.writeHeader("Content-Type", "text/event-stream");
    responder.writeHeader("Cache-Control", "no-cache");
    responder.writeBody(": live\n\n");
    tabs_.push_back({socket, canonical_file(page.toStdString())});
}

bool site_server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    using method = QHttpServerRequest::Method;
    const bool head = request.method() == method::Head;
    const bool keep = keep_alive(request);
    if (request.method() != method::Get && !head) {
        auto responder = makeResponder(request, socket);
        plain(responder, status_code::MethodNotAllowed, "405 Method Not Allowed\n", false, false,
              {{"Allow", "GET, HEAD"}});
        // A body the request may carry is not read: the connection ends here.
        end_unless_kept(socket, false);
        return true;
    }
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
    if (path == events_path && !head) {
        serve_events(request, socket);
        return true;
    }
    auto responder = makeResponder(request, socket);
    const QString file = file_for_request(site_folder_, path);
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly)) {
        plain(responder, status_code::NotFound, "404 Not Found\n", head, keep);
        end_unless_kept(socket, keep);
        return true;
    }
    static const QMimeDatabase mime_types;
    const QString mime = mime_types.mimeTypeForFile(file, QMimeDatabase::MatchExtension).name();
    QByteArray additions;
    if (mime == u"text/html") {
        const auto lines = problems_ ? problems_(file.toStdString()) : std::vector<std::string>{};
        if (!lines.empty()) additions += problem_overlay(lines);
        additions += reload_script();
    }
    // The file's size and time with what is added: any change of either is
    // a new tag, and an unchanged page costs a 304 on reload.
    const QFileInfo info(file);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(info.size()) + '-' +
                 QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '-' +
                 QByteArray::number(info.lastModified().time().msec()));
    hash.addData(additions);
    const QByteArray etag = '"' + hash.result().toHex().left(20) + '"';
    const QByteArray if_none_match = request.value("If-None-Match");
    if (!if_none_match.isEmpty() && (if_none_match == etag || if_none_match.trimmed() == "*")) {
        responder.writeStatusLine(status_code::NotModified);
        write_connection(responder, keep);
        responder.writeHeader("ETag", etag);
        responder.writeHeader("Cache-Control", "no-cache");
        responder.writeBody(QByteArray());
        end_unless_kept(socket, keep);
        return true;
    }
    QByteArray body = in.readAll();
    if (!additions.isEmpty()) body = inject_into_page(body, additions);
    responder.writeStatusLine(status_code::Ok);
    write_connection(responder, keep);
    responder.writeHeader("Content-Type", mime.toUtf8());
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("ETag", etag);
    responder.writeHeader("Cache-Control", "no-cache");
    responder.writeBody(head ? QByteArray() : body);
    end_unless_kept(socket, keep);
    return true;
}

void site_server::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    auto responder = makeResponder(request, socket);
    plain(responder, status_code::NotFound, "404 Not Found\n", false, false);
    end_unless_kept(socket, false);
}

}  // namespace korvane::live
