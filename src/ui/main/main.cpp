// SPDX-License-Identifier: Apache-2.0
// korvane: the window program. Opens a settings file named on the command
// line and, with "/auto", generates its pages and ends after a count-down.
#include "korvane/version.h"
#include "ui/main/frm_main.h"
#include "ui/main/program_services.h"

#include <QApplication>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char* const usage =
    "usage: korvane [SETTINGS.kvn]\n"
    "       korvane /auto SETTINGS.kvn\n"
    "       korvane --help | --version\n"
    "\n"
    "Opens the window with the settings file shown. With /auto the pages are\n"
    "generated at once and the program ends five seconds after the run.\n"
    "For runs without a window, see korvane-cli.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window exists, so they need no display.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("korvane %s\n", korvane::version_text);
        return 0;
    }
    // As in korvane-cli: no process-wide lock on every SQLite allocation.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Korvane"));
        // Lets the desktop match the window to korvane.desktop and its icon.
        QApplication::setDesktopFileName(QStringLiteral("korvane"));
        QApplication::setQuitOnLastWindowClosed(false);
        korvane::ui::program_services program;
        korvane::ui::frm_main window(program.services());
        program.set_owner(&window);
        const QStringList arguments = QApplication::arguments().mid(1);
        // The start-up runs inside the event loop, so the end of an "/auto"
        // run reaches a loop that is running.
        QTimer::singleShot(0, &window, [&window, arguments] { window.start_up(arguments); });
        return QApplication::exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvane: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "korvane: an unexpected error ended the program\n");
    }
    return 1;
}
