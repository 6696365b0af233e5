// SPDX-License-Identifier: Apache-2.0
// A small real site for the edit loop's tests: a SQLite database of six rows
// over two templates (site/), its settings file, the loop and its server on a
// free loopback port.
#pragma once

#include "live/live_site.h"
#include "live/site_server.h"
#include "sqlite_test_support.h"
#include "../support/http_client.h"

#include <gtest/gtest.h>

#include <memory>

namespace korvane::test {

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
