// SPDX-License-Identifier: Apache-2.0
// The data source names unixODBC knows (user and system odbc.ini), for the
// completion of a data source box.
#pragma once

#include <string>
#include <vector>

namespace korvane::data {

// Sorted, without repeats; empty when the driver manager cannot be asked.
std::vector<std::string> odbc_data_source_names();

}  // namespace korvane::data
