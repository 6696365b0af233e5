// SPDX-License-Identifier: Apache-2.0
// Times a run from the main window as the menu starts it, on the window's
// own status label, error list and event pump, for comparison with
// `korvane-cli generate --jobs 1` on the same settings. Not installed.
//   korvane_window_bench SETTINGS.kvn [RUNS [EVENT_INTERVAL_MS]]
#include "generator/page_generator.h"
#include "ui/main/frm_main.h"
#include "ui/support/qt_ports.h"

#include <QFileInfo>

#include <QApplication>
#include <QElapsedTimer>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace korvane;
using namespace korvane::ui;

namespace {

// Processor time of this process: steadier than the clock on a shared machine.
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: korvane_window_bench SETTINGS.kvn [RUNS [EVENT_INTERVAL_MS]]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    message_box_adapter messages(nullptr);
    main_services services;
    services.messages = &messages;
    if (argc > 3) services.run_event_interval_ms = std::atoi(argv[3]);
    frm_main window(services);
    window.show();
    if (window.process_command_line({QString::fromLocal8Bit(argv[1])}) != 1) return 1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        double cpu = cpu_seconds();
        window.generate_pages();
        const double window_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double window_cpu = cpu_seconds() - cpu;
        // The same run without a window: no label, no list, no event loop.
        generator::run_options options;
        options.base_folder =
            QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath().toStdString();
        null_status_port status;
        memory_error_list errors;
        clock.restart();
        cpu = cpu_seconds();
        generator::page_generator(options).start_page_generator(status, errors,
                                                                window.current_settings());
        const double plain_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double plain_cpu = cpu_seconds() - cpu;
        std::printf(
            "run %d: window %.3f s (cpu %.3f s), without a window %.3f s (cpu %.3f s): "
            "cpu %+.1f%%\n",
            i + 1, window_seconds, window_cpu, plain_seconds, plain_cpu,
            100.0 * (window_cpu / plain_cpu - 1));
    }
    return 0;
}
