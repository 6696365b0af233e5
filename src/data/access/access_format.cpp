// SPDX-License-Identifier: Apache-2.0
#include "data/access/access_format.h"

#include "data/access/access_dates.h"
#include "data/access/access_text.h"
#include "data/access/function_table.h"
#include "data/access/function_values.h"
#include "text/case_fold.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace korvane::data::access {
namespace {

std::vector<std::string> split_sections(const std::string& format) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '"') quoted = !quoted;
        if (c == '\\' && i + 1 < format.size()) {
            sections.back() += format.substr(i, 2);
            ++i;
            continue;
        }
        if (c == ';' && !quoted) {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

std::string group_thousands(const std::string& digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[i];
        if ((n - i - 1) % 3 == 0 && i + 1 < n) out += ',';
    }
    return out;
}

std::optional<std::string> format_number_section(double value, const std::string& section) {
    // Split into literal prefix, placeholder region and literal suffix.
    std::string prefix, suffix, int_part, frac_part;
    bool in_region = false, after_region = false, seen_point = false, percent = false, grouping = false;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        std::string literal;
        if (c == '"') {
            const std::size_t end = section.find('"', i + 1);
            literal = section.substr(i + 1, (end == std::string::npos ? section.size() : end) - i - 1);
            i = end == std::string::npos ? section.size() : end;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal = section.substr(++i, 1);
        } else if ((c == '0' || c == '#' || c == '.' || (c == ',' && in_region)) && !after_region) {
            in_region = true;
            if (c == '.') seen_point = true;
            else if (c == ',') grouping = true;
            else (seen_point ? frac_part : int_part) += c;
            continue;
        } else {
            if (c == '%') percent = true;
            literal = std::string(1, c);
        }
        if (in_region) after_region = true;
        (in_region ? suffix : prefix) += literal;
    }
    if (!in_region) return prefix;  // no digits at all: the literal text
    if (percent) value *= 100;
    std::size_t max_frac = frac_part.size();
    std::size_t min_frac = 0;
    for (char c : frac_part) {
        if (c == '0') ++min_frac;
    }
    std::size_t min_int = 0;
    for (char c : int_part) {
        if (c == '0') ++min_int;
    }
    const double rounded = std::fabs(value);
    char buf[400];
    const int len = std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(max_frac), rounded);
    if (len < 0 || static_cast<std::size_t>(len) >= sizeof buf) return std::nullopt;
    std::string text(buf, static_cast<std::size_t>(len));
    std::string whole = text.substr(0, text.find('.'));
    std::string frac = text.find('.') == std::string::npos ? "" : text.substr(text.find('.') + 1);
    while (frac.size() > min_frac && frac.back() == '0') frac.pop_back();
    if (whole == "0" && min_int == 0) whole.clear();
    while (whole.size() < min_int) whole.insert(0, "0");
    if (grouping) whole = group_thousands(whole);
    std::string out = whole;
    if (!frac.empty() || (seen_point && max_frac == 0 && false)) out += "." + frac;
    return prefix + out + suffix;
}


// The length of the AM/PM marker at format[at] in any capitals (AM/PM 5,
// AMPM 4, A/P 3), or 0.
std::size_t am_pm_marker(std::string_view format, std::size_t at) {
    for (const std::string_view marker : {"am/pm", "ampm", "a/p"}) {
        if (text::starts_with_ascii_folded(format, at, marker)) return marker.size();
    }
    return 0;
}

// Access documents the markers in these spellings only; what it makes of
// others (Am/Pm, A/p) it does not say, so those are refused.
bool markers_documented(std::string_view format) {
    static constexpr std::string_view documented[] = {"AM/PM", "am/pm", "AMPM", "ampm", "A/P", "a/p"};
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '"') {
            i = std::min(format.find('"', i + 1), format.size());
            continue;
        }
        if (format[i] == '\\') {
            ++i;
            continue;
        }
        if (const std::size_t n = am_pm_marker(format, i)) {
            if (std::find(std::begin(documented), std::end(documented), format.substr(i, n)) == std::end(documented)) {
                return false;
            }
            i += n - 1;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> format_number(double value, const std::string& format) {
    const std::string named = text::lower_ascii(format);
    if (named == "general number") return general_number(value);
    if (named == "currency") return format_number(value, "$#,##0.00;($#,##0.00)");
    if (named == "fixed") return format_number(value, "0.00");
    if (named == "standard") return format_number(value, "#,##0.00");
    if (named == "percent") return format_number(value, "0.00%");
    if (named == "scientific") {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2E", value);
        return std::string(buf);
    }
    if (named == "yes/no") return std::string(value != 0 ? "Yes" : "No");
    if (named == "true/false") return std::string(value != 0 ? "True" : "False");
    if (named == "on/off") return std::string(value != 0 ? "On" : "Off");
    const std::vector<std::string> sections = split_sections(format);
    // A format with date letters and no digit places is a date format.
    bool digits = false, date_letters = false;
    for (char c : sections[0]) {
        if (c == '0' || c == '#') digits = true;
        if (std::string_view("dmyhnswq").find(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))) != std::string_view::npos) date_letters = true;
    }
    if (!digits && date_letters) return std::nullopt;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) return format_number_section(-value, sections[1]);
    if (value == 0 && sections.size() > 2 && !sections[2].empty()) return format_number_section(0, sections[2]);
    auto out = format_number_section(value, sections[0]);
    if (out && value < 0) {
        // Only a non-zero shown value keeps its sign.
        bool nonzero = false;
        for (char c : *out) {
            if (c >= '1' && c <= '9') nonzero = true;
        }
        if (nonzero) out->insert(0, "-");
    }
    return out;
}

std::optional<std::string> format_date(double ole_date, const std::string& format) {
    auto parts = parts_from_ole(ole_date);
    if (!parts) return std::nullopt;
    const date_parts& p = *parts;
    const std::string named = text::lower_ascii(format);
    if (named == "general date" || named == "c") {
        const bool has_time = p.hour != 0 || p.minute != 0 || p.second != 0;
        const bool has_date = !(p.year == 1899 && p.month == 12 && p.day == 30);
        std::string out;
        if (has_date || !has_time) out = *format_date(ole_date, "m/d/yyyy");
        if (has_time) out += (out.empty() ? "" : " ") + *format_date(ole_date, "h:nn:ss AM/PM");
        return out;
    }
    if (named == "long date") return format_date(ole_date, "dddd, mmmm d, yyyy");
    if (named == "medium date") return format_date(ole_date, "dd-mmm-yy");
    if (named == "short date") return format_date(ole_date, "m/d/yyyy");
    if (named == "long time") return format_date(ole_date, "h:nn:ss AM/PM");
    if (named == "medium time") return format_date(ole_date, "hh:nn AM/PM");
    if (named == "short time") return format_date(ole_date, "hh:nn");

    bool twelve_hour = false;
    for (std::size_t i = 0; i < format.size(); ++i) twelve_hour = twelve_hour || am_pm_marker(format, i) != 0;
    const std::int64_t days = days_from_civil(p.year, p.month, p.day);
    auto two = [](int v) {
        char b[16];
        std::snprintf(b, sizeof b, "%02d", v);
        return std::string(b);
    };
    std::string out;
    bool after_hour = false;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"') {
            const std::size_t end = format.find('"', i + 1);
            out += format.substr(i + 1, (end == std::string::npos ? format.size() : end) - i - 1);
            i = end == std::string::npos ? format.size() : end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < format.size()) {
            out += format[i + 1];
            i += 2;
            continue;
        }
        if (const std::size_t n = am_pm_marker(format, i)) {
            const bool morning = p.hour < 12;
            if (n == 4) out += morning ? "AM" : "PM";  // AMPM: the system's words, English here
            else if (n == 5) out += format.substr(morning ? i : i + 3, 2);
            else out += format[morning ? i : i + 2];
            i += n;
            after_hour = false;  // an m after the marker is the month again
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && std::tolower(static_cast<unsigned char>(format[i + run])) == lc) ++run;
        const int hour = twelve_hour ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
        switch (lc) {
            case 'y':
                if (run == 1) out += std::to_string(day_of_year(p));
                else if (run == 2) out += two(p.year % 100);
                else out += std::to_string(p.year);
                break;
            case 'q': out += std::to_string((p.month - 1) / 3 + 1); break;
            case 'm':
                if (after_hour && run <= 2) out += run == 1 ? std::to_string(p.minute) : two(p.minute);
                else if (run == 1) out += std::to_string(p.month);
                else if (run == 2) out += two(p.month);
                else if (run == 3) out += std::string(month_name(p.month)).substr(0, 3);
                else out += month_name(p.month);
                break;
            case 'd':
                if (run == 1) out += std::to_string(p.day);
                else if (run == 2) out += two(p.day);
                else if (run == 3) out += std::string(day_name(weekday_of(days))).substr(0, 3);
                else if (run == 4) out += day_name(weekday_of(days));
                else if (run == 5) out += *format_date(ole_date, "m/d/yyyy");
                else out += *format_date(ole_date, "dddd, mmmm d, yyyy");
                break;
            case 'w':
                out += std::to_string(run == 1 ? weekday_of(days) : week_of_year(p, 1));
                break;
            case 'h': out += run == 1 ? std::to_string(hour) : two(hour); break;
            case 'n': out += run == 1 ? std::to_string(p.minute) : two(p.minute); break;
            case 's': out += run == 1 ? std::to_string(p.second) : two(p.second); break;
            default: out.append(run, c); break;
        }
        if (lc == 'h') after_hour = true;
        else if (std::isalpha(static_cast<unsigned char>(c))) after_hour = false;
        i += run;
    }
    return out;
}

namespace {

void fn_format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
    const std::string format = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL ? text_of(argv[1]) : "";
    if (format.empty()) return result_text(ctx, text_of(argv[0]));
    if (!markers_documented(format)) {
        return sqlite3_result_error(ctx, "Write the AM/PM marker of a Format as AM/PM, am/pm, A/P, a/p or AMPM.", -1);
    }
    std::optional<double> date;
    if (type == SQLITE_TEXT) date = stamp_value(value_text(argv[0]));
    std::optional<std::string> out;
    if (date) {
        out = format_date(*date, format);
    } else if (auto n = number_of(argv[0])) {
        out = format_number(*n, format);
        if (!out) out = format_date(*n, format);
    }
    if (!out) {
        // Text formats: ">" upper case, "<" lower case, otherwise unchanged.
        const std::string text = text_of(argv[0]);
        if (format.find('>') != std::string::npos) out = upper_text(text);
        else if (format.find('<') != std::string::npos) out = lower_text(text);
        else out = text;
    }
    result_text(ctx, *out);
}

}  // namespace

std::span<const scalar_def> format_functions() {
    static const scalar_def functions[] = {
        {"acc_format", 1, 2, fn_format},
    };
    return functions;
}

}  // namespace korvane::data::access
