#include "sqlite_database.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::data {
namespace {

// ---------------------------------------------------------------------------
// Value kinds by declared type

enum class column_class : std::uint8_t {
    by_value,
    boolean,
    currency,
    date_time,
    date,
    time,
    decimal,
    single,
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool word_is(std::string_view word, std::string_view name) {
    if (word.size() != name.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (upper(word[i]) != name[i]) return false;
    }
    return true;
}

// The first word of a declared type decides; "CURRENCY REAL", "DECIMAL(10,2)"
// and "datetime" all count. Expressions have no declared type.
column_class classify(const char* declared) {
    if (declared == nullptr) return column_class::by_value;
    std::string_view type(declared);
    const auto begin = type.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return column_class::by_value;
    type.remove_prefix(begin);
    const auto word = type.substr(0, type.find_first_of(" \t\r\n("));
    if (word_is(word, "BOOLEAN") || word_is(word, "BOOL") || word_is(word, "BIT") ||
        word_is(word, "YESNO")) {
        return column_class::boolean;
    }
    if (word_is(word, "CURRENCY") || word_is(word, "MONEY")) return column_class::currency;
    if (word_is(word, "DATETIME") || word_is(word, "TIMESTAMP")) return column_class::date_time;
    if (word_is(word, "DATE")) return column_class::date;
    if (word_is(word, "TIME")) return column_class::time;
    if (word_is(word, "DECIMAL") || word_is(word, "NUMERIC")) return column_class::decimal;
    if (word_is(word, "SINGLE")) return column_class::single;
    return column_class::by_value;
}

// Reads `count` digits at text[at] as a number; false when any is not a digit.
bool read_digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

// "HH:MM[:SS[.fff]]" filling the first 8 characters of out; false otherwise.
bool parse_time(std::string_view text, char* out) {
    int hour = 0, minute = 0, second = 0;
    if (text.size() < 5 || !read_digits(text, 0, 2, hour) || text[2] != ':' ||
        !read_digits(text, 3, 2, minute) || hour > 23 || minute > 59) {
        return false;
    }
    std::size_t at = 5;
    if (at < text.size() && text[at] == ':') {
        if (!read_digits(text, at + 1, 2, second) || second > 59) return false;
        at += 3;
        // Fractions of a second are dropped: the pages show whole seconds.
        if (at < text.size() && text[at] == '.') {
            ++at;
            const std::size_t digits_from = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
            if (at == digits_from) return false;
        }
    }
    if (at != text.size()) return false;
    std::memcpy(out, text.data(), 5);
    out[5] = ':';
    out[6] = static_cast<char>('0' + second / 10);
    out[7] = static_cast<char>('0' + second % 10);
    return true;
}

bool parse_date(std::string_view text) {
    int year = 0, month = 0, day = 0;
    return text.size() == 10 && read_digits(text, 0, 4, year) && text[4] == '-' &&
           read_digits(text, 5, 2, month) && text[7] == '-' && read_digits(text, 8, 2, day) &&
           month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A stored date text in the shape the pages expect, with its kind; the text
// kind and the text unchanged when it is not a date or time SQLite would read.
db_value date_value(const char* data, int size, column_class column) {
    const std::string_view text(data, static_cast<std::size_t>(size));
    char time_part[8];
    if (parse_date(text.substr(0, 10))) {
        if (text.size() == 10) {
            if (column == column_class::date) return db_value::from_text(std::string(text), value_kind::date);
            return db_value::from_text(std::string(text) + " 00:00:00", value_kind::date_time);
        }
        if ((text[10] == ' ' || text[10] == 'T') && parse_time(text.substr(11), time_part)) {
            std::string stamp;
            stamp.reserve(19);
            stamp.append(text.data(), 10).append(1, ' ').append(time_part, 8);
            return db_value::from_text(std::move(stamp), value_kind::date_time);
        }
    } else if (parse_time(text, time_part)) {
        return db_value::from_text(std::string(time_part, 8), value_kind::time);
    }
    return db_value::from_text(std::string(text));
}

// Whole ten-thousandths, or false when the amount does not fit.
bool to_currency(double amount, std::int64_t& out) {
    const double scaled = std::round(amount * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18) return false;
    out = static_cast<std::int64_t>(scaled);
    return true;
}

db_value read_value(sqlite3_stmt* statement, int column, column_class cls) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return db_value::null_value();
        case SQLITE_INTEGER: {
            const std::int64_t v = sqlite3_column_int64(statement, column);
            if (cls == column_class::boolean) return db_value::from_boolean(v != 0);
            if (cls == column_class::currency && v > -922337203685477 && v < 922337203685477) {
                return db_value::from_currency(v * 10000);
            }
            return db_value::from_integer(v);
        }
        case SQLITE_FLOAT: {
            const double v = sqlite3_column_double(statement, column);
            if (cls == column_class::boolean) return db_value::from_boolean(v != 0.0);
            std::int64_t ten_thousandths = 0;
            if (cls == column_class::currency && to_currency(v, ten_thousandths)) {
                return db_value::from_currency(ten_thousandths);
            }
            if (cls == column_class::single) return db_value::from_single(static_cast<float>(v));
            return db_value::from_real(v);
        }
        case SQLITE_TEXT: {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            if (data == nullptr) return db_value::from_text({});  // out of memory reads as ""
            switch (cls) {
                case column_class::date_time:
                case column_class::date:
                case column_class::time:
                    return date_value(data, size, cls);
                case column_class::decimal:
                    return db_value::from_text(std::string(data, static_cast<std::size_t>(size)),
                                               value_kind::decimal);
                default:
                    return db_value::from_text(std::string(data, static_cast<std::size_t>(size)));
            }
        }
        default: {  // SQLITE_BLOB
            const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            if (data == nullptr) return db_value::from_text({}, value_kind::binary);
            return db_value::from_text(std::string(data, static_cast<std::size_t>(size)),
                                       value_kind::binary);
        }
    }
}

struct statement_guard {
    sqlite3_stmt* statement = nullptr;
    statement_guard() = default;
    statement_guard(const statement_guard&) = delete;
    statement_guard& operator=(const statement_guard&) = delete;
    ~statement_guard() { sqlite3_finalize(statement); }
};

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

// ---------------------------------------------------------------------------
// Statements kept for reuse

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
struct kept_statement {
    std::string key;
    sqlite3_stmt* statement = nullptr;
    std::vector<std::string> names;
    std::vector<column_class> classes;
};

// Runs sql as run_sqlite_query does, through a statement kept in kept when
// one was prepared for the same parameterised text.
std::unique_ptr<record_set> run_kept_query(sqlite3* db, const std::string& sql,
                                           std::vector<kept_statement>& kept, std::string& error);

void finalize_kept(std::vector<kept_statement>& kept) {
    for (kept_statement& entry : kept) sqlite3_finalize(entry.statement);
    kept.clear();
}

// ---------------------------------------------------------------------------
// The connection

std::atomic<unsigned long long> next_connection_number{0};

QString new_connection_name() {
    return QStringLiteral("korvane_sqlite_%1").arg(next_connection_number.fetch_add(1));
}

bool has_sqlite_header(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 16> head{};
    file.read(head.data(), head.size());
    return file.gcount() == 16 && std::memcmp(head.data(), "SQLite format 3", 16) == 0;
}

std::string not_opened(const std::string& path, const std::string& why) {
    return "Could not open '" + path + "' as an SQLite database: " + why;
}

class sqlite_database final : public database {
public:
    sqlite_database(QString connection_name, sqlite3* handle)
        : connection_name_(std::move(connection_name)), handle_(handle) {}
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
        if (in_snapshot_) return run_kept_query(handle_, sql, kept_, error);
        return run_sqlite_query(handle_, sql, error);
    }

    std::unique_ptr<record_set> open_forward_record_set(const std::string& sql,
                                                        std::string& error) override {
        if (handle_ == nullptr) {
            error = "The database is closed.";
            return nullptr;
        }
        return run_sqlite_query_forward(handle_, sql, error);
    }

    // A deferred transaction takes its shared lock at the first read and keeps
    // it, so later statements skip SQLite's lock and journal checks.
    void begin_read_snapshot() override {
        if (handle_ == nullptr || in_snapshot_) return;
        in_snapshot_ = sqlite3_exec(handle_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    void end_read_snapshot() override {
        if (handle_ == nullptr || !in_snapshot_) return;
        finalize_kept(kept_);
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

    bool close(std::string& error) override {
        error.clear();
        if (handle_ == nullptr) return true;
        end_read_snapshot();  // lets the kept statements go, which would keep it open
        handle_ = nullptr;
        {
            QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
            db.close();
        }
        // Only once no QSqlDatabase copy of the connection is alive.
        QSqlDatabase::removeDatabase(connection_name_);
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

    QString connection_name_;
    sqlite3* handle_;
    bool in_snapshot_ = false;
    std::vector<kept_statement> kept_;
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

    const QString name = new_connection_name();
    sqlite3* handle = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (!db.isValid()) {
            error = not_opened(path, "Qt's SQLite driver (QSQLITE) is not available.");
        } else {
            db.setDatabaseName(QString::fromStdString(path));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (!db.open()) {
                error = not_opened(path, db.lastError().text().toStdString());
            } else {
                const QVariant raw = db.driver()->handle();
                if (raw.isValid() && std::strcmp(raw.typeName(), "sqlite3*") == 0) {
                    handle = *static_cast<sqlite3* const*>(raw.data());
                }
                if (handle == nullptr) {
                    error = not_opened(path, "the driver gave no SQLite connection.");
                    db.close();
                }
            }
        }
    }
    if (handle == nullptr) {
        QSqlDatabase::removeDatabase(name);
        return nullptr;
    }

    // A double-quoted unknown name must fail, not turn into a string.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // ATTACH could create files next to a read-only database.
    sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);

    auto result = std::make_unique<sqlite_database>(name, handle);
    // Reading the schema is where a damaged or encrypted file shows.
    std::string why;
    if (!run_sqlite_query(handle, "SELECT count(*) FROM sqlite_master", why)) {
        error = not_opened(path, why);
        return nullptr;
    }
    error.clear();
    return result;
}

namespace {

// Prepares the one query of sql, with its column names and kinds; false with
// the reason when it is not exactly one statement that returns rows.
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

}  // namespace

namespace {

// Steps a prepared statement to its end into a new result.
std::unique_ptr<record_set> fetch_rows(sqlite3* db, sqlite3_stmt* statement,
                                       std::vector<std::string> names,
                                       const std::vector<column_class>& classes,
                                       std::string& error) {
    const int columns = static_cast<int>(classes.size());
    auto result = std::make_unique<record_set>(std::move(names));
    // A repeating section's result is a handful of rows: room for them at once.
    result->reserve_rows(16);

    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        db_value* row = result->append_row();
        for (int c = 0; c < columns; ++c) {
            row[c] = read_value(statement, c, classes[static_cast<std::size_t>(c)]);
        }
    }
    if (rc != SQLITE_DONE) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    error.clear();
    return result;
}

constexpr std::size_t max_kept_statements = 16;

// Prepares key as the kept form of a query whose own statement is original:
// only when it reads the same columns under the same names and kinds, so
// that no value shows in a column name, and takes exactly the values.
void keep_statement(sqlite3* db, const std::string& key, std::size_t value_count,
                    sqlite3_stmt* original, const std::vector<std::string>& names,
                    const std::vector<column_class>& classes, std::vector<kept_statement>& kept) {
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

std::unique_ptr<record_set> run_kept_query(sqlite3* db, const std::string& sql,
                                           std::vector<kept_statement>& kept, std::string& error) {
    std::string key;
    std::vector<literal_value> values;
    if (db == nullptr || sql.size() > static_cast<std::size_t>(INT32_MAX) ||
        !parameterise(sql, key, values)) {
        return run_sqlite_query(db, sql, error);
    }
    for (kept_statement& entry : kept) {
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
        auto result = fetch_rows(db, entry.statement, entry.names, entry.classes, error);
        sqlite3_reset(entry.statement);
        sqlite3_clear_bindings(entry.statement);
        return result;
    }
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    keep_statement(db, key, values.size(), guard.statement, names, classes, kept);
    return fetch_rows(db, guard.statement, std::move(names), classes, error);
}

}  // namespace

std::unique_ptr<record_set> run_sqlite_query(sqlite3* db, const std::string& sql, std::string& error) {
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    return fetch_rows(db, guard.statement, std::move(names), classes, error);
}

std::unique_ptr<record_set> run_sqlite_query_forward(sqlite3* db, const std::string& sql,
                                                     std::string& error) {
    statement_guard guard;
    std::vector<std::string> names;
    std::vector<column_class> classes;
    if (!prepare_query(db, sql, guard, names, classes, error)) return nullptr;
    // Counting steps the rows without reading their values.
    std::int64_t count = 0;
    int rc;
    while ((rc = sqlite3_step(guard.statement)) == SQLITE_ROW) ++count;
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
