#include "data/access/access_sql.h"

#include "data/access/access_dates.h"
#include "data/access/function_catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

namespace korvane::data::access {
namespace {

enum class tk {
    word,         // keyword or bare name
    quoted_name,  // [name] or `name`, written as "name"
    literal,      // text, number or date, already in SQLite form
    op,
    comma,
    semicolon,
    dot,
    raw,  // SQLite text made by the translator itself
};

struct token {
    tk kind = tk::op;
    std::string text;   // what is written out
    std::string upper;  // words: upper case, for keyword tests
    std::string name;   // names: the name itself
    bool space_before = false;
    bool function = false;  // a word that names a function (followed by "(")
};

struct node {
    bool group = false;  // a parenthesised group
    token tok;
    std::vector<node> kids;
    bool space_before = false;
};

struct translate_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Words that end an expression: keywords of clauses, logic and comparison.
const std::set<std::string>& boundary_words() {
    static const std::set<std::string> words = {
        "SELECT", "DISTINCT", "ALL", "FROM", "WHERE", "GROUP", "BY", "HAVING", "ORDER", "ASC",
        "DESC", "AS", "ON", "JOIN", "INNER", "LEFT", "RIGHT", "OUTER", "FULL", "CROSS", "NATURAL",
        "UNION", "EXCEPT", "INTERSECT", "AND", "OR", "NOT", "XOR", "EQV", "IMP", "IS", "IN",
        "BETWEEN", "LIKE", "ESCAPE", "CASE", "WHEN", "THEN", "ELSE", "END", "LIMIT", "OFFSET",
        "INTO", "VALUES", "EXISTS", "DISTINCTROW", "COLLATE", "WITH", "OWNERACCESS", "OPTION", "TOP", "PERCENT",
        "PARAMETERS", "TRANSFORM", "PIVOT", "INSERT", "UPDATE", "DELETE", "SET", "CREATE", "DROP",
        "ALTER", "ANY", "SOME", "USING"};
    return words;
}

bool is_word_start(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool is_word_char(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::string quote_sqlite(std::string_view s, char q) {
    std::string out(1, q);
    for (char c : s) {
        out += c;
        if (c == q) out += q;
    }
    out += q;
    return out;
}

std::string upper_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
            push(tk::literal, quote_sqlite(content, '\''));
            i = j + 1;
        } else if (c == '[' || c == '`') {
            const char close = c == '[' ? ']' : '`';
            const std::size_t end = s.find(close, i + 1);
            if (end == std::string_view::npos) throw translate_error("The name starting at " + std::string(s.substr(i, 20)) + " has no closing " + close + ".");
            std::string name(s.substr(i + 1, end - i - 1));
            token* t = push(tk::quoted_name, quote_sqlite(name, '"'));
            t->name = std::move(name);
            i = end + 1;
        } else if (c == '#') {
            const std::size_t end = s.find('#', i + 1);
            if (end == std::string_view::npos) throw translate_error("The date starting at " + std::string(s.substr(i, 20)) + " has no closing #.");
            const std::string_view inner = s.substr(i + 1, end - i - 1);
            auto parts = parse_date_text(inner);
            if (!parts) throw translate_error("#" + std::string(inner) + "# is not a valid date.");
            push(tk::literal, "'" + stamp_from_parts(*parts) + "'");
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

// Nests the tokens at their parentheses.
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

bool is_word(const node& n, const char* upper) {
    return !n.group && n.tok.kind == tk::word && !n.tok.function && n.tok.upper == upper;
}

bool is_op(const node& n, const char* op) { return !n.group && n.tok.kind == tk::op && n.tok.text == op; }

node raw_node(std::string text, bool space) {
    node n;
    n.tok.kind = tk::raw;
    n.tok.text = std::move(text);
    n.space_before = space;
    n.tok.space_before = space;
    return n;
}

node word_node(const char* word) {
    node n;
    n.tok.kind = tk::word;
    n.tok.text = word;
    n.tok.upper = word;
    n.space_before = true;
    n.tok.space_before = true;
    return n;
}

// An expression of one segment: an atom, a unary minus or a binary operator.
struct expr {
    enum kind_t { atom, negate, binary } kind = atom;
    std::string text;  // atoms
    std::string op;    // binary: & + - * / \ ^ MOD
    std::unique_ptr<expr> left, right;
};

class translator {
public:
    explicit translator(bool rows_by_rowid) : rows_by_rowid_(rows_by_rowid) {}
    std::vector<std::string> names;

    std::string emit_group(std::vector<node> items) {
        rewrite_words(items);
        rewrite_distinctrow(items);
        rewrite_top(items);
        std::string out;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= items.size(); ++i) {
            if (i < items.size() && !is_boundary(items[i])) continue;
            if (i > start) out += emit_segment(items, start, i);
            if (i < items.size()) out += emit_item(items[i]);
            start = i + 1;
        }
        return out;
    }

private:
    static bool is_boundary(const node& n) {
        if (n.group) return false;
        const token& t = n.tok;
        if (t.kind == tk::comma || t.kind == tk::semicolon) return true;
        if (t.kind == tk::word) return !t.function && boundary_words().count(t.upper) != 0;
        if (t.kind == tk::op) {
            static const std::set<std::string> comparisons = {"=", "<>", "<", ">", "<=", ">=", "!=", "=="};
            return comparisons.count(t.text) != 0;
        }
        return false;
    }

    void rewrite_words(std::vector<node>& items) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            node& n = items[i];
            if (n.group) continue;
            token& t = n.tok;
            const bool next_is_group = i + 1 < items.size() && items[i + 1].group;
            const bool next_is_bang = i + 1 < items.size() && is_op(items[i + 1], "!");
            if ((t.kind == tk::word || t.kind == tk::quoted_name) && next_is_bang) {
                const std::string upper = upper_ascii(t.name);
                if (upper == "FORMS" || upper == "REPORTS") {
                    throw translate_error("The statement refers to controls of a form (" + t.name +
                                          "!...), which only Microsoft Access can supply.");
                }
            }
            if (t.kind == tk::quoted_name) {
                names.push_back(t.name);
                continue;
            }
            if (t.kind != tk::word) continue;
            if (i == 0 && t.upper == "PARAMETERS") {
                throw translate_error("The statement asks for parameter values (PARAMETERS), which only Microsoft Access can supply.");
            }
            if (i == 0 && t.upper == "TRANSFORM") {
                throw translate_error("Crosstab queries (TRANSFORM ... PIVOT) can only be run in Microsoft Access.");
            }
            const bool after_dot = i > 0 && !items[i - 1].group && items[i - 1].tok.kind == tk::dot;
            const bool before_dot = i + 1 < items.size() && !items[i + 1].group && items[i + 1].tok.kind == tk::dot;
            if (next_is_group && !after_dot && t.upper != "MOD") {
                std::string fn = t.name;
                if (!fn.empty() && fn.back() == '$') fn.pop_back();
                std::string lower = fn;
                for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                const function_support support = access_function(fn);
                if (support.answer == function_answer::acc_version) {  // Left and Right are keywords too
                    t.text = "acc_" + lower;
                    t.function = true;
                    continue;
                }
                if (boundary_words().count(t.upper) == 0) {
                    if (support.answer == function_answer::refused) throw translate_error(support.message);
                    t.text = fn;
                    t.function = true;
                    continue;
                }
            }
            if (after_dot || before_dot || next_is_group) {
                names.push_back(t.name);
                continue;
            }
            if (t.upper == "TRUE" || t.upper == "YES") {
                t = token{tk::literal, "-1", {}, {}, t.space_before, false};
            } else if (t.upper == "FALSE" || t.upper == "NO") {
                t = token{tk::literal, "0", {}, {}, t.space_before, false};
            } else if (t.upper == "MOD") {
                t.kind = tk::op;
                t.text = "MOD";
            } else if (t.upper == "DISTINCTROW") {
                continue;  // rewrite_distinctrow's
            } else if (boundary_words().count(t.upper) == 0 && t.upper != "NULL") {
                names.push_back(t.name);
            }
        }
    }

    // SELECT DISTINCTROW gives one row per distinct row of the tables whose
    // fields are selected: grouped by those tables' rowids. Nothing to do
    // when the statement groups or aggregates itself, or names a field
    // without its table (then every table counts, and every row is distinct).
    void rewrite_distinctrow(std::vector<node>& items) {
        for (std::size_t s = 0; s + 1 < items.size(); ++s) {
            if (!is_word(items[s], "SELECT") || !is_word(items[s + 1], "DISTINCTROW")) continue;
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(s + 1));
            if (!rows_by_rowid_) continue;
            std::size_t from = s + 1;
            while (from < items.size() && !is_word(items[from], "FROM") && !is_word(items[from], "UNION")) ++from;
            if (from == items.size() || !is_word(items[from], "FROM")) continue;
            std::vector<std::string> tables;
            if (!selected_tables(items, s + 1, from, tables) || tables.empty()) continue;
            std::size_t end = from;
            bool grouped = false;
            while (end < items.size() && !is_word(items[end], "HAVING") && !is_word(items[end], "ORDER") &&
                   !is_word(items[end], "UNION") && !is_word(items[end], "LIMIT") &&
                   items[end].tok.kind != tk::semicolon) {
                grouped = grouped || is_word(items[end], "GROUP");
                ++end;
            }
            if (grouped) continue;
            std::string by;
            for (const std::string& t : tables) by += (by.empty() ? "" : ", ") + t + ".rowid";
            items.insert(items.begin() + static_cast<std::ptrdiff_t>(end), raw_node(std::move(by), true));
            items.insert(items.begin() + static_cast<std::ptrdiff_t>(end), word_node("BY"));
            items.insert(items.begin() + static_cast<std::ptrdiff_t>(end), word_node("GROUP"));
        }
    }

    // The qualifiers of the fields in items[from, to); false when a field
    // has none or an aggregate is there.
    static bool selected_tables(const std::vector<node>& items, std::size_t from, std::size_t to,
                                std::vector<std::string>& tables) {
        static const std::set<std::string> aggregates = {"SUM", "COUNT", "AVG", "MIN", "MAX", "FIRST", "LAST",
                                                         "STDEV", "STDEVP", "VAR", "VARP"};
        for (std::size_t i = from; i < to; ++i) {
            const node& n = items[i];
            if (n.group) {
                if (!selected_tables(n.kids, 0, n.kids.size(), tables)) return false;
                continue;
            }
            const token& t = n.tok;
            if (t.kind == tk::op && t.text == "*") return false;
            if (t.kind != tk::word && t.kind != tk::quoted_name) continue;
            if (t.kind == tk::word && t.function) {
                if (aggregates.count(t.upper) != 0) return false;
                continue;
            }
            if (i > from && is_word(items[i - 1], "AS")) continue;  // an alias
            if (t.kind == tk::word && (boundary_words().count(t.upper) != 0 || t.upper == "NULL")) continue;
            const bool qualified = i + 2 < to && !items[i + 1].group && items[i + 1].tok.kind == tk::dot;
            if (!qualified) return false;
            if (std::find(tables.begin(), tables.end(), t.text) == tables.end()) tables.push_back(t.text);
            i += 2;
            while (i + 2 < to && !items[i + 1].group && items[i + 1].tok.kind == tk::dot) i += 2;
        }
        return true;
    }

    // SELECT [DISTINCT|ALL] TOP n [PERCENT] ... -> ... LIMIT n
    void rewrite_top(std::vector<node>& items) {
        for (std::size_t s = 0; s < items.size(); ++s) {
            if (!is_word(items[s], "SELECT")) continue;
            std::size_t t = s + 1;
            if (t < items.size() && (is_word(items[t], "DISTINCT") || is_word(items[t], "ALL"))) ++t;
            if (t + 1 >= items.size() || !is_word(items[t], "TOP")) continue;
            const node& count = items[t + 1];
            if (count.group || count.tok.kind != tk::literal || count.tok.text.find_first_not_of("0123456789") != std::string::npos) {
                throw translate_error("TOP must be followed by a whole number.");
            }
            const std::string n = count.tok.text;
            const bool percent = t + 2 < items.size() && is_word(items[t + 2], "PERCENT");
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(t),
                        items.begin() + static_cast<std::ptrdiff_t>(t + (percent ? 3 : 2)));
            std::size_t end = s + 1;
            while (end < items.size() && !is_word(items[end], "UNION") && items[end].tok.kind != tk::semicolon) ++end;
            std::string limit = n;
            if (percent) {
                std::size_t body_end = s;
                while (body_end < end && !is_word(items[body_end], "ORDER")) ++body_end;
                std::vector<node> body(items.begin() + static_cast<std::ptrdiff_t>(s),
                                       items.begin() + static_cast<std::ptrdiff_t>(body_end));
                limit = "(SELECT (COUNT(*) * " + n + " + 99) / 100 FROM (" + emit_group(std::move(body)) + "))";
            }
            const bool member_of_union = end < items.size() && is_word(items[end], "UNION");
            if (member_of_union) {
                std::vector<node> member(items.begin() + static_cast<std::ptrdiff_t>(s),
                                         items.begin() + static_cast<std::ptrdiff_t>(end));
                const bool space = items[s].space_before;
                std::string text = "SELECT * FROM (" + emit_group(std::move(member)) + " LIMIT " + limit + ")";
                items.erase(items.begin() + static_cast<std::ptrdiff_t>(s), items.begin() + static_cast<std::ptrdiff_t>(end));
                items.insert(items.begin() + static_cast<std::ptrdiff_t>(s), raw_node(std::move(text), space));
            } else {
                items.insert(items.begin() + static_cast<std::ptrdiff_t>(end), raw_node(limit, true));
                items.insert(items.begin() + static_cast<std::ptrdiff_t>(end), word_node("LIMIT"));
            }
        }
    }

    std::string emit_item(const node& n) {
        std::string out = n.space_before ? " " : "";
        if (n.group) return out + "(" + emit_group(n.kids) + ")";
        return out + n.tok.text;
    }

    std::string emit_plain(const std::vector<node>& items, std::size_t from, std::size_t to) {
        std::string out;
        for (std::size_t i = from; i < to; ++i) out += emit_item(items[i]);
        return out;
    }

    // Parser state over one segment.
    struct segment {
        const std::vector<node>& items;
        std::size_t pos, end;
        bool has_binary = false;
    };

    static int precedence(const node& n) {
        if (n.group || n.tok.kind != tk::op) return -1;
        const std::string& op = n.tok.text;
        if (op == "&") return 1;
        if (op == "+" || op == "-") return 2;
        if (op == "MOD") return 3;
        if (op == "\\") return 4;
        if (op == "*" || op == "/") return 5;
        if (op == "^") return 7;
        return -1;
    }

    std::unique_ptr<expr> parse_expr(segment& s, int min_prec) {
        auto left = parse_unary(s);
        if (!left) return nullptr;
        while (s.pos < s.end) {
            const int prec = precedence(s.items[s.pos]);
            if (prec < 0 || prec < min_prec) break;
            auto e = std::make_unique<expr>();
            e->kind = expr::binary;
            e->op = s.items[s.pos].tok.text;
            ++s.pos;
            e->right = parse_expr(s, prec + 1);
            if (!e->right) return nullptr;
            e->left = std::move(left);
            left = std::move(e);
            s.has_binary = true;
        }
        return left;
    }

    std::unique_ptr<expr> parse_unary(segment& s) {
        if (s.pos < s.end && (is_op(s.items[s.pos], "-") || is_op(s.items[s.pos], "+"))) {
            const bool minus = is_op(s.items[s.pos], "-");
            ++s.pos;
            auto operand = parse_expr(s, 7);  // -2^2 is -(2^2)
            if (!operand || !minus) return operand;
            auto e = std::make_unique<expr>();
            e->kind = expr::negate;
            e->left = std::move(operand);
            return e;
        }
        return parse_primary(s);
    }

    std::unique_ptr<expr> parse_primary(segment& s) {
        if (s.pos >= s.end) return nullptr;
        const std::size_t first = s.pos;
        const node& n = s.items[s.pos];
        if (n.group) {
            ++s.pos;
        } else if (n.tok.kind == tk::literal || n.tok.kind == tk::raw) {
            ++s.pos;
        } else if (n.tok.kind == tk::word && n.tok.function) {
            if (s.pos + 1 >= s.end || !s.items[s.pos + 1].group) return nullptr;
            s.pos += 2;
        } else if (n.tok.kind == tk::word || n.tok.kind == tk::quoted_name) {
            ++s.pos;
            while (s.pos + 1 < s.end && !s.items[s.pos].group && s.items[s.pos].tok.kind == tk::dot) {
                const node& part = s.items[s.pos + 1];
                const bool name_part = !part.group && (part.tok.kind == tk::word || part.tok.kind == tk::quoted_name || is_op(part, "*"));
                if (!name_part) return nullptr;
                s.pos += 2;
            }
        } else {
            return nullptr;
        }
        auto e = std::make_unique<expr>();
        e->text = emit_plain(s.items, first, s.pos);
        while (!e->text.empty() && e->text.front() == ' ') e->text.erase(0, 1);
        return e;
    }

    static void flatten_concat(const expr& e, std::vector<const expr*>& parts) {
        if (e.kind == expr::binary && e.op == "&") {
            flatten_concat(*e.left, parts);
            flatten_concat(*e.right, parts);
        } else {
            parts.push_back(&e);
        }
    }

    static std::string render(const expr& e) {
        switch (e.kind) {
            case expr::atom:
                return e.text;
            case expr::negate:
                return "(- " + render(*e.left) + ")";
            case expr::binary:
                break;
        }
        const std::string a = render(*e.left);
        const std::string b = render(*e.right);
        if (e.op == "&") {
            std::vector<const expr*> parts;
            flatten_concat(e, parts);
            std::string out = "acc_concat(";
            for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? ", " : "") + render(*parts[i]);
            return out + ")";
        }
        if (e.op == "*") return "(" + a + " * " + b + ")";
        static const std::map<std::string, std::string> functions = {
            {"+", "acc_add"}, {"-", "acc_sub"}, {"/", "acc_div"}, {"\\", "acc_intdiv"},
            {"MOD", "acc_mod"}, {"^", "acc_pow"}};
        return functions.at(e.op) + "(" + a + ", " + b + ")";
    }

    bool rows_by_rowid_;

    std::string emit_segment(const std::vector<node>& items, std::size_t from, std::size_t to) {
        segment s{items, from, to};
        auto e = parse_expr(s, 0);
        if (!e || s.pos != to || !s.has_binary) return emit_plain(items, from, to);
        return (items[from].space_before ? " " : "") + render(*e);
    }
};

}  // namespace

translated_sql translate_access_sql(std::string_view access_sql, bool rows_by_rowid) {
    translated_sql result;
    try {
        translator t(rows_by_rowid);
        std::string sql = t.emit_group(build_tree(tokenize(access_sql)));
        // SQLite takes one statement: drop the trailing semicolons Access allows.
        while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ')) sql.pop_back();
        while (!sql.empty() && sql.front() == ' ') sql.erase(0, 1);
        result.sql = std::move(sql);
        result.names = std::move(t.names);
    } catch (const translate_error& e) {
        result.error = e.what();
    } catch (const std::exception& e) {
        result.error = std::string("The statement cannot be translated: ") + e.what();
    }
    return result;
}

}  // namespace korvane::data::access
