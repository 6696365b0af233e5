// SPDX-License-Identifier: Apache-2.0
// One name per file, so a page the rebuild wrote, a page a browser asked for
// and a file the watcher saw compare equal however they were spelt.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace korvane::live {

// The absolute path with links and "." / ".." resolved as far as the path
// exists; the rest is kept as written.
std::string canonical_file(const std::string& path);

// What a file looked like when last seen: a save (in place or by renaming a
// new file over it) changes at least one of these.
struct file_stamp {
    bool exists = false;
    std::int64_t mtime_ns = 0;
    std::int64_t size = 0;
    std::uint64_t inode = 0;
    bool operator==(const file_stamp&) const = default;
};

file_stamp stamp_of(const std::string& path);

using stamp_map = std::map<std::string, file_stamp>;

}  // namespace korvane::live
