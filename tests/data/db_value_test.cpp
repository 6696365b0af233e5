// SPDX-License-Identifier: Apache-2.0
#include "data/engine/db_value.h"

#include "../support/case_table.h"
#include "kind_names.h"

namespace korvane::data {
namespace {

db_value stored(const std::string& kind, const std::string& v) {
    if (kind == "null") return db_value::null_value();
    if (kind == "integer") return db_value::from_integer(std::stoll(v));
    if (kind == "boolean") return {value_kind::boolean, std::stoll(v), 0.0, {}};
    if (kind == "real") return db_value::from_real(std::stod(v));
    if (kind == "single") return db_value::from_single(std::stof(v));
    if (kind == "currency") return db_value::from_currency(std::stoll(v));
    for (int k = static_cast<int>(value_kind::decimal); k <= static_cast<int>(value_kind::binary); ++k) {
        if (kind == test::kind_name(static_cast<value_kind>(k))) return db_value::from_text(v, static_cast<value_kind>(k));
    }
    ADD_FAILURE() << "no kind " << kind;
    return db_value::null_value();
}

TEST(value_to_text, every_value_of_the_table) {
    for (const auto& row : test::read_case_table("data/db_value_cases.tsv", 3)) {
        EXPECT_EQ(value_to_text(stored(row[0], row[1])), row[2]) << row.where;
    }
}

}  // namespace
}  // namespace korvane::data
