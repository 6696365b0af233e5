// The self-updating progress line korvane-cli shows on a terminal: a bar, the
// percentage, pages per second and the file being written.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace korvane::cli {

class progress_line {
public:
    // Draws only when out is a terminal and enabled is true.
    progress_line(std::FILE* out, bool enabled);

    // Redraws at most ten times a second, and always for the last page.
    void update(long done, long total, const std::string& file);
    // Clears the line so the summary starts on a clean one.
    void finish();

private:
    std::FILE* out_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace korvane::cli
