// SPDX-License-Identifier: Apache-2.0
// SQLite files, our embedded default, opened read-only; and the reader that turns a statement on any sqlite3
// connection into a record set (the Access backend queries its in-memory
// copy with it too).
#pragma once

#include "data/engine/database.h"

#include <cstdint>
#include <memory>
#include <string>

struct sqlite3;

namespace korvane::data {

std::unique_ptr<database> open_sqlite_file(const std::string& path, std::string& error);

// Runs one statement and fetches every row, each value of the kind
// sqlite_values.h gives it.
// A row_bound above 0 stops the fetching after that many rows.
std::unique_ptr<record_set> run_sqlite_query(sqlite3* db, const std::string& sql,
                                             std::string& error, std::int64_t row_bound = 0);
// The same as a forward result: the statement is stepped once to count its
// rows, then again as the cursor moves. The result must be closed before the
// connection.
std::unique_ptr<record_set> run_sqlite_query_forward(sqlite3* db, const std::string& sql,
                                                     std::string& error,
                                                     std::int64_t row_bound = 0);

}  // namespace korvane::data
