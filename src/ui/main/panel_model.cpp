// SPDX-License-Identifier: Apache-2.0
#include "ui/main/panel_model.h"

#include "data/text_helpers.h"

namespace korvane::ui {

panel_state panel_state_for(const panel_inputs& in) {
    panel_state out;
    const bool source = in.database_choice >= 0;
    out.database_name = source;
    out.browse[0] = in.database_choice == 0;  // ODBC sources are typed, not browsed

    out.main_table = in.database_open;
    const int type = in.settings.main_type;
    const bool main_chosen = in.main_choice >= 0 && out.main_table;
    out.main_value = main_chosen && (type == 0 || type == 1);
    out.main_sql = main_chosen && type == 2;
    out.sql_shown = type == 2;

    // The fields come from an open result of a chosen table, query or
    // statement; nothing below a disabled level is usable.
    const bool fields = in.recordset_open && (out.main_value || out.main_sql);
    out.template_field = fields;
    out.generated_field = fields;
    out.template_path = fields && in.template_field_chosen;
    out.generated_path = fields && in.generated_field_chosen;
    out.browse[1] = out.template_path;
    out.browse[2] = out.generated_path;

    out.generate = settings_are_complete(in.settings) && in.database_open && in.recordset_open;
    out.status = out.generate ? " Query ready to run" : " Designing query";
    out.caption = window_caption(in.settings.filename);
    return out;
}

std::string window_caption(const std::string& settings_file) {
    if (settings_file.empty()) return "Korvane";
    return "Korvane - " + file_name_of_path(settings_file);
}

}  // namespace korvane::ui
