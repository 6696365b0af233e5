// SPDX-License-Identifier: Apache-2.0
// Reads an Access file through libmdb: the catalog, column definitions and
// raw row values (never libmdb's text conversions, which lose Null, dates
// outside 1900-2700, long memos and characters outside the BMP).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane::data::access {

// One value of a row, decoded to what the in-memory copy stores.
struct cell {
    enum class kind : std::uint8_t { null, integer, real, text, blob };
    kind k = kind::null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string bytes;  // text (UTF-8) or blob
};

struct column_def {
    std::string name;
    std::string declared_type;  // e.g. "CURRENCY REAL", "TEXT COLLATE access_text"
};

struct catalog_entry {
    std::string name;
    int object_type = 0;  // libmdb's MDB_TABLE, MDB_QUERY, ...
    bool system = false;  // by the entry's flags
};

class mdb_reader {
public:
    // Opens read-only; nullptr with a description when the file is not a
    // readable Access database.
    static std::unique_ptr<mdb_reader> open(const std::string& path, std::string& error);
    ~mdb_reader();
    mdb_reader(const mdb_reader&) = delete;
    mdb_reader& operator=(const mdb_reader&) = delete;

    // Every catalog entry, in the catalog's (physical) order.
    const std::vector<catalog_entry>& catalog() const { return catalog_; }

    // Reads a table's columns, then calls on_row once per row with one cell
    // per column. False with a description when the table cannot be read.
    // rows_lost (when given): how many fewer rows could be read than the
    // table's definition declares (a damaged data page), else 0. More rows
    // than declared are no loss: some files count one short.
    bool read_table(const std::string& name, std::vector<column_def>& columns,
                    const std::function<void(const std::vector<cell>&)>& on_row,
                    std::string& error, std::int64_t* rows_lost = nullptr);

private:
    struct impl;
    explicit mdb_reader(std::unique_ptr<impl> p);
    std::unique_ptr<impl> impl_;
    std::vector<catalog_entry> catalog_;
};

// A Decimal's digits as kept in the copy: a number when a double holds it
// exactly (so it compares as one), else the digits, trailing zeros dropped.
void decimal_cell(std::string digits, cell& out);

// The collation every Text and Memo column is declared with.
inline constexpr const char* text_collation = "access_text";

}  // namespace korvane::data::access
