// SPDX-License-Identifier: Apache-2.0
// The wizard's page states over every case of its pages (wizard_model.tsv).
#include "ui/wizard/wizard_model.h"

#include "support/case_table.h"

namespace korvane::ui {
namespace {

wizard_inputs inputs_from(const std::string& text) {
    wizard_inputs in;
    test::for_each_word(text, [&](const std::string& key, int value) {
        if (key == "step") in.step = value;
        else if (key == "option") in.main_option = value;
        else if (key == "dsn") in.dsn = true;
        else if (key == "name") in.database_name_text = true;
        else if (key == "odbc") in.odbc_dsn_text = true;
        else if (key == "table") in.table_chosen = true;
        else if (key == "query") in.query_chosen = true;
        else if (key == "sql") in.sql_text = true;
        else if (key == "tmpl") in.template_field_chosen = true;
        else if (key == "gen") in.generated_field_chosen = true;
        else ADD_FAILURE() << "unknown input " << key;
    });
    return in;
}

std::string on(const wizard_state& s) {
    if (!s.known_step) return "unknown";
    return test::names_set(
        {{"previous", s.previous},          {"next", s.next},
         {"finish", s.finish},              {"default", s.finish_default},
         {"txt_database_name", s.database_name}, {"txt_odbc_dsn", s.odbc_dsn},
         {"lst_db_table", s.table_list},    {"lst_db_query", s.query_list},
         {"txt_db_sql", s.sql_box},         {"txt_field_tmp", s.template_path},
         {"txt_field_gen", s.generated_path}});
}

TEST(wizard_model, each_page_enables_what_its_choices_allow) {
    for (const auto& row : test::read_case_table("ui/wizard/wizard_model.tsv", 4)) {
        SCOPED_TRACE(row.where);
        const wizard_state state = wizard_state_for(inputs_from(row[0]));
        EXPECT_EQ(on(state), row[1]);
        EXPECT_EQ(state.focus.empty() ? "-" : state.focus, row[2]);
        EXPECT_EQ(state.take_fields ? "take" : "-", row[3]);
    }
}

}  // namespace
}  // namespace korvane::ui
