// SPDX-License-Identifier: Apache-2.0
// Where the scans of one loaded template ended. The generator renders one
// template page after page, and each page repeats the same scans from the same
// places; where a scan ends depends only on the texts it looks for, where it
// starts and the template, so every page after the first reads it from here.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct scan_end {
    int line = 0;
    int column = 0;
    bool found = false;
};

class scan_memo {
public:
    // Forgets every scan: another template is loaded.
    void clear();
    // The key of a scan for these texts from line (0 to 65535) and column.
    // Texts are told apart by their bytes, never by where they are held.
    std::uint64_t key(std::string_view search_text, std::string_view search_text2,
                      std::string_view other_search_text, int line, int column) {
        // Texts are found by their lengths first, which tell the few that
        // a template's scans look for apart, then compared.
        const std::size_t hint =
            (search_text.size() ^ search_text2.size() * 5 ^ other_search_text.size() * 11) %
            by_sizes_.size();
        std::size_t number = by_sizes_[hint];
        if (number >= texts_.size() ||
            !same_texts(texts_[number], search_text, search_text2, other_search_text)) {
            number = number_of_texts(search_text, search_text2, other_search_text);
            by_sizes_[hint] = static_cast<std::uint8_t>(number);
        }
        return std::uint64_t{number} << 48 | std::uint64_t{static_cast<std::uint16_t>(line)} << 32 |
               std::uint64_t{static_cast<std::uint32_t>(column)};
    }
    // The end remembered under key, or nullptr.
    const scan_end* find(std::uint64_t key) const {
        if (slots_.empty()) return nullptr;
        for (std::size_t i = index_of(key);; i = (i + 1) & mask_) {
            if (slots_[i].key == key) return &slots_[i].end;
            if (slots_[i].key == empty_key) return nullptr;
        }
    }
    void remember(std::uint64_t key, const scan_end& end);

private:
    struct slot {
        std::uint64_t key;
        scan_end end;
    };
    static constexpr std::uint64_t empty_key = ~std::uint64_t{0};
    // Enough for the scans of any page seen so far many times over; past it
    // the memo starts again rather than grow.
    static constexpr std::size_t max_slots = std::size_t{1} << 14;
    static constexpr std::size_t max_texts = 64;

    using texts = std::array<std::string, 3>;
    static bool same(const std::string& held, std::string_view text) {
        return held.size() == text.size() &&
               (text.empty() || std::memcmp(held.data(), text.data(), text.size()) == 0);
    }
    static bool same_texts(const texts& held, std::string_view search_text,
                           std::string_view search_text2, std::string_view other_search_text) {
        return same(held[0], search_text) && same(held[1], search_text2) &&
               same(held[2], other_search_text);
    }
    // The number of these texts, given them first if they are new.
    std::size_t number_of_texts(std::string_view search_text, std::string_view search_text2,
                                std::string_view other_search_text);
    std::size_t index_of(std::uint64_t key) const {
        // Fibonacci hashing: the top bits of the product spread nearby positions.
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> shift_);
    }
    void grow();

    std::vector<texts> texts_;                 // the search texts seen, by number
    std::array<std::uint8_t, 16> by_sizes_{};  // a number of texts, by their lengths
    std::vector<slot> slots_;                  // open addressing, a power of two long
    std::size_t mask_ = 0;                     // slots_.size() - 1
    int shift_ = 64;                           // 64 - log2(slots_.size())
    std::size_t used_ = 0;
};

}  // namespace korvane
