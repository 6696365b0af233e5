// Whole generation runs over real SQLite files: the pages byte for byte and
// the error report line for line.
#include "data/engine/database.h"
#include "generator/page_generator.h"
#include "run_test_support.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvane::generator {
namespace {

using lines = std::vector<std::string>;

const std::string start_line = "Starting Korvane page generator...";

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

    static GenerationSettings settings(std::string main_name = "pages", std::int16_t main_type = 0) {
        GenerationSettings s;
        s.database_type = 0;
        s.database_name = "site.db";
        s.main_type = main_type;
        s.main_name = std::move(main_name);
        s.template_field = "tpl";
        s.generated_field = "out";
        s.template_path = "templates/";
        s.generated_path = "out/";
        return s;
    }

    void make_site(const std::string& sql) {
        ASSERT_TRUE(test::make_sqlite_file(folder_.path("site.db"), sql));
    }
    void write_template(const std::string& name, const std::string& text) {
        test::write_file(folder_.path("templates/" + name), text);
    }
    std::string page(const std::string& name) { return test::read_file(folder_.path("out/" + name)); }
    bool page_exists(const std::string& name) {
        return std::filesystem::exists(folder_.path("out/" + name));
    }

    void run(const GenerationSettings& s, std::int64_t row_limit = classic_row_limit) {
        page_generator generator(options(row_limit));
        generator.start_page_generator(status_, report_, s);
    }

    // The report of a run that got through: start lines, what happened, the
    // completion line.
    static lines full_report(const lines& middle, int generated) {
        lines all{start_line, ""};
        all.insert(all.end(), middle.begin(), middle.end());
        all.push_back("Process complete. " + std::to_string(generated) + " files generated");
        return all;
    }

    // What the engine says about sql on the site's database.
    std::string engine_error(const std::string& sql) {
        std::string error;
        auto database = data::open_database_file(folder_.path("site.db"), error);
        EXPECT_NE(database, nullptr) << error;
        if (!database) return error;
        EXPECT_EQ(database->open_record_set(sql, error), nullptr);
        return error;
    }

    // What the page writer says about an output file it cannot open.
    static std::string open_error(const std::string& path) {
        template_engine engine;
        std::string error;
        EXPECT_FALSE(engine.open_output_file(path, error));
        return error;
    }

    const lines& report() const { return report_.lines(); }

    test::temp_folder folder_;
    memory_error_list report_;
    test::recording_status status_;
    test::recording_messages messages_;
    test::recording_pump pump_;
};

const std::string pages_table =
    "create table pages(id integer, tpl text, out text, title text, slug text, note text);";

// --- Pages ---------------------------------------------------------------------

TEST_F(generation_run, every_value_tag_and_comment_kind_on_a_page) {
    make_site(pages_table +
              "insert into pages values(1, 'tags.html', 'tags.html', 'A&B', 'a b/c', null);");
    write_template("tags.html",
                   "<title><!--MAIN_FIELD=title--></title><!-- plain --><!--multi\n"
                   "line-->|<!--TODAYS DATE=dd mmm yyyy-->|<a href=\"/p?q=<!--MAIN_FIELD="
                   "field:=slug,escape:=true-->\"><!--MAIN_FIELD=field:=SLUG--></a>|"
                   "<!--MAIN_FIELD=note-->|<!--REPEAT_FIELD=id-->|<!--main_field=id-->");
    run(settings());
    EXPECT_EQ(page("tags.html"),
              "<title>A&B</title><!-- plain --><!--multi\r\n"
              "line-->|05 Dec 2026|<a href=\"/p?q=a%20b%2Fc\">a b/c</a>||"
              "Korvane: Field, id not found|<!--main_field=id-->\r\n");
    EXPECT_EQ(report(), full_report({}, 1));
    EXPECT_EQ(status_.texts.back(), " Process complete!  1 files generated");
    EXPECT_TRUE(messages_.shown.empty());
}

const std::string shop_tables =
    pages_table +
    "create table categories(cat_id integer, page_id integer, name text);"
    "create table products(prod_id integer, cat_id integer, name text, qty integer);"
    "create table orders(prod_id integer, customer text);"
    "insert into categories values(1, 1, 'Tea'), (2, 1, 'Cups');"
    "insert into products values(10, 1, 'Green', 20), (11, 1, 'Black', 5), (20, 2, 'Mug', 12);"
    "insert into orders values(10, 'Bob'), (10, 'Ann'), (20, 'Cy');";

TEST_F(generation_run, sections_three_deep_take_their_statements_from_the_rows_around_them) {
    make_site(shop_tables + "insert into pages values(1, 'shop.html', 'shop.html', 'One', '', '');");
    write_template(
        "shop.html",
        "<!--REPEAT=select cat_id, name from categories where page_id=#--MAIN_FIELD=id--# "
        "order by cat_id-->\n"
        "<h2><!--REPEAT_FIELD=name--></h2><!--REPEAT=select prod_id, name, qty, "
        "'#--REPEAT_FIELD=name--#' as cat from products where cat_id=#--REPEAT_FIELD=cat_id--# "
        "order by prod_id-->\n"
        "<!--START IF=current_record_num==1--><ul><!--END IF-->\n"
        "<li><!--REPEAT_FIELD=cat-->/<!--REPEAT_FIELD=name--> "
        "<!--START IF=#--REPEAT_FIELD=qty--#>10-->many<!--ELSE-->few<!--END IF-->"
        "<!--REPEAT=select customer, '#--REPEAT_FIELD=name--#' as product from orders "
        "where prod_id=#--REPEAT_FIELD=prod_id--# order by customer-->\n"
        " <!--REPEAT_FIELD=customer--> of <!--REPEAT_FIELD=product-->"
        "<!--START IF=current_record_num<number_of_records-->,<!--END IF-->\n"
        "<!--REPEAT ELSE--> none\n"
        "<!--END REPEAT--></li>\n"
        "<!--START IF=current_record_num==number_of_records--></ul><!--END IF-->\n"
        "<!--END REPEAT-->\n"
        "<!--END REPEAT--><!--MAIN_FIELD=title-->\n");
    run(settings());
    // Each row starts again just after its opening tag, so the rest of that
    // line (here nothing) ends a line once per row.
    EXPECT_EQ(page("shop.html"),
              "\r\n"
              "<h2>Tea</h2>\r\n"
              "<ul>\r\n"
              "<li>Tea/Green many\r\n"
              " Ann of Green,\r\n"
              "\r\n"
              " Bob of Green\r\n"
              "</li>\r\n"
              "\r\n"
              "\r\n"
              "\r\n"
              "<li>Tea/Black few none\r\n"
              "</li>\r\n"
              "</ul>\r\n"
              "\r\n"
              "\r\n"
              "<h2>Cups</h2>\r\n"
              "<ul>\r\n"
              "<li>Cups/Mug many\r\n"
              " Cy of Mug\r\n"
              "</li>\r\n"
              "</ul>\r\n"
              "\r\n"
              "One\r\n");
    EXPECT_EQ(report(), full_report({}, 1));
}

TEST_F(generation_run, else_parts_at_both_levels) {
    make_site(shop_tables +
              "insert into pages values(1, 'two.html', 'one.html', 'One', '', ''),"
              "(2, 'two.html', 'two.html', 'Two', '', '');");
    write_template("two.html",
                   "<h1><!--MAIN_FIELD=title--></h1><!--REPEAT=select cat_id, name from categories "
                   "where page_id=#--MAIN_FIELD=id--# order by cat_id-->\n"
                   "<h2><!--REPEAT_FIELD=name--></h2><!--REPEAT=select name from products "
                   "where cat_id=#--REPEAT_FIELD=cat_id--# and qty<15 order by name-->\n"
                   "<p><!--REPEAT_FIELD=name--></p>\n"
                   "<!--REPEAT ELSE--><p>no products</p>\n"
                   "<!--END REPEAT-->\n"
                   "<!--REPEAT ELSE--><p>no categories</p>\n"
                   "<!--END REPEAT--><footer>\n");
    run(settings());
    // The inner else part joins the line its section opened on.
    EXPECT_EQ(page("one.html"),
              "<h1>One</h1>\r\n<h2>Tea</h2>\r\n<p>Black</p>\r\n\r\n\r\n"
              "<h2>Cups</h2>\r\n<p>Mug</p>\r\n\r\n<footer>\r\n");
    // With no categories, the skip over the body counts the inner section's
    // line as one level, closed by the inner REPEAT ELSE; the inner END REPEAT
    // then ends the outer section and the outer REPEAT ELSE, now at the top
    // level, ends the page.
    EXPECT_EQ(page("two.html"), "<h1>Two</h1>\r\n");
    EXPECT_EQ(report(), full_report({}, 2));
}

TEST_F(generation_run, an_empty_inner_section_writes_its_else_part_on_the_open_line) {
    make_site(shop_tables + "insert into pages values(1, 'two.html', 'one.html', 'One', '', '');");
    write_template("two.html",
                   "<!--REPEAT=select cat_id, name from categories where page_id=1 order by cat_id-->\n"
                   "<h2><!--REPEAT_FIELD=name--></h2><!--REPEAT=select name from products "
                   "where cat_id=#--REPEAT_FIELD=cat_id--# and qty>15-->\n"
                   "<p><!--REPEAT_FIELD=name--></p>\n"
                   "<!--REPEAT ELSE--><p>none</p>\n"
                   "<!--END REPEAT-->\n"
                   "<!--END REPEAT-->.");
    run(settings());
    EXPECT_EQ(page("one.html"),
              "\r\n<h2>Tea</h2>\r\n<p>Green</p>\r\n\r\n"
              "\r\n<h2>Cups</h2><p>none</p>\r\n\r\n.\r\n");
}

TEST_F(generation_run, a_section_over_the_row_limit_writes_its_else_part) {
    make_site(pages_table + "insert into pages values(1, 'big.html', 'big.html', '', '', '');");
    const std::string rows =
        "with recursive n(x) as (select 1 union all select x+1 from n where x<";
    write_template("big.html", "<!--REPEAT=" + rows +
                                   "32767) select max(x) as m from n-->"
                                   "<!--REPEAT_FIELD=m--><!--END REPEAT-->\n"
                                   "<!--REPEAT=" + rows +
                                   "32767) select x from n-->x<!--REPEAT ELSE-->"
                                   "no<!--END REPEAT-->\n"
                                   "<!--REPEAT=" + rows +
                                   "32768) select x from n-->x<!--REPEAT ELSE-->"
                                   "too many<!--END REPEAT-->\n");
    run(settings());
    EXPECT_EQ(page("big.html").substr(0, 7), "32767\r\n");
    EXPECT_EQ(page("big.html").size(), 7 + 32767 + 2 + 10U);
    EXPECT_EQ(page("big.html").substr(page("big.html").size() - 10), "too many\r\n");
}

// --- Reports of the sections ------------------------------------------------

TEST_F(generation_run, reports_of_sections_and_conditions_name_the_template) {
    make_site(pages_table + "insert into pages values(7, 'bad.html', 'bad.html', '', '', '');");
    write_template("bad.html",
                   "<!--REPEAT=select nothing from nowhere where id=#--MAIN_FIELD=id--#-->x"
                   "<!--REPEAT ELSE-->fallback<!--END REPEAT-->\n"
                   "<!--START IF=-->a<!--END IF-->\n"
                   "<!--START IF=#--MAIN_FIELD=id--#-->b<!--END IF-->\n"
                   "<!--START IF=#--MAIN_FIELD=id--#>1e400-->c<!--END IF-->end\n");
    run(settings());
    EXPECT_EQ(page("bad.html"), "fallback\r\n\r\n\r\nend\r\n");
    const std::string sql = "select nothing from nowhere where id=7";
    EXPECT_EQ(report(), full_report({"Problem running SQL for repeating section:",
                                     "    " + engine_error(sql),
                                     "    Template: templates/bad.html", "    SQL: " + sql, "",
                                     "IF statement is missing data", "    IF TAG: ", "",
                                     "IF statement contains an invalid function",
                                     "    IF TAG: #--MAIN_FIELD=id--#", "",
                                     "Error encountered trying to evaluate expression",
                                     "    IF TAG: #--MAIN_FIELD=id--#>1e400",
                                     "    Expression: 7 > 1e400", ""},
                                    1));
}

TEST_F(generation_run, a_seventh_level_of_sections_with_rows_is_left_out) {
    make_site(pages_table + "insert into pages values(1, 'deep.html', 'deep.html', '', '', '');");
    std::string nest = "<!--REPEAT=select 7 as n-->seven<!--REPEAT ELSE-->none<!--END REPEAT-->";
    for (int level = 6; level >= 1; --level) {
        nest = "<!--REPEAT=select " + std::to_string(level) + " as n-->\n" +
               "<!--REPEAT_FIELD=n-->" + nest + "\n<!--END REPEAT-->";
    }
    write_template("deep.html", nest + "after");
    run(settings());
    EXPECT_EQ(page("deep.html"),
              "\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\r\n\r\n\r\n\r\n\r\nafter\r\n");
    EXPECT_EQ(report(), full_report({"Too many nested repeating sections (the limit is six):",
                                     "    Template: templates/deep.html",
                                     "    SQL: select 7 as n", ""},
                                    1));
}

// --- The run -------------------------------------------------------------------

TEST_F(generation_run, progress_shows_rounded_percentages) {
    std::string insert = pages_table;
    for (int row = 1; row <= 8; ++row) {
        insert += "insert into pages values(" + std::to_string(row) + ", 'p.html', 'p" +
                  std::to_string(row) + ".html', '', '', '');";
    }
    make_site(insert);
    write_template("p.html", "<!--MAIN_FIELD=id-->");
    run(settings());
    EXPECT_EQ(status_.texts,
              (lines{"", " Generating file, p1.html, 12% complete",
                     " Generating file, p2.html, 25% complete",
                     " Generating file, p3.html, 38% complete",
                     " Generating file, p4.html, 50% complete",
                     " Generating file, p5.html, 62% complete",
                     " Generating file, p6.html, 75% complete",
                     " Generating file, p7.html, 88% complete",
                     " Generating file, p8.html, 100% complete",
                     " Process complete!  8 files generated"}));
    EXPECT_EQ(page("p8.html"), "8\r\n");
    EXPECT_EQ(report(), full_report({}, 8));
}

TEST_F(generation_run, an_empty_main_result_generates_nothing) {
    make_site(pages_table);
    run(settings());
    EXPECT_EQ(report(), full_report({}, 0));
    EXPECT_EQ(status_.texts, (lines{"", " Process complete!  0 files generated"}));
}

TEST_F(generation_run, a_main_result_over_the_row_limit_generates_nothing) {
    make_site(pages_table +
              "insert into pages(id) with recursive n(x) as (select 1 union all select x+1 from n "
              "where x<32768) select x from n;");
    run(settings());
    EXPECT_EQ(report(), full_report({}, 0));

    // Lifted, every row is taken (here each names no template).
    report_.clear();
    run(settings(), no_row_limit);
    ASSERT_EQ(report().size(), 3 + 4 * 32768U);
    EXPECT_EQ(report()[2], "Template does not exist or contains no text ");
    EXPECT_EQ(report().back(), "Process complete. 0 files generated");
}

TEST_F(generation_run, a_database_that_cannot_be_opened_ends_the_run) {
    GenerationSettings s = settings();
    s.database_name = "missing.db";
    run(s);
    ASSERT_EQ(messages_.shown.size(), 2U);
    EXPECT_EQ(messages_.shown[0].caption, "Korvane - Database problem");
    EXPECT_EQ(messages_.shown[1],
              (test::shown_message{"Korvane - Database error",
                                   "Problem opening database: missing.db",
                                   message_icon::critical}));
    EXPECT_EQ(report(), (lines{start_line, "", "Error opening database: ",
                               "    " + messages_.shown[0].text, "    Database: missing.db", ""}));
    EXPECT_EQ(status_.texts, lines{""});
}

TEST_F(generation_run, failing_main_sql_is_reported_and_the_run_completes) {
    make_site(pages_table);
    const std::string sql = "select * from nowhere";
    run(settings(sql, 2));
    EXPECT_EQ(report(), full_report({"Problem running SQL for MAIN table:",
                                     "    " + engine_error(sql), "    SQL: " + sql, ""},
                                    0));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(generation_run, rows_without_a_template_are_skipped) {
    make_site(pages_table +
              "insert into pages values(1, null, 'a.html', '', '', ''),"
              "(2, 'missing.html', 'b.html', '', '', ''), (3, 'missing.html', 'c.html', '', '', ''),"
              "(4, 'empty.html', 'd.html', '', '', ''), (5, 'ok.html', 'e.html', '', '', '');");
    write_template("empty.html", "");
    write_template("ok.html", "ok");
    run(settings());
    auto missing = [](const std::string& name) {
        return lines{"Template does not exist or contains no text ",
                     "(check the path and filename):", "    Template: " + name, ""};
    };
    lines middle;
    for (const char* name : {"templates/", "templates/missing.html", "templates/missing.html",
                             "templates/empty.html"}) {
        const lines one = missing(name);
        middle.insert(middle.end(), one.begin(), one.end());
    }
    EXPECT_EQ(report(), full_report(middle, 1));
    for (const char* name : {"a.html", "b.html", "c.html", "d.html"}) EXPECT_FALSE(page_exists(name));
    EXPECT_EQ(page("e.html"), "ok\r\n");
}

TEST_F(generation_run, outputs_that_cannot_be_opened_are_reported) {
    make_site(pages_table +
              "insert into pages values(1, 'ok.html', 'nowhere/a.html', '', '', ''),"
              "(2, 'ok.html', 'sub', '', '', ''), (3, 'ok.html', 'fine.html', '', '', '');");
    std::filesystem::create_directories(folder_.path("out/sub"));
    write_template("ok.html", "ok");
    run(settings());
    EXPECT_EQ(report(),
              full_report({"Error opening file for writing: ",
                           "    " + open_error(folder_.path("out/nowhere/a.html")),
                           "    File: out/nowhere/a.html", "",
                           "Error opening file for writing: ",
                           "    " + open_error(folder_.path("out/sub")), "    File: out/sub", ""},
                          1));
    EXPECT_EQ(page("fine.html"), "ok\r\n");
}

TEST_F(generation_run, a_page_that_cannot_be_written_is_reported_and_not_counted) {
    make_site(pages_table + "insert into pages values(1, 'p.html', 'gone/p.html', '', '', ''),"
                            "(2, 'p.html', 'p2.html', '', '', '');");
    std::filesystem::create_directories(folder_.path("out/gone"));
    // The failing section lets the window work mid-page; the folder goes then.
    write_template("p.html", "<!--REPEAT=select * from nowhere-->x<!--END REPEAT-->page");
    bool removed = false;
    pump_.on_pump = [&] {
        if (!removed && report().size() > 6) {
            std::filesystem::remove_all(folder_.path("out/gone"));
            removed = true;
        }
    };
    run(settings());
    ASSERT_TRUE(removed);
    const lines& r = report();
    ASSERT_EQ(r.size(), 2 + 5 + 4 + 5 + 1U);
    EXPECT_EQ(r[7], "Error writing file: ");
    EXPECT_EQ(r[8].substr(0, 5), "    T");
    EXPECT_EQ(r[9], "    File: out/gone/p.html");
    EXPECT_EQ(r[10], "");
    EXPECT_EQ(r.back(), "Process complete. 1 files generated");
    EXPECT_EQ(page("p2.html"), "page\r\n");
}

TEST_F(generation_run, a_field_missing_from_the_main_result_ends_the_run) {
    make_site(pages_table + "insert into pages values(1, 'p.html', 'p.html', '', '', '');");
    write_template("p.html", "p");
    GenerationSettings s = settings();
    s.generated_field = "file";
    run(s);
    EXPECT_EQ(report(), full_report({"Field not found in MAIN table: file",
                                     "    SQL: select * from pages; ", ""},
                                    0));
    EXPECT_EQ(status_.texts.back(), " Process complete!  0 files generated");
    EXPECT_FALSE(page_exists("p.html"));
}

TEST_F(generation_run, pages_already_up_to_date_count_as_generated) {
    make_site(pages_table + "insert into pages values(1, 'p.html', 'a.html', '', '', ''),"
                            "(2, 'p.html', 'b.html', '', '', '');");
    write_template("p.html", "<!--MAIN_FIELD=id-->");
    run(settings());
    test::write_file(folder_.path("out/b.html"), "old");
    report_.clear();
    page_generator generator(options());
    generator.start_page_generator(status_, report_, settings());
    EXPECT_EQ(report(), full_report({}, 2));
    EXPECT_EQ(generator.pages_unchanged(), 1);
    EXPECT_EQ(generator.pages_written(), 1);
    EXPECT_EQ(page("b.html"), "2\r\n");
}

TEST_F(generation_run, a_second_run_starts_with_an_empty_report) {
    make_site(pages_table);
    run(settings());
    run(settings());
    EXPECT_EQ(report(), full_report({}, 0));
}

// --- Row by row ------------------------------------------------------------------

TEST_F(generation_run, a_template_is_read_again_only_when_the_row_names_another) {
    make_site(pages_table + "insert into pages values(1, 'a.html', '1.html', '', '', ''),"
                            "(2, 'a.html', '2.html', '', '', ''), (3, 'b.html', '3.html', '', '', ''),"
                            "(4, 'a.html', '4.html', '', '', '');");
    write_template("a.html", "first A <!--MAIN_FIELD=id-->");
    write_template("b.html", "B");
    page_generator generator(options());
    ASSERT_TRUE(generator.open_database(settings()));
    ASSERT_EQ(generator.open_main_recordset(0, "pages"), 4);

    memory_error_list row_report;
    test::recording_status row_status;
    EXPECT_EQ(generator.generate_row(1, 4, row_report, row_status), page_outcome::written);
    write_template("a.html", "second A <!--MAIN_FIELD=id-->");
    EXPECT_EQ(generator.generate_row(2, 4, row_report, row_status), page_outcome::written);
    EXPECT_EQ(generator.generate_row(3, 4, row_report, row_status), page_outcome::written);
    EXPECT_EQ(generator.generate_row(4, 4, row_report, row_status), page_outcome::written);
    generator.close();

    EXPECT_EQ(page("1.html"), "first A 1\r\n");
    EXPECT_EQ(page("2.html"), "first A 2\r\n");
    EXPECT_EQ(page("3.html"), "B\r\n");
    EXPECT_EQ(page("4.html"), "second A 4\r\n");
    EXPECT_EQ(generator.files_generated(), 4);
    EXPECT_EQ(row_status.texts.front(), " Generating file, 1.html, 25% complete");
    EXPECT_TRUE(row_report.lines().empty());
}

TEST_F(generation_run, a_missing_template_stays_missing_for_the_next_row_naming_it) {
    make_site(pages_table + "insert into pages values(1, 'late.html', '1.html', '', '', ''),"
                            "(2, 'late.html', '2.html', '', '', '');");
    page_generator generator(options());
    ASSERT_TRUE(generator.open_database(settings()));
    ASSERT_EQ(generator.open_main_recordset(0, "pages"), 2);
    memory_error_list row_report;
    test::recording_status row_status;
    EXPECT_EQ(generator.generate_row(1, 2, row_report, row_status), page_outcome::skipped);
    write_template("late.html", "here now");
    EXPECT_EQ(generator.generate_row(2, 2, row_report, row_status), page_outcome::skipped);
    EXPECT_EQ(row_report.lines().size(), 8U);
    EXPECT_TRUE(row_status.texts.empty());
}

TEST_F(generation_run, rows_can_be_taken_in_any_order) {
    make_site(pages_table + "insert into pages values(1, 'p.html', '1.html', '', '', ''),"
                            "(2, 'p.html', '2.html', '', '', ''), (3, 'p.html', '3.html', '', '', '');");
    write_template("p.html", "<!--MAIN_FIELD=id-->");
    page_generator generator(options());
    ASSERT_TRUE(generator.open_database(settings()));
    ASSERT_EQ(generator.open_main_recordset(0, "pages"), 3);
    memory_error_list row_report;
    null_status_port row_status;
    for (std::int64_t row : {3, 1, 2}) {
        EXPECT_EQ(generator.generate_row(row, 3, row_report, row_status), page_outcome::written);
    }
    EXPECT_EQ(page("1.html") + page("2.html") + page("3.html"), "1\r\n2\r\n3\r\n");
}

}  // namespace
}  // namespace korvane::generator
