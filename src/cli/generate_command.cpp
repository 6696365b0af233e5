#include "cli/generate_command.h"

#include <cstdio>

namespace korvane::cli {

int generate_command(const cli_options&) {
    std::fputs("korvane-cli: generation is not built yet\n", stderr);
    return exit_problems;
}

}  // namespace korvane::cli
