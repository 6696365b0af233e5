#include "cli/progress_line.h"

#include <unistd.h>

namespace korvane::cli {

progress_line::progress_line(std::FILE* out, bool enabled)
    : out_(out), enabled_(enabled && ::isatty(::fileno(out)) == 1) {}

void progress_line::update(long done, long total, const std::string& file) {
    if (!enabled_ || total <= 0) return;
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
    std::string name = file;
    if (name.size() > 32) name = "..." + name.substr(name.size() - 29);
    std::fprintf(out_, "\r\033[K[%s] %3ld%% %7.0f pages/s  %s", bar.c_str(), done * 100 / total, rate,
                 name.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void progress_line::finish() {
    if (drawn_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        drawn_ = false;
    }
}

}  // namespace korvane::cli
