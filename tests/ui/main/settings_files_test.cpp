// Settings records into and out of the window: File > New, Open, Save and
// Save As, the command line, and the records that cannot be shown.
#include "main_window_fixture.h"

#include <QAction>
#include <QFileInfo>

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;

using settings_files = main_window_test;

TEST_F(settings_files, open_shows_a_record_with_relative_names_from_another_current_folder) {
    const QString file =
        write_settings("a.kvn", "0", "site.sqlite", "0", "pages", "template_file", "page_file");
    QDir::setCurrent(QDir::tempPath());
    dialogs.open_answers.push_back(file);
    window->file_open();

    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].filter, "Korvane Settings (*.kvn) | *.kvn");
    EXPECT_EQ(dialogs.calls[0].title, "Select Korvane Settings File");
    EXPECT_TRUE(messages.messages.empty()) << messages.messages[0].text;
    EXPECT_EQ(window->windowTitle(), "Korvane - a.kvn");
    EXPECT_EQ(combo("lst_main_value").currentText(), "pages");
    EXPECT_EQ(combo("lst_template_field").currentText(), "template_file");
    EXPECT_EQ(combo("lst_generated_field").currentText(), "page_file");
    EXPECT_EQ(box("txt_template_path").text(), "templates/");
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
    EXPECT_EQ(status(), " Query ready to run");
    EXPECT_FALSE(window->loading_settings());
    EXPECT_EQ(window->current_settings().filename, file.toStdString());

    // The run takes its relative names from the file's folder too.
    window->generate_pages();
    EXPECT_EQ(read_text_file(path("site/two.html")), "<p>Two</p>\r\n");
}

TEST_F(settings_files, a_missing_table_is_named_and_generate_stays_off) {
    dialogs.open_answers.push_back(
        write_settings("b.kvn", "0", "site.sqlite", "0", "gone", "template_file", "page_file"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Error loading settings");
    EXPECT_EQ(messages.messages[0].text,
              "The table, 'gone', could not be found in this database. Check your settings");
    EXPECT_EQ(messages.messages[0].icon, message_icon::exclamation);
    EXPECT_EQ(combo("lst_main_value").currentIndex(), -1);
    EXPECT_EQ(window->current_settings().main_name, "gone");
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());

    messages.messages.clear();
    dialogs.open_answers.push_back(
        write_settings("q.kvn", "0", "site.sqlite", "1", "pages", "title", "page_file"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              "The query, 'pages', could not be found in this database. Check your settings");
}

TEST_F(settings_files, an_sql_record_fills_the_box_and_selects_its_fields) {
    dialogs.open_answers.push_back(write_settings("s.kvn", "0", "site.sqlite", "2",
                                                  "select * from pages where title = 'One'",
                                                  "template_file", "page_file"));
    window->file_open();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(box("txt_main_table_sql").isVisibleTo(window.get()));
    EXPECT_EQ(box("txt_main_table_sql").text(), "select * from pages where title = 'One'");
    EXPECT_EQ(combo("lst_generated_field").currentText(), "page_file");
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
}

TEST_F(settings_files, a_database_that_does_not_open_leaves_only_the_type) {
    dialogs.open_answers.push_back(
        write_settings("d.kvn", "0", "gone.sqlite", "0", "pages", "template_file", "page_file"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Database problem");
    GenerationSettings expected;
    expected.database_type = 0;
    EXPECT_EQ(window->current_settings(), expected);
    EXPECT_EQ(combo("lst_database").currentIndex(), 0);
    EXPECT_EQ(window->windowTitle(), "Korvane - d.kvn");
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
}

TEST_F(settings_files, types_that_cannot_be_shown) {
    dialogs.open_answers.push_back(
        write_settings("t.kvn", "4", "site.sqlite", "0", "pages", "template_file", "page_file"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Invalid setting");
    EXPECT_EQ(messages.messages[0].text, "Invalid database type specified in settings file");
    EXPECT_EQ(messages.messages[0].icon, message_icon::critical);
    EXPECT_EQ(window->current_settings().database_type, -1);
    EXPECT_EQ(combo("lst_database").currentIndex(), -1);
    EXPECT_FALSE(window->has_database());

    messages.messages.clear();
    dialogs.open_answers.push_back(
        write_settings("m.kvn", "0", "site.sqlite", "7", "pages", "template_file", "page_file"));
    window->file_open();
    EXPECT_EQ(combo("lst_main_table").currentIndex(), -1);
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
}

TEST_F(settings_files, open_refuses_other_names_first_and_reports_unreadable_files_after_clearing) {
    fill_panel_for_pages();
    dialogs.open_answers.push_back(path("x.KVN"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Invalid file");
    EXPECT_EQ(messages.messages[0].text, "This is not a Korvane settings file");
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());  // nothing else changed

    // Cancelled: nothing at all.
    window->file_open();
    EXPECT_EQ(messages.messages.size(), 1u);

    dialogs.open_answers.push_back(path("missing.kvn"));
    window->file_open();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].caption, "Korvane - File error");
    EXPECT_EQ(messages.messages[1].text,
              "There were problems trying to read the Korvane settings file: \r\r" +
                  path("missing.kvn").toStdString());
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_EQ(combo("lst_database").currentIndex(), -1);
    EXPECT_FALSE(window->has_database());
    EXPECT_EQ(status(), " Designing Query");
}

TEST_F(settings_files, new_empties_everything_and_save_then_asks_for_a_name) {
    fill_panel_for_pages();
    box("txt_template_path").setText("templates/");
    window->file_new();
    EXPECT_EQ(window->current_settings(), GenerationSettings{});
    EXPECT_EQ(status(), " Designing Query");
    EXPECT_EQ(box("txt_template_path").text(), "");
    EXPECT_EQ(combo("lst_template_field").count(), 0);
    EXPECT_FALSE(window->has_database());

    window->file_save();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, dialog_kind::save);
    EXPECT_EQ(dialogs.calls[0].title, "Save Korvane Settings To File");
}

TEST_F(settings_files, save_as_adds_the_extension_unless_exactly_there) {
    fill_panel_for_pages();
    dialogs.save_answers.push_back(path("x.KVN"));
    window->file_save_as();
    EXPECT_EQ(window->current_settings().filename, path("x.KVN.kvn").toStdString());
    EXPECT_EQ(window->windowTitle(), "Korvane - x.KVN.kvn");
    EXPECT_NE(read_text_file(path("x.KVN.kvn")).find("main_name=pages\r\n"), std::string::npos);

    dialogs.save_answers.push_back(path("plain"));
    window->file_save_as();
    EXPECT_EQ(window->windowTitle(), "Korvane - plain.kvn");

    // Save writes the current file without asking, the caption unchanged.
    choose("lst_main_value", "other");
    window->file_save();
    EXPECT_EQ(dialogs.calls.size(), 2u);
    EXPECT_NE(read_text_file(path("plain.kvn")).find("main_name=other\r\n"), std::string::npos);

    // A place that cannot be written: the name and caption are set, then the
    // message says why.
    dialogs.save_answers.push_back(path("no folder/y.kvn"));
    window->file_save_as();
    EXPECT_EQ(window->windowTitle(), "Korvane - y.kvn");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - File error");
    EXPECT_EQ(messages.messages[0].text.rfind(
                  "There were problems trying to write the Korvane settings file: \r\r" +
                      path("no folder/y.kvn").toStdString() + "\r",
                  0),
              0u);
}

TEST(command_line, arguments_are_joined_unquoted_and_auto_is_told_apart) {
    auto p = parse_command_line({"\"/home/a b/site.kvn\""});
    EXPECT_EQ(p.line, "/home/a b/site.kvn");
    EXPECT_FALSE(p.automatic);
    EXPECT_EQ(p.file, "/home/a b/site.kvn");

    p = parse_command_line({"/auto", "site.kvn"});
    EXPECT_TRUE(p.automatic);
    EXPECT_EQ(p.file, "site.kvn");
    p = parse_command_line({"/auto", "", "my", "site.kvn"});
    EXPECT_EQ(p.file, "my site.kvn");
    p = parse_command_line({"/autosite.kvn"});
    EXPECT_TRUE(p.automatic);
    EXPECT_EQ(p.file, "site.kvn");
    p = parse_command_line({"/AUTO", "site.kvn"});
    EXPECT_FALSE(p.automatic);
    EXPECT_EQ(p.file, "/AUTO site.kvn");
    p = parse_command_line({});
    EXPECT_EQ(p.line, "");
}

TEST_F(settings_files, the_command_line_reads_shows_or_says_what_is_wrong) {
    EXPECT_EQ(window->process_command_line({"  "}), -1);
    EXPECT_TRUE(messages.messages.empty());

    for (const QStringList& bad : {QStringList{"/auto"}, QStringList{"site.KVN"},
                                   QStringList{"site.kvn "}}) {
        messages.messages.clear();
        EXPECT_EQ(window->process_command_line(bad), -1);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].caption, "Korvane - Invalid file for Automatic Generate");
        EXPECT_EQ(messages.messages[0].text,
                  "The Korvane settings file you specified at the command line is not valid:\r\r" +
                      bad.join(' ').toStdString());
    }

    messages.messages.clear();
    EXPECT_EQ(window->process_command_line({path("none.kvn")}), -1);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Automatic Generate Error");
    EXPECT_EQ(messages.messages[0].icon, message_icon::critical);

    const QString file =
        write_settings("c.kvn", "0", "site.sqlite", "0", "pages", "template_file", "page_file");
    messages.messages.clear();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(window->process_command_line({"\"c.kvn\""}), 1);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(window->windowTitle(), "Korvane - c.kvn");
    // Made absolute, so Save writes where it was read.
    EXPECT_EQ(window->current_settings().filename, file.toStdString());
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
    EXPECT_EQ(window->process_command_line({"/auto" + file}), 2);
}
