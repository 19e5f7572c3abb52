#include "webcontainer/CommandURL.h"

#include <gtest/gtest.h>

TEST(CommandURL, WordIsTheWholePathAndFirstItemOfANameCounts)
{
    const auto url = CommandURL::parse("getValue?callback=a&key=k&callback=b");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->word(), "getValue");
    EXPECT_EQ(url->value("callback"), "a");
    EXPECT_EQ(url->items().size(), 3u);
    EXPECT_EQ(CommandURL::parse("/getUuid?callback=f")->word(), "/getUuid");
}

TEST(CommandURL, NoItemValuelessItemAndEmptyValueAreThreeOutcomes)
{
    const auto url = CommandURL::parse("getValue?callback&callback=b&key=&Key=x");
    ASSERT_TRUE(url);
    // The first "callback" has no value; the second one does not stand in for it.
    ASSERT_NE(url->item("callback"), nullptr);
    EXPECT_EQ(url->item("callback")->value, std::nullopt);
    EXPECT_EQ(url->value("callback"), std::nullopt);
    // "key=" has a value: the empty text.
    ASSERT_NE(url->item("key"), nullptr);
    EXPECT_EQ(url->value("key"), "");
    // Names are compared exactly.
    EXPECT_EQ(url->item("missing"), nullptr);
    EXPECT_EQ(url->item("KEY"), nullptr);
}

TEST(CommandURL, EmptyOrMissingQueryHasNoItems)
{
    for (const char* text : {"getUuid?", "getUuid", "getUuid?&&"}) {
        const auto url = CommandURL::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->word(), "getUuid");
        EXPECT_EQ(url->item("callback"), nullptr) << text;
    }
}

TEST(CommandURL, ValuesArePercentDecodedAndPlusStaysPlus)
{
    const auto url = CommandURL::parse("setValue?lang=a%26b&value=1+1%3D2%20%22x%22%0A");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->value("lang"), "a&b");
    EXPECT_EQ(url->value("value"), "1+1=2 \"x\"\n");
    EXPECT_EQ(url->text(), "setValue?lang=a%26b&value=1+1%3D2%20%22x%22%0A");
}
