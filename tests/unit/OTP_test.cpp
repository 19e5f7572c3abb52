// One-time codes against the published vectors of RFC 4226 and RFC 6238, and the rules for
// the generator's address.

#include "contentserver/OTP.h"
#include "portable/Base32.h"
#include "portable/URLComponents.h"

#include <gtest/gtest.h>

namespace {

// "12345678901234567890", the RFC's SHA-1 test secret, in Base32.
constexpr const char* rfcSecret = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";

std::optional<OTP> otpFrom(const std::string& query)
{
    auto url = platform::URLComponents::parse("otpauth://totp/label?" + query);
    if (!url)
        return std::nullopt;
    return OTP::create(*url);
}

std::vector<std::uint8_t> bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

} // namespace

TEST(OTP, reproducesTheHotpValuesOfRfc4226)
{
    auto otp = otpFrom(std::string("secret=") + rfcSecret + "&algorithm=SHA1&digits=6");
    ASSERT_TRUE(otp);
    EXPECT_EQ(bytes("12345678901234567890"), otp->secret);
    const std::vector<std::string> expected = {"755224", "287082", "359152", "969429", "338314",
                                               "254676", "287922", "162583", "399871", "520489"};
    for (std::int64_t counter = 0; counter < 10; ++counter)
        EXPECT_EQ(expected[static_cast<std::size_t>(counter)], otp->generate(counter)) << "counter " << counter;
}

TEST(OTP, reproducesTheSha1TotpValuesOfRfc6238)
{
    auto eight = otpFrom(std::string("secret=") + rfcSecret + "&digits=8");
    auto six = otpFrom(std::string("secret=") + rfcSecret);
    ASSERT_TRUE(eight);
    ASSERT_TRUE(six);
    const std::vector<std::pair<std::int64_t, std::string>> vectors = {
        {59, "94287082"},         {1111111109, "07081804"}, {1111111111, "14050471"},
        {1234567890, "89005924"}, {2000000000, "69279037"}, {20000000000, "65353130"},
    };
    for (const auto& [time, code] : vectors) {
        EXPECT_EQ(code, eight->generate(time / 30)) << "time " << time;
        EXPECT_EQ(code.substr(2), six->generate(time / 30)) << "time " << time;
    }
}

TEST(OTP, readsTheAlgorithmCaseInsensitively)
{
    // RFC 6238's SHA-256 secret is 32 bytes long.
    auto otp = otpFrom("secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA&Algorithm=SHA256&digits=8");
    ASSERT_TRUE(otp);
    EXPECT_EQ(OTP::kHmacAlgSHA256, otp->algo);
    EXPECT_EQ(32, otp->size);
    EXPECT_EQ("46119246", otp->generate(59 / 30));

    auto md5 = otpFrom(std::string("secret=") + rfcSecret + "&algorithm=md5");
    ASSERT_TRUE(md5);
    EXPECT_EQ(16, md5->size);
    for (std::int64_t counter = 0; counter < 64; ++counter)
        EXPECT_EQ(6u, md5->generate(counter).size());
}

TEST(OTP, refusesAddressesThatMakeNoGenerator)
{
    const std::string secret = std::string("secret=") + rfcSecret;
    EXPECT_FALSE(otpFrom(secret + "&digits=7"));
    EXPECT_FALSE(otpFrom(secret + "&digits=06"));
    EXPECT_FALSE(otpFrom(secret + "&algorithm=sha3"));
    EXPECT_FALSE(otpFrom("secret=GEZDGNBV1"));
    // An empty value is a value: it decodes to nothing, and a generator needs a secret.
    EXPECT_FALSE(otpFrom("secret="));
    EXPECT_FALSE(otpFrom("algorithm=sha1"));
    // An item without a value is skipped, so the earlier secret stays.
    auto skipped = otpFrom(secret + "&secret&digits");
    ASSERT_TRUE(skipped);
    EXPECT_EQ(6, skipped->digits);
    // A later item overrides an earlier one.
    auto overridden = otpFrom("secret=MZXW6===&" + secret + "&digits=8&digits=6");
    ASSERT_TRUE(overridden);
    EXPECT_EQ(bytes("12345678901234567890"), overridden->secret);
    EXPECT_EQ(6, overridden->digits);
}

TEST(OTP, archivesAndRestoresOnlySoundGenerators)
{
    auto otp = otpFrom(std::string("secret=") + rfcSecret + "&digits=8");
    ASSERT_TRUE(otp);
    EXPECT_EQ(36u, otp->account.size());
    auto archive = otp->encodeWith();
    auto restored = OTP::create(archive);
    ASSERT_TRUE(restored);
    EXPECT_EQ(otp->account, restored->account);
    EXPECT_EQ(otp->generate(37037036), restored->generate(37037036));

    auto without = [&](const std::string& key) {
        auto copy = archive;
        copy.erase(key);
        return copy;
    };
    auto with = [&](const std::string& key, platform::PlistValue value) {
        auto copy = archive;
        copy[key] = std::move(value);
        return copy;
    };
    EXPECT_FALSE(OTP::create(without("account")));
    EXPECT_FALSE(OTP::create(without("secret")));
    EXPECT_FALSE(OTP::create(with("secret", "GEZDGNBV")));
    EXPECT_FALSE(OTP::create(with("algo", 9)));
    EXPECT_FALSE(OTP::create(with("size", 16)));
    EXPECT_FALSE(OTP::create(with("digits", 0)));
    EXPECT_FALSE(OTP::create(with("digits", 10)));
    auto nine = OTP::create(with("digits", 9));
    ASSERT_TRUE(nine);
    EXPECT_EQ(9u, nine->generate(1).size());
}

TEST(Base32, decodesRfc4648Text)
{
    auto decoded = [](std::string_view text) -> std::optional<std::string> {
        auto result = platform::base32Decode(text);
        if (!result)
            return std::nullopt;
        return std::string(result->begin(), result->end());
    };
    EXPECT_EQ("", decoded(""));
    EXPECT_EQ("f", decoded("MY======"));
    EXPECT_EQ("fo", decoded("MZXQ===="));
    EXPECT_EQ("foo", decoded("MZXW6==="));
    EXPECT_EQ("foob", decoded("MZXW6YQ="));
    EXPECT_EQ("fooba", decoded("MZXW6YTB"));
    EXPECT_EQ("foobar", decoded("MZXW6YTBOI======"));
    EXPECT_EQ("foobar", decoded("mzxw6ytboi"));
    EXPECT_EQ("foo", decoded("MZXW6"));

    for (const char* invalid : {"M", "MZX", "MZXW6Y", "MY=====", "MY=======", "MY======MY", "MY=a====", " MZXW6",
                                "MZXW6YTB========", "========", "MZXW1===", "MZ-W6==="})
        EXPECT_FALSE(decoded(invalid)) << invalid;
}
