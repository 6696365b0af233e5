// SPDX-License-Identifier: Apache-2.0
#include "template/page_writer.h"

#include "sqlite_test_support.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

struct page_writer_test : ::testing::Test {
    std::string path(const std::string& name) const { return temp.path(name); }

    close_result write(const std::string& name, const std::string& bytes) {
        std::string error;
        EXPECT_TRUE(writer.open(path(name), error)) << error;
        writer.bytes() += bytes;
        return writer.close();
    }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(temp.dir())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::temp_folder temp;
    page_writer writer;
};

// From its second page on a folder's names are listed once and new pages are
// linked in without a look at their path: a name taken since then (by another
// program, or by an earlier page of the same run) must still be compared,
// replaced with its mode kept, and never fail.
TEST_F(page_writer_test, names_taken_after_the_folder_was_listed_are_compared_and_replaced) {
    EXPECT_EQ(write("a.html", "A").status, close_status::written);
    EXPECT_EQ(write("b.html", "B").status, close_status::written);  // lists the folder

    write_file(path("same.html"), "S");
    write_file(path("other.html"), "old");
    ASSERT_EQ(::chmod(path("other.html").c_str(), 0600), 0);
    EXPECT_EQ(write("same.html", "S").status, close_status::unchanged);
    EXPECT_EQ(write("other.html", "new").status, close_status::written);
    EXPECT_EQ(read_file(path("other.html")), "new");
    struct stat info {};
    ASSERT_EQ(::stat(path("other.html").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    EXPECT_EQ(write("c.html", "C").status, close_status::written);
    EXPECT_EQ(write("c.html", "C").status, close_status::unchanged);
    EXPECT_EQ(write("c.html", "C2").status, close_status::written);
    EXPECT_EQ(read_file(path("c.html")), "C2");

    // A folder made at a name since the listing is not replaced.
    fs::create_directory(path("dir.html"));
    const close_result into_folder = write("dir.html", "D");
    EXPECT_EQ(into_folder.status, close_status::failed);
    EXPECT_NE(into_folder.error.find("dir.html"), std::string::npos) << into_folder.error;

    EXPECT_EQ(entries(), (std::vector<std::string>{"a.html", "b.html", "c.html", "dir.html",
                                                   "other.html", "same.html"}));
}

// The folder the writer keeps open may be removed, or removed and made
// again, between two pages: the page goes to the folder now at the path, or
// is refused with the reason.
TEST_F(page_writer_test, a_folder_removed_while_pages_go_there_is_looked_up_again) {
    fs::create_directory(path("out"));
    EXPECT_EQ(write("out/a.html", "A").status, close_status::written);
    EXPECT_EQ(write("out/b.html", "B").status, close_status::written);

    fs::remove_all(path("out"));
    std::string error;
    EXPECT_FALSE(writer.open(path("out/c.html"), error));
    EXPECT_EQ(error, "The folder does not exist: " + path("out"));

    fs::create_directory(path("out"));
    EXPECT_EQ(write("out/c.html", "C").status, close_status::written);
    EXPECT_EQ(write("out/d.html", "D").status, close_status::written);
    EXPECT_EQ(read_file(path("out/c.html")), "C");
    EXPECT_EQ(read_file(path("out/d.html")), "D");

    // Removed and made again between the open and the close of a page.
    ASSERT_TRUE(writer.open(path("out/e.html"), error)) << error;
    writer.bytes() += "E";
    fs::remove_all(path("out"));
    fs::create_directory(path("out"));
    EXPECT_EQ(writer.close().status, close_status::written);
    EXPECT_EQ(read_file(path("out/e.html")), "E");
}

}  // namespace
}  // namespace korvane
