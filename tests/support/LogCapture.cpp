#include "tests/support/LogCapture.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>

namespace testsupport {

class LogCapture::Sink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<Entry> entries() const
    {
        std::lock_guard lock(entriesMutex_);
        return entries_;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override
    {
        std::lock_guard lock(entriesMutex_);
        entries_.push_back({toLevel(message.level), std::string(message.payload.begin(), message.payload.end())});
    }
    void flush_() override {}

private:
    static Logger::Level toLevel(spdlog::level::level_enum level)
    {
        switch (level) {
        case spdlog::level::trace:
        case spdlog::level::debug: return Logger::Level::Debug;
        case spdlog::level::info: return Logger::Level::Info;
        case spdlog::level::warn: return Logger::Level::Warning;
        case spdlog::level::err:
        case spdlog::level::critical: return Logger::Level::Error;
        default: return Logger::Level::Off;
        }
    }

    mutable std::mutex entriesMutex_;
    std::vector<Entry> entries_;
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>())
{
    sharedLogger().addSinkForTesting(sink_);
}

LogCapture::~LogCapture()
{
    sharedLogger().removeSinkForTesting(sink_);
}

std::vector<LogCapture::Entry> LogCapture::entries() const
{
    return sink_->entries();
}

bool LogCapture::contains(Logger::Level level, const std::string& text) const
{
    const auto all = entries();
    return std::any_of(all.begin(), all.end(), [&](const Entry& entry) {
        return entry.level == level && entry.message.find(text) != std::string::npos;
    });
}

bool LogCapture::has(Logger::Level level, const std::string& text) const
{
    const auto all = entries();
    return std::any_of(all.begin(), all.end(),
                       [&](const Entry& entry) { return entry.level == level && entry.message == text; });
}

} // namespace testsupport
