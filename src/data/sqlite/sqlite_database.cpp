// SPDX-License-Identifier: Apache-2.0
#include "sqlite_database.h"

#include "data/sqlite/statement_cache.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace korvane::data {
namespace {

// The longest text or binary value a statement may make or read: 64 MiB.
constexpr int max_value_bytes = 64 * 1024 * 1024;

bool has_sqlite_header(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 16> head{};
    file.read(head.data(), head.size());
    return file.gcount() == 16 && std::memcmp(head.data(), "SQLite format 3", 16) == 0;
}

// Reading, the functions that only compute, and the read transaction a run
// holds; nothing else.
int allow_reading_only(void*, int action, const char* detail, const char* detail2, const char*,
                       const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_TRANSACTION:  // BEGIN and ROLLBACK of the run's snapshot
            return detail != nullptr && (std::strcmp(detail, "BEGIN") == 0 ||
                                         std::strcmp(detail, "ROLLBACK") == 0)
                       ? SQLITE_OK
                       : SQLITE_DENY;
        case SQLITE_UPDATE:
            // A full-text table (FTS3/4) asks this of the schema table when
            // it opens; a statement that would write is refused anyway
            // before it runs (read-only file, read-only statements only).
            return detail != nullptr && (std::strcmp(detail, "sqlite_master") == 0 ||
                                         std::strcmp(detail, "sqlite_schema") == 0)
                       ? SQLITE_OK
                       : SQLITE_DENY;
        case SQLITE_PRAGMA: {
            // Those that describe tables, whatever they are given.
            static constexpr const char* describing[] = {"table_info", "table_xinfo", "index_list",
                                                         "index_info", "index_xinfo",
                                                         "foreign_key_list"};
            for (const char* d : describing) {
                if (detail != nullptr && sqlite3_stricmp(detail, d) == 0) return SQLITE_OK;
            }
            return SQLITE_DENY;
        }
        case SQLITE_FUNCTION: {
            // Functions that reach outside the values: pointers, files, extensions.
            static constexpr const char* refused[] = {"fts3_tokenizer", "fts5", "load_extension",
                                                      "readfile", "writefile", "edit",
                                                      "sqlite_compileoption_get"};
            const char* name = detail2 != nullptr ? detail2 : detail;
            if (name == nullptr) return SQLITE_DENY;
            for (const char* r : refused) {
                if (sqlite3_stricmp(name, r) == 0) return SQLITE_DENY;
            }
            return SQLITE_OK;
        }
        default:
            return SQLITE_DENY;
    }
}

std::string not_opened(const std::string& path, const std::string& why) {
    return "Could not open '" + path + "' as an SQLite database: " + why;
}

class sqlite_database final : public database {
public:
    explicit sqlite_database(sqlite3* handle) : handle_(handle) {}
    ~sqlite_database() override {
        std::string ignored;
        sqlite_database::close(ignored);
    }

    std::unique_ptr<record_set> open_record_set(const std::string& sql, std::string& error) override {
        if (handle_ == nullptr) {
            error = "The database is closed.";
            return nullptr;
        }
        // Only a snapshot keeps the schema, and with it a kept statement's
        // columns, from changing under it.
        if (in_snapshot_) return kept_.run(handle_, sql, error, row_bound_);
        return run_sqlite_query(handle_, sql, error, row_bound_);
    }

    std::unique_ptr<record_set> open_forward_record_set(const std::string& sql,
                                                        std::string& error) override {
        if (handle_ == nullptr) {
            error = "The database is closed.";
            return nullptr;
        }
        return run_sqlite_query_forward(handle_, sql, error, row_bound_);
    }

    // A deferred transaction takes its shared lock at the first read and keeps
    // it, so later statements skip SQLite's lock and journal checks.
    void begin_read_snapshot() override {
        if (handle_ == nullptr || in_snapshot_) return;
        in_snapshot_ = sqlite3_exec(handle_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    void end_read_snapshot() override {
        if (handle_ == nullptr || !in_snapshot_) return;
        kept_.clear();
        sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr);
        in_snapshot_ = false;
    }

    bool table_names(std::vector<std::string>& names, std::string& error) override {
        // The engine's own sqlite_* tables are left out; the rest in creation order.
        return names_of("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                        "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                        names, error);
    }

    bool query_names(std::vector<std::string>& names, std::string& error) override {
        return names_of("SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY rowid", names,
                        error);
    }

    void set_row_bound(std::int64_t rows) override { row_bound_ = rows; }

    void set_stop(stop_token stop) override {
        stop_ = stop;
        if (handle_ == nullptr) return;
        // Every few thousand steps of the engine: a statement that never ends
        // (a cross join counted, a recursive query) still stops.
        sqlite3_progress_handler(handle_, 4096, &stop_progress, this);
    }

    bool close(std::string& error) override {
        error.clear();
        if (handle_ == nullptr) return true;
        end_read_snapshot();  // lets the kept statements go, which would keep it open
        const int rc = sqlite3_close(handle_);
        handle_ = nullptr;
        if (rc != SQLITE_OK) {
            error = sqlite3_errstr(rc);
            return false;
        }
        return true;
    }

private:
    bool names_of(const char* sql, std::vector<std::string>& names, std::string& error) {
        names.clear();
        auto result = open_record_set(sql, error);
        if (!result) return false;
        names.reserve(static_cast<std::size_t>(result->record_count()));
        for (bool more = result->move_first(); more; more = result->move_next()) {
            names.push_back(result->value(0)->text);
        }
        return true;
    }

    static int stop_progress(void* self) {
        return static_cast<sqlite_database*>(self)->stop_.stop_requested() ? 1 : 0;
    }

    sqlite3* handle_;
    bool in_snapshot_ = false;
    std::int64_t row_bound_ = 0;
    stop_token stop_;
    statement_cache kept_;
};

}  // namespace

std::unique_ptr<database> open_sqlite_file(const std::string& path, std::string& error) {
    {
        std::ifstream probe(path, std::ios::binary);
        if (!probe) {
            std::error_code ec;
            error = std::filesystem::exists(path, ec) ? "Could not read file '" + path + "'."
                                                      : "Could not find file '" + path + "'.";
            return nullptr;
        }
    }
    // SQLite takes an empty or foreign file for a new database until it reads
    // it; refuse those here, with SQLite's own words.
    if (!has_sqlite_header(path)) {
        error = not_opened(path, "file is not a database");
        return nullptr;
    }

    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        error = not_opened(path, handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        sqlite3_close(handle);
        return nullptr;
    }

    // A double-quoted unknown name must fail, not turn into a string.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // ATTACH could create files next to a read-only database.
    sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
    // A value longer than this is an error, not an allocation.
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, max_value_bytes);
    // Statements come from templates that need not be trusted: no pointer
    // handed out by fts3_tokenizer, no writing the schema, no functions run
    // from the schema itself, and only reading allowed.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_set_authorizer(handle, &allow_reading_only, nullptr);

    auto result = std::make_unique<sqlite_database>(handle);
    // Reading the schema is where a damaged or encrypted file shows.
    std::string why;
    if (!run_sqlite_query(handle, "SELECT count(*) FROM sqlite_master", why)) {
        error = not_opened(path, why);
        return nullptr;
    }
    error.clear();
    return result;
}


}  // namespace korvane::data
