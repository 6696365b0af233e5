// The settings panel from top to bottom: each level usable only when the one
// above has a value, nothing chosen for the user, and going back up releasing
// what depended on the level.
#include "main_window_fixture.h"

#include <QCompleter>
#include <QGuiApplication>
#include <QPushButton>
#include <QStringListModel>

using namespace korvane;
using namespace korvane::ui::test;
using namespace korvane::ui;
using panel = main_window_test;

TEST_F(panel, the_cascade_opens_one_level_at_a_time_and_never_chooses_for_the_user) {
    for (const char* name :
         {"txt_database_name", "lst_main_table", "lst_template_field", "txt_template_path"})
        EXPECT_FALSE(enabled(name)) << name;
    // Disabled boxes take the window's colour, enabled ones their own Base.
    const auto base = [&](const char* name) {
        return c<QWidget>(name).palette().color(QPalette::Base);
    };
    EXPECT_EQ(base("txt_database_name"), QGuiApplication::palette().color(QPalette::Window));
    EXPECT_EQ(status(), " Designing query");

    choose("lst_database", "Access Database");
    EXPECT_TRUE(enabled("txt_database_name") && enabled("cmd_browse_0"));
    EXPECT_EQ(base("txt_database_name"), QGuiApplication::palette().color(QPalette::Base));
    EXPECT_FALSE(enabled("lst_main_table"));
    box("txt_database_name").setText(path("site.sqlite"));
    press_enter("txt_database_name");
    EXPECT_TRUE(enabled("lst_main_table") && c("lst_main_table").currentIndex() == -1);

    choose("lst_main_table", "Table");
    // Only exactly "MSys" marks the engine's own tables.
    EXPECT_EQ(items("lst_main_value"), QStringList({"pages", "other", "empty", "msysLower"}));
    EXPECT_EQ(c("lst_main_value").currentIndex(), -1);
    choose("lst_main_value", "pages");
    EXPECT_EQ(items("lst_generated_field"), QStringList({"template_file", "page_file", "title"}));
    EXPECT_EQ(c("lst_template_field").currentIndex() + c("lst_generated_field").currentIndex(), -2);

    choose("lst_template_field", "template_file");
    EXPECT_TRUE(enabled("txt_template_path") && enabled("cmd_browse_1"));
    EXPECT_FALSE(generate_enabled());
    choose("lst_generated_field", "page_file");
    EXPECT_TRUE(generate_enabled());
    EXPECT_EQ(status(), " Query ready to run");

    choose("lst_main_table", "Query");
    EXPECT_EQ(items("lst_main_value"), QStringList({"titles"}));
    EXPECT_FALSE(generate_enabled());
}

TEST_F(panel, a_chosen_field_stays_when_the_new_table_has_it_and_an_empty_table_warns) {
    fill_panel_for_pages();
    choose("lst_main_value", "other");
    EXPECT_EQ(c("lst_template_field").currentText(), "template_file");
    EXPECT_EQ(window->current_settings().generated_field, "");
    EXPECT_FALSE(generate_enabled());

    choose("lst_main_value", "empty");
    EXPECT_EQ(messages.shown,
              (std::vector<korvane::test::shown_message>{
                  {"Warning", "There are no records in this table", message_icon::information}}));
    EXPECT_EQ(items("lst_generated_field"), QStringList({"template_file", "page_file"}));
}

TEST_F(panel, going_back_up_releases_what_depended_on_the_level) {
    fill_panel_for_pages();
    choose("lst_main_table", "SQL");  // empty box: the result goes
    EXPECT_FALSE(window->has_recordset());
    EXPECT_TRUE(box("txt_main_table_sql").isVisibleTo(window.get()));
    EXPECT_FALSE(c("lst_main_value").isVisibleTo(window.get()));
    EXPECT_FALSE(enabled("lst_template_field"));

    box("txt_main_table_sql").setText("select * from pages where 1 = 0");
    press_enter("txt_main_table_sql");  // no rows, no warning
    EXPECT_TRUE(window->has_recordset() && enabled("lst_template_field"));
    box("txt_main_table_sql").setText("select * from nowhere");
    press_enter("txt_main_table_sql");
    EXPECT_EQ(last_caption(), "Korvane - Problem running SQL");
    EXPECT_FALSE(enabled("lst_template_field") || enabled("lst_generated_field"));

    choose("lst_database", "ODBC DSN");
    EXPECT_FALSE(window->has_database());
    EXPECT_FALSE(enabled("cmd_browse_0") || enabled("lst_main_table") ||
                 enabled("txt_main_table_sql"));
    auto* names = qobject_cast<QStringListModel*>(box("txt_database_name").completer()->model());
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->stringList(), QStringList({"bookshop", "sales"}));
    choose("lst_database", "Access Database");
    EXPECT_EQ(box("txt_database_name").completer(), nullptr);
}

TEST_F(panel, another_database_never_leaves_generate_on_for_an_emptied_name) {
    fill_panel_for_pages();
    make_sqlite_file(path("second.sqlite"), "create table pages (a text)");
    dialogs.answers[dialog_kind::open].push_back(path("second.sqlite"));
    c<QPushButton>("cmd_browse_0").click();  // opens what the dialog chose
    EXPECT_EQ(dialogs.calls.at(0).title, "Select an access database");
    EXPECT_TRUE(dialogs.calls[0].filter.startsWith("MS Access Database (*.mdb) | *.mdb"));
    EXPECT_EQ(window->current_settings().main_name, "");
    EXPECT_FALSE(generate_enabled());
    EXPECT_EQ(items("lst_main_value"), QStringList({"pages"}));
    EXPECT_EQ(c("lst_main_value").currentIndex(), -1);
}

TEST_F(panel, enter_always_opens_and_only_a_real_leaving_with_another_name_does) {
    open_site_database();
    choose("lst_main_table", "Table");
    choose("lst_main_value", "pages");
    lose_focus("txt_database_name");  // same name: nothing
    EXPECT_TRUE(window->has_recordset());
    press_enter("txt_database_name");  // same name: opened again
    EXPECT_FALSE(window->has_recordset());

    choose("lst_main_value", "pages");
    box("txt_database_name").setText(path("missing.sqlite"));
    lose_focus("txt_database_name", Qt::PopupFocusReason);
    lose_focus("txt_database_name", Qt::ActiveWindowFocusReason);
    box("txt_database_name").setEnabled(false);
    lose_focus("txt_database_name");
    EXPECT_TRUE(messages.shown.empty());
    box("txt_database_name").setEnabled(true);
    lose_focus("txt_database_name");
    EXPECT_EQ(last_caption(), "Korvane - Database problem");
}

TEST_F(panel, the_directory_check_trims_adds_the_slash_and_names_missing_folders) {
    fill_panel_for_pages();
    QDir::setCurrent(dir.path());  // no settings file: relative to here
    QLineEdit& templates = box("txt_template_path");
    for (const auto& [typed, kept] : std::vector<std::pair<QString, QString>>{
             {"  templates  ", "templates/"}, {"templates/  ", "templates/  "}, {"   ", "   "}}) {
        templates.setText(typed);
        lose_focus("txt_template_path");
        EXPECT_EQ(templates.text(), kept);
    }
    EXPECT_EQ(window->current_settings().template_path, "   ");
    EXPECT_TRUE(messages.shown.empty());

    box("txt_generated_path").setText("nowhere");
    lose_focus("txt_generated_path");
    EXPECT_EQ(messages.shown, (std::vector<korvane::test::shown_message>{
                                  {"Korvane - Directory does not exist",
                                   "The generated files directory does not exist:\r  nowhere/",
                                   message_icon::exclamation}}));
    EXPECT_EQ(window->current_settings().generated_path, "nowhere/");
}
