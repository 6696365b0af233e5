// Settings records into and out of the window: File > New, Open, Save and
// Save As, the command line, and records that cannot be shown.
#include "main_window_fixture.h"

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;
using settings_files = main_window_test;

TEST_F(settings_files, open_shows_a_record_whose_relative_names_follow_the_file) {
    const QString file = write_settings("a.kvn", "0", "site.sqlite", "0", "pages");
    QDir::setCurrent(QDir::tempPath());
    dialogs.answers[dialog_kind::open].push_back(file);
    window->file_open();
    EXPECT_EQ(dialogs.calls.at(0).title, "Select Korvane Settings File");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window->windowTitle(), "Korvane - a.kvn");
    EXPECT_EQ(c("lst_main_value").currentText(), "pages");
    EXPECT_EQ(c("lst_generated_field").currentText(), "page_file");
    EXPECT_TRUE(generate_enabled());
    window->generate_pages();
    EXPECT_EQ(read_text_file(path("site/two.html")), "<p>Two</p>\r\n");
}

TEST_F(settings_files, records_that_show_only_partly) {
    dialogs.answers[dialog_kind::open] = {
        write_settings("t.kvn", "0", "site.sqlite", "0", "gone"),
        write_settings("s.kvn", "0", "site.sqlite", "2", "select * from pages where title = 'One'"),
        write_settings("d.kvn", "0", "gone.sqlite", "0", "pages"),
        write_settings("b.kvn", "4", "site.sqlite", "0", "pages")};
    window->file_open();
    EXPECT_EQ(messages.shown.at(0).caption, "Korvane - Error loading settings");
    EXPECT_EQ(messages.shown[0].text,
              "The table, 'gone', could not be found in this database. Check your settings");
    EXPECT_EQ(window->current_settings().main_name, "gone");
    EXPECT_FALSE(generate_enabled());

    window->file_open();  // a statement: in its box, fields chosen, ready
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(box("txt_main_table_sql").text(), "select * from pages where title = 'One'");
    EXPECT_TRUE(generate_enabled());

    window->file_open();  // a database that does not open keeps only its type
    EXPECT_EQ(last_caption(), "Korvane - Database problem");
    GenerationSettings type_only;
    type_only.database_type = 0;
    EXPECT_EQ(window->current_settings(), type_only);
    EXPECT_EQ(window->windowTitle(), "Korvane - d.kvn");

    window->file_open();
    EXPECT_EQ(last_caption(), "Korvane - Invalid setting");
    EXPECT_EQ(last_text(), "Invalid database type specified in settings file");
    EXPECT_EQ(window->current_settings().database_type, -1);
    EXPECT_EQ(c("lst_database").currentIndex(), -1);
}

TEST_F(settings_files,
       open_refuses_other_names_before_clearing_and_reports_unreadable_files_after) {
    fill_panel_for_pages();
    dialogs.answers[dialog_kind::open] = {path("x.KVN"), path("missing.kvn")};
    window->file_open();
    EXPECT_EQ(last_caption(), "Korvane - Invalid file");
    EXPECT_EQ(last_text(), "This is not a Korvane settings file");
    EXPECT_TRUE(generate_enabled());
    window->file_open();
    EXPECT_EQ(last_caption(), "Korvane - File error");
    EXPECT_EQ(last_text(), "There were problems trying to read the Korvane settings file: \r\r" +
                               path("missing.kvn").toStdString());
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_FALSE(window->has_database());
    EXPECT_EQ(status(), " Designing Query");
}

TEST_F(settings_files, new_then_save_asks_for_a_name_and_save_as_adds_the_extension) {
    fill_panel_for_pages();
    window->file_new();
    EXPECT_EQ(window->current_settings(), GenerationSettings{});
    EXPECT_EQ(c("lst_template_field").count(), 0);
    window->file_save();
    EXPECT_EQ(dialogs.calls.at(0).kind, dialog_kind::save);
    EXPECT_EQ(dialogs.calls[0].title, "Save Korvane Settings To File");

    fill_panel_for_pages();
    dialogs.answers[dialog_kind::save] = {path("x.KVN"), path("no folder/y.kvn")};
    window->file_save_as();
    EXPECT_EQ(window->windowTitle(), "Korvane - x.KVN.kvn");
    EXPECT_NE(read_text_file(path("x.KVN.kvn")).find("main_name=pages\r\n"), std::string::npos);
    choose("lst_main_value", "other");
    window->file_save();  // the same file, without asking
    EXPECT_EQ(dialogs.calls.size(), 2u);
    EXPECT_NE(read_text_file(path("x.KVN.kvn")).find("main_name=other\r\n"), std::string::npos);

    window->file_save_as();  // cannot be written: named, then the reason
    EXPECT_EQ(window->windowTitle(), "Korvane - y.kvn");
    EXPECT_EQ(last_caption(), "Korvane - File error");
    EXPECT_EQ(
        last_text().rfind("There were problems trying to write the Korvane settings file: \r\r" +
                              path("no folder/y.kvn").toStdString() + "\r",
                          0),
        0u);
}

TEST(command_line, arguments_are_joined_unquoted_and_auto_is_told_apart) {
    const auto p = [](const QStringList& args) {
        const auto r = parse_command_line(args);
        return (r.automatic ? "auto:" : "") + r.file;
    };
    EXPECT_EQ(p({"\"/home/a b/site.kvn\""}), "/home/a b/site.kvn");
    EXPECT_EQ(p({"/auto", "", "my", "site.kvn"}), "auto:my site.kvn");
    EXPECT_EQ(p({"/autosite.kvn"}), "auto:site.kvn");
    EXPECT_EQ(p({"/AUTO", "site.kvn"}), "/AUTO site.kvn");
}

TEST_F(settings_files, the_command_line_reads_and_shows_or_says_what_is_wrong) {
    EXPECT_EQ(window->process_command_line({"  "}), -1);
    EXPECT_TRUE(messages.shown.empty());
    for (const QStringList& bad :
         {QStringList{"/auto"}, QStringList{"site.KVN"}, QStringList{"site.kvn "}}) {
        EXPECT_EQ(window->process_command_line(bad), -1);
        EXPECT_EQ(last_caption(), "Korvane - Invalid file for Automatic Generate");
        EXPECT_EQ(last_text(),
                  "The Korvane settings file you specified at the command line is not valid:\r\r" +
                      bad.join(' ').toStdString());
    }
    EXPECT_EQ(window->process_command_line({path("none.kvn")}), -1);
    EXPECT_EQ(last_caption(), "Korvane - Automatic Generate Error");

    const QString file = write_settings("c.kvn", "0", "site.sqlite", "0", "pages");
    messages.shown.clear();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(window->process_command_line({"\"c.kvn\""}), 1);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window->windowTitle(), "Korvane - c.kvn");
    EXPECT_EQ(window->current_settings().filename, file.toStdString());  // made absolute
    EXPECT_TRUE(generate_enabled());
    EXPECT_EQ(window->process_command_line({"/auto" + file}), 2);
}
