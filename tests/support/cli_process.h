// SPDX-License-Identifier: Apache-2.0
// korvane-cli run as a child process, as a script runs it, for the tests of
// the tool as a whole. Needs KORVANE_CLI, the path of the program.
#pragma once

#ifndef KORVANE_CLI
#error "KORVANE_CLI must name the korvane-cli program"
#endif

#include "sqlite_test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <vector>

namespace korvane::test {

struct cli_result {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out, err;
};

// Where a started korvane-cli writes, and what bounds it.
struct cli_io {
    std::string out = "/dev/null", err = "/dev/null";  // files for standard output and error
    int out_fd = -1;                                   // else standard output on this descriptor
    rlim_t memory_limit = 0;                           // address space; 0: no bound
};

// Starts korvane-cli with args (no shell in between), standard input empty.
inline pid_t start_cli(std::vector<std::string> args, const cli_io& io = {}) {
    args.insert(args.begin(), KORVANE_CLI);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls that are safe between fork and exec.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = io.out_fd >= 0 ? io.out_fd : ::open(io.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(io.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        const rlimit limit{io.memory_limit, io.memory_limit};
        if (io.memory_limit != 0) ::setrlimit(RLIMIT_AS, &limit);
        ::execv(KORVANE_CLI, argv.data());
        ::_exit(127);
    }
    return child;
}

// The exit status, or -1 when it did not exit normally (a signal ended it).
inline int wait_cli(pid_t child) {
    int status = 0;
    if (child <= 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs it to its end; its standard output and error pass through files in
// folder. With ready, it is sent SIGTERM once ready() holds (or after five
// seconds).
inline cli_result run_cli(const std::filesystem::path& folder, std::vector<std::string> args,
                          const std::function<bool()>& ready = {}) {
    const cli_io io{(folder / "stdout.txt").string(), (folder / "stderr.txt").string()};
    const pid_t child = start_cli(std::move(args), io);
    if (ready) {
        for (int i = 0; i < 500 && !ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(child, SIGTERM);
    }
    const int status = wait_cli(child);
    return {status, read_file(io.out), read_file(io.err)};
}

// A settings file folder/name for a site on the SQLite file db: main is the
// main SQL, fields tpl and out, templates from the folder templates, pages
// into the folder pages (both made).
inline std::string write_settings(const std::filesystem::path& folder, const std::string& name,
                                  const std::string& db, const std::string& main,
                                  const std::string& pages = "out/", const std::string& templates = "templates/") {
    std::filesystem::create_directories(folder / templates);
    std::filesystem::create_directories(folder / pages);
    write_file((folder / name).string(), "db_type=0\r\ndb_name=" + db + "\r\nmain_type=2\r\nmain_name=" + main +
                                             "\r\ntemplate_field=tpl\r\ngenerated_field=out\r\ntemplate_path=" +
                                             templates + "\r\ngenerated_path=" + pages + "\r\n");
    return (folder / name).string();
}

}  // namespace korvane::test
