// SPDX-License-Identifier: Apache-2.0
// Text as Access keeps and compares it: decoding of Jet4/ACE UTF-16 text
// (plain and "compressed") to UTF-8, and Access's case-insensitive
// comparison and Like matching on UTF-8 text.
#pragma once

#include "text/utf8.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::data::access {

// Jet4/ACE text bytes to UTF-8: UTF-16LE, or the compressed form that starts
// with FF FE (runs of one-byte Latin-1 units, each 00 byte switching between
// one- and two-byte units). Surrogate pairs become one character; unpaired
// surrogates become U+FFFD.
void utf16_text_to_utf8(const unsigned char* bytes, std::size_t size, std::string& out);

// Appends one code point as UTF-8.
inline void append_utf8(char32_t c, std::string& out) { korvane::text::append_utf8(out, c); }

// Reads one code point from UTF-8 at pos and advances pos; malformed bytes
// read as themselves (Latin-1), so any byte string can be compared.
char32_t next_code_point(std::string_view text, std::size_t& pos);

// Case folding for comparison and UCase/LCase: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters.
char32_t lower_code_point(char32_t c);
char32_t upper_code_point(char32_t c);
std::string lower_text(std::string_view text);
std::string upper_text(std::string_view text);

// Access's text order: case never counts; letters with accents sort beside
// their base letter and differ from it only when everything else is equal.
// Zero exactly when the texts are equal ignoring case.
int compare_text(std::string_view a, std::string_view b);

// Access's Like (ANSI-89 wildcards: * ? # [list] [!list] [a-z]), ignoring
// case.
bool like_match(std::string_view pattern, std::string_view text);

// The ANSI code page of Access's Chr and Asc, Windows-1252: the character
// of a byte, and the byte of a character (nullopt when the page lacks it).
char32_t ansi_character(unsigned char byte);
std::optional<int> ansi_code(char32_t c);

// Number of characters (code points) of UTF-8 text.
std::size_t character_count(std::string_view text);

// Byte offset of the character at index chars (clamped to the end).
std::size_t byte_offset_of_character(std::string_view text, std::size_t chars);

}  // namespace korvane::data::access
