// SPDX-License-Identifier: Apache-2.0
// The self-updating progress line korvane-cli shows on a terminal: a bar, the
// percentage, pages per second and the file being written.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace korvane::cli {

// How the line is drawn: not at all (not a terminal, or not wanted), by
// carriage return and blanks (TERM=dumb: no escape sequences), or by
// carriage return and erase-to-end-of-line.
enum class progress_style { off, plain, ansi };

progress_style progress_style_for(bool wanted, bool is_terminal, const char* term);

// The tail of name in at most max_bytes bytes, "..." in front when cut; never
// cuts a UTF-8 character in two.
std::string shortened_name(const std::string& name, std::size_t max_bytes);

class progress_line {
public:
    // Draws only when out is a terminal and enabled is true.
    progress_line(std::FILE* out, bool enabled);

    // Redraws at most ten times a second, and always for the last page.
    void update(long done, long total, const std::string& file);
    // Clears the line so the summary starts on a clean one.
    void finish();

private:
    void erase();

    std::FILE* out_;
    progress_style style_;
    bool drawn_ = false;
    std::size_t drawn_width_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace korvane::cli
