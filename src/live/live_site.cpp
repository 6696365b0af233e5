// SPDX-License-Identifier: Apache-2.0
#include "live/live_site.h"

#include <QMetaObject>

#include <algorithm>

namespace korvane::live {

live_site::live_site(live_options options)
    : options_(std::move(options)),
      watcher_(options_.settle_ms, [this](const change_set& c) { request(c); }) {
    connect(&poll_, &QTimer::timeout, this, [this] {
        change_set c;
        c.data = true;
        request(c, false);
    });
}

live_site::~live_site() {
    *alive_ = false;
    stop();
}

void live_site::start() {
    stopped_ = false;
    change_set everything;
    everything.settings = true;
    request(everything);
}

void live_site::stop() {
    stopped_ = true;
    poll_.stop();
    cancel_.request_stop();
    if (worker_.joinable()) worker_.join();
}

void live_site::request(const change_set& changes, bool interrupt) {
    if (stopped_) return;
    pending_.merge(changes);
    // A rebuild under way is out of date: it stops at its next row and the
    // rows it did not reach are in the next one.
    if (worker_.joinable()) {
        if (interrupt) cancel_.request_stop();
        return;
    }
    start_next();
}

std::vector<std::string> live_site::problems_of(const std::string& page) const {
    auto found = problems_.find(page);
    return found == problems_.end() ? std::vector<std::string>{} : found->second;
}

void live_site::start_next() {
    if (pending_.empty() || stopped_ || worker_.joinable()) return;
    rebuild_request r;
    r.settings_file = options_.settings_file;
    r.changes = std::move(pending_);
    pending_ = {};
    if (open_pages_) r.first_pages = open_pages_();
    r.cancel = cancel_.token();
    r.row_limit = options_.row_limit;
    r.clock = options_.clock;
    r.stop = options_.stop;
    r.known_rows = rows_;
    cancel_.reset();
    std::weak_ptr<bool> alive = alive_;
    worker_ = std::thread([this, r, alive] {
        auto post = [this, alive](auto f) {
            QMetaObject::invokeMethod(
                this,
                [alive, f = std::move(f)]() mutable {
                    if (auto a = alive.lock(); a && *a) f();
                },
                Qt::QueuedConnection);
        };
        rebuild_result result = run_rebuild(r, [&](const std::vector<std::string>& written) {
            post([this, written] {
                if (pages_changed_ && !written.empty()) pages_changed_(written);
            });
        });
        post([this, result = std::move(result), changes = r.changes]() mutable {
            finished(std::move(result), std::move(changes));
        });
    });
}

void live_site::finished(rebuild_result result, change_set changes) {
    if (worker_.joinable()) worker_.join();
    // The rows a stopped rebuild did not reach still wait: its changes go
    // round again with the newer ones.
    if (result.cancelled) pending_.merge(changes);
    rows_ = result.database_opened ? result.rows : nullptr;
    if (result.settings_read) {
        site_folder_ = result.site_folder;
        if (!result.first_page.empty()) first_page_ = result.first_page;
    }
    // Pages told about early are not told again; pages whose problems come
    // or go are told too: their overlay changed.
    std::vector<std::string> changed(
        result.written_pages.begin() +
            static_cast<std::ptrdiff_t>(std::min(result.written_early, result.written_pages.size())),
        result.written_pages.end());
    const std::set<std::string> written(result.written_pages.begin(), result.written_pages.end());
    for (const auto& page : result.pages_made) {
        auto old = problems_.find(page);
        auto now = result.problems.find(page);
        const bool was = old != problems_.end(), is = now != result.problems.end();
        if ((was != is || (was && old->second != now->second)) && !written.count(page)) {
            changed.push_back(page);
        }
        if (is) {
            problems_[page] = now->second;
        } else if (was) {
            problems_.erase(old);
        }
    }
    if (pages_changed_ && !changed.empty()) pages_changed_(changed);
    if (!result.cancelled && rebuilt_) rebuilt_(result, changes);
    if (stopped_) return;
    if (result.odbc && options_.poll_seconds > 0 && !poll_.isActive()) {
        poll_.start(options_.poll_seconds * 1000);
    }
    // Files saved while the rebuild ran are found here and rebuilt next.
    watcher_.watch(result.sources, canonical_file(options_.settings_file), result.database_file);
    start_next();
}

}  // namespace korvane::live
