#include "portable/StringsFile.h"

#include <gtest/gtest.h>

using platform::parseStringsFile;

TEST(StringsFile, ParsesEntriesCommentsAndEscapes)
{
    const std::string text = "\xEF\xBB\xBF/* Toast Größe */\n"
                             "\"DOWNLOAD_SIZE\" = \"Größe\";\n"
                             "// line comment\n"
                             "\"QUOTE\" = \"say \\\"hi\\\" \\\\ done\";\n"
                             "\"LINES\"=\"a\\nb\\tc\";  /* trailing */\n"
                             "\"UNI\" = \"\\U00FC \\UD83D\\UDE00\";\n"
                             "PLAIN = word;\n"
                             "\"SAME\";\n";
    auto table = parseStringsFile(text);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("DOWNLOAD_SIZE"), "Größe");
    EXPECT_EQ(table->at("QUOTE"), "say \"hi\" \\ done");
    EXPECT_EQ(table->at("LINES"), "a\nb\tc");
    EXPECT_EQ(table->at("UNI"), "ü 😀");
    EXPECT_EQ(table->at("PLAIN"), "word");
    EXPECT_EQ(table->at("SAME"), "SAME");
    EXPECT_EQ(table->size(), 6u);
}

TEST(StringsFile, ReadsUtf16WithByteOrderMark)
{
    // "K" = "ä"; in UTF-16 little endian.
    const std::u16string source = u"\"K\" = \"\u00e4\";";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : source) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    auto table = parseStringsFile(bytes);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("K"), "ä");
}

TEST(StringsFile, MalformedTextIsRejected)
{
    EXPECT_FALSE(parseStringsFile("\"A\" = \"unterminated;\n"));
    EXPECT_FALSE(parseStringsFile("\"A\" = \"x\"\n\"B\" = \"y\";")); // missing ;
    EXPECT_FALSE(parseStringsFile("/* never closed"));
    EXPECT_FALSE(parseStringsFile("\"A\" = ;"));
    EXPECT_FALSE(parseStringsFile("\"A\" = \"\xC3\x28\";")); // invalid UTF-8
    EXPECT_TRUE(parseStringsFile("  /* only a comment */ "));
}

// Found by fuzzing: an octal escape above \177 put a single byte into the text, which is no
// UTF-8 and breaks the label that shows it.
TEST(StringsFile, OctalEscapesBecomeCharacters)
{
    auto table = parseStringsFile("\"A\" = \"\\101\\344\\0x\";");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("A"), std::string("A\xC3\xA4\0x", 5));
}
