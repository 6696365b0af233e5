// SPDX-License-Identifier: Apache-2.0
// The template of the Northwind run: a page per product listing its order
// lines. Also run, unchanged, over a PostgreSQL copy of Northwind through ODBC.
#pragma once

#include "generator/page_generator.h"

#include <string>
#include <vector>

namespace korvane::test {

inline constexpr const char* northwind_product_template =
    "<h1><!--MAIN_FIELD=ProductName--></h1>\n"
    "<!--REPEAT=select OrderID, Quantity from [Order Details] "
    "where ProductID=#--MAIN_FIELD=ProductID--# order by OrderID-->\n"
    "<li><!--REPEAT_FIELD=OrderID-->: <!--REPEAT_FIELD=Quantity--></li>\n"
    "<!--REPEAT ELSE-->\n"
    "<p>no orders</p>\n"
    "<!--END REPEAT-->\n";

// A whole run from the folder, at a fixed time; the report's lines.
inline std::vector<std::string> run_site(const std::string& folder, const GenerationSettings& settings) {
    generator::run_options options;
    options.base_folder = folder;
    options.clock = [] { return generator::local_date_time{2026, 12, 5, 14, 7, 9}; };
    memory_error_list report;
    null_status_port status;
    generator::page_generator(options).start_page_generator(status, report, settings);
    return report.lines();
}

}  // namespace korvane::test
