// SPDX-License-Identifier: Apache-2.0
// Stored queries of an Access file, rebuilt as Access SQL from the rows
// Access keeps in MSysQueries (one row per clause item), or the reason a
// query cannot be answered outside Access.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane::data::access {

// One MSysQueries row.
struct query_row {
    int attribute = 0;
    std::optional<std::string> name1, name2, expression;
    int flag = 0;
};

struct rebuilt_query {
    std::string sql;      // Access SQL of a select or union query
    std::string problem;  // set instead when the query cannot be run here
};

// rows: the query's rows in stored order. object_flags: its MSysObjects
// Flags, which give the query type when no type row was stored.
rebuilt_query rebuild_query(const std::string& name, const std::vector<query_row>& rows,
                            int object_flags);

}  // namespace korvane::data::access
