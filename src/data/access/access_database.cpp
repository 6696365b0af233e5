// SPDX-License-Identifier: Apache-2.0
#include "access_database.h"

#include "data/access/access_functions.h"
#include "data/sql/access_sql.h"
#include "data/access/access_text.h"
#include "data/access/mdb_reader.h"
#include "data/access/child_process.h"
#include "data/access/stored_queries.h"
#include "data/sqlite/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string_view>

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

// The copy as the child hands it over: records of a byte naming them and
// their fields; numbers are 8 raw bytes, texts a number and their bytes.
constexpr char table_record = 'T';      // name, column count, (name, declared type) each
constexpr char row_record = 'R';        // cell count, (kind byte, value) each
constexpr char table_end_record = 'E';  //
constexpr char note_record = 'N';       // kind ("table", "query", "problem", "unreadable", "error"), name, detail
constexpr char view_record = 'V';       // name, SQL, SQL without rowids
constexpr char done_record = 'Z';       // the child got to the end

class copy_writer {
public:
    explicit copy_writer(std::FILE* file) : file_(file) {}
    void byte(char c) { std::fputc(c, file_); }
    void number(std::int64_t v) { std::fwrite(&v, sizeof v, 1, file_); }
    void real(double v) { std::fwrite(&v, sizeof v, 1, file_); }
    void text(std::string_view s) {
        number(static_cast<std::int64_t>(s.size()));
        std::fwrite(s.data(), 1, s.size(), file_);
    }
    void note(const char* kind, const std::string& name, const std::string& detail) {
        byte(note_record);
        text(kind);
        text(name);
        text(detail);
    }

private:
    std::FILE* file_;
};

class copy_reader {
public:
    explicit copy_reader(std::FILE* file) : file_(file) {}
    bool failed() const { return failed_; }
    char byte() {
        const int c = std::fgetc(file_);
        failed_ = failed_ || c == EOF;
        return static_cast<char>(c);
    }
    std::int64_t number() {
        std::int64_t v = 0;
        failed_ = failed_ || std::fread(&v, sizeof v, 1, file_) != 1;
        return v;
    }
    double real() {
        double v = 0;
        failed_ = failed_ || std::fread(&v, sizeof v, 1, file_) != 1;
        return v;
    }
    std::string text() {
        const std::int64_t size = number();
        if (failed_ || size < 0 || size > (std::int64_t{1} << 31)) {
            failed_ = true;
            return {};
        }
        std::string s(static_cast<std::size_t>(size), '\0');
        failed_ = failed_ || std::fread(s.data(), 1, s.size(), file_) != s.size();
        return s;
    }

private:
    std::FILE* file_;
    bool failed_ = false;
};

// Reads an Access file into records. Runs in the child process: libmdb is
// only ever called here.
class copy_builder {
public:
    copy_builder(access::mdb_reader& reader, copy_writer& out) : reader_(reader), out_(out) {}

    void build(const std::string& path) {
        for (const auto& entry : reader_.catalog()) {
            if (entry.object_type != table_object) continue;
            // Hidden tables of attachment and multi-value fields (f_...) are
            // system tables by their flags but not by name: never listed.
            if (entry.system && !starts_with_msys(entry.name)) continue;
            out_.note("table", entry.name, "");
            std::string error;
            std::int64_t lost = 0;
            if (load_table(entry.name, error, lost)) {
                // Rows a damaged page hid are a problem of the table, never a
                // silently shorter result.
                if (lost > 0) {
                    out_.note("unreadable", entry.name,
                              "The table '" + entry.name + "' of the Access database '" + path +
                                  "' is damaged: " + std::to_string(lost) + " of its rows cannot be read.");
                }
                continue;
            }
            if (entry.system) {
                out_.note("unreadable", entry.name, error);  // matters only to a statement using it
            } else {
                out_.note("error", "", "The Access database '" + path + "' cannot be read: " + error);
                return;
            }
        }
        load_queries();
    }

private:
    bool load_table(const std::string& name, std::string& error, std::int64_t& lost) {
        std::vector<column_def> columns;
        bool started = false;
        // The columns are known once the first row comes, or after a read of none.
        auto start = [&] {
            started = true;
            out_.byte(table_record);
            out_.text(name);
            out_.number(static_cast<std::int64_t>(columns.size()));
            for (const auto& c : columns) {
                out_.text(c.name);
                out_.text(c.declared_type);
            }
        };
        auto on_row = [&](const std::vector<cell>& row) {
            if (!started) start();
            out_.byte(row_record);
            out_.number(static_cast<std::int64_t>(row.size()));
            for (const cell& c : row) {
                out_.byte(static_cast<char>(c.k));
                switch (c.k) {
                    case cell::kind::null: break;
                    case cell::kind::integer: out_.number(c.integer); break;
                    case cell::kind::real: out_.real(c.real); break;
                    case cell::kind::text:
                    case cell::kind::blob: out_.text(c.bytes); break;
                }
            }
        };
        const bool read = reader_.read_table(name, columns, on_row, error, &lost);
        if (read && !started) start();
        if (started) out_.byte(table_end_record);
        return read;
    }

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
            out_.note("query", o.name, "");
            access::rebuilt_query q = access::rebuild_query(o.name, rows[o.id], o.flags);
            if (!q.problem.empty()) {
                out_.note("problem", o.name, q.problem);
                continue;
            }
            sql::translated_sql t = sql::translate_access_sql(q.sql);
            if (!t.error.empty()) {
                out_.note("problem", o.name, "The query '" + o.name + "' cannot be run here: " + t.error);
                continue;
            }
            // Without rowids, for a DISTINCTROW over another query.
            const std::string plain =
                t.sql.find(".rowid") == std::string::npos ? t.sql : sql::translate_access_sql(q.sql, false).sql;
            out_.byte(view_record);
            out_.text(o.name);
            out_.text(t.sql);
            out_.text(plain);
        }
    }

    access::mdb_reader& reader_;
    copy_writer& out_;
};

// The child's work: the records written into the copy's file, copy_fd.
constexpr int cannot_write_copy = 2;  // the child's exit status when the records cannot be written

int build_copy_file(const std::string& path, int copy_fd) {
    // An earlier attempt may have written part of it.
    if (::ftruncate(copy_fd, 0) != 0 || ::lseek(copy_fd, 0, SEEK_SET) != 0) return cannot_write_copy;
    const int own = ::dup(copy_fd);
    std::FILE* file = own < 0 ? nullptr : ::fdopen(own, "wb");
    if (file == nullptr) return cannot_write_copy;
    copy_writer out(file);
    std::string error;
    auto reader = access::mdb_reader::open(path, error);
    if (!reader) {
        out.note("error", "", error);
    } else {
        copy_builder(*reader, out).build(path);
    }
    out.byte(done_record);
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written ? 0 : cannot_write_copy;
}

// The file the child writes the copy into has no name: made without one
// (O_TMPFILE), or, where the file system cannot, unlinked the moment it is
// made. The child inherits it across the fork and this process reads it back
// through the same descriptor, so a kill -9 of either leaves nothing behind.
int open_copy_file(const std::filesystem::path& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = (folder / "korvane-access-XXXXXX").string();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

struct fd_closer {
    int fd;
    ~fd_closer() { ::close(fd); }
};

class access_database final : public database {
public:
    static std::unique_ptr<database> open(const std::string& path, std::string& error, stop_token stop) {
        std::unique_ptr<access_database> db(new access_database());
        if (!db->start(path, error, stop)) return nullptr;
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
        sql::translated_sql t = sql::translate_access_sql(sql);
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
            result = run_sqlite_query(db_, sql::translate_access_sql(sql, false).sql, error);
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

    bool start(const std::string& path, std::string& error, stop_token stop) {
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
        return load_copy(path, error, stop);
    }

    // libmdb reads the file in a child process with limits, writing the copy
    // as records into a temporary file (never beside the database) from
    // which this process builds the in-memory copy. The child uses no SQLite:
    // another thread may have held one of its locks at the fork.
    bool load_copy(const std::string& path, std::string& error, stop_token stop) {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
        if (ec) folder = "/tmp";
        const int fd = open_copy_file(folder);
        if (fd < 0) {
            error = "The Access database '" + path + "' cannot be read: no temporary file can be made in " +
                    folder.string() + ".";
            return false;
        }
        const fd_closer closer{fd};

        const auto size = std::filesystem::file_size(path, ec);
        const std::uint64_t bytes = ec ? 0 : size;
        access::child_limits limits;
        limits.cpu_seconds = 3 + static_cast<unsigned>(bytes / (4u << 20));
        limits.wall_seconds = 2 * limits.cpu_seconds + 4;
        limits.memory_bytes = (256u << 20) + 2 * bytes;
        // A child that stalls on a lock another thread held at the fork is
        // simply started again.
        auto outcome = access::child_outcome::stalled;
        int status = 0;
        for (int attempt = 0; attempt < 4 && outcome == access::child_outcome::stalled; ++attempt) {
            outcome = access::run_in_child([&] { return build_copy_file(path, fd); }, limits, stop,
                                           &status);
        }
        if (outcome == access::child_outcome::failed && status == cannot_write_copy) {
            error = "The Access database '" + path + "' cannot be read: its copy cannot be written in " +
                    folder.string() + ".";
            return false;
        }
        switch (outcome) {
            case access::child_outcome::succeeded: break;
            case access::child_outcome::stopped:
                error = "Reading the Access database '" + path + "' was stopped.";
                return false;
            case access::child_outcome::stalled:
                error = "The Access database '" + path + "' cannot be read: reading it makes no progress.";
                return false;
            case access::child_outcome::cannot_start:
                error = "The Access database '" + path + "' cannot be read: no process can be started to read it.";
                return false;
            default:
                error = "The Access database '" + path + "' cannot be read: it is damaged.";
                return false;
        }

        const int own = ::lseek(fd, 0, SEEK_SET) == 0 ? ::dup(fd) : -1;
        std::FILE* copy = own < 0 ? nullptr : ::fdopen(own, "rb");
        if (copy == nullptr) {
            if (own >= 0) ::close(own);
            error = "The Access database '" + path + "' cannot be read: its copy cannot be read back.";
            return false;
        }
        const bool read = read_copy(copy, path, error);
        std::fclose(copy);
        return read;
    }

    // Builds the in-memory copy from the child's records.
    bool read_copy(std::FILE* file, const std::string& path, std::string& error) {
        copy_reader in(file);
        sqlite3_stmt* insert = nullptr;
        struct insert_guard {
            sqlite3_stmt*& s;
            ~insert_guard() { sqlite3_finalize(s); }
        } guard{insert};
        std::string table, failure, sqlite_error;
        std::vector<std::array<std::string, 3>> views;
        auto exec = [&](const std::string& sql) {
            char* message = nullptr;
            const bool ok = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
            if (!ok) sqlite_error = message != nullptr ? message : sqlite3_errmsg(db_);
            sqlite3_free(message);
            return ok;
        };
        for (;;) {
            const char record = in.byte();
            if (in.failed()) break;
            if (record == done_record) {
                if (!failure.empty()) {
                    error = failure;
                    return false;
                }
                create_views(views);
                return true;
            }
            if (record == table_record) {
                table = in.text();
                const std::int64_t count = in.number();
                std::string create, values;
                for (std::int64_t i = 0; i < count && !in.failed(); ++i) {
                    const std::string column = in.text();
                    create += (i ? ", " : "") + sql_name(column) + " " + in.text();
                    values += i ? ",?" : "?";
                }
                if (count == 0) create = "\"(no columns)\"";
                if (!exec("CREATE TABLE " + sql_name(table) + " (" + create + ")")) break;
                if (count > 0 &&
                    sqlite3_prepare_v2(db_, ("INSERT INTO " + sql_name(table) + " VALUES (" + values + ")").c_str(), -1,
                                       &insert, nullptr) != SQLITE_OK) {
                    sqlite_error = sqlite3_errmsg(db_);
                    break;
                }
                exec("BEGIN");
            } else if (record == row_record) {
                const std::int64_t count = in.number();
                if (count == 0 && insert == nullptr) continue;  // a table without columns
                for (int p = 1; p <= count && !in.failed(); ++p) {
                    switch (static_cast<cell::kind>(in.byte())) {
                        case cell::kind::null: sqlite3_bind_null(insert, p); break;
                        case cell::kind::integer: sqlite3_bind_int64(insert, p, in.number()); break;
                        case cell::kind::real: sqlite3_bind_double(insert, p, in.real()); break;
                        case cell::kind::text: {
                            const std::string v = in.text();
                            sqlite3_bind_text(insert, p, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
                            break;
                        }
                        case cell::kind::blob: {
                            const std::string v = in.text();
                            sqlite3_bind_blob(insert, p, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
                            break;
                        }
                    }
                }
                if (insert == nullptr || sqlite3_step(insert) != SQLITE_DONE) {
                    sqlite_error = sqlite3_errmsg(db_);
                    break;
                }
                sqlite3_reset(insert);
            } else if (record == table_end_record) {
                sqlite3_finalize(insert);
                insert = nullptr;
                if (!exec("COMMIT")) break;
            } else if (record == note_record) {
                const std::string kind = in.text(), name = in.text(), detail = in.text();
                if (kind == "table") tables_.push_back(name);
                else if (kind == "query") queries_.push_back(name);
                else if (kind == "problem") problems_[name] = detail;
                else if (kind == "unreadable") mark_unreadable(name, detail);
                else if (kind == "error") failure = detail;
            } else if (record == view_record) {
                std::array<std::string, 3> view;
                for (auto& part : view) part = in.text();
                views.push_back(std::move(view));
            } else {
                break;
            }
        }
        if (!sqlite_error.empty()) {
            error = "The table '" + table + "' cannot be copied: " + sqlite_error;
        } else {
            error = "The Access database '" + path + "' cannot be read: it is damaged.";
        }
        return false;
    }

    // A table that cannot be read whole is not there: a statement naming it,
    // or a query over it, fails with why.
    void mark_unreadable(const std::string& name, const std::string& why) {
        unreadable_tables_[access::lower_text(name)] = why;
        problems_[name] = why;
        sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + sql_name(name)).c_str(), nullptr, nullptr, nullptr);
    }

    // Views are made once every table is there; one whose DISTINCTROW
    // groups by the rowid of another query is made again without it.
    void create_views(const std::vector<std::array<std::string, 3>>& views) {
        auto create = [&](const std::string& name, const std::string& sql) {
            char* message = nullptr;
            std::string problem;
            if (sqlite3_exec(db_, ("CREATE VIEW " + sql_name(name) + " AS " + sql).c_str(), nullptr, nullptr,
                             &message) != SQLITE_OK) {
                problem = "The query '" + name + "' cannot be run here: " +
                          (message != nullptr ? message : "its SQL was not understood");
            }
            sqlite3_free(message);
            return problem;
        };
        for (const auto& [name, sql, plain] : views) {
            const std::string problem = create(name, sql);
            if (!problem.empty()) problems_[name] = problem;
        }
        for (const auto& [name, sql, plain] : views) {
            if (plain == sql || problems_.count(name) != 0) continue;
            sqlite3_stmt* probe = nullptr;
            const bool fails = sqlite3_prepare_v2(db_, ("SELECT * FROM " + sql_name(name)).c_str(), -1, &probe,
                                                  nullptr) != SQLITE_OK &&
                               names_view_rowid(sqlite3_errmsg(db_));
            sqlite3_finalize(probe);
            if (!fails) continue;
            sqlite3_exec(db_, ("DROP VIEW " + sql_name(name)).c_str(), nullptr, nullptr, nullptr);
            const std::string problem = create(name, plain);
            if (!problem.empty()) problems_[name] = problem;
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

    sqlite3* db_ = nullptr;
    std::vector<std::string> tables_;
    std::vector<std::string> queries_;
    std::map<std::string, std::string> problems_;           // query name -> why it cannot run
    std::map<std::string, std::string> unreadable_tables_;  // lower-case name -> why
};

}  // namespace

std::unique_ptr<database> open_access_file(const std::string& path, std::string& error,
                                           stop_token stop) {
    try {
        return access_database::open(path, error, stop);
    } catch (const std::exception& e) {
        error = "The Access database '" + path + "' cannot be read: " + e.what();
        return nullptr;
    }
}

}  // namespace korvane::data
