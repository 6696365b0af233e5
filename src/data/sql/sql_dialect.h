// SPDX-License-Identifier: Apache-2.0
// The SQL a translated Access statement is written in: the in-memory SQLite
// copy of an Access file (which carries Access's own functions), or the own
// SQL of an ODBC data source. Each function writes one Access construct for
// the target, or throws translate_error where the target has nothing that
// answers as Access does.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::data::sql {

enum class target {
    access_copy,  // SQLite copy of an Access file, with the acc_* functions
    sqlite,       // an SQLite database through its ODBC driver
    postgresql,
    other,        // any other ODBC source: names, literals, dates, ODBC escapes
};

struct dialect {
    target kind = target::access_copy;
    // access_copy: DISTINCTROW groups by the rowids of the selected tables;
    // off for statements over views, which have none (it is then dropped).
    bool rows_by_rowid = true;
    // How a name is written: bracketed when it came in [] or ``. Unset:
    // bracketed names in double quotes, bare ones as written.
    std::function<std::string(const std::string& name, bool bracketed)> name;
};

// The target for the DBMS name an ODBC driver reports (SQL_DBMS_NAME).
target target_for_dbms(std::string_view dbms_name);
const char* target_name(target kind);

std::string write_name(const dialect& d, const std::string& name, bool bracketed);
std::string write_text(std::string_view text);
std::string write_date(const dialect& d, const std::string& stamp);  // "YYYY-MM-DD[ HH:MM:SS]"
std::string write_boolean(const dialect& d, bool value);
// Access's binary operators other than &: + - * / \ MOD ^
std::string write_operator(const dialect& d, const std::string& op, const std::string& a, const std::string& b);
// a & b & ...: texts joined, Null as the empty text
std::string write_concat(const dialect& d, const std::vector<std::string>& parts);
// [NOT] Like with a literal pattern in Access wildcards (* ? # [a-z] [!a-z]).
std::string write_like(const dialect& d, bool negated, const std::string& pattern);
// The operator for Like with a pattern that is no literal (not translated).
std::string like_operator(const dialect& d);

// A call of a function Access knows, its arguments already written; lower_name
// without "$".
std::string write_call(const dialect& d, const std::string& lower_name, const std::string& written_name,
                       const std::vector<std::string>& args);

}  // namespace korvane::data::sql
