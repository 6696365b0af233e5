// SPDX-License-Identifier: Apache-2.0
#include "data/access/access_text.h"

#include "text/windows_1252.h"

#include <algorithm>
#include <vector>

namespace korvane::data::access {
namespace {

// Base letters of U+0100..U+017F (Latin Extended-A), for sorting accented
// letters beside their base letter.
constexpr std::string_view latin_extended_a_bases =
    "aaaaaa" "cccccccc" "dddd" "eeeeeeeeee" "gggggggg" "hhhh" "iiiiiiiiii" "ii" "jj" "kkk"
    "llllllllll" "nnnnnnnnn" "oooooooo" "rrrrrr" "ssssssss" "tttttt" "uuuuuuuuuuuu" "ww" "yyy"
    "zzzzzz" "s";
static_assert(latin_extended_a_bases.size() == 0x80);

// Base letters of U+00C0..U+00FF; '*' keeps the character itself.
constexpr std::string_view latin1_bases = "aaaaaaaceeeeiiiidnooooo*ouuuuy*s"
                                          "aaaaaaaceeeeiiiidnooooo*ouuuuy*y";
static_assert(latin1_bases.size() == 0x40);

char32_t base_letter(char32_t folded) {
    if (folded >= 0xC0 && folded <= 0xFF) {
        char b = latin1_bases[folded - 0xC0];
        return b == '*' ? folded : static_cast<char32_t>(b);
    }
    if (folded >= 0x100 && folded <= 0x17F) {
        return static_cast<char32_t>(latin_extended_a_bases[folded - 0x100]);
    }
    return folded;
}

bool is_ascii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::vector<char32_t> folded_code_points(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) out.push_back(lower_code_point(next_code_point(text, pos)));
    return out;
}

// One element of a Like pattern: a literal, a wildcard, or a bracketed list.
struct like_item {
    enum kind_t { literal, any_one, digit, any_run, list } kind = literal;
    char32_t c = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

std::vector<like_item> parse_like(std::string_view pattern) {
    std::vector<char32_t> p = folded_code_points(pattern);
    std::vector<like_item> items;
    for (std::size_t i = 0; i < p.size(); ++i) {
        like_item item;
        if (p[i] == U'*') {
            item.kind = like_item::any_run;
        } else if (p[i] == U'?') {
            item.kind = like_item::any_one;
        } else if (p[i] == U'#') {
            item.kind = like_item::digit;
        } else if (p[i] == U'[') {
            std::size_t close = i + 1;
            while (close < p.size() && p[close] != U']') ++close;
            if (close == p.size()) {  // no closing bracket: a literal "["
                item.c = U'[';
            } else {
                item.kind = like_item::list;
                std::size_t j = i + 1;
                if (j < close && p[j] == U'!') {
                    item.negated = true;
                    ++j;
                }
                for (; j < close; ++j) {
                    if (j + 2 < close && p[j + 1] == U'-') {
                        item.ranges.emplace_back(p[j], p[j + 2]);
                        j += 2;
                    } else {
                        item.ranges.emplace_back(p[j], p[j]);
                    }
                }
                i = close;
            }
        } else {
            item.c = p[i];
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool item_matches(const like_item& item, char32_t c) {
    switch (item.kind) {
        case like_item::literal:
            return item.c == c;
        case like_item::any_one:
            return true;
        case like_item::digit:
            return c >= U'0' && c <= U'9';
        case like_item::list: {
            bool in = false;
            for (auto [lo, hi] : item.ranges) {
                if (c >= lo && c <= hi) in = true;
            }
            return in != item.negated;
        }
        case like_item::any_run:
            return true;
    }
    return false;
}

}  // namespace

void utf16_text_to_utf8(const unsigned char* bytes, std::size_t size, std::string& out) {
    out.clear();
    out.reserve(size);
    char32_t pending_high = 0;  // a high surrogate waiting for its partner
    auto put_unit = [&](char32_t unit) {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (pending_high != 0) append_utf8(0xFFFD, out);
            pending_high = unit;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (pending_high != 0) {
                append_utf8(0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00), out);
                pending_high = 0;
            } else {
                append_utf8(0xFFFD, out);
            }
            return;
        }
        if (pending_high != 0) {
            append_utf8(0xFFFD, out);
            pending_high = 0;
        }
        append_utf8(unit, out);
    };

    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                put_unit(bytes[i]);
                ++i;
            } else if (i + 1 < size) {
                put_unit(static_cast<char32_t>(bytes[i] | (bytes[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < size; i += 2) {
            put_unit(static_cast<char32_t>(bytes[i] | (bytes[i + 1] << 8)));
        }
    }
    if (pending_high != 0) append_utf8(0xFFFD, out);
}

char32_t next_code_point(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(pos);
    int extra = 0;
    char32_t c = b0;
    if (b0 >= 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else if (b0 >= 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if (b0 >= 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else {
        ++pos;
        return b0;
    }
    if (b0 >= 0xF8 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return b0;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(pos + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return c;
}

char32_t lower_code_point(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return U'i';
        if (c == 0x178) return 0xFF;
        const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (odd_upper) return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

char32_t upper_code_point(char32_t c) {
    if (c < 0x80) return (c >= U'a' && c <= U'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131) return U'I';
        const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (odd_upper) return (c % 2 == 0) ? c - 1 : c;
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c == 0x3C2) return 0x3A3;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 37;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 63;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

std::string lower_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) append_utf8(lower_code_point(next_code_point(text, pos)), out);
    return out;
}

std::string upper_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) append_utf8(upper_code_point(next_code_point(text, pos)), out);
    return out;
}

int compare_text(std::string_view a, std::string_view b) {
    if (is_ascii(a) && is_ascii(b)) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const char x = ascii_lower(a[i]);
            const char y = ascii_lower(b[i]);
            if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    const std::vector<char32_t> fa = folded_code_points(a);
    const std::vector<char32_t> fb = folded_code_points(b);
    const std::size_t n = std::min(fa.size(), fb.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t x = base_letter(fa[i]);
        const char32_t y = base_letter(fb[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (fa.size() != fb.size()) return fa.size() < fb.size() ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        if (fa[i] != fb[i]) return fa[i] < fb[i] ? -1 : 1;
    }
    return 0;
}

bool like_match(std::string_view pattern, std::string_view text) {
    const std::vector<like_item> items = parse_like(pattern);
    const std::vector<char32_t> t = folded_code_points(text);
    // Greedy matching with one backtrack point per "*", the classic
    // wildcard algorithm: linear in practice, never exponential.
    std::size_t pi = 0, ti = 0;
    std::size_t star = items.size(), star_t = 0;
    while (ti < t.size()) {
        if (pi < items.size() && items[pi].kind == like_item::any_run) {
            star = pi++;
            star_t = ti;
        } else if (pi < items.size() && item_matches(items[pi], t[ti])) {
            ++pi;
            ++ti;
        } else if (star != items.size()) {
            pi = star + 1;
            ti = ++star_t;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].kind == like_item::any_run) ++pi;
    return pi == items.size();
}

std::size_t character_count(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); ++n) next_code_point(text, pos);
    return n;
}

std::size_t byte_offset_of_character(std::string_view text, std::size_t chars) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < chars && pos < text.size(); ++n) next_code_point(text, pos);
    return pos;
}

char32_t ansi_character(unsigned char byte) { return text::windows_1252::code_point(byte); }

std::optional<int> ansi_code(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    const auto& high = text::windows_1252::high_controls;
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c) return 0x80 + static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace korvane::data::access
