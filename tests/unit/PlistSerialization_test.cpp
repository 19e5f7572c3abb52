#include "portable/PlistFromJSON.h"
#include "portable/PlistSerialization.h"
#include "tests/support/NestedPlist.h"

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

// Found by fuzzing: a key or text that is no UTF-8 was taken into the settings, and the binary
// form written back stored another text.
TEST(PlistSerialization, TextThatIsNoUtf8IsNoPropertyList)
{
    const std::string head = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";
    EXPECT_FALSE(plistFromBytes(head + "<key>a\xFF</key><string>x</string></dict></plist>"));
    EXPECT_FALSE(plistFromBytes(head + "<key>a</key><array><string>\xC3\x28</string></array></dict></plist>"));
    EXPECT_TRUE(plistFromBytes(head + "<key>a\xC3\xA4</key><string>\xC3\xA4</string></dict></plist>"));
}

// Found by fuzzing: a binary list whose key or text holds a NUL aborted the whole process inside
// the property-list library (a package's "info.plist" could end the application).
TEST(PlistSerialization, ANulInsideABinaryListEndsNothing)
{
    // {"a\0b": "x\0y", "ok": "yes"}
    const std::string binary("\x62\x70\x6c\x69\x73\x74\x30\x30\xd2\x01\x02\x03\x04\x53\x61\x00\x62\x52\x6f\x6b\x53\x78\x00\x79\x53\x79\x65\x73\x08\x0d\x11\x14\x18\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x1c", 65);
    const auto parsed = plistFromBytes(binary);
    ASSERT_TRUE(parsed && parsed->isDict());
    EXPECT_EQ(parsed->stringAt("ok"), "yes");
    for (const auto& [key, value] : *parsed->asDict())
        EXPECT_EQ(key.find('\0'), std::string::npos);
}

// A package's "info.plist" or the settings file nested a few hundred thousand levels deep
// crashed the process in the property-list library, which frees its trees recursively.
TEST(PlistSerialization, ListsPastTheDepthOrSizeLimitAreRefusedWhole)
{
    using testsupport::binaryPlist;
    using testsupport::nestedPlist;
    // Lists each holding the next twice: 2^21 values once every reference is unfolded.
    std::vector<testsupport::BinaryObject> doubling;
    for (std::uint64_t level = 0; level < 21; ++level)
        doubling.push_back({"\xA2", {level + 1, level + 1}});
    doubling.push_back({"\xA0", {}});
    // The library ends a tag at the first ">", quotes or not.
    std::string quoted = "<plist><array>";
    for (int level = 0; level < 250000; ++level)
        quoted += "<array a='>";
    struct Case {
        const char* name;
        std::string bytes;
        bool read;
    };
    const Case cases[] = {
        {"XML at the limit", nestedPlist(PlistFormat::Xml, kPlistMaxDepth - 1), true},
        {"binary at the limit", nestedPlist(PlistFormat::Binary, kPlistMaxDepth - 1), true},
        {"XML a level past it", nestedPlist(PlistFormat::Xml, kPlistMaxDepth), false},
        {"binary a level past it", nestedPlist(PlistFormat::Binary, kPlistMaxDepth), false},
        {"XML 250,000 deep", nestedPlist(PlistFormat::Xml, 250000), false},
        {"XML 250,000 deep in quoted tags", quoted, false},
        {"binary 100,000 deep", nestedPlist(PlistFormat::Binary, 100000), false},
        {"binary list holding itself", binaryPlist({{"\xA1", {0}}}), false},
        {"binary lists shared past the size limit", binaryPlist(doubling), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plistFromBytes(c.bytes).has_value(), c.read);
    }
    // A push message is JSON, as deep.
    const auto json = [](std::size_t depth) {
        return R"({"deep":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
    };
    EXPECT_TRUE(plistDictFromJSON(json(kPlistMaxDepth - 1)));
    EXPECT_FALSE(plistDictFromJSON(json(kPlistMaxDepth)));
    EXPECT_FALSE(plistDictFromJSON(json(250000)));
}
