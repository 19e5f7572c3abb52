#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/LogCapture.h"
#include "webcontainer/BridgeConventions.h"
#include "webcontainer/CommandTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

using testsupport::FakeBridgeScreen;
using testsupport::LogCapture;
using testsupport::runCommand;
using Strings = std::vector<std::string>;

namespace {

std::string defaultUuid()
{
    return *sharedConfig().defaults.string("uuid");
}

} // namespace

TEST(BridgeDispatch, WordsAreComparedWholeAndCaseSensitively)
{
    FakeBridgeScreen screen;
    EXPECT_EQ(runCommand(screen, "getUuid?callback=f"), Strings{"f(\"{\\\"uuid\\\":\\\"" + defaultUuid() + "\\\"}\")"});
    LogCapture log;
    EXPECT_EQ(runCommand(screen, "GetUuid?callback=f"), Strings{});
    EXPECT_EQ(runCommand(screen, "/getUuid?callback=f"), Strings{});
    EXPECT_EQ(runCommand(screen, "getUuidX?callback=f"), Strings{});
    // Unknown words are ignored silently: that nothing is logged is the behaviour here.
    EXPECT_TRUE(log.entries().empty());
}

TEST(BridgeDispatch, SetLangNeverReachesSetValue)
{
    FakeBridgeScreen screen;
    runCommand(screen, "setLang?lang=de&value=x");
    EXPECT_EQ(sharedConfig().defaults.string("clang"), "de");
    EXPECT_EQ(sharedConfig().defaults.object("cli_de"), std::nullopt);
}

TEST(BridgeDispatch, OnlyTheFirstCallbackItemCounts)
{
    FakeBridgeScreen screen;
    sharedConfig().defaults.set("cli_k", "v");
    EXPECT_EQ(runCommand(screen, "getValue?callback=a&callback=b&key=k"), Strings{R"(a("{\"value\":\"v\"}"))"});
    // The first "callback" has no value: no page function is called, not even b.
    EXPECT_EQ(runCommand(screen, "getValue?callback&callback=b&key=k"), Strings{});
}

// A handler that threw took the whole process down through the web view's signal handler.
TEST(BridgeDispatch, ExceptionOfAHandlerIsCaught)
{
    CommandTable table;
    table.add("boom", [](BridgeScreen&, BridgeRequest&) { throw std::runtime_error("disk on fire"); });
    FakeBridgeScreen screen;
    EXPECT_NO_THROW(table.dispatch(screen, *CommandURL::parse("boom?x=1")));
}

TEST(AlertTitle, KnownUpperCaseWordsOnlyElseInfo)
{
    const auto& titles = JS_ALERT_TITLES();
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x&type=ERROR")), titles.at("ERROR"));
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x&type=WARN")), titles.at("WARN"));
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x&type=error")), titles.at("INFO"));
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x&type")), titles.at("INFO"));
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x&type=")), titles.at("INFO"));
    EXPECT_EQ(alertTitle(*CommandURL::parse("alert?text=x")), titles.at("INFO"));
    EXPECT_NE(titles.at("ERROR"), titles.at("INFO"));
}

TEST(BridgeJSON, OrdinaryValuesAsJoinedTextOddValuesStillValidJSON)
{
    EXPECT_EQ(jsonString("abc-123 äö"), "\"abc-123 äö\"");
    EXPECT_EQ(jsonString("a/b"), "\"a/b\"");
    const std::string odd = "say \"hi\"\\\n\t\x01";
    EXPECT_EQ(nlohmann::json::parse(jsonString(odd)).get<std::string>(), odd);
    // Bytes that are no UTF-8 do not make the reply fail.
    EXPECT_EQ(jsonString("a\xFF" "b"), "\"a\xEF\xBF\xBD" "b\"");
}

TEST(BridgeJSON, SerializerStyleIsCompactWithEscapedSlashes)
{
    EXPECT_EQ(serializedJSON({{"value", "abc"}}), R"({"value":"abc"})");
    EXPECT_EQ(serializedJSON({{"filesList", {"file_a.pdf", "file_d/b.txt"}}}),
              R"({"filesList":["file_a.pdf","file_d\/b.txt"]})");
    EXPECT_EQ(nlohmann::json::parse(serializedJSON({{"value", "</script> \"q\""}}))["value"], "</script> \"q\"");
}
