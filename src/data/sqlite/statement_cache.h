// SPDX-License-Identifier: Apache-2.0
// Prepared statements kept for reuse. A repeating section's statement differs
// from page to page only in the values put into it; such a value that stands
// alone after a comparison becomes a parameter, so one prepared statement
// serves every page.
#pragma once

#include "data/engine/record_set.h"
#include "data/sqlite/sqlite_values.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace korvane::data {

class statement_cache {
public:
    struct kept_statement {
        std::string key;
        sqlite3_stmt* statement = nullptr;
        std::vector<std::string> names;
        std::vector<column_class> classes;
    };

    statement_cache() = default;
    ~statement_cache();
    statement_cache(const statement_cache&) = delete;
    statement_cache& operator=(const statement_cache&) = delete;

    // Runs sql as run_sqlite_query does, through a kept statement when one
    // was prepared for the same parameterised text. Only while the schema
    // cannot change under it (inside a read transaction).
    std::unique_ptr<record_set> run(sqlite3* db, const std::string& sql, std::string& error,
                                    std::int64_t row_bound = 0);
    // Lets every kept statement go; needed before the connection closes.
    void clear();

private:
    std::vector<kept_statement> kept_;
};

}  // namespace korvane::data
