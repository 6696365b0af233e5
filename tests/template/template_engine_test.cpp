// SPDX-License-Identifier: Apache-2.0
#include "template/template_engine.h"

#include "../support/case_table.h"
#include "sqlite_test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using names = std::vector<std::string>;

names folder_entries(const fs::path& folder) {
    names entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        entries.push_back(entry.path().filename().string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += line;
    return text;
}

struct stat stat_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

struct template_engine_test : ::testing::Test {
    std::string path(const std::string& name) const { return temp.path(name); }

    // Loads bytes as the template and asserts that it loaded.
    void load(const std::string& bytes) {
        write_file(path("t.html"), bytes);
        ASSERT_TRUE(engine.load_template(path("t.html")));
    }
    void open(const std::string& name) {
        std::string error;
        ASSERT_TRUE(engine.open_output_file(path(name), error)) << error;
        EXPECT_EQ(error, "");
    }
    // Copies the template from the cursor to the page the way the generator
    // copies a template without tags of its own: comments as they are.
    void copy_everything() {
        while (!engine.end_of_file()) {
            if (engine.output_to_line_containing("<!--", "", false)) {
                engine.output_past_line_containing("-->", "", false);
            }
        }
    }
    // The whole loaded template as the page name; the status of the close.
    close_status copy_to(const std::string& name) {
        engine.initialise_cursor();
        open(name);
        copy_everything();
        return engine.close_output_file().status;
    }
    std::string page_of(const std::string& bytes) {
        load(bytes);
        EXPECT_EQ(copy_to("page.html"), close_status::written);
        return read_file(path("page.html"));
    }
    void expect_cursor(int line, int column) const {
        EXPECT_EQ(engine.cursor_line(), line);
        EXPECT_EQ(engine.cursor_column(), column);
    }

    temp_folder temp;
    const fs::path& folder = temp.dir();
    template_engine engine;
};

// ---------------------------------------------------------------- loading

TEST_F(template_engine_test, only_files_of_1_to_2001_lines_load) {
    load(repeated("x\n", 2001));
    EXPECT_EQ(engine.line_count(), 2001);
    EXPECT_EQ(engine.template_line(2000), "x");

    write_file(path("long.html"), repeated("y\n", 2002));
    EXPECT_FALSE(engine.load_template(path("long.html")));
    EXPECT_EQ(engine.line_count(), 0);
    // The lines read before the limit are not counted: nothing is found.
    EXPECT_FALSE(engine.jump_to_line_containing("y", "", false));
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.text_at_cursor(), "");

    // Without a terminator after the last line the count is the same.
    write_file(path("open.html"), repeated("z\n", 2000) + "z");
    EXPECT_TRUE(engine.load_template(path("open.html")));
    EXPECT_EQ(engine.line_count(), 2001);
    write_file(path("open.html"), repeated("z\n", 2001) + "z");
    EXPECT_FALSE(engine.load_template(path("open.html")));

    write_file(path("empty.html"), "");
    for (const std::string& name : {path("empty.html"), path("missing.html"), folder.string()}) {
        EXPECT_FALSE(engine.load_template(name)) << name;
        EXPECT_EQ(engine.line_count(), 0) << name;
    }
}

TEST_F(template_engine_test, lines_end_at_lf_crlf_or_a_lone_cr_and_every_byte_reaches_the_page) {
    for (const auto& row : read_case_table("template/line_end_cases.tsv", 2)) {
        EXPECT_EQ(page_of(row[0]), row[1]) << row.where;
    }
    EXPECT_EQ(engine.line_count(), 1);
    EXPECT_EQ(engine.template_line(1), "");
}

// ---------------------------------------------------------------- scans

// scan_cases.tsv: one scan a row, from where it starts to where it stops.
TEST_F(template_engine_test, every_scan_of_the_table_stops_where_it_should) {
    for (const auto& row : read_case_table("template/scan_cases.tsv", 8)) {
        load(row[0]);
        if (row[1] == "inside") {
            ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false)) << row.where;
        } else if (row[1] != "top") {
            engine.place_cursor(std::stoi(row[1]), std::stoi(row[1].substr(row[1].find(':') + 1)));
        }
        const std::string& scan = row[2];
        const std::string opening = row[5] == "-" ? "" : row[5];
        const bool any_case = scan.ends_with(", any case");
        const bool to = scan.starts_with("to"), either = scan.find("either") != std::string::npos;
        const bool found =
            either ? (to ? engine.jump_to_line_containing_either(row[3], row[4], opening, any_case)
                         : engine.jump_past_line_containing_either(row[3], row[4], opening, any_case))
                   : (to ? engine.jump_to_line_containing(row[3], opening, any_case)
                         : engine.jump_past_line_containing(row[3], opening, any_case));
        EXPECT_EQ(found, row[6] == "1") << row.where;
        EXPECT_EQ(engine.end_of_file(), !found) << row.where;
        std::string at = std::to_string(engine.cursor_line());
        if (row[7].find(':') != std::string::npos) at += ":" + std::to_string(engine.cursor_column());
        EXPECT_EQ(at, row[7]) << row.where;
        if (row.fields.size() > 8) {
            EXPECT_EQ(engine.text_at_cursor(), row[8]) << row.where;
        }
    }
}

TEST_F(template_engine_test, columns_go_beyond_sixteen_bits) {
    load(std::string(100000, 'a') + "<!--MAIN_FIELD=x-->tail\n");
    EXPECT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    EXPECT_EQ(engine.cursor_column(), 100001);
    EXPECT_EQ(engine.tag_at_cursor(), "<!--MAIN_FIELD=x-->");
    EXPECT_TRUE(engine.jump_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.text_at_cursor(), "tail");
}

// ---------------------------------------------------------------- positions

TEST_F(template_engine_test, a_scan_that_finds_nothing_ends_past_the_last_line_for_good) {
    load("<!--REPEAT=q-->\nrow\n");
    ASSERT_TRUE(engine.jump_past_line_containing("-->", "", false));
    engine.save_cursor_position(1);
    EXPECT_FALSE(engine.jump_to_line_containing("<!--END REPEAT-->", "", false));
    EXPECT_TRUE(engine.end_of_file());
    expect_cursor(2, 1);
    EXPECT_EQ(engine.tag_at_cursor(), "");
    EXPECT_EQ(engine.text_at_cursor(), "");
    engine.save_cursor_position(2);

    // A restore never clears the end: the cursor still moves, the flag stays.
    engine.restore_cursor_position(1);
    expect_cursor(0, 16);
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_TRUE(engine.jump_to_line_containing("row", "", false));
    EXPECT_TRUE(engine.end_of_file());

    // Only a new start does; a restore to just after the last line does not
    // set the end again.
    engine.initialise_cursor();
    EXPECT_FALSE(engine.end_of_file());
    engine.restore_cursor_position(2);
    expect_cursor(2, 1);
    EXPECT_FALSE(engine.end_of_file());
}

TEST_F(template_engine_test, slot_zero_is_the_start_after_a_load_and_other_slots_survive_it) {
    load("a\nb<!--x-->\n");
    ASSERT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    engine.restore_cursor_position(0);
    expect_cursor(0, 1);

    ASSERT_TRUE(engine.jump_to_line_containing("<!--", "", false));
    engine.save_cursor_position(3);
    // Slot numbers outside the six are ignored.
    engine.save_cursor_position(6);
    engine.save_cursor_position(-1);
    engine.initialise_cursor();
    engine.restore_cursor_position(6);
    engine.restore_cursor_position(-1);
    expect_cursor(0, 1);
    engine.restore_cursor_position(3);
    expect_cursor(1, 2);

    load("1\n2\n3\n4\n5\n6\n");
    ASSERT_TRUE(engine.jump_past_line_containing("5", "", false));
    engine.save_cursor_position(5);
    engine.save_cursor_position(0);
    load("a\nb\n");
    engine.restore_cursor_position(0);  // preset by the load
    expect_cursor(0, 1);
    EXPECT_FALSE(engine.end_of_file());
    engine.restore_cursor_position(5);  // beyond this template's lines: the end
    expect_cursor(4, 2);
    EXPECT_TRUE(engine.end_of_file());
    EXPECT_EQ(engine.text_at_cursor(), "");
}

// ---------------------------------------------------------------- output

TEST_F(template_engine_test, output_joins_text_into_lines_that_end_in_crlf) {
    load("abc<!--x-->def\nnext\n\nlast");
    engine.output_text("lost: no page is open", true);
    open("one.html");
    // The text before a marker waits for the rest of its line.
    EXPECT_TRUE(engine.output_to_line_containing("<!--", "", false));
    EXPECT_EQ(engine.pending_output(), "abc");
    EXPECT_TRUE(engine.output_past_line_containing("-->", "", false));
    EXPECT_EQ(engine.pending_output(), "abc<!--x-->");
    engine.output_text("1", false);
    engine.output_text("2", true);
    EXPECT_EQ(engine.pending_output(), "");
    engine.output_text("", true);
    // The close ends a pending line.
    engine.output_text("c", false);
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(engine.pending_output(), "");
    EXPECT_EQ(read_file(path("one.html")), "abc<!--x-->12\r\n\r\nc\r\n");

    // The next page starts clean; the last line had no line end in the
    // template, it has one in the page.
    EXPECT_EQ(copy_to("two.html"), close_status::written);
    EXPECT_EQ(read_file(path("two.html")), "abc<!--x-->def\r\nnext\r\n\r\nlast\r\n");
}

// ---------------------------------------------------------------- page files

TEST_F(template_engine_test, a_new_page_is_empty_until_the_close_and_one_page_is_open_at_a_time) {
    load("x\n");
    // A name without a folder is a page in the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    std::string error;
    EXPECT_TRUE(engine.open_output_file("one.html", error)) << error;
    EXPECT_FALSE(engine.open_output_file("two.html", error));
    EXPECT_EQ(error, "An output file is already open: one.html");
    EXPECT_TRUE(engine.output_is_open());
    EXPECT_EQ(read_file(path("one.html")), "");
    copy_everything();
    const close_result result = engine.close_output_file();
    fs::current_path(before);
    EXPECT_EQ(result.status, close_status::written) << result.error;
    EXPECT_FALSE(engine.output_is_open());
    EXPECT_EQ(engine.close_output_file().status, close_status::not_open);
    EXPECT_EQ(read_file(path("one.html")), "x\r\n");
    EXPECT_EQ(folder_entries(folder), (names{"one.html", "t.html"}));
}

TEST_F(template_engine_test, a_replaced_page_keeps_its_mode_and_a_new_one_gets_the_umask) {
    const std::string page = path("page.html");
    write_file(page, "an older and much longer page than the new one\r\n");
    ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
    // Root may give the page another group, which the new page keeps.
    const gid_t group = ::geteuid() == 0 && ::chown(page.c_str(), static_cast<uid_t>(-1), 65534) == 0
                            ? 65534
                            : stat_of(page).st_gid;
    const ino_t old_inode = stat_of(page).st_ino;
    EXPECT_EQ(page_of("new\n"), "new\r\n");
    EXPECT_EQ(stat_of(page).st_mode & 07777, 0640u);
    EXPECT_EQ(stat_of(page).st_gid, group);
    EXPECT_NE(stat_of(page).st_ino, old_inode);  // a new file renamed over the old one
    EXPECT_EQ(folder_entries(folder), (names{"page.html", "t.html"}));

    fs::remove(page);
    const mode_t old_mask = ::umask(027);
    const std::string text = page_of("x\n");
    ::umask(old_mask);
    EXPECT_EQ(text, "x\r\n");
    EXPECT_EQ(stat_of(page).st_mode & 07777, 0640u);
}

TEST_F(template_engine_test, an_unchanged_page_is_not_touched) {
    const std::string page = path("page.html");
    EXPECT_EQ(page_of("same <!--x-->\nlines\n"), "same <!--x-->\r\nlines\r\n");
    const timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, page.c_str(), long_ago, 0), 0);
    const ino_t inode = stat_of(page).st_ino;

    engine.initialise_cursor();
    open("page.html");
    copy_everything();
    const close_result result = engine.close_output_file();
    EXPECT_EQ(result.status, close_status::unchanged);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(stat_of(page).st_ino, inode);
    EXPECT_EQ(stat_of(page).st_mtim.tv_sec, 1000000000);

    // One byte different at the same length is a change.
    EXPECT_EQ(page_of("same <!--y-->\nlines\n"), "same <!--y-->\r\nlines\r\n");
}

TEST_F(template_engine_test, a_failed_write_leaves_the_old_page_and_no_new_or_temporary_file) {
    // A file size limit makes writes fail as a full disk would (EFBIG).
    auto close_on_a_full_disk = [&] {
        rlimit before{};
        EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit small = before;
        small.rlim_cur = 4096;
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const close_result result = engine.close_output_file();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, old_handler);
        return result;
    };
    const std::string old_page = "the page of the last run\r\n";
    write_file(path("page.html"), old_page);
    load(repeated(std::string(99, 'x') + "\n", 200));  // about 20 KB of page
    open("page.html");
    copy_everything();
    close_result result = close_on_a_full_disk();
    EXPECT_EQ(result.status, close_status::failed);
    EXPECT_NE(result.error.find(std::generic_category().message(EFBIG)), std::string::npos)
        << result.error;
    EXPECT_NE(result.error.find(path("page.html")), std::string::npos) << result.error;
    EXPECT_EQ(read_file(path("page.html")), old_page);
    EXPECT_EQ(folder_entries(folder), (names{"page.html", "t.html"}));
    EXPECT_FALSE(engine.output_is_open());

    // A new page that cannot be written is removed again.
    fs::remove(path("page.html"));
    engine.initialise_cursor();
    open("page.html");
    copy_everything();
    result = close_on_a_full_disk();
    EXPECT_EQ(result.status, close_status::failed);
    EXPECT_NE(result.error.find(std::generic_category().message(EFBIG)), std::string::npos);
    EXPECT_EQ(folder_entries(folder), names{"t.html"});

    // A page is not there, under any name, until its close; an engine that
    // goes away with a page open leaves nothing behind.
    {
        template_engine abandoned;
        std::string error;
        ASSERT_TRUE(abandoned.open_output_file(path("abandoned.html"), error));
        abandoned.output_text("half", true);
        EXPECT_EQ(folder_entries(folder), names{"t.html"});
    }
    EXPECT_EQ(folder_entries(folder), names{"t.html"});

    // The next page is written normally.
    open("other.html");
    engine.output_text("small", true);
    EXPECT_EQ(engine.close_output_file().status, close_status::written);
    EXPECT_EQ(read_file(path("other.html")), "small\r\n");
}

TEST_F(template_engine_test, a_symbolic_link_at_the_page_name_is_replaced_not_written_through) {
    fs::create_directory(path("elsewhere"));
    write_file(path("elsewhere/victim.txt"), "not yours\r\n");
    fs::create_symlink("elsewhere/victim.txt", path("link.html"));
    fs::create_symlink("elsewhere", path("folder_link.html"));
    load("new\n");
    EXPECT_EQ(copy_to("link.html"), close_status::written);
    EXPECT_EQ(copy_to("folder_link.html"), close_status::written);
    EXPECT_FALSE(fs::is_symlink(path("link.html")));
    EXPECT_EQ(read_file(path("link.html")), "new\r\n");
    EXPECT_EQ(read_file(path("folder_link.html")), "new\r\n");
    EXPECT_EQ(read_file(path("elsewhere/victim.txt")), "not yours\r\n");
    EXPECT_EQ(folder_entries(folder / "elsewhere"), names{"victim.txt"});
}

TEST_F(template_engine_test, temporary_files_a_killed_run_left_are_removed_and_no_others) {
    const std::string stray = path(".korvane-0123456789ab.tmp");
    write_file(stray, "half a page");
    const timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, stray.c_str(), long_ago, 0), 0);
    write_file(path(".korvane-notours.tmp"), "someone else's");
    write_file(path(".korvane-abcdefghijkl.tmp.keep"), "someone else's");
    load("x\n");
    EXPECT_EQ(copy_to("page.html"), close_status::written);
    EXPECT_EQ(folder_entries(folder), (names{".korvane-abcdefghijkl.tmp.keep",
                                            ".korvane-notours.tmp", "page.html", "t.html"}));
}

TEST_F(template_engine_test, opening_fails_with_the_reason) {
    write_file(path("plain"), "a file, not a folder");
    fs::create_directory(path("sub"));
    write_file(path("page.html"), "kept");
    ASSERT_EQ(::chmod(path("page.html").c_str(), 0444), 0);  // read-only even for root
    for (const auto& row : read_case_table("template/open_failures.tsv", 2)) {
        std::string name = row[0], expected = row[1], error;
        for (std::string* text : {&name, &expected}) {
            if (const auto at = text->find('@'); at != std::string::npos) text->replace(at, 1, folder.string());
        }
        EXPECT_FALSE(engine.open_output_file(name, error)) << row.where;
        EXPECT_EQ(error, expected) << row.where;
        EXPECT_FALSE(engine.output_is_open()) << row.where;
    }
    EXPECT_EQ(read_file(path("page.html")), "kept");
    EXPECT_EQ(folder_entries(folder), (names{"page.html", "plain", "sub"}));
    EXPECT_TRUE(fs::is_empty(path("sub")));

    // A folder without write permission, checked as an ordinary user in a
    // child process (root may write anywhere).
    fs::create_directory(path("locked"));
    ASSERT_EQ(::chmod(path("locked").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    const std::string expected = "No permission to write in the folder: " + path("locked");
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                std::_Exit(3);
            }
            std::string error;
            const bool opened = engine.open_output_file(path("locked/page.html"), error);
            std::fprintf(stderr, "[%s]\n", error.c_str());
            std::_Exit(!opened && error == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "\\[No permission to write in the folder: ");
}

}  // namespace
}  // namespace korvane::test
