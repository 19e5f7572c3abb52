#include "contentserver/Digester.h"

#include <glib.h>
#include <openssl/evp.h>

namespace {

const char* algorithmName(HashType type)
{
    switch (type) {
    case HashType::md5: return "MD5";
    case HashType::sha1: return "SHA1";
    case HashType::sha224: return "SHA2-224";
    case HashType::sha256: return "SHA2-256";
    case HashType::sha384: return "SHA2-384";
    case HashType::sha512: return "SHA2-512";
    }
    return "SHA2-256";
}

} // namespace

Digester::Digester(HashType type)
    : algorithm_(EVP_MD_fetch(nullptr, algorithmName(type), nullptr)), context_(EVP_MD_CTX_new())
{
    // The built-in algorithms are always there; only a lack of memory fails.
    if (!algorithm_ || !context_)
        g_error("digest set-up failed");
}

Digester::~Digester()
{
    EVP_MD_CTX_free(context_);
    EVP_MD_free(algorithm_);
}

std::span<const std::uint8_t> Digester::digest(std::span<const std::uint8_t> bytes)
{
    unsigned int length = 0;
    if (EVP_DigestInit_ex2(context_, algorithm_, nullptr) != 1 ||
        EVP_DigestUpdate(context_, bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context_, digest_.data(), &length) != 1)
        g_error("digest computation failed");
    return std::span(digest_.data(), length);
}
