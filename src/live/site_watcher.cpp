// SPDX-License-Identifier: Apache-2.0
#include "live/site_watcher.h"

#include <QStringList>

#include <filesystem>
#include <set>

namespace korvane::live {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// SQLite in write-ahead mode writes there first; a change of either is a
// change of the data.
bool is_database_side_file(const std::string& path, const std::string& database) {
    return !database.empty() && (path == database + "-wal" || path == database + "-journal");
}

}  // namespace

site_watcher::site_watcher(int settle_ms, changed_function changed)
    : changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(settle_ms);
    connect(&settle_, &QTimer::timeout, this, &site_watcher::check_now);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &site_watcher::schedule);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &site_watcher::schedule);
}

void site_watcher::schedule() { settle_.start(); }

void site_watcher::watch(const stamp_map& sources, const std::string& settings_file,
                         const std::string& database_file) {
    settings_file_ = settings_file;
    database_file_ = database_file;
    stamp_map next;
    for (const auto& [path, stamp] : sources) {
        auto old = known_.find(path);
        next[path] = old != known_.end() ? old->second : stamp;
    }
    if (!database_file.empty()) {
        for (const char* side : {"-wal", "-journal"}) {
            const std::string path = database_file + side;
            auto old = known_.find(path);
            next[path] = old != known_.end() ? old->second : stamp_of(path);
        }
    }
    known_ = std::move(next);
    refresh_watches();
    check_now();
}

void site_watcher::refresh_watches() {
    std::set<QString> wanted;
    for (const auto& [path, stamp] : known_) {
        if (stamp_of(path).exists) wanted.insert(q(path));
        const auto folder = std::filesystem::path(path).parent_path().string();
        if (!folder.empty()) wanted.insert(q(folder));
    }
    QStringList gone, added;
    for (const QString& p : watcher_.files() + watcher_.directories()) {
        if (!wanted.count(p)) gone << p;
    }
    const QStringList current = watcher_.files() + watcher_.directories();
    for (const QString& p : wanted) {
        if (!current.contains(p)) added << p;
    }
    if (!gone.isEmpty()) watcher_.removePaths(gone);
    // A path that is missing now is found again through its folder's watch.
    if (!added.isEmpty()) watcher_.addPaths(added);
}

void site_watcher::check_now() {
    change_set changes;
    for (auto& [path, stamp] : known_) {
        const file_stamp now = stamp_of(path);
        if (now == stamp) continue;
        stamp = now;
        if (path == settings_file_) {
            changes.settings = true;
        } else if (path == database_file_ || is_database_side_file(path, database_file_)) {
            changes.data = true;
        } else {
            changes.templates.insert(path);
        }
    }
    // A file replaced by a rename is a new file: watch it again.
    refresh_watches();
    if (!changes.empty()) changed_(changes);
}

}  // namespace korvane::live
