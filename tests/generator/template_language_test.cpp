// The template language over a stand-in database: tags, values, repeating
// and conditional sections, each page compared byte for byte.
#include "fake_database.h"
#include "generator/page_generator.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

namespace korvane::generator {
namespace {

using test::fake_database;
using test::null;
using test::number;
using test::text;
using lines = std::vector<std::string>;

class template_language : public ::testing::Test {
protected:
    static run_options options(std::int64_t row_limit = classic_row_limit) {
        run_options o;
        o.clock = [] { return local_date_time{2026, 12, 5, 14, 7, 9}; };
        o.row_limit = row_limit;
        return o;
    }

    void SetUp() override { start(generator_); }

    void start(page_generator& generator) {
        generator.begin_run(status_, report_);
        report_.clear();
        generator.use_database(std::make_unique<fake_database>(book_), GenerationSettings{});
        generator.set_main_recordset(test::make_record_set(
            {{"id", "Title", "url", "nothing", "price", "sold"},
             {{number(7), text("A & B"), text("a b/c?d"), null(),
               data::db_value::from_real(2.5), data::db_value::from_boolean(true)}}}));
    }

    // A statement the database answers, with one column "v".
    void answer(const std::string& sql, std::vector<std::string> values,
                std::string column = "v") {
        test::fake_table table{{std::move(column)}, {}};
        for (auto& v : values) table.rows.push_back({text(std::move(v))});
        book_.results[sql] = std::move(table);
    }

    std::string render(const std::string& template_text) { return render_with(generator_, template_text); }

    std::string render_with(page_generator& generator, const std::string& template_text) {
        test::write_file(folder_.path("t.html"), template_text);
        template_engine engine;
        if (!engine.load_template(folder_.path("t.html"))) {
            ADD_FAILURE() << "template did not load";
            return {};
        }
        std::string error;
        if (!engine.open_output_file(folder_.path("page.html"), error)) {
            ADD_FAILURE() << error;
            return {};
        }
        generator.process_template(engine, nullptr);
        EXPECT_EQ(generator.repeat_level(), 0);
        engine.close_output_file();
        return test::read_file(folder_.path("page.html"));
    }

    const lines& report() const { return report_.lines(); }

    test::temp_folder folder_;
    fake_database::book book_;
    memory_error_list report_;
    null_status_port status_;
    page_generator generator_{options()};
};

// --- Plain text and tags -----------------------------------------------------

TEST_F(template_language, text_without_tags_is_copied_line_for_line) {
    EXPECT_EQ(render("<html>\n  <p>x</p>\r\n</html>"), "<html>\r\n  <p>x</p>\r\n</html>\r\n");
    EXPECT_EQ(render("\n\nlast\n"), "\r\n\r\nlast\r\n");
}

TEST_F(template_language, several_tags_on_one_line_join_the_text_around_them) {
    EXPECT_EQ(render("a<!--MAIN_FIELD=id-->b<!--MAIN_FIELD=Title-->c\nnext"),
              "a7bA & Bc\r\nnext\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=id--><!--MAIN_FIELD=id-->"), "77\r\n");
}

TEST_F(template_language, comments_that_are_not_tags_are_copied_unchanged) {
    const std::string copied =
        "<!--main_field=id--> <!-- MAIN_FIELD=id--> <!--MAIN_FIELD =id--> <!--x--> <!-->";
    EXPECT_EQ(render(copied), copied + "\r\n");
}

TEST_F(template_language, a_comment_over_several_lines_is_copied_up_to_its_end) {
    EXPECT_EQ(render("x<!-- one\ntwo\nthree -->y<!--MAIN_FIELD=id-->"),
              "x<!-- one\r\ntwo\r\nthree -->y7\r\n");
    // A tag inside such a comment is part of the comment.
    EXPECT_EQ(render("<!-- a\n<!--MAIN_FIELD=id--> -->!"), "<!-- a\r\n<!--MAIN_FIELD=id--> -->!\r\n");
    EXPECT_EQ(render("open <!-- never closed\nend"), "open <!-- never closed\r\nend\r\n");
}

TEST_F(template_language, todays_date_uses_the_run_clock_and_its_format) {
    EXPECT_EQ(render("<p><!--TODAYS DATE=dd mmmm yyyy--></p>"), "<p>05 December 2026</p>\r\n");
    EXPECT_EQ(render("<!--TODAYS DATE-->"), "2026-12-05 14:07:09\r\n");
    EXPECT_EQ(render("<!--TODAYS DATE=\"oops-->"), "Invalid date format, \"oops\r\n");
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, a_closing_tag_at_the_top_level_ends_the_page) {
    for (const char* tag : {"<!--END IF-->", "<!--ELSE-->", "<!--END REPEAT-->",
                            "<!--REPEAT ELSE-->"}) {
        EXPECT_EQ(render(std::string("top\nbefore") + tag + "after\nmore\n"), "top\r\nbefore\r\n")
            << tag;
    }
}

// --- Field values --------------------------------------------------------------

TEST_F(template_language, a_bare_field_name_is_used_as_written_and_found_in_any_case) {
    EXPECT_EQ(render("<!--MAIN_FIELD=title-->|<!--MAIN_FIELD=TITLE-->"), "A & B|A & B\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=Missing Field-->"),
              "Korvane: Field, Missing Field not found\r\n");
}

TEST_F(template_language, the_field_option_is_lowered_before_the_lookup) {
    EXPECT_EQ(render("<!--MAIN_FIELD=field:=Title-->"), "A & B\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=FIELD:=Gone-->"), "Korvane: Field, gone not found\r\n");
}

TEST_F(template_language, escaping_needs_both_options) {
    EXPECT_EQ(render("<!--MAIN_FIELD=field:=url,escape:=true-->"), "a%20b%2Fc%3Fd\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=escape:=TRUE,field:=url-->"), "a%20b%2Fc%3Fd\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=field:=url,escape:=yes-->"), "a b/c?d\r\n");
    EXPECT_EQ(render("<!--MAIN_FIELD=url,escape:=true-->"),
              "Korvane: Field, url,escape:=true not found\r\n");
}

TEST_F(template_language, values_are_page_text_and_null_is_nothing) {
    EXPECT_EQ(render("[<!--MAIN_FIELD=nothing-->][<!--MAIN_FIELD=price-->][<!--MAIN_FIELD=sold-->]"),
              "[][2.5][True]\r\n");
}

TEST_F(template_language, repeat_field_outside_every_section_is_not_found) {
    EXPECT_EQ(render("<!--REPEAT_FIELD=id-->"), "Korvane: Field, id not found\r\n");
    EXPECT_EQ(report(), lines{});
}

// --- Repeating sections --------------------------------------------------------

TEST_F(template_language, a_section_writes_its_body_once_per_row) {
    answer("rows", {"a", "b", "c"});
    EXPECT_EQ(render("<ul><!--REPEAT=rows--><li><!--REPEAT_FIELD=v--></li>\n"
                     "<!--END REPEAT--></ul>"),
              "<ul><li>a</li>\r\n<li>b</li>\r\n<li>c</li>\r\n</ul>\r\n");
    EXPECT_EQ(render("<!--REPEAT=rows-->(<!--REPEAT_FIELD=v-->)<!--REPEAT ELSE-->none"
                     "<!--END REPEAT-->."),
              "(a)(b)(c).\r\n");
}

TEST_F(template_language, a_section_without_rows_writes_only_its_else_part) {
    answer("empty", {});
    EXPECT_EQ(render("x<!--REPEAT=empty-->row<!--REPEAT ELSE-->none<!--END REPEAT-->y"),
              "xnoney\r\n");
    EXPECT_EQ(render("x<!--REPEAT=empty-->row\n<!--REPEAT=inner-->in<!--END REPEAT-->\n"
                     "<!--END REPEAT-->y"),
              "xy\r\n");
    EXPECT_EQ(book_.statements, (lines{"empty", "empty"}));  // nested sections are passed over
}

TEST_F(template_language, the_statement_takes_field_references_of_the_main_row) {
    answer("select * from t where id=7 and k='A & B'", {"found"});
    EXPECT_EQ(render("<!--REPEAT=select * from t where id=#--MAIN_FIELD=id--# and "
                     "k='#--MAIN_FIELD=field:=title--#'--><!--REPEAT_FIELD=v--><!--END REPEAT-->"),
              "found\r\n");
}

TEST_F(template_language, nested_sections_read_the_outer_row_and_keep_their_own_else) {
    answer("outer", {"1", "2", "3"}, "o");
    answer("inner 1", {"x", "y"}, "i");
    answer("inner 2", {});
    answer("inner 3", {"z"}, "i");
    EXPECT_EQ(render("<!--REPEAT=outer-->[<!--REPEAT_FIELD=o-->:"
                     "<!--REPEAT=inner #--REPEAT_FIELD=o--#-->"
                     "<!--REPEAT_FIELD=i-->"
                     "<!--REPEAT ELSE-->-<!--END REPEAT-->]"
                     "<!--REPEAT ELSE-->no outer<!--END REPEAT-->"),
              "[1:xy][2:-][3:z]\r\n");
}

TEST_F(template_language, the_else_part_of_an_empty_section_sees_the_enclosing_row) {
    answer("outer", {"p", "q"}, "o");
    answer("none", {});
    EXPECT_EQ(render("<!--REPEAT=outer--><!--REPEAT=none-->-<!--REPEAT ELSE-->"
                     "<!--REPEAT_FIELD=o-->current_record_num<!--START IF=current_record_num==2-->!"
                     "<!--END IF--><!--END REPEAT--><!--END REPEAT-->"),
              "pcurrent_record_numqcurrent_record_num!\r\n");
}

TEST_F(template_language, a_failing_statement_is_reported_and_counts_as_no_rows) {
    EXPECT_EQ(render("a<!--REPEAT=bad #--MAIN_FIELD=id--#-->row<!--REPEAT ELSE-->none"
                     "<!--END REPEAT-->b"),
              "anoneb\r\n");
    EXPECT_EQ(report(), (lines{"Problem running SQL for repeating section:",
                               "    no such statement", "    Template: ", "    SQL: bad 7", ""}));
}

TEST_F(template_language, a_section_without_end_writes_its_first_row_to_the_end) {
    answer("rows", {"a", "b"});
    EXPECT_EQ(render("<!--REPEAT=rows-->(<!--REPEAT_FIELD=v-->)\nrest"), "(a)\r\nrest\r\n");
}

TEST_F(template_language, a_result_over_the_row_limit_counts_as_empty) {
    page_generator limited(options(2));
    start(limited);
    answer("rows", {"a", "b", "c"});
    answer("two", {"a", "b"});
    EXPECT_EQ(render_with(limited, "<!--REPEAT=rows-->row<!--REPEAT ELSE-->too many<!--END REPEAT-->\n"
                                   "<!--REPEAT=two--><!--REPEAT_FIELD=v--><!--END REPEAT-->"),
              "too many\r\nab\r\n");
}

TEST_F(template_language, a_seventh_level_with_rows_is_reported_and_left_out) {
    answer("one", {"r"});
    std::string nest = "<!--REPEAT=one-->x<!--REPEAT ELSE-->none<!--END REPEAT-->";
    for (int level = 0; level < 6; ++level) {
        nest = "<!--REPEAT=one-->(" + nest + ")<!--END REPEAT-->";
    }
    EXPECT_EQ(render("a" + nest + "b"), "a(((((())))))b\r\n");
    EXPECT_EQ(report(), (lines{"Too many nested repeating sections (the limit is six):",
                               "    Template: ", "    SQL: one", ""}));
}

// --- Field references in a text --------------------------------------------------

TEST_F(template_language, references_are_replaced_and_other_names_dropped) {
    EXPECT_EQ(generator_.substitute_field_references(
                  "a#--MAIN_FIELD=id--#b#--OTHER=x--#c#--MAIN_FIELD=no--#", nullptr),
              "a7bcKorvane: Field, no not found");
    EXPECT_EQ(generator_.substitute_field_references("#--REPEAT_FIELD=v--#", nullptr),
              "Korvane: Field, v not found");
    EXPECT_EQ(generator_.substitute_field_references("no references -- # here", nullptr),
              "no references -- # here");
}

TEST_F(template_language, an_unclosed_reference_empties_the_text) {
    EXPECT_EQ(generator_.substitute_field_references("select #--MAIN_FIELD=id", nullptr), "");
}

TEST_F(template_language, a_stray_close_before_the_first_reference_is_passed_over) {
    EXPECT_EQ(generator_.substitute_field_references("a--#b#--MAIN_FIELD=id--#c", nullptr),
              "a--#b7c");
    EXPECT_EQ(generator_.substitute_field_references("a--#b#--MAIN_FIELD=id", nullptr), "a--#b");
}

TEST_F(template_language, a_value_holding_its_own_reference_does_not_hang) {
    generator_.set_main_recordset(
        test::make_record_set({{"loop"}, {{text("#--MAIN_FIELD=loop--#")}}}));
    EXPECT_NO_FATAL_FAILURE(
        (void)generator_.substitute_field_references("#--MAIN_FIELD=loop--#", nullptr));
}

// --- Conditional sections ------------------------------------------------------

struct condition_case {
    const char* condition;
    bool holds;
};

TEST_F(template_language, conditions_compare_texts_and_number_values) {
    const condition_case cases[] = {
        {"a==a", true},        {"a==A", false},      {"a<>A", true},       {"a<>a", false},
        {"1.0==1", false},     {"1.0<1", false},     {"1.0>1", false},     {"1.0<>1", true},
        {"2<10", true},        {"10<2", false},      {"10>2", true},       {"-1<0", true},
        {"1e3>999", true},     {"abc>xyz", false},   {"abc<xyz", false},   {" 2 < 10 ", true},
        {"1 2<13", true},      {"x==", false},       {"==", true},         {"5<6abc", true},
        {"#--MAIN_FIELD=id--#==7", true},            {"#--MAIN_FIELD=id--#>6.5", true},
        {"#--MAIN_FIELD=Title--#==A & B", true},     {"#--MAIN_FIELD=nothing--#==", true},
        {"#--MAIN_FIELD=gone--#==Korvane: Field, gone not found", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(render(std::string("<!--START IF=") + c.condition + "-->yes<!--ELSE-->no<!--END IF-->"),
                  c.holds ? "yes\r\n" : "no\r\n")
            << c.condition;
    }
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, blanks_around_the_operator_belong_to_the_operands) {
    EXPECT_EQ(render("<!--START IF=#--MAIN_FIELD=id--# == 7-->yes<!--ELSE-->no<!--END IF-->"),
              "no\r\n");
    EXPECT_EQ(render("<!--START IF=#--MAIN_FIELD=id--#==7-->yes<!--ELSE-->no<!--END IF-->"),
              "yes\r\n");
}

TEST_F(template_language, record_words_give_the_innermost_section_position) {
    answer("rows", {"a", "b", "c"});
    EXPECT_EQ(render("<!--REPEAT=rows-->\n"
                     "<!--START IF=current_record_num==1-->first<!--END IF-->\n"
                     "<!--START IF=current_record_num==number_of_records-->last<!--END IF-->\n"
                     "<!--START IF=number_of_records>2-->many<!--END IF-->\n"
                     "<!--START IF=number_of_records > 2-->spaced<!--END IF-->\n"
                     "<!--REPEAT_FIELD=v--><!--END REPEAT-->\n"
                     "<!--START IF=current_record_num==0-->outside<!--END IF-->\n"
                     "<!--START IF=number_of_records==0-->zero<!--END IF-->"),
              "\r\nfirst\r\n\r\nmany\r\n\r\n"
              "a\r\n\r\n\r\nmany\r\n\r\n"
              "b\r\n\r\nlast\r\nmany\r\n\r\n"
              "c\r\noutside\r\nzero\r\n");
}

TEST_F(template_language, a_condition_is_decided_anew_for_each_row) {
    answer("rows", {"a", "b", "a"});
    EXPECT_EQ(render("<!--REPEAT=rows--><!--START IF=#--REPEAT_FIELD=v--#==a-->A<!--ELSE-->"
                     "<!--REPEAT_FIELD=v--><!--END IF--><!--END REPEAT-->"),
              "AbA\r\n");
}

TEST_F(template_language, the_part_not_taken_is_skipped_with_the_sections_in_it) {
    EXPECT_EQ(render("<!--START IF=1==1-->T<!--ELSE-->\n<!--START IF=2==2-->inner<!--ELSE-->e"
                     "<!--END IF-->\nE<!--END IF-->after"),
              "Tafter\r\n");
    EXPECT_EQ(render("<!--START IF=1==2-->\n<!--START IF=2==2-->x<!--END IF-->\n"
                     "T<!--ELSE-->E<!--END IF-->after"),
              "Eafter\r\n");
    EXPECT_EQ(render("<!--START IF=1==2-->T<!--END IF-->after"), "after\r\n");
}

TEST_F(template_language, nesting_is_counted_per_line_of_the_scan) {
    // One inner section on the line is passed over as it should be.
    EXPECT_EQ(render("<!--START IF=1==2-->a<!--START IF=1==1-->b<!--END IF-->c<!--END IF-->d"),
              "d\r\n");
    // Two openers on one line count as one level: the outer section ends at
    // the second END IF and the third, now at the top level, ends the page.
    EXPECT_EQ(render("<!--START IF=1==2-->a<!--START IF=1==1-->b<!--START IF=1==1-->c<!--END IF-->"
                     "d<!--END IF-->e<!--END IF-->f\nmore"),
              "e\r\n");
    // A nested ELSE closes the level its line opened, so the nested END IF
    // is taken for the outer one.
    EXPECT_EQ(render("<!--START IF=1==2-->\n<!--START IF=2==2-->x<!--ELSE-->y<!--END IF-->\n"
                     "T<!--ELSE-->E<!--END IF-->after"),
              "\r\nT\r\n");
    // The opener of a later section on the line is counted at each visit
    // too: the false section swallows the rest of the template.
    EXPECT_EQ(render("<!--START IF=1==2-->T<!--END IF--><!--START IF=1==1-->x<!--END IF-->\nnext"),
              "");
}

TEST_F(template_language, faulty_conditions_are_reported_and_both_parts_left_out) {
    EXPECT_EQ(render("a<!--START IF=-->T<!--ELSE-->E<!--END IF-->b\n"
                     "c<!--START IF=x=y-->T<!--ELSE-->E<!--END IF-->d\n"
                     "e<!--START IF=1e999<1-->T<!--ELSE-->E<!--END IF-->f"),
              "ab\r\ncd\r\nef\r\n");
    EXPECT_EQ(report(), (lines{"IF statement is missing data", "    IF TAG: ", "",
                               "IF statement contains an invalid function", "    IF TAG: x=y", "",
                               "Error encountered trying to evaluate expression",
                               "    IF TAG: 1e999<1", "    Expression: 1e999 < 1", ""}));
}

TEST_F(template_language, the_expression_line_shows_resolved_operands) {
    generator_.set_main_recordset(test::make_record_set({{"big"}, {{text("9e400")}}}));
    EXPECT_EQ(render("<!--START IF=#--MAIN_FIELD=big--# > 1-->T<!--END IF-->"), "\r\n");
    EXPECT_EQ(report(), (lines{"Error encountered trying to evaluate expression",
                               "    IF TAG: #--MAIN_FIELD=big--# > 1",
                               "    Expression: 9e400  >  1", ""}));
}

TEST_F(template_language, very_deep_nesting_is_cut_off_with_a_report) {
    std::string deep;
    for (int i = 0; i < 1100; ++i) deep += "<!--START IF=1==1-->\n";
    deep += "x\n";
    for (int i = 0; i < 1100; ++i) deep += "<!--END IF-->";
    const std::string page = render(deep + "\nend");
    ASSERT_GE(page.size(), 5U);
    EXPECT_EQ(page.substr(page.size() - 5), "end\r\n");
    EXPECT_EQ(page.find('x'), std::string::npos);
    ASSERT_EQ(report().size(), 4U);
    EXPECT_EQ(report()[0], "Too many nested sections (the limit is 1000):");
    EXPECT_EQ(report()[2], "    TAG: <!--START IF=1==1-->");
}

}  // namespace
}  // namespace korvane::generator
