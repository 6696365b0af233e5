// SPDX-License-Identifier: Apache-2.0
// The database engine as the rest of Korvane sees it: a connection that runs
// SQL into snapshots and lists its tables and stored queries. Backends: SQLite
// files, Access files (read into an in-memory SQLite database) and ODBC data
// sources. One object is one connection; use it from one thread at a time.
#pragma once

#include "data/engine/record_set.h"
#include "ports/stop_token.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvane::data {

class database {
public:
    database() = default;
    database(const database&) = delete;
    database& operator=(const database&) = delete;
    virtual ~database() = default;

    // Runs sql and fetches every row. On failure returns nullptr and sets
    // error to the engine's description of what went wrong.
    virtual std::unique_ptr<record_set> open_record_set(const std::string& sql,
                                                        std::string& error) = 0;

    // The same rows as a forward result (record_set.h): counted first, then
    // read one at a time as the cursor moves, so that a result of any size
    // takes little memory. Only for use inside a read snapshot, where reading
    // the rows again gives the same rows. Engines that must fetch every row
    // anyway give a snapshot.
    virtual std::unique_ptr<record_set> open_forward_record_set(const std::string& sql,
                                                                std::string& error) {
        return open_record_set(sql, error);
    }

    // Statements come in Access SQL; an engine that does not answer it itself
    // translates them to its own dialect, unless this is switched off: then
    // they go to the engine as written. Engines that answer Access SQL ignore it.
    virtual void set_access_sql(bool on) { static_cast<void>(on); }

    // Every table name (system tables included), in the engine's order.
    virtual bool table_names(std::vector<std::string>& names, std::string& error) = 0;
    // Every stored query (view) name, in the engine's order.
    virtual bool query_names(std::vector<std::string>& names, std::string& error) = 0;

    // Keeps one consistent view of the data from here until
    // end_read_snapshot or close: every later query sees the same data, and
    // with no locking per query each is cheaper. Other programs wait to write
    // meanwhile, so hold it for a generation run, not while a window idles.
    // Engines without such a thing ignore both.
    virtual void begin_read_snapshot() {}
    virtual void end_read_snapshot() {}

    // Results stop being read after this many rows, so that a runaway
    // statement cannot take all memory: a larger result counts as none for
    // its caller anyway. 0: no bound. Engines that cannot stop ignore it.
    virtual void set_row_bound(std::int64_t rows) { (void)rows; }
    // Once stop asks, a statement that runs stops where it is with an error,
    // counting and fetching included.
    virtual void set_stop(stop_token stop) { (void)stop; }

    // Releases the connection; a second close does nothing.
    virtual bool close(std::string& error) = 0;
};

// What a file is by its first bytes, whatever its name says.
enum class database_file_kind { unreadable, sqlite, access, other };
database_file_kind judge_database_file(const std::string& path);

// Opens a database file by what it is (SQLite or Access), read-only. A stop
// asked while an Access file is read ends the open with an error.
std::unique_ptr<database> open_database_file(const std::string& path, std::string& error,
                                             stop_token stop = {});

// Opens an ODBC data source: a DSN name, or a whole connection string when the
// name holds "=".
std::unique_ptr<database> open_odbc_source(const std::string& name, std::string& error);

}  // namespace korvane::data
