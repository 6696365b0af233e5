// SPDX-License-Identifier: Apache-2.0
// A request to stop long work. Whoever runs the work owns a stop_source and
// raises it (a signal handler, the window's Stop button); the work is handed
// a stop_token and looks at it between steps: before each row, while it waits
// for a database file to be read. std::stop_source would do, but raising it
// is not safe inside a signal handler; raising this one is a lock-free store.
#pragma once

#include <atomic>

namespace korvane {

class stop_source;

// A view of a stop_source; a default token never asks to stop. Cheap to copy;
// the source must outlive every token taken from it.
class stop_token {
public:
    stop_token() = default;
    bool stop_requested() const noexcept {
        return flag_ != nullptr && flag_->load(std::memory_order_relaxed);
    }

private:
    friend class stop_source;
    explicit stop_token(const std::atomic<bool>* flag) : flag_(flag) {}
    const std::atomic<bool>* flag_ = nullptr;
};

class stop_source {
public:
    stop_source() = default;
    stop_source(const stop_source&) = delete;
    stop_source& operator=(const stop_source&) = delete;

    // Safe inside a signal handler.
    void request_stop() noexcept { flag_.store(true, std::memory_order_relaxed); }
    // For the next run of a window that stays open.
    void reset() noexcept { flag_.store(false, std::memory_order_relaxed); }
    bool stop_requested() const noexcept { return flag_.load(std::memory_order_relaxed); }
    stop_token token() const noexcept { return stop_token(&flag_); }

private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> flag_{false};
};

}  // namespace korvane
