// SPDX-License-Identifier: Apache-2.0
#include "generator/shard.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvane::generator {

bool page_in_shard(std::string_view page_name, shard part) {
    if (part.count <= 1) return true;
    const std::string name =
        std::filesystem::path(page_name).lexically_normal().generic_string();
    // FNV-1a: written out, since std::hash may differ between builds.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash % part.count == part.index;
}

}  // namespace korvane::generator
