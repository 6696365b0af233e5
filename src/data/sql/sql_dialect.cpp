// SPDX-License-Identifier: Apache-2.0
#include "data/sql/sql_dialect.h"

#include "data/sql/sql_tokens.h"

#include <map>

namespace korvane::data::sql {
namespace {

std::string quoted(std::string_view s, char q) {
    std::string out(1, q);
    for (char c : s) {
        out += c;
        if (c == q) out += q;
    }
    out += q;
    return out;
}

// Access wildcards to LIKE's: * -> %, ? -> _, one-character classes such as
// [*] or [#] -> the character; % _ \ themselves escaped with \. False when the
// pattern needs a real class ([a-z], [!x], #), which LIKE cannot say.
bool like_pattern(const std::string& p, std::string& out, bool& escaped) {
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '*') {
            out += '%';
        } else if (c == '?') {
            out += '_';
        } else if (c == '#') {
            return false;
        } else if (c == '[') {
            if (i + 2 < p.size() && p[i + 2] == ']' && p[i + 1] != '!') {
                const char lit = p[i + 1];
                if (lit == '%' || lit == '_' || lit == '\\') {
                    out += '\\';
                    escaped = true;
                }
                out += lit;
                i += 2;
            } else {
                return false;
            }
        } else {
            if (c == '%' || c == '_' || c == '\\') {
                out += '\\';
                escaped = true;
            }
            out += c;
        }
    }
    return true;
}

// Access wildcards to a class-aware form: PostgreSQL's regular expressions
// (anchored) or SQLite's GLOB.
std::string class_pattern(const std::string& p, bool regex) {
    std::string out = regex ? "^" : "";
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '*') {
            out += regex ? ".*" : "*";
        } else if (c == '?') {
            out += regex ? "." : "?";
        } else if (c == '#') {
            out += "[0-9]";
        } else if (c == '[') {
            const std::size_t end = p.find(']', i + 1);
            if (end == std::string::npos) throw translate_error("The Like pattern \"" + p + "\" has a [ without ].");
            std::string inside = p.substr(i + 1, end - i - 1);
            if (!inside.empty() && inside[0] == '!') inside[0] = '^';
            if (regex) {
                std::string esc;
                for (char k : inside) {
                    if (k == '\\') esc += '\\';
                    esc += k;
                }
                inside = esc;
            }
            out += "[" + inside + "]";
            i = end;
        } else if (regex && std::string_view(".^$|()+{}\\").find(c) != std::string_view::npos) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return regex ? out + "$" : out;
}

}  // namespace

target target_for_dbms(std::string_view dbms_name) {
    const std::string name = lower_ascii(dbms_name);
    if (name.find("postgres") != std::string::npos) return target::postgresql;
    if (name.find("sqlite") != std::string::npos) return target::sqlite;
    return target::other;
}

const char* target_name(target kind) {
    switch (kind) {
        case target::access_copy: return "Access";
        case target::sqlite: return "SQLite";
        case target::postgresql: return "PostgreSQL";
        case target::other: break;
    }
    return "this data source";
}

std::string write_name(const dialect& d, const std::string& name, bool bracketed) {
    if (d.name) return d.name(name, bracketed);
    return bracketed ? quoted(name, '"') : name;
}

std::string write_text(std::string_view text) { return quoted(text, '\''); }

std::string write_date(const dialect& d, const std::string& stamp) {
    const bool date_only = stamp.size() == 10;
    switch (d.kind) {
        case target::postgresql:
            return (date_only ? "DATE " : "TIMESTAMP ") + write_text(stamp);
        case target::other:
            return (date_only ? "{d " : "{ts ") + write_text(stamp) + "}";
        case target::access_copy:
        case target::sqlite:
            break;
    }
    return write_text(stamp);
}

std::string write_boolean(const dialect& d, bool value) {
    switch (d.kind) {
        case target::access_copy: return value ? "-1" : "0";  // Access's True
        case target::postgresql: return value ? "TRUE" : "FALSE";
        case target::sqlite:
        case target::other: break;
    }
    return value ? "1" : "0";
}

std::string write_operator(const dialect& d, const std::string& op, const std::string& a, const std::string& b) {
    if (op == "*") return "(" + a + " * " + b + ")";
    if (d.kind == target::access_copy) {
        // Access's Null, text and date rules live in the copy's functions.
        static const std::map<std::string, std::string> functions = {
            {"+", "acc_add"}, {"-", "acc_sub"}, {"/", "acc_div"}, {"\\", "acc_intdiv"},
            {"MOD", "acc_mod"}, {"^", "acc_pow"}};
        return functions.at(op) + "(" + a + ", " + b + ")";
    }
    if (op == "+" || op == "-") return "(" + a + " " + op + " " + b + ")";
    const bool pg = d.kind == target::postgresql;
    const bool lite = d.kind == target::sqlite;
    // Access divides in floating point whatever the operands.
    if (op == "/") {
        if (pg) return "(CAST(" + a + " AS double precision) / " + b + ")";
        if (lite) return "(CAST(" + a + " AS REAL) / " + b + ")";
        return "(" + a + " / " + b + ")";
    }
    if (op == "\\") {
        if (pg) return "CAST(trunc(round(" + a + ") / round(" + b + ")) AS bigint)";
        if (lite) return "(CAST(round(" + a + ") AS INTEGER) / CAST(round(" + b + ") AS INTEGER))";
        throw translate_error("The integer division \\ has no counterpart in the SQL of this data source.");
    }
    if (op == "MOD") {
        if (pg) return "mod(" + a + ", " + b + ")";
        if (lite) return "(" + a + " % " + b + ")";
        return "{fn MOD(" + a + ", " + b + ")}";
    }
    // ^
    if (pg) return "power(" + a + ", " + b + ")";
    if (lite) return "pow(" + a + ", " + b + ")";
    return "{fn POWER(" + a + ", " + b + ")}";
}

std::string write_concat(const dialect& d, const std::vector<std::string>& parts) {
    std::string out;
    switch (d.kind) {
        case target::access_copy:
        case target::postgresql:
            // concat() skips Nulls as & does.
            out = d.kind == target::access_copy ? "acc_concat(" : "concat(";
            for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? ", " : "") + parts[i];
            return out + ")";
        case target::sqlite:
            for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? " || " : "(") + ("coalesce(" + parts[i] + ", '')");
            return out + ")";
        case target::other:
            break;
    }
    out = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) out = "{fn CONCAT(" + out + ", " + parts[i] + ")}";
    return out;
}

std::string write_like(const dialect& d, bool negated, const std::string& pattern) {
    const std::string no = negated ? "NOT " : "";
    if (d.kind == target::access_copy) return no + "LIKE " + write_text(pattern);  // the copy's own like()
    std::string simple;
    bool escaped = false;
    if (like_pattern(pattern, simple, escaped)) {
        // PostgreSQL's LIKE tells case apart; Access's does not.
        const std::string op = d.kind == target::postgresql ? "ILIKE " : "LIKE ";
        std::string escape;
        if (escaped && d.kind == target::sqlite) escape = " ESCAPE '\\'";
        if (escaped && d.kind == target::other) escape = " {escape '\\'}";
        return no + op + write_text(simple) + escape;
    }
    switch (d.kind) {
        case target::postgresql:
            return (negated ? "!~* " : "~* ") + write_text(class_pattern(pattern, true));
        case target::sqlite:
            // GLOB knows classes but tells case apart.
            return no + "GLOB " + write_text(class_pattern(pattern, false));
        default:
            break;
    }
    throw translate_error("The Like pattern \"" + pattern +
                          "\" uses # or a [character class], which this data source's LIKE cannot say.");
}

std::string like_operator(const dialect& d) { return d.kind == target::postgresql ? "ILIKE" : "LIKE"; }

}  // namespace korvane::data::sql
