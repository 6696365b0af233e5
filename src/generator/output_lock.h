// SPDX-License-Identifier: Apache-2.0
// One run at a time per output folder. A run holds an advisory lock (flock)
// on the file ".korvane.lock" in the folder its pages go to; a second run,
// from the command line or the window, waits for it or gives up at once.
// The lock goes with the process, so a run that is killed frees it.
#pragma once

#include <functional>
#include <string>

namespace korvane::generator {

inline constexpr const char* output_lock_name = ".korvane.lock";

enum class lock_outcome {
    locked,       // this run holds the folder
    no_folder,    // the folder is not there (yet): nothing to lock, the pages will say why
    busy,         // another run holds it and waiting was not wanted
    stopped,      // a stop was asked for while waiting
    failed,       // the lock file could not be made or locked (see error)
};

class output_lock {
public:
    output_lock() = default;
    ~output_lock();
    output_lock(const output_lock&) = delete;
    output_lock& operator=(const output_lock&) = delete;

    // Locks folder. While another run holds it: with wait, on_wait is called
    // once and the lock is tried again every tenth of a second until it is
    // free or should_stop says so; without, busy at once.
    lock_outcome acquire(const std::string& folder, bool wait,
                         const std::function<bool()>& should_stop,
                         const std::function<void()>& on_wait, std::string& error);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The folder a run's pages go to: the generated path up to its last "/"
// (the path names a folder and a prefix of the page names), taken from
// base_folder when relative.
std::string output_folder_of(const std::string& generated_path, const std::string& base_folder);

}  // namespace korvane::generator
