// SPDX-License-Identifier: Apache-2.0
#include "cli/cli_options.h"

#include "text/calendar.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <tuple>
#include <cstdio>

namespace korvane::cli {
namespace {

std::optional<int> whole_number(const std::string& text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::pair<unsigned, unsigned>> parse_shard(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const auto k = whole_number(text.substr(0, slash));
    const auto n = whole_number(text.substr(slash + 1));
    if (!k || !n || *k < 0 || *n < 1 || *k >= *n) return std::nullopt;
    return std::pair{static_cast<unsigned>(*k), static_cast<unsigned>(*n)};
}

std::optional<local_time> parse_timestamp(const std::string& text) {
    // Exactly YYYY-MM-DDTHH:MM:SS.
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    auto part = [&](std::size_t at, std::size_t length) { return whole_number(text.substr(at, length)); };
    const auto y = part(0, 4), mo = part(5, 2), d = part(8, 2), h = part(11, 2), mi = part(14, 2),
               s = part(17, 2);
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    if (*y < 100 || *mo < 1 || *mo > 12 || *d < 1 || *d > korvane::text::days_in_month(*y, *mo) || *h > 23 ||
        *mi > 59 || *s > 59) {
        return std::nullopt;
    }
    return local_time{*y, *mo, *d, *h, *mi, *s};
}

namespace {

bool whole_number_option(const std::string& text, const char* name, int least, int most, int& out,
                         std::string& error) {
    const auto n = whole_number(text);
    if (!n || *n < least || *n > most) {
        error = std::string(name) + " takes a whole number from " + std::to_string(least) + " to " +
                std::to_string(most) + ", not '" + text + "'";
        return false;
    }
    out = *n;
    return true;
}

// Which commands take an option: one bit per command.
constexpr unsigned on_generate = 1u << 0;
constexpr unsigned on_check = 1u << 1;
constexpr unsigned on_watch = 1u << 2;
constexpr unsigned on_serve = 1u << 3;
constexpr unsigned on_live = on_watch | on_serve;

struct command_row {
    const char* name;
    command what;
    unsigned bit;
    const char* help;  // lines after the first indented by 10 blanks
};

constexpr command_row commands[] = {
    {"generate", command::generate, on_generate,
     "writes one page per row of the main result, as the window's\n"
     "Run > Generate pages does; the error report goes to standard error"},
    {"check", command::check, on_check,
     "finds template mistakes the generator passes over in silence,\n"
     "as compiler warnings on standard output"},
    {"watch", command::watch, on_watch,
     "generates, then generates again whenever the settings file, a\n"
     "template or the database file changes, until Ctrl+C"},
    {"serve", command::serve, on_serve,
     "watch, and serves the pages on a local web server; open tabs\n"
     "reload when their page is rewritten"},
};

// Sets the option's field from its value ("" for a switch); false with a
// reason when the value is not one the option takes.
using apply_function = bool (*)(cli_options&, const std::string& value, std::string& error);

struct option_row {
    const char* name;        // the long name, without "--"
    char short_name;         // 0: none
    const char* value_name;  // nullptr: a switch
    unsigned commands;
    const char* help;
    apply_function apply;
};

const option_row options_table[] = {
    {"quiet", 'q', nullptr, on_generate, "report only the lines of problems; no progress line",
     [](cli_options& o, const std::string&, std::string&) { return o.quiet = true; }},
    {"verbose", 'v', nullptr, on_generate, "one line on standard error for every page written",
     [](cli_options& o, const std::string&, std::string&) { return o.verbose = true; }},
    {"report", 0, "FILE", on_generate, "also write the whole error report to FILE",
     [](cli_options& o, const std::string& v, std::string&) {
         o.report_file = v;
         return true;
     }},
    {"status-log", 0, "FILE", on_generate, "write every status text of the run to FILE",
     [](cli_options& o, const std::string& v, std::string&) {
         o.status_log_file = v;
         return true;
     }},
    {"jobs", 'j', "N", on_generate, "render pages on N threads (default: one per idle core)",
     [](cli_options& o, const std::string& v, std::string& error) {
         int n = 0;
         if (!whole_number_option(v, "--jobs", 1, 256, n, error)) return false;
         o.jobs = static_cast<unsigned>(n);
         return true;
     }},
    {"now", 0, "YYYY-MM-DDTHH:MM:SS", on_generate | on_live, "the date and time TODAYS DATE tags show",
     [](cli_options& o, const std::string& v, std::string& error) {
         o.now = parse_timestamp(v);
         if (!o.now) error = "--now takes a date and time as YYYY-MM-DDTHH:MM:SS, not '" + v + "'";
         return o.now.has_value();
     }},
    {"no-row-limit", 0, nullptr, on_generate | on_check | on_live, "lift the 32767-row limit of the main result",
     [](cli_options& o, const std::string&, std::string&) { return o.no_row_limit = true; }},
    {"poll", 0, "SECONDS", on_live,
     "an ODBC source cannot be watched: generate again every SECONDS (default: never)",
     [](cli_options& o, const std::string& v, std::string& error) {
         return whole_number_option(v, "--poll", 1, 86400, o.poll_seconds, error);
     }},
    {"port", 0, "N", on_serve, "serve on port N (default 8000; 0 takes a free port)",
     [](cli_options& o, const std::string& v, std::string& error) {
         return whole_number_option(v, "--port", 0, 65535, o.port, error);
     }},
    {"bind", 0, "ADDRESS", on_serve, "listen on ADDRESS (default 127.0.0.1, this machine only)",
     [](cli_options& o, const std::string& v, std::string&) {
         o.bind_address = v;
         return true;
     }},
    {"open", 0, nullptr, on_serve, "open the first row's page in the browser",
     [](cli_options& o, const std::string&, std::string&) { return o.open_browser = true; }},
    {"format", 0, "FORMAT", on_generate | on_check | on_live,
     "text (default), or json: one JSON document on standard output (watch and serve: "
     "one JSON object per line for each event)",
     [](cli_options& o, const std::string& v, std::string& error) {
         if (v == "json") o.format = report_format::json;
         else if (v == "text") o.format = report_format::text;
         else error = "--format takes text or json, not '" + v + "'";
         return error.empty();
     }},
    {"shard", 0, "K/N", on_generate,
     "make only part K (0 to N-1) of N parts (also KORVANE_SHARD=K/N)",
     [](cli_options& o, const std::string& v, std::string& error) {
         const auto part = parse_shard(v);
         if (!part) error = "--shard takes K/N, part K (from 0) of N parts, not '" + v + "'";
         else std::tie(o.shard_index, o.shard_count) = *part;
         return part.has_value();
     }},
    {"no-wait", 0, nullptr, on_generate,
     "end at once (status 5) if another run writes to the output folder",
     [](cli_options& o, const std::string&, std::string&) { return o.no_wait = true; }},
    {"confine", 0, nullptr, on_generate | on_check,
     "refuse rows whose template or page lies outside its folder or behind a link",
     [](cli_options& o, const std::string&, std::string&) { return o.confine = true; }},
    {"sql-dialect", 0, "DIALECT", on_generate,
     "native: send SQL to an ODBC source unchanged (default access: translated)",
     [](cli_options& o, const std::string& v, std::string& error) {
         if (v != "access" && v != "native") error = "--sql-dialect takes access or native, not '" + v + "'";
         else o.sql_dialect = v;
         return error.empty();
     }},
    {"clean", 0, nullptr, on_generate,
     "delete the pages earlier runs wrote and this one did not",
     [](cli_options& o, const std::string&, std::string&) { return o.clean = true; }},
};

QStringList names_of(const option_row& row) {
    QStringList names{QString::fromLatin1(row.name)};
    if (row.short_name) names.prepend(QString(QLatin1Char(row.short_name)));
    return names;
}

}  // namespace

std::optional<cli_options> parse_command_line(const std::vector<std::string>& args,
                                              std::string& error) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help_option(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version_option(QStringLiteral("version"));
    parser.addOption(help_option);
    parser.addOption(version_option);
    for (const auto& row : options_table) {
        parser.addOption(row.value_name ? QCommandLineOption(names_of(row), QString(),
                                                             QString::fromLatin1(row.value_name))
                                        : QCommandLineOption(names_of(row)));
    }
    QStringList argv{QStringLiteral("korvane-cli")};
    for (const auto& a : args) argv.append(QString::fromLocal8Bit(a.c_str()));
    const bool parsed = parser.parse(argv);
    // Help and version win over everything else, mistakes included.
    if (parser.isSet(help_option) || parser.isSet(version_option)) {
        cli_options only;
        only.what = parser.isSet(help_option) ? command::help : command::version;
        return only;
    }
    if (!parsed) {
        error = parser.errorText().toStdString();
        return std::nullopt;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        error = "say what to do: generate, check, watch or serve";
        return std::nullopt;
    }
    const command_row* chosen = nullptr;
    for (const auto& c : commands) {
        if (positional[0] == QLatin1String(c.name)) chosen = &c;
    }
    if (!chosen) {
        error = "unknown command '" + positional[0].toStdString() +
                "' (use generate, check, watch or serve)";
        return std::nullopt;
    }
    cli_options options;
    options.what = chosen->what;
    for (const auto& row : options_table) {
        const QString name = QString::fromLatin1(row.name);
        if (!parser.isSet(name)) continue;
        if (!(row.commands & chosen->bit)) {
            error = std::string("--") + row.name + " is not an option of " + chosen->name;
            return std::nullopt;
        }
        if (!row.apply(options, parser.value(name).toStdString(), error)) return std::nullopt;
    }
    if (positional.size() != 2) {
        error = positional.size() < 2 ? "name the settings file (.kvn)"
                                      : "one settings file at a time, please";
        return std::nullopt;
    }
    options.settings_file = positional[1].toLocal8Bit().toStdString();
    return options;
}

std::string usage_text() {
    std::string text;
    for (const auto& c : commands) {
        text += text.empty() ? "usage: " : "       ";
        text += std::string("korvane-cli ") + c.name + " SETTINGS.kvn [options]\n";
    }
    text += "       korvane-cli --help | --version\n";
    for (const auto& c : commands) {
        std::string help = c.help;
        for (std::size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1)) {
            help.insert(at + 1, 10, ' ');
        }
        text += "\n" + (std::string(c.name) + "          ").substr(0, 10) + help + "\n";
        text += "  options:\n";
        for (const auto& row : options_table) {
            if (!(row.commands & c.bit)) continue;
            std::string names = "    ";
            if (row.short_name) names += std::string("-") + row.short_name + ", ";
            names += std::string("--") + row.name;
            if (row.value_name) names += std::string(" ") + row.value_name;
            names.resize(std::max<std::size_t>(names.size() + 2, 30), ' ');
            text += names + row.help + "\n";
        }
    }
    text +=
        "\nSettings files named with a leading '-' follow '--'.\n"
        "\nexit status: 0 all pages written, nothing reported; 1 problems reported\n"
        "(the run failed, or a page had a problem); 2 usage error; 3 settings file\n"
        "unreadable; 4 database not opened; 5 another run writes to the output folder\n"
        "(--no-wait); 130/143 interrupted\n";
    return text;
}

}  // namespace korvane::cli
