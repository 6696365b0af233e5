// SPDX-License-Identifier: Apache-2.0
// The core's texts are UTF-8 std::strings; the widgets' are QStrings.
#pragma once

#include <QString>

#include <string>

namespace korvane::ui {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }
inline std::string ss(const QString& text) { return text.toStdString(); }

}  // namespace korvane::ui
