// Templates that are not UTF-8 are Windows-1252: read as text and written back
// in that code page, so that a page made from one has a single encoding.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::windows_1252 {

// Code points of the bytes 0x80 to 0x9F. The five bytes the code page leaves
// undefined stand for the control characters of the same number, so every
// byte reads back as itself.
inline constexpr std::array<char32_t, 32> high_controls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at text[at], or 0 (overlong forms,
// surrogates and code points beyond U+10FFFF are not UTF-8). cp receives it.
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

inline bool is_utf8(std::string_view text) {
    char32_t cp = 0;
    for (std::size_t at = 0; at < text.size();) {
        // Runs of ASCII are the common case.
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const std::size_t length = utf8_sequence(text, at, cp);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

inline void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 bytes as UTF-8 text.
inline void decode(std::string_view bytes, std::string& out) {
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out += c;
        else if (b < 0xA0) append_utf8(out, high_controls[b - 0x80]);
        else append_utf8(out, b);
    }
}

// UTF-8 text as Windows-1252 bytes; a character the code page lacks becomes a
// numeric character reference (&#26085;). A byte that is not part of UTF-8
// (a value the database gave as such) is kept as it is.
inline void encode(std::string_view text, std::string& out) {
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

}  // namespace korvane::windows_1252
