#include "logger/Logger.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

Logger::Level levelFromEnvironment()
{
    const char* value = std::getenv("WEBCONTAINER_LOG");
    if (!value)
        return Logger::Level::Off;
    if (std::strcmp(value, "debug") == 0)
        return Logger::Level::Debug;
    if (std::strcmp(value, "info") == 0)
        return Logger::Level::Info;
    if (std::strcmp(value, "warning") == 0)
        return Logger::Level::Warning;
    if (std::strcmp(value, "error") == 0)
        return Logger::Level::Error;
    return Logger::Level::Off;
}

spdlog::level::level_enum toSpdlog(Logger::Level level)
{
    switch (level) {
    case Logger::Level::Debug: return spdlog::level::debug;
    case Logger::Level::Info: return spdlog::level::info;
    case Logger::Level::Warning: return spdlog::level::warn;
    case Logger::Level::Error: return spdlog::level::err;
    case Logger::Level::Off: break;
    }
    return spdlog::level::off;
}

} // namespace

Logger::Logger() : logger_(std::make_shared<spdlog::logger>("webcontainer"))
{
    // Date, level, file, line and function with every message.
    logger_->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] %s:%# %!: %v");
    consoleLevel_ = levelFromEnvironment();
    if (consoleLevel_ != Level::Off) {
        auto console = std::make_shared<spdlog::sinks::stderr_sink_mt>();
        console->set_level(toSpdlog(consoleLevel_));
        logger_->sinks().push_back(console);
    }
    updateLevel();
}

Logger& Logger::shared()
{
    static Logger* logger = new Logger();
    return *logger;
}

Logger& sharedLogger()
{
    return Logger::shared();
}

void Logger::updateLevel()
{
    // A test sink wants every message; otherwise the console's level decides.
    const Level lowest = testSinks_ > 0 ? Level::Debug : consoleLevel_;
    logger_->set_level(toSpdlog(lowest));
    level_ = lowest;
}

void Logger::log(Level level, const std::string& message, const char* functionName, const char* fileName,
                 int lineNumber)
{
    if (!isEnabled(level))
        return;
    std::shared_lock lock(sinksMutex_);
    logger_->log(spdlog::source_loc{fileName, lineNumber, functionName}, toSpdlog(level), message);
}

void Logger::debug(const std::string& message, const char* functionName, const char* fileName, int lineNumber)
{
    log(Level::Debug, message, functionName, fileName, lineNumber);
}

void Logger::info(const std::string& message, const char* functionName, const char* fileName, int lineNumber)
{
    log(Level::Info, message, functionName, fileName, lineNumber);
}

void Logger::warning(const std::string& message, const char* functionName, const char* fileName, int lineNumber)
{
    log(Level::Warning, message, functionName, fileName, lineNumber);
}

void Logger::error(const std::string& message, const char* functionName, const char* fileName, int lineNumber)
{
    log(Level::Error, message, functionName, fileName, lineNumber);
}

void Logger::addSinkForTesting(spdlog::sink_ptr sink)
{
    sink->set_level(spdlog::level::debug);
    std::unique_lock lock(sinksMutex_);
    logger_->sinks().push_back(std::move(sink));
    ++testSinks_;
    updateLevel();
}

void Logger::removeSinkForTesting(const spdlog::sink_ptr& sink)
{
    std::unique_lock lock(sinksMutex_);
    auto& sinks = logger_->sinks();
    const auto before = sinks.size();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink), sinks.end());
    testSinks_ -= static_cast<int>(before - sinks.size());
    updateLevel();
}
