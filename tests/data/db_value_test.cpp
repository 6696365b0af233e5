#include "data/engine/db_value.h"

#include "../support/case_table.h"

#include <gtest/gtest.h>

namespace korvane::data {
namespace {

db_value stored(const std::string& kind, const std::string& v) {
    if (kind == "null") return db_value::null_value();
    if (kind == "integer") return db_value::from_integer(std::stoll(v));
    if (kind == "boolean") return {value_kind::boolean, std::stoll(v), 0.0, {}};
    if (kind == "real") return db_value::from_real(std::stod(v));
    if (kind == "single") return db_value::from_single(std::stof(v));
    if (kind == "currency") return db_value::from_currency(std::stoll(v));
    const std::pair<const char*, value_kind> texts[] = {
        {"text", value_kind::text}, {"binary", value_kind::binary}, {"decimal", value_kind::decimal},
        {"date", value_kind::date}, {"time", value_kind::time},     {"date_time", value_kind::date_time}};
    for (const auto& [name, k] : texts) {
        if (kind == name) return db_value::from_text(v, k);
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
