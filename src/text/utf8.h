// SPDX-License-Identifier: Apache-2.0
// UTF-8 as the rest of the program reads and writes it: strict sequences only
// (no overlong forms, no surrogates, nothing past U+10FFFF).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane::text {

// Length of the well-formed UTF-8 sequence at text[at], or 0 when there is
// none. cp receives its code point. Inline: templates are scanned with it.
inline std::size_t utf8_sequence(std::string_view text, std::size_t at, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (byte(at + i) & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

// True when the whole text is well-formed UTF-8.
bool is_utf8(std::string_view text);

void append_utf8(std::string& out, char32_t cp);

}  // namespace korvane::text
