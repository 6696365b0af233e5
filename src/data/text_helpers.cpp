// SPDX-License-Identifier: Apache-2.0
#include "data/text_helpers.h"

#include "text/case_fold.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace korvane {

std::string file_name_of_path(const std::string& path) {
    const auto p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string() : path.substr(p + 1);
}

int find_last_occurrence(int start, const std::string& text, const std::string& search) {
    const int length = static_cast<int>(text.size());
    if (start == -1) start = length;
    if (start > length || search.empty()) return -1;
    for (int pos = start; pos >= 1; --pos) {
        if (text.compare(static_cast<std::size_t>(pos - 1), search.size(), search) == 0) return pos;
    }
    return -1;
}

std::string replace_all_text(const std::string& search, const std::string& replacement,
                             const std::string& text) {
    if (search.empty()) return text;
    std::string result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::string::npos;
         from = at + search.size()) {
        result.append(text, from, at - from);
        result += replacement;
    }
    result.append(text, from, std::string::npos);
    return result;
}

std::string resolve_path(const std::string& path, const std::string& base_folder) {
    if (path.empty() || base_folder.empty() || path.front() == '/') return path;
    std::string full = base_folder;
    if (full.back() != '/') full += '/';
    full += path;
    return full;
}

bool path_exists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return false;
    if (path.back() == '/' || path.back() == '\\') return std::filesystem::is_directory(status);
    return true;
}

std::string build_main_sql(int main_type, const std::string& main_name) {
    if (main_type == 0 || main_type == 1) {
        if (main_name.find_first_of(". ") == std::string::npos) {
            return "select * from " + main_name + "; ";
        }
        return "select * from `" + main_name + "`; ";
    }
    if (main_type == 2) return main_name;
    return {};
}

int find_list_entry(const std::string& text, const std::vector<std::string>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == text) return static_cast<int>(i);
    }
    return -1;
}

void remove_system_tables(std::vector<std::string>& entries) {
    std::erase_if(entries, [](const std::string& e) { return e.compare(0, 4, "MSys") == 0; });
}

std::optional<double> leading_number_value(std::string_view text) {
    // Gather the number's characters, dropping the blanks between them.
    std::string number;
    bool digits = false, point = false, exponent = false, exponent_digits = false;
    bool sign_allowed = true;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if ((c == '+' || c == '-') && sign_allowed) {
            sign_allowed = false;
            if (c == '-') number += c;
            else if (exponent) number += c;
            continue;
        }
        if (c >= '0' && c <= '9') {
            number += c;
            (exponent ? exponent_digits : digits) = true;
            sign_allowed = false;
            continue;
        }
        if (c == '.' && !point && !exponent) {
            number += c;
            point = true;
            sign_allowed = false;
            continue;
        }
        if ((c == 'e' || c == 'E') && digits && !exponent) {
            number += 'e';
            exponent = true;
            sign_allowed = true;
            continue;
        }
        break;
    }
    if (!digits) return 0.0;
    // An exponent without digits does not belong to the number.
    if (exponent && !exponent_digits) {
        number.erase(number.find('e'));
    }
    double value = 0.0;
    const char* first = number.data();
    const char* last = number.data() + number.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to tell from 0 is 0; too large is beyond a double.
        const auto e = number.find('e');
        if (e != std::string::npos && e + 1 < number.size() && number[e + 1] == '-') return 0.0;
        return std::nullopt;
    }
    if (ec != std::errc{}) return 0.0;
    (void)end;
    return value;
}

namespace {

bool is_word_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// text is the lower-case ASCII word key in any case. Compared in place: this
// runs at every character of the text.
bool same_ascii_word(std::string_view text, std::string_view key) {
    return text.size() == key.size() &&
           std::equal(key.begin(), key.end(), text.begin(), [](char k, char c) {
               return k == korvane::text::ascii_lower(c);
           });
}

// Length of a key that names a secret (PWD, PASSWORD, PASSWD, PASS, TOKEN,
// SECRET, KEY, any case) at text[at], 0 when none starts there.
std::size_t password_key_at(std::string_view text, std::size_t at) {
    if (at > 0 && is_word_character(text[at - 1])) return 0;
    static constexpr std::string_view secret_keys[] = {"password", "passwd", "pass", "pwd",
                                                       "token",    "secret", "key"};
    for (const std::string_view key : secret_keys) {
        if (!same_ascii_word(text.substr(at, key.size()), key)) continue;
        if (at + key.size() < text.size() && is_word_character(text[at + key.size()])) continue;
        return key.size();
    }
    return 0;
}

}  // namespace

std::string mask_passwords(std::string_view text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t key = password_key_at(text, at);
        if (key == 0) {
            out += text[at++];
            continue;
        }
        std::size_t equals = at + key;
        while (equals < text.size() && text[equals] == ' ') ++equals;
        if (equals == text.size() || text[equals] != '=') {
            out.append(text.substr(at, key));
            at += key;
            continue;
        }
        out.append(text.substr(at, equals + 1 - at));
        out += "***";
        std::size_t end = equals + 1;
        while (end < text.size() && text[end] == ' ') ++end;
        if (end < text.size() && text[end] == '{') {
            // "}}" inside braces stands for one "}".
            for (++end; end < text.size(); ++end) {
                if (text[end] != '}') continue;
                if (end + 1 < text.size() && text[end + 1] == '}') {
                    ++end;
                    continue;
                }
                ++end;
                break;
            }
        }
        end = std::min(text.size(), text.find_first_of(";\r\n", end));
        at = end;
    }
    return out;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::string lower_case(std::string_view text) {
    std::string s(text);
    bool ascii = true;
    for (char& c : s) {
        c = korvane::text::ascii_lower(c);
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    }
    if (ascii) return s;
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Bytes that are not UTF-8 would not come back: those keep A to Z only.
    if (decoded.toUtf8() != QByteArrayView(text.data(), static_cast<qsizetype>(text.size()))) return s;
    const QByteArray lowered = decoded.toLower().toUtf8();
    return std::string(lowered.constData(), static_cast<std::size_t>(lowered.size()));
}

std::optional<std::int16_t> round_to_int16(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(rounded);
}

}  // namespace korvane
