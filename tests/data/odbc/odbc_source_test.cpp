// SPDX-License-Identifier: Apache-2.0
// The ODBC backend on both kinds of data source the tests set up: an SQLite
// file through the SQLite3 ODBC driver, and PostgreSQL through psqlODBC on a
// server started for the suite on a private Unix socket. Both hold the same
// authors and pages, so every behaviour is checked on each driver; only the
// kinds of value differ. Then sources that cannot answer: a name the driver
// manager does not know, a server that never ran, and one that stops while a
// connection to it is open.
#include "data/odbc/odbc_database.h"
#include "odbc_test_support.h"
#include "../../support/case_table.h"
#include "../kind_names.h"
#include "sqlite_test_support.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <ostream>
#include <thread>

namespace korvane::data {
namespace {

using test::sandbox;

struct odbc_source {
    const char* name;
    const char* dsn;
    std::string (*set_up)();  // "" or what went wrong
};
void PrintTo(const odbc_source& source, std::ostream* out) { *out << source.name; }

std::unique_ptr<test::postgres_server> server;

std::string set_up_sqlite() {
    std::filesystem::remove(sandbox().sqlite_file);
    return test::make_sqlite_file(sandbox().sqlite_file, test::sql_file("pages_sqlite.sql")) ? ""
                                                                                       : "the SQLite file was not made";
}

std::string set_up_postgres() {
    server = std::make_unique<test::postgres_server>(sandbox().postgres_dir, sandbox().postgres_port);
    return server->start(test::sql_file("pages_postgres.sql"));
}

const odbc_source sqlite_source{"sqlite", test::sqlite_dsn, set_up_sqlite};
const odbc_source postgres_source{"postgres", test::postgres_dsn, set_up_postgres};

class odbc_data_source : public ::testing::TestWithParam<odbc_source> {
protected:
    static void TearDownTestSuite() {
        server.reset();  // stops the server and removes its folder, also after failures
        set_up_errors.clear();
    }

    void SetUp() override {
        const auto [at, first] = set_up_errors.try_emplace(GetParam().dsn);
        if (first) at->second = GetParam().set_up();
        ASSERT_TRUE(at->second.empty()) << at->second;
        db = open_odbc_connection(GetParam().dsn, error);
        ASSERT_NE(db, nullptr) << error;
    }

    static std::int64_t page_count(database& source) {
        std::string e;
        auto rs = source.open_record_set("SELECT COUNT(*) AS n FROM pages", e);
        return rs == nullptr || rs->value("n") == nullptr ? -1 : rs->value("n")->integer;
    }

    static inline std::map<std::string, std::string> set_up_errors;  // by data source, once each
    std::unique_ptr<database> db;
    std::string error;
};

TEST_P(odbc_data_source, lists_tables_apart_from_views_and_runs_a_join_or_a_view_into_a_snapshot) {
    std::vector<std::string> tables, views;
    ASSERT_TRUE(db->table_names(tables, error)) << error;
    ASSERT_TRUE(db->query_names(views, error)) << error;
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"authors", "pages"}));
    EXPECT_EQ(views, (std::vector<std::string>{"page_list"}));

    auto rs = db->open_record_set(
        "SELECT a.name, p.title FROM pages p JOIN authors a ON a.id = p.author_id ORDER BY p.id",
        error);
    ASSERT_NE(rs, nullptr) << error;
    EXPECT_EQ(rs->field_names(), (std::vector<std::string>{"name", "title"}));
    ASSERT_EQ(rs->record_count(), 2);
    EXPECT_EQ(rs->value("name")->text, "Zoë Ångström");
    ASSERT_TRUE(rs->move_last());
    EXPECT_EQ(rs->value("name")->text + "/" + rs->value("title")->text, "Bob/About");
    ASSERT_TRUE(rs->move_first());
    EXPECT_EQ(rs->value("title")->text, "Home");

    auto view = db->open_record_set("SELECT * FROM page_list", error);
    ASSERT_NE(view, nullptr) << error;
    EXPECT_EQ(view->record_count(), 2);
}

TEST_P(odbc_data_source, values_keep_their_kind) {
    auto rs = db->open_record_set("SELECT * FROM pages ORDER BY id", error);
    ASSERT_NE(rs, nullptr) << error;
    ASSERT_EQ(rs->record_count(), 2);
    int checked = 0;
    for (const auto& row : test::read_case_table("data/odbc/odbc_value_cases.tsv", 5)) {
        if (row[0] != GetParam().name) continue;
        ASSERT_TRUE(row[1] == "1" ? rs->move_first() : rs->move_last()) << row.where;
        const db_value* v = rs->value(row[2]);
        ASSERT_NE(v, nullptr) << row.where;
        EXPECT_EQ(test::kind_name(v->kind), row[3]) << row.where;
        EXPECT_EQ(value_to_text(*v), row[4]) << row.where;
        ++checked;
    }
    EXPECT_GT(checked, 10);
}

TEST_P(odbc_data_source, keeps_the_data_from_statements_that_write_or_fail_and_refuses_work_closed) {
    db->open_record_set("DELETE FROM pages WHERE id = 2", error);
    db->open_record_set("DELETE FROM pages WHERE id = 1 RETURNING id", error);
    db->open_record_set("CREATE TABLE intruder(a int)", error);
    EXPECT_EQ(page_count(*db), 2);
    std::vector<std::string> tables;
    ASSERT_TRUE(db->table_names(tables, error));
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "intruder"), 0);

    EXPECT_EQ(db->open_record_set("SELECT * FROM no_such_table", error), nullptr);
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    // Without a rollback PostgreSQL would refuse everything after the error.
    EXPECT_EQ(page_count(*db), 2);

    // Closed, it refuses work.
    ASSERT_TRUE(db->close(error)) << error;
    EXPECT_TRUE(db->close(error));
    error.clear();
    EXPECT_EQ(db->open_record_set("SELECT 1", error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(db->table_names(tables, error));
}

TEST_P(odbc_data_source, serves_one_connection_per_thread) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&good, dsn = GetParam().dsn] {
            for (int round = 0; round < 3; ++round) {
                std::string e;
                auto own = open_odbc_connection(dsn, e);
                if (own != nullptr && page_count(*own) == 2 && own->close(e)) ++good;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(good, 12);
}

// A main result of any size: counted up to the run's bound, then read a row
// at a time on a connection of its own while this one answers the pages'
// statements; reading it again gives the same rows.
TEST_P(odbc_data_source, streams_a_forward_result_beside_other_statements_counting_up_to_the_bound) {
    db->set_access_sql(false);
    const std::string numbers =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
        "SELECT i, 'row ' || i AS label FROM n";
    auto rows = db->open_forward_record_set(numbers, error);
    ASSERT_NE(rows, nullptr) << error;
    ASSERT_EQ(rows->record_count(), 40000);
    std::int64_t walked = 0;
    for (; rows->has_current_row(); rows->move_next()) {
        ++walked;
        ASSERT_EQ(rows->value("i")->integer, walked);
        if (walked % 10000 == 0) {
            ASSERT_EQ(rows->value("label")->text, "row " + std::to_string(walked));
            ASSERT_EQ(page_count(*db), 2) << "the run's connection answers meanwhile";
        }
    }
    EXPECT_EQ(walked, 40000);
    ASSERT_TRUE(rows->move_first());
    EXPECT_EQ(rows->value("i")->integer, 1);

    // Past the bound a result counts no further (more rows than a run may use).
    db->set_row_bound(32768);
    rows = db->open_forward_record_set(numbers, error);
    ASSERT_NE(rows, nullptr) << error;
    EXPECT_EQ(rows->record_count(), 32768);
    EXPECT_EQ(rows->value("i")->integer, 1);
    auto snapshot = db->open_record_set(numbers, error);
    ASSERT_NE(snapshot, nullptr) << error;
    EXPECT_EQ(snapshot->record_count(), 32768);

    EXPECT_EQ(db->open_forward_record_set("SELECT * FROM no_such_table", error), nullptr);
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    EXPECT_EQ(db->open_forward_record_set("DELETE FROM pages", error), nullptr);
    EXPECT_EQ(page_count(*db), 2);
}

TEST_P(odbc_data_source, reads_the_source_by_its_name_or_a_whole_connection_string) {
    // A connect text with DATABASE=<dsn name> would open an empty SQLite file
    // named after the source; the rows prove the source's own data was read.
    EXPECT_EQ(page_count(*db), 2);
    EXPECT_FALSE(std::filesystem::exists(test::sqlite_dsn));
    const std::string dsn = GetParam().dsn;
    const std::string whole = dsn == test::postgres_dsn ? server->connection()
                                                        : "Driver=SQLite3;Database=" + sandbox().sqlite_file;
    for (const std::string& text : {whole, "DSN=" + dsn, "Timeout=2000;DSN=" + dsn}) {
        auto other = open_odbc_connection(text, error);
        ASSERT_NE(other, nullptr) << text << ": " << error;
        EXPECT_EQ(page_count(*other), 2) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(odbc, odbc_data_source, ::testing::Values(sqlite_source, postgres_source),
                         [](const auto& source) { return std::string(source.param.name); });

TEST(odbc_unreachable_source, fails_with_a_one_line_reason) {
    const std::pair<std::string, std::string> cases[] = {{"korvane_no_such_source", "not found"},
                                                         {"", "No ODBC data source"},
                                                         {test::postgres_down_dsn, "connect"}};
    for (const auto& [dsn, reason] : cases) {
        std::string error;
        EXPECT_EQ(open_odbc_connection(dsn, error), nullptr) << dsn;
        EXPECT_NE(error.find(reason), std::string::npos) << dsn << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos)
            << "one line for the error report: " << error;
    }
}

TEST(odbc_postgres_lost_server, reports_queries_after_the_server_stopped) {
    test::postgres_server lost(test::sandbox().postgres_lost_dir, test::sandbox().postgres_port);
    const std::string setup_error = lost.start("CREATE TABLE t(a int); INSERT INTO t VALUES (1);");
    ASSERT_TRUE(setup_error.empty()) << setup_error;
    std::string error;
    auto db = open_odbc_connection(test::postgres_lost_dsn, error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_NE(db->open_record_set("SELECT a FROM t", error), nullptr) << error;

    ASSERT_EQ(lost.stop(), "");
    error.clear();
    EXPECT_EQ(db->open_record_set("SELECT a FROM t", error), nullptr);
    EXPECT_FALSE(error.empty());
    db->close(error);
}

}  // namespace
}  // namespace korvane::data
