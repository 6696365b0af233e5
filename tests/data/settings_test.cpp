#include "data/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;

class settings_file : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("korvane-settings-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write_bytes(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    static std::string read_bytes(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
};

GenerationSettings sample(const std::string& filename) {
    GenerationSettings s;
    s.filename = filename;
    s.database_type = 0;
    s.database_name = "shop.sqlite";
    s.main_type = 2;
    s.main_name = "select * from pages where id=1 and kind = 'a=b'";
    s.template_field = "template";
    s.generated_field = "file name";
    s.template_path = "templates/";
    s.generated_path = "Größe/";
    return s;
}

TEST_F(settings_file, round_trip_keeps_every_field_and_writes_crlf_lines) {
    const auto s = sample(path("site.kvn"));
    std::string error;
    ASSERT_TRUE(write_settings_file(s, error)) << error;
    EXPECT_EQ(read_bytes(s.filename),
              "db_type=0\r\ndb_name=shop.sqlite\r\nmain_type=2\r\n"
              "main_name=select * from pages where id=1 and kind = 'a=b'\r\n"
              "template_field=template\r\ngenerated_field=file name\r\n"
              "template_path=templates/\r\ngenerated_path=Größe/\r\n");

    GenerationSettings back;
    EXPECT_EQ(read_settings_file(back, s.filename), 8);
    EXPECT_EQ(back, s);
}

TEST_F(settings_file, negative_types_are_written_with_a_sign) {
    GenerationSettings s;
    s.filename = path("empty.kvn");
    std::string error;
    ASSERT_TRUE(write_settings_file(s, error)) << error;
    GenerationSettings back = sample("x");
    EXPECT_EQ(read_settings_file(back, s.filename), 8);
    EXPECT_EQ(back.database_type, -1);
    EXPECT_EQ(back.main_type, -1);
    EXPECT_EQ(back.database_name, "");
}

TEST_F(settings_file, a_failed_write_reports_why_and_leaves_the_old_file) {
    const auto s = sample(path("missing-folder/site.kvn"));
    std::string error;
    EXPECT_FALSE(write_settings_file(s, error));
    EXPECT_FALSE(error.empty());

    if (::geteuid() != 0) {  // root writes anywhere
        const auto kept = write_bytes("kept.kvn", "db_type=1\r\n");
        ::chmod(dir_.c_str(), 0500);
        EXPECT_FALSE(write_settings_file(sample(kept), error));
        ::chmod(dir_.c_str(), 0700);
        EXPECT_EQ(read_bytes(kept), "db_type=1\r\n");
    }
}

TEST_F(settings_file, line_ends_of_every_platform_read_alike) {
    for (const std::string eol : {"\r\n", "\r", "\n"}) {
        const auto p = write_bytes("eol.kvn", "db_type=1" + eol + "db_name=dsn" + eol +
                                                  "main_type=0" + eol + "main_name=pages");
        GenerationSettings s;
        EXPECT_EQ(read_settings_file(s, p), 4);
        EXPECT_EQ(s.database_type, 1);
        EXPECT_EQ(s.database_name, "dsn");
        EXPECT_EQ(s.main_name, "pages");
        EXPECT_EQ(s.filename, p);
    }
}

TEST_F(settings_file, windows_1252_files_from_older_versions_read_as_such) {
    // "Größe €" in Windows-1252: not valid UTF-8.
    const auto p = write_bytes("old.kvn", "generated_path=Gr\xF6\xDF" "e \x80\r\n");
    GenerationSettings s;
    EXPECT_EQ(read_settings_file(s, p), 1);
    EXPECT_EQ(s.generated_path, "Größe €");
}

TEST_F(settings_file, types_convert_leniently_and_strictly) {
    struct case_t {
        std::string db_type;
        int expected;
    };
    for (const auto& c : std::vector<case_t>{{"1.5", 2}, {"2.5", 2}, {"", 0}, {"x", 0},
                                            {" 1 ", 1}, {"3abc", 3}, {"-1", -1}}) {
        GenerationSettings s;
        EXPECT_EQ(read_settings_file(s, write_bytes("t.kvn", "db_type=" + c.db_type + "\r\n")), 1)
            << c.db_type;
        EXPECT_EQ(s.database_type, c.expected) << c.db_type;
    }
    for (const auto& [text, expected] :
         std::vector<std::pair<std::string, int>>{{" 2 ", 2}, {"0.5", 0}, {"1.5", 2}}) {
        GenerationSettings s;
        EXPECT_EQ(read_settings_file(s, write_bytes("t.kvn", "main_type=" + text + "\r\n")), 1);
        EXPECT_EQ(s.main_type, expected) << text;
    }
    for (const std::string bad : {"main_type=", "main_type=x", "main_type=1x",
                                  "main_type=40000", "db_type=99999"}) {
        GenerationSettings s;
        EXPECT_EQ(read_settings_file(s, write_bytes("t.kvn", bad + "\r\n")), -1) << bad;
    }
}

TEST_F(settings_file, keys_must_match_exactly_and_the_later_line_wins) {
    const auto p = write_bytes("keys.kvn",
                               "DB_NAME=upper\r\n db_name=blank\r\ndb_name =blank\r\n"
                               "no equals sign\r\ndb_name=first\r\ndb_name=second\r\n"
                               "colour=blue\r\n");
    GenerationSettings s;
    EXPECT_EQ(read_settings_file(s, p), 7);
    EXPECT_EQ(s.database_name, "second");
}

TEST_F(settings_file, line_limits_and_failures) {
    std::string lines;
    for (int i = 0; i < 31; ++i) lines += "x=1\r\n";
    GenerationSettings s;
    EXPECT_EQ(read_settings_file(s, write_bytes("31.kvn", lines)), 31);
    EXPECT_EQ(read_settings_file(s, write_bytes("32.kvn", lines + "db_name=late\r\n")), -1);
    EXPECT_EQ(read_settings_file(s, path("absent.kvn")), -1);

    // An empty file reads as nothing at all, and keeps the record's filename.
    GenerationSettings kept;
    kept.filename = "before.kvn";
    EXPECT_EQ(read_settings_file(kept, write_bytes("empty.kvn", "")), 0);
    EXPECT_EQ(kept.filename, "before.kvn");
}

TEST_F(settings_file, a_value_with_a_line_break_reads_back_to_its_first_line) {
    auto s = sample(path("multi.kvn"));
    s.main_name = "select *\r\nfrom pages";
    std::string error;
    ASSERT_TRUE(write_settings_file(s, error));
    GenerationSettings back;
    EXPECT_EQ(read_settings_file(back, s.filename), 9);
    EXPECT_EQ(back.main_name, "select *");
}

TEST(settings_record, completeness_checks_the_six_required_fields_only) {
    GenerationSettings s = sample("");
    s.template_path.clear();
    s.generated_path.clear();
    s.main_type = 7;  // codes other than -1 are not checked
    EXPECT_TRUE(settings_are_complete(s));
    for (auto clear : std::vector<void (*)(GenerationSettings&)>{
             [](GenerationSettings& x) { x.database_type = -1; },
             [](GenerationSettings& x) { x.database_name.clear(); },
             [](GenerationSettings& x) { x.main_type = -1; },
             [](GenerationSettings& x) { x.main_name.clear(); },
             [](GenerationSettings& x) { x.template_field.clear(); },
             [](GenerationSettings& x) { x.generated_field.clear(); }}) {
        auto t = s;
        clear(t);
        EXPECT_FALSE(settings_are_complete(t));
    }
    reset_settings(s);
    EXPECT_EQ(s, GenerationSettings{});
}

TEST(settings_record, split_setting_line_cuts_at_the_first_equals_sign) {
    std::string key = "k", value = "v";
    split_setting_line("main_name=a=b", key, value);
    EXPECT_EQ(key, "main_name");
    EXPECT_EQ(value, "a=b");
    split_setting_line("no sign", key, value);
    EXPECT_EQ(key, "");
    EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace korvane
