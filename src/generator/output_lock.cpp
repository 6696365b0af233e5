// SPDX-License-Identifier: Apache-2.0
#include "generator/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

namespace korvane::generator {

output_lock::~output_lock() { release(); }

void output_lock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the only descriptor releases the lock
    fd_ = -1;
}

lock_outcome output_lock::acquire(const std::string& folder, bool wait,
                                  const std::function<bool()>& should_stop,
                                  const std::function<void()>& on_wait, std::string& error) {
    release();
    error.clear();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return lock_outcome::no_folder;
    const std::string path = folder + "/" + output_lock_name;
    // O_NOFOLLOW: the lock file is never a link planted to make us create a
    // file elsewhere.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        // A folder we may not write in gets no lock; its pages will fail and say so.
        if (errno == EACCES || errno == EROFS || errno == EPERM) return lock_outcome::no_folder;
        error = std::error_code(errno, std::generic_category()).message() + ": " + path;
        return lock_outcome::failed;
    }
    bool told = false;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return lock_outcome::locked;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            error = std::error_code(errno, std::generic_category()).message() + ": " + path;
            ::close(fd);
            return lock_outcome::failed;
        }
        if (!wait) {
            ::close(fd);
            return lock_outcome::busy;
        }
        if (!told && on_wait) on_wait();
        told = true;
        if (should_stop && should_stop()) {
            ::close(fd);
            return lock_outcome::stopped;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::string output_folder_of(const std::string& generated_path, const std::string& base_folder) {
    std::string folder;
    const std::size_t slash = generated_path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
    } else if (slash == 0) {
        return "/";
    } else {
        folder = generated_path.substr(0, slash);
    }
    if (folder.front() == '/' || base_folder.empty()) return folder;
    return folder == "." ? base_folder : base_folder + "/" + folder;
}

}  // namespace korvane::generator
