// SPDX-License-Identifier: Apache-2.0
// Access .mdb and .accdb files, read with libmdb into an in-memory SQLite
// database; Access SQL is translated to SQLite before it runs.
#pragma once

#include "data/engine/database.h"

#include <memory>
#include <string>

namespace korvane::data {

// The file is read in a child process limited in time and memory, so a
// damaged file ends in an error; while it runs, a stop asked through stop
// ends the read at once with an error.
std::unique_ptr<database> open_access_file(const std::string& path, std::string& error,
                                           stop_token stop = {});

}  // namespace korvane::data
