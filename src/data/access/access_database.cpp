#include "access_database.h"

#include "data/access/access_functions.h"
#include "data/access/access_sql.h"
#include "data/access/access_text.h"
#include "data/access/mdb_reader.h"
#include "data/access/stored_queries.h"
#include "data/sqlite/sqlite_database.h"

#include <sqlite3.h>

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

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
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

class access_database final : public database {
public:
    static std::unique_ptr<database> open(const std::string& path, std::string& error) {
        auto reader = access::mdb_reader::open(path, error);
        if (!reader) return nullptr;
        std::unique_ptr<access_database> db(new access_database(std::move(reader)));
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
            auto it = unloaded_system_tables_.find(access::lower_text(name));
            if (it == unloaded_system_tables_.end()) continue;
            const std::string table = it->second;
            unloaded_system_tables_.erase(it);
            if (!load_table(table, error)) return nullptr;
        }
        auto result = run_sqlite_query(db_, t.sql, error);
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
        reader_.reset();
        return true;
    }

private:
    explicit access_database(std::unique_ptr<access::mdb_reader> reader) : reader_(std::move(reader)) {}

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

        for (const auto& entry : reader_->catalog()) {
            if (entry.object_type != table_object) continue;
            // Hidden tables of attachment and multi-value fields (f_...) are
            // system tables by their flags but not by name: never listed.
            if (entry.system && !starts_with_msys(entry.name)) continue;
            tables_.push_back(entry.name);
            if (entry.system) {
                unloaded_system_tables_[access::lower_text(entry.name)] = entry.name;
            } else if (!load_table(entry.name, error)) {
                error = "The Access database '" + path + "' cannot be read: " + error;
                return false;
            }
        }
        load_queries();
        return true;
    }

    bool load_table(const std::string& name, std::string& error) {
        std::vector<column_def> columns;
        sqlite3_stmt* insert = nullptr;
        std::string failure;
        bool began = false;
        // The table is created and the insert prepared once the columns are
        // known, that is at the first row (or after the read for no rows).
        auto prepare = [&]() -> bool {
            std::string create = "CREATE TABLE " + quoted(name) + " (";
            std::string values;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                create += (i ? ", " : "") + quoted(columns[i].name) + " " + columns[i].declared_type;
                values += i ? ",?" : "?";
            }
            create += ")";
            if (columns.empty()) create = "CREATE TABLE " + quoted(name) + " (\"(no columns)\")";
            char* message = nullptr;
            if (sqlite3_exec(db_, create.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
                failure = message != nullptr ? message : "CREATE TABLE failed";
                sqlite3_free(message);
                return false;
            }
            if (columns.empty()) return true;
            const std::string sql = "INSERT INTO " + quoted(name) + " VALUES (" + values + ")";
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
        const bool read = reader_->read_table(name, columns, on_row, read_error);
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
        if (!reader_->read_table("MSysObjects", columns, on_object, ignored) || objects.empty()) return;

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
        reader_->read_table("MSysQueries", columns, on_query, ignored);

        for (const object& o : objects) {
            queries_.push_back(o.name);
            access::rebuilt_query q = access::rebuild_query(o.name, rows[o.id], o.flags);
            if (!q.problem.empty()) {
                problems_[o.name] = q.problem;
                continue;
            }
            access::translated_sql t = access::translate_access_sql(q.sql);
            if (!t.error.empty()) {
                problems_[o.name] = "The query '" + o.name + "' cannot be run here: " + t.error;
                continue;
            }
            const std::string view = "CREATE VIEW " + quoted(o.name) + " AS " + t.sql;
            char* message = nullptr;
            if (sqlite3_exec(db_, view.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
                problems_[o.name] = "The query '" + o.name + "' cannot be run here: " +
                                    (message != nullptr ? message : "its SQL was not understood");
            }
            sqlite3_free(message);
        }
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

    std::unique_ptr<access::mdb_reader> reader_;  // kept for system tables read on demand
    sqlite3* db_ = nullptr;
    std::vector<std::string> tables_;
    std::vector<std::string> queries_;
    std::map<std::string, std::string> problems_;                // query name -> why it cannot run
    std::map<std::string, std::string> unloaded_system_tables_;  // lower-case name -> name
};

}  // namespace

std::unique_ptr<database> open_access_file(const std::string& path, std::string& error) {
    try {
        return access_database::open(path, error);
    } catch (const std::exception& e) {
        error = "The Access database '" + path + "' cannot be read: " + e.what();
        return nullptr;
    }
}

}  // namespace korvane::data
