// SPDX-License-Identifier: Apache-2.0
// The tokens of an Access SQL statement, nested at their parentheses. Text
// and date literals keep what they stand for, so that each target dialect
// writes them its own way.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::data::sql {

enum class tk {
    word,         // keyword or bare name
    quoted_name,  // [name] or `name`
    literal,      // number, text or date
    op,
    comma,
    semicolon,
    dot,
    raw,  // target text made by the translator itself
};

struct token {
    tk kind = tk::op;
    std::string text;   // what is written out
    std::string upper;  // words: upper case, for keyword tests
    std::string name;   // names: the name itself; text literals: the text; dates: "YYYY-MM-DD[ HH:MM:SS]"
    bool space_before = false;
    bool function = false;  // a word that names a function (followed by "(")
    bool is_text = false;   // a "text" or 'text' literal
    bool is_date = false;   // a #date# literal
    bool boundary = false;  // raw text that ends an expression, as the operator it replaces did
    bool access_call = false;  // a function of Access's the target writes its own way
};

struct node {
    bool group = false;  // a parenthesised group
    token tok;
    std::vector<node> kids;
    bool space_before = false;
};

// Why a statement cannot be translated; the message is shown to the user.
struct translate_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string upper_ascii(std::string_view s);
std::string lower_ascii(std::string_view s);

// Throws translate_error for unclosed quotes, names and dates, and dates
// that are no dates.
std::vector<token> tokenize(std::string_view s);
// Throws translate_error for unbalanced parentheses.
std::vector<node> build_tree(const std::vector<token>& tokens);

}  // namespace korvane::data::sql
