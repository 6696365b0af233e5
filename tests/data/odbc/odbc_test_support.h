// SPDX-License-Identifier: Apache-2.0
// A private ODBC set-up for the tests: a temporary odbcinst.ini and odbc.ini
// (ODBCSYSINI, ODBCINI) naming an SQLite3 data source and PostgreSQL ones,
// and PostgreSQL servers started on private Unix sockets.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::test {

// Data source names the odbc.ini of the sandbox defines.
inline constexpr const char* sqlite_dsn = "korvane_sqlite";
inline constexpr const char* postgres_dsn = "korvane_pg";        // the suite's running server
inline constexpr const char* postgres_lost_dsn = "korvane_pg_lost";  // a server a test stops
inline constexpr const char* postgres_down_dsn = "korvane_pg_down";  // no server ever runs there

// The temporary tree the whole test program works in; set up once, before
// the first ODBC call, by the global test environment.
struct odbc_sandbox {
    std::filesystem::path root;
    std::string sqlite_file;            // the file korvane_sqlite names
    std::filesystem::path postgres_dir; // server folder (data and socket) of korvane_pg
    std::filesystem::path postgres_lost_dir;
    int postgres_port = 5432;
};
const odbc_sandbox& sandbox();

// Registers the environment that creates the sandbox (call from main).
void add_odbc_environment();

// The text of tests/data/odbc/<name>: the sources' tables as SQL.
std::string sql_file(const std::string& name);

// One PostgreSQL 15 cluster in its own folder, reached by a Unix socket in
// that folder only. Under root the server runs as the postgres user.
class postgres_server {
public:
    postgres_server(std::filesystem::path dir, int port);
    ~postgres_server();  // stops the server and removes the folder
    postgres_server(const postgres_server&) = delete;
    postgres_server& operator=(const postgres_server&) = delete;

    // initdb, start, then run setup_sql in the database "postgres"; "" or
    // what went wrong (with the tool's output).
    std::string start(const std::string& setup_sql);
    std::string run_sql(const std::string& sql);
    std::string stop();
    // A connection string for psqlODBC that reaches this server.
    std::string connection() const;

private:
    std::string run(const std::vector<std::string>& args);

    std::filesystem::path dir_;
    int port_;
    bool running_ = false;
};

}  // namespace korvane::test
