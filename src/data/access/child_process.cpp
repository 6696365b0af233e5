// SPDX-License-Identifier: Apache-2.0
#include "data/access/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace korvane::data::access {
namespace {

// Resident and virtual size of a process in bytes, from /proc; 0 when unknown.
void memory_of(pid_t pid, std::uint64_t& resident, std::uint64_t& virtual_size) {
    resident = virtual_size = 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
    std::FILE* f = std::fopen(path, "r");
    if (f == nullptr) return;
    unsigned long long pages = 0, rss = 0;
    if (std::fscanf(f, "%llu %llu", &pages, &rss) == 2) {
        const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        virtual_size = pages * page;
        resident = rss * page;
    }
    std::fclose(f);
}

// AddressSanitizer keeps freed memory in quarantine, up to 256 MB.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t sanitizer_slack = std::uint64_t{1} << 30;
#else
constexpr std::uint64_t sanitizer_slack = 0;
#endif

// CPU time a process has used, in clock ticks, with its state letter ('D'
// while it waits for the disk); -1 when unknown.
long long cpu_ticks(pid_t pid, char& state) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE* f = std::fopen(path, "r");
    if (f == nullptr) return -1;
    char line[1024];
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    const char* p = read ? std::strrchr(line, ')') : nullptr;  // the name may hold blanks
    unsigned long long user = 0, system = 0;
    if (p == nullptr || std::sscanf(p + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &user,
                                    &system) != 3) {
        return -1;
    }
    return static_cast<long long>(user + system);
}

[[noreturn]] void child_main(const std::function<int()>& work, const child_limits& limits, pid_t parent,
                             std::uint64_t virtual_size) {
    // Ctrl-C reaches the whole process group; the child simply ends.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU}) signal(s, SIG_DFL);
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(111);

    // The library's own messages are not the user's to read.
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        dup2(null_fd, 0);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        if (null_fd > 2) close(null_fd);
    }

    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    const rlimit cpu{limits.cpu_seconds, limits.cpu_seconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space; there the
    // parent's watch on the resident size is the only memory limit.
    const rlim_t address_space = virtual_size + limits.memory_bytes;
    const rlimit as{address_space, address_space};
    setrlimit(RLIMIT_AS, &as);
#else
    (void)virtual_size;
#endif

    int status = 1;
    try {
        status = work();
    } catch (...) {
        status = 1;
    }
    // _exit: the parent's buffers, atexit handlers and destructors are the
    // parent's business.
    _exit(status & 0xff);
}

// A child forked while another thread held a lock (iconv's, for one) waits
// for it for ever without using the CPU; reading a file uses the CPU or
// waits in the disk state.
bool stalled(pid_t pid, long long& last_ticks, std::chrono::steady_clock::time_point& last_progress) {
    const auto now = std::chrono::steady_clock::now();
    char state = '?';
    const long long ticks = cpu_ticks(pid, state);
    if (ticks != last_ticks || state == 'D') {
        last_ticks = ticks;
        last_progress = now;
        return false;
    }
    return now - last_progress > std::chrono::seconds(2);
}

}  // namespace

child_outcome run_in_child(const std::function<int()>& work, const child_limits& limits,
                           stop_token stop, int* exit_status) {
    std::uint64_t base_resident = 0, base_virtual = 0;
    memory_of(getpid(), base_resident, base_virtual);
    const pid_t parent = getpid();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return child_outcome::cannot_start;
    if (pid == 0) child_main(work, limits, parent, base_virtual);

    const auto started = std::chrono::steady_clock::now();
    long pause_ns = 1'000'000;
    long long last_ticks = -1;
    auto last_progress = started;
    child_outcome verdict = child_outcome::failed;
    bool killed = false;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (killed) return verdict;
            // Ctrl-C reaches the child too, and may end it first.
            if (stop.stop_requested()) return child_outcome::stopped;
            if (WIFEXITED(status)) {
                if (exit_status != nullptr) *exit_status = WEXITSTATUS(status);
                return WEXITSTATUS(status) == 0 ? child_outcome::succeeded : child_outcome::failed;
            }
            if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
                return child_outcome::over_limit;
            }
            return child_outcome::failed;
        }
        if (done < 0 && errno != EINTR) return killed ? verdict : child_outcome::failed;
        if (!killed) {
            std::uint64_t resident = 0, virtual_size = 0;
            memory_of(pid, resident, virtual_size);
            if (stop.stop_requested()) {
                verdict = child_outcome::stopped;
                killed = true;
            } else if (stalled(pid, last_ticks, last_progress)) {
                verdict = child_outcome::stalled;
                killed = true;
            } else if (std::chrono::steady_clock::now() - started > std::chrono::seconds(limits.wall_seconds) ||
                       resident > base_resident + limits.memory_bytes + sanitizer_slack) {
                verdict = child_outcome::over_limit;
                killed = true;
            }
            if (killed) kill(pid, SIGKILL);
        }
        const timespec pause{0, pause_ns};
        nanosleep(&pause, nullptr);
        if (pause_ns < 20'000'000) pause_ns *= 2;
    }
}

}  // namespace korvane::data::access
