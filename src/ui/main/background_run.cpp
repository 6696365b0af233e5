// SPDX-License-Identifier: Apache-2.0
#include "ui/main/background_run.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <exception>
#include <memory>
#include <mutex>

namespace korvane::ui {
namespace {

// The run's side of the hand-over: everything it reports lands here.
class shared_feed final : public status_port, public error_list_target {
public:
    void set_status(const std::string& text) override {
        const std::lock_guard lock(mutex_);
        feed_.status = text;
        feed_.status_changed = true;
    }
    void clear() override {
        const std::lock_guard lock(mutex_);
        feed_.lines.clear();
        feed_.cleared = true;
    }
    void add_line(const std::string& line) override {
        const std::lock_guard lock(mutex_);
        feed_.lines.push_back(line);
    }
    void progress(std::int64_t row, std::int64_t count) {
        const std::lock_guard lock(mutex_);
        feed_.row = row;
        feed_.count = count;
    }
    // What came since the last take; the progress stays.
    run_feed take() {
        const std::lock_guard lock(mutex_);
        run_feed out = std::move(feed_);
        feed_ = {};
        feed_.row = out.row;
        feed_.count = out.count;
        return out;
    }

private:
    std::mutex mutex_;
    run_feed feed_;
};

// A message from the run: shown by the window's thread, after the report
// lines that came before it; the run waits for the answer.
class messages_via_window final : public message_port {
public:
    messages_via_window(const background_run_hooks& hooks, shared_feed& feed)
        : hooks_(hooks), feed_(feed) {}
    void show_message(const std::string& caption, const std::string& text,
                      message_icon icon) override {
        if (!hooks_.messages) return;
        QMetaObject::invokeMethod(
            hooks_.gui,
            [&] {
                if (hooks_.show) hooks_.show(feed_.take());
                hooks_.messages->show_message(caption, text, icon);
            },
            Qt::BlockingQueuedConnection);
    }

private:
    const background_run_hooks& hooks_;
    shared_feed& feed_;
};

}  // namespace

int run_percent(std::int64_t row, std::int64_t count) {
    if (count < 1 || row < 0) return 0;
    // As the status line: row / count * 100 in double precision, halves to
    // the even neighbour.
    const double percent =
        std::nearbyint(static_cast<double>(row) / static_cast<double>(count) * 100.0);
    return percent > 100.0 ? 100 : static_cast<int>(percent);
}

void run_in_background(const generator::run_options& options, const run_body& run,
                       const background_run_hooks& hooks) {
    shared_feed feed;
    messages_via_window messages(hooks, feed);
    null_event_pump no_events;
    generator::run_options worker_options = options;
    worker_options.messages = &messages;
    worker_options.events = &no_events;
    worker_options.progress = [&feed](std::int64_t row, std::int64_t count) {
        feed.progress(row, count);
    };

    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            run(worker_options, feed, feed);
        } catch (const std::exception& e) {
            feed.add_line(std::string("The run ended early: ") + e.what());
            feed.add_line("");
        } catch (...) {
            feed.add_line("The run ended early.");
            feed.add_line("");
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer beat;
    beat.setInterval(hooks.beat_ms);
    QObject::connect(&beat, &QTimer::timeout, &loop, [&] {
        if (hooks.show) hooks.show(feed.take());
    });
    beat.start();
    worker->start();
    loop.exec();
    worker->wait();
    if (hooks.show) hooks.show(feed.take());
}

}  // namespace korvane::ui
