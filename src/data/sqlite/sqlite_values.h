// SPDX-License-Identifier: Apache-2.0
// How a value stored in SQLite becomes a db_value. Kinds come from the
// declared type of each result column (the first word, any case): BOOLEAN,
// BOOL, BIT, YESNO -> boolean; CURRENCY, MONEY -> currency; DATETIME,
// TIMESTAMP -> date_time; DATE -> date; TIME -> time; DECIMAL, NUMERIC ->
// decimal when the value is stored as text; SINGLE -> single; otherwise from
// the stored value: INTEGER -> integer, REAL -> real, TEXT -> text, BLOB ->
// binary, NULL -> null.
#pragma once

#include "data/engine/db_value.h"

#include <cstdint>

struct sqlite3_stmt;

namespace korvane::data {

enum class column_class : std::uint8_t {
    by_value,
    boolean,
    currency,
    date_time,
    date,
    time,
    decimal,
    single,
};

// The class of a column by its declared type; by_value for none.
column_class classify(const char* declared);
// The value of a column of the statement's current row.
db_value read_value(sqlite3_stmt* statement, int column, column_class cls);

}  // namespace korvane::data
