// The template language over a stand-in database: tags, values, repeating
// and conditional sections, each page compared byte for byte.
#include "fake_database.h"
#include "generator/page_generator.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace korvane::generator {
namespace {

using test::fake_database;
using test::null;
using test::number;
using test::text;
using lines = std::vector<std::string>;

struct page_case {
    std::string template_text, page;
};

class template_language : public ::testing::Test {
protected:
    void SetUp() override {
        generator_.begin_run(status_, report_);
        report_.clear();
        generator_.use_database(std::make_unique<fake_database>(book_), GenerationSettings{});
        generator_.set_main_recordset(test::make_record_set(
            {{"id", "Title", "url", "nothing", "price", "sold", "\xC3\x84rger"},
             {{number(7), text("A & B"), text("a b/c?d"), null(), data::db_value::from_real(2.5),
               data::db_value::from_boolean(true), text("grr")}}}));
    }

    // A statement the database answers, with one column "v".
    void answer(const std::string& sql, std::vector<std::string> values, std::string column = "v") {
        test::fake_table table{{std::move(column)}, {}};
        for (auto& v : values) table.rows.push_back({text(std::move(v))});
        book_.results[sql] = std::move(table);
    }

    std::string render(const std::string& template_text) {
        test::write_file(folder_.path("t.html"), template_text);
        template_engine engine;
        std::string error;
        if (!engine.load_template(folder_.path("t.html")) ||
            !engine.open_output_file(folder_.path("page.html"), error)) {
            ADD_FAILURE() << "template did not load or page did not open: " << error;
            return {};
        }
        generator_.process_template(engine, nullptr);
        EXPECT_EQ(generator_.repeat_level(), 0);
        engine.close_output_file();
        return test::read_file(folder_.path("page.html"));
    }

    void expect_pages(const std::vector<page_case>& cases) {
        for (const auto& c : cases) {
            EXPECT_EQ(render(c.template_text), c.page) << "template: " << c.template_text;
        }
    }

    std::string substitute(const std::string& text) {
        return generator_.substitute_field_references(text, nullptr);
    }

    const lines& report() const { return report_.lines(); }

    test::temp_folder folder_;
    fake_database::book book_;
    memory_error_list report_;
    null_status_port status_;
    page_generator generator_{[] {
        run_options o;
        o.clock = [] { return local_date_time{2026, 12, 5, 14, 7, 9}; };
        return o;
    }()};
};

// --- Plain text, tags and values -------------------------------------------------

TEST_F(template_language, text_and_comments_that_are_not_tags_are_copied) {
    expect_pages({
        {"<html>\n  <p>x</p>\r\n</html>", "<html>\r\n  <p>x</p>\r\n</html>\r\n"},
        {"<!--main_field=id--> <!-- MAIN_FIELD=id--> <!--MAIN_FIELD =id--> <!--x--> <!-->",
         "<!--main_field=id--> <!-- MAIN_FIELD=id--> <!--MAIN_FIELD =id--> <!--x--> <!-->\r\n"},
        // A tag runs from its opening to the first closing marker on its line.
        {"<!-- open <!--MAIN_FIELD=id-->", "<!-- open <!--MAIN_FIELD=id-->\r\n"},
        // A comment over several lines is copied up to its end, tags in it too.
        {"x<!-- one\ntwo\nthree -->y<!--MAIN_FIELD=id-->", "x<!-- one\r\ntwo\r\nthree -->y7\r\n"},
        {"<!-- a\n<!--MAIN_FIELD=id--> -->!", "<!-- a\r\n<!--MAIN_FIELD=id--> -->!\r\n"},
        {"open <!-- never closed\nend", "open <!-- never closed\r\nend\r\n"},
    });
}

TEST_F(template_language, value_tags_write_their_text_where_they_stand) {
    expect_pages({
        {"a<!--MAIN_FIELD=id-->b<!--MAIN_FIELD=Title-->c\nnext", "a7bA & Bc\r\nnext\r\n"},
        {"<!--MAIN_FIELD=id--><!--MAIN_FIELD=id-->", "77\r\n"},
        // A bare name is used as written and found in any case.
        {"<!--MAIN_FIELD=title-->|<!--MAIN_FIELD=TITLE-->", "A & B|A & B\r\n"},
        {"<!--MAIN_FIELD=Missing Field-->", "Korvane: Field, Missing Field not found\r\n"},
        // The field option is lowered before the lookup.
        {"<!--MAIN_FIELD=field:=Title-->", "A & B\r\n"},
        {"<!--MAIN_FIELD=FIELD:=Gone-->", "Korvane: Field, gone not found\r\n"},
        // Case is folded beyond ASCII too.
        {"<!--MAIN_FIELD=\xC3\xA4RGER-->|<!--MAIN_FIELD=field:=\xC3\x84RGER-->", "grr|grr\r\n"},
        {"<!--MAIN_FIELD=field:=\xC3\x84RGERN-->", "Korvane: Field, \xC3\xA4rgern not found\r\n"},
        // Escaping needs both options.
        {"<!--MAIN_FIELD=field:=url,escape:=true-->", "a%20b%2Fc%3Fd\r\n"},
        {"<!--MAIN_FIELD=escape:=TRUE,field:=url-->", "a%20b%2Fc%3Fd\r\n"},
        {"<!--MAIN_FIELD=field:=url,escape:=yes-->", "a b/c?d\r\n"},
        {"<!--MAIN_FIELD=url,escape:=true-->", "Korvane: Field, url,escape:=true not found\r\n"},
        // Values are page text and null is nothing.
        {"[<!--MAIN_FIELD=nothing-->][<!--MAIN_FIELD=price-->][<!--MAIN_FIELD=sold-->]",
         "[][2.5][True]\r\n"},
        {"<!--REPEAT_FIELD=id-->", "Korvane: Field, id not found\r\n"},
        // The date comes from the run's clock.
        {"<p><!--TODAYS DATE=dd mmmm yyyy--></p>", "<p>05 December 2026</p>\r\n"},
    });
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, a_template_that_is_not_utf8_is_taken_as_windows_1252) {
    // Its statements reach the database as text, and its page is written in
    // its own code page: every byte it held comes back, and a character the
    // code page lacks becomes a character reference.
    answer("select v from w where k='caf\xC3\xA9'", {"caf\xC3\xA9 \xE6\x97\xA5"});
    const std::string body =
        "<!--REPEAT=select v from w where k='caf\xE9'--><!--REPEAT_FIELD=v--><!--END REPEAT-->";
    EXPECT_EQ(render("caf\xE9 \x80\x81\x8D\x8F\x90\x9D\xFF " + body),
              "caf\xE9 \x80\x81\x8D\x8F\x90\x9D\xFF caf\xE9 &#26085;\r\n");
    // UTF-8, with or without a byte-order mark, is written as it came.
    const std::string utf8 = "<!--REPEAT=select v from w where k='caf\xC3\xA9'-->"
                             "<!--REPEAT_FIELD=v--><!--END REPEAT-->";
    EXPECT_EQ(render("\xEF\xBB\xBF" + utf8), "\xEF\xBB\xBF" "caf\xC3\xA9 \xE6\x97\xA5\r\n");
    EXPECT_EQ(render(utf8), "caf\xC3\xA9 \xE6\x97\xA5\r\n");
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, a_closing_tag_at_the_top_level_ends_the_page) {
    for (const char* tag :
         {"<!--END IF-->", "<!--ELSE-->", "<!--END REPEAT-->", "<!--REPEAT ELSE-->"}) {
        EXPECT_EQ(render(std::string("top\nbefore") + tag + "after\nmore\n"), "top\r\nbefore\r\n")
            << tag;
    }
}

// --- Repeating sections --------------------------------------------------------

TEST_F(template_language, a_section_writes_its_body_once_per_row_or_else_its_else_part) {
    answer("rows", {"a", "b", "c"});
    answer("empty", {});
    answer("select * from t where id=7 and k='A & B'", {"found"});
    expect_pages({
        {"<ul><!--REPEAT=rows--><li><!--REPEAT_FIELD=v--></li>\n<!--END REPEAT--></ul>",
         "<ul><li>a</li>\r\n<li>b</li>\r\n<li>c</li>\r\n</ul>\r\n"},
        {"<!--REPEAT=rows-->(<!--REPEAT_FIELD=v-->)<!--REPEAT ELSE-->none<!--END REPEAT-->.",
         "(a)(b)(c).\r\n"},
        {"x<!--REPEAT=empty-->row<!--REPEAT ELSE-->none<!--END REPEAT-->y", "xnoney\r\n"},
        // The sections inside one without rows are passed over, not run.
        {"x<!--REPEAT=empty-->row\n<!--REPEAT=inner-->in<!--END REPEAT-->\n<!--END REPEAT-->y",
         "xy\r\n"},
        // The statement takes field references of the main row.
        {"<!--REPEAT=select * from t where id=#--MAIN_FIELD=id--# and "
         "k='#--MAIN_FIELD=field:=title--#'--><!--REPEAT_FIELD=v--><!--END REPEAT-->",
         "found\r\n"},
        // Without an end, the first row is written to the end of the template.
        {"<!--REPEAT=rows-->(<!--REPEAT_FIELD=v-->)\nrest", "(a)\r\nrest\r\n"},
    });
    EXPECT_EQ(std::count(book_.statements.begin(), book_.statements.end(), "inner"), 0);
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, nested_sections_read_the_rows_around_them) {
    answer("outer", {"1", "2", "3"}, "o");
    answer("inner 1", {"x", "y"}, "i");
    answer("inner 2", {});
    answer("inner 3", {"z"}, "i");
    EXPECT_EQ(render("<!--REPEAT=outer-->[<!--REPEAT_FIELD=o-->:"
                     "<!--REPEAT=inner #--REPEAT_FIELD=o--#--><!--REPEAT_FIELD=i-->"
                     "<!--REPEAT ELSE-->-<!--END REPEAT-->]"
                     "<!--REPEAT ELSE-->no outer<!--END REPEAT-->"),
              "[1:xy][2:-][3:z]\r\n");
    // The else part of an empty section sees the enclosing row.
    answer("pq", {"p", "q"}, "o");
    EXPECT_EQ(render("<!--REPEAT=pq--><!--REPEAT=inner 2-->-<!--REPEAT ELSE-->"
                     "<!--REPEAT_FIELD=o-->current_record_num<!--START IF=current_record_num==2-->!"
                     "<!--END IF--><!--END REPEAT--><!--END REPEAT-->"),
              "pcurrent_record_numqcurrent_record_num!\r\n");
}

TEST_F(template_language, a_seventh_level_with_rows_is_reported_and_left_out) {
    answer("one", {"r"});
    std::string nest = "<!--REPEAT=one-->x<!--REPEAT ELSE-->none<!--END REPEAT-->";
    for (int level = 0; level < 6; ++level)
        nest = "<!--REPEAT=one-->(" + nest + ")<!--END REPEAT-->";
    EXPECT_EQ(render("a" + nest + "b"), "a(((((())))))b\r\n");
    EXPECT_EQ(report(), (lines{"Too many nested repeating sections (the limit is six):",
                               "    Template: ", "    SQL: one", ""}));
}

TEST_F(template_language, field_references_in_a_text_are_replaced_and_other_names_dropped) {
    const page_case cases[] = {
        {"a#--MAIN_FIELD=id--#b#--OTHER=x--#c#--MAIN_FIELD=no--#",
         "a7bcKorvane: Field, no not found"},
        {"#--REPEAT_FIELD=v--#", "Korvane: Field, v not found"},
        {"no references -- # here", "no references -- # here"},
        {"select #--MAIN_FIELD=id", ""},  // an unclosed reference empties the text
        // A stray close before the first reference is passed over.
        {"a--#b#--MAIN_FIELD=id--#c", "a--#b7c"},
        {"a--#b#--MAIN_FIELD=id", "a--#b"},
    };
    for (const auto& c : cases) EXPECT_EQ(substitute(c.template_text), c.page) << c.template_text;

    // A value holding its own reference does not hang, and a long value does
    // not stop the references after it.
    generator_.set_main_recordset(test::make_record_set(
        {{"loop", "grow", "big", "small"},
         {{text("#--MAIN_FIELD=loop--#"), text("y#--MAIN_FIELD=grow--#"),
           text(std::string(std::size_t{3} << 20, 'x')), text("s")}}}));
    EXPECT_EQ(substitute("#--MAIN_FIELD=loop--#!#--MAIN_FIELD=small--#"), "#--MAIN_FIELD=loop--#!s");
    const std::string grown = substitute("#--MAIN_FIELD=grow--#!#--MAIN_FIELD=small--#");
    EXPECT_LT(grown.size(), std::size_t{1} << 20);
    EXPECT_EQ(grown.substr(grown.size() - 24), "y#--MAIN_FIELD=grow--#!s");
    const std::string long_text = substitute("#--MAIN_FIELD=big--#|#--MAIN_FIELD=small--#");
    EXPECT_EQ(long_text.size(), (std::size_t{3} << 20) + 2);
    EXPECT_EQ(long_text.substr(long_text.size() - 2), "|s");
}

// --- Conditional sections ------------------------------------------------------

TEST_F(template_language, conditions_compare_texts_and_number_values) {
    const struct {
        const char* condition;
        bool holds;
    } cases[] = {
        {"a==a", true},
        {"a==A", false},
        {"a<>A", true},
        {"a<>a", false},
        {"1.0==1", false},
        {"1.0<1", false},
        {"1.0>1", false},
        {"1.0<>1", true},
        {"2<10", true},
        {"10<2", false},
        {"10>2", true},
        {"-1<0", true},
        {"1e3>999", true},
        {"abc>xyz", false},
        {"abc<xyz", false},
        {" 2 < 10 ", true},
        {"1 2<13", true},
        {"x==", false},
        {"==", true},
        {"5<6abc", true},
        {"#--MAIN_FIELD=id--#==7", true},
        {"#--MAIN_FIELD=id--#>6.5", true},
        {"#--MAIN_FIELD=Title--#==A & B", true},
        {"#--MAIN_FIELD=nothing--#==", true},
        {"#--MAIN_FIELD=gone--#==Korvane: Field, gone not found", true},
        // Blanks around the operator belong to the operands.
        {"#--MAIN_FIELD=id--# == 7", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            render(std::string("<!--START IF=") + c.condition + "-->yes<!--ELSE-->no<!--END IF-->"),
            c.holds ? "yes\r\n" : "no\r\n")
            << c.condition;
    }
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, record_words_give_the_innermost_section_position_row_by_row) {
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
    EXPECT_EQ(render("<!--REPEAT=rows--><!--START IF=#--REPEAT_FIELD=v--#==b-->B<!--ELSE-->"
                     "<!--REPEAT_FIELD=v--><!--END IF--><!--END REPEAT-->"),
              "aBc\r\n");
}

TEST_F(template_language, the_part_not_taken_is_skipped_with_the_sections_in_it) {
    expect_pages({
        {"<!--START IF=1==1-->T<!--ELSE-->\n<!--START IF=2==2-->inner<!--ELSE-->e"
         "<!--END IF-->\nE<!--END IF-->after",
         "Tafter\r\n"},
        {"<!--START IF=1==2-->\n<!--START IF=2==2-->x<!--END IF-->\nT<!--ELSE-->E<!--END "
         "IF-->after",
         "Eafter\r\n"},
        {"<!--START IF=1==2-->T<!--END IF-->after", "after\r\n"},
        // One inner section on the line is passed over as it should be.
        {"<!--START IF=1==2-->a<!--START IF=1==1-->b<!--END IF-->c<!--END IF-->d", "d\r\n"},
        // Two openers on one line count as one level: the outer section ends at
        // the second END IF and the third, now at the top level, ends the page.
        {"<!--START IF=1==2-->a<!--START IF=1==1-->b<!--START IF=1==1-->c<!--END IF-->"
         "d<!--END IF-->e<!--END IF-->f\nmore",
         "e\r\n"},
        // A nested ELSE closes the level its line opened, so the nested END IF
        // is taken for the outer one.
        {"<!--START IF=1==2-->\n<!--START IF=2==2-->x<!--ELSE-->y<!--END IF-->\n"
         "T<!--ELSE-->E<!--END IF-->after",
         "\r\nT\r\n"},
        // The opener of a later section on the line is counted at each visit
        // too: the false section swallows the rest of the template.
        {"<!--START IF=1==2-->T<!--END IF--><!--START IF=1==1-->x<!--END IF-->\nnext", ""},
    });
}

TEST_F(template_language, faulty_conditions_are_reported_and_both_parts_left_out) {
    generator_.set_main_recordset(test::make_record_set({{"big"}, {{text("9e400")}}}));
    EXPECT_EQ(render("a<!--START IF=-->T<!--ELSE-->E<!--END IF-->b\n"
                     "c<!--START IF=x=y-->T<!--ELSE-->E<!--END IF-->d\n"
                     "e<!--START IF=#--MAIN_FIELD=big--# < 1-->T<!--ELSE-->E<!--END IF-->f"),
              "ab\r\ncd\r\nef\r\n");
    // The expression line shows the operands as resolved.
    EXPECT_EQ(report(),
              (lines{"IF statement is missing data", "    IF TAG: ", "",
                     "IF statement contains an invalid function", "    IF TAG: x=y", "",
                     "Error encountered trying to evaluate expression",
                     "    IF TAG: #--MAIN_FIELD=big--# < 1", "    Expression: 9e400  <  1", ""}));
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
