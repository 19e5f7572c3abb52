#include "portable/DescriptorIO.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool readBlocks(int fd, const std::function<bool(std::string_view block)>& take)
{
    char buffer[64 * 1024];
    while (true) {
        const ssize_t read = ::read(fd, buffer, sizeof buffer);
        if (read < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (read == 0)
            return true;
        if (!take(std::string_view(buffer, static_cast<std::size_t>(read))))
            return false;
    }
}

} // namespace platform
