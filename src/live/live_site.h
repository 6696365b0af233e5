// SPDX-License-Identifier: Apache-2.0
// The edit loop of one site: generate, watch the sources, rebuild what
// changed on a thread of its own while the caller's event loop goes on
// (serving pages, painting a window). Edits that arrive during a rebuild
// stop it and are folded into the next one, so the last state wins and
// rebuilds never queue up.
#pragma once

#include "live/site_rebuild.h"
#include "live/site_watcher.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace korvane::live {

struct live_options {
    std::string settings_file;
    int settle_ms = 100;
    // An ODBC source cannot be watched: rebuild every this many seconds (0: never).
    int poll_seconds = 0;
    std::int64_t row_limit = 32767;
    generator::clock_function clock;
    // Ends a rebuild's reading of a database file (Ctrl+C while an Access
    // file is read); a newer edit does not.
    stop_token stop;
};

class live_site final : public QObject {
public:
    explicit live_site(live_options options);
    ~live_site() override;

    // The first build (every row), then the watch.
    void start();
    // Stops a rebuild after its current row and waits for it; nothing more
    // is built.
    void stop();

    // Called for the rebuild's rows to make first, on the loop's thread.
    void set_open_pages(std::function<std::set<std::string>()> open_pages) {
        open_pages_ = std::move(open_pages);
    }
    // On the loop's thread, with the pages whose bytes changed (or whose
    // problems did): first those open in a browser, then the rest.
    void on_pages_changed(std::function<void(const std::vector<std::string>&)> f) {
        pages_changed_ = std::move(f);
    }
    // After each rebuild that ran to its end, with what it did.
    void on_rebuilt(std::function<void(const rebuild_result&, const change_set&)> f) {
        rebuilt_ = std::move(f);
    }

    // A change seen by other means (a test). An edit stops a rebuild under
    // way; a poll (interrupt false) waits for it, or a slow source polled
    // often would never see a rebuild end.
    void request(const change_set& changes, bool interrupt = true);

    bool busy() const { return worker_.joinable(); }
    // Known after the first build.
    const std::string& site_folder() const { return site_folder_; }
    const std::string& first_page() const { return first_page_; }
    // The report lines of a page with problems; empty for a good page.
    std::vector<std::string> problems_of(const std::string& page) const;

private:
    void start_next();
    void finished(rebuild_result result, change_set changes);

    live_options options_;
    site_watcher watcher_;
    QTimer poll_;
    std::thread worker_;
    stop_source cancel_;
    change_set pending_;
    bool stopped_ = false;
    std::function<std::set<std::string>()> open_pages_;
    std::function<void(const std::vector<std::string>&)> pages_changed_;
    std::function<void(const rebuild_result&, const change_set&)> rebuilt_;
    std::map<std::string, std::vector<std::string>> problems_;
    std::string site_folder_, first_page_;
    row_table rows_;
    // Set while the object lives; posted results check it before touching it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace korvane::live
