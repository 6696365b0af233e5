// SPDX-License-Identifier: Apache-2.0
// Opens an address in the desktop's browser: the desktop's own service in the
// programs, a recorder in the tests.
#pragma once

#include <QUrl>

namespace korvane::live {

class url_opener {
public:
    virtual ~url_opener() = default;
    // False when no browser could be started.
    virtual bool open_url(const QUrl& url) = 0;
};

}  // namespace korvane::live
