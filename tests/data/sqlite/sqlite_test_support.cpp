// SPDX-License-Identifier: Apache-2.0
#include "sqlite_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>

namespace korvane::test {
namespace {
std::atomic<int> folder_number{0};
}

temp_folder::temp_folder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string test = info != nullptr ? std::string(info->test_suite_name()) + "-" + info->name()
                                             : std::string("no-test");
    dir_ = std::filesystem::temp_directory_path() /
           ("korvane-" + test + "-" + std::to_string(::getpid()) + "-" +
            std::to_string(folder_number.fetch_add(1)));
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    std::filesystem::create_directories(dir_);
}

temp_folder::~temp_folder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

bool make_sqlite_file(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot create " << path << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    char* message = nullptr;
    const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) ADD_FAILURE() << "SQL refused: " << (message ? message : "?") << "\n" << sql;
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace korvane::test
