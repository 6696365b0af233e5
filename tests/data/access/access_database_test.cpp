// The Access backend on real Access files (Jet3, Jet4 and ACE), through the
// engine interface the generator and the windows use.
#include "data/access/access_database.h"
#include "data/engine/db_value.h"
#include "data/text_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace korvane::data {
namespace {

namespace fs = std::filesystem;

const fs::path access_dir = fs::path(KORVANE_TESTDATA_DIR) / "access";

#define SKIP_WITHOUT_TESTDATA() \
    if (!fs::is_directory(access_dir)) GTEST_SKIP() << "no test data at " << access_dir

std::unique_ptr<database> open(const std::string& file) {
    std::string error;
    auto db = open_access_file((access_dir / file).string(), error);
    EXPECT_TRUE(db) << file << ": " << error;
    return db;
}

// Every value of the first column as page text ("<null>" for Null), joined by "|".
std::string column(database& db, const std::string& sql) {
    std::string error, out;
    auto rs = db.open_record_set(sql, error);
    if (!rs) return "error: " + error;
    for (bool ok = rs->move_first(), first = true; ok; ok = rs->move_next(), first = false) {
        const db_value* v = rs->value(0);
        if (!first) out += "|";
        out += v == nullptr ? "<missing>" : v->is_null() ? "<null>" : value_to_text(*v);
    }
    return out;
}

TEST(access_files, every_file_opens_or_says_why_not) {
    SKIP_WITHOUT_TESTDATA();
    int opened = 0;
    std::string error;
    for (const auto& entry : fs::directory_iterator(access_dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".mdb" && ext != ".accdb") continue;
        SCOPED_TRACE(entry.path().filename().string());
        auto db = open_access_file(entry.path().string(), error);
        if (entry.path().filename() == "db2007-enc.accdb") {
            EXPECT_FALSE(db);
            EXPECT_NE(error.find("encrypted"), std::string::npos) << error;
            EXPECT_NE(error.find("db2007-enc.accdb"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(db) << error;
        std::vector<std::string> tables;
        ASSERT_TRUE(db->table_names(tables, error)) << error;
        remove_system_tables(tables);
        EXPECT_FALSE(tables.empty());
        for (const auto& t : tables) {  // every user table can be read back whole
            EXPECT_TRUE(db->open_record_set("select * from `" + t + "`; ", error))
                << t << ": " << error;
        }
        EXPECT_TRUE(db->close(error));
        EXPECT_TRUE(db->close(error));  // a second close does nothing
        ++opened;
    }
    EXPECT_GE(opened, 19);

    // A missing file and one that only starts like an Access file.
    EXPECT_FALSE(open_access_file("/nonexistent/dir/x.mdb", error));
    EXPECT_NE(error.find("x.mdb"), std::string::npos) << error;
    const fs::path junk = fs::temp_directory_path() / "korvane_access_junk.mdb";
    std::ofstream(junk) << "Standard Jet DB but nothing else";
    error.clear();
    EXPECT_FALSE(open_access_file(junk.string(), error));
    EXPECT_FALSE(error.empty());
    fs::remove(junk);
}

class northwind : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_TESTDATA();
        db_ = open(GetParam());
        ASSERT_TRUE(db_);
    }
    bool jet3() const { return std::string(GetParam()) == "nwind.mdb"; }
    std::unique_ptr<database> db_;
};

TEST_P(northwind, tables_in_catalog_order_with_and_without_system_tables) {
    std::vector<std::string> tables;
    std::string error;
    ASSERT_TRUE(db_->table_names(tables, error));
    EXPECT_NE(std::find(tables.begin(), tables.end(), "MSysObjects"), tables.end());
    EXPECT_TRUE(std::none_of(tables.begin(), tables.end(),
                             [](const std::string& t) { return t.starts_with("f_"); }));
    remove_system_tables(tables);
    std::vector<std::string> expected = {"Categories", "Customers", "Employees", "Order Details",
                                         "Orders",     "Products",  "Shippers",  "Suppliers"};
    if (jet3()) {
        // The catalog's own order, not alphabetical (nwind keeps Order Details first).
        EXPECT_EQ(tables.front(), "Order Details");
        expected.push_back("Umsätze");
    }
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, expected);
    EXPECT_EQ(column(*db_, "select Name from MSysObjects where Name = 'MSysObjects'"),
              "MSysObjects");  // read when asked for
}

TEST_P(northwind, stored_queries_open_with_access_row_counts) {
    std::vector<std::string> queries;
    std::string error;
    ASSERT_TRUE(db_->query_names(queries, error));
    EXPECT_EQ(queries.size(), 22u);
    int working = 0;
    for (const auto& q : queries) {
        EXPECT_NE(q[0], '~') << q;
        if (db_->open_record_set(build_main_sql(1, q), error)) {
            ++working;
        } else {  // the ones Access alone can answer say so
            EXPECT_NE(error.find(q), std::string::npos) << error;
            EXPECT_NE(error.find("Microsoft Access"), std::string::npos) << error;
        }
    }
    EXPECT_GE(working, 18);
    EXPECT_NE(column(*db_, "select * from [Quarterly Orders by Product]").find("crosstab"),
              std::string::npos);
}

TEST_P(northwind, statements_answer_as_access_does) {
    const std::pair<std::string, std::string> cases[] = {
        // Stored queries give the rows Access gives.
        {"select count(*) from [Order Subtotals]", "830"},
        {"select count(*) from [Ten Most Expensive Products]", "10"},
        {"select count(*) from [Products Above Average Price]", "25"},
        {"select Subtotal from [Order Subtotals] where OrderID = 10248", "440"},
        // Text equality and Like ignore case.
        {"SELECT count(*) FROM Customers WHERE City = 'london'", "6"},
        {"SELECT count(*) FROM Customers WHERE City Like \"LOND*\"", "6"},
        // & keeps the rows without a region.
        {"SELECT DISTINCT Region & \"/\" & Country FROM Employees WHERE Region Is Null", "/UK"},
        // Names with blanks in brackets or backquotes, and as the main table.
        {"select count(*) from [Order Details]", "2155"},
        {"select count(*) from `Order Details` where `Order Details`.OrderID = 10248", "3"},
        // Values as page text.
        {"select UnitPrice from Products where ProductID = 1", "18"},
        {"select Discontinued from Products where ProductID in (1, 5) order by ProductID",
         "False|True"},
        {"select count(*) from Products where Discontinued = True", "8"},
        {"select OrderDate from Orders where OrderID = 10248", "1994-08-04"},
        {"select Region from Customers where CustomerID = 'ALFKI'", "<null>"},
        {"select max(Len(Notes)) from Employees", "448"},  // memos come whole
        {"select count(*) from Employees where Photo Is Null", "0"},
    };
    for (const auto& [sql, expected] : cases) EXPECT_EQ(column(*db_, sql), expected) << sql;
}

INSTANTIATE_TEST_SUITE_P(access_files, northwind, ::testing::Values("Northwind.mdb", "nwind.mdb"),
                         [](const auto& p) {
                             return std::string(p.param) == "nwind.mdb" ? "jet3" : "jet4";
                         });

TEST(access_values, currency_yes_no_dates_and_text_of_every_generation) {
    SKIP_WITHOUT_TESTDATA();
    const struct {
        const char *file, *sql, *expected;
    } cases[] = {
        // Currency, Yes/No, a date and a double, from Jet4 and from ACE.
        {"testV1997.mdb", "select H from Table1", "0|3.5"},
        {"testV1997.mdb", "select I from Table1", "False|True"},
        {"testV1997.mdb", "select G from Table1", "1981-12-12|1974-09-21"},
        {"testV1997.mdb", "select F from Table1", "0|444.555"},
        {"testV2010.accdb", "select H from Table1", "0|3.5"},
        {"testV2010.accdb", "select I from Table1", "False|True"},
        {"testV2010.accdb", "select G from Table1", "1981-12-12|1974-09-21"},
        {"testV2010.accdb", "select F from Table1", "0|444.555"},
        // Currency keeps its ten-thousandths.
        {"calcFieldTestV2010.accdb", "select MonthlySalary from Table1 order by ID",
         "83333.3333|-0.0833|0|8.3333"},
        {"calcFieldTestV2010.accdb", "select IsRich from Table1 order by ID",
         "True|False|False|False"},
        {"calcFieldTestV2010.accdb", "select LastFirst from Table1 where ID = 1", "Wayne, Bruce"},
        // Text beyond Latin-1, and compared without case.
        {"testEmoticonsV2010.accdb", "select data from data where key = 128512", "a😀a"},
        {"testUnicodeCompV2003.mdb", "select Unicode from [Table] where ID = 3", "Мир"},
        {"testUnicodeCompV2003.mdb", "select count(*) from [Table] where Unicode = 'МИР'", "1"},
        {"nwind.mdb", "select ShipCity from Orders where OrderID = 10337", "München"},
        // Dates outside 1900 to 2700.
        {"DateTestDatabase.mdb", "select DateTimeCol from DateTest order by IDCol",
         "2021-12-02|9999-01-01|1898-01-01|0632-01-01|2021-12-02|2021-12-02"},
        {"DateTestDatabase.mdb", "select LongTextCol from DateTest where IDCol = 6",
         "New line\r\nin field"},
        {"oldDatesV2007.accdb", "select DateField from Table1 order by ID",
         "1582-10-15|1582-10-14|1492-01-10|1392-01-10"},
        {"extDateTestV2019.accdb", "select DateExt from Table1 where ID = 6",
         "2021-06-14 22:45:12"},
    };
    for (const auto& c : cases) {
        auto db = open(c.file);
        ASSERT_TRUE(db);
        EXPECT_EQ(column(*db, c.sql), c.expected) << c.file << ": " << c.sql;
    }
}

TEST(access_threads, one_database_per_thread) {
    SKIP_WITHOUT_TESTDATA();
    std::vector<std::thread> threads;
    std::vector<std::string> counts(4);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        threads.emplace_back([&counts, i] {
            std::string error;
            auto db = open_access_file(
                (access_dir / (i % 2 ? "nwind.mdb" : "Northwind.mdb")).string(), error);
            counts[i] = db ? column(*db, "select count(*) from [Order Subtotals]") : error;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counts, std::vector<std::string>(4, "830"));
}

}  // namespace
}  // namespace korvane::data
