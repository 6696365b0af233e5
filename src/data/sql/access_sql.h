// SPDX-License-Identifier: Apache-2.0
// Access SQL to the SQL of a target (sql_dialect.h): literals ("text",
// #dates#, True/False/Yes/No), bracketed and backquoted names, Access
// operators (&, +, /, \, Mod, ^) with Access's precedence, Like wildcards,
// DISTINCTROW, TOP n [PERCENT], and Access functions.
#pragma once

#include "data/sql/sql_dialect.h"

#include <string>
#include <string_view>
#include <vector>

namespace korvane::data::sql {

struct translated_sql {
    std::string sql;                 // the target's text; empty on failure
    std::string error;               // why the statement cannot be run there
    std::vector<std::string> names;  // table/column names the statement mentions
};

translated_sql translate_access_sql(std::string_view access_sql, const dialect& target);

// For the SQLite copy of an Access file. rows_by_rowid: DISTINCTROW groups
// by the rowids of the selected tables; without it (for statements whose
// qualifiers name views, which have no rowid) DISTINCTROW is dropped.
translated_sql translate_access_sql(std::string_view access_sql, bool rows_by_rowid = true);

}  // namespace korvane::data::sql
