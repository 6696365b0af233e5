// SPDX-License-Identifier: Apache-2.0
// The template interpreter on its own, over a stand-in database and a main
// row made in memory: tags, values, repeating and conditional sections, each
// page compared byte for byte.
#include "fake_database.h"
#include "generator/template_interpreter.h"
#include "sqlite_test_support.h"
#include "../support/case_table.h"

#include <algorithm>
#include <sstream>

namespace korvane::generator {
namespace {

using test::fake_database;
using test::null;
using test::number;
using test::text;
using lines = std::vector<std::string>;

// The stand-in's statements and the pages the templates give.
const std::string pages_table = "generator/template_language_pages.tsv";

class template_language : public ::testing::Test {
protected:
    void SetUp() override {
        log_.set_error_list(&report_);
        interpreter_.set_database(&database_);
        for (const auto& row : test::read_case_table(pages_table, 2)) {
            if (row[0] == "answer") answer(row[1], row.fields.size() > 3 ? row[3] : "", row[2]);
        }
        set_main_row(
            {{"id", "Title", "url", "nothing", "price", "sold", "\xC3\x84rger"},
             {{number(7), text("A & B"), text("a b/c?d"), null(), data::db_value::from_real(2.5),
               data::db_value::from_boolean(true), text("grr")}}});
    }

    void set_main_row(const test::fake_table& row) {
        main_ = test::make_record_set(row);
        interpreter_.set_main_row(main_.get());
    }

    // A statement the database answers: one column, its rows' values "|" between.
    void answer(const std::string& sql, const std::string& values, std::string column = "v") {
        test::fake_table table{{std::move(column)}, {}};
        std::istringstream in(values);
        for (std::string v; std::getline(in, v, '|');) table.rows.push_back({text(v)});
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
        interpreter_.render(engine);
        EXPECT_EQ(interpreter_.repeat_level(), 0);
        engine.close_output_file();
        return test::read_file(folder_.path("page.html"));
    }

    std::string substitute(const std::string& text) {
        return interpreter_.substitute_field_references(text, nullptr);
    }

    const lines& report() const { return report_.lines(); }

    test::temp_folder folder_;
    fake_database::book book_;
    fake_database database_{book_};
    std::unique_ptr<data::record_set> main_;
    memory_error_list report_;
    log_errors log_;
    template_interpreter interpreter_{
        {[] { return local_date_time{2026, 12, 5, 14, 7, 9}; }, syntax::classic_row_limit, nullptr},
        log_};
};

// Every page of the table: plain text, value tags, repeating and conditional
// sections, the record words.
TEST_F(template_language, every_template_of_the_table_gives_its_page) {
    for (const auto& row : test::read_case_table(pages_table, 2)) {
        if (row[0] == "answer") continue;
        if (row[0] == "substitute" && row.fields.size() == 3) {
            EXPECT_EQ(substitute(row[1]), row[2]) << row.where;
        } else if (row[0] == "if" && row.fields.size() == 3) {
            EXPECT_EQ(render("<!--START IF=" + row[1] + "-->yes<!--ELSE-->no<!--END IF-->"),
                      row[2] + "\r\n")
                << row.where;
        } else {
            EXPECT_EQ(render(row[0]), row[1]) << row.where;
        }
    }
    // The sections of a section without rows are never run.
    EXPECT_EQ(std::count(book_.statements.begin(), book_.statements.end(), "inner"), 0);
    EXPECT_EQ(report(), lines{});
}

TEST_F(template_language, a_template_that_is_not_utf8_is_taken_as_windows_1252) {
    // Its statements reach the database as text, and its page is written in
    // its own code page: every byte it held comes back, and a character the
    // code page lacks becomes a character reference.
    answer("select v from w where k='caf\xC3\xA9'", "caf\xC3\xA9 \xE6\x97\xA5");
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

TEST_F(template_language, a_seventh_level_with_rows_is_reported_and_left_out) {
    answer("one", "r");
    std::string nest = "<!--REPEAT=one-->x<!--REPEAT ELSE-->none<!--END REPEAT-->";
    for (int level = 0; level < 6; ++level)
        nest = "<!--REPEAT=one-->(" + nest + ")<!--END REPEAT-->";
    EXPECT_EQ(render("a" + nest + "b"), "a(((((())))))b\r\n");
    EXPECT_EQ(report(), (lines{"Too many nested repeating sections (the limit is six):",
                               "    Template: ", "    SQL: one", ""}));
}

TEST_F(template_language, references_that_values_reproduce_are_cut_off_and_long_values_are_not) {
    // A value holding its own reference does not hang, and a long value does
    // not stop the references after it.
    set_main_row({{"loop", "grow", "big", "small"},
                  {{text("#--MAIN_FIELD=loop--#"), text("y#--MAIN_FIELD=grow--#"),
                    text(std::string(std::size_t{3} << 20, 'x')), text("s")}}});
    EXPECT_EQ(substitute("#--MAIN_FIELD=loop--#!#--MAIN_FIELD=small--#"), "#--MAIN_FIELD=loop--#!s");
    const std::string grown = substitute("#--MAIN_FIELD=grow--#!#--MAIN_FIELD=small--#");
    EXPECT_LT(grown.size(), std::size_t{1} << 20);
    EXPECT_EQ(grown.substr(grown.size() - 24), "y#--MAIN_FIELD=grow--#!s");
    const std::string long_text = substitute("#--MAIN_FIELD=big--#|#--MAIN_FIELD=small--#");
    EXPECT_EQ(long_text.size(), (std::size_t{3} << 20) + 2);
    EXPECT_EQ(long_text.substr(long_text.size() - 2), "|s");
}

TEST_F(template_language, faulty_conditions_are_reported_and_both_parts_left_out) {
    set_main_row({{"big"}, {{text("9e400")}}});
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

TEST_F(template_language, without_a_database_or_a_main_row_sections_fail_and_fields_are_missing) {
    // What a run hands over is all the interpreter has: nothing is opened
    // behind its back.
    interpreter_.set_database(nullptr);
    interpreter_.set_main_row(nullptr);
    interpreter_.set_template_file("t.html");
    EXPECT_EQ(render("<!--REPEAT=rows-->r<!--REPEAT ELSE-->none<!--END REPEAT-->|<!--MAIN_FIELD=id-->"),
              "none|Korvane: Field, id not found\r\n");
    EXPECT_EQ(report(), (lines{"Problem running SQL for repeating section:", "    No database is open",
                               "    Template: t.html", "    SQL: rows", ""}));
    EXPECT_EQ(book_.statements, lines{});
}

}  // namespace
}  // namespace korvane::generator
