#include "platform/PlistSerialization.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

PlistValue everyType()
{
    PlistDict inner{{"flag", true}, {"negative", std::int64_t{-42}}, {"real", 2.5}};
    return PlistValue(PlistDict{
        {"text", "Grüße \"quoted\" <tag> & more"},
        {"integer", std::int64_t{1234567890123}},
        {"date", PlistDate(std::chrono::seconds(1700000000))},
        {"data", PlistData{0, 1, 2, 255}},
        {"list", PlistArray{PlistValue("a"), PlistValue(std::int64_t{1}), PlistValue(inner)}},
        {"dict", inner},
        {"empty", ""},
    });
}

} // namespace

TEST(PlistSerialization, EveryTypeRoundTripsThroughXmlAndBinary)
{
    const auto value = everyType();
    for (auto format : {PlistFormat::Xml, PlistFormat::Binary}) {
        auto parsed = plistFromBytes(plistToBytes(value, format));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(*parsed, value);
    }
}

TEST(PlistSerialization, ReadsAHandWrittenXmlList)
{
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>lazyload</key><string>nonhtml</string>
  <key>askwifi</key><integer>5000000</integer>
  <key>on</key><true/>
</dict></plist>)";
    auto parsed = plistFromBytes(xml);
    ASSERT_TRUE(parsed && parsed->isDict());
    EXPECT_EQ(parsed->stringAt("lazyload"), "nonhtml");
    EXPECT_EQ(*parsed->find("askwifi")->asInteger(), 5000000);
    EXPECT_TRUE(*parsed->find("on")->asBoolean());
}

TEST(PlistSerialization, GarbageAndEmptyInputYieldNothing)
{
    EXPECT_FALSE(plistFromBytes(""));
    EXPECT_FALSE(plistFromBytes("hello world"));
    EXPECT_FALSE(plistFromBytes("<plist><dict><key>a</key>"));
    EXPECT_FALSE(readPlistFile("/nonexistent/file.plist"));
}
