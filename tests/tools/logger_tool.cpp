// Logs one message at each level, so tests can see what reaches the console.
#include "logger/Logger.h"

int main()
{
    LOG_DEBUG("debug message");
    LOG_INFO("info message");
    LOG_WARNING("warning message");
    LOG_ERROR("error message");
    return 0;
}
