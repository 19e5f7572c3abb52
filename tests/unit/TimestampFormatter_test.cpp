#include "base/TimestampFormatter.h"
#include "tests/support/LocalTimeZone.h"

#include <gtest/gtest.h>

#include <ctime>

using testsupport::LocalTimeZone;
using testsupport::utc;

TEST(TimestampFormatter, WritesLocalTimeAsFourteenDigits)
{
    LocalTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3"); // Berlin
    // 08:05:03 UTC on 7 March is 09:05:03 in Berlin.
    EXPECT_EQ(timestampFormatter().string(utc(2024, 3, 7, 8, 5, 3)), "20240307090503");
    // Summer time: 21:59:59 UTC on 30 June is 23:59:59 in Berlin.
    EXPECT_EQ(timestampFormatter().string(utc(2023, 6, 30, 21, 59, 59)), "20230630235959");
}

TEST(TimestampFormatter, ReadsItsOwnTextBackAndRefusesOtherText)
{
    LocalTimeZone zone("EST5EDT,M3.2.0,M11.1.0"); // New York
    const auto time = utc(2024, 11, 2, 15, 30, 0);
    EXPECT_EQ(timestampFormatter().date(timestampFormatter().string(time)), time);
    for (const char* text : {"2024110211300", "202411021130000", "2024-11-02T11:30", "20241302113000",
                             "20240230113000", " 2024110211300", "20241102116000", "2024110211306x"})
        EXPECT_EQ(timestampFormatter().date(text), std::nullopt) << text;
}
