// SPDX-License-Identifier: Apache-2.0
// Times the Access backend: opening Northwind.mdb and listing its tables
// (which loads every user table and the stored queries), and the load cost
// per Access row. Usage: access_bench [file.mdb] [runs]
#include "data/access/access_database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : std::string(KORVANE_TESTDATA_DIR) + "/access/Northwind.mdb";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;

    std::vector<double> open_ms;
    std::size_t rows = 0, tables = 0;
    for (int i = 0; i < runs; ++i) {
        std::string error;
        const auto start = clock_type::now();
        auto db = korvane::data::open_access_file(path, error);
        std::vector<std::string> names;
        if (!db || !db->table_names(names, error)) {
            std::printf("cannot open %s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
        open_ms.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
        if (i == 0) {
            // Count the rows that were loaded: the user tables.
            for (const auto& name : names) {
                if (name.rfind("MSys", 0) == 0) continue;
                auto rs = db->open_record_set("select count(*) from `" + name + "`", error);
                const auto* v = rs && rs->move_first() ? rs->value(0) : nullptr;
                if (v != nullptr) rows += static_cast<std::size_t>(v->integer);
                ++tables;
            }
        }
    }
    const double ms = median(open_ms);
    std::printf("file: %s\n", path.c_str());
    std::printf("runs: %d\n", runs);
    std::printf("user tables loaded: %zu, rows: %zu\n", tables, rows);
    std::printf("open and list tables, median: %.2f ms (min %.2f ms)\n", ms,
                *std::min_element(open_ms.begin(), open_ms.end()));
    if (rows > 0) std::printf("load cost per row (whole open / rows): %.2f us/row\n", ms * 1000.0 / static_cast<double>(rows));
    return 0;
}
