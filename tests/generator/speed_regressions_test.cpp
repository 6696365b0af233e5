// SPDX-License-Identifier: Apache-2.0
// Guards for the fast paths of a generation run: a repeating section's
// statement kept prepared across pages must give every page its own rows,
// names and errors, as preparing it afresh would.
#include "data/engine/database.h"
#include "data/sqlite/sqlite_database.h"
#include "sqlite_test_support.h"
#include "../data/kind_names.h"
#include "../support/case_table.h"

namespace korvane::data {
namespace {

class kept_statements : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = folder_.path("kept.sqlite");
        const std::string sql = test::read_file(KORVANE_SOURCE_DIR "/tests/generator/kept.sql");
        ASSERT_TRUE(test::make_sqlite_file(file, sql));
        std::string error;
        db_ = open_sqlite_file(file, error);
        ASSERT_TRUE(db_) << error;
        db_->begin_read_snapshot();
    }

    // The statement's first column as text, or with "names " before it its
    // column names, "|" between.
    std::string answer(const std::string& sql) {
        if (!sql.starts_with("names ")) return test::column_text(*db_, sql);
        std::string error, names;
        auto result = db_->open_record_set(sql.substr(6), error);
        if (!result) return "error: " + error;
        for (const auto& name : result->field_names()) names += (names.empty() ? "" : "|") + name;
        return names;
    }

    test::temp_folder folder_;
    std::unique_ptr<database> db_;
};

TEST_F(kept_statements, every_statement_of_the_table_gives_its_own_rows_names_and_errors) {
    const auto rows = test::read_case_table("generator/kept_statements.tsv", 2);
    for (int round = 0; round < 3; ++round) {
        for (const auto& row : rows) EXPECT_EQ(answer(row[0]), row[1]) << row.where << ", round " << round;
    }
    // A parameter of the user's own is unbound, as it always was.
    EXPECT_EQ(answer("select count(*) from t where page = ?"), "0");
    EXPECT_EQ(answer("select count(*) from t where page = 1"), "2");
    std::string error;
    EXPECT_TRUE(db_->close(error)) << error;
}

}  // namespace
}  // namespace korvane::data
