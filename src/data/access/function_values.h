// SPDX-License-Identifier: Apache-2.0
// How the Access functions read their SQLite arguments and give their
// results: Access's text of a value, numbers and dates as Access reads them
// (a stored date counts as its day number), and its error messages.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::data::access {

std::string general_number(double v);
std::string_view value_text(sqlite3_value* v);
// The text Access makes of a value for &, CStr, Len and the text functions.
std::string text_of(sqlite3_value* v);
// A whole text that reads as a number (blanks around it allowed).
std::optional<double> parse_number_text(std::string_view s);
// A stored date: "YYYY-MM-DD HH:MM:SS" (or the date alone).
std::optional<double> stamp_value(std::string_view s);
// Numbers for arithmetic and the numeric functions; dates count as their
// day numbers, as in Access.
std::optional<double> number_of(sqlite3_value* v);
// A date argument: a day number, or a date text Access reads.
std::optional<double> date_of(sqlite3_value* v);
// Rounds an argument to a whole number the Access way (halves to even).
std::optional<std::int64_t> whole_number(sqlite3_value* v);
bool any_null(int argc, sqlite3_value** argv);

void result_text(sqlite3_context* ctx, const std::string& s);
void result_date(sqlite3_context* ctx, double ole);
void type_mismatch(sqlite3_context* ctx);
void invalid_call(sqlite3_context* ctx);
// A Null where the function takes a number, a date or a text.
void invalid_null(sqlite3_context* ctx);

}  // namespace korvane::data::access
