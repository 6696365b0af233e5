#include "data/global.h"

#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane::global {
namespace {

using test::make_sqlite_file;
using test::temp_folder;

struct shown_message {
    std::string caption;
    std::string text;
    message_icon icon;
};

class message_recorder final : public message_port {
public:
    void show_message(const std::string& caption, const std::string& text, message_icon icon) override {
        shown.push_back({caption, text, icon});
    }
    std::vector<shown_message> shown;
};

class list_recorder final : public list_port {
public:
    list_recorder() = default;
    list_recorder(std::initializer_list<std::string> entries) : items(entries) {}
    void clear() override { items.clear(); }
    void add_item(const std::string& text) override { items.push_back(text); }
    int count() const override { return static_cast<int>(items.size()); }
    std::string item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    void remove_item(int index) override { items.erase(items.begin() + index); }
    std::vector<std::string> items;
};

// A site database as the tests below need it.
class global_with_database : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.path("site.sqlite");
        ASSERT_TRUE(make_sqlite_file(
            path_,
            "CREATE TABLE Pages (page_id INTEGER, template TEXT, output TEXT);"
            "INSERT INTO Pages VALUES (1, 'a.tpl', 'a.htm'), (2, 'a.tpl', 'b.htm'), (3, 'b.tpl', 'c.htm');"
            "CREATE TABLE MSysObjects (x);"
            "CREATE TABLE \"Web Pages\" (zeta, alpha, mid);"
            "CREATE TABLE Empty (a);"
            "CREATE VIEW Latest AS SELECT * FROM Pages WHERE page_id > 1;"
            "CREATE VIEW \"All.Pages\" AS SELECT * FROM Pages;"));
        ASSERT_EQ(open_database(db_, 0, path_, messages_), 0);
        ASSERT_TRUE(db_);
    }

    temp_folder folder_;
    std::string path_;
    message_recorder messages_;
    std::unique_ptr<data::database> db_;
    std::unique_ptr<data::record_set> result_;
};

// ---------------------------------------------------------------------------
// Opening and closing

TEST(global_open, a_missing_file_gives_the_database_problem_and_no_database) {
    temp_folder folder;
    message_recorder messages;
    std::unique_ptr<data::database> db;
    std::string error;
    const std::string path = folder.path("missing.mdb");
    EXPECT_EQ(open_database(db, 0, path, messages, &error), -1);
    EXPECT_FALSE(db);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Database problem");
    EXPECT_EQ(messages.shown[0].icon, message_icon::critical);
    EXPECT_NE(messages.shown[0].text.find(path), std::string::npos) << messages.shown[0].text;
    EXPECT_EQ(error, messages.shown[0].text);
}

TEST(global_open, a_failed_open_empties_a_reference_that_held_a_database) {
    temp_folder folder;
    message_recorder messages;
    const std::string good = folder.path("good.sqlite");
    ASSERT_TRUE(make_sqlite_file(good, "CREATE TABLE t (a);"));
    const std::string text_file = folder.path("notes.sqlite");
    test::write_file(text_file, "just text\n");

    std::unique_ptr<data::database> db;
    ASSERT_EQ(open_database(db, 0, good, messages), 0);
    ASSERT_TRUE(db);
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_EQ(open_database(db, 0, text_file, messages), -1);
    EXPECT_FALSE(db);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Database problem");
    EXPECT_FALSE(messages.shown[0].text.empty());
}

TEST(global_open, an_unknown_data_source_gives_the_database_problem) {
    message_recorder messages;
    std::unique_ptr<data::database> db;
    EXPECT_EQ(open_database(db, 1, "korvane_no_such_dsn_4711", messages), -1);
    EXPECT_FALSE(db);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Korvane - Database problem");
    EXPECT_EQ(messages.shown[0].icon, message_icon::critical);
    EXPECT_FALSE(messages.shown[0].text.empty());
}

TEST(global_open, other_types_open_nothing_and_succeed) {
    message_recorder messages;
    std::unique_ptr<data::database> db;
    EXPECT_EQ(open_database(db, -1, "whatever", messages), 0);
    EXPECT_EQ(open_database(db, 2, "whatever", messages), 0);
    EXPECT_FALSE(db);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(global_with_database, close_empties_the_reference_and_tolerates_nothing_open) {
    EXPECT_EQ(close_database(db_), 0);
    EXPECT_FALSE(db_);
    EXPECT_EQ(close_database(db_), 0);
}

// ---------------------------------------------------------------------------
// The main result

TEST_F(global_with_database, counts_the_main_table_and_stays_on_its_last_row) {
    EXPECT_EQ(open_main_result(*db_, result_, 0, "Pages", messages_), 3);
    ASSERT_TRUE(result_);
    ASSERT_TRUE(result_->value("output"));
    EXPECT_EQ(result_->value("output")->text, "c.htm");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(global_with_database, names_with_blanks_or_periods_and_statements_run) {
    EXPECT_EQ(open_main_result(*db_, result_, 0, "Web Pages", messages_), 0);  // empty table
    EXPECT_EQ(open_main_result(*db_, result_, 1, "Latest", messages_), 2);
    EXPECT_EQ(open_main_result(*db_, result_, 1, "All.Pages", messages_), 3);
    EXPECT_EQ(open_main_result(*db_, result_, 2, "SELECT * FROM Pages WHERE template = 'a.tpl'", messages_), 2);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(global_with_database, an_empty_result_is_zero_without_a_message_and_stays_open) {
    EXPECT_EQ(open_main_result(*db_, result_, 0, "Empty", messages_), 0);
    ASSERT_TRUE(result_);
    EXPECT_EQ(result_->field_names(), std::vector<std::string>{"a"});
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(global_with_database, failing_sql_shows_the_engine_message_and_clears_the_result) {
    ASSERT_EQ(open_main_result(*db_, result_, 0, "Pages", messages_), 3);
    EXPECT_EQ(open_main_result(*db_, result_, 0, "Nope", messages_), -1);
    EXPECT_FALSE(result_);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, "Korvane - Problem running SQL");
    EXPECT_EQ(messages_.shown[0].icon, message_icon::exclamation);
    EXPECT_EQ(messages_.shown[0].text, "no such table: Nope");

    // An unknown main type has no SQL, which cannot run either.
    EXPECT_EQ(open_main_result(*db_, result_, 3, "Pages", messages_), -1);
    EXPECT_EQ(messages_.shown.size(), 2u);
    EXPECT_FALSE(messages_.shown[1].text.empty());
}

TEST_F(global_with_database, counts_beyond_the_sixteen_bit_range_give_zero) {
    ASSERT_TRUE(make_sqlite_file(path_,
                                 "CREATE TABLE Big (k INTEGER);"
                                 "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 32768)"
                                 " INSERT INTO Big SELECT k FROM n;"));
    EXPECT_EQ(open_main_result(*db_, result_, 2, "SELECT k FROM Big WHERE k <= 32767", messages_), 32767);
    EXPECT_EQ(open_main_result(*db_, result_, 0, "Big", messages_), 0);
    EXPECT_TRUE(result_);
    EXPECT_TRUE(messages_.shown.empty());
}

// ---------------------------------------------------------------------------
// Lists

TEST_F(global_with_database, tables_and_queries_fill_a_cleared_list_in_engine_order) {
    list_recorder list{"left over"};
    list_tables(*db_, list, messages_);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Pages", "MSysObjects", "Web Pages", "Empty"}));
    remove_system_tables(list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Pages", "Web Pages", "Empty"}));

    list_queries(*db_, list, messages_);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Latest", "All.Pages"}));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(global_with_database, a_list_that_cannot_be_read_shows_the_database_problem) {
    std::string ignored;
    db_->close(ignored);
    list_recorder list{"left over"};
    list_tables(*db_, list, messages_);
    EXPECT_TRUE(list.items.empty());
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, "Korvane - Database problem");
    EXPECT_EQ(messages_.shown[0].icon, message_icon::critical);
}

TEST_F(global_with_database, fields_are_listed_in_result_order) {
    ASSERT_EQ(open_main_result(*db_, result_, 0, "Web Pages", messages_), 0);
    list_recorder list{"old"};
    list_fields(*result_, list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"zeta", "alpha", "mid"}));
}

TEST(global_lists, system_tables_are_removed_by_exact_prefix) {
    list_recorder list{"MSysObjects", "MSysQueries", "Pages", "msysx", "MSys", "MSy", "MSysACEs"};
    remove_system_tables(list);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Pages", "msysx", "MSy"}));

    list_recorder only_system{"MSysA", "MSysB"};
    remove_system_tables(only_system);
    EXPECT_TRUE(only_system.items.empty());
}

TEST(global_lists, find_list_entry_matches_exactly_and_first) {
    const list_recorder list{"pages", "Pages", " Pages", "Pages"};
    EXPECT_EQ(find_list_entry("Pages", list), 1);
    EXPECT_EQ(find_list_entry("pages", list), 0);
    EXPECT_EQ(find_list_entry("PAGES", list), -1);
    EXPECT_EQ(find_list_entry("", list), -1);
    EXPECT_EQ(find_list_entry("Pages", list_recorder{}), -1);
}

}  // namespace
}  // namespace korvane::global
