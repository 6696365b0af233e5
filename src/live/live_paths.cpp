// SPDX-License-Identifier: Apache-2.0
#include "live/live_paths.h"

#include <sys/stat.h>

#include <filesystem>

namespace korvane::live {

std::string canonical_file(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    if (ec) return path;
    auto real = std::filesystem::weakly_canonical(full, ec);
    return ec ? full.lexically_normal().string() : real.string();
}

file_stamp stamp_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    file_stamp s;
    s.exists = true;
    s.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.size = static_cast<std::int64_t>(st.st_size);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    return s;
}

}  // namespace korvane::live
