// SPDX-License-Identifier: Apache-2.0
// Writes the documentation's pictures into the folder given on the command
// line, rendered offscreen: the main window with the example site loaded
// after a run (main_window.png), the splash (splash.png) and About
// (about.png). Not installed.
#include "ui/main/frm_main.h"
#include "ui/support/frm_about.h"
#include "ui/support/frm_splash.h"
#include "ui/support/screenshot.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

using namespace korvane::ui;

namespace {

bool copy_folder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) return false;
    for (const QFileInfo& entry :
         QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + '/' + entry.fileName();
        if (entry.isDir() ? !copy_folder(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    return screenshot::run(argc, argv, 2, "korvane_screenshots FOLDER", [](char** args) {
        const QDir out(QString::fromLocal8Bit(args[1]));
        QTemporaryDir scratch;
        const QString site = scratch.filePath("example");
        if (!scratch.isValid() || !copy_folder(KORVANE_EXAMPLE_DIR, site))
            throw std::runtime_error("cannot copy the example site");
        QDir::setCurrent(site);

        screenshot::failing_messages messages;
        screenshot::no_desktop desktop;
        main_services services;
        services.messages = &messages;
        services.desktop = &desktop;
        frm_main window(services);
        window.resize(680, 480);
        window.start_up({QStringLiteral("bookshop.kvn")});
        window.generate_pages();
        screenshot::save(window, out, "main_window.png");
        window.hide();

        frm_splash splash(nullptr, 3600 * 1000);
        screenshot::save(splash, out, "splash.png");
        splash.hide();

        frm_about about(desktop);
        screenshot::save(about, out, "about.png");
    });
}
