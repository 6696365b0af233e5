// Access SQL as the in-memory copy answers it: each statement is translated
// and run on a SQLite connection carrying the Access functions, so the tests
// check results rather than the translator's spelling.
#include "data/access/access_functions.h"
#include "data/access/access_sql.h"

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
        exec("CREATE TABLE \"Order Details\" (id INTEGER, name TEXT COLLATE access_text, "
             "region TEXT COLLATE access_text, price CURRENCY REAL, shipped DATETIME TEXT, done BOOLEAN INTEGER)");
        exec("INSERT INTO \"Order Details\" VALUES "
             "(1, 'London', NULL, 14, '1995-01-01 00:00:00', -1),"
             "(2, 'london', 'WA', 3.0125, '1996-07-04 10:30:00', 0),"
             "(3, 'Äpfel', '', 9.5, NULL, 0),"
             "(4, 'äpfel', 'OR', 20, '1899-12-30 08:00:00', -1),"
             "(5, 'Berlin', NULL, 1, '1994-12-31 23:59:59', 0)");
    }
    void TearDown() override { sqlite3_close(db_); }

    void exec(const std::string& sql) { ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_); }

    // The first column of every row, joined by "|"; NULL as "<null>"; a
    // failure as "error: " and its text.
    std::string run(const std::string& statement) {
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

    std::string eval(const std::string& expression) { return run("SELECT " + expression); }

    sqlite3* db_ = nullptr;
};

TEST_F(access_sql, literals_take_access_forms) {
    EXPECT_EQ(eval("\"say \"\"hi\"\"\""), "say \"hi\"");
    EXPECT_EQ(eval("'it''s'"), "it's");
    EXPECT_EQ(eval("True"), "-1");
    EXPECT_EQ(eval("No"), "0");
    EXPECT_EQ(eval("&HFF"), "255");
    EXPECT_EQ(eval("#1/2/95#"), "1995-01-02 00:00:00");
    EXPECT_EQ(eval("#2005-12-31 13:45#"), "2005-12-31 13:45:00");
    EXPECT_EQ(eval("#7/4/1996 10:30:00 PM#"), "1996-07-04 22:30:00");
    EXPECT_EQ(eval("#12:00 AM#"), "1899-12-30 00:00:00");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE shipped < #1/1/1995#"), "4|5");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE done = True"), "1|4");
}

TEST_F(access_sql, unknown_names_fail_instead_of_becoming_text) {
    EXPECT_NE(run("SELECT [no such] FROM [Order Details]").find("no such column"), std::string::npos);
    EXPECT_EQ(run("SELECT count(*) FROM `Order Details`"), "5");
    EXPECT_EQ(run("SELECT [Order Details].[id] FROM [Order Details] WHERE id = 1;  "), "1");
}

TEST_F(access_sql, bad_statements_are_described) {
    EXPECT_NE(eval("#13/45/1995#").find("not a valid date"), std::string::npos);
    EXPECT_NE(eval("\"open").find("closing quote"), std::string::npos);
    EXPECT_NE(eval("(1 + 2").find("matching"), std::string::npos);
    EXPECT_NE(eval("[open").find("closing"), std::string::npos);
    EXPECT_NE(run("PARAMETERS [x] Text; SELECT [x]").find("parameter"), std::string::npos);
    EXPECT_NE(run("TRANSFORM Sum(id) SELECT name FROM t PIVOT region").find("Crosstab"), std::string::npos);
    EXPECT_NE(run("SELECT * FROM t WHERE id = [Forms]![Dialog]![Start]").find("form"), std::string::npos);
}

TEST_F(access_sql, ampersand_joins_texts_and_treats_null_as_empty) {
    EXPECT_EQ(run("SELECT name & \"/\" & region FROM [Order Details] WHERE id = 1"), "London/");
    EXPECT_EQ(eval("Null & Null"), "<null>");
    EXPECT_EQ(eval("1 & 2.5"), "12.5");
    // & binds looser than +: "a" & (1 + 2)
    EXPECT_EQ(eval("\"a\" & 1 + 2"), "a3");
    EXPECT_EQ(eval("IIf(1 = 1, \"x\" & \"y\", \"z\")"), "xy");
}

TEST_F(access_sql, arithmetic_follows_access_rules) {
    EXPECT_EQ(eval("7 / 2"), "3.5");
    EXPECT_EQ(eval("7 \\ 2"), "3");
    EXPECT_EQ(eval("-7 Mod 3"), "-1");
    EXPECT_EQ(eval("10 Mod 2 * 3"), "4");  // Mod binds looser than *
    EXPECT_EQ(eval("-2 ^ 2"), "-4.0");     // ^ binds tighter than unary minus
    EXPECT_EQ(eval("2 + 3 * 4 - 1"), "13");
    EXPECT_EQ(eval("\"ab\" + \"cd\""), "abcd");
    EXPECT_EQ(eval("Null + 1"), "<null>");
    EXPECT_EQ(eval("#1/30/2000# + 2"), "2000-02-01 00:00:00");
    EXPECT_EQ(eval("#1/3/2000# - #1/1/2000#"), "2.0");
    EXPECT_NE(eval("1 / 0").find("Division by zero"), std::string::npos);
    EXPECT_NE(eval("\"x\" - 1").find("Type mismatch"), std::string::npos);
}

TEST_F(access_sql, text_comparison_ignores_case_beyond_ascii) {
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE name = 'LONDON'"), "1|2");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE name = 'ÄPFEL'"), "3|4");
    EXPECT_EQ(run("SELECT count(*) FROM (SELECT DISTINCT name FROM [Order Details])"), "3");
    // Accented letters sort beside their base letter, not after z.
    EXPECT_EQ(run("SELECT name FROM [Order Details] WHERE id IN (1, 3, 5) ORDER BY name"), "Äpfel|Berlin|London");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE region = ''"), "3");
}

TEST_F(access_sql, like_uses_access_wildcards) {
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE name Like \"l*\""), "1|2");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE name Like \"?pfel\""), "3|4");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE name Like \"[!a-l]*\""), "3|4");
    EXPECT_EQ(eval("\"a1b\" Like \"a#b\""), "1");
    EXPECT_EQ(eval("\"a%b\" Like \"a[%]b\""), "1");
    EXPECT_EQ(eval("\"axb\" Like \"a%b\""), "0");
    EXPECT_EQ(eval("\"100%\" Like \"*[*]*\""), "0");
    EXPECT_EQ(eval("Null Like \"*\""), "<null>");
}

TEST_F(access_sql, distinctrow_and_top) {
    EXPECT_EQ(run("SELECT DISTINCTROW id FROM [Order Details] WHERE id < 3"), "1|2");
    EXPECT_EQ(run("SELECT TOP 2 id FROM [Order Details] ORDER BY price DESC"), "4|1");
    EXPECT_EQ(run("SELECT DISTINCT TOP 1 name FROM [Order Details] ORDER BY name"), "Äpfel");
    EXPECT_EQ(run("SELECT TOP 40 PERCENT id FROM [Order Details] ORDER BY id"), "1|2");
    EXPECT_EQ(run("SELECT id FROM [Order Details] WHERE id IN (SELECT TOP 1 id FROM [Order Details] ORDER BY id DESC)"), "5");
    EXPECT_EQ(run("SELECT TOP 1 id FROM [Order Details] UNION ALL SELECT id FROM [Order Details] WHERE id = 5"), "1|5");
}

TEST_F(access_sql, text_functions) {
    EXPECT_EQ(eval("Left(\"Äpfel\", 2)"), "Äp");
    EXPECT_EQ(eval("Right$(\"Äpfel\", 3)"), "fel");
    EXPECT_EQ(eval("Mid(\"a😀bc\", 2, 2)"), "😀b");
    EXPECT_EQ(eval("Mid(\"abc\", 2)"), "bc");
    EXPECT_EQ(eval("Len(\"a😀a\")"), "3");
    EXPECT_EQ(eval("Len(Null)"), "<null>");
    EXPECT_EQ(eval("InStr(\"Hello\", \"LL\")"), "3");
    EXPECT_EQ(eval("InStr(4, \"abcabc\", \"b\")"), "5");
    EXPECT_EQ(eval("InStr(1, \"Hello\", \"LL\", 0)"), "0");
    EXPECT_EQ(eval("UCase(\"straße ä\")"), "STRAßE Ä");
    EXPECT_EQ(eval("LCase(\"ÄÖÜ Мир\")"), "äöü мир");
    EXPECT_EQ(eval("\"[\" & Trim(\"  a b  \") & \"]\""), "[a b]");
    EXPECT_EQ(eval("Nz(Null, \"none\")"), "none");
    EXPECT_EQ(eval("Nz(Null)"), "");
    EXPECT_NE(eval("Left(\"abc\", -1)").find("Invalid procedure call"), std::string::npos);
}

TEST_F(access_sql, conversions_round_halves_to_even) {
    EXPECT_EQ(eval("CStr(12)"), "12");
    EXPECT_EQ(eval("CLng(2.5)"), "2");
    EXPECT_EQ(eval("CLng(3.5)"), "4");
    EXPECT_EQ(eval("CInt(-2.5)"), "-2");
    EXPECT_NE(eval("CInt(40000)").find("Overflow"), std::string::npos);
    EXPECT_EQ(eval("CDbl(\"1.5\")"), "1.5");
    EXPECT_EQ(eval("CCur(1.23456)"), "1.2346");
    EXPECT_EQ(eval("Val(\" 1 2.5abc\")"), "12.5");
    EXPECT_EQ(eval("Val(\"x\")"), "0.0");
    EXPECT_EQ(eval("Round(2.5)"), "2.0");
    EXPECT_EQ(eval("Round(3.5)"), "4.0");
    EXPECT_EQ(eval("Round(2.675, 2)"), "2.68");
    EXPECT_EQ(eval("Round(-0.125, 2)"), "-0.12");
    EXPECT_EQ(eval("Int(-1.5)"), "-2.0");
    EXPECT_EQ(eval("Fix(-1.5)"), "-1.0");
}

TEST_F(access_sql, date_functions) {
    EXPECT_EQ(eval("Year(#7/4/1996#)"), "1996");
    EXPECT_EQ(run("SELECT Month(shipped) FROM [Order Details] WHERE id = 2"), "7");
    EXPECT_EQ(eval("Day(\"1996-07-04 10:30:00\")"), "4");
    EXPECT_EQ(eval("Year(Null)"), "<null>");
    EXPECT_EQ(eval("DatePart(\"q\", #8/1/1996#)"), "3");
    EXPECT_EQ(eval("DatePart(\"w\", #7/4/1996#)"), "5");  // a Thursday
    EXPECT_EQ(eval("DatePart(\"ww\", #1/6/2002#)"), "2");
    EXPECT_EQ(eval("DateAdd(\"m\", 1, #1/31/2000#)"), "2000-02-29 00:00:00");
    EXPECT_EQ(eval("DateAdd(\"yyyy\", -1, #2/29/2000#)"), "1999-02-28 00:00:00");
    EXPECT_EQ(eval("DateAdd(\"h\", -3, #1/1/2000#)"), "1999-12-31 21:00:00");
    EXPECT_EQ(eval("DateAdd(\"d\", 1, #1/1/1492#)"), "1492-01-02 00:00:00");
    EXPECT_EQ(eval("DateDiff(\"d\", #1/1/2000#, #3/1/2000#)"), "60");
    EXPECT_EQ(eval("DateDiff(\"yyyy\", #12/31/1999#, #1/1/2000#)"), "1");
    EXPECT_EQ(eval("DateDiff(\"h\", #1/1/2000 10:59#, #1/1/2000 11:00#)"), "1");
    EXPECT_EQ(eval("DateSerial(1996, 14, 0)"), "1997-01-31 00:00:00");
    EXPECT_EQ(eval("DateSerial(95, 1, 1)"), "1995-01-01 00:00:00");
    EXPECT_NE(eval("DateAdd(\"x\", 1, #1/1/2000#)").find("Invalid procedure call"), std::string::npos);
    EXPECT_EQ(eval("Len(Now())"), "19");
    EXPECT_EQ(eval("Right(Date(), 8)"), "00:00:00");
    EXPECT_EQ(eval("Left(Time(), 10)"), "1899-12-30");
}

TEST_F(access_sql, format_function) {
    EXPECT_EQ(eval("Format(#7/4/1996 22:05:09#, \"yyyy-mm-dd hh:nn:ss\")"), "1996-07-04 22:05:09");
    EXPECT_EQ(eval("Format(#7/4/1996#, \"dddd, mmmm d, yyyy\")"), "Thursday, July 4, 1996");
    EXPECT_EQ(eval("Format(#7/4/1996 22:05#, \"h:mm AM/PM\")"), "10:05 PM");
    EXPECT_EQ(eval("Format(#7/4/1996#, \"Short Date\")"), "7/4/1996");
    EXPECT_EQ(eval("Format(1234.5, \"#,##0.00\")"), "1,234.50");
    EXPECT_EQ(eval("Format(0.256, \"0.0%\")"), "25.6%");
    EXPECT_EQ(eval("Format(-3, \"0;(0)\")"), "(3)");
    EXPECT_EQ(eval("Format(-1234.5, \"Currency\")"), "($1,234.50)");
    EXPECT_EQ(eval("Format(0, \"Yes/No\")"), "No");
    EXPECT_EQ(eval("Format(\"abc\", \">\")"), "ABC");
    EXPECT_EQ(eval("Format(Null, \"0\")"), "<null>");
}

TEST_F(access_sql, aggregates) {
    EXPECT_EQ(run("SELECT First(name) FROM [Order Details]"), "London");
    EXPECT_EQ(run("SELECT Last(region) FROM [Order Details]"), "<null>");
    EXPECT_EQ(run("SELECT Round(StDev(price), 4) FROM [Order Details] WHERE id IN (1, 5)"), "9.1924");
    EXPECT_EQ(run("SELECT count(*) FROM [Order Details] GROUP BY name ORDER BY name"), "2|1|2");
}

}  // namespace
}  // namespace korvane::data::access
