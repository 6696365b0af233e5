// Writes the documentation's pictures into the folder given on the command
// line, rendered offscreen: the main window with the example site loaded
// after a run (main_window.png), the splash (splash.png) and About
// (about.png). Not installed.
#include "ui/main/frm_main.h"
#include "ui/support/frm_about.h"
#include "ui/support/frm_splash.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>
#include <string>

using namespace korvane;
using namespace korvane::ui;

namespace {

// Nobody is there to answer: any message spoils the picture.
class failing_messages final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text, message_icon) override {
        throw std::runtime_error(caption + ": " + text);
    }
};

class no_desktop final : public desktop_port {
public:
    bool open_url(const QUrl&) override { return false; }
};

void save(QWidget& window, const QDir& folder, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) throw std::runtime_error("cannot write " + path.toStdString());
    std::printf("%s\n", path.toStdString().c_str());
}

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvane_screenshots FOLDER\n");
        return 2;
    }
    try {
        const QDir out(QString::fromLocal8Bit(argv[1]));
        QTemporaryDir scratch;
        const QString site = scratch.filePath("example");
        if (!scratch.isValid() || !copy_folder(KORVANE_EXAMPLE_DIR, site))
            throw std::runtime_error("cannot copy the example site");
        QDir::setCurrent(site);

        failing_messages messages;
        no_desktop desktop;
        main_services services;
        services.messages = &messages;
        services.desktop = &desktop;
        frm_main window(services);
        window.resize(680, 480);
        window.start_up({QStringLiteral("bookshop.kvn")});
        window.generate_pages();
        save(window, out, "main_window.png");
        window.hide();

        frm_splash splash(nullptr, 3600 * 1000);
        save(splash, out, "splash.png");
        splash.hide();

        frm_about about(desktop);
        save(about, out, "about.png");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvane_screenshots: %s\n", e.what());
        return 1;
    }
}
