// SPDX-License-Identifier: Apache-2.0
// A forward result from an ODBC data source: counted, then read a row at a
// time, on a connection of its own, so that a main result of a million rows
// takes the memory of one row (and of the driver's batch of rows) while the
// run's connection answers every other statement meanwhile.
#pragma once

#include "data/engine/record_set.h"
#include "ports/stop_token.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace korvane::data {

struct forward_source {
    QString connection_name;  // unique to this result
    QString database_name;    // as QODBC takes it
    QString connect_options;
    // psqlODBC fetches a whole result into memory unless asked for a cursor;
    // database_name must then already ask for it (cursor_attributes).
    bool postgres = false;
    std::int64_t row_bound = 0;  // counting stops there; 0: no bound
    stop_token stop;
};

// The attributes that make psqlODBC fetch a result in batches of rows
// through a server-side cursor, to append to its connection string.
inline constexpr const char* cursor_attributes = "UseDeclareFetch=1;Fetch=1000";

// Runs sql (already in the source's dialect) into a forward result; nullptr
// with the reason on failure.
std::unique_ptr<record_set> open_forward_rows(const forward_source& source, const QString& sql,
                                              std::string& error);

}  // namespace korvane::data
