// SPDX-License-Identifier: Apache-2.0
// The steps under every SQLite query: one statement prepared with its column
// names and kinds, and its rows fetched into a result.
#pragma once

#include "data/engine/record_set.h"
#include "data/sqlite/sqlite_values.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace korvane::data {

struct statement_guard {
    sqlite3_stmt* statement = nullptr;
    statement_guard() = default;
    statement_guard(const statement_guard&) = delete;
    statement_guard& operator=(const statement_guard&) = delete;
    ~statement_guard() { sqlite3_finalize(statement); }
};

// Prepares the one query of sql, with its column names and kinds; false with
// the reason when it is not exactly one statement that returns rows.
bool prepare_query(sqlite3* db, const std::string& sql, statement_guard& guard,
                   std::vector<std::string>& names, std::vector<column_class>& classes,
                   std::string& error);

// Steps a prepared statement to its end into a new result.
std::unique_ptr<record_set> fetch_rows(sqlite3* db, sqlite3_stmt* statement,
                                       std::vector<std::string> names,
                                       const std::vector<column_class>& classes,
                                       std::string& error, std::int64_t row_bound = 0);

}  // namespace korvane::data
