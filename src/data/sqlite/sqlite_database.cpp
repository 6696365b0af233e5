#include "sqlite_database.h"

namespace korvane::data {

std::unique_ptr<database> open_sqlite_file(const std::string&, std::string& error) {
    error = "SQLite files are not supported yet";
    return nullptr;
}

std::unique_ptr<record_set> run_sqlite_query(sqlite3*, const std::string&, std::string& error) {
    error = "SQLite queries are not supported yet";
    return nullptr;
}

}  // namespace korvane::data
