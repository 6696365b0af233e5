// SPDX-License-Identifier: Apache-2.0
#include "data/sql/access_sql.h"

#include "data/access/function_catalogue.h"
#include "data/sql/sql_tokens.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace korvane::data::sql {
namespace {

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
    explicit translator(const dialect& d) : d_(d) {}
    std::vector<std::string> names;

    std::string emit_group(std::vector<node> items) {
        rewrite_words(items);
        rewrite_like(items);
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
        if (t.kind == tk::raw) return t.boundary;
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
                t.text = write_name(d_, t.name, true);
                continue;
            }
            if (t.kind == tk::literal && t.is_text) t.text = write_text(t.name);
            if (t.kind == tk::literal && t.is_date) t.text = write_date(d_, t.name);
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
                const std::string lower = lower_ascii(fn);
                const access::function_support support = access::access_function(fn);
                // Names only Access can answer fail on every target; names it
                // does not know may be the ODBC source's own functions.
                const bool unknown = support.answer == access::function_answer::refused &&
                                     support.message.starts_with("Undefined function");
                if (d_.kind != target::access_copy && support.answer == access::function_answer::refused && !unknown) {
                    throw translate_error(support.message);
                }
                if (d_.kind == target::access_copy && support.answer == access::function_answer::acc_version) {
                    t.text = "acc_" + lower;
                    t.function = true;
                    continue;
                }
                if (d_.kind != target::access_copy && !unknown) {
                    t.function = true;
                    t.access_call = true;
                    continue;
                }
                if (boundary_words().count(t.upper) == 0) {
                    if (support.answer == access::function_answer::refused && d_.kind == target::access_copy) {
                        throw translate_error(support.message);
                    }
                    t.text = fn;
                    t.function = true;
                    continue;
                }
            }
            if (after_dot || before_dot || next_is_group) {
                names.push_back(t.name);
                t.text = write_name(d_, t.name, false);
                continue;
            }
            const bool yes = t.upper == "TRUE" || t.upper == "YES";
            if (yes || t.upper == "FALSE" || t.upper == "NO") {
                t = token{tk::literal, write_boolean(d_, yes), {}, {}, t.space_before};
            } else if (t.upper == "MOD") {
                t.kind = tk::op;
                t.text = "MOD";
            } else if (t.upper == "DISTINCTROW") {
                continue;  // rewrite_distinctrow's
            } else if (boundary_words().count(t.upper) == 0 && t.upper != "NULL") {
                names.push_back(t.name);
                t.text = write_name(d_, t.name, false);
            }
        }
    }

    // [NOT] Like "pattern": the target's own wildcards. A pattern that is no
    // single literal keeps its text; only the operator changes.
    void rewrite_like(std::vector<node>& items) {
        if (d_.kind == target::access_copy) return;  // the copy has Access's like()
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!is_word(items[i], "LIKE")) continue;
            const bool literal = i + 1 < items.size() && !items[i + 1].group && items[i + 1].tok.is_text &&
                                 (i + 2 == items.size() || is_boundary(items[i + 2]));
            if (!literal) {
                items[i].tok.text = like_operator(d_);
                wrap_pattern(items, i + 1);
                continue;
            }
            const bool negated = i > 0 && is_word(items[i - 1], "NOT");
            const std::size_t from = negated ? i - 1 : i;
            node r = raw_node(write_like(d_, negated, items[i + 1].tok.name), items[from].space_before);
            r.tok.boundary = true;
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(from), items.begin() + static_cast<std::ptrdiff_t>(i + 2));
            items.insert(items.begin() + static_cast<std::ptrdiff_t>(from), std::move(r));
            i = from;
        }
    }

    // A pattern made at run time gets * and ? turned into % and _ there.
    void wrap_pattern(std::vector<node>& items, std::size_t from) {
        std::size_t end = from;
        while (end < items.size() && !is_boundary(items[end])) ++end;
        if (end == from) return;
        const auto text = [](const char* t) {
            node n;
            n.tok.kind = tk::literal;
            n.tok.is_text = true;
            n.tok.name = t;
            n.space_before = n.tok.space_before = true;
            return n;
        };
        node comma;
        comma.tok.kind = tk::comma;
        comma.tok.text = ",";
        const auto call = [&](std::vector<node> args, const char* from_text, const char* to_text) {
            node g;
            g.group = true;
            args.front().space_before = args.front().tok.space_before = false;
            g.kids = std::move(args);
            g.kids.push_back(comma);
            g.kids.push_back(text(from_text));
            g.kids.push_back(comma);
            g.kids.push_back(text(to_text));
            // The target's own replace(), not Access's Replace.
            return std::vector<node>{raw_node("replace", true), std::move(g)};
        };
        std::vector<node> pattern(items.begin() + static_cast<std::ptrdiff_t>(from),
                                  items.begin() + static_cast<std::ptrdiff_t>(end));
        std::vector<node> wrapped = call(call(std::move(pattern), "*", "%"), "?", "_");
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(from), items.begin() + static_cast<std::ptrdiff_t>(end));
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(from), wrapped.begin(), wrapped.end());
    }

    // SELECT DISTINCTROW gives one row per distinct row of the tables whose
    // fields are selected: grouped by those tables' rowids. Nothing to do
    // when the statement groups or aggregates itself, or names a field
    // without its table (then every table counts, and every row is distinct).
    void rewrite_distinctrow(std::vector<node>& items) {
        for (std::size_t s = 0; s + 1 < items.size(); ++s) {
            if (!is_word(items[s], "SELECT") || !is_word(items[s + 1], "DISTINCTROW")) continue;
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(s + 1));
            if (d_.kind != target::access_copy || !d_.rows_by_rowid) continue;
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
                limit = "(SELECT (COUNT(*) * " + n + " + 99) / 100 FROM (" + emit_group(std::move(body)) + ") AS top_rows)";
            }
            const bool member_of_union = end < items.size() && is_word(items[end], "UNION");
            if (member_of_union) {
                std::vector<node> member(items.begin() + static_cast<std::ptrdiff_t>(s),
                                         items.begin() + static_cast<std::ptrdiff_t>(end));
                const bool space = items[s].space_before;
                std::string text = "SELECT * FROM (" + emit_group(std::move(member)) + " LIMIT " + limit + ") AS top_rows";
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
        for (std::size_t i = from; i < to; ++i) {
            if (!items[i].group && items[i].tok.access_call && i + 1 < to && items[i + 1].group) {
                out += emit_call(items[i], items[i + 1]);
                ++i;
            } else {
                out += emit_item(items[i]);
            }
        }
        return out;
    }

    // An Access function the target writes its own way, its arguments
    // translated one by one.
    std::string emit_call(const node& fn, const node& group) {
        std::vector<std::vector<node>> parts(1);
        for (const node& k : group.kids) {
            if (!k.group && k.tok.kind == tk::comma) {
                parts.emplace_back();
            } else {
                parts.back().push_back(k);
            }
        }
        std::vector<std::string> args;
        if (!(parts.size() == 1 && parts.front().empty())) {
            for (std::vector<node>& part : parts) {
                std::string arg = emit_group(std::move(part));
                while (!arg.empty() && arg.front() == ' ') arg.erase(0, 1);
                if (arg.empty()) throw translate_error(fn.tok.name + "() has an empty argument.");
                args.push_back(std::move(arg));
            }
        }
        std::string lower = lower_ascii(fn.tok.name);
        if (!lower.empty() && lower.back() == '$') lower.pop_back();
        return (fn.space_before ? " " : "") + write_call(d_, lower, fn.tok.name, args);
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

    std::string render(const expr& e) {
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
            std::vector<std::string> texts;
            for (const expr* part : parts) texts.push_back(render(*part));
            return write_concat(d_, texts);
        }
        return write_operator(d_, e.op, a, b);
    }

    const dialect& d_;

    std::string emit_segment(const std::vector<node>& items, std::size_t from, std::size_t to) {
        segment s{items, from, to};
        auto e = parse_expr(s, 0);
        if (!e || s.pos != to || !s.has_binary) return emit_plain(items, from, to);
        return (items[from].space_before ? " " : "") + render(*e);
    }
};

}  // namespace

translated_sql translate_access_sql(std::string_view access_sql, const dialect& target) {
    translated_sql result;
    try {
        translator t(target);
        std::string sql = t.emit_group(build_tree(tokenize(access_sql)));
        // One statement is run: drop the trailing semicolons Access allows.
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

translated_sql translate_access_sql(std::string_view access_sql, bool rows_by_rowid) {
    dialect copy;
    copy.rows_by_rowid = rows_by_rowid;
    return translate_access_sql(access_sql, copy);
}

}  // namespace korvane::data::sql
