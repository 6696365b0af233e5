// SPDX-License-Identifier: Apache-2.0
// What an ODBC connection tells about its own SQL: the DBMS it reaches, the
// character that quotes names, and how its tables and columns are spelt, so
// that Access SQL can be written in that dialect.
#pragma once

#include "data/sql/sql_dialect.h"

#include <map>
#include <string>

namespace korvane::data {

class odbc_dialect {
public:
    // dbc: the connection's SQLHDBC. Asks the driver for the DBMS name and
    // the quote character at once; the catalog is read at the first name.
    explicit odbc_dialect(void* dbc);
    odbc_dialect(const odbc_dialect&) = delete;
    odbc_dialect& operator=(const odbc_dialect&) = delete;

    const sql::dialect& target() const { return dialect_; }
    const std::string& dbms_name() const { return dbms_; }

private:
    std::string write_name(const std::string& name, bool bracketed);
    void read_catalog();

    void* dbc_;
    std::string dbms_;
    char quote_ = '"';
    bool catalog_read_ = false;
    // Case-folded name -> its spelling in the catalog; "" when two differ.
    std::map<std::string, std::string> spelling_;
    sql::dialect dialect_;
};

}  // namespace korvane::data
