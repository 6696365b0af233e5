// The ODBC backend against a data source on the SQLite3 ODBC driver.
#include "data/odbc/odbc_database.h"
#include "odbc_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace korvane::data {
namespace {

using test::sandbox;

class odbc_sqlite_source : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setup_error = test::make_sqlite_file(sandbox().sqlite_file, R"sql(
            CREATE TABLE authors(id INTEGER PRIMARY KEY, name TEXT);
            CREATE TABLE pages(id INTEGER PRIMARY KEY, author_id INTEGER, title TEXT, views BIGINT,
                               rating REAL, published DATE, body TEXT, data BLOB, note TEXT);
            INSERT INTO authors VALUES (1, 'Zoë Ångström'), (2, 'Bob');
            INSERT INTO pages VALUES
                (1, 1, 'Home', 9000000000, 4.25, '2024-02-29', 'Grüße ✓', x'00ff10', ''),
                (2, 2, 'About', -7, NULL, NULL, NULL, NULL, NULL),
                (3, 1, 'Links', 0, 0.1, '1999-12-31', 'x', NULL, 'n');
            CREATE VIEW page_list AS
                SELECT p.title, a.name FROM pages p JOIN authors a ON a.id = p.author_id;
        )sql");
    }

    void SetUp() override {
        ASSERT_TRUE(setup_error.empty()) << setup_error;
        db = open_odbc_connection(test::sqlite_dsn, error);
        ASSERT_NE(db, nullptr) << error;
    }

    std::int64_t page_count() {
        auto rs = db->open_record_set("SELECT COUNT(*) AS n FROM pages", error);
        if (rs == nullptr || rs->value("n") == nullptr) return -1;
        return rs->value("n")->integer;
    }

    static std::string setup_error;
    std::unique_ptr<database> db;
    std::string error;
};
std::string odbc_sqlite_source::setup_error;

TEST_F(odbc_sqlite_source, lists_tables_apart_from_views) {
    std::vector<std::string> tables, views;
    ASSERT_TRUE(db->table_names(tables, error)) << error;
    ASSERT_TRUE(db->query_names(views, error)) << error;
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"authors", "pages"}));
    EXPECT_EQ(views, (std::vector<std::string>{"page_list"}));
}

TEST_F(odbc_sqlite_source, runs_a_join_into_a_snapshot) {
    auto rs = db->open_record_set(
        "SELECT a.name, p.title FROM pages p JOIN authors a ON a.id = p.author_id ORDER BY p.id", error);
    ASSERT_NE(rs, nullptr) << error;
    EXPECT_EQ(rs->field_names(), (std::vector<std::string>{"name", "title"}));
    ASSERT_EQ(rs->record_count(), 3);
    EXPECT_EQ(rs->value("name")->text, "Zoë Ångström");
    ASSERT_TRUE(rs->move_last());
    EXPECT_EQ(rs->value("title")->text, "Links");

    auto view = db->open_record_set("SELECT * FROM page_list", error);
    ASSERT_NE(view, nullptr) << error;
    EXPECT_EQ(view->record_count(), 3);
}

TEST_F(odbc_sqlite_source, values_keep_their_kind) {
    auto rs = db->open_record_set("SELECT * FROM pages ORDER BY id", error);
    ASSERT_NE(rs, nullptr) << error;
    ASSERT_EQ(rs->record_count(), 3);

    EXPECT_EQ(rs->value("id")->kind, value_kind::integer);
    EXPECT_EQ(rs->value("views")->kind, value_kind::integer);
    EXPECT_EQ(rs->value("views")->integer, 9000000000);
    EXPECT_EQ(rs->value("rating")->kind, value_kind::real);
    EXPECT_EQ(rs->value("rating")->real, 4.25);
    EXPECT_EQ(rs->value("published")->kind, value_kind::date);
    EXPECT_EQ(rs->value("published")->text, "2024-02-29");
    EXPECT_EQ(rs->value("body")->kind, value_kind::text);
    EXPECT_EQ(rs->value("body")->text, "Grüße ✓");
    EXPECT_EQ(rs->value("data")->kind, value_kind::binary);
    EXPECT_EQ(rs->value("data")->text, std::string("\x00\xff\x10", 3));
    EXPECT_FALSE(rs->value("note")->is_null());
    EXPECT_EQ(rs->value("note")->text, "");

    ASSERT_TRUE(rs->move_next());
    EXPECT_EQ(rs->value("views")->integer, -7);
    for (const char* column : {"rating", "published", "body", "data", "note"}) {
        EXPECT_TRUE(rs->value(column)->is_null()) << column;
    }

    ASSERT_TRUE(rs->move_next());
    EXPECT_EQ(value_to_text(*rs->value("rating")), "0.1");
}

TEST_F(odbc_sqlite_source, reads_what_the_data_source_names_not_a_database_called_like_it) {
    // A connect text with DATABASE=<dsn name> would open an empty file
    // named after the source; the rows prove the source's own file was read.
    EXPECT_EQ(page_count(), 3) << error;
    EXPECT_FALSE(std::filesystem::exists(test::sqlite_dsn));
}

TEST_F(odbc_sqlite_source, accepts_whole_connection_strings) {
    for (const std::string& text : {"Driver=SQLite3;Database=" + sandbox().sqlite_file,
                                    std::string("DSN=") + test::sqlite_dsn,
                                    std::string("Timeout=2000;DSN=") + test::sqlite_dsn}) {
        auto other = open_odbc_connection(text, error);
        ASSERT_NE(other, nullptr) << text << ": " << error;
        auto rs = other->open_record_set("SELECT title FROM pages", error);
        ASSERT_NE(rs, nullptr) << text << ": " << error;
        EXPECT_EQ(rs->record_count(), 3) << text;
    }
}

TEST_F(odbc_sqlite_source, leaves_the_data_unchanged_by_statements_that_write) {
    db->open_record_set("DELETE FROM pages", error);
    db->open_record_set("CREATE TABLE intruder(a)", error);
    EXPECT_EQ(page_count(), 3);
    std::vector<std::string> tables;
    ASSERT_TRUE(db->table_names(tables, error));
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "intruder"), 0);
}

TEST_F(odbc_sqlite_source, reports_a_failing_statement_and_stays_usable) {
    EXPECT_EQ(db->open_record_set("SELECT * FROM no_such_table", error), nullptr);
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    EXPECT_EQ(page_count(), 3) << error;
}

TEST_F(odbc_sqlite_source, refuses_work_once_closed) {
    ASSERT_TRUE(db->close(error)) << error;
    EXPECT_TRUE(db->close(error));
    error.clear();
    EXPECT_EQ(db->open_record_set("SELECT 1", error), nullptr);
    EXPECT_FALSE(error.empty());
    std::vector<std::string> names;
    EXPECT_FALSE(db->table_names(names, error));
}

TEST_F(odbc_sqlite_source, serves_one_connection_per_thread) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&good] {
            for (int round = 0; round < 3; ++round) {
                std::string e;
                auto own = open_odbc_connection(test::sqlite_dsn, e);
                if (own == nullptr) return;
                auto rs = own->open_record_set("SELECT * FROM pages", e);
                if (rs != nullptr && rs->record_count() == 3 && own->close(e)) ++good;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(good, 12);
}

TEST(odbc_missing_source, fails_with_the_driver_managers_reason) {
    std::string error;
    EXPECT_EQ(open_odbc_connection("korvane_no_such_source", error), nullptr);
    EXPECT_NE(error.find("not found"), std::string::npos) << error;

    error.clear();
    EXPECT_EQ(open_odbc_connection("", error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace korvane::data
