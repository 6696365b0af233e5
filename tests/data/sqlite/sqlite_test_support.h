// SPDX-License-Identifier: Apache-2.0
// Helpers for tests that need real SQLite files: a temporary folder per test
// and a writer that runs SQL on a new file with the sqlite3 C API.
#pragma once

#include <filesystem>
#include <string>

namespace korvane::test {

// A fresh folder named after the running test, removed with everything in it.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// Creates (or extends) the SQLite file at path by running sql; adds a gtest
// failure and returns false when SQLite refuses it.
bool make_sqlite_file(const std::string& path, const std::string& sql);

// Writes bytes to a file as they are.
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

}  // namespace korvane::test
