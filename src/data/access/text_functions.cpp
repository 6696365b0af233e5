// SPDX-License-Identifier: Apache-2.0
// Access text functions on UTF-8 text: positions and lengths count
// characters, and text comparison ignores case.
#include "data/access/access_text.h"
#include "data/access/function_table.h"
#include "data/access/function_values.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace korvane::data::access {
namespace {

std::vector<char32_t> code_points(std::string_view s, bool fold) {
    std::vector<char32_t> out;
    for (std::size_t pos = 0; pos < s.size();) {
        const char32_t c = next_code_point(s, pos);
        out.push_back(fold ? lower_code_point(c) : c);
    }
    return out;
}

std::string from_code_points(const std::vector<char32_t>& cps, std::size_t from, std::size_t count) {
    std::string out;
    for (std::size_t i = from; i < cps.size() && i < from + count; ++i) append_utf8(cps[i], out);
    return out;
}

void fn_left(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[1]);
    if (!n || *n < 0) return invalid_call(ctx);
    const std::string s = text_of(argv[0]);
    result_text(ctx, s.substr(0, byte_offset_of_character(s, static_cast<std::size_t>(*n))));
}

void fn_right(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[1]);
    if (!n || *n < 0) return invalid_call(ctx);
    const std::string s = text_of(argv[0]);
    const std::size_t len = character_count(s);
    const std::size_t keep = std::min(len, static_cast<std::size_t>(*n));
    result_text(ctx, s.substr(byte_offset_of_character(s, len - keep)));
}

void fn_mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto start = whole_number(argv[1]);
    if (!start || *start < 1) return invalid_call(ctx);
    std::optional<std::int64_t> count;
    if (argc > 2) {
        count = whole_number(argv[2]);
        if (!count || *count < 0) return invalid_call(ctx);
    }
    const std::string s = text_of(argv[0]);
    const std::size_t from = byte_offset_of_character(s, static_cast<std::size_t>(*start - 1));
    const std::size_t to = count ? from + byte_offset_of_character(std::string_view(s).substr(from), static_cast<std::size_t>(*count))
                                 : s.size();
    result_text(ctx, s.substr(from, to - from));
}

void fn_len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(character_count(text_of(argv[0]))));
}

std::int64_t find_text(const std::vector<char32_t>& hay, const std::vector<char32_t>& needle, std::size_t from) {
    if (needle.empty()) return static_cast<std::int64_t>(from) + 1;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + static_cast<std::ptrdiff_t>(i))) {
            return static_cast<std::int64_t>(i) + 1;
        }
    }
    return 0;
}

// A compare argument: 0 binary, 1 text; -1 (the module's setting) and 2
// (the database's) are text in a query. Absent: text.
std::optional<bool> text_compare(int argc, sqlite3_value** argv, int at) {
    if (argc <= at) return true;
    auto mode = whole_number(argv[at]);
    if (!mode || *mode < -1 || *mode > 2) return std::nullopt;
    return *mode != 0;
}

void fn_instr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int first = 0;
    std::int64_t start = 1;
    if (argc >= 3) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
        auto s = whole_number(argv[0]);
        if (!s || *s < 1) return invalid_call(ctx);
        start = *s;
        first = 1;
    }
    if (argc == 4 && sqlite3_value_type(argv[3]) == SQLITE_NULL) return invalid_null(ctx);
    const auto fold = text_compare(argc, argv, 3);
    if (!fold) return invalid_call(ctx);
    if (any_null(2, argv + first)) return sqlite3_result_null(ctx);
    const auto hay = code_points(text_of(argv[first]), *fold);
    const auto needle = code_points(text_of(argv[first + 1]), *fold);
    if (static_cast<std::size_t>(start) > hay.size()) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, find_text(hay, needle, static_cast<std::size_t>(start - 1)));
}

void fn_instrrev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 2; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return invalid_null(ctx);
    }
    const auto fold = text_compare(argc, argv, 3);
    if (!fold) return invalid_call(ctx);
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const auto hay = code_points(text_of(argv[0]), *fold);
    const auto needle = code_points(text_of(argv[1]), *fold);
    const auto length = static_cast<std::int64_t>(hay.size());
    std::int64_t start = length;
    if (argc >= 3) {
        auto s = whole_number(argv[2]);
        if (!s || *s == 0 || *s < -1) return invalid_call(ctx);
        if (*s != -1) start = *s;
    }
    // Nothing to look in, or a start past the end, finds nothing; an empty
    // text to look for is found at the start.
    if (length == 0 || start > length) return sqlite3_result_int64(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    std::int64_t found = 0;
    for (std::int64_t i = 0; i + static_cast<std::int64_t>(needle.size()) <= start; ++i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) found = i + 1;
    }
    sqlite3_result_int64(ctx, found);
}

// Replace(text, find, with[, start[, count[, compare]]]): the text from start
// on, with count (all when -1) occurrences replaced.
void fn_replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return invalid_null(ctx);
    }
    std::int64_t start = 1, count = -1;
    if (argc > 3) {
        auto s = whole_number(argv[3]);
        if (!s || *s < 1) return invalid_call(ctx);
        start = *s;
    }
    if (argc > 4) {
        auto n = whole_number(argv[4]);
        if (!n || *n < -1) return invalid_call(ctx);
        count = *n;
    }
    const auto fold = text_compare(argc, argv, 5);
    if (!fold) return invalid_call(ctx);
    const auto text = code_points(text_of(argv[0]), false);
    const auto find = code_points(text_of(argv[1]), *fold);
    const std::string with = text_of(argv[2]);
    if (static_cast<std::size_t>(start) > text.size()) return result_text(ctx, "");
    std::string out;
    for (std::size_t i = static_cast<std::size_t>(start - 1); i < text.size();) {
        bool match = !find.empty() && count != 0 && i + find.size() <= text.size();
        for (std::size_t k = 0; match && k < find.size(); ++k) {
            match = (*fold ? lower_code_point(text[i + k]) : text[i + k]) == find[k];
        }
        if (match) {
            out += with;
            i += find.size();
            if (count > 0) --count;
        } else {
            append_utf8(text[i++], out);
        }
    }
    result_text(ctx, out);
}

void fn_ucase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    result_text(ctx, upper_text(text_of(argv[0])));
}

void fn_lcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    result_text(ctx, lower_text(text_of(argv[0])));
}

template <bool left, bool right>
void fn_trim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = text_of(argv[0]);
    std::size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    result_text(ctx, s.substr(b, e - b));
}

void fn_nz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1) return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);  // a query's Nz gives ""
}

void fn_space(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n || *n < 0 || *n > 1000000) return invalid_call(ctx);
    result_text(ctx, std::string(static_cast<std::size_t>(*n), ' '));
}

// String(count, character): the character given by its code or as the first
// character of a text.
void fn_string(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n || *n < 0 || *n > 1000000) return invalid_call(ctx);
    std::string unit;
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        const std::string_view text = value_text(argv[1]);
        if (text.empty()) return invalid_call(ctx);
        std::size_t pos = 0;
        append_utf8(next_code_point(text, pos), unit);
    } else {
        auto code = whole_number(argv[1]);
        if (!code || *code < 0) return invalid_call(ctx);
        append_utf8(ansi_character(static_cast<unsigned char>(*code % 256)), unit);
    }
    std::string out;
    for (std::int64_t i = 0; i < *n; ++i) out += unit;
    result_text(ctx, out);
}

// Chr and Asc work in the ANSI code page Access uses, Windows-1252.
void fn_chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n || *n < 0 || *n > 255) return invalid_call(ctx);
    std::string s;
    append_utf8(ansi_character(static_cast<unsigned char>(*n)), s);
    result_text(ctx, s);
}

void fn_asc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    const std::string s = text_of(argv[0]);
    if (s.empty()) return invalid_call(ctx);
    std::size_t pos = 0;
    const auto code = ansi_code(next_code_point(s, pos));
    sqlite3_result_int(ctx, code ? *code : '?');  // Access writes "?" for what the code page lacks
}

void fn_strcomp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL) return invalid_null(ctx);
    const auto fold = text_compare(argc, argv, 2);
    if (!fold) return invalid_call(ctx);
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const std::string a = text_of(argv[0]);
    const std::string b = text_of(argv[1]);
    const int c = *fold ? compare_text(a, b) : a.compare(b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void fn_strreverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto cps = code_points(text_of(argv[0]), false);
    std::reverse(cps.begin(), cps.end());
    result_text(ctx, from_code_points(cps, 0, cps.size()));
}

}  // namespace

std::span<const scalar_def> text_functions() {
    static const scalar_def functions[] = {
        {"acc_left", 2, 2, fn_left},
        {"acc_right", 2, 2, fn_right},
        {"acc_mid", 2, 3, fn_mid},
        {"acc_len", 1, 1, fn_len},
        {"acc_instr", 2, 4, fn_instr},
        {"acc_instrrev", 2, 4, fn_instrrev},
        {"acc_replace", 3, 6, fn_replace},
        {"acc_string", 2, 2, fn_string},
        {"acc_ucase", 1, 1, fn_ucase},
        {"acc_lcase", 1, 1, fn_lcase},
        {"acc_trim", 1, 1, fn_trim<true, true>},
        {"acc_ltrim", 1, 1, fn_trim<true, false>},
        {"acc_rtrim", 1, 1, fn_trim<false, true>},
        {"acc_nz", 1, 2, fn_nz},
        {"acc_space", 1, 1, fn_space},
        {"acc_chr", 1, 1, fn_chr},
        {"acc_asc", 1, 1, fn_asc},
        {"acc_strcomp", 2, 3, fn_strcomp},
        {"acc_strreverse", 1, 1, fn_strreverse},
    };
    return functions;
}

}  // namespace korvane::data::access
