// SPDX-License-Identifier: Apache-2.0
// The kinds of value by the names the case tables use.
#pragma once

#include "data/engine/db_value.h"

#include <string>

namespace korvane::test {

inline std::string kind_name(data::value_kind kind) {
    static const char* const names[] = {"null",    "integer", "boolean", "real",      "single", "currency",
                                        "decimal", "date",    "time",    "date_time", "text",   "binary"};
    return names[static_cast<int>(kind)];
}

}  // namespace korvane::test
