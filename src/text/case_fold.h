// SPDX-License-Identifier: Apache-2.0
// ASCII case folding, for names and keywords that are ASCII by definition
// (tag options, date format letters, field names on their fast path). Text
// beyond ASCII folds as the engine that owns it folds (Qt, Access).
#pragma once

#include <string>
#include <string_view>

namespace korvane::text {

constexpr char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool is_ascii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Folds A-Z in place; other bytes stay.
inline void lower_ascii_in_place(std::string& text) {
    for (char& c : text) c = ascii_lower(c);
}
inline std::string lower_ascii(std::string_view text) {
    std::string lowered(text);
    lower_ascii_in_place(lowered);
    return lowered;
}
inline std::string upper_ascii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = ascii_upper(c);
    return upper;
}

// True when text at position at begins with lower, A-Z of text folded;
// lower must be lower case already.
constexpr bool starts_with_ascii_folded(std::string_view text, std::size_t at,
                                        std::string_view lower) {
    if (at > text.size() || text.size() - at < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (ascii_lower(text[at + i]) != lower[i]) return false;
    }
    return true;
}

}  // namespace korvane::text
