// SPDX-License-Identifier: Apache-2.0
#include "generator/date_text.h"

#include "text/calendar.h"
#include "text/case_fold.h"

#include <array>
#include <ctime>
#include <vector>

namespace korvane::generator {
namespace {

constexpr std::array<const char*, 7> day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> month_names = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

using text::day_of_week;

int day_of_year(int year, int month, int day) {
    return text::day_of_year(year, month < 1 ? 1 : (month > 12 ? 12 : month), day);
}

void append_number(std::string& out, int value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) out += '-';
    for (int i = static_cast<int>(digits.size()); i < width; ++i) out += '0';
    out += digits;
}

enum class part {
    literal, day, week_day, week, month, minute, quarter, day_of_year, year_short, year_long,
    hour, second, general, time, am_pm,
};

struct token {
    part kind;
    int width = 0;            // how many letters (d..dddddd, m..mmmm, h/hh, n/nn, s/ss)
    std::string_view text{};  // a literal, or the AM/PM marker as written
};

using text::starts_with_ascii_folded;
constexpr char folded(char c) { return text::ascii_lower(c); }

// Letters that repeat into longer forms, counted up to most (case folded).
int run_length(std::string_view text, std::size_t at, char lower, int most) {
    int n = 0;
    while (at + static_cast<std::size_t>(n) < text.size() && n < most &&
           folded(text[at + static_cast<std::size_t>(n)]) == lower) {
        ++n;
    }
    return n;
}

bool tokenise(std::string_view format, std::vector<token>& tokens, bool& twelve_hour) {
    std::size_t i = 0;
    bool after_hour = false;  // the nearest date or time letter or marker before was h or hh
    // Access documents the markers in these spellings only, and what it makes
    // of others (Am/Pm, A/p) it does not say: those make the format invalid.
    bool markers_documented = true;
    auto add = [&](part kind, int width, std::size_t length) {
        const std::string_view written = format.substr(i, length);
        if (kind == part::am_pm && written != "AM/PM" && written != "am/pm" && written != "AMPM" &&
            written != "ampm" && written != "A/P" && written != "a/p") {
            markers_documented = false;
        }
        tokens.push_back({kind, width, written});
        i += length;
        if (kind != part::literal) after_hour = kind == part::hour;  // an m after a marker is the month
    };
    while (i < format.size()) {
        const char c = format[i];
        if (c == '"') {
            const std::size_t close = format.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            tokens.push_back({part::literal, 0, format.substr(i + 1, close - i - 1)});
            i = close + 1;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= format.size()) return false;
            tokens.push_back({part::literal, 0, format.substr(i + 1, 1)});
            i += 2;
            continue;
        }
        if (starts_with_ascii_folded(format, i, "am/pm")) { twelve_hour = true; add(part::am_pm, 5, 5); continue; }
        if (starts_with_ascii_folded(format, i, "ampm")) { twelve_hour = true; add(part::am_pm, 4, 4); continue; }
        if (starts_with_ascii_folded(format, i, "a/p")) { twelve_hour = true; add(part::am_pm, 3, 3); continue; }
        if (c == 'c') { add(part::general, 1, 1); continue; }
        if (format.substr(i, 5) == "ttttt") { add(part::time, 5, 5); continue; }
        switch (folded(c)) {
            case 'd': { const int n = run_length(format, i, 'd', 6); add(part::day, n, static_cast<std::size_t>(n)); continue; }
            case 'w': {
                const int n = run_length(format, i, 'w', 2);
                add(n == 2 ? part::week : part::week_day, n, static_cast<std::size_t>(n));
                continue;
            }
            case 'm': {
                const int n = run_length(format, i, 'm', 4);
                add(n <= 2 && after_hour ? part::minute : part::month, n, static_cast<std::size_t>(n));
                continue;
            }
            case 'q': add(part::quarter, 1, 1); continue;
            case 'y': {
                const int n = run_length(format, i, 'y', 4);
                if (n == 4) add(part::year_long, 4, 4);
                else if (n >= 2) add(part::year_short, 2, 2);
                else add(part::day_of_year, 1, 1);
                continue;
            }
            case 'h': { const int n = run_length(format, i, 'h', 2); add(part::hour, n, static_cast<std::size_t>(n)); continue; }
            case 'n': { const int n = run_length(format, i, 'n', 2); add(part::minute, n, static_cast<std::size_t>(n)); continue; }
            case 's': { const int n = run_length(format, i, 's', 2); add(part::second, n, static_cast<std::size_t>(n)); continue; }
            default: add(part::literal, 0, 1); continue;
        }
    }
    return markers_documented;
}

void append_date(std::string& out, const local_date_time& t) {
    append_number(out, t.year, 4);
    out += '-';
    append_number(out, t.month, 2);
    out += '-';
    append_number(out, t.day, 2);
}

void append_time(std::string& out, const local_date_time& t) {
    append_number(out, t.hour, 2);
    out += ':';
    append_number(out, t.minute, 2);
    out += ':';
    append_number(out, t.second, 2);
}

const char* month_name(int month) {
    return month >= 1 && month <= 12 ? month_names[static_cast<std::size_t>(month - 1)] : "";
}

}  // namespace

local_date_time system_local_time() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (localtime_r(&now, &parts) == nullptr) return {};
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
            parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string date_text(std::string_view format, const local_date_time& now) {
    std::string out;
    if (format.empty()) {
        append_date(out, now);
        out += ' ';
        append_time(out, now);
        return out;
    }
    std::vector<token> tokens;
    bool twelve_hour = false;
    if (!tokenise(format, tokens, twelve_hour)) {
        return "Invalid date format, " + std::string(format);
    }
    const int week_day = day_of_week(now.year, now.month, now.day);
    const int year_day = day_of_year(now.year, now.month, now.day);
    const bool afternoon = now.hour >= 12;
    for (const token& t : tokens) {
        switch (t.kind) {
            case part::literal: out += t.text; break;
            case part::day:
                switch (t.width) {
                    case 1: append_number(out, now.day, 1); break;
                    case 2: append_number(out, now.day, 2); break;
                    case 3: out.append(day_names[static_cast<std::size_t>(week_day)], 3); break;
                    case 4: out += day_names[static_cast<std::size_t>(week_day)]; break;
                    case 5: append_date(out, now); break;
                    default:
                        out += day_names[static_cast<std::size_t>(week_day)];
                        out += ", ";
                        out += month_name(now.month);
                        out += ' ';
                        append_number(out, now.day, 1);
                        out += ", ";
                        append_number(out, now.year, 1);
                }
                break;
            case part::week_day: append_number(out, week_day + 1, 1); break;
            case part::week: {
                const int first = day_of_week(now.year, 1, 1);
                append_number(out, (year_day - 1 + first) / 7 + 1, 1);
                break;
            }
            case part::month:
                if (t.width <= 2) append_number(out, now.month, t.width);
                else if (t.width == 3) out.append(month_name(now.month), now.month >= 1 && now.month <= 12 ? 3 : 0);
                else out += month_name(now.month);
                break;
            case part::minute: append_number(out, now.minute, t.width); break;
            case part::quarter: append_number(out, (now.month - 1) / 3 + 1, 1); break;
            case part::day_of_year: append_number(out, year_day, 1); break;
            case part::year_short: append_number(out, now.year % 100, 2); break;
            case part::year_long: append_number(out, now.year, 4); break;
            case part::hour: {
                int hour = now.hour;
                if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
                append_number(out, hour, t.width);
                break;
            }
            case part::second: append_number(out, now.second, t.width); break;
            case part::general:
                append_date(out, now);
                out += ' ';
                append_time(out, now);
                break;
            case part::time: append_time(out, now); break;
            case part::am_pm:
                if (t.width == 5) out += t.text.substr(afternoon ? 3 : 0, 2);       // AM/PM
                else if (t.width == 4) out += afternoon ? "PM" : "AM";             // AMPM, ampm: the system's words
                else out += t.text[afternoon ? 2 : 0];                             // A/P
                break;
        }
    }
    return out;
}

}  // namespace korvane::generator
