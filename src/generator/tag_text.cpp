// SPDX-License-Identifier: Apache-2.0
#include "generator/tag_text.h"

#include <cstddef>

namespace korvane::generator {
namespace {

// The characters of text from 1-based position start, count of them; nothing
// for a start beyond the text or a count below 1.
std::string_view middle(std::string_view text, std::ptrdiff_t start, std::ptrdiff_t count) {
    if (start < 1) start = 1;
    const auto size = static_cast<std::ptrdiff_t>(text.size());
    if (count <= 0 || start > size) return {};
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

}  // namespace

void split_tag(std::string_view tag, std::string_view open_marker, std::string_view close_marker,
               std::string_view& name, std::string_view& parameter) {
    const auto length = static_cast<std::ptrdiff_t>(tag.size());
    const auto open = static_cast<std::ptrdiff_t>(open_marker.size());
    const auto close = static_cast<std::ptrdiff_t>(close_marker.size());
    const std::size_t equals = tag.find('=');
    if (equals != std::string_view::npos) {
        const auto p = static_cast<std::ptrdiff_t>(equals) + 1;
        name = middle(tag, open + 1, p - open - 1);
        parameter = middle(tag, p + 1, length - close - p);
        return;
    }
    name = tag.empty() ? std::string_view{} : middle(tag, open + 1, length - close - open);
    parameter = {};
}

std::string_view get_tag_option(std::string_view parameter, std::string_view option_name) {
    constexpr std::string_view assign = ":=";
    for (std::size_t from = 0;; ++from) {
        const std::size_t at = parameter.find(option_name, from);
        if (at == std::string_view::npos) return {};
        const std::size_t after = at + option_name.size();
        if (parameter.substr(after, assign.size()) == assign) {
            const std::string_view rest = parameter.substr(after + assign.size());
            return rest.substr(0, rest.find(','));
        }
        from = at;
    }
}

void append_url_escaped(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        switch (c) {
            case ' ': case ';': case '/': case '?': case ':': case '@':
            case '&': case '=': case '+': case '$': case ',': {
                const auto code = static_cast<unsigned char>(c);
                out += '%';
                out += hex[code >> 4];
                out += hex[code & 0x0F];
                break;
            }
            default:
                out += c;
        }
    }
}

std::string url_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append_url_escaped(out, text);
    return out;
}

bool split_expression(std::string_view expression, std::string_view operators,
                      std::string_view& left, std::string_view& op, std::string_view& right) {
    while (true) {
        const std::size_t blank = operators.find(' ');
        const std::string_view entry = operators.substr(0, blank);
        const std::size_t at = expression.find(entry);
        // An empty entry (two blanks in the list) would match at the start
        // of any expression, as a search for "" does.
        if (at != std::string_view::npos) {
            left = expression.substr(0, at);
            op = entry;
            right = expression.substr(at + entry.size());
            return true;
        }
        if (blank == std::string_view::npos) return false;
        operators.remove_prefix(blank + 1);
    }
}

}  // namespace korvane::generator
