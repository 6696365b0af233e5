// SPDX-License-Identifier: Apache-2.0
// An in-memory stand-in for a database: each SQL text it knows gives a fixed
// result; any other text fails the way bad SQL does. It records every
// statement it is asked to run.
#pragma once

#include "data/engine/database.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace korvane::test {

struct fake_table {
    std::vector<std::string> names;
    std::vector<std::vector<data::db_value>> rows;
};

inline data::db_value text(std::string v) { return data::db_value::from_text(std::move(v)); }
inline data::db_value number(std::int64_t v) { return data::db_value::from_integer(v); }
inline data::db_value null() { return data::db_value::null_value(); }

inline std::unique_ptr<data::record_set> make_record_set(const fake_table& table) {
    auto result = std::make_unique<data::record_set>(table.names);
    for (const auto& row : table.rows) result->add_row(row);
    return result;
}

class fake_database final : public data::database {
public:
    // Shared with the test after the run took ownership of the database.
    struct book {
        std::map<std::string, fake_table> results;
        std::vector<std::string> statements;
    };

    explicit fake_database(book& shared) : book_(shared) {}

    std::unique_ptr<data::record_set> open_record_set(const std::string& sql,
                                                      std::string& error) override {
        book_.statements.push_back(sql);
        const auto found = book_.results.find(sql);
        if (found == book_.results.end()) {
            error = "no such statement";
            return nullptr;
        }
        return make_record_set(found->second);
    }
    bool table_names(std::vector<std::string>&, std::string&) override { return true; }
    bool query_names(std::vector<std::string>&, std::string&) override { return true; }
    bool close(std::string&) override { return true; }

private:
    book& book_;
};

}  // namespace korvane::test
