// Runs from the window and from "/auto", the count-down, stopping, the
// wizard's hand-over, the template check and the Help menu.
#include "main_window_fixture.h"

#include <QAction>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

using namespace korvane;
using namespace korvane::ui;
using namespace korvane::ui::test;

using runs = main_window_test;

TEST_F(runs, a_run_from_the_menu_writes_the_pages_the_report_and_the_status) {
    fill_panel_for_pages();
    box("txt_template_path").setText(path("templates/"));
    box("txt_generated_path").setText(path("site/"));
    action("mnu_run_gen").trigger();
    EXPECT_EQ(read_text_file(path("site/one.html")), "<p>One</p>\r\n");
    EXPECT_EQ(status(), " Process complete!  2 files generated");
    const QStringList lines = error_lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.back(), "Process complete. 2 files generated");
    EXPECT_FALSE(c<QProgressBar>("prg_run").isVisibleTo(window.get()));
    EXPECT_FALSE(action("mnu_run_stop").isEnabled());
    EXPECT_FALSE(window->generation_running());
    EXPECT_EQ(ended, 0);
}

TEST_F(runs, during_a_run_generate_is_ignored_and_exit_stops_after_the_page_then_ends) {
    std::vector<std::string> rows{"create table many (t text, f text)"};
    for (int i = 0; i < 300; ++i)
        rows.push_back("insert into many values ('page.html', 'p" + std::to_string(i) + ".html')");
    make_sqlite_file(path("many.sqlite"), rows);
    run_event_interval_ms = 0;
    make_window();
    choose("lst_database", 0);
    box("txt_database_name").setText(path("many.sqlite"));
    press_enter("txt_database_name");
    choose("lst_main_table", "Table");
    choose("lst_main_value", "many");
    choose("lst_template_field", "t");
    choose("lst_generated_field", "f");
    box("txt_template_path").setText(path("templates/"));
    box("txt_generated_path").setText(path("site/"));

    bool stop_enabled = false;
    bool progress_shown = false;
    QTimer::singleShot(0, window.get(), [&] {
        stop_enabled = action("mnu_run_stop").isEnabled();
        progress_shown = c<QProgressBar>("prg_run").isVisibleTo(window.get());
        window->generate_pages();  // ignored: one run at a time
        action("mnu_file_exit").trigger();
        EXPECT_EQ(ended, 0);  // not before the run has ended
    });
    window->generate_pages();
    EXPECT_TRUE(stop_enabled);
    EXPECT_TRUE(progress_shown);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(error_lines().contains("Generation stopped by the user."));
    EXPECT_FALSE(QFileInfo::exists(path("site/p299.html")));
}

TEST_F(runs, auto_runs_even_with_generate_disabled_then_counts_down_and_ends_once) {
    // A table the database no longer holds: Generate stays disabled, the run
    // goes ahead with the record as read and reports the problem itself.
    const QString file =
        write_settings("auto.kvn", "0", "site.sqlite", "0", "gone", "template_file", "page_file");
    exit_interval_ms = 3600 * 1000;  // ticks come from the test
    make_window({"/auto", file});
    EXPECT_FALSE(action("mnu_run_gen").isEnabled());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Korvane - Error loading settings");
    EXPECT_TRUE(error_lines().join('\n').contains("gone")) << error_lines().join('\n').toStdString();
    EXPECT_EQ(window->exit_countdown(), 5);

    QTimer& timer = c<QTimer>("tim_exit_timer");
    EXPECT_TRUE(timer.isActive());
    for (int left = 4; left >= 0; --left) {
        EXPECT_EQ(ended, 0);
        ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
        EXPECT_EQ(status(), QString(" Automatically exiting Korvane in %1 seconds...").arg(left));
    }
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(timer.isActive());
}

TEST_F(runs, without_auto_nothing_runs_and_a_bad_line_leaves_the_window_open) {
    const QString file =
        write_settings("plain.kvn", "0", "site.sqlite", "0", "pages", "template_file", "page_file");
    exit_interval_ms = 5;
    // The splash comes after the states are set and before the window shows.
    int splashes = 0;
    splash = [&](QWidget* owner) {
        ++splashes;
        EXPECT_EQ(owner, window.get());
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(status(), " Designing query");
        EXPECT_FALSE(combo("lst_main_table").isEnabled());
        EXPECT_EQ(window->windowTitle(), "Korvane");
    };
    make_window({file});
    EXPECT_EQ(splashes, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Korvane - plain.kvn");
    EXPECT_TRUE(error_lines().isEmpty());
    make_window({"/auto"});
    QTest::qWait(40);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(window->exit_countdown(), 0);
}

TEST_F(runs, the_wizard_record_replaces_the_panel_and_cancel_changes_nothing) {
    GenerationSettings handed;
    handed.filename = "WiZaRd";
    handed.database_type = 0;
    handed.database_name = path("site.sqlite").toStdString();
    handed.main_type = 2;
    handed.main_name = "select template_file, page_file from pages";
    handed.template_field = "template_file";
    handed.generated_field = "page_file";
    handed.template_path = path("templates/").toStdString();
    handed.generated_path = path("site/").toStdString();
    bool hand_over = false;
    wizard = [&](QWidget*, message_port&, file_dialog_port&,
                 const std::function<void(const GenerationSettings&)>& receive) {
        if (!hand_over) return false;
        receive(handed);
        // Only stored until the wizard has closed.
        EXPECT_EQ(window->windowTitle(), "Korvane");
        EXPECT_EQ(box("txt_main_table_sql").text(), "select 1 as a");
        return true;
    };
    make_window();
    open_site_database();
    choose("lst_main_table", "SQL");
    box("txt_main_table_sql").setText("select 1 as a");
    press_enter("txt_main_table_sql");
    const GenerationSettings before = window->current_settings();

    window->run_wizard();
    EXPECT_EQ(window->current_settings(), before);

    hand_over = true;
    window->run_wizard();
    GenerationSettings expected = handed;
    expected.filename.clear();
    EXPECT_EQ(window->current_settings(), expected);
    EXPECT_EQ(box("txt_main_table_sql").text(), QString::fromStdString(handed.main_name));
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(runs, check_templates_lists_findings_in_the_report) {
    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=nosuchfield--></p>\r\n");
    fill_panel_for_pages();
    box("txt_template_path").setText(path("templates/"));
    box("txt_generated_path").setText(path("site/"));
    action("mnu_run_check").trigger();
    const QStringList lines = error_lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(path("templates/page.html") + ":1:")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(": warning: "));
    EXPECT_TRUE(lines.back().startsWith("Check complete: "));

    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=title--></p>\r\n");
    action("mnu_run_check").trigger();
    EXPECT_EQ(error_lines(), QStringList({"Check complete: no problems found."}));
}

TEST_F(runs, help_opens_the_files_or_says_which_one_is_missing) {
    action("mnu_help_docs").trigger();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Unable to load documentation file");
    EXPECT_EQ(messages.messages[0].text,
              "Enable to open the Korvane documentation file (" +
                  path("korvane_documentation.html").toStdString() +
                  ") using your default browser");
    EXPECT_TRUE(desktop.urls.empty());

    action("mnu_help_rel_notes").trigger();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].caption, "Unable to load release notes file");
    EXPECT_EQ(messages.messages[1].text,
              "Unable to open the Korvane release notes file (" +
                  path("release notes.txt").toStdString() +
                  ") using your default text editor");

    write_text_file(path("korvane_documentation.html"), "<html></html>");
    action("mnu_help_docs").trigger();
    ASSERT_EQ(desktop.urls.size(), 1u);
    EXPECT_EQ(desktop.urls[0], QUrl::fromLocalFile(path("korvane_documentation.html")));
    desktop.result = false;
    action("mnu_help_docs").trigger();
    EXPECT_EQ(messages.messages.size(), 3u);
}

TEST_F(runs, a_dropped_settings_file_opens_as_file_open_would) {
    const QString file =
        write_settings("drop.kvn", "0", "site.sqlite", "0", "pages", "template_file", "page_file");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    // Opened once the drop has been answered.
    EXPECT_EQ(window->windowTitle(), "Korvane");
    QCoreApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Korvane - drop.kvn");
    EXPECT_TRUE(action("mnu_run_gen").isEnabled());
}
