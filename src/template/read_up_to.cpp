// SPDX-License-Identifier: Apache-2.0
#include "template/read_up_to.h"

#include <unistd.h>

#include <cerrno>

namespace korvane {

ssize_t read_up_to(int fd, char* data, std::size_t size) {
    std::size_t used = 0;
    while (used < size) {
        const ssize_t n = ::read(fd, data + used, size - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(used);
}

}  // namespace korvane
