// SPDX-License-Identifier: Apache-2.0
#include "data/sqlite/sqlite_database.h"

#include "../../support/case_table.h"
#include "../kind_names.h"
#include "sqlite_test_support.h"

#include <sqlite3.h>

namespace korvane::data {
namespace {

using test::make_sqlite_file;
using test::read_file;
using test::temp_folder;

std::string sql_file(const std::string& name) {
    return read_file(KORVANE_SOURCE_DIR "/tests/data/sqlite/" + name);
}

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
    EXPECT_FALSE(db.open_record_set(sql, error)) << sql;
    return error;
}

// A database file made from SQL, open for the test.
class sqlite_file : public ::testing::Test {
protected:
    bool open_site(const std::string& sql) {
        path_ = folder_.path("site.sqlite");
        if (!make_sqlite_file(path_, sql)) return false;
        db_ = open_ok(path_);
        return db_ != nullptr;
    }

    temp_folder folder_;
    std::string path_;
    std::unique_ptr<database> db_;
};

TEST_F(sqlite_file, the_catalog_lists_tables_apart_from_views_and_blank_names_can_be_quoted) {
    // A file in write-ahead-log mode reads like any other.
    ASSERT_TRUE(make_sqlite_file(folder_.path("site.db"), sql_file("catalog.sql")));
    // The backend is chosen by the content, not the name.
    std::string error;
    auto db = open_database_file(folder_.path("site.db"), error);
    ASSERT_TRUE(db) << error;
    std::vector<std::string> names{"stale"};
    ASSERT_TRUE(db->table_names(names, error)) << error;
    // sqlite_sequence exists (AUTOINCREMENT) but is the engine's own.
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "alpha", "Web Pages Old"}));
    ASSERT_TRUE(db->query_names(names, error)) << error;
    EXPECT_EQ(names, (std::vector<std::string>{"Web Pages", "aview"}));

    EXPECT_TRUE(query_ok(*db, "select * from `Web Pages`; "));
    EXPECT_TRUE(query_ok(*db, "select * from [Web Pages Old]"));
    auto result = query_ok(*db, "select * from aview; ");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->record_count(), 1);
    EXPECT_EQ(result->value("A")->text, "one");
}

// ---------------------------------------------------------------------------
// Declared types give the kinds, and the kinds the page texts

class sqlite_values : public sqlite_file {
protected:
    void SetUp() override { ASSERT_TRUE(open_site(sql_file("values.sql"))); }

    // One row where only the named column is set; returns that cell.
    db_value cell(const std::string& column, const std::string& literal,
                  const std::string& from = "v") {
        make_sqlite_file(path_, "DELETE FROM v; INSERT INTO v (" + column + ") VALUES (" + literal + ")");
        auto result = query_ok(*db_, "SELECT " + column + " FROM " + from);
        if (!result || !result->value(0)) return db_value::from_text("<no row>");
        return *result->value(0);
    }
};

TEST_F(sqlite_values, each_declared_type_gives_its_kind_and_page_text) {
    for (const auto& row : test::read_case_table("data/sqlite/sqlite_value_cases.tsv", 4)) {
        const db_value v = cell(row[0], row[1]);
        EXPECT_EQ(test::kind_name(v.kind), row[2]) << row.where;
        EXPECT_EQ(value_to_text(v), row[3]) << row.where;
    }
    EXPECT_EQ(cell("c", "3.0125").integer, 30125);
    EXPECT_EQ(cell("b", "-1").integer, -1);
    EXPECT_EQ(cell("d", "'2024-03-05'").text, "2024-03-05 00:00:00");
}

TEST_F(sqlite_values, kinds_follow_columns_through_views_but_not_expressions) {
    EXPECT_EQ(cell("c", "14.5", "vv").kind, value_kind::currency);
    EXPECT_EQ(cell("b", "-1", "vv").kind, value_kind::boolean);
    // An expression has no declared type: the stored value decides.
    cell("c, b", "14.5, -1");
    auto result = query_ok(*db_, "SELECT c * 2 AS doubled, b + 0 FROM v");
    ASSERT_TRUE(result && result->value(0));
    EXPECT_EQ(result->value(0)->kind, value_kind::real);
    EXPECT_EQ(result->value(1)->kind, value_kind::integer);
    EXPECT_EQ(result->field_names(), (std::vector<std::string>{"doubled", "b + 0"}));

    // An empty result still names its columns.
    auto none = query_ok(*db_, "SELECT i FROM v WHERE i < 0");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->record_count(), 0);
    EXPECT_EQ(none->field_names(), std::vector<std::string>{"i"});
    EXPECT_FALSE(none->move_last());
}

// ---------------------------------------------------------------------------
// What is refused

TEST_F(sqlite_file, only_one_statement_that_reads_is_run) {
    ASSERT_TRUE(open_site("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);"
                          "CREATE VIRTUAL TABLE f USING fts4(a); INSERT INTO f VALUES ('a b');"));
    const std::string before = read_file(path_);
    for (const auto& row : test::read_case_table("data/sqlite/sqlite_refused_cases.tsv", 2)) {
        const std::string error = query_error(*db_, row[0]);
        if (row[1].empty()) EXPECT_NE(error, "") << row.where;
        else EXPECT_EQ(error, row[1]) << row.where;
    }
    EXPECT_NE(query_error(*db_, "ATTACH '" + folder_.path("new.sqlite") + "' AS other"), "");
    // Trailing semicolons, blanks and comments are fine.
    EXPECT_TRUE(query_ok(*db_, "SELECT a FROM t;; \r\n -- done"));
    EXPECT_TRUE(query_ok(*db_, "PRAGMA table_info(t)"));
    // A full-text table is read like any other.
    EXPECT_TRUE(query_ok(*db_, "SELECT a FROM f WHERE f MATCH 'b'")) << query_error(*db_, "SELECT a FROM f");
    EXPECT_FALSE(std::filesystem::exists(folder_.path("new.sqlite")));

    std::string error;
    ASSERT_TRUE(db_->close(error));
    EXPECT_EQ(read_file(path_), before);
    // Closed, it reports instead of crashing; a second close does nothing.
    EXPECT_TRUE(db_->close(error));
    EXPECT_NE(query_error(*db_, "SELECT 1"), "");
    std::vector<std::string> names;
    EXPECT_FALSE(db_->table_names(names, error));
    EXPECT_NE(error, "");
}

TEST(sqlite_open, files_that_are_not_sqlite_databases_are_refused_clearly) {
    temp_folder folder;
    const std::string path = folder.path("site.sqlite");
    std::string error;
    EXPECT_FALSE(open_sqlite_file(path, error));
    EXPECT_EQ(error, "Could not find file '" + path + "'.");
    EXPECT_FALSE(std::filesystem::exists(path)) << "a read-only open must not create the file";

    const std::string notes = "These are plain notes, not a database.\n";
    for (const std::string& bytes :
         {notes, std::string(), std::string("SQLite format 3\0", 16) + std::string(200, '\x7f')}) {
        SCOPED_TRACE(bytes.substr(0, 15));
        test::write_file(path, bytes);
        EXPECT_FALSE(open_sqlite_file(path, error));
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find("file is not a database"), std::string::npos) << error;
        EXPECT_EQ(read_file(path), bytes);
    }
    test::write_file(path, notes);
    EXPECT_FALSE(open_database_file(path, error));
    EXPECT_NE(error, "");
}

TEST(sqlite_open, a_read_snapshot_holds_one_view_until_it_ends) {
    temp_folder folder;
    const std::string path = folder.path("snapshot.sqlite");
    ASSERT_TRUE(make_sqlite_file(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1);"));
    auto db = open_ok(path);
    auto other = open_ok(path);
    ASSERT_TRUE(db && other);
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
    // Connections are independent: the other one still reads.
    db.reset();
    EXPECT_EQ(query_ok(*other, "SELECT a FROM t")->record_count(), 3);
}

// A forward result is counted before its rows are read, by the engine where
// the statement can be wrapped in a count and by stepping where it cannot:
// either way the count is that of the rows the statement gives.
TEST_F(sqlite_file, a_forward_result_counts_the_rows_it_gives) {
    ASSERT_TRUE(open_site("CREATE TABLE t (a INTEGER, b TEXT);"
                          "INSERT INTO t VALUES (1, 'x'), (2, 'x'), (3, 'y'), (4, NULL);"
                          "CREATE VIEW v AS SELECT a FROM t WHERE a > 1;"));
    db_->begin_read_snapshot();
    for (const auto& row : test::read_case_table("data/sqlite/forward_counts.tsv", 1)) {
        const std::string& sql = row[0];
        std::string error;
        const auto all = db_->open_record_set(sql, error);
        ASSERT_TRUE(all) << sql << ": " << error;
        const auto forward = db_->open_forward_record_set(sql, error);
        ASSERT_TRUE(forward) << sql << ": " << error;
        EXPECT_EQ(forward->record_count(), all->record_count()) << sql;
        std::int64_t read = 0;
        for (forward->move_first(); forward->has_current_row(); forward->move_next()) ++read;
        EXPECT_EQ(read, all->record_count()) << sql;
    }
    db_->end_read_snapshot();
}

// The reader on a connection of its own (as the Access backend uses it).
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
