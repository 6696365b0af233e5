// SPDX-License-Identifier: Apache-2.0
#include "template/page_writer.h"

#include "template/read_up_to.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace korvane {

namespace {

constexpr std::string_view temporary_prefix = ".korvane-";
constexpr std::string_view temporary_suffix = ".tmp";
constexpr std::size_t temporary_random = 12;
constexpr std::string_view temporary_digits = "0123456789abcdefghijklmnopqrstuv";

std::string reason(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

// True when the regular file at path holds exactly bytes.
bool file_holds(const std::string& path, std::string_view bytes, std::string& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    buffer.resize(bytes.size() + 1);  // one more byte: a file that grew is different
    const ssize_t used = read_up_to(fd, buffer.data(), buffer.size());
    ::close(fd);
    return used >= 0 && static_cast<std::size_t>(used) == bytes.size() &&
           std::string_view(buffer.data(), bytes.size()) == bytes;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A fresh hidden name in folder, of the one pattern stray files are known by.
void temporary_name(const std::string& folder, std::string& path) {
    static std::atomic<std::uint64_t> counter{0};
    static const pid_t process_id = ::getpid();
    std::uint64_t x = static_cast<std::uint64_t>(
                          std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (static_cast<std::uint64_t>(process_id) << 40) ^
                      (counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL);
    // splitmix64 finaliser: neighbouring inputs give unrelated names
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    path.assign(folder);
    path += '/';
    path += temporary_prefix;
    for (std::size_t i = 0; i < temporary_random; ++i, x >>= 5) path += temporary_digits[x & 31];
    path += temporary_suffix;
}

// Creates a new, empty file under a fresh temporary name, with the given mode
// so that the kernel applies the umask exactly as for any new file.
int create_temporary(const std::string& folder, mode_t mode, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_name(folder, path);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool is_temporary_name(std::string_view name) {
    if (name.size() != temporary_prefix.size() + temporary_random + temporary_suffix.size() ||
        !name.starts_with(temporary_prefix) || !name.ends_with(temporary_suffix)) {
        return false;
    }
    const std::string_view random = name.substr(temporary_prefix.size(), temporary_random);
    return random.find_first_not_of(temporary_digits) == std::string_view::npos;
}

// When the first page of this process began: temporary files older than
// that were left by a run that was killed.
const timespec& run_start() {
    static const timespec start = [] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return now;
    }();
    return start;
}

// Removes, once per folder and process, the temporary files a killed run
// left there: only names of our own pattern, only regular files, only
// those older than this run.
void remove_stray_temporaries(const std::string& folder) {
    static std::mutex mutex;
    static std::unordered_set<std::string> swept;
    const timespec& start = run_start();
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const int dir_fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!is_temporary_name(entry->d_name)) continue;
        struct stat info {};
        if (::fstatat(dir_fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        const bool older = info.st_mtim.tv_sec < start.tv_sec ||
                           (info.st_mtim.tv_sec == start.tv_sec &&
                            info.st_mtim.tv_nsec < start.tv_nsec);
        if (older) ::unlinkat(dir_fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

close_result failure(std::string_view what, int error_number, const std::string& path) {
    close_result result;
    result.status = close_status::failed;
    result.error.assign(what);
    result.error += " (" + reason(error_number) + "): " + path;
    return result;
}

std::string proc_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A folder with more names than this is not listed: the set would cost more
// memory than looking up each page's name costs time.
constexpr std::size_t max_listed_names = 65536;

// Set once linkat has refused a file by its descriptor alone (allowed only to
// privileged processes on older kernels): from then on it is named through
// /proc.
std::atomic<bool> link_by_descriptor_refused{false};

// Gives the file open as fd the name `name` in the folder open as folder_fd.
int link_descriptor(int fd, int folder_fd, const std::string& name) {
    if (!link_by_descriptor_refused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder_fd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL) return -1;
    }
    const std::string from = proc_path(fd);
    const int linked = ::linkat(AT_FDCWD, from.c_str(), folder_fd, name.c_str(), AT_SYMLINK_FOLLOW);
    if (linked == 0) link_by_descriptor_refused.store(true, std::memory_order_relaxed);
    return linked;
}

}  // namespace

page_writer::~page_writer() {
    if (anonymous_fd_ >= 0) ::close(anonymous_fd_);
    forget_folder();
}

void page_writer::forget_folder() {
    if (folder_fd_ >= 0) ::close(folder_fd_);
    folder_fd_ = -1;
    folder_path_.clear();
    listed_.clear();
    listed_complete_ = false;
}

bool page_writer::use_folder(const std::string& folder) {
    if (folder == folder_path_) return folder_fd_ >= 0;
    forget_folder();
    // Listed only from its second page on: a folder per page would pay for
    // the listing with nothing to gain from it.
    if (folder != previous_folder_) {
        previous_folder_ = folder;
        return false;
    }
    folder_path_ = folder;
    folder_fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd_ < 0) return false;
    const int list_fd = ::openat(folder_fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = list_fd < 0 ? nullptr : ::fdopendir(list_fd);
    if (dir == nullptr) {
        if (list_fd >= 0) ::close(list_fd);
        return true;  // not listed: every page looks its name up
    }
    listed_complete_ = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (listed_.size() == max_listed_names) {
            listed_.clear();
            listed_complete_ = false;
            break;
        }
        listed_.emplace(entry->d_name);
    }
    ::closedir(dir);
    return true;
}

bool page_writer::open(const std::string& filename, std::string& error) {
    error.clear();
    if (open_) {
        error = "An output file is already open: " + output_path_;
        return false;
    }
    if (filename.empty()) {
        error = "No output file name was given";
        return false;
    }
    run_start();

    const std::size_t slash = filename.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : filename.substr(0, slash);
    name_ = slash == std::string::npos ? filename : filename.substr(slash + 1);
    bytes_written_ = false;
    page_.clear();

    // Most pages of a run are new files in a folder of earlier pages: one
    // whose name its folder did not hold needs no look at its whole path.
    new_name_ = false;
    if (!name_.empty() && name_ != "." && name_ != ".." && use_folder(folder) &&
        listed_complete_ && !listed_.contains(name_)) {
        anonymous_fd_ = ::openat(folder_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (anonymous_fd_ >= 0) {
            remove_stray_temporaries(folder);
            output_path_ = filename;
            output_folder_ = std::move(folder);
            target_existed_ = false;
            new_name_ = true;
            open_ = true;
            return true;
        }
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            // No files without a name here: every page of the folder takes
            // the way below, without listing it again.
            listed_.clear();
            listed_complete_ = false;
        } else {
            forget_folder();  // gone or changed: looked up afresh below and next time
        }
    }

    // A symbolic link at the page's name is replaced by the page, as any
    // rename replaces it; the file it points to is never written.
    struct stat info {};
    const int found = ::lstat(filename.c_str(), &info);
    if (found == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "The name is a folder: " + filename;
            return false;
        }
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
            error = "The name is not an ordinary file: " + filename;
            return false;
        }
        // Judged by the mode bits, so that it holds for root as well.
        if (S_ISREG(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            error = "The file is read-only: " + filename;
            return false;
        }
    } else if (errno == EACCES) {
        error = "No permission to reach the folder: " + folder;
        return false;
    } else if (errno != ENOENT && errno != ENOTDIR) {
        error = "The file cannot be used (" + reason(errno) + "): " + filename;
        return false;
    }

    // The page is written into a file without a name in its folder, which
    // gets the page's name only once it is complete: a run killed at any
    // moment leaves nothing behind.
    anonymous_fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    int error_number = anonymous_fd_ < 0 ? errno : 0;
    if (anonymous_fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // No anonymous files here: a named temporary file at the close.
        struct stat folder_info {};
        error_number = 0;
        if (::stat(folder.c_str(), &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
            error_number = ENOENT;
        } else if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            error_number = errno;
        }
    }
    if (error_number != 0) {
        if (error_number == ENOENT || error_number == ENOTDIR) {
            error = "The folder does not exist: " + folder;
        } else if (error_number == EACCES || error_number == EPERM) {
            error = "No permission to write in the folder: " + folder;
        } else if (error_number == EROFS) {
            error = "The folder is on a read-only file system: " + folder;
        } else {
            error = "The folder cannot be written (" + reason(error_number) + "): " + folder;
        }
        return false;
    }

    remove_stray_temporaries(folder);
    output_path_ = filename;
    output_folder_ = std::move(folder);
    target_existed_ = found == 0;
    open_ = true;
    return true;
}

close_result page_writer::close() {
    if (!open_) return {};
    open_ = false;
    close_result result = new_name_ ? link_new_page() : write_page();
    page_.clear();
    if (anonymous_fd_ >= 0) {
        ::close(anonymous_fd_);
        anonymous_fd_ = -1;
    }
    return result;
}

close_result page_writer::link_new_page() {
    if (!write_all(anonymous_fd_, page_)) {
        return failure("The page could not be written", errno, output_path_);
    }
    bytes_written_ = true;
    if (link_descriptor(anonymous_fd_, folder_fd_, name_) == 0) {
        close_result result;
        result.status = close_status::written;
        return result;
    }
    // A name taken since the folder was listed (another process, or an
    // earlier row of this run) is a page to compare and replace; a folder
    // gone or replaced is looked up again by its path.
    const int error_number = errno;
    if (error_number != EEXIST && error_number != ENOENT) {
        return failure("The page could not be put in place", error_number, output_path_);
    }
    if (error_number == ENOENT) forget_folder();
    struct stat info {};
    target_existed_ = ::lstat(output_path_.c_str(), &info) == 0;
    if (target_existed_ && S_ISDIR(info.st_mode)) {
        return failure("The page could not be put in place", EISDIR, output_path_);
    }
    return write_page(target_existed_ ? &info : nullptr);
}

close_result page_writer::write_page(const struct stat* found) {
    // The page there now, as a plain file, may already hold these bytes.
    struct stat existing {};
    if (found) existing = *found;
    const bool regular = target_existed_ &&
                         (found || ::lstat(output_path_.c_str(), &existing) == 0) &&
                         S_ISREG(existing.st_mode);
    if (regular && static_cast<std::size_t>(existing.st_size) == page_.size() &&
        file_holds(output_path_, page_, compare_bytes_)) {
        close_result result;
        result.status = close_status::unchanged;
        return result;
    }

    int fd = anonymous_fd_;
    bool named = false;
    if (fd < 0) {
        fd = create_temporary(output_folder_, regular ? S_IRUSR | S_IWUSR : 0666, temporary_path_);
        if (fd < 0) {
            return failure("The temporary file could not be created", errno, output_folder_);
        }
        named = true;
    }
    auto give_up = [&](std::string_view what, int error_number) {
        if (named) {
            ::close(fd);
            ::unlink(temporary_path_.c_str());
        }
        return failure(what, error_number, output_path_);
    };
    if (!bytes_written_ && !write_all(fd, page_)) {
        return give_up("The page could not be written", errno);
    }
    if (regular) {
        // A replaced page keeps its owner and group where we may set them,
        // then its mode (a change of owner may clear set-id bits). Best
        // effort: some file systems have neither.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Neither owner nor group could be kept; the mode still is.
        }
        (void)::fchmod(fd, existing.st_mode & 07777);
    }
    if (named) {
        const int closed = ::close(fd);
        named = false;  // closed: give_up must not close it again
        if (closed != 0) {
            const int error_number = errno;
            ::unlink(temporary_path_.c_str());
            return failure("The page could not be written", error_number, output_path_);
        }
    } else {
        // A new page gets its name at once; a name taken meanwhile, or a page
        // to replace, goes through a temporary name renamed over it.
        const std::string from = proc_path(fd);
        if (!target_existed_ &&
            ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, output_path_.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
            close_result result;
            result.status = close_status::written;
            return result;
        }
        if (!target_existed_ && errno != EEXIST) {
            return failure("The page could not be put in place", errno, output_path_);
        }
        bool linked = false;
        for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
            temporary_name(output_folder_, temporary_path_);
            linked = ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, temporary_path_.c_str(),
                              AT_SYMLINK_FOLLOW) == 0;
            if (!linked && errno != EEXIST) break;
        }
        if (!linked) return failure("The page could not be put in place", errno, output_path_);
    }
    if (::rename(temporary_path_.c_str(), output_path_.c_str()) != 0) {
        const int error_number = errno;
        ::unlink(temporary_path_.c_str());
        return failure("The page could not be put in place", error_number, output_path_);
    }
    close_result result;
    result.status = close_status::written;
    return result;
}

}  // namespace korvane
