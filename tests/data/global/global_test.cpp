// SPDX-License-Identifier: Apache-2.0
#include "data/global.h"

#include "../../generator/run_test_support.h"
#include "sqlite_test_support.h"
#include "../../support/case_table.h"

#include <gtest/gtest.h>

#include <utility>

namespace korvane::global {
namespace {

using test::make_sqlite_file;
using test::temp_folder;
using names = std::vector<std::string>;

class list_recorder final : public list_port {
public:
    list_recorder() = default;
    list_recorder(std::initializer_list<std::string> entries) : items(entries) {}
    void clear() override { items.clear(); }
    void add_item(const std::string& text) override { items.push_back(text); }
    int count() const override { return static_cast<int>(items.size()); }
    std::string item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    void remove_item(int index) override { items.erase(items.begin() + index); }
    names items;
};

// The site of site.sql, open.
class global_with_database : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.path("site.sqlite");
        ASSERT_TRUE(make_sqlite_file(path_, test::read_file(KORVANE_SOURCE_DIR "/tests/data/global/site.sql")));
        ASSERT_EQ(open_database(db_, 0, path_, messages_), 0);
        ASSERT_TRUE(db_);
    }

    // The one message shown since the last call, as "caption: text"; it must carry icon.
    std::string only_message(message_icon icon) {
        const auto shown = std::exchange(messages_.shown, {});
        if (shown.size() != 1) return std::to_string(shown.size()) + " messages";
        EXPECT_EQ(shown[0].icon, icon) << shown[0].text;
        return shown[0].caption + ": " + shown[0].text;
    }

    temp_folder folder_;
    std::string path_;
    test::recording_messages messages_;
    std::unique_ptr<data::database> db_;
    std::unique_ptr<data::record_set> result_;
};

TEST_F(global_with_database, a_failed_open_shows_the_database_problem_and_empties_the_reference) {
    test::write_file(folder_.path("notes.sqlite"), "just text\n");
    const struct {
        std::int16_t type;
        std::string name, described;  // described: what the engine's description contains
    } failures[] = {{0, folder_.path("missing.mdb"), folder_.path("missing.mdb")},
                    {0, folder_.path("notes.sqlite"), folder_.path("notes.sqlite")},
                    {1, "korvane_no_such_dsn_4711", "not found"}};
    for (const auto& [type, name, described] : failures) {
        ASSERT_EQ(open_database(db_, 0, path_, messages_), 0);
        std::string error;
        EXPECT_EQ(open_database(db_, type, name, messages_, &error), -1) << name;
        EXPECT_FALSE(db_) << name;
        EXPECT_EQ(only_message(message_icon::critical), "Korvane - Database problem: " + error);
        EXPECT_NE(error.find(described), std::string::npos) << error;
    }
    // Types other than a file or a data source open nothing, and that is no failure.
    EXPECT_EQ(open_database(db_, -1, "whatever", messages_), 0);
    EXPECT_EQ(open_database(db_, 2, "whatever", messages_), 0);
    EXPECT_FALSE(db_);
    EXPECT_TRUE(messages_.shown.empty());
}

// Counts beyond the sixteen-bit range give 0; failing SQL, and an unknown
// main type, which has no SQL, give -1, say why and clear the result.
TEST_F(global_with_database, the_main_result_is_counted_for_every_main_type_or_says_why_not) {
    const std::string problem = "Korvane - Problem running SQL: ";
    for (const auto& c : test::read_case_table("data/global/main_results.tsv", 3)) {
        ASSERT_EQ(open_main_result(*db_, result_, 0, "Pages", messages_), 3);
        const auto type = static_cast<std::int16_t>(std::stoi(c[0]));
        const int rows = std::stoi(c[2]);
        EXPECT_EQ(open_main_result(*db_, result_, type, c[1], messages_), rows) << c.where;
        EXPECT_EQ(result_ != nullptr, rows >= 0) << c.where;  // an empty result stays open too
        if (rows >= 0) EXPECT_TRUE(messages_.shown.empty()) << c.where;
        else if (c[3].empty()) EXPECT_TRUE(only_message(message_icon::exclamation).starts_with(problem));
        else EXPECT_EQ(only_message(message_icon::exclamation), problem + c[3]) << c.where;
    }
    // The count leaves the result on its last row.
    ASSERT_EQ(open_main_result(*db_, result_, 0, "Pages", messages_), 3);
    ASSERT_TRUE(result_->value("output"));
    EXPECT_EQ(result_->value("output")->text, "c.htm");
}

TEST_F(global_with_database, lists_are_cleared_and_filled_in_engine_order) {
    list_recorder list{"left over"};
    list_tables(*db_, list, messages_);
    EXPECT_EQ(list.items, (names{"Pages", "MSysObjects", "Web Pages", "Empty", "Big"}));
    list_queries(*db_, list, messages_);
    EXPECT_EQ(list.items, (names{"Latest", "All.Pages"}));
    ASSERT_EQ(open_main_result(*db_, result_, 0, "Web Pages", messages_), 0);
    list_fields(*result_, list);
    EXPECT_EQ(list.items, (names{"zeta", "alpha", "mid"}));
    EXPECT_TRUE(messages_.shown.empty());

    // A list that cannot be read stays empty and says why.
    std::string ignored;
    db_->close(ignored);
    list_tables(*db_, list, messages_);
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(only_message(message_icon::critical).starts_with("Korvane - Database problem: "));
    // A close empties the reference, and takes nothing open in its stride.
    EXPECT_EQ(close_database(db_), 0);
    EXPECT_FALSE(db_);
    EXPECT_EQ(close_database(db_), 0);
}

TEST(global_lists, system_tables_are_removed_and_entries_found_by_exact_text) {
    list_recorder list{"MSysObjects", "MSysQueries", "Pages", "msysx", "MSys", "MSy", "MSysACEs"};
    remove_system_tables(list);
    EXPECT_EQ(list.items, (names{"Pages", "msysx", "MSy"}));
    list_recorder only_system{"MSysA", "MSysB"};
    remove_system_tables(only_system);
    EXPECT_TRUE(only_system.items.empty());

    const list_recorder entries{"pages", "Pages", " Pages", "Pages"};
    EXPECT_EQ(find_list_entry("Pages", entries), 1);  // the first of two
    EXPECT_EQ(find_list_entry("pages", entries), 0);
    EXPECT_EQ(find_list_entry("PAGES", entries), -1);
    EXPECT_EQ(find_list_entry("", entries), -1);
    EXPECT_EQ(find_list_entry("Pages", list_recorder{}), -1);
}

}  // namespace
}  // namespace korvane::global
