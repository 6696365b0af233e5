// SPDX-License-Identifier: Apache-2.0
// korvane-cli: generation and template checks without a window, for scripts,
// scheduled jobs and CI.
#include "cli/cli_options.h"
#include "cli/generate_command.h"
#include "cli/live_program.h"
#include "cli/process_setup.h"
#include "cli/json_report.h"
#include "cli/standard_output.h"
#include "check/settings_check.h"
#include "generator/template_syntax.h"
#include "korvane/version.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace korvane::cli;
using namespace korvane::check;

int check_command(const cli_options& options) {
    const auto outcome = check_settings_file(options.settings_file, options.no_row_limit ? 0
                                                              : korvane::generator::syntax::classic_row_limit);
    if (!outcome.settings_read) {
        std::fprintf(stderr, "korvane-cli: cannot read the settings file '%s'\n",
                     options.settings_file.c_str());
        return exit_settings_unreadable;
    }
    // Files outside their folders are allowed unless the check is for a confined run.
    const bool problems = std::any_of(outcome.findings.begin(), outcome.findings.end(),
                                      [&](const finding& f) { return !f.path_warning || options.confine; });
    const int code = problems ? exit_problems : exit_ok;
    if (options.format == report_format::json) {
        write_standard_output(check_json(options.settings_file, code, outcome.findings));
    } else {
        for (const auto& f : outcome.findings) write_standard_output(format_finding(f) + "\n");
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    return run_cli_program(argc, argv, [argv](const cli_options& options) -> int {
        switch (options.what) {
            case command::help:
                std::fputs(usage_text().c_str(), stdout);
                return exit_ok;
            case command::version:
                std::printf("korvane-cli (Korvane) %s\n%s\n"
                            "This is free software: you are free to change and redistribute it.\n"
                            "There is NO WARRANTY, to the extent permitted by law.\n",
                            korvane::package_version_text, korvane::licence_text);
                return exit_ok;
            case command::check:
                return check_command(options);
            case command::generate:
                return generate_command(options);
            case command::watch:
            case command::serve:
                return run_live_program(argv);
        }
        return exit_problems;
    });
}
