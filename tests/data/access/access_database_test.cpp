// The Access backend on real Access files (Jet3, Jet4 and ACE), through the
// engine interface the generator and the windows use.
#include "data/access/access_database.h"
#include "data/engine/db_value.h"
#include "data/text_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace korvane::data {
namespace {

namespace fs = std::filesystem;

fs::path access_dir() { return fs::path(KORVANE_TESTDATA_DIR) / "access"; }

#define SKIP_WITHOUT_TESTDATA()                                                              \
    do {                                                                                     \
        if (!fs::is_directory(access_dir())) GTEST_SKIP() << "no test data at " << access_dir(); \
    } while (0)

std::unique_ptr<database> open(const std::string& file) {
    std::string error;
    auto db = open_access_file((access_dir() / file).string(), error);
    EXPECT_TRUE(db) << file << ": " << error;
    return db;
}

// Every value of one column, as page text ("<null>" for Null).
std::vector<std::string> column(database& db, const std::string& sql, int field = 0) {
    std::string error;
    auto rs = db.open_record_set(sql, error);
    EXPECT_TRUE(rs) << sql << ": " << error;
    std::vector<std::string> out;
    if (!rs) return out;
    for (bool ok = rs->move_first(); ok; ok = rs->move_next()) {
        const db_value* v = rs->value(field);
        out.push_back(v == nullptr ? "<missing>" : v->is_null() ? "<null>" : value_to_text(*v));
    }
    return out;
}

std::string single(database& db, const std::string& sql) {
    auto values = column(db, sql);
    return values.size() == 1 ? values[0] : "<" + std::to_string(values.size()) + " rows>";
}

TEST(access_files, every_file_opens_or_says_why_not) {
    SKIP_WITHOUT_TESTDATA();
    int opened = 0;
    for (const auto& entry : fs::directory_iterator(access_dir())) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".mdb" && ext != ".accdb") continue;
        std::string error;
        auto db = open_access_file(entry.path().string(), error);
        if (entry.path().filename() == "db2007-enc.accdb") {
            EXPECT_FALSE(db);
            EXPECT_NE(error.find("encrypted"), std::string::npos) << error;
            EXPECT_NE(error.find("db2007-enc.accdb"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(db) << entry.path() << ": " << error;
        std::vector<std::string> tables;
        ASSERT_TRUE(db->table_names(tables, error)) << error;
        remove_system_tables(tables);
        EXPECT_FALSE(tables.empty()) << entry.path();
        // Every user table can be read back whole.
        for (const auto& t : tables) {
            EXPECT_TRUE(db->open_record_set("select * from `" + t + "`; ", error)) << entry.path() << " " << t << ": " << error;
        }
        EXPECT_TRUE(db->close(error));
        EXPECT_TRUE(db->close(error));  // a second close does nothing
        ++opened;
    }
    EXPECT_GE(opened, 19);
}

TEST(access_files, files_that_are_not_access_databases_fail_clearly) {
    std::string error;
    EXPECT_FALSE(open_access_file("/nonexistent/dir/x.mdb", error));
    EXPECT_NE(error.find("x.mdb"), std::string::npos) << error;
    const fs::path junk = fs::temp_directory_path() / "korvane_access_junk.mdb";
    {
        std::FILE* f = std::fopen(junk.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("Standard Jet DB but nothing else", f);
        std::fclose(f);
    }
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
    std::unique_ptr<database> db_;
};

TEST_P(northwind, tables_in_catalog_order_with_and_without_system_tables) {
    std::vector<std::string> tables;
    std::string error;
    ASSERT_TRUE(db_->table_names(tables, error));
    EXPECT_NE(std::find(tables.begin(), tables.end(), "MSysObjects"), tables.end());
    EXPECT_TRUE(std::none_of(tables.begin(), tables.end(), [](const std::string& t) { return t.rfind("f_", 0) == 0; }));
    remove_system_tables(tables);
    // The catalog's own order, not alphabetical (nwind keeps Order Details first).
    if (std::string(GetParam()) == "nwind.mdb") {
        EXPECT_EQ(tables.front(), "Order Details");
    }
    std::vector<std::string> sorted = tables;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> expected = {"Categories", "Customers", "Employees", "Order Details",
                                         "Orders", "Products", "Shippers", "Suppliers"};
    if (std::string(GetParam()) == "nwind.mdb") expected.push_back("Umsätze");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    // System tables are read when asked for.
    EXPECT_GT(column(*db_, "select Name from MSysObjects").size(), 20u);
}

TEST_P(northwind, stored_queries_open_with_access_row_counts) {
    std::vector<std::string> queries;
    std::string error;
    ASSERT_TRUE(db_->query_names(queries, error));
    EXPECT_EQ(queries.size(), 22u);
    EXPECT_TRUE(std::none_of(queries.begin(), queries.end(), [](const std::string& q) { return q[0] == '~'; }));
    int working = 0;
    for (const auto& q : queries) {
        auto rs = db_->open_record_set(build_main_sql(1, q), error);
        if (rs) {
            ++working;
        } else {
            // The ones Access alone can answer say so.
            EXPECT_NE(error.find(q), std::string::npos) << error;
            EXPECT_NE(error.find("Microsoft Access"), std::string::npos) << error;
        }
    }
    EXPECT_GE(working, 18);
    EXPECT_EQ(column(*db_, "select * from [Order Subtotals]").size(), 830u);
    EXPECT_EQ(column(*db_, "select * from [Ten Most Expensive Products]").size(), 10u);
    EXPECT_EQ(column(*db_, "select * from [Products Above Average Price]").size(), 25u);
    EXPECT_EQ(single(*db_, "select Subtotal from [Order Subtotals] where OrderID = 10248"), "440");
    EXPECT_EQ(db_->open_record_set("select * from [Quarterly Orders by Product]", error), nullptr);
    EXPECT_NE(error.find("crosstab"), std::string::npos) << error;
}

TEST_P(northwind, text_equality_ignores_case) {
    EXPECT_EQ(column(*db_, "SELECT * FROM Customers WHERE City = 'london'").size(), 6u);
    EXPECT_EQ(column(*db_, "SELECT * FROM Customers WHERE City Like \"LOND*\"").size(), 6u);
}

TEST_P(northwind, ampersand_keeps_rows_without_region) {
    const auto values = column(*db_, "SELECT Region & \"/\" & Country FROM Employees WHERE Region Is Null");
    ASSERT_FALSE(values.empty());
    for (const auto& v : values) EXPECT_EQ(v, "/UK");
}

TEST_P(northwind, names_with_blanks_in_brackets_or_backquotes) {
    EXPECT_EQ(column(*db_, "select * from [Order Details]").size(), 2155u);
    EXPECT_EQ(column(*db_, build_main_sql(0, "Order Details")).size(), 2155u);
    EXPECT_EQ(single(*db_, "select count(*) from `Order Details` where `Order Details`.OrderID = 10248"), "3");
}

TEST_P(northwind, values_convert_to_page_text) {
    EXPECT_EQ(single(*db_, "select UnitPrice from Products where ProductID = 1"), "18");
    EXPECT_EQ(single(*db_, "select Discontinued from Products where ProductID = 5"), "True");
    EXPECT_EQ(single(*db_, "select Discontinued from Products where ProductID = 1"), "False");
    EXPECT_EQ(single(*db_, "select count(*) from Products where Discontinued = True"), "8");
    EXPECT_EQ(single(*db_, "select OrderDate from Orders where OrderID = 10248").size(), 10u);
    EXPECT_EQ(single(*db_, "select Region from Customers where CustomerID = 'ALFKI'"), "<null>");
    // Long memos come whole, not cut at libmdb's 16 KB binding.
    EXPECT_GT(single(*db_, "select max(Len(Notes)) from Employees").size(), 2u);
    EXPECT_EQ(single(*db_, "select count(*) from Employees where Photo Is Null"), "0");
}

INSTANTIATE_TEST_SUITE_P(access_files, northwind, ::testing::Values("Northwind.mdb", "nwind.mdb"),
                         [](const auto& test_param) { return std::string(test_param.param) == "nwind.mdb" ? "jet3" : "jet4"; });

TEST(access_values, currency_yes_no_dates_and_text_of_every_generation) {
    SKIP_WITHOUT_TESTDATA();
    for (const char* file : {"testV1997.mdb", "testV2010.accdb"}) {
        auto db = open(file);
        ASSERT_TRUE(db);
        EXPECT_EQ(column(*db, "select H from Table1", 0), (std::vector<std::string>{"0", "3.5"})) << file;
        EXPECT_EQ(column(*db, "select I from Table1"), (std::vector<std::string>{"False", "True"})) << file;
        EXPECT_EQ(column(*db, "select G from Table1"), (std::vector<std::string>{"1981-12-12", "1974-09-21"})) << file;
        EXPECT_EQ(column(*db, "select F from Table1"), (std::vector<std::string>{"0", "444.555"})) << file;
    }
    auto emoji = open("testEmoticonsV2010.accdb");
    ASSERT_TRUE(emoji);
    EXPECT_EQ(single(*emoji, "select data from data where key = 128512"), "a😀a");
    auto unicode = open("testUnicodeCompV2003.mdb");
    ASSERT_TRUE(unicode);
    EXPECT_EQ(single(*unicode, "select Unicode from [Table] where ID = 3"), "Мир");
    EXPECT_EQ(single(*unicode, "select count(*) from [Table] where Unicode = 'МИР'"), "1");
    auto jet3 = open("nwind.mdb");
    ASSERT_TRUE(jet3);
    EXPECT_EQ(single(*jet3, "select ShipCity from Orders where OrderID = 10337"), "München");
}

TEST(access_values, currency_keeps_ten_thousandths) {
    SKIP_WITHOUT_TESTDATA();
    auto db = open("calcFieldTestV2010.accdb");
    ASSERT_TRUE(db);
    EXPECT_EQ(column(*db, "select MonthlySalary from Table1 order by ID"),
              (std::vector<std::string>{"83333.3333", "-0.0833", "0", "8.3333"}));
    EXPECT_EQ(column(*db, "select IsRich from Table1 order by ID"),
              (std::vector<std::string>{"True", "False", "False", "False"}));
    EXPECT_EQ(single(*db, "select LastFirst from Table1 where ID = 1"), "Wayne, Bruce");
}

TEST(access_values, dates_outside_1900_to_2700) {
    SKIP_WITHOUT_TESTDATA();
    auto db = open("DateTestDatabase.mdb");
    ASSERT_TRUE(db);
    EXPECT_EQ(column(*db, "select DateTimeCol from DateTest order by IDCol"),
              (std::vector<std::string>{"2021-12-02", "9999-01-01", "1898-01-01", "0632-01-01", "2021-12-02", "2021-12-02"}));
    EXPECT_EQ(single(*db, "select LongTextCol from DateTest where IDCol = 6"), "New line\r\nin field");
    auto old = open("oldDatesV2007.accdb");
    ASSERT_TRUE(old);
    EXPECT_EQ(column(*old, "select DateField from Table1 order by ID"),
              (std::vector<std::string>{"1582-10-15", "1582-10-14", "1492-01-10", "1392-01-10"}));
    auto ext = open("extDateTestV2019.accdb");
    ASSERT_TRUE(ext);
    EXPECT_EQ(single(*ext, "select DateExt from Table1 where ID = 6"), "2021-06-14 22:45:12");
}

TEST(access_values, null_is_not_the_empty_text) {
    SKIP_WITHOUT_TESTDATA();
    auto db = open("Northwind.mdb");
    ASSERT_TRUE(db);
    std::string error;
    auto rs = db->open_record_set("select Region, CompanyName from Customers where CustomerID = 'ALFKI'", error);
    ASSERT_TRUE(rs) << error;
    ASSERT_TRUE(rs->move_first());
    EXPECT_TRUE(rs->value(0)->is_null());
    EXPECT_EQ(rs->value(1)->kind, value_kind::text);
}

TEST(access_threads, one_database_per_thread) {
    SKIP_WITHOUT_TESTDATA();
    std::vector<std::thread> threads;
    std::vector<std::size_t> counts(4, 0);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        threads.emplace_back([&counts, i] {
            std::string error;
            auto db = open_access_file((access_dir() / (i % 2 ? "nwind.mdb" : "Northwind.mdb")).string(), error);
            if (!db) return;
            auto rs = db->open_record_set("select * from [Order Subtotals]", error);
            counts[i] = rs ? static_cast<std::size_t>(rs->record_count()) : 0;
        });
    }
    for (auto& t : threads) t.join();
    for (std::size_t c : counts) EXPECT_EQ(c, 830u);
}

}  // namespace
}  // namespace korvane::data
