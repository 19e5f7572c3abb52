#include "base/Digest.h"

#include "portable/UTF8.h"

#include <glib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>

namespace {

const EVP_MD* algorithm(HashType type)
{
    switch (type) {
    case HashType::md5: return EVP_md5();
    case HashType::sha1: return EVP_sha1();
    case HashType::sha224: return EVP_sha224();
    case HashType::sha256: return EVP_sha256();
    case HashType::sha384: return EVP_sha384();
    case HashType::sha512: return EVP_sha512();
    }
    return EVP_sha256();
}

std::string hexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        out += digits[byte >> 4];
        out += digits[byte & 0xF];
    }
    return out;
}

} // namespace

std::string base64Text(std::span<const std::uint8_t> bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                                       static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::size_t digestLength(HashType type)
{
    return static_cast<std::size_t>(EVP_MD_get_size(algorithm(type)));
}

std::vector<std::uint8_t> computeDigest(HashType type, std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    // One-shot digests of the built-in algorithms fail only when memory runs out.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, algorithm(type), nullptr) != 1)
        g_error("digest computation failed");
    digest.resize(length);
    return digest;
}

std::optional<std::string> hashed(std::string_view text, HashType type, HashOutputType output)
{
    if (!platform::isValidUTF8(text))
        return std::nullopt;
    return hashed(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), type, output);
}

std::string hashed(std::span<const std::uint8_t> data, HashType type, HashOutputType output)
{
    const auto digest = computeDigest(type, data);
    return output == HashOutputType::hex ? hexText(digest) : base64Text(digest);
}

std::vector<std::string> hexByteStrings(std::span<const std::uint8_t> bytes)
{
    std::vector<std::string> out;
    out.reserve(bytes.size());
    for (std::uint8_t byte : bytes)
        out.push_back(hexText(std::span(&byte, 1)));
    return out;
}

std::vector<std::uint8_t> dataFromBytes(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::array<std::uint8_t, 20> sha1Digest(std::span<const std::uint8_t> data)
{
    std::array<std::uint8_t, 20> out{};
    const auto digest = computeDigest(HashType::sha1, data);
    std::copy_n(digest.begin(), out.size(), out.begin());
    return out;
}
