#include "data/text_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvane {
namespace {

TEST(main_sql, names_with_a_blank_or_period_are_quoted_statements_pass_unchanged) {
    EXPECT_EQ(build_main_sql(0, "Pages"), "select * from Pages; ");
    EXPECT_EQ(build_main_sql(1, "Web Pages"), "select * from `Web Pages`; ");
    EXPECT_EQ(build_main_sql(0, "a.b"), "select * from `a.b`; ");
    EXPECT_EQ(build_main_sql(0, "web-pages"), "select * from web-pages; ");
    EXPECT_EQ(build_main_sql(2, "select 1"), "select 1");
    EXPECT_EQ(build_main_sql(3, "Pages"), "");
    EXPECT_EQ(build_main_sql(-1, "Pages"), "");
}

TEST(paths, file_name_is_the_text_after_the_last_separator) {
    EXPECT_EQ(file_name_of_path("/web/a.htm"), "a.htm");
    EXPECT_EQ(file_name_of_path("c:\\web\\a.htm"), "a.htm");
    EXPECT_EQ(file_name_of_path("a.htm"), "");
    EXPECT_EQ(file_name_of_path("/web/"), "");
}

TEST(paths, existence_of_files_and_folders) {
    const auto dir = std::filesystem::temp_directory_path();
    EXPECT_TRUE(path_exists(dir.string()));
    EXPECT_TRUE(path_exists(dir.string() + "/"));
    EXPECT_FALSE(path_exists(dir.string() + "/korvane-surely-absent/"));
    EXPECT_FALSE(path_exists(""));
    EXPECT_TRUE(path_exists("/proc/self/status"));
    EXPECT_FALSE(path_exists("/proc/self/status/"));
}

TEST(text, last_occurrence_searches_backwards_from_start) {
    EXPECT_EQ(find_last_occurrence(-1, "a/b/c", "/"), 4);
    EXPECT_EQ(find_last_occurrence(3, "a/b/c", "/"), 2);
    EXPECT_EQ(find_last_occurrence(1, "a/b/c", "/"), -1);
    EXPECT_EQ(find_last_occurrence(9, "a/b/c", "/"), -1);
    EXPECT_EQ(find_last_occurrence(-1, "abcabc", "bc"), 5);
}

TEST(text, replace_all_and_lower_case) {
    EXPECT_EQ(replace_all_text("\"", "", "\"/auto a b.kvn\""), "/auto a b.kvn");
    EXPECT_EQ(replace_all_text("aa", "a", "aaaa"), "aa");
    EXPECT_EQ(lower_case("Field:=ÄB"), "field:=äb");
    EXPECT_EQ(lower_case("A\xC4"), "a\xC4");  // not UTF-8: A to Z only
}

TEST(lists, system_tables_and_entries_are_matched_with_case) {
    std::vector<std::string> tables{"MSysObjects", "MSysQueries", "Pages", "msysx"};
    remove_system_tables(tables);
    EXPECT_EQ(tables, (std::vector<std::string>{"Pages", "msysx"}));
    EXPECT_EQ(find_list_entry("Pages", tables), 0);
    EXPECT_EQ(find_list_entry("pages", tables), -1);
}

TEST(numbers, the_leading_number_skips_blanks_and_stops_at_the_first_stranger) {
    EXPECT_EQ(leading_number_value("42"), 42.0);
    EXPECT_EQ(leading_number_value(" 1 2\t3\n"), 123.0);
    EXPECT_EQ(leading_number_value("- 2.5e1x"), -25.0);
    EXPECT_EQ(leading_number_value("1.2.3"), 1.2);
    EXPECT_EQ(leading_number_value("3e"), 3.0);
    EXPECT_EQ(leading_number_value("abc"), 0.0);
    EXPECT_EQ(leading_number_value(""), 0.0);
    EXPECT_EQ(leading_number_value(".5"), 0.5);
    EXPECT_EQ(leading_number_value("1e-999"), 0.0);
    EXPECT_FALSE(leading_number_value("1e999").has_value());
}

TEST(numbers, rounding_to_16_bits_goes_to_even_and_refuses_overflow) {
    EXPECT_EQ(round_to_int16(2.5), 2);
    EXPECT_EQ(round_to_int16(3.5), 4);
    EXPECT_EQ(round_to_int16(-0.5), 0);
    EXPECT_EQ(round_to_int16(32767.4), 32767);
    EXPECT_FALSE(round_to_int16(32767.5).has_value());
    EXPECT_FALSE(round_to_int16(-40000).has_value());
}

}  // namespace
}  // namespace korvane
