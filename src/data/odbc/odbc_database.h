// SPDX-License-Identifier: Apache-2.0
// ODBC data sources through unixODBC and Qt SQL's ODBC driver.
#pragma once

#include "data/engine/database.h"

#include <memory>
#include <string>

namespace korvane::data {

// name: a DSN, or a whole connection string when it holds "=".
std::unique_ptr<database> open_odbc_connection(const std::string& name, std::string& error);

}  // namespace korvane::data
