// SPDX-License-Identifier: Apache-2.0
// Measures korvane-cli against a floor on a synthetic catalogue: N pages of
// about ten child rows each, output in memory and on disk, in two workloads:
// "sections", a 4 KB template with every construct (a repeating section over
// the page's rows with a condition inside), and "fields", the same page
// without the section. In one invocation, round robin, it runs the floor program (the same
// pages written by hand-coded logic, preparing the section statement per page
// and with one prepared statement) and korvane-cli at --jobs 1 and 2, and
// prints pages/s, user and system CPU per page, peak memory, and the ratios
// to the floor taken within each round. Absolute figures drift on a shared
// machine; ratios within a round hold. The pages of each program are checked
// to be the floor's, byte for byte.
#include "bench_site.h"

#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using korvane::bench::page_template;

namespace {

constexpr const char* bench_now = "2026-01-01T12:00:00";
constexpr const char* bench_date_text = "2026-01-01 12:00";

struct options {
    std::string cli = KORVANE_CLI_PATH;
    std::string floor = KORVANE_FLOOR_PATH;
    std::string other_cli;  // another build to compare with, in the same rounds
    std::string jinja_script = KORVANE_JINJA_SCRIPT;  // run when python3 has jinja2
    fs::path work = "bench-work";  // on disk
    fs::path tmpfs;                 // in memory; "" means a folder under /dev/shm
    std::vector<long> pages{10000, 100000};  // in memory
    std::vector<long> disk_pages{10000};
    std::vector<unsigned> jobs{1, 2};
    std::vector<std::string> workloads{"sections", "fields"};
    int rounds = 3;
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

bool write_settings(const fs::path& file, const std::string& database, const std::string& templates,
                    const std::string& output_folder) {
    std::ofstream out(file, std::ios::binary);
    out << "db_type=0\r\ndb_name=" << database << "\r\nmain_type=0\r\nmain_name=pages\r\n"
           "template_field=template\r\ngenerated_field=file\r\n"
           "template_path=" << templates << "/\r\ngenerated_path="
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

run_result run_program(std::vector<std::string> args) {
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
    auto seconds_of = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    result.user_seconds = seconds_of(usage.ru_utime);
    result.system_seconds = seconds_of(usage.ru_stime);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// copies of args side by side, each given "--part K/copies": the time until
// the last ends, their CPU time added up and the largest peak.
run_result run_copies(const std::vector<std::string>& args, int copies) {
    if (copies <= 1) return run_program(args);
    std::vector<std::thread> threads;
    std::vector<run_result> results(static_cast<std::size_t>(copies));
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < copies; ++k) {
        std::vector<std::string> part = args;
        part.push_back("--part");
        part.push_back(std::to_string(k) + "/" + std::to_string(copies));
        threads.emplace_back([&results, k, part] { results[static_cast<std::size_t>(k)] = run_program(part); });
    }
    for (auto& t : threads) t.join();
    run_result all;
    all.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    all.status = 0;
    for (const auto& r : results) {
        all.user_seconds += r.user_seconds;
        all.system_seconds += r.system_seconds;
        all.peak_kib = std::max(all.peak_kib, r.peak_kib);
        if (r.status != 0) all.status = r.status;
    }
    return all;
}

// One contender: a name for the table and how to run it into a site folder.
struct contender {
    std::string name;
    std::string key;   // folder and results name
    std::vector<std::string> args;  // "{site}" and "{kvn}" are filled in
    int copies = 1;    // run side by side over parts of the rows (run_copies)
    std::vector<run_result> runs;
    std::vector<double> vs_floor, vs_floor_one;
    std::vector<double> vs_jobs_one;  // pages/s over korvane-cli --jobs 1's
    std::vector<double> cpu_vs_floor;  // the floor's CPU time over this one's
    std::vector<double> vs_jinja;
};

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

std::string file_text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Pages of site that differ from (or are missing beside) those of reference.
long pages_differing(const fs::path& reference, const fs::path& site) {
    long differ = 0;
    for (const auto& e : fs::directory_iterator(reference)) {
        if (e.path().filename() == ".korvane-manifest") continue;  // names its own settings file
        const fs::path other = site / e.path().filename();
        if (!fs::exists(other) || file_text(e.path()) != file_text(other)) ++differ;
    }
    return differ;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void usage() {
    std::cout << "usage: korvane_bench [--cli PATH] [--other-cli PATH] [--floor PATH] [--jinja PATH]\n"
                 "                     [--tmpfs DIR] [--work DIR] [--pages N[,N...]]\n"
                 "                     [--disk-pages N[,N...] | --no-disk] [--jobs J[,J...]]\n"
                 "                     [--rounds R] [--settle SECONDS] [--workloads W[,W]]\n"
                 "Runs the floor program and korvane-cli generate (at each --jobs, default 1,2)\n"
                 "round robin on synthetic catalogues, R rounds (default 3), and prints the\n"
                 "medians and the ratios to the floor: first in memory (a folder under /dev/shm,\n"
                 "or --tmpfs DIR) for catalogues of --pages N (default 10000,100000), where the\n"
                 "ratios judge CPU work, then on disk in --work DIR (default bench-work) for\n"
                 "--disk-pages N (default 10000). On disk the pages are removed at the end and a\n"
                 "run waits until --settle seconds (default 35) have passed since the last\n"
                 "removal before it measures. --other-cli runs a second build (an earlier one,\n"
                 "say) in the same rounds. Where python3 has jinja2, the script a user would\n"
                 "write instead (--jinja PATH, \"\" to leave it out) runs too. --workloads picks\n"
                 "sections (a repeating section per page) and fields (none), default both.\n";
}

std::vector<std::string> parse_words(const std::string& text) {
    std::vector<std::string> words;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        if (item != "sections" && item != "fields") throw std::invalid_argument("unknown workload " + item);
        words.push_back(item);
    }
    return words;
}

template <typename T>
std::vector<T> parse_list(const std::string& text) {
    std::vector<T> values;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) values.push_back(static_cast<T>(std::stol(item)));
    return values;
}

bool measure(const options& opt, const fs::path& work, const char* where, long n, const std::string& workload) {
    const bool in_memory = work != opt.work;
    const bool fields = workload == "fields";
    // One catalogue of each size per folder serves both workloads.
    const std::string db_name = "catalogue-" + std::to_string(n) + ".sqlite";
    static std::vector<fs::path> made;
    if (std::find(made.begin(), made.end(), work / db_name) == made.end()) {
        if (!make_database(work / db_name, n)) {
            std::cerr << "korvane_bench: could not build the catalogue database\n";
            return false;
        }
        made.push_back(work / db_name);
    }
    const std::string db = (work / db_name).string();
    std::vector<contender> all;
    auto add = [&](std::string name, std::string key, std::vector<std::string> args) {
        contender c;
        c.name = std::move(name);
        c.key = std::move(key);
        c.args = std::move(args);
        all.push_back(std::move(c));
    };
    if (fields) {
        add("floor", "floor", {opt.floor, db, "{site}", bench_date_text, "--fields"});
        add("floor (again)", "floor1", {opt.floor, db, "{site}", bench_date_text, "--fields"});
    } else {
        add("floor, statement per page", "floor", {opt.floor, db, "{site}", bench_date_text});
        add("floor, one statement", "floor1", {opt.floor, db, "{site}", bench_date_text, "--one-statement"});
    }
    // Pages never seen half-written, as korvane-cli writes them.
    add("floor, whole pages", "floorw", all[0].args);
    all.back().args.push_back("--whole");
    // What two processes sharing nothing but the machine (and the folder)
    // get from it: the ceiling for --jobs 2 over --jobs 1.
    add("floor, 2 processes", "floor2", all.back().args);
    all.back().copies = 2;
    for (const auto& [cli, label] : {std::pair{opt.cli, std::string()}, {opt.other_cli, std::string("other ")}}) {
        if (cli.empty()) continue;
        for (unsigned jobs : opt.jobs) {
            std::vector<std::string> args{cli, "generate", "{kvn}", "--quiet", "--now", bench_now,
                                          "--jobs", std::to_string(jobs)};
            if (n > 32767) args.push_back("--no-row-limit");
            add(label + "korvane-cli --jobs " + std::to_string(jobs), label.substr(0, 1) + "j" + std::to_string(jobs),
                args);
        }
    }
    const bool jinja = !fields && !opt.jinja_script.empty() &&
                       std::system("python3 -c 'import jinja2' >/dev/null 2>&1") == 0;
    if (jinja) {
        add("python3 + jinja2", "jinja",
            {"/usr/bin/env", "python3", opt.jinja_script, db,
             (work / "templates" / "page.jinja").string(), "{site}", bench_date_text});
    } else if (!fields && !opt.jinja_script.empty()) {
        std::printf("(python3 with jinja2 not found: the Jinja2 script is left out)\n");
    }

    for (int round = 1; round <= opt.rounds; ++round) {
        // Each round starts with the next program, so that none always runs
        // first, after a pause, or right after the floor.
        for (std::size_t k = 0; k < all.size(); ++k) {
            auto& c = all[(k + static_cast<std::size_t>(round - 1)) % all.size()];
            const std::string folder =
                "site-" + std::to_string(n) + "-" + workload + "-" + c.key + "-" + std::to_string(round);
            const fs::path site = work / folder;
            fs::create_directories(site);
            const fs::path kvn = work / ("bench-" + c.key + ".kvn");
            write_settings(kvn, db_name, fields ? "templates-fields" : "templates", folder);
            std::vector<std::string> args = c.args;
            for (auto& a : args) {
                if (a == "{site}") a = site.string();
                if (a == "{kvn}") a = kvn.string();
            }
            ::sync();
            const run_result r = run_copies(args, c.copies);
            if (r.status != 0) {
                std::cerr << "korvane_bench: " << c.name << " ended with status " << r.status << "\n";
                return false;
            }
            c.runs.push_back(r);
        }
        const double floor_speed = all[0].runs.back().seconds;
        const double floor_one_speed = all[1].runs.back().seconds;
        auto cpu = [](const run_result& r) { return r.user_seconds + r.system_seconds; };
        const auto jobs_one = std::find_if(all.begin(), all.end(), [](const contender& c) { return c.key == "j1"; });
        for (auto& c : all) {
            if (jobs_one != all.end()) c.vs_jobs_one.push_back(jobs_one->runs.back().seconds / c.runs.back().seconds);
            if (jinja) c.vs_jinja.push_back(all.back().runs.back().seconds / c.runs.back().seconds);
            c.vs_floor.push_back(floor_speed / c.runs.back().seconds);
            c.vs_floor_one.push_back(floor_one_speed / c.runs.back().seconds);
            c.cpu_vs_floor.push_back(cpu(all[0].runs.back()) / std::max(1e-6, cpu(c.runs.back())));
        }
        if (round == 1) {
            const std::string prefix = "site-" + std::to_string(n) + "-" + workload + "-";
            const fs::path reference = work / (prefix + "floor-1");
            for (std::size_t i = 1; i < all.size(); ++i) {
                const long differ = pages_differing(reference, work / (prefix + all[i].key + "-1"));
                if (differ != 0) {
                    std::printf("warning: %ld pages of %s differ from the floor's\n", differ,
                                all[i].name.c_str());
                }
            }
        }
        // Memory is not a disk: a round's pages go as soon as they are checked.
        if (in_memory) remove_sites(work);
    }

    std::printf("\n%ld pages %s, %s workload, median of %d rounds; ratios within each round: pages/s\n"
                "over the floor's and over korvane-cli --jobs 1's, and CPU time (user + system) of the\n"
                "floor over the program's\n", n, where, workload.c_str(), opt.rounds);
    std::printf("%-28s %9s %11s %11s %9s %9s %11s %10s %9s %9s\n", "program", "pages/s", "user us/pg",
                "sys us/pg", "peak MiB", "vs floor", "vs floor 1", "CPU floor", "vs jobs 1", "vs jinja");
    for (auto& c : all) {
        std::vector<double> speed, user, sys, peak;
        for (const auto& r : c.runs) {
            speed.push_back(static_cast<double>(n) / r.seconds);
            user.push_back(r.user_seconds * 1e6 / static_cast<double>(n));
            sys.push_back(r.system_seconds * 1e6 / static_cast<double>(n));
            peak.push_back(static_cast<double>(r.peak_kib) / 1024.0);
        }
        std::printf("%-28s %9.0f %11.1f %11.1f %9.1f %9.2f %11.2f %10.2f %9.2f", c.name.c_str(),
                    median(speed), median(user), median(sys), median(peak), median(c.vs_floor),
                    median(c.vs_floor_one), median(c.cpu_vs_floor), median(c.vs_jobs_one));
        if (c.vs_jinja.empty()) {
            std::printf(" %9s\n", "-");
        } else {
            std::printf(" %9.2f\n", median(c.vs_jinja));
        }
    }
    // Two threads against what two processes get from this machine, round by round.
    auto find = [&](const std::string& key) -> const contender* {
        for (const auto& c : all) {
            if (c.key == key) return &c;
        }
        return nullptr;
    };
    auto scaling = [](const contender* one, const contender* two) {
        std::vector<double> ratios;
        for (std::size_t r = 0; r < one->runs.size() && r < two->runs.size(); ++r) {
            ratios.push_back(one->runs[r].seconds / two->runs[r].seconds);
        }
        return median(ratios);
    };
    const contender *j1 = find("j1"), *j2 = find("j2"), *w1 = find("floorw"), *w2 = find("floor2");
    if (j1 && j2 && w1 && w2) {
        std::printf("two over one: korvane-cli --jobs 2 over --jobs 1 %.2f; two floor processes over one "
                    "(whole pages) %.2f\n", scaling(j1, j2), scaling(w1, w2));
    }
    std::fflush(stdout);
    return true;
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
            else if (a == "--floor") opt.floor = next();
            else if (a == "--other-cli") opt.other_cli = next();
            else if (a == "--jinja") opt.jinja_script = next();
            else if (a == "--work") opt.work = next();
            else if (a == "--tmpfs") opt.tmpfs = next();
            else if (a == "--disk-pages") opt.disk_pages = parse_list<long>(next());
            else if (a == "--pages") opt.pages = parse_list<long>(next());
            else if (a == "--no-disk") opt.disk_pages.clear();
            else if (a == "--jobs") opt.jobs = parse_list<unsigned>(next());
            else if (a == "--workloads") opt.workloads = parse_words(next());
            else if (a == "--rounds") opt.rounds = std::max(1, std::stoi(next()));
            else if (a == "--settle") opt.settle_seconds = std::stoi(next());
            else if (a == "--help") { usage(); return 0; }
            else throw std::invalid_argument("unknown option " + a);
        }
    } catch (const std::exception& e) {
        std::cerr << "korvane_bench: " << e.what() << "\n";
        usage();
        return 2;
    }
    for (const auto& program : {opt.cli, opt.floor}) {
        if (!fs::exists(program)) {
            std::cerr << "korvane_bench: no " << program << " (build it first)\n";
            return 2;
        }
    }

    auto write_templates = [](const fs::path& work) {
        fs::create_directories(work / "templates");
        fs::create_directories(work / "templates-fields");
        std::ofstream(work / "templates" / "page.html", std::ios::binary) << page_template();
        std::ofstream(work / "templates-fields" / "page.html", std::ios::binary)
            << korvane::bench::fields_template();
        std::ofstream(work / "templates" / "page.jinja", std::ios::binary)
            << korvane::bench::jinja_template();
    };

    // In memory first: there the file system costs little and the ratios
    // judge the programs' CPU work.
    bool ok = true;
    if (!opt.pages.empty()) {
        const bool own_tmpfs = opt.tmpfs.empty();
        const fs::path memory =
            own_tmpfs ? fs::path("/dev/shm/korvane_bench-" + std::to_string(::getpid())) : opt.tmpfs;
        write_templates(memory);
        for (long n : opt.pages) {
            for (const auto& w : opt.workloads) {
                if (!(ok = measure(opt, memory, "in memory", n, w))) break;
            }
            if (!ok) break;
        }
        remove_sites(memory);
        if (own_tmpfs) fs::remove_all(memory);
    }
    if (!ok || opt.disk_pages.empty()) return ok ? 0 : 1;
    write_templates(opt.work);

    // Pages deleted right before a run make the run pay for them: ext4
    // checks every inode freed in the last 30 seconds before it reuses one
    // (and a disk mounted with discard trims what was freed), and with tens
    // of thousands freed that costs more than writing the pages. So pages are
    // removed at the end of a run, and a run waits until the file system has
    // settled since the last removal (its time is kept in the work folder).
    const fs::path removed_at = opt.work / "last-removal";
    auto remove_pages = [&] {
        const auto removed = remove_sites(opt.work);
        ::sync();
        std::ofstream(removed_at) << std::chrono::duration_cast<std::chrono::seconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count();
        return removed;
    };
    if (const auto removed = remove_sites(opt.work); removed > 0) {
        std::printf("removed %ju files of an unfinished run\n", removed);
        remove_pages();
    }
    long long last_removal = 0;
    std::ifstream(removed_at) >> last_removal;
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    if (const long long wait = last_removal + opt.settle_seconds - now; wait > 0) {
        std::printf("waiting %lld s for the file system to settle after removing pages\n", wait);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(wait));
    }
    for (long n : opt.disk_pages) {
        for (const auto& w : opt.workloads) {
            if (!(ok = measure(opt, opt.work, "on disk", n, w))) break;
        }
        if (!ok) break;
    }
    remove_pages();
    return ok ? 0 : 1;
}
