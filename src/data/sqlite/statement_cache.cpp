// SPDX-License-Identifier: Apache-2.0
#include "data/sqlite/statement_cache.h"

#include "data/sqlite/sqlite_database.h"
#include "data/sqlite/sqlite_query.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace korvane::data {
namespace {

// A repeating section's statement differs from page to page only in the
// values put into it. Such a value that stands alone after a comparison
// (`= 42`, `<> 'x'`) becomes a parameter, so one prepared statement serves
// every page. Only where the value means the same as the literal: whole
// numbers that fit, and plain strings; never ORDER BY terms, names or numbers
// with a point, sign or exponent.
struct literal_value {
    bool is_text = false;
    std::int64_t number = 0;
    std::string text;
};

bool identifier_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// The end of the quoted run that opens at sql[at] (quote doubled inside), or
// npos when it does not close.
std::size_t quoted_end(std::string_view sql, std::size_t at, char close) {
    for (std::size_t i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != close) continue;
        if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return std::string_view::npos;
}

// The statement with its stand-alone literals as "?" into key, their values
// into values. False when the text cannot be read with certainty (an
// unclosed quote or comment): such a text is not kept.
bool parameterise(std::string_view sql, std::string& key, std::vector<literal_value>& values) {
    key.clear();
    values.clear();
    key.reserve(sql.size());
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        std::size_t end = i + 1;
        bool comparison = false;
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            end = quoted_end(sql, i, c == '[' ? ']' : c);
            if (end == std::string_view::npos) return false;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            end = sql.find('\n', i);
            if (end == std::string_view::npos) end = n;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) return false;
            end += 2;
        } else if (identifier_char(c)) {
            while (end < n && identifier_char(sql[end])) ++end;
        } else if (c == '<' || c == '>' || c == '=' || c == '!') {
            const char next = i + 1 < n ? sql[i + 1] : '\0';
            if ((c == '<' && next == '<') || (c == '>' && next == '>')) {
                end = i + 2;  // a shift
            } else {
                comparison = c != '!' || next == '=';
                if (next == '=' || (c == '<' && next == '>')) end = i + 2;
            }
        }
        key.append(sql.substr(i, end - i));
        i = end;
        if (!comparison) continue;
        std::size_t at = i;
        while (at < n && (sql[at] == ' ' || sql[at] == '\t' || sql[at] == '\r' || sql[at] == '\n')) ++at;
        if (at >= n) continue;
        if (sql[at] >= '0' && sql[at] <= '9') {
            std::size_t digits_end = at;
            while (digits_end < n && sql[digits_end] >= '0' && sql[digits_end] <= '9') ++digits_end;
            if (digits_end - at > 18 || (digits_end < n && (identifier_char(sql[digits_end]) ||
                                                             sql[digits_end] == '.'))) {
                continue;
            }
            literal_value value;
            for (std::size_t d = at; d < digits_end; ++d) value.number = value.number * 10 + (sql[d] - '0');
            values.push_back(std::move(value));
            key.append(sql.substr(i, at - i)).append(1, '?');
            i = digits_end;
        } else if (sql[at] == '\'') {
            const std::size_t text_end = quoted_end(sql, at, '\'');
            if (text_end == std::string_view::npos) return false;
            literal_value value;
            value.is_text = true;
            for (std::size_t d = at + 1; d + 1 < text_end; ++d) {
                value.text += sql[d];
                if (sql[d] == '\'') ++d;
            }
            values.push_back(std::move(value));
            key.append(sql.substr(i, at - i)).append(1, '?');
            i = text_end;
        }
    }
    return true;
}

// A prepared query kept by its parameterised text.
constexpr std::size_t max_kept_statements = 16;

// Prepares key as the kept form of a query whose own statement is original:
// only when it reads the same columns under the same names and kinds, so
// that no value shows in a column name, and takes exactly the values.
void keep_statement(sqlite3* db, const std::string& key, std::size_t value_count,
                    sqlite3_stmt* original, const std::vector<std::string>& names,
                    const std::vector<column_class>& classes, std::vector<statement_cache::kept_statement>& kept) {
    if (sqlite3_bind_parameter_count(original) != 0 || sqlite3_stmt_isexplain(original) != 0) return;
    statement_guard guard;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db, key.data(), static_cast<int>(key.size()), SQLITE_PREPARE_PERSISTENT,
                           &guard.statement, &tail) != SQLITE_OK ||
        guard.statement == nullptr || tail != key.data() + key.size() ||
        !sqlite3_stmt_readonly(guard.statement) ||
        sqlite3_bind_parameter_count(guard.statement) != static_cast<int>(value_count) ||
        sqlite3_column_count(guard.statement) != static_cast<int>(names.size())) {
        return;
    }
    for (std::size_t c = 0; c < names.size(); ++c) {
        const int column = static_cast<int>(c);
        const char* name = sqlite3_column_name(guard.statement, column);
        if (name == nullptr || names[c] != name ||
            classify(sqlite3_column_decltype(guard.statement, column)) != classes[c]) {
            return;
        }
    }
    if (kept.size() >= max_kept_statements) {
        sqlite3_finalize(kept.front().statement);
        kept.erase(kept.begin());
    }
    kept.push_back({key, guard.statement, names, classes});
    guard.statement = nullptr;
}

}  // namespace

statement_cache::~statement_cache() { clear(); }

void statement_cache::clear() {
    for (kept_statement& entry : kept_) sqlite3_finalize(entry.statement);
    kept_.clear();
}

std::unique_ptr<record_set> statement_cache::run(sqlite3* db, const std::string& sql,
                                                 std::string& error, std::int64_t row_bound) {
    std::string key;
    std::vector<literal_value> values;
    if (db == nullptr || sql.size() > static_cast<std::size_t>(INT32_MAX) ||
        !parameterise(sql, key, values)) {
        return run_sqlite_query(db, sql, error, row_bound);
    }
    for (kept_statement& entry : kept_) {
        if (entry.key != key ||
            sqlite3_bind_parameter_count(entry.statement) != static_cast<int>(values.size())) {
            continue;
        }
        for (std::size_t v = 0; v < values.size(); ++v) {
            const int at = static_cast<int>(v) + 1;
            if (values[v].is_text) {
                sqlite3_bind_text64(entry.statement, at, values[v].text.data(), values[v].text.size(),
                                    SQLITE_STATIC, SQLITE_UTF8);
            } else {
                sqlite3_bind_int64(entry.statement, at, values[v].number);
            }
        }
        auto result = fetch_rows(db, entry.statement, entry.names, entry.classes, error, row_bound);
        sqlite3_reset(entry.statement);
        sqlite3_clear_bindings(entry.statement);
        return result;
    }
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    keep_statement(db, key, values.size(), guard.statement, names, classes, kept_);
    return fetch_rows(db, guard.statement, std::move(names), classes, error, row_bound);
}

}  // namespace korvane::data
