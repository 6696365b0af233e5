// Runs from the menu and from "/auto", the count-down, stopping, the wizard's
// hand-over, the template check, Help and a dropped file.
#include "main_window_fixture.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>

using runs = main_window_test;

TEST_F(runs, a_record_opened_from_another_folder_runs_from_the_menu) {
    write_settings("a.kvn", "0", "site.sqlite", "0", "pages");
    QDir::setCurrent(QDir::tempPath());
    script().run(scenarios, "open");
    EXPECT_EQ(report().back(), "Process complete. 2 files generated");
}

TEST_F(runs, during_a_run_generate_is_ignored_and_exit_stops_after_the_page_then_ends) {
    make_sqlite_file(path("site.sqlite"),
                     "create table many as with recursive n(i) as (select 0 union all select i + 1 "
                     "from n where i < 299) select 'page.html' as template_file, 'p' || i || "
                     "'.html' as page_file, 'x' as title from n;");
    services.run_event_interval_ms = 0;
    make_window({write_settings("many.kvn", "0", "site.sqlite", "0", "many")});
    bool seen_running = false;
    QTimer::singleShot(0, window.get(), [&] {
        seen_running = c<QAction>("mnu_run_stop").isEnabled() &&
                       c<QProgressBar>("prg_run").isVisibleTo(window.get());
        window->generate_pages();  // ignored
        window->file_exit();
        EXPECT_EQ(ended, 0);  // not before the run has ended
    });
    window->generate_pages();
    EXPECT_TRUE(seen_running);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(report().contains("Generation stopped by the user."));
    EXPECT_FALSE(QFileInfo::exists(path("site/p299.html")));
}

TEST_F(runs, auto_runs_even_with_generate_disabled_then_counts_down_and_ends_once) {
    // The table is gone: Generate stays off, the run goes ahead with the
    // record as read and reports the problem itself.
    services.exit_timer_interval_ms = 3600 * 1000;  // the ticks come from the test
    services.show_splash = [&](QWidget*) {
        EXPECT_FALSE(window->isVisible() || window->has_database());
    };
    make_window({"/auto", write_settings("auto.kvn", "0", "site.sqlite", "0", "gone")});
    EXPECT_FALSE(generate_enabled());
    EXPECT_EQ(last().caption, "Korvane - Error loading settings");
    EXPECT_TRUE(report().join('\n').contains("gone"));
    QTimer& timer = c<QTimer>("tim_exit_timer");
    for (int left = 4; left >= 0; --left) {
        EXPECT_EQ(ended, 0);
        ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
        EXPECT_EQ(status(), QString(" Automatically exiting Korvane in %1 seconds...").arg(left));
    }
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(timer.isActive());
}

TEST_F(runs, the_wizard_record_replaces_the_panel_and_cancel_changes_nothing) {
    const std::string db = path("site.sqlite").toStdString();
    GenerationSettings handed = {"WiZaRd",        0,           db, 2, "select * from pages",
                                 "template_file", "page_file", "", ""};
    bool finish = false;
    services.run_wizard = [&](QWidget*, message_port&, file_dialog_port&,
                              const std::function<void(const GenerationSettings&)>& hand_over) {
        if (finish) hand_over(handed);
        return finish;
    };
    make_window();
    fill_panel_for_pages();
    script().run(scenarios, "sql");
    const GenerationSettings before = window->current_settings();
    window->run_wizard();
    EXPECT_EQ(window->current_settings(), before);

    finish = true;
    window->run_wizard();  // the older statement in the box must not win
    handed.filename.clear();
    EXPECT_EQ(window->current_settings(), handed);
    EXPECT_EQ(box("txt_main_table_sql").text().toStdString(), handed.main_name);
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_TRUE(generate_enabled());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(runs, check_templates_lists_findings_in_the_report) {
    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=nosuchfield--></p>\r\n");
    fill_panel_for_pages();
    c<QAction>("mnu_run_check").trigger();
    ASSERT_GE(report().size(), 2);
    EXPECT_TRUE(report()[0].startsWith(path("templates/page.html") + ":1:"))
        << report()[0].toStdString();
    EXPECT_TRUE(report()[0].contains(": warning: "));
    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=title--></p>\r\n");
    c<QAction>("mnu_run_check").trigger();
    EXPECT_EQ(report(), QStringList({"Check complete: no problems found."}));
}

TEST_F(runs, help_opens_the_documentation_or_says_where_it_is_missing) {
    script().run(scenarios, "help");
    EXPECT_TRUE(desktop.urls.empty());
    write_text_file(path("korvane_documentation.html"), "<html></html>");
    c<QAction>("mnu_help_docs").trigger();
    EXPECT_EQ(desktop.urls.at(0), QUrl::fromLocalFile(path("korvane_documentation.html")));
}

TEST_F(runs, a_dropped_settings_file_opens_as_file_open_would) {
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(write_settings("drop.kvn", "0", "site.sqlite", "0", "pages"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    QCoreApplication::processEvents();  // opened once the drop has been answered
    EXPECT_EQ(window->windowTitle(), "Korvane - drop.kvn");
    EXPECT_TRUE(generate_enabled());
}
