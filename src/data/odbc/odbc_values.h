// SPDX-License-Identifier: Apache-2.0
// How the columns of a QODBC result become Korvane's values: each column's
// kind decided once from the ODBC SQL type, then every cell converted by it.
#pragma once

#include "data/engine/db_value.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <string>
#include <vector>

namespace korvane::data {

std::string utf8(const QString& s);

// The ODBC diagnostics on one line when there are any, else fallback.
std::string describe(const QSqlError& e, const std::string& fallback);

// How the cells of one result column become values, decided once per column
// from the ODBC SQL type (QSqlField::typeID under QODBC) and Qt's type.
enum class odbc_column {
    integer,
    unsigned_integer,
    boolean,
    real,
    single,
    decimal,
    money,
    date,
    time,
    date_time,
    text,
    binary,
};

struct result_columns {
    std::vector<std::string> names;
    std::vector<odbc_column> classes;
};

// The columns of an executed query.
result_columns read_columns(const QSqlQuery& query);

// The current row of query into values, one per column.
void read_row(QSqlQuery& query, const std::vector<odbc_column>& classes, db_value* values);

}  // namespace korvane::data
