// Access SQL to SQLite SQL: literals ("text", #dates#, True/False/Yes/No),
// bracketed and backquoted names, Access operators (&, +, /, \, Mod, ^) with
// Access's precedence and Null rules, DISTINCTROW, TOP n [PERCENT], and
// Access functions mapped to the acc_* functions of access_functions.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane::data::access {

struct translated_sql {
    std::string sql;                 // SQLite text; empty on failure
    std::string error;               // why the statement cannot be run here
    std::vector<std::string> names;  // table/column names the statement mentions
};

// rows_by_rowid: DISTINCTROW groups by the rowids of the selected tables;
// without it (for statements whose qualifiers name views, which have no
// rowid) DISTINCTROW is dropped.
translated_sql translate_access_sql(std::string_view access_sql, bool rows_by_rowid = true);

}  // namespace korvane::data::access
