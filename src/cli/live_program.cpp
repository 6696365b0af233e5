// SPDX-License-Identifier: Apache-2.0
#include "cli/live_program.h"

#include "cli/cli_options.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace korvane::cli {

int run_live_program(char** argv) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = ec ? std::filesystem::path(".") : self.parent_path();
    // Beside korvane-cli in a build tree; where the package puts it once installed.
    const std::filesystem::path candidates[] = {folder / "korvane-cli-live",
                                                folder / KORVANE_LIVE_FROM_BINDIR};
    for (const auto& program : candidates) {
        ::execv(program.c_str(), argv);
        const int error_number = errno;  // execv returns only when it failed
        if (error_number != ENOENT) {
            std::fprintf(stderr, "korvane-cli: cannot start %s: %s\n", program.c_str(),
                         std::strerror(error_number));
            return exit_problems;
        }
    }
    std::fprintf(stderr, "korvane-cli: cannot find korvane-cli-live, which watch and serve need, "
                         "beside %s or at %s\n",
                 self.c_str(), candidates[1].lexically_normal().c_str());
    return exit_problems;
}

}  // namespace korvane::cli
