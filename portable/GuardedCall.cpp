#include "portable/GuardedCall.h"

#include "logger/Logger.h"

#include <exception>
#include <string>

namespace platform {

void logEscapedException(std::string_view where) noexcept
{
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            LOG_ERROR(std::string(where) + " threw: " + e.what());
        } catch (...) {
            LOG_ERROR(std::string(where) + " threw");
        }
    } catch (...) {
        // Logging itself failed (out of memory): the exception is dropped all the same.
    }
}

} // namespace platform
