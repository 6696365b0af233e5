// SPDX-License-Identifier: Apache-2.0
#include "text/windows_1252.h"

#include "text/utf8.h"

#include <cstdint>

namespace korvane::text::windows_1252 {

void decode(std::string_view bytes, std::string& out) {
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out += c;
        else append_utf8(out, code_point(b));
    }
}

void encode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    char32_t cp = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto b = static_cast<unsigned char>(text[at]);
        if (b < 0x80) {
            out += text[at++];
            continue;
        }
        const std::size_t length = utf8_sequence(text, at, cp);
        if (length == 0) {
            out += text[at++];
            continue;
        }
        at += length;
        if (cp >= 0xA0 && cp <= 0xFF) {
            out += static_cast<char>(cp);
            continue;
        }
        int byte = -1;
        for (std::size_t i = 0; i < high_controls.size(); ++i) {
            if (high_controls[i] == cp) byte = static_cast<int>(0x80 + i);
        }
        if (byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            out += "&#";
            out += std::to_string(static_cast<std::uint32_t>(cp));
            out += ';';
        }
    }
}

}  // namespace korvane::text::windows_1252
