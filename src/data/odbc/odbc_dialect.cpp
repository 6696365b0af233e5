// SPDX-License-Identifier: Apache-2.0
#include "data/odbc/odbc_dialect.h"

#include <QString>

#include <sql.h>
#include <sqlext.h>

#include <vector>

namespace korvane::data {
namespace {

std::string info_text(SQLHDBC dbc, SQLUSMALLINT what) {
    SQLCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, what, buffer, sizeof buffer, &length))) return {};
    return std::string(reinterpret_cast<const char*>(buffer));
}

std::string folded(const std::string& name) {
    return QString::fromUtf8(name).toCaseFolded().toStdString();
}

// Column `column` of every row of a catalog result, as UTF-8.
std::vector<std::string> catalog_column(SQLHSTMT stmt, SQLUSMALLINT column) {
    std::vector<std::string> out;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        SQLWCHAR buffer[512] = {};
        SQLLEN length = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &length)) ||
            length == SQL_NULL_DATA) {
            continue;
        }
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer));
        out.push_back(text.toStdString());
    }
    SQLCloseCursor(stmt);
    return out;
}

}  // namespace

odbc_dialect::odbc_dialect(void* dbc) : dbc_(dbc) {
    dbms_ = info_text(static_cast<SQLHDBC>(dbc_), SQL_DBMS_NAME);
    // A blank means the source cannot quote names; they then go as written.
    const std::string quote = info_text(static_cast<SQLHDBC>(dbc_), SQL_IDENTIFIER_QUOTE_CHAR);
    if (quote.size() == 1) quote_ = quote[0];
    dialect_.kind = sql::target_for_dbms(dbms_);
    dialect_.name = [this](const std::string& name, bool bracketed) { return write_name(name, bracketed); };
}

// Access finds names whatever their case; PostgreSQL finds a quoted name only
// as spelt, and folds a bare one to lower case. So a name the catalog knows
// is written as the catalog spells it; others keep their form.
std::string odbc_dialect::write_name(const std::string& name, bool bracketed) {
    std::string spelt = name;
    if (dialect_.kind == sql::target::postgresql) {
        if (!catalog_read_) read_catalog();
        const auto at = spelling_.find(folded(name));
        if (at != spelling_.end() && !at->second.empty()) {
            spelt = at->second;
            bracketed = true;
        }
    }
    if (!bracketed || quote_ == ' ') return spelt;
    std::string out(1, quote_);
    for (const char c : spelt) {
        out += c;
        if (c == quote_) out += quote_;
    }
    return out + quote_;
}

void odbc_dialect::read_catalog() {
    catalog_read_ = true;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &stmt))) return;
    std::vector<std::string> names;
    auto* any = reinterpret_cast<SQLCHAR*>(const_cast<char*>("%"));
    auto* kinds = reinterpret_cast<SQLCHAR*>(const_cast<char*>("TABLE,VIEW"));
    if (SQL_SUCCEEDED(SQLTables(stmt, nullptr, 0, nullptr, 0, any, SQL_NTS, kinds, SQL_NTS))) {
        names = catalog_column(stmt, 3);
    }
    if (SQL_SUCCEEDED(SQLColumns(stmt, nullptr, 0, nullptr, 0, any, SQL_NTS, any, SQL_NTS))) {
        for (std::string& column : catalog_column(stmt, 4)) names.push_back(std::move(column));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    for (const std::string& n : names) {
        const auto [at, added] = spelling_.try_emplace(folded(n), n);
        if (!added && at->second != n) at->second.clear();  // two spellings: leave the choice to the server
    }
}

}  // namespace korvane::data
