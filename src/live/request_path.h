// SPDX-License-Identifier: Apache-2.0
// Which file of the site a request names. A request never reaches outside the
// site folder: ".." in any spelling, backslashes and links leading out name
// no file.
#pragma once

#include <QByteArray>
#include <QString>

namespace korvane::live {

// The canonical file inside site_folder (itself canonical) that the request
// path (as sent, percent-encoded, without the query) names; a folder names
// its index.html. Empty when there is no such file or the path is refused.
QString file_for_request(const QString& site_folder, const QByteArray& request_path);

// The file name a request path would have inside the folder, whether or not
// it exists; empty when refused. Pages that could not be made are known by it.
QString planned_file_for_request(const QString& site_folder, const QByteArray& request_path);

}  // namespace korvane::live
