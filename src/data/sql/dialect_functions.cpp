// SPDX-License-Identifier: Apache-2.0
// Access functions (those the function catalogue accepts) in the target's
// SQL. PostgreSQL and SQLite get an expression of their own where one answers
// as Access does, and the rest are refused by name.
#include "data/sql/sql_dialect.h"
#include "data/sql/sql_tokens.h"

#include <map>
#include <set>

namespace korvane::data::sql {
namespace {

struct form {
    const char* postgresql;  // $1 $2 $3 stand for the arguments; nullptr: none
    const char* sqlite;
};

// By name and number of arguments.
const std::map<std::pair<std::string, std::size_t>, form>& forms() {
    static const std::map<std::pair<std::string, std::size_t>, form> f = {
        {{"left", 2}, {"left(CAST($1 AS text), $2)", "substr($1, 1, $2)"}},
        {{"right", 2}, {"right(CAST($1 AS text), $2)", "substr($1, max(length($1) - ($2) + 1, 1))"}},
        {{"mid", 2}, {"substr(CAST($1 AS text), $2)", "substr($1, $2)"}},
        {{"mid", 3}, {"substr(CAST($1 AS text), $2, $3)", "substr($1, $2, $3)"}},
        {{"len", 1}, {"length(CAST($1 AS text))", "length($1)"}},
        {{"ucase", 1}, {"upper(CAST($1 AS text))", "upper($1)"}},
        {{"lcase", 1}, {"lower(CAST($1 AS text))", "lower($1)"}},
        {{"trim", 1}, {"btrim(CAST($1 AS text))", "trim($1, ' ')"}},
        {{"ltrim", 1}, {"ltrim(CAST($1 AS text))", "ltrim($1, ' ')"}},
        {{"rtrim", 1}, {"rtrim(CAST($1 AS text))", "rtrim($1, ' ')"}},
        // Access compares text without regard to case.
        {{"instr", 2}, {"strpos(lower(CAST($1 AS text)), lower(CAST($2 AS text)))", "instr(lower($1), lower($2))"}},
        {{"space", 1}, {"repeat(' ', $1)", "printf('%*s', $1, '')"}},
        {{"chr", 1}, {"chr($1)", "char($1)"}},
        {{"asc", 1}, {"ascii($1)", "unicode($1)"}},
        {{"strreverse", 1}, {"reverse(CAST($1 AS text))", nullptr}},
        {{"nz", 1}, {"coalesce(CAST($1 AS text), '')", "coalesce($1, '')"}},
        {{"nz", 2}, {"coalesce($1, $2)", "coalesce($1, $2)"}},
        {{"iif", 3}, {"(CASE WHEN $1 THEN $2 ELSE $3 END)", "(CASE WHEN $1 THEN $2 ELSE $3 END)"}},
        {{"isnull", 1}, {"($1 IS NULL)", "($1 IS NULL)"}},
        {{"cstr", 1}, {"CAST($1 AS text)", "CAST($1 AS TEXT)"}},
        {{"cdbl", 1}, {"CAST($1 AS double precision)", "CAST($1 AS REAL)"}},
        {{"csng", 1}, {"CAST($1 AS real)", nullptr}},
        {{"int", 1}, {"floor($1)", "CAST(floor($1) AS INTEGER)"}},
        {{"fix", 1}, {"trunc($1)", "CAST(trunc($1) AS INTEGER)"}},
        {{"sgn", 1}, {"CAST(sign($1) AS integer)", "sign($1)"}},
        {{"sqr", 1}, {"sqrt($1)", "sqrt($1)"}},
        {{"log", 1}, {"ln($1)", "ln($1)"}},  // log() is to base 10 in both
        {{"atn", 1}, {"atan($1)", "atan($1)"}},
        {{"year", 1}, {"CAST(EXTRACT(YEAR FROM $1) AS integer)", "CAST(strftime('%Y', $1) AS INTEGER)"}},
        {{"month", 1}, {"CAST(EXTRACT(MONTH FROM $1) AS integer)", "CAST(strftime('%m', $1) AS INTEGER)"}},
        {{"day", 1}, {"CAST(EXTRACT(DAY FROM $1) AS integer)", "CAST(strftime('%d', $1) AS INTEGER)"}},
        {{"hour", 1}, {"CAST(EXTRACT(HOUR FROM $1) AS integer)", "CAST(strftime('%H', $1) AS INTEGER)"}},
        {{"minute", 1}, {"CAST(EXTRACT(MINUTE FROM $1) AS integer)", "CAST(strftime('%M', $1) AS INTEGER)"}},
        {{"second", 1}, {"CAST(floor(EXTRACT(SECOND FROM $1)) AS integer)", "CAST(strftime('%S', $1) AS INTEGER)"}},
        {{"weekday", 1}, {"(CAST(EXTRACT(DOW FROM $1) AS integer) + 1)", "(CAST(strftime('%w', $1) AS INTEGER) + 1)"}},
        {{"dateserial", 3},
         {"CAST(make_date(CAST($1 AS integer), 1, 1) + (($2) - 1) * INTERVAL '1 month' + (($3) - 1) * INTERVAL '1 day' AS date)",
          "date(printf('%04d-01-01', $1), printf('%+d months', ($2) - 1), printf('%+d days', ($3) - 1))"}},
        {{"now", 0}, {"LOCALTIMESTAMP(0)", "datetime('now', 'localtime')"}},
        {{"date", 0}, {"CURRENT_DATE", "date('now', 'localtime')"}},
        {{"time", 0}, {"LOCALTIME(0)", "time('now', 'localtime')"}},
        {{"stdev", 1}, {"stddev_samp($1)", nullptr}},
        {{"stdevp", 1}, {"stddev_pop($1)", nullptr}},
        {{"var", 1}, {"var_samp($1)", nullptr}},
        {{"varp", 1}, {"var_pop($1)", nullptr}},
    };
    return f;
}

// Why the rest are refused on PostgreSQL and SQLite.
const std::map<std::string, const char*>& refusals() {
    static const std::map<std::string, const char*> r = {
        {"round", "Access rounds halves to even, this data source away from zero"},
        {"cint", "Access rounds halves to even, this data source away from zero"},
        {"clng", "Access rounds halves to even, this data source away from zero"},
        {"ccur", "Access rounds halves to even, this data source away from zero"},
        {"format", "its formats are Access's own"},
        {"str", "its number text is Access's own"},
        {"val", "its reading of numbers is Access's own"},
        {"cbool", "its reading of texts is Access's own"},
        {"cdate", "its reading of dates is Access's own"},
        {"cvdate", "its reading of dates is Access's own"},
        {"datevalue", "its reading of dates is Access's own"},
        {"timevalue", "its reading of times is Access's own"},
        {"isdate", "its reading of dates is Access's own"},
        {"isnumeric", "its reading of numbers is Access's own"},
        {"monthname", "Access names months in the Windows language"},
        {"weekdayname", "Access names days in the Windows language"},
        {"first", "rows have no order of their own here"},
        {"last", "rows have no order of their own here"},
        {"strcomp", "its compare modes are Access's own"},
        {"replace", "Access's Replace ignores case unless told otherwise"},
        {"instrrev", "its compare modes are Access's own"},
        {"cbyte", "Access rounds halves to even, this data source away from zero"},
        {"hex", "its number text is Access's own"},
        {"oct", "its number text is Access's own"},
        {"cvar", "its variants are Access's own"},
    };
    return r;
}

std::string fill(const char* pattern, const std::vector<std::string>& args) {
    std::string out;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p == '$' && p[1] >= '1' && p[1] <= '9') {
            out += args.at(static_cast<std::size_t>(p[1] - '1'));
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// The interval argument of DateAdd, DateDiff and DatePart: a text literal.
std::string interval_of(const std::string& written, const std::string& fn) {
    if (written.size() >= 2 && written.front() == '\'' && written.back() == '\'' &&
        written.find('\'', 1) == written.size() - 1) {
        return lower_ascii(written.substr(1, written.size() - 2));
    }
    throw translate_error(fn + "() needs its interval as a text literal (\"d\", \"m\", \"yyyy\" ...) here.");
}

// DatePart's and the one-part functions' intervals.
std::string date_part(bool pg, const std::string& iv, const std::string& d) {
    static const std::map<std::string, std::pair<const char*, const char*>> parts = {
        {"yyyy", {"YEAR", "%Y"}}, {"m", {"MONTH", "%m"}},   {"d", {"DAY", "%d"}},  {"y", {"DOY", "%j"}},
        {"h", {"HOUR", "%H"}},    {"n", {"MINUTE", "%M"}}, {"s", {"SECOND", "%S"}}};
    if (iv == "q") {
        return pg ? "CAST(EXTRACT(QUARTER FROM " + d + ") AS integer)"
                  : "((CAST(strftime('%m', " + d + ") AS INTEGER) + 2) / 3)";
    }
    if (iv == "w") {
        return pg ? "(CAST(EXTRACT(DOW FROM " + d + ") AS integer) + 1)"
                  : "(CAST(strftime('%w', " + d + ") AS INTEGER) + 1)";
    }
    const auto at = parts.find(iv);
    if (at == parts.end()) throw translate_error("The interval \"" + iv + "\" of DatePart() is not translated here.");
    if (pg) return "CAST(floor(EXTRACT(" + std::string(at->second.first) + " FROM " + d + ")) AS integer)";
    return "CAST(strftime('" + std::string(at->second.second) + "', " + d + ") AS INTEGER)";
}

std::string date_add(bool pg, const std::string& iv, const std::string& n, const std::string& d) {
    static const std::map<std::string, std::pair<const char*, int>> units = {
        {"yyyy", {"years", 1}}, {"q", {"months", 3}},   {"m", {"months", 1}},   {"y", {"days", 1}},
        {"d", {"days", 1}},     {"w", {"days", 1}},     {"ww", {"days", 7}},    {"h", {"hours", 1}},
        {"n", {"minutes", 1}},  {"s", {"seconds", 1}}};
    const auto at = units.find(iv);
    if (at == units.end()) throw translate_error("The interval \"" + iv + "\" of DateAdd() is not translated here.");
    const std::string step = std::to_string(at->second.second);
    if (pg) return "(" + d + " + (" + n + ") * INTERVAL '" + step + " " + at->second.first + "')";
    return "datetime(" + d + ", printf('%+d " + at->second.first + "', (" + n + ") * " + step + "))";
}

// Access counts the boundaries crossed between the two dates.
std::string date_diff(bool pg, const std::string& iv, const std::string& a, const std::string& b) {
    const auto year = [&](const std::string& x) {
        return pg ? "EXTRACT(YEAR FROM " + x + ")" : "CAST(strftime('%Y', " + x + ") AS INTEGER)";
    };
    const auto month = [&](const std::string& x) {
        return pg ? "EXTRACT(MONTH FROM " + x + ")" : "CAST(strftime('%m', " + x + ") AS INTEGER)";
    };
    if (iv == "yyyy") return "CAST(" + year(b) + " - " + year(a) + (pg ? " AS integer)" : " AS INTEGER)");
    if (iv == "m") {
        return "CAST((" + year(b) + " - " + year(a) + ") * 12 + " + month(b) + " - " + month(a) +
               (pg ? " AS integer)" : " AS INTEGER)");
    }
    if (iv == "d" || iv == "y") {
        if (pg) return "(CAST(" + b + " AS date) - CAST(" + a + " AS date))";
        return "CAST(julianday(date(" + b + ")) - julianday(date(" + a + ")) AS INTEGER)";
    }
    static const std::map<std::string, std::tuple<const char*, const char*, int>> clock = {
        {"h", {"hour", "%Y-%m-%d %H:00:00", 3600}},
        {"n", {"minute", "%Y-%m-%d %H:%M:00", 60}},
        {"s", {"second", "%Y-%m-%d %H:%M:%S", 1}}};
    const auto at = clock.find(iv);
    if (at == clock.end()) throw translate_error("The interval \"" + iv + "\" of DateDiff() is not translated here.");
    const auto& [unit, stamp, seconds] = at->second;
    const std::string per = std::to_string(seconds);
    if (pg) {
        return "CAST(EXTRACT(EPOCH FROM date_trunc('" + std::string(unit) + "', " + b + ") - date_trunc('" + unit +
               "', " + a + ")) / " + per + " AS integer)";
    }
    return "CAST(round((julianday(strftime('" + std::string(stamp) + "', " + b + ")) - julianday(strftime('" + stamp +
           "', " + a + "))) * 86400 / " + per + ") AS INTEGER)";
}

}  // namespace

std::string write_call(const dialect& d, const std::string& n, const std::string& written,
                       const std::vector<std::string>& args) {
    std::string name = written;
    if (!name.empty() && name.back() == '$') name.pop_back();
    const auto plain = [&] {
        std::string out = name + "(";
        for (std::size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + args[i];
        return out + ")";
    };
    if (d.kind == target::other) return plain();  // the source may know it by that name
    const bool pg = d.kind == target::postgresql;
    const std::string where = target_name(d.kind);
    if (n == "datepart" && args.size() == 2) return date_part(pg, interval_of(args[0], name), args[1]);
    if (n == "dateadd" && args.size() == 3) return date_add(pg, interval_of(args[0], name), args[1], args[2]);
    if (n == "datediff" && args.size() == 3) return date_diff(pg, interval_of(args[0], name), args[1], args[2]);
    const auto at = forms().find({n, args.size()});
    if (at != forms().end()) {
        const char* pattern = pg ? at->second.postgresql : at->second.sqlite;
        if (pattern != nullptr) return fill(pattern, args);
        throw translate_error(name + "() has no counterpart in " + where + ".");
    }
    const auto why = refusals().find(n);
    if (why != refusals().end()) {
        throw translate_error(name + "() is not translated for " + where + ": " + why->second + ".");
    }
    // Access's functions that every target has under the same name.
    static const std::set<std::string> same = {"abs", "exp", "sin", "cos", "tan", "sum", "avg", "count", "min", "max"};
    if (same.count(n) != 0) return plain();
    throw translate_error(name + "() with " + std::to_string(args.size()) + " argument(s) is not translated for " +
                          where + ".");
}

}  // namespace korvane::data::sql
