// SPDX-License-Identifier: Apache-2.0
// The one page being written: its bytes are collected in memory and reach
// the disk at the close, all at once, so that a page is its old bytes or its
// new bytes at every instant.
#pragma once

#include <string>
#include <string_view>

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
    // A page created at the open and never closed is removed.
    ~page_writer();
    page_writer(const page_writer&) = delete;
    page_writer& operator=(const page_writer&) = delete;

    // Prepares the page: false with a reason for a missing folder, a name that
    // is a folder, a read-only file, a folder without write permission, or an
    // output already open. Nothing is written before the close.
    bool open(const std::string& filename, std::string& error);
    bool is_open() const { return open_; }
    // The page's bytes so far; the caller appends to them while it is open.
    std::string& bytes() { return page_; }
    // Writes the collected bytes as the page, unless it already holds exactly
    // these bytes. The bytes are emptied.
    close_result close();

private:
    close_result write_page();
    close_result write_new_page();

    bool open_ = false;
    std::string output_path_;      // the page being written (symbolic links resolved)
    std::string output_folder_;    // its folder, where the temporary file goes
    bool target_existed_ = false;  // the page was there at the open
    int new_page_fd_ = -1;         // the new page created at the open
    std::string page_;             // the completed lines of the page
    std::string compare_bytes_;    // the page already there, when it may be unchanged
    std::string temporary_path_;
};

}  // namespace korvane
