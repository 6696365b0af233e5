// SPDX-License-Identifier: Apache-2.0
// The panel's control states over every row of the cascade (panel_model.tsv).
#include "ui/main/panel_model.h"

#include "support/case_table.h"

namespace korvane::ui {
namespace {

panel_inputs inputs_from(const std::string& text) {
    panel_inputs in;
    test::for_each_word(text, [&](const std::string& key, int value) {
        if (key == "db") in.database_choice = value;
        else if (key == "main") in.main_choice = value;
        else if (key == "type") in.settings.main_type = static_cast<std::int16_t>(value);
        else if (key == "open") in.database_open = true;
        else if (key == "result") in.recordset_open = true;
        else if (key == "tmpl") in.template_field_chosen = true;
        else if (key == "gen") in.generated_field_chosen = true;
        else if (key == "complete") {
            in.settings.database_type = 0;
            in.settings.database_name = "site.sqlite";
            if (in.settings.main_type == -1) in.settings.main_type = 0;
            in.settings.main_name = "pages";
            in.settings.template_field = "template_file";
            in.settings.generated_field = "page_file";
        } else if (key != "-") ADD_FAILURE() << "unknown input " << key;
    });
    return in;
}

std::string usable(const panel_state& s) {
    const std::string names = test::names_set(
        {{"txt_database_name", s.database_name}, {"cmd_browse_0", s.browse[0]},
         {"lst_main_table", s.main_table},       {"lst_main_value", s.main_value},
         {"txt_main_table_sql", s.main_sql},     {"lst_template_field", s.template_field},
         {"lst_generated_field", s.generated_field}, {"txt_template_path", s.template_path},
         {"cmd_browse_1", s.browse[1]},          {"txt_generated_path", s.generated_path},
         {"cmd_browse_2", s.browse[2]},          {"mnu_run_gen", s.generate}});
    return names.empty() ? "-" : names;
}

TEST(panel_model, each_level_is_usable_only_when_the_level_above_has_a_value) {
    for (const auto& row : test::read_case_table("ui/main/panel_model.tsv", 4)) {
        SCOPED_TRACE(row.where);
        const panel_state state = panel_state_for(inputs_from(row[0]));
        EXPECT_EQ(usable(state), row[1]);
        EXPECT_EQ(state.sql_shown ? "txt_main_table_sql" : "lst_main_value", row[2]);
        EXPECT_EQ(state.status, row[3]);
    }
}

}  // namespace
}  // namespace korvane::ui
