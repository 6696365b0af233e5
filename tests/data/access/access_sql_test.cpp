// SPDX-License-Identifier: Apache-2.0
// Access SQL as the in-memory copy answers it: each statement of
// sql_cases.tsv is translated and run on a SQLite connection carrying the
// Access functions, so the cases check results, not the translator's spelling.
// Then text, dates and decimals as Access files store them and Access
// compares them.
#include "data/access/access_dates.h"
#include "data/access/access_functions.h"
#include "data/sql/access_sql.h"
#include "data/access/access_text.h"
#include "data/access/function_catalogue.h"
#include "data/access/mdb_reader.h"
#include "../../support/case_table.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>

namespace korvane::data::access {
namespace {

using sql::translate_access_sql;
using sql::translated_sql;

class access_sql : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        std::string error;
        ASSERT_TRUE(register_access_functions(db_, error)) << error;
        std::ifstream file(KORVANE_SOURCE_DIR "/tests/data/access/order_details.sql");
        const std::string rows{std::istreambuf_iterator<char>(file), {}};
        ASSERT_EQ(sqlite3_exec(db_, rows.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    }
    void TearDown() override { sqlite3_close(db_); }

    std::string run(std::string statement) {
        if (!statement.starts_with("SELECT ") && !statement.starts_with("PARAMETERS ") &&
            !statement.starts_with("TRANSFORM ")) {
            statement = "SELECT " + statement;
        }
        translated_sql t = translate_access_sql(statement);
        if (!t.error.empty()) return "error: " + t.error;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, t.sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            return "error: " + std::string(sqlite3_errmsg(db_)) + " in " + t.sql;
        }
        std::string out;
        int rc;
        for (bool first = true; (rc = sqlite3_step(st)) == SQLITE_ROW; first = false) {
            const auto* text = sqlite3_column_text(st, 0);
            out += (first ? "" : "|") + std::string(text == nullptr ? "<null>" : reinterpret_cast<const char*>(text));
        }
        if (rc != SQLITE_DONE) out = "error: " + std::string(sqlite3_errmsg(db_));
        sqlite3_finalize(st);
        return out;
    }

    sqlite3* db_ = nullptr;
};

TEST_F(access_sql, answers_every_case_of_the_table) {
    const auto rows = test::read_case_table("data/access/sql_cases.tsv", 2);
    ASSERT_GT(rows.size(), 100u);
    for (const auto& row : rows) test::expect_outcome(run(row[0]), row[1], row.where + ": " + row[0]);
}

// One call a line, function_cases.tsv: function, arguments, result, and a
// FROM clause for aggregates.
TEST_F(access_sql, every_accepted_function_answers_as_access_documents) {
    std::set<std::string> called;
    for (const auto& row : test::read_case_table("data/access/function_cases.tsv", 3)) {
        std::string got = run(row[0] + "(" + row[1] + ")" + (row.fields.size() > 3 ? " " + row[3] : ""));
        std::string expected = row[2];
        if (expected.starts_with("shape: ")) {  // a clock reading: any digits
            expected = expected.substr(7);
            std::replace_if(got.begin(), got.end(), [](unsigned char c) { return std::isdigit(c) != 0; }, '9');
        }
        test::expect_outcome(got, expected, row.where + ": " + row[0] + "(" + row[1] + ")");
        std::string name = row[0];
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        called.insert(name);
    }
    for (const std::string& name : accepted_access_functions()) {
        EXPECT_EQ(called.count(name), 1u) << name << " has no case in function_cases.tsv";
    }
}

TEST(access_text, every_case_of_the_table) {
    for (const auto& row : test::read_case_table("data/access/text_cases.tsv", 2)) {
        const std::string& f = row[0];
        std::string got;
        if (f == "decode") {
            utf16_text_to_utf8(reinterpret_cast<const unsigned char*>(row[1].data()), row[1].size(), got);
        } else if (f == "compare" && row.fields.size() == 4) {
            const int order = compare_text(row[1], row[2]);
            got = order < 0 ? "<" : order > 0 ? ">" : "=";
        } else if (f == "like" && row.fields.size() == 4) {
            got = like_match(row[1], row[2]) ? "yes" : "no";
        } else if (f == "decimal" && row.fields.size() == 3) {
            cell c;
            decimal_cell(row[1], c);
            got = c.k == cell::kind::text      ? c.bytes
                  : c.k == cell::kind::integer ? std::to_string(c.integer) + "i"
                                               : std::to_string(c.real) + "r";
        } else if (f == "date" && row.fields.size() == 3) {
            const auto parts = parts_from_ole(std::stod(row[1]));
            got = parts ? stamp_from_parts(*parts) : "none";
        } else {
            ADD_FAILURE() << row.where << ": not a case";
        }
        EXPECT_EQ(got, row.fields.back()) << row.where;
    }
    // A date before 1899 goes to stored days and back.
    const auto back = parts_from_ole(ole_from_parts(date_parts{1392, 1, 10, 6, 0, 0}));
    ASSERT_TRUE(back);
    EXPECT_EQ(stamp_from_parts(*back), "1392-01-10 06:00:00");
}

}  // namespace
}  // namespace korvane::data::access
