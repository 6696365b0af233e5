// SPDX-License-Identifier: Apache-2.0
#include "ui/support/screenshot.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace korvane::ui::screenshot {

void failing_messages::show_message(const std::string& caption, const std::string& text,
                                    message_icon) {
    throw std::runtime_error(caption + ": " + text);
}

void save(QWidget& window, const QDir& folder, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) throw std::runtime_error("cannot write " + path.toStdString());
    std::printf("%s\n", path.toStdString().c_str());
}

int run(int argc, char** argv, int min_args, const char* usage,
        const std::function<void(char** argv)>& draw) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setCursorFlashTime(0);
    if (argc < min_args) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    try {
        draw(argv);
        return 0;
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.what());
        return 1;
    }
}

}  // namespace korvane::ui::screenshot
