// Access .mdb and .accdb files, read with libmdb into an in-memory SQLite
// database; Access SQL is translated to SQLite before it runs.
#pragma once

#include "data/engine/database.h"

#include <atomic>
#include <memory>
#include <string>

namespace korvane::data {

// The file is read in a child process limited in time and memory, so a
// damaged file ends in an error; while it runs, a raised stop flag ends the
// read at once with an error.
std::unique_ptr<database> open_access_file(const std::string& path, std::string& error);

// The flag open_access_file watches (nullptr: none). Set once, e.g. to the
// flag a SIGINT/SIGTERM handler raises; the flag must outlive every open.
void set_access_stop_flag(const std::atomic<bool>* flag);

}  // namespace korvane::data
