// SPDX-License-Identifier: Apache-2.0
// Runs from the menu and from "/auto", the count-down, stopping, the wizard's
// hand-over, the template check, Help and a dropped file.
#include "main_window_fixture.h"
#include "ui/main/background_run.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using runs = main_window_test;

TEST_F(runs, a_record_opened_from_another_folder_runs_from_the_menu) {
    write_settings("a.kvn", "0", "site.sqlite", "0", "pages");
    QDir::setCurrent(QDir::tempPath());
    script().run(scenarios, "open");
    EXPECT_EQ(report().back(), "Process complete. 2 files generated");
}

TEST_F(runs, during_a_run_generate_is_ignored_and_exit_stops_after_the_page_then_ends) {
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
    GenerationSettings handed = {"",        0,           db, 2, "select * from pages",
                                 "template_file", "page_file", "", ""};
    bool finish = false;
    services.run_wizard = [&](QWidget*, message_port&,
                              file_dialog_port&) -> std::optional<GenerationSettings> {
        if (finish) return handed;
        return std::nullopt;
    };
    make_window();
    fill_panel_for_pages();
    script().run(scenarios, "sql");
    const GenerationSettings before = window->current_settings();
    window->run_wizard();
    EXPECT_EQ(window->current_settings(), before);

    finish = true;
    window->run_wizard();  // the older statement in the box must not win
    EXPECT_EQ(window->current_settings(), handed);
    EXPECT_EQ(box("txt_main_table_sql").text().toStdString(), handed.main_name);
    EXPECT_EQ(window->windowTitle(), "Korvane");
    EXPECT_TRUE(generate_enabled());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(runs, check_templates_lists_findings_in_the_report) {
    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=nosuchfield--></p>\r\n");
    fill_panel_for_pages();
    script().run(scenarios, "check");
    write_text_file(path("templates/page.html"), "<p><!--MAIN_FIELD=title--></p>\r\n");
    script().run(scenarios, "check_clean");
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

TEST_F(runs, stop_during_a_slow_page_is_answered_at_once_and_ends_the_run_at_the_next_row) {
    // Every page counts through a long recursive statement in its section.
    write_text_file(path("templates/slow.html"),
                    "<p><!--REPEAT=with recursive n(i) as (select 0 union all select i + 1 from n "
                    "where i < 1000000) select count(*) as c from n--><!--REPEAT_FIELD=c-->"
                    "<!--END REPEAT--></p>\r\n");
    services.run_event_interval_ms = 10;
    make_window({write_settings("slow.kvn", "0", "site.sqlite", "0", "slow")});
    // The window's own timer keeps ticking while a page is made: a timer of
    // the test's sees one page in the status line twice, then stops the run
    // while a page is being made.
    QString stopped_in;
    int ticks_in_that_page = 0;
    bool stop_sent = false;
    QTimer observer;
    observer.setInterval(5);
    QObject::connect(&observer, &QTimer::timeout, [&] {
        const QString now = status();
        if (!now.startsWith(" Generating file, ")) return;
        const QString page = now.section(", ", 1, 1);
        if (!stop_sent && page != stopped_in) {
            stopped_in = page;  // a page ended between two looks: count the next one
            ticks_in_that_page = 0;
        }
        if (page == stopped_in) ++ticks_in_that_page;
        if (!stop_sent && ticks_in_that_page == 2) {
            stop_sent = true;
            c<QAction>("mnu_run_stop").trigger();
        }
    });
    observer.start();
    window->generate_pages();
    observer.stop();
    ASSERT_FALSE(stopped_in.isEmpty());
    EXPECT_GE(ticks_in_that_page, 2);  // events ran during the slow page
    EXPECT_TRUE(report().contains("Generation stopped by the user."));
    // A page in hand when the stop came is finished whole or, when the stop
    // cut its statement short, not written at all; no further one is begun
    // (each core may have had one in hand).
    const QStringList written = QDir(path("site")).entryList({"*.html"});
    EXPECT_LT(written.size(), 12);
    for (const QString& page : written)
        EXPECT_EQ(read_text_file(path("site/" + page)), "<p>1000001</p>\r\n") << page.toStdString();
    EXPECT_FALSE(c<QProgressBar>("prg_run").isVisibleTo(window.get()));
}

TEST_F(runs, the_bar_shows_the_status_lines_number_and_hides_after_a_failed_open) {
    std::vector<std::pair<int, QString>> seen;  // bar, status
    services.run_event_interval_ms = 1;
    make_window({write_settings("a.kvn", "0", "site.sqlite", "0", "pages")});
    QTimer observer;
    observer.setInterval(1);
    QObject::connect(&observer, &QTimer::timeout, [&] {
        seen.emplace_back(c<QProgressBar>("prg_run").value(), status());
    });
    window->generate_pages();
    for (const auto& [bar, text] : seen) {
        if (text.endsWith("% complete")) {
            EXPECT_GE(text.section(", ", 2).section('%', 0, 0).toInt(), bar) << text.toStdString();
        }
    }
    EXPECT_EQ(run_percent(1, 3), 33);
    EXPECT_EQ(run_percent(2, 3), 67);  // the status line rounds, never truncates
    EXPECT_EQ(run_percent(1, 200), 0);  // 0.5 to the even neighbour, as the status line
    EXPECT_EQ(run_percent(3, 200), 2);

    QFile::remove(path("site.sqlite"));
    window->generate_pages();
    EXPECT_TRUE(report().join('\n').contains("site.sqlite"));
    EXPECT_FALSE(c<QProgressBar>("prg_run").isVisibleTo(window.get()));
}

TEST_F(runs, the_windows_run_on_every_core_gives_the_pages_and_report_of_korvane_cli) {
    const QString settings = write_settings("mixed.kvn", "0", "site.sqlite", "0", "mixed");
    make_window({settings});
    window->generate_pages();
    const QStringList window_report = report();
    QDir site(path("site"));
    std::map<QString, std::string> window_pages;
    for (const QString& page : site.entryList({"*.html"}))
        window_pages[page] = read_text_file(site.filePath(page));
    ASSERT_EQ(window_pages.size(), 40u - 5u);
    ASSERT_TRUE(site.removeRecursively() && QDir(dir.path()).mkdir("site"));

    QProcess cli;
    cli.start(KORVANE_CLI, {"generate", settings, "--jobs", "2", "--quiet", "--report",
                            path("report.txt")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    std::map<QString, std::string> cli_pages;
    for (const QString& page : site.entryList({"*.html"}))
        cli_pages[page] = read_text_file(site.filePath(page));
    EXPECT_EQ(cli_pages, window_pages);
    QStringList cli_report = QString::fromStdString(read_text_file(path("report.txt")))
                                 .split('\n');
    while (!cli_report.isEmpty() && cli_report.back().isEmpty() &&
           cli_report.size() > window_report.size())
        cli_report.removeLast();
    for (QString& line : cli_report) line.remove('\r');
    EXPECT_EQ(cli_report, window_report);
}

// Run > Remove stale pages: off, a page whose row went stays; on, it goes,
// and a file no run wrote stays either way.
TEST_F(runs, remove_stale_pages_deletes_only_pages_an_earlier_run_of_the_file_wrote) {
    make_window({write_settings("s.kvn", "0", "site.sqlite", "0", "pages")});
    write_text_file(path("site/mine.html"), "not Korvane's");
    script().run(scenarios, "generate");
    make_sqlite_file(path("site.sqlite"), "delete from pages where page_file = 'two.html';");
    script().run(scenarios, "stale");
}

// The window's run takes the output folder's lock as every run does: it
// waits for the run holding it, says so, and Stop ends the wait.
TEST_F(runs, a_run_waits_for_another_run_on_its_folder_and_stop_ends_the_wait) {
    const QString settings = write_settings("s.kvn", "0", "site.sqlite", "0", "pages");
    make_window({settings});
    const int held = ::open(path("site/.korvane.lock").toLocal8Bit().constData(),
                            O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    bool waited = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, window.get(), [&] {
        if (!status().contains("Waiting for another run")) return;
        waited = true;
        c<QAction>("mnu_run_stop").trigger();
    });
    poll.start(20);
    window->generate_pages();
    ::close(held);
    EXPECT_TRUE(waited);
    EXPECT_TRUE(report().contains("Generation stopped by the user."));
    EXPECT_FALSE(QFileInfo::exists(path("site/one.html")));
}

// Run > Keep pages in their folders refuses a row whose page lies outside
// the generated folder; without it the row writes there, as rows may.
TEST_F(runs, keep_pages_in_their_folders_refuses_a_row_leaving_its_folder) {
    make_sqlite_file(path("site.sqlite"),
                     "update pages set page_file = '../outside.html' where page_file = 'two.html';");
    make_window({write_settings("s.kvn", "0", "site.sqlite", "0", "pages")});
    script().run(scenarios, "confine");
}
