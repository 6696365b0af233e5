// SPDX-License-Identifier: Apache-2.0
// `korvane-cli check`: everything that would make a run go wrong, found
// before the run: the settings, the database and main SQL, the templates the
// main rows name, their tags, fields and section SQL.
#pragma once

#include "check/template_check.h"
#include "data/settings.h"

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

// The same for a record as it stands, which need not be saved: relative
// names are taken from base_folder ("": the current folder). Findings about a
// setting point at its key's line in the record's file while it has one, else
// at the line the key would take in a saved file, under "(unsaved settings)".
std::vector<finding> check_settings(const GenerationSettings& settings,
                                    const std::string& base_folder, long row_limit);

}  // namespace korvane::check
