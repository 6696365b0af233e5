// SPDX-License-Identifier: Apache-2.0
#include "odbc_test_support.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace korvane::test {
namespace {

namespace fs = std::filesystem;

const fs::path postgres_bin = "/usr/lib/postgresql/15/bin";

odbc_sandbox the_sandbox;

// postgres refuses to run as root: there the cluster belongs to the postgres
// user and every tool runs as it.
bool as_root() { return geteuid() == 0; }

std::string hand_to_postgres_user(const fs::path& dir) {
    if (!as_root()) return {};
    const passwd* pw = getpwnam("postgres");
    if (pw == nullptr) return "running as root needs the user 'postgres' to start PostgreSQL";
    if (chown(dir.c_str(), pw->pw_uid, pw->pw_gid) != 0) return "cannot hand " + dir.string() + " to postgres";
    return {};
}

class sandbox_environment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "korvane-odbc-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot create a temporary folder";
        odbc_sandbox& s = the_sandbox;
        s.root = pattern;
        // The postgres user must reach its folders below the root.
        chmod(s.root.c_str(), 0755);
        fs::create_directories(s.root / "sys");
        fs::create_directories(s.root / "user");
        s.sqlite_file = (s.root / "pages.sqlite").string();
        s.postgres_dir = s.root / "pg";
        s.postgres_lost_dir = s.root / "pg_lost";
        fs::create_directories(s.root / "pg_down");

        // With ODBCSYSINI set the system odbcinst.ini is not read.
        write_file((s.root / "sys" / "odbcinst.ini").string(),
                   "[SQLite3]\nDriver=libsqlite3odbc.so\n\n"
                   "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n");
        const auto pg_source = [&](const char* name, const fs::path& dir) {
            return std::string("[") + name + "]\nDriver=PostgreSQL Unicode\nServername=" + dir.string() +
                   "\nPort=" + std::to_string(s.postgres_port) +
                   "\nDatabase=postgres\nUsername=korvane\nBoolsAsChar=0\n\n";
        };
        write_file((s.root / "user" / "odbc.ini").string(),
                   std::string("[") + sqlite_dsn + "]\nDriver=SQLite3\nDatabase=" + s.sqlite_file + "\n\n" +
                       pg_source(postgres_dsn, s.postgres_dir) +
                       pg_source(postgres_lost_dsn, s.postgres_lost_dir) +
                       pg_source(postgres_down_dsn, s.root / "pg_down"));
        setenv("ODBCSYSINI", (s.root / "sys").c_str(), 1);
        setenv("ODBCINI", (s.root / "user" / "odbc.ini").c_str(), 1);
    }

    void TearDown() override {
        std::error_code ignored;
        if (!the_sandbox.root.empty()) fs::remove_all(the_sandbox.root, ignored);
    }
};

}  // namespace

const odbc_sandbox& sandbox() { return the_sandbox; }

void add_odbc_environment() { ::testing::AddGlobalTestEnvironment(new sandbox_environment); }

std::string sql_file(const std::string& name) {
    return read_file(KORVANE_SOURCE_DIR "/tests/data/odbc/" + name);
}

postgres_server::postgres_server(fs::path dir, int port) : dir_(std::move(dir)), port_(port) {}

postgres_server::~postgres_server() {
    stop();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

// Runs a PostgreSQL tool with its output in a log file; "" or the tool's
// complaint.
std::string postgres_server::run(const std::vector<std::string>& args) {
    std::vector<std::string> full;
    if (as_root()) full = {"runuser", "-u", "postgres", "--"};
    full.push_back((postgres_bin / args.front()).string());
    full.insert(full.end(), args.begin() + 1, args.end());

    std::vector<char*> argv;
    for (std::string& a : full) argv.push_back(a.data());
    argv.push_back(nullptr);

    const fs::path log = dir_.parent_path() / (dir_.filename().string() + "-tool.log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return "cannot start " + full.front();
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return "lost " + full.front();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    return args.front() + " failed: " + read_file(log.string());
}

std::string postgres_server::start(const std::string& setup_sql) {
    if (!fs::exists(postgres_bin / "initdb") || !fs::exists(postgres_bin / "pg_ctl")) {
        return "PostgreSQL 15 is not installed: " + postgres_bin.string() + " has no initdb/pg_ctl";
    }
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (ec) return "cannot create " + dir_.string();
    if (std::string e = hand_to_postgres_user(dir_); !e.empty()) return e;

    const std::string data = (dir_ / "data").string();
    if (std::string e = run({"initdb", "-D", data, "-A", "trust", "-U", "korvane", "-E", "UTF8", "--no-locale",
                             "--no-sync", "--no-instructions"});
        !e.empty()) {
        return e;
    }
    // A socket in the private folder only, no TCP at all.
    const std::string options = "-k " + dir_.string() + " -p " + std::to_string(port_) +
                                " -c listen_addresses='' -c fsync=off";
    if (std::string e = run({"pg_ctl", "-D", data, "-o", options, "-l", (dir_ / "server.log").string(), "-w",
                             "-t", "30", "start"});
        !e.empty()) {
        return e + read_file((dir_ / "server.log").string());
    }
    running_ = true;
    return run_sql(setup_sql);
}

std::string postgres_server::run_sql(const std::string& sql) {
    const fs::path script = dir_ / "script.sql";
    write_file(script.string(), sql);
    return run({"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", dir_.string(), "-p", std::to_string(port_), "-U",
                "korvane", "-d", "postgres", "-f", script.string()});
}

std::string postgres_server::connection() const {
    return "Driver=PostgreSQL Unicode;Servername=" + dir_.string() + ";Port=" + std::to_string(port_) +
           ";Database=postgres;Username=korvane;BoolsAsChar=0";
}

std::string postgres_server::stop() {
    if (!running_) return {};
    running_ = false;
    return run({"pg_ctl", "-D", (dir_ / "data").string(), "-m", "immediate", "-w", "stop"});
}

}  // namespace korvane::test
