// SPDX-License-Identifier: Apache-2.0
// Picks the backend by what a database file is, not by its name.
#include "data/access/access_database.h"
#include "data/odbc/odbc_database.h"
#include "data/sqlite/sqlite_database.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace korvane::data {

// A FIFO would block the open for ever, a device never end: neither is read.
static bool is_special_file(const std::string& path, std::filesystem::file_status& status) {
    std::error_code ec;
    status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

database_file_kind judge_database_file(const std::string& path) {
    std::filesystem::file_status status;
    if (is_special_file(path, status)) return database_file_kind::other;
    std::ifstream file(path, std::ios::binary);
    if (!file) return database_file_kind::unreadable;
    std::array<char, 32> head{};
    file.read(head.data(), head.size());
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got >= 16 && std::memcmp(head.data(), "SQLite format 3", 16) == 0)
        return database_file_kind::sqlite;
    // Jet (.mdb) and ACE (.accdb) files name their engine at offset 4.
    if (got >= 19 && (std::memcmp(head.data() + 4, "Standard Jet DB", 15) == 0 ||
                      std::memcmp(head.data() + 4, "Standard ACE DB", 15) == 0))
        return database_file_kind::access;
    return database_file_kind::other;
}

std::unique_ptr<database> open_database_file(const std::string& path, std::string& error,
                                             stop_token stop) {
    std::filesystem::file_status status;
    if (is_special_file(path, status)) {
        error = "'" + path + "' is not a database file: " +
                (std::filesystem::is_directory(status) ? "it is a folder." : "it is not a regular file.");
        return nullptr;
    }
    switch (judge_database_file(path)) {
        case database_file_kind::sqlite:
            return open_sqlite_file(path, error);
        case database_file_kind::access:
            return open_access_file(path, error, stop);
        case database_file_kind::unreadable: {
            std::error_code ec;
            error = (std::filesystem::exists(path, ec) ? "Could not read file '"
                                                       : "Could not find file '") +
                    path + "'.";
            return nullptr;
        }
        case database_file_kind::other:
            break;
    }
    error = "'" + path + "' is neither an SQLite database nor an Access database file.";
    return nullptr;
}

std::unique_ptr<database> open_odbc_source(const std::string& name, std::string& error) {
    return open_odbc_connection(name, error);
}

}  // namespace korvane::data
