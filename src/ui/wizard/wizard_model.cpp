// SPDX-License-Identifier: Apache-2.0
#include "ui/wizard/wizard_model.h"

namespace korvane::ui {

wizard_state wizard_state_for(const wizard_inputs& in) {
    wizard_state out;
    out.known_step = in.step >= 1 && in.step <= 3;
    switch (in.step) {
        case 1:
            // With no option chosen the page looks as for a database file.
            out.database_name = !in.dsn;
            out.odbc_dsn = in.dsn;
            out.focus = in.dsn ? "txt_odbc_dsn" : "txt_database_name";
            out.next = in.dsn ? in.odbc_dsn_text : in.database_name_text;
            break;
        case 2:
            out.previous = true;
            out.table_list = in.main_option == 0;
            out.query_list = in.main_option == 1;
            out.sql_box = in.main_option == 2;
            if (in.main_option == 0) {
                out.focus = "lst_db_table";
                out.next = in.table_chosen;
            } else if (in.main_option == 1) {
                out.focus = "lst_db_query";
                out.next = in.query_chosen;
            } else if (in.main_option == 2) {
                out.focus = "txt_db_sql";
                out.next = in.sql_text;
            }
            break;
        case 3:
            out.previous = true;
            out.template_path = in.template_field_chosen;
            out.generated_path = in.generated_field_chosen;
            out.take_fields = in.template_field_chosen && in.generated_field_chosen;
            out.finish = out.take_fields;
            out.finish_default = out.take_fields;
            break;
        default:
            break;
    }
    return out;
}

}  // namespace korvane::ui
