// SPDX-License-Identifier: Apache-2.0
// The Access backend on real Access files (Jet3, Jet4 and ACE), through the
// engine interface the generator and the windows use. The files in files/
// go with the repository; the Northwind copies and a few others come from
// the shared test data, and their cases skip without it.
#include "data/access/access_database.h"
#include "data/engine/db_value.h"
#include "data/text_helpers.h"
#include "../../support/case_table.h"
#include "../kind_names.h"
#include "sqlite_test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

namespace korvane::data {
namespace {

namespace fs = std::filesystem;

const fs::path own_files = fs::path(KORVANE_SOURCE_DIR) / "tests/data/access/files";
const fs::path shared_files = fs::path(KORVANE_TESTDATA_DIR) / "access";

// The file in the repository, else in the shared data, else "".
std::string locate(const std::string& name) {
    for (const fs::path& dir : {own_files, shared_files}) {
        if (fs::is_regular_file(dir / name)) return (dir / name).string();
    }
    return {};
}

using test::column_text;

TEST(access_files, answer_every_case_of_the_table) {
    std::map<std::string, std::unique_ptr<database>> open;
    int run = 0, skipped = 0;
    for (const auto& row : test::read_case_table("data/access/file_cases.tsv", 3)) {
        std::string files = row[0] + ",";
        for (std::size_t at; (at = files.find(',')) != std::string::npos; files.erase(0, at + 1)) {
            const std::string name = files.substr(0, at), path = locate(name);
            if (path.empty()) {
                ++skipped;
                continue;
            }
            auto& db = open[name];
            std::string error;
            if (!db) db = open_access_file(path, error);
            ASSERT_TRUE(db) << name << ": " << error;
            test::expect_outcome(column_text(*db, row[1]), row[2], row.where + " (" + name + "): " + row[1]);
            ++run;
        }
    }
    EXPECT_GE(run, 20);
    if (skipped > 0) std::cout << skipped << " cases skipped: no shared test data at " << shared_files << "\n";
}

TEST(access_files, every_file_opens_or_says_why_not) {
    int opened = 0;
    std::string error;
    for (const fs::path& dir : {own_files, shared_files}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".mdb" && ext != ".accdb") continue;
            SCOPED_TRACE(entry.path().string());
            auto db = open_access_file(entry.path().string(), error);
            if (entry.path().filename() == "db2007-enc.accdb") {
                EXPECT_FALSE(db);
                EXPECT_NE(error.find("encrypted"), std::string::npos) << error;
                EXPECT_NE(error.find("db2007-enc.accdb"), std::string::npos) << error;
                continue;
            }
            ASSERT_TRUE(db) << error;
            std::vector<std::string> tables;
            ASSERT_TRUE(db->table_names(tables, error)) << error;
            EXPECT_NE(std::find(tables.begin(), tables.end(), "MSysObjects"), tables.end());
            // Hidden tables of attachment fields are never listed.
            EXPECT_TRUE(std::none_of(tables.begin(), tables.end(), [](const auto& t) { return t.starts_with("f_"); }));
            remove_system_tables(tables);
            EXPECT_FALSE(tables.empty());
            for (const auto& t : tables) {  // every user table can be read back whole
                EXPECT_TRUE(db->open_record_set("select * from `" + t + "`; ", error)) << t << ": " << error;
            }
            EXPECT_TRUE(db->close(error));
            EXPECT_TRUE(db->close(error));  // a second close does nothing
            ++opened;
        }
    }
    EXPECT_GE(opened, 6);

    // A missing file and one that only starts like an Access file.
    EXPECT_FALSE(open_access_file("/nonexistent/dir/x.mdb", error));
    EXPECT_NE(error.find("x.mdb"), std::string::npos) << error;
    test::temp_folder scratch;
    test::write_file(scratch.path("junk.mdb"), "Standard Jet DB but nothing else");
    error.clear();
    EXPECT_FALSE(open_access_file(scratch.path("junk.mdb"), error));
    EXPECT_FALSE(error.empty());
}

TEST(access_files, northwind_tables_in_catalog_order_and_stored_queries) {
    for (const char* name : {"Northwind.mdb", "nwind.mdb"}) {
        const std::string path = locate(name);
        if (path.empty()) GTEST_SKIP() << "no shared test data at " << shared_files;
        SCOPED_TRACE(name);
        std::string error;
        auto db = open_access_file(path, error);
        ASSERT_TRUE(db) << error;
        std::vector<std::string> tables, queries;
        ASSERT_TRUE(db->table_names(tables, error));
        remove_system_tables(tables);
        std::vector<std::string> expected = {"Categories", "Customers", "Employees", "Order Details",
                                             "Orders",     "Products",  "Shippers",  "Suppliers"};
        if (std::string(name) == "nwind.mdb") {
            EXPECT_EQ(tables.front(), "Order Details");  // the catalog's order, not alphabetical
            expected.push_back("Umsätze");
        }
        std::sort(tables.begin(), tables.end());
        EXPECT_EQ(tables, expected);

        ASSERT_TRUE(db->query_names(queries, error));
        EXPECT_EQ(queries.size(), 22u);
        int working = 0;
        for (const auto& q : queries) {
            EXPECT_NE(q[0], '~') << q;
            if (db->open_record_set(build_main_sql(1, q), error)) {
                ++working;
            } else {  // the ones Access alone can answer say so
                EXPECT_NE(error.find(q), std::string::npos) << error;
                EXPECT_NE(error.find("Microsoft Access"), std::string::npos) << error;
            }
        }
        EXPECT_GE(working, 18);
    }
}

TEST(access_files, a_damaged_file_ends_in_an_error_quietly_and_a_stop_ends_its_read_leaving_nothing) {
    test::temp_folder scratch, temp;
    // libmdb loops on this one, allocating without end.
    const std::string cut = scratch.path("cut.mdb");
    test::write_file(cut, test::read_file((own_files / "testV1997.mdb").string()).substr(0, 98069));
    std::string error;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(open_access_file(cut, error));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // libmdb's complaints are not the user's
    EXPECT_NE(error.find("cannot be read: it is damaged"), std::string::npos) << error;

    // A stop asked while it reads ends the read: it says so, rather than
    // running on until the reader gives up on the file. Meanwhile the copy
    // the reader writes has no name: kill -9 then would leave nothing.
    const char* old_temp = std::getenv("TMPDIR");
    const std::string kept = old_temp ? old_temp : "";
    ::setenv("TMPDIR", temp.dir().c_str(), 1);
    stop_source stop;
    std::thread reader([&] { EXPECT_FALSE(open_access_file(cut, error, stop.token())); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.dir()), fs::directory_iterator()), 0);
    stop.request_stop();
    reader.join();
    if (old_temp) ::setenv("TMPDIR", kept.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_NE(error.find("was stopped"), std::string::npos) << error;

    // Nothing is written beside the file read.
    fs::copy_file(own_files / "testV1997.mdb", scratch.dir() / "whole.mdb");
    EXPECT_TRUE(open_access_file(scratch.path("whole.mdb"), error)) << error;
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.dir()), fs::directory_iterator()), 2);
}

TEST(access_files, rows_a_damaged_page_hides_make_their_table_a_database_problem) {
    const struct {
        const char* file;
        std::size_t page, page_size;  // the data page zeroed
        const char* table;
        const char* whole_count;
        const char* lost;
        const char* other_sql;  // a table the page did not hold still answers
        const char* other_answer;
    } cases[] = {
        {"db-enc.mdb", 49, 2048, "Table1", "2", "1 of its rows", "", ""},
        {"Northwind.mdb", 49, 4096, "Customers", "91", "25 of its rows", "select count(*) from Orders", "830"},
    };
    for (const auto& c : cases) {
        const std::string path = locate(c.file);
        if (path.empty()) continue;  // the shared data is not here
        SCOPED_TRACE(c.file);
        const std::string count = std::string("select count(*) from ") + c.table;
        std::string error;
        auto whole = open_access_file(path, error);
        ASSERT_TRUE(whole) << error;
        EXPECT_EQ(column_text(*whole, count), c.whole_count);

        test::temp_folder scratch;
        std::string bytes = test::read_file(path);
        ASSERT_GT(bytes.size(), (c.page + 1) * c.page_size);
        bytes.replace(c.page * c.page_size, c.page_size, std::string(c.page_size, '\0'));
        test::write_file(scratch.path("damaged.mdb"), bytes);
        auto damaged = open_access_file(scratch.path("damaged.mdb"), error);
        ASSERT_TRUE(damaged) << error;
        const std::string got = column_text(*damaged, count);
        EXPECT_NE(got.find(std::string("error: The table '") + c.table + "' of the Access database '"),
                  std::string::npos) << got;
        EXPECT_NE(got.find(std::string("is damaged: ") + c.lost + " cannot be read."), std::string::npos) << got;
        if (*c.other_sql) {
            EXPECT_EQ(column_text(*damaged, c.other_sql), c.other_answer);
            // A stored query over the table says the same.
            const std::string view = "select count(*) from [Customers and Suppliers by City]";
            EXPECT_EQ(column_text(*whole, view), "120");
            EXPECT_NE(column_text(*damaged, view).find("is damaged: 25 of its rows"), std::string::npos)
                << column_text(*damaged, view);
        }
    }
}

TEST(access_files, one_database_per_thread) {
    std::vector<std::thread> threads;
    std::vector<std::string> counts(4);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        threads.emplace_back([&counts, i] {
            std::string error;
            auto db = open_access_file(locate(i % 2 ? "testV1997.mdb" : "testV2010.accdb"), error);
            counts[i] = db ? column_text(*db, "select count(*) from Table1") : error;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counts, std::vector<std::string>(4, "2"));
}

}  // namespace
}  // namespace korvane::data
