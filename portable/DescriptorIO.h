#pragma once
// Whole reads and writes on an open file descriptor, each system call retried when a signal
// interrupts it. Safe from any thread (one thread at a time per descriptor).

#include <functional>
#include <string_view>

namespace platform {

// Writes all of `bytes` to `fd`; false, with errno set, when a write fails.
bool writeAll(int fd, std::string_view bytes);
// Reads `fd` to its end in blocks of up to 64 KiB, each handed to `take` in order. False when
// a read fails (errno set) or `take` returns false; true at the end of the file.
bool readBlocks(int fd, const std::function<bool(std::string_view block)>& take);

} // namespace platform
