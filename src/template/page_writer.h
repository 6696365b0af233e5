// SPDX-License-Identifier: Apache-2.0
// The one page being written: its bytes are collected in memory and reach
// the disk at the close, all at once, so that a page is its old bytes or its
// new bytes at every instant.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <unordered_set>

namespace korvane {

enum class close_status {
    written,    // the page was replaced (or created)
    unchanged,  // the page already held these bytes; the file was not touched
    failed,     // the page could not be written; the file there is as it was
    not_open,   // no output was open
};

struct close_result {
    close_status status = close_status::not_open;
    std::string error;  // why, when failed
};

class page_writer {
public:
    page_writer() = default;
    ~page_writer();
    page_writer(const page_writer&) = delete;
    page_writer& operator=(const page_writer&) = delete;

    // Prepares the page: false with a reason for a missing folder, a name that
    // is a folder or a device, a read-only file, a folder without write
    // permission, or an output already open. Nothing is written before the
    // close. The first open in a folder removes the temporary files
    // (".korvane-" and 12 letters or digits ".tmp") older than this process's
    // first page, which only a killed run leaves.
    bool open(const std::string& filename, std::string& error);
    bool is_open() const { return open_; }
    // The page's bytes so far; the caller appends to them while it is open.
    std::string& bytes() { return page_; }
    const std::string& bytes() const { return page_; }
    // Writes the collected bytes as the page, unless it already holds exactly
    // these bytes: into a file without a name in the page's folder (or a
    // temporary name where the file system has no such files), which then
    // takes the page's name, or is renamed over the page there. A replaced
    // page keeps its mode, group and (where allowed) owner; a symbolic link
    // at the page's name is replaced, the file it points to is untouched.
    // The bytes are emptied.
    close_result close();

private:
    // found: what lstat gave for the page's name just before, if the
    // caller looked; null to look here.
    close_result write_page(const struct stat* found = nullptr);
    // A page whose name was free when its folder was listed: linked in under
    // that name at once, or handed to write_page when the name was taken
    // meanwhile.
    close_result link_new_page();
    // Keeps folder open and its names listed while the pages go there, so a
    // new page costs no lookup of its whole path; false when it cannot be
    // opened.
    bool use_folder(const std::string& folder);
    void forget_folder();

    bool open_ = false;
    std::string output_path_;      // the page being written
    std::string output_folder_;    // its folder, where the temporary file goes
    bool target_existed_ = false;  // something was at the page's name at the open
    int anonymous_fd_ = -1;        // the file without a name the page goes into
    std::string page_;             // the completed lines of the page
    std::string compare_bytes_;    // the page already there, when it may be unchanged
    std::string temporary_path_;
    bool bytes_written_ = false;   // page_ is already in anonymous_fd_

    // The folder of the last page, open, and the names it held when it was
    // opened (listed_complete_ false: too many to keep, every page looks).
    std::string previous_folder_;  // the folder of the page before
    std::string folder_path_;
    int folder_fd_ = -1;
    std::unordered_set<std::string> listed_;
    bool listed_complete_ = false;
    bool new_name_ = false;  // the open found the page's name free in the listing
    std::string name_;       // the page's name in its folder
};

}  // namespace korvane
