// Measures korvane-cli on a synthetic catalogue: N pages of about ten child
// rows each, a 4 KB template with every construct, output on disk. Prints
// pages/s, MB/s and peak memory for each run and compares them with the
// previous run's numbers, kept in the work folder.
#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct options {
    std::string cli = KORVANE_CLI_PATH;
    fs::path work = "bench-work";
    std::vector<long> pages{10000, 50000};
    std::vector<unsigned> jobs{1, std::max(1u, std::thread::hardware_concurrency())};
    int settle_seconds = 35;
};

bool exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::cerr << "korvane_bench: " << (message ? message : "sqlite error") << "\n";
        sqlite3_free(message);
        return false;
    }
    return true;
}

// The catalogue: pages with a handful of typed fields and ~10 order lines each.
bool make_database(const fs::path& file, long pages) {
    fs::remove(file);
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return false;
    bool ok = exec(db,
                   "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
                   "CREATE TABLE pages (id INTEGER PRIMARY KEY, template TEXT, file TEXT,"
                   " title TEXT, author TEXT, price CURRENCY, published DATETIME,"
                   " in_stock BOOLEAN, rating REAL, summary TEXT);"
                   "CREATE TABLE lines (id INTEGER PRIMARY KEY, page_id INTEGER, name TEXT,"
                   " qty INTEGER, price CURRENCY);");
    sqlite3_stmt* page = nullptr;
    sqlite3_stmt* line = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO pages VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &page,
                                  nullptr) == SQLITE_OK;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO lines (page_id, name, qty, price) VALUES (?,?,?,?)",
                                  -1, &line, nullptr) == SQLITE_OK;
    const std::string summary(300, 's');
    for (long id = 1; ok && id <= pages; ++id) {
        const std::string file_name = "page" + std::to_string(id) + ".html";
        const std::string title = "Title of page " + std::to_string(id);
        const std::string author = "Author " + std::to_string(id % 97);
        char date[32];
        std::snprintf(date, sizeof date, "20%02ld-%02ld-%02ld 00:00:00", id % 25, id % 12 + 1,
                      id % 28 + 1);
        sqlite3_bind_int64(page, 1, id);
        sqlite3_bind_text(page, 2, "page.html", -1, SQLITE_STATIC);
        sqlite3_bind_text(page, 3, file_name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(page, 4, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(page, 5, author.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(page, 6, static_cast<double>(id % 5000) / 100.0);
        sqlite3_bind_text(page, 7, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(page, 8, id % 3 ? -1 : 0);
        sqlite3_bind_double(page, 9, static_cast<double>(id % 50) / 10.0);
        sqlite3_bind_text(page, 10, summary.c_str(), -1, SQLITE_STATIC);
        ok = sqlite3_step(page) == SQLITE_DONE && sqlite3_reset(page) == SQLITE_OK;
        const long children = 8 + id % 5;  // 8..12, about ten
        for (long c = 0; ok && c < children; ++c) {
            const std::string name = "Item " + std::to_string(c) + " of " + std::to_string(id);
            sqlite3_bind_int64(line, 1, id);
            sqlite3_bind_text(line, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(line, 3, c + 1);
            sqlite3_bind_double(line, 4, static_cast<double>(c * 125) / 100.0);
            ok = sqlite3_step(line) == SQLITE_DONE && sqlite3_reset(line) == SQLITE_OK;
        }
    }
    sqlite3_finalize(page);
    sqlite3_finalize(line);
    ok = ok && exec(db, "CREATE INDEX lines_page ON lines (page_id); COMMIT;");
    sqlite3_close(db);
    return ok;
}

// A realistic page: head, navigation and footer text around eight field tags,
// a repeating section over the page's lines with a condition inside, and
// conditions outside it.
std::string page_template() {
    std::ostringstream t;
    t << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<title><!--MAIN_FIELD=title--></title>\n"
         "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
         "<!-- navigation -->\n<nav><ul>\n";
    for (int i = 0; i < 12; ++i) {
        t << "  <li><a href=\"section" << i << ".html\">Section number " << i
          << " of the catalogue</a></li>\n";
    }
    t << "</ul></nav>\n<main>\n<h1><!--MAIN_FIELD=title--></h1>\n"
         "<p class=\"by\">by <a href=\"author.html?name=<!--MAIN_FIELD=field:=author,escape:=true-->\">"
         "<!--MAIN_FIELD=author--></a>, published <!--MAIN_FIELD=published--></p>\n"
         "<p class=\"price\">Price: <!--MAIN_FIELD=price--> (rating <!--MAIN_FIELD=rating-->)</p>\n"
         "<!--START IF=#--MAIN_FIELD=in_stock--#==True-->\n<p class=\"stock\">In stock</p>\n"
         "<!--ELSE-->\n<p class=\"stock\">Out of stock</p>\n<!--END IF-->\n"
         "<p><!--MAIN_FIELD=summary--></p>\n<table>\n"
         "<tr><th>#</th><th>Item</th><th>Qty</th><th>Price</th></tr>\n"
         "<!--REPEAT=select name, qty, price from lines where page_id = #--MAIN_FIELD=id--# order by id-->\n"
         "<tr><td><!--REPEAT_FIELD=name--></td><td><!--REPEAT_FIELD=qty--></td>"
         "<td><!--REPEAT_FIELD=price--></td></tr>\n"
         "<!--START IF=current_record_num<number_of_records--><tr class=\"sep\"></tr><!--END IF-->\n"
         "<!--REPEAT ELSE-->\n<tr><td colspan=\"4\">No items</td></tr>\n<!--END REPEAT-->\n"
         "</table>\n</main>\n<footer>\n";
    for (int i = 0; i < 16; ++i) {
        t << "<p>Footer line " << i
          << ": terms, privacy, shipping and returns information for the catalogue.</p>\n";
    }
    t << "<p>Generated <!--TODAYS DATE=yyyy-mm-dd hh:nn--></p>\n</footer>\n</body>\n</html>\n";
    return t.str();
}

bool write_settings(const fs::path& file, const std::string& output_folder) {
    std::ofstream out(file, std::ios::binary);
    out << "db_type=0\r\ndb_name=catalogue.sqlite\r\nmain_type=0\r\nmain_name=pages\r\n"
           "template_field=template\r\ngenerated_field=file\r\n"
           "template_path=templates/\r\ngenerated_path="
        << output_folder << "/\r\n";
    return static_cast<bool>(out);
}

struct run_result {
    double seconds = 0;
    double user_seconds = 0;
    double system_seconds = 0;
    long peak_kib = 0;
    int status = -1;
};

run_result run_cli(const options& opt, const fs::path& settings, unsigned jobs, bool no_limit) {
    std::vector<std::string> args{opt.cli, "generate", settings.string(), "--quiet",
                                  "--now", "2026-01-01T12:00:00", "--jobs", std::to_string(jobs)};
    if (no_limit) args.push_back("--no-row-limit");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    run_result result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        std::perror("korvane_bench: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) return result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peak_kib = usage.ru_maxrss;
    auto seconds_of = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    result.user_seconds = seconds_of(usage.ru_utime);
    result.system_seconds = seconds_of(usage.ru_stime);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::uintmax_t folder_bytes(const fs::path& dir) {
    std::uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.is_regular_file()) total += e.file_size();
    }
    return total;
}

// The number of files removed.
std::uintmax_t remove_sites(const fs::path& work) {
    std::vector<fs::path> sites;
    for (const auto& e : fs::directory_iterator(work)) {
        if (e.is_directory() && e.path().filename().string().rfind("site-", 0) == 0) sites.push_back(e.path());
    }
    std::uintmax_t removed = 0;
    for (const auto& s : sites) removed += fs::remove_all(s);
    return removed;
}

std::map<std::string, double> read_previous(const fs::path& file) {
    std::map<std::string, double> previous;
    std::ifstream in(file);
    std::string key;
    double value = 0;
    while (in >> key >> value) previous[key] = value;
    return previous;
}

void usage() {
    std::cout << "usage: korvane_bench [--cli PATH] [--work DIR] [--pages N[,N...]] [--jobs J[,J...]]\n"
                 "                     [--settle SECONDS]\n"
                 "Runs korvane-cli generate on synthetic catalogues and prints pages/s, MB/s and\n"
                 "peak memory, compared with the previous run kept in the work folder. The pages\n"
                 "stay in the work folder until the next run, which removes them and then waits\n"
                 "--settle seconds (default 35) before measuring.\n";
}

template <typename T>
std::vector<T> parse_list(const std::string& text) {
    std::vector<T> values;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) values.push_back(static_cast<T>(std::stol(item)));
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    options opt;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            auto next = [&]() -> std::string {
                if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
                return argv[++i];
            };
            if (a == "--cli") opt.cli = next();
            else if (a == "--work") opt.work = next();
            else if (a == "--pages") opt.pages = parse_list<long>(next());
            else if (a == "--jobs") opt.jobs = parse_list<unsigned>(next());
            else if (a == "--settle") opt.settle_seconds = std::stoi(next());
            else if (a == "--help") { usage(); return 0; }
            else throw std::invalid_argument("unknown option " + a);
        }
    } catch (const std::exception& e) {
        std::cerr << "korvane_bench: " << e.what() << "\n";
        usage();
        return 2;
    }
    if (!fs::exists(opt.cli)) {
        std::cerr << "korvane_bench: no korvane-cli at " << opt.cli << " (build it first)\n";
        return 2;
    }

    fs::create_directories(opt.work / "templates");
    std::ofstream(opt.work / "templates" / "page.html", std::ios::binary) << page_template();
    const fs::path results_file = opt.work / "last-run.txt";
    const auto previous = read_previous(results_file);
    std::ofstream results(results_file);

    // Pages deleted right before a run make the run pay for them: ext4
    // without a journal checks every inode freed in the last 30 seconds
    // before it reuses one, and with tens of thousands freed that check
    // costs more than writing the pages. So the pages of the previous run
    // are removed first, and the file system left to settle.
    if (const auto removed = remove_sites(opt.work); removed > 0) {
        ::sync();
        std::printf("removed %ju files of the previous run; waiting %d s for the file system to settle\n",
                    removed, opt.settle_seconds);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(opt.settle_seconds));
    }

    std::printf("%8s %5s %9s %7s %7s %11s %8s %10s  %s\n", "pages", "jobs", "seconds", "user", "sys",
                "pages/s", "MB/s", "peak MiB", "vs previous run");
    for (long n : opt.pages) {
        if (!make_database(opt.work / "catalogue.sqlite", n)) {
            std::cerr << "korvane_bench: could not build the catalogue database\n";
            return 1;
        }
        for (unsigned jobs : opt.jobs) {
            // Each run writes into a folder of its own; nothing is deleted
            // between runs. user and sys tell the generator's own work from
            // the file system's.
            const std::string key = std::to_string(n) + "x" + std::to_string(jobs);
            const fs::path site = opt.work / ("site-" + key);
            fs::create_directories(site);
            write_settings(opt.work / "bench.kvn", site.filename().string());
            ::sync();
            const auto r = run_cli(opt, opt.work / "bench.kvn", jobs, n > 32767);
            if (r.status != 0) {
                std::cerr << "korvane_bench: korvane-cli ended with status " << r.status << "\n";
                return 1;
            }
            const double pages_per_second = static_cast<double>(n) / r.seconds;
            const double mb_per_second = static_cast<double>(folder_bytes(site)) / 1e6 / r.seconds;
            std::string versus = "-";
            if (auto it = previous.find(key); it != previous.end() && it->second > 0) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%+.1f%%", 100.0 * (pages_per_second / it->second - 1.0));
                versus = buf;
            }
            std::printf("%8ld %5u %9.2f %7.2f %7.2f %11.0f %8.1f %10.1f  %s\n", n, jobs, r.seconds,
                        r.user_seconds, r.system_seconds, pages_per_second, mb_per_second,
                        static_cast<double>(r.peak_kib) / 1024.0, versus.c_str());
            std::fflush(stdout);
            results << key << " " << pages_per_second << "\n";
        }
    }
    std::printf("The pages are in %s/site-*; the next run removes them.\n", opt.work.string().c_str());
    return 0;
}
