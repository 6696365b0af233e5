// The ODBC backend against PostgreSQL through psqlODBC, on a server started
// for the suite on a private Unix socket.
#include "data/odbc/odbc_database.h"
#include "odbc_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace korvane::data {
namespace {

using test::sandbox;

class odbc_postgres_source : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new test::postgres_server(sandbox().postgres_dir, sandbox().postgres_port);
        setup_error = server->start(R"sql(
            CREATE TABLE authors(id int PRIMARY KEY, name text);
            CREATE TABLE pages(id int PRIMARY KEY, author_id int REFERENCES authors, title varchar(40),
                               views bigint, small smallint, price numeric(12,4), cost money,
                               rating real, ratio double precision, live boolean, published date,
                               stamp timestamp, at time, body text, data bytea, note text);
            INSERT INTO authors VALUES (1, 'Zoë Ångström'), (2, 'Bob');
            INSERT INTO pages VALUES
                (1, 1, 'Home', 9000000000, 7, 12345.6780, 1234.50, 1.5, 0.1, true, '2024-02-29',
                 '2024-02-29 13:45:07', '08:09:10', 'Grüße ✓', '\x00ff10', ''),
                (2, 2, 'About', -1, -2, -0.5000, -3, NULL, NULL, false, NULL, NULL, NULL, NULL, NULL, NULL);
            CREATE VIEW page_list AS
                SELECT p.title, a.name FROM pages p JOIN authors a ON a.id = p.author_id;
        )sql");
    }

    static void TearDownTestSuite() {
        delete server;  // stops the server and removes its folder, also after failures
        server = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(setup_error.empty()) << setup_error;
        db = open_odbc_connection(test::postgres_dsn, error);
        ASSERT_NE(db, nullptr) << error;
    }

    std::int64_t page_count() {
        auto rs = db->open_record_set("SELECT COUNT(*) AS n FROM pages", error);
        if (rs == nullptr || rs->value("n") == nullptr) return -1;
        return rs->value("n")->integer;
    }

    static test::postgres_server* server;
    static std::string setup_error;
    std::unique_ptr<database> db;
    std::string error;
};
test::postgres_server* odbc_postgres_source::server = nullptr;
std::string odbc_postgres_source::setup_error;

TEST_F(odbc_postgres_source, lists_tables_apart_from_views) {
    std::vector<std::string> tables, views;
    ASSERT_TRUE(db->table_names(tables, error)) << error;
    ASSERT_TRUE(db->query_names(views, error)) << error;
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"authors", "pages"}));
    EXPECT_EQ(views, (std::vector<std::string>{"page_list"}));
}

TEST_F(odbc_postgres_source, runs_a_join_into_a_snapshot) {
    auto rs = db->open_record_set(
        "SELECT a.name, p.title FROM pages p JOIN authors a ON a.id = p.author_id ORDER BY p.id DESC", error);
    ASSERT_NE(rs, nullptr) << error;
    EXPECT_EQ(rs->field_names(), (std::vector<std::string>{"name", "title"}));
    ASSERT_EQ(rs->record_count(), 2);
    EXPECT_EQ(rs->value("name")->text, "Bob");
    ASSERT_TRUE(rs->move_last());
    EXPECT_EQ(rs->value("name")->text, "Zoë Ångström");
    EXPECT_EQ(rs->value("title")->text, "Home");
}

TEST_F(odbc_postgres_source, values_keep_their_kind) {
    auto rs = db->open_record_set("SELECT * FROM pages ORDER BY id", error);
    ASSERT_NE(rs, nullptr) << error;
    ASSERT_EQ(rs->record_count(), 2);
    const auto check = [&](const char* column, value_kind kind, const std::string& text) {
        const db_value* v = rs->value(column);
        ASSERT_NE(v, nullptr) << column;
        EXPECT_EQ(v->kind, kind) << column;
        EXPECT_EQ(value_to_text(*v), text) << column;
    };
    check("id", value_kind::integer, "1");
    check("views", value_kind::integer, "9000000000");
    check("small", value_kind::integer, "7");
    check("price", value_kind::decimal, "12345.6780");  // every stored digit, no rounding through double
    check("cost", value_kind::decimal, "1234.50");
    check("rating", value_kind::single, "1.5");
    check("ratio", value_kind::real, "0.1");
    EXPECT_EQ(rs->value("ratio")->real, 0.1);
    check("live", value_kind::boolean, "True");
    check("published", value_kind::date, "2024-02-29");
    check("stamp", value_kind::date_time, "2024-02-29 13:45:07");
    check("at", value_kind::time, "08:09:10");
    check("body", value_kind::text, "Grüße ✓");
    check("data", value_kind::binary, std::string("\x00\xff\x10", 3));
    check("note", value_kind::text, "");

    ASSERT_TRUE(rs->move_next());
    check("views", value_kind::integer, "-1");
    check("price", value_kind::decimal, "-0.5000");
    check("cost", value_kind::decimal, "-3.00");
    check("live", value_kind::boolean, "False");
    for (const char* column : {"rating", "ratio", "published", "stamp", "at", "body", "data", "note"}) {
        EXPECT_TRUE(rs->value(column)->is_null()) << column;
    }
}

TEST_F(odbc_postgres_source, leaves_the_data_unchanged_by_statements_that_write) {
    db->open_record_set("DELETE FROM pages WHERE id = 2", error);
    db->open_record_set("DELETE FROM pages WHERE id = 1 RETURNING id", error);
    EXPECT_EQ(page_count(), 2) << error;
}

TEST_F(odbc_postgres_source, reports_a_failing_statement_and_stays_usable) {
    EXPECT_EQ(db->open_record_set("SELECT * FROM no_such_table", error), nullptr);
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    // Without a rollback PostgreSQL would refuse everything after the error.
    EXPECT_EQ(page_count(), 2) << error;
}

TEST_F(odbc_postgres_source, fails_clearly_when_no_server_runs) {
    std::string down_error;
    EXPECT_EQ(open_odbc_connection(test::postgres_down_dsn, down_error), nullptr);
    EXPECT_NE(down_error.find("connect"), std::string::npos) << down_error;
    EXPECT_EQ(down_error.find('\n'), std::string::npos) << "one line for the error report: " << down_error;
}

TEST(odbc_postgres_lost_server, reports_queries_after_the_server_stopped) {
    test::postgres_server server(sandbox().postgres_lost_dir, sandbox().postgres_port);
    const std::string setup_error = server.start("CREATE TABLE t(a int); INSERT INTO t VALUES (1);");
    ASSERT_TRUE(setup_error.empty()) << setup_error;
    std::string error;
    auto db = open_odbc_connection(test::postgres_lost_dsn, error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_NE(db->open_record_set("SELECT a FROM t", error), nullptr) << error;

    ASSERT_EQ(server.stop(), "");
    error.clear();
    EXPECT_EQ(db->open_record_set("SELECT a FROM t", error), nullptr);
    EXPECT_FALSE(error.empty());
    db->close(error);
}

}  // namespace
}  // namespace korvane::data
