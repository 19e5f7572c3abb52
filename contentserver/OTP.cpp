#include "contentserver/OTP.h"

#include "portable/AsciiText.h"
#include "portable/Base32.h"
#include "portable/URLComponents.h"
#include "portable/UUID.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

struct AlgorithmEntry {
    const char* name;
    int algo;
    int size;
};

constexpr std::array<AlgorithmEntry, 6> algorithms = {{
    {"md5", OTP::kHmacAlgMD5, 16},
    {"sha1", OTP::kHmacAlgSHA1, 20},
    {"sha224", OTP::kHmacAlgSHA224, 28},
    {"sha256", OTP::kHmacAlgSHA256, 32},
    {"sha384", OTP::kHmacAlgSHA384, 48},
    {"sha512", OTP::kHmacAlgSHA512, 64},
}};

const AlgorithmEntry* algorithmNamed(const std::string& name)
{
    for (const auto& entry : algorithms)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

const AlgorithmEntry* algorithmCoded(std::int64_t algo)
{
    for (const auto& entry : algorithms)
        if (algo == entry.algo)
            return &entry;
    return nullptr;
}

const EVP_MD* digestOf(int algo)
{
    switch (algo) {
    case OTP::kHmacAlgMD5: return EVP_md5();
    case OTP::kHmacAlgSHA224: return EVP_sha224();
    case OTP::kHmacAlgSHA256: return EVP_sha256();
    case OTP::kHmacAlgSHA384: return EVP_sha384();
    case OTP::kHmacAlgSHA512: return EVP_sha512();
    default: return EVP_sha1();
    }
}

} // namespace

OTP::OTP() : account(platform::makeUUIDString()) {}

std::optional<OTP> OTP::create(const platform::URLComponents& url)
{
    OTP otp;
    for (const auto& item : url.queryItems()) {
        if (!item.value)
            continue;
        const std::string name = platform::lowercasedASCII(item.name);
        if (name == "secret") {
            auto bytes = platform::base32Decode(*item.value);
            if (!bytes)
                return std::nullopt;
            otp.secret = std::move(*bytes);
        } else if (name == "algorithm") {
            const AlgorithmEntry* entry = algorithmNamed(platform::lowercasedASCII(*item.value));
            if (!entry)
                return std::nullopt;
            otp.algo = entry->algo;
            otp.size = entry->size;
        } else if (name == "digits") {
            if (*item.value == "6")
                otp.digits = 6;
            else if (*item.value == "8")
                otp.digits = 8;
            else
                return std::nullopt;
        }
    }
    if (otp.secret.empty())
        return std::nullopt;
    return otp;
}

std::optional<OTP> OTP::create(const platform::PlistDict& coder)
{
    auto field = [&](const char* key) -> const platform::PlistValue* {
        auto found = coder.find(key);
        return found == coder.end() ? nullptr : &found->second;
    };
    const auto* account = field("account");
    const auto* secret = field("secret");
    const auto* algo = field("algo");
    const auto* size = field("size");
    const auto* digits = field("digits");
    if (!account || !account->asString() || !secret || !secret->asData())
        return std::nullopt;
    if (!algo || !algo->asInteger() || !size || !size->asInteger() || !digits || !digits->asInteger())
        return std::nullopt;
    const AlgorithmEntry* entry = algorithmCoded(*algo->asInteger());
    if (!entry || *size->asInteger() != entry->size || *digits->asInteger() < 1 || *digits->asInteger() > 9)
        return std::nullopt;
    OTP otp;
    otp.account = *account->asString();
    otp.secret = *secret->asData();
    otp.algo = entry->algo;
    otp.size = entry->size;
    otp.digits = static_cast<int>(*digits->asInteger());
    return otp;
}

platform::PlistDict OTP::encodeWith() const
{
    return {
        {"account", account},
        {"secret", platform::PlistData(secret)},
        {"algo", algo},
        {"size", size},
        {"digits", digits},
    };
}

std::string OTP::generate(std::int64_t counter) const
{
    std::array<unsigned char, 8> message{};
    auto value = static_cast<std::uint64_t>(counter);
    for (int i = 7; i >= 0; --i) {
        message[static_cast<std::size_t>(i)] = static_cast<unsigned char>(value & 0xff);
        value >>= 8;
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!HMAC(digestOf(algo), secret.data(), static_cast<int>(secret.size()), message.data(), message.size(),
              digest.data(), &length) ||
        length < 4)
        return {};

    // The offset comes from the digest's last byte; with a short digest (MD5) it could point
    // past the end, so the four bytes are then taken from the end.
    std::size_t offset = digest[length - 1] & 0x0f;
    offset = std::min<std::size_t>(offset, length - 4);
    const std::uint32_t truncated = (static_cast<std::uint32_t>(digest[offset] & 0x7f) << 24) |
                                    (static_cast<std::uint32_t>(digest[offset + 1]) << 16) |
                                    (static_cast<std::uint32_t>(digest[offset + 2]) << 8) |
                                    static_cast<std::uint32_t>(digest[offset + 3]);
    const int shownDigits = std::clamp(digits, 1, 9);
    std::uint32_t modulus = 1;
    for (int i = 0; i < shownDigits; ++i)
        modulus *= 10;
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", shownDigits, truncated % modulus);
    return text;
}
