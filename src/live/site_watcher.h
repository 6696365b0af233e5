// SPDX-License-Identifier: Apache-2.0
// Watches the sources of a site (settings file, templates, database file) and
// reports, once edits have settled, what changed. Folders are watched too: an
// editor that saves by writing a new file and renaming it over the old one
// leaves no file for a file watch to follow.
#pragma once

#include "live/live_paths.h"
#include "live/site_rebuild.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

namespace korvane::live {

class site_watcher final : public QObject {
public:
    using changed_function = std::function<void(const change_set&)>;

    site_watcher(int settle_ms, changed_function changed);

    // The files to watch from now on, each with the stamp it had when the
    // rebuild read it: a file saved since then is reported at once.
    void watch(const stamp_map& sources, const std::string& settings_file,
               const std::string& database_file);
    // Compares every watched file with its stamp now (the watch's events
    // only say when to look).
    void check_now();

private:
    void schedule();
    void refresh_watches();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    changed_function changed_;
    stamp_map known_;
    std::string settings_file_, database_file_;
};

}  // namespace korvane::live
