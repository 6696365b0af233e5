#include "odbc_database.h"

namespace korvane::data {

std::unique_ptr<database> open_odbc_connection(const std::string&, std::string& error) {
    error = "ODBC data sources are not supported yet";
    return nullptr;
}

}  // namespace korvane::data
