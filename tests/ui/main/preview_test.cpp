// SPDX-License-Identifier: Apache-2.0
// Run > Preview in browser: the window starts the edit loop on a free local
// port, opens the first row's page through the desktop, shows the address and
// stops it again.
#include "main_window_fixture.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace {

bool wait_until(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 30000) return false;  // only against a hang
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The status line of a GET, or "" when nothing answers.
std::string first_line_of_get(const QUrl& url) {
    QTcpSocket socket;
    socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
    if (!socket.waitForConnected(3000)) return {};
    socket.write("GET " + url.path().toUtf8() + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    std::string data;
    wait_until([&] {
        data += socket.readAll().toStdString();
        return data.find("\r\n") != std::string::npos ||
               socket.state() != QAbstractSocket::ConnectedState;
    });
    return data.substr(0, data.find("\r\n"));
}

}  // namespace

TEST_F(main_window_test, preview_opens_the_first_page_shows_the_address_and_stops) {
    make_window({write_settings("p.kvn", "0", "site.sqlite", "0", "pages")});
    c<QAction>("mnu_run_preview").trigger();
    ASSERT_TRUE(wait_until([&] { return !desktop.urls.empty(); })) << status().toStdString();
    const QUrl page = desktop.urls.front();
    EXPECT_EQ(page.host(), "127.0.0.1");
    EXPECT_EQ(page.path(), "/one.html");
    EXPECT_TRUE(status().startsWith(" Preview at http://127.0.0.1:" + QString::number(page.port())))
        << status().toStdString();
    EXPECT_EQ(first_line_of_get(page), "HTTP/1.1 200 OK");
    EXPECT_TRUE(c<QAction>("mnu_run_stop").isEnabled());

    c<QAction>("mnu_run_stop").trigger();
    EXPECT_EQ(first_line_of_get(page), "");
    EXPECT_FALSE(status().startsWith(" Preview at"));
}

TEST_F(main_window_test, preview_needs_a_saved_settings_file) {
    fill_panel_for_pages();
    c<QAction>("mnu_run_preview").trigger();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(desktop.urls.empty());
}

// Without a browser the status line gives the address to open by hand.
TEST_F(main_window_test, preview_without_a_browser_names_the_page_to_open) {
    desktop.result = false;
    make_window({write_settings("p.kvn", "0", "site.sqlite", "0", "pages")});
    c<QAction>("mnu_run_preview").trigger();
    ASSERT_TRUE(wait_until([&] { return !desktop.urls.empty(); }));
    ASSERT_TRUE(wait_until([&] { return status().startsWith(" No browser"); }))
        << status().toStdString();
    EXPECT_TRUE(status().endsWith(desktop.urls.front().toString())) << status().toStdString();
    c<QAction>("mnu_run_stop").trigger();
}
