// SPDX-License-Identifier: Apache-2.0
// Rows that name files outside their folders: allowed and written by default,
// listed by check, refused one by one by generate --confine.
#include "../support/case_table.h"
#include "../support/cli_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::vector<table_row>& rows() {
    static const auto table = read_case_table("reliability/confined_rows.tsv", 6);
    return table;
}

std::string make_site(const temp_folder& dir) {
    std::string sql = "CREATE TABLE pages (id INTEGER PRIMARY KEY, tpl TEXT, out TEXT);";
    for (const auto& r : rows()) {
        sql += "INSERT INTO pages (tpl, out) VALUES ('" + r[0] + "', '" + r[1] + "');";
    }
    make_sqlite_file(dir.path("site.db"), sql);
    const auto kvn =
        write_settings(dir.dir(), "site.kvn", "site.db", "select * from pages order by id", "out/", "tpl/");
    fs::create_directories(dir.dir() / "elsewhere");
    write_file(dir.path("tpl/t.html"), "page <!--MAIN_FIELD=id-->\n");
    write_file(dir.path("outside.html"), "outside <!--MAIN_FIELD=id-->\n");
    fs::create_symlink("t.html", dir.dir() / "tpl/shared.html");
    fs::create_directory_symlink("../elsewhere", dir.dir() / "out/linked");
    return kvn;
}

TEST(confinement, rows_outside_their_folders_are_written_listed_by_check_and_refused_when_confined) {
    for (const bool confine : {false, true}) {
        temp_folder dir;
        const std::string kvn = make_site(dir);
        std::vector<std::string> check_args{"check", kvn};
        std::vector<std::string> generate_args{"generate", "-q", "-j", "1", "--format", "json", kvn};
        if (confine) {
            check_args.push_back("--confine");
            generate_args.push_back("--confine");
        }
        const auto check = run_cli(dir.dir(), check_args);
        // Allowed files are warnings; a check for a confined run fails on them.
        EXPECT_EQ(check.status, confine ? 1 : 0) << check.out << check.err;
        const auto generated = run_cli(dir.dir(), generate_args);
        EXPECT_EQ(generated.status, confine ? 1 : 0) << generated.err;

        for (std::size_t i = 0; i < rows().size(); ++i) {
            const auto& r = rows()[i];
            const std::string row = "main row " + std::to_string(i + 1) + " ";
            const std::string where = r.where + (confine ? ", confined" : "");
            const auto warning = check.out.find(row);
            if (r[3] != "-") {
                ASSERT_NE(warning, std::string::npos) << where << "\n" << check.out;
                const std::string line = check.out.substr(warning, check.out.find('\n', warning) - warning);
                EXPECT_THAT(line, HasSubstr(r[3])) << where;
            } else {
                EXPECT_EQ(warning, std::string::npos) << where << "\n" << check.out;
            }
            const bool refusing = r[4] != "-", refused = confine && refusing;
            EXPECT_EQ(fs::exists(dir.path(r[2])), !refused) << where;
            EXPECT_EQ(refusing && generated.err.find(r[4]) != std::string::npos, refused)
                << where << "\n" << generated.err;
            if (refused) {
                EXPECT_THAT(generated.out, HasSubstr("\"kind\": \"" + r[5] + "\"")) << where;
            }
        }
    }
    temp_folder dir;
    const auto json = run_cli(dir.dir(), {"check", "--format", "json", make_site(dir)});
    EXPECT_THAT(json.out, HasSubstr("\"kind\": \"path_warning\""));
}

}  // namespace
}  // namespace korvane::test
