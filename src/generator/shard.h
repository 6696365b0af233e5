// SPDX-License-Identifier: Apache-2.0
// A run split over machines: shard K of N makes only the rows whose page name
// falls in it. The name is the output file as the settings name it (generated
// path and field value, before any base folder), so every machine puts a row
// in the same shard, and rows writing one file stay together.
#pragma once

#include <string_view>

namespace korvane::generator {

struct shard {
    unsigned index = 0;  // 0 to count - 1
    unsigned count = 1;  // 1: the whole run
};

// A stable hash of the name ("." and ".." gone), the same on every machine
// and build, taken modulo the count.
bool page_in_shard(std::string_view page_name, shard part);

}  // namespace korvane::generator
