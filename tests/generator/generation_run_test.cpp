// SPDX-License-Identifier: Apache-2.0
// Whole generation runs over real SQLite files: the pages byte for byte and
// the error report line for line.
#include "generator/page_generator.h"
#include "run_test_support.h"
#include "sqlite_test_support.h"
#include "../support/case_table.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace korvane::generator {
namespace {

using lines = std::vector<std::string>;

class generation_run : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_.path("templates"));
        std::filesystem::create_directories(folder_.path("out"));
    }

    run_options options(std::int64_t row_limit = classic_row_limit) {
        run_options o;
        o.base_folder = folder_.dir().string();
        o.clock = test::fixed_time;
        o.row_limit = row_limit;
        o.messages = &messages_;
        o.events = &pump_;
        return o;
    }

    static GenerationSettings settings(std::string main_name = "pages",
                                       std::int16_t main_type = 0) {
        return {.filename = "",
                .database_type = 0,
                .database_name = "site.db",
                .main_type = main_type,
                .main_name = std::move(main_name),
                .template_field = "tpl",
                .generated_field = "out",
                .template_path = "templates/",
                .generated_path = "out/"};
    }

    // The site run_sites.tsv gives; further SQL after it.
    void make_site(const std::string& name, const std::string& more_sql = "") {
        std::string sql = "create table pages(id integer, tpl text, out text);";
        int id = 0;
        for (const auto& row : test::read_case_table("generator/run_sites.tsv", 3)) {
            if (row[0] != name) continue;
            const std::string values = std::to_string(++id) + ", '" + row[1] + "', '" + row[2] + "'";
            sql += "insert into pages values(" + values + ");";
        }
        ASSERT_TRUE(test::make_sqlite_file(folder_.path("site.db"), sql + more_sql));
    }
    void write_template(const std::string& name, const std::string& text) {
        test::write_file(folder_.path("templates/" + name), text);
    }
    std::string page(const std::string& name) {
        return test::read_file(folder_.path("out/" + name));
    }
    void run(const GenerationSettings& s = settings(), std::int64_t row_limit = classic_row_limit) {
        page_generator generator(options(row_limit));
        generator.start_page_generator(status_, report_, s);
    }
    const lines& report() const { return report_.lines(); }

    // The report run_reports.tsv gives for the case.
    lines expected(const std::string& name) const {
        lines report;
        for (const auto& row : test::read_case_table("generator/run_reports.tsv", 1)) {
            if (row[0] != name) continue;
            std::string line = row.fields.size() > 1 ? row[1] : "";
            for (const auto& [word, text] :
                 {std::pair{"$OUT", folder_.path("out")}, {"$DIR", folder_.dir().string()},
                  {"$ENOENT", std::generic_category().message(ENOENT)}}) {
                if (const auto at = line.find(word); at != std::string::npos)
                    line.replace(at, std::strlen(word), text);
            }
            report.push_back(line);
        }
        EXPECT_FALSE(report.empty()) << "no report " << name;
        return report;
    }

    test::temp_folder folder_;
    memory_error_list report_;
    test::recording_status status_;
    test::recording_messages messages_;
    test::recording_pump pump_;
};

TEST_F(generation_run, the_classic_row_limit_is_32767_rows_for_sections_and_the_main_result) {
    const std::string numbers =
        "with recursive n(x) as (select 1 union all select x+1 from n where x<";
    make_site("big");
    auto section = [&](const char* limit, const char* select, const char* body) {
        return "<!--REPEAT=" + numbers + limit + ") " + select + " from n-->" + body +
               "<!--END REPEAT-->\n";
    };
    write_template("big.html", section("32767", "select max(x) as m", "<!--REPEAT_FIELD=m-->") +
                                   section("32767", "select x", "x<!--REPEAT ELSE-->no") +
                                   section("32768", "select x", "x<!--REPEAT ELSE-->too many"));
    run();
    EXPECT_EQ(page("big.html"), "32767\r\n" + std::string(32767, 'x') + "\r\ntoo many\r\n");
    EXPECT_EQ(report(), expected("one page"));

    // A main result of 32768 rows counts as empty; lifted, every row is taken.
    ASSERT_TRUE(test::make_sqlite_file(folder_.path("site.db"),
                                       "insert into pages(id) " + numbers + "32767) select x + 1 from n;"));
    run();
    EXPECT_EQ(report(), expected("no page"));
    run(settings(), no_row_limit);
    ASSERT_EQ(report().size(), 3 + 4 * 32767U);
    EXPECT_EQ(report()[2], "Template does not exist or contains no text ");
    EXPECT_EQ(report().back(), "Process complete. 1 files generated");
}

// --- The run -------------------------------------------------------------------

TEST_F(generation_run, progress_shows_rounded_percentages_and_every_page_counts) {
    make_site("eight pages");
    write_template("p.html", "<!--MAIN_FIELD=id-->");
    run();
    EXPECT_EQ(status_.texts, expected("eight captions"));
    EXPECT_EQ(page("p8.html"), "8\r\n");
    EXPECT_EQ(report(), expected("eight pages"));
    EXPECT_TRUE(messages_.shown.empty());

    // Pages already up to date count as generated.
    test::write_file(folder_.path("out/p2.html"), "old");
    page_generator generator(options());
    generator.start_page_generator(status_, report_, settings());
    EXPECT_EQ(report(), expected("eight pages"));
    EXPECT_EQ(generator.pages_unchanged(), 7);
    EXPECT_EQ(generator.pages_written(), 1);
    EXPECT_EQ(page("p2.html"), "2\r\n");
}

TEST_F(generation_run, a_stop_ends_the_run_between_pages_with_its_completion_lines) {
    make_site("four pages");
    write_template("p.html", "<!--MAIN_FIELD=id-->");
    stop_source stop;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    run_options o = options();
    o.stop = stop.token();
    o.progress = [&](std::int64_t row, std::int64_t count) {
        progress.emplace_back(row, count);
        if (row == 2) stop.request_stop();
    };
    page_generator generator(o);
    generator.start_page_generator(status_, report_, settings());
    EXPECT_EQ(progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 4}, {2, 4}}));
    EXPECT_EQ(report(), expected("stopped after two"));
    EXPECT_EQ(status_.texts.back(), " Process complete!  2 files generated");
    EXPECT_EQ(page("2.html"), "2\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder_.path("out/3.html")));

    // A stop asked before the run makes no page at all.
    generator.start_page_generator(status_, report_, settings());
    EXPECT_EQ(report(), expected("stopped at once"));
    EXPECT_EQ(progress.size(), 2u);
}

TEST_F(generation_run, a_database_that_cannot_be_opened_ends_the_run) {
    GenerationSettings s = settings();
    s.database_name = "missing.db";
    run(s);
    const std::string error = "Could not find file '" + folder_.path("missing.db") + "'.";
    EXPECT_EQ(messages_.shown,
              (std::vector<test::shown_message>{
                  {"Korvane - Database problem", error, message_icon::critical},
                  {"Korvane - Database error", "Problem opening database: missing.db",
                   message_icon::critical}}));
    EXPECT_EQ(report(), expected("missing database"));
    EXPECT_EQ(status_.texts, lines{""});

    // A connection text's password stays out of the report.
    s.database_type = 1;
    s.database_name = "Driver=korvane_no_driver;Uid=me;PWD=secret";
    run(s);
    ASSERT_EQ(report().size(), 6u);
    EXPECT_EQ(report()[4], "    Database: Driver=korvane_no_driver;Uid=me;PWD=***");
    for (const auto& line : report()) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
}

TEST_F(generation_run, a_main_result_that_fails_or_is_empty_makes_no_page) {
    make_site("two pages");
    write_template("p.html", "p");
    run(settings("select * from nowhere", 2));
    EXPECT_EQ(report(), expected("failing main"));
    EXPECT_TRUE(messages_.shown.empty());

    // A field missing from the main result ends the run at the first row; the
    // report starts anew with each run.
    GenerationSettings s = settings();
    s.generated_field = "file";
    run(s);
    EXPECT_EQ(report(), expected("missing field"));

    run(settings("select * from pages where id > 2", 2));
    EXPECT_EQ(report(), expected("no page"));
    EXPECT_EQ(status_.texts, (lines{"", " Process complete!  0 files generated", "",
                                    " Process complete!  0 files generated", "",
                                    " Process complete!  0 files generated"}));
    // Only the run's lock file (output_lock.h) is there.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path("out")), {}), 1);
}

TEST_F(generation_run, rows_without_a_template_are_skipped) {
    make_site("missing templates", "update pages set tpl = null where id = 1;");
    write_template("empty.html", "");
    write_template("ok.html", "ok");
    run();
    EXPECT_EQ(report(), expected("missing templates"));
    EXPECT_EQ(page("e.html"), "ok\r\n");
    // and the run's lock file
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path("out")), {}), 2);
}

TEST_F(generation_run, pages_that_cannot_be_opened_or_written_are_reported_and_not_counted) {
    make_site("unwritable pages");
    std::filesystem::create_directories(folder_.path("out/sub"));
    std::filesystem::create_directories(folder_.path("out/gone"));
    write_template("ok.html", "ok");
    // A failing statement counts as no rows. It lets the window work
    // mid-page; the page's folder goes then.
    write_template("p.html",
                   "<!--REPEAT=select * from nowhere where id=#--MAIN_FIELD=id--#-->x"
                   "<!--REPEAT ELSE-->no rows <!--END REPEAT-->page");
    bool removed = false;
    pump_.on_pump = [&] {
        if (!removed && report().size() > 14) {
            std::filesystem::remove_all(folder_.path("out/gone"));
            removed = true;
        }
    };
    run();
    ASSERT_TRUE(removed);
    EXPECT_EQ(report(), expected("unwritable pages"));
    EXPECT_EQ(page("fine.html"), "no rows page\r\n");
}

TEST_F(generation_run, a_template_is_read_again_only_when_the_row_names_another) {
    make_site("late template");
    write_template("a.html", "first A <!--MAIN_FIELD=id-->");
    page_generator generator(options());
    ASSERT_TRUE(generator.open_database(settings()));
    ASSERT_EQ(generator.open_main_recordset(0, "pages"), 5);

    memory_error_list row_report;
    test::recording_status row_status;
    auto generate = [&](std::int64_t row) {
        return generator.generate_row(row, 5, row_report, row_status);
    };
    // Rows can be taken in any order.
    EXPECT_EQ(generate(2), page_outcome::written);
    write_template("a.html", "second A <!--MAIN_FIELD=id-->");
    EXPECT_EQ(generate(1), page_outcome::written);
    // A missing template stays missing for the next row naming it.
    EXPECT_EQ(generate(3), page_outcome::skipped);
    write_template("late.html", "here now");
    EXPECT_EQ(generate(4), page_outcome::skipped);
    EXPECT_EQ(generate(5), page_outcome::written);
    generator.close();

    EXPECT_EQ(page("1.html") + page("2.html") + page("5.html"),
              "first A 1\r\nfirst A 2\r\nsecond A 5\r\n");
    EXPECT_EQ(generator.files_generated(), 3);
    EXPECT_EQ(row_status.texts, (lines{" Generating file, 2.html, 40% complete",
                                       " Generating file, 1.html, 20% complete",
                                       " Generating file, 5.html, 100% complete"}));
    EXPECT_EQ(row_report.lines(), expected("late template"));
}

}  // namespace
}  // namespace korvane::generator
