// SPDX-License-Identifier: Apache-2.0
#include "ui/support/logo.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources of a static library are not registered by themselves.
static void register_logo_resource() { Q_INIT_RESOURCE(korvane_ui_support); }

namespace korvane::ui {

namespace {

const char* const logo_path = ":/korvane/images/korvane_logo.svg";

QSvgRenderer& renderer() {
    static QSvgRenderer* const logo = [] {
        register_logo_resource();
        return new QSvgRenderer(QString::fromLatin1(logo_path));
    }();
    return *logo;
}

}  // namespace

QPixmap korvane_logo(int size, qreal device_pixel_ratio) {
    const int pixels = qRound(size * device_pixel_ratio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer().render(&painter, QRectF(0, 0, pixels, pixels));
    painter.end();
    pixmap.setDevicePixelRatio(device_pixel_ratio);
    return pixmap;
}

QIcon korvane_icon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(korvane_logo(size));
    return icon;
}

}  // namespace korvane::ui
