// SPDX-License-Identifier: Apache-2.0
// The module `global`: one set of database operations for the windows and the
// generator. Opening by settings type, the main SQL and its result, the lists
// of tables, queries and fields. Failures are shown through the message port
// with the engine's description, as the windows show them in message boxes.
#pragma once

#include "data/engine/database.h"
#include "ports/host_ports.h"
#include "data/text_helpers.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korvane::global {

// Opens by database_type: 0 a database file, 1 an ODBC data source; any other
// type opens nothing and gives 0. On failure: the database is left empty, the
// message "Korvane - Database problem" (critical) shows the engine's
// description, error (when given) receives it, and -1 is returned. A stop
// asked while a database file is read is such a failure.
std::int16_t open_database(std::unique_ptr<data::database>& database, std::int16_t database_type,
                           const std::string& database_name, message_port& messages,
                           std::string* error = nullptr, stop_token stop = {});
std::int16_t open_access_database(const std::string& path,
                                  std::unique_ptr<data::database>& database,
                                  message_port& messages, std::string* error = nullptr,
                                  stop_token stop = {});
std::int16_t open_odbc_database(const std::string& name, std::unique_ptr<data::database>& database,
                                message_port& messages, std::string* error = nullptr);

// 0, or -1 when the engine failed to close (no message). Empties the reference.
std::int16_t close_database(std::unique_ptr<data::database>& database);

// Opens the main result (build_main_sql) and counts it: the row count; 0 for
// no rows or more than 32767; -1 after the message "Korvane - Problem running
// SQL" (exclamation) when the SQL fails, with the result left empty.
std::int16_t open_main_result(data::database& database, std::unique_ptr<data::record_set>& result,
                              std::int16_t main_type, const std::string& main_name,
                              message_port& messages);

// Fill a list with every table / stored query name, in the engine's order;
// nothing is filtered. A failure shows "Korvane - Database problem".
void list_tables(data::database& database, list_port& list, message_port& messages);
void list_queries(data::database& database, list_port& list, message_port& messages);
// Removes entries beginning with "MSys" (case counts).
void remove_system_tables(list_port& list);
void list_fields(const data::record_set& result, list_port& list);
std::int16_t find_list_entry(const std::string& text, const list_port& list);

// The shared text and path functions belong to the module too.
using korvane::build_main_sql;
using korvane::file_name_of_path;
using korvane::find_last_occurrence;
using korvane::path_exists;
using korvane::replace_all_text;

}  // namespace korvane::global
