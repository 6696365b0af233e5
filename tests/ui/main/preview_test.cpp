// SPDX-License-Identifier: Apache-2.0
// Run > Preview in browser: the window starts the edit loop on a free local
// port, opens the first row's page through the desktop, shows the address and
// stops it again.
#include "main_window_fixture.h"
#include "support/http_client.h"

using korvane::test::http_get;
using korvane::test::wait_until;

TEST_F(main_window_test, preview_opens_the_first_page_shows_the_address_and_stops) {
    make_window({write_settings("p.kvn", "0", "site.sqlite", "0", "pages")});
    c<QAction>("mnu_run_preview").trigger();
    ASSERT_TRUE(wait_until([&] { return !desktop.urls.empty(); })) << status().toStdString();
    const QUrl page = desktop.urls.front();
    EXPECT_EQ(page.host(), "127.0.0.1");
    EXPECT_EQ(page.path(), "/one.html");
    EXPECT_TRUE(status().startsWith(" Preview at http://127.0.0.1:" + QString::number(page.port())))
        << status().toStdString();
    EXPECT_EQ(http_get(static_cast<quint16>(page.port()), "/one.html").status, 200);
    EXPECT_TRUE(c<QAction>("mnu_run_stop").isEnabled());

    c<QAction>("mnu_run_stop").trigger();
    EXPECT_EQ(http_get(static_cast<quint16>(page.port()), "/one.html").status, 0);  // nothing answers
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
