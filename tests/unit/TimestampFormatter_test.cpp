#include "app/TimestampFormatter.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

struct UtcZone {
    UtcZone() : env{{"TZ", "UTC"}} { tzset(); }
    ~UtcZone() { tzset(); }
    testsupport::ScopedEnvironment env;
};

} // namespace

TEST(TimestampFormatter, FormatsLocalTimeAsFourteenDigits)
{
    UtcZone utc;
    const auto time = std::chrono::system_clock::from_time_t(1700000000); // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(timestampFormatter().string(time), "20231114221320");
    EXPECT_EQ(timestampFormatter().date("20231114221320"), time);
}

TEST(TimestampFormatter, FollowsTheLocalTimeZone)
{
    // A POSIX rule for Central European time, so no time-zone database is needed.
    testsupport::ScopedEnvironment env{{"TZ", "CET-1CEST,M3.5.0,M10.5.0/3"}};
    tzset();
    const auto time = std::chrono::system_clock::from_time_t(1700000000);
    EXPECT_EQ(timestampFormatter().string(time), "20231114231320");
    EXPECT_EQ(timestampFormatter().date("20231114231320"), time);
}

TEST(TimestampFormatter, RejectsAnythingButAValidFourteenDigitTime)
{
    UtcZone utc;
    for (auto text : {"", "2023111422132", "202311142213200", "2023-1114221320", " 20231114221320", "20231314221320",
                      "20230230120000", "20231114226000"})
        EXPECT_FALSE(timestampFormatter().date(text)) << text;
}
