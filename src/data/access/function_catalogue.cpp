// SPDX-License-Identifier: Apache-2.0
#include "data/access/function_catalogue.h"

#include "text/case_fold.h"

#include <map>

namespace korvane::data::access {
namespace {

const std::map<std::string, function_answer, std::less<>>& answered() {
    constexpr auto korvane = function_answer::acc_version;
    constexpr auto sqlite = function_answer::same_name;
    static const std::map<std::string, function_answer, std::less<>> names = {
        // text
        {"asc", korvane}, {"chr", korvane}, {"instr", korvane}, {"instrrev", korvane}, {"lcase", korvane},
        {"left", korvane}, {"len", korvane}, {"ltrim", korvane}, {"mid", korvane}, {"nz", korvane},
        {"replace", korvane}, {"right", korvane}, {"rtrim", korvane}, {"space", korvane}, {"strcomp", korvane},
        {"string", korvane}, {"strreverse", korvane}, {"trim", korvane}, {"ucase", korvane},
        // conversions, numbers and tests
        {"abs", korvane}, {"atn", korvane}, {"cbool", korvane}, {"cbyte", korvane}, {"ccur", korvane},
        {"cdate", korvane}, {"cdbl", korvane}, {"choose", korvane}, {"cint", korvane}, {"clng", korvane},
        {"cos", korvane}, {"csng", korvane}, {"cstr", korvane}, {"cvar", korvane}, {"cvdate", korvane},
        {"exp", korvane}, {"fix", korvane}, {"hex", korvane}, {"int", korvane}, {"isdate", korvane},
        {"isnull", korvane}, {"isnumeric", korvane}, {"log", korvane}, {"oct", korvane}, {"round", korvane},
        {"sgn", korvane}, {"sin", korvane}, {"sqr", korvane}, {"str", korvane}, {"switch", korvane},
        {"tan", korvane}, {"val", korvane},
        // dates and Format
        {"date", korvane}, {"dateadd", korvane}, {"datediff", korvane}, {"datepart", korvane},
        {"dateserial", korvane}, {"datevalue", korvane}, {"day", korvane}, {"format", korvane},
        {"hour", korvane}, {"minute", korvane}, {"month", korvane}, {"monthname", korvane}, {"now", korvane},
        {"second", korvane}, {"time", korvane}, {"timeserial", korvane}, {"timevalue", korvane},
        {"weekday", korvane}, {"weekdayname", korvane}, {"year", korvane},
        // aggregates; Sum under its own name is Korvane's, exact over Currency
        {"first", korvane}, {"last", korvane}, {"stdev", korvane}, {"stdevp", korvane}, {"var", korvane},
        {"varp", korvane}, {"sum", sqlite}, {"avg", sqlite}, {"count", sqlite}, {"min", sqlite}, {"max", sqlite},
        // SQLite's IIf takes its branch on the same truth as Access
        {"iif", sqlite},
    };
    return names;
}

const std::map<std::string, std::string, std::less<>>& refused() {
    static const std::string domain =
        " is a domain aggregate, which only Microsoft Access can answer; a subquery gives the same value.";
    static const std::string inside = " works only inside Microsoft Access.";
    static const std::string regional =
        " depends on the regional settings of the Windows computer that runs Access; use Format with a format text.";
    static const std::map<std::string, std::string, std::less<>> names = {
        {"davg", domain}, {"dcount", domain}, {"dfirst", domain}, {"dlast", domain}, {"dlookup", domain},
        {"dmax", domain}, {"dmin", domain}, {"dstdev", domain}, {"dstdevp", domain}, {"dsum", domain},
        {"dvar", domain}, {"dvarp", domain},
        {"eval", inside}, {"currentuser", inside}, {"environ", inside}, {"typename", inside},
        {"vartype", inside}, {"isempty", inside}, {"iserror", inside}, {"isobject", inside}, {"curdir", inside},
        {"dir", inside}, {"shell", inside}, {"command", inside},
        {"formatcurrency", regional}, {"formatdatetime", regional}, {"formatnumber", regional},
        {"formatpercent", regional}, {"strconv", regional},
        {"rnd", " gives Access's own sequence of random numbers, which Korvane cannot repeat."},
        {"timer", " counts seconds on the computer that runs Access."},
        {"cdec", " needs Access's Decimal type, which Korvane reads as text."},
        {"partition", " is not available in Korvane."},
    };
    return names;
}

}  // namespace

function_support access_function(std::string_view name) {
    const std::string lower = text::lower_ascii(name);
    if (auto it = answered().find(lower); it != answered().end()) return {it->second, {}};
    if (auto it = refused().find(lower); it != refused().end()) {
        return {function_answer::refused, "The function " + std::string(name) + it->second};
    }
    return {function_answer::refused, "Undefined function '" + std::string(name) + "' in expression."};
}

std::vector<std::string> accepted_access_functions() {
    std::vector<std::string> out;
    for (const auto& [name, answer] : answered()) out.push_back(name);
    return out;
}

}  // namespace korvane::data::access
