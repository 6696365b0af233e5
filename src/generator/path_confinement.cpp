// SPDX-License-Identifier: Apache-2.0
#include "generator/path_confinement.h"

#include "generator/output_lock.h"

#include <sys/stat.h>

#include <cerrno>

namespace korvane::generator {

path_escape find_escape(const std::string& path_setting, const std::string& name,
                        const std::string& base_folder, bool read_through_name) {
    path_escape escape;
    escape.folder = output_folder_of(path_setting, base_folder);
    const std::size_t slash = path_setting.find_last_of('/');
    // What follows the folder: the rest of the setting and the row's value.
    const std::string rest = name.substr(slash == std::string::npos ? 0 : slash + 1);
    if (slash == std::string::npos && rest.starts_with('/')) {
        escape.kind = escape_kind::outside_folder;
        return escape;
    }
    // The names below the folder, one at a time, as the system walks them:
    // every one that exists is looked at before ".." can step back over it,
    // so a link cannot hide behind a "..".
    std::string at = escape.folder;
    int depth = 0;
    bool exists = true;
    for (std::size_t from = 0; from <= rest.size();) {
        std::size_t to = rest.find('/', from);
        if (to == std::string::npos) to = rest.size();
        const std::string part = rest.substr(from, to - from);
        const bool last = to == rest.size();
        from = to + 1;
        if (part.empty() || part == ".") continue;
        at += (at.ends_with('/') ? "" : "/") + part;
        if (part == "..") {
            if (--depth < 0) {
                escape.kind = escape_kind::outside_folder;
                return escape;
            }
            continue;
        }
        ++depth;
        if (!exists || (last && !read_through_name)) continue;
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0) {
            // Nothing below a missing name can be a link; other errors leave
            // the name to the open that follows, which reports them.
            if (errno == ENOENT || errno == ENOTDIR) exists = false;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            escape.kind = escape_kind::through_link;
            escape.link = at;
            return escape;
        }
    }
    return escape;
}

namespace {

// Four lines of the report for one file that escapes; false when it does.
bool report_escape(const path_escape& escape, const char* what, const char* label,
                   const std::string& file, log_errors& report) {
    if (escape.kind == escape_kind::none) return true;
    const bool outside = escape.kind == escape_kind::outside_folder;
    report.add_error_line(std::string(what) +
                          (outside ? " outside its folder, row refused:" : " behind a symbolic link, row refused:"));
    report.add_error_line(std::string("    ") + label + ": " + file);
    report.add_error_line(outside ? "    Folder: " + escape.folder : "    Link: " + escape.link);
    report.add_blank_error_line();
    return false;
}

}  // namespace

bool check_row_confined(const std::string& template_path, const std::string& template_file,
                        const std::string& generated_path, const std::string& output_file,
                        const std::string& base_folder, log_errors& report) {
    const bool template_ok =
        report_escape(find_escape(template_path, template_file, base_folder, true), "Template",
                      "Template", template_file, report);
    const bool page_ok = report_escape(find_escape(generated_path, output_file, base_folder, false),
                                       "Page", "File", output_file, report);
    return template_ok && page_ok;
}

}  // namespace korvane::generator
