#include "tests/support/TestCipher.h"

#include <openssl/evp.h>

#include <memory>
#include <random>
#include <stdexcept>

namespace testsupport {

std::string evpEncrypt(const std::string& cipherName, const std::string& key, const std::string& iv,
                       const std::string& plain, bool padded)
{
    const EVP_CIPHER* cipher = EVP_get_cipherbyname(cipherName.c_str());
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    if (!cipher || !context || static_cast<std::size_t>(EVP_CIPHER_get_key_length(cipher)) != key.size())
        throw std::invalid_argument("no cipher " + cipherName + " for a key of this size");
    auto bytes = [](const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); };
    if (EVP_EncryptInit_ex(context.get(), cipher, nullptr, bytes(key), iv.empty() ? nullptr : bytes(iv)) != 1)
        throw std::runtime_error("EVP_EncryptInit_ex failed");
    EVP_CIPHER_CTX_set_padding(context.get(), padded ? 1 : 0);
    std::string out(plain.size() + 2 * static_cast<std::size_t>(EVP_CIPHER_get_block_size(cipher)), '\0');
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    int written = 0;
    int last = 0;
    if (EVP_EncryptUpdate(context.get(), outBytes, &written, bytes(plain), static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), outBytes + written, &last) != 1)
        throw std::runtime_error("EVP encryption failed");
    out.resize(static_cast<std::size_t>(written + last));
    return out;
}

std::string encryptedPackage(const std::string& plain, const std::string& key, const std::string& iv)
{
    return iv + evpEncrypt("AES-" + std::to_string(key.size() * 8) + "-CBC", key, iv, plain);
}

std::string pseudoRandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

} // namespace testsupport
