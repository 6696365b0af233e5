// SPDX-License-Identifier: Apache-2.0
// korvane-cli run as a child process, as a script runs it, for the tests of
// the tool as a whole. Needs KORVANE_CLI, the path of the program.
#pragma once

#ifndef KORVANE_CLI
#error "KORVANE_CLI must name the korvane-cli program"
#endif

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace korvane::test {

struct cli_result {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out, err;
};

// Runs korvane-cli with args (no shell in between) and standard input empty.
// Its standard output and error pass through files in folder.
inline cli_result run_cli(const std::filesystem::path& folder, std::vector<std::string> args) {
    args.insert(args.begin(), KORVANE_CLI);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out_file = (folder / "stdout.txt").string();
    const std::string err_file = (folder / "stderr.txt").string();
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls that are safe between fork and exec.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        ::execv(KORVANE_CLI, argv.data());
        ::_exit(127);
    }
    cli_result result;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    auto whole = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    result.out = whole(out_file);
    result.err = whole(err_file);
    return result;
}

}  // namespace korvane::test
