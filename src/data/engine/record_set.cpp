// SPDX-License-Identifier: Apache-2.0
#include "data/engine/record_set.h"

#include "text/case_fold.h"

#include <QString>

#include <algorithm>
#include <utility>

namespace korvane::data {
namespace {

using text::ascii_lower;
using text::is_ascii;

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
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    if (a.size() == b.size()) return true;
    return is_ascii(a.substr(common)) && is_ascii(b.substr(common)) ? false : folded_by_qt();
}

}  // namespace

record_set::record_set(std::vector<std::string> field_names) : names_(std::move(field_names)) {}

record_set::record_set(std::vector<std::string> field_names, std::int64_t row_count,
                       std::unique_ptr<row_source> source)
    : names_(std::move(field_names)),
      cells_(names_.size()),
      count_(row_count > 0 ? static_cast<std::size_t>(row_count) : 0),
      source_(std::move(source)) {
    read_current_row();
}

bool record_set::read_current_row() {
    if (cursor_ >= count_) return false;
    if (source_->next_row(cells_.data())) return true;
    cursor_ = count_;  // the backend failed: no current row from here on
    return false;
}

db_value* record_set::append_row() {
    const std::size_t at = cells_.size();
    cells_.resize(at + names_.size());
    ++count_;
    return cells_.data() + at;
}

void record_set::add_row(std::vector<db_value> values) {
    values.resize(names_.size());
    for (auto& v : values) cells_.push_back(std::move(v));
    ++count_;
}

void record_set::reserve_rows(std::size_t count) { cells_.reserve(count * names_.size()); }

bool record_set::move_first() {
    cursor_ = 0;
    if (source_) {
        if (!source_->rewind()) cursor_ = count_;
        return read_current_row();
    }
    return count_ > 0;
}

bool record_set::move_next() {
    if (cursor_ < count_) ++cursor_;
    if (source_) return read_current_row();
    return cursor_ < count_;
}

bool record_set::move_last() {
    if (count_ == 0) return false;
    if (source_) {
        if (cursor_ >= count_ && !move_first()) return false;
        while (cursor_ + 1 < count_) {
            if (!move_next()) return false;
        }
        return true;
    }
    cursor_ = count_ - 1;
    return true;
}

// An empty result from here on, its rows' memory given back.
void record_set::close() {
    source_.reset();
    cells_ = std::vector<db_value>();
    count_ = 0;
    cursor_ = 0;
}

// Results have a handful of fields, so a scan beats hashing a folded copy.
// The first of two fields with the same name wins.
int record_set::field_index(std::string_view name) const {
    // Two ways per set: two names whose addresses meet in one set (which
    // depends on where the template happens to lie) do not evict each other.
    const auto set = static_cast<std::size_t>(
        (reinterpret_cast<std::uintptr_t>(name.data()) * 0x9E3779B97F4A7C15ULL) >>
        (64 - known_name_bits + 1));
    known_name* const ways = &known_names_[2 * set];
    // The text there may have changed since; a name equal to the field found
    // for it has that field as its first match too. Most tags spell the
    // field as the database does, which the plain comparison sees at once.
    for (int way = 0; way < 2; ++way) {
        const known_name& known = ways[way];
        if (known.text == name.data() && known.size == name.size() && known.index >= 0) {
            const std::string& found = names_[static_cast<std::size_t>(known.index)];
            if (found == name || same_field_name(found, name)) return known.index;
        }
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (same_field_name(names_[i], name)) {
            ways[1] = ways[0];
            ways[0] = {name.data(), name.size(), static_cast<int>(i)};
            return static_cast<int>(i);
        }
    }
    return -1;
}

const db_value* record_set::value(int field) const {
    if (field < 0 || field >= field_count() || cursor_ >= count_) return nullptr;
    const std::size_t row = source_ ? 0 : cursor_;
    return &cells_[row * names_.size() + static_cast<std::size_t>(field)];
}

}  // namespace korvane::data
