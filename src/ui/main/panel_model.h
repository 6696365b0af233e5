// SPDX-License-Identifier: Apache-2.0
// The settings panel's control states worked out without a widget: which
// controls are usable, which of the two main-value controls shows, whether
// Generate may run, the status line and the caption. The window gathers the
// inputs from its record and lists, and only applies the result.
#pragma once

#include "data/settings.h"

#include <string>

namespace korvane::ui {

// What the panel's state follows from.
struct panel_inputs {
    GenerationSettings settings;
    int database_choice = -1;  // the item chosen in lst_database, -1 none
    int main_choice = -1;      // the item chosen in lst_main_table, -1 none
    bool database_open = false;
    bool recordset_open = false;
    bool template_field_chosen = false;  // lst_template_field has a selection
    bool generated_field_chosen = false;
};

struct panel_state {
    bool database_name = false;  // txt_database_name
    bool browse[3] = {};         // cmd_browse 0 (database), 1 (templates), 2 (pages)
    bool main_table = false;     // lst_main_table
    bool main_value = false;     // lst_main_value
    bool main_sql = false;       // txt_main_table_sql
    bool sql_shown = false;      // the SQL box shows in place of lst_main_value
    bool template_field = false;
    bool generated_field = false;
    bool template_path = false;
    bool generated_path = false;
    bool generate = false;  // mnu_run_gen
    std::string status;     // lbl_status
    std::string caption;    // the window's title
};

// Each level is usable only when the level above has a value; Generate only
// with a complete record over an open database and main result.
panel_state panel_state_for(const panel_inputs& in);

// "Korvane - " and the file-name part of a settings file, or "Korvane" for
// none (also for the wizard's record before it is shown).
std::string window_caption(const std::string& settings_file);

}  // namespace korvane::ui
