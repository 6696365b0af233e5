#include "cli/cli_options.h"

#include "text/calendar.h"

#include <charconv>
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

std::optional<cli_options> parse_command_line(const std::vector<std::string>& args,
                                              std::string& error) {
    cli_options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h" || a == "--version") {
            cli_options only;
            only.what = a == "--version" ? command::version : command::help;
            return only;
        }
        if (a == "--quiet" || a == "-q") {
            options.quiet = true;
        } else if (a == "--report") {
            if (!value(options.report_file)) return std::nullopt;
        } else if (a == "--status-log") {
            if (!value(options.status_log_file)) return std::nullopt;
        } else if (a == "--jobs" || a == "-j") {
            std::string text;
            if (!value(text)) return std::nullopt;
            const auto n = whole_number(text);
            if (!n || *n < 1 || *n > 256) {
                error = "--jobs takes a whole number from 1 to 256, not '" + text + "'";
                return std::nullopt;
            }
            options.jobs = static_cast<unsigned>(*n);
        } else if (a == "--now") {
            std::string text;
            if (!value(text)) return std::nullopt;
            options.now = parse_timestamp(text);
            if (!options.now) {
                error = "--now takes a date and time as YYYY-MM-DDTHH:MM:SS, not '" + text + "'";
                return std::nullopt;
            }
        } else if (a == "--poll" || a == "--port") {
            std::string text;
            if (!value(text)) return std::nullopt;
            const auto n = whole_number(text);
            const int most = a == "--poll" ? 86400 : 65535;
            if (!n || *n < (a == "--poll" ? 1 : 0) || *n > most) {
                error = a + " takes a whole number up to " + std::to_string(most) + ", not '" +
                        text + "'";
                return std::nullopt;
            }
            (a == "--poll" ? options.poll_seconds : options.port) = *n;
        } else if (a == "--bind") {
            if (!value(options.bind_address)) return std::nullopt;
        } else if (a == "--open") {
            options.open_browser = true;
        } else if (a == "--no-row-limit") {
            options.no_row_limit = true;
        } else if (a == "--sql-dialect") {
            if (!value(options.sql_dialect)) return std::nullopt;
            if (options.sql_dialect != "access" && options.sql_dialect != "native") {
                error = "--sql-dialect takes access or native, not '" + options.sql_dialect + "'";
                return std::nullopt;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        error = "say what to do: generate, check, watch or serve";
        return std::nullopt;
    }
    if (positional[0] == "generate") {
        options.what = command::generate;
    } else if (positional[0] == "check") {
        options.what = command::check;
    } else if (positional[0] == "watch") {
        options.what = command::watch;
    } else if (positional[0] == "serve") {
        options.what = command::serve;
    } else {
        error = "unknown command '" + positional[0] + "' (use generate, check, watch or serve)";
        return std::nullopt;
    }
    if (positional.size() != 2) {
        error = positional.size() < 2 ? "name the settings file (.kvn)"
                                      : "one settings file at a time, please";
        return std::nullopt;
    }
    options.settings_file = positional[1];
    return options;
}

const char* usage_text() {
    return "usage: korvane-cli generate SETTINGS.kvn [options]\n"
           "       korvane-cli check SETTINGS.kvn\n"
           "       korvane-cli watch SETTINGS.kvn [--poll SECONDS]\n"
           "       korvane-cli serve SETTINGS.kvn [--port 8000] [--bind 127.0.0.1] [--open]\n"
           "\n"
           "generate  writes one page per row of the main result, as the window's\n"
           "          Run > Generate pages does; the error report goes to standard error\n"
           "check     finds template mistakes the generator passes over in silence\n"
           "watch     generates, then generates again whenever the settings file, a\n"
           "          template or the database file changes, until Ctrl+C\n"
           "serve     watch, and serves the pages on a local web server; open tabs\n"
           "          reload when their page is rewritten\n"
           "\n"
           "options of generate:\n"
           "  --quiet, -q          report only the lines of problems; no progress line\n"
           "  --report FILE        also write the whole error report to FILE\n"
           "  --status-log FILE    write every status text of the run to FILE\n"
           "  --jobs N, -j N       render pages on N threads (default: one per core)\n"
           "  --now YYYY-MM-DDTHH:MM:SS  the date and time TODAYS DATE tags show\n"
           "  --no-row-limit       lift the 32767-row limit of the main result\n"
           "  --sql-dialect native send SQL to an ODBC source unchanged (default access:\n"
           "                       Access SQL translated to the source's own dialect)\n"
           "  --help, --version\n"
           "\n"
           "options of watch and serve (and --now, --no-row-limit):\n"
           "  --poll SECONDS       an ODBC source cannot be watched: generate again\n"
           "                       every SECONDS (default: never)\n"
           "  --port N             serve on port N (default 8000; 0 takes a free port)\n"
           "  --bind ADDRESS       listen on ADDRESS (default 127.0.0.1, this machine only)\n"
           "  --open               open the first row's page in the browser\n"
           "\n"
           "exit status: 0 all pages written, nothing reported; 1 problems reported;\n"
           "2 usage error; 3 settings file unreadable; 4 database not opened;\n"
           "130/143 interrupted\n";
}

}  // namespace korvane::cli
