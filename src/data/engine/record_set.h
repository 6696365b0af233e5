// SPDX-License-Identifier: Apache-2.0
// A read-only snapshot of a query's result: every row is fetched when it is
// opened, so it can be counted and walked in both directions without the
// database. Backends fill one; the generator and the windows read it. A
// forward result (for results too large to hold) has its count up front and
// holds only the current row, which it reads from the backend as it moves.
#pragma once

#include "data/engine/db_value.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::data {

// Where a forward result reads its rows: the backend's running statement.
class row_source {
public:
    row_source() = default;
    row_source(const row_source&) = delete;
    row_source& operator=(const row_source&) = delete;
    virtual ~row_source() = default;
    // Back to before the first row: the same rows come again.
    virtual bool rewind() = 0;
    // The next row into values (one per field); false after the last row or
    // when the backend fails.
    virtual bool next_row(db_value* values) = 0;
};

class record_set {
public:
    explicit record_set(std::vector<std::string> field_names);
    // A forward result of row_count rows read from source, on its first row.
    record_set(std::vector<std::string> field_names, std::int64_t row_count,
               std::unique_ptr<row_source> source);

    // Filling, by the backend that ran the query: one add_row per row, with
    // exactly field_count() values in result order.
    void add_row(std::vector<db_value> values);
    // The field_count() values of a new last row, to be filled in place.
    db_value* append_row();
    void reserve_rows(std::size_t rows);

    // The engine's operations. The cursor starts on the first row (when there
    // is one). move_last fails on an empty result, as the engine's MoveLast
    // does; move_next may step past the last row, after which there is no
    // current row. A forward result moving back reads its rows again from
    // the first; one whose backend fails has no current row from there on.
    bool move_first();
    bool move_next();
    bool move_last();
    std::int64_t record_count() const { return static_cast<std::int64_t>(count_); }
    bool has_current_row() const { return cursor_ < count_; }
    void close();

    int field_count() const { return static_cast<int>(names_.size()); }
    const std::vector<std::string>& field_names() const { return names_; }

    // Index of a field, the name compared without regard to case (of any
    // letter, not only A to Z); -1 when the result has no such field.
    int field_index(std::string_view name) const;

    // The value of a field in the current row; nullptr when there is no such
    // field or no current row.
    const db_value* value(int field) const;
    const db_value* value(std::string_view name) const { return value(field_index(name)); }

private:
    // A forward result: reads the row at cursor_ into the one row held.
    bool read_current_row();

    std::vector<std::string> names_;
    std::vector<db_value> cells_;  // row-major; a forward result's current row
    std::size_t count_ = 0;
    std::size_t cursor_ = 0;
    std::unique_ptr<row_source> source_;
    // Names looked up before, by where their text lies: a tag names its field
    // from the template, which stays put from page to page.
    struct known_name {
        const char* text = nullptr;
        std::size_t size = 0;
        int index = -1;
    };
    static constexpr int known_name_bits = 6;
    mutable std::array<known_name, 1 << known_name_bits> known_names_{};
};

}  // namespace korvane::data
