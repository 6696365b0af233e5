// SPDX-License-Identifier: Apache-2.0
// Settings records into and out of the window: File > New, Open, Save and
// Save As, the command line, and records that cannot be shown.
#include "main_window_fixture.h"

using settings_files = main_window_test;

TEST_F(settings_files, records_that_show_only_partly_and_names_that_are_refused) {
    write_settings("t.kvn", "0", "site.sqlite", "0", "gone");
    write_settings("s.kvn", "0", "site.sqlite", "2", "select * from pages where title = 'One'");
    write_settings("b.kvn", "4", "site.sqlite", "0", "pages");
    write_settings("d.kvn", "0", "gone.sqlite", "0", "pages");
    script().run(scenarios, "partly");
    GenerationSettings type_only;  // what is left of a database that does not open
    type_only.database_type = 0;
    EXPECT_EQ(window->current_settings(), type_only);
    fill_panel_for_pages();
    script().run(scenarios, "refuse");
}

TEST_F(settings_files, new_then_save_asks_for_a_name_and_save_as_adds_the_extension) {
    script().run(scenarios, "save");
    EXPECT_EQ(
        last().text.rfind("There were problems trying to write the Korvane settings file: \r\r" +
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
        EXPECT_EQ(last().caption, "Korvane - Invalid file for Automatic Generate");
        EXPECT_EQ(last().text,
                  "The Korvane settings file you specified at the command line is not valid:\r\r" +
                      bad.join(' ').toStdString());
    }
    EXPECT_EQ(window->process_command_line({path("none.kvn")}), -1);
    EXPECT_EQ(last().caption, "Korvane - Automatic Generate Error");

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
