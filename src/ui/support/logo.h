// SPDX-License-Identifier: Apache-2.0
// Korvane's logo, drawn from the SVG in the library's resources.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvane::ui {

// The logo as a square pixmap of size x size logical pixels, sharp on a
// screen with the given device pixel ratio.
QPixmap korvane_logo(int size, qreal device_pixel_ratio = 1.0);
// The logo as a window icon.
QIcon korvane_icon();

}  // namespace korvane::ui
