// Access SQL as the in-memory copy answers it: each statement is translated
// and run on a SQLite connection carrying the Access functions, so the tests
// check results rather than the translator's spelling.
#include "data/access/access_sql.h"
#include "data/access/access_functions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace korvane::data::access {
namespace {

class access_sql : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        std::string error;
        ASSERT_TRUE(register_access_functions(db_, error)) << error;
        const char* rows =
            "CREATE TABLE \"Order Details\" (id INTEGER, name TEXT COLLATE access_text, "
            "region TEXT COLLATE access_text, price CURRENCY REAL, shipped DATETIME TEXT, "
            "done BOOLEAN INTEGER); INSERT INTO \"Order Details\" VALUES "
            "(1, 'London', NULL, 14, '1995-01-01 00:00:00', -1),"
            "(2, 'london', 'WA', 3.0125, '1996-07-04 10:30:00', 0),"
            "(3, 'Äpfel', '', 9.5, NULL, 0),"
            "(4, 'äpfel', 'OR', 20, '1899-12-30 08:00:00', -1),"
            "(5, 'Berlin', NULL, 1, '1994-12-31 23:59:59', 0)";
        ASSERT_EQ(sqlite3_exec(db_, rows, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_);
    }
    void TearDown() override { sqlite3_close(db_); }

    // The first column of every row, joined by "|"; NULL as "<null>"; a
    // failure as "error: " and its text. A statement that does not begin with
    // a keyword is an expression, run as "SELECT <expression>".
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
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            if (!out.empty()) out += "|";
            const auto* text = sqlite3_column_text(st, 0);
            out += text == nullptr ? "<null>" : reinterpret_cast<const char*>(text);
        }
        if (rc != SQLITE_DONE) out = "error: " + std::string(sqlite3_errmsg(db_));
        sqlite3_finalize(st);
        return out;
    }

    // Each statement with its result; an expected "error: <part>" asks for a
    // failure whose text contains <part>.
    void expect_results(std::initializer_list<std::pair<std::string, std::string>> cases) {
        for (const auto& [statement, expected] : cases) {
            const std::string got = run(statement);
            if (expected.starts_with("error: ") && got.starts_with("error: ")) {
                EXPECT_NE(got.find(expected.substr(7)), std::string::npos)
                    << statement << ": " << got;
            } else {
                EXPECT_EQ(got, expected) << statement;
            }
        }
    }

    sqlite3* db_ = nullptr;
};

TEST_F(access_sql, statements_take_access_forms_or_say_what_is_wrong) {
    expect_results({
        {"\"say \"\"hi\"\"\"", "say \"hi\""},
        {"'it''s'", "it's"},
        {"True", "-1"},
        {"No", "0"},
        {"&HFF", "255"},
        {"#1/2/95#", "1995-01-02 00:00:00"},
        {"#7/4/1996 10:30:00 PM#", "1996-07-04 22:30:00"},
        {"#12:00 AM#", "1899-12-30 00:00:00"},
        {"SELECT id FROM [Order Details] WHERE shipped < #1/1/1995#", "4|5"},
        {"SELECT id FROM [Order Details] WHERE done = True", "1|4"},
        // Unknown names fail instead of becoming text; bracketed names are names.
        {"SELECT [no such] FROM [Order Details]", "error: no such column"},
        {"SELECT [Order Details].[id] FROM [Order Details] WHERE id = 1;  ", "1"},
        // Statements only Access can run, and mistakes, are described.
        {"#13/45/1995#", "error: not a valid date"},
        {"\"open", "error: closing quote"},
        {"(1 + 2", "error: matching"},
        {"[open", "error: closing"},
        {"PARAMETERS [x] Text; SELECT [x]", "error: parameter"},
        {"TRANSFORM Sum(id) SELECT name FROM t PIVOT region", "error: Crosstab"},
        {"SELECT * FROM t WHERE id = [Forms]![Dialog]![Start]", "error: form"},
    });
}

TEST_F(access_sql, operators_follow_access_rules) {
    expect_results({
        // & joins texts and treats Null as empty.
        {"Null & Null", "<null>"},
        {"1 & 2.5", "12.5"},
        // & binds looser than +: "a" & (1 + 2)
        {"\"a\" & 1 + 2", "a3"},
        {"IIf(1 = 1, \"x\" & \"y\", \"z\")", "xy"},
        {"7 / 2", "3.5"},
        {"7 \\ 2", "3"},
        {"-7 Mod 3", "-1"},
        {"10 Mod 2 * 3", "4"},  // Mod binds looser than *
        {"-2 ^ 2", "-4.0"},     // ^ binds tighter than unary minus
        {"\"ab\" + \"cd\"", "abcd"},
        {"Null + 1", "<null>"},
        {"#1/30/2000# + 2", "2000-02-01 00:00:00"},
        {"#1/3/2000# - #1/1/2000#", "2.0"},
        {"1 / 0", "error: Division by zero"},
        {"\"x\" - 1", "error: Type mismatch"},
    });
}

TEST_F(access_sql, text_compares_and_matches_as_access_does) {
    expect_results({
        // Comparison ignores case beyond ASCII.
        {"SELECT id FROM [Order Details] WHERE name = 'ÄPFEL'", "3|4"},
        {"SELECT count(*) FROM (SELECT DISTINCT name FROM [Order Details])", "3"},
        // Accented letters sort beside their base letter, not after z.
        {"SELECT name FROM [Order Details] WHERE id IN (1, 3, 5) ORDER BY name",
         "Äpfel|Berlin|London"},
        {"SELECT id FROM [Order Details] WHERE region = ''", "3"},
        // Like takes Access wildcards.
        {"SELECT id FROM [Order Details] WHERE name Like \"?pfel\"", "3|4"},
        {"SELECT id FROM [Order Details] WHERE name Like \"[!a-l]*\"", "3|4"},
        {"\"a%b\" Like \"a[%]b\"", "1"},
        {"\"axb\" Like \"a%b\"", "0"},
        {"\"100%\" Like \"*[*]*\"", "0"},
        {"Null Like \"*\"", "<null>"},
    });
}

TEST_F(access_sql, distinctrow_top_and_aggregates) {
    expect_results({
        {"SELECT DISTINCTROW id FROM [Order Details] WHERE id < 3", "1|2"},
        {"SELECT TOP 2 id FROM [Order Details] ORDER BY price DESC", "4|1"},
        {"SELECT DISTINCT TOP 1 name FROM [Order Details] ORDER BY name", "Äpfel"},
        {"SELECT TOP 40 PERCENT id FROM [Order Details] ORDER BY id", "1|2"},
        {"SELECT id FROM [Order Details] WHERE id IN (SELECT TOP 1 id FROM [Order Details] ORDER "
         "BY id DESC)",
         "5"},
        {"SELECT TOP 1 id FROM [Order Details] UNION ALL SELECT id FROM [Order Details] WHERE id = "
         "5",
         "1|5"},
        {"SELECT First(name) FROM [Order Details]", "London"},
        {"SELECT Last(region) FROM [Order Details]", "<null>"},
        {"SELECT Round(StDev(price), 4) FROM [Order Details] WHERE id IN (1, 5)", "9.1924"},
        {"SELECT count(*) FROM [Order Details] GROUP BY name ORDER BY name", "2|1|2"},
    });
}

TEST_F(access_sql, text_functions_and_conversions) {
    expect_results({
        {"Left(\"Äpfel\", 2)", "Äp"},
        {"Right$(\"Äpfel\", 3)", "fel"},
        {"Mid(\"a😀bc\", 2, 2)", "😀b"},
        {"Mid(\"abc\", 2)", "bc"},
        {"Len(\"a😀a\")", "3"},
        {"Len(Null)", "<null>"},
        {"InStr(\"Hello\", \"LL\")", "3"},
        {"InStr(4, \"abcabc\", \"b\")", "5"},
        {"InStr(1, \"Hello\", \"LL\", 0)", "0"},
        {"UCase(\"straße ä\")", "STRAßE Ä"},
        {"LCase(\"ÄÖÜ Мир\")", "äöü мир"},
        {"\"[\" & Trim(\"  a b  \") & \"]\"", "[a b]"},
        {"Nz(Null, \"none\")", "none"},
        {"Nz(Null)", ""},
        {"Left(\"abc\", -1)", "error: Invalid procedure call"},
        // Conversions round halves to even.
        {"CStr(12)", "12"},
        {"CLng(2.5)", "2"},
        {"CLng(3.5)", "4"},
        {"CInt(-2.5)", "-2"},
        {"CInt(40000)", "error: Overflow"},
        {"CDbl(\"1.5\")", "1.5"},
        {"CCur(1.23456)", "1.2346"},
        {"Val(\" 1 2.5abc\")", "12.5"},
        {"Val(\"x\")", "0.0"},
        {"Round(2.5)", "2.0"},
        {"Round(3.5)", "4.0"},
        {"Round(2.675, 2)", "2.68"},
        {"Round(-0.125, 2)", "-0.12"},
        {"Int(-1.5)", "-2.0"},
        {"Fix(-1.5)", "-1.0"},
    });
}

TEST_F(access_sql, date_functions_and_format) {
    expect_results({
        {"Year(#7/4/1996#)", "1996"},
        {"SELECT Month(shipped) FROM [Order Details] WHERE id = 2", "7"},
        {"Day(\"1996-07-04 10:30:00\")", "4"},
        {"Year(Null)", "<null>"},
        {"DatePart(\"q\", #8/1/1996#)", "3"},
        {"DatePart(\"w\", #7/4/1996#)", "5"},  // a Thursday
        {"DatePart(\"ww\", #1/6/2002#)", "2"},
        {"DateAdd(\"m\", 1, #1/31/2000#)", "2000-02-29 00:00:00"},
        {"DateAdd(\"yyyy\", -1, #2/29/2000#)", "1999-02-28 00:00:00"},
        {"DateAdd(\"h\", -3, #1/1/2000#)", "1999-12-31 21:00:00"},
        {"DateAdd(\"d\", 1, #1/1/1492#)", "1492-01-02 00:00:00"},
        {"DateDiff(\"d\", #1/1/2000#, #3/1/2000#)", "60"},
        {"DateDiff(\"yyyy\", #12/31/1999#, #1/1/2000#)", "1"},
        {"DateDiff(\"h\", #1/1/2000 10:59#, #1/1/2000 11:00#)", "1"},
        {"DateSerial(1996, 14, 0)", "1997-01-31 00:00:00"},
        {"DateSerial(95, 1, 1)", "1995-01-01 00:00:00"},
        {"DateAdd(\"x\", 1, #1/1/2000#)", "error: Invalid procedure call"},
        {"Len(Now())", "19"},
        {"Right(Date(), 8)", "00:00:00"},
        {"Left(Time(), 10)", "1899-12-30"},
        {"Format(#7/4/1996 22:05:09#, \"yyyy-mm-dd hh:nn:ss\")", "1996-07-04 22:05:09"},
        {"Format(#7/4/1996#, \"dddd, mmmm d, yyyy\")", "Thursday, July 4, 1996"},
        {"Format(#7/4/1996 22:05#, \"h:mm AM/PM\")", "10:05 PM"},
        {"Format(#7/4/1996#, \"Short Date\")", "7/4/1996"},
        {"Format(1234.5, \"#,##0.00\")", "1,234.50"},
        {"Format(0.256, \"0.0%\")", "25.6%"},
        {"Format(-3, \"0;(0)\")", "(3)"},
        {"Format(-1234.5, \"Currency\")", "($1,234.50)"},
        {"Format(0, \"Yes/No\")", "No"},
        {"Format(\"abc\", \">\")", "ABC"},
        {"Format(Null, \"0\")", "<null>"},
    });
}

}  // namespace
}  // namespace korvane::data::access
