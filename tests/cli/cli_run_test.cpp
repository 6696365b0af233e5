// korvane-cli run as a process, as scripts run it: exit statuses, the
// report on standard error and in files, --jobs giving the pages and report
// of --jobs 1, and a stop that leaves no page half-written.
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::make_sqlite_file;
using test::read_file;
using test::temp_folder;
using test::write_file;

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs korvane-cli with args; standard output and error are captured in files.
run_result run_cli(const temp_folder& dir, const std::vector<std::string>& args) {
    std::string command = "'" KORVANE_CLI "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " >'" + dir.path("stdout.txt") + "' 2>'" + dir.path("stderr.txt") + "' </dev/null";
    const int raw = std::system(command.c_str());
    run_result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(dir.path("stdout.txt"));
    r.err = read_file(dir.path("stderr.txt"));
    return r;
}

std::string settings_text(const std::string& db, const std::string& main, const std::string& out) {
    return "db_type=0\r\ndb_name=" + db + "\r\nmain_type=2\r\nmain_name=" + main +
           "\r\ntemplate_field=tpl\r\ngenerated_field=out\r\ntemplate_path=templates/\r\n"
           "generated_path=" + out + "\r\n";
}

// A site whose templates use every construct, and whose rows alternate
// templates and include a missing template and an output that cannot be
// opened, so the report has lines of several kinds.
class cli_site : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.dir() / "templates");
        std::string sql =
            "BEGIN;"
            "CREATE TABLE pages (id INTEGER, tpl TEXT, out TEXT, title TEXT, price CURRENCY, flag BOOLEAN);"
            "CREATE TABLE items (page INTEGER, n INTEGER, name TEXT);"
            "CREATE TABLE notes (item_page INTEGER, item_n INTEGER, text TEXT);";
        for (int id = 1; id <= 60; ++id) {
            const std::string tpl = id == 17 ? "missing.html" : (id % 7 == 3 ? "b.html" : "a.html");
            const std::string out = id == 23 ? "no-folder/p23.html" : "p" + std::to_string(id) + ".html";
            sql += "INSERT INTO pages VALUES (" + std::to_string(id) + ", '" + tpl + "', '" + out +
                   "', 'Page " + std::to_string(id) + " a/b?c', " + std::to_string(id) + ".25, " +
                   (id % 2 ? "-1" : "0") + ");";
            for (int n = 1; n <= id % 4; ++n) {
                sql += "INSERT INTO items VALUES (" + std::to_string(id) + ", " + std::to_string(n) +
                       ", 'item " + std::to_string(n) + "');";
                if (n % 2) {
                    sql += "INSERT INTO notes VALUES (" + std::to_string(id) + ", " + std::to_string(n) +
                           ", 'note');";
                }
            }
        }
        ASSERT_TRUE(make_sqlite_file(dir_.path("site.sqlite"), sql + "COMMIT;"));
        write_file(dir_.path("templates/a.html"),
                   "<html><title><!--MAIN_FIELD=title--></title>\r\n"
                   "<a href=\"x?<!--MAIN_FIELD=field:=title,escape:=true-->\"><!--MAIN_FIELD=price--></a>\n"
                   "<!--TODAYS DATE=dddd, mmmm d, yyyy hh:nn--> <!--MAIN_FIELD=nosuchfield-->\n"
                   "<!--START IF=#--MAIN_FIELD=flag--#==True-->yes<!--ELSE-->no<!--END IF-->\n"
                   "<!--REPEAT=select n, name from items where page = #--MAIN_FIELD=id--# order by n-->\n"
                   "<li><!--REPEAT_FIELD=name--> <!--START IF=current_record_num<number_of_records-->,<!--END IF-->\n"
                   "<!--REPEAT=select text from notes where item_page = #--MAIN_FIELD=id--# and item_n = #--REPEAT_FIELD=n--#-->\n"
                   "  note: <!--REPEAT_FIELD=text--> of <!--REPEAT_FIELD=name-->\n"
                   "<!--REPEAT ELSE-->  no notes\n"
                   "<!--END REPEAT-->\n"
                   "<!--REPEAT ELSE-->no items\n"
                   "<!--END REPEAT-->\n"
                   "<!--REPEAT=select * from nowhere--><!--END REPEAT-->\n"
                   "<!--START IF=--><!--END IF-->\n"
                   "<!-- an ordinary comment --></html>");
        write_file(dir_.path("templates/b.html"), "B <!--MAIN_FIELD=id-->\r\n<!--main_field=id-->\r\n");
    }

    std::string settings(const std::string& name, const std::string& out_folder) {
        fs::create_directories(dir_.dir() / out_folder);
        write_file(dir_.path(name), settings_text("site.sqlite", "select * from pages order by id",
                                                  out_folder + "/"));
        return dir_.path(name);
    }

    static std::string replace_all(std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
            text.replace(at, from.size(), to);
        }
        return text;
    }

    temp_folder dir_;
};

TEST_F(cli_site, jobs_give_the_pages_and_report_of_a_single_thread) {
    const auto one = run_cli(dir_, {"generate", settings("one.kvn", "one"), "--jobs", "1", "--now",
                                    "2026-12-05T09:08:07", "--report", dir_.path("one.txt"),
                                    "--status-log", dir_.path("one-status.txt")});
    const auto three = run_cli(dir_, {"generate", settings("three.kvn", "three"), "--jobs", "3", "--now",
                                      "2026-12-05T09:08:07", "--report", dir_.path("three.txt"),
                                      "--status-log", dir_.path("three-status.txt")});
    EXPECT_EQ(one.status, 1) << one.err;
    EXPECT_EQ(three.status, 1) << three.err;

    std::size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(dir_.dir() / "one")) {
        const auto name = entry.path().filename().string();
        EXPECT_EQ(read_file(entry.path().string()), read_file(dir_.path("three/" + name))) << name;
        ++pages;
    }
    EXPECT_EQ(pages, 58u);  // 60 rows, less a missing template and an output without a folder
    EXPECT_EQ(replace_all(read_file(dir_.path("one.txt")), "one/", "X/"),
              replace_all(read_file(dir_.path("three.txt")), "three/", "X/"));
    EXPECT_EQ(read_file(dir_.path("one-status.txt")), read_file(dir_.path("three-status.txt")));

    // The page holds what each construct gives.
    const std::string p1 = read_file(dir_.path("one/p1.html"));
    EXPECT_NE(p1.find("x?Page%201%20a%2Fb%3Fc\">1.25</a>"), std::string::npos) << p1;
    EXPECT_NE(p1.find("Saturday, December 5, 2026 09:08 Korvane: Field, nosuchfield not found"),
              std::string::npos) << p1;
    // REPEAT_FIELD reads the innermost section, which has no "name".
    EXPECT_NE(p1.find("<li>item 1 \r\n\r\n  note: note of Korvane: Field, name not found\r\n"),
              std::string::npos) << p1;
    const std::string report = read_file(dir_.path("one.txt"));
    EXPECT_NE(report.find("Template does not exist or contains no text \n(check the path and filename):\n"),
              std::string::npos) << report;
    EXPECT_NE(report.find("Error opening file for writing: "), std::string::npos) << report;
    EXPECT_NE(report.find("Problem running SQL for repeating section:"), std::string::npos);
    EXPECT_NE(report.find("IF statement is missing data"), std::string::npos);
    EXPECT_TRUE(report.ends_with("\nProcess complete. 58 files generated\n")) << report;
}

TEST_F(cli_site, a_second_run_leaves_unchanged_pages_alone_and_quiet_shows_only_problems) {
    const std::string kvn = settings("s.kvn", "out");
    const auto first = run_cli(dir_, {"generate", kvn, "--now", "2026-12-05T09:08:07"});
    EXPECT_NE(first.err.find("Starting Korvane page generator..."), std::string::npos);
    EXPECT_NE(first.err.find("58 pages written, 0 left unchanged"), std::string::npos) << first.err;

    const auto again = run_cli(dir_, {"generate", kvn, "--now", "2026-12-05T09:08:07", "--quiet"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.find("Starting Korvane page generator..."), std::string::npos) << again.err;
    EXPECT_EQ(again.err.find("Process complete."), std::string::npos);
    EXPECT_NE(again.err.find("Problem running SQL for repeating section:"), std::string::npos);

    const auto later = run_cli(dir_, {"generate", kvn, "--now", "2027-01-01T00:00:00", "--jobs", "2"});
    EXPECT_NE(later.err.find("50 pages written, 8 left unchanged"), std::string::npos) << later.err;
}

TEST(cli_exit_status, tells_scripts_what_happened) {
    temp_folder dir;
    fs::create_directories(dir.dir() / "templates");
    fs::create_directories(dir.dir() / "out");
    ASSERT_TRUE(make_sqlite_file(dir.path("db.sqlite"),
                                 "CREATE TABLE p (tpl TEXT, out TEXT); INSERT INTO p VALUES ('t.html', 'a.html');"));
    write_file(dir.path("templates/t.html"), "plain page\n");
    write_file(dir.path("ok.kvn"), settings_text("db.sqlite", "select * from p", "out/"));
    write_file(dir.path("nodb.kvn"), settings_text("absent.sqlite", "select * from p", "out/"));

    EXPECT_EQ(run_cli(dir, {"generate", dir.path("ok.kvn")}).status, 0);
    EXPECT_EQ(read_file(dir.path("out/a.html")), "plain page\r\n");
    EXPECT_EQ(run_cli(dir, {"generate"}).status, 2);
    EXPECT_EQ(run_cli(dir, {"generate", dir.path("ok.kvn"), "--jobs", "none"}).status, 2);
    EXPECT_EQ(run_cli(dir, {"generate", dir.path("absent.kvn")}).status, 3);
    const auto nodb = run_cli(dir, {"generate", dir.path("nodb.kvn"), "--quiet"});
    EXPECT_EQ(nodb.status, 4);
    EXPECT_NE(nodb.err.find("Error opening database: \n    Could not find file"), std::string::npos) << nodb.err;

    const auto help = run_cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: korvane-cli generate"), std::string::npos);
    EXPECT_EQ(run_cli(dir, {"--version"}).out, "korvane-cli 1.3\n");

    EXPECT_EQ(run_cli(dir, {"check", dir.path("ok.kvn")}).status, 0);
    const auto check = run_cli(dir, {"check", dir.path("nodb.kvn")});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("nodb.kvn:2:1: warning: the database does not open"), std::string::npos) << check.out;
}

TEST(cli_stop, a_stopped_run_leaves_no_page_half_written) {
    temp_folder dir;
    fs::create_directories(dir.dir() / "templates");
    fs::create_directories(dir.dir() / "out");
    std::string sql = "CREATE TABLE p (tpl TEXT, out TEXT);";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
           "INSERT INTO p SELECT 't.html', 'p' || i || '.html' FROM n;";
    ASSERT_TRUE(make_sqlite_file(dir.path("db.sqlite"), sql));
    std::string page;
    for (int i = 0; i < 400; ++i) page += "a line of the page, long enough to take a moment to write\n";
    write_file(dir.path("templates/t.html"), page + "<!--MAIN_FIELD=out-->\nend\n");
    write_file(dir.path("s.kvn"), settings_text("db.sqlite", "select * from p", "out/"));

    const pid_t child = fork();
    if (child == 0) {
        const std::string kvn = dir.path("s.kvn");
        execl(KORVANE_CLI, KORVANE_CLI, "generate", kvn.c_str(), "--quiet", "--jobs", "2", nullptr);
        _exit(127);
    }
    // Stop it once pages are being written.
    for (int i = 0; i < 500 && !fs::exists(dir.path("out/p10.html")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 143);

    std::size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(dir.dir() / "out")) {
        const auto name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
        EXPECT_EQ(read_file(entry.path().string()), [&] {
            std::string expected;
            for (int i = 0; i < 400; ++i) expected += "a line of the page, long enough to take a moment to write\r\n";
            return expected + name + "\r\nend\r\n";
        }()) << name;
        ++pages;
    }
    EXPECT_GT(pages, 0u);
    EXPECT_LT(pages, 20000u);
}

}  // namespace
}  // namespace korvane
