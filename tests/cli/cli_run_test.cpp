// SPDX-License-Identifier: Apache-2.0
// korvane-cli run as a process, as scripts run it: exit statuses, the
// report on standard error and in files, --jobs giving the pages and report
// of --jobs 1, and a stop that leaves no page half-written.
#include "../support/cli_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/file.h>

#include <sstream>

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// A site in dir from the tables of small_sites.sql in db.sqlite, with the
// template templates/t.html; its settings file.
std::string small_site(const temp_folder& dir, const std::string& main, const std::string& text = "page\n") {
    const std::string sql = read_file(KORVANE_SOURCE_DIR "/tests/cli/small_sites.sql");
    EXPECT_TRUE(make_sqlite_file(dir.path("db.sqlite"), sql));
    const auto kvn = write_settings(dir.dir(), "site.kvn", "db.sqlite", main);
    write_file(dir.path("templates/t.html"), text);
    return kvn;
}

QJsonObject json_of(const std::string& text) {
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return o;
}

// The site of site/: templates that use every construct, rows that
// alternate them and include a missing template and an output that cannot
// be opened, so the report has lines of several kinds.
class cli_site : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(KORVANE_SOURCE_DIR "/tests/cli/site", dir_.dir() / "templates");
        ASSERT_TRUE(make_sqlite_file(dir_.path("site.sqlite"), read_file(dir_.path("templates/site.sql"))));
    }

    // Generates the site into the folder out with further options.
    cli_result generate(const std::string& out, std::vector<std::string> options) {
        const auto kvn = write_settings(dir_.dir(), out + ".kvn", "site.sqlite", "select * from pages order by id",
                                        out + "/");
        options.insert(options.begin(), {"generate", kvn});
        return run_cli(dir_.dir(), options);
    }

    // The report of one run, with its output folder's name taken out.
    std::string report(const std::string& out) {
        std::string text = read_file(dir_.path(out + ".txt"));
        for (std::size_t at = 0; (at = text.find(out + "/", at)) != std::string::npos;)
            text.erase(at, out.size());
        return text;
    }

    temp_folder dir_;
};

// --jobs gives the pages, report and status log of one thread, and --format
// json on stdout says what the text report says, problem for problem, with the
// row and files of each; a second run leaves unchanged pages alone.
TEST_F(cli_site, jobs_give_the_pages_and_report_of_one_thread_json_the_same_problems) {
    cli_result run;
    for (const std::string jobs : {"1", "3"}) {
        const std::string out = "jobs" + jobs;
        run = generate(out, {"--jobs", jobs, "--now", "2026-12-05T09:08:07", "--report",
                             dir_.path(out + ".txt"), "--status-log", dir_.path(out + "-status.txt"),
                             "--format", jobs == "1" ? "text" : "json"});
        EXPECT_EQ(run.status, 1) << out << ": " << run.err;
        EXPECT_THAT(run.err, Not(HasSubstr("one thread")));
        EXPECT_THAT(run.err, HasSubstr("Starting Korvane page generator..."));
        EXPECT_THAT(run.err, HasSubstr("58 pages written, 0 left unchanged"));
    }
    std::size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(dir_.dir() / "jobs1")) {
        const auto name = entry.path().filename().string();
        if (name == ".korvane-manifest" || name == ".korvane.lock") continue;
        EXPECT_EQ(read_file(entry.path().string()), read_file(dir_.path("jobs3/" + name))) << name;
        ++pages;
    }
    EXPECT_EQ(pages, 58u);  // 60 rows, less a missing template and an output without a folder
    EXPECT_EQ(report("jobs1"), report("jobs3"));
    EXPECT_EQ(read_file(dir_.path("jobs1-status.txt")), read_file(dir_.path("jobs3-status.txt")));

    // The pages hold what the constructs give (the language tests check each one): here
    // the innermost section's REPEAT_FIELD, which has no "name".
    EXPECT_THAT(read_file(dir_.path("jobs1/p1.html")),
                HasSubstr("<li>item 1 \r\n\r\n  note: note of Korvane: Field, name not found\r\n"));
    const std::string text = report("jobs1");
    for (const char* line :
         {"Template does not exist or contains no text \n(check the path and filename):\n",
          "Error opening file for writing: ", "Problem running SQL for repeating section:",
          "IF statement is missing data"}) {
        EXPECT_THAT(text, HasSubstr(line)) << line;
    }
    EXPECT_TRUE(text.ends_with("\nProcess complete. 58 files generated\n")) << text;

    const QJsonObject json = json_of(run.out);
    EXPECT_EQ(json["exit_status"].toInt(), run.status);
    EXPECT_EQ(run.status, 1);
    const QJsonObject summary = json["summary"].toObject();
    const std::string counts = std::to_string(summary["pages_written"].toInt()) + " pages written, " +
                               std::to_string(summary["pages_unchanged"].toInt()) + " left unchanged, " +
                               std::to_string(summary["rows_with_problems"].toInt()) + " with problems";
    EXPECT_THAT(run.err, HasSubstr(counts)) << counts << "\n" << run.err;
    EXPECT_EQ(summary["rows"].toInt(), 60);

    // The problems' lines, in order, are the report's lines between its start
    // and completion lines, without the empty lines.
    std::string problem_lines, report_lines;
    std::istringstream lines(read_file(dir_.path("jobs3.txt")));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line != "Starting Korvane page generator..." &&
            !line.starts_with("Process complete.")) {
            report_lines += line + "\n";
        }
    }
    bool missing_template = false, unopened_output = false;
    for (const auto& value : json["problems"].toArray()) {
        const QJsonObject p = value.toObject();
        for (const auto& line : p["lines"].toArray()) problem_lines += line.toString().toStdString() + "\n";
        EXPECT_FALSE(p["kind"].toString().isEmpty());
        EXPECT_NE(p["kind"].toString(), "other") << p["message"].toString().toStdString();
        EXPECT_GE(p["row"].toInt(), 1);
        if (p["kind"] == "template_missing") {
            missing_template = true;
            EXPECT_EQ(p["row"].toInt(), 17);
            EXPECT_TRUE(p["template_file"].toString().endsWith("templates/missing.html"));
            EXPECT_TRUE(p["output_file"].toString().endsWith("jobs3/p17.html"));
        }
        if (p["kind"] == "output_unopened") {
            unopened_output = true;
            EXPECT_EQ(p["row"].toInt(), 23);
            EXPECT_TRUE(p["output_file"].toString().endsWith("no-folder/p23.html"));
            EXPECT_FALSE(p["description"].toString().isEmpty());
        }
        if (p["kind"] == "repeat_sql_failed") {
            EXPECT_TRUE(p["sql"].toString().contains("nowhere"));
        }
    }
    EXPECT_EQ(problem_lines, report_lines);
    EXPECT_TRUE(missing_template && unopened_output);

    // Again, --quiet shows only the problems; a month later only the pages
    // that show the date change.
    const auto again = generate("jobs1", {"--now", "2026-12-05T09:08:07", "--quiet"});
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.err, Not(HasSubstr("Starting Korvane page generator...")));
    EXPECT_THAT(again.err, Not(HasSubstr("Process complete.")));
    EXPECT_THAT(again.err, HasSubstr("Problem running SQL for repeating section:"));
    const auto later = generate("jobs1", {"--now", "2027-01-01T00:00:00", "--jobs", "2"});
    EXPECT_THAT(later.err, HasSubstr("50 pages written, 8 left unchanged"));
}

// A main statement that fails is a failed run, in the summary, the exit
// status and the JSON report alike.
TEST(cli_failed_run, a_failing_main_statement_fails_the_run) {
    temp_folder dir;
    const auto kvn = small_site(dir, "select * from my-pages");
    const auto text = run_cli(dir.dir(), {"generate", kvn});
    EXPECT_EQ(text.status, 1);
    EXPECT_THAT(text.err, HasSubstr("near \"-\": syntax error"));
    EXPECT_THAT(text.err, HasSubstr("the run failed"));
    EXPECT_THAT(text.err, Not(HasSubstr("0 with problems")));

    const QJsonObject o = json_of(run_cli(dir.dir(), {"generate", kvn, "--format=json"}).out);
    EXPECT_EQ(o["exit_status"].toInt(), 1);
    EXPECT_TRUE(o["run_failed"].toBool());
    ASSERT_EQ(o["problems"].toArray().size(), 1);
    EXPECT_EQ(o["problems"][0]["kind"], "main_sql_failed");
    EXPECT_EQ(o["problems"][0]["sql"], "select * from my-pages");

    const auto check = run_cli(dir.dir(), {"check", kvn, "--format", "json"});
    const QJsonObject c = json_of(check.out);
    EXPECT_EQ(c["exit_status"].toInt(), check.status);
    ASSERT_FALSE(c["problems"].toArray().isEmpty()) << check.out;
    EXPECT_TRUE(c["problems"][0]["template_file"].toString().endsWith("site.kvn"));
    EXPECT_GE(c["problems"][0]["line"].toInt(), 1);
}

// A run that never began, because another run holds the output folder, still
// prints its JSON document.
TEST(cli_failed_run, a_busy_output_folder_is_a_json_document_too) {
    temp_folder dir;
    const auto kvn = small_site(dir, "select * from one");
    const int held = ::open(dir.path("out/.korvane.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto busy = run_cli(dir.dir(), {"generate", kvn, "--no-wait", "--format", "json"});
    ::close(held);
    EXPECT_EQ(busy.status, 5);
    const QJsonObject o = json_of(busy.out);
    EXPECT_EQ(o["exit_status"].toInt(), 5);
    EXPECT_FALSE(o["run_failed"].toBool());
    EXPECT_EQ(o["summary"]["pages_written"].toInt(), 0);
    EXPECT_FALSE(fs::exists(dir.path("out/a.html")));
}

// --clean removes the page of a row that is gone, and nothing else.
TEST(cli_clean, removes_the_pages_of_rows_that_are_gone) {
    temp_folder dir;
    const auto kvn = small_site(dir, "select * from three");
    const auto first = run_cli(dir.dir(), {"generate", kvn, "-v", "--jobs=1"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_THAT(first.err, HasSubstr("wrote " + dir.path("out/c.html") + "\n"));

    ASSERT_TRUE(make_sqlite_file(dir.path("db.sqlite"), "DELETE FROM three WHERE out = 'c.html';"));
    EXPECT_EQ(run_cli(dir.dir(), {"generate", kvn}).status, 0);
    EXPECT_TRUE(fs::exists(dir.path("out/c.html")));  // without --clean nothing is deleted
    const auto clean = run_cli(dir.dir(), {"generate", kvn, "--clean"});
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_THAT(clean.err, HasSubstr(", 1 removed,"));
    EXPECT_FALSE(fs::exists(dir.path("out/c.html")));
    EXPECT_TRUE(fs::exists(dir.path("out/a.html")));
}

// Rows are made one after the other: of two rows writing one page the later
// one's is left, and a row may use as its template a page an earlier row
// wrote. Threads, the reading one making pages too, may not change that. A
// shard refuses such a run, since another machine may not have written that
// page yet; it says in its report which part it made, and takes its part from
// the environment as schedulers hand it out.
TEST(cli_jobs, rows_that_share_files_give_the_pages_of_row_order_and_a_shard_refuses_them) {
    temp_folder dir;
    const auto kvn = small_site(dir, "select * from forty order by id", "row <!--MAIN_FIELD=id-->\n");
    for (const char* jobs : {"2", "4"}) {
        fs::remove_all(dir.dir() / "out");
        fs::create_directories(dir.dir() / "out");
        fs::remove(dir.dir() / "templates/gen.html");
        const auto run = run_cli(dir.dir(), {"generate", kvn, "--jobs", jobs});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_file(dir.path("out/same.html")), "row 20\r\n") << jobs;
        EXPECT_EQ(read_file(dir.path("out/p30.html")), "row 7\r\n") << jobs;
        EXPECT_THAT(run.err, HasSubstr("Process complete. 40 files generated"));
    }

    const auto refused = run_cli(dir.dir(), {"generate", kvn, "--shard", "0/2"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err,
                HasSubstr("--shard cannot split this run: a row uses as its template a page another row writes"));
    const auto whole = write_settings(dir.dir(), "whole.kvn", "db.sqlite", "select * from forty where id <> 30");
    EXPECT_EQ(run_cli(dir.dir(), {"generate", whole, "--shard", "2/2"}).status, 2);  // no part 2 of 2
    ::setenv("KORVANE_SHARD", "1/3", 1);
    const auto from_env = run_cli(dir.dir(), {"generate", whole, "--report", dir.path("report.txt")});
    ::unsetenv("KORVANE_SHARD");
    EXPECT_EQ(from_env.status, 0) << from_env.err;
    EXPECT_THAT(read_file(dir.path("report.txt")),
                HasSubstr("Shard 1/3: only the pages whose file names fall in this part"));
}

TEST(cli_exit_status, tells_scripts_what_happened) {
    temp_folder dir;
    const auto big = small_site(dir, "select * from big");
    const auto ok = write_settings(dir.dir(), "ok.kvn", "db.sqlite", "select * from big limit 1");
    const auto nodb = write_settings(dir.dir(), "nodb.kvn", "absent.sqlite", "select * from big");
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"generate", ok}, 0},
        {{"generate"}, 2},
        {{"generate", dir.path("absent.kvn")}, 3},
        {{"check", ok}, 0}};
    for (const auto& [args, status] : cases) {
        EXPECT_EQ(run_cli(dir.dir(), args).status, status) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(read_file(dir.path("out/a.html")), "page\r\n");

    const auto unopened = run_cli(dir.dir(), {"generate", nodb, "--quiet"});
    EXPECT_EQ(unopened.status, 4);
    EXPECT_THAT(unopened.err, HasSubstr("Error opening database: \n    Could not find file"));
    const auto check = run_cli(dir.dir(), {"check", nodb});
    EXPECT_EQ(check.status, 1);
    EXPECT_THAT(check.out, HasSubstr("nodb.kvn:2:1: warning: the database does not open"));

    // A main result over the row limit is named, and makes no page.
    const auto over = run_cli(dir.dir(), {"generate", big, "--quiet"});
    EXPECT_EQ(over.status, 0);
    EXPECT_THAT(over.err, HasSubstr("the main result has more than 32767 rows: no pages were written"));
    EXPECT_FALSE(fs::exists(dir.path("out/p2.html")));

    const auto help = run_cli(dir.dir(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: korvane-cli generate"));
    const auto version = run_cli(dir.dir(), {"--version"}).out;
    EXPECT_TRUE(version.starts_with("korvane-cli (Korvane) 1.3.0\nLicense Apache-2.0")) << version;
}

TEST(cli_stop, a_stopped_run_leaves_no_page_half_written) {
    temp_folder dir;
    std::string line = "a line of the page, long enough to take a moment to write", page, crlf_page;
    for (int i = 0; i < 400; ++i) page += line + "\n", crlf_page += line + "\r\n";
    const auto kvn =
        small_site(dir, "select * from big limit 20000", page + "<!--MAIN_FIELD=out-->\nend\n");
    // Stopped once pages are being written.
    const auto run = run_cli(dir.dir(), {"generate", kvn, "--quiet", "--jobs", "2"},
                             [&] { return fs::exists(dir.path("out/p10.html")); });
    EXPECT_EQ(run.status, 143);
    std::size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(dir.dir() / "out")) {
        const auto name = entry.path().filename().string();
        if (name == ".korvane-manifest" || name == ".korvane.lock") continue;
        EXPECT_THAT(name, Not(HasSubstr(".tmp"))) << "left behind";
        EXPECT_EQ(read_file(entry.path().string()), crlf_page + name + "\r\nend\r\n") << name;
        ++pages;
    }
    EXPECT_GT(pages, 0u);
    EXPECT_LT(pages, 20000u);
}

// A damaged Access file keeps its reader busy for seconds; a stop must not
// wait for it: the read ends because of the stop, not because the reader
// gave up on the file.
TEST(cli_stop, a_stop_while_a_damaged_access_file_is_read_ends_the_program) {
    temp_folder dir;
    const std::string whole = read_file(KORVANE_SOURCE_DIR "/tests/data/access/files/testV1997.mdb");
    ASSERT_GT(whole.size(), 98069u);
    write_file(dir.path("cut.mdb"), whole.substr(0, 98069));
    const auto started = std::chrono::steady_clock::now();
    const auto kvn = write_settings(dir.dir(), "s.kvn", "cut.mdb", "select * from Table1");
    const auto run = run_cli(dir.dir(), {"generate", kvn, "--quiet"}, [&] {
        return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(300);
    });
    EXPECT_EQ(run.status, 143);
    EXPECT_THAT(run.err, HasSubstr("' was stopped."));
    EXPECT_THAT(run.err, Not(HasSubstr("it is damaged")));
}

}  // namespace
}  // namespace korvane::test
