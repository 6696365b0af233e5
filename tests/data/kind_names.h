// SPDX-License-Identifier: Apache-2.0
// What the case tables of the engines compare: the kinds of value by their
// names, and a result's first column as text.
#pragma once

#include "data/engine/database.h"
#include "data/engine/db_value.h"

#include <string>

namespace korvane::test {

inline std::string kind_name(data::value_kind kind) {
    static const char* const names[] = {"null",    "integer", "boolean", "real",      "single", "currency",
                                        "decimal", "date",    "time",    "date_time", "text",   "binary"};
    return names[static_cast<int>(kind)];
}

// The first column of every row as page text ("<null>" for Null), "|"
// between; or "error: " and why.
inline std::string column_text(data::database& db, const std::string& sql) {
    std::string error, out;
    auto rs = db.open_record_set(sql, error);
    if (!rs) return "error: " + error;
    for (bool more = rs->move_first(), first = true; more; more = rs->move_next(), first = false) {
        const data::db_value* v = rs->value(0);
        out += (first ? "" : "|") + (v == nullptr ? "<missing>" : v->is_null() ? "<null>" : value_to_text(*v));
    }
    return out;
}

}  // namespace korvane::test
