// SPDX-License-Identifier: Apache-2.0
#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace korvane::cli {

progress_style progress_style_for(bool wanted, bool is_terminal, const char* term) {
    if (!wanted || !is_terminal) return progress_style::off;
    // A dumb terminal shows escape sequences as text.
    if (!term || !*term || std::strcmp(term, "dumb") == 0) return progress_style::plain;
    return progress_style::ansi;
}

std::string shortened_name(const std::string& name, std::size_t max_bytes) {
    if (name.size() <= max_bytes) return name;
    std::size_t from = name.size() - (max_bytes - 3);
    // UTF-8 continuation bytes are 10xxxxxx: step forward to a character's start.
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
    return "..." + name.substr(from);
}

progress_line::progress_line(std::FILE* out, bool enabled)
    : out_(out), style_(progress_style_for(enabled, ::isatty(::fileno(out)) == 1, std::getenv("TERM"))) {}

void progress_line::erase() {
    if (style_ == progress_style::ansi) {
        std::fputs("\r\033[K", out_);
    } else {
        std::fprintf(out_, "\r%*s\r", static_cast<int>(drawn_width_), "");
    }
}

void progress_line::update(long done, long total, const std::string& file) {
    if (style_ == progress_style::off || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;

    constexpr int width = 30;
    const int filled = static_cast<int>(static_cast<double>(done) * width / static_cast<double>(total));
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, '.');
    // Keep the line inside a common terminal width: long names lose their front.
    char text[160];
    const int length = std::snprintf(text, sizeof text, "[%s] %3ld%% %7.0f pages/s  %s", bar.c_str(),
                                     done * 100 / total, rate, shortened_name(file, 32).c_str());
    if (drawn_) erase();
    else std::fputc('\r', out_);
    std::fputs(text, out_);
    std::fflush(out_);
    drawn_width_ = length > 0 ? static_cast<std::size_t>(length) : 0;
    drawn_ = true;
}

void progress_line::finish() {
    if (drawn_) {
        erase();
        std::fflush(out_);
        drawn_ = false;
    }
}

}  // namespace korvane::cli
