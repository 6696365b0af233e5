#include "data/sqlite/sqlite_database.h"

#include "sqlite_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <thread>

namespace korvane::data {
namespace {

using test::make_sqlite_file;
using test::read_file;
using test::temp_folder;

// Every open here goes through Qt's driver, as the program's do.
std::unique_ptr<database> open_ok(const std::string& path) {
    std::string error;
    auto db = open_sqlite_file(path, error);
    EXPECT_TRUE(db) << error;
    EXPECT_EQ(error, "");
    return db;
}

std::unique_ptr<record_set> query_ok(database& db, const std::string& sql) {
    std::string error;
    auto result = db.open_record_set(sql, error);
    EXPECT_TRUE(result) << sql << ": " << error;
    return result;
}

std::string query_error(database& db, const std::string& sql) {
    std::string error;
    auto result = db.open_record_set(sql, error);
    EXPECT_FALSE(result) << sql;
    return error;
}

// ---------------------------------------------------------------------------
// Tables and views

class sqlite_catalog : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.path("site.sqlite");
        ASSERT_TRUE(make_sqlite_file(path_,
                                     "CREATE TABLE Zeta (id INTEGER PRIMARY KEY AUTOINCREMENT, a TEXT);"
                                     "CREATE TABLE alpha (x);"
                                     "CREATE VIEW \"Web Pages\" AS SELECT * FROM alpha;"
                                     "CREATE TABLE \"Web Pages Old\" (y);"
                                     "CREATE INDEX alpha_x ON alpha(x);"
                                     "CREATE VIEW aview AS SELECT a FROM Zeta;"
                                     "INSERT INTO Zeta (a) VALUES ('one');"));
    }
    temp_folder folder_;
    std::string path_;
};

TEST_F(sqlite_catalog, lists_user_tables_in_creation_order_without_sqlite_internals) {
    auto db = open_ok(path_);
    ASSERT_TRUE(db);
    std::vector<std::string> names{"stale"};
    std::string error;
    ASSERT_TRUE(db->table_names(names, error)) << error;
    // sqlite_sequence exists (AUTOINCREMENT) but is the engine's own.
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "alpha", "Web Pages Old"}));
}

TEST_F(sqlite_catalog, lists_views_as_stored_queries) {
    auto db = open_ok(path_);
    ASSERT_TRUE(db);
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(db->query_names(names, error)) << error;
    EXPECT_EQ(names, (std::vector<std::string>{"Web Pages", "aview"}));
}

TEST_F(sqlite_catalog, names_with_blanks_work_in_backquotes_and_brackets) {
    auto db = open_ok(path_);
    ASSERT_TRUE(db);
    EXPECT_TRUE(query_ok(*db, "select * from `Web Pages`; "));
    EXPECT_TRUE(query_ok(*db, "select * from [Web Pages Old]"));
    auto result = query_ok(*db, "select * from aview; ");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->record_count(), 1);
    EXPECT_EQ(result->value("A")->text, "one");
}

// ---------------------------------------------------------------------------
// Declared types give the kinds, and the kinds the page texts

class sqlite_values : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.path("values.sqlite");
        ASSERT_TRUE(make_sqlite_file(
            path_,
            "CREATE TABLE v (n INTEGER, i INTEGER, r REAL, c CURRENCY REAL, m money, b BOOLEAN INTEGER,"
            " d DATETIME TEXT, dn DATETIME, dd DATE, t TIME, s SINGLE REAL, dec DECIMAL(10,2), txt TEXT, bl BLOB,"
            " any_col);"
            "CREATE VIEW vv AS SELECT * FROM v;"));
        db_ = open_ok(path_);
        ASSERT_TRUE(db_);
    }

    // One row where only the named column is set; returns that cell.
    db_value cell(const std::string& column, const std::string& literal, const std::string& from = "v") {
        sqlite3* raw = nullptr;
        sqlite3_open(path_.c_str(), &raw);
        sqlite3_exec(raw, "DELETE FROM v", nullptr, nullptr, nullptr);
        const std::string insert = "INSERT INTO v (" + column + ") VALUES (" + literal + ")";
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(raw, insert.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << (message ? message : "");
        sqlite3_free(message);
        sqlite3_close(raw);
        auto result = query_ok(*db_, "SELECT " + column + " FROM " + from);
        if (!result || !result->value(0)) return db_value::from_text("<no row>");
        return *result->value(0);
    }

    temp_folder folder_;
    std::string path_;
    std::unique_ptr<database> db_;
};

struct expected_cell {
    const char* column;
    const char* literal;
    value_kind kind;
    const char* text;
};

TEST_F(sqlite_values, numbers_keep_their_kind_and_print_like_the_engine) {
    const expected_cell cases[] = {
        {"i", "42", value_kind::integer, "42"},
        {"i", "-9223372036854775808", value_kind::integer, "-9223372036854775808"},
        {"r", "0.1", value_kind::real, "0.1"},
        {"r", "1", value_kind::real, "1"},  // REAL affinity stores 1.0
        {"r", "1e20", value_kind::real, "1E+20"},
        {"r", "0.00001", value_kind::real, "1E-05"},
        {"s", "0.150000005960464", value_kind::single, "0.15"},
        {"any_col", "7", value_kind::integer, "7"},
        {"any_col", "2.5", value_kind::real, "2.5"},
    };
    for (const auto& c : cases) {
        const db_value v = cell(c.column, c.literal);
        EXPECT_EQ(v.kind, c.kind) << c.column << " = " << c.literal;
        EXPECT_EQ(value_to_text(v), c.text) << c.column << " = " << c.literal;
    }
}

TEST_F(sqlite_values, currency_is_exact_to_four_decimals) {
    const expected_cell cases[] = {
        {"c", "14", value_kind::currency, "14"},
        {"c", "14.5", value_kind::currency, "14.5"},
        {"c", "3.0125", value_kind::currency, "3.0125"},
        {"c", "-2.5", value_kind::currency, "-2.5"},
        {"c", "0.1", value_kind::currency, "0.1"},
        {"m", "19.99", value_kind::currency, "19.99"},
        // Beyond what ten-thousandths can hold: kept as a plain number.
        {"c", "1e300", value_kind::real, "1E+300"},
        {"c", "'n/a'", value_kind::text, "n/a"},
    };
    for (const auto& c : cases) {
        const db_value v = cell(c.column, c.literal);
        EXPECT_EQ(v.kind, c.kind) << c.column << " = " << c.literal;
        EXPECT_EQ(value_to_text(v), c.text) << c.column << " = " << c.literal;
    }
    EXPECT_EQ(cell("c", "3.0125").integer, 30125);
}

TEST_F(sqlite_values, booleans_read_as_true_and_false) {
    EXPECT_EQ(value_to_text(cell("b", "-1")), "True");
    EXPECT_EQ(value_to_text(cell("b", "1")), "True");
    EXPECT_EQ(value_to_text(cell("b", "0")), "False");
    const db_value yes = cell("b", "-1");
    EXPECT_EQ(yes.kind, value_kind::boolean);
    EXPECT_EQ(yes.integer, -1);
    EXPECT_TRUE(cell("b", "NULL").is_null());
}

TEST_F(sqlite_values, date_texts_are_normalised) {
    const expected_cell cases[] = {
        {"d", "'2024-03-05'", value_kind::date_time, "2024-03-05"},
        {"d", "'2024-03-05 00:00:00'", value_kind::date_time, "2024-03-05"},
        {"d", "'2024-03-05 14:30:00'", value_kind::date_time, "2024-03-05 14:30:00"},
        {"d", "'2024-03-05T14:30:15.250'", value_kind::date_time, "2024-03-05 14:30:15"},
        {"d", "'2024-03-05 14:30'", value_kind::date_time, "2024-03-05 14:30:00"},
        {"d", "'1899-12-30 08:15:00'", value_kind::date_time, "08:15:00"},
        {"d", "'08:15'", value_kind::time, "08:15:00"},
        {"dd", "'2024-03-05'", value_kind::date, "2024-03-05"},
        {"dd", "'2024-03-05 10:00:00'", value_kind::date_time, "2024-03-05 10:00:00"},
        {"t", "'07:05:09.5'", value_kind::time, "07:05:09"},
        // Not a date: left as the text it is.
        {"d", "'2024-13-05'", value_kind::text, "2024-13-05"},
        {"d", "'5 March 2024'", value_kind::text, "5 March 2024"},
        {"d", "'2024-03-05 25:00:00'", value_kind::text, "2024-03-05 25:00:00"},
        {"d", "'2024-03-05 14:30:00+02:00'", value_kind::text, "2024-03-05 14:30:00+02:00"},
        {"d", "''", value_kind::text, ""},
        // Numbers in a date column stay numbers.
        {"dn", "45000", value_kind::integer, "45000"},
        {"dn", "45000.5", value_kind::real, "45000.5"},
        {"dn", "'2024-03-05'", value_kind::date_time, "2024-03-05"},
    };
    for (const auto& c : cases) {
        const db_value v = cell(c.column, c.literal);
        EXPECT_EQ(v.kind, c.kind) << c.column << " = " << c.literal;
        EXPECT_EQ(value_to_text(v), c.text) << c.column << " = " << c.literal;
    }
    EXPECT_EQ(cell("d", "'2024-03-05'").text, "2024-03-05 00:00:00");
}

TEST_F(sqlite_values, null_and_the_empty_text_stay_apart) {
    const db_value null = cell("txt", "NULL");
    const db_value empty = cell("txt", "''");
    EXPECT_TRUE(null.is_null());
    EXPECT_EQ(empty.kind, value_kind::text);
    EXPECT_EQ(empty.text, "");
    EXPECT_TRUE(cell("c", "NULL").is_null());
    EXPECT_TRUE(cell("d", "NULL").is_null());
}

TEST_F(sqlite_values, text_blob_and_decimal_bytes_are_kept) {
    const db_value utf8 = cell("txt", "'Ärger in Åre: 😀'");
    EXPECT_EQ(utf8.kind, value_kind::text);
    EXPECT_EQ(utf8.text, "Ärger in Åre: 😀");

    const db_value blob = cell("bl", "x'00FF410A'");
    EXPECT_EQ(blob.kind, value_kind::binary);
    EXPECT_EQ(blob.text, std::string("\x00\xff\x41\x0a", 4));

    EXPECT_EQ(value_to_text(cell("txt", "'line1' || char(13, 10) || 'line2'")), "line1\r\nline2");

    // NUMERIC affinity keeps text that does not read as a number.
    const db_value dec = cell("dec", "'12.50 EUR'");
    EXPECT_EQ(dec.kind, value_kind::decimal);
    EXPECT_EQ(dec.text, "12.50 EUR");
    EXPECT_EQ(cell("dec", "12.5").kind, value_kind::real);
}

TEST_F(sqlite_values, kinds_follow_columns_through_views_but_not_expressions) {
    EXPECT_EQ(cell("c", "14.5", "vv").kind, value_kind::currency);
    EXPECT_EQ(cell("b", "-1", "vv").kind, value_kind::boolean);
    // An expression has no declared type: the stored value decides.
    cell("c, b", "14.5, -1");
    auto result = query_ok(*db_, "SELECT c * 2 AS doubled, b + 0 FROM v");
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->value(0));
    EXPECT_EQ(result->value(0)->kind, value_kind::real);
    EXPECT_EQ(result->value(1)->kind, value_kind::integer);
    EXPECT_EQ(result->field_names(), (std::vector<std::string>{"doubled", "b + 0"}));
}

TEST_F(sqlite_values, fetches_every_row_in_order) {
    ASSERT_TRUE(make_sqlite_file(path_,
                                 "CREATE TABLE many (k INTEGER);"
                                 "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 5000)"
                                 " INSERT INTO many SELECT k FROM n;"));
    auto result = query_ok(*db_, "SELECT k FROM many ORDER BY k");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->record_count(), 5000);
    ASSERT_TRUE(result->move_last());
    EXPECT_EQ(result->value("k")->integer, 5000);

    auto none = query_ok(*db_, "SELECT k FROM many WHERE k < 0");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->record_count(), 0);
    EXPECT_EQ(none->field_names(), std::vector<std::string>{"k"});
    EXPECT_FALSE(none->move_last());
}

// ---------------------------------------------------------------------------
// Failing SQL

class sqlite_errors : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.path("e.sqlite");
        ASSERT_TRUE(make_sqlite_file(path_, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);"));
        db_ = open_ok(path_);
        ASSERT_TRUE(db_);
    }
    temp_folder folder_;
    std::string path_;
    std::unique_ptr<database> db_;
};

TEST_F(sqlite_errors, bad_sql_gives_the_sqlite_message) {
    EXPECT_EQ(query_error(*db_, "SELEC * FROM t"), "near \"SELEC\": syntax error");
    EXPECT_EQ(query_error(*db_, "SELECT * FROM missing"), "no such table: missing");
    // Double quotes name columns only; an unknown one is an error, not a string.
    EXPECT_EQ(query_error(*db_, "SELECT \"nope\" FROM t"), "no such column: nope");
}

TEST_F(sqlite_errors, only_one_statement_is_run) {
    EXPECT_NE(query_error(*db_, ""), "");
    EXPECT_NE(query_error(*db_, "  -- nothing"), "");
    EXPECT_NE(query_error(*db_, "SELECT 1; SELECT 2"), "");
    // Trailing semicolons, blanks and comments are fine.
    EXPECT_TRUE(query_ok(*db_, "SELECT a FROM t;; \r\n -- done"));
}

TEST_F(sqlite_errors, nothing_can_be_written_through_the_connection) {
    const std::string before = read_file(path_);
    EXPECT_NE(query_error(*db_, "INSERT INTO t VALUES (2)"), "");
    EXPECT_NE(query_error(*db_, "UPDATE t SET a = 5"), "");
    EXPECT_NE(query_error(*db_, "DROP TABLE t"), "");
    EXPECT_NE(query_error(*db_, "CREATE TABLE u (b)"), "");
    EXPECT_NE(query_error(*db_, "ATTACH '" + folder_.path("new.sqlite") + "' AS other"), "");
    EXPECT_FALSE(std::filesystem::exists(folder_.path("new.sqlite")));
    // A statement that writes but returns rows is refused before it runs.
    EXPECT_NE(query_error(*db_, "INSERT INTO t VALUES (3) RETURNING a"), "");
    // Statements without rows would change the connection, not the file.
    EXPECT_NE(query_error(*db_, "BEGIN"), "");
    EXPECT_NE(query_error(*db_, "PRAGMA query_only = 0"), "");
    EXPECT_TRUE(query_ok(*db_, "PRAGMA table_info(t)"));

    std::string error;
    ASSERT_TRUE(db_->close(error));
    EXPECT_EQ(read_file(path_), before);
}

TEST_F(sqlite_errors, a_closed_database_reports_instead_of_crashing) {
    std::string error;
    EXPECT_TRUE(db_->close(error));
    EXPECT_TRUE(db_->close(error));  // a second close does nothing
    EXPECT_NE(query_error(*db_, "SELECT 1"), "");
    std::vector<std::string> names;
    EXPECT_FALSE(db_->table_names(names, error));
    EXPECT_NE(error, "");
}

// ---------------------------------------------------------------------------
// Opening

TEST(sqlite_open, missing_file_is_named_in_the_error) {
    temp_folder folder;
    const std::string path = folder.path("gone.sqlite");
    std::string error;
    EXPECT_FALSE(open_sqlite_file(path, error));
    EXPECT_EQ(error, "Could not find file '" + path + "'.");
    EXPECT_FALSE(std::filesystem::exists(path)) << "a read-only open must not create the file";
}

TEST(sqlite_open, files_that_are_not_sqlite_are_refused_clearly) {
    temp_folder folder;
    const std::string text = folder.path("notes.sqlite");
    test::write_file(text, "These are plain notes, not a database.\n");
    const std::string empty = folder.path("empty.sqlite");
    test::write_file(empty, "");
    const std::string damaged = folder.path("damaged.sqlite");
    test::write_file(damaged, std::string("SQLite format 3\0", 16) + std::string(200, '\x7f'));

    for (const auto& path : {text, empty, damaged}) {
        std::string error;
        EXPECT_FALSE(open_sqlite_file(path, error)) << path;
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find("file is not a database"), std::string::npos) << error;
    }
    EXPECT_EQ(test::read_file(text), "These are plain notes, not a database.\n");
    EXPECT_EQ(test::read_file(empty), "");

    // The choice of backend looks at the content, not the name.
    std::string error;
    EXPECT_FALSE(open_database_file(text, error));
    EXPECT_NE(error, "");
}

TEST(sqlite_open, write_ahead_log_files_are_read) {
    temp_folder folder;
    const std::string path = folder.path("wal.sqlite");
    ASSERT_TRUE(make_sqlite_file(path, "PRAGMA journal_mode=WAL; CREATE TABLE t (a); INSERT INTO t VALUES (7);"));
    auto db = open_ok(path);
    ASSERT_TRUE(db);
    auto result = query_ok(*db, "SELECT a FROM t");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->value(0)->integer, 7);
}

TEST(sqlite_open, the_backend_is_chosen_by_content) {
    temp_folder folder;
    const std::string path = folder.path("site.db");
    ASSERT_TRUE(make_sqlite_file(path, "CREATE TABLE Pages (a);"));
    std::string error;
    auto db = open_database_file(path, error);
    ASSERT_TRUE(db) << error;
    std::vector<std::string> names;
    ASSERT_TRUE(db->table_names(names, error));
    EXPECT_EQ(names, std::vector<std::string>{"Pages"});
}

TEST(sqlite_open, connections_are_independent) {
    temp_folder folder;
    const std::string path = folder.path("twice.sqlite");
    ASSERT_TRUE(make_sqlite_file(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1);"));
    auto first = open_ok(path);
    auto second = open_ok(path);
    ASSERT_TRUE(first && second);
    std::string error;
    ASSERT_TRUE(first->close(error));
    first.reset();
    auto result = query_ok(*second, "SELECT a FROM t");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->record_count(), 1);
}

TEST(sqlite_open, a_read_snapshot_holds_one_view_until_it_ends) {
    temp_folder folder;
    const std::string path = folder.path("snapshot.sqlite");
    ASSERT_TRUE(make_sqlite_file(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1);"));
    auto db = open_ok(path);
    ASSERT_TRUE(db);
    auto insert = [&] {
        sqlite3* writer = nullptr;
        sqlite3_open(path.c_str(), &writer);
        const int rc = sqlite3_exec(writer, "INSERT INTO t VALUES (2)", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
        return rc;
    };

    db->begin_read_snapshot();
    EXPECT_EQ(query_ok(*db, "SELECT a FROM t")->record_count(), 1);
    EXPECT_EQ(insert(), SQLITE_BUSY);  // a writer waits for the run
    EXPECT_EQ(query_ok(*db, "SELECT a FROM t")->record_count(), 1);
    db->end_read_snapshot();

    EXPECT_EQ(insert(), SQLITE_OK);
    EXPECT_EQ(query_ok(*db, "SELECT a FROM t")->record_count(), 2);
    db->begin_read_snapshot();
    std::string error;
    EXPECT_TRUE(db->close(error));  // closing ends the snapshot too
    EXPECT_EQ(insert(), SQLITE_OK);
}

TEST(sqlite_open, each_thread_can_open_its_own_connection) {
    temp_folder folder;
    const std::string path = folder.path("threads.sqlite");
    ASSERT_TRUE(make_sqlite_file(path,
                                 "CREATE TABLE t (k INTEGER);"
                                 "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 100)"
                                 " INSERT INTO t SELECT k FROM n;"));
    constexpr int thread_count = 4;
    std::vector<long long> sums(thread_count, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < thread_count; ++i) {
        threads.emplace_back([&path, &sums, i] {
            std::string error;
            auto db = open_sqlite_file(path, error);
            if (!db) return;
            long long sum = 0;
            for (int round = 0; round < 50; ++round) {
                auto result = db->open_record_set("SELECT sum(k) FROM t WHERE k <= " + std::to_string(round), error);
                if (!result) return;
                sum += result->value(0)->is_null() ? 0 : result->value(0)->integer;
            }
            db->close(error);
            sums[static_cast<std::size_t>(i)] = sum;
        });
    }
    for (auto& t : threads) t.join();
    for (long long sum : sums) EXPECT_EQ(sum, 20825);  // sum over r < 50 of r(r+1)/2
}

// ---------------------------------------------------------------------------
// The reader on a connection of its own (as the Access backend uses it)

TEST(sqlite_reader, reads_any_connection_and_refuses_changes) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE p (price CURRENCY REAL, sold BOOLEAN INTEGER);"
                           "INSERT INTO p VALUES (3.5, -1), (NULL, 0);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string error;
    auto result = run_sqlite_query(raw, "SELECT * FROM p", error);
    ASSERT_TRUE(result) << error;
    EXPECT_EQ(result->record_count(), 2);
    EXPECT_EQ(value_to_text(*result->value("price")), "3.5");
    EXPECT_EQ(value_to_text(*result->value("sold")), "True");

    EXPECT_FALSE(run_sqlite_query(raw, "DELETE FROM p", error));
    EXPECT_NE(error, "");
    result = run_sqlite_query(raw, "SELECT count(*) FROM p", error);
    ASSERT_TRUE(result) << error;
    EXPECT_EQ(result->value(0)->integer, 2);

    EXPECT_FALSE(run_sqlite_query(nullptr, "SELECT 1", error));
    EXPECT_NE(error, "");
    sqlite3_close(raw);
}

}  // namespace
}  // namespace korvane::data
