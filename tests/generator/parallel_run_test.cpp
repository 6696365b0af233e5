// SPDX-License-Identifier: Apache-2.0
// Pages made on several threads are the pages, report and captions of the
// rows made one after the other; from a row whose page depends on the rows
// before it the run says why and makes the rest in order.
#include "generator/parallel_run.h"
#include "run_test_support.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <filesystem>
#include <map>
#include <set>

namespace korvane::generator {
namespace {

namespace fs = std::filesystem;
using lines = std::vector<std::string>;

// Forty rows of template a.html writing p<id>.html, but for the rows named.
std::string rows_sql(const std::string& template_cases, const std::string& output_cases) {
    return "create table p (id integer, tpl text, out text);"
           "with recursive n(i) as (select 1 union all select i + 1 from n where i < 40) "
           "insert into p select i, case i " + template_cases + " else 'a.html' end, case i " +
           output_cases + " else 'p' || i || '.html' end from n;";
}

struct made_site {
    parallel_result result;
    std::map<std::string, std::string> pages;
    lines report, captions;
    std::int64_t written = 0;
};

class parallel_run : public ::testing::Test {
protected:
    made_site make(unsigned jobs, shard part = {}, stop_token stop = {},
                   std::function<void(std::int64_t)> on_row = {}) {
        fs::remove_all(folder_.dir() / "out");
        fs::remove_all(folder_.dir() / "templates");
        fs::create_directories(folder_.dir() / "out");
        fs::create_directories(folder_.dir() / "templates");
        test::write_file(folder_.path("templates/a.html"), "row <!--MAIN_FIELD=id-->\n");

        run_options run;
        run.base_folder = folder_.dir().string();
        run.clock = test::fixed_time;
        const GenerationSettings settings{.filename = "",
                                          .database_type = 0,
                                          .database_name = "site.db",
                                          .main_type = 2,
                                          .main_name = "select * from p order by id",
                                          .template_field = "tpl",
                                          .generated_field = "out",
                                          .template_path = "templates/",
                                          .generated_path = "out/"};
        made_site site;
        memory_error_list report;
        test::recording_status status;
        page_generator reporter(run);
        reporter.begin_run(status, report);
        EXPECT_TRUE(reporter.open_database(settings));
        const std::int64_t rows = reporter.open_main_recordset(settings.main_type, settings.main_name);
        parallel_options options;
        options.jobs = jobs;
        options.run = run;
        options.report = &report;
        options.status = &status;
        options.stop = stop;
        options.make_rows_while_threads_open = false;
        options.part = part;
        std::int64_t last_row = 0;
        options.progress = [&](std::int64_t row, std::int64_t count, page_outcome, const std::string&) {
            EXPECT_GT(row, last_row);  // in row order, each row once
            EXPECT_EQ(count, 40);
            last_row = row;
            if (on_row) on_row(row);
        };
        site.result = make_pages(reporter, settings, rows, options);
        reporter.finish_run();
        site.written = reporter.pages_written();
        site.report = report.lines();
        site.captions = status.texts;
        for (const auto& e : fs::directory_iterator(folder_.dir() / "out")) {
            site.pages[e.path().filename().string()] = test::read_file(e.path().string());
        }
        return site;
    }

    test::temp_folder folder_;
};

// One case per reason the order of the rows matters, and one without.
TEST_F(parallel_run, threads_give_the_pages_of_row_order_and_go_in_order_only_when_they_must) {
    struct order_case {
        const char* what;
        std::string template_cases, output_cases;
        one_thread_reason reason;
        const char* page;  // a page whose text depends on row order
        const char* text;
    };
    const order_case cases[] = {
        {"every row its own file", "when 0 then ''", "when 0 then ''", one_thread_reason::none,
         "p30.html", "row 30\r\n"},
        // The later row's page is the one left.
        {"two rows write one file", "when 0 then ''",
         "when 5 then 'same.html' when 20 then 'same.html'", one_thread_reason::rows_share_output,
         "same.html", "row 20\r\n"},
        // Row 30's template is the page row 7 writes.
        {"a row uses another row's page", "when 30 then 'gen.html'",
         "when 7 then '../templates/gen.html'", one_thread_reason::page_used_as_template,
         "p30.html", "row 7\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test::make_sqlite_file(folder_.path("site.db"),
                                           "drop table if exists p;" +
                                               rows_sql(c.template_cases, c.output_cases)));
        const made_site one = make(1);
        const made_site four = make(4);
        EXPECT_EQ(four.result.reason, c.reason);
        EXPECT_EQ(four.result.threads, 4u);
        EXPECT_EQ(four.result.rows_done, 40);
        EXPECT_EQ(four.pages.at(c.page), c.text);
        EXPECT_EQ(four.pages, one.pages);
        EXPECT_EQ(four.report, one.report);
        EXPECT_EQ(four.captions, one.captions);
        EXPECT_EQ(four.written, one.written);
        EXPECT_EQ(one.result.reason, one_thread_reason::none);  // one thread asked: nothing checked
    }
}

// A stop set before the run makes nothing; one set during it leaves every
// row reported made whole.
TEST_F(parallel_run, stop_makes_no_row_after_it_and_reports_the_rows_made) {
    ASSERT_TRUE(test::make_sqlite_file(folder_.path("site.db"), rows_sql("when 0 then ''", "when 0 then ''")));
    stop_source stop;
    stop.request_stop();
    const made_site none = make(2, {}, stop.token());
    EXPECT_EQ(none.result.rows_done, 0);
    EXPECT_TRUE(none.pages.empty());

    stop.reset();
    const made_site some = make(2, {}, stop.token(), [&](std::int64_t row) {
        if (row == 3) stop.request_stop();
    });
    EXPECT_GE(some.result.rows_done, 3);
    // Pages made past the first row left unmade still count: the count is
    // what is on disk.
    EXPECT_EQ(some.written, static_cast<std::int64_t>(some.pages.size()));
    for (std::int64_t row = 1; row <= some.result.rows_done; ++row) {
        const std::string name = "p" + std::to_string(row) + ".html";
        EXPECT_EQ(some.pages.at(name), "row " + std::to_string(row) + "\r\n");
    }
}

// The shards of a run, made apart, give between them the pages and the
// report lines of the whole run; rows writing one file stay in one shard.
TEST_F(parallel_run, shards_together_give_the_pages_and_report_of_one_run) {
    ASSERT_TRUE(test::make_sqlite_file(
        folder_.path("site.db"), rows_sql("when 11 then 'missing.html' when 12 then 'missing.html'",
                                          "when 5 then 'same.html' when 20 then 'same.html'")));
    // The report between its start lines and its completion line.
    auto problems = [](const lines& report) {
        EXPECT_GE(report.size(), 3u);
        std::multiset<std::string> middle(report.begin() + 2, report.end() - 1);
        return middle;
    };
    const made_site whole = make(1);
    ASSERT_EQ(whole.pages.size(), 37u);  // 40 rows, two without template, two on one page
    ASSERT_EQ(problems(whole.report).size(), 8u);
    for (const unsigned count : {1u, 2u, 3u, 4u}) {
        for (const unsigned jobs : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(count) + " shards, --jobs " + std::to_string(jobs));
            std::map<std::string, std::string> pages;
            std::multiset<std::string> report;
            std::int64_t written = 0;
            for (unsigned index = 0; index < count; ++index) {
                const made_site part = make(jobs, {index, count});
                for (const auto& [name, text] : part.pages) {
                    EXPECT_TRUE(pages.emplace(name, text).second) << name << " made by two shards";
                }
                report.merge(problems(part.report));
                written += part.written;
                EXPECT_EQ(part.report.back(),
                          "Process complete. " + std::to_string(part.written) + " files generated");
            }
            EXPECT_EQ(pages, whole.pages);
            EXPECT_EQ(report, problems(whole.report));
            EXPECT_EQ(written, whole.written);
        }
    }
}

// The default number of threads counts only the cores the process may run
// on (taskset, a container's CPU set), never fewer than one.
TEST(default_jobs, counts_the_cores_the_process_may_use) {
    cpu_set_t before;
    ASSERT_EQ(::sched_getaffinity(0, sizeof before, &before), 0);
    EXPECT_GE(default_jobs(), 1u);
    EXPECT_LE(default_jobs(), static_cast<unsigned>(CPU_COUNT(&before)));
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &before)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned on_one = default_jobs();
    ASSERT_EQ(::sched_setaffinity(0, sizeof before, &before), 0);
    EXPECT_EQ(on_one, 1u);
}

}  // namespace
}  // namespace korvane::generator
