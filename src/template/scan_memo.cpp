// SPDX-License-Identifier: Apache-2.0
#include "template/scan_memo.h"

#include <algorithm>
#include <bit>

namespace korvane {

namespace {

constexpr std::size_t first_slots = 256;

}  // namespace

void scan_memo::clear() {
    texts_.clear();
    slots_.clear();
    used_ = 0;
}

std::size_t scan_memo::number_of_texts(std::string_view search_text, std::string_view search_text2,
                                       std::string_view other_search_text) {
    for (std::size_t number = 0; number < texts_.size(); ++number) {
        if (same_texts(texts_[number], search_text, search_text2, other_search_text)) return number;
    }
    // A caller that searches for ever new texts gains nothing from a memo.
    if (texts_.size() == max_texts) clear();
    texts_.push_back(
        {std::string(search_text), std::string(search_text2), std::string(other_search_text)});
    return texts_.size() - 1;
}

void scan_memo::remember(std::uint64_t key, const scan_end& end) {
    // At most half full, so a search always meets an empty slot soon.
    if ((used_ + 1) * 2 > slots_.size()) grow();
    std::size_t i = index_of(key);
    while (slots_[i].key != empty_key && slots_[i].key != key) i = (i + 1) & mask_;
    if (slots_[i].key == empty_key) ++used_;
    slots_[i] = {key, end};
}

void scan_memo::grow() {
    std::vector<slot> old;
    old.swap(slots_);
    // Full at the largest size: the scans of this template are remembered anew.
    const std::size_t size = std::min(old.empty() ? first_slots : old.size() * 2, max_slots);
    const bool keep = size > old.size();
    slots_.assign(size, {empty_key, {}});
    mask_ = size - 1;
    shift_ = 64 - std::countr_zero(size);
    used_ = 0;
    if (!keep) return;
    for (const slot& s : old) {
        if (s.key != empty_key) remember(s.key, s.end);
    }
}

}  // namespace korvane
