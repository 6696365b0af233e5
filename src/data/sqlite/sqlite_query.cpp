// SPDX-License-Identifier: Apache-2.0
#include "data/sqlite/sqlite_query.h"

#include "data/sqlite/sqlite_database.h"

#include <cstdint>
#include <utility>

namespace korvane::data {
namespace {

// The rows of a forward result: the statement itself, stepped as the cursor
// moves.
class statement_rows final : public row_source {
public:
    statement_rows(sqlite3_stmt* statement, std::vector<column_class> classes)
        : classes_(std::move(classes)) {
        guard_.statement = statement;
    }
    bool rewind() override { return sqlite3_reset(guard_.statement) == SQLITE_OK; }
    bool next_row(db_value* values) override {
        if (sqlite3_step(guard_.statement) != SQLITE_ROW) return false;
        for (std::size_t c = 0; c < classes_.size(); ++c) {
            values[c] = read_value(guard_.statement, static_cast<int>(c), classes_[c]);
        }
        return true;
    }

private:
    statement_guard guard_;
    std::vector<column_class> classes_;
};

// True when the text after the first statement is only blanks, semicolons
// and comments.
bool only_blanks_left(sqlite3* db, const char* tail, const char* end) {
    while (tail < end && (*tail == ' ' || *tail == '\t' || *tail == '\r' || *tail == '\n' || *tail == ';')) {
        ++tail;
    }
    if (tail == end) return true;
    statement_guard next;
    const char* rest = nullptr;
    if (sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next.statement, &rest) != SQLITE_OK) {
        return false;
    }
    return next.statement == nullptr;
}

}  // namespace

bool prepare_query(sqlite3* db, const std::string& sql, statement_guard& guard,
                   std::vector<std::string>& names, std::vector<column_class>& classes,
                   std::string& error) {
    if (db == nullptr) {
        error = "The database is closed.";
        return false;
    }
    if (sql.size() > static_cast<std::size_t>(INT32_MAX)) {
        error = "The SQL text is too long.";
        return false;
    }
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &guard.statement, &tail) !=
        SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    sqlite3_stmt* statement = guard.statement;
    if (statement == nullptr) {
        error = "The SQL text holds no statement.";
        return false;
    }
    if (!only_blanks_left(db, tail, sql.data() + sql.size())) {
        error = "Characters found after the end of the SQL statement.";
        return false;
    }
    // A snapshot only reads; this also guards the writable in-memory copies.
    if (!sqlite3_stmt_readonly(statement)) {
        error = "The statement would change the database; only queries can be run.";
        return false;
    }

    const int columns = sqlite3_column_count(statement);
    // BEGIN and the like read nothing but would leave locks held.
    if (columns == 0) {
        error = "The statement returns no rows; only queries can be run.";
        return false;
    }
    names.reserve(static_cast<std::size_t>(columns));
    classes.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(statement, c);
        names.emplace_back(name != nullptr ? name : "");
        classes.push_back(classify(sqlite3_column_decltype(statement, c)));
    }
    return true;
}

std::unique_ptr<record_set> fetch_rows(sqlite3* db, sqlite3_stmt* statement,
                                       std::vector<std::string> names,
                                       const std::vector<column_class>& classes,
                                       std::string& error, std::int64_t row_bound) {
    const int columns = static_cast<int>(classes.size());
    auto result = std::make_unique<record_set>(std::move(names));
    // A repeating section's result is a handful of rows: room for them at once.
    result->reserve_rows(16);

    int rc = SQLITE_DONE;
    std::int64_t rows = 0;
    while ((row_bound <= 0 || rows < row_bound) && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        ++rows;
        db_value* row = result->append_row();
        for (int c = 0; c < columns; ++c) {
            row[c] = read_value(statement, c, classes[static_cast<std::size_t>(c)]);
        }
    }
    if (row_bound > 0 && rows == row_bound) rc = SQLITE_DONE;  // the rest is not read
    if (rc != SQLITE_DONE) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    error.clear();
    return result;
}


std::unique_ptr<record_set> run_sqlite_query(sqlite3* db, const std::string& sql, std::string& error,
                                             std::int64_t row_bound) {
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    return fetch_rows(db, guard.statement, std::move(names), classes, error, row_bound);
}

std::unique_ptr<record_set> run_sqlite_query_forward(sqlite3* db, const std::string& sql,
                                                     std::string& error, std::int64_t row_bound) {
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    // Counting steps the rows without reading their values.
    std::int64_t count = 0;
    int rc = SQLITE_DONE;
    while ((row_bound <= 0 || count < row_bound) &&
           (rc = sqlite3_step(guard.statement)) == SQLITE_ROW) {
        ++count;
    }
    if (row_bound > 0 && count == row_bound) rc = SQLITE_DONE;
    if (rc != SQLITE_DONE || sqlite3_reset(guard.statement) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    sqlite3_stmt* statement = guard.statement;
    guard.statement = nullptr;
    error.clear();
    return std::make_unique<record_set>(
        std::move(names), count, std::make_unique<statement_rows>(statement, std::move(classes)));
}

}  // namespace korvane::data
