#include "template/template_engine.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end.
class temp_folder {
public:
    temp_folder() {
        std::string pattern = (fs::temp_directory_path() / "korvane-template-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~temp_folder() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path_, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(path_, ec);
    }
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> folder_entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string reason(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += line;
    return text;
}

struct template_engine_test : ::testing::Test {
    // Loads bytes as the template and asserts that it loaded.
    void load(const std::string& bytes) {
        write_file(folder / "t.html", bytes);
        ASSERT_TRUE(engine.load_template(folder / "t.html"));
    }
    void open(const std::string& name) {
        std::string error;
        ASSERT_TRUE(engine.open_output_file(folder / name, error)) << error;
        EXPECT_EQ(error, "");
    }
    // Copies the whole template to the page the way the generator copies a
    // template without tags of its own: comments character for character.
    void copy_everything() {
        while (!engine.end_of_file()) {
            if (engine.output_to_line_containing("<!--", "", false)) {
                engine.output_past_line_containing("-->", "", false);
            }
        }
    }
    std::string page_of(const std::string& bytes) {
        load(bytes);
        open("page.html");
        copy_everything();
        EXPECT_EQ(engine.close_output_file().status, close_status::written);
        return read_file(folder / "page.html");
    }

    temp_folder folder;
    template_engine engine;
};

// ---------------------------------------------------------------- loading

TEST_F(template_engine_test, a_template_of_2001_lines_loads_and_one_of_2002_does_not) {
    load(repeated("x\n", 2001));
    EXPECT_EQ(engine.line_count(), 2001);
    EXPECT_EQ(engine.template_line(2000), "x");

    write_file(folder / "long.html", repeated("y\n", 2002));
    EXPECT_FALSE(engine.load_template(folder / "long.html"));
    EXPECT_EQ(engine.line_count(), 0);
    // The lines read before the limit are not counted: nothing is found.
    EXPECT_FALSE(engine.jump_to_line_containing("y", "", false));
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.text_at_cursor(), "");

    // Without a terminator after the last line the count is the same.
    write_file(folder / "open.html", repeated("z\n", 2000) + "z");
    EXPECT_TRUE(engine.load_template(folder / "open.html"));
    EXPECT_EQ(engine.line_count(), 2001);
    write_file(folder / "open.html", repeated("z\n", 2001) + "z");
    EXPECT_FALSE(engine.load_template(folder / "open.html"));
}

TEST_F(template_engine_test, an_empty_missing_or_folder_template_does_not_load) {
    write_file(folder / "empty.html", "");
    EXPECT_FALSE(engine.load_template(folder / "empty.html"));
    EXPECT_FALSE(engine.load_template(folder / "missing.html"));
    EXPECT_FALSE(engine.load_template(folder.path().string()));
    EXPECT_EQ(engine.line_count(), 0);

    // One line end alone is one empty line.
    write_file(folder / "blank.html", "\n");
    EXPECT_TRUE(engine.load_template(folder / "blank.html"));
    EXPECT_EQ(engine.line_count(), 1);
    EXPECT_EQ(engine.template_line(0), "");
}

TEST_F(template_engine_test, lines_end_at_lf_crlf_or_a_lone_cr) {
    load("a\r\nb\rc\nd");
    ASSERT_EQ(engine.line_count(), 4);
    EXPECT_EQ(engine.template_line(0), "a");
    EXPECT_EQ(engine.template_line(1), "b");
    EXPECT_EQ(engine.template_line(2), "c");
    EXPECT_EQ(engine.template_line(3), "d");

    load("a\r\r\nb\n\nc\r");
    ASSERT_EQ(engine.line_count(), 5);
    EXPECT_EQ(engine.template_line(0), "a");
    EXPECT_EQ(engine.template_line(1), "");
    EXPECT_EQ(engine.template_line(2), "b");
    EXPECT_EQ(engine.template_line(3), "");
    EXPECT_EQ(engine.template_line(4), "c");
    EXPECT_EQ(engine.template_line(5), "");  // beyond the template: nothing

    load("x\r\n");
    EXPECT_EQ(engine.line_count(), 1);
}

TEST_F(template_engine_test, a_shorter_template_hides_the_lines_of_a_longer_one) {
    load("one\ntwo\nthree\n");
    load("only\n");
    EXPECT_EQ(engine.line_count(), 1);
    EXPECT_FALSE(engine.jump_to_line_containing("three", "", false));
    EXPECT_EQ(engine.cursor_line(), 1);
    EXPECT_EQ(engine.template_line(2), "");
}

// ---------------------------------------------------------------- scans

TEST_F(template_engine_test, a_closing_scan_skips_the_closing_tag_of_a_nested_section) {
    load("<!--REPEAT=x-->\n<!--REPEAT=y-->\n<!--END REPEAT-->\n<!--END REPEAT-->\nafter\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.cursor_column(), 16);

    EXPECT_TRUE(engine.jump_to_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_EQ(engine.cursor_line(), 3);
    EXPECT_EQ(engine.cursor_column(), 1);
    EXPECT_FALSE(engine.end_of_file());
}

TEST_F(template_engine_test, sections_nested_two_deep_are_both_skipped) {
    load(
        "<!--REPEAT=a-->\n<!--REPEAT=b-->\n<!--REPEAT=c-->\nrow\n<!--END REPEAT-->\n"
        "<!--END REPEAT-->\n<!--END REPEAT-->x\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_TRUE(engine.jump_past_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_EQ(engine.cursor_line(), 6);
    EXPECT_EQ(engine.text_at_cursor(), "x");

    // Without a closing tag of its own the scan runs to the end.
    load("<!--REPEAT=a-->\n<!--REPEAT=b-->\n<!--END REPEAT-->\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_FALSE(engine.jump_to_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.cursor_line(), 3);
}

TEST_F(template_engine_test, the_depth_counts_lines_not_occurrences) {
    // Two openings on one line raise the depth once, so the second closing
    // match on the next line already ends the scan.
    load("<!--REPEAT=a--><!--REPEAT=b-->\n<!--END REPEAT--><!--END REPEAT-->\n<!--END REPEAT-->\n");
    EXPECT_TRUE(engine.jump_to_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_EQ(engine.cursor_line(), 1);
    EXPECT_EQ(engine.cursor_column(), 18);
}

TEST_F(template_engine_test, after_a_skipped_match_the_same_line_is_looked_at_again) {
    // The opening text after the skipped closing match opens a level again.
    load(
        "<!--REPEAT=y--><!--END REPEAT--><!--REPEAT=z-->\n<!--END REPEAT-->\n"
        "<!--END REPEAT-->x\n");
    EXPECT_TRUE(engine.jump_past_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_EQ(engine.cursor_line(), 2);
    EXPECT_EQ(engine.text_at_cursor(), "x");

    // An opening text before the cursor column does not count.
    load("<!--REPEAT=y-->a<!--END REPEAT-->b\n");
    engine.jump_past_line_containing("-->", "", false);
    EXPECT_TRUE(engine.jump_past_line_containing("<!--END REPEAT-->", "<!--REPEAT=", false));
    EXPECT_EQ(engine.text_at_cursor(), "b");
}

TEST_F(template_engine_test, an_either_scan_stops_at_whichever_text_starts_first) {
    load("x<!--END IF--><!--ELSE-->\ny<!--ELSE-->z<!--END IF-->\n");
    EXPECT_TRUE(engine.jump_to_line_containing_either("<!--ELSE-->", "<!--END IF-->", "", false));
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.cursor_column(), 2);
    EXPECT_EQ(engine.tag_at_cursor(), "<!--END IF-->");

    // Past: the first text's length, whichever matched ("<!--ELSE-->" is 11
    // bytes, "<!--END IF-->" 13), so the cursor stands two bytes short.
    EXPECT_TRUE(engine.jump_past_line_containing_either("<!--ELSE-->", "<!--END IF-->", "", false));
    EXPECT_EQ(engine.cursor_column(), 13);
    EXPECT_EQ(engine.text_at_cursor(), "-><!--ELSE-->");

    EXPECT_TRUE(engine.jump_past_line_containing_either("<!--END IF-->", "<!--ELSE-->", "", false));
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.text_at_cursor(), "");  // past the end of line 0

    EXPECT_TRUE(engine.jump_to_line_containing_either("<!--END IF-->", "<!--ELSE-->", "", false));
    EXPECT_EQ(engine.cursor_line(), 1);
    EXPECT_EQ(engine.cursor_column(), 2);
}

TEST_F(template_engine_test, at_the_same_position_the_first_text_wins) {
    load("<!--END IF-->rest\n");
    EXPECT_TRUE(engine.jump_past_line_containing_either("<!--END", "<!--END IF-->", "", false));
    EXPECT_EQ(engine.text_at_cursor(), " IF-->rest");
    engine.initialise_cursor();
    EXPECT_TRUE(engine.jump_past_line_containing_either("<!--END IF-->", "<!--END", "", false));
    EXPECT_EQ(engine.text_at_cursor(), "rest");
}

TEST_F(template_engine_test, jumping_past_the_closing_marker_leaves_the_cursor_after_it) {
    load("<!--TODAYS DATE=d-->x\n");
    EXPECT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.cursor_column(), 21);
    EXPECT_EQ(engine.text_at_cursor(), "x");
}

TEST_F(template_engine_test, a_scan_that_finds_nothing_ends_past_the_last_line) {
    load("a\nb\n");
    EXPECT_FALSE(engine.jump_to_line_containing("<!--", "", false));
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.cursor_line(), 2);
    EXPECT_EQ(engine.cursor_column(), 1);
    EXPECT_EQ(engine.tag_at_cursor(), "");
    EXPECT_EQ(engine.text_at_cursor(), "");
    EXPECT_FALSE(engine.jump_past_line_containing("a", "", false));

    engine.initialise_cursor();
    EXPECT_FALSE(engine.end_of_file());
    EXPECT_TRUE(engine.jump_to_line_containing("b", "", false));
}

TEST_F(template_engine_test, case_sensitive_true_folds_ascii_case_away) {
    load("Ab<!--End If-->\xC3\x89t\xC3\xA9<!--END IF-->\n");
    EXPECT_TRUE(engine.jump_to_line_containing("<!--END IF-->", "", false));
    EXPECT_EQ(engine.cursor_column(), 21);  // byte position: two bytes for each accent
    engine.initialise_cursor();
    EXPECT_TRUE(engine.jump_to_line_containing("<!--END IF-->", "", true));
    EXPECT_EQ(engine.cursor_column(), 3);
    engine.initialise_cursor();
    // Bytes outside ASCII are compared as they are.
    EXPECT_FALSE(engine.jump_to_line_containing("\xC3\xA9t\xC3\xA9", "", true));
}

TEST_F(template_engine_test, columns_go_beyond_sixteen_bits) {
    const std::string filler(100000, 'a');
    load(filler + "<!--MAIN_FIELD=x-->tail\n");
    EXPECT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    EXPECT_EQ(engine.cursor_column(), 100001);
    EXPECT_EQ(engine.tag_at_cursor(), "<!--MAIN_FIELD=x-->");
    EXPECT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.text_at_cursor(), "tail");
}

// ---------------------------------------------------------------- tags

TEST_F(template_engine_test, the_tag_at_the_cursor_must_close_on_its_line) {
    load(
        "<!--MAIN_FIELD=name--> text\n"
        "<!-- comment\n"
        "still comment -->\n"
        "<!-- open <!--MAIN_FIELD=x-->\n"
        "--><!--x-->\n"
        "<!-->\n");
    EXPECT_EQ(engine.tag_at_cursor(), "<!--MAIN_FIELD=name-->");
    ASSERT_TRUE(engine.jump_to_line_containing("<!-- comment", "", false));
    EXPECT_EQ(engine.tag_at_cursor(), "");
    // The first opening marker through the first closing marker.
    ASSERT_TRUE(engine.jump_to_line_containing("<!-- open", "", false));
    EXPECT_EQ(engine.tag_at_cursor(), "<!-- open <!--MAIN_FIELD=x-->");
    // A closing marker before the opening one: no tag.
    ASSERT_TRUE(engine.jump_to_line_containing("--><!--x", "", false));
    EXPECT_EQ(engine.tag_at_cursor(), "");
    ASSERT_TRUE(engine.jump_to_line_containing("<!-->", "", false));
    EXPECT_EQ(engine.tag_at_cursor(), "<!-->");
}

TEST_F(template_engine_test, the_tag_is_read_from_the_cursor_on) {
    load("<!--A--> <!--B-->\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.tag_at_cursor(), "<!--B-->");
    EXPECT_EQ(engine.text_at_cursor(), " <!--B-->");
}

// ---------------------------------------------------------------- positions

TEST_F(template_engine_test, slot_zero_starts_at_the_start_after_a_load) {
    load("a\nb<!--x-->\n");
    ASSERT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    engine.restore_cursor_position(0);
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.cursor_column(), 1);

    engine.save_cursor_position(0);
    ASSERT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    engine.save_cursor_position(3);
    engine.restore_cursor_position(0);
    EXPECT_EQ(engine.cursor_line(), 0);
    engine.restore_cursor_position(3);
    EXPECT_EQ(engine.cursor_line(), 1);
    EXPECT_EQ(engine.cursor_column(), 2);
}

TEST_F(template_engine_test, a_restore_never_clears_the_end) {
    load("<!--REPEAT=q-->\nrow\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    engine.save_cursor_position(1);
    EXPECT_FALSE(engine.jump_to_line_containing("<!--END REPEAT-->", "", false));
    EXPECT_TRUE(engine.end_of_file());

    engine.restore_cursor_position(1);
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.cursor_column(), 16);
    EXPECT_TRUE(engine.end_of_file());
    // The cursor still moves: only the flag stays.
    EXPECT_TRUE(engine.jump_to_line_containing("row", "", false));
    EXPECT_TRUE(engine.end_of_file());

    engine.initialise_cursor();
    EXPECT_FALSE(engine.end_of_file());
}

TEST_F(template_engine_test, slots_one_to_five_survive_a_load) {
    load("1\n2\n3\n4\n5\n6\n");
    ASSERT_TRUE(engine.jump_past_line_containing("5", "", false));
    engine.save_cursor_position(5);
    engine.save_cursor_position(0);

    load("a\nb\n");
    engine.restore_cursor_position(0);  // preset by the load
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_FALSE(engine.end_of_file());

    engine.restore_cursor_position(5);  // beyond this template's lines
    EXPECT_EQ(engine.cursor_line(), 4);
    EXPECT_EQ(engine.cursor_column(), 2);
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.text_at_cursor(), "");
    EXPECT_EQ(engine.tag_at_cursor(), "");

    // A restore to exactly the line after the last one does not set the end.
    engine.initialise_cursor();
    ASSERT_FALSE(engine.jump_to_line_containing("nothing", "", false));
    engine.save_cursor_position(2);
    engine.initialise_cursor();
    engine.restore_cursor_position(2);
    EXPECT_EQ(engine.cursor_line(), 2);
    EXPECT_FALSE(engine.end_of_file());
}

TEST_F(template_engine_test, slot_numbers_outside_the_six_are_ignored) {
    load("a\n");
    engine.save_cursor_position(6);
    engine.save_cursor_position(-1);
    engine.restore_cursor_position(6);
    engine.restore_cursor_position(-1);
    EXPECT_EQ(engine.cursor_line(), 0);
    EXPECT_EQ(engine.cursor_column(), 1);
}

// ---------------------------------------------------------------- output text

TEST_F(template_engine_test, texts_join_and_every_written_line_ends_with_crlf) {
    load("unused\n");
    open("page.html");
    engine.output_text("a", false);
    EXPECT_EQ(engine.pending_output(), "a");
    engine.output_text("b", true);
    EXPECT_EQ(engine.pending_output(), "");
    engine.output_text("", true);
    engine.output_text("c", false);
    engine.output_text("d", false);
    engine.output_text("", true);
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(read_file(folder / "page.html"), "ab\r\n\r\ncd\r\n");
}

TEST_F(template_engine_test, output_scans_hold_the_text_before_a_marker_until_its_line_ends) {
    load("abc<!--x-->def\nnext\n\nlast");
    open("page.html");

    EXPECT_TRUE(engine.output_to_line_containing("<!--", "", false));
    EXPECT_EQ(engine.pending_output(), "abc");
    EXPECT_EQ(engine.cursor_column(), 4);
    EXPECT_EQ(engine.tag_at_cursor(), "<!--x-->");

    EXPECT_TRUE(engine.output_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.pending_output(), "abc<!--x-->");
    EXPECT_EQ(engine.text_at_cursor(), "def");

    EXPECT_FALSE(engine.output_to_line_containing("<!--", "", false));
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.pending_output(), "");
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    // The last line had no line end in the template; it has one in the page.
    EXPECT_EQ(read_file(folder / "page.html"), "abc<!--x-->def\r\nnext\r\n\r\nlast\r\n");
}

TEST_F(template_engine_test, values_join_the_text_around_them) {
    load("a<!--MAIN_FIELD=x-->b<!--MAIN_FIELD=y-->c\n");
    open("page.html");
    while (engine.output_to_line_containing("<!--", "", false)) {
        engine.output_text(engine.tag_at_cursor() == "<!--MAIN_FIELD=x-->" ? "1" : "2", false);
        engine.jump_past_line_containing("-->", "", false);
    }
    engine.close_output_file();
    EXPECT_EQ(read_file(folder / "page.html"), "a1b2c\r\n");
}

TEST_F(template_engine_test, every_byte_of_the_template_reaches_the_page) {
    const std::string odd_bytes =
        std::string("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xFF\xFE\t") + std::string(1, '\0') + "end  ";
    const std::string page = page_of("<p>" + odd_bytes + "</p>\r\n<!-- a\r\ncomment -->\rx\ny");
    EXPECT_EQ(page, "<p>" + odd_bytes + "</p>\r\n<!-- a\r\ncomment -->\r\nx\r\ny\r\n");
}

TEST_F(template_engine_test, the_close_writes_a_pending_line_and_the_next_page_starts_clean) {
    load("a<!--END IF-->b\nc\n");
    open("one.html");
    // A closing tag at the top level ends the page with "a" still pending.
    ASSERT_TRUE(engine.output_to_line_containing("<!--", "", false));
    EXPECT_EQ(engine.pending_output(), "a");
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(engine.pending_output(), "");
    EXPECT_EQ(read_file(folder / "one.html"), "a\r\n");

    engine.initialise_cursor();
    open("two.html");
    copy_everything();
    engine.close_output_file();
    EXPECT_EQ(read_file(folder / "two.html"), "a<!--END IF-->b\r\nc\r\n");
}

TEST_F(template_engine_test, lines_completed_while_no_page_is_open_are_dropped) {
    load("x\n");
    engine.output_text("lost", true);
    open("page.html");
    engine.output_text("kept", true);
    engine.close_output_file();
    EXPECT_EQ(read_file(folder / "page.html"), "kept\r\n");
}

// ---------------------------------------------------------------- page files

TEST_F(template_engine_test, opening_creates_nothing_and_closing_twice_reports_not_open) {
    load("x\n");
    open("page.html");
    EXPECT_TRUE(engine.output_is_open());
    EXPECT_FALSE(fs::exists(folder / "page.html"));
    copy_everything();
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_FALSE(engine.output_is_open());
    EXPECT_EQ(engine.close_output_file().status, close_status::not_open);
    EXPECT_EQ(folder_entries(folder.path()), (std::vector<std::string>{"page.html", "t.html"}));
}

TEST_F(template_engine_test, an_existing_page_is_replaced_and_keeps_its_mode) {
    write_file(folder / "page.html", "an older and much longer page than the new one\r\n");
    ASSERT_EQ(::chmod((folder / "page.html").c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat((folder / "page.html").c_str(), &before), 0);

    EXPECT_EQ(page_of("new\n"), "new\r\n");
    struct stat after {};
    ASSERT_EQ(::stat((folder / "page.html").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
    EXPECT_EQ(folder_entries(folder.path()), (std::vector<std::string>{"page.html", "t.html"}));
}

TEST_F(template_engine_test, a_new_page_gets_the_mode_of_any_new_file) {
    const mode_t old_mask = ::umask(027);
    const std::string page = page_of("x\n");
    ::umask(old_mask);
    EXPECT_EQ(page, "x\r\n");
    struct stat info {};
    ASSERT_EQ(::stat((folder / "page.html").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(template_engine_test, an_unchanged_page_is_not_touched) {
    load("same <!--x-->\nlines\n");
    open("page.html");
    copy_everything();
    ASSERT_EQ(engine.close_output_file().status, close_status::written);

    const std::string page = folder / "page.html";
    const timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, page.c_str(), long_ago, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(page.c_str(), &before), 0);

    engine.initialise_cursor();
    open("page.html");
    copy_everything();
    const close_result result = engine.close_output_file();
    EXPECT_EQ(result.status, close_status::unchanged);
    EXPECT_EQ(result.error, "");
    struct stat after {};
    ASSERT_EQ(::stat(page.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(read_file(page), "same <!--x-->\r\nlines\r\n");

    // One byte different at the same length is a change.
    load("same <!--y-->\nlines\n");
    open("page.html");
    copy_everything();
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(read_file(page), "same <!--y-->\r\nlines\r\n");
}

TEST_F(template_engine_test, a_failed_write_leaves_the_old_page_and_no_temporary_file) {
    const std::string old_page = "the page of the last run\r\n";
    write_file(folder / "page.html", old_page);
    load(repeated(std::string(99, 'x') + "\n", 200));  // about 20 KB of page
    open("page.html");
    copy_everything();

    // A file size limit makes writes fail as a full disk would (EFBIG).
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 4096;
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const close_result result = engine.close_output_file();
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(result.status, close_status::failed);
    EXPECT_NE(result.error.find(reason(EFBIG)), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(folder / "page.html"), std::string::npos) << result.error;
    EXPECT_EQ(read_file(folder / "page.html"), old_page);
    EXPECT_EQ(folder_entries(folder.path()), (std::vector<std::string>{"page.html", "t.html"}));
    EXPECT_FALSE(engine.output_is_open());

    // The next page is written normally.
    engine.initialise_cursor();
    open("page.html");
    engine.output_text("small", true);
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(read_file(folder / "page.html"), "small\r\n");
}

TEST_F(template_engine_test, a_folder_put_in_the_page_s_place_makes_the_close_fail) {
    load("x\n");
    open("page.html");
    copy_everything();
    fs::create_directory(folder / "page.html");
    write_file(folder / "page.html/inside", "kept");

    const close_result result = engine.close_output_file();
    EXPECT_EQ(result.status, close_status::failed);
    EXPECT_NE(result.error, "");
    EXPECT_EQ(read_file(folder / "page.html/inside"), "kept");
    EXPECT_EQ(folder_entries(folder.path()), (std::vector<std::string>{"page.html", "t.html"}));
}

TEST_F(template_engine_test, a_folder_removed_after_the_open_makes_the_close_fail) {
    load("x\n");
    fs::create_directory(folder / "out");
    open("out/page.html");
    copy_everything();
    fs::remove(folder / "out");

    const close_result result = engine.close_output_file();
    EXPECT_EQ(result.status, close_status::failed);
    EXPECT_NE(result.error.find(reason(ENOENT)), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(folder / "out"));
}

TEST_F(template_engine_test, a_symbolic_link_stays_a_link_to_the_new_page) {
    fs::create_directory(folder / "real");
    write_file(folder / "real/page.html", "old\r\n");
    fs::create_symlink("real/page.html", folder / "link.html");
    load("new\n");
    open("link.html");
    copy_everything();
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_TRUE(fs::is_symlink(folder / "link.html"));
    EXPECT_EQ(read_file(folder / "real/page.html"), "new\r\n");
    EXPECT_EQ(folder_entries(folder.path() / "real"), (std::vector<std::string>{"page.html"}));
}

TEST_F(template_engine_test, opening_fails_with_a_reason_for_a_missing_folder) {
    std::string error;
    EXPECT_FALSE(engine.open_output_file(folder / "no/such/page.html", error));
    EXPECT_EQ(error, "The folder does not exist: " + (folder / "no/such"));
    EXPECT_FALSE(engine.output_is_open());
    EXPECT_FALSE(fs::exists(folder / "no"));

    write_file(folder / "plain", "a file, not a folder");
    EXPECT_FALSE(engine.open_output_file(folder / "plain/page.html", error));
    EXPECT_EQ(error, "The folder does not exist: " + (folder / "plain"));

    EXPECT_FALSE(engine.open_output_file("", error));
    EXPECT_NE(error, "");
}

TEST_F(template_engine_test, opening_fails_for_a_name_that_is_a_folder_or_no_ordinary_file) {
    std::string error;
    fs::create_directory(folder / "sub");
    EXPECT_FALSE(engine.open_output_file(folder / "sub", error));
    EXPECT_EQ(error, "The name is a folder: " + (folder / "sub"));

    EXPECT_FALSE(engine.open_output_file("/dev/null", error));
    EXPECT_EQ(error, "The name is not an ordinary file: /dev/null");
}

TEST_F(template_engine_test, opening_fails_for_a_read_only_page_even_for_root) {
    write_file(folder / "page.html", "kept");
    ASSERT_EQ(::chmod((folder / "page.html").c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(engine.open_output_file(folder / "page.html", error));
    EXPECT_EQ(error, "The file is read-only: " + (folder / "page.html"));
    EXPECT_EQ(read_file(folder / "page.html"), "kept");
}

TEST_F(template_engine_test, opening_fails_in_a_folder_without_write_permission) {
    fs::create_directory(folder / "locked");
    ASSERT_EQ(::chmod((folder / "locked").c_str(), 0555), 0);
    const std::string name = folder / "locked/page.html";
    const std::string expected = "No permission to write in the folder: " + (folder / "locked");
    if (::geteuid() != 0) {
        std::string error;
        EXPECT_FALSE(engine.open_output_file(name, error));
        EXPECT_EQ(error, expected);
        return;
    }
    // Root may write anywhere: check as an ordinary user in a child process.
    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
                std::_Exit(3);
            }
            std::string error;
            const bool opened = engine.open_output_file(name, error);
            std::fprintf(stderr, "[%s]\n", error.c_str());
            std::_Exit(opened ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "\\[No permission to write in the folder: ");
}

TEST_F(template_engine_test, only_one_output_is_open_at_a_time) {
    load("x\n");
    open("one.html");
    std::string error;
    EXPECT_FALSE(engine.open_output_file(folder / "two.html", error));
    EXPECT_EQ(error, "An output file is already open: " + (folder / "one.html"));
    EXPECT_TRUE(engine.output_is_open());
    copy_everything();
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(read_file(folder / "one.html"), "x\r\n");
    EXPECT_FALSE(fs::exists(folder / "two.html"));
}

TEST_F(template_engine_test, a_relative_name_writes_into_the_current_folder) {
    const fs::path before = fs::current_path();
    fs::current_path(folder.path());
    load("x\n");
    std::string error;
    const bool opened = engine.open_output_file("page.html", error);
    copy_everything();
    const close_result result = engine.close_output_file();
    fs::current_path(before);
    EXPECT_TRUE(opened) << error;
    EXPECT_EQ(result.status, close_status::written) << result.error;
    EXPECT_EQ(read_file(folder / "page.html"), "x\r\n");
}

}  // namespace
}  // namespace korvane
