// SPDX-License-Identifier: Apache-2.0
// The loop: a saved template reaches the open tab as a reload message and new
// bytes, regenerating only the rows that name it; the command ends cleanly.
#include "live_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace korvane::test {
namespace {

// An open tab: the event stream a page's script listens on.
class tab_stream {
public:
    tab_stream(quint16 port, const std::string& page) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        const std::string request = "GET /__korvane/events?page=" + page +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        wait_until([&] { return socket_.state() == QAbstractSocket::ConnectedState; });
        socket_.write(request.data(), static_cast<qint64>(request.size()));
    }
    std::string& received() {
        data_ += socket_.readAll().toStdString();
        return data_;
    }
    bool has_reload() { return received().find("event: reload") != std::string::npos; }

private:
    QTcpSocket socket_;
    std::string data_;
};

std::int64_t mtime(const std::string& path) { return live::stamp_of(path).mtime_ns; }

TEST_F(live_site_test, a_saved_template_reloads_its_tab_with_the_new_page_and_only_its_rows) {
    tab_stream a_tab(port(), "/a2.html");
    tab_stream b_tab(port(), "/b1.html");
    ASSERT_TRUE(wait_until([&] { return server->tabs_listening() == 2; }));
    const auto b1 = mtime(folder.path("site/b1.html")), b2 = mtime(folder.path("site/b2.html"));
    const auto a1 = mtime(folder.path("site/a1.html"));
    // Saved as editors do: a new file renamed over the old one.
    write_file(folder.path("templates/a.html.tmp"),
               "<html><body><h1><!--MAIN_FIELD=title--></h1> A2\n</body></html>\n");
    std::filesystem::rename(folder.path("templates/a.html.tmp"), folder.path("templates/a.html"));
    ASSERT_TRUE(wait_until([&] { return a_tab.has_reload(); }, 2000));
    EXPECT_NE(a_tab.received().find("data: /a2.html"), std::string::npos);
    EXPECT_NE(http_get(port(), "/a2.html").body.find("A two</h1> A2"), std::string::npos);
    ASSERT_TRUE(wait_until([&] { return rebuilds == 2 && !site->busy(); }));
    EXPECT_EQ(last.written, 3);
    EXPECT_NE(page("a1.html").find(" A2"), std::string::npos);
    EXPECT_NE(mtime(folder.path("site/a1.html")), a1);
    EXPECT_EQ(mtime(folder.path("site/b1.html")), b1);
    EXPECT_EQ(mtime(folder.path("site/b2.html")), b2);
    EXPECT_FALSE(b_tab.has_reload());

    // A change of the data reaches every row; the b tab reloads now.
    ASSERT_TRUE(make_sqlite_file(folder.path("site.sqlite"),
                                 "update pages set title = 'B first' where page = 'b1.html';"));
    ASSERT_TRUE(wait_until([&] { return b_tab.has_reload(); }, 2000));
    EXPECT_NE(page("b1.html").find("B first"), std::string::npos);
}

TEST_F(live_site_test, edits_during_a_rebuild_end_in_the_last_state) {
    for (int i = 0; i < 5; ++i) {
        write_file(folder.path("templates/b.html"),
                   "<html><body><!--MAIN_FIELD=title--> v" + std::to_string(i) + "</body></html>\n");
        site->request({false, false, {live::canonical_file(folder.path("templates/b.html"))}});
    }
    ASSERT_TRUE(wait_until([&] { return !site->busy() && page("b2.html").find(" v4") != std::string::npos; }));
    EXPECT_LE(rebuilds, 4);  // folded together, not one rebuild per edit queued behind another
}

// A small site: t.html over the rows given in the table p of d.sqlite, pages
// into pages; database is what follows "db_type=" up to db_name's value.
bool make_small_site(temp_folder& folder, const std::string& rows, const std::string& pages = "site/",
                     const std::string& database = "0\r\ndb_name=d.sqlite") {
    std::filesystem::create_directories(folder.dir() / pages);
    write_file(folder.path("t.html"), "<p><!--MAIN_FIELD=title--></p>");
    write_file(folder.path("s.kvn"), "db_type=" + database + "\r\nmain_type=0\r\nmain_name=p\r\ntemplate_field=t\r\n"
                                     "generated_field=o\r\ntemplate_path=\r\ngenerated_path=" + pages + "\r\n");
    return make_sqlite_file(folder.path("d.sqlite"),
                            "create table p (t text, o text, title text); insert into p values " + rows + ";");
}

// An ODBC source is not a file to watch: with a poll its changes still come.
TEST(live_poll, an_odbc_source_is_polled) {
    if (read_file("/etc/odbcinst.ini").find("[SQLite3]") == std::string::npos) {
        GTEST_SKIP() << "the SQLite3 ODBC driver is not registered";
    }
    temp_folder folder;
    ASSERT_TRUE(make_small_site(folder, "('t.html','one.html','One')", "",
                                "1\r\ndb_name=Driver=SQLite3;Database=" + folder.path("d.sqlite")));
    live::live_options options;
    options.settings_file = folder.path("s.kvn");
    options.poll_seconds = 1;
    live::live_site site(options);
    int rebuilds = 0;
    site.on_rebuilt([&](const live::rebuild_result& r, const live::change_set&) {
        EXPECT_TRUE(r.odbc);
        ++rebuilds;
    });
    site.start();
    ASSERT_TRUE(wait_until([&] { return rebuilds == 1; }));
    ASSERT_EQ(read_file(folder.path("one.html")), "<p>One</p>\r\n");
    ASSERT_TRUE(make_sqlite_file(folder.path("d.sqlite"), "update p set title = 'Two';"));
    EXPECT_TRUE(wait_until([&] { return read_file(folder.path("one.html")) == "<p>Two</p>\r\n"; }));
}

TEST(live_command, serve_stops_cleanly_on_sigterm) {
    temp_folder folder;
    ASSERT_TRUE(make_small_site(folder, "('t.html','one.html','One')"));
    QProcess cli;
    cli.start(QStringLiteral(KORVANE_CLI),
              {"serve", QString::fromStdString(folder.path("s.kvn")), "--port", "0"});
    ASSERT_TRUE(cli.waitForStarted(10000));
    std::string out;
    ASSERT_TRUE(wait_until([&] {
        out += cli.readAllStandardOutput().toStdString();
        return out.find("watching") != std::string::npos;
    }, 20000)) << out;
    EXPECT_NE(out.find("generated: 1 pages written"), std::string::npos) << out;
    cli.terminate();  // SIGTERM
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 143);
}

// watch --format json: each event is one JSON object on a line of its own;
// a rebuild carries its counts and its problems, each under its page.
TEST(live_command, watch_in_json_writes_one_object_per_line_for_each_event) {
    temp_folder folder;
    ASSERT_TRUE(make_small_site(folder, "('t.html','one.html','One'), ('absent.html','two.html','Two')"));
    QProcess cli;
    cli.start(QStringLiteral(KORVANE_CLI),
              {"watch", QString::fromStdString(folder.path("s.kvn")), "--format", "json"});
    ASSERT_TRUE(cli.waitForStarted(10000));
    std::vector<QJsonObject> events;
    std::string pending;
    // Reads whole lines until one of the event named has come.
    auto read_until = [&](const char* event) {
        return wait_until([&] {
            pending += cli.readAllStandardOutput().toStdString();
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                QJsonParseError error;
                const auto line = QByteArray::fromStdString(pending.substr(0, end));
                const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
                EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
                events.push_back(doc.object());
                pending.erase(0, end + 1);
            }
            return !events.empty() && events.back()["event"].toString() == event;
        }, 20000);
    };
    ASSERT_TRUE(read_until("watching"));
    ASSERT_EQ(events.size(), 2u);
    const QJsonObject first = events[0];
    EXPECT_EQ(first["event"].toString(), "rebuild");
    EXPECT_EQ(first["changed"].toString(), "generated");
    EXPECT_EQ(first["summary"].toObject()["pages_written"].toInt(), 1);
    EXPECT_EQ(first["summary"].toObject()["rows_with_problems"].toInt(), 1);
    const QJsonArray problems = first["problems"].toArray();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].toObject()["output_file"].toString().endsWith("two.html"));

    write_file(folder.path("t.html"), "<h1><!--MAIN_FIELD=title--></h1>");
    ASSERT_TRUE(read_until("rebuild"));
    EXPECT_NE(events.back()["changed"].toString().indexOf("t.html"), -1)
        << events.back()["changed"].toString().toStdString();
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(10000));
    ASSERT_TRUE(read_until("stopped"));
    EXPECT_EQ(events.back()["exit_status"].toInt(), 143);
}

}  // namespace
}  // namespace korvane::test
