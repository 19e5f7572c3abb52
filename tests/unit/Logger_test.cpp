#include "logger/Logger.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct Record {
    std::string message;
    std::string function;
    std::string file;
    int line;
    spdlog::level::level_enum level;
};

class RecordingSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<Record> records;

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        records.push_back({std::string(msg.payload.data(), msg.payload.size()), msg.source.funcname ? msg.source.funcname : "",
                           msg.source.filename ? msg.source.filename : "", msg.source.line, msg.level});
    }
    void flush_() override {}
};

int built = 0;
std::string buildMessage()
{
    ++built;
    return "built";
}

void copyFile()
{
    LOG_INFO("copy files");
}

} // namespace

TEST(Logger, SilentByDefaultAndMessagesAreNeverBuilt)
{
    for (auto level : {Logger::Level::Debug, Logger::Level::Info, Logger::Level::Warning, Logger::Level::Error})
        EXPECT_FALSE(sharedLogger().isEnabled(level));
    LOG_DEBUG(buildMessage());
    LOG_ERROR(buildMessage());
    EXPECT_EQ(built, 0);
    EXPECT_EQ(&sharedLogger(), &Logger::shared());
}

TEST(Logger, TestSinkSeesMessageFunctionFileAndLine)
{
    auto sink = std::make_shared<RecordingSink>();
    sharedLogger().addSinkForTesting(sink);
    copyFile();
    const int line = __LINE__ + 1;
    LOG_WARNING("careful " + std::to_string(3));
    sharedLogger().removeSinkForTesting(sink);
    LOG_ERROR("after removal");

    ASSERT_EQ(sink->records.size(), 2u);
    EXPECT_EQ(sink->records[0].message, "copy files");
    EXPECT_EQ(sink->records[0].function, "copyFile");
    EXPECT_EQ(sink->records[0].level, spdlog::level::info);
    EXPECT_EQ(sink->records[1].message, "careful 3");
    EXPECT_NE(sink->records[1].file.find("Logger_test.cpp"), std::string::npos);
    EXPECT_EQ(sink->records[1].line, line);
    EXPECT_EQ(sink->records[1].level, spdlog::level::warn);
    EXPECT_FALSE(sharedLogger().isEnabled(Logger::Level::Error));
}

TEST(Logger, ConsoleOutputOnlyWhenTheEnvironmentAsksForIt)
{
    const auto tool = testsupport::toolPath("logger_tool").string();
    auto silent = testsupport::runProcess({tool});
    ASSERT_EQ(silent.exitStatus, 0);
    EXPECT_EQ(silent.out, "");
    EXPECT_EQ(silent.err, "");

    testsupport::ScopedEnvironment env{{"WEBCONTAINER_LOG", "warning"}};
    auto loud = testsupport::runProcess({tool});
    ASSERT_EQ(loud.exitStatus, 0);
    EXPECT_EQ(loud.err.find("info message"), std::string::npos);
    EXPECT_NE(loud.err.find("warning message"), std::string::npos);
    EXPECT_NE(loud.err.find("error message"), std::string::npos);
    EXPECT_NE(loud.err.find("logger_tool.cpp"), std::string::npos);
}

// A worker thread logs while a test's capture comes and goes: the sink list changed under a
// message being written crashed the process now and then.
TEST(Logger, CapturesComeAndGoWhileAnotherThreadLogs)
{
    // The outer capture keeps debug messages on, so the worker writes all the time.
    testsupport::LogCapture outer;
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread worker([&] {
        while (!stop) {
            LOG_DEBUG("from the worker");
            ++written;
        }
    });
    // On a loaded machine the worker may start late: the captures must come and go while it logs.
    while (written == 0)
        std::this_thread::yield();
    for (int i = 0; i < 20000; ++i)
        testsupport::LogCapture inner;
    stop = true;
    worker.join();
    EXPECT_TRUE(outer.has(Logger::Level::Debug, "from the worker"));
}
