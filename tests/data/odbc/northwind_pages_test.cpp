// SPDX-License-Identifier: Apache-2.0
// The same templates, unchanged, over the same data twice: from Northwind's
// Access file, and from a PostgreSQL server the test loads with that file's
// tables (exact names, mixed case), read through ODBC. The pages must match
// byte for byte.
#include "data/engine/database.h"
#include "northwind_template.h"
#include "odbc_test_support.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace korvane::generator {
namespace {

namespace fs = std::filesystem;

const std::string northwind = KORVANE_TESTDATA_DIR "/access/Northwind.mdb";

const char* const main_sql =
    "SELECT ProductID, ProductName, CategoryName, Discontinued, "
    "IIf(ProductID Mod 2 = 0, \"product.html\", \"orders.html\") AS tpl, ProductID AS page "
    "FROM Products INNER JOIN Categories ON Products.CategoryID = Categories.CategoryID ORDER BY ProductID";

std::string quoted(const std::string& s, char q) {
    std::string out(1, q);
    for (char c : s) {
        out += c;
        if (c == q) out += q;
    }
    return out + q;
}

// A column's PostgreSQL type by the kind of its values; currency goes as a
// double, which the pages write as the Access file's currency.
const char* column_type(data::value_kind kind) {
    using data::value_kind;
    switch (kind) {
        case value_kind::integer: return "bigint";
        case value_kind::boolean: return "boolean";
        case value_kind::real:
        case value_kind::single:
        case value_kind::currency: return "double precision";
        case value_kind::decimal: return "numeric";
        case value_kind::date:
        case value_kind::time:
        case value_kind::date_time: return "timestamp";
        default: return "text";
    }
}

std::string literal(const data::db_value& v) {
    using data::value_kind;
    char buffer[40];
    switch (v.kind) {
        case value_kind::null: return "NULL";
        case value_kind::boolean: return v.integer != 0 ? "TRUE" : "FALSE";
        case value_kind::real:
        case value_kind::single:
            std::snprintf(buffer, sizeof buffer, "%.17g", v.real);
            return buffer;
        case value_kind::time: return quoted("1899-12-30 " + v.text, '\'');
        default: return quoted(data::value_to_text(v), '\'');
    }
}

// Every table of the Access file as SQL for PostgreSQL, binary columns
// (pictures) left out.
std::string copy_as_sql(data::database& access, std::string& error) {
    std::vector<std::string> tables;
    if (!access.table_names(tables, error)) return {};
    std::string sql;
    for (const std::string& table : tables) {
        if (table.starts_with("MSys")) continue;
        auto rs = access.open_record_set("SELECT * FROM [" + table + "]", error);
        if (rs == nullptr) return {};
        const std::size_t columns = rs->field_names().size();
        std::vector<data::value_kind> kinds(columns, data::value_kind::null);
        for (bool more = rs->move_first(); more; more = rs->move_next()) {
            for (std::size_t c = 0; c < columns; ++c) {
                if (kinds[c] == data::value_kind::null) kinds[c] = rs->value(static_cast<int>(c))->kind;
            }
        }
        std::string create = "CREATE TABLE " + quoted(table, '"') + " (";
        std::set<std::size_t> kept;
        for (std::size_t c = 0; c < columns; ++c) {
            if (kinds[c] == data::value_kind::binary) continue;
            create += (kept.empty() ? "" : ", ") + quoted(rs->field_names()[c], '"') + " " + column_type(kinds[c]);
            kept.insert(c);
        }
        sql += create + ");\n";
        for (bool more = rs->move_first(); more; more = rs->move_next()) {
            std::string row;
            for (std::size_t c : kept) row += (row.empty() ? "" : ", ") + literal(*rs->value(static_cast<int>(c)));
            sql += "INSERT INTO " + quoted(table, '"') + " VALUES (" + row + ");\n";
        }
    }
    return sql;
}

// Runs the templates over one database; the report's lines.
std::vector<std::string> generate(std::int16_t type, const std::string& name, const fs::path& folder) {
    fs::create_directories(folder / "out");
    test::write_file((folder / "product.html").string(), test::northwind_product_template);
    // Beside the Access run's template, one with joins, &, dates, Like and TOP.
    fs::copy_file(KORVANE_SOURCE_DIR "/tests/data/odbc/orders.html", folder / "orders.html");
    return test::run_site(folder.string(), {"", type, name, 2, main_sql, "tpl", "page", "", "out/"});
}

TEST(northwind_on_postgresql, the_access_templates_give_the_same_pages) {
    if (!fs::exists(northwind)) GTEST_SKIP() << "no test data at " << northwind;
    std::string error;
    auto access = data::open_database_file(northwind, error);
    ASSERT_NE(access, nullptr) << error;
    const std::string load = copy_as_sql(*access, error);
    ASSERT_FALSE(load.empty()) << error;
    access->close(error);

    test::postgres_server server(test::sandbox().root / "pg_northwind", test::sandbox().postgres_port);
    ASSERT_EQ(server.start(load), "");

    test::temp_folder from_access, from_postgres;
    const auto access_report = generate(0, northwind, from_access.dir());
    const auto postgres_report = generate(1, server.connection(), from_postgres.dir());
    EXPECT_EQ(access_report, (std::vector<std::string>{"Starting Korvane page generator...", "",
                                                       "Process complete. 77 files generated"}));
    EXPECT_EQ(postgres_report, access_report);

    int compared = 0, with_rows = 0;
    for (const auto& entry : fs::directory_iterator(from_access.dir() / "out")) {
        if (entry.path().filename().string().rfind(".korvane", 0) == 0) continue;  // the run's lock
        const std::string page = test::read_file(entry.path().string());
        EXPECT_EQ(test::read_file((from_postgres.dir() / "out" / entry.path().filename()).string()), page)
            << entry.path().filename();
        ++compared;
        if (page.find("<li>") != std::string::npos && page.find(" (") != std::string::npos) ++with_rows;
    }
    EXPECT_EQ(compared, 77);
    EXPECT_GT(with_rows, 20);  // the joins found rows, not only the no-rows part
}

}  // namespace
}  // namespace korvane::generator
