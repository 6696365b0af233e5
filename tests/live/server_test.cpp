// SPDX-License-Identifier: Apache-2.0
// The server over real loopback HTTP: pages as on disk plus the script,
// nothing outside the folder, GET/HEAD only, cheap reloads.
#include "../support/case_table.h"
#include "live/page_injection.h"
#include "live_fixture.h"

namespace korvane::test {
namespace {

std::string without(std::string text, const std::string& part) {
    const auto at = text.find(part);
    if (at != std::string::npos) text.erase(at, part.size());
    return text;
}

std::string header(const http_reply& r, const std::string& name) {
    const auto at = r.head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const auto from = at + name.size() + 4;
    return r.head.substr(from, r.head.find("\r\n", from) - from);
}

TEST_F(live_site_test, pages_are_the_files_plus_the_script_and_other_files_as_they_are) {
    for (const std::string name : {"a1.html", "b2.html"}) {
        const http_reply r = http_get(port(), "/" + name);
        ASSERT_EQ(r.status, 200) << name;
        EXPECT_EQ(header(r, "Content-Type"), "text/html");
        EXPECT_NE(r.body.find(live::reload_script().toStdString()), std::string::npos);
        EXPECT_EQ(without(r.body, live::reload_script().toStdString()), page(name)) << name;
    }
    write_file(folder.path("site/style.css"), "p { color: red }\n");
    const http_reply css = http_get(port(), "/style.css");
    EXPECT_EQ(css.status, 200);
    EXPECT_EQ(header(css, "Content-Type"), "text/css");
    EXPECT_EQ(css.body, "p { color: red }\n");
    // A folder is its index.html; a file that is not there is a plain 404.
    write_file(folder.path("site/index.html"), "<p>home</p>");
    EXPECT_EQ(without(http_get(port(), "/").body, live::reload_script().toStdString()), "<p>home</p>");
    EXPECT_EQ(http_get(port(), "/nothing.html").status, 404);
    // The files on disk never hold the script.
    EXPECT_EQ(page("a1.html").find("korvane-live"), std::string::npos);
}

TEST_F(live_site_test, a_page_with_problems_shows_its_report_lines) {
    const http_reply r = http_get(port(), "/b3.html");
    ASSERT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("data-korvane-problems"), std::string::npos);
    const auto lines = site->problems_of(live::canonical_file(folder.path("site/b3.html")));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(r.body.find(QString::fromStdString(lines.front()).toHtmlEscaped().toStdString()),
              std::string::npos);
    EXPECT_EQ(http_get(port(), "/b2.html").body.find("data-korvane-problems"), std::string::npos);
}

TEST_F(live_site_test, nothing_outside_the_site_folder_is_served) {
    write_file(folder.path("secret.txt"), "secret");
    std::filesystem::create_directories(folder.dir() / "outside");
    write_file(folder.path("outside/secret.txt"), "secret");
    std::filesystem::create_directory_symlink(folder.dir() / "outside", folder.dir() / "site/out");
    std::filesystem::create_symlink(folder.dir() / "secret.txt", folder.dir() / "site/link.txt");
    std::filesystem::create_directories(folder.dir() / "site/a");
    for (const auto& row : read_case_table("live/traversal_cases.tsv", 1)) {
        const http_reply r = http_get(port(), row[0]);
        EXPECT_EQ(r.status, 404) << row.where << " " << row[0];
        EXPECT_EQ(r.body.find("secret"), std::string::npos) << row.where;
    }
    // A link that stays inside is followed.
    std::filesystem::create_symlink(folder.dir() / "site/a1.html", folder.dir() / "site/alias.html");
    EXPECT_EQ(http_get(port(), "/alias.html").status, 200);
}

TEST_F(live_site_test, head_not_modified_and_other_methods) {
    const http_reply get = http_get(port(), "/a2.html");
    const http_reply head =
        raw_http(port(), "HEAD /a2.html HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.empty());
    EXPECT_EQ(header(head, "Content-Length"), std::to_string(get.body.size()));
    const std::string etag = header(get, "ETag");
    ASSERT_FALSE(etag.empty());
    EXPECT_EQ(header(head, "ETag"), etag);
    const http_reply again = http_get(port(), "/a2.html", "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.empty());
    EXPECT_EQ(http_get(port(), "/a2.html", "If-None-Match: \"other\"\r\n").status, 200);
    for (const std::string method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        const http_reply r = raw_http(port(), method + " /a2.html HTTP/1.1\r\nHost: x\r\n"
                                               "Content-Length: 0\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(r.status, 405) << method;
        EXPECT_EQ(header(r, "Allow"), "GET, HEAD") << method;
    }
}

}  // namespace
}  // namespace korvane::test
