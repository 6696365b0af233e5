// `korvane-cli check`: everything that would make a run go wrong, found
// before the run: the settings, the database and main SQL, the templates the
// main rows name, their tags, fields and section SQL.
#pragma once

#include "check/template_check.h"

#include <string>
#include <vector>

namespace korvane::check {

struct check_outcome {
    bool settings_read = false;  // false: the settings file could not be read
    std::vector<finding> findings;
};

// row_limit: rows of the main result beyond it are reported, as a run would
// skip them all (0: no limit).
check_outcome check_settings_file(const std::string& settings_path, long row_limit);

}  // namespace korvane::check
