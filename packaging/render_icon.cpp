// SPDX-License-Identifier: Apache-2.0
// Renders the logo SVG as a square PNG of one size, for the icon theme's
// fixed-size folders: render_icon LOGO.svg OUT.png SIZE
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_icon LOGO.svg OUT.png SIZE\n");
        return 2;
    }
    // Text in the logo needs fonts, which need an application; no display does.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    try {
        QGuiApplication app(argc, argv);
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[3]).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            std::fprintf(stderr, "render_icon: the size must be from 1 to 4096, not '%s'\n", argv[3]);
            return 2;
        }
        QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
        if (!renderer.isValid()) {
            std::fprintf(stderr, "render_icon: cannot read the SVG file '%s'\n", argv[1]);
            return 1;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            // A logo that is not square is centred, keeping its proportions.
            QSizeF box = renderer.viewBoxF().size();
            if (box.isEmpty()) box = QSizeF(renderer.defaultSize());
            box.scale(size, size, Qt::KeepAspectRatio);
            const QRectF target((size - box.width()) / 2, (size - box.height()) / 2, box.width(),
                                box.height());
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, target);
        }
        if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write '%s'\n", argv[2]);
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "render_icon: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "render_icon: an unexpected error\n");
    }
    return 1;
}
