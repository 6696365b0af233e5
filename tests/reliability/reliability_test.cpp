// SPDX-License-Identifier: Apache-2.0
// What korvane-cli promises when things go wrong around it: a page is its
// old bytes or its new bytes whenever the run is killed; a closed pipe does
// not end a run; two runs into one folder take turns; a stop ends runaway
// SQL; hostile SQL and odd files get a report.
#include "../support/cli_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <random>

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr int site_pages = 5000;
const std::string page_end = "<p>end of page</p>";

// A site of site_pages pages from template t.html into out/, its database
// made once per test.
std::string make_site(const temp_folder& dir, const std::string& version,
                      const std::string& main_sql = "select tpl, out, id from pages",
                      const std::string& body = "") {
    if (!fs::exists(dir.path("site.db"))) {
        make_sqlite_file(dir.path("site.db"),
                         "CREATE TABLE pages (id INTEGER PRIMARY KEY, tpl TEXT, out TEXT);"
                         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                             std::to_string(site_pages) +
                             ") INSERT INTO pages SELECT i, 't.html', 'p' || i || '.html' FROM n;");
    }
    write_file(dir.path("t.html"), version + " <!--MAIN_FIELD=id-->\n" + body +
                                       std::string(2000, 'x') + "\n" + page_end + "\n");
    return write_settings(dir.dir(), "site.kvn", "site.db", main_sql, "out/", "");
}

using problems = std::vector<std::string>;

// What is wrong with the pages there: each must be whole and of one of the
// versions, and all site_pages of them there, with no stray temporary file;
// after a kill, some may be missing and strays may be left.
problems page_problems(const temp_folder& dir, const std::vector<std::string>& versions, bool killed = false) {
    problems found;
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(dir.dir() / "out")) {
        const std::string name = entry.path().filename().string();
        if (name == ".korvane.lock" || name == ".korvane-manifest") continue;
        if (name.rfind(".korvane-", 0) == 0) {
            if (!killed) found.push_back("stray " + name);
            continue;
        }
        const std::string bytes = read_file(entry.path().string());
        const std::string id = name.substr(1, name.size() - 6);  // p<id>.html
        bool whole = false;
        for (const auto& v : versions) {
            whole |= bytes.rfind(v + " " + id + "\r\n", 0) == 0 && bytes.size() > page_end.size() &&
                     bytes.compare(bytes.size() - page_end.size() - 2, page_end.size(), page_end) == 0;
        }
        if (!whole) found.push_back("torn or empty " + name + " (" + std::to_string(bytes.size()) + " bytes)");
        ++pages;
    }
    if (!killed && pages != site_pages) found.push_back(std::to_string(pages) + " pages");
    return found;
}

TEST(reliability, kill_9_at_any_moment_leaves_whole_pages_and_the_next_run_leaves_no_stray_file) {
    const struct {
        const char* name;
        bool over_existing;
    } cases[] = {{"into an empty folder", false}, {"over existing pages", true}};
    std::mt19937 random(20261206);
    for (const auto& c : cases) {
        temp_folder dir;
        const std::string kvn = make_site(dir, "old");
        if (c.over_existing) {
            ASSERT_EQ(wait_cli(start_cli({"generate", "-q", "-j", "1", kvn})), 0) << c.name;
        }
        make_site(dir, "new");
        for (int kill_number = 0; kill_number < 3; ++kill_number) {
            const pid_t child = start_cli({"generate", "-q", "-j", "1", kvn});
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 400));
            ::kill(child, SIGKILL);
            wait_cli(child);
            // A file without a name may be left only as a stray temporary.
            EXPECT_EQ(page_problems(dir, {"old", "new"}, true), problems{}) << c.name << ", kill " << kill_number;
        }
        EXPECT_EQ(wait_cli(start_cli({"generate", "-q", kvn})), 0) << c.name;
        EXPECT_EQ(page_problems(dir, {"new"}), problems{}) << c.name;
    }
}

TEST(reliability, a_closed_pipe_does_not_end_the_run) {
    temp_folder dir;
    const std::string kvn = make_site(dir, "new");
    const std::string command = "bash -c \"'" KORVANE_CLI "' generate -j 1 '" + kvn +
                                "' 2>&1 | head -c 100 >/dev/null; exit \\${PIPESTATUS[0]}\"";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0);  // not 141: SIGPIPE did not end it
    EXPECT_EQ(page_problems(dir, {"new"}), problems{});
}

TEST(reliability, a_closed_standard_output_is_said_once_and_the_pages_are_still_written) {
    const std::string said = "korvane-cli: standard output is closed";
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"generate's JSON", {"generate", "-q", "-j", "1", "--format", "json"}, 0},
        {"check's findings", {"check"}, 1},
        {"check's JSON", {"check", "--format", "json"}, 1},
    };
    for (const auto& c : cases) {
        temp_folder dir;
        // Two tags check finds wrong, so it has more than one line to print.
        const std::string kvn = make_site(dir, "new", "select tpl, out, id from pages",
                                          "<!--main_field=id-->\n<!--Main_Field=id-->\n");
        auto args = c.args;
        args.push_back(kvn);
        // Standard output on a pipe nobody reads any more.
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        const pid_t child = start_cli(args, {.err = dir.path("err.txt"), .out_fd = ends[1]});
        ::close(ends[1]);
        EXPECT_EQ(wait_cli(child), c.status) << c.name;
        const std::string err = read_file(dir.path("err.txt"));
        EXPECT_THAT(err, HasSubstr(said)) << c.name;
        EXPECT_EQ(err.find(said), err.rfind(said)) << c.name << ": said more than once";
        if (c.args[0] == "generate") {
            EXPECT_EQ(page_problems(dir, {"new"}), problems{}) << c.name;
        }
    }
}

// (A second run told not to wait refuses at once: the CLI's own tests.)
TEST(reliability, two_runs_into_one_folder_take_turns) {
    temp_folder dir;
    const std::string kvn = make_site(dir, "new");
    const pid_t first = start_cli({"generate", "-q", "-j", "1", kvn});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const pid_t second = start_cli({"generate", "-q", "-j", "1", kvn});
    EXPECT_EQ(wait_cli(first), 0);
    EXPECT_EQ(wait_cli(second), 0);
    EXPECT_EQ(page_problems(dir, {"new"}), problems{});
}

TEST(reliability, sigterm_ends_runaway_sql_and_a_bounded_run_ends_by_itself_in_bounded_memory) {
    const std::string runaway_repeat =
        "<!--REPEAT=WITH RECURSIVE c(x) AS (select 1 union all select x+1 from c) select x from "
        "c--><!--REPEAT_FIELD=x--><!--END REPEAT-->\n";
    const std::string endless_main = "select a.tpl, a.out, a.id from pages a, pages b, pages c";
    const struct {
        const char* name;
        std::string main_sql, body;
        bool no_row_limit;
    } cases[] = {
        {"endless main count", endless_main, "", true},
        {"runaway REPEAT", "select tpl, out, id from pages where id = 1", runaway_repeat, true},
        {"endless main count, row limit", endless_main, "", false},
        {"runaway REPEAT, row limit", "select tpl, out, id from pages where id = 1", runaway_repeat,
         false},
    };
    for (const auto& c : cases) {
        temp_folder dir;
        const std::string kvn = make_site(dir, "new", c.main_sql, c.body);
        std::vector<std::string> args = {"generate", "-q", "-j", "1", kvn};
        if (c.no_row_limit) args.insert(args.begin() + 1, "--no-row-limit");
        // Bounded memory: the run lives under 1 GiB of address space (not
        // under AddressSanitizer, which reserves far more up front).
#if defined(__SANITIZE_ADDRESS__)
        const pid_t child = start_cli(args);
#else
        const pid_t child = start_cli(args, {.memory_limit = rlim_t{1} << 30});
#endif
        if (c.no_row_limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ::kill(child, SIGTERM);
            // The statement never ends by itself: the run ending with the
            // stop's status is the proof that the stop reached it.
            EXPECT_EQ(wait_cli(child), 143) << c.name;
            // A section cut short by the stop never reaches the page.
            EXPECT_FALSE(fs::exists(dir.path("out/p1.html"))) << c.name;
        } else {
            const int status = wait_cli(child);
            EXPECT_TRUE(status == 0 || status == 1) << c.name << ": " << status;
        }
    }
}

TEST(reliability, hostile_sql_and_odd_files_get_a_report_not_a_crash) {
    temp_folder dir;
    const std::string kvn = make_site(
        dir, "new", "select tpl, out, id from pages where id = 1",
        "<!--REPEAT=select hex(fts3_tokenizer('simple')) as h--><!--REPEAT_FIELD=h--><!--END "
        "REPEAT-->\n<!--REPEAT=select fts3_tokenizer('simple', x'4141414141414141') as h"
        "--><!--END REPEAT-->\n");
    make_sqlite_file(dir.path("site.db"), "CREATE VIRTUAL TABLE f USING fts4(a);");
    EXPECT_EQ(wait_cli(start_cli({"generate", "-q", kvn})), 1);
    const std::string page = read_file(dir.path("out/p1.html"));
    EXPECT_THAT(page, HasSubstr(page_end));

    // A FIFO as settings file is refused, not waited on.
    ASSERT_EQ(::mkfifo(dir.path("fifo.kvn").c_str(), 0600), 0);
    EXPECT_EQ(wait_cli(start_cli({"generate", dir.path("fifo.kvn")})), 3);
}

}  // namespace
}  // namespace korvane::test
