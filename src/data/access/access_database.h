// Access .mdb and .accdb files, read with libmdb into an in-memory SQLite
// database; Access SQL is translated to SQLite before it runs.
#pragma once

#include "data/engine/database.h"

#include <memory>
#include <string>

namespace korvane::data {

std::unique_ptr<database> open_access_file(const std::string& path, std::string& error);

}  // namespace korvane::data
