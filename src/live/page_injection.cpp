// SPDX-License-Identifier: Apache-2.0
#include "live/page_injection.h"

#include <QString>

namespace korvane::live {

QByteArray reload_script() {
    // EventSource reconnects by itself when the server restarts; the server
    // sends "reload" only to tabs whose page was rewritten.
    return QByteArray(
               "<script data-korvane-live>(function(){var s=new EventSource('") +
           events_path +
           "?page='+encodeURIComponent(location.pathname));"
           "s.addEventListener('reload',function(){s.close();location.reload();});})();"
           "</script>";
}

QByteArray problem_overlay(const std::vector<std::string>& lines) {
    QByteArray text;
    for (const auto& line : lines) {
        text += QString::fromStdString(line).toHtmlEscaped().toUtf8() + '\n';
    }
    return "<div data-korvane-problems style=\"position:fixed;left:0;right:0;bottom:0;"
           "max-height:50%;overflow:auto;z-index:2147483647;margin:0;padding:1em;"
           "background:#fff3f3;color:#600;border-top:3px solid #c00;font:13px monospace\">"
           "<strong>Korvane: this page has problems</strong><pre style=\"margin:.5em 0 0\">" +
           text + "</pre></div>";
}

QByteArray inject_into_page(const QByteArray& page, const QByteArray& additions) {
    const QByteArray lower = page.toLower();
    const qsizetype at = lower.lastIndexOf("</body");
    if (at < 0) return page + additions;
    QByteArray out = page;
    out.insert(at, additions);
    return out;
}

}  // namespace korvane::live
