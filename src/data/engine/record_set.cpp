#include "data/engine/record_set.h"

#include <utility>

namespace korvane::data {
namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace

record_set::record_set(std::vector<std::string> field_names) : names_(std::move(field_names)) {}

void record_set::add_row(std::vector<db_value> values) {
    values.resize(names_.size());
    for (auto& v : values) cells_.push_back(std::move(v));
    ++row_count_;
}

void record_set::reserve_rows(std::size_t rows) { cells_.reserve(rows * names_.size()); }

bool record_set::move_first() {
    cursor_ = 0;
    return row_count_ > 0;
}

bool record_set::move_next() {
    if (cursor_ < row_count_) ++cursor_;
    return cursor_ < row_count_;
}

bool record_set::move_last() {
    if (row_count_ == 0) return false;
    cursor_ = row_count_ - 1;
    return true;
}

void record_set::close() {
    cells_.clear();
    cells_.shrink_to_fit();
    row_count_ = 0;
    cursor_ = 0;
}

// Results have a handful of fields, so a scan beats hashing a folded copy.
// The first of two fields with the same name wins.
int record_set::field_index(std::string_view name) const {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (equal_ignoring_ascii_case(names_[i], name)) return static_cast<int>(i);
    }
    return -1;
}

const db_value* record_set::value(int field) const {
    if (field < 0 || field >= field_count() || cursor_ >= row_count_) return nullptr;
    return &cells_[cursor_ * names_.size() + static_cast<std::size_t>(field)];
}

}  // namespace korvane::data
