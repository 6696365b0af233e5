// SPDX-License-Identifier: Apache-2.0
// Text that is not UTF-8 is Windows-1252 (templates, settings files, Access
// text): read as UTF-8 and written back in that code page, so that a page
// made from such a template has a single encoding.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace korvane::text::windows_1252 {

// Code points of the bytes 0x80 to 0x9F; the other bytes are Latin-1. The
// five bytes the code page leaves undefined stand for the control characters
// of the same number, so every byte reads back as itself.
inline constexpr std::array<char32_t, 32> high_controls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code point of one byte.
constexpr char32_t code_point(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? high_controls[byte - 0x80] : byte;
}

// Windows-1252 bytes as UTF-8 text, into out (replaced).
void decode(std::string_view bytes, std::string& out);

// UTF-8 text as Windows-1252 bytes, into out (replaced); a character the
// code page lacks becomes a numeric character reference (&#26085;). A byte
// that is not part of UTF-8 (a value the database gave as such) is kept.
void encode(std::string_view text, std::string& out);

}  // namespace korvane::text::windows_1252
