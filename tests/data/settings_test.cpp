// SPDX-License-Identifier: Apache-2.0
#include "data/settings.h"

#include "../support/case_table.h"
#include "sqlite_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace korvane {
namespace {

// Files in a fresh folder of the test's own.
class settings_file : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return folder_.path(name); }
    std::string write_bytes(const std::string& name, const std::string& bytes) const {
        test::write_file(path(name), bytes);
        return path(name);
    }

    test::temp_folder folder_;
};

GenerationSettings sample(const std::string& filename) {
    return {filename,
            0,
            "shop.sqlite",
            2,
            "select * from pages where id=1 and kind = 'a=b'",
            "template",
            "file name",
            "templates/",
            "Größe/"};
}

TEST_F(settings_file, written_files_have_crlf_lines_and_read_back_whole) {
    auto s = sample(path("site.kvn"));
    std::string error;
    ASSERT_TRUE(write_settings_file(s, error)) << error;
    EXPECT_EQ(test::read_file(s.filename),
              "db_type=0\r\ndb_name=shop.sqlite\r\nmain_type=2\r\n"
              "main_name=select * from pages where id=1 and kind = 'a=b'\r\n"
              "template_field=template\r\ngenerated_field=file name\r\n"
              "template_path=templates/\r\ngenerated_path=Größe/\r\n");
    GenerationSettings back;
    EXPECT_EQ(read_settings_file(back, s.filename), 8);
    EXPECT_EQ(back, s);

    // Unset types are written with their sign.
    GenerationSettings unset;
    unset.filename = path("unset.kvn");
    ASSERT_TRUE(write_settings_file(unset, error)) << error;
    back = sample("x");
    EXPECT_EQ(read_settings_file(back, unset.filename), 8);
    EXPECT_EQ(back, unset);

    // How SQL reaches an ODBC source is written only when it is set.
    s.sql_dialect = sql_dialect_native;
    ASSERT_TRUE(write_settings_file(s, error)) << error;
    EXPECT_TRUE(test::read_file(s.filename).ends_with("generated_path=Größe/\r\nsql_dialect=native\r\n"));
    EXPECT_EQ(read_settings_file(back, s.filename), 9);
    EXPECT_EQ(back, s);
    s.sql_dialect.clear();

    // A value with a line break reads back to its first line.
    s.main_name = "select *\r\nfrom pages";
    ASSERT_TRUE(write_settings_file(s, error));
    EXPECT_EQ(read_settings_file(back, s.filename), 9);
    EXPECT_EQ(back.main_name, "select *");
}

TEST_F(settings_file, a_failed_write_reports_why_and_leaves_the_old_file) {
    std::string error;
    EXPECT_FALSE(write_settings_file(sample(path("missing-folder/site.kvn")), error));
    EXPECT_FALSE(error.empty());

    if (::geteuid() != 0) {  // root writes anywhere
        const auto kept = write_bytes("kept.kvn", "db_type=1\r\n");
        ::chmod(folder_.dir().c_str(), 0500);
        EXPECT_FALSE(write_settings_file(sample(kept), error));
        ::chmod(folder_.dir().c_str(), 0700);
        EXPECT_EQ(test::read_file(kept), "db_type=1\r\n");
    }
}

TEST_F(settings_file, a_file_holding_a_secret_is_only_its_owners) {
    const mode_t old_mask = ::umask(022);
    for (const auto& row : test::read_case_table("data/secret_settings.tsv", 2)) {
        const std::string& database_name = row[0];
        const auto mode = static_cast<mode_t>(std::stoi(row[1], nullptr, 8));
        // Over an old file that anyone may read, and as a new file.
        const std::string name = path("site.kvn");
        test::write_file(name, "old");
        ::chmod(name.c_str(), 0644);
        for (const bool replace : {true, false}) {
            if (!replace) std::remove(name.c_str());
            auto s = sample(name);
            s.database_name = database_name;
            std::string error;
            ASSERT_TRUE(write_settings_file(s, error)) << error;
            struct stat st {};
            ASSERT_EQ(::stat(name.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, mode) << database_name << (replace ? ", replaced" : ", new");
            GenerationSettings back;
            EXPECT_EQ(read_settings_file(back, name), 8);
            EXPECT_EQ(back, s);
        }
    }
    ::umask(old_mask);
}

TEST_F(settings_file, files_read_as_older_versions_wrote_them) {
    for (const auto& row : test::read_case_table("data/settings_read_cases.tsv", 2)) {
        GenerationSettings s;
        const std::string p = write_bytes("read.kvn", row[0]);
        EXPECT_EQ(read_settings_file(s, p), std::stoi(row[1])) << row.where;
        if (std::stoi(row[1]) < 0) continue;
        EXPECT_EQ(std::to_string(s.database_type) + "," + s.database_name + "," +
                      std::to_string(s.main_type) + "," + s.main_name + "," + s.generated_path,
                  row[2])
            << row.where;
        EXPECT_EQ(s.filename, p);
    }

    GenerationSettings kept;
    EXPECT_EQ(read_settings_file(kept, path("absent.kvn")), -1);
    // An empty file reads as nothing at all, and keeps the record's filename.
    kept.filename = "before.kvn";
    EXPECT_EQ(read_settings_file(kept, write_bytes("empty.kvn", "")), 0);
    EXPECT_EQ(kept.filename, "before.kvn");
}

TEST(settings_record, completeness_checks_the_six_required_fields_only) {
    GenerationSettings s = sample("");
    s.template_path.clear();
    s.generated_path.clear();
    s.main_type = 7;  // codes other than -1 are not checked
    EXPECT_TRUE(settings_are_complete(s));
    for (auto type : {&GenerationSettings::database_type, &GenerationSettings::main_type}) {
        auto t = s;
        t.*type = -1;
        EXPECT_FALSE(settings_are_complete(t));
    }
    for (auto text : {&GenerationSettings::database_name, &GenerationSettings::main_name,
                      &GenerationSettings::template_field, &GenerationSettings::generated_field}) {
        auto t = s;
        (t.*text).clear();
        EXPECT_FALSE(settings_are_complete(t));
    }
    reset_settings(s);
    EXPECT_EQ(s, GenerationSettings{});

    // The checker cuts lines as the reader does: at the first equals sign.
    std::string key = "k", value = "v";
    split_setting_line("main_name=a=b", key, value);
    EXPECT_EQ(key + "|" + value, "main_name|a=b");
    split_setting_line("no sign", key, value);
    EXPECT_EQ(key + "|" + value, "|");
}

}  // namespace
}  // namespace korvane
