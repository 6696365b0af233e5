// SPDX-License-Identifier: Apache-2.0
// Templates hold Access SQL whatever the source. dialect_cases.tsv gives, per
// statement, the PostgreSQL text it becomes and the rows it gives on a
// PostgreSQL server and on an SQLite file through ODBC, both holding the same
// table under a name with a blank and columns in mixed case.
#include "data/odbc/odbc_database.h"
#include "data/odbc/odbc_dialect.h"
#include "data/sql/access_sql.h"
#include "odbc_test_support.h"
#include "sqlite_test_support.h"
#include "../../support/case_table.h"
#include "../kind_names.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

namespace korvane::data {
namespace {

using test::column_text;

class access_sql_on_odbc : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto& box = test::sandbox();
        server_ = std::make_unique<test::postgres_server>(box.root / "pg_dialect", box.postgres_port);
        const std::string rows = test::sql_file("web_pages_rows.sql");
        setup_error_ = server_->start(test::sql_file("web_pages_postgres.sql") + rows);
        postgres_ = server_->connection();
        const std::string file = (box.root / "dialect.sqlite").string();
        std::filesystem::remove(file);
        if (!test::make_sqlite_file(file, test::sql_file("web_pages_sqlite.sql") + rows)) {
            setup_error_ += "the SQLite file was not made";
        }
        sqlite_ = "Driver=SQLite3;Database=" + file;
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override { ASSERT_EQ(setup_error_, ""); }

    static inline std::unique_ptr<test::postgres_server> server_;
    static inline std::string setup_error_, postgres_, sqlite_;
};

TEST_F(access_sql_on_odbc, every_case_of_the_table_on_postgresql_and_sqlite) {
    std::string error;
    auto pg = open_odbc_connection(postgres_, error);
    ASSERT_NE(pg, nullptr) << error;
    auto lite = open_odbc_connection(sqlite_, error);
    ASSERT_NE(lite, nullptr) << error;
    // The text PostgreSQL gets, from a dialect read off a connection of its own.
    QSqlDatabase raw = QSqlDatabase::addDatabase("QODBC", "dialect_text");
    raw.setDatabaseName(QString::fromStdString(postgres_));
    ASSERT_TRUE(raw.open());
    {
        const QVariant handle = raw.driver()->handle();
        odbc_dialect target(*static_cast<void* const*>(handle.constData()));
        EXPECT_EQ(target.dbms_name(), "PostgreSQL");
        const auto rows = test::read_case_table("data/odbc/dialect_cases.tsv", 4);
        ASSERT_GT(rows.size(), 40u);
        for (const auto& row : rows) {
            const sql::translated_sql t = sql::translate_access_sql(row[0], target.target());
            test::expect_outcome(t.error.empty() ? t.sql : "error: " + t.error, row[1], row.where + " (text)");
            test::expect_outcome(column_text(*pg, row[0]), row[2], row.where + " (PostgreSQL)");
            test::expect_outcome(column_text(*lite, row[0]), row[3], row.where + " (SQLite)");
        }
    }
    raw.close();
    raw = QSqlDatabase();
    QSqlDatabase::removeDatabase("dialect_text");
}

TEST_F(access_sql_on_odbc, native_passes_statements_through_and_errors_show_the_text_sent) {
    std::string error;
    auto pg = open_odbc_connection(postgres_, error);
    ASSERT_NE(pg, nullptr) << error;
    // The main statement of a table with a blank in its name.
    const std::string main_sql = "select * from `Web Pages`; ";
    EXPECT_EQ(column_text(*pg, main_sql), "1|2|3|4");
    EXPECT_NE(column_text(*pg, "SELECT Title FROM [Web Pages] WHERE Nothing = 1").find(
                  "[sent to PostgreSQL as: SELECT \"Title\" FROM \"Web Pages\" WHERE Nothing = 1]"),
              std::string::npos);
    EXPECT_NE(column_text(*pg, "SELECT Round(Price) FROM [Web Pages]").find("sql_dialect=native"), std::string::npos);

    pg->set_access_sql(false);
    EXPECT_NE(column_text(*pg, main_sql).find("syntax error"), std::string::npos);
    EXPECT_EQ(column_text(*pg, "SELECT \"PageID\" FROM \"Web Pages\" WHERE \"Title\" ~ '^A'"), "2");
}

}  // namespace
}  // namespace korvane::data
