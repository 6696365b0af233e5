// SPDX-License-Identifier: Apache-2.0
#include "generator/path_confinement.h"
#include "../support/case_table.h"
#include "sqlite_test_support.h"

namespace korvane::generator {
namespace {

namespace fs = std::filesystem;

std::string with_base(std::string text, const std::string& base) {
    if (text.starts_with('@')) text = base + text.substr(1);
    return text;
}

TEST(path_confinement, a_row_file_is_inside_outside_or_behind_a_link) {
    test::temp_folder dir;
    const std::string base = dir.dir().string();
    fs::create_directories(dir.dir() / "site/sub");
    fs::create_directories(dir.dir() / "tpl");
    fs::create_directories(dir.dir() / "elsewhere");
    test::write_file(dir.path("elsewhere/victim.txt"), "not a page");
    test::write_file(dir.path("tpl/t.html"), "t");
    fs::create_directory_symlink("../elsewhere", dir.dir() / "site/linked");
    fs::create_symlink("../elsewhere/victim.txt", dir.dir() / "site/page.html");
    fs::create_symlink("t.html", dir.dir() / "tpl/shared.html");

    for (const auto& row : test::read_case_table("generator/path_escapes.tsv", 4)) {
        const std::string setting = with_base(row[0], base);
        const auto escape = find_escape(setting, setting + row[1], base, row[2] == "template");
        const char* kind = escape.kind == escape_kind::none             ? "none"
                           : escape.kind == escape_kind::outside_folder ? "outside"
                                                                        : "link";
        EXPECT_EQ(kind, row[3]) << row.where;
        const std::string link = row.fields.size() > 4 ? base + "/" + row[4] : "";
        EXPECT_EQ(escape.link, link) << row.where;
    }
}

TEST(path_confinement, a_refused_row_reports_each_file_that_escapes) {
    memory_error_list list;
    log_errors report;
    report.set_error_list(&list);
    EXPECT_TRUE(check_row_confined("tpl/", "tpl/t.html", "out/", "out/a.html", "/base", report));
    EXPECT_TRUE(list.lines().empty());
    EXPECT_FALSE(check_row_confined("tpl/", "tpl/../../t.html", "out/", "out/../a.html", "/base", report));
    const std::vector<std::string> expected = {
        "Template outside its folder, row refused:", "    Template: tpl/../../t.html",
        "    Folder: /base/tpl", "",
        "Page outside its folder, row refused:", "    File: out/../a.html",
        "    Folder: /base/out", ""};
    EXPECT_EQ(list.lines(), expected);
}

}  // namespace
}  // namespace korvane::generator
