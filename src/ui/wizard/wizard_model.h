// SPDX-License-Identifier: Apache-2.0
// The wizard's page states worked out without a widget: which buttons and
// inputs are usable on a page, where the focus goes and which button Enter
// presses. The wizard gathers the inputs from its controls and applies the
// result.
#pragma once

#include <string>

namespace korvane::ui {

struct wizard_inputs {
    int step = 1;
    // Page 1: the ODBC option chosen (else the database file's box counts),
    // and whether each box holds text.
    bool dsn = false;
    bool database_name_text = false;
    bool odbc_dsn_text = false;
    // Page 2: -1 no option, 0 table, 1 query, 2 SQL.
    int main_option = -1;
    bool table_chosen = false;
    bool query_chosen = false;
    bool sql_text = false;
    // Page 3.
    bool template_field_chosen = false;
    bool generated_field_chosen = false;
};

struct wizard_state {
    bool known_step = false;  // false: a step other than 1 to 3 changes nothing
    bool previous = false;
    bool next = false;
    bool finish = false;
    bool finish_default = false;  // else Next is the default button
    // Inputs on (usable, window-background colour) or off.
    bool database_name = false;  // txt_database_name
    bool odbc_dsn = false;
    bool table_list = false;
    bool query_list = false;
    bool sql_box = false;
    bool template_path = false;  // txt_field_tmp
    bool generated_path = false;
    // The control the focus moves to; "" leaves it where it is.
    std::string focus;
    // Page 3 with both fields chosen: the choices go into the record.
    bool take_fields = false;
};

wizard_state wizard_state_for(const wizard_inputs& in);

}  // namespace korvane::ui
