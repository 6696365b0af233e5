// SPDX-License-Identifier: Apache-2.0
#include "check/settings_check.h"

#include "sqlite_test_support.h"
#include "../support/case_table.h"

#include <gtest/gtest.h>

namespace korvane::check {
namespace {

using test::make_sqlite_file;
using test::temp_folder;
using test::write_file;

// The site of site/, in a fresh folder.
class settings_check : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(KORVANE_SOURCE_DIR "/tests/check/site", dir_.dir() / "templates");
        std::filesystem::create_directories(dir_.dir() / "site");
        ASSERT_TRUE(make_sqlite_file(dir_.path("shop.sqlite"), test::read_file(dir_.path("templates/shop.sql"))));
    }

    std::string settings(const std::string& body) {
        write_file(dir_.path("site.kvn"), body);
        return dir_.path("site.kvn");
    }

    static std::string all(const check_outcome& o) {
        std::string text;
        for (const auto& f : o.findings) text += format_finding(f) + "\n";
        return text;
    }

    temp_folder dir_;
};

constexpr const char* complete =
    "db_type=0\r\ndb_name=shop.sqlite\r\nmain_type=0\r\nmain_name=pages\r\n"
    "template_field=template\r\ngenerated_field=file\r\ntemplate_path=templates/\r\ngenerated_path=\r\n";

TEST_F(settings_check, finds_every_planted_mistake_and_nothing_in_a_good_template) {
    const auto outcome = check_settings_file(settings(complete), 32767);
    ASSERT_TRUE(outcome.settings_read);
    const std::string text = all(outcome);
    const std::string bad = dir_.path("templates/bad.html");
    for (const std::string& finding :
         {bad + ":1:5: warning: MAIN_FIELD 'headline' is not a field of the main result",
          bad + ":2:1: warning: the section's SQL fails: no such table: nolines",
          bad + ":5:1: warning: REPEAT_FIELD 'title' is not a field of its section's result",
          "site.kvn:5:1: warning: main row 3 names the template '" + dir_.path("templates/gone.html") +
              "', which does not exist",
          std::string("site.kvn:8:1: warning: main row 3 writes")}) {
        EXPECT_NE(text.find(finding), std::string::npos) << finding << "\n" << text;
    }
    EXPECT_EQ(text.find("good.html:"), std::string::npos) << text;
    EXPECT_EQ(outcome.findings.size(), 5u) << text;
}

TEST_F(settings_check, settings_that_cannot_lead_to_a_run) {
    EXPECT_FALSE(check_settings_file(dir_.path("absent.kvn"), 32767).settings_read);

    const std::string shop = "db_type=0\r\ndb_name=shop.sqlite\r\nmain_type=";
    for (const auto& row : test::read_case_table("check/unusable_settings.tsv", 2)) {
        const std::string found = all(check_settings_file(settings(row[0]), 32767));
        EXPECT_NE(found.find(row[1]), std::string::npos) << row.where << "\n" << found;
    }
    // A folder name the system refuses is a finding, and the check goes on.
    const std::string long_name = std::string(complete) + "generated_path=" + std::string(300, 'd') + "/\r\n";
    std::string text = all(check_settings_file(settings(long_name), 32767));
    EXPECT_NE(text.find("but its folder cannot be used (File name too long)"), std::string::npos) << text;
    EXPECT_NE(text.find("MAIN_FIELD 'headline'"), std::string::npos) << text;

    text = all(check_settings_file(settings(complete), 3));
    EXPECT_NE(text.find("more than 3"), std::string::npos) << text;

    // A template that is not UTF-8 is read as a run reads it: as Windows-1252.
    write_file(dir_.path("templates/w.html"), "<h1>caf\xE9 <!--MAIN_FIELD=gr\xD6\xDF" "e--></h1>\n");
    text = all(check_settings_file(
        settings(shop + "2\r\nmain_name=select 'w.html' as t, "
                 "'site/w.html' as f, 1 as \"Größe\"\r\ntemplate_field=t\r\ngenerated_field=f\r\n"
                 "template_path=templates/\r\n"),
        32767));
    EXPECT_EQ(text, "");
}

TEST_F(settings_check, a_key_given_twice_is_pointed_at_on_its_last_line) {
    // The reader keeps the later value, so the finding names that line.
    const std::string twice = std::string(complete) + "template_field=layout\r\n";
    const std::string text = all(check_settings_file(settings(twice), 32767));
    EXPECT_NE(text.find("site.kvn:9:1: warning: 'layout' is not a field"), std::string::npos) << text;
    EXPECT_EQ(text.find("site.kvn:5:1:"), std::string::npos) << text;
}

TEST_F(settings_check, a_record_never_saved_is_checked_as_it_stands) {
    GenerationSettings record;
    ASSERT_EQ(read_settings_file(record, settings(complete)), 8);
    const std::string saved = all({true, check_settings(record, dir_.dir().string(), 32767)});
    EXPECT_EQ(saved, all(check_settings_file(settings(complete), 32767)));

    // Unsaved: relative names from the folder given; a setting's finding at
    // the line its key takes in a written file.
    record.filename.clear();
    record.template_field = "layout";
    const std::string text = all({true, check_settings(record, dir_.dir().string(), 32767)});
    EXPECT_NE(text.find("(unsaved settings):5:1: warning: 'layout' is not a field"),
              std::string::npos) << text;
    EXPECT_NE(check_settings(record, "", 32767).at(0).message.find("does not open"),
              std::string::npos);  // the database is not beside the current folder
}

}  // namespace
}  // namespace korvane::check
