// SPDX-License-Identifier: Apache-2.0
// A whole run on a real Access file: a page per Northwind product, with a
// repeating section over its order lines.
#include "data/engine/database.h"
#include "northwind_template.h"
#include "../data/kind_names.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

namespace korvane::generator {
namespace {

const std::string northwind = KORVANE_TESTDATA_DIR "/access/Northwind.mdb";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::int64_t count_of(data::database& database, const std::string& sql) {
    return std::stoll(test::column_text(database, sql));  // an error ("error: ...") throws
}

TEST(northwind_run, a_page_per_product_lists_its_order_lines) {
    if (!std::filesystem::exists(northwind)) GTEST_SKIP() << "no test data at " << northwind;
    std::string error;
    auto oracle = data::open_database_file(northwind, error);
    ASSERT_NE(oracle, nullptr) << error;
    const std::int64_t products = count_of(*oracle, "select count(*) from Products");
    ASSERT_GT(products, 0);

    test::temp_folder folder;
    std::filesystem::create_directories(folder.path("out"));
    test::write_file(folder.path("product.html"), test::northwind_product_template);

    const std::string main = "select ProductID, ProductName, 'product.html' as tpl, ProductID as page "
                             "from Products order by ProductID";
    EXPECT_EQ(test::run_site(folder.dir().string(), {"", 0, northwind, 2, main, "tpl", "page", "", "out/product-"}),
              (std::vector<std::string>{
                  "Starting Korvane page generator...", "",
                  "Process complete. " + std::to_string(products) + " files generated"}));
    const std::string chai = test::read_file(folder.path("out/product-1"));
    EXPECT_EQ(chai.substr(0, 15), "<h1>Chai</h1>\r\n");
    for (std::int64_t id : {std::int64_t{1}, std::int64_t{2}, std::int64_t{17}, products}) {
        const std::string page = test::read_file(folder.path("out/product-" + std::to_string(id)));
        const std::int64_t lines = count_of(
            *oracle, "select count(*) from [Order Details] where ProductID=" + std::to_string(id));
        EXPECT_EQ(static_cast<std::int64_t>(occurrences(page, "<li>")), lines) << id;
        EXPECT_EQ(page.find("no orders") != std::string::npos, lines == 0) << id;
    }
}

}  // namespace
}  // namespace korvane::generator
