// SPDX-License-Identifier: Apache-2.0
#include "data/sql/sql_tokens.h"

#include "data/access/access_dates.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace korvane::data::sql {
namespace {

bool is_word_start(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool is_word_char(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

}  // namespace

std::string upper_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<token> tokenize(std::string_view s) {
    std::vector<token> out;
    std::size_t i = 0;
    bool space = false;
    auto push = [&](tk kind, std::string text) {
        token t;
        t.kind = kind;
        t.text = std::move(text);
        t.space_before = space;
        space = false;
        out.push_back(std::move(t));
        return &out.back();
    };
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            space = true;
            ++i;
        } else if (c == '"' || c == '\'') {
            std::string content;
            std::size_t j = i + 1;
            for (;;) {
                if (j >= s.size()) throw translate_error("The text literal starting at " + std::string(s.substr(i, 20)) + " has no closing quote.");
                if (s[j] == static_cast<char>(c)) {
                    if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
                        content += s[j];
                        j += 2;
                        continue;
                    }
                    break;
                }
                content += s[j++];
            }
            token* t = push(tk::literal, {});
            t->is_text = true;
            t->name = std::move(content);
            i = j + 1;
        } else if (c == '[' || c == '`') {
            const char close = c == '[' ? ']' : '`';
            const std::size_t end = s.find(close, i + 1);
            if (end == std::string_view::npos) throw translate_error("The name starting at " + std::string(s.substr(i, 20)) + " has no closing " + close + ".");
            token* t = push(tk::quoted_name, {});
            t->name = std::string(s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '#') {
            const std::size_t end = s.find('#', i + 1);
            if (end == std::string_view::npos) throw translate_error("The date starting at " + std::string(s.substr(i, 20)) + " has no closing #.");
            const std::string_view inner = s.substr(i + 1, end - i - 1);
            auto parts = access::parse_date_text(inner);
            if (!parts) throw translate_error("#" + std::string(inner) + "# is not a valid date.");
            token* t = push(tk::literal, {});
            t->is_date = true;
            t->name = access::stamp_from_parts(*parts);
            i = end + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t j = i;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == '.') {
                ++j;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            push(tk::literal, std::string(s.substr(i, j - i)));
            i = j;
        } else if (c == '&' && i + 2 < s.size() && (s[i + 1] == 'H' || s[i + 1] == 'h') &&
                   std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            std::size_t j = i + 2;
            while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j]))) ++j;
            std::uint64_t v = 0;
            std::from_chars(s.data() + i + 2, s.data() + j, v, 16);
            push(tk::literal, std::to_string(v));
            i = j;
        } else if (is_word_start(c)) {
            std::size_t j = i;
            while (j < s.size() && is_word_char(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == '$') ++j;  // Left$, Format$ ...
            std::string word(s.substr(i, j - i));
            token* t = push(tk::word, word);
            t->upper = upper_ascii(word);
            t->name = word;
            i = j;
        } else if (c == '(' || c == ')') {
            push(tk::op, std::string(1, static_cast<char>(c)));
            ++i;
        } else if (c == ',') {
            push(tk::comma, ",");
            ++i;
        } else if (c == ';') {
            push(tk::semicolon, ";");
            ++i;
        } else if (c == '.') {
            push(tk::dot, ".");
            ++i;
        } else {
            static const char* const two[] = {"<=", ">=", "<>", "!=", "==", "||"};
            std::string op(1, static_cast<char>(c));
            for (const char* t : two) {
                if (s.substr(i, 2) == t) op = t;
            }
            push(tk::op, op);
            i += op.size();
        }
    }
    return out;
}

std::vector<node> build_tree(const std::vector<token>& tokens) {
    std::vector<std::vector<node>> stack(1);
    std::vector<bool> group_space;
    for (const token& t : tokens) {
        if (t.kind == tk::op && t.text == "(") {
            stack.emplace_back();
            group_space.push_back(t.space_before);
        } else if (t.kind == tk::op && t.text == ")") {
            if (stack.size() == 1) throw translate_error("The statement has a \")\" without a matching \"(\".");
            node g;
            g.group = true;
            g.kids = std::move(stack.back());
            g.space_before = group_space.back();
            stack.pop_back();
            group_space.pop_back();
            stack.back().push_back(std::move(g));
        } else {
            node n;
            n.tok = t;
            n.space_before = t.space_before;
            stack.back().push_back(std::move(n));
        }
    }
    if (stack.size() != 1) throw translate_error("The statement has a \"(\" without a matching \")\".");
    return std::move(stack.front());
}

}  // namespace korvane::data::sql
