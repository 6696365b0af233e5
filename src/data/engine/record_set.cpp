#include "data/engine/record_set.h"

#include <QString>

#include <algorithm>
#include <utility>

namespace korvane::data {
namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QString as_qstring(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Names match as the database engine matches them: case is folded for every
// letter ("Ärger" is "ärger"), not only for A to Z.
// Byte by byte while both are ASCII (a name is looked up for every tag, and
// most names differ in their first letters); Qt for what lies beyond.
bool same_field_name(std::string_view a, std::string_view b) {
    auto folded_by_qt = [&] {
        return QString::compare(as_qstring(a), as_qstring(b), Qt::CaseInsensitive) == 0;
    };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if ((static_cast<unsigned char>(a[i]) | static_cast<unsigned char>(b[i])) >= 0x80) {
            return folded_by_qt();
        }
        if (fold(a[i]) != fold(b[i])) return false;
    }
    if (a.size() == b.size()) return true;
    return is_ascii(a.substr(common)) && is_ascii(b.substr(common)) ? false : folded_by_qt();
}

}  // namespace

record_set::record_set(std::vector<std::string> field_names) : rows_(std::make_shared<rows>()) {
    rows_->names = std::move(field_names);
}

record_set::record_set(std::vector<std::string> field_names, std::int64_t row_count,
                       std::unique_ptr<row_source> source)
    : record_set(std::move(field_names)) {
    source_ = std::move(source);
    rows_->count = row_count > 0 ? static_cast<std::size_t>(row_count) : 0;
    rows_->cells.resize(rows_->names.size());
    read_current_row();
}

bool record_set::read_current_row() {
    if (cursor_ >= rows_->count) return false;
    if (source_->next_row(rows_->cells.data())) return true;
    cursor_ = rows_->count;  // the backend failed: no current row from here on
    return false;
}

db_value* record_set::append_row() {
    const std::size_t at = rows_->cells.size();
    rows_->cells.resize(at + rows_->names.size());
    ++rows_->count;
    return rows_->cells.data() + at;
}

void record_set::add_row(std::vector<db_value> values) {
    values.resize(rows_->names.size());
    for (auto& v : values) rows_->cells.push_back(std::move(v));
    ++rows_->count;
}

void record_set::reserve_rows(std::size_t count) { rows_->cells.reserve(count * rows_->names.size()); }

std::unique_ptr<record_set> record_set::share() const {
    if (source_) return nullptr;
    return std::unique_ptr<record_set>(new record_set(rows_));
}

bool record_set::move_first() {
    cursor_ = 0;
    if (source_) {
        if (!source_->rewind()) cursor_ = rows_->count;
        return read_current_row();
    }
    return rows_->count > 0;
}

bool record_set::move_next() {
    if (cursor_ < rows_->count) ++cursor_;
    if (source_) return read_current_row();
    return cursor_ < rows_->count;
}

bool record_set::move_last() {
    if (rows_->count == 0) return false;
    if (source_) {
        if (cursor_ >= rows_->count && !move_first()) return false;
        while (cursor_ + 1 < rows_->count) {
            if (!move_next()) return false;
        }
        return true;
    }
    cursor_ = rows_->count - 1;
    return true;
}

// Other readers of shared rows keep them; this one sees an empty result.
void record_set::close() {
    source_.reset();
    auto empty = std::make_shared<rows>();
    empty->names = rows_->names;
    rows_ = std::move(empty);
    cursor_ = 0;
}

// Results have a handful of fields, so a scan beats hashing a folded copy.
// The first of two fields with the same name wins.
int record_set::field_index(std::string_view name) const {
    const auto& names = rows_->names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (same_field_name(names[i], name)) return static_cast<int>(i);
    }
    return -1;
}

const db_value* record_set::value(int field) const {
    if (field < 0 || field >= field_count() || cursor_ >= rows_->count) return nullptr;
    const std::size_t row = source_ ? 0 : cursor_;
    return &rows_->cells[row * rows_->names.size() + static_cast<std::size_t>(field)];
}

}  // namespace korvane::data
