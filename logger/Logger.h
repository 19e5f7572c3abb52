#pragma once
// The one logger. Every call carries the message and the place of the call (function, file,
// line); the LOG_* macros fill in the place and build the message only when its level is on.
//
// Silent by default: no level is enabled and nothing is written anywhere. Developers turn
// console output (standard error) on with WEBCONTAINER_LOG=debug|info|warning|error.
// Safe from any thread.

#include <spdlog/sinks/sink.h>

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>

namespace spdlog {
class logger;
}

class Logger {
public:
    enum class Level { Debug = 0, Info, Warning, Error, Off };

    static Logger& shared();

    bool isEnabled(Level level) const { return level >= level_.load(std::memory_order_relaxed) && level != Level::Off; }

    void debug(const std::string& message, const char* functionName, const char* fileName, int lineNumber);
    void info(const std::string& message, const char* functionName, const char* fileName, int lineNumber);
    void warning(const std::string& message, const char* functionName, const char* fileName, int lineNumber);
    void error(const std::string& message, const char* functionName, const char* fileName, int lineNumber);

    // Sends every message, at every level, also to `sink`. Tests only; safe while other
    // threads log (a message being written finishes before a sink is added or removed).
    void addSinkForTesting(spdlog::sink_ptr sink);
    void removeSinkForTesting(const spdlog::sink_ptr& sink);

private:
    Logger();
    void log(Level level, const std::string& message, const char* functionName, const char* fileName, int lineNumber);
    void updateLevel();

    std::shared_ptr<spdlog::logger> logger_;
    // Shared while a message is written, exclusive while the sinks change.
    std::shared_mutex sinksMutex_;
    std::atomic<Level> level_{Level::Off};
    Level consoleLevel_ = Level::Off;
    int testSinks_ = 0;
};

// The shared logger; the same object as Logger::shared().
Logger& sharedLogger();

#define WEBCONTAINER_LOG_AT(method, level, message)                                                    \
    do {                                                                                               \
        Logger& webcontainerLogger_ = sharedLogger();                                                  \
        if (webcontainerLogger_.isEnabled(Logger::Level::level))                                       \
            webcontainerLogger_.method((message), __func__, __FILE__, __LINE__);                       \
    } while (0)

#define LOG_DEBUG(message) WEBCONTAINER_LOG_AT(debug, Debug, message)
#define LOG_INFO(message) WEBCONTAINER_LOG_AT(info, Info, message)
#define LOG_WARNING(message) WEBCONTAINER_LOG_AT(warning, Warning, message)
#define LOG_ERROR(message) WEBCONTAINER_LOG_AT(error, Error, message)
