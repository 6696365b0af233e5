// SPDX-License-Identifier: Apache-2.0
#include "cli/watch_command.h"

#include "cli/json_report.h"
#include "cli/standard_output.h"
#include "data/settings.h"
#include "generator/page_generator.h"
#include "live/live_site.h"
#include "live/site_server.h"
#include "live/url_opener.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

namespace korvane::cli {
namespace {

// The signal handler only writes the signal's number into a socket the event
// loop reads, so the loop ends between rebuilds' rows, never inside a page.
int signal_pipe[2] = {-1, -1};
// Raised too, for a rebuild reading a database file when the signal comes.
stop_source signal_stop;

extern "C" void on_signal(int number) {
    signal_stop.request_stop();
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto n = ::write(signal_pipe[1], &byte, 1);
}

// The desktop's browser, as a terminal program reaches it.
class xdg_opener final : public live::url_opener {
public:
    bool open_url(const QUrl& url) override {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
    }
};

generator::clock_function clock_for(const cli_options& options) {
    if (!options.now) return {};
    const local_time t = *options.now;
    return [t] { return generator::local_date_time{t.year, t.month, t.day, t.hour, t.minute, t.second}; };
}

}  // namespace

int watch_command(const cli_options& options) {
    GenerationSettings settings;
    if (read_settings_file(settings, options.settings_file) < 0) {
        std::fprintf(stderr, "korvane-cli: cannot read the settings file '%s'\n",
                     options.settings_file.c_str());
        return exit_settings_unreadable;
    }
    const bool serving = options.what == command::serve;
    live::live_options live_options;
    live_options.settings_file = options.settings_file;
    live_options.poll_seconds = options.poll_seconds;
    live_options.row_limit = options.no_row_limit ? generator::no_row_limit : generator::classic_row_limit;
    live_options.clock = clock_for(options);
    live_options.stop = signal_stop.token();
    live::live_site site(live_options);

    std::unique_ptr<live::site_server> server;
    if (serving) {
        QHostAddress address;
        if (!address.setAddress(QString::fromStdString(options.bind_address))) {
            std::fprintf(stderr, "korvane-cli: --bind takes an IP address, not '%s'\n",
                         options.bind_address.c_str());
            return exit_usage;
        }
        server = std::make_unique<live::site_server>(
            [&site](const std::string& page) { return site.problems_of(page); });
        QString error;
        if (!server->start(address, static_cast<quint16>(options.port), error)) {
            std::fprintf(stderr, "korvane-cli: cannot serve on %s port %d: %s\n",
                         options.bind_address.c_str(), options.port, error.toLocal8Bit().constData());
            return exit_problems;
        }
        site.set_open_pages([&server] { return server->open_pages(); });
        site.on_pages_changed([&](const std::vector<std::string>& pages) {
            server->set_site_folder(site.site_folder());
            server->pages_changed(pages);
        });
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signal_pipe) != 0) {
        std::fprintf(stderr, "korvane-cli: cannot set up the Ctrl+C handling\n");
        return exit_problems;
    }
    int received = 0;
    QSocketNotifier notifier(signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        if (::read(signal_pipe[0], &byte, 1) == 1 && received == 0) received = byte;
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // Text lines for a person, or one JSON object per line for a program.
    const bool json = options.format == report_format::json;
    auto say = [json](const char* event, const QJsonObject& fields, const std::string& line) {
        if (!json) {
            std::printf("%s\n", line.c_str());
            return;
        }
        QJsonObject object = fields;
        object["event"] = QString::fromUtf8(event);
        std::fputs(json_line(object).c_str(), stdout);
    };
    bool first = true;
    site.on_rebuilt([&](const live::rebuild_result& r, const live::change_set& changes) {
        const std::string changed = first ? "generated" : changes.describe();
        if (json) {
            const rebuild_summary summary{changed, r.written, r.unchanged, r.with_problems, r.seconds};
            std::fputs(watch_json_line(summary, r.run_report, r.problems).c_str(), stdout);
        } else {
            for (const auto& line : r.report) std::fprintf(stderr, "%s\n", line.c_str());
            std::printf("%s: %lld pages written, %lld left unchanged, %lld with problems, %.2f s\n",
                        changed.c_str(), static_cast<long long>(r.written),
                        static_cast<long long>(r.unchanged), static_cast<long long>(r.with_problems),
                        r.seconds);
        }
        if (first && r.odbc && options.poll_seconds == 0) {
            const char* note = "an ODBC data source cannot be watched; the pages follow its data "
                               "only with --poll SECONDS. The settings and templates are watched.";
            say("note", {{"message", note}}, std::string("note: ") + note);
        }
        if (server) {
            server->set_site_folder(r.site_folder);
            if (first) {
                const QString address = server->address_text();
                say("serving",
                    {{"site_folder", QString::fromStdString(r.site_folder)}, {"address", address}},
                    "serving " + r.site_folder + " at " + address.toStdString());
                const QString page = server->url_of(r.first_page);
                if (options.open_browser && !page.isEmpty()) {
                    xdg_opener opener;
                    if (!opener.open_url(QUrl(page))) {
                        std::fprintf(stderr, "korvane-cli: no browser could be started; open %s\n",
                                     page.toLocal8Bit().constData());
                    }
                }
            }
        }
        if (first) {
            say("watching", {{"settings_file", QString::fromStdString(options.settings_file)}},
                "watching " + options.settings_file + " (Ctrl+C stops)");
        }
        flush_standard_output();
        first = false;
    });
    site.start();
    QCoreApplication::exec();
    site.stop();
    server.reset();
    ::close(signal_pipe[0]);
    ::close(signal_pipe[1]);
    const int code = received == SIGTERM ? exit_terminated : exit_interrupted;
    if (json) say("stopped", {{"exit_status", code}}, "");
    return code;
}

}  // namespace korvane::cli
