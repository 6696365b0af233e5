// SPDX-License-Identifier: Apache-2.0
// Guards for the fast paths of a generation run: a repeating section's
// statement kept prepared across pages must give every page its own rows,
// names and errors, as preparing it afresh would.
#include "data/engine/database.h"
#include "data/sqlite/sqlite_database.h"
#include "sqlite_test_support.h"
#include "../data/kind_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane::data {
namespace {

class kept_statements : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = folder_.path("kept.sqlite");
        ASSERT_TRUE(test::make_sqlite_file(
            file,
            "CREATE TABLE t (id INTEGER PRIMARY KEY, page INTEGER, who TEXT, n INTEGER);"
            "INSERT INTO t (page, who, n) VALUES (1, 'Ann', 3), (1, 'O''Brien', 1), (2, 'Bo', 2),"
            " (2, 'Cy', 5), (3, 'Di', 4);"));
        std::string error;
        db_ = open_sqlite_file(file, error);
        ASSERT_TRUE(db_) << error;
        db_->begin_read_snapshot();
    }

    std::string column(const std::string& sql) { return test::column_text(*db_, sql); }

    std::vector<std::string> names(const std::string& sql) {
        std::string error;
        auto result = db_->open_record_set(sql, error);
        return result ? result->field_names() : std::vector<std::string>{"error: " + error};
    }

    test::temp_folder folder_;
    std::unique_ptr<database> db_;
};

TEST_F(kept_statements, each_value_gives_its_own_rows) {
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(column("select who from t where page = 1 order by id"), "Ann|O'Brien");
        EXPECT_EQ(column("select who from t where page = 2 order by id"), "Bo|Cy");
        EXPECT_EQ(column("select who from t where page=3 order by id"), "Di");
        EXPECT_EQ(column("select who from t where page = 9 order by id"), "");
        EXPECT_EQ(column("select n from t where who = 'O''Brien'"), "1");
        EXPECT_EQ(column("select n from t where who <> 'Ann' and page >= 2 order by n"), "2|4|5");
        // A number that is not a whole one, or too long to be, stays as written.
        EXPECT_EQ(column("select who from t where n > 4.5"), "Cy");
        EXPECT_EQ(column("select count(*) from t where n < 99999999999999999999"), "5");
        // A term of ORDER BY is a column number, not a value.
        EXPECT_EQ(column("select who, n from t where page = 2 order by 2 desc"), "Cy|Bo");
        EXPECT_EQ(column("select who, n from t where page = 2 order by 1 desc"), "Cy|Bo");
        EXPECT_EQ(column("select who, n from t where page = 1 order by 2"), "O'Brien|Ann");
        // Quoted text that looks like a comparison is left alone.
        EXPECT_EQ(column("select who from t where who = '= 2' or page = 3"), "Di");
        EXPECT_EQ(column("select who from t where page = 3 -- = 1\n"), "Di");
    }
}

TEST_F(kept_statements, names_and_errors_are_those_of_the_statement_as_written) {
    using rows = std::vector<std::string>;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(names("select page = 1, who from t where page = 1"), (rows{"page = 1", "who"}));
        EXPECT_EQ(names("select page = 2, who from t where page = 2"), (rows{"page = 2", "who"}));
        EXPECT_EQ(column("select page = 2 from t where id = 3"), "1");
        EXPECT_EQ(names("select (select who from t where id = 1) as w"), (rows{"w"}));
        EXPECT_EQ(names("select (select who from t where id = 2)"),
                  (rows{"(select who from t where id = 2)"}));
        EXPECT_EQ(column("select who from t where page = 1 and nosuch = 2"), "error: no such column: nosuch");
        EXPECT_EQ(column("select who from t where who = 'Ann"), "error: unrecognized token: \"'Ann\"");
    }
    // A parameter of the user's own is unbound, as it always was.
    EXPECT_EQ(column("select count(*) from t where page = ?"), "0");
    EXPECT_EQ(column("select count(*) from t where page = 1"), "2");
    std::string error;
    EXPECT_TRUE(db_->close(error)) << error;
}

}  // namespace
}  // namespace korvane::data
