// SPDX-License-Identifier: Apache-2.0
// The template of the Northwind run: a page per product listing its order
// lines. Also run, unchanged, over a PostgreSQL copy of Northwind through ODBC.
#pragma once

namespace korvane::test {

inline constexpr const char* northwind_product_template =
    "<h1><!--MAIN_FIELD=ProductName--></h1>\n"
    "<!--REPEAT=select OrderID, Quantity from [Order Details] "
    "where ProductID=#--MAIN_FIELD=ProductID--# order by OrderID-->\n"
    "<li><!--REPEAT_FIELD=OrderID-->: <!--REPEAT_FIELD=Quantity--></li>\n"
    "<!--REPEAT ELSE-->\n"
    "<p>no orders</p>\n"
    "<!--END REPEAT-->\n";

}  // namespace korvane::test
