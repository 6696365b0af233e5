// SPDX-License-Identifier: Apache-2.0
// Stored queries rebuilt from MSysQueries rows (stored_queries.tsv): the
// clauses, the joins merged in the order Access stores them, and the queries
// Access alone runs.
#include "data/access/stored_queries.h"
#include "../../support/case_table.h"

namespace korvane::data::access {
namespace {

TEST(stored_query_rebuild, every_query_of_the_table) {
    std::vector<query_row> rows;
    int flags = 0;
    for (const auto& line : test::read_case_table("data/access/stored_queries.tsv", 2)) {
        const auto field = [&](std::size_t i) -> std::optional<std::string> {
            if (i >= line.fields.size() || line[i] == "-") return std::nullopt;
            return line[i];
        };
        if (line[1] == "row") {
            // query_row holds attribute, name1, name2, expression, flag.
            rows.push_back(
                {std::stoi(line[2]), field(4), field(5), field(3), std::stoi(field(6).value_or("0"))});
            continue;
        }
        if (line[1] == "flags") {
            flags = std::stoi(line[2]);
            continue;
        }
        const rebuilt_query q = rebuild_query(line[0], rows, flags);
        if (line[1] == "sql") {
            EXPECT_EQ(q.sql, line[2]) << line.where;
            EXPECT_EQ(q.problem, "") << line.where;
        } else {
            EXPECT_NE(q.problem.find(field(2).value_or("")), std::string::npos)
                << line.where << ": " << q.problem;
            EXPECT_NE(q.problem, "") << line.where;
        }
        rows.clear();
        flags = 0;
    }
}

}  // namespace
}  // namespace korvane::data::access
