// The settings panel from top to bottom: each level usable only when the one
// above has a value, nothing chosen for the user, and going back up releasing
// what depended on the level.
#include "main_window_fixture.h"

#include <QAction>
#include <QCompleter>
#include <QStringListModel>

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;

using panel = main_window_test;

TEST_F(panel, the_cascade_opens_one_level_at_a_time_and_never_chooses_for_the_user) {
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_TRUE(combo("lst_database").isEnabled());
    EXPECT_EQ(combo("lst_database").currentIndex(), -1);
    for (const char* name : {"txt_database_name", "txt_template_path", "txt_generated_path"})
        EXPECT_FALSE(box(name).isEnabled()) << name;
    for (const char* name : {"lst_main_table", "lst_main_value", "lst_template_field",
                             "lst_generated_field"})
        EXPECT_FALSE(combo(name).isEnabled()) << name;
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
    EXPECT_EQ(status(), " Designing query");
    EXPECT_TRUE(messages.messages.empty());

    choose("lst_database", 0);
    EXPECT_TRUE(box("txt_database_name").isEnabled());
    EXPECT_TRUE(c<QPushButton>("cmd_browse_0").isEnabled());
    EXPECT_FALSE(combo("lst_main_table").isEnabled());

    box("txt_database_name").setText(path("site.sqlite"));
    press_enter("txt_database_name");
    ASSERT_TRUE(window->has_database());
    EXPECT_TRUE(combo("lst_main_table").isEnabled());
    EXPECT_EQ(combo("lst_main_table").currentIndex(), -1);
    EXPECT_FALSE(combo("lst_main_value").isEnabled());

    choose("lst_main_table", "Table");
    // The engine's own tables are left out, but only with exactly "MSys".
    EXPECT_EQ(items("lst_main_value"), QStringList({"pages", "other", "empty", "msysLower"}));
    EXPECT_EQ(combo("lst_main_value").currentIndex(), -1);
    EXPECT_FALSE(window->has_recordset());

    choose("lst_main_value", "pages");
    EXPECT_EQ(items("lst_template_field"), QStringList({"template_file", "page_file", "title"}));
    EXPECT_EQ(combo("lst_template_field").currentIndex(), -1);
    EXPECT_EQ(combo("lst_generated_field").currentIndex(), -1);
    EXPECT_TRUE(combo("lst_template_field").isEnabled());
    EXPECT_FALSE(box("txt_template_path").isEnabled());

    choose("lst_template_field", "template_file");
    EXPECT_TRUE(box("txt_template_path").isEnabled());
    EXPECT_TRUE(c<QPushButton>("cmd_browse_1").isEnabled());
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());

    choose("lst_generated_field", "page_file");
    EXPECT_TRUE(box("txt_generated_path").isEnabled());
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
    EXPECT_EQ(status(), " Query ready to run");
    const GenerationSettings& s = window->current_settings();
    EXPECT_EQ(s.database_type, 0);
    EXPECT_EQ(s.database_name, path("site.sqlite").toStdString());
    EXPECT_EQ(s.main_type, 0);
    EXPECT_EQ(s.main_name, "pages");
    EXPECT_EQ(s.template_field, "template_file");
    EXPECT_EQ(s.generated_field, "page_file");
    EXPECT_TRUE(messages.messages.empty());

    // Queries are the database's views; the fields of one are listed alike.
    choose("lst_main_table", "Query");
    EXPECT_EQ(items("lst_main_value"), QStringList({"titles"}));
    EXPECT_FALSE(window->has_recordset());
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
}

TEST_F(panel, a_chosen_field_is_kept_when_the_new_table_has_it_and_emptied_when_not) {
    fill_panel_for_pages();
    choose("lst_main_value", "other");
    EXPECT_EQ(combo("lst_template_field").currentText(), "template_file");
    EXPECT_EQ(window->current_settings().template_field, "template_file");
    EXPECT_EQ(combo("lst_generated_field").currentIndex(), -1);
    EXPECT_EQ(window->current_settings().generated_field, "");
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
    EXPECT_FALSE(box("txt_generated_path").isEnabled());

    // An empty table warns, then lists its fields as usual.
    choose("lst_main_value", "empty");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Warning");
    EXPECT_EQ(messages.messages[0].text, "There are no records in this table");
    EXPECT_EQ(messages.messages[0].icon, message_icon::information);
    EXPECT_EQ(combo("lst_template_field").currentText(), "template_file");
    EXPECT_EQ(items("lst_generated_field"), QStringList({"template_file", "page_file"}));
}

TEST_F(panel, going_back_up_releases_what_depended_on_the_level) {
    fill_panel_for_pages();
    // SQL with an empty box: the result goes, the field lists with it.
    choose("lst_main_table", "SQL");
    EXPECT_FALSE(window->has_recordset());
    EXPECT_TRUE(box("txt_main_table_sql").isVisibleTo(window.get()));
    EXPECT_FALSE(combo("lst_main_value").isVisibleTo(window.get()));
    EXPECT_TRUE(box("txt_main_table_sql").isEnabled());
    EXPECT_FALSE(combo("lst_template_field").isEnabled());
    EXPECT_EQ(window->current_settings().main_name, "");
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());

    // A statement runs on Enter; no warning for no rows.
    box("txt_main_table_sql").setText("select * from pages where 1 = 0");
    press_enter("txt_main_table_sql");
    EXPECT_TRUE(window->has_recordset());
    EXPECT_TRUE(combo("lst_template_field").isEnabled());
    EXPECT_TRUE(messages.messages.empty());

    // A failing statement: the message, the field lists off.
    box("txt_main_table_sql").setText("select * from nowhere");
    press_enter("txt_main_table_sql");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Problem running SQL");
    EXPECT_FALSE(combo("lst_template_field").isEnabled());
    EXPECT_FALSE(combo("lst_generated_field").isEnabled());

    // Another source releases the database.
    choose("lst_database", "ODBC DSN");
    EXPECT_FALSE(window->has_database());
    EXPECT_FALSE(c<QPushButton>("cmd_browse_0").isEnabled());
    EXPECT_FALSE(combo("lst_main_table").isEnabled());
    EXPECT_FALSE(box("txt_main_table_sql").isEnabled());
    EXPECT_EQ(window->current_settings().database_type, 1);
    // ... and offers the data source names while typing.
    QCompleter* completer = box("txt_database_name").completer();
    ASSERT_NE(completer, nullptr);
    auto* model = qobject_cast<QStringListModel*>(completer->model());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->stringList(), QStringList({"bookshop", "sales"}));
    choose("lst_database", "Access Database");
    EXPECT_EQ(box("txt_database_name").completer(), nullptr);
    EXPECT_TRUE(c<QPushButton>("cmd_browse_0").isEnabled());
}

TEST_F(panel, opening_another_database_never_leaves_generate_on_for_an_emptied_name) {
    fill_panel_for_pages();
    ASSERT_TRUE(action("mnu_run_gen").isEnabled());
    make_sqlite_file(path("second.sqlite"), {"create table pages (a text)"});
    box("txt_database_name").setText(path("second.sqlite"));
    press_enter("txt_database_name");
    EXPECT_TRUE(window->has_database());
    EXPECT_EQ(window->current_settings().main_name, "");
    EXPECT_FALSE(window->has_recordset());
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
    EXPECT_EQ(status(), " Designing query");
    // The table list is the new database's, with nothing chosen.
    EXPECT_EQ(items("lst_main_value"), QStringList({"pages"}));
    EXPECT_EQ(combo("lst_main_value").currentIndex(), -1);

    // A database that does not open: the box gets the focus back.
    box("txt_database_name").setText(path("missing.sqlite"));
    press_enter("txt_database_name");
    EXPECT_FALSE(window->has_database());
    ASSERT_FALSE(messages.messages.empty());
    EXPECT_EQ(messages.messages.back().caption, "Korvane - Database problem");
    EXPECT_FALSE(combo("lst_main_table").isEnabled());
}

TEST_F(panel, enter_always_opens_and_leaving_the_box_only_when_the_name_changed) {
    open_site_database();
    choose("lst_main_table", "Table");
    choose("lst_main_value", "pages");
    ASSERT_TRUE(window->has_recordset());

    // Leaving with the same name: nothing is opened again.
    lose_focus("txt_database_name");
    EXPECT_TRUE(window->has_recordset());
    // Enter with the same name opens it again, releasing the result.
    press_enter("txt_database_name");
    EXPECT_FALSE(window->has_recordset());

    // A focus taken by a popup or a message box is not a leaving.
    choose("lst_main_value", "pages");
    box("txt_database_name").setText(path("missing.sqlite"));
    lose_focus("txt_database_name", Qt::PopupFocusReason);
    lose_focus("txt_database_name", Qt::ActiveWindowFocusReason);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(window->has_recordset());
    // Nor is a focus lost because the box was just disabled.
    box("txt_database_name").setEnabled(false);
    lose_focus("txt_database_name");
    EXPECT_TRUE(messages.messages.empty());
    box("txt_database_name").setEnabled(true);
    // A real leaving with another name opens it.
    lose_focus("txt_database_name");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Database problem");
}

TEST_F(panel, the_sql_box_runs_on_enter_and_on_leaving_with_another_statement) {
    open_site_database();
    choose("lst_main_table", "SQL");
    box("txt_main_table_sql").setText("select page_file from pages");
    // Typing releases the result and leaves Generate as it was until the
    // states are next updated.
    lose_focus("txt_main_table_sql");
    EXPECT_TRUE(window->has_recordset());
    EXPECT_EQ(window->current_settings().main_name, "select page_file from pages");
    EXPECT_EQ(items("lst_template_field"), QStringList({"page_file"}));
    lose_focus("txt_main_table_sql");
    EXPECT_TRUE(window->has_recordset());
    box("txt_main_table_sql").setText("select title from pages");
    EXPECT_FALSE(window->has_recordset());
    press_enter("txt_main_table_sql");
    EXPECT_EQ(items("lst_template_field"), QStringList({"title"}));
}

TEST_F(panel, the_directory_check_trims_adds_the_slash_and_warns_about_missing_folders) {
    fill_panel_for_pages();
    QLineEdit& templates = box("txt_template_path");
    templates.setText("  " + path("templates") + "  ");
    lose_focus("txt_template_path");
    EXPECT_EQ(templates.text(), path("templates") + "/");
    EXPECT_EQ(window->current_settings().template_path, (path("templates") + "/").toStdString());
    EXPECT_TRUE(messages.messages.empty());

    // Relative to the current folder while there is no settings file.
    QDir::setCurrent(dir.path());
    templates.setText("templates");
    lose_focus("txt_template_path");
    EXPECT_EQ(templates.text(), "templates/");
    EXPECT_TRUE(messages.messages.empty()) << messages.messages[0].text;

    // Ended already: left alone, blanks and all; only blanks: no check.
    templates.setText("templates/  ");
    lose_focus("txt_template_path");
    EXPECT_EQ(templates.text(), "templates/  ");
    templates.setText("   ");
    lose_focus("txt_template_path");
    EXPECT_EQ(templates.text(), "   ");
    EXPECT_TRUE(messages.messages.empty());

    box("txt_generated_path").setText("nowhere");
    lose_focus("txt_generated_path");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Directory does not exist");
    EXPECT_EQ(messages.messages[0].text, "The generated files directory does not exist:\r  nowhere/");
    EXPECT_EQ(messages.messages[0].icon, message_icon::exclamation);
    EXPECT_EQ(window->current_settings().generated_path, "nowhere/");
}

TEST_F(panel, browse_buttons_use_the_dialogs_and_open_what_was_chosen) {
    choose("lst_database", 0);
    dialogs.open_answers.push_back(path("site.sqlite"));
    c<QPushButton>("cmd_browse_0").click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Select an access database");
    EXPECT_TRUE(dialogs.calls[0].filter.startsWith("MS Access Database (*.mdb) | *.mdb"));
    EXPECT_EQ(box("txt_database_name").text(), path("site.sqlite"));
    EXPECT_TRUE(window->has_database());

    choose("lst_main_table", "Table");
    choose("lst_main_value", "pages");
    choose("lst_template_field", "template_file");
    dialogs.folder_answers.push_back(path("templates"));
    c<QPushButton>("cmd_browse_1").click();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].title, "Select the directory containing the temlate(s)");
    EXPECT_EQ(box("txt_template_path").text(), path("templates") + "/");
    // Cancelled: nothing changes.
    c<QPushButton>("cmd_browse_1").click();
    EXPECT_EQ(box("txt_template_path").text(), path("templates") + "/");
    EXPECT_TRUE(messages.messages.empty());
}
