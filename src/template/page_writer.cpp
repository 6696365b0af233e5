// SPDX-License-Identifier: Apache-2.0
#include "template/page_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <system_error>

namespace korvane {

namespace {

std::string reason(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

// True when the regular file at path, of the given size, holds exactly bytes.
bool file_holds(const std::string& path, std::string_view bytes, std::string& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    buffer.resize(bytes.size() + 1);  // one more byte: a file that grew is different
    std::size_t used = 0;
    bool ok = true;
    while (used < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok && used == bytes.size() && std::string_view(buffer.data(), used) == bytes;
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

// Creates a new, empty file in folder under a fresh hidden name, as mkstemp
// does, but with the given mode, so that the kernel applies the umask (and a
// default ACL of the folder) exactly as for any new file.
int create_temporary(const std::string& folder, mode_t mode, std::string& path) {
    static std::atomic<std::uint64_t> counter{0};
    static const pid_t process_id = ::getpid();
    constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuv";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t x = static_cast<std::uint64_t>(
                              std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          (static_cast<std::uint64_t>(process_id) << 40) ^
                          (counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL);
        // splitmix64 finaliser: neighbouring inputs give unrelated names
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        x ^= x >> 31;
        path.assign(folder);
        path += "/.korvane-";
        for (int i = 0; i < 12; ++i, x >>= 5) path += digits[x & 31];
        path += ".tmp";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

close_result failure(std::string_view what, int error_number, const std::string& path) {
    close_result result;
    result.status = close_status::failed;
    result.error.assign(what);
    result.error += " (" + reason(error_number) + "): " + path;
    return result;
}

}  // namespace

page_writer::~page_writer() {
    if (new_page_fd_ < 0) return;
    ::close(new_page_fd_);
    ::unlink(output_path_.c_str());
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

    // A page that is not there is created as any program creates a file, with
    // the mode any new file gets; where that fails, the checks below say why.
    // Only an existing page (or a link) needs them, and a temporary file.
    new_page_fd_ = ::open(filename.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (new_page_fd_ >= 0) {
        output_path_ = filename;
        target_existed_ = false;
        page_.clear();
        open_ = true;
        return true;
    }

    // A symbolic link stays a link: the file it points to is replaced.
    std::string target = filename;
    struct stat info {};
    int found = ::lstat(filename.c_str(), &info);
    if (found == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(filename.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
        found = ::stat(target.c_str(), &info);
    }
    const std::size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : target.substr(0, slash);

    if (found == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "The name is a folder: " + target;
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            error = "The name is not an ordinary file: " + target;
            return false;
        }
        // Judged by the mode bits, so that it holds for root as well.
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            error = "The file is read-only: " + target;
            return false;
        }
    } else if (errno == ENOENT || errno == ENOTDIR) {
        struct stat folder_info {};
        if (::stat(folder.c_str(), &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
            error = "The folder does not exist: " + folder;
            return false;
        }
    } else if (errno == EACCES) {
        error = "No permission to reach the folder: " + folder;
        return false;
    } else {
        error = "The file cannot be used (" + reason(errno) + "): " + target;
        return false;
    }

    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        if (errno == EACCES || errno == EPERM) {
            error = "No permission to write in the folder: " + folder;
        } else if (errno == EROFS) {
            error = "The folder is on a read-only file system: " + folder;
        } else {
            error = "The folder cannot be written (" + reason(errno) + "): " + folder;
        }
        return false;
    }

    output_path_ = std::move(target);
    output_folder_ = std::move(folder);
    target_existed_ = found == 0;
    page_.clear();
    open_ = true;
    return true;
}

close_result page_writer::close() {
    if (!open_) return {};
    open_ = false;
    close_result result = new_page_fd_ >= 0 ? write_new_page() : write_page();
    page_.clear();
    return result;
}

close_result page_writer::write_new_page() {
    const int fd = new_page_fd_;
    new_page_fd_ = -1;
    int error_number = 0;
    if (!write_all(fd, page_)) error_number = errno;
    // A page whose name went away meanwhile (its folder removed) is lost.
    struct stat written {};
    if (error_number == 0 && ::fstat(fd, &written) == 0 && written.st_nlink == 0) {
        error_number = ENOENT;
    }
    if (::close(fd) != 0 && error_number == 0) error_number = errno;
    if (error_number != 0) {
        // The file is ours since the open: no page is left half-written.
        ::unlink(output_path_.c_str());
        return failure("The page could not be written", error_number, output_path_);
    }
    close_result result;
    result.status = close_status::written;
    return result;
}

close_result page_writer::write_page() {
    // A page that was not there at the open is new: nothing to compare with
    // (one that appeared since is replaced whole, like any other).
    struct stat existing {};
    const bool exists = target_existed_ && ::stat(output_path_.c_str(), &existing) == 0;
    if (exists && S_ISREG(existing.st_mode) &&
        static_cast<std::size_t>(existing.st_size) == page_.size() &&
        file_holds(output_path_, page_, compare_bytes_)) {
        close_result result;
        result.status = close_status::unchanged;
        return result;
    }

    // A new page gets the mode any new file gets; a replaced one keeps its mode.
    const int fd =
        create_temporary(output_folder_, exists ? S_IRUSR | S_IWUSR : 0666, temporary_path_);
    if (fd < 0) return failure("The temporary file could not be created", errno, output_folder_);

    int error_number = 0;
    std::string_view what;
    if (!write_all(fd, page_)) {
        error_number = errno;
        what = "The page could not be written";
    }
    if (exists) {
        // Best effort: some file systems have no modes to set.
        (void)::fchmod(fd, existing.st_mode & 07777);
    }
    if (::close(fd) != 0 && error_number == 0) {
        error_number = errno;
        what = "The page could not be written";
    }
    if (error_number == 0 && ::rename(temporary_path_.c_str(), output_path_.c_str()) != 0) {
        error_number = errno;
        what = "The page could not be put in place";
    }
    if (error_number != 0) {
        ::unlink(temporary_path_.c_str());
        return failure(what, error_number, output_path_);
    }
    close_result result;
    result.status = close_status::written;
    return result;
}

}  // namespace korvane
