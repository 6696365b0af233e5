// SPDX-License-Identifier: Apache-2.0
// The settings panel from top to bottom: each level usable only when the one
// above has a value, nothing chosen for the user, and going back up releasing
// what depended on the level. The steps are in main_window_scenarios.tsv.
#include "main_window_fixture.h"

#include <QCompleter>
#include <QStringListModel>

using panel = main_window_test;

TEST_F(panel, the_cascade_opens_one_level_at_a_time_and_never_chooses_for_the_user) {
    script().run(scenarios, "cascade");
}

TEST_F(panel, a_chosen_field_stays_when_the_new_table_has_it_and_an_empty_table_warns) {
    fill_panel_for_pages();
    script().run(scenarios, "kept");
    EXPECT_EQ(window->current_settings().generated_field, "");
}

TEST_F(panel, going_back_up_releases_what_depended_on_the_level) {
    fill_panel_for_pages();
    script().run(scenarios, "up");
    EXPECT_FALSE(window->has_database() || window->has_recordset());
    auto* names = qobject_cast<QStringListModel*>(box("txt_database_name").completer()->model());
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->stringList(), QStringList({"bookshop", "sales"}));
    ui::test::choose(c("lst_database"), "Database file");
    EXPECT_EQ(box("txt_database_name").completer(), nullptr);
}

TEST_F(panel, another_database_never_leaves_generate_on_for_an_emptied_name) {
    fill_panel_for_pages();
    make_sqlite_file(path("second.MDB"), "create table pages (a text)");
    write_text_file(path("notes.sqlite"), "not a database\n");
    script().run(scenarios, "second");
    EXPECT_TRUE(dialogs.calls.at(0).filter.startsWith(
        "Database files (*.mdb *.accdb *.sqlite *.sqlite3 *.db) | "))
        << dialogs.calls.at(0).filter.toStdString();
    EXPECT_EQ(window->current_settings().main_name, "");
}

TEST_F(panel, enter_always_opens_and_only_a_real_leaving_with_another_name_does) {
    script().run(scenarios, "enter");
    box("txt_database_name").setEnabled(false);  // a box just disabled is not left
    lose_focus("txt_database_name");
    EXPECT_TRUE(messages.shown.empty());
    box("txt_database_name").setEnabled(true);
    lose_focus("txt_database_name");
    EXPECT_EQ(last().caption, "Korvane - Database problem");
}

TEST_F(panel, the_directory_check_trims_adds_the_slash_and_names_missing_folders) {
    fill_panel_for_pages();
    QDir::setCurrent(dir.path());  // no settings file: relative to here
    script().run(scenarios, "dirs");
    EXPECT_EQ(window->current_settings().template_path, "   ");
    EXPECT_EQ(window->current_settings().generated_path, "nowhere/");
}
