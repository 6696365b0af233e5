// SPDX-License-Identifier: Apache-2.0
// Stored queries rebuilt from MSysQueries rows: the clauses, the joins
// merged in the order Access stores them, and the queries Access alone runs.
#include "data/access/stored_queries.h"

#include <gtest/gtest.h>

namespace korvane::data::access {
namespace {

query_row row(int attribute, const char* expression = nullptr, const char* name1 = nullptr,
              const char* name2 = nullptr, int flag = 0) {
    query_row r;
    r.attribute = attribute;
    if (expression != nullptr) r.expression = expression;
    if (name1 != nullptr) r.name1 = name1;
    if (name2 != nullptr) r.name2 = name2;
    r.flag = flag;
    return r;
}

TEST(stored_query_rebuild, select_clauses_in_access_order) {
    const auto q = rebuild_query("q", {row(0), row(1, nullptr, nullptr, nullptr, 1), row(3, nullptr, "5", nullptr, 2 | 16),
                                       row(5, nullptr, "Products"), row(6, "Products.ProductName"),
                                       row(6, "Sum(UnitPrice)", "Total"), row(8, "UnitPrice > 10"),
                                       row(9, "Products.ProductName"), row(10, "Sum(UnitPrice) > 20"),
                                       row(11, "Total", "D"), row(11, "Products.ProductName"), row(255)},
                                 0);
    ASSERT_TRUE(q.problem.empty()) << q.problem;
    EXPECT_EQ(q.sql, "SELECT DISTINCT TOP 5 Products.ProductName, Sum(UnitPrice) AS [Total] FROM [Products] "
                     "WHERE UnitPrice > 10 GROUP BY Products.ProductName HAVING Sum(UnitPrice) > 20 "
                     "ORDER BY Total DESC, Products.ProductName");
}

TEST(stored_query_rebuild, joins_nest_and_repeated_pairs_add_conditions) {
    const auto q = rebuild_query("q", {row(5, nullptr, "A"), row(5, nullptr, "B", "b"), row(5, nullptr, "C"),
                                       row(5, nullptr, "D"),
                                       row(7, "A.id = b.a", "A", "b", 1), row(7, "A.x = b.x", "A", "b", 1),
                                       row(7, "C.id = b.c", "b", "C", 2)},
                                 0);
    EXPECT_EQ(q.sql, "SELECT * FROM ([A] INNER JOIN [B] AS [b] ON (A.id = b.a) AND (A.x = b.x)) LEFT JOIN [C] "
                     "ON C.id = b.c, [D]");
}

TEST(stored_query_rebuild, type_from_object_flags_and_distinctrow) {
    EXPECT_EQ(rebuild_query("q", {row(5, nullptr, "T")}, 0).sql, "SELECT * FROM [T]");
    EXPECT_NE(rebuild_query("q", {row(5, nullptr, "T")}, 48).problem.find("an update query"), std::string::npos);
    EXPECT_NE(rebuild_query("q", {row(5, nullptr, "T")}, 16).problem.find("crosstab"), std::string::npos);
    EXPECT_EQ(rebuild_query("q", {row(3, nullptr, nullptr, nullptr, 8), row(5, nullptr, "T"), row(6, "T.a")}, 0).sql,
              "SELECT DISTINCTROW T.a FROM [T]");
}

TEST(stored_query_rebuild, union_parts_joined_by_their_distinct_flag) {
    const std::vector<query_row> parts = {row(1, nullptr, nullptr, nullptr, 9),
                                          row(5, "SELECT a FROM x;", nullptr, "X7YZ_____1"),
                                          row(5, "TABLE y", nullptr, "X7YZ_____2"), row(11, "a")};
    EXPECT_EQ(rebuild_query("u", parts, 0).sql, "SELECT a FROM x UNION ALL SELECT * FROM y ORDER BY a");
    auto distinct = parts;
    distinct.push_back(row(3, nullptr, nullptr, nullptr, 2));
    EXPECT_EQ(rebuild_query("u", distinct, 0).sql, "SELECT a FROM x UNION SELECT * FROM y ORDER BY a");
    EXPECT_FALSE(rebuild_query("u", {row(1, nullptr, nullptr, nullptr, 9)}, 0).problem.empty());
}

TEST(stored_query_rebuild, queries_only_access_can_answer) {
    const auto params = rebuild_query("P", {row(2, nullptr, "Start"), row(5, nullptr, "T")}, 0);
    EXPECT_EQ(params.problem, "The query 'P' asks for parameter values ([Start]), which only Microsoft Access can supply.");
    EXPECT_NE(rebuild_query("F", {row(5, nullptr, "T"), row(8, "d > Forms![Dialog]![Start]")}, 0).problem.find("form"),
              std::string::npos);
    EXPECT_NE(rebuild_query("E", {row(4, nullptr, "C:\\other.mdb"), row(5, nullptr, "T")}, 0).problem.find("other.mdb"),
              std::string::npos);
    EXPECT_NE(rebuild_query("A", {row(1, nullptr, "Target", nullptr, 3)}, 0).problem.find("an append query"),
              std::string::npos);
}

}  // namespace
}  // namespace korvane::data::access
