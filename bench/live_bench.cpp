// SPDX-License-Identifier: Apache-2.0
// The edit loop's speed, as a user feels it: the time from saving a template
// to the reload message reaching an open tab, on the bench catalogue of
// 10,000 rows all on one template, and on one where the rows are spread over
// 20 templates and one of them is saved (only its 500 rows are made again).
// Then the pages served per second on loopback by `ab` (apache2-utils) with a
// bounded number of connections. Medians of several saves; loopback only.
#include "bench_site.h"
#include "live/live_site.h"
#include "live/site_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace korvane;

namespace {

bool wait_until(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The catalogue's shape: typed fields and 8 to 12 order lines a page.
bool make_catalogue(const fs::path& file, int rows, int templates) {
    fs::remove(file);
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return false;
    const std::string n = std::to_string(rows), t = std::to_string(templates);
    const std::string sql =
        "PRAGMA journal_mode=OFF; BEGIN;"
        "CREATE TABLE pages (id INTEGER PRIMARY KEY, template TEXT, file TEXT, title TEXT,"
        " author TEXT, price CURRENCY, published DATETIME, in_stock BOOLEAN, rating REAL,"
        " summary TEXT);"
        "CREATE TABLE lines (id INTEGER PRIMARY KEY, page_id INTEGER, name TEXT, qty INTEGER,"
        " price CURRENCY);"
        "WITH RECURSIVE n(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM n WHERE id < " + n + ")"
        " INSERT INTO pages SELECT id, 'page' || (id % " + t + ") || '.html',"
        " 'page' || id || '.html', 'Title of page ' || id, 'Author ' || (id % 97),"
        " (id % 5000) / 100.0, printf('20%02d-%02d-%02d 00:00:00', id % 25, id % 12 + 1,"
        " id % 28 + 1), CASE WHEN id % 3 THEN -1 ELSE 0 END, (id % 50) / 10.0,"
        " printf('%.300c', 's') FROM n;"
        "WITH RECURSIVE c(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM c WHERE k < 11)"
        " INSERT INTO lines (page_id, name, qty, price) SELECT id, 'Item ' || k || ' of ' || id,"
        " k + 1, k * 1.25 FROM pages, c WHERE k < 8 + id % 5 ORDER BY id, k;"
        "CREATE INDEX lines_page ON lines (page_id); COMMIT;";
    char* message = nullptr;
    const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) std::fprintf(stderr, "live_bench: %s\n", message ? message : "sqlite error");
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct figures {
    double reload_ms = 0, rebuild_ms = 0;
    long pages_per_save = 0;
    quint16 port = 0;
};

// Saves the template of page1.html (row 1) `saves` times (as editors do, by rename) with a
// tab open on page1.html, and times each save to its reload message.
bool measure(const fs::path& work, int templates, int saves, figures& out,
             const std::function<void(quint16)>& while_serving = {}) {
    fs::remove_all(work);
    fs::create_directories(work / "templates");
    fs::create_directories(work / "site");
    if (!make_catalogue(work / "catalogue.sqlite", 10000, templates)) return false;
    for (int i = 0; i < templates; ++i) {
        write(work / "templates" / ("page" + std::to_string(i) + ".html"), bench::page_template());
    }
    write(work / "site.kvn",
          "db_type=0\r\ndb_name=catalogue.sqlite\r\nmain_type=0\r\nmain_name=pages\r\n"
          "template_field=template\r\ngenerated_field=file\r\ntemplate_path=templates/\r\n"
          "generated_path=site/\r\n");
    live::live_options options;
    options.settings_file = (work / "site.kvn").string();
    live::live_site site(options);
    live::site_server server([&](const std::string& p) { return site.problems_of(p); });
    QString error;
    if (!server.start(QHostAddress::LocalHost, 0, error)) return false;
    site.set_open_pages([&] { return server.open_pages(); });
    int rebuilds = 0;
    std::vector<double> rebuild_ms;
    site.on_pages_changed([&](const std::vector<std::string>& pages) {
        server.set_site_folder(site.site_folder());
        server.pages_changed(pages);
    });
    site.on_rebuilt([&](const live::rebuild_result& r, const live::change_set&) {
        server.set_site_folder(r.site_folder);
        if (rebuilds++ > 0) rebuild_ms.push_back(r.seconds * 1000);
        out.pages_per_save = static_cast<long>(r.written);
    });
    site.start();
    if (!wait_until([&] { return rebuilds == 1 && !site.busy(); }, 600000)) return false;

    QTcpSocket tab;
    tab.connectToHost(QHostAddress::LocalHost, server.port());
    if (!tab.waitForConnected(5000)) return false;
    tab.write("GET /__korvane/events?page=/page1.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    if (!wait_until([&] { return server.tabs_listening() == 1; }, 5000)) return false;
    std::vector<double> reload_ms;
    std::string received;
    for (int i = 0; i < saves; ++i) {
        received += tab.readAll().toStdString();
        const std::size_t seen = received.size();
        const fs::path t = work / "templates" / ("page" + std::to_string(1 % templates) + ".html");
        write(work / "templates" / "page1.tmp",
              bench::page_template() + "<!-- save " + std::to_string(i) + " -->\n");
        QElapsedTimer timer;
        timer.start();
        fs::rename(work / "templates" / "page1.tmp", t);
        if (!wait_until([&] {
                received += tab.readAll().toStdString();
                return received.find("event: reload", seen) != std::string::npos;
            }, 30000)) {
            return false;
        }
        reload_ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        const int want = rebuilds + 1;
        if (!wait_until([&] { return rebuilds >= want && !site.busy(); }, 60000)) return false;
    }
    out.reload_ms = median(reload_ms);
    out.rebuild_ms = median(rebuild_ms);
    out.port = server.port();
    if (while_serving) while_serving(server.port());
    return true;
}

// `ab` against the running server; its requests per second, 0 when it failed.
double requests_per_second(quint16 port, bool keep_alive, int connections) {
    QStringList args{"-q", "-n", "20000", "-c", QString::number(connections)};
    if (keep_alive) args << "-k";
    args << QStringLiteral("http://127.0.0.1:%1/page1.html").arg(port);
    QProcess ab;
    ab.start(QStringLiteral("ab"), args);
    if (!ab.waitForStarted(5000)) return 0;
    wait_until([&] { return ab.state() == QProcess::NotRunning; }, 300000);
    const QString text = QString::fromLocal8Bit(ab.readAllStandardOutput());
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Requests per second:"))) {
            return line.section(u':', 1).trimmed().section(u' ', 0, 0).toDouble();
        }
    }
    std::fprintf(stderr, "live_bench: ab said: %s\n", qPrintable(text.right(400)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const fs::path work = fs::temp_directory_path() / "korvane_live_bench";
    const int saves = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    figures one, twenty;
    if (!measure(work, 1, saves, one)) {
        std::fprintf(stderr, "live_bench: the one-template site failed\n");
        return 1;
    }
    std::printf("10,000 rows, 1 template:   save to reload message %.0f ms (median of %d); "
                "rebuild %.0f ms, %ld pages written\n",
                one.reload_ms, saves, one.rebuild_ms, one.pages_per_save);
    std::fflush(stdout);
    double close_rps = 0, keep_rps = 0;
    if (!measure(work, 20, saves, twenty, [&](quint16 port) {
            close_rps = requests_per_second(port, false, 8);
            keep_rps = requests_per_second(port, true, 8);
        })) {
        std::fprintf(stderr, "live_bench: the twenty-template site failed\n");
        return 1;
    }
    std::printf("10,000 rows, 20 templates: save to reload message %.0f ms (median of %d); "
                "rebuild %.0f ms, %ld pages written\n",
                twenty.reload_ms, saves, twenty.rebuild_ms, twenty.pages_per_save);
    std::printf("serving a 6 KB page, 8 connections: %.0f requests/s (a connection each), "
                "%.0f requests/s (kept alive)\n", close_rps, keep_rps);
    fs::remove_all(work);
    return 0;
}
