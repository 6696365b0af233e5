// SPDX-License-Identifier: Apache-2.0
// The Access side of the in-memory SQLite copy: the acc_* functions the
// translated SQL calls (operators with Access's Null and type rules, text,
// conversion, date and aggregate functions), Access's Like in place of
// SQLite's, and the case-insensitive collation of Text columns.
#pragma once

#include <string>

struct sqlite3;

namespace korvane::data::access {

// Registers everything on one connection. False with a description when
// SQLite refuses.
bool register_access_functions(sqlite3* db, std::string& error);

// Access's Round: halves go to the even neighbour.
double round_half_even(double value, int decimals);

}  // namespace korvane::data::access
