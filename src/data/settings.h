// SPDX-License-Identifier: Apache-2.0
// The settings record of a generation and its ".kvn" file: eight lines of
// key "=" value, written in UTF-8 with CRLF.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace korvane::data {
class database;
class record_set;
}  // namespace korvane::data

namespace korvane {

struct GenerationSettings {
    std::string filename;           // the .kvn file; not stored in it
    std::int16_t database_type = -1;  // 0 database file, 1 ODBC data source
    std::string database_name;
    std::int16_t main_type = -1;  // 0 table, 1 stored query, 2 SQL statement
    std::string main_name;
    std::string template_field;
    std::string generated_field;
    std::string template_path;
    std::string generated_path;
    // How statements reach an ODBC source: "" or "access", translated from
    // Access SQL to the source's own dialect; "native", unchanged. Stored
    // as the key sql_dialect only when set.
    std::string sql_dialect = {};

    bool operator==(const GenerationSettings&) const = default;
};

// The values of the sql_dialect key.
inline constexpr const char* sql_dialect_access = "access";
inline constexpr const char* sql_dialect_native = "native";

// Clears the record to its unset values.
void reset_settings(GenerationSettings& settings);
// Also releases the database and result the record was shown with.
void reset_settings(std::unique_ptr<data::database>& database,
                    std::unique_ptr<data::record_set>& result, GenerationSettings& settings);

bool settings_are_complete(const GenerationSettings& settings);

// Replaces the file named by settings.filename as a whole: on failure the old
// file is untouched, false is returned and error says why.
bool write_settings_file(const GenerationSettings& settings, std::string& error);

// Reads a settings file into the record; the number of lines read, or -1 when
// the file cannot be read or holds a value that does not convert. Fields set
// before a failure keep their new values. Files that are not UTF-8 are read as
// Windows-1252, as older versions wrote them.
std::int16_t read_settings_file(GenerationSettings& settings, const std::string& path);

// "key=value" at the first "="; both empty when the line holds none.
void split_setting_line(const std::string& line, std::string& key, std::string& value);

}  // namespace korvane
