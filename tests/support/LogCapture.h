#pragma once
// Records every log message while it lives (all levels, whatever WEBCONTAINER_LOG says).
// Create it on the main thread before the code under test logs. Messages may arrive from any
// thread.

#include "logger/Logger.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class LogCapture {
public:
    struct Entry {
        Logger::Level level;
        std::string message;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Entry> entries() const;
    // True when some message at `level` contains `text`.
    bool contains(Logger::Level level, const std::string& text) const;
    // True when some message at `level` equals `text`.
    bool has(Logger::Level level, const std::string& text) const;

private:
    class Sink;
    std::shared_ptr<Sink> sink_;
};

} // namespace testsupport
