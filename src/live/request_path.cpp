// SPDX-License-Identifier: Apache-2.0
#include "live/request_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace korvane::live {

QString planned_file_for_request(const QString& site_folder, const QByteArray& request_path) {
    // Decoded once: "%2e%2e" is "..", "%2f" a slash, and both are refused or
    // split below like their plain spellings.
    if (site_folder.isEmpty()) return {};  // not known yet: nothing is served
    const QByteArray decoded = QByteArray::fromPercentEncoding(request_path);
    if (decoded.contains('\\') || decoded.contains('\0') || !decoded.startsWith('/')) return {};
    const QString path = QString::fromUtf8(decoded);
    QStringList parts;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QStringLiteral("..")) return {};
        if (part != QStringLiteral(".")) parts << part;
    }
    QString file = site_folder;
    for (const QString& part : parts) file += u'/' + part;
    if (path.endsWith(u'/') || parts.isEmpty()) file += QStringLiteral("/index.html");
    return QDir::cleanPath(file);
}

QString file_for_request(const QString& site_folder, const QByteArray& request_path) {
    QString file = planned_file_for_request(site_folder, request_path);
    if (file.isEmpty()) return {};
    QFileInfo info(file);
    if (info.isDir()) info.setFile(file + QStringLiteral("/index.html"));
    if (!info.isFile()) return {};
    // Links are followed, and must end inside the folder.
    const QString real = info.canonicalFilePath();
    if (real.isEmpty() || !real.startsWith(site_folder + u'/')) return {};
    return real;
}

}  // namespace korvane::live
