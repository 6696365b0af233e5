// SPDX-License-Identifier: Apache-2.0
// Small text and path functions shared by the windows, the data access and
// the generator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The text after the last "/" or "\"; "" when the path holds neither.
std::string file_name_of_path(const std::string& path);

// 1-based position of the last occurrence of search that starts at or before
// start (start -1: the end of text); -1 when there is none or start is beyond
// the text.
int find_last_occurrence(int start, const std::string& text, const std::string& search);

// Every occurrence of search, left to right, replaced.
std::string replace_all_text(const std::string& search, const std::string& replacement,
                             const std::string& text);

// True when the path names an existing file or folder; a path ending in "/"
// must be a folder. False on any error.
bool path_exists(const std::string& path);

// A relative path taken from base_folder ("" or an absolute path stays as it
// is; an empty base means the current folder). The rule of every program:
// relative names in a settings file are relative to that file's folder.
std::string resolve_path(const std::string& path, const std::string& base_folder);

// The SQL of the main result: a table or query name becomes "select * from
// name; " (the name in backquotes when it holds "." or a blank), a statement
// is used as it is; "" for any other main_type.
std::string build_main_sql(int main_type, const std::string& main_name);

// Index of the first entry equal to text (case counts), or -1.
int find_list_entry(const std::string& text, const std::vector<std::string>& entries);

// Removes the entries beginning with "MSys" (case counts).
void remove_system_tables(std::vector<std::string>& entries);

// The number value of the longest leading part of text that reads as a
// decimal number: blanks, tabs and line feeds are skipped anywhere, then an
// optional sign, digits with at most one ".", an optional exponent. 0 when
// nothing reads as a number; nullopt when the number is beyond a double.
std::optional<double> leading_number_value(std::string_view text);

// text with the value of every PWD or Password key (any case) of a
// connection string replaced by "***", so that "Driver=x;Pwd=secret" shows as
// "Driver=x;Pwd=***". A value in braces ends at its closing brace.
std::string mask_passwords(std::string_view text);

// Lines ending at CR, CRLF or LF, without their terminators; a terminator at
// the very end adds no empty line.
std::vector<std::string> split_lines(const std::string& text);

// Lower case of every letter of UTF-8 text ("ÄRGER" gives "ärger"); text
// that is not UTF-8 has only A to Z lowered.
std::string lower_case(std::string_view text);

// Halves to the even neighbour; nullopt outside the 16-bit signed range.
std::optional<std::int16_t> round_to_int16(double value);

}  // namespace korvane
