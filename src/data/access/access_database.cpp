#include "access_database.h"

#include "data/access/access_functions.h"
#include "data/access/access_sql.h"
#include "data/access/access_text.h"
#include "data/access/mdb_reader.h"
#include "data/access/stored_queries.h"
#include "data/access/child_process.h"
#include "data/sqlite/sqlite_database.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include <map>
#include <set>

namespace korvane::data {
namespace {

using access::cell;
using access::column_def;

// libmdb's object type of tables (MDB_TABLE) and stored queries (MDB_QUERY).
constexpr int table_object = 1;
constexpr int query_object_type_in_msys_objects = 5;

bool starts_with_msys(const std::string& name) { return name.compare(0, 4, "MSys") == 0; }

std::string sql_name(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

// SQLite's complaint when DISTINCTROW grouped by the rowid of a view.
bool names_view_rowid(const std::string& error) {
    return error.starts_with("no such column: ") && error.ends_with(".rowid");
}

int column_index(const std::vector<column_def>& columns, const char* name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (access::lower_text(columns[i].name) == access::lower_text(name)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> text_cell(const std::vector<cell>& row, int index) {
    if (index < 0 || row[static_cast<std::size_t>(index)].k != cell::kind::text) return std::nullopt;
    return row[static_cast<std::size_t>(index)].bytes;
}

std::int64_t integer_cell(const std::vector<cell>& row, int index) {
    if (index < 0 || row[static_cast<std::size_t>(index)].k != cell::kind::integer) return 0;
    return row[static_cast<std::size_t>(index)].integer;
}

// Where the copy's own facts travel from the child: the table and query
// lists, why a query or a system table cannot be used, or why nothing could
// be read. A period never occurs in an Access table name.
constexpr const char* load_notes = "\"korvane.load\"";

void note_into(sqlite3* db, const char* kind, const std::string& name, const std::string& detail) {
    sqlite3_stmt* insert = nullptr;
    const std::string sql = std::string("INSERT INTO ") + load_notes + " VALUES (?, ?, ?)";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(insert, 1, kind, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, detail.data(), static_cast<int>(detail.size()), SQLITE_STATIC);
        sqlite3_step(insert);
    }
    sqlite3_finalize(insert);
}

// Builds the SQLite copy of an Access file. Runs in the child process: libmdb
// is only ever called here.
class copy_builder {
public:
    copy_builder(access::mdb_reader& reader, sqlite3* db) : reader_(reader), db_(db) {}

    void build(const std::string& path) {
        for (const auto& entry : reader_.catalog()) {
            if (entry.object_type != table_object) continue;
            // Hidden tables of attachment and multi-value fields (f_...) are
            // system tables by their flags but not by name: never listed.
            if (entry.system && !starts_with_msys(entry.name)) continue;
            note("table", entry.name, "");
            std::string error;
            if (load_table(entry.name, error)) continue;
            if (entry.system) {
                note("unreadable", entry.name, error);  // matters only to a statement using it
            } else {
                note("error", "", "The Access database '" + path + "' cannot be read: " + error);
                return;
            }
        }
        load_queries();
    }

    void note(const char* kind, const std::string& name, const std::string& detail) {
        note_into(db_, kind, name, detail);
    }

    // False when the view, once made, fails for the rowid of a query it
    // reads (DISTINCTROW over another query): then it is made without.
    bool view_answers(const std::string& name, const std::string& sql) {
        if (sql.find(".rowid") == std::string::npos) return true;
        if (sqlite3_exec(db_, ("CREATE VIEW " + sql_name(name) + " AS " + sql).c_str(), nullptr, nullptr,
                         nullptr) != SQLITE_OK) {
            return true;
        }
        sqlite3_stmt* probe = nullptr;
        const bool ok = sqlite3_prepare_v2(db_, ("SELECT * FROM " + sql_name(name)).c_str(), -1, &probe,
                                           nullptr) == SQLITE_OK ||
                        !names_view_rowid(sqlite3_errmsg(db_));
        sqlite3_finalize(probe);
        if (ok) sqlite3_exec(db_, ("DROP VIEW " + sql_name(name)).c_str(), nullptr, nullptr, nullptr);
        return ok;
    }

private:
    bool load_table(const std::string& name, std::string& error) {
        std::vector<column_def> columns;
        sqlite3_stmt* insert = nullptr;
        std::string failure;
        bool began = false;
        // The table is created and the insert prepared once the columns are
        // known, that is at the first row (or after the read for no rows).
        auto prepare = [&]() -> bool {
            std::string create = "CREATE TABLE " + sql_name(name) + " (";
            std::string values;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                create += (i ? ", " : "") + sql_name(columns[i].name) + " " + columns[i].declared_type;
                values += i ? ",?" : "?";
            }
            create += ")";
            if (columns.empty()) create = "CREATE TABLE " + sql_name(name) + " (\"(no columns)\")";
            char* message = nullptr;
            if (sqlite3_exec(db_, create.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
                failure = message != nullptr ? message : "CREATE TABLE failed";
                sqlite3_free(message);
                return false;
            }
            if (columns.empty()) return true;
            const std::string sql = "INSERT INTO " + sql_name(name) + " VALUES (" + values + ")";
            if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK) {
                failure = sqlite3_errmsg(db_);
                return false;
            }
            sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
            began = true;
            return true;
        };
        bool prepared = false;
        auto on_row = [&](const std::vector<cell>& row) {
            if (!failure.empty()) return;
            if (!prepared) {
                prepared = true;
                if (!prepare()) return;
            }
            if (insert == nullptr) return;
            for (std::size_t i = 0; i < row.size(); ++i) {
                const int p = static_cast<int>(i) + 1;
                const cell& c = row[i];
                switch (c.k) {
                    case cell::kind::null: sqlite3_bind_null(insert, p); break;
                    case cell::kind::integer: sqlite3_bind_int64(insert, p, c.integer); break;
                    case cell::kind::real: sqlite3_bind_double(insert, p, c.real); break;
                    case cell::kind::text:
                        sqlite3_bind_text(insert, p, c.bytes.data(), static_cast<int>(c.bytes.size()), SQLITE_STATIC);
                        break;
                    case cell::kind::blob:
                        sqlite3_bind_blob(insert, p, c.bytes.data(), static_cast<int>(c.bytes.size()), SQLITE_STATIC);
                        break;
                }
            }
            if (sqlite3_step(insert) != SQLITE_DONE) failure = sqlite3_errmsg(db_);
            sqlite3_reset(insert);
        };
        std::string read_error;
        const bool read = reader_.read_table(name, columns, on_row, read_error);
        if (read && !prepared && failure.empty()) prepare();
        sqlite3_finalize(insert);
        if (began) sqlite3_exec(db_, failure.empty() && read ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
        if (!read) {
            error = read_error;
            return false;
        }
        if (!failure.empty()) {
            error = "The table '" + name + "' cannot be copied: " + failure;
            return false;
        }
        return true;
    }

    // Stored queries come from MSysObjects (names, types) and MSysQueries
    // (their clauses); each select or union query becomes a view. A file
    // without them simply has no queries.
    void load_queries() {
        struct object {
            std::int64_t id;
            std::string name;
            int flags;
        };
        std::vector<object> objects;
        std::vector<column_def> columns;
        std::string ignored;
        int id_col = -1, name_col = -1, type_col = -1, flags_col = -1;
        auto on_object = [&](const std::vector<cell>& row) {
            if (id_col < 0) {
                id_col = column_index(columns, "Id");
                name_col = column_index(columns, "Name");
                type_col = column_index(columns, "Type");
                flags_col = column_index(columns, "Flags");
            }
            if ((integer_cell(row, type_col) & 0x7F) != query_object_type_in_msys_objects) return;
            auto name = text_cell(row, name_col);
            if (!name || name->empty() || (*name)[0] == '~') return;  // hidden ~sq_ queries
            objects.push_back({integer_cell(row, id_col), *name, static_cast<int>(integer_cell(row, flags_col))});
        };
        if (!reader_.read_table("MSysObjects", columns, on_object, ignored) || objects.empty()) return;

        std::map<std::int64_t, std::vector<access::query_row>> rows;
        int object_col = -1, attribute_col = -1, name1_col = -1, name2_col = -1, expression_col = -1,
            flag_col = -1;
        auto on_query = [&](const std::vector<cell>& row) {
            if (object_col < 0) {
                object_col = column_index(columns, "ObjectId");
                attribute_col = column_index(columns, "Attribute");
                name1_col = column_index(columns, "Name1");
                name2_col = column_index(columns, "Name2");
                expression_col = column_index(columns, "Expression");
                flag_col = column_index(columns, "Flag");
            }
            access::query_row r;
            r.attribute = static_cast<int>(integer_cell(row, attribute_col));
            r.name1 = text_cell(row, name1_col);
            r.name2 = text_cell(row, name2_col);
            r.expression = text_cell(row, expression_col);
            r.flag = static_cast<int>(integer_cell(row, flag_col));
            rows[integer_cell(row, object_col)].push_back(std::move(r));
        };
        reader_.read_table("MSysQueries", columns, on_query, ignored);

        for (const object& o : objects) {
            note("query", o.name, "");
            access::rebuilt_query q = access::rebuild_query(o.name, rows[o.id], o.flags);
            if (!q.problem.empty()) {
                note("problem", o.name, q.problem);
                continue;
            }
            access::translated_sql t = access::translate_access_sql(q.sql);
            if (!t.error.empty()) {
                note("problem", o.name, "The query '" + o.name + "' cannot be run here: " + t.error);
                continue;
            }
            if (!view_answers(o.name, t.sql)) {
                sqlite3_exec(db_, ("DROP VIEW " + sql_name(o.name)).c_str(), nullptr, nullptr, nullptr);
                t = access::translate_access_sql(q.sql, false);
            }
            const std::string view = "CREATE VIEW " + sql_name(o.name) + " AS " + t.sql;
            char* message = nullptr;
            if (sqlite3_exec(db_, view.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
                note("problem", o.name, "The query '" + o.name + "' cannot be run here: " +
                                    (message != nullptr ? message : "its SQL was not understood"));
            }
            sqlite3_free(message);
        }
    }

    access::mdb_reader& reader_;
    sqlite3* db_;
};

// The child's work: the copy written into the SQLite file at copy_path.
int build_copy_file(const std::string& path, const std::string& copy_path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(copy_path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return 2;
    }
    std::string error;
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    const std::string create = std::string("CREATE TABLE ") + load_notes + " (kind, name, detail)";
    if (!access::register_access_functions(db, error) ||
        sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return 2;
    }
    auto reader = access::mdb_reader::open(path, error);
    if (!reader) {
        note_into(db, "error", "", error);
    } else {
        copy_builder(*reader, db).build(path);
    }
    sqlite3_close_v2(db);
    return 0;
}

std::atomic<const std::atomic<bool>*> stop_flag{nullptr};

// Removes the copy's file whatever happens to the open.
struct file_remover {
    std::string path;
    ~file_remover() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

class access_database final : public database {
public:
    static std::unique_ptr<database> open(const std::string& path, std::string& error) {
        std::unique_ptr<access_database> db(new access_database());
        if (!db->start(path, error)) return nullptr;
        return db;
    }

    ~access_database() override {
        std::string ignored;
        close(ignored);
    }

    std::unique_ptr<record_set> open_record_set(const std::string& sql, std::string& error) override {
        if (db_ == nullptr) {
            error = "The database is closed.";
            return nullptr;
        }
        access::translated_sql t = access::translate_access_sql(sql);
        if (!t.error.empty()) {
            error = t.error;
            return nullptr;
        }
        for (const std::string& name : t.names) {
            auto it = unreadable_tables_.find(access::lower_text(name));
            if (it != unreadable_tables_.end()) {
                error = it->second;
                return nullptr;
            }
        }
        auto result = run_sqlite_query(db_, t.sql, error);
        if (!result && names_view_rowid(error)) {
            result = run_sqlite_query(db_, access::translate_access_sql(sql, false).sql, error);
        }
        if (!result) explain_failure(error);
        return result;
    }

    bool table_names(std::vector<std::string>& names, std::string& error) override {
        if (db_ == nullptr) {
            error = "The database is closed.";
            return false;
        }
        names = tables_;
        return true;
    }

    bool query_names(std::vector<std::string>& names, std::string& error) override {
        if (db_ == nullptr) {
            error = "The database is closed.";
            return false;
        }
        names = queries_;
        return true;
    }

    bool close(std::string& error) override {
        error.clear();
        if (db_ != nullptr) {
            sqlite3_close_v2(db_);
            db_ = nullptr;
        }
        return true;
    }

private:
    access_database() = default;

    bool start(const std::string& path, std::string& error) {
        if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            error = "Cannot create the in-memory copy of '" + path + "': " +
                    (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
            return false;
        }
        // Without these, a misspelt "name" silently becomes a text.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        if (!access::register_access_functions(db_, error)) return false;
        return load_copy(path, error) && read_notes(error);
    }

    // libmdb reads the file in a child process with limits, writing the copy
    // into a temporary SQLite file (never beside the database) that is then
    // taken into memory.
    bool load_copy(const std::string& path, std::string& error) {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
        if (ec) folder = "/tmp";
        std::string name = (folder / "korvane-access-XXXXXX").string();
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            error = "The Access database '" + path + "' cannot be read: no temporary file can be made in " +
                    folder.string() + ".";
            return false;
        }
        ::close(fd);
        const file_remover remover{name};

        const auto size = std::filesystem::file_size(path, ec);
        const std::uint64_t bytes = ec ? 0 : size;
        access::child_limits limits;
        limits.cpu_seconds = 3 + static_cast<unsigned>(bytes / (4u << 20));
        limits.wall_seconds = 2 * limits.cpu_seconds + 4;
        limits.memory_bytes = (256u << 20) + 2 * bytes;
        // A child that stalls on a lock another thread held at the fork is
        // simply started again.
        auto outcome = access::child_outcome::stalled;
        for (int attempt = 0; attempt < 4 && outcome == access::child_outcome::stalled; ++attempt) {
            outcome = access::run_in_child([&] { return build_copy_file(path, name); }, limits, stop_flag.load());
        }
        switch (outcome) {
            case access::child_outcome::succeeded: break;
            case access::child_outcome::stopped:
                error = "Reading the Access database '" + path + "' was stopped.";
                return false;
            case access::child_outcome::cannot_start:
                error = "The Access database '" + path + "' cannot be read: no process can be started to read it.";
                return false;
            default:
                error = "The Access database '" + path + "' cannot be read: it is damaged.";
                return false;
        }

        sqlite3* file = nullptr;
        bool copied = false;
        if (sqlite3_open_v2(name.c_str(), &file, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_backup* backup = sqlite3_backup_init(db_, "main", file, "main");
            if (backup != nullptr) {
                copied = sqlite3_backup_step(backup, -1) == SQLITE_DONE;
                sqlite3_backup_finish(backup);
            }
        }
        sqlite3_close_v2(file);
        if (!copied) {
            error = "Cannot create the in-memory copy of '" + path + "': " + sqlite3_errmsg(db_);
            return false;
        }
        return true;
    }

    bool read_notes(std::string& error) {
        sqlite3_stmt* select = nullptr;
        const std::string sql = std::string("SELECT kind, name, detail FROM ") + load_notes + " ORDER BY rowid";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &select, nullptr) != SQLITE_OK) {
            error = std::string("The in-memory copy is incomplete: ") + sqlite3_errmsg(db_);
            return false;
        }
        auto text = [&](int c) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(select, c));
            return std::string(p != nullptr ? p : "");
        };
        std::string failure;
        while (sqlite3_step(select) == SQLITE_ROW) {
            const std::string kind = text(0), name = text(1), detail = text(2);
            if (kind == "table") tables_.push_back(name);
            else if (kind == "query") queries_.push_back(name);
            else if (kind == "problem") problems_[name] = detail;
            else if (kind == "unreadable") unreadable_tables_[access::lower_text(name)] = detail;
            else if (kind == "error") failure = detail;
        }
        sqlite3_finalize(select);
        sqlite3_exec(db_, (std::string("DROP TABLE ") + load_notes).c_str(), nullptr, nullptr, nullptr);
        if (!failure.empty()) {
            error = failure;
            return false;
        }
        return true;
    }

    // A statement that fails because it uses a query Access alone can run
    // gets that query's own explanation.
    void explain_failure(std::string& error) const {
        for (const auto& [name, problem] : problems_) {
            for (const char* prefix : {"no such table: ", "no such table: main."}) {
                const std::string missing = prefix + name;
                const std::size_t at = error.find(missing);
                if (at != std::string::npos && at + missing.size() == error.size()) {
                    error = problem;
                    return;
                }
            }
        }
    }

    sqlite3* db_ = nullptr;
    std::vector<std::string> tables_;
    std::vector<std::string> queries_;
    std::map<std::string, std::string> problems_;           // query name -> why it cannot run
    std::map<std::string, std::string> unreadable_tables_;  // lower-case name -> why
};

}  // namespace

void set_access_stop_flag(const std::atomic<bool>* flag) { stop_flag.store(flag); }

std::unique_ptr<database> open_access_file(const std::string& path, std::string& error) {
    try {
        return access_database::open(path, error);
    } catch (const std::exception& e) {
        error = "The Access database '" + path + "' cannot be read: " + e.what();
        return nullptr;
    }
}

}  // namespace korvane::data
