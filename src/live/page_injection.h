// SPDX-License-Identifier: Apache-2.0
// What the server adds to HTML pages as it serves them (never to the files):
// the script that reloads the tab when its page is rewritten, and for a page
// with problems an overlay listing the report's lines.
#pragma once

#include <QByteArray>

#include <string>
#include <vector>

namespace korvane::live {

// The path the script listens on for rebuilds.
inline constexpr char events_path[] = "/__korvane/events";

// The script, as inserted; a test takes it out again to compare with the file.
QByteArray reload_script();

// The overlay for a page's report lines (escaped as text).
QByteArray problem_overlay(const std::vector<std::string>& lines);

// The page with the additions before its last "</body>" (any case), or at
// its end when it has none.
QByteArray inject_into_page(const QByteArray& page, const QByteArray& additions);

}  // namespace korvane::live
