#include "base/Digest.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Vector {
    HashType type;
    std::size_t length;
    const char* emptyHex;
    const char* abcHex;
};

// Published test vectors of the empty text and of "abc".
const std::array<Vector, 6> vectors = {{
    {HashType::md5, 16, "d41d8cd98f00b204e9800998ecf8427e", "900150983cd24fb0d6963f7d28e17f72"},
    {HashType::sha1, 20, "da39a3ee5e6b4b0d3255bfef95601890afd80709", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {HashType::sha224, 28, "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f",
     "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
    {HashType::sha256, 32, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {HashType::sha384, 48,
     "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {HashType::sha512, 64,
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
}};

} // namespace

TEST(Digest, KnownVectorsInHexForTextAndBytes)
{
    for (const auto& vector : vectors) {
        EXPECT_EQ(digestLength(vector.type), vector.length);
        EXPECT_EQ(hashed(std::string_view(""), vector.type, HashOutputType::hex), vector.emptyHex);
        EXPECT_EQ(hashed(std::string_view("abc"), vector.type, HashOutputType::hex), vector.abcHex);
        EXPECT_EQ(hashed(bytesOf("abc"), vector.type, HashOutputType::hex), vector.abcHex);
        EXPECT_EQ(computeDigest(vector.type, bytesOf("abc")).size(), vector.length);
    }
    EXPECT_EQ(hashed(std::string_view(""), HashType::sha512, HashOutputType::hex)->size(), 128u);
}

TEST(Digest, Base64IsStandardWithPadding)
{
    EXPECT_EQ(hashed(std::string_view(""), HashType::md5, HashOutputType::base64), "1B2M2Y8AsgTpgAmY7PhCfg==");
    EXPECT_EQ(hashed(std::string_view("abc"), HashType::sha1, HashOutputType::base64), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
    EXPECT_EQ(hashed(std::string_view("abc"), HashType::sha512, HashOutputType::base64),
              "3a81oZNherrMQXNJriBBMRLm+k6JqX6iCp7u5ktV05ohkpkqJ0/BqDa6PCOj/uu9RU1EI2Q86A4qmslPpUyknw==");
}

TEST(Digest, TextIsHashedAsUtf8AndTextThatIsNotUtf8GivesNothing)
{
    // MD5 of the two UTF-8 bytes of "ä".
    EXPECT_EQ(hashed(std::string_view("ä"), HashType::md5, HashOutputType::hex), "8419b71c87a225a2c70b50486fbee545");
    EXPECT_EQ(hashed(std::string_view("\xE4"), HashType::md5, HashOutputType::hex), std::nullopt);
    const std::array<std::uint8_t, 1> latin1 = {0xE4};
    EXPECT_EQ(hashed(std::span<const std::uint8_t>(latin1), HashType::md5, HashOutputType::hex).size(), 32u);
}

TEST(Digest, ByteHelpersOfTheReceiptBookkeeping)
{
    const std::array<std::uint8_t, 4> bytes = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hexByteStrings(bytes), (std::vector<std::string>{"00", "0f", "a0", "ff"}));
    EXPECT_EQ(dataFromBytes(bytes), (std::vector<std::uint8_t>{0x00, 0x0f, 0xa0, 0xff}));
    const auto digest = sha1Digest(bytesOf("abc"));
    std::string joined;
    for (const auto& text : hexByteStrings(digest))
        joined += text;
    EXPECT_EQ(joined, "a9993e364706816aba3e25717850c26c9cd0d89d");
}
