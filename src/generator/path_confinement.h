// SPDX-License-Identifier: Apache-2.0
// Whether a file a row names stays in its folder. Rows may name any file
// ("../", absolute names); a run with run_options::confine refuses the rows
// whose template or page leaves its folder or passes a symbolic link below it,
// and the check lists them. The folder is what the settings name (the
// template or generated path up to its last "/"): links above it are the
// user's own and are followed.
#pragma once

#include "ports/log_errors.h"

#include <string>

namespace korvane::generator {

enum class escape_kind {
    none,
    outside_folder,  // "../" past the folder, or an absolute name where the settings give no folder
    through_link,    // a symbolic link below the folder (for a template, its own name too)
};

struct path_escape {
    escape_kind kind = escape_kind::none;
    std::string folder;  // the folder the file should stay in, as the run names it
    std::string link;    // through_link: the link found
};

// name is path_setting (template_path or generated_path) followed by the
// row's value; relative names are taken from base_folder. A link at the
// file's own name counts only when read_through_name: a template is read
// through it, a page replaces it.
path_escape find_escape(const std::string& path_setting, const std::string& name,
                        const std::string& base_folder, bool read_through_name);

// The report lines of a confined run for a row whose template or page
// escapes its folder; false when one does (the row is refused).
bool check_row_confined(const std::string& template_path, const std::string& template_file,
                        const std::string& generated_path, const std::string& output_file,
                        const std::string& base_folder, log_errors& report);

}  // namespace korvane::generator
