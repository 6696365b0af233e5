// SPDX-License-Identifier: Apache-2.0
#include "data/access/access_functions.h"

#include "data/access/access_text.h"
#include "data/access/function_table.h"
#include "data/access/mdb_reader.h"

#include <sqlite3.h>

#include <string_view>

namespace korvane::data::access {
namespace {

int collate_text(void*, int a_len, const void* a, int b_len, const void* b) {
    return compare_text(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(a_len)),
                        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(b_len)));
}

}  // namespace

bool register_access_functions(sqlite3* db, std::string& error) {
    for (const auto family : {operator_functions(), text_functions(), conversion_functions(), number_functions(),
                              date_functions(),
                              format_functions()}) {
        for (const scalar_def& def : family) {
            const int flags = SQLITE_UTF8 | (def.deterministic ? SQLITE_DETERMINISTIC : 0);
            for (int n = def.min_args; n <= def.max_args; ++n) {
                if (sqlite3_create_function_v2(db, def.name, n, flags, nullptr, def.f, nullptr, nullptr, nullptr) != SQLITE_OK) {
                    error = std::string("Cannot register the function ") + def.name + ": " + sqlite3_errmsg(db);
                    return false;
                }
            }
        }
    }
    for (const aggregate_def& def : aggregate_functions()) {
        if (sqlite3_create_function_v2(db, def.name, 1, SQLITE_UTF8, nullptr, nullptr, def.step, def.final, nullptr) != SQLITE_OK) {
            error = std::string("Cannot register the function ") + def.name + ": " + sqlite3_errmsg(db);
            return false;
        }
    }
    if (sqlite3_create_collation_v2(db, text_collation, SQLITE_UTF8, nullptr, collate_text, nullptr) != SQLITE_OK) {
        error = std::string("Cannot register the text collation: ") + sqlite3_errmsg(db);
        return false;
    }
    return true;
}

}  // namespace korvane::data::access
