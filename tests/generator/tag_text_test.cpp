#include "generator/tag_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace korvane::generator {
namespace {

std::pair<std::string, std::string> split(std::string_view tag, std::string_view open = "<!--",
                                          std::string_view close = "-->") {
    std::string_view name = "junk", parameter = "junk";
    split_tag(tag, open, close, name, parameter);
    return {std::string(name), std::string(parameter)};
}

TEST(split_tag, name_runs_to_the_first_equals_and_the_parameter_keeps_the_rest) {
    EXPECT_EQ(split("<!--REPEAT=select * from t where a=1-->"),
              std::make_pair(std::string("REPEAT"), std::string("select * from t where a=1")));
    EXPECT_EQ(split("<!--MAIN_FIELD= a b -->"),
              std::make_pair(std::string("MAIN_FIELD"), std::string(" a b ")));
    EXPECT_EQ(split("#--MAIN_FIELD=id--#", "#--", "--#"),
              std::make_pair(std::string("MAIN_FIELD"), std::string("id")));
}

TEST(split_tag, without_equals_the_whole_inside_is_the_name) {
    EXPECT_EQ(split("<!--END REPEAT-->"), std::make_pair(std::string("END REPEAT"), std::string()));
    EXPECT_EQ(split("<!-- MAIN_FIELD -->").first, " MAIN_FIELD ");
    EXPECT_EQ(split(""), std::make_pair(std::string(), std::string()));
}

TEST(split_tag, counts_come_from_marker_lengths_and_negative_counts_give_nothing) {
    // "<!-->" is shorter than both markers together.
    EXPECT_EQ(split("<!-->"), std::make_pair(std::string(), std::string()));
    EXPECT_EQ(split("<!--=-->"), std::make_pair(std::string(), std::string()));
    // The arithmetic trusts the markers to stand at both ends.
    EXPECT_EQ(split("ab=cdef"), std::make_pair(std::string(), std::string("c")));
    EXPECT_EQ(split("abcdefgh=ijklmnop"), std::make_pair(std::string("efgh"), std::string("ijklm")));
    EXPECT_EQ(split("abcdefgh"), std::make_pair(std::string("e"), std::string()));
}

TEST(get_tag_option, reads_an_option_up_to_the_next_comma) {
    EXPECT_EQ(get_tag_option("field:=name,escape:=true", "field"), "name");
    EXPECT_EQ(get_tag_option("field:=name,escape:=true", "escape"), "true");
    EXPECT_EQ(get_tag_option("escape:=true,field:=a b", "field"), "a b");
    EXPECT_EQ(get_tag_option("field:=", "field"), "");
}

TEST(get_tag_option, is_a_plain_substring_search) {
    EXPECT_EQ(get_tag_option("xfield:=a", "field"), "a");
    EXPECT_EQ(get_tag_option("fieldfield:=b", "field"), "b");
    EXPECT_EQ(get_tag_option("field,field:=c", "field"), "c");
}

TEST(get_tag_option, gives_nothing_without_the_option) {
    EXPECT_EQ(get_tag_option("name", "field"), "");
    EXPECT_EQ(get_tag_option("field=name", "field"), "");
    EXPECT_EQ(get_tag_option("FIELD:=name", "field"), "");  // callers lower the parameter
    EXPECT_EQ(get_tag_option("", "field"), "");
}

TEST(url_escape, replaces_the_eleven_characters_with_upper_case_hex) {
    EXPECT_EQ(url_escape("a b/c?d"), "a%20b%2Fc%3Fd");
    EXPECT_EQ(url_escape(" ;/?:@&=+$,"), "%20%3B%2F%3F%3A%40%26%3D%2B%24%2C");
}

TEST(url_escape, leaves_percent_and_everything_else_alone) {
    EXPECT_EQ(url_escape("already%20done"), "already%20done");
    EXPECT_EQ(url_escape("#<>\"'\xC3\xA9\t"), "#<>\"'\xC3\xA9\t");
    EXPECT_EQ(url_escape(""), "");
}

struct split_result {
    bool found;
    std::string left, op, right;
    bool operator==(const split_result&) const = default;
};

std::ostream& operator<<(std::ostream& out, const split_result& r) {
    return out << r.found << " [" << r.left << "] [" << r.op << "] [" << r.right << "]";
}

split_result split_at_operator(std::string_view expression) {
    std::string_view left, op, right;
    const bool found = split_expression(expression, "<> < > ==", left, op, right);
    return {found, std::string(left), std::string(op), std::string(right)};
}

TEST(split_expression, tries_the_operators_in_list_order_wherever_they_stand) {
    EXPECT_EQ(split_at_operator("a<>b"), (split_result{true, "a", "<>", "b"}));
    // "<" is tried before "==", whatever stands first.
    EXPECT_EQ(split_at_operator("a==b<c"), (split_result{true, "a==b", "<", "c"}));
    EXPECT_EQ(split_at_operator("a>b<c"), (split_result{true, "a>b", "<", "c"}));
    EXPECT_EQ(split_at_operator("x=>y"), (split_result{true, "x=", ">", "y"}));
    // "<>" is found before its halves are tried.
    EXPECT_EQ(split_at_operator("a<b<>c"), (split_result{true, "a<b", "<>", "c"}));
}

TEST(split_expression, keeps_blanks_in_the_operands) {
    EXPECT_EQ(split_at_operator(" a == b "), (split_result{true, " a ", "==", " b "}));
    EXPECT_EQ(split_at_operator("==="), (split_result{true, "", "==", "="}));
}

TEST(split_expression, fails_without_any_operator) {
    EXPECT_FALSE(split_at_operator("a=b").found);
    EXPECT_FALSE(split_at_operator("a != b").found);
    EXPECT_FALSE(split_at_operator("").found);
}

TEST(split_expression, takes_any_blank_separated_operator_list) {
    std::string_view left, op, right;
    ASSERT_TRUE(split_expression("a and b", "or and", left, op, right));
    EXPECT_EQ(op, "and");
    EXPECT_EQ(left, "a ");
    EXPECT_FALSE(split_expression("a and b", "or", left, op, right));
}

}  // namespace
}  // namespace korvane::generator
