// SPDX-License-Identifier: Apache-2.0
// Reading a file descriptor until a buffer is full or the file ends, as the
// template reader and the page writer both need it.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace korvane {

// Reads into data until size bytes are there or the file ends, going on when
// a signal interrupts a read. The number of bytes read (less than size only
// at the end of the file), or -1 when a read fails (errno says why).
ssize_t read_up_to(int fd, char* data, std::size_t size);

}  // namespace korvane
